// Case-insensitive search and character-safe cutting for UTF-8 text.
// Folding beyond ASCII is left to Qt's Unicode tables.
#include "platform/UnicodeText.h"

#include <QString>
#include <algorithm>

static bool IsASCII(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return uint8_t(c) < 0x80; });
}

static char FoldASCII(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool TextContainsIgnoringCase(std::string_view haystack, std::string_view needle)
{
    if (needle.empty())
        return false;
    if (IsASCII(needle) && IsASCII(haystack)) {
        auto found = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                                 [](char a, char b) { return FoldASCII(a) == FoldASCII(b); });
        return found != haystack.end();
    }
    QString folded = QString::fromUtf8(haystack.data(), qsizetype(haystack.size()));
    QString pattern = QString::fromUtf8(needle.data(), qsizetype(needle.size()));
    return folded.contains(pattern, Qt::CaseInsensitive);
}

static bool IsContinuationByte(uint8_t byte)
{
    return (byte & 0xC0) == 0x80;
}

static size_t SequenceLength(uint8_t lead)
{
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

void CutUTF8Text(std::string& text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return;
    // Only back off when the bytes around the cut really are one UTF-8
    // character split in two; other encodings are cut where asked.
    size_t start = maxBytes;
    while (start > 0 && maxBytes - start < 3 && IsContinuationByte(uint8_t(text[start])))
        --start;
    size_t length = SequenceLength(uint8_t(text[start]));
    bool splitsCharacter = start < maxBytes && length > 1 && start + length > maxBytes &&
                           start + length <= text.size();
    for (size_t i = start + 1; splitsCharacter && i < start + length; ++i)
        splitsCharacter = IsContinuationByte(uint8_t(text[i]));
    text.resize(splitsCharacter ? start : maxBytes);
}
