// The news list: identifiers and building, appending and merging, removal by
// subscription and disposal of long lists, the searches, the count and mark
// families, keyword matching, membership of an item in what a node shows,
// and the expiry of old read items.
#include "ModelTestSupport.h"
#include "model/NewsList.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <utility>

namespace {

// Subscriptions the items hang on:
//   World (group): Retaining (feed, keeps what is read), Plain (feed)
//   Solo (feed, read items listed for 1.5 days)
//   Hot News, Cool News (the pseudo lists), "apple pie" (keywords)
struct SampleSubscriptions {
    SampleSubscriptions()
    {
        world = AddTestSubscription(tree, kSiteTypeGroup, "World");
        retaining = AddTestSubscription(world->child, kSiteTypeRSS, "Retaining", 0, world);
        retaining->options |= kOptionRetainRead;
        plain = AddTestSubscription(world->child, kSiteTypeRSS, "Plain", 0, world);
        solo = AddTestSubscription(tree, kSiteTypeRSS, "Solo");
        solo->termDays = 1.5f;
        hotList = AddTestSubscription(tree, kSiteTypeHotList, "Hot News");
        coolList = AddTestSubscription(tree, kSiteTypeCoolList, "Cool News");
        keywords = AddTestSubscription(tree, kSiteTypePsedo, "apple pie");
    }
    ~SampleSubscriptions()
    {
        DisposeNewsList(news);
        DisposeSubscriptionList(tree);
    }
    SampleSubscriptions(const SampleSubscriptions&) = delete;
    SampleSubscriptions& operator=(const SampleSubscriptions&) = delete;

    SubscriptionList* tree = nullptr;
    SubscriptionList* world = nullptr;
    SubscriptionList* retaining = nullptr;
    SubscriptionList* plain = nullptr;
    SubscriptionList* solo = nullptr;
    SubscriptionList* hotList = nullptr;
    SubscriptionList* coolList = nullptr;
    SubscriptionList* keywords = nullptr;
    NewsList* news = nullptr;
};

// One item of each kind of state the counts tell apart.
class SampleNews : public ::testing::Test {
protected:
    void SetUp() override
    {
        r1 = AddTestNews(s.news, s.retaining, "r1", "", kNewsFlagRead, "Fresh PIE every morning");
        r2 = AddTestNews(s.news, s.retaining, "r2", "", kNewsFlagHot, "Council meets");
        p1 = AddTestNews(s.news, s.plain, "p1", "", kNewsFlagPermanent, "Apple harvest");
        s1 = AddTestNews(s.news, s.solo, "s1", "",
                                  kNewsFlagRead | kNewsFlagHot | kNewsFlagPermanent | kNewsFlagRetained, "Rain");
        s2 = AddTestNews(s.news, s.solo, "s2", "", 0, "Market opens");
    }

    SampleSubscriptions s;
    NewsList* r1 = nullptr;
    NewsList* r2 = nullptr;
    NewsList* p1 = nullptr;
    NewsList* s1 = nullptr;
    NewsList* s2 = nullptr;
};

size_t ListLength(const NewsList* list)
{
    size_t length = 0;
    // Bounded, so that a loop in the list fails the test instead of hanging it.
    for (; list && length < 1000; list = list->next)
        ++length;
    return length;
}

// ---- Building, appending, merging ----

TEST(NewsAdd, OnEmptyListReturnsTheItemAndTheTemplateCarriesItsID)
{
    NewsList newsTemplate;
    newsTemplate.headline = "first";
    newsTemplate.headlineRef = "first";
    NewsList* list = AddNewsList(nullptr, newsTemplate);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->nid, newsTemplate.nid);
    EXPECT_GE(list->nid, kFirstNewsID);

    newsTemplate.headline = "second";
    EXPECT_EQ(AddNewsList(list, newsTemplate), list) << "a non-empty list keeps its head";
    newsTemplate.headline = "changed after adding";
    EXPECT_EQ(Headlines(list), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(list->headlineRef.view(), "first");
    EXPECT_GT(list->next->nid, list->nid);
    DisposeNewsList(list);
}

// A template its caller is done with gives its texts to the new item: the
// item reads as a copy would, and the template keeps its numbers and the
// new identifier but no text.
TEST(NewsAdd, AMovedTemplateGivesItsTextsToTheItem)
{
    NewsList newsTemplate;
    newsTemplate.headline = "moved";
    newsTemplate.description = "<p>text</p>";
    newsTemplate.linkURL = "http://n/1";
    newsTemplate.encodingName = "UTF-8";
    newsTemplate.headlineRef = "moved";
    newsTemplate.flags = kNewsFlagHot;
    newsTemplate.dateTime = 1234;
    NewsList* list = AddNewsList(nullptr, std::move(newsTemplate));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->headline.view(), "moved");
    EXPECT_EQ(list->description.view(), "<p>text</p>");
    EXPECT_EQ(list->linkURL.view(), "http://n/1");
    EXPECT_EQ(list->encodingName.view(), "UTF-8");
    EXPECT_EQ(list->headlineRef.view(), "moved");
    EXPECT_EQ(list->flags, kNewsFlagHot);
    EXPECT_EQ(list->dateTime, 1234u);
    EXPECT_EQ(newsTemplate.nid, list->nid);
    EXPECT_TRUE(newsTemplate.headline.empty() && newsTemplate.description.empty() && !newsTemplate.headlineRef);
    EXPECT_EQ(newsTemplate.dateTime, 1234u);

    NewsList second;
    second.headline = "second";
    EXPECT_EQ(AddNewsList(list, std::move(second)), list) << "a non-empty list keeps its head";
    EXPECT_EQ(Headlines(list), (std::vector<std::string>{"moved", "second"}));
    EXPECT_EQ(second.nid, list->next->nid);
    EXPECT_GT(list->next->nid, list->nid);
    DisposeNewsList(list);
}

TEST(NewsAppend, LinksAChainAtTheTail)
{
    NewsList* list = nullptr;
    AddTestNews(list, nullptr, "a");
    AddTestNews(list, nullptr, "b");
    NewsList* fetched = nullptr;
    AddTestNews(fetched, nullptr, "c");
    AddTestNews(fetched, nullptr, "d");

    EXPECT_EQ(AppendNewsList(nullptr, fetched), fetched);
    EXPECT_EQ(AppendNewsList(list, nullptr), list);
    EXPECT_EQ(AppendNewsList(list, fetched), list);
    EXPECT_EQ(Headlines(list), (std::vector<std::string>{"a", "b", "c", "d"}));
    DisposeNewsList(list);
}

TEST(NewsAppend, RefusesAChainThatWouldCloseALoop)
{
    NewsList* list = nullptr;
    NewsList* first = AddTestNews(list, nullptr, "a");
    NewsList* middle = AddTestNews(list, nullptr, "b");
    AddTestNews(list, nullptr, "c");

    EXPECT_EQ(AppendNewsList(list, first), list) << "the list onto itself";
    EXPECT_EQ(AppendNewsList(list, middle), list) << "an item in the middle";
    EXPECT_EQ(AppendNewsList(middle, first), middle) << "a chain whose tail is shared";
    EXPECT_EQ(ListLength(list), 3u);
    DisposeNewsList(list);
}

struct NewsEntry {
    int feed; // index into the two feeds of the case
    const char* headline;
    const char* link;
};

struct MergeCase {
    const char* name;
    std::vector<NewsEntry> existing;
    std::vector<NewsEntry> incoming;
    std::vector<std::string> expected;
};

const MergeCase kMergeCases[] = {
    {"same subscription, headline and link: dropped", {{0, "x", "L"}}, {{0, "x", "L"}, {0, "y", "L"}}, {"x", "y"}},
    {"same headline and link in another subscription: kept", {{0, "x", "L"}}, {{1, "x", "L"}}, {"x", "x"}},
    {"same headline, another link: kept", {{0, "x", "L"}}, {{0, "x", "M"}}, {"x", "x"}},
    {"a duplicate among the incoming items", {{0, "w", "L"}}, {{0, "x", "L"}, {0, "x", "L"}}, {"w", "x"}},
    {"into an empty list the items come back unchecked", {}, {{0, "x", "L"}, {0, "x", "L"}}, {"x", "x"}},
};

TEST(NewsMerge, KeepsOneItemPerContentsAndFreesTheRest)
{
    PrepareNewsRecords();
    for (const MergeCase& c : kMergeCases) {
        SCOPED_TRACE(c.name);
        SampleSubscriptions s;
        SubscriptionList* feeds[] = {s.retaining, s.solo};
        const long before = LiveAllocationCount();
        NewsList* list = nullptr;
        for (const NewsEntry& entry : c.existing)
            AddTestNews(list, feeds[entry.feed], entry.headline, entry.link);
        NewsList* incoming = nullptr;
        for (const NewsEntry& entry : c.incoming)
            AddTestNews(incoming, feeds[entry.feed], entry.headline, entry.link);

        list = MergeNewsList(list, incoming);
        EXPECT_EQ(Headlines(list), c.expected);
        DisposeNewsList(list);
        EXPECT_EQ(LiveAllocationCount(), before) << "a dropped item was not freed";
    }
}

// ---- Removal and disposal ----

TEST(NewsRemoveByParent, KeepsTheOthersInOrderAndReturnsTheHead)
{
    struct Case {
        const char* name;
        std::vector<int> feeds; // per item: 0 Retaining, 1 Plain, 2 World (the group)
        int removed;
        std::vector<std::string> expected;
    };
    // Headlines are the item's position, from "0".
    const Case cases[] = {
        {"the first", {0, 1, 1}, 0, {"1", "2"}},
        {"a middle one", {1, 0, 1}, 0, {"0", "2"}},
        {"the last", {1, 1, 0}, 0, {"0", "1"}},
        {"first, middle and last", {0, 1, 0, 1, 0}, 0, {"1", "3"}},
        {"all of them", {0, 0}, 0, {}},
        {"none", {1, 1}, 0, {"0", "1"}},
        {"a group leaves its members' items", {0, 1, 2}, 2, {"0", "1"}},
    };
    PrepareNewsRecords();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SampleSubscriptions s;
        SubscriptionList* feeds[] = {s.retaining, s.plain, s.world};
        const long before = LiveAllocationCount();
        for (size_t i = 0; i < c.feeds.size(); ++i)
            AddTestNews(s.news, feeds[c.feeds[i]], std::to_string(i));
        const long perItem = c.feeds.empty() ? 0 : (LiveAllocationCount() - before) / long(c.feeds.size());

        s.news = RemoveNewsByParent(s.news, feeds[c.removed]);
        EXPECT_EQ(Headlines(s.news), c.expected);
        EXPECT_EQ(LiveAllocationCount() - before, perItem * long(c.expected.size())) << "removed items are freed";
    }
}

NewsList* BuildLongNewsList(int count)
{
    NewsList* list = nullptr;
    NewsList* tail = nullptr;
    for (int i = 0; i < count; ++i) {
        NewsList newsTemplate;
        newsTemplate.headline = "Item " + std::to_string(i) + " of a long list that a busy reader keeps";
        newsTemplate.headlineRef = newsTemplate.headline.view();
        // Adding at the tail each time would walk the list; link by hand.
        NewsList* item = AddNewsList(nullptr, newsTemplate);
        if (tail)
            tail->next = item;
        else
            list = item;
        tail = item;
    }
    return list;
}

TEST(NewsDispose, AHundredThousandItemsAreFreedWithoutRecursion)
{
    constexpr int kCount = 100000;
    // The first round grows the records' storage, which is kept for reuse;
    // the second shows that disposal gives back everything else.
    NewsList* list = BuildLongNewsList(kCount);
    RunOnSmallStack([list] { DisposeNewsList(list); });
    const long before = LiveAllocationCount();
    list = BuildLongNewsList(kCount);
    EXPECT_EQ(CountNews(list), uint32_t(kCount));
    RunOnSmallStack([list] { DisposeNewsList(list); });
    EXPECT_EQ(LiveAllocationCount(), before);
}

// ---- Searches ----

TEST_F(SampleNews, SearchesFindTheFirstMatchingItem)
{
    p1->objectURL = "https://cdn.example/episode.mp3";
    r2->encodingName = "ISO-8859-1";
    r1->encodingName = "UTF-8";

    EXPECT_EQ(FindNewsByID(s.news, s2->nid), s2);
    EXPECT_EQ(FindNewsByID(s.news, 1), nullptr);

    NewsList probe;
    probe.parent = s.solo;
    probe.headline = "s1";
    probe.linkURL = s1->linkURL.view();
    EXPECT_EQ(FindNewsByContents(s.news, probe), s1);
    probe.parent = s.plain;
    EXPECT_EQ(FindNewsByContents(s.news, probe), nullptr) << "the subscription is part of the contents";

    EXPECT_EQ(FindNewsByEnclosure(s.news, "https://cdn.example/episode.mp3"), p1);
    EXPECT_EQ(FindNewsByEnclosure(s.news, ""), nullptr) << "items without an enclosure";

    EXPECT_EQ(GetNewsEncodingBySubscription(s.news, s.world), "UTF-8") << "first item of a member";
    EXPECT_EQ(GetNewsEncodingBySubscription(s.news, s.keywords), std::nullopt);
    EXPECT_EQ(GetNewsEncodingBySubscription(nullptr, s.solo), std::nullopt);
}

// ---- Counts ----

TEST_F(SampleNews, CountsWalkTheWholeList)
{
    struct Case {
        const char* name;
        std::function<uint32_t()> count;
        uint32_t expected;
    };
    const NewsList* list = s.news;
    const Case cases[] = {
        {"all", [&] { return CountNews(list); }, 5},
        {"unread", [&] { return CountUnreadNews(list); }, 3},
        {"permanent", [&] { return CountPermedNews(list); }, 2},
        {"not permanent", [&] { return CountUnpermedNews(list); }, 3},
        {"retained", [&] { return CountRetainedNews(list); }, 1},
        {"hot", [&] { return CountHotNews(list); }, 2},
        {"hot and unread", [&] { return CountUnreadHotNews(list); }, 1},
        {"in a group: its members' items", [&] { return CountNewsBySubscription(list, s.world); }, 3},
        {"in a feed", [&] { return CountNewsBySubscription(list, s.solo); }, 2},
        {"in the hot list: pseudo lists own no items", [&] { return CountNewsBySubscription(list, s.hotList); }, 0},
        {"unread in a group", [&] { return CountUnreadNewsBySubscription(list, s.world); }, 2},
        {"unread in a feed", [&] { return CountUnreadNewsBySubscription(list, s.solo); }, 1},
        {"not permanent in a group", [&] { return CountUnpermNewsBySubscription(list, s.world); }, 2},
        {"permanent in a group", [&] { return CountPermedNewsBySubscription(list, s.world); }, 1},
        {"permanent in a feed", [&] { return CountPermedNewsBySubscription(list, s.solo); }, 1},
        {"empty list", [&] { return CountUnreadNewsBySubscription(nullptr, s.solo); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.count(), c.expected);
    }
}

TEST_F(SampleNews, UnreadKeywordCountMatchesAnyWordIgnoringCase)
{
    // r1 (read) mentions PIE, p1 (unread) "Apple", s2 (unread) neither.
    AddTestNews(s.news, s.solo, "Pies of the season", "", 0, "");
    struct Case {
        const char* keywords;
        uint32_t expected;
    };
    const Case cases[] = {
        {"apple pie", 2},
        {"PIE", 1},
        {"apple  pie", 2}, // the empty word between the spaces matches nothing
        {"", 0},
        {" ", 0},
        {"orange", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keywords);
        EXPECT_EQ(CountUnreadNewsByKeyword(s.news, c.keywords), c.expected);
    }
}

// ---- Marks ----

TEST_F(SampleNews, MarksReachOnlyTheItemsTheyName)
{
    MarkAllNewsBySubscription(s.news, kNewsFlagDistributed, s.world);
    MarkAllHotNews(s.news, kNewsFlagDownloadQueued);
    struct Expectation {
        const NewsList* item;
        bool distributed;
        bool queued;
    };
    const Expectation expectations[] = {
        {r1, true, false}, {r2, true, true}, {p1, true, false}, {s1, false, true}, {s2, false, false},
    };
    for (const Expectation& e : expectations) {
        SCOPED_TRACE(e.item->headline.str());
        EXPECT_EQ((e.item->flags & kNewsFlagDistributed) != 0, e.distributed);
        EXPECT_EQ((e.item->flags & kNewsFlagDownloadQueued) != 0, e.queued);
    }
    MarkAllNews(s.news, kNewsFlagOld);
    for (const NewsList* item = s.news; item; item = item->next)
        EXPECT_NE(item->flags & kNewsFlagOld, 0u) << item->headline.str();
}

TEST(NewsReadAll, RetainsOnlyWhereTheItemsOwnSubscriptionAsksForIt)
{
    struct Case {
        const char* name;
        std::function<bool(SampleSubscriptions&)> read;
        bool expectedResult;
        uint32_t expectedRead;     // items read afterwards, of the five
        uint32_t expectedRetained; // items retained afterwards, of the five
    };
    const Case cases[] = {
        {"a group with a retaining member", [](auto& s) { return ReadAllNewsBySubscription(s.news, s.world); }, true, 4,
         3},
        {"a member that does not retain", [](auto& s) { return ReadAllNewsBySubscription(s.news, s.plain); }, false, 3,
         1},
        {"the retaining member", [](auto& s) { return ReadAllNewsBySubscription(s.news, s.retaining); }, true, 3, 3},
        {"hot items, one of a retaining feed", [](auto& s) { return ReadAllHotNews(s.news); }, true, 3, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SampleSubscriptions s;
        AddTestNews(s.news, s.retaining, "r1", "", kNewsFlagRead);
        AddTestNews(s.news, s.retaining, "r2", "", kNewsFlagHot);
        AddTestNews(s.news, s.plain, "p1", "", 0);
        AddTestNews(s.news, s.solo, "s1", "", kNewsFlagRead | kNewsFlagHot | kNewsFlagRetained);
        AddTestNews(s.news, s.solo, "s2", "", 0);

        EXPECT_EQ(c.read(s), c.expectedResult);
        EXPECT_EQ(CountNews(s.news) - CountUnreadNews(s.news), c.expectedRead);
        EXPECT_EQ(CountRetainedNews(s.news), c.expectedRetained);
    }
}

// ---- Keywords, membership, expiry ----

TEST(NewsKeywords, SplitAtEverySingleSpace)
{
    EXPECT_EQ(SplitNewsKeywords("apple pie"), (std::vector<std::string_view>{"apple", "pie"}));
    EXPECT_EQ(SplitNewsKeywords("apple  pie "), (std::vector<std::string_view>{"apple", "", "pie", ""}));
    EXPECT_EQ(SplitNewsKeywords(""), (std::vector<std::string_view>{""}));
}

TEST(NewsKeywords, MatchTheHeadlineOrElseTheDescriptionText)
{
    struct Case {
        const char* name;
        std::optional<std::string> headlineRef;
        std::optional<std::string> descriptionRef;
        std::vector<std::string_view> keywords;
        bool expected;
    };
    const Case cases[] = {
        {"in the headline", "Apple harvest", "Rain", {"apple"}, true},
        {"in the description only", "Fruit market", "Fresh PIE daily", {"apple", "pie"}, true},
        {"in neither", "Fruit market", "Rain", {"apple", "pie"}, false},
        {"case folding beyond ASCII", "L'ÉTÉ EN VILLE", std::nullopt, {"été"}, true},
        {"only a description", std::nullopt, "an apple a day", {"apple"}, true},
        {"no texts at all", std::nullopt, std::nullopt, {"apple"}, false},
        {"no keywords", "Apple harvest", "apple", {}, false},
        {"an empty keyword", "Apple harvest", "apple", {""}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NewsList item;
        // The plain fields hold the word as well: only the texts may count.
        item.headline = "apple pie été";
        item.description = "apple pie été";
        if (c.headlineRef)
            item.headlineRef = *c.headlineRef;
        if (c.descriptionRef)
            item.descriptionRef = *c.descriptionRef;
        EXPECT_EQ(IsMatchedKeywordNews(&item, c.keywords), c.expected);
    }
    EXPECT_FALSE(IsMatchedKeywordNews(nullptr, std::vector<std::string_view>{"apple"}));
}

TEST_F(SampleNews, ConditionalNewsFollowsWhatEachKindOfNodeShows)
{
    struct Case {
        const char* name;
        const NewsList* item;
        const SubscriptionList* node;
        bool expected;
    };
    const Case cases[] = {
        {"no item", nullptr, s.solo, false},
        {"no node", s1, nullptr, false},
        {"its own subscription", s2, s.solo, true},
        {"another feed", s2, s.plain, false},
        {"the group of its subscription", p1, s.world, true},
        {"a group it is not in", s2, s.world, false},
        {"hot item of another subscription in the hot list", r2, s.hotList, true},
        {"item that is not hot in the hot list", r1, s.hotList, false},
        {"permanent item in the permanent list", p1, s.coolList, true},
        {"item that is not permanent in the permanent list", r2, s.coolList, false},
        {"keyword in the description", r1, s.keywords, true},
        {"keyword in the headline text", p1, s.keywords, true},
        {"no keyword", s2, s.keywords, false},
    };
    p1->headlineRef = "Apple growers meet";
    p1->descriptionRef.reset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsConditionalNews(c.item, c.node), c.expected);
    }
}

TEST(NewsExpiry, ReadItemsLeaveTheListOnlyAfterTheirTerm)
{
    constexpr uint32_t kNewsMinutes = 1000;
    constexpr uint32_t kTermMinutes = 2160; // 1.5 days
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        float termDays;
        uint32_t flags;
        uint32_t dateTime;
        uint32_t nowMinutes;
        bool expected;
    };
    const Case cases[] = {
        {"exactly at the term: still shown", 1.5f, kNewsFlagRead, kNewsMinutes * 60 + 59, kNewsMinutes + kTermMinutes,
         false},
        {"one minute past the term", 1.5f, kNewsFlagRead, kNewsMinutes * 60 + 59, kNewsMinutes + kTermMinutes + 1,
         true},
        {"unread, however old", 1.5f, 0, 0, 4'000'000'000u, false},
        {"term 0 keeps read items forever", 0.0f, kNewsFlagRead, 0, 4'000'000'000u, false},
        {"half a day", 0.5f, kNewsFlagRead, kNewsMinutes * 60, kNewsMinutes + 721, true},
        {"a negative term from a damaged file", -1.0f, kNewsFlagRead, kNewsMinutes * 60, 4'000'000'000u, false},
        {"a term that is not a number", kNaN, kNewsFlagRead, kNewsMinutes * 60, 4'000'000'000u, false},
        // 2.95 million days plus a date late in the clock's range would wrap
        // past 2^32 minutes and look long expired.
        {"a term near the clock's limit", 2.95e6f, kNewsFlagRead, 4'200'000'000u, 70'000'001u, false},
        {"a term past the clock's limit", 1e9f, kNewsFlagRead, 4'200'000'000u, 70'000'001u, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SubscriptionList subscription;
        subscription.termDays = c.termDays;
        NewsList item;
        item.parent = &subscription;
        item.flags = c.flags;
        item.dateTime = c.dateTime;
        EXPECT_EQ(IsExpiredNews(&item, c.nowMinutes), c.expected);
    }
    NewsList orphan;
    orphan.flags = kNewsFlagRead;
    EXPECT_FALSE(IsExpiredNews(&orphan, 4'000'000'000u)) << "an item without a subscription has no term";
    EXPECT_FALSE(IsExpiredNews(nullptr, 1));
}

} // namespace
