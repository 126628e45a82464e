// The viewer tests' fixtures: the feed site, the recording presenter and the
// viewer core in a scratch home.
#include "ViewerTestSupport.h"

#include "feeds/RefreshCycle.h"
#include "feeds/RefreshSchedule.h"
#include "model/SubscriptionsFile.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Tasks.h"
#include "ticker/Filters.h"
#include "viewer/ViewerIdle.h"

#include <cstdio>
#include <cstdlib>

constexpr int kDownloadDeadlineMs = 15000;
constexpr int kSliceMs = 20;

/* ---- A site of feeds ---- */

FeedSite::FeedSite() : fServer([this](TestExchange& exchange) { Dispatch(exchange); }) {}

void FeedSite::Serve(const std::string& path, Handler handler)
{
    fHandlers[path] = std::move(handler);
}

void FeedSite::ServeDocument(const std::string& path, std::string body, std::string fields)
{
    Serve(path, [body, fields](TestExchange& exchange) { exchange.SendAndClose(OkResponse(body, fields)); });
}

void FeedSite::Dispatch(TestExchange& exchange)
{
    const std::string& request = exchange.Request();
    size_t start = request.find(' ');
    size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
    std::string path = end == std::string::npos ? "" : request.substr(start + 1, end - start - 1);
    fRecords.push_back({path, request, TickCount()});
    auto handler = fHandlers.find(path);
    if (handler == fHandlers.end()) {
        exchange.SendAndClose("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>no</html>");
        return;
    }
    handler->second(exchange);
}

std::vector<std::string> FeedSite::RequestsFor(std::string_view path) const
{
    std::vector<std::string> requests;
    for (const Record& record : fRecords)
        if (record.path == path)
            requests.push_back(record.request);
    return requests;
}

std::vector<uint32_t> FeedSite::TicksFor(std::string_view path) const
{
    std::vector<uint32_t> ticks;
    for (const Record& record : fRecords)
        if (record.path == path)
            ticks.push_back(record.ticks);
    return ticks;
}

std::string RssDocument(std::string_view title, const std::vector<std::string>& headlines, std::string_view home)
{
    std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>" +
                           std::string(title) + "</title><link>" + std::string(home) +
                           "</link><description>Test feed</description>\n";
    for (size_t number = 0; number < headlines.size(); ++number) {
        document += "<item><title>" + headlines[number] + "</title><link>" + std::string(home) + "item/" +
                    std::to_string(number) + "</link><description>About " + headlines[number] +
                    "</description><pubDate>Mon, 15 Jan 2024 12:30:00 GMT</pubDate></item>\n";
    }
    return document + "</channel></rss>\n";
}

/* ---- The recording presenter ---- */

void RecordingPresenter::DrawSubscriptionAdded(const SubscriptionList& subscription)
{
    fLog.added.push_back(subscription.sid);
}

void RecordingPresenter::DrawSubscriptionRemoved(uint32_t sid)
{
    fLog.removed.push_back(sid);
}

void RecordingPresenter::DrawNewHeadlines(const SubscriptionList& subscription, uint32_t count)
{
    fLog.newHeadlines[subscription.sid] += count;
}

void RecordingPresenter::DrawPreDescription(const SubscriptionList& subscription)
{
    fLog.preDescriptions.push_back(subscription.sid);
}

void RecordingPresenter::QueueNewsOnTicker(const NewsList& news, std::string_view)
{
    fLog.tickerHeadlines.push_back(news.headline.str());
}

/* ---- The viewer core in a scratch home ---- */

ViewerCoreTest::ViewerCoreTest()
{
    ChooseRefreshDownloadMethod(RefreshDownloadMethod::kConditionalGet);
    SetShiftKeyReader(nullptr);
}

void ViewerCoreTest::TearDown()
{
    Close();
    WaitForDownloads();
    SetNewsFilterList(nullptr);
    SetShiftKeyReader(nullptr);
}

void ViewerCoreTest::WriteSubscriptions(const std::vector<FeedEntry>& feeds)
{
    SubscriptionList* tree = nullptr;
    uint32_t order = 0;
    for (const FeedEntry& feed : feeds) {
        SubscriptionList node;
        node.siteType = kSiteTypeRSS;
        node.name = feed.name;
        node.accessURL = feed.url;
        node.checkType = feed.checkType;
        node.orderID = ++order;
        tree = AddSubscriptionList(tree, node);
    }
    ASSERT_EQ(SaveSubscriptionsToFile(tree, GetSubscriptionsFile()), kNoErr);
    DisposeSubscriptionList(tree);
}

void ViewerCoreTest::WriteCache(std::string_view url, std::string_view document, uint32_t date)
{
    std::filesystem::path file;
    ASSERT_EQ(GetRdfCacheFile(url, file), kNoErr);
    ASSERT_EQ(PutDataToFile(file, document), kNoErr);
    if (date != 0) {
        ASSERT_EQ(FSpSetFileDate(file, date, date), kNoErr);
    }
}

NVWStaff* ViewerCoreTest::Open()
{
    fStaff = OpenNewsViewerCore(std::make_unique<RecordingPresenter>(fDrawn));
    return fStaff;
}

void ViewerCoreTest::Close()
{
    if (!fStaff)
        return;
    CloseNewsViewerCore();
    fStaff = nullptr;
}

SubscriptionList* ViewerCoreTest::Find(std::string_view name) const
{
    return fStaff ? FindSubscriptionByName(fStaff->subscriptions, name) : nullptr;
}

void ViewerCoreTest::WaitForDownloads(uint32_t ticksPerSlice)
{
    bool done = SpinUntil(
        [ticksPerSlice] {
            if (CountRunningRssThreads() == 0)
                return true;
            AdvanceTestClock(ticksPerSlice);
            return false;
        },
        kDownloadDeadlineMs);
    if (!done) {
        std::fprintf(stderr, "viewer tests: a download did not end within %d ms\n", kDownloadDeadlineMs);
        std::abort();
    }
    // The task's last step (the counter) comes before its frame is gone.
    SpinUntil([] { return CountRunningThreads() == 0; }, kSliceMs * 10);
}

int32_t ViewerCoreTest::Fetch(std::string_view name, uint32_t ticksPerSlice)
{
    SubscriptionList* feed = Find(name);
    if (!feed) {
        ADD_FAILURE() << "no subscription " << name;
        return 0;
    }
    uint32_t sid = feed->sid;
    EXPECT_EQ(GetNewsFromRssSite(*feed), kNoErr);
    WaitForDownloads(ticksPerSlice);
    SubscriptionList* after = fStaff ? FindSubscriptionByID(fStaff->subscriptions, sid) : nullptr;
    return after ? after->accessErrors : 0;
}

void ViewerCoreTest::TickAfter(uint32_t ticks)
{
    AdvanceTestClock(ticks);
    IdleEventLoop(fStaff);
    WaitForDownloads();
}

std::vector<std::string> ViewerCoreTest::HeadlinesOf(const SubscriptionList* subscription) const
{
    std::vector<std::string> headlines;
    if (!fStaff)
        return headlines;
    for (const NewsList* item = fStaff->news; item; item = item->next)
        if (item->parent == subscription)
            headlines.push_back(item->headline.str());
    return headlines;
}
