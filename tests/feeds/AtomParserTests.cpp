// The Atom parser: the Atom 0.3 and 1.0 fixtures field by field, the feed
// results, links with and without a relation, the tagline and subtitle,
// content with and without attributes, and damaged entries.
#include "ParserTestSupport.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

namespace {

struct ExpectedEntry {
    std::string headline; // UTF-8
    std::string link;
    std::string description;
    uint32_t dateTime;
};

struct AtomFixtureCase {
    std::string file;
    std::string name;
    std::string homeURL;
    std::string description;
    std::vector<ExpectedEntry> entries;
};

class AtomFixtureTest : public ::testing::TestWithParam<AtomFixtureCase> {};

TEST_P(AtomFixtureTest, ReadsFeedAndEntries)
{
    const AtomFixtureCase& expected = GetParam();
    ScopedTimeZone zone("UTC0");
    ParsedFeed feed;

    ASSERT_EQ(feed.Parse(Parser::kAtom, ReadFixture(expected.file)), int32_t(expected.entries.size()));
    EXPECT_TRUE(feed.named);
    EXPECT_EQ(feed.subscription.name.view(), expected.name);
    EXPECT_EQ(feed.subscription.homeURL.view(), expected.homeURL);
    EXPECT_EQ(feed.subscription.description.view(), expected.description);
    EXPECT_TRUE(feed.subscription.imageURL.empty());

    std::vector<const NewsList*> items = feed.Items();
    ASSERT_EQ(items.size(), expected.entries.size());
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_EQ(items[i]->headlineRef.view(), expected.entries[i].headline);
        EXPECT_EQ(items[i]->linkURL.view(), expected.entries[i].link);
        EXPECT_EQ(items[i]->description.view(), expected.entries[i].description);
        EXPECT_EQ(items[i]->dateTime, expected.entries[i].dateTime);
        EXPECT_EQ(items[i]->dateFlags, 0u);
        EXPECT_TRUE(items[i]->objectURL.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, AtomFixtureTest,
    ::testing::Values(
        // Atom 0.3: the tagline; content preferred to summary; a link of
        // another relation passed over for the alternate one.
        AtomFixtureCase{"atom03.xml", "Garden Diary", "http://garden.example.com/", "Seeds & weeds",
                        {{"Tomatoes", "http://garden.example.com/2005/03/tomatoes",
                          "<p>Planted the <i>tomatoes</i>.</p>", Wall(2005, 3, 4, 12, 30)},
                         {"Compost", "http://garden.example.com/2005/03/compost", "Turned the compost.",
                          Wall(2005, 3, 1, 8)}}},
        // Atom 1.0 after a byte-order mark: a CDATA title, the subtitle, links
        // without a relation, a title starting on the next line, content
        // without attributes, and content by reference giving way to the
        // summary.
        AtomFixtureCase{"atom10.xml", "Night & Day Observatory", "http://sky.example.com/",
                        "Stars, comets & the odd satellite",
                        {{"Comet sighted", "http://sky.example.com/2005/03/comet", "A faint comet near <b>Vega</b>.",
                          Wall(2005, 3, 4, 20, 15)},
                         {"Moon — full", "http://sky.example.com/2005/03/moon?a=1&b=2", "The full moon rose at eight.",
                          Wall(2005, 2, 25, 20)}}}),
    [](const ::testing::TestParamInfo<AtomFixtureCase>& info) {
        return info.param.file.substr(0, info.param.file.find('.'));
    });

TEST(AtomParserTest, ReturnsTheFeedResult)
{
    const std::string entry = "<entry><title>e</title></entry>";
    struct Case {
        std::string label;
        std::string document;
        int32_t result;
        std::string name;
    } const cases[] = {
        {"no feed", "<?xml version=\"1.0\"?><rss><channel><title>x</title></channel></rss>", kFeedNotRecognizedErr,
         ""},
        {"no title", AtomDocument("<link href=\"http://a/\"/>" + entry), kFeedNotRecognizedErr, ""},
        {"an entry before the title", AtomDocument(entry + "<title>Late</title>"), kFeedNotRecognizedErr, ""},
        {"a title never closed", AtomDocument("<title>Open"), kFeedNotRecognizedErr, ""},
        {"no link at all is no failure", AtomDocument("<title>Linkless</title>" + entry), 1, "Linkless"},
        {"no entries: the feed is still read", AtomDocument("<title>Empty</title>"), kFeedNoItemsErr, "Empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ParsedFeed feed;
        EXPECT_EQ(feed.Parse(Parser::kAtom, c.document), c.result);
        EXPECT_EQ(feed.subscription.name.view(), c.name);
    }
}

TEST(AtomParserTest, ReadsTheFeedsLinkAndDescription)
{
    struct Case {
        std::string label;
        std::string head;
        std::string homeURL;
        std::string description;
    } const cases[] = {
        {"the alternate link among others", "<link rel=\"self\" href=\"http://a/self\"/>"
                                            "<link rel=\"alternate\" type=\"text/html\" href=\"http://a/\"/>",
         "http://a/", ""},
        {"a link without a relation", "<link href='http://b/'></link><link rel=\"alternate\" href=\"http://x/\"/>",
         "http://b/", ""},
        {"no alternate link", "<link rel=\"self\" href=\"http://a/self\"/>", "", ""},
        {"the tagline before the subtitle", "<subtitle>Sub</subtitle><tagline mode=\"escaped\">Tag</tagline>", "",
         "Tag"},
        {"the subtitle without a tagline", "<subtitle type=\"html\">Small &amp;amp; sharp</subtitle>", "",
         "Small &amp; sharp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ParsedFeed feed;
        ASSERT_EQ(feed.Parse(Parser::kAtom, AtomDocument("<title>F</title>" + c.head +
                                                         "<entry><title>e</title><link href=\"http://e/\"/></entry>")),
                  1);
        EXPECT_EQ(feed.subscription.homeURL.view(), c.homeURL);
        EXPECT_EQ(feed.subscription.description.view(), c.description);
    }
}

TEST(AtomParserTest, ReadsEntriesByTheirRules)
{
    struct Case {
        std::string label;
        std::string entries;
        int32_t result;
        std::vector<std::string> headlines;
        std::vector<std::string> links;
    } const cases[] = {
        {"a link whose tag does not end inside its entry skips that entry only",
         "<entry><title>A</title><link href=\"http://a/\"</entry>"
         "<entry><title>B</title><link href=\"http://b/\"/></entry>",
         1, {"B"}, {"http://b/"}},
        {"an alternate link without href skips the entry",
         "<entry><title>A</title><link rel=\"alternate\"/></entry><entry><title>B</title></entry>", 1, {"B"}, {""}},
        {"an entry with only other links keeps an empty link",
         "<entry><title>A</title><link rel=\"edit\" href=\"http://a/edit\"/></entry>", 1, {"A"}, {""}},
        {"content without its end stops the reading",
         "<entry><title>A</title></entry><entry><title>B</title><content type=\"html\">x</entry>"
         "<entry><title>C</title></entry>",
         1, {"A"}, {""}},
        {"a CDATA title gives its text", "<entry><title type=\"html\"><![CDATA[\n<b>Bold</b> news]]></title></entry>",
         1, {"Bold news"}, {""}},
        {"an entry without title takes its headline from its summary",
         "<entry><summary>Rain, then sun. More later</summary></entry>", 1, {"Rain, then sun"}, {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ParsedFeed feed;
        EXPECT_EQ(feed.Parse(Parser::kAtom, AtomDocument("<title>F</title>" + c.entries)), c.result);
        EXPECT_EQ(feed.Headlines(), c.headlines);
        EXPECT_EQ(feed.Links(), c.links);
    }
}

TEST(AtomParserTest, ReadsSubjectsAndDatesOfEntries)
{
    ScopedTimeZone zone("UTC0");
    ParsedFeed feed;
    ASSERT_EQ(feed.Parse(Parser::kAtom, AtomDocument("<title>F</title><entry><title>A</title>"
                                                     "<category><![CDATA[Sky &amp; stars]]></category>"
                                                     "<updated>Fri, 04 Mar 2005 12:30:00 GMT</updated></entry>")),
              1);
    const NewsList& item = *feed.Items()[0];
    EXPECT_EQ(item.subject.view(), "Sky & stars");
    EXPECT_EQ(item.dateTime, Wall(2005, 3, 4, 12, 30));
    EXPECT_EQ(item.dateFlags, 0u);
}

TEST(AtomParserTest, StopsAtARestrictedHomePage)
{
    ScopedRestrictions restrictions("blocked.example\n");
    ParsedFeed feed;
    EXPECT_EQ(feed.Parse(Parser::kAtom, AtomDocument("<title>F</title><link href=\"http://blocked.example/\"/>"
                                                     "<entry><title>A</title></entry>")),
              kFeedRestrictedErr);
    EXPECT_TRUE(feed.Items().empty());
}

} // namespace
