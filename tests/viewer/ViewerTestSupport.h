// Fixtures of the viewer tests: a scratch home for the XDG folders with a
// subscriptions file written by the test, the test clock, the viewer core
// opened with a presenter that records what it was asked to draw, and a
// local site of feed documents whose every path the test scripts.
#pragma once

#include "NetTestSupport.h"

#include "model/SubscriptionList.h"
#include "platform/Clock.h"
#include "viewer/ViewerOperations.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

constexpr uint32_t kTestStartTicks = 1000;
constexpr uint32_t kTestStartDate = 3'900'000'000u;

/* ---- A site of feeds ---- */

class FeedSite {
public:
    using Handler = std::function<void(TestExchange&)>;

    FeedSite();
    // Answers requests for `path` (the query included) with `handler`;
    // unknown paths get 404.
    void Serve(const std::string& path, Handler handler);
    // Answers 200 with `body` and the header `fields`.
    void ServeDocument(const std::string& path, std::string body, std::string fields = "");

    std::string URL(std::string_view path) const { return fServer.URL(path); }
    // The requests for `path` in order, and the tick count when each came.
    std::vector<std::string> RequestsFor(std::string_view path) const;
    std::vector<uint32_t> TicksFor(std::string_view path) const;
    size_t CountRequests(std::string_view path) const { return RequestsFor(path).size(); }

private:
    struct Record {
        std::string path;
        std::string request;
        uint32_t ticks = 0;
    };
    void Dispatch(TestExchange& exchange);

    std::map<std::string, Handler> fHandlers;
    std::vector<Record> fRecords;
    TestServer fServer;
};

// An RSS 2.0 document titled `title` with one item per headline (link
// "<home>item/<n>", a description and a fixed date).
std::string RssDocument(std::string_view title, const std::vector<std::string>& headlines,
                        std::string_view home = "http://127.0.0.1/");

/* ---- What the viewer was asked to draw ---- */

struct PresenterLog {
    std::map<uint32_t, uint32_t> newHeadlines; // sid -> items moved in, summed
    std::vector<uint32_t> added;
    std::vector<uint32_t> removed;
    std::vector<uint32_t> preDescriptions;
    std::vector<std::string> tickerHeadlines;
};

class RecordingPresenter : public LoggingViewerPresenter {
public:
    explicit RecordingPresenter(PresenterLog& log) : fLog(log) {}
    void DrawSubscriptionAdded(const SubscriptionList& subscription) override;
    void DrawSubscriptionRemoved(uint32_t sid) override;
    void DrawNewHeadlines(const SubscriptionList& subscription, uint32_t count) override;
    void DrawPreDescription(const SubscriptionList& subscription) override;
    void QueueNewsOnTicker(const NewsList& news, std::string_view sourceName) override;

private:
    PresenterLog& fLog;
};

/* ---- The viewer core in a scratch home ---- */

struct FeedEntry {
    std::string name;
    std::string url;
    CheckType checkType = kCheckEvery10Min;
};

class ViewerCoreTest : public testing::Test {
protected:
    ViewerCoreTest();
    void TearDown() override;

    // Writes the user's subscriptions file: the feeds at top level, in order.
    void WriteSubscriptions(const std::vector<FeedEntry>& feeds);
    // Puts `document` in the cache file of `url`, dated `date` (0: now).
    void WriteCache(std::string_view url, std::string_view document, uint32_t date = 0);

    NVWStaff* Open();
    void Close();

    SubscriptionList* Find(std::string_view name) const;
    // Starts the feed's download and turns the event loop until no feed
    // download runs, moving the test clock `ticksPerSlice` forward every few
    // milliseconds (to pass the client's time-outs). Returns `accessErrors`.
    int32_t Fetch(std::string_view name, uint32_t ticksPerSlice = 0);
    // Turns the event loop until no feed download runs.
    void WaitForDownloads(uint32_t ticksPerSlice = 0);
    // One idle tick after moving the clock forward `ticks`, then the
    // downloads it started run to their end.
    void TickAfter(uint32_t ticks);

    std::vector<std::string> HeadlinesOf(const SubscriptionList* subscription) const;

    ScratchFolder fHome;
    ScopedVariable fConfig{"XDG_CONFIG_HOME", (fHome / "config").string()};
    ScopedVariable fData{"XDG_DATA_HOME", (fHome / "data").string()};
    ScopedVariable fCache{"XDG_CACHE_HOME", (fHome / "cache").string()};
    TestClockGuard fClock{kTestStartTicks, kTestStartDate};
    PresenterLog fDrawn;
    NVWStaff* fStaff = nullptr;
    FeedSite fSite;
};
