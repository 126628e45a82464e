// Small fixtures shared by the feeds tests: running a transform on a string
// inside a guarded buffer, a scoped time zone, wall-clock dates on the 1904
// clock and a scratch folder.
#pragma once

#include "support/ScratchSpace.h"

#include "feeds/TextBuffer.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A buffer of `capacity` bytes followed by guard bytes; `Run` applies a
// transform to `input` there and fails the test when anything was written
// past the capacity.
class GuardedText {
public:
    static constexpr size_t kGuardBytes = 64;
    static constexpr char kGuardByte = '\x5A';

    explicit GuardedText(size_t capacity = kMaxTextBytes)
        : capacity_(capacity), bytes_(capacity + kGuardBytes, kGuardByte)
    {
    }

    std::string Run(std::string_view input, const std::function<void(TextBuffer&)>& transform)
    {
        std::fill(bytes_.begin(), bytes_.end(), kGuardByte);
        TextBuffer text(bytes_.data(), 0, capacity_);
        text.Assign(input);
        transform(text);
        EXPECT_LE(text.size(), capacity_);
        for (size_t i = capacity_; i < bytes_.size(); ++i) {
            if (bytes_[i] != kGuardByte) {
                ADD_FAILURE() << "written past the capacity at byte " << i;
                break;
            }
        }
        return std::string(text.view());
    }

private:
    size_t capacity_;
    std::vector<char> bytes_;
};

// Runs `transform` on `input` in a guarded buffer of the widest field.
inline std::string Transformed(std::string_view input, const std::function<void(TextBuffer&)>& transform,
                               size_t capacity = kMaxTextBytes)
{
    return GuardedText(capacity).Run(input, transform);
}

constexpr char kTokyo[] = "JST-9";
constexpr char kCentralEurope[] = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr char kNewYork[] = "EST5EDT,M3.2.0,M11.1.0";

// The wall-clock time as seconds since 1904 on the local clock (the clock
// counts local wall time, so no zone is involved).
inline uint32_t Wall(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return uint32_t(int64_t(timegm(&fields)) + kSecondsFrom1904To1970);
}

