// Ticks and the local wall clock. Timer durations and time-outs are ticks of
// 1/60 second; dates are unsigned seconds since 1 January 1904 in local time,
// the form every stored date and every record uses. Tests may freeze both
// clocks and move them forward by hand.
#pragma once

#include <cstdint>
#include <ctime>

constexpr uint32_t kTicksPerSecond = 60;

// Seconds from 1 January 1904 to 1 January 1970, both UTC.
constexpr int64_t kSecondsFrom1904To1970 = 2082844800;

// Ticks since an arbitrary start (the system's monotonic clock), never going
// back when the wall clock is set. Wraps after about 2.2 years of uptime, as
// a 32-bit tick count always has: compare with unsigned differences.
// Under a test clock: the installed value. Cost: one clock read.
uint32_t TickCount();

// The local time now, in seconds since 1 January 1904 local time: Unix time
// + 2082844800 + the local UTC offset at this moment (daylight saving
// included). Under a test clock: the installed value, advanced with its ticks.
uint32_t GetDateTime();

// Unix time -> seconds since 1904 local time, with the UTC offset in force at
// that moment. Times before 1904 give 0, times after 2040 give 0xFFFFFFFF.
// Cost: one localtime_r (reads the zone rules; TZ is honoured).
uint32_t DateTimeFromUnixTime(time_t unixTime);

// The same with the UTC offset (seconds east) already known.
uint32_t DateTimeFromUnixTime(time_t unixTime, int64_t offset);

// The UTC offset in force at `unixTime`, in seconds east; false when the C
// library cannot tell it.
bool LocalOffsetAt(time_t unixTime, int64_t& offset);

// Seconds since 1904 local time -> Unix time. A local time that occurs twice
// (the hour after daylight saving ends) is taken as the first occurrence the
// C library picks; one that never occurs (the skipped hour) moves forward.
// Cost: one mktime.
time_t UnixTimeFromDateTime(uint32_t dateTime);

/* ---- Test clock ---- */

// Freezes TickCount at `ticks` and GetDateTime at `dateTime` until
// ClearTestClock. For tests only: nothing else moves the frozen clocks.
void SetTestClock(uint32_t ticks, uint32_t dateTime);

// Moves the frozen clocks forward: ticks by `ticks`, the date by whole
// seconds as the ticks add up (60 ticks = 1 second). No effect without a test clock.
void AdvanceTestClock(uint32_t ticks);

// Back to the real clocks.
void ClearTestClock();

// Installs a test clock for one scope and removes it on every way out.
class TestClockGuard {
public:
    TestClockGuard(uint32_t ticks, uint32_t dateTime) { SetTestClock(ticks, dateTime); }
    ~TestClockGuard() { ClearTestClock(); }
    TestClockGuard(const TestClockGuard&) = delete;
    TestClockGuard& operator=(const TestClockGuard&) = delete;
};
