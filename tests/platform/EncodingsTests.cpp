// Encoding names to numbers and back, and strict conversion through iconv.
#include "platform/Encodings.h"

#include <gtest/gtest.h>

struct NameCase {
    const char* name;
    CFStringEncoding expected;
};

TEST(Encodings, InternetNamesAndAliasesIgnoringCase)
{
    const NameCase cases[] = {
        {"UTF-16", kCFStringEncodingUTF8},  // every Unicode form is stored as UTF-8
        {"utf-16le", kCFStringEncodingUTF8},
        {"UTF-32BE", kCFStringEncodingUTF8},
        {"utf-8", kCFStringEncodingUTF8},
        {" UTF-8\r\n", kCFStringEncodingUTF8},
        {"Shift_JIS", kCFStringEncodingShiftJIS},
        {"x-sjis", kCFStringEncodingShiftJIS},
        {"MS_KANJI", kCFStringEncodingShiftJIS},
        {"euc-jp", kCFStringEncodingEUC_JP},
        {"ISO-2022-JP", kCFStringEncodingISO_2022_JP},
        {"iso-8859-1", kCFStringEncodingISOLatin1},
        {"Latin1", kCFStringEncodingISOLatin1},
        {"ISO-8859-15", kCFStringEncodingISOLatin9},
        {"Windows-1252", kCFStringEncodingWindowsLatin1},
        {"cp1251", kCFStringEncodingWindowsCyrillic},
        {"KOI8-R", kCFStringEncodingKOI8_R},
        {"gb2312", kCFStringEncodingEUC_CN},
        {"GBK", kCFStringEncodingGBK_95},
        {"big5", kCFStringEncodingBig5},
        {"EUC-KR", kCFStringEncodingEUC_KR},
        {"us-ascii", kCFStringEncodingASCII},
        {"macintosh", kCFStringEncodingMacRoman},
    };
    for (const NameCase& c : cases) {
        CFStringEncoding encoding = 0xDEAD;
        EXPECT_EQ(CFStringEncodingFromInternetName(c.name, encoding), kNoErr) << c.name;
        EXPECT_EQ(encoding, c.expected) << c.name;
    }
}

TEST(Encodings, UnknownNamesLeaveThePresetUntouched)
{
    const std::string names[] = {"x-no-such-encoding", "", "UTF 8", "utf", "UTF-88",
                                 "UTF-8" + std::string(251, ' ')};  // over 255 bytes
    for (const std::string& name : names) {
        CFStringEncoding encoding = 0x1234;
        EXPECT_NE(CFStringEncodingFromInternetName(name, encoding), kNoErr) << name;
        EXPECT_EQ(encoding, 0x1234u) << name;
    }
}

// Every name a web feed commonly declares must reach an iconv converter
// that glibc really has.
TEST(Encodings, CommonWebEncodingsConvertThroughIconv)
{
    const char* names[] = {
        "UTF-8", "UTF-16", "UTF-16BE", "UTF-16LE", "UTF-32", "ISO-8859-1", "ISO-8859-2", "ISO-8859-3",
        "ISO-8859-4", "ISO-8859-5", "ISO-8859-6", "ISO-8859-7", "ISO-8859-8", "ISO-8859-9", "ISO-8859-10",
        "ISO-8859-11", "ISO-8859-13", "ISO-8859-14", "ISO-8859-15", "ISO-8859-16", "windows-1250",
        "windows-1251", "windows-1252", "windows-1253", "windows-1254", "windows-1255", "windows-1256",
        "windows-1257", "windows-1258", "KOI8-R", "KOI8-U", "Shift_JIS", "EUC-JP", "ISO-2022-JP", "GB2312",
        "GBK", "GB18030", "Big5", "EUC-KR", "US-ASCII", "macintosh", "windows-31j", "x-mac-japanese",
    };
    for (const char* name : names) {
        std::optional<std::string_view> iconvName = GetIconvNameFromInternetName(name);
        ASSERT_TRUE(iconvName) << name;
        EXPECT_TRUE(ConvertEncoding("Feed 1", "UTF-8", *iconvName)) << name;
    }
}

TEST(Encodings, ReverseLookups)
{
    EXPECT_EQ(GetInternetNameFromEncoding(kCFStringEncodingShiftJIS), "Shift_JIS");
    EXPECT_EQ(GetIconvNameFromEncoding(kCFStringEncodingShiftJIS), "SHIFT_JIS");
    EXPECT_EQ(GetIconvNameFromEncoding(kCFStringEncodingMacRoman), "MACINTOSH");
    EXPECT_EQ(GetIconvNameFromEncoding(kCFStringEncodingUTF8), "UTF-8");
    EXPECT_EQ(GetInternetNameFromEncoding(kCFStringEncodingWindowsLatin1), "windows-1252");
    EXPECT_FALSE(GetIconvNameFromEncoding(0xFFFF));
    EXPECT_EQ(GetIconvNameFromInternetName("utf-16le"), "UTF-16LE");
    EXPECT_FALSE(GetIconvNameFromInternetName("x-no-such-encoding"));
}

struct ConversionCase {
    const char* label;
    std::string input;
    const char* from;
    const char* to;
    std::optional<std::string> expected;
};

TEST(Encodings, ConvertEncodingIsStrict)
{
    const std::string nihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語 in UTF-8
    const ConversionCase cases[] = {
        {"Shift_JIS to UTF-8", "\x93\xFA\x96\x7B\x8C\xEA", "SHIFT_JIS", "UTF-8", nihongo},
        {"UTF-8 to ISO-2022-JP ends in ASCII", nihongo, "UTF-8", "ISO-2022-JP",
         std::string("\x1B$BF|K\\8l\x1B(B")},
        {"Mac Roman", "caf\x8E", "MACINTOSH", "UTF-8", std::string("caf\xC3\xA9")},
        {"empty input", "", "UTF-8", "UTF-16LE", std::string()},
        {"invalid UTF-8", "ab\xFF" "cd", "UTF-8", "UTF-16LE", std::nullopt},
        {"cut Shift_JIS character", "\x93\xFA\x96", "SHIFT_JIS", "UTF-8", std::nullopt},
        {"not representable", nihongo, "UTF-8", "ISO-8859-1", std::nullopt},
        {"unknown encoding", "abc", "X-NO-SUCH", "UTF-8", std::nullopt},
    };
    for (const ConversionCase& c : cases)
        EXPECT_EQ(ConvertEncoding(c.input, c.from, c.to), c.expected) << c.label;
}

TEST(Encodings, ConvertEncodingGrowsItsOutput)
{
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "a\xC3\xA9";  // "aé": 3 bytes become 8 in UTF-32
    std::optional<std::string> wide = ConvertEncoding(text, "UTF-8", "UTF-32LE");
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->size(), 10000u * 4);
    EXPECT_EQ(ConvertEncoding(*wide, "UTF-32LE", "UTF-8"), text);
}
