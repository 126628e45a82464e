// Fast searches for the few bytes a text transform acts on, so that the plain
// text between them is skipped sixteen bytes at a time and moved in one block.
// Private to the feeds module's .cpp files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace bytescan {

constexpr size_t kVectorBytes = 16;

// The first `c` in [p, end), or end.
inline const char* FindByte(const char* p, const char* end, char c)
{
    if (p >= end)
        return end;
    const void* found = std::memchr(p, c, size_t(end - p));
    return found ? static_cast<const char*>(found) : end;
}

// The first `a` or `b` in [p, end), or end.
inline const char* FindEitherByte(const char* p, const char* end, char a, char b)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    while (end - p >= ptrdiff_t(kVectorBytes)) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, va), _mm_cmpeq_epi8(chunk, vb)));
        if (mask != 0)
            return p + __builtin_ctz(unsigned(mask));
        p += kVectorBytes;
    }
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b)
            return p;
    }
    return end;
}

// The first `a`, `b` or `c` in [p, end), or end.
inline const char* FindOneOfThree(const char* p, const char* end, char a, char b, char c)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    while (end - p >= ptrdiff_t(kVectorBytes)) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int mask = _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, va), _mm_cmpeq_epi8(chunk, vb)),
                                                  _mm_cmpeq_epi8(chunk, vc)));
        if (mask != 0)
            return p + __builtin_ctz(unsigned(mask));
        p += kVectorBytes;
    }
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b || *p == c)
            return p;
    }
    return end;
}

// The first CR, LF or tab, or the first space followed by another space, in
// [p, end); end when there is none.
inline const char* FindLineBreakOrSpaceRun(const char* p, const char* end)
{
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i space = _mm_set1_epi8(' ');
    // The marks of the 16 bytes at `at`; one byte past them is read.
    auto marks = [&](const char* at) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        __m128i following = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
        __m128i breaks = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf)),
                                      _mm_cmpeq_epi8(chunk, tab));
        __m128i runs = _mm_and_si128(_mm_cmpeq_epi8(chunk, space), _mm_cmpeq_epi8(following, space));
        return unsigned(_mm_movemask_epi8(_mm_or_si128(breaks, runs)));
    };
    const char* const start = p;
    // One byte is read past each chunk, so stop a byte early.
    while (end - p > ptrdiff_t(kVectorBytes)) {
        if (unsigned mask = marks(p))
            return p + __builtin_ctz(mask);
        p += kVectorBytes;
    }
    // The rest (at most 16 bytes) in one window that ends a byte before
    // `end`, when the text reaches back far enough; marks before `p` were
    // already looked at and are dropped. The last byte can only be a break.
    if (end - start > ptrdiff_t(kVectorBytes) && p < end) {
        const char* window = end - kVectorBytes - 1;
        unsigned mask = marks(window) & (~0u << unsigned(p - window));
        if (mask != 0)
            return window + __builtin_ctz(mask);
        const char last = end[-1];
        return (last == '\r' || last == '\n' || last == '\t') ? end - 1 : end;
    }
#endif
    for (; p < end; ++p) {
        if (*p == '\r' || *p == '\n' || *p == '\t')
            return p;
        if (*p == ' ' && p + 1 < end && p[1] == ' ')
            return p;
    }
    return end;
}

// ASCII letters folded to lower case; every other byte as it is.
inline char FoldASCII(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// True when [p, end) begins with `lowerText`, ASCII letters in either case.
inline bool StartsWithIgnoringCase(const char* p, const char* end, const char* lowerText, size_t length)
{
    if (size_t(end - p) < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (FoldASCII(p[i]) != lowerText[i])
            return false;
    }
    return true;
}

// True when [p, end) begins with exactly `text`.
inline bool StartsWith(const char* p, const char* end, const char* text, size_t length)
{
    return size_t(end - p) >= length && std::memcmp(p, text, length) == 0;
}

} // namespace bytescan
