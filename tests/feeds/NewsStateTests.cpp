// The news state merge: which parsed items are new, carried over or known,
// the headline index giving the walk's exact answers, hot marking with its
// repeated announcement, and the favicon search.
#include "FeedsTestSupport.h"

#include "feeds/NewsState.h"
#include "feeds/References.h"
#include "feeds/TextEncoding.h"
#include "model/HistoryFiles.h"
#include "ticker/Filters.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct Item {
    std::string headline;
    std::string link;
    uint32_t dateTime = 0; // 0: undated
};

NewsList MakeNews(const Item& item)
{
    NewsList news;
    news.headline = item.headline;
    news.linkURL = item.link;
    news.dateTime = item.dateTime;
    if (item.dateTime == 0) {
        news.dateFlags = kDateFlagNoDate;
        news.dateTime = 999; // the time of reading
    }
    return news;
}

// Records every announcement; restores the logging default afterwards.
class Announcements {
public:
    Announcements()
    {
        SetHotNewsAnnouncer([this](NewsList& news) {
            heard.push_back(news.headline.str() + "|" + news.sound.str() + "|" + news.effect.str());
        });
    }
    ~Announcements() { SetHotNewsAnnouncer(nullptr); }
    std::vector<std::string> heard;
};

// A feed subscription with the filters `lines` loaded for the test.
class NewsStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        subscription.siteType = kSiteTypeRSS;
        subscription.name = "Tech Feed";
    }
    void TearDown() override
    {
        SetNewsStateIndex(nullptr);
        SetNewsFilterList(nullptr);
        DisposeNewsList(TakeSubscriptionNews(&subscription));
        DisposeNewsList(global);
    }

    void UseFilters(std::string_view fileBytes) { SetNewsFilterList(ReadFilterList(fileBytes)); }

    // One parse of the feed: each item registered as the parsers do.
    std::vector<NewsRegistration> Parse(const std::vector<Item>& items)
    {
        std::vector<NewsRegistration> results;
        for (const Item& item : items) {
            NewsList news = MakeNews(item);
            results.push_back(RegisterNewsState(subscription, news, "UTF-8", kCFStringEncodingUTF8, item.headline));
        }
        return results;
    }

    // What the refresh cycle does after a parse: the new items join the
    // global list, and later parses compare against it.
    void FinishCheck()
    {
        global = AppendIndexedNewsList(index, global, TakeSubscriptionNews(&subscription));
        subscription.flags |= kSubscriptionFlagFetched;
        subscription.history = global;
        SetNewsStateIndex(&index);
    }

    SubscriptionList subscription;
    NewsList* global = nullptr;
    NewsStateIndex index;
};

NewsList* ChainOf(const std::vector<Item>& items, SubscriptionList* parent, uint32_t flags = 0)
{
    NewsList* list = nullptr;
    for (const Item& item : items) {
        NewsList news = MakeNews(item);
        news.dateFlags = 0;
        news.dateTime = item.dateTime;
        news.parent = parent;
        news.flags = flags;
        list = AddNewsList(list, news);
    }
    return list;
}

int PositionOf(const NewsList* list, const NewsList* record)
{
    int position = 0;
    for (const NewsList* item = list; item; item = item->next, ++position) {
        if (item == record)
            return position;
    }
    return -1;
}

} // namespace

TEST_F(NewsStateTest, ComparisonFindsTheFirstRecordWithHeadlineAndLinkOrDate)
{
    // Positions 0..4 of the list compared against.
    NewsList* list = ChainOf({{"Alpha", "http://a/1", 500},
                              {"Beta", "", 600},
                              {"Alpha", "http://a/2", 700},
                              {"Beta", "", 800},
                              {"Gamma", "http://g", 900}},
                             &subscription);
    struct Case {
        Item item;
        int expected; // position of the record found; -1 for none
    };
    const Case cases[] = {
        {{"Alpha", "http://a/2", 1}, 2},  // same link, other date
        {{"Alpha", "http://zz", 700}, 2}, // other link, same date
        {{"Alpha", "http://zz", 1}, -1},  // neither
        {{"alpha", "http://a/1", 500}, -1}, // headlines compare byte for byte
        {{"Beta", "", 800}, 3},           // no links: dates decide
        {{"Beta", "", 0}, 1},             // undated: the first record with the headline
        {{"Alpha", "", 0}, 0},
        {{"Gamma", "", 900}, 4},
        {{"Delta", "http://g", 900}, -1},
    };
    subscription.flags |= kSubscriptionFlagFetched;
    subscription.history = list;
    NewsStateIndex listIndex;
    listIndex.Rebuild(list);
    for (bool indexed : {false, true}) {
        SetNewsStateIndex(indexed ? &listIndex : nullptr);
        for (const Case& c : cases) {
            NewsState found = CheckNewsState(subscription, MakeNews(c.item));
            EXPECT_EQ(PositionOf(list, found.existing), c.expected)
                << c.item.headline << " " << c.item.link << " indexed " << indexed;
            EXPECT_EQ(found.state, 0u);
        }
    }
    SetNewsStateIndex(nullptr);
    DisposeNewsList(list);
}

TEST_F(NewsStateTest, AHistoryRecordIsCarriedOverUnlessKeptInTheGlobalList)
{
    NewsList* history = ChainOf({{"Read one", "http://r", 500}}, &subscription, kNewsFlagRead);
    NewsList* kept = ChainOf({{"Kept one", "http://k", 600}}, &subscription, kNewsFlagPermanent);
    history = AppendNewsList(history, kept);
    subscription.history = history;

    NewsState carried = CheckNewsState(subscription, MakeNews({"Read one", "http://r", 0}));
    EXPECT_EQ(carried.existing, nullptr);
    EXPECT_EQ(carried.state, kNewsFlagRead | kNewsFlagOld);
    EXPECT_EQ(carried.date, 500u);

    // Permanent and retained items are already in the global list.
    EXPECT_EQ(CheckNewsState(subscription, MakeNews({"Kept one", "http://k", 600})).existing, kept);

    subscription.flags |= kSubscriptionFlagFetched;
    EXPECT_EQ(CheckNewsState(subscription, MakeNews({"Read one", "http://r", 0})).existing, history);
    subscription.history = nullptr;
    DisposeNewsList(history);
}

TEST_F(NewsStateTest, ReadAndHotStateSurviveARestartThroughTheHistoryFiles)
{
    ScratchFolder folder;
    const std::vector<Item> feed = {{"Apple ships Mac", "http://n/1", 0}, {"Weather", "http://n/2", 3000}};
    UseFilters("apple mac\tGlass\tNone\n");
    Announcements announcements;

    // First run: both new; the user reads the first; quit saves the history.
    EXPECT_EQ(Parse(feed), (std::vector{NewsRegistration::kAdded, NewsRegistration::kAdded}));
    FinishCheck();
    global->flags |= kNewsFlagRead;
    const uint32_t firstSeen = global->dateTime;
    EXPECT_EQ(announcements.heard, std::vector<std::string>{"Apple ships Mac|Glass|"});
    std::filesystem::create_directory(folder / "history");
    ASSERT_EQ(SaveHistoryToFiles(&subscription, global, folder / "history"), kNoErr);

    // Restart: a fresh tree reads the history, and the feed is parsed again.
    SubscriptionList restarted;
    restarted.siteType = kSiteTypeRSS;
    restarted.name = subscription.name.view();
    LoadHistoryFromFiles(&restarted, folder / "history");
    ASSERT_NE(restarted.history, nullptr);
    for (const Item& item : feed) {
        NewsList news = MakeNews(item);
        news.dateTime = firstSeen + 7200; // read again two hours later
        if (item.dateTime)
            news.dateTime = item.dateTime;
        EXPECT_EQ(RegisterNewsState(restarted, news, "UTF-8", kCFStringEncodingUTF8, ""), NewsRegistration::kAdded);
    }
    const NewsList* apple = restarted.news;
    const NewsList* weather = apple->next;
    EXPECT_EQ(apple->flags, kNewsFlagOld | kNewsFlagRead); // read: not hot, not announced
    EXPECT_EQ(apple->dateTime, firstSeen);                 // undated: keeps when it was first seen
    EXPECT_EQ(weather->flags, kNewsFlagOld);
    EXPECT_EQ(weather->dateTime, 3000u);
    EXPECT_EQ(apple->parent, &restarted);
    EXPECT_EQ(announcements.heard.size(), 1u);

    DisposeNewsList(restarted.history);
    DisposeNewsList(TakeSubscriptionNews(&restarted));
}

TEST_F(NewsStateTest, AnUnreadHotItemIsAnnouncedAtEveryCheckUntilRead)
{
    UseFilters("storm\tBasso\tTwinkle\n"
               "Tech Feed\tNone\tGrowl\n");
    Announcements announcements;
    Parse({{"Calm day", "http://n/1", 100}, {"STORM warning", "http://n/2", 200}});
    FinishCheck();
    // The filter named like the subscription comes first: every item is hot.
    EXPECT_EQ(announcements.heard,
              (std::vector<std::string>{"Calm day||Growl", "STORM warning||Growl"}));

    subscription.name = "Other name";
    announcements.heard.clear();
    EXPECT_EQ(Parse({{"Calm day", "http://n/1", 100}, {"STORM warning", "http://n/2", 200}}),
              (std::vector{NewsRegistration::kKnown, NewsRegistration::kKnown}));
    EXPECT_EQ(announcements.heard, std::vector<std::string>{"STORM warning|Basso|Twinkle"});
    EXPECT_EQ(subscription.news, nullptr);

    global->next->flags |= kNewsFlagRead;
    announcements.heard.clear();
    Parse({{"STORM warning", "http://n/2", 200}});
    EXPECT_TRUE(announcements.heard.empty());
}

TEST_F(NewsStateTest, RegistrationMakesTheItemsStringsInItsEncoding)
{
    NewsList news = MakeNews({"Caf\xE9 &#8216;open&#8217;", "http://n/1", 100});
    ASSERT_EQ(RegisterNewsState(subscription, news, "ISO-8859-1", kCFStringEncodingISOLatin1,
                                "Cr\xE8me &#8212; br\xFBl\xE9"),
              NewsRegistration::kAdded);
    const NewsList* added = subscription.news;
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->headlineRef.view(), "Caf\xC3\xA9 \xE2\x80\x98open\xE2\x80\x99");
    EXPECT_EQ(added->descriptionRef.view(), "Cr\xC3\xA8me \xE2\x80\x94 br\xC3\xBBl\xC3\xA9");
    EXPECT_EQ(added->encodingName.view(), "ISO-8859-1");
    EXPECT_EQ(added->type, kNewsTypeFeed);
    EXPECT_EQ(added->nid, news.nid);
    EXPECT_EQ(added->headline.view(), "Caf\xE9 &#8216;open&#8217;"); // the field keeps the feed's bytes
}

// The item's strings are what the encoding conversions and the numeric
// reference decoders make, whether or not the text needs them: most UTF-8
// texts are stored as they are, and a damaged or referring one must not be.
TEST_F(NewsStateTest, RegistrationMakesTheStringsTheConversionsMake)
{
    std::vector<std::string> texts = {
        "", "Plain ASCII headline", "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC", "it&#8217;s &#38;#8217; &#0;",
        "bar \xE2\x80\x95 here", "broken \xFF byte", "cut \xE2\x80", "overlong \xC0\xAF", "surrogate \xED\xA0\x80",
        "beyond \xF4\x90\x80\x80", std::string(255, 'h'), std::string(254, 'h') + "\xC3\xA9",
    };
    // A damaged byte at each place of the first words of ASCII.
    for (size_t at = 0; at < 20; ++at) {
        std::string text(24, 'a');
        text[at] = '\x80';
        texts.push_back(text);
    }
    // Runs of three-byte characters, which are checked several at a time,
    // with a stray, cut, disallowed or longer lead at each place.
    const std::string kanji = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x96\x87\xE5\xAD\x97\xE3\x81\x82";
    for (size_t at = 0; at < kanji.size(); ++at) {
        for (char stray : {'A', '\xC3', '\xE0', '\xED', '\xF0', '\x80'}) {
            std::string text = kanji + kanji;
            text[at] = stray;
            texts.push_back(text);
        }
    }
    texts.push_back(kanji + "\xED\x9F\xBF" + kanji); // the last character below the surrogates
    // Two-byte characters among ASCII, checked with it sixteen bytes at a
    // time, with a stray, cut or longer lead at each place, and a "&#" at
    // each place across the first boundaries.
    const std::string latin = "caf\xC3\xA9 na\xC3\xAFve \xC3\xA0 \xE6\x97\xA5 ";
    for (size_t at = 0; at < 2 * latin.size(); ++at) {
        for (char stray : {'\x80', '\xC3', '\xE6', '\xF0', '&'}) {
            std::string text = latin + latin + latin;
            text[at] = stray;
            texts.push_back(text);
        }
        texts.push_back(std::string(at, 'a') + "&#" + std::string(20, 'b'));
    }
    // References and ampersands past the first vector of bytes.
    texts.push_back(std::string(30, 'a') + "&#233;");
    texts.push_back(std::string(30, 'a') + "&amp; & &");
    texts.push_back(kanji + "&#x2019;" + kanji);
    for (const std::string& text : texts) {
        for (CFStringEncoding encoding : {kCFStringEncodingUTF8, kCFStringEncodingISOLatin1}) {
            NewsList news = MakeNews({text.empty() ? "untitled" : text, "", 0});
            // The parser lays out the strings a UTF-8 item most often has
            // with its texts; registration keeps them only when they are right.
            NewsTextFields guessed;
            guessed.headline = news.headline.view();
            guessed.encodingName = "UTF-8";
            guessed.headlineRef = news.headline.view();
            guessed.descriptionRef = text;
            SetNewsTexts(news, guessed);
            ASSERT_EQ(RegisterNewsState(subscription, std::move(news), "any", encoding, text),
                      NewsRegistration::kAdded);
            NewsList* added = subscription.news;
            const std::optional<std::string> headline =
                CFStringFixAllHTMLUnicode(CFStringCreateWithKeisenFilter(added->headline.view(), encoding));
            const std::optional<std::string> description =
                CFStringFixHTMLUnicode(CFStringCreateWithBytes(text, encoding));
            EXPECT_EQ(added->headlineRef.has_value(), headline.has_value()) << text;
            EXPECT_EQ(added->headlineRef.view(), headline.value_or("")) << text;
            EXPECT_EQ(added->descriptionRef.has_value(), description.has_value()) << text;
            EXPECT_EQ(added->descriptionRef.view(), description.value_or("")) << text;
            EXPECT_EQ(added->encodingName.view(), "any");
            DisposeNewsList(TakeSubscriptionNews(&subscription));
        }
    }
}

// Registering an item the parser is done with moves its texts into the
// record: the record is what a copy would be, and the item keeps only the
// record's identifier.
TEST_F(NewsStateTest, RegistrationCanMoveTheItemsTextsIntoItsRecord)
{
    auto makeNews = [] {
        NewsList news = MakeNews({"Moved headline", "http://n/moved", 100});
        news.description = "<p>HTML</p>";
        news.date = "Fri, 04 Mar 2005 12:30:00 GMT";
        news.subject = "World";
        news.publisher = "Wire";
        news.objectURL = "http://n/a.mp3";
        return news;
    };
    NewsList copied = makeNews();
    ASSERT_EQ(RegisterNewsState(subscription, copied, "UTF-8", kCFStringEncodingUTF8, "HTML"),
              NewsRegistration::kAdded);
    FinishCheck();
    NewsList known = makeNews();
    ASSERT_EQ(RegisterNewsState(subscription, std::move(known), "UTF-8", kCFStringEncodingUTF8, "HTML"),
              NewsRegistration::kKnown);
    EXPECT_EQ(known.headline.view(), "Moved headline") << "a known item is left as it is";

    SubscriptionList other;
    other.siteType = kSiteTypeRSS;
    NewsList moved = makeNews();
    ASSERT_EQ(RegisterNewsState(other, std::move(moved), "UTF-8", kCFStringEncodingUTF8, "HTML"),
              NewsRegistration::kAdded);
    const NewsList& a = *global;
    const NewsList& b = *other.news;
    EXPECT_EQ(moved.nid, b.nid);
    EXPECT_TRUE(moved.headline.empty() && moved.description.empty() && moved.linkURL.empty() && moved.date.empty() &&
                moved.subject.empty() && moved.publisher.empty() && moved.objectURL.empty() && !moved.headlineRef);
    for (auto field : {&NewsList::headline, &NewsList::linkURL, &NewsList::objectURL})
        EXPECT_EQ((a.*field).view(), (b.*field).view());
    EXPECT_EQ(a.description.view(), b.description.view());
    EXPECT_EQ(a.date.view(), b.date.view());
    EXPECT_EQ(a.subject.view(), b.subject.view());
    EXPECT_EQ(a.publisher.view(), b.publisher.view());
    EXPECT_EQ(a.encodingName.view(), b.encodingName.view());
    EXPECT_EQ(a.headlineRef.view(), b.headlineRef.view());
    EXPECT_EQ(a.descriptionRef.view(), b.descriptionRef.view());
    EXPECT_EQ(a.dateTime, b.dateTime);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(b.parent, &other);
    DisposeNewsList(TakeSubscriptionNews(&other));
}

TEST_F(NewsStateTest, ManyItemsOfOneFeedAreRegisteredInOrder)
{
    constexpr int kItems = 20000;
    for (int i = 0; i < kItems; ++i) {
        NewsList news = MakeNews({"Item " + std::to_string(i), "http://n/" + std::to_string(i), uint32_t(i + 1)});
        ASSERT_EQ(RegisterNewsState(subscription, news, "UTF-8", kCFStringEncodingUTF8, ""),
                  NewsRegistration::kAdded);
    }
    int position = 0;
    for (const NewsList* item = subscription.news; item; item = item->next, ++position)
        ASSERT_EQ(item->headline.view(), "Item " + std::to_string(position));
    EXPECT_EQ(position, kItems);
}

TEST_F(NewsStateTest, AChainTakenAndReplacedIsStillAppendedAtItsEnd)
{
    Parse({{"First", "http://n/1", 1}, {"Second", "http://n/2", 2}});
    DisposeNewsList(TakeSubscriptionNews(&subscription));
    // Freed records are reused: a stray record may take the old tail's place
    // and the new chain begin at the old head's address.
    NewsList strayTemplate;
    NewsList* stray = AddNewsList(nullptr, strayTemplate);
    subscription.news = ChainOf({{"Other A", "", 3}, {"Other B", "", 4}}, &subscription);
    Parse({{"Third", "http://n/3", 6}});
    std::string headlines;
    for (const NewsList* item = subscription.news; item; item = item->next)
        headlines += item->headline.str() + ";";
    EXPECT_EQ(headlines, "Other A;Other B;Third;");
    EXPECT_EQ(stray->next, nullptr);
    DisposeNewsList(stray);
}

// The index must give the walk's answer after every kind of edit of the
// list it serves, including edits it was not told of.
TEST_F(NewsStateTest, TheIndexAgreesWithTheWalkThroughEdits)
{
    std::mt19937 random(7);
    SubscriptionList feeds[3];
    auto randomItem = [&] {
        return Item{"H" + std::to_string(random() % 40), random() % 3 ? "http://l/" + std::to_string(random() % 5) : "",
                    uint32_t(random() % 4)};
    };
    auto randomChain = [&](SubscriptionList* parent) {
        std::vector<Item> items(1 + random() % 30);
        for (Item& item : items)
            item = randomItem();
        return ChainOf(items, parent);
    };
    auto expectAgreement = [&] {
        subscription.flags |= kSubscriptionFlagFetched;
        subscription.history = global;
        for (int probe = 0; probe < 200; ++probe) {
            NewsList news = MakeNews(randomItem());
            SetNewsStateIndex(nullptr);
            NewsList* walked = CheckNewsState(subscription, news).existing;
            SetNewsStateIndex(&index);
            ASSERT_EQ(CheckNewsState(subscription, news).existing, walked);
        }
    };
    for (int round = 0; round < 30; ++round) {
        SubscriptionList* parent = &feeds[random() % 3];
        switch (random() % 4) {
        case 0:
            global = AppendIndexedNewsList(index, global, randomChain(parent));
            break;
        case 1:
            global = MergeIndexedNewsList(index, global, randomChain(parent));
            break;
        case 2:
            global = RemoveIndexedNewsByParent(index, global, parent);
            break;
        case 3: // appended behind the index's back: it must step aside
            global = AppendNewsList(global, randomChain(parent));
            break;
        }
        expectAgreement();
        EXPECT_TRUE(index.size() <= size_t(CountNews(global)));
    }
}

TEST_F(NewsStateTest, NoteRemovedKeepsTheIndexInStep)
{
    global = ChainOf({{"A", "", 1}, {"B", "", 2}, {"C", "", 3}}, &subscription);
    index.Rebuild(global);
    // Remove the tail, then the head, as a viewer deleting items would.
    NewsList* tail = global->next->next;
    global->next->next = nullptr;
    index.NoteRemoved(global, tail);
    DisposeNewsList(tail);
    NewsList* head = global;
    global = global->next;
    head->next = nullptr;
    index.NoteRemoved(global, head);
    DisposeNewsList(head);

    EXPECT_TRUE(index.IsIndexing(global));
    EXPECT_EQ(index.size(), 1u);
    EXPECT_TRUE(index.FindNewsByHeadline("A").empty());
    ASSERT_EQ(index.FindNewsByHeadline("B").size(), 1u);
    global = AppendIndexedNewsList(index, global, ChainOf({{"D", "", 4}}, &subscription));
    EXPECT_EQ(index.Tail(), global->next);
    EXPECT_EQ(index.size(), 2u);
}

TEST(Favicon, IsLookedForOnceInTheFolderOfTheHomePage)
{
    struct Case {
        const char* homeURL;
        const char* checked; // null: no request
    };
    const Case cases[] = {
        {"http://site.example/news/index.html", "http://site.example/news/favicon.ico"},
        {"http://site.example/news/", "http://site.example/news/favicon.ico"},
        {"http://site.example", "http://site.example/favicon.ico"},
        {"https://site.example/page.php?path=a/b#x/y", "https://site.example/favicon.ico"},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        SubscriptionList subscription;
        subscription.homeURL = c.homeURL;
        std::vector<std::string> asked;
        SearchSubscriptionFavicon(subscription, [&](std::string_view url) {
            asked.emplace_back(url);
            return FaviconCheck{kNoErr, "image/x-icon"};
        });
        if (c.checked) {
            EXPECT_EQ(asked, std::vector<std::string>{c.checked});
            EXPECT_EQ(subscription.iconURL.view(), c.checked);
        } else {
            EXPECT_TRUE(asked.empty());
            EXPECT_EQ(subscription.iconURL.view(), std::string(1, kNoFaviconMarker));
        }
        // Found or not, the search is not repeated.
        SearchSubscriptionFavicon(subscription, [&](std::string_view url) {
            asked.emplace_back(url);
            return FaviconCheck{};
        });
        EXPECT_EQ(asked.size(), c.checked ? 1u : 0u);
    }
}

TEST(Favicon, OnlyAnIconAnswerIsKept)
{
    struct Case {
        FaviconCheck answer;
        bool found;
    };
    const Case cases[] = {
        {{kNoErr, "image/vnd.microsoft.icon"}, true},
        {{kNoErr, ""}, true}, // 200 without a Content-Type
        {{kNoErr, "text/html"}, false},
        {{kNoErr, "Text/HTML"}, false},
        {{-11, ""}, false},
    };
    for (const Case& c : cases) {
        SubscriptionList subscription;
        subscription.homeURL = "http://site.example/";
        SearchSubscriptionFavicon(subscription, [&](std::string_view) { return c.answer; });
        EXPECT_EQ(subscription.iconURL.view(),
                  c.found ? std::string("http://site.example/favicon.ico") : std::string(1, kNoFaviconMarker))
            << c.answer.contentType;
    }
}
