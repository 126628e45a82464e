// The configuration text: the shipped file and what it names, files that
// stop early or hold odd values, and the font family table behind its font
// numbers.
#include "SettingsTestSupport.h"

#include "platform/Folders.h"
#include "settings/Configuration.h"
#include "settings/FontFamilies.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

TEST(Configuration, ShippedFileNamesThingsThatExist)
{
    LoadConfiguration();
    const VarnokeConfiguration& configuration = GetConfiguration();
    EXPECT_FALSE(ENVHelpFile().empty());
    EXPECT_EQ(ENVHomeURL().substr(0, 8), "https://");
    EXPECT_EQ(ENVSubmitURL().substr(0, 8), "https://");
    EXPECT_EQ(GetFontFamilyName(configuration.romanFont), "DejaVu Sans");
    EXPECT_TRUE(GetFontFamilyName(configuration.japanFont));
    EXPECT_TRUE(ENVUseCache());
    EXPECT_EQ(ENVDefaultWebEncoding(), "UTF-8");
    EXPECT_EQ(ENVDefaultRssEncoding(), "UTF-8");
    ASSERT_FALSE(configuration.defaultCSS.empty());
    EXPECT_TRUE(MakeResourcePath("css/" + configuration.defaultCSS + ".css"))
        << "the default style sheet is shipped";
}

TEST(Configuration, ValuesAreReadInOrderUntilOneIsMissingOrMalformed)
{
    struct Case {
        const char* what;
        std::string text;
        std::string helpName;
        int16_t japanFont;
        RGBColor tickerColor;
        int32_t useCache;
        std::string defaultCSS;
    };
    const RGBColor white{0xFFFF, 0xFFFF, 0xFFFF};
    const Case cases[] = {
        {"complete, CR LF and blank lines", "help.html\r\n\r\nhttps://a/\r\nhttps://b/\r\n1\r\n20\r\n"
         "1, 2 ,3\r\n1\r\nUTF-8\r\nISO-8859-1\r\nPlain\r\n", "help.html", 20, {1, 2, 3}, 1, "Plain"},
        {"colour numbers keep their low 16 bits", "h\nhttps://a/\nhttps://b/\n1\n+21\n65537,-1,70000\n0\n"
         "UTF-8\nUTF-8\nPlain\n", "h", 21, {1, 0xFFFF, 4464}, 0, "Plain"},
        {"stops after the Japanese font", "h\nhttps://a/\nhttps://b/\n1\n20\n", "h", 20, white, 0, ""},
        {"colour of two numbers", "h\nhttps://a/\nhttps://b/\n1\n20\n255,255\n1\nUTF-8\nUTF-8\nPlain\n", "h",
         20, white, 0, ""},
        {"font number beyond 16 bits", "h\nhttps://a/\nhttps://b/\n1\n70000\n1,2,3\n1\nUTF-8\nUTF-8\nPlain\n",
         "h", 0, white, 0, ""},
        {"a value of two words", "h\nhttps://a/\nhttps://b/\n1\n20\n1,2,3\n1\nUTF-8\nUTF-8\nMy Style\n", "h", 20,
         {1, 2, 3}, 1, ""},
        {"overlong help file name", std::string(100, 'x') + "\n", std::string(63, 'x'), 0, white, 0, ""},
        {"style sheet outside the css folder",
         "h\nhttps://a/\nhttps://b/\n1\n20\n1,2,3\n1\nUTF-8\nUTF-8\n../secret\n", "h", 20, {1, 2, 3}, 1, ""},
        {"empty", "", "", 0, white, 0, ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        VarnokeConfiguration configuration = ParseConfiguration(test.text);
        EXPECT_EQ(configuration.helpName, test.helpName);
        EXPECT_EQ(configuration.japanFont, test.japanFont);
        EXPECT_EQ(configuration.tickerColor, test.tickerColor);
        EXPECT_EQ(configuration.useCache, test.useCache);
        EXPECT_EQ(configuration.defaultCSS, test.defaultCSS);
    }
}

TEST(Configuration, UnknownEncodingsAreLeftEmpty)
{
    VarnokeConfiguration configuration =
        ParseConfiguration("h\nhttps://a/\nhttps://b/\n1\n20\n1,2,3\n1\nklingon-8\nShift_JIS\nPlain\n");
    EXPECT_EQ(configuration.defaultWebEncoding, "");
    EXPECT_EQ(configuration.defaultRssEncoding, "Shift_JIS");
    EXPECT_EQ(configuration.defaultCSS, "Plain") << "later values are still read";
}

TEST(FontFamilies, NumbersAndNamesMapBothWays)
{
    std::set<std::string_view> names;
    for (const FontFamily& family : GetFontFamilies()) {
        EXPECT_TRUE(names.insert(family.name).second) << family.name << " is listed twice";
        EXPECT_EQ(GetFontFamilyID(family.name), family.id);
        EXPECT_EQ(GetFontFamilyName(family.id), family.name);
    }
    EXPECT_EQ(GetFontFamilyName(kDefaultFontFamilyID), "DejaVu Sans");
    EXPECT_EQ(GetFontFamilyName(-5), std::nullopt);
    EXPECT_EQ(GetFontFamilyNameOrDefault(-5), "DejaVu Sans") << "a stale number still draws text";
    EXPECT_EQ(GetFontFamilyID("Comic Sans"), std::nullopt);
}

TEST(FontFamilies, DefaultFamilyIsInstalled)
{
    FILE* list = ::popen("fc-list 'DejaVu Sans' family 2>/dev/null", "r");
    if (list == nullptr)
        GTEST_SKIP() << "no fc-list";
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, list) != nullptr)
        output += buffer;
    if (::pclose(list) != 0 && output.empty())
        GTEST_SKIP() << "fc-list did not run";
    EXPECT_NE(output.find("DejaVu Sans"), std::string::npos) << "fonts-dejavu-core provides the default family";
}
