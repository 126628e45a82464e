// The css folder: refreshed from the shipped style sheets without touching
// the user's own, style sheets the user copies in, and the site-specific
// sheets that must stay inside the folder.
#include "SettingsTestSupport.h"

#include "platform/Folders.h"
#include "settings/StyleSheets.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class StyleSheets : public SettingsTest {
protected:
    std::string Shipped(const std::string& name) { return *ReadTestFile(*MakeResourcePath("css/" + name)); }
};

} // namespace

TEST_F(StyleSheets, SetupRestoresShippedSheetsAndKeepsTheUsers)
{
    WriteTestFile(CSSFolder() / "Default.css", "body { color: red }");
    WriteTestFile(CSSFolder() / "Mine.css", "body { color: green }");
    WriteTestFile(CSSFolder() / "+Tech News.css", "h3 { }");

    ASSERT_EQ(SetupCSSFiles(), kNoErr);
    EXPECT_EQ(ReadTestFile(CSSFolder() / "Default.css"), Shipped("Default.css"));
    EXPECT_EQ(ReadTestFile(CSSFolder() / "-Favicon.css"), Shipped("-Favicon.css"));
    EXPECT_EQ(ReadTestFile(CSSFolder() / "image" / "podcast.png"), Shipped("image/podcast.png"))
        << "subfolders are copied too";
    EXPECT_EQ(ReadTestFile(CSSFolder() / "Mine.css"), "body { color: green }");
    EXPECT_EQ(ReadTestFile(CSSFolder() / "+Tech News.css"), "h3 { }");

    // A second start finds everything current and still succeeds.
    ASSERT_EQ(SetupCSSFiles(), kNoErr);
    EXPECT_EQ(ReadTestFile(CSSFolder() / "Default.css"), Shipped("Default.css"));
}

TEST_F(StyleSheets, ShippedSheetsStyleTheDescriptionPage)
{
    for (const char* name : {"Default.css", "Night.css"}) {
        std::string sheet = Shipped(name);
        for (const char* selector : {"div.vkbody", "h3.vkhead", "img.vkicon", "div.vkdesc"})
            EXPECT_NE(sheet.find(selector), std::string::npos) << name << " styles " << selector;
    }
    EXPECT_NE(Shipped("-Favicon.css").find("Default.css"), std::string::npos);
}

TEST_F(StyleSheets, CopyPutsTheUsersSheetInTheFolder)
{
    fs::path chosen = Home() / "Downloads" / "Paper.css";
    WriteTestFile(chosen, "body { background: ivory }");
    WriteTestFile(CSSFolder() / "Paper.css", "old");

    ASSERT_EQ(CopyCSSFile(chosen), kNoErr);
    EXPECT_EQ(ReadTestFile(CSSFolder() / "Paper.css"), "body { background: ivory }");
    EXPECT_EQ(ReadTestFile(chosen), "body { background: ivory }");

    // Choosing a sheet that is already in the folder must not empty it.
    ASSERT_EQ(CopyCSSFile(CSSFolder() / "Paper.css"), kNoErr);
    EXPECT_EQ(ReadTestFile(CSSFolder() / "Paper.css"), "body { background: ivory }");

    WriteTestFile(Home() / "Empty.css", "");
    EXPECT_EQ(CopyCSSFile(Home() / "Empty.css"), kNoErr);
    EXPECT_EQ(ReadTestFile(CSSFolder() / "Empty.css"), "");

    EXPECT_EQ(CopyCSSFile(Home() / "Missing.css"), kFileNotFoundErr);
    EXPECT_FALSE(fs::exists(CSSFolder() / "Missing.css"));
    EXPECT_EQ(CopyCSSFile(Home() / "Downloads"), kFileNotFoundErr) << "a folder is not a style sheet";
    EXPECT_EQ(CopyCSSFile(""), kParamErr);
    EXPECT_EQ(CopyCSSFile(Home() / ".."), kParamErr);
}

TEST_F(StyleSheets, SpecialSheetIsFoundOnlyInsideTheFolder)
{
    WriteTestFile(CSSFolder() / "+Tech News.css", "h3 { }");
    WriteTestFile(CSSFolder() / "+Science" / "Daily.css", "h3 { }");
    WriteTestFile(SupportFolder() / "+Escape.css", "h3 { }");
    fs::create_directories(CSSFolder() / "+");

    EXPECT_TRUE(ENVExistSpecialCSS("Tech News"));
    EXPECT_FALSE(ENVExistSpecialCSS("Tech"));
    EXPECT_FALSE(ENVExistSpecialCSS(""));
    EXPECT_FALSE(ENVExistSpecialCSS("Science/Daily")) << "a name with a slash names no file of the folder";
    EXPECT_FALSE(ENVExistSpecialCSS("/../../+Escape"));
    fs::create_directories(CSSFolder() / "+Folder.css");
    EXPECT_FALSE(ENVExistSpecialCSS("Folder")) << "a folder is not a style sheet";
}
