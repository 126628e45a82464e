// Unicode text helpers for the core. Every "Unicode string" in Varnoke is a
// UTF-8 std::string; these helpers do what byte comparison cannot.
#pragma once

#include <string>
#include <string_view>

// True when `needle` occurs in `haystack`, ignoring case the way Unicode case
// folding does ("É" finds "é"). Both are UTF-8. An empty needle matches nothing.
// Cost: O(n) with an ASCII fast path; non-ASCII needles fold both texts.
bool TextContainsIgnoringCase(std::string_view haystack, std::string_view needle);

// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8 sequence:
// when the cut would fall inside a well-formed multi-byte character, the whole
// character is dropped. Text that is not UTF-8 is cut at `maxBytes`.
void CutUTF8Text(std::string& text, size_t maxBytes);
