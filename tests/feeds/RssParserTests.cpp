// The RSS parser: the three RSS fixtures (0.91 in Latin-1, 2.0 with
// enclosures, RSS 1.0) field by field, the document results, channel texts
// in several encodings, links and guids, damaged items, restrictions and
// long documents.
#include "ParserTestSupport.h"

#include "feeds/TextEncoding.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kNow = 3'900'000'000u;

struct ExpectedItem {
    std::string headline; // as UTF-8 (headlineRef)
    std::string link;
    std::string text;     // plain text as UTF-8 (descriptionRef)
    std::string enclosure;
    uint32_t dateTime;    // 0: undated, the time of reading
    uint32_t dateFlags;
    std::string subject = {};
    std::string publisher = {};
};

struct FixtureCase {
    std::string file;
    int32_t result;
    std::string name;
    std::string homeURL;
    std::string description;
    std::string imageURL;
    std::string encodingName;
    std::vector<ExpectedItem> items;
};

class RssFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(RssFixtureTest, ReadsChannelAndItems)
{
    const FixtureCase& expected = GetParam();
    ScopedTimeZone zone("UTC0");
    TestClockGuard clock(0, kNow);
    ParsedFeed feed;

    ASSERT_EQ(feed.Parse(Parser::kRss, ReadFixture(expected.file)), expected.result);
    EXPECT_TRUE(feed.named);
    EXPECT_EQ(feed.subscription.name.view(), expected.name);
    EXPECT_EQ(feed.subscription.homeURL.view(), expected.homeURL);
    EXPECT_EQ(feed.subscription.description.view(), expected.description);
    EXPECT_EQ(feed.subscription.imageURL.view(), expected.imageURL);

    std::vector<const NewsList*> items = feed.Items();
    ASSERT_EQ(items.size(), expected.items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i));
        const NewsList& item = *items[i];
        const ExpectedItem& want = expected.items[i];
        EXPECT_EQ(item.headlineRef.view(), want.headline);
        EXPECT_EQ(item.linkURL.view(), want.link);
        EXPECT_EQ(item.descriptionRef.view(), want.text);
        EXPECT_EQ(item.objectURL.view(), want.enclosure);
        EXPECT_EQ(item.dateTime, want.dateTime ? want.dateTime : kNow);
        EXPECT_EQ(item.dateFlags, want.dateFlags);
        EXPECT_EQ(item.subject.view(), want.subject);
        EXPECT_EQ(item.publisher.view(), want.publisher);
        EXPECT_EQ(item.encodingName.view(), expected.encodingName);
        EXPECT_EQ(item.type, kNewsTypeFeed);
        EXPECT_EQ(item.parent, &feed.subscription);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RssFixtureTest,
    ::testing::Values(
        // An RSS 0.91 channel whose image block comes before its title: the
        // image's title and link name the channel. Latin-1 text with
        // references beyond Latin-1.
        FixtureCase{"rss091-latin1.xml", 2, "Kiosque Café", "http://kiosque.example.fr/",
                    "Nouvelles du café & du quartier", "http://kiosque.example.fr/logo.gif", "ISO-8859-1",
                    {{"Crème brûlée & café crème", "http://kiosque.example.fr/journal/1.html",
                      "La carte dété — lété arrive.", "", 0, kDateFlagNoDate},
                     {"Marché du samedi", "http://kiosque.example.fr/journal/2.html", "Fruits & légumes.", "", 0,
                      kDateFlagNoDate}}},
        // RSS 2.0: content:encoded before description, an image enclosure
        // giving way to the audio one, two image enclosures keeping the
        // first, a permalink guid as the link, a W3C dc:date after an RFC 822
        // pubDate, a headline made from the description.
        FixtureCase{"rss20-enclosures.xml", 3, "Harbour Radio – Podcasts", "http://radio.example.org/",
                    "Weekly shows from the harbour — café talk", "http://radio.example.org/cover.png", "UTF-8",
                    {{"Episode 12: Tides & Times", "http://radio.example.org/shows/12",
                      "We talk about tides.And about café life.\r\r",
                      "http://radio.example.org/audio/12.mp3?src=rss&v=2", Wall(2005, 3, 4, 3, 30), 0},
                     {"Episode 11: Fog", "http://radio.example.org/shows/11", "Fog & foghorns\r\r",
                      "http://radio.example.org/art/11a.jpg", Wall(2005, 2, 25, 8), 0, "Weather"},
                     {"A show without a title", "",
                      "A show without a title, about the lighthouse keepers and their long nights on the rocks.", "",
                      Wall(2005, 2, 18, 8), 0}}},
        // RSS 1.0: the items list inside the channel is no item; the items
        // follow the channel.
        FixtureCase{"rss10-rdf.xml", 2, "Lab Notes", "http://lab.example.net/", "Notes from the lab",
                    "http://lab.example.net/lab.png", "utf-8",
                    {{"日本の天気", "http://lab.example.net/2005/03/04/a", "晴れ & 雨", "", Wall(2005, 3, 4, 3, 30), 0,
                      "<Weather>", "Lab Press"},
                     {"Calibration", "http://lab.example.net/2005/03/01/b", "Calibrated the scales.", "",
                      Wall(2005, 3, 1), kDateFlagDateOnly}}}),
    [](const ::testing::TestParamInfo<FixtureCase>& info) {
        std::string name = info.param.file.substr(0, info.param.file.find('.'));
        std::erase(name, '-');
        return name;
    });

/* ---- Document results ---- */

struct ResultCase {
    std::string label;
    std::string document;
    std::string presetName;
    int32_t result;
    std::string name; // the subscription's name afterwards
};

TEST(RssParserTest, ReturnsTheDocumentResult)
{
    const std::string item = "<item><title>a</title></item>";
    const ResultCase cases[] = {
        {"not a feed", "<html><body>news</body></html>", "", kFeedNotRecognizedErr, ""},
        {"no closing >", "<?xml version=\"1.0\"", "", kFeedNotRecognizedErr, ""},
        {"no channel", "<?xml version=\"1.0\"?><rss version=\"2.0\"></rss>", "", kFeedNotRecognizedErr, ""},
        {"channel not closed", "<?xml version=\"1.0\"?><rss><channel><title>Open</title>" + item, "",
         kFeedNotRecognizedErr, ""},
        {"rss element without declaration", "<rss><channel><title>Bare</title>" + item + "</channel></rss>", "", 1,
         "Bare"},
        {"byte-order mark and blank lines before the declaration",
         "\xEF\xBB\xBF\r\n  " + RssDocument("<title>Marked</title>" + item), "", 1, "Marked"},
        {"no items: the channel is still read", RssDocument("<title>Quiet</title>"), "", kFeedNoItemsErr, "Quiet"},
        {"protected by its title", RssDocument("<title>--- Site Protected ---</title>" + item), "",
         kFeedRestrictedErr, "--- Site Protected ---"},
        {"protected by the user's name", RssDocument("<title>Other</title>" + item), "--- Site Protected ---",
         kFeedRestrictedErr, "--- Site Protected ---"},
    };
    for (const ResultCase& c : cases) {
        SCOPED_TRACE(c.label);
        ParsedFeed feed;
        feed.subscription.name = c.presetName;
        EXPECT_EQ(feed.Parse(Parser::kRss, c.document), c.result);
        EXPECT_EQ(feed.subscription.name.view(), c.name);
        EXPECT_EQ(feed.Items().size(), c.result > 0 ? size_t(c.result) : 0u);
    }
}

TEST(RssParserTest, WritesOnlyEmptyChannelFields)
{
    ParsedFeed feed;
    feed.subscription.name = "My name";
    feed.subscription.homeURL = "http://mine.example/";
    ASSERT_EQ(feed.Parse(Parser::kRss, RssDocument("<title>Theirs</title><link>http://theirs.example/</link>"
                                                   "<description>About</description><item><title>a</title></item>")),
              1);
    EXPECT_FALSE(feed.named);
    EXPECT_EQ(feed.subscription.name.view(), "My name");
    EXPECT_EQ(feed.subscription.homeURL.view(), "http://mine.example/");
    EXPECT_EQ(feed.subscription.description.view(), "About");
}

/* ---- Channel texts ---- */

struct ChannelTextCase {
    std::string label;
    std::string encoding;
    std::string title;       // bytes in that encoding
    std::string name;        // UTF-8
};

TEST(RssParserTest, StoresChannelNamesAsUTF8WithEveryReferenceResolved)
{
    const ChannelTextCase cases[] = {
        {"UTF-8 with decimal, hexadecimal and named references", "UTF-8",
         "Caf&#233; &#8216;Q&#8217; &eacute;t&eacute; &#x2019; &mdash;", "Café ‘Q’ été ’ —"},
        {"Latin-1 bytes and references beyond Latin-1", "ISO-8859-1", "Caf\xE9 &#8212; &eacute;", "Café — é"},
        {"Shift_JIS bytes and references", "Shift_JIS", "\x93\xFA\x96\x7B &#8216;x&#8217; &copy;", "日本 ‘x’ ©"},
        {"a reference escaped twice is resolved once", "UTF-8", "A &amp;#233; B", "A &#233; B"},
        {"CDATA gives its text", "UTF-8", "<![CDATA[\n  Night &amp; Day\n]]>", "Night & Day"},
        {"line breaks are dropped, markup ends the name", "UTF-8", "Two\nlines <b>bold</b>", "Twolines "},
        {"a UTF-8 name is cut on a character boundary", "UTF-8", std::string(62, 'x') + "é",
         std::string(62, 'x')},
        {"damaged UTF-8 is replaced, not stored", "UTF-8", "Bad \xFF byte", "Bad \xEF\xBF\xBD byte"},
    };
    for (const ChannelTextCase& c : cases) {
        SCOPED_TRACE(c.label);
        ParsedFeed feed;
        feed.Parse(Parser::kRss, RssDocument("<title>" + c.title + "</title><item><title>a</title></item>", c.encoding));
        EXPECT_TRUE(feed.named);
        EXPECT_EQ(feed.subscription.name.view(), c.name);
    }
}

TEST(RssParserTest, StoresTheChannelDescriptionOnOneLine)
{
    ParsedFeed feed;
    feed.Parse(Parser::kRss, RssDocument("<description><![CDATA[&lt;b&gt;Local&lt;/b&gt;\nnews &#8212; caf&#233;]]>"
                                         "</description><item><title>a</title></item>"));
    EXPECT_EQ(feed.subscription.description.view(), "<b>Local</b> news — café");
}

TEST(RssParserTest, UsesTheSubscriptionsEncodingWhenTheDocumentDeclaresNone)
{
    ParsedFeed feed;
    feed.subscription.password = "ISO-8859-1";
    feed.Parse(Parser::kRss, "<?xml version=\"1.0\"?><rss><channel><title>Caf\xE9</title>"
                             "<item><title>Cr\xE8me</title></item></channel></rss>");
    EXPECT_EQ(feed.subscription.name.view(), "Café");
    ASSERT_EQ(feed.Items().size(), 1u);
    EXPECT_EQ(feed.Items()[0]->encodingName.view(), "ISO-8859-1");
    EXPECT_EQ(feed.Items()[0]->headlineRef.view(), "Crème");
}

/* ---- Items ---- */

struct ItemsCase {
    std::string label;
    std::string items;
    int32_t result;
    std::vector<std::string> headlines;
    std::vector<std::string> links;
};

TEST(RssParserTest, ReadsItemsByTheirRules)
{
    const ItemsCase cases[] = {
        {"links: a link element with attributes is none; guids serve unless not permalinks; white space is trimmed",
         "<item><title>A</title><link rel=\"x\">http://a/</link></item>"
         "<item><title>B</title><guid>http://b/</guid></item>"
         "<item><title>C</title><guid isPermaLink=\"true\">http://c/</guid></item>"
         "<item><title>D</title><guid isPermaLink=\"false\">d-1</guid></item>"
         "<item><title>E</title><link>\n   http://e/?a=1&amp;b=2\n</link></item>"
         "<item><title>F</title><link></link><guid>http://f/</guid></item>",
         6, {"A", "B", "C", "D", "E", "F"}, {"", "http://b/", "http://c/", "", "http://e/?a=1&b=2", "http://f/"}},
        {"an item without headline and text is dropped; one with text gets a headline from it",
         "<item><link>http://x/</link></item>"
         "<item><description>Hello, world. Long text</description></item>",
         1, {"Hello, world"}, {""}},
        {"a title's leading breaks are skipped; its first line is the headline",
         "<item><title>\n  First line\nsecond line</title></item>", 1, {"First line"}, {""}},
        {"an element whose end tag is outside its item ends the reading",
         "<item><title>One</title></item><item><title>Two</item><item><title>Three</title></item>", 1, {"One"},
         {""}},
        {"a broken guid ends the reading only when it is read",
         "<item><title>One</title><link>http://1/</link><guid>x</item>"
         "<item><title>Two</title><guid>http://2/</item><item><title>Three</title></item>",
         1, {"One"}, {"http://1/"}},
        {"an item without its end ends the loop", "<item><title>One</title></item><item><title>Two</title>", 1,
         {"One"}, {""}},
        {"an end tag is the first after the start tag's own text: not one before the start tag, nor one inside "
         "its attributes",
         "<item></title></guid><title>One</title><guid isPermaLink=\"true\" x=\"</guid>\">http://1/</guid></item>"
         "<item><title>Two<title>inner</title></title><guid a='</guid>'/><link>http://2/</link></item>",
         2, {"One", "Twoinner"}, {"http://1/", "http://2/"}},
    };
    for (const ItemsCase& c : cases) {
        SCOPED_TRACE(c.label);
        ParsedFeed feed;
        EXPECT_EQ(feed.Parse(Parser::kRss, RssDocument("<title>T</title>" + c.items)), c.result);
        EXPECT_EQ(feed.Headlines(), c.headlines);
        EXPECT_EQ(feed.Links(), c.links);
    }
}

// Each field comes from the first of its start tags in the item, wherever
// it lies: after text of any length, among tags that begin alike
// ("<dc:date>", "<dc:subject>", "<description>"), end tags and markup, or
// repeated later inside a section.
TEST(RssParserTest, EachFieldComesFromTheFirstOfItsTags)
{
    for (size_t pad = 0; pad <= 34; ++pad) {
        const std::string text(pad, 'x');
        const std::string item = "<item>" + text + "<dc:creator>c</dc:creator>" + text + "<title>T" + text +
                                 "</title><description><![CDATA[<p>a<b>" + text + "</b></p><title>Inner</title>" +
                                 "<dc:subject>Inner</dc:subject>]]></description>" + text +
                                 "<dc:subject>S</dc:subject><dc:date>2005-03-04</dc:date>" +
                                 "<link>http://l/</link><</item>";
        SCOPED_TRACE(pad);
        ParsedFeed feed;
        ASSERT_EQ(feed.Parse(Parser::kRss, RssDocument("<title>F</title>" + item)), 1);
        const NewsList& read = *feed.Items()[0];
        EXPECT_EQ(read.headline.view(), "T" + text);
        EXPECT_EQ(read.subject.view(), "Inner") << "the first subject tag lies inside the description";
        EXPECT_EQ(read.date.view(), "2005-03-04");
        EXPECT_EQ(read.linkURL.view(), "http://l/");
    }
}

TEST(RssParserTest, KeepsUTF8ItemTextsFreeOfStrayBytes)
{
    ParsedFeed feed;
    feed.Parse(Parser::kRss, RssDocument("<item><title>Caf&#233; &copy;</title>"
                                         "<description>&lt;p&gt;Caf&#233; &copy; &#8217;&lt;/p&gt;</description>"
                                         "<dc:subject>Th&#233;</dc:subject></item>"));
    ASSERT_EQ(feed.Items().size(), 1u);
    const NewsList& item = *feed.Items()[0];
    for (std::string_view text : {item.headline.view(), item.description.view(), item.subject.view()})
        EXPECT_EQ(CFStringCreateWithBytes(text, kCFStringEncodingUTF8), std::string(text)) << text;
    EXPECT_EQ(item.headlineRef.view(), "Café ©");
    EXPECT_EQ(item.descriptionRef.view(), "Café © ’\r\r");
}

TEST(RssParserTest, LeavesOutRestrictedSites)
{
    ScopedRestrictions restrictions("example.com/ads\n");
    {
        ParsedFeed feed;
        EXPECT_EQ(feed.Parse(Parser::kRss, RssDocument("<title>Ads</title><link>http://example.com/ads/</link>"
                                                       "<item><title>a</title></item>")),
                  kFeedRestrictedErr);
        EXPECT_TRUE(feed.Items().empty());
    }
    ParsedFeed feed;
    EXPECT_EQ(feed.Parse(Parser::kRss, RssDocument("<title>News</title><link>http://example.com/</link>"
                                                   "<item><title>Ad</title><link>http://example.com/ads/1</link></item>"
                                                   "<item><title>Story</title><link>http://example.com/1</link></item>")),
              1);
    EXPECT_EQ(feed.Headlines(), std::vector<std::string>{"Story"});
}

TEST(RssParserTest, CountsMoreNewItemsThanASixteenBitCount)
{
    constexpr int kItems = 33'000;
    std::string items;
    for (int i = 0; i < kItems; ++i)
        items += "<item><title>" + std::to_string(i) + "</title></item>\n";
    ParsedFeed feed;
    EXPECT_EQ(feed.Parse(Parser::kRss, RssDocument("<title>Many</title>" + items)), kItems);
}

} // namespace
