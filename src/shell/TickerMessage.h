// Reading the text of a ticker message sent by another program: source,
// message, optional sound and effect, and the "priority,messageID,processID"
// tail. The ticker itself queues and shows what this produces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

constexpr size_t kTickerMessageTextLimit = 1023; // bytes of the whole message text
constexpr size_t kTickerSourceLimit = 63;
constexpr size_t kTickerMessageLimit = 255;
constexpr size_t kTickerSoundLimit = 31;
constexpr size_t kTickerEffectLimit = 31;
constexpr int32_t kTickerDefaultPriority = 1;

struct TickerMessage {
    std::string source;
    std::string message;
    std::string sound;
    std::string effect;
    int32_t priority = kTickerDefaultPriority;
    int32_t messageID = 0;
    int32_t processID = 0;
};

// Copies one line of `text` into `line`, at most `length` bytes (never
// splitting a UTF-8 character), skipping the rest of an over-long line. A line
// ends at NUL, CR or LF; the returned offset is just after one CR or one LF, so
// a CR LF pair reads as a line end followed by an empty line.
size_t GetLine(std::string_view text, size_t offset, std::string& line, size_t length);

// Looks a process id up by the program's name; injected so that tests can
// answer without real processes.
using ProcessIDLookup = int32_t (*)(std::string_view name);

// Parses a message text. Null when the source or the message line is missing
// or empty. Over-long lines are cut to their limits.
std::optional<TickerMessage> ParseTickerMessage(std::string_view text, ProcessIDLookup lookup);
