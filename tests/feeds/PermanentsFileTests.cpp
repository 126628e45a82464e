// The permanent and retained news files: the exact document, a round trip of
// rich items through both files, re-attachment by feed URL, the start-up
// merge, and damaged or foreign documents.
#include "FeedsTestSupport.h"

#include "feeds/PermanentsFile.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Encodings.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

namespace {

// A tree of two feeds and the items made for it; everything is freed at the end.
class SavedNewsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        longURL_ = "http://feeds.example.org/" + std::string(160, 'p') + "/rss.xml?section=world&x=1";
        ASSERT_EQ(longURL_.size() >= 200, true);
        feed_ = AddFeed("Example", "http://example.org/rss.xml");
        longFeed_ = AddFeed("Long", longURL_);
    }
    void TearDown() override
    {
        DisposeNewsList(news_);
        DisposeSubscriptionList(tree_);
    }

    SubscriptionList* AddFeed(const char* name, const std::string& url)
    {
        SubscriptionList node;
        node.siteType = kSiteTypeRSS;
        node.name = name;
        node.accessURL = url;
        tree_ = AddSubscriptionList(tree_, node);
        return FindSubscriptionByID(tree_, node.sid);
    }

    NewsList& AddItem(SubscriptionList* parent, const std::string& headline, uint32_t flags)
    {
        NewsList item;
        item.type = kNewsTypeFeed;
        item.parent = parent;
        item.flags = flags;
        item.headline = headline;
        item.linkURL = "http://example.org/" + headline;
        item.encodingName = "UTF-8";
        item.dateTime = Wall(2005, 3, 4, 12, 30);
        news_ = AddNewsList(news_, item);
        return *FindNewsByID(news_, item.nid);
    }

    SubscriptionList* tree_ = nullptr;
    NewsList* news_ = nullptr;
    SubscriptionList* feed_ = nullptr;
    SubscriptionList* longFeed_ = nullptr;
    std::string longURL_;
    ScratchFolder folder_;
    ScopedTimeZone zone_{kCentralEurope};
};

// Frees a list read back at the end of the scope.
struct ReadList {
    NewsList* head = nullptr;
    ~ReadList() { DisposeNewsList(head); }
    std::vector<const NewsList*> Items() const
    {
        std::vector<const NewsList*> items;
        for (const NewsList* item = head; item; item = item->next)
            items.push_back(item);
        return items;
    }
};

} // namespace

TEST_F(SavedNewsTest, DocumentHasTheFourBlockFormats)
{
    NewsList& both = AddItem(feed_, "both", kNewsFlagPermanent);
    both.publisher = "Pub";
    both.subject = "Sub";
    AddItem(feed_, "publisher", kNewsFlagPermanent).publisher = "Pub";
    AddItem(feed_, "subject", kNewsFlagPermanent).subject = "Sub";
    NewsList& neither = AddItem(nullptr, "neither", kNewsFlagPermanent);
    neither.description = "<p>x</p>";
    AddItem(feed_, "retained only", kNewsFlagRetained);

    const auto path = folder_ / "Permanents.rdf";
    ASSERT_EQ(SavePermanentsAsRdf(path, news_), kNoErr);
    auto block = [](const std::string& headline, const std::string& url, const std::string& extra,
                    const std::string& description) {
        return "<item><encoding>UTF-8</encoding>\n<title>" + headline + "</title>\n<link>http://example.org/" +
               headline + "</link>\n<rdf>" + url + "</rdf>\n" + extra +
               "<dc:date>2005-03-04T12:30:00+0100</dc:date>\n<description>" + description +
               "</description>\n</item>\n\n";
    };
    const std::string url = "http://example.org/rss.xml";
    const std::string expected =
        "<?xml version=\"1.0\"?>\n<rss version=\"0.91\">\n<channel><title>Varnoke Permanents</title>\n"
        "<description>Varnoke Permanents</description>\n\n" +
        block("both", url, "<dc:publisher>Pub</dc:publisher>\n<dc:subject>Sub</dc:subject>\n", "") +
        block("publisher", url, "<dc:publisher>Pub</dc:publisher>\n", "") +
        block("subject", url, "<dc:subject>Sub</dc:subject>\n", "") + block("neither", "", "", "<p>x</p>") +
        "</channel>\n</rss>\n";
    EXPECT_EQ(GetDataFromFile(path), expected);

    ASSERT_EQ(SaveRetainsAsRdf(folder_ / "Retains.rdf", news_), kNoErr);
    std::optional<std::string> retains = GetDataFromFile(folder_ / "Retains.rdf");
    ASSERT_TRUE(retains);
    EXPECT_TRUE(retains->starts_with("<?xml version=\"1.0\"?>\n<rss version=\"0.91\">\n<channel><title>Varnoke "
                                     "Retains</title>\n<description>Varnoke Retains</description>\n\n<item>"));
    EXPECT_NE(retains->find("<title>retained only</title>"), std::string::npos);
    EXPECT_EQ(retains->find("<title>both</title>"), std::string::npos);
}

TEST_F(SavedNewsTest, RichItemsRoundTripThroughBothFiles)
{
    const std::string description =
        "<p>First line<br />\r\nsecond &amp; <b>bold</b> caf\xC3\xA9</p>\n<pre>  kept\n  as is</pre>\n"
        "<ul><li>one</li><li>two</li></ul>\n\n"
        "Ends with a quoted </description> and </item> in the text.";
    NewsList& rich = AddItem(longFeed_, "Caf\xC3\xA9 &#169; news", kNewsFlagPermanent | kNewsFlagHot);
    rich.description = description;
    rich.publisher = "Example <dc:subject> Press";
    rich.subject = "World\nPolitics";
    NewsList& latin = AddItem(feed_, "latin", kNewsFlagRetained);
    latin.encodingName = "ISO-8859-1";
    latin.headline = "caf\xE9";
    latin.description = "<b>caf\xE9</b>";
    latin.dateTime = Wall(2005, 7, 1, 14, 5, 9);
    AddItem(feed_, "after", kNewsFlagRetained | kNewsFlagPermanent).description = "last";

    const auto permanents = folder_ / "Permanents.rdf";
    const auto retains = folder_ / "Retains.rdf";
    ASSERT_EQ(SavePermanentsAsRdf(permanents, news_), kNoErr);
    ASSERT_EQ(SaveRetainsAsRdf(retains, news_), kNoErr);

    ReadList permanentItems{GetPermNewsFromRdfFile(tree_, permanents)};
    auto items = permanentItems.Items();
    ASSERT_EQ(items.size(), 2u);
    const NewsList& back = *items[0];
    EXPECT_EQ(back.type, kNewsTypeFeed);
    EXPECT_EQ(back.flags, kNewsFlagPermanent | kNewsFlagRead);
    EXPECT_EQ(back.parent, longFeed_);
    EXPECT_EQ(back.headline.view(), "Caf\xC3\xA9 &#169; news");
    EXPECT_EQ(back.headlineRef.view(), "Caf\xC3\xA9 \xC2\xA9 news");
    EXPECT_EQ(back.linkURL.view(), rich.linkURL.view());
    EXPECT_EQ(back.publisher.view(), "Example &lt;dc:subject&gt; Press");
    EXPECT_EQ(back.subject.view(), "World Politics");
    EXPECT_EQ(back.description.view(),
              "<p>First line<br />\r\nsecond &amp; <b>bold</b> caf\xC3\xA9</p>\n<pre>  kept\n  as is</pre>\n"
              "<ul><li>one</li><li>two</li></ul>\n\n"
              "Ends with a quoted &lt;/description&gt; and &lt;/item&gt; in the text.");
    EXPECT_EQ(back.descriptionRef.view(),
              "First line\r second &amp; bold caf\xC3\xA9\r\r kept  as is \r- one\r\r- two\r "
              "Ends with a quoted &lt;/description&gt; and &lt;/item&gt; in the text.");
    EXPECT_EQ(back.encodingName.view(), "UTF-8");
    EXPECT_EQ(back.encoding, kCFStringEncodingUTF8);
    EXPECT_EQ(back.dateTime, rich.dateTime);
    EXPECT_EQ(back.dateFlags, 0u);
    EXPECT_EQ(items[1]->headline.view(), "after");

    ReadList retainedItems{GetRetainNewsFromRdfFile(tree_, retains)};
    items = retainedItems.Items();
    ASSERT_EQ(items.size(), 2u);
    const NewsList& latinBack = *items[0];
    EXPECT_EQ(latinBack.flags, kNewsFlagRetained | kNewsFlagRead);
    EXPECT_EQ(latinBack.parent, feed_);
    EXPECT_EQ(latinBack.headline.view(), "caf\xE9");
    EXPECT_EQ(latinBack.headlineRef.view(), "caf\xC3\xA9");
    EXPECT_EQ(latinBack.descriptionRef.view(), "caf\xC3\xA9");
    EXPECT_EQ(latinBack.encoding, kCFStringEncodingISOLatin1);
    EXPECT_EQ(latinBack.dateTime, Wall(2005, 7, 1, 14, 5, 9));
}

TEST_F(SavedNewsTest, StartUpMergeKeepsOnePermanentCopyAndDropsOrphans)
{
    AddItem(feed_, "both", kNewsFlagPermanent | kNewsFlagRetained);
    AddItem(feed_, "retained", kNewsFlagRetained);
    AddItem(longFeed_, "orphan permanent", kNewsFlagPermanent);
    AddItem(longFeed_, "orphan retained", kNewsFlagRetained);
    const auto permanents = folder_ / "Permanents.rdf";
    const auto retains = folder_ / "Retains.rdf";
    ASSERT_EQ(SavePermanentsAsRdf(permanents, news_), kNoErr);
    ASSERT_EQ(SaveRetainsAsRdf(retains, news_), kNoErr);

    // The long feed's subscription is gone at the next start.
    DisposeNewsList(news_);
    news_ = nullptr;
    tree_ = RemoveSubscriptionByID(tree_, longFeed_->sid);
    longFeed_ = nullptr;

    ReadList merged{GetSavedNewsFromRdfFiles(tree_, permanents, retains)};
    auto items = merged.Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->headline.view(), "both");
    EXPECT_EQ(items[0]->flags, kNewsFlagPermanent | kNewsFlagRead);
    EXPECT_EQ(items[1]->headline.view(), "orphan permanent");
    EXPECT_EQ(items[1]->parent, nullptr);
    EXPECT_EQ(items[2]->headline.view(), "retained");
    EXPECT_EQ(items[2]->flags, kNewsFlagRetained | kNewsFlagRead);
}

TEST_F(SavedNewsTest, DamagedItemEndsTheReading)
{
    const std::string head = "<?xml version=\"1.0\"?>\n<rss version=\"0.91\">\n<channel>\n";
    const std::string good =
        "<item><title>good</title>\n<link>http://a/1</link>\n<rdf>http://example.org/rss.xml</rdf>\n"
        "<dc:date>2005-03-04T12:30:00+0100</dc:date>\n<description>d</description>\n</item>\n";
    const std::string damaged = "<item><title>no end\n<description>d</description>\n</item>\n";
    const std::string later = "<item><title>later</title>\n</item>\n";
    ReadList items{ParseRdfData(head + good + damaged + later + "</channel>\n</rss>\n", tree_, kNewsFlagPermanent)};
    ASSERT_EQ(items.Items().size(), 1u);
    EXPECT_EQ(items.head->headline.view(), "good");
    EXPECT_EQ(items.head->parent, feed_);
    EXPECT_EQ(items.head->dateTime, Wall(2005, 3, 4, 12, 30));
}

TEST_F(SavedNewsTest, DefaultsForMissingFields)
{
    TestClockGuard clock(0, 3'900'000'000u);
    const std::string document = "<rss>\n<channel>\n<item>\n<title>  \r\n</title><link>x\ny</link>"
                                 "<encoding>x-unknown</encoding><rdf></rdf></item>"
                                 "<item><title>caf\xE9</title></item></channel></rss>";
    ReadList items{ParseRdfData(document, tree_, kNewsFlagRetained)};
    auto list = items.Items();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->headline.view(), "");
    EXPECT_EQ(list[0]->linkURL.view(), "x");
    EXPECT_EQ(list[0]->encoding, kCFStringEncodingUTF8);
    EXPECT_EQ(list[0]->parent, nullptr);
    EXPECT_EQ(list[0]->dateFlags, kDateFlagNoDate);
    EXPECT_EQ(list[0]->dateTime, 3'900'000'000u);
    EXPECT_EQ(list[1]->encodingName.view(), "ISO-8859-1");
    EXPECT_EQ(list[1]->headlineRef.view(), "caf\xC3\xA9");
}

TEST_F(SavedNewsTest, ForeignOrMissingDocumentsGiveNoItems)
{
    EXPECT_EQ(ParseRdfData("", tree_, kNewsFlagPermanent), nullptr);
    EXPECT_EQ(ParseRdfData("<html><item>x</item></html>", tree_, kNewsFlagPermanent), nullptr);
    EXPECT_EQ(ParseRdfData("<rss version=\"0.91\"><item>x</item>", tree_, kNewsFlagPermanent), nullptr);
    EXPECT_EQ(ParseRdfData("<?xml", tree_, kNewsFlagPermanent), nullptr);
    EXPECT_EQ(GetPermNewsFromRdfFile(tree_, folder_ / "missing.rdf"), nullptr);
    EXPECT_EQ(GetSavedNewsFromRdfFiles(tree_, folder_ / "a.rdf", folder_ / "b.rdf"), nullptr);
}

TEST_F(SavedNewsTest, QuitSaveDeletesTheFileWhenNothingIsPermanent)
{
    const auto path = folder_ / "Permanents.rdf";
    NewsList& item = AddItem(feed_, "kept", kNewsFlagPermanent);
    ASSERT_EQ(SavePermanentsAtQuit(path, news_), kNoErr);
    EXPECT_TRUE(IsExistFile(path));
    item.flags = kNewsFlagRead;
    ASSERT_EQ(SavePermanentsAtQuit(path, news_), kNoErr);
    EXPECT_FALSE(IsExistFile(path));
    EXPECT_EQ(SavePermanentsAtQuit(path, news_), kNoErr);
    EXPECT_EQ(SavePermanentsAsRdf(folder_ / "no-such-folder" / "Permanents.rdf", news_), kFileNotFoundErr);
}

TEST(SavedNewsLocations, FilesLieInTheSupportFolder)
{
    ScratchFolder data;
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("XDG_DATA_HOME", (data / "share").c_str(), 1);
    EXPECT_EQ(GetPermanentRdfFile(), data / "share" / "varnoke" / "Permanents.rdf");
    EXPECT_EQ(GetRetainRdfFile(), data / "share" / "varnoke" / "Retains.rdf");
    EXPECT_TRUE(std::filesystem::is_directory(data / "share" / "varnoke"));
    if (saved)
        setenv("XDG_DATA_HOME", saved->c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}
