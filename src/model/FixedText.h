// Text fields of the model records. Every field keeps its record's width as a
// rule, not as storage: an assignment cuts the text to width - 1 bytes on a
// character boundary, and the field holds only the bytes it was given, in one
// heap block (none at all when empty). OptionalText is the "string object" of
// a news item: UTF-8 text that may be absent, costing one pointer when it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// One heap block holding a length, the bytes and a terminating NUL. A null
// block is the empty text; the owner decides whether null also means "absent".
class TextBlock {
public:
    TextBlock() = default;
    explicit TextBlock(std::string_view text);
    TextBlock(const TextBlock& other);
    TextBlock& operator=(const TextBlock& other);
    TextBlock(TextBlock&&) noexcept = default;
    TextBlock& operator=(TextBlock&&) noexcept = default;

    bool IsNull() const { return !block_; }
    std::string_view View() const;
    const char* CString() const;

private:
    std::unique_ptr<char[]> block_;
};

// The cut-to-width rule, kept here and nowhere else: at most Width - 1 bytes,
// and a UTF-8 character that would straddle the cut is dropped whole.
// Text in another encoding is cut at Width - 1 bytes.
std::string CutTextToWidth(std::string_view text, size_t maxBytes);

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
