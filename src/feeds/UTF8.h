// UTF-8 checks the text tools need without allocating: encoding one
// character, finding where a sequence is broken, and where a cut may fall.
// Private to the feeds module's .cpp files; cutting a std::string to width
// is the model's CutTextToWidth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace utf8 {

constexpr size_t kMaxSequenceBytes = 4;

// Writes the UTF-8 bytes of `codePoint` (a Unicode character) to `out`;
// returns how many (1 to 4).
inline size_t Encode(uint32_t codePoint, char* out)
{
    if (codePoint < 0x80) {
        out[0] = char(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = char(0xC0 | (codePoint >> 6));
        out[1] = char(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = char(0xE0 | (codePoint >> 12));
        out[1] = char(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = char(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (codePoint >> 18));
    out[1] = char(0x80 | ((codePoint >> 12) & 0x3F));
    out[2] = char(0x80 | ((codePoint >> 6) & 0x3F));
    out[3] = char(0x80 | (codePoint & 0x3F));
    return 4;
}

inline bool IsContinuation(uint8_t byte)
{
    return (byte & 0xC0) == 0x80;
}

// What a well-formed sequence at `p` spans: 1 to 4 bytes when the bytes
// there form one whole character (no overlong form, no surrogate, nothing
// above U+10FFFF), 0 when they do not. `truncated` is set when the bytes are
// a good beginning that the end of the text cuts off.
inline size_t SequenceLength(const uint8_t* p, const uint8_t* end, bool& truncated)
{
    truncated = false;
    const uint8_t lead = p[0];
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    uint8_t low = 0x80;  // the second byte's bounds, narrowed for the leads
    uint8_t high = 0xBF; // that would otherwise allow overlongs or surrogates
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if (p + i >= end) {
            truncated = true;
            return 0;
        }
        const uint8_t byte = p[i];
        if (i == 1 ? (byte < low || byte > high) : !IsContinuation(byte))
            return 0;
    }
    return length;
}

// The offset of the first byte that does not begin a whole, well-formed
// character; text.size() when the text is valid UTF-8. `truncated` tells a
// sequence cut off by the end from a broken one.
inline size_t FindInvalid(std::string_view text, bool& truncated)
{
    const auto* begin = reinterpret_cast<const uint8_t*>(text.data());
    const auto* end = begin + text.size();
    const auto* p = begin;
    truncated = false;
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        size_t length = SequenceLength(p, end, truncated);
        if (length == 0)
            return size_t(p - begin);
        p += length;
    }
    return text.size();
}

inline bool IsValid(std::string_view text)
{
    bool truncated = false;
    return FindInvalid(text, truncated) == text.size();
}

// The length to keep so that `text` cut to at most `maxBytes` does not end
// inside a UTF-8 character: backs off only when the bytes around the cut
// really are one well-formed character split in two, so other encodings are
// cut where asked.
inline size_t CutPoint(std::string_view text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text.size();
    size_t start = maxBytes;
    while (start > 0 && maxBytes - start < kMaxSequenceBytes - 1 &&
           IsContinuation(uint8_t(text[start])))
        --start;
    if (start == maxBytes)
        return maxBytes;
    bool truncated = false;
    const auto* p = reinterpret_cast<const uint8_t*>(text.data()) + start;
    size_t length = SequenceLength(p, reinterpret_cast<const uint8_t*>(text.data()) + text.size(), truncated);
    return (length > 1 && start + length > maxBytes) ? start : maxBytes;
}

} // namespace utf8
