// The vector searches must find exactly what a byte-by-byte search finds,
// wherever the mark sits: in a full chunk, in the last partial chunk, on the
// last byte, or nowhere.
#include "feeds/ByteScan.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* PlainLineBreakOrSpaceRun(const char* p, const char* end)
{
    for (; p < end; ++p) {
        if (*p == '\r' || *p == '\n' || *p == '\t')
            return p;
        if (*p == ' ' && p + 1 < end && p[1] == ' ')
            return p;
    }
    return end;
}

TEST(ByteScan, LineBreakOrSpaceRunAgreesWithAPlainSearchAtEveryPlace)
{
    // Other control bytes and bytes above 127 are no marks, next to a space or not.
    const std::string marks[] = {"\r", "\n", "\t", "  ", " x", "x ", "\x0B", " \x1F", "\x01 ", "\xA0 ", " \xA0"};
    for (size_t length = 0; length <= 40; ++length) {
        for (size_t at = 0; at <= length; ++at) {
            for (const std::string& mark : marks) {
                // Text before `from` is not searched, whatever it holds.
                std::string text(length, 'a');
                text.replace(at, mark.size(), mark);
                text.resize(length);
                for (size_t from : {size_t(0), size_t(1), length / 2}) {
                    if (from > length)
                        continue;
                    const char* begin = text.data() + from;
                    const char* end = text.data() + length;
                    EXPECT_EQ(bytescan::FindLineBreakOrSpaceRun(begin, end) - text.data(),
                              PlainLineBreakOrSpaceRun(begin, end) - text.data())
                        << "length " << length << ", mark at " << at << ", from " << from;
                }
            }
        }
    }
}

} // namespace
