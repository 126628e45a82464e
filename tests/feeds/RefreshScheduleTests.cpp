// The refresh cycle's decisions without a network: which subscription is due
// and in which order, the retry rule, the cache file names and hash, and the
// feeds an OPML list at a feed's address turns into.
#include "feeds/RefreshOpml.h"
#include "feeds/RefreshSchedule.h"
#include "net/HttpResponse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t kNow = 3'900'000'000u;

// A tree built by hand and freed with the test.
class Tree {
public:
    ~Tree() { DisposeSubscriptionList(head); }

    SubscriptionList* Add(SiteType siteType, std::string_view name, CheckType checkType = kCheckEvery10Min,
                          SubscriptionList* group = nullptr)
    {
        SubscriptionList node;
        node.siteType = siteType;
        node.name = name;
        node.checkType = checkType;
        node.accessURL = "http://example.org/" + std::string(name);
        node.parent = group;
        if (group)
            group->child = AddSubscriptionList(group->child, node);
        else
            head = AddSubscriptionList(head, node);
        return FindSubscriptionByID(head, node.sid);
    }

    // The names FindTimeUpSubscription hands out at `now`, until none is due.
    std::vector<std::string> DueAt(uint32_t now)
    {
        std::vector<std::string> names;
        while (SubscriptionList* due = FindTimeUpSubscription(head, now)) {
            EXPECT_EQ(due->prevCheckTime, now);
            names.push_back(due->name.str());
        }
        return names;
    }

    SubscriptionList* head = nullptr;
};

TEST(RefreshSchedule, CheckIntervalsByCheckType)
{
    EXPECT_EQ(GetCheckInterval(kCheckManual), 0u);
    EXPECT_EQ(GetCheckInterval(kCheckAtLaunch), 0u);
    EXPECT_EQ(GetCheckInterval(kCheckEvery10Min), 600u);
    EXPECT_EQ(GetCheckInterval(kCheckEvery30Min), 1800u);
    EXPECT_EQ(GetCheckInterval(kCheckEveryHour), 3600u);
    EXPECT_EQ(GetCheckInterval(kCheckEvery3Hours), 10800u);
    EXPECT_EQ(GetCheckInterval(CheckType(6)), 0u);
    EXPECT_EQ(GetCheckInterval(CheckType(0xFFFFFFFF)), 0u);
}

TEST(RefreshSchedule, EverythingIsDueOnceInTreeOrderThenByInterval)
{
    Tree tree;
    tree.Add(kSiteTypeRSS, "first", kCheckEvery30Min);
    SubscriptionList* group = tree.Add(kSiteTypeGroup, "group");
    tree.Add(kSiteTypeRSS, "member", kCheckEvery10Min, group);
    tree.Add(kSiteTypePOP, "mail", kCheckEvery10Min);
    tree.Add(kSiteTypePsedo, "keywords");
    tree.Add(kSiteTypeRSS, "launch", kCheckAtLaunch);
    tree.Add(kSiteTypeRSS, "manual", kCheckManual);
    tree.Add(kSiteTypeRSS, "odd", CheckType(9));

    EXPECT_EQ(tree.DueAt(kNow),
              (std::vector<std::string>{"first", "member", "mail", "launch", "manual", "odd"}));
    EXPECT_TRUE(tree.DueAt(kNow + 600).empty()); // not more than 600 s yet
    EXPECT_EQ(tree.DueAt(kNow + 601), (std::vector<std::string>{"member", "mail"}));
    EXPECT_EQ(tree.DueAt(kNow + 1801), (std::vector<std::string>{"first", "member", "mail"}));
    EXPECT_TRUE(tree.DueAt(kNow + 100000 * 60).size() == 3); // at-launch, manual, odd: never again

    // A clock set back does not stop the checks until it catches up.
    EXPECT_EQ(tree.DueAt(kNow - 86400), (std::vector<std::string>{"first", "member", "mail"}));
}

TEST(RefreshSchedule, ManualFeedsAreHandedOutOnceAndRefreshMarksMakeThemDue)
{
    Tree tree;
    tree.Add(kSiteTypeRSS, "timed", kCheckEveryHour);
    SubscriptionList* group = tree.Add(kSiteTypeGroup, "group");
    SubscriptionList* manual = tree.Add(kSiteTypeRSS, "manual", kCheckManual, group);
    tree.Add(kSiteTypePOP, "mail", kCheckManual);

    std::vector<std::string> names;
    while (SubscriptionList* found = FindManualSubscription(tree.head, kNow))
        names.push_back(found->name.str());
    EXPECT_EQ(names, (std::vector<std::string>{"manual", "mail"}));
    EXPECT_EQ(manual->prevCheckTime, kNow);

    EXPECT_EQ(tree.DueAt(kNow + 1), (std::vector<std::string>{"timed"}));
    BrowserItemRefreshProc(group);
    EXPECT_EQ(tree.DueAt(kNow + 2), (std::vector<std::string>{"manual"}));
    RefreshAllSubscription(tree.head);
    EXPECT_EQ(tree.DueAt(kNow + 3), (std::vector<std::string>{"timed", "manual", "mail"}));
}

TEST(RefreshSchedule, RetryRule)
{
    struct Case {
        OSStatus err;
        uint32_t attempts;
        bool retried;
    } const cases[] = {
        {kNoErr, 1, false},          {kHttpResolveErr, 1, false},     {kHttpUnavailableErr, 14, true},
        {kHttpUnavailableErr, 15, false}, {kHttpTimeoutErr, 2, true}, {kHttpTimeoutErr, 3, false},
        {kHttpMovedErr, 2, true},    {kHttpMovedErr, 3, false},       {-1, 1, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsWorthRetrying(c.err, c.attempts), c.retried) << c.err << " after " << c.attempts;
}

TEST(RefreshSchedule, CacheFileNamesAreAFunctionOfTheURL)
{
    // Bytes shifted by 0..15 and again from 0: the 17th byte counts as itself.
    EXPECT_EQ(CalculateURLHash(""), 0);
    EXPECT_EQ(CalculateURLHash("ab"), 'a' + ('b' << 1));
    EXPECT_EQ(CalculateURLHash(std::string(17, '\x01')), 0xFFFF + 1);
    EXPECT_EQ(CalculateURLHash(std::string(16, '\xFF')), 0xFF * 0xFFFF); // bytes are unsigned
    EXPECT_EQ(CalculateURLHash(std::string(4096, '\xFF')), int32_t(0xFEFF0100u)); // wraps past 2^31

    const std::string url = "http://127.0.0.1:8080/feeds/x.rss";
    EXPECT_EQ(MakeRssCacheFileName(url), "127.0.0.1:8080%2Ffee" + std::to_string(CalculateURLHash(url)));
    EXPECT_EQ(MakeRssCacheFileName("http://a"), "a" + std::to_string(CalculateURLHash("http://a")));
    EXPECT_EQ(MakeRssCacheFileName("http:/"), std::to_string(CalculateURLHash("http:/")));
    EXPECT_EQ(MakeRssCacheFileName("https://h/%41"), "%2Fh%2F%2541" + std::to_string(CalculateURLHash("https://h/%41")));
    EXPECT_EQ(MakeRssCacheFileName(std::string("http://a\0b", 10)).substr(0, 5), "a%00b");
    // Two URLs whose names differ only in an escaped byte never share a file.
    EXPECT_NE(MakeRssCacheFileName("http://x/%2F"), MakeRssCacheFileName("http://x//"));
}

TEST(RefreshOpml, ReadsTheFeedsOfAList)
{
    Tree subscribed;
    subscribed.Add(kSiteTypeRSS, "known");
    const std::string document =
        "<?xml version=\"1.0\"?>\n<opml version=\"1.1\"><head><title>Mine</title></head><body>\n"
        "<outline text=\"A &amp; B\" type=\"rss\" xmlUrl=\"http://a.example/rss\"/>\n"
        "<outline text=\"Folder\">\n"
        "  <outline title=\"Titled\" period=\"4\" xmlUrl=\"http://b.example/rss\"/>\n"
        "</outline>\n"
        "<outline text=\"No address\" type=\"rss\"/>\n"
        "<outline text=\"Known\" xmlUrl=\"http://example.org/known\"/>\n"
        "<outline text=\"Twice\" xmlUrl=\"http://a.example/rss\"/>\n"
        "</body></opml>\n"
        "<outline text=\"After the body\" xmlUrl=\"http://c.example/rss\"/>";
    SubscriptionList* feeds = LoadSubscriptionsFromOpml(document, subscribed.head);
    ASSERT_NE(feeds, nullptr);
    ASSERT_NE(feeds->next, nullptr);
    EXPECT_EQ(feeds->next->next, nullptr);
    EXPECT_EQ(feeds->name.view(), "A &amp; B");
    EXPECT_EQ(feeds->accessURL.view(), "http://a.example/rss");
    EXPECT_EQ(feeds->checkType, kCheckAtLaunch);
    EXPECT_EQ(feeds->siteType, kSiteTypeRSS);
    EXPECT_EQ(feeds->orderID, 0u);
    EXPECT_EQ(feeds->next->name.view(), "Titled");
    EXPECT_EQ(feeds->next->checkType, kCheckEveryHour);
    EXPECT_EQ(feeds->next->orderID, 1u);
    DisposeSubscriptionList(feeds);

    for (const char* refused : {"\xEF\xBB\xBF<?xml version=\"1.0\"?><opml><body><outline xmlUrl=\"http://x/\"/></body></opml>",
                                "<?xml version=\"1.0\"?><opml><body><outline xmlUrl=\"http://x/\"/></opml>",
                                "<?xml version=\"1.0\"?><rss><body><outline xmlUrl=\"http://x/\"/></body></rss>",
                                "<?xml version=\"1.0\"?><opml><body></body></opml>"})
        EXPECT_EQ(LoadSubscriptionsFromOpml(refused, nullptr), nullptr) << refused;
}

} // namespace
