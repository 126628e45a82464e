// The in-place transforms: CDATA, markup, line ends, the substitute headline
// and null repair, each a table of inputs and results run in a guarded buffer.
#include "FeedsTestSupport.h"

#include "feeds/References.h"
#include "feeds/TextTools.h"

#include <gtest/gtest.h>

struct TransformCase {
    const char* input;
    const char* expected;
};

static void ExpectTransform(void (*transform)(TextBuffer&), std::initializer_list<TransformCase> cases)
{
    for (const TransformCase& c : cases)
        EXPECT_EQ(Transformed(c.input, transform), c.expected) << "input: " << c.input;
}

TEST(CDATA, StripCDATAUnwrapsALeadingSection)
{
    ExpectTransform(StripCDATA, {
                                    {"  <![CDATA[Hello <b>you</b>]]> dropped", "  Hello <b>you</b>"},
                                    {"<![CDATA[no end marker", "no end marker"},
                                    {"<![CDATA[]]>", ""},
                                    {"text <![CDATA[inside]]>", "text <![CDATA[inside]]>"},
                                    {"\t<![CDATA[tab is not a space]]>", "\t<![CDATA[tab is not a space]]>"},
                                    {"<![CDATA", "<![CDATA"},
                                });
}

TEST(CDATA, StripCDATAMoreKeepsOnlyTheSections)
{
    struct Case {
        const char* input;
        const char* expected;
        bool changed;
    };
    const Case cases[] = {
        {"a<![CDATA[b]]>c<![CDATA[d]]>e", "bd", true},
        {"x<![CDATA[one]]>y<![CDATA[open to the end", "oneopen to the end", true},
        {"<![CDATA[a]]]>", "a]", true},
        {"no section at all", "no section at all", false},
    };
    for (const Case& c : cases) {
        bool changed = false;
        EXPECT_EQ(Transformed(c.input, [&](TextBuffer& text) { changed = StripCDATAMore(text); }), c.expected);
        EXPECT_EQ(changed, c.changed) << c.input;
    }
}

TEST(Markup, TagsBecomeLineBreaks)
{
    ExpectTransform(ReplaceHTMLTagToCR, {
                                            {"a<br>b<BR />c<Br>d", "a\rb\rc\rd"},
                                            {"one</li>two</LI>", "one\rtwo\r"},
                                            {"<p>para</p>next</P>", "<p>para\r\rnext\r\r"},
                                            {"kept: <br/> <br  /> <bR/ >", "kept: <br/> <br  /> <bR/ >"},
                                            {"trailing <", "trailing <"},
                                        });
    ExpectTransform(ReplaceHTMLTagToCRHyphen, {
                                                  {"<ul><li>one<LI>two</ul>", "<ul>\r- one\r- two</ul>"},
                                                  {"<li class=x>kept", "<li class=x>kept"},
                                              });
}

// The one-pass rewrite gives what the two rewrites give in turn, for tags
// next to, inside and around each other.
TEST(Markup, ListAndLineTagsInOnePassAsInTwo)
{
    const char* const inputs[] = {
        "<ul><li>one<LI>two</li></ul><p>x</p>",
        "<<li>br><li</li><li><br><br />",
        "<li><li>></li>/p><</p>",
        "<Li>a<bR />b</P><lI>",
        "trailing <li",
        "<br/><li class=x><li >",
        "",
    };
    for (const char* input : inputs) {
        const std::string inTurn = Transformed(Transformed(input, ReplaceHTMLTagToCRHyphen), ReplaceHTMLTagToCR);
        EXPECT_EQ(Transformed(input, ReplaceHTMLTagToCRHyphenAndCR), inTurn) << input;
    }
    EXPECT_EQ(Transformed("<li>a</li><li>b<br>c</p>", ReplaceHTMLTagToCRHyphenAndCR), "\r- a\r\r- b\rc\r\r");
}

TEST(Markup, StripHTMLTagStringCountsDepth)
{
    ExpectTransform(StripHTMLTagString, {
                                            {"<p>Hello <b>world</b></p>", "Hello world"},
                                            {"<a href=\"x\"><img src=\"y\"></a>caption", "caption"},
                                            {"<<nested>>x", "x"},
                                            // A stray ">" leaves the count at -1: the next tag's inside is kept.
                                            {"a > b <i>c</i>", "a  b ic/i"},
                                            {"unclosed <tag and more", "unclosed "},
                                        });
}

// The plain-text pass gives what the three transforms give in turn: tags
// rewritten inside other tags, stray ">", CRs of the text and of rewrites,
// and spaces after them, in a table and in texts made from those pieces.
TEST(Markup, LinesInOnePassAsInThree)
{
    const auto inTurn = [](const std::string& input) {
        return Transformed(Transformed(Transformed(input, ReplaceHTMLTagToCRHyphenAndCR), StripHTMLTagString),
                           StripSpaceAfterCR);
    };
    const char* const inputs[] = {
        "<p>one</p> <p>two</p>",
        "<ul> <li> a</li> <li>b<br> c<BR /> d</ul>",
        "<a title=\"<br>\"> x</a>",
        "a > b</p> c<i>d</i>",
        "\r x\r\r  y<b>\r</b> z",
        "</p><b> x",
        "<li><li>></li>/p><</p> ",
        "trailing <li",
        "</p>",
        "",
    };
    for (const char* input : inputs)
        EXPECT_EQ(Transformed(input, StripHTMLToLines), inTurn(input)) << input;

    const char* const pieces[] = {"<", ">", "\r", " ", "  ", "x", "<li>", "</LI>", "<br>", "<br />", "</p>",
                                  "<b>", "</b>", "li>", "/p>", "<p", "- "};
    uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 5000; ++round) {
        std::string input;
        for (uint32_t count = next() % 24; count > 0; --count)
            input += pieces[(next() >> 8) % std::size(pieces)];
        ASSERT_EQ(Transformed(input, StripHTMLToLines), inTurn(input)) << input;
    }
}

TEST(LineEnds, StripCRLFSpaceMakesOneLine)
{
    ExpectTransform(StripCRLFSpace, {
                                        {"a\r\n  b\t\tc   d", "a   b  c d"},
                                        {"  lead and trail  ", " lead and trail "},
                                        {"\n \n", "   "},
                                        {"no change", "no change"},
                                    });
}

TEST(LineEnds, StripCRLFSpacePreKeepsPreformattedBlocks)
{
    ExpectTransform(StripCRLFSpacePre, {
                                           {"a  b<pre>x  \n y</PRE>c\nd", "a b<pre>x  \n y</PRE>c d"},
                                           {"<PRE>  open\n to the end", "<PRE>  open\n to the end"},
                                           {"<pre class=x>  \n", "<pre class=x>  "},
                                           {"a\n<pre></pre>\n<Pre> \n</pRe>", "a <pre></pre> <Pre> \n</pRe>"},
                                       });
}

TEST(LineEnds, StripSpaceAfterCRTakesOneSpace)
{
    ExpectTransform(StripSpaceAfterCR, {
                                           {"a\r  b\r c\r", "a\r b\rc\r"},
                                           {" \r\n x", " \r\n x"},
                                       });
}

TEST(Headlines, SubstituteHeadlineCutsAtTheFirstFittingBreak)
{
    const std::string seventy(70, 'x');
    const std::string sixtySix(66, 'y');
    std::string e300;
    for (int i = 0; i < 200; ++i)
        e300 += "\xC3\xA9";  // é: 255 bytes would split the 128th
    struct Case {
        std::string description;
        std::string expected;
    };
    const Case cases[] = {
        {"Hello, world. Long text", "Hello, world"},
        {"\n\r  Short", "Short"},
        {"Hi. There", "Hi. There"},
        {seventy + " tail", seventy},
        {seventy + ": colon", seventy},
        {sixtySix + "! rest", sixtySix + "!"},
        {"short!question? ok", "short!question? ok"},
        {std::string(300, 'a'), std::string(255, 'a')},
        {e300, e300.substr(0, 254)},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Transformed("stale", [&](TextBuffer& headline) { SubstituteHeadline(headline, c.description); }),
                  c.expected)
            << c.description;
    }
    // A small headline buffer bounds the copy too.
    EXPECT_EQ(Transformed("", [](TextBuffer& headline) { SubstituteHeadline(headline, "abcdefghij"); }, 4), "abcd");
}

TEST(Documents, RepairNullCharsMakesSpaces)
{
    std::string data("a\0b\0\0c\0", 7);
    RepairNullChars(data);
    EXPECT_EQ(data, "a b  c");
    std::string clean = "clean";
    RepairNullChars(clean);
    EXPECT_EQ(clean, "clean");
}

TEST(Markup, EncodedTagPrefixes)
{
    EXPECT_TRUE(IsBeginningWithEncodedTAG("&lt;p&gt;Text"));
    EXPECT_TRUE(IsBeginningWithEncodedTAG("&lt;div class=x&gt;"));
    EXPECT_TRUE(IsBeginningWithEncodedTAG("&lt;a href=\"x\""));
    EXPECT_TRUE(IsBeginningWithEncodedTAG("&lt;center&gt;"));
    EXPECT_TRUE(IsBeginningWithEncodedTAG("&lt;font size=2"));
    EXPECT_FALSE(IsBeginningWithEncodedTAG("&lt;P&gt;"));
    EXPECT_FALSE(IsBeginningWithEncodedTAG(" &lt;p&gt;"));
    EXPECT_FALSE(IsBeginningWithEncodedTAG("&lt;div>"));
    EXPECT_FALSE(IsBeginningWithEncodedTAG("&lt;"));
    EXPECT_FALSE(IsBeginningWithEncodedTAG("&lt"));
    EXPECT_FALSE(IsBeginningWithEncodedTAG(""));
}

// Hostile texts of the widest field through every transform: nothing is
// written past the buffer, whatever the input.
TEST(BadInput, EveryTransformStaysInsideItsBuffer)
{
    std::string references;
    while (references.size() + 5 <= kMaxTextBytes)
        references += "&uml;";
    std::string greek;
    while (greek.size() + 4 <= kMaxTextBytes)
        greek += "&mu;";
    const std::string inputs[] = {
        references,
        greek,
        std::string(kMaxTextBytes, '&'),
        std::string(kMaxTextBytes, '<'),
        "<![CDATA[" + std::string(kMaxTextBytes, ']'),
        std::string("\xFF\xFE\xC3<pre>\r\n\t  &#x110000;&#;&#99999999999999;", 38),
        std::string(kMaxTextBytes, '\r'),
    };
    const std::function<void(TextBuffer&)> transforms[] = {
        StripCDATA,
        [](TextBuffer& text) { StripCDATAMore(text); },
        HTMLDecode,
        HTMLDecodeForUTF8,
        HTMLMultiAmpDecode,
        HTMLMinimumDecode,
        ReplaceHTMLTagToCR,
        ReplaceHTMLTagToCRHyphen,
        ReplaceHTMLTagToCRHyphenAndCR,
        FixAllHTMLUnicode,
        StripSpaceAfterCR,
        StripCRLFSpace,
        StripCRLFSpacePre,
        StripHTMLTagString,
    };
    for (const std::string& input : inputs) {
        for (const auto& transform : transforms) {
            Transformed(input, transform);
            Transformed(input, transform, 17);
        }
    }
}
