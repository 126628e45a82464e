// Storage of the model's text fields: one block per non-empty text, laid out
// as its length, the bytes and a NUL, so that a field costs its own
// length and a pointer, never its full width. The blocks are a field's own
// or borrowed from one buffer a record lays all its texts out in.
#include "model/FixedText.h"

#include "platform/UnicodeText.h"

#include <cstring>

// The longest UTF-8 sequence; enough bytes past the cut to see whether a
// character straddles it.
constexpr size_t kMaxUTF8SequenceBytes = 4;

static void WriteTextBlock(char* block, std::string_view text)
{
    const size_t length = text.size();
    std::memcpy(block, &length, sizeof(length));
    if (!text.empty())
        std::memcpy(block + sizeof(length), text.data(), text.size());
    block[sizeof(length) + text.size()] = '\0';
}

TextBlock::TextBlock(std::string_view text)
{
    char* block = new char[sizeof(size_t) + text.size() + 1];
    WriteTextBlock(block, text);
    bits_ = reinterpret_cast<uintptr_t>(block);
}

TextBlock::TextBlock(const TextBlock& other)
{
    if (!other.IsNull())
        *this = TextBlock(other.View());
}

TextBlock& TextBlock::operator=(const TextBlock& other)
{
    if (this == &other)
        return *this;
    *this = other.IsNull() ? TextBlock() : TextBlock(other.View());
    return *this;
}

std::string_view TextBlock::View() const
{
    const char* block = Block();
    if (!block)
        return {};
    size_t length = 0;
    std::memcpy(&length, block, sizeof(length));
    return {block + sizeof(length), length};
}

const char* TextBlock::CString() const
{
    const char* block = Block();
    return block ? block + sizeof(size_t) : "";
}

std::string CutTextToWidth(std::string_view text, size_t maxBytes)
{
    // Copy only what the cut can look at, so a huge text costs nothing extra.
    std::string cut(text.substr(0, maxBytes + kMaxUTF8SequenceBytes));
    CutUTF8Text(cut, maxBytes);
    return cut;
}

std::string_view CutTextViewToWidth(std::string_view text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    return text.substr(0, CutTextToWidth(text, maxBytes).size());
}
