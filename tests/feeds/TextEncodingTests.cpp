// Feed bytes to UTF-8: the in-place channel conversion with its cut-tail
// repair, the item strings and the file-name text.
#include "FeedsTestSupport.h"

#include "feeds/TextEncoding.h"

#include <gtest/gtest.h>

static std::string ConvertedToUTF8(std::string_view input, std::string_view name, size_t capacity = kMaxTextBytes,
                                   OSStatus expectedStatus = kNoErr)
{
    return Transformed(
        input,
        [&](TextBuffer& text) { EXPECT_EQ(ConvertToUTF8Encoding(text, name), expectedStatus) << name; },
        capacity);
}

TEST(ConvertToUTF8Encoding, RepairsAUTF8TextCutInACharacter)
{
    const std::string nihon = "\xE6\x97\xA5\xE6\x9C\xAC"; // 日本
    EXPECT_EQ(ConvertedToUTF8(nihon.substr(0, 5), "UTF-8"), nihon.substr(0, 3));
    EXPECT_EQ(ConvertedToUTF8(nihon.substr(0, 4), "utf-8"), nihon.substr(0, 3));
    EXPECT_EQ(ConvertedToUTF8("ab\xF0\x9F\x98", "UTF-8"), "ab");  // a four-byte character, three left
    EXPECT_EQ(ConvertedToUTF8(nihon, "UTF-8"), nihon);
    // Broken inside, not cut: every byte is kept.
    EXPECT_EQ(ConvertedToUTF8("caf\xE9 ok", "UTF-8"), "caf\xE9 ok");
    // Every Unicode form counts as UTF-8.
    EXPECT_EQ(ConvertedToUTF8(nihon.substr(0, 5), "UTF-16"), nihon.substr(0, 3));
}

TEST(ConvertToUTF8Encoding, ConvertsOtherEncodingsWithinTheCapacity)
{
    EXPECT_EQ(ConvertedToUTF8("caf\xE9", "ISO-8859-1"), "caf\xC3\xA9");
    EXPECT_EQ(ConvertedToUTF8("\x93\xFA\x96\x7B", "Shift_JIS"), "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(ConvertedToUTF8("\xC1\xC2", "KOI8-R"), "\xD0\xB0\xD0\xB1");
    // Three bytes become six; five fit, so the last character goes whole.
    EXPECT_EQ(ConvertedToUTF8("\xE9\xE9\xE9", "ISO-8859-1", 5), "\xC3\xA9\xC3\xA9");
    // Not readable in that encoding: unchanged.
    EXPECT_EQ(ConvertedToUTF8("\x81", "Shift_JIS"), "\x81");
    EXPECT_EQ(ConvertedToUTF8("caf\xE9", "x-no-such-encoding", kMaxTextBytes, kUnsupportedEncodingErr), "caf\xE9");
    EXPECT_EQ(ConvertedToUTF8("caf\xE9", "", kMaxTextBytes, kParamErr), "caf\xE9");
}

TEST(ItemStrings, CreateWithBytesReadsTheItemsEncoding)
{
    EXPECT_EQ(CFStringCreateWithBytes("caf\xE9", kCFStringEncodingISOLatin1), "caf\xC3\xA9");
    EXPECT_EQ(CFStringCreateWithBytes("\xE6\x97\xA5", kCFStringEncodingUTF8), "\xE6\x97\xA5");
    EXPECT_EQ(CFStringCreateWithBytes("", kCFStringEncodingUTF8), "");
    // A damaged UTF-8 byte costs one character, not the text.
    EXPECT_EQ(CFStringCreateWithBytes("a\xFF" "b\xE6\x97", kCFStringEncodingUTF8),
              "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(CFStringCreateWithBytes("\x81", kCFStringEncodingShiftJIS), std::nullopt);
    EXPECT_EQ(CFStringCreateWithBytes("x", 0x7777), std::nullopt);
}

TEST(ItemStrings, KeisenFilterTurnsHorizontalBarsIntoMinusSigns)
{
    EXPECT_EQ(CFStringCreateWithKeisenFilter("A\xE2\x80\x95" "B\xE2\x80\x95", kCFStringEncodingUTF8),
              "A\xE2\x88\x92" "B\xE2\x88\x92");
    EXPECT_EQ(CFStringCreateWithKeisenFilter("\x81\x5C", kCFStringEncodingShiftJIS), "\xE2\x80\x95");
    std::string long300;
    for (int i = 0; i < 100; ++i)
        long300 += "\xE6\x97\xA5";
    std::optional<std::string> headline = CFStringCreateWithKeisenFilter(long300, kCFStringEncodingUTF8);
    ASSERT_TRUE(headline);
    EXPECT_EQ(*headline, long300.substr(0, 255));
}

TEST(ItemStrings, ConvertToMacStringGivesCutUTF8)
{
    EXPECT_EQ(ConvertToMacString("caf\xE9", "ISO-8859-1", 31), "caf\xC3\xA9");
    EXPECT_EQ(ConvertToMacString("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "x-unknown", 7), "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(ConvertToMacString("\x81", "Shift_JIS", 31), "\x81");
}
