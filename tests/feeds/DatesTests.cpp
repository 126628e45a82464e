// The date readers and writers: tables of texts in a zone east of UTC (so
// that UTC and local readings differ), daylight saving in zones that have it,
// and the writers' round trips.
#include "FeedsTestSupport.h"

#include "feeds/Dates.h"
#include "model/NewsList.h"

#include <gtest/gtest.h>

constexpr uint32_t kReadingTime = 3'900'000'000u; // the frozen "now" of undated items

struct ItemDateCase {
    const char* text;
    uint32_t dateTime;
    uint32_t dateFlags;
};

static void ExpectItemDates(void (*decode)(NewsList&), std::initializer_list<ItemDateCase> cases)
{
    TestClockGuard clock(0, kReadingTime);
    for (const ItemDateCase& c : cases) {
        NewsList item;
        item.date = c.text;
        item.dateTime = 1;
        item.dateFlags = 0;
        decode(item);
        EXPECT_EQ(item.dateTime, c.dateTime) << "\"" << c.text << "\"";
        EXPECT_EQ(item.dateFlags, c.dateFlags) << "\"" << c.text << "\"";
    }
}

TEST(W3CDate, ReadsZonesAsUTCOffsets)
{
    ScopedTimeZone zone(kTokyo);
    ExpectItemDates(W3CDateDecode, {
        {"2005-03-04T12:30:00+09:00", Wall(2005, 3, 4, 12, 30), 0},
        {"2005-03-04T12:30:00-05:00", Wall(2005, 3, 5, 2, 30), 0},
        {"2005-03-04T12:30:00+0900", Wall(2005, 3, 4, 12, 30), 0},
        {"2005-03-04T12:30:00-0500", Wall(2005, 3, 5, 2, 30), 0},
        {"2005-03-04T12:30+01", Wall(2005, 3, 4, 20, 30), 0},
        {"2005-03-04T12:30:00Z", Wall(2005, 3, 4, 21, 30), 0},
        {"2005-03-04T12:30:00.000Z", Wall(2005, 3, 4, 21, 30), 0},
        {"2005-03-04T12:30:00.5-05:00", Wall(2005, 3, 5, 2, 30), 0},
        // No zone, or one that makes no sense: local wall time.
        {"2005-03-04T12:30:00", Wall(2005, 3, 4, 12, 30), 0},
        {"2005-03-04T12:30:00+25:00", Wall(2005, 3, 4, 12, 30), 0},
        {"2005-03-04T12:30:00+090", Wall(2005, 3, 4, 12, 30), 0},
        {"2005-03-04T12:30:00 EST", Wall(2005, 3, 4, 12, 30), 0},
    });
}

TEST(W3CDate, PartialAndBadDates)
{
    ScopedTimeZone zone(kTokyo);
    ExpectItemDates(W3CDateDecode, {
        {"2005-03-04", Wall(2005, 3, 4), kDateFlagDateOnly},
        {"2005-03-04 12:30", Wall(2005, 3, 4), kDateFlagDateOnly},
        {"2005-03-04T12", Wall(2005, 3, 4, 12), kDateFlagDateOnly},
        {"2005-03-04T25:00:00Z", Wall(2005, 3, 5, 1), kDateFlagDateOnly},
        {"2005-03-04T12:61", Wall(2005, 3, 4, 13, 1), kDateFlagDateOnly},
        {"2005-03-04T12:30:61", Wall(2005, 3, 4, 12, 31, 1), kDateFlagDateOnly},
        {"1999-12-31T23:59:59Z", kReadingTime, kDateFlagNoDate},
        {"2005-13-01", kReadingTime, kDateFlagNoDate},
        {"2005-03-32", kReadingTime, kDateFlagNoDate},
        {"2005-00-10", kReadingTime, kDateFlagNoDate},
        {"2005/03/04", kReadingTime, kDateFlagNoDate},
        {"2005", kReadingTime, kDateFlagNoDate},
        {"", kReadingTime, kDateFlagNoDate},
        {"Fri, 04 Mar 2005 12:30:00 GMT", kReadingTime, kDateFlagNoDate},
        {"99999999999999-01-01T00:00:00Z", 0xFFFFFFFFu, 0},
    });
}

TEST(RFC822Date, ReadsEveryKindOfZone)
{
    ScopedTimeZone zone(kTokyo);
    ExpectItemDates(POPDateDecode, {
        {"Fri, 04 Mar 2005 12:30:00 +0900", Wall(2005, 3, 4, 12, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 -0130", Wall(2005, 3, 4, 23, 0), 0},
        {"Fri, 04 Mar 05 12:30:00 EST", Wall(2005, 3, 5, 2, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 PDT", Wall(2005, 3, 5, 4, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 GMT", Wall(2005, 3, 4, 21, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 UT", Wall(2005, 3, 4, 21, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 UTC", Wall(2005, 3, 4, 21, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 Z", Wall(2005, 3, 4, 21, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 A", Wall(2005, 3, 4, 22, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 M", Wall(2005, 3, 5, 9, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 N", Wall(2005, 3, 4, 20, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 Y", Wall(2005, 3, 4, 9, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00 J", Wall(2005, 3, 4, 21, 30), 0},
        {"Fri, 04 Mar 2005 12:30:00", Wall(2005, 3, 4, 12, 30), 0},
        {"Fri, 04 Mar 2005 12:30 +0000", Wall(2005, 3, 4, 21, 30), 0},
        {"4 Mar 95 12:30:00 BST", Wall(1995, 3, 4, 12, 30), 0},
        {"Fri, 04 Mar 39 00:00:00 +0900", Wall(2039, 3, 4), 0},
    });
}

// The month is the first of January ... December named anywhere after the
// day, in the order of the year, not of the text.
TEST(RFC822Date, TheEarliestMonthNamedAnywhereIsTheMonth)
{
    ScopedTimeZone zone(kTokyo);
    ExpectItemDates(POPDateDecode, {
        {"Fri, 04 Mar 2005 12:30:00 +0900 (Jan)", Wall(2005, 1, 4, 12, 30), 0},
        {"Fri, 04 March 2005 12:30:00 +0900", Wall(2005, 3, 4, 12, 30), 0},
        {"Fri, 04 xDec 2005 12:30:00 +0900 Nov", Wall(2005, 11, 4, 12, 30), 0},
        {"Fri, 04 mar 2005 12:30:00 +0900", kReadingTime, kDateFlagNoDate},
        {"Fri, 04 Ma", kReadingTime, kDateFlagNoDate},
    });
}

TEST(RFC822Date, BadDatesAreNoDate)
{
    ScopedTimeZone zone(kTokyo);
    ExpectItemDates(POPDateDecode, {
        {"", kReadingTime, kDateFlagNoDate},
        {"Friday", kReadingTime, kDateFlagNoDate},
        {"Fri, 32 Mar 2005 12:30:00 GMT", kReadingTime, kDateFlagNoDate},
        {"Fri, 04 Foo 2005 12:30:00 GMT", kReadingTime, kDateFlagNoDate},
        {"Fri, 04", kReadingTime, kDateFlagNoDate},
        {"Fri, 04 Mar 2005 25:00:00 GMT", kReadingTime, kDateFlagNoDate},
        {"Fri, 04 Mar 2005 12:61:00 GMT", kReadingTime, kDateFlagNoDate},
        {"Fri, 04 Mar 2005 12:30:61 GMT", kReadingTime, kDateFlagNoDate},
    });
}

TEST(HttpDate, ReadsGMT)
{
    ScopedTimeZone zone(kTokyo);
    struct Case {
        const char* text;
        uint32_t secs;
    };
    const Case cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", Wall(1994, 11, 6, 17, 49, 37)},
        {"  \tSun, 06 Nov 06 08:49:37 GMT", Wall(2006, 11, 6, 17, 49, 37)},
        {"Sun, 06 Nov 95 08:49:37 GMT", Wall(1995, 11, 6, 17, 49, 37)},
        {"Sun, 06 Nov 1994 08:49:37 +0500", Wall(1994, 11, 6, 17, 49, 37)},
        {"no digits here", 0},
        {"Sun, 06 Nvo 1994 08:49:37 GMT", 0},
        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HttpDateToSecs(c.text), c.secs) << c.text;
}

TEST(HttpDate, WriterRoundTripsInEveryZone)
{
    for (const char* name : {"UTC0", kTokyo, kCentralEurope, kNewYork}) {
        ScopedTimeZone zone(name);
        const char* texts[] = {"Sun, 06 Nov 1994 08:49:37 GMT", "Fri, 01 Jul 2005 00:00:00 GMT",
                               "Wed, 31 Dec 2036 23:59:59 GMT"};
        for (const char* text : texts)
            EXPECT_EQ(SecsToHttpDate(HttpDateToSecs(text)), text) << name;
    }
}

TEST(ZoneOffsets, DaylightSavingAtTheDateInQuestion)
{
    ScopedTimeZone zone(kCentralEurope);
    int32_t delta = 0;
    ASSERT_EQ(GetGMTDelta(Wall(2005, 7, 1, 12), delta), kNoErr);
    EXPECT_EQ(delta, 7200);
    ASSERT_EQ(GetGMTDelta(Wall(2005, 1, 1, 12), delta), kNoErr);
    EXPECT_EQ(delta, 3600);
    ASSERT_EQ(GetGMTDelta(delta), kNoErr);
    EXPECT_TRUE(delta == 3600 || delta == 7200);

    // A date in another season than today's converts with its own offset.
    ExpectItemDates(W3CDateDecode, {
        {"2005-07-01T12:00:00Z", Wall(2005, 7, 1, 14), 0},
        {"2005-01-01T12:00:00Z", Wall(2005, 1, 1, 13), 0},
    });
    ExpectItemDates(POPDateDecode, {{"Fri, 01 Jul 2005 12:00:00 GMT", Wall(2005, 7, 1, 14), 0}});
    EXPECT_EQ(HttpDateToSecs("Fri, 01 Jul 2005 12:00:00 GMT"), Wall(2005, 7, 1, 14));
}

TEST(W3CDate, EncodeWritesTheLocalOffsetAndReadsBack)
{
    {
        ScopedTimeZone zone(kCentralEurope);
        EXPECT_EQ(W3CDateEncode(Wall(2005, 7, 1, 14, 5, 9)), "2005-07-01T14:05:09+0200");
        EXPECT_EQ(W3CDateEncode(Wall(2005, 1, 1, 14)), "2005-01-01T14:00:00+0100");
    }
    {
        ScopedTimeZone zone(kNewYork);
        EXPECT_EQ(W3CDateEncode(Wall(2005, 1, 1, 14)), "2005-01-01T14:00:00-0500");
    }
    {
        ScopedTimeZone zone("IST-5:30");
        EXPECT_EQ(W3CDateEncode(Wall(2005, 1, 1)), "2005-01-01T00:00:00+0530");
    }
    for (const char* name : {"UTC0", kTokyo, kCentralEurope, kNewYork, "IST-5:30"}) {
        ScopedTimeZone zone(name);
        for (uint32_t secs = Wall(2001, 1, 1); secs < Wall(2030, 1, 1); secs += 86'400u * 37 + 3'617u) {
            NewsList item;
            item.date = W3CDateEncode(secs);
            W3CDateDecode(item);
            EXPECT_EQ(item.dateTime, secs) << name << " " << item.date.view();
            EXPECT_EQ(item.dateFlags, 0u);
        }
    }
}

// "27 Mar 2005 00:59:59 GMT" for a Unix time, any year.
static std::string RFC822TextOfUnixTime(time_t unixTime)
{
    tm utc{};
    gmtime_r(&unixTime, &utc);
    char text[48];
    std::snprintf(text, sizeof text, "%02d %s %d %02d:%02d:%02d GMT", utc.tm_mday, kMnthStr[size_t(utc.tm_mon)].data(),
                  utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

static uint32_t DecodeRFC822(const std::string& text, const LocalOffsetCache* offsets)
{
    NewsList item;
    item.date = text;
    if (offsets)
        POPDateDecode(item, *offsets);
    else
        POPDateDecode(item);
    return item.dateTime;
}

TEST(LocalOffsetCache, ReadsEveryDateAsTheZoneLookupDoes)
{
    // Rule strings, and zones of the database with half-hour daylight
    // saving, quarter-hour offsets and changes at odd times of day.
    for (const char* name : {kCentralEurope, kNewYork, "UTC0", "Europe/Berlin", "Australia/Lord_Howe",
                             "Asia/Kathmandu", "America/Sao_Paulo", "Africa/Monrovia"}) {
        ScopedTimeZone zone(name);
        LocalOffsetCache offsets;
        // 1910 to 2040, every step at another time of day.
        for (time_t at = -1'900'000'000; at < 2'200'000'000; at += 2 * 86'400 + 7 * 3'600 + 13 * 60 + 7) {
            const std::string text = RFC822TextOfUnixTime(at);
            ASSERT_EQ(DecodeRFC822(text, &offsets), DecodeRFC822(text, nullptr)) << name << " " << text;
        }
        // Around Europe's changes of 2005 and Monrovia's of 1972, to the second.
        for (time_t change : {time_t(1'111'885'200), time_t(1'130'634'000), time_t(63'593'070)}) {
            for (time_t at = change - 2; at <= change + 1; ++at) {
                const std::string text = RFC822TextOfUnixTime(at);
                ASSERT_EQ(DecodeRFC822(text, &offsets), DecodeRFC822(text, nullptr)) << name << " " << text;
            }
        }
    }
}

TEST(LocalOffsetCache, ANewDocumentFollowsAChangeOfZone)
{
    const std::string text = "01 Jul 2005 12:00:00 GMT";
    ScopedTimeZone tokyo(kTokyo);
    {
        LocalOffsetCache offsets;
        EXPECT_EQ(DecodeRFC822(text, &offsets), Wall(2005, 7, 1, 21));
    }
    {
        // TZ changed without telling the C library, as another part of the
        // program might: the next document reads the new zone all the same.
        ScopedVariable europe("TZ", std::string(kCentralEurope));
        LocalOffsetCache offsets;
        EXPECT_EQ(DecodeRFC822(text, &offsets), Wall(2005, 7, 1, 14));
        EXPECT_EQ(DecodeRFC822(text, nullptr), Wall(2005, 7, 1, 14));
    }
    LocalOffsetCache offsets;
    EXPECT_EQ(DecodeRFC822(text, &offsets), Wall(2005, 7, 1, 21));
}
