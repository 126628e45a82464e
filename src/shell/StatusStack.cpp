// Status stack entries and the run-wide key counter.
#include "shell/StatusStack.h"

#include "platform/UnicodeText.h"

#include <algorithm>

// Starts at 1: callers use key 0 for "nothing was pushed", so no real entry
// may carry it.
static uint32_t gStatusID = 1;

uint32_t AddNewStatus(StatusStack& stack, std::string_view message)
{
    StatusEntry entry;
    entry.message.assign(message);
    CutUTF8Text(entry.message, kStatusMessageLimit);
    entry.kid = gStatusID++;
    stack.push_back(std::move(entry));
    return stack.back().kid;
}

void DeleteStatus(StatusStack& stack, uint32_t kid)
{
    std::erase_if(stack, [kid](const StatusEntry& entry) { return entry.kid == kid; });
}

bool IsOnStatusStack(const StatusStack& stack, uint32_t kid)
{
    return std::any_of(stack.begin(), stack.end(), [kid](const StatusEntry& entry) { return entry.kid == kid; });
}

const std::string* GetTopStatus(const StatusStack& stack)
{
    return stack.empty() ? nullptr : &stack.back().message;
}
