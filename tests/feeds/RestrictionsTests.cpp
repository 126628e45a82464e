// Site restrictions: the three files of the administrator's folder, their
// line rules (CR LF files included), the scrambled list, the unrestricted
// users and the log lines that name the entry that restricted a URL.
#include "FeedsTestSupport.h"

#include "feeds/Restrictions.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class RestrictionsTest : public ::testing::Test {
protected:
    void TearDown() override { ClearRestrictions(); }

    void Write(const std::string& name, std::string bytes)
    {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }
    void WriteScrambled(std::string plain)
    {
        DisscrambleData(plain.data(), plain.size());
        Write(kSysRestrictionsFileName, plain);
    }
    void Load(const std::string& user = "alice") { ASSERT_EQ(LoadRestrictions(folder / "", user), kNoErr); }

    // Whether `url` is restricted, and what was logged while testing it.
    std::pair<bool, std::string> Test(std::string_view url)
    {
        testing::internal::CaptureStdout();
        bool restricted = IsRestrictedURL(url);
        return {restricted, testing::internal::GetCapturedStdout()};
    }

    ScratchFolder folder;
};

} // namespace

TEST_F(RestrictionsTest, PlainListRestrictsEveryURLHoldingAFragmentAndSaysWhich)
{
    Write(kUsrRestrictionsFileName, "example.com/ads\nbad.example\n");
    Load();
    EXPECT_EQ(Test("http://example.com/ads/feed.xml"),
              std::make_pair(true, std::string("# Varnoke : Restricted by <example.com/ads>\n")));
    EXPECT_EQ(Test("https://www.bad.example/item?id=1"),
              std::make_pair(true, std::string("# Varnoke : Restricted by <bad.example>\n")));
    EXPECT_EQ(Test("http://example.com/news"), std::make_pair(false, std::string()));
    EXPECT_EQ(Test("http://EXAMPLE.com/ads"), std::make_pair(false, std::string())); // case-sensitive
}

TEST_F(RestrictionsTest, LineRules)
{
    struct Case {
        const char* file;
        const char* url;
        bool restricted;
    };
    const Case cases[] = {
        {"one\r\ntwo\r\n", "http://two/", true},  // CR LF files keep every line
        {"one\rtwo\r", "http://two/", true},      // CR alone ends a line too
        {"one\n\ntwo\n", "http://two/", false},   // an empty line ends the list
        {"one\ntwo", "http://two/", true},        // the last line needs no line end
        {"\none\n", "http://one/", false},
        {"", "http://one/", false},
    };
    for (const Case& c : cases) {
        Write(kUsrRestrictionsFileName, c.file);
        Load();
        EXPECT_EQ(Test(c.url).first, c.restricted) << testing::PrintToString(std::string(c.file));
    }
}

TEST_F(RestrictionsTest, ScrambledSystemListIsUnscrambledAndLoggedQuietly)
{
    WriteScrambled("tracker.example\r\nspam.example");
    testing::internal::CaptureStdout();
    Load();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  Varnoke loaded 2 restrictions.\n");
    // Without the plain-text file the system list keeps its entries to itself.
    EXPECT_EQ(Test("http://spam.example/rss"), std::make_pair(true, std::string()));
    EXPECT_FALSE(Test("http://ok.example/rss").first);

    Write(kUsrRestrictionsFileName, "");
    Load();
    EXPECT_EQ(Test("http://tracker.example/"),
              std::make_pair(true, std::string("# Varnoke : Restricted by 'tracker.example'\n")));
}

TEST_F(RestrictionsTest, SystemListEndingWithALineEndIsPlainText)
{
    Write(kSysRestrictionsFileName, "plain.example\n");
    Load();
    EXPECT_TRUE(Test("http://plain.example/").first);

    std::string scrambled = "plain.example\n";
    DisscrambleData(scrambled.data(), scrambled.size());
    EXPECT_EQ(scrambled, "plain.example\n");
}

TEST_F(RestrictionsTest, ScramblingIsItsOwnInverseAndNeverEndsInALineEnd)
{
    std::string text = "ads.example\nmore.example/path?q=1\nx";
    std::string scrambled = text;
    DisscrambleData(scrambled.data(), scrambled.size());
    EXPECT_NE(scrambled, text);
    EXPECT_NE(scrambled.back(), '\n');
    EXPECT_NE(scrambled.back(), '\r');
    DisscrambleData(scrambled.data(), scrambled.size());
    EXPECT_EQ(scrambled, text);
}

TEST_F(RestrictionsTest, UnrestrictedUserIsNeverRestricted)
{
    Write(kUnrestrictionsFileName, "root\r\nalice\r\n");
    Write(kUsrRestrictionsFileName, "example.com\n");
    WriteScrambled("example.com");

    testing::internal::CaptureStdout();
    Load("alice");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "# Varnoke : Unrestricted user : alice\n");
    EXPECT_TRUE(IsUnrestrictedUser("alice"));
    EXPECT_EQ(LoginUserName(), "alice");
    EXPECT_EQ(Test("http://example.com/"), std::make_pair(false, std::string()));

    // Names compare exactly.
    Load("Alice");
    EXPECT_FALSE(IsUnrestrictedUser("Alice"));
    EXPECT_TRUE(Test("http://example.com/").first);
}

TEST_F(RestrictionsTest, MissingFilesRestrictNothing)
{
    Load();
    EXPECT_FALSE(Test("http://anything/").first);
    EXPECT_EQ(GetRestrictionFile(kUsrRestrictionsFileName), folder / "" / kUsrRestrictionsFileName);
    EXPECT_FALSE(GetLoginUsername().empty());
    EXPECT_LE(GetLoginUsername().size(), kMaxLoginUserBytes);
}
