// Date reading and writing. The readers scan the text once with a small
// cursor that never reads past the text's end, collect the wall-clock fields,
// and leave the zone arithmetic to two conversions: wall time as local time,
// or wall time in a zone turned into local time through Unix time.
#include "feeds/Dates.h"

#include "model/NewsList.h"
#include "platform/Clock.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>

constexpr int64_t kSecondsPerMinute = 60;
constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kDaysPer400Years = 146097;
constexpr int64_t kDaysFrom0000To1970 = 719468; // from 1 March of year 0, the civil-days origin

// Numbers in dates saturate here, far beyond any date the clock holds, so no
// text can overflow the arithmetic.
constexpr int64_t kMaxDateNumber = 1'000'000'000;
// Unix times handed to the C library stay within this, which the 1904 clock
// clamps long before.
constexpr int64_t kMaxUnixTimeMagnitude = int64_t(1) << 36;

constexpr int64_t kCenturyYearLimit = 40;     // two-digit years below this are 20xx
constexpr int64_t kTwoDigitYearLimit = 140;   // years below this (and from 40) are 19xx
constexpr int64_t kYear2000 = 2000;
constexpr int64_t kYear1900 = 1900;
constexpr int64_t kFirstW3CYear = 2000;

constexpr int64_t kMaxMonth = 12;
constexpr int64_t kMaxDay = 31;
constexpr int64_t kMaxHour = 24;
constexpr int64_t kMaxMinute = 60;
constexpr int64_t kMaxSecond = 60;
constexpr int64_t kHoursAndMinutesDigits = 4; // "+0900"
constexpr int64_t kHoursDigits = 2;           // "+09"
constexpr int64_t kHundred = 100;
constexpr int kLastMilitaryZoneBeforeJ = 'I'; // A-I: -1 to -9 hours
constexpr int kLastWesternMilitaryZone = 'M'; // K-M: -10 to -12 hours

/* ---- Wall time ---- */

struct WallTime {
    int64_t year = 0;
    int64_t month = 1;
    int64_t day = 1;
    int64_t hour = 0;
    int64_t minute = 0;
    int64_t second = 0;
};

// Days from 1970-01-01 to the civil date (proleptic Gregorian); the day may
// lie outside its month and counts on from the month's start.
static int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * kDaysPer400Years + dayOfEra - kDaysFrom0000To1970;
}

// The wall time's seconds from 1970-01-01 00:00 on the same clock.
static int64_t SecondsSince1970(const WallTime& time)
{
    return DaysFromCivil(time.year, time.month, time.day) * kSecondsPerDay + time.hour * kSecondsPerHour +
           time.minute * kSecondsPerMinute + time.second;
}

static uint32_t ClampToClock(int64_t seconds)
{
    return uint32_t(std::clamp<int64_t>(seconds, 0, std::numeric_limits<uint32_t>::max()));
}

// The wall time read as local time: the 1904 clock counts local wall time.
static uint32_t LocalSecsFromWallTime(const WallTime& time)
{
    return ClampToClock(SecondsSince1970(time) + kSecondsFrom1904To1970);
}

// The wall time of a zone `zoneOffset` seconds east of UTC, as local time
// with the offset in force at that moment; from `offsets` when given.
static uint32_t LocalSecsFromZonedWallTime(const WallTime& time, int64_t zoneOffset,
                                           const LocalOffsetCache* offsets = nullptr)
{
    const int64_t unixTime =
        std::clamp(SecondsSince1970(time) - zoneOffset, -kMaxUnixTimeMagnitude, kMaxUnixTimeMagnitude);
    if (offsets)
        return offsets->DateTimeAt(unixTime);
    return DateTimeFromUnixTime(time_t(unixTime));
}

static int64_t AdjustTwoDigitYear(int64_t year)
{
    if (year < kCenturyYearLimit)
        return year + kYear2000;
    if (year < kTwoDigitYearLimit)
        return year + kYear1900;
    return year;
}

/* ---- Scanning ---- */

static bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

static bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

static char UpperASCII(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

static bool EqualIgnoringASCIICase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return UpperASCII(x) == UpperASCII(y); });
}

// A read position in a date text. Every read checks the end.
class DateScanner {
public:
    explicit DateScanner(std::string_view text) : text_(text) {}

    bool AtEnd() const { return at_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[at_]; }
    char PeekAfter() const { return at_ + 1 < text_.size() ? text_[at_ + 1] : '\0'; }
    std::string_view Rest() const { return AtEnd() ? std::string_view() : text_.substr(at_); }

    bool Consume(char c)
    {
        if (Peek() != c || AtEnd())
            return false;
        ++at_;
        return true;
    }
    void SkipBlanks()
    {
        while (!AtEnd() && (text_[at_] == ' ' || text_[at_] == '\t'))
            ++at_;
    }
    void SkipWhiteSpace()
    {
        while (!AtEnd() && std::string_view(" \t\r\n\v\f").find(text_[at_]) != std::string_view::npos)
            ++at_;
    }
    void SkipToDigit()
    {
        while (!AtEnd() && !IsDigit(text_[at_]))
            ++at_;
    }
    // Skips a word (a run of anything but blanks) and the blanks after it.
    void SkipToken()
    {
        while (!AtEnd() && text_[at_] != ' ' && text_[at_] != '\t')
            ++at_;
        SkipBlanks();
    }
    // Decimal digits at the position; `count` receives how many (0: value 0).
    int64_t ReadNumber(int& count)
    {
        int64_t value = 0;
        count = 0;
        while (!AtEnd() && IsDigit(text_[at_])) {
            value = std::min(value * 10 + (text_[at_] - '0'), kMaxDateNumber);
            ++at_;
            ++count;
        }
        return value;
    }
    int64_t ReadNumber()
    {
        int count = 0;
        return ReadNumber(count);
    }
    void SkipDigits()
    {
        while (!AtEnd() && IsDigit(text_[at_]))
            ++at_;
    }
    std::string_view ReadLetters()
    {
        const size_t start = at_;
        while (!AtEnd() && IsLetter(text_[at_]))
            ++at_;
        return text_.substr(start, at_ - start);
    }

private:
    std::string_view text_;
    size_t at_ = 0;
};

constexpr size_t kMonthNameBytes = 3;

static_assert(std::all_of(kMnthStr.begin(), kMnthStr.end(),
                          [](std::string_view name) { return name.size() == kMonthNameBytes; }),
              "every month name has three letters");

// The first of "Jan" ... "Dec", in that order, found anywhere in `text`;
// 1 to 12, or null. One pass keeps the earliest month of the year seen, which
// is what searching for each name in turn finds; a place is compared with the
// names only when it begins with a capital letter.
static std::optional<int64_t> FindMonth(std::string_view text)
{
    size_t found = kMnthStr.size();
    for (size_t at = 0; found > 0 && at + kMonthNameBytes <= text.size(); ++at) {
        if (text[at] < 'A' || text[at] > 'Z')
            continue;
        for (size_t month = 0; month < found; ++month) {
            const std::string_view name = kMnthStr[month];
            if (text[at] == name[0] && text[at + 1] == name[1] && text[at + 2] == name[2]) {
                found = month;
                break;
            }
        }
    }
    if (found == kMnthStr.size())
        return std::nullopt;
    return int64_t(found + 1);
}

// "hh:mm:ss", the minutes and seconds optional; missing numbers read as 0.
static void ReadClockTime(DateScanner& scanner, WallTime& time)
{
    time.hour = scanner.ReadNumber();
    if (!scanner.Consume(':'))
        return;
    time.minute = scanner.ReadNumber();
    if (!scanner.Consume(':'))
        return;
    time.second = scanner.ReadNumber();
}

// The fields shared by HTTP and RFC 822 dates: the day, a month name, the year
// and the time. Null when there is no digit or no month name.
static std::optional<WallTime> ReadMailStyleDate(DateScanner& scanner)
{
    WallTime time;
    scanner.SkipBlanks();
    scanner.SkipToDigit();
    if (scanner.AtEnd())
        return std::nullopt;
    time.day = scanner.ReadNumber();
    scanner.SkipToken();
    if (scanner.AtEnd())
        return std::nullopt;
    std::optional<int64_t> month = FindMonth(scanner.Rest());
    if (!month)
        return std::nullopt;
    time.month = *month;
    scanner.SkipToken();
    time.year = AdjustTwoDigitYear(scanner.ReadNumber());
    scanner.SkipToken();
    ReadClockTime(scanner, time);
    return time;
}

/* ---- The local offset ---- */

static OSStatus GetGMTDeltaAtUnixTime(time_t unixTime, int32_t& delta)
{
    tm local{};
    if (localtime_r(&unixTime, &local) == nullptr)
        return kGenericErr;
    delta = int32_t(local.tm_gmtoff);
    return kNoErr;
}

OSStatus GetGMTDelta(int32_t& delta)
{
    return GetGMTDeltaAtUnixTime(time(nullptr), delta);
}

OSStatus GetGMTDelta(uint32_t dateTime, int32_t& delta)
{
    return GetGMTDeltaAtUnixTime(UnixTimeFromDateTime(dateTime), delta);
}

// The UTC offsets of runs of days for the time zone in force, each looked
// up at the day's first second. A day whose first second and the next
// day's share an offset has it throughout: in every zone of the time-zone
// database, offset changes lie days apart.
class DayOffsets {
public:
    // Starts over when TZ is not what the offsets were read under.
    void Follow(const char* zone)
    {
        const std::string_view current = zone ? std::string_view(zone) : kNoZone;
        if (current == zone_)
            return;
        // The C library reads TZ again only when told to.
        tzset();
        zone_ = std::string(current);
        runs_.fill(Run());
    }

    // The offset in force all day on day `number` since 1970, or null.
    std::optional<int64_t> SteadyOffset(int64_t number)
    {
        const int64_t first = FloorDivide(number, kRunDays) * kRunDays;
        Run& run = runs_[uint64_t(first / kRunDays) % kRuns];
        if (!run.read || run.firstDay != first)
            Read(run, first);
        const size_t day = size_t(number - first);
        if (!run.known[day] || !run.known[day + 1] || run.offsets[day] != run.offsets[day + 1])
            return std::nullopt;
        return run.offsets[day];
    }

private:
    static constexpr int64_t kRunDays = 512;
    static constexpr size_t kRuns = 4;
    static constexpr std::string_view kNoZone = "\x01"; // TZ unset: the system's zone

    struct Run {
        bool read = false;
        int64_t firstDay = 0;
        std::array<int32_t, kRunDays + 1> offsets{};
        std::bitset<kRunDays + 1> known;
    };

    static int64_t FloorDivide(int64_t a, int64_t b) { return (a >= 0 ? a : a - (b - 1)) / b; }

    static void Read(Run& run, int64_t firstDay)
    {
        run.read = true;
        run.firstDay = firstDay;
        for (size_t day = 0; day <= size_t(kRunDays); ++day) {
            int64_t offset = 0;
            run.known[day] = LocalOffsetAt(time_t((firstDay + int64_t(day)) * kSecondsPerDay), offset);
            run.offsets[day] = int32_t(offset);
        }
    }

    std::string zone_;
    std::array<Run, kRuns> runs_{};
};

static DayOffsets& ThreadDayOffsets()
{
    thread_local DayOffsets offsets;
    return offsets;
}

LocalOffsetCache::LocalOffsetCache()
{
    ThreadDayOffsets().Follow(std::getenv("TZ"));
}

uint32_t LocalOffsetCache::DateTimeAt(int64_t unixTime) const
{
    const int64_t day = (unixTime >= 0 ? unixTime : unixTime - (kSecondsPerDay - 1)) / kSecondsPerDay;
    std::optional<int64_t> offset = ThreadDayOffsets().SteadyOffset(day);
    if (!offset)
        return DateTimeFromUnixTime(time_t(unixTime));
    return DateTimeFromUnixTime(time_t(unixTime), *offset);
}

/* ---- HTTP dates ---- */

std::string SecsToHttpDate(uint32_t secs)
{
    const time_t unixTime = UnixTimeFromDateTime(secs);
    tm gmt{};
    if (gmtime_r(&unixTime, &gmt) == nullptr)
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %d %02d:%02d:%02d GMT", kWeekStr[size_t(gmt.tm_wday)].data(),
                  gmt.tm_mday, kMnthStr[size_t(gmt.tm_mon)].data(), gmt.tm_year + 1900, gmt.tm_hour, gmt.tm_min,
                  gmt.tm_sec);
    return text;
}

uint32_t HttpDateToSecs(std::string_view httpDate)
{
    DateScanner scanner(httpDate);
    std::optional<WallTime> time = ReadMailStyleDate(scanner);
    if (!time)
        return 0;
    return LocalSecsFromZonedWallTime(*time, 0);
}

/* ---- Item dates ---- */

static void SetNoDate(NewsList& news)
{
    news.dateTime = GetDateTime();
    news.dateFlags = kDateFlagNoDate;
}

static void SetDate(NewsList& news, uint32_t dateTime, uint32_t dateFlags)
{
    news.dateTime = dateTime;
    news.dateFlags = dateFlags;
}

// "Z", or "+" / "-" and hh:mm, hhmm or hh; seconds east of UTC, or null.
static std::optional<int64_t> ReadW3CZone(DateScanner& scanner)
{
    if (scanner.Consume('Z') || scanner.Consume('z'))
        return 0;
    const int64_t sign = scanner.Consume('+') ? 1 : scanner.Consume('-') ? -1 : 0;
    if (sign == 0)
        return std::nullopt;
    int count = 0;
    int64_t hours = scanner.ReadNumber(count);
    int64_t minutes = 0;
    if (count == kHoursAndMinutesDigits) {
        minutes = hours % kHundred;
        hours /= kHundred;
    } else if (count > 0 && count <= kHoursDigits) {
        if (scanner.Consume(':')) {
            minutes = scanner.ReadNumber(count);
            if (count == 0)
                return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    if (hours > kMaxHour || minutes > kMaxMinute)
        return std::nullopt;
    return sign * (hours * kSecondsPerHour + minutes * kSecondsPerMinute);
}

static void ReadW3CDate(NewsList& news, const LocalOffsetCache* offsets)
{
    DateScanner scanner(news.date.view());
    scanner.SkipWhiteSpace();
    WallTime time;
    time.year = scanner.ReadNumber();
    if (time.year < kFirstW3CYear || !scanner.Consume('-'))
        return SetNoDate(news);
    time.month = scanner.ReadNumber();
    if (time.month < 1 || time.month > kMaxMonth || !scanner.Consume('-'))
        return SetNoDate(news);
    time.day = scanner.ReadNumber();
    if (time.day < 1 || time.day > kMaxDay)
        return SetNoDate(news);
    if (!scanner.Consume('T'))
        return SetDate(news, LocalSecsFromWallTime(time), kDateFlagDateOnly);
    time.hour = scanner.ReadNumber();
    if (time.hour > kMaxHour || !scanner.Consume(':'))
        return SetDate(news, LocalSecsFromWallTime(time), kDateFlagDateOnly);
    time.minute = scanner.ReadNumber();
    if (time.minute > kMaxMinute)
        return SetDate(news, LocalSecsFromWallTime(time), kDateFlagDateOnly);
    if (scanner.Consume(':')) {
        time.second = scanner.ReadNumber();
        if (time.second > kMaxSecond)
            return SetDate(news, LocalSecsFromWallTime(time), kDateFlagDateOnly);
    }
    if (scanner.Consume('.') || scanner.Consume(','))
        scanner.SkipDigits();
    std::optional<int64_t> zone = ReadW3CZone(scanner);
    if (!zone)
        return SetDate(news, LocalSecsFromWallTime(time), 0);
    SetDate(news, LocalSecsFromZonedWallTime(time, *zone, offsets), 0);
}

void W3CDateDecode(NewsList& news)
{
    ReadW3CDate(news, nullptr);
}

void W3CDateDecode(NewsList& news, const LocalOffsetCache& offsets)
{
    ReadW3CDate(news, &offsets);
}

// The military letter's offset in hours: A-I -1..-9, K-M -10..-12,
// N-Y +1..+12, Z and J 0.
static int64_t MilitaryZoneHours(char letter)
{
    letter = UpperASCII(letter);
    if (letter >= 'A' && letter <= kLastMilitaryZoneBeforeJ)
        return -(letter - 'A' + 1);
    if (letter >= 'K' && letter <= kLastWesternMilitaryZone)
        return -(letter - 'K' + 10);
    if (letter >= 'N' && letter <= 'Y')
        return letter - 'N' + 1;
    return 0;
}

// The zone of an RFC 822 date, in seconds east of UTC; null for local time.
static std::optional<int64_t> ReadRFC822Zone(DateScanner& scanner)
{
    scanner.SkipBlanks();
    const std::string_view rest = scanner.Rest();
    const char first = scanner.Peek();
    if (first == '+' || first == '-') {
        const int64_t sign = first == '+' ? 1 : -1;
        scanner.Consume(first);
        int count = 0;
        int64_t number = scanner.ReadNumber(count);
        if (count > 0) {
            int64_t hours = number / kHundred;
            int64_t minutes = number % kHundred;
            if (count <= kHoursDigits) {
                hours = number;
                minutes = scanner.Consume(':') ? scanner.ReadNumber() : 0;
            }
            return sign * (hours * kSecondsPerHour + minutes * kSecondsPerMinute);
        }
    } else if (IsLetter(first) && !IsLetter(scanner.PeekAfter())) {
        return MilitaryZoneHours(first) * kSecondsPerHour;
    } else if (IsLetter(first)) {
        std::string_view name = scanner.ReadLetters();
        if (EqualIgnoringASCIICase(name, "GMT") || EqualIgnoringASCIICase(name, "UT") ||
            EqualIgnoringASCIICase(name, "UTC"))
            return 0;
    }
    for (const ZoneType& zone : kZoneType) {
        if (rest.find(zone.name) != std::string_view::npos)
            return zone.hour * kSecondsPerHour;
    }
    return std::nullopt;
}

static void ReadRFC822Date(NewsList& news, const LocalOffsetCache* offsets)
{
    DateScanner scanner(news.date.view());
    std::optional<WallTime> time = ReadMailStyleDate(scanner);
    if (!time || time->day > kMaxDay || time->hour > kMaxHour || time->minute > kMaxMinute ||
        time->second > kMaxSecond)
        return SetNoDate(news);
    std::optional<int64_t> zone = ReadRFC822Zone(scanner);
    if (!zone)
        return SetDate(news, LocalSecsFromWallTime(*time), 0);
    SetDate(news, LocalSecsFromZonedWallTime(*time, *zone, offsets), 0);
}

void POPDateDecode(NewsList& news)
{
    ReadRFC822Date(news, nullptr);
}

void POPDateDecode(NewsList& news, const LocalOffsetCache& offsets)
{
    ReadRFC822Date(news, &offsets);
}

std::string W3CDateEncode(uint32_t secs)
{
    const time_t unixTime = UnixTimeFromDateTime(secs);
    tm local{};
    if (localtime_r(&unixTime, &local) == nullptr)
        return {};
    const long offset = local.tm_gmtoff;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02dT%02d:%02d:%02d%c%02ld%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+',
                  magnitude / kSecondsPerHour, magnitude % kSecondsPerHour / kSecondsPerMinute);
    return text;
}
