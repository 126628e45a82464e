// Measures the whole path of a downloaded feed (kind detection, parser, text
// tools, dates, registration into an empty subscription) on a 50 MB RSS 2.0
// document of 60,000 items and on a set of 20 real-shaped feeds of 20-200
// KB, beside a peer that extracts the same fields with libxml2's streaming
// reader. Prints MB/s for both and their ratio (1 MB = 10^6 bytes).
#include "feeds/AtomParser.h"
#include "feeds/FeedKind.h"
#include "feeds/RssParser.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Clock.h"

#include <benchmark/benchmark.h>
#include <libxml/xmlreader.h>
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kLargeItemCount = 60'000;
constexpr size_t kLargeDocumentBytes = 50'000'000;
constexpr int kFeedSetCount = 20;
constexpr size_t kSmallestFeedBytes = 20'000;
constexpr size_t kLargestFeedBytes = 200'000;
constexpr double kBytesPerMB = 1e6;
constexpr double kGoalRatio = 2.0;

/* ---- Documents ---- */

const char* const kWords[] = {"market", "council", "weather", "research", "release", "update", "report", "season",
                              "energy", "budget", "museum", "railway", "station", "harbour", "library", "festival",
                              "science", "election", "the", "of", "and", "a", "in", "to", "with", "for", "on", "at",
                              "from", "new", "café", "naïve"};
const char* const kEscapedEntities[] = {"&amp;amp;", "&amp;quot;", "&amp;#8217;", "&amp;mdash;", "&amp;eacute;",
                                        "&amp;nbsp;", "&amp;#x2019;", "&amp;copy;"};
const char* const kRawEntities[] = {"&amp;", "&quot;", "&#8217;", "&#233;", "&#x2014;", "&lt;3"};
const char* const kJapanese[] = {"日本", "新聞", "天気", "経済", "の", "と", "東京", "市場"};
const char* const kCategories[] = {"World", "Politics", "Science", "Culture", "Sport", "Technology"};

// The feed shapes met in the wild.
enum class FeedShape {
    kEscapedHtml,   // RSS 2.0, descriptions as escaped HTML
    kContentCDATA,  // RSS 2.0 with content:encoded in CDATA, a blog's shape
    kPodcast,       // RSS 2.0 with enclosures and short notes
    kShortNews,     // RSS 2.0 headlines with one-line descriptions
    kRdf,           // RSS 1.0 with dc:date and dc:subject
    kAtom,          // Atom 1.0 with HTML content
    kJapanese,      // RSS 2.0 in Japanese
};

class FeedMaker {
public:
    explicit FeedMaker(uint32_t seed) : random_(seed) {}

    std::string Words(int count, const char* const* entities, size_t entityCount)
    {
        std::string text;
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                text += (Pick(19) == 0) ? "\n      " : " ";
            text += kWords[Pick(std::size(kWords))];
            if (entities && Pick(11) == 0)
                text += entities[Pick(entityCount)];
            if (Pick(12) == 0)
                text += ".";
        }
        return text;
    }
    std::string PlainWords(int count) { return Words(count, nullptr, 0); }
    std::string EscapedWords(int count) { return Words(count, kEscapedEntities, std::size(kEscapedEntities)); }
    std::string RawWords(int count) { return Words(count, kRawEntities, std::size(kRawEntities)); }

    // HTML paragraphs, written as `escaped` HTML or raw for a CDATA section.
    std::string Html(int paragraphs, bool escaped)
    {
        const std::string lt = escaped ? "&lt;" : "<";
        const std::string gt = escaped ? "&gt;" : ">";
        const std::string quote = escaped ? "&quot;" : "\"";
        std::string html;
        for (int p = 0; p < paragraphs; ++p) {
            html += lt + "p" + gt + (escaped ? EscapedWords(20 + Pick(30)) : RawWords(20 + Pick(30)));
            if (Pick(3) == 0)
                html += " " + lt + "a href=" + quote + "http://news.example.com/story/" + std::to_string(Pick(100000)) +
                        "?ref=rss" + (escaped ? "&amp;amp;" : "&amp;") + "src=feed" + quote + gt + PlainWords(3) + lt +
                        "/a" + gt;
            if (Pick(4) == 0)
                html += lt + "br /" + gt + PlainWords(10);
            html += lt + "/p" + gt + "\n";
        }
        return html;
    }

    std::string Link(int index) { return "http://news.example.com/2024/" + std::to_string(index) + "/story.html"; }

    std::string RfcDate()
    {
        char text[64];
        std::snprintf(text, sizeof text, "%s, %02d %s 2024 %02d:%02d:%02d %s", kDays[Pick(7)], 1 + Pick(28),
                      kMonths[Pick(12)], Pick(24), Pick(60), Pick(60), Pick(2) ? "+0000" : "GMT");
        return text;
    }

    std::string W3CDate()
    {
        char text[64];
        std::snprintf(text, sizeof text, "2024-%02d-%02dT%02d:%02d:%02d+09:00", 1 + Pick(12), 1 + Pick(28), Pick(24),
                      Pick(60), Pick(60));
        return text;
    }

    std::string Item(FeedShape shape, int index)
    {
        switch (shape) {
        case FeedShape::kEscapedHtml:
            return "<item>\n  <title>" + EscapedWords(6 + Pick(6)) + "</title>\n  <link>" + Link(index) +
                   "</link>\n  <guid isPermaLink=\"true\">" + Link(index) + "</guid>\n  <pubDate>" + RfcDate() +
                   "</pubDate>\n  <category>" + kCategories[Pick(std::size(kCategories))] +
                   "</category>\n  <description>" + Html(1 + Pick(2), true) + "</description>\n</item>\n";
        case FeedShape::kContentCDATA:
            return "<item>\n  <title><![CDATA[" + PlainWords(7) + "]]></title>\n  <link>" + Link(index) +
                   "</link>\n  <dc:creator>" + PlainWords(2) + "</dc:creator>\n  <pubDate>" + RfcDate() +
                   "</pubDate>\n  <description><![CDATA[" + PlainWords(25) + " [...]]]></description>\n"
                   "  <content:encoded><![CDATA[" + Html(1 + Pick(2), false) + "]]></content:encoded>\n</item>\n";
        case FeedShape::kPodcast:
            return "<item>\n  <title>Episode " + std::to_string(index) + ": " + RawWords(5) + "</title>\n  <link>" +
                   Link(index) + "</link>\n  <pubDate>" + RfcDate() + "</pubDate>\n  <description>" + RawWords(40) +
                   "</description>\n  <enclosure url=\"http://media.example.com/audio/" + std::to_string(index) +
                   ".mp3\" length=\"" + std::to_string(1000000 + Pick(90000000)) +
                   "\" type=\"audio/mpeg\"/>\n</item>\n";
        case FeedShape::kShortNews:
            return "<item><title>" + RawWords(9) + "</title><link>" + Link(index) + "</link><description>" +
                   RawWords(18) + "</description><pubDate>" + RfcDate() + "</pubDate></item>\n";
        case FeedShape::kRdf:
            return "<item rdf:about=\"" + Link(index) + "\">\n<title>" + RawWords(7) + "</title>\n<link>" + Link(index) +
                   "</link>\n<description>" + Html(1 + Pick(2), true) + "</description>\n<dc:date>" + W3CDate() +
                   "</dc:date>\n<dc:subject>" + kCategories[Pick(std::size(kCategories))] + "</dc:subject>\n</item>\n";
        case FeedShape::kAtom:
            return "<entry>\n  <title type=\"html\">" + EscapedWords(7) + "</title>\n  <link rel=\"alternate\" "
                   "type=\"text/html\" href=\"" + Link(index) + "\"/>\n  <id>tag:news.example.com,2024:" +
                   std::to_string(index) + "</id>\n  <updated>" + W3CDate() + "</updated>\n  <summary>" +
                   RawWords(20) + "</summary>\n  <content type=\"html\">" + Html(2 + Pick(3), true) +
                   "</content>\n</entry>\n";
        case FeedShape::kJapanese: {
            std::string text;
            for (int i = 0, n = 80 + Pick(120); i < n; ++i)
                text += kJapanese[Pick(std::size(kJapanese))];
            return "<item>\n<title>" + text.substr(0, 60) + "</title>\n<link>" + Link(index) +
                   "</link>\n<description><![CDATA[<p>" + text + "</p>]]></description>\n<pubDate>" + RfcDate() +
                   "</pubDate>\n</item>\n";
        }
        }
        return {};
    }

    static std::string Head(FeedShape shape, int number)
    {
        const std::string title = "Feed " + std::to_string(number);
        switch (shape) {
        case FeedShape::kRdf:
            return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rdf:RDF "
                   "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\" "
                   "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n<channel rdf:about=\"http://news.example.com/\">\n"
                   "<title>" + title + "</title>\n<link>http://news.example.com/</link>\n<description>Notes</description>\n"
                   "<items><rdf:Seq><rdf:li rdf:resource=\"http://news.example.com/1\"/></rdf:Seq></items>\n</channel>\n";
        case FeedShape::kAtom:
            return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\">\n<title>" +
                   title + "</title>\n<subtitle>Notes &amp; news</subtitle>\n<link href=\"http://news.example.com/\"/>\n"
                   "<updated>2024-03-04T12:30:00Z</updated>\n<id>tag:news.example.com,2024</id>\n";
        case FeedShape::kEscapedHtml:
        case FeedShape::kContentCDATA:
        case FeedShape::kPodcast:
        case FeedShape::kShortNews:
        case FeedShape::kJapanese:
            break;
        }
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
               "xmlns:content=\"http://purl.org/rss/1.0/modules/content/\" "
               "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\n<channel>\n"
               "<title>" + title + "</title>\n<link>http://news.example.com/</link>\n"
               "<atom:link href=\"http://news.example.com/rss.xml\" rel=\"self\" type=\"application/rss+xml\"/>\n"
               "<description>The latest &amp; greatest</description>\n<language>en</language>\n"
               "<image><url>http://news.example.com/logo.png</url><title>" + title +
               "</title><link>http://news.example.com/</link></image>\n";
    }

    static std::string Tail(FeedShape shape)
    {
        switch (shape) {
        case FeedShape::kRdf:
            return "</rdf:RDF>\n";
        case FeedShape::kAtom:
            return "</feed>\n";
        case FeedShape::kEscapedHtml:
        case FeedShape::kContentCDATA:
        case FeedShape::kPodcast:
        case FeedShape::kShortNews:
        case FeedShape::kJapanese:
            break;
        }
        return "</channel>\n</rss>\n";
    }

    int Pick(size_t bound) { return int(random_() % bound); }

private:
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::mt19937 random_;
};

// 60,000 items of a news site's RSS 2.0 feed: escaped HTML, blog posts in
// CDATA, podcast episodes and one-line news, brought to 50 MB by the wire
// service's name in the items that are short of the average.
std::string MakeLargeDocument()
{
    FeedMaker maker(20240611);
    std::string document = FeedMaker::Head(FeedShape::kEscapedHtml, 0);
    const FeedShape shapes[] = {FeedShape::kEscapedHtml, FeedShape::kContentCDATA, FeedShape::kPodcast,
                                FeedShape::kShortNews};
    for (int i = 0; i < kLargeItemCount; ++i) {
        std::string item = maker.Item(shapes[i % std::size(shapes)], i);
        // Grow the items evenly toward the document's size.
        const size_t left = kLargeDocumentBytes > document.size() ? kLargeDocumentBytes - document.size() : 0;
        const size_t wanted = left / size_t(kLargeItemCount - i);
        if (item.size() < wanted && item.ends_with("</item>\n"))
            item.insert(item.size() - 8, "  <source url=\"http://wire.example.com/rss\">" +
                                             maker.PlainWords(int(wanted - item.size()) / 7) + "</source>\n");
        document += item;
    }
    document += FeedMaker::Tail(FeedShape::kEscapedHtml);
    return document;
}

std::vector<std::string> MakeFeedSet()
{
    FeedMaker maker(19700101);
    const FeedShape shapes[] = {FeedShape::kEscapedHtml, FeedShape::kContentCDATA, FeedShape::kPodcast,
                                FeedShape::kShortNews,   FeedShape::kRdf,          FeedShape::kAtom,
                                FeedShape::kJapanese};
    std::vector<std::string> feeds;
    for (int f = 0; f < kFeedSetCount; ++f) {
        const FeedShape shape = shapes[size_t(f) % std::size(shapes)];
        const size_t target =
            kSmallestFeedBytes + (kLargestFeedBytes - kSmallestFeedBytes) * size_t(f) / size_t(kFeedSetCount - 1);
        std::string feed = FeedMaker::Head(shape, f);
        for (int i = 0; feed.size() < target; ++i)
            feed += maker.Item(shape, i);
        feed += FeedMaker::Tail(shape);
        feeds.push_back(std::move(feed));
    }
    return feeds;
}

const std::string& LargeDocument()
{
    static const std::string document = MakeLargeDocument();
    return document;
}

const std::vector<std::string>& FeedSet()
{
    static const std::vector<std::string> feeds = MakeFeedSet();
    return feeds;
}

size_t FeedSetBytes()
{
    size_t bytes = 0;
    for (const std::string& feed : FeedSet())
        bytes += feed.size();
    return bytes;
}

/* ---- Readers ---- */

// The fields Varnoke reads, as the peer collects them.
struct PeerItem {
    std::string headline, link, guid, description, content, date, subject, publisher, enclosure;
};

struct PeerChannel {
    std::string name, homeURL, description, imageURL;
};

// What one reading produced, kept until the clock has stopped: freeing it
// is not part of reading.
struct ReadResult {
    NewsList* items = nullptr;                   // Varnoke's registered records
    std::unique_ptr<std::vector<PeerItem>> peer; // the peer's records
    size_t count = 0;
};

void DisposeReadResult(ReadResult& result);

// Detection, parser and registration into an empty subscription.
ReadResult ReadWithVarnoke(std::string_view document)
{
    SubscriptionList subscription;
    subscription.siteType = kSiteTypeRSS;
    bool named = false;
    switch (GetFeedKind(document, DocumentSource::kNetwork)) {
    case FeedKind::kAtom:
        ParseAtomNews(subscription, document, named);
        break;
    case FeedKind::kOpml:
        break;
    case FeedKind::kRss:
    case FeedKind::kUnknown:
        ParseRSSNews(subscription, document, named);
        break;
    }
    ReadResult result;
    result.items = TakeSubscriptionNews(&subscription);
    result.count = CountNews(result.items);
    return result;
}

/* ---- The libxml2 peer ---- */

// Which field an element's text goes to, by its qualified name.
std::string* PeerField(const char* name, PeerItem& item)
{
    static const std::pair<const char*, std::string PeerItem::*> kFields[] = {
        {"title", &PeerItem::headline},       {"link", &PeerItem::link},         {"guid", &PeerItem::guid},
        {"description", &PeerItem::description}, {"summary", &PeerItem::description},
        {"content:encoded", &PeerItem::content}, {"content", &PeerItem::content}, {"pubDate", &PeerItem::date},
        {"dc:date", &PeerItem::date},         {"updated", &PeerItem::date},      {"dc:subject", &PeerItem::subject},
        {"category", &PeerItem::subject},     {"dc:publisher", &PeerItem::publisher},
    };
    for (const auto& [fieldName, member] : kFields) {
        if (std::strcmp(name, fieldName) == 0)
            return &(item.*member);
    }
    return nullptr;
}

std::string AttributeValue(xmlTextReaderPtr reader, const char* name)
{
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

// Reads the channel's and every item's fields with the streaming reader.
ReadResult ReadWithLibxml(std::string_view document)
{
    ReadResult result;
    xmlTextReaderPtr reader = xmlReaderForMemory(document.data(), int(document.size()), nullptr, nullptr,
                                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!reader)
        return result;
    result.peer = std::make_unique<std::vector<PeerItem>>();
    std::vector<PeerItem>& items = *result.peer;
    PeerChannel channel;
    PeerItem head;
    PeerItem* item = nullptr;
    std::string* field = nullptr;
    while (xmlTextReaderRead(reader) == 1) {
        const int type = xmlTextReaderNodeType(reader);
        if (type == XML_READER_TYPE_ELEMENT) {
            const char* name = reinterpret_cast<const char*>(xmlTextReaderConstName(reader));
            if (std::strcmp(name, "item") == 0 || std::strcmp(name, "entry") == 0) {
                items.emplace_back();
                item = &items.back();
                field = nullptr;
                continue;
            }
            PeerItem& target = item ? *item : head;
            if (std::strcmp(name, "enclosure") == 0) {
                target.enclosure = AttributeValue(reader, "url");
            } else if (std::strcmp(name, "link") == 0 && xmlTextReaderHasAttributes(reader) == 1) {
                const std::string rel = AttributeValue(reader, "rel");
                if (rel.empty() || rel == "alternate")
                    target.link = AttributeValue(reader, "href");
            } else {
                // An empty element has no text and no end element.
                field = xmlTextReaderIsEmptyElement(reader) == 1 ? nullptr : PeerField(name, target);
            }
        } else if (type == XML_READER_TYPE_END_ELEMENT) {
            const char* name = reinterpret_cast<const char*>(xmlTextReaderConstName(reader));
            if (std::strcmp(name, "item") == 0 || std::strcmp(name, "entry") == 0)
                item = nullptr;
            field = nullptr;
        } else if (field && (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA)) {
            field->append(reinterpret_cast<const char*>(xmlTextReaderConstValue(reader)));
        }
    }
    xmlFreeTextReader(reader);
    channel.name = std::move(head.headline);
    channel.homeURL = std::move(head.link);
    channel.description = std::move(head.description);
    benchmark::DoNotOptimize(channel);
    result.count = items.size();
    return result;
}

void DisposeReadResult(ReadResult& result)
{
    DisposeNewsList(result.items);
    result = ReadResult();
}

// Frees what the readings produced, together with the work the allocator
// defers from those frees (merging the freed blocks), which it would
// otherwise do inside the next timed reading.
void DisposeReadResults(std::vector<ReadResult>& results)
{
    for (ReadResult& result : results)
        DisposeReadResult(result);
    malloc_trim(0);
}

using Reader = ReadResult (*)(std::string_view);

// Reads `documents` with `read` under the benchmark's clock, freeing the
// results with the clock paused.
void RunReader(benchmark::State& state, Reader read, const std::vector<std::string_view>& documents)
{
    std::vector<ReadResult> results(documents.size());
    for (auto _ : state) {
        for (size_t i = 0; i < documents.size(); ++i)
            results[i] = read(documents[i]);
        state.PauseTiming();
        DisposeReadResults(results);
        state.ResumeTiming();
    }
}

std::vector<std::string_view> LargeDocumentSet()
{
    return {LargeDocument()};
}

std::vector<std::string_view> FeedSetViews()
{
    return {FeedSet().begin(), FeedSet().end()};
}

/* ---- Benchmarks ---- */

void BM_VarnokeLargeDocument(benchmark::State& state)
{
    RunReader(state, ReadWithVarnoke, LargeDocumentSet());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(LargeDocument().size()));
    state.SetItemsProcessed(int64_t(state.iterations()) * kLargeItemCount);
}
BENCHMARK(BM_VarnokeLargeDocument)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_LibxmlLargeDocument(benchmark::State& state)
{
    RunReader(state, ReadWithLibxml, LargeDocumentSet());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(LargeDocument().size()));
    state.SetItemsProcessed(int64_t(state.iterations()) * kLargeItemCount);
}
BENCHMARK(BM_LibxmlLargeDocument)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_VarnokeFeedSet(benchmark::State& state)
{
    RunReader(state, ReadWithVarnoke, FeedSetViews());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FeedSetBytes()));
}
BENCHMARK(BM_VarnokeFeedSet)->Unit(benchmark::kMillisecond);

void BM_LibxmlFeedSet(benchmark::State& state)
{
    RunReader(state, ReadWithLibxml, FeedSetViews());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FeedSetBytes()));
}
BENCHMARK(BM_LibxmlFeedSet)->Unit(benchmark::kMillisecond);

// MB/s of `read` over `documents`, from the best of a few timed passes;
// the results are freed after each pass, off the clock.
double MeasureMBPerSecond(Reader read, const std::vector<std::string_view>& documents)
{
    constexpr int kPasses = 5;
    size_t bytes = 0;
    for (std::string_view document : documents)
        bytes += document.size();
    std::vector<ReadResult> results(documents.size());
    double best = 0;
    for (int pass = 0; pass < kPasses; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        for (size_t i = 0; i < documents.size(); ++i)
            results[i] = read(documents[i]);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        DisposeReadResults(results);
        best = std::max(best, double(bytes) / kBytesPerMB / seconds);
    }
    return best;
}

// The report goes to the standard output the program was started with;
// Varnoke's own diagnostic lines (one "Found Channel Image" a parse) go to
// /dev/null while it runs.
std::ofstream& Report()
{
    static std::ofstream report = [] {
        std::fflush(stdout);
        const int original = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (original >= 0 && null >= 0)
            dup2(null, STDOUT_FILENO);
        return std::ofstream("/proc/self/fd/" + std::to_string(original >= 0 ? original : STDOUT_FILENO));
    }();
    return report;
}

template <typename... Arguments>
void PrintReport(const char* format, Arguments... arguments)
{
    char line[256];
    std::snprintf(line, sizeof line, format, arguments...);
    Report() << line << std::flush;
}

void PrintComparison(const char* label, const std::vector<std::string_view>& documents)
{
    const double varnoke = MeasureMBPerSecond(ReadWithVarnoke, documents);
    const double libxml = MeasureMBPerSecond(ReadWithLibxml, documents);
    PrintReport("%-28s Varnoke %7.1f MB/s   libxml2 reader %7.1f MB/s   ratio %.2fx (goal %.1fx)\n", label, varnoke,
                libxml, varnoke / libxml, kGoalRatio);
}

// How many items `read` finds in `documents`.
size_t CountItems(Reader read, const std::vector<std::string_view>& documents)
{
    size_t count = 0;
    for (std::string_view document : documents) {
        ReadResult result = read(document);
        count += result.count;
        DisposeReadResult(result);
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    // Undated items read the clock; a frozen one keeps the runs alike.
    SetTestClock(0, 3'900'000'000u);
    Report();
    xmlInitParser();
    PrintReport("large document: %.1f MB, %zu items read by Varnoke, %zu by the libxml2 reader\n",
                double(LargeDocument().size()) / kBytesPerMB, CountItems(ReadWithVarnoke, LargeDocumentSet()),
                CountItems(ReadWithLibxml, LargeDocumentSet()));
    PrintReport("feed set: %d feeds, %.2f MB, %zu items read by Varnoke, %zu by the libxml2 reader\n", kFeedSetCount,
                double(FeedSetBytes()) / kBytesPerMB, CountItems(ReadWithVarnoke, FeedSetViews()),
                CountItems(ReadWithLibxml, FeedSetViews()));

    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_None);
    reporter.SetOutputStream(&Report());
    reporter.SetErrorStream(&Report());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    PrintComparison("large RSS 2.0 document:", LargeDocumentSet());
    PrintComparison("20 real-shaped feeds:", FeedSetViews());
    xmlCleanupParser();
    return 0;
}
