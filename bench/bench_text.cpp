// Measures the per-item text work of the RSS parser over 10,000 realistic
// items: the headline, link, description and plain-text pipelines in the
// parser's order, then (separately) the date readers and the UTF-8 strings
// made at registration. Prints items per second and megabytes of
// description text per second (1 MB = 10^6 bytes).
#include "feeds/Dates.h"
#include "feeds/References.h"
#include "feeds/TextBuffer.h"
#include "feeds/TextEncoding.h"
#include "feeds/TextTools.h"
#include "model/NewsList.h"
#include "platform/Clock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kItemCount = 10'000;
constexpr size_t kHeadlineWorkBytes = 512;
constexpr size_t kLinkBytes = 256;
constexpr size_t kDescriptionBytes = kMaxTextBytes + 1;
constexpr size_t kMaxHeadlineBytes = 255;
constexpr double kBytesPerMB = 1e6;
constexpr double kGoalMBPerSecond = 200;

// One item as the parser copies it out of a feed, before any transform.
struct RawItem {
    std::string title;
    std::string link;
    std::string description;
    std::string date;
    CFStringEncoding encoding = kCFStringEncodingUTF8;
    bool rfc822 = false;
};

const char* const kWords[] = {"market", "council", "weather", "research", "release", "update", "report",
                              "season", "energy", "budget", "museum", "railway", "station", "harbour",
                              "library", "festival", "science", "election", "the", "of", "and", "a",
                              "in", "to", "with", "for", "on", "at", "from", "new"};
const char* const kEntities[] = {"&amp;", "&quot;", "&#8217;", "&mdash;", "&eacute;", "&nbsp;", "&#x2019;", "&copy;"};
const char* const kJapanese[] = {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x96\xB0\xE8\x81\x9E", "\xE5\xA4\xA9\xE6\xB0\x97",
                                 "\xE7\xB5\x8C\xE6\xB8\x88", "\xE3\x81\xAE", "\xE3\x81\xA8"};

class ItemMaker {
public:
    std::string Words(int count, bool withEntities)
    {
        std::string text;
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                text += (random_() % 17 == 0) ? "\n    " : " ";
            text += kWords[random_() % std::size(kWords)];
            if (withEntities && random_() % 9 == 0)
                text += kEntities[random_() % std::size(kEntities)];
            if (random_() % 12 == 0)
                text += ".";
        }
        return text;
    }
    std::string Japanese(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += kJapanese[random_() % std::size(kJapanese)];
        return text;
    }
    // Paragraphs of HTML with links, lists and line breaks.
    std::string Html(int paragraphs)
    {
        std::string html;
        for (int p = 0; p < paragraphs; ++p) {
            html += "<p>" + Words(25 + int(random_() % 40), true);
            if (random_() % 3 == 0)
                html += " <a href=\"http://news.example.com/story/" + std::to_string(random_() % 100000) +
                        "?ref=rss&amp;src=feed\">" + Words(3, false) + "</a>";
            if (random_() % 4 == 0)
                html += "<br />" + Words(12, true);
            html += "</p>\n";
            if (random_() % 5 == 0)
                html += "<ul><li>" + Words(6, false) + "</li><li>" + Words(6, false) + "</li></ul>\n";
        }
        return html;
    }
    static std::string Escaped(const std::string& html)
    {
        std::string text;
        for (char c : html) {
            if (c == '<')
                text += "&lt;";
            else if (c == '>')
                text += "&gt;";
            else if (c == '&')
                text += "&amp;";
            else if (c == '"')
                text += "&quot;";
            else
                text += c;
        }
        return text;
    }

    RawItem Make(int index)
    {
        RawItem item;
        item.link = "http://news.example.com/2024/" + std::to_string(index) + "/" + Words(3, false) + ".html";
        for (char& c : item.link)
            c = c == ' ' ? '-' : c;
        const int kind = int(random_() % 10);
        if (kind < 4) { // RSS 2.0: escaped HTML
            item.title = Words(6 + int(random_() % 6), true);
            item.description = Escaped(Html(2 + int(random_() % 4)));
            item.date = "Fri, 04 Mar 2005 12:30:00 +0900";
            item.rfc822 = true;
        } else if (kind < 7) { // CDATA HTML
            item.title = "<![CDATA[" + Words(8, false) + "]]>";
            item.description = "<![CDATA[" + Html(3 + int(random_() % 4)) + "]]>";
            item.date = "2005-03-04T12:30:00+09:00";
        } else if (kind < 9) { // plain text with references
            item.title = Words(7, true);
            item.description = Words(60 + int(random_() % 80), true);
            item.date = "2005-03-04T12:30:00Z";
        } else { // Japanese UTF-8, no title: the headline comes from the description
            item.description = "<![CDATA[<p>" + Japanese(150) + "</p><p>" + Japanese(150) + "</p>]]>";
            item.date = "2005-03-04";
        }
        if (item.description.size() > kMaxTextBytes)
            item.description.resize(kMaxTextBytes);
        return item;
    }

private:
    std::mt19937 random_{20240611};
};

std::vector<RawItem> MakeItems()
{
    ItemMaker maker;
    std::vector<RawItem> items;
    items.reserve(kItemCount);
    for (int i = 0; i < kItemCount; ++i)
        items.push_back(maker.Make(i));
    return items;
}

const std::vector<RawItem>& Items()
{
    static const std::vector<RawItem> items = MakeItems();
    return items;
}

size_t DescriptionBytes()
{
    size_t bytes = 0;
    for (const RawItem& item : Items())
        bytes += item.description.size();
    return bytes;
}

// The headline as the parser copies it: leading spaces and line breaks
// skipped, ending at the first line break.
std::string_view HeadlineLine(std::string_view title)
{
    title.remove_prefix(std::min(title.find_first_not_of(" \r\n"), title.size()));
    return title.substr(0, title.find_first_of("\r\n"));
}

// What the parser's item loop does to one item's texts, in its order.
struct ItemTexts {
    TextScratch<kHeadlineWorkBytes> headline;
    TextScratch<kLinkBytes> link;
    TextScratch<kDescriptionBytes> description;
    TextScratch<kDescriptionBytes> plain;
};

void RunTextPipeline(const RawItem& raw, ItemTexts& texts)
{
    texts.headline.Assign(HeadlineLine(raw.title));
    StripCRLFSpace(texts.headline);
    texts.link.Assign(raw.link);
    StripCDATA(texts.link);
    HTMLDecode(texts.link);
    texts.description.Assign(raw.description);
    StripCRLFSpacePre(texts.description);

    HTMLBetterDecode(texts.headline, raw.encoding);
    StripCDATA(texts.headline);
    StripHTMLTagString(texts.headline);
    texts.headline.SetSize(std::min(texts.headline.size(), kMaxHeadlineBytes));

    HTMLDecode(texts.description);
    HTMLMultiAmpDecode(texts.description);
    StripCDATAMore(texts.description);
    if (IsBeginningWithEncodedTAG(texts.description.view()))
        HTMLMinimumDecode(texts.description);

    texts.plain.Assign(texts.description.view());
    HTMLDecode(texts.plain);
    StripCRLFSpace(texts.plain);
    ReplaceHTMLTagToCRHyphen(texts.plain);
    ReplaceHTMLTagToCR(texts.plain);
    StripHTMLTagString(texts.plain);
    StripSpaceAfterCR(texts.plain);

    if (texts.headline.empty())
        SubstituteHeadline(texts.headline, texts.plain.view());
    HTMLBetterDecode(texts.headline, raw.encoding);
}

void BM_ItemTextPipeline(benchmark::State& state)
{
    const std::vector<RawItem>& items = Items();
    ItemTexts texts;
    size_t headlineBytes = 0;
    for (auto _ : state) {
        for (const RawItem& raw : items) {
            RunTextPipeline(raw, texts);
            headlineBytes += texts.headline.size();
        }
        benchmark::DoNotOptimize(headlineBytes);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kItemCount);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(DescriptionBytes()));
}
BENCHMARK(BM_ItemTextPipeline)->Unit(benchmark::kMillisecond);

void BM_ItemDates(benchmark::State& state)
{
    const std::vector<RawItem>& items = Items();
    TestClockGuard clock(0, 3'900'000'000u);
    NewsList item;
    for (auto _ : state) {
        for (const RawItem& raw : items) {
            item.date = raw.date;
            if (raw.rfc822)
                POPDateDecode(item);
            else
                W3CDateDecode(item);
            benchmark::DoNotOptimize(item.dateTime);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kItemCount);
}
BENCHMARK(BM_ItemDates)->Unit(benchmark::kMillisecond);

// The two UTF-8 strings of a registered item, after the text pipeline.
void BM_ItemStrings(benchmark::State& state)
{
    const std::vector<RawItem>& items = Items();
    std::vector<ItemTexts> done(1);
    size_t bytes = 0;
    for (auto _ : state) {
        for (const RawItem& raw : items) {
            state.PauseTiming();
            RunTextPipeline(raw, done[0]);
            state.ResumeTiming();
            auto headline = CFStringFixAllHTMLUnicode(
                CFStringCreateWithKeisenFilter(done[0].headline.view(), raw.encoding));
            auto description = CFStringFixHTMLUnicode(CFStringCreateWithBytes(done[0].plain.view(), raw.encoding));
            bytes += headline->size() + description->size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kItemCount);
}
BENCHMARK(BM_ItemStrings)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const size_t bytes = DescriptionBytes();
    std::printf("items: %d, description text: %.2f MB (%.0f bytes an item)\n", kItemCount, double(bytes) / kBytesPerMB,
                double(bytes) / kItemCount);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // A plain figure against the goal, from one more timed pass.
    ItemTexts texts;
    const auto start = std::chrono::steady_clock::now();
    constexpr int kPasses = 5;
    for (int pass = 0; pass < kPasses; ++pass) {
        for (const RawItem& raw : Items())
            RunTextPipeline(raw, texts);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double mbPerSecond = double(bytes) * kPasses / kBytesPerMB / seconds;
    std::printf("text pipeline: %.0f items/s, %.1f MB/s of description text (goal %.0f MB/s)\n",
                kItemCount * kPasses / seconds, mbPerSecond, kGoalMBPerSecond);
    return 0;
}
