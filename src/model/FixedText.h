// Text fields of the model records. Every field keeps its record's width as a
// rule, not as storage: an assignment cuts the text to width - 1 bytes on a
// character boundary, and the field holds only the bytes it was given, in one
// heap block (none at all when empty). OptionalText is the "string object" of
// a news item: UTF-8 text that may be absent, costing one pointer when it is.
// A record may instead lay all its texts out in one block of its own
// (TextBlockWriter); its fields then borrow their bytes from that block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

// One block holding a length, the bytes and a terminating NUL. A null block
// is the empty text; the owner decides whether null also means "absent".
// The block is either the field's own heap block or borrowed from a block
// its record owns (see TextBlockWriter): a borrowed block is never freed by
// the field, and a copy is always a block of the copy's own. Moving hands
// over the block as it is, so a borrowed block moves only together with the
// record that owns its storage (moving a whole record does).
class TextBlock {
public:
    TextBlock() = default;
    explicit TextBlock(std::string_view text);
    ~TextBlock() { Release(); }
    TextBlock(const TextBlock& other);
    TextBlock& operator=(const TextBlock& other);
    TextBlock(TextBlock&& other) noexcept : bits_(other.bits_) { other.bits_ = 0; }
    TextBlock& operator=(TextBlock&& other) noexcept
    {
        if (this != &other) {
            Release();
            bits_ = std::exchange(other.bits_, 0);
        }
        return *this;
    }

    bool IsNull() const { return bits_ == 0; }
    std::string_view View() const;
    const char* CString() const;

    // The block itself, for a second borrower of a borrowed block.
    char* Block() const { return reinterpret_cast<char*>(bits_ & ~kBorrowedBit); }
    // A block laid out by TextBlockWriter in storage someone else owns.
    static TextBlock Borrow(char* block)
    {
        TextBlock borrowed;
        borrowed.bits_ = reinterpret_cast<uintptr_t>(block) | kBorrowedBit;
        return borrowed;
    }

private:
    // The block's address, its lowest bit set when the block is borrowed
    // (blocks start on a word boundary, so the bit is free).
    static constexpr uintptr_t kBorrowedBit = 1;

    void Release()
    {
        if (bits_ != 0 && !(bits_ & kBorrowedBit))
            delete[] Block();
        bits_ = 0;
    }

    uintptr_t bits_ = 0;
};

// Lays out several texts' blocks side by side in one buffer: Measure each
// text first, allocate Bytes(), then Write them in the order measured. The
// buffer must start on a word boundary.
class TextBlockWriter {
public:
    // Room for one more block of `text`.
    void Measure(std::string_view text) { bytes_ += BlockBytes(text.size()); }
    size_t Bytes() const { return bytes_; }

    // Writes `text`'s block at the next free place of `buffer`; the block
    // is for TextBlock::Borrow.
    char* Write(char* buffer, std::string_view text)
    {
        char* block = buffer + written_;
        written_ += BlockBytes(text.size());
        const size_t length = text.size();
        std::memcpy(block, &length, sizeof(length));
        if (length != 0)
            std::memcpy(block + sizeof(length), text.data(), length);
        block[sizeof(length) + length] = '\0';
        return block;
    }

private:
    // A block's length, bytes and NUL, rounded up so that the next block
    // starts on a word boundary too.
    static size_t BlockBytes(size_t textBytes)
    {
        constexpr size_t kAlignment = alignof(size_t);
        return (sizeof(size_t) + textBytes + 1 + kAlignment - 1) / kAlignment * kAlignment;
    }

    size_t bytes_ = 0;
    size_t written_ = 0;
};

// The cut-to-width rule, kept here and nowhere else: at most Width - 1 bytes,
// and a UTF-8 character that would straddle the cut is dropped whole.
// Text in another encoding is cut at Width - 1 bytes.
std::string CutTextToWidth(std::string_view text, size_t maxBytes);

// The same rule as a prefix: the cut text is always the start of `text`.
std::string_view CutTextViewToWidth(std::string_view text, size_t maxBytes);

template <size_t Width>
class FixedText {
    static_assert(Width > 1, "a field needs room for at least one byte and its NUL");

public:
    static constexpr size_t kWidth = Width;
    static constexpr size_t kMaxBytes = Width - 1;

    FixedText() = default;
    explicit FixedText(std::string_view text) { Assign(text); }

    FixedText& operator=(std::string_view text)
    {
        Assign(text);
        return *this;
    }
    // A null pointer is the empty text, as an empty C string would be.
    FixedText& operator=(const char* text)
    {
        Assign(text ? std::string_view(text) : std::string_view());
        return *this;
    }

    operator std::string_view() const { return block_.View(); }
    std::string_view view() const { return block_.View(); }
    std::string str() const { return std::string(block_.View()); }
    const char* c_str() const { return block_.CString(); }
    size_t size() const { return block_.View().size(); }
    bool empty() const { return block_.IsNull(); }

    friend bool operator==(const FixedText& field, std::string_view text) { return field.view() == text; }

    // The text this field would hold after `*this = text`.
    static std::string_view Fit(std::string_view text)
    {
        return text.size() <= kMaxBytes ? text : CutTextViewToWidth(text, kMaxBytes);
    }
    // Takes `block` (of a text that Fit left as it is) as the field's text;
    // null is the empty text.
    void Adopt(TextBlock block) { block_ = std::move(block); }

private:
    void Assign(std::string_view text)
    {
        if (text.empty()) {
            block_ = TextBlock();
            return;
        }
        if (text.size() <= kMaxBytes) {
            block_ = TextBlock(text);
            return;
        }
        block_ = TextBlock(CutTextToWidth(text, kMaxBytes));
    }

    TextBlock block_;
};

// UTF-8 text that may be absent, as a news item's string objects may. Present
// but empty is not the same as absent.
class OptionalText {
public:
    OptionalText() = default;

    OptionalText& operator=(std::string_view text)
    {
        block_ = TextBlock(text);
        return *this;
    }
    void reset() { block_ = TextBlock(); }
    // Takes `block` as the text; null is absent.
    void Adopt(TextBlock block) { block_ = std::move(block); }

    bool has_value() const { return !block_.IsNull(); }
    explicit operator bool() const { return has_value(); }
    // Empty when absent.
    std::string_view view() const { return block_.View(); }

private:
    TextBlock block_;
};

// A news item carries eleven of these and two optional texts; their size is
// what every one of a hundred thousand items pays before it holds any text.
static_assert(sizeof(FixedText<8192>) == sizeof(void*));
static_assert(sizeof(OptionalText) == sizeof(void*));
