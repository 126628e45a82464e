// Storage of the model's text fields: one block per non-empty text, laid out
// as its length, the bytes and a NUL, so that a field costs its own
// length and a pointer, never its full width.
#include "model/FixedText.h"

#include "platform/UnicodeText.h"

#include <cstring>

// The longest UTF-8 sequence; enough bytes past the cut to see whether a
// character straddles it.
constexpr size_t kMaxUTF8SequenceBytes = 4;

TextBlock::TextBlock(std::string_view text)
{
    const size_t length = text.size();
    block_ = std::make_unique_for_overwrite<char[]>(sizeof(length) + text.size() + 1);
    std::memcpy(block_.get(), &length, sizeof(length));
    if (!text.empty())
        std::memcpy(block_.get() + sizeof(length), text.data(), text.size());
    block_[sizeof(length) + text.size()] = '\0';
}

TextBlock::TextBlock(const TextBlock& other)
{
    if (other.block_)
        *this = TextBlock(other.View());
}

TextBlock& TextBlock::operator=(const TextBlock& other)
{
    if (this == &other)
        return *this;
    *this = other.block_ ? TextBlock(other.View()) : TextBlock();
    return *this;
}

std::string_view TextBlock::View() const
{
    if (!block_)
        return {};
    size_t length = 0;
    std::memcpy(&length, block_.get(), sizeof(length));
    return {block_.get() + sizeof(length), length};
}

const char* TextBlock::CString() const
{
    return block_ ? block_.get() + sizeof(size_t) : "";
}

std::string CutTextToWidth(std::string_view text, size_t maxBytes)
{
    // Copy only what the cut can look at, so a huge text costs nothing extra.
    std::string cut(text.substr(0, maxBytes + kMaxUTF8SequenceBytes));
    CutUTF8Text(cut, maxBytes);
    return cut;
}
