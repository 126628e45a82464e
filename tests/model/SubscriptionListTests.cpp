// The subscription tree: identifiers, building and linking chains, the
// searches and their tree order, removal and detaching (with the fetch
// guard), the order numbers, the counts and disposal.
#include "ModelTestSupport.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>

namespace {

// The tree most tests search:
//   Hot News      (hot list, order 0)
//   Shared        (feed, 1)
//   Tech          (group, 2): Tech (feed, 3), banana (keywords, 4), Mail (POP, 5)
//   Shared        (group, 6): Lone (feed, 7)
//   apple         (keywords, 8)
//   Cool News     (permanent list, order 0)
// Names repeat on purpose: searches must return the first node in tree
// order, each node before its members.
struct SampleTree {
    SampleTree()
    {
        hot = AddTestSubscription(tree, kSiteTypeHotList, "Hot News", 0);
        sharedFeed = AddTestSubscription(tree, kSiteTypeRSS, "Shared", 1);
        tech = AddTestSubscription(tree, kSiteTypeGroup, "Tech", 2);
        techFeed = AddTestSubscription(tech->child, kSiteTypeRSS, "Tech", 3, tech);
        banana = AddTestSubscription(tech->child, kSiteTypePsedo, "banana", 4, tech);
        mail = AddTestSubscription(tech->child, kSiteTypePOP, "Mail", 5, tech);
        sharedGroup = AddTestSubscription(tree, kSiteTypeGroup, "Shared", 6);
        lone = AddTestSubscription(sharedGroup->child, kSiteTypeRSS, "Lone", 7, sharedGroup);
        apple = AddTestSubscription(tree, kSiteTypePsedo, "apple", 8);
        cool = AddTestSubscription(tree, kSiteTypeCoolList, "Cool News", 0);
    }
    ~SampleTree() { DisposeSubscriptionList(tree); }
    SampleTree(const SampleTree&) = delete;
    SampleTree& operator=(const SampleTree&) = delete;

    SubscriptionList* tree = nullptr;
    SubscriptionList* hot = nullptr;
    SubscriptionList* sharedFeed = nullptr;
    SubscriptionList* tech = nullptr;
    SubscriptionList* techFeed = nullptr;
    SubscriptionList* banana = nullptr;
    SubscriptionList* mail = nullptr;
    SubscriptionList* sharedGroup = nullptr;
    SubscriptionList* lone = nullptr;
    SubscriptionList* apple = nullptr;
    SubscriptionList* cool = nullptr;
};

const std::vector<std::string> kSampleTopLevel = {"Hot News", "Shared", "Tech", "Shared", "apple", "Cool News"};
const std::vector<std::string> kSampleTechMembers = {"Tech", "banana", "Mail"};

// Every test node holds three heap blocks: the node, its name and its URL.
constexpr long kBlocksPerTestNode = 3;

class SubscriptionTree : public ::testing::Test {
protected:
    SampleTree t;
};

size_t ChainLength(const SubscriptionList* chain)
{
    size_t length = 0;
    // Bounded, so that a loop in the chain fails the test instead of hanging it.
    for (; chain && length < 1000; chain = chain->next)
        ++length;
    return length;
}

// ---- Identifiers ----

// Runs in a process of its own, where nothing has been numbered yet.
[[noreturn]] void PrintFirstIdentifiersAndExit()
{
    SubscriptionList subscriptionTemplate;
    SubscriptionList* tree = AddSubscriptionList(nullptr, subscriptionTemplate);
    tree = AddSubscriptionList(tree, subscriptionTemplate);
    NewsList newsTemplate;
    NewsList* news = AddNewsList(nullptr, newsTemplate);
    news = AddNewsList(news, newsTemplate);
    std::fprintf(stderr, "subscriptions %u %u, news %u %u\n", tree->sid, tree->next->sid, news->nid,
                 news->next->nid);
    DisposeNewsList(news);
    DisposeSubscriptionList(tree);
    std::exit(0);
}

TEST(SubscriptionIdentifiers, FirstNodeAndFirstItemOfARunGet100Then101)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(PrintFirstIdentifiersAndExit(), ::testing::ExitedWithCode(0), "subscriptions 100 101, news 100 101");
}

TEST_F(SubscriptionTree, IdentifiersNeverRepeatAfterRemoval)
{
    std::set<uint32_t> seen = {t.hot->sid, t.sharedFeed->sid, t.tech->sid, t.techFeed->sid, t.banana->sid,
                               t.mail->sid, t.sharedGroup->sid, t.lone->sid, t.apple->sid, t.cool->sid};
    ASSERT_EQ(seen.size(), 10u);
    const uint32_t removed = t.cool->sid;
    t.tree = RemoveSubscriptionByID(t.tree, removed);
    SubscriptionList* added = AddTestSubscription(t.tree, kSiteTypeRSS, "After");
    EXPECT_FALSE(seen.count(added->sid));
    EXPECT_GT(added->sid, *seen.rbegin());
    EXPECT_GE(added->sid, kFirstSubscriptionID);
}

// ---- Building and linking ----

TEST(SubscriptionAdd, OnEmptyListReturnsTheNodeAndTheTemplateCarriesItsID)
{
    SubscriptionList group;
    group.siteType = kSiteTypeGroup;
    SubscriptionList stranger;
    SubscriptionList subscriptionTemplate;
    subscriptionTemplate.siteType = kSiteTypeRSS;
    subscriptionTemplate.name = "Feed";
    subscriptionTemplate.parent = &group;
    // Links a caller copied from elsewhere must not come along.
    subscriptionTemplate.child = &stranger;
    subscriptionTemplate.next = &stranger;

    SubscriptionList* list = AddSubscriptionList(nullptr, subscriptionTemplate);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->sid, subscriptionTemplate.sid);
    EXPECT_GE(list->sid, kFirstSubscriptionID);
    EXPECT_EQ(list->name.view(), "Feed");
    EXPECT_EQ(list->parent, &group);
    EXPECT_EQ(list->child, nullptr);
    EXPECT_EQ(list->next, nullptr);
    EXPECT_EQ(subscriptionTemplate.next, nullptr);

    SubscriptionList second;
    second.name = "Second";
    EXPECT_EQ(AddSubscriptionList(list, second), list) << "a non-empty list keeps its head";
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Feed", "Second"}));
    DisposeSubscriptionList(list);
}

TEST(SubscriptionAdd, TemplatePendingNewsIsNotShared)
{
    NewsList newsTemplate;
    newsTemplate.headline = "pending elsewhere";
    NewsList* pending = AddNewsList(nullptr, newsTemplate);
    SubscriptionList subscriptionTemplate;
    subscriptionTemplate.news = pending;
    SubscriptionList* list = AddSubscriptionList(nullptr, subscriptionTemplate);
    EXPECT_EQ(list->news, nullptr);
    DisposeSubscriptionList(list); // would free `pending` if it had been shared
    EXPECT_EQ(pending->headline.view(), "pending elsewhere");
    DisposeNewsList(pending);
}

using LinkFunction = SubscriptionList* (*)(SubscriptionList*, SubscriptionList*);

struct LinkCase {
    const char* name;
    LinkFunction link;
};

const LinkCase kLinkCases[] = {
    {"AppendSubscriptionList", AppendSubscriptionList},
    {"AttachSubscriptionList", AttachSubscriptionList},
};

TEST(SubscriptionLink, LinksAWholeChainAtTheTail)
{
    for (const LinkCase& linkCase : kLinkCases) {
        SCOPED_TRACE(linkCase.name);
        SubscriptionList* existing = nullptr;
        AddTestSubscription(existing, kSiteTypeRSS, "a");
        AddTestSubscription(existing, kSiteTypeRSS, "b");
        SubscriptionList* imported = nullptr;
        AddTestSubscription(imported, kSiteTypeRSS, "c");
        AddTestSubscription(imported, kSiteTypeRSS, "d");

        EXPECT_EQ(linkCase.link(nullptr, imported), imported);
        SubscriptionList* head = linkCase.link(existing, imported);
        EXPECT_EQ(head, existing);
        EXPECT_EQ(Names(head), (std::vector<std::string>{"a", "b", "c", "d"}));
        DisposeSubscriptionList(head);
    }
}

TEST(SubscriptionLink, RefusesANodeThatWouldCloseALoop)
{
    for (const LinkCase& linkCase : kLinkCases) {
        SCOPED_TRACE(linkCase.name);
        SubscriptionList* chain = nullptr;
        SubscriptionList* first = AddTestSubscription(chain, kSiteTypeRSS, "a");
        SubscriptionList* second = AddTestSubscription(chain, kSiteTypeRSS, "b");
        AddTestSubscription(chain, kSiteTypeRSS, "c");

        EXPECT_EQ(linkCase.link(chain, first), chain) << "the head itself";
        EXPECT_EQ(linkCase.link(chain, second), chain) << "a node in the middle";
        EXPECT_EQ(linkCase.link(second, first), second) << "a chain whose tail is shared";
        EXPECT_EQ(ChainLength(chain), 3u);
        DisposeSubscriptionList(chain);
    }
}

// ---- Searches ----

struct SearchCase {
    const char* name;
    std::function<SubscriptionList*(SampleTree&)> search;
    std::function<SubscriptionList*(SampleTree&)> expected;
};

#define SEARCH(call) [](SampleTree& t) -> SubscriptionList* { return call; }
#define NODE(member) [](SampleTree& t) -> SubscriptionList* { return t.member; }
#define NONE [](SampleTree&) -> SubscriptionList* { return nullptr; }

const SearchCase kSearchCases[] = {
    {"by id, a member", SEARCH(FindSubscriptionByID(t.tree, t.mail->sid)), NODE(mail)},
    {"by id, unknown", SEARCH(FindSubscriptionByID(t.tree, 99999)), NONE},
    {"by order, a member of the second group", SEARCH(FindSubscriptionByOrderID(t.tree, 7)), NODE(lone)},
    {"by name, a group before its same-named member", SEARCH(FindSubscriptionByName(t.tree, "Tech")), NODE(tech)},
    {"by name, inside a group", SEARCH(FindSubscriptionByName(t.tree, "Lone")), NODE(lone)},
    {"by name, exact bytes only", SEARCH(FindSubscriptionByName(t.tree, "tech")), NONE},
    {"by URL, a member", SEARCH(FindSubscriptionByURL(t.tree, "https://Lone.example/feed")), NODE(lone)},
    {"by URL, a prefix is no match", SEARCH(FindSubscriptionByURL(t.tree, "https://Lone.example/")), NONE},
    {"keywords at top level", SEARCH(FindPsedoSubscriptionByName(t.tree, "apple")), NODE(apple)},
    {"keywords inside a group are not found", SEARCH(FindPsedoSubscriptionByName(t.tree, "banana")), NONE},
    {"keywords search ignores other kinds", SEARCH(FindPsedoSubscriptionByName(t.tree, "Shared")), NONE},
    {"container of a member is its group", SEARCH(FindContainerSubscription(t.tree, t.techFeed->sid)), NODE(tech)},
    {"container of a group is itself", SEARCH(FindContainerSubscription(t.tree, t.sharedGroup->sid)), NODE(sharedGroup)},
    {"container of a top-level feed", SEARCH(FindContainerSubscription(t.tree, t.sharedFeed->sid)), NONE},
    {"container of the keyword-search marker 99", SEARCH(FindContainerSubscription(t.tree, 99)), NONE},
    {"container of an unknown id", SEARCH(FindContainerSubscription(t.tree, 99999)), NONE},
    {"parent by name, a group", SEARCH(FindParentSubscriptionByName(t.tree, "Tech")), NODE(tech)},
    {"parent by name, a feed comes first", SEARCH(FindParentSubscriptionByName(t.tree, "Shared")), NONE},
    {"parent by name, a member feed", SEARCH(FindParentSubscriptionByName(t.tree, "Lone")), NONE},
    {"parent by name, empty", SEARCH(FindParentSubscriptionByName(t.tree, "")), NONE},
};

TEST_F(SubscriptionTree, SearchesReturnTheFirstNodeInTreeOrder)
{
    for (const SearchCase& searchCase : kSearchCases) {
        SCOPED_TRACE(searchCase.name);
        EXPECT_EQ(searchCase.search(t), searchCase.expected(t));
    }
}

TEST_F(SubscriptionTree, FindWithPreviousGivesThePreviousSiblingInTheNodesOwnChain)
{
    struct Case {
        const char* name;
        uint32_t sid;
        SubscriptionList* node;
        SubscriptionList* previous;
    };
    const Case cases[] = {
        {"first member of a group", t.techFeed->sid, t.techFeed, nullptr},
        {"second member of a group", t.banana->sid, t.banana, t.techFeed},
        {"top-level node", t.sharedFeed->sid, t.sharedFeed, t.hot},
        {"head of the tree", t.hot->sid, t.hot, nullptr},
        {"unknown id", 99999, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SubscriptionList* previous = t.cool; // must be overwritten
        EXPECT_EQ(FindSubscriptionWithPrevious(t.tree, c.sid, &previous), c.node);
        EXPECT_EQ(previous, c.previous);
    }
}

TEST_F(SubscriptionTree, IsInSubscriptionHoldsForItselfAndDirectMembersOnly)
{
    // A node hanging one level deeper than groups may go, as a damaged file
    // could make it.
    SubscriptionList deeper;
    deeper.parent = t.techFeed;
    struct Case {
        const char* name;
        const SubscriptionList* node;
        const SubscriptionList* subscription;
        bool expected;
    };
    const Case cases[] = {
        {"itself", t.sharedFeed, t.sharedFeed, true},
        {"direct member of the group", t.banana, t.tech, true},
        {"member of another group", t.lone, t.tech, false},
        {"below a member", &deeper, t.tech, false},
        {"a member is not in a feed", &deeper, t.techFeed, false},
        {"two top-level feeds", t.sharedFeed, t.apple, false},
        {"null subscription", t.sharedFeed, nullptr, false},
        {"null node", nullptr, t.tech, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsInSubscription(c.node, c.subscription), c.expected);
    }
}

// ---- Removal and detaching ----

TEST(SubscriptionRemove, UnlinksFromWhereverTheNodeIs)
{
    struct Case {
        const char* name;
        std::function<uint32_t(SampleTree&)> sid;
        std::vector<std::string> topLevel;
        std::vector<std::string> techMembers;
    };
    const Case cases[] = {
        {"first member: the second becomes the group's child", [](SampleTree& t) { return t.techFeed->sid; },
         kSampleTopLevel, {"banana", "Mail"}},
        {"middle member", [](SampleTree& t) { return t.banana->sid; }, kSampleTopLevel, {"Tech", "Mail"}},
        {"last member", [](SampleTree& t) { return t.mail->sid; }, kSampleTopLevel, {"Tech", "banana"}},
        {"head of the tree", [](SampleTree& t) { return t.hot->sid; },
         {"Shared", "Tech", "Shared", "apple", "Cool News"}, kSampleTechMembers},
        {"last of the tree", [](SampleTree& t) { return t.cool->sid; },
         {"Hot News", "Shared", "Tech", "Shared", "apple"}, kSampleTechMembers},
        {"unknown id", [](SampleTree&) { return 99999u; }, kSampleTopLevel, kSampleTechMembers},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SampleTree t;
        const uint32_t sid = c.sid(t);
        t.tree = RemoveSubscriptionByID(t.tree, sid);
        EXPECT_EQ(Names(t.tree), c.topLevel);
        EXPECT_EQ(Names(t.tech->child), c.techMembers);
        EXPECT_EQ(FindSubscriptionByID(t.tree, sid), nullptr);
    }
}

TEST_F(SubscriptionTree, RemoveIsRefusedWhileAFetchRuns)
{
    struct Case {
        const char* name;
        SubscriptionList* fetching;
        SubscriptionList* removed;
    };
    const Case cases[] = {
        {"the node itself", t.lone, t.lone},
        {"a member of the group being removed", t.lone, t.sharedGroup},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.fetching->thread = 7;
        SubscriptionList* head = RemoveSubscriptionByID(t.tree, c.removed->sid);
        EXPECT_EQ(head, t.tree);
        EXPECT_EQ(FindSubscriptionByID(t.tree, c.removed->sid), c.removed);
        EXPECT_EQ(Names(t.tree), kSampleTopLevel);
        EXPECT_EQ(t.sharedGroup->child, t.lone);
        c.fetching->thread = 0;
    }
    t.tree = RemoveSubscriptionByID(t.tree, t.sharedGroup->sid);
    EXPECT_EQ(FindSubscriptionByName(t.tree, "Lone"), nullptr) << "removed once the fetch has ended";
}

TEST_F(SubscriptionTree, RemoveFreesTheMembersAndTheirPendingNews)
{
    PrepareNewsRecords();
    const long before = LiveAllocationCount();
    SubscriptionList* extra = AddTestSubscription(t.tech->child, kSiteTypeRSS, "Extra", 9, t.tech);
    for (SubscriptionList* node : {t.tech, t.techFeed, extra}) {
        NewsList newsTemplate;
        newsTemplate.headline = "waiting to be moved";
        newsTemplate.parent = node;
        node->news = AddNewsList(node->news, newsTemplate);
        node->news = AddNewsList(node->news, newsTemplate);
    }
    t.tree = RemoveSubscriptionByID(t.tree, t.tech->sid);
    // The group and its three original members are gone; everything added
    // here (a member and six pending items) went with them.
    EXPECT_EQ(LiveAllocationCount(), before - 4 * kBlocksPerTestNode);
    EXPECT_EQ(FindSubscriptionByName(t.tree, "Extra"), nullptr);
    EXPECT_EQ(Names(t.tree), (std::vector<std::string>{"Hot News", "Shared", "Shared", "apple", "Cool News"}));
}

TEST_F(SubscriptionTree, DetachUnlinksWithoutFreeingEvenDuringAFetch)
{
    t.banana->thread = 3;
    t.tree = DetachSubscriptionByID(t.tree, t.banana->sid);
    EXPECT_EQ(Names(t.tech->child), (std::vector<std::string>{"Tech", "Mail"}));
    EXPECT_EQ(t.banana->parent, nullptr);
    EXPECT_EQ(t.banana->next, nullptr);
    EXPECT_EQ(t.banana->name.view(), "banana");

    // Moving it to the top level, as a drag out of the group does.
    t.tree = AttachSubscriptionList(t.tree, t.banana);
    EXPECT_EQ(FindPsedoSubscriptionByName(t.tree, "banana"), t.banana);
    EXPECT_EQ(FindContainerSubscription(t.tree, t.banana->sid), nullptr);
}

TEST_F(SubscriptionTree, DetachOfTheHeadReturnsTheNewHead)
{
    SubscriptionList* head = DetachSubscriptionByID(t.tree, t.hot->sid);
    EXPECT_EQ(head, t.sharedFeed);
    t.tree = head;
    DisposeSubscriptionList(t.hot);
}

// ---- Order ----

TEST_F(SubscriptionTree, MaximumOrderLooksAtEveryLevel)
{
    EXPECT_EQ(MaximumSubscriptionsOrder(nullptr), 0u);
    EXPECT_EQ(MaximumSubscriptionsOrder(t.tree), 8u);
    t.lone->orderID = 40;
    EXPECT_EQ(MaximumSubscriptionsOrder(t.tree), 40u);
}

TEST(SubscriptionOrder, IncreaseOpensTheSlotAfterTheGivenOrderAcrossLevels)
{
    SubscriptionList* tree = nullptr;
    SubscriptionList* a = AddTestSubscription(tree, kSiteTypeRSS, "a", 3);
    SubscriptionList* group = AddTestSubscription(tree, kSiteTypeGroup, "g", 5);
    SubscriptionList* b = AddTestSubscription(group->child, kSiteTypeRSS, "b", 6, group);
    SubscriptionList* c = AddTestSubscription(tree, kSiteTypeRSS, "c", 9);
    SubscriptionList* fixed = AddTestSubscription(tree, kSiteTypeHotList, "hot", 0);

    IncreaseSubscriptionsOrder(tree, 5);
    EXPECT_EQ(a->orderID, 3u);
    EXPECT_EQ(group->orderID, 5u);
    EXPECT_EQ(b->orderID, 7u);
    EXPECT_EQ(c->orderID, 10u);
    EXPECT_EQ(fixed->orderID, 0u);
    DisposeSubscriptionList(tree);
}

TEST_F(SubscriptionTree, ImportedTreeIsOffsetPastTheExistingOne)
{
    SubscriptionList* imported = nullptr;
    SubscriptionList* group = AddTestSubscription(imported, kSiteTypeGroup, "Imported", 1);
    SubscriptionList* member = AddTestSubscription(group->child, kSiteTypeRSS, "In", 2, group);
    SubscriptionList* last = AddTestSubscription(imported, kSiteTypeRSS, "Out", 3);

    OffsetSubscriptionsOrder(imported, MaximumSubscriptionsOrder(t.tree) + 1);
    t.tree = AppendSubscriptionList(t.tree, imported);
    EXPECT_EQ(group->orderID, 10u);
    EXPECT_EQ(member->orderID, 11u);
    EXPECT_EQ(last->orderID, 12u);
    EXPECT_EQ(MaximumSubscriptionsOrder(t.tree), 12u);
    EXPECT_EQ(FindSubscriptionByOrderID(t.tree, 11), member);
}

// ---- Counts and disposal ----

TEST_F(SubscriptionTree, CountsLeaveOutPseudoListsAndSearchFeeds)
{
    // Something hanging below a pseudo list is not counted either.
    AddTestSubscription(t.hot->child, kSiteTypeRSS, "under the t.hot list", 0, t.hot);
    SubscriptionList* search = AddTestSubscription(t.tree, kSiteTypeRSS, "search", 9);
    search->flags |= kSubscriptionFlagSearch;

    // Feeds and t.mail: Shared, Tech (member), Mail, Lone, search.
    EXPECT_EQ(CountSubscriptions(t.tree), 5u);
    // Stored nodes: Shared, Tech group + 3 members, Shared group + Lone, t.apple.
    EXPECT_EQ(CountSubscriptionsAndGroups(t.tree), 8u);
    EXPECT_EQ(CountSubscriptions(nullptr), 0u);
    EXPECT_EQ(CountSubscriptionsAndGroups(nullptr), 0u);
}

TEST(SubscriptionDispose, FreesEveryNodeMemberAndPendingItem)
{
    PrepareNewsRecords();
    const long before = LiveAllocationCount();
    SubscriptionList* tree = nullptr;
    SubscriptionList* group = AddTestSubscription(tree, kSiteTypeGroup, "g");
    SubscriptionList* member = AddTestSubscription(group->child, kSiteTypeRSS, "m", 0, group);
    AddTestSubscription(tree, kSiteTypeRSS, "f");
    {
        NewsList newsTemplate;
        newsTemplate.headline = "pending";
        member->news = AddNewsList(member->news, newsTemplate);
    }
    DisposeSubscriptionList(tree);
    EXPECT_EQ(LiveAllocationCount(), before);
}

TEST(SubscriptionDispose, ALongChainIsFreedWithoutRecursion)
{
    constexpr int kCount = 100000;
    SubscriptionList* chain = nullptr;
    SubscriptionList* tail = nullptr;
    for (int i = 0; i < kCount; ++i) {
        SubscriptionList subscriptionTemplate;
        // Adding at the tail each time would walk the chain; link by hand.
        SubscriptionList* node = AddSubscriptionList(nullptr, subscriptionTemplate);
        if (tail)
            tail->next = node;
        else
            chain = node;
        tail = node;
    }
    RunOnSmallStack([chain] { DisposeSubscriptionList(chain); });
}

} // namespace
