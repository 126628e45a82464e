// Measures the model at the size a heavy user reaches: 100,000 news items of
// realistic sizes under 500 subscriptions, built the way the refresh cycle
// builds them (each subscription's items in their own chain, then appended to
// the global list). Prints resident memory per item and times the per-row
// unread count the subscription pane asks for every subscription.
#include "model/NewsList.h"
#include "model/SubscriptionList.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSubscriptionCount = 500;
constexpr int kItemsPerSubscription = 200;
constexpr int kItemCount = kSubscriptionCount * kItemsPerSubscription;
constexpr size_t kHeadlineBytes = 60;
constexpr size_t kDescriptionBytes = 1024;
constexpr size_t kLinkBytes = 80;
constexpr double kMemoryGoalBytesPerItem = 2.5 * 1024;
constexpr uint32_t kSecondsPerDay = 86400;
constexpr uint32_t kFirstItemTime = 3'800'000'000u; // 2024, in seconds since 1904

const char* const kWords[] = {"market", "council", "weather", "research", "release", "update",
                              "report", "season",  "energy",  "budget",   "museum",  "railway",
                              "station", "harbour", "library", "festival", "science", "election"};

struct Model {
    SubscriptionList* subscriptions = nullptr;
    NewsList* news = nullptr;
    double bytesPerItem = 0;
    double textBytesPerItem = 0;
};

Model gModel;

size_t ResidentBytes()
{
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    unsigned long sizePages = 0;
    unsigned long residentPages = 0;
    if (std::fscanf(statm, "%lu %lu", &sizePages, &residentPages) != 2)
        residentPages = 0;
    std::fclose(statm);
    return residentPages * size_t(sysconf(_SC_PAGESIZE));
}

class TextMaker {
public:
    explicit TextMaker(unsigned seed) : random_(seed) {}

    // Words until about `bytes` long.
    std::string Words(size_t bytes)
    {
        std::string text;
        while (text.size() < bytes) {
            if (!text.empty())
                text += ' ';
            text += Word();
        }
        text.resize(bytes);
        return text;
    }

    // HTML paragraphs with a link and some emphasis, about `bytes` long, and
    // the same text with the markup taken out.
    std::pair<std::string, std::string> Description(size_t bytes)
    {
        std::string html;
        std::string plain;
        while (html.size() < bytes) {
            std::string sentence = Words(40 + random_() % 80) + ". ";
            std::string word = Word();
            html += "<p>" + sentence + "<a href=\"https://news.example.org/topic/" + word + "\">" + word +
                    "</a> <b>" + Word() + "</b></p>";
            plain += sentence + word + ' ' + Word() + '\n';
        }
        return {html, plain};
    }

    std::string Link(size_t bytes)
    {
        std::string link = "https://www.example-news-" + std::to_string(random_() % 1000) + ".com/2024/05/";
        while (link.size() < bytes)
            link += Word() + '-';
        link.resize(bytes);
        return link + ".html";
    }

    unsigned Next() { return unsigned(random_()); }

private:
    const char* Word() { return kWords[random_() % std::size(kWords)]; }

    std::mt19937 random_;
};

NewsList* BuildSubscriptionNews(SubscriptionList* subscription, TextMaker& maker)
{
    NewsList* chain = nullptr;
    for (int i = 0; i < kItemsPerSubscription; ++i) {
        NewsList item;
        item.type = kNewsTypeFeed;
        item.flags = (maker.Next() % 3 == 0) ? kNewsFlagRead : 0;
        item.date = "Fri, 17 May 2024 10:32:00 +0000";
        std::string headline = maker.Words(kHeadlineBytes);
        item.headline = headline;
        item.headlineRef = headline;
        auto [html, plain] = maker.Description(kDescriptionBytes);
        item.description = html;
        item.descriptionRef = plain;
        item.linkURL = maker.Link(kLinkBytes);
        item.author = "Jane Doe";
        item.encodingName = "UTF-8";
        item.dateTime = kFirstItemTime + maker.Next() % (30 * kSecondsPerDay);
        item.parent = subscription;
        chain = AddNewsList(chain, item);
    }
    return chain;
}

void BuildModel()
{
    TextMaker maker(20240517);
    const size_t before = ResidentBytes();
    for (int i = 0; i < kSubscriptionCount; ++i) {
        SubscriptionList subscription;
        subscription.siteType = kSiteTypeRSS;
        subscription.checkType = kCheckEveryHour;
        subscription.name = "Feed " + std::to_string(i);
        subscription.accessURL = maker.Link(kLinkBytes);
        subscription.orderID = uint32_t(i + 1);
        gModel.subscriptions = AddSubscriptionList(gModel.subscriptions, subscription);
    }
    for (SubscriptionList* node = gModel.subscriptions; node; node = node->next) {
        node->news = BuildSubscriptionNews(node, maker);
        gModel.news = AppendNewsList(gModel.news, TakeSubscriptionNews(node));
    }
    const size_t after = ResidentBytes();
    gModel.bytesPerItem = double(after - before) / kItemCount;
    size_t textBytes = 0;
    for (const NewsList* item = gModel.news; item; item = item->next) {
        textBytes += item->date.size() + item->headline.size() + item->description.size() + item->linkURL.size() +
                     item->author.size() + item->encodingName.size() + item->headlineRef.view().size() +
                     item->descriptionRef.view().size();
    }
    gModel.textBytesPerItem = double(textBytes) / kItemCount;
    std::printf("model: %u items under %u subscriptions; text %.0f bytes per item; resident memory %.0f bytes "
                "per item (goal under %.0f)\n",
                CountNews(gModel.news), CountSubscriptions(gModel.subscriptions), gModel.textBytesPerItem,
                gModel.bytesPerItem, kMemoryGoalBytesPerItem);
}

void EnsureModel()
{
    if (!gModel.news)
        BuildModel();
}

// Builds the model once and reports its memory.
void BM_BuildModel(benchmark::State& state)
{
    for (auto _ : state) {
        if (gModel.news) {
            state.SkipWithError("the model is already built");
            break;
        }
        BuildModel();
    }
    state.counters["rss_bytes_per_item"] = gModel.bytesPerItem;
    state.counters["text_bytes_per_item"] = gModel.textBytesPerItem;
}
BENCHMARK(BM_BuildModel)->Iterations(1)->Unit(benchmark::kMillisecond);

// One pass: the unread count of every subscription, as the pane refreshes.
void BM_CountUnreadNewsBySubscription(benchmark::State& state)
{
    EnsureModel();
    uint64_t unread = 0;
    for (auto _ : state) {
        unread = 0;
        for (SubscriptionList* node = gModel.subscriptions; node; node = node->next)
            unread += CountUnreadNewsBySubscription(gModel.news, node);
        benchmark::DoNotOptimize(unread);
    }
    state.counters["unread"] = double(unread);
    state.counters["per_subscription"] =
        benchmark::Counter(double(state.iterations()) * kSubscriptionCount,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(BM_CountUnreadNewsBySubscription)->Unit(benchmark::kMillisecond);

// The global unread count, one walk, for comparison with the per-row counts.
void BM_CountUnreadNews(benchmark::State& state)
{
    EnsureModel();
    for (auto _ : state)
        benchmark::DoNotOptimize(CountUnreadNews(gModel.news));
}
BENCHMARK(BM_CountUnreadNews)->Unit(benchmark::kMicrosecond);

// Frees everything, as the viewer does at quit.
void BM_DisposeModel(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        EnsureModel();
        state.ResumeTiming();
        DisposeNewsList(gModel.news);
        DisposeSubscriptionList(gModel.subscriptions);
        gModel = Model();
    }
}
BENCHMARK(BM_DisposeModel)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
