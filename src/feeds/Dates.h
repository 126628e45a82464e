// The date readers of feeds and HTTP replies and the two date writers, all
// on the 1904-based local clock (platform/Clock.h). A date with a zone is
// turned into local time with the offset in force at that date, daylight
// saving included; a date without one is taken as local wall time.
#pragma once

#include "platform/Status.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct NewsList;

/* ---- Name tables ---- */

constexpr std::array<std::string_view, 7> kWeekStr = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMnthStr = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// North American zone names of RFC 822 dates:
//   name  the abbreviation as written
//   hour  its offset from UTC in hours
struct ZoneType {
    std::string_view name;
    int16_t hour;
};

constexpr std::array<ZoneType, 8> kZoneType = {{
    {"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5},
    {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7},
}};

/* ---- The local offset ---- */

// The local time's offset from UTC in seconds, east positive, from the time
// zone (TZ honoured): now, or in force at `dateTime` (seconds since 1904,
// local). Returns kNoErr, or kGenericErr with `delta` unchanged when the C
// library cannot read the zone for that time.
OSStatus GetGMTDelta(int32_t& delta);
OSStatus GetGMTDelta(uint32_t dateTime, int32_t& delta);

/* ---- HTTP dates ---- */

// "Sun, 06 Nov 1994 08:49:37 GMT" for `secs` (seconds since 1904, local).
std::string SecsToHttpDate(uint32_t secs);

// Reads an RFC 1123 date as HTTP sends it, always in GMT: the day (the first
// number), the first month name after it, then the year (below 40 plus 2000,
// 40 to 139 plus 1900) and hh:mm:ss, each the next word. Returns seconds since
// 1904 in local time, or 0 (no date) for a text with no digit or no month name.
uint32_t HttpDateToSecs(std::string_view httpDate);

/* ---- Item dates ---- */
// Both readers set `news.dateTime` and `news.dateFlags` from `news.date`:
// flags 0 for a full date and time, kDateFlagDateOnly when only the day could
// be read, kDateFlagNoDate with the time of reading (GetDateTime) when no date
// could be read.

// The local offsets of the days a document's dates fall on. The C
// library's zone lookup costs more than reading a date, so the offsets of a
// run of days are looked up together once and kept, for this thread, while
// the time zone stays the same. Making one follows a change of TZ: the
// kept offsets go, and the C library reads the new zone.
class LocalOffsetCache {
public:
    LocalOffsetCache();

    // The local time (seconds since 1904) of `unixTime`, as
    // DateTimeFromUnixTime gives it.
    uint32_t DateTimeAt(int64_t unixTime) const;
};

// W3C date-time, "2005-03-04T12:30:00+09:00". The year must be 2000 or later,
// then "-" month (1-12) "-" day (1-31), else no date; without "T" and a time
// the date is taken at 00:00 local with kDateFlagDateOnly. The time is hh:mm
// (hour at most 24, minute at most 60), then optionally ":ss" (at most 60) and
// a fraction; a bad time gives kDateFlagDateOnly, the time made from the
// fields read. The zone is "Z" (UTC) or "+" / "-" with hh:mm, hhmm or hh
// (hours at most 24, minutes at most 60); without a valid zone the time is
// local.
void W3CDateDecode(NewsList& news);
void W3CDateDecode(NewsList& news, const LocalOffsetCache& offsets);

// RFC 822 date, "Fri, 04 Mar 2005 12:30:00 +0900": the day (at most 31), the
// first month name after it, the year as in HTTP dates, then hh:mm[:ss]
// (hours at most 24, minutes and seconds at most 60); anything missing or out
// of range gives no date. The zone: "+hhmm" / "-hhmm"; a single military
// letter (A-I -1 to -9 hours, K-M -10 to -12, N-Y +1 to +12, Z and J 0);
// "GMT", "UT" or "UTC"; else the first of kZoneType named in the rest of the
// text; else none, and the time is local.
void POPDateDecode(NewsList& news);
void POPDateDecode(NewsList& news, const LocalOffsetCache& offsets);

// The local date and time of `secs` with the local offset at that time,
// "2005-03-04T12:30:00+0900" (no colon in the offset).
std::string W3CDateEncode(uint32_t secs);
