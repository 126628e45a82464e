// The viewer's operations on its model: subscribing by address, removing a
// subscription with its items, hot news announced and listed, and the
// coalesced auto-save.
#include "ViewerTestSupport.h"

#include "feeds/RefreshSchedule.h"
#include "model/SubscriptionsFile.h"
#include "platform/Files.h"
#include "ticker/Filters.h"
#include "viewer/ViewerIdle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ViewerOperations = ViewerCoreTest;

TEST_F(ViewerOperations, SubscribingByAddressAddsAnHourlyFeedNamedByItsChannel)
{
    fSite.ServeDocument("/x.rss", RssDocument("Channel X", {"First"}));
    WriteSubscriptions({{"Existing", fSite.URL("/old.rss"), kCheckManual}});
    Open();
    fStaff->interval = kRefreshIdleTicks;

    std::string address = fSite.URL("/x.rss");
    std::string feedForm = "feed:" + address.substr(address.find("//"));
    uint32_t sid = SubscribeURLInViewerWindow(nullptr, feedForm);
    ASSERT_NE(sid, 0u);
    SubscriptionList* feed = FindSubscriptionByID(fStaff->subscriptions, sid);
    ASSERT_NE(feed, nullptr);
    EXPECT_EQ(feed->accessURL.view(), address);
    EXPECT_EQ(feed->name.view(), address);
    EXPECT_EQ(feed->checkType, kCheckEveryHour);
    EXPECT_EQ(feed->parent, nullptr);
    EXPECT_EQ(feed->orderID, 2u);
    EXPECT_EQ(fStaff->subscriptionID, sid);
    EXPECT_EQ(fStaff->interval, 0u);

    // The same address in another form selects it; other schemes are refused.
    EXPECT_EQ(SubscribeURLInViewerWindow(nullptr, address), sid);
    EXPECT_EQ(SubscribeURLInViewerWindow(nullptr, "feed:" + address), sid);
    EXPECT_EQ(SubscribeURLInViewerWindow(nullptr, "ftp://127.0.0.1/x.rss"), 0u);
    EXPECT_EQ(SubscribeURLInViewerWindow(nullptr, "feed:file:///etc/passwd"), 0u);
    uint32_t secure = SubscribeURLInViewerWindow(nullptr, "feed:https://127.0.0.1:1/y.rss");
    ASSERT_NE(secure, 0u);
    EXPECT_EQ(FindSubscriptionByID(fStaff->subscriptions, secure)->accessURL.view(), "https://127.0.0.1:1/y.rss");
    RemoveSubscriptionViewerWindow(nullptr, secure);

    // It is fetched at the next tick and takes its channel's name, saved at once.
    TickAfter(0);
    EXPECT_EQ(fSite.CountRequests("/x.rss"), 1u);
    EXPECT_EQ(feed->name.view(), "Channel X");
    EXPECT_EQ(HeadlinesOf(feed), (std::vector<std::string>{"First"}));
    SubscriptionList* saved = LoadSubscriptionsFromFile(GetSubscriptionsFile(), {});
    EXPECT_NE(FindSubscriptionByName(saved, "Channel X"), nullptr);
    DisposeSubscriptionList(saved);
}

TEST_F(ViewerOperations, RemovingASubscriptionTakesItsItemsAndCacheWithIt)
{
    fSite.ServeDocument("/a.rss", RssDocument("A", {"A item"}));
    fSite.ServeDocument("/b.rss", RssDocument("B", {"B item"}));
    WriteSubscriptions({{"A", fSite.URL("/a.rss"), kCheckManual}, {"B", fSite.URL("/b.rss"), kCheckManual}});
    Open();
    ASSERT_EQ(Fetch("A"), kNoErr);
    ASSERT_EQ(Fetch("B"), kNoErr);
    uint32_t sid = Find("A")->sid;
    std::filesystem::path cache;
    ASSERT_EQ(GetRdfCacheFile(fSite.URL("/a.rss"), cache), kNoErr);
    ASSERT_TRUE(IsExistFile(cache));

    EXPECT_EQ(RemoveSubscriptionViewerWindow(nullptr, sid), kNoErr);
    EXPECT_EQ(Find("A"), nullptr);
    EXPECT_FALSE(IsExistFile(cache));
    EXPECT_EQ(CountNews(fStaff->news), 1u);
    EXPECT_EQ(RemoveSubscriptionViewerWindow(nullptr, sid), kFileNotFoundErr);
    // The merge's index followed the removal: B's item is still found, not added twice.
    ASSERT_EQ(Fetch("B"), kNoErr);
    EXPECT_EQ(HeadlinesOf(Find("B")), (std::vector<std::string>{"B item"}));
}

TEST_F(ViewerOperations, HotNewsGoesToTheTickerAndMakesTheHotList)
{
    SetNewsFilterList(ReadFilterList("Breaking\tNone\tFlash\nQuiet\tPing\tNone\n"));
    fSite.ServeDocument("/feed.rss", RssDocument("Hot", {"Breaking news", "Quiet news", "Plain news"}));
    WriteSubscriptions({{"Hot", fSite.URL("/feed.rss"), kCheckManual}});
    Open();
    ASSERT_EQ(Fetch("Hot"), kNoErr);
    EXPECT_EQ(fDrawn.tickerHeadlines, (std::vector<std::string>{"Breaking news"}));
    int hotLists = 0;
    for (const SubscriptionList* node = fStaff->subscriptions; node; node = node->next)
        hotLists += node->siteType == kSiteTypeHotList && node->name == kHotNewsListName;
    EXPECT_EQ(hotLists, 1);
    EXPECT_EQ(CountHotNews(fStaff->news), 2u);

    // Unread hot items are announced again at every parse; the list stays one.
    ASSERT_EQ(Fetch("Hot"), kNoErr);
    EXPECT_EQ(fDrawn.tickerHeadlines.size(), 2u);
    hotLists = 0;
    for (const SubscriptionList* node = fStaff->subscriptions; node; node = node->next)
        hotLists += node->siteType == kSiteTypeHotList;
    EXPECT_EQ(hotLists, 1);
}

TEST_F(ViewerOperations, AutoSaveCoalescesChanges)
{
    WriteSubscriptions({{"Feed", "http://127.0.0.1:1/feed.rss", kCheckManual}});
    Open();
    struct Case {
        uint32_t changes;
        uint32_t quietSeconds;
        bool saves;
    } const cases[] = {
        {19, 10, false}, {20, 2, false}, {20, 3, true},   {4, 299, false},
        {5, 14, false},  {5, 15, true},  {1, 299, false}, {1, 300, true},
    };
    for (const Case& c : cases) {
        fStaff->markCount = c.changes;
        fStaff->markTime = GetDateTime();
        AdvanceTestClock(c.quietSeconds * kTicksPerSecond);
        EXPECT_EQ(ExecAutoSave(fStaff), c.saves) << c.changes << " changes, " << c.quietSeconds << " s";
        EXPECT_EQ(fStaff->markCount, c.saves ? 0u : c.changes);
    }
    fStaff->markCount = 0;
    EXPECT_FALSE(ExecAutoSave(fStaff));

    // A check that finds nothing due runs it: a change made 300 s ago is saved.
    std::filesystem::remove(GetSubscriptionsFile());
    MarkAutoSave(fStaff);
    TickAfter(300 * kTicksPerSecond);
    EXPECT_EQ(fStaff->markCount, 0u);
    EXPECT_TRUE(IsExistFile(GetSubscriptionsFile()));
}

} // namespace
