// Line reading and field parsing of ticker message texts.
#include "shell/TickerMessage.h"

#include "platform/UnicodeText.h"

#include <algorithm>
#include <climits>

size_t GetLine(std::string_view text, size_t offset, std::string& line, size_t length)
{
    size_t end = offset;
    while (end < text.size() && text[end] != '\0' && text[end] != '\r' && text[end] != '\n')
        ++end;
    line.assign(text.substr(offset, end - offset));
    CutUTF8Text(line, length);
    bool atLineEnd = end < text.size() && (text[end] == '\r' || text[end] == '\n');
    return atLineEnd ? end + 1 : end;
}

// Reads an optionally signed decimal number the way "%ld" does, clamped to
// 32 bits. Returns false when no digit is there.
static bool ReadDecimal(std::string_view text, size_t& offset, int32_t& value)
{
    size_t at = offset;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n'))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    size_t digitsStart = at;
    int64_t magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        magnitude = std::min<int64_t>(magnitude * 10 + (text[at] - '0'), int64_t(INT32_MAX) + 1);
    if (at == digitsStart)
        return false;
    int64_t signedValue = negative ? -magnitude : magnitude;
    value = int32_t(std::clamp<int64_t>(signedValue, INT32_MIN, INT32_MAX));
    offset = at;
    return true;
}

// The text after the second comma of the tail, without trailing line ends.
static std::string_view ProcessNameAfterSecondComma(std::string_view tail)
{
    size_t first = tail.find(',');
    if (first == std::string_view::npos)
        return {};
    size_t second = tail.find(',', first + 1);
    if (second == std::string_view::npos)
        return {};
    std::string_view name = tail.substr(second + 1);
    while (!name.empty() && (name.back() == '\r' || name.back() == '\n'))
        name.remove_suffix(1);
    return name;
}

// "%ld,%ld,%ld": each number is read only when the one before it and its comma were.
static void ReadNumericTail(std::string_view tail, TickerMessage& parsed, ProcessIDLookup lookup)
{
    size_t offset = 0;
    int32_t* targets[] = {&parsed.priority, &parsed.messageID, &parsed.processID};
    for (size_t index = 0; index < 3; ++index) {
        if (index > 0) {
            if (offset >= tail.size() || tail[offset] != ',')
                break;
            ++offset;
        }
        if (!ReadDecimal(tail, offset, *targets[index]))
            break;
    }
    if (parsed.processID != 0 || lookup == nullptr)
        return;
    std::string_view name = ProcessNameAfterSecondComma(tail);
    if (!name.empty())
        parsed.processID = lookup(name);
}

std::optional<TickerMessage> ParseTickerMessage(std::string_view text, ProcessIDLookup lookup)
{
    text = text.substr(0, std::min(text.size(), kTickerMessageTextLimit));
    text = text.substr(0, std::min(text.size(), text.find('\0')));

    TickerMessage parsed;
    size_t offset = GetLine(text, 0, parsed.source, kTickerSourceLimit);
    offset = GetLine(text, offset, parsed.message, kTickerMessageLimit);
    if (parsed.source.empty() || parsed.message.empty())
        return std::nullopt;

    if (offset >= text.size())
        return parsed;
    offset = GetLine(text, offset, parsed.sound, kTickerSoundLimit);
    if (parsed.sound.empty() || offset >= text.size())
        return parsed;
    offset = GetLine(text, offset, parsed.effect, kTickerEffectLimit);
    if (parsed.effect.empty() || offset >= text.size())
        return parsed;
    ReadNumericTail(text.substr(offset), parsed, lookup);
    return parsed;
}
