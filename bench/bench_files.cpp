// Times what the viewer does with its files at every auto-save, at launch
// and at quit, at the size a heavy user reaches: 500 subscriptions (20 groups
// of 20 feeds and 100 feeds at the top level) whose 100,000 news items make
// 100,000 history lines. "Save" writes the subscriptions file and every
// history file; "load" reads them back into a fresh tree. The files go to a
// scratch folder on the same disk as the user's home, and are synced as the
// program syncs them.
#include "model/HistoryFiles.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "model/SubscriptionsFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kGroupCount = 20;
constexpr int kFeedsPerGroup = 20;
constexpr int kTopLevelFeeds = 100;
constexpr int kSubscriptionCount = kGroupCount * kFeedsPerGroup + kTopLevelFeeds;
constexpr int kItemsPerSubscription = 200;
constexpr int kItemCount = kSubscriptionCount * kItemsPerSubscription;
constexpr double kGoalMilliseconds = 150;
constexpr uint32_t kFirstItemTime = 3'800'000'000u; // 2024, in seconds since 1904
constexpr uint32_t kItemTimeSpread = 30 * 86400;
constexpr size_t kHeadlineBytes = 70;
constexpr size_t kLinkBytes = 90;
constexpr size_t kDescriptionBytes = 300;
constexpr size_t kChangedFeedStride = 20; // one feed in twenty changes between auto-saves

const char* const kWords[] = {"market", "council", "weather", "research", "release", "update",
                              "report", "season",  "energy",  "budget",   "museum",  "railway",
                              "station", "harbour", "library", "festival", "science", "election"};

std::mt19937 gRandom(20240517);

std::string Words(size_t bytes)
{
    std::string text;
    while (text.size() < bytes) {
        if (!text.empty())
            text += ' ';
        text += kWords[gRandom() % std::size(kWords)];
    }
    text.resize(bytes);
    return text;
}

std::string Link(const std::string& site, size_t bytes)
{
    std::string link = "https://www." + site + ".example/2024/05/";
    while (link.size() < bytes)
        link += std::string(kWords[gRandom() % std::size(kWords)]) + '-';
    link.resize(bytes);
    return link + ".html";
}

struct Model {
    fs::path folder;
    fs::path subscriptionsFile;
    fs::path historyFolder;
    SubscriptionList* tree = nullptr;
    NewsList* news = nullptr;
};

Model gModel;

SubscriptionList* AddFeed(SubscriptionList*& chain, SubscriptionList* parent, int number, uint32_t& order)
{
    std::string site = "site" + std::to_string(number);
    SubscriptionList feed;
    feed.siteType = kSiteTypeRSS;
    feed.checkType = kCheckEveryHour;
    feed.name = "Feed " + std::to_string(number) + ": " + Words(20);
    feed.accessURL = "https://www." + site + ".example/rss.xml";
    feed.homeURL = "https://www." + site + ".example/";
    feed.iconURL = "https://www." + site + ".example/favicon.ico";
    feed.description = Words(kDescriptionBytes);
    feed.termDays = 7.0f;
    feed.orderID = ++order;
    feed.parent = parent;
    // The fetched flag makes every history file come from the global list,
    // as after a run in which every feed was checked.
    feed.flags = kSubscriptionFlagFetched;
    chain = AddSubscriptionList(chain, feed);
    return FindSubscriptionByID(chain, feed.sid);
}

NewsList* MakeFeedNews(SubscriptionList* feed, int number)
{
    std::string site = "site" + std::to_string(number);
    NewsList* chain = nullptr;
    for (int i = 0; i < kItemsPerSubscription; ++i) {
        NewsList item;
        item.type = kNewsTypeFeed;
        item.flags = kNewsFlagOld | ((gRandom() % 3 == 0) ? kNewsFlagRead : 0);
        item.headline = Words(kHeadlineBytes);
        item.linkURL = Link(site, kLinkBytes);
        item.dateTime = kFirstItemTime + gRandom() % kItemTimeSpread;
        item.parent = feed;
        chain = AddNewsList(chain, item);
    }
    return chain;
}

void BuildModel()
{
    char pattern[] = "/var/tmp/varnoke-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    gModel.folder = pattern;
    gModel.subscriptionsFile = gModel.folder / kSubscriptionsFileName;
    gModel.historyFolder = gModel.folder / "history";
    fs::create_directory(gModel.historyFolder);

    uint32_t order = 0;
    int number = 0;
    std::vector<SubscriptionList*> feeds;
    for (int g = 0; g < kGroupCount; ++g) {
        SubscriptionList group;
        group.siteType = kSiteTypeGroup;
        group.name = "Group " + std::to_string(g);
        group.orderID = ++order;
        gModel.tree = AddSubscriptionList(gModel.tree, group);
        SubscriptionList* node = FindSubscriptionByID(gModel.tree, group.sid);
        for (int f = 0; f < kFeedsPerGroup; ++f)
            feeds.push_back(AddFeed(node->child, node, ++number, order));
    }
    for (int f = 0; f < kTopLevelFeeds; ++f)
        feeds.push_back(AddFeed(gModel.tree, nullptr, ++number, order));
    number = 0;
    for (SubscriptionList* feed : feeds)
        gModel.news = AppendNewsList(gModel.news, MakeFeedNews(feed, ++number));
    std::printf("files: %u subscriptions, %u history lines, in %s\n", CountSubscriptions(gModel.tree),
                CountNews(gModel.news), gModel.folder.c_str());
}

void EnsureModel()
{
    if (!gModel.tree)
        BuildModel();
}

void ReportGoal(benchmark::State& state)
{
    state.counters["goal_ms"] = kGoalMilliseconds;
}

OSStatus SaveAll()
{
    OSStatus status = SaveSubscriptionsToFile(gModel.tree, gModel.subscriptionsFile);
    OSStatus historyStatus = SaveHistoryToFiles(gModel.tree, gModel.news, gModel.historyFolder);
    return status != kNoErr ? status : historyStatus;
}

// Frees a loaded tree with the history lists the load gave it.
void DisposeLoadedTree(SubscriptionList* tree)
{
    for (SubscriptionList* node = tree; node; node = node->next) {
        DisposeNewsList(node->history);
        for (SubscriptionList* member = node->child; member; member = member->next)
            DisposeNewsList(member->history);
    }
    DisposeSubscriptionList(tree);
}

// The subscriptions file and all 500 history files, every history file new:
// the first save, or a save after all of them were deleted.
void BM_SaveAllNew(benchmark::State& state)
{
    EnsureModel();
    for (auto _ : state) {
        state.PauseTiming();
        DeleteHistoryFiles(gModel.historyFolder);
        state.ResumeTiming();
        if (SaveAll() != kNoErr)
            state.SkipWithError("save failed");
    }
    ReportGoal(state);
}
BENCHMARK(BM_SaveAllNew)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// An auto-save after a check cycle: one feed in twenty has a changed line.
void BM_SaveAllFewChanged(benchmark::State& state)
{
    EnsureModel();
    SaveAll();
    std::vector<NewsList*> firstItems;
    const SubscriptionList* previous = nullptr;
    for (NewsList* item = gModel.news; item; item = item->next) {
        if (item->parent != previous)
            firstItems.push_back(item);
        previous = item->parent;
    }
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t i = 0; i < firstItems.size(); i += kChangedFeedStride)
            firstItems[i]->flags ^= kNewsFlagRead;
        state.ResumeTiming();
        if (SaveAll() != kNoErr)
            state.SkipWithError("save failed");
    }
    ReportGoal(state);
}
BENCHMARK(BM_SaveAllFewChanged)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// An auto-save with nothing new.
void BM_SaveAllUnchanged(benchmark::State& state)
{
    EnsureModel();
    SaveAll();
    for (auto _ : state) {
        if (SaveAll() != kNoErr)
            state.SkipWithError("save failed");
    }
    ReportGoal(state);
}
BENCHMARK(BM_SaveAllUnchanged)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The tree from the subscriptions file, then each feed's history list.
void BM_LoadAll(benchmark::State& state)
{
    EnsureModel();
    if (SaveAll() != kNoErr)
        state.SkipWithError("save failed");
    uint32_t lines = 0;
    for (auto _ : state) {
        SubscriptionList* tree = LoadSubscriptionsFromFile(gModel.subscriptionsFile, "");
        LoadHistoryFromFiles(tree, gModel.historyFolder);
        state.PauseTiming();
        lines = 0;
        for (SubscriptionList* node = tree; node; node = node->next) {
            lines += CountNews(node->history);
            for (SubscriptionList* member = node->child; member; member = member->next)
                lines += CountNews(member->history);
        }
        DisposeLoadedTree(tree);
        state.ResumeTiming();
    }
    if (lines != uint32_t(kItemCount))
        state.SkipWithError("the history did not load whole");
    state.counters["lines"] = lines;
    ReportGoal(state);
}
BENCHMARK(BM_LoadAll)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The parts, to see where the time goes.
void BM_SaveSubscriptionsToFile(benchmark::State& state)
{
    EnsureModel();
    for (auto _ : state)
        benchmark::DoNotOptimize(SaveSubscriptionsToFile(gModel.tree, gModel.subscriptionsFile));
}
BENCHMARK(BM_SaveSubscriptionsToFile)->Unit(benchmark::kMillisecond);

void BM_LoadSubscriptionsFromFile(benchmark::State& state)
{
    EnsureModel();
    SaveSubscriptionsToFile(gModel.tree, gModel.subscriptionsFile);
    for (auto _ : state)
        DisposeSubscriptionList(LoadSubscriptionsFromFile(gModel.subscriptionsFile, ""));
}
BENCHMARK(BM_LoadSubscriptionsFromFile)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!gModel.folder.empty()) {
        std::error_code error;
        fs::remove_all(gModel.folder, error);
    }
    DisposeNewsList(gModel.news);
    DisposeSubscriptionList(gModel.tree);
    return 0;
}
