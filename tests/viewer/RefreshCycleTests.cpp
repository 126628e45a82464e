// The refresh cycle end to end without a window: the viewer core opened on a
// subscriptions file of feeds served by a local site, driven by the test
// clock through its idle tick, with the stories a user would notice: when
// feeds are fetched, how failures end, what becomes of lists and bad
// documents, and what survives a restart.
#include "ViewerTestSupport.h"

#include "feeds/RefreshCycle.h"
#include "feeds/RefreshSchedule.h"
#include "feeds/RefreshURLService.h"
#include "model/HistoryFiles.h"
#include "net/HttpResponse.h"
#include "platform/Files.h"
#include "platform/Tasks.h"
#include "viewer/ViewerIdle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kOneMinuteTicks = 60 * kTicksPerSecond;
constexpr uint32_t kPastTimeoutTicks = 21 * kTicksPerSecond; // one step past the client's 20 s limits

std::vector<std::string> Items(std::string_view prefix, int count)
{
    std::vector<std::string> headlines;
    for (int number = 1; number <= count; ++number)
        headlines.push_back(std::string(prefix) + " " + std::to_string(number));
    return headlines;
}

using RefreshCycle = ViewerCoreTest;

/* ---- Scheduling ---- */

TEST_F(RefreshCycle, ManualFeedFromCacheTimedFeedsThreeTicksApartAndAgainAfterTenMinutes)
{
    for (const char* path : {"/a.rss", "/b.rss", "/c.rss"})
        fSite.ServeDocument(path, RssDocument(path, Items(path, 2), fSite.URL("/")));
    WriteSubscriptions({{"A", fSite.URL("/a.rss")},
                        {"B", fSite.URL("/b.rss")},
                        {"Manual", fSite.URL("/manual.rss"), kCheckManual},
                        {"C", fSite.URL("/c.rss")}});
    WriteCache(fSite.URL("/manual.rss"), RssDocument("Manual", {"Cached one", "Cached two"}));

    Open();
    EXPECT_EQ(HeadlinesOf(Find("Manual")), (std::vector<std::string>{"Cached one", "Cached two"}));
    EXPECT_EQ(fSite.CountRequests("/manual.rss"), 0u);

    // The first idle tick starts A at once, then one feed every 3 ticks.
    for (int step = 0; step < 4; ++step)
        TickAfter(step == 0 ? 0 : kRefreshStartedTicks);
    std::vector<uint32_t> firstTicks;
    for (const char* path : {"/a.rss", "/b.rss", "/c.rss"}) {
        ASSERT_EQ(fSite.TicksFor(path).size(), 1u) << path;
        firstTicks.push_back(fSite.TicksFor(path)[0]);
    }
    EXPECT_EQ(firstTicks, (std::vector<uint32_t>{kTestStartTicks, kTestStartTicks + 3, kTestStartTicks + 6}));
    EXPECT_EQ(HeadlinesOf(Find("B")), Items("/b.rss", 2));
    EXPECT_EQ(fStaff->interval, kRefreshIdleTicks); // nothing due: checks every 60 s

    // Ten checks, 60 s apart: 600 s have passed, but not more.
    for (int minute = 0; minute < 10; ++minute)
        TickAfter(kOneMinuteTicks);
    EXPECT_EQ(fSite.CountRequests("/a.rss"), 1u);
    TickAfter(kOneMinuteTicks);
    EXPECT_EQ(fSite.CountRequests("/a.rss"), 2u);
    EXPECT_EQ(fSite.CountRequests("/b.rss"), 1u);
    TickAfter(kRefreshStartedTicks);
    TickAfter(kRefreshStartedTicks);
    EXPECT_EQ(fSite.CountRequests("/b.rss"), 2u);
    EXPECT_EQ(fSite.CountRequests("/c.rss"), 2u);
    EXPECT_EQ(fSite.CountRequests("/manual.rss"), 0u);
    // The second fetch asks with the cache file's date and finds nothing new.
    EXPECT_NE(fSite.RequestsFor("/c.rss")[1].find("If-Modified-Since: "), std::string::npos);
    EXPECT_EQ(HeadlinesOf(Find("C")), Items("/c.rss", 2));
}

TEST_F(RefreshCycle, ShiftHeldShowsDueFeedsFromTheirCachesWithoutFetching)
{
    WriteSubscriptions({{"Timed", fSite.URL("/timed.rss")}, {"Launch", fSite.URL("/launch.rss"), kCheckAtLaunch}});
    WriteCache(fSite.URL("/timed.rss"), RssDocument("Timed", {"Timed cached"}));
    WriteCache(fSite.URL("/launch.rss"), RssDocument("Launch", {"Launch cached"}));
    fSite.ServeDocument("/timed.rss", RssDocument("Timed", {"Timed fresh"}));
    SetShiftKeyReader([] { return true; });

    Open();
    EXPECT_EQ(HeadlinesOf(Find("Timed")), (std::vector<std::string>{"Timed cached"}));
    EXPECT_EQ(HeadlinesOf(Find("Launch")), (std::vector<std::string>{"Launch cached"}));
    TickAfter(0);
    for (int minute = 0; minute < 10; ++minute)
        TickAfter(kOneMinuteTicks);
    EXPECT_EQ(fSite.CountRequests("/timed.rss"), 0u);
    TickAfter(kOneMinuteTicks);
    EXPECT_EQ(fSite.CountRequests("/timed.rss"), 1u);
    EXPECT_EQ(fSite.CountRequests("/launch.rss"), 0u); // at-launch feeds wait for a refresh command

    fStaff->subscriptionID = Find("Launch")->sid;
    RefreshSubscription(nullptr);
    EXPECT_EQ(fStaff->interval, 0u);
    TickAfter(0);
    EXPECT_EQ(fSite.CountRequests("/launch.rss"), 1u);
}

/* ---- How fetches end ---- */

TEST_F(RefreshCycle, FailuresEndInAccessErrorsAfterTheirAttempts)
{
    fSite.Serve("/busy.rss", [](TestExchange& e) { e.SendAndClose("HTTP/1.0 503 Service Unavailable\r\n\r\n"); });
    fSite.Serve("/stall.rss", [](TestExchange&) {});
    for (int hop = 1; hop <= 3; ++hop) {
        std::string target = "/loop" + std::to_string(hop + 1) + ".rss";
        fSite.Serve("/loop" + std::to_string(hop) + ".rss", [target](TestExchange& e) {
            e.SendAndClose("HTTP/1.0 301 Moved\r\nLocation: " + target + "\r\n\r\n");
        });
    }
    fSite.Serve("/hop1.rss", [](TestExchange& e) { e.SendAndClose("HTTP/1.0 302 Found\r\nLocation: /hop2.rss\r\n\r\n"); });
    fSite.Serve("/hop2.rss", [](TestExchange& e) { e.SendAndClose("HTTP/1.0 302 Found\r\nLocation: hop3.rss\r\n\r\n"); });
    fSite.ServeDocument("/hop3.rss", RssDocument("Hops", {"Arrived"}));
    fSite.Serve("/closed.rss", [](TestExchange& e) {
        e.SendAndClose("HTTP/1.0 302 Found\r\nLocation: http://elsewhere.example/status02.html\r\n\r\n");
    });
    fSite.Serve("/local.rss", [](TestExchange& e) { e.SendAndClose("HTTP/1.0 301 Moved\r\nLocation: file:///etc/passwd\r\n\r\n"); });
    WriteSubscriptions({{"Busy", fSite.URL("/busy.rss"), kCheckManual},
                        {"Stall", fSite.URL("/stall.rss"), kCheckManual},
                        {"Loop", fSite.URL("/loop1.rss"), kCheckManual},
                        {"Hops", fSite.URL("/hop1.rss"), kCheckManual},
                        {"Closed", fSite.URL("/closed.rss"), kCheckManual},
                        {"Local", fSite.URL("/local.rss"), kCheckManual}});
    Open();
    fStaff->subscriptionID = Find("Busy")->sid;

    EXPECT_EQ(Fetch("Busy"), kHttpUnavailableErr);
    EXPECT_EQ(fSite.CountRequests("/busy.rss"), 15u);
    EXPECT_EQ(Fetch("Stall", kPastTimeoutTicks), kHttpTimeoutErr);
    EXPECT_EQ(fSite.CountRequests("/stall.rss"), 3u);
    EXPECT_EQ(Fetch("Loop"), kHttpMovedErr); // two redirects followed, the third refused
    EXPECT_EQ(fSite.CountRequests("/loop3.rss"), 1u);
    EXPECT_EQ(fSite.CountRequests("/loop4.rss"), 0u);
    EXPECT_EQ(Fetch("Hops"), kNoErr);
    EXPECT_EQ(HeadlinesOf(Find("Hops")), (std::vector<std::string>{"Arrived"}));
    EXPECT_EQ(Find("Hops")->accessURL.view(), fSite.URL("/hop1.rss")); // redirects never change the address
    EXPECT_EQ(Fetch("Hops"), kNoErr);
    EXPECT_EQ(fSite.CountRequests("/hop1.rss"), 2u); // the next fetch starts from the old address again
    EXPECT_EQ(Fetch("Closed"), kRefreshRestrictedErr);
    EXPECT_EQ(Fetch("Local"), kHttpMovedErr);
    EXPECT_EQ(fSite.CountRequests("/local.rss"), 1u);

    for (const char* name : {"Busy", "Stall", "Loop", "Closed"}) {
        EXPECT_EQ(Find(name)->accessState, kAccessStateDone) << name;
        EXPECT_EQ(Find(name)->thread, 0u) << name;
    }
    EXPECT_TRUE(fStaff->statusStack.empty());
    IdleEventLoop(fStaff); // the failure of the current subscription is drawn on the next tick
    EXPECT_EQ(fDrawn.preDescriptions, (std::vector<uint32_t>{Find("Busy")->sid}));
}

TEST_F(RefreshCycle, BadDocumentsLeaveTheNewsAsTheyWere)
{
    std::string answer = OkResponse(RssDocument("Good", {"Kept one", "Kept two"}));
    fSite.Serve("/feed.rss", [&answer](TestExchange& e) { e.SendAndClose(answer); });
    fSite.Serve("/huge.rss", [](TestExchange& e) {
        e.Send("HTTP/1.0 200 OK\r\n\r\n");
        e.Stream(50u << 20);
    });
    WriteSubscriptions({{"Feed", fSite.URL("/feed.rss"), kCheckManual}, {"Huge", fSite.URL("/huge.rss"), kCheckManual}});
    Open();
    ASSERT_EQ(Fetch("Feed"), kNoErr);
    const std::vector<std::string> kept = {"Kept one", "Kept two"};
    ASSERT_EQ(HeadlinesOf(Find("Feed")), kept);

    struct Case {
        const char* what;
        std::string response;
    } const cases[] = {
        {"HTML", OkResponse("<!DOCTYPE html><html><head><title>Oops</title></head><body>gone</body></html>")},
        {"empty body", OkResponse("")},
        {"garbage", OkResponse(std::string("\x01\xFF", 2) + std::string(1, '\0') + "<<>>&&; not xml")},
        {"channel without items", OkResponse("<?xml version=\"1.0\"?><rss><channel><title>T</title></channel></rss>")},
    };
    for (const Case& c : cases) {
        answer = c.response;
        EXPECT_LT(Fetch("Feed"), 0) << c.what;
        EXPECT_EQ(HeadlinesOf(Find("Feed")), kept) << c.what;
        EXPECT_EQ(Find("Feed")->news, nullptr) << c.what;
    }
    EXPECT_LT(Fetch("Huge"), 0);
    EXPECT_TRUE(HeadlinesOf(Find("Huge")).empty());
}

TEST_F(RefreshCycle, OpmlListBecomesAFolderOfItsFeeds)
{
    const std::string list = "<?xml version=\"1.0\"?>\n<opml version=\"1.1\"><head><title>Friends</title></head><body>\n"
                             "<outline text=\"One\" type=\"rss\" period=\"2\" xmlUrl=\"" + fSite.URL("/one.rss") + "\"/>\n"
                             "<outline text=\"Two\" type=\"rss\" xmlUrl=\"" + fSite.URL("/two.rss") + "\"/>\n"
                             "</body></opml>\n";
    fSite.ServeDocument("/list.opml", list);
    fSite.ServeDocument("/one.rss", RssDocument("One", {"From one"}));
    WriteSubscriptions({{"List", fSite.URL("/list.opml"), kCheckManual}});
    Open();
    uint32_t listID = Find("List")->sid;

    Fetch("List");
    EXPECT_EQ(Find("List"), nullptr);
    EXPECT_NE(std::find(fDrawn.removed.begin(), fDrawn.removed.end(), listID), fDrawn.removed.end());
    SubscriptionList* folder = Find("Friends");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->siteType, kSiteTypeGroup);
    ASSERT_NE(folder->child, nullptr);
    EXPECT_EQ(folder->child->name.view(), "One");
    EXPECT_EQ(folder->child->checkType, kCheckEvery10Min);
    EXPECT_EQ(folder->child->parent, folder);
    EXPECT_EQ(folder->child->next->name.view(), "Two");
    EXPECT_GT(folder->child->orderID, folder->orderID);
    std::filesystem::path cache;
    ASSERT_EQ(GetRdfCacheFile(fSite.URL("/list.opml"), cache), kNoErr);
    EXPECT_FALSE(IsExistFile(cache));

    // The new feeds are due at once.
    TickAfter(0);
    EXPECT_EQ(HeadlinesOf(Find("One")), (std::vector<std::string>{"From one"}));
}

TEST_F(RefreshCycle, ResetDropsIfModifiedSinceAndLooksForTheIconAgain)
{
    fSite.ServeDocument("/feed.rss", RssDocument("Dated", {"Item"}, fSite.URL("/")),
                        "Last-Modified: Mon, 15 Jan 2024 12:30:00 GMT\r\n");
    fSite.ServeDocument("/favicon.ico", "icon", "Content-Type: image/x-icon\r\n");
    WriteSubscriptions({{"Dated", fSite.URL("/feed.rss"), kCheckManual}});
    Open();
    ASSERT_EQ(Fetch("Dated"), kNoErr);
    EXPECT_EQ(Find("Dated")->iconURL.view(), fSite.URL("/favicon.ico"));
    ASSERT_EQ(Fetch("Dated"), kNoErr);
    EXPECT_EQ(fSite.CountRequests("/favicon.ico"), 1u);
    std::vector<std::string> requests = fSite.RequestsFor("/feed.rss");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].find("If-Modified-Since"), std::string::npos);
    EXPECT_NE(requests[1].find("If-Modified-Since: Mon, 15 Jan 2024 12:30:00 GMT"), std::string::npos);

    fStaff->subscriptionID = Find("Dated")->sid;
    ResetOneSubscription(nullptr);
    EXPECT_EQ(Find("Dated")->prevCheckTime, 0u);
    EXPECT_TRUE(Find("Dated")->iconURL.empty());
    TickAfter(0);
    requests = fSite.RequestsFor("/feed.rss");
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].find("If-Modified-Since"), std::string::npos);
    EXPECT_EQ(fSite.CountRequests("/favicon.ico"), 2u);
    EXPECT_EQ(HeadlinesOf(Find("Dated")), (std::vector<std::string>{"Item"}));
}

/* ---- State across runs ---- */

TEST_F(RefreshCycle, ReadAndPermanentMarksSurviveARestart)
{
    fSite.ServeDocument("/feed.rss", RssDocument("Marks", {"Read me", "Keep me", "Leave me"}));
    WriteSubscriptions({{"Marks", fSite.URL("/feed.rss"), kCheckManual}});
    Open();
    ASSERT_EQ(Fetch("Marks"), kNoErr);
    for (NewsList* item = fStaff->news; item; item = item->next) {
        if (item->headline == "Read me")
            item->flags |= kNewsFlagRead;
        if (item->headline == "Keep me")
            item->flags |= kNewsFlagPermanent;
    }
    Close();

    Open();
    ASSERT_EQ(Fetch("Marks"), kNoErr);
    std::vector<std::string> headlines = HeadlinesOf(Find("Marks"));
    std::sort(headlines.begin(), headlines.end());
    EXPECT_EQ(headlines, (std::vector<std::string>{"Keep me", "Leave me", "Read me"})); // each once
    // Permanent items come back read, from their own file.
    for (const NewsList* item = fStaff->news; item; item = item->next) {
        EXPECT_EQ(bool(item->flags & kNewsFlagRead), item->headline != "Leave me") << item->headline.str();
        EXPECT_EQ(bool(item->flags & kNewsFlagPermanent), item->headline == "Keep me") << item->headline.str();
    }
}

TEST_F(RefreshCycle, AFeedThatFailsItsFirstFetchKeepsItsHistory)
{
    fSite.ServeDocument("/feed.rss", "<html><body>maintenance</body></html>");
    WriteSubscriptions({{"Down", fSite.URL("/feed.rss"), kCheckManual}});
    std::filesystem::path history = GetHistoryFile("Down");
    const std::string line = "1\t2\t-1094967296\tOld read item\thttp://127.0.0.1/item/0\n";
    ASSERT_EQ(PutDataToFile(history, line), kNoErr);
    Open();
    EXPECT_LT(Fetch("Down"), 0);
    Close();
    EXPECT_EQ(GetDataFromFile(history), line);
}

/* ---- Downloads and the model ---- */

TEST_F(RefreshCycle, NoDownloadTouchesASubscriptionThatIsGone)
{
    fSite.Serve("/stall.rss", [](TestExchange&) {});
    WriteSubscriptions({{"Stall", fSite.URL("/stall.rss"), kCheckManual}});
    Open();
    uint32_t sid = Find("Stall")->sid;
    ASSERT_EQ(GetNewsFromRssSite(*Find("Stall")), kNoErr);
    EXPECT_EQ(GetNewsFromRssSite(*Find("Stall")), kGenericErr); // one download per feed
    ASSERT_TRUE(SpinUntil([this] { return fSite.CountRequests("/stall.rss") == 1; }, 5000));
    EXPECT_EQ(RemoveSubscriptionViewerWindow(nullptr, sid), kGenericErr);
    EXPECT_NE(Find("Stall"), nullptr);

    // Quit while it waits: the task finds the viewer gone and ends quietly.
    Close();
    WaitForDownloads(kPastTimeoutTicks);
    EXPECT_EQ(CountRunningThreads(), 0u);
}

TEST_F(RefreshCycle, URLServicePathFetchesRssAndGivesUpAfterItsLimit)
{
    ChooseRefreshDownloadMethod(RefreshDownloadMethod::kURLService);
    fSite.ServeDocument("/feed.rss", RssDocument("Service", {"Through the service"}));
    fSite.Serve("/stall.rss", [](TestExchange&) {});
    WriteSubscriptions({{"Service", fSite.URL("/feed.rss"), kCheckManual},
                        {"Stall", fSite.URL("/stall.rss"), kCheckManual}});
    Open();
    EXPECT_EQ(Fetch("Service"), kNoErr);
    EXPECT_EQ(HeadlinesOf(Find("Service")), (std::vector<std::string>{"Through the service"}));
    EXPECT_EQ(Fetch("Stall", kURLServiceLimitTicks / 2), kURLDownloadAbortedErr);
    EXPECT_EQ(fSite.CountRequests("/stall.rss"), kURLServiceAttempts);
}

} // namespace
