// The stack of progress messages that the viewer's status line shows: the
// newest entry is on top. Keys are unique for the whole run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kStatusMessageLimit = 255; // bytes of one message

struct StatusEntry {
    std::string message;
    uint32_t kid = 0;
};

// Bottom first, top last.
using StatusStack = std::vector<StatusEntry>;

// Pushes a copy of `message` (cut to its limit) and returns the entry's key.
uint32_t AddNewStatus(StatusStack& stack, std::string_view message);

// Removes the entry with key `kid` wherever it lies; nothing when none has it.
void DeleteStatus(StatusStack& stack, uint32_t kid);

bool IsOnStatusStack(const StatusStack& stack, uint32_t kid);

// The message on top, or null for an empty stack.
const std::string* GetTopStatus(const StatusStack& stack);
