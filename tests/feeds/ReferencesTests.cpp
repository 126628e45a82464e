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

// Every form a reference may take, through both byte decoders: the common
// names and numbers are read without the table search, every other name
// through it, and both must give what the rules give.
TEST(HTMLDecode, EveryReferenceFormDecodesByTheSameRules)
{
    struct FormCase {
        std::string input;
        std::string bytes; // HTMLDecode
        std::string utf8;  // HTMLDecodeForUTF8
    };
    const FormCase cases[] = {
        {"&lt;&gt;&amp;&quot;&apos;", "<>&\"'", "<>&\"'"},
        {"&lt", "&lt", "&lt"},
        {"&lt x &amp", "&lt x &amp", "&lt x &amp"},
        {"&ltx; &ampx; &quo; &aposs;", "&ltx; &ampx; &quo; &aposs;", "&ltx; &ampx; &quo; &aposs;"},
        {"&LT;&Amp;&QUOT;", "&LT;&Amp;&QUOT;", "&LT;&Amp;&QUOT;"},
        {"&amp;amp; &amp;lt; &&lt; &; & ", "&amp; &lt; &< &; & ", "&amp; &lt; &< &; & "},
        {"&#60;&#060;&#x3C;&#X3c;&#x003c;", "<<<<<", "<<<<<"},
        {"&#60&#x3Cz&#60abc", "<<z<abc", "<<z<abc"},
        {"&#; &#x; &#xg; &#", "&#; &#x; &#xg; &#", "&#; &#x; &#xg; &#"},
        {"&#31;&#32;&#127;", "&#31; \x7F", "&#31; \x7F"},
        {"&#128;&#255;&#x100;", "\x80\xFF&#x100;", "&#128;&#255;&#x100;"},
        {"&#99999999999;&#x110000;", "&#99999999999;&#x110000;", "&#99999999999;&#x110000;"},
        {"&nbsp;&rsquo;&sect;&eacute;", " '\xA7\xE9", " '&#167;&#233;"},
        {"&mdash;&thetasym;&ni;", "&#8212;&#977;&#8715;", "&#8212;&#977;&#8715;"},
        {"&thetasymx; &mdash &#8212;", "&thetasymx; &mdash &#8212;", "&thetasymx; &mdash &#8212;"},
    };
    for (const FormCase& c : cases) {
        EXPECT_EQ(Transformed(c.input, HTMLDecode), c.bytes) << c.input;
        EXPECT_EQ(Transformed(c.input, HTMLDecodeForUTF8), c.utf8) << c.input;
    }
    // Every name of the table, between text: its byte, or above 127 in
    // UTF-8 text its number.
    for (size_t row = 0; HTMLSpecial[row].symbol[0] != '\0'; ++row) {
        const std::string input = std::string("x&") + HTMLSpecial[row].symbol + "y";
        const uint8_t value = HTMLSpecial[row].value;
        const std::string asNumber = value > 127 ? "&#" + std::to_string(value) + ";" : std::string(1, char(value));
        EXPECT_EQ(Transformed(input, HTMLDecode), "x" + std::string(1, char(value)) + "y") << input;
        EXPECT_EQ(Transformed(input, HTMLDecodeForUTF8), "x" + asNumber + "y") << input;
    }
}

// References any distance apart, so that the search for the next "&" is
// met near, at and beyond every boundary it has.
TEST(HTMLDecode, ReferencesAnyDistanceApart)
{
    for (size_t gap = 0; gap <= 40; ++gap) {
        const std::string text(gap, 'x');
        const std::string input = "&lt;" + text + "&gt;" + text + "&#65;" + text + "&amp;" + text;
        const std::string expected = "<" + text + ">" + text + "A" + text + "&" + text;
        EXPECT_EQ(Transformed(input, HTMLDecodeForUTF8), expected) << gap;
        EXPECT_EQ(Transformed(input + "&amp;#38;", HTMLMultiAmpDecode), input + "&#38;") << gap;
        const std::string numbers = "&#8217;" + text + "&#x2019;" + text + "&amp;";
        const std::string quotes = "\xE2\x80\x99" + text + "\xE2\x80\x99" + text + "&amp;";
        EXPECT_EQ(Transformed(numbers, FixAllHTMLUnicode), quotes) << gap;
    }
}

// Decoding a source into a text is assigning it and decoding it, whatever
// the room, the encoding, or a source longer than the room.
TEST(HTMLDecode, DecodeCopyIsAssignThenDecode)
{
    std::string longSource;
    while (longSource.size() < kMaxTextBytes + 100)
        longSource += "caf\xC3\xA9 &uml;&lt;";
    const std::string sources[] = {
        "", "plain", "&copy; &uml;&uml; &mu; &#8217; &lt;p&gt;", "\xE6\x97\xA5&eacute;&amp;#38;", longSource,
    };
    for (const std::string& source : sources) {
        for (CFStringEncoding encoding : {kCFStringEncodingUTF8, kCFStringEncodingISOLatin1}) {
            for (size_t room : {size_t(10), size_t(64), kMaxTextBytes}) {
                const auto decode = [encoding](TextBuffer& text) { HTMLBetterDecode(text, encoding); };
                const auto decodeCopy = [&](TextBuffer& text) { HTMLBetterDecodeCopy(source, text, encoding); };
                EXPECT_EQ(Transformed("stale text", decodeCopy, room), Transformed(source, decode, room))
                    << source.substr(0, 40) << " in " << room;
            }
        }
    }
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

TEST(StringDecoders, FixAllHTMLUnicodeInPlaceMatchesTheStringDecoder)
{
    std::string longText(kMaxTextBytes / 8, 'x');
    longText += "&#128512;";
    const std::string inputs[] = {
        "&#169; &#65;&#x1F600;", "&#0; &#xD800; &#1114112; &#; &#x;", "&amp;#169; & &", "&#38;#8217;", "",
        "&#8217 no semicolon", longText,
    };
    for (const std::string& input : inputs)
        EXPECT_EQ(Transformed(input, FixAllHTMLUnicode), CFStringFixAllHTMLUnicode(input)) << input;
}

TEST(StringDecoders, UtoiReadsDecimalWithoutWrapping)
{
    EXPECT_EQ(utoi("8217;"), 8217u);
    EXPECT_EQ(utoi("x41"), 0u);
    EXPECT_EQ(utoi(""), 0u);
    EXPECT_EQ(utoi("65536"), 65536u);
    EXPECT_EQ(utoi("99999999999999999999"), 0x110000u);
}
