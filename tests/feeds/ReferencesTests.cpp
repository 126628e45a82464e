// Reference decoding: the table, the byte-text and UTF-8 decoders with their
// bounds, and the numeric decoders of UTF-8 strings.
#include "FeedsTestSupport.h"

#include "feeds/References.h"

#include <gtest/gtest.h>

struct DecodeCase {
    std::string input;
    std::string expected;
};

TEST(HTMLSpecialTable, RowsInTheirOrder)
{
    size_t rows = 0;
    while (HTMLSpecial[rows].symbol[0] != '\0')
        ++rows;
    EXPECT_EQ(rows, 101u);
    EXPECT_STREQ(HTMLSpecial[0].symbol, "nbsp;");
    EXPECT_EQ(HTMLSpecial[0].value, 0x20);
    EXPECT_STREQ(HTMLSpecial[3].symbol, "rsquo;");
    EXPECT_EQ(HTMLSpecial[3].value, 0x27);
    EXPECT_STREQ(HTMLSpecial[6].symbol, "apos;");
    EXPECT_STREQ(HTMLSpecial[7].symbol, "iexcl;");
    EXPECT_EQ(HTMLSpecial[7].value, 0xA1);
    EXPECT_STREQ(HTMLSpecial[100].symbol, "yuml;");
    // The Latin-1 rows run in code order with no "sect;" (0xA7).
    for (size_t row = 8; row < rows; ++row)
        EXPECT_GT(HTMLSpecial[row].value, HTMLSpecial[row - 1].value) << HTMLSpecial[row].symbol;
}

TEST(HTMLSpecialTable, LookupMatchesTheWholeSymbol)
{
    struct Case {
        const char* name;
        uint8_t value;
        size_t length;
    };
    const Case cases[] = {
        {"copy; 2005", 0xA9, 5}, {"nbsp;", 0x20, 5}, {"Eacute;x", 0xC9, 7},
        {"sect;", 0, 0},         {"amp", 0, 0},      {"notin;", 0, 0},
    };
    for (const Case& c : cases) {
        size_t length = 0;
        EXPECT_EQ(HTMLSpecialChar(c.name, length), c.value) << c.name;
        EXPECT_EQ(length, c.length) << c.name;
    }
}

TEST(HTMLDecode, ByteTexts)
{
    const DecodeCase cases[] = {
        {"&amp;amp;", "&amp;"},
        {"a&nbsp;b", "a b"},
        {"&lt;p&gt;&quot;x&quot;&apos;&rsquo;", "<p>\"x\"''"},
        {"&copy;&Eacute;&yuml;", "\xA9\xC9\xFF"},
        {"&#65;&#x42;&#X43;&#0068;", "ABCD"},
        {"&#255;&#32;", "\xFF "},
        // Beyond one byte: left for the string decoders.
        {"&#8217;&#x2019;&#256;&#31;&#0;", "&#8217;&#x2019;&#256;&#31;&#0;"},
        // A reference without ";" ends after its digits; nothing is lost.
        {"&#65 and more", "A and more"},
        {"&#65abc;", "Aabc;"},
        // The rest of the HTML 4 names: Latin-1 as a byte, the others as numbers.
        {"&sect;", "\xA7"},
        {"&mdash;&hellip;&euro;&trade;&mu;&rarr;", "&#8212;&#8230;&#8364;&#8482;&#956;&#8594;"},
        {"AT&T &unknown; & &# &#; &amp", "AT&T &unknown; & &# &#; &amp"},
        {"&COPY;", "&COPY;"},
    };
    for (const DecodeCase& c : cases)
        EXPECT_EQ(Transformed(c.input, HTMLDecode), c.expected) << c.input;
}

TEST(HTMLDecode, UTF8TextsGetNoHighBytes)
{
    const DecodeCase cases[] = {
        {"&copy; &uml;", "&#169; &#168;"},
        {"&#65;&#127;&#128;&#169;", "A\x7F&#128;&#169;"},
        {"&nbsp;&amp;&lt;", " &<"},
        {"&#8217;", "&#8217;"},
        {"&mdash;&mu;&sect;", "&#8212;&#956;&#167;"},
        {"\xE6\x97\xA5&eacute;", "\xE6\x97\xA5&#233;"},
    };
    for (const DecodeCase& c : cases)
        EXPECT_EQ(Transformed(c.input, HTMLDecodeForUTF8), c.expected) << c.input;
}

TEST(HTMLDecode, BetterDecodeChoosesByEncoding)
{
    auto decode = [](CFStringEncoding encoding) {
        return Transformed("&copy;", [encoding](TextBuffer& text) { HTMLBetterDecode(text, encoding); });
    };
    EXPECT_EQ(decode(kCFStringEncodingUTF8), "&#169;");
    EXPECT_EQ(decode(kCFStringEncodingISOLatin1), "\xA9");
    EXPECT_EQ(decode(kCFStringEncodingShiftJIS), "\xA9");
}

// The UTF-8 decoder may grow a text: a full field of five-byte names stays in
// its buffer, and every name still resolves.
TEST(HTMLDecode, GrowingTextStaysInItsFieldAndLosesNoReference)
{
    std::string input;
    std::string expected;
    while (input.size() + 5 <= kMaxTextBytes) {
        input += "&uml;";
        expected += "\xC2\xA8";
    }
    std::string decoded = Transformed(input, HTMLDecodeForUTF8);
    EXPECT_EQ(CFStringFixAllHTMLUnicode(decoded), expected);

    // Ten bytes of room: the first name cannot grow, so it is written as UTF-8.
    EXPECT_EQ(Transformed("&uml;&uml;", HTMLDecodeForUTF8, 10), "\xC2\xA8&#168;");
    // Byte texts keep a name that has no room to become a number.
    EXPECT_EQ(Transformed("&mu;&mu;", HTMLDecode, 8), "&mu;&mu;");
    EXPECT_EQ(Transformed("&mu;&mu;", HTMLDecode, 10), "&#956;&mu;");
}

TEST(HTMLDecode, MultiAmpAndMinimum)
{
    EXPECT_EQ(Transformed("&amp;#38; &amp;amp;#38; &amp;x", HTMLMultiAmpDecode), "&#38; &amp;amp;#38; &amp;x");
    EXPECT_EQ(Transformed(Transformed("&amp;#38;", HTMLMultiAmpDecode), HTMLDecode), "&");
    EXPECT_EQ(Transformed("&lt;b&gt; &amp; &quot; &lt", HTMLMinimumDecode), "<b> &amp; &quot; &lt");
}

TEST(StringDecoders, FixHTMLUnicodeResolvesPunctuationAndBeyond)
{
    const DecodeCase cases[] = {
        {"it&#8217;s", "it\xE2\x80\x99s"},
        {"&#x2019;&#X2014;", "\xE2\x80\x99\xE2\x80\x94"},
        {"&#1046;&#1791;", "\xD0\x96\xDB\xBF"},
        {"&#169;&#1023;&#1792;&#8191;", "&#169;&#1023;&#1792;&#8191;"},
        {"&#128512;", "\xF0\x9F\x98\x80"},
        {"&#8217 no semicolon", "\xE2\x80\x99 no semicolon"},
    };
    for (const DecodeCase& c : cases)
        EXPECT_EQ(CFStringFixHTMLUnicode(c.input), c.expected) << c.input;
    EXPECT_EQ(CFStringFixHTMLUnicode(std::nullopt), std::nullopt);
}

TEST(StringDecoders, FixAllHTMLUnicodeResolvesEveryCharacter)
{
    const DecodeCase cases[] = {
        {"&#169; &#65;&#x1F600;", "\xC2\xA9 A\xF0\x9F\x98\x80"},
        {"&#8217;", "\xE2\x80\x99"},
        // No character: stays as written.
        {"&#0; &#xD800; &#1114112; &#99999999999; &#; &#x;", "&#0; &#xD800; &#1114112; &#99999999999; &#; &#x;"},
        {"&amp;#169; & &", "&amp;#169; & &"},
    };
    for (const DecodeCase& c : cases)
        EXPECT_EQ(CFStringFixAllHTMLUnicode(c.input), c.expected) << c.input;
    EXPECT_EQ(CFStringFixAllHTMLUnicode(std::nullopt), std::nullopt);
}

TEST(StringDecoders, UtoiReadsDecimalWithoutWrapping)
{
    EXPECT_EQ(utoi("8217;"), 8217u);
    EXPECT_EQ(utoi("x41"), 0u);
    EXPECT_EQ(utoi(""), 0u);
    EXPECT_EQ(utoi("65536"), 65536u);
    EXPECT_EQ(utoi("99999999999999999999"), 0x110000u);
}
