// varnoke-feeddump: reads one feed document the way Varnoke reads a feed it
// has downloaded (kind detection, parser, text tools, dates, registration
// into an empty subscription) and prints what came out as one JSON object,
// for users who want to see why a feed looks wrong. Varnoke's own diagnostic
// lines go to standard error, so standard output holds only the JSON.
#include "JsonWriter.h"

#include "feeds/AtomParser.h"
#include "feeds/FeedKind.h"
#include "feeds/References.h"
#include "feeds/Restrictions.h"
#include "feeds/RssParser.h"
#include "feeds/TextEncoding.h"
#include "feeds/TextTools.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Clock.h"
#include "platform/Encodings.h"
#include "platform/Files.h"
#include "settings/Configuration.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

// Exit statuses.
constexpr int kExitRead = 0;      // the document was read as a feed or a list
constexpr int kExitNotFeed = 1;   // it is no feed
constexpr int kExitUsage = 2;     // bad arguments, or the file cannot be read

constexpr std::string_view kStandardInputName = "-";
constexpr std::string_view kUsage =
    "usage: varnoke-feeddump FILE [--encoding NAME] [--stats]\n"
    "  Reads the feed document FILE (\"-\" for standard input) as Varnoke reads a\n"
    "  downloaded feed and prints what it found as JSON.\n"
    "  --encoding NAME  the encoding to read a document that declares none in\n"
    "                   (as a subscription's own encoding setting)\n"
    "  --stats          print only the number of items and the seconds spent\n";

struct Options {
    std::string path;
    std::string encoding;
    bool statsOnly = false;
};

static std::optional<Options> ReadOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--stats") {
            options.statsOnly = true;
        } else if (argument == "--encoding" && i + 1 < argc) {
            options.encoding = argv[++i];
        } else if (argument.starts_with("--encoding=")) {
            options.encoding = argument.substr(argument.find('=') + 1);
        } else if (argument != kStandardInputName && argument.starts_with("-")) {
            std::cerr << "varnoke-feeddump: unknown option " << argument << "\n";
            return std::nullopt;
        } else if (options.path.empty()) {
            options.path = argument;
        } else {
            std::cerr << "varnoke-feeddump: one document at a time\n";
            return std::nullopt;
        }
    }
    if (options.path.empty())
        return std::nullopt;
    return options;
}

static std::optional<std::string> ReadDocument(const std::string& path)
{
    if (path == kStandardInputName)
        return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        std::cerr << "varnoke-feeddump: " << path << ": no such file\n";
        return std::nullopt;
    }
    if (std::filesystem::file_size(path, error) == 0 && !error)
        return std::string();
    std::optional<std::string> data = GetDataFromFile(path);
    if (!data)
        std::cerr << "varnoke-feeddump: " << path << ": cannot be read\n";
    return data;
}

/* ---- Reading the document ---- */

struct FeedDump {
    FeedKind kind = FeedKind::kUnknown;
    int32_t result = kFeedNotRecognizedErr;
    SubscriptionList subscription;
    NewsList* items = nullptr;

    FeedDump() = default;
    FeedDump(const FeedDump&) = delete;
    FeedDump& operator=(const FeedDump&) = delete;
    ~FeedDump() { DisposeNewsList(items); }
};

// The path a downloaded document takes in Varnoke.
static void ReadFeed(std::string& data, FeedDump& dump)
{
    ConvertUnicodeDocument(data);
    RepairNullChars(data);
    dump.kind = GetFeedKind(data, DocumentSource::kNetwork);
    bool named = false;
    switch (dump.kind) {
    case FeedKind::kOpml:
        dump.subscription.name = ParseOpmlTitle(data);
        dump.result = 0;
        break;
    case FeedKind::kAtom:
        dump.result = ParseAtomNews(dump.subscription, data, named);
        break;
    case FeedKind::kRss:
    case FeedKind::kUnknown:
        dump.result = ParseRSSNews(dump.subscription, data, named);
        break;
    }
    dump.items = TakeSubscriptionNews(&dump.subscription);
}

/* ---- Writing it out ---- */

static std::string_view GetKindName(FeedKind kind)
{
    switch (kind) {
    case FeedKind::kOpml:
        return "opml";
    case FeedKind::kAtom:
        return "atom";
    case FeedKind::kRss:
        return "rss";
    case FeedKind::kUnknown:
        return "unknown";
    }
    return "unknown";
}

// An item's text as the viewer shows it: converted from the item's encoding
// (taken as UTF-8 when it cannot be read in that), every numeric reference
// resolved.
static std::string ShowText(std::string_view bytes, CFStringEncoding encoding)
{
    std::optional<std::string> text = CFStringCreateWithBytes(bytes, encoding);
    if (!text)
        text = CFStringCreateWithBytes(bytes, kCFStringEncodingUTF8);
    return CFStringFixAllHTMLUnicode(std::move(text)).value_or(std::string());
}

// "2004-01-01T19:48:21Z" for a time on the local 1904 clock.
static std::string FormatUTCDate(uint32_t dateTime)
{
    const time_t unixTime = UnixTimeFromDateTime(dateTime);
    tm utc{};
    if (gmtime_r(&unixTime, &utc) == nullptr)
        return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

static void WriteItem(JsonWriter& json, const NewsList& item)
{
    const CFStringEncoding encoding = item.encoding;
    json.BeginObject();
    json.Key("headline");
    json.String(item.headlineRef ? std::string(item.headlineRef.view()) : ShowText(item.headline.view(), encoding));
    json.Key("link");
    json.String(ShowText(item.linkURL.view(), encoding));
    json.Key("description");
    json.String(ShowText(item.description.view(), encoding));
    json.Key("text");
    json.String(item.descriptionRef.view());
    json.Key("date");
    json.String(ShowText(item.date.view(), encoding));
    json.Key("dateTime");
    json.String(FormatUTCDate(item.dateTime));
    json.Key("dateFlags");
    json.Number(int64_t(item.dateFlags));
    json.Key("subject");
    json.String(ShowText(item.subject.view(), encoding));
    json.Key("publisher");
    json.String(ShowText(item.publisher.view(), encoding));
    json.Key("author");
    json.String(ShowText(item.author.view(), encoding));
    json.Key("enclosure");
    json.String(ShowText(item.objectURL.view(), encoding));
    json.Key("encodingName");
    json.String(item.encodingName.view());
    json.EndObject();
}

static std::string WriteFeedDump(const FeedDump& dump)
{
    JsonWriter json;
    json.BeginObject();
    json.Key("kind");
    json.String(GetKindName(dump.kind));
    json.Key("result");
    json.Number(int64_t(dump.result));
    json.Key("channel");
    json.BeginObject();
    json.Key("name");
    json.String(dump.subscription.name.view());
    json.Key("homeURL");
    json.String(dump.subscription.homeURL.view());
    json.Key("description");
    json.String(dump.subscription.description.view());
    json.Key("imageURL");
    json.String(dump.subscription.imageURL.view());
    json.EndObject();
    json.Key("items");
    json.BeginArray();
    for (const NewsList* item = dump.items; item; item = item->next)
        WriteItem(json, *item);
    json.EndArray();
    json.EndObject();
    return json.Text();
}

static std::string WriteStats(const FeedDump& dump, double seconds)
{
    JsonWriter json;
    json.BeginObject();
    json.Key("items");
    json.Number(int64_t(CountNews(dump.items)));
    json.Key("seconds");
    json.Number(seconds);
    json.EndObject();
    return json.Text();
}

static bool WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written <= 0)
            return false;
        text.remove_prefix(size_t(written));
    }
    return true;
}

int main(int argc, char** argv)
{
    std::optional<Options> options = ReadOptions(argc, argv);
    if (!options) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    // The program's diagnostic lines are written to standard output; they go
    // to standard error here, and the JSON to the real standard output.
    std::fflush(stdout);
    const int jsonFd = dup(STDOUT_FILENO);
    if (jsonFd < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::cerr << "varnoke-feeddump: cannot set up its output\n";
        return kExitUsage;
    }

    std::optional<std::string> data = ReadDocument(options->path);
    if (!data)
        return kExitUsage;
    CFStringEncoding encoding = kSystemTextEncoding;
    if (!options->encoding.empty() && CFStringEncodingFromInternetName(options->encoding, encoding) != kNoErr)
        std::cerr << "varnoke-feeddump: unknown encoding " << options->encoding << "; UTF-8 is used\n";

    LoadConfiguration();
    LoadRestrictions();
    FeedDump dump;
    dump.subscription.siteType = kSiteTypeRSS;
    dump.subscription.password = options->encoding;
    const auto start = std::chrono::steady_clock::now();
    ReadFeed(*data, dump);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const std::string output = options->statsOnly ? WriteStats(dump, seconds) : WriteFeedDump(dump);
    if (!WriteAll(jsonFd, output)) {
        std::cerr << "varnoke-feeddump: cannot write its output\n";
        return kExitUsage;
    }
    const bool notFeed = dump.kind == FeedKind::kUnknown || dump.result == kFeedNotRecognizedErr;
    return notFeed ? kExitNotFeed : kExitRead;
}
