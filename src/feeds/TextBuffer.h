// The one shape every in-place text transform works on: a caller's bytes,
// how many of them hold text and how many may. Transforms read and write only
// inside that room, so a field's width is kept whatever a feed sends. The
// parsers fill a TextScratch of a field's width, transform it, then assign it.
#pragma once

#include "model/FixedText.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

// The longest text a transform takes: a description field less its NUL.
constexpr size_t kMaxTextBytes = 8191;

// A view over a caller's buffer that knows its fill and its room. It owns
// nothing; the buffer must outlive it. No terminating NUL is kept: the length
// is the text's end, and a NUL byte inside is an ordinary byte.
class TextBuffer {
public:
    // `capacity` is cut to kMaxTextBytes and `length` to the capacity.
    TextBuffer(char* data, size_t length, size_t capacity)
        : data_(data), capacity_(std::min(capacity, kMaxTextBytes)), length_(std::min(length, capacity_))
    {
    }
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    char* data() { return data_; }
    const char* data() const { return data_; }
    size_t size() const { return length_; }
    size_t capacity() const { return capacity_; }
    bool empty() const { return length_ == 0; }
    std::string_view view() const { return {data_, length_}; }
    operator std::string_view() const { return view(); }

    // Sets the fill after writing into data(); never beyond the capacity.
    void SetSize(size_t length) { length_ = std::min(length, capacity_); }

    // Copies `text` in, cut to the capacity without splitting a UTF-8
    // character (the model's cut-to-width rule).
    void Assign(std::string_view text)
    {
        if (text.size() <= capacity_) {
            if (!text.empty())
                std::memmove(data_, text.data(), text.size());
            length_ = text.size();
            return;
        }
        std::string cut = CutTextToWidth(text, capacity_);
        std::memcpy(data_, cut.data(), cut.size());
        length_ = cut.size();
    }

private:
    char* data_;
    size_t capacity_;
    size_t length_;
};

// A work text on the stack with room for a field of `Width` bytes (its text
// at most Width - 1 bytes), as the parsers use for each field.
template <size_t Width>
class TextScratch : public TextBuffer {
    static_assert(Width > 1 && Width - 1 <= kMaxTextBytes, "a scratch text holds one field");

public:
    TextScratch() : TextBuffer(storage_, 0, Width - 1) {}
    explicit TextScratch(std::string_view text) : TextScratch() { Assign(text); }

private:
    char storage_[Width];
};
