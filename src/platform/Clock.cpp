// The tick counter and the 1904-based local clock, plus the frozen clock that
// tests install. Conversions between Unix time and local 1904 seconds go
// through the C library's zone rules so that daylight saving is counted.
#include "platform/Clock.h"

#include <cstdint>
#include <limits>

static bool gTestClockActive = false;
static uint32_t gTestTicks = 0;           // the frozen tick count
static uint32_t gTestDateTime = 0;        // the frozen date at the last whole second
static uint32_t gTestTickRemainder = 0;   // ticks not yet added up to a second

uint32_t TickCount()
{
    if (gTestClockActive)
        return gTestTicks;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ticks = uint64_t(now.tv_sec) * kTicksPerSecond +
                     uint64_t(now.tv_nsec) * kTicksPerSecond / 1000000000u;
    return uint32_t(ticks);
}

uint32_t GetDateTime()
{
    if (gTestClockActive)
        return gTestDateTime;
    return DateTimeFromUnixTime(time(nullptr));
}

bool LocalOffsetAt(time_t unixTime, int64_t& offset)
{
    tm local{};
    if (localtime_r(&unixTime, &local) == nullptr)
        return false;
    offset = int64_t(local.tm_gmtoff);
    return true;
}

uint32_t DateTimeFromUnixTime(time_t unixTime, int64_t offset)
{
    int64_t seconds = int64_t(unixTime) + kSecondsFrom1904To1970 + offset;
    if (seconds < 0)
        return 0;
    if (seconds > int64_t(std::numeric_limits<uint32_t>::max()))
        return std::numeric_limits<uint32_t>::max();
    return uint32_t(seconds);
}

uint32_t DateTimeFromUnixTime(time_t unixTime)
{
    int64_t offset = 0;
    if (!LocalOffsetAt(unixTime, offset))
        return 0;
    return DateTimeFromUnixTime(unixTime, offset);
}

time_t UnixTimeFromDateTime(uint32_t dateTime)
{
    // Read the local wall-clock fields as if they were UTC, then let mktime
    // find the offset that was in force at that local time.
    time_t wallClock = time_t(int64_t(dateTime) - kSecondsFrom1904To1970);
    tm fields{};
    if (gmtime_r(&wallClock, &fields) == nullptr)
        return wallClock;
    fields.tm_isdst = -1;
    return mktime(&fields);
}

void SetTestClock(uint32_t ticks, uint32_t dateTime)
{
    gTestClockActive = true;
    gTestTicks = ticks;
    gTestDateTime = dateTime;
    gTestTickRemainder = 0;
}

void AdvanceTestClock(uint32_t ticks)
{
    if (!gTestClockActive)
        return;
    gTestTicks += ticks;
    uint64_t pending = uint64_t(gTestTickRemainder) + ticks;
    gTestDateTime += uint32_t(pending / kTicksPerSecond);
    gTestTickRemainder = uint32_t(pending % kTicksPerSecond);
}

void ClearTestClock()
{
    gTestClockActive = false;
    gTestTicks = 0;
    gTestDateTime = 0;
    gTestTickRemainder = 0;
}
