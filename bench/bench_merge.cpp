// Measures the news state merge against a heavy user's global list: 100,000
// items under 500 subscriptions, and a 50-item feed whose items are all
// known, registered the way a parser registers them, with ten keyword
// filters loaded. Times it with the headline index and with the plain walk
// of the list, and what keeping the index costs (a rebuild, an append).
#include "feeds/NewsState.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "ticker/Filters.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kSubscriptionCount = 500;
constexpr int kItemsPerSubscription = 200;
constexpr int kFeedItems = 50;
constexpr double kGoalMilliseconds = 2.0;
constexpr uint32_t kFirstItemTime = 3'800'000'000u; // 2024, in seconds since 1904
constexpr uint32_t kSecondsPerItem = 600;

const char* const kWords[] = {"market", "council", "weather", "research", "release", "update",
                              "report", "season",  "energy",  "budget",   "museum",  "railway",
                              "station", "harbour", "library", "festival", "science", "election"};

const char kFilters[] = "solar eclipse\tGlass\tTwinkle\n"
                        "railway strike\tBasso\tNone\n"
                        "budget vote\tNone\tGrowl\n"
                        "museum reopens\tNone\tBlink\n"
                        "harbour fire\tSosumi\tRising\n"
                        "library closure\tNone\tNone\n"
                        "festival cancelled\tPing\tSparkle\n"
                        "election result\tGlass\tFlash\n"
                        "energy prices\tNone\tTwinkle\n"
                        "station flood\tBasso\tBlink\n";

std::string Headline(std::mt19937& random, int subscription, int item)
{
    std::string text;
    for (int word = 0; word < 6; ++word) {
        text += kWords[random() % std::size(kWords)];
        text += ' ';
    }
    return text + std::to_string(subscription) + "-" + std::to_string(item);
}

struct World {
    SubscriptionList* subscriptions = nullptr;
    SubscriptionList* feed = nullptr; // the subscription whose check is measured
    NewsList* global = nullptr;
    NewsStateIndex index;
    std::vector<NewsList> parsed;     // the feed's document, as the parser extracts it
};

World* MakeWorld()
{
    auto* world = new World;
    std::mt19937 random(42);
    std::vector<SubscriptionList*> nodes;
    for (int s = 0; s < kSubscriptionCount; ++s) {
        SubscriptionList node;
        node.siteType = kSiteTypeRSS;
        node.name = "Feed " + std::to_string(s);
        world->subscriptions = AddSubscriptionList(world->subscriptions, node);
    }
    for (SubscriptionList* node = world->subscriptions; node; node = node->next)
        nodes.push_back(node);

    uint32_t time = kFirstItemTime;
    for (int s = 0; s < kSubscriptionCount; ++s) {
        NewsList* chain = nullptr;
        NewsList* tail = nullptr;
        for (int i = 0; i < kItemsPerSubscription; ++i) {
            NewsList news;
            news.type = kNewsTypeFeed;
            news.parent = nodes[s];
            news.headline = Headline(random, s, i);
            news.headlineRef = news.headline.view();
            news.descriptionRef = "A paragraph of plain text about the story, as the parser makes it.";
            news.linkURL = "https://news" + std::to_string(s) + ".example/story/" + std::to_string(i);
            news.dateTime = time += kSecondsPerItem;
            news.flags = (i % 3 == 0) ? kNewsFlagRead : 0;
            NewsList* item = AddNewsList(nullptr, news);
            (tail ? tail->next : chain) = item;
            tail = item;
        }
        world->global = AppendIndexedNewsList(world->index, world->global, chain);
    }

    // The last subscription's newest items: the walk's worst case.
    world->feed = nodes.back();
    world->feed->flags |= kSubscriptionFlagFetched;
    world->feed->history = world->global;
    const NewsList* known = world->global;
    for (int skip = 0; skip < kSubscriptionCount * kItemsPerSubscription - kFeedItems; ++skip)
        known = known->next;
    for (; known; known = known->next) {
        NewsList news;
        news.headline = known->headline.view();
        news.linkURL = known->linkURL.view();
        news.dateTime = known->dateTime;
        news.description = "<p>A paragraph of plain text about the story, as the parser makes it.</p>";
        world->parsed.push_back(std::move(news));
    }
    SetNewsFilterList(ReadFilterList(kFilters));
    SetHotNewsAnnouncer([](NewsList&) {});
    return world;
}

World& TheWorld()
{
    static World* world = MakeWorld();
    return *world;
}

int RegisterFeed(World& world)
{
    int added = 0;
    for (NewsList& news : world.parsed) {
        NewsRegistration result = RegisterNewsState(*world.feed, news, "UTF-8", kCFStringEncodingUTF8,
                                                    "A paragraph of plain text about the story.");
        added += result == NewsRegistration::kAdded;
    }
    return added;
}

void BM_RegisterKnownFeedIndexed(benchmark::State& state)
{
    World& world = TheWorld();
    SetNewsStateIndex(&world.index);
    int added = 0;
    for (auto _ : state)
        added += RegisterFeed(world);
    if (added != 0)
        state.SkipWithError("a known item was registered as new");
}
BENCHMARK(BM_RegisterKnownFeedIndexed)->Unit(benchmark::kMicrosecond);

void BM_RegisterKnownFeedWalked(benchmark::State& state)
{
    World& world = TheWorld();
    SetNewsStateIndex(nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(RegisterFeed(world));
    SetNewsStateIndex(&world.index);
}
BENCHMARK(BM_RegisterKnownFeedWalked)->Unit(benchmark::kMillisecond);

void BM_RebuildIndex(benchmark::State& state)
{
    World& world = TheWorld();
    NewsStateIndex index;
    for (auto _ : state)
        index.Rebuild(world.global);
    benchmark::DoNotOptimize(index.size());
}
BENCHMARK(BM_RebuildIndex)->Unit(benchmark::kMillisecond);

// One check's new items joining the global list: append 50, then take them
// out again so that every round starts from the same list.
void BM_AppendAndRemoveFiftyIndexed(benchmark::State& state)
{
    World& world = TheWorld();
    SubscriptionList extra;
    extra.siteType = kSiteTypeRSS;
    for (auto _ : state) {
        NewsList* chain = nullptr;
        for (int i = 0; i < kFeedItems; ++i) {
            NewsList news;
            news.parent = &extra;
            news.headline = "extra " + std::to_string(i);
            chain = AddNewsList(chain, news);
        }
        world.global = AppendIndexedNewsList(world.index, world.global, chain);
        world.global = RemoveIndexedNewsByParent(world.index, world.global, &extra);
    }
    world.feed->history = world.global;
}
BENCHMARK(BM_AppendAndRemoveFiftyIndexed)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();

    // The goal, measured directly so that the figure is printed plainly.
    World& world = TheWorld();
    SetNewsStateIndex(&world.index);
    constexpr int kRounds = 200;
    auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round)
        RegisterFeed(world);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / kRounds;
    std::printf("Registering a %d-item known feed against %d items: %.3f ms (goal < %.1f ms): %s\n", kFeedItems,
                kSubscriptionCount * kItemsPerSubscription, ms, kGoalMilliseconds,
                ms < kGoalMilliseconds ? "met" : "NOT met");
    benchmark::Shutdown();
    return 0;
}
