// The 1904-based local clock, its conversions in several zones, the tick
// counter and the frozen test clock.
#include "TestSupport.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

constexpr char kCentralEurope[] = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr char kNewYork[] = "EST5EDT,M3.2.0,M11.1.0";

struct DateCase {
    const char* zone;
    time_t unixTime;
    uint32_t expected;  // seconds since 1904, local
};

TEST(Clock, ConversionsCountTheLocalOffsetAndDaylightSaving)
{
    const DateCase cases[] = {
        {"UTC0", 946684800, 3029529600u},                 // 2000-01-01 00:00 UTC
        {"UTC0", -2082844800, 0u},                        // 1904-01-01 00:00
        {kCentralEurope, 946684800, 3029529600u + 3600},  // winter: +1 h
        {kCentralEurope, 962452800, 962452800u + 2082844800u + 7200},  // 2000-07-01 12:00 UTC, summer: +2 h
        {kNewYork, 946684800, 3029529600u - 5 * 3600},
        {kNewYork, 962452800, 962452800u + 2082844800u - 4 * 3600},
        {"UTC0", 1118220000, 3201064800u},                // 2005-06-08 08:40 UTC
    };
    for (const DateCase& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(DateTimeFromUnixTime(c.unixTime), c.expected) << c.zone << " " << c.unixTime;
        EXPECT_EQ(UnixTimeFromDateTime(c.expected), c.unixTime) << c.zone << " " << c.unixTime;
    }
}

TEST(Clock, ConversionsClampOutsideTheRange)
{
    ScopedTimeZone zone("UTC0");
    EXPECT_EQ(DateTimeFromUnixTime(-2082844801), 0u);
    EXPECT_EQ(DateTimeFromUnixTime(time_t(1) << 40), 0xFFFFFFFFu);
}

TEST(Clock, GetDateTimeIsLocalNow)
{
    ScopedTimeZone zone(kCentralEurope);
    uint32_t expected = DateTimeFromUnixTime(time(nullptr));
    EXPECT_NEAR(double(GetDateTime()), double(expected), 2.0);
}

TEST(Clock, TicksAreSixtiethsOfASecond)
{
    uint32_t start = TickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    uint32_t elapsed = TickCount() - start;
    EXPECT_GE(elapsed, 11u);
    EXPECT_LE(elapsed, 60u);
}

TEST(Clock, TestClockFreezesAndAdvancesBothClocks)
{
    {
        TestClockGuard clock(1000, 3029529600u);
        EXPECT_EQ(TickCount(), 1000u);
        EXPECT_EQ(GetDateTime(), 3029529600u);
        AdvanceTestClock(30);
        EXPECT_EQ(TickCount(), 1030u);
        EXPECT_EQ(GetDateTime(), 3029529600u);
        AdvanceTestClock(30);
        EXPECT_EQ(GetDateTime(), 3029529601u);
        AdvanceTestClock(3600 * kTicksPerSecond);
        EXPECT_EQ(GetDateTime(), 3029529601u + 3600);
        EXPECT_EQ(TickCount(), 1060u + 3600 * kTicksPerSecond);
    }
    EXPECT_NEAR(double(GetDateTime()), double(DateTimeFromUnixTime(time(nullptr))), 2.0);
    AdvanceTestClock(60);  // no test clock: no effect, no harm
    EXPECT_NEAR(double(GetDateTime()), double(DateTimeFromUnixTime(time(nullptr))), 2.0);
}
