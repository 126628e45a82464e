// Times the real refresh cycle headless: the viewer core opened on a
// subscriptions file of 500 feeds (50 items each) served by a local server,
// one full round of downloads paced by the idle tick (six workers at most),
// then a second round after the refresh-all command in which every feed
// answers 304. Prints each round's wall time, CPU seconds and items; the
// script bench_refresh.sh runs the same rounds with newsboat beside it.
//
//     bench_refresh --serve FEEDS ITEMS     the local server: prints its port, serves until killed
//     bench_refresh --client PORT FOLDER FEEDS   the two rounds, files under FOLDER; figures on stderr
#include "feeds/RefreshCycle.h"
#include "feeds/RefreshSchedule.h"
#include "model/SubscriptionsFile.h"
#include "platform/Tasks.h"
#include "viewer/ViewerOperations.h"

#include "LoopbackServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kListenBacklog = 256;
constexpr int kRoundCheckMs = 50;
constexpr char kLastModified[] = "Mon, 15 Jan 2024 12:30:00 GMT";
constexpr char kNotModified[] = "HTTP/1.0 304 Not Modified\r\nServer: bench\r\n\r\n";
constexpr char kNotFound[] = "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\nnot here\n";
constexpr char kFeedPath[] = "/feed/";

/* ---- The local server ---- */

// Feed N: an RSS 2.0 channel of `items` items with the texts a news site has.
std::string MakeFeed(uint16_t port, int number, int items)
{
    std::string site = "http://127.0.0.1:" + std::to_string(port) + "/site/" + std::to_string(number) + "/";
    std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n<title>Bench feed " +
                       std::to_string(number) + "</title>\n<link>" + site +
                       "</link>\n<description>A feed of the refresh benchmark</description>\n";
    for (int item = 0; item < items; ++item) {
        std::string id = std::to_string(number) + "-" + std::to_string(item);
        feed += "<item>\n<title>Headline " + id + ": council approves the new harbour &amp; rail plan</title>\n<link>" +
                site + "story/" + id + ".html</link>\n<guid>" + site + "story/" + id +
                ".html</guid>\n<description><![CDATA[<p>Story " + id +
                ". The council voted on Tuesday to approve the long-debated plan, which will link the harbour to "
                "the main line by 2027. Opponents said the cost had doubled since the first estimate; the mayor "
                "replied that the <b>benefits</b> had grown as well.</p>]]></description>\n<pubDate>Mon, " +
                std::to_string(1 + item % 28) + " Jan 2024 " + std::to_string(10 + item % 12) +
                ":30:00 GMT</pubDate>\n<category>Local</category>\n</item>\n";
    }
    return feed + "</channel>\n</rss>\n";
}

// /feed/N answers 200 with Last-Modified, or 304 to a conditional request;
// anything else (favicons) 404.
void PrepareAnswer(ServerConnection& connection, const std::vector<std::string>& feeds)
{
    size_t start = connection.request.find(' ') + 1;
    std::string path = connection.request.substr(start, connection.request.find(' ', start) - start);
    int number = path.starts_with(kFeedPath) ? std::atoi(path.c_str() + sizeof kFeedPath - 1) : -1;
    if (number < 0 || number >= int(feeds.size())) {
        connection.head = kNotFound;
        return;
    }
    if (::strcasestr(connection.request.c_str(), "\nIf-Modified-Since:") != nullptr) {
        connection.head = kNotModified;
        return;
    }
    connection.body = feeds[size_t(number)];
    connection.head = "HTTP/1.0 200 OK\r\nServer: bench\r\nContent-Type: application/rss+xml\r\nLast-Modified: " +
                      std::string(kLastModified) + "\r\nContent-Length: " + std::to_string(connection.body.size()) +
                      "\r\n\r\n";
}

int RunServer(int feedCount, int items)
{
    std::vector<std::string> feeds;
    return ServeLoopback(
        kListenBacklog,
        [&](uint16_t port) {
            for (int number = 0; number < feedCount; ++number)
                feeds.push_back(MakeFeed(port, number, items));
        },
        [&feeds](ServerConnection& connection) { PrepareAnswer(connection, feeds); });
}

/* ---- The refresh rounds ---- */

double CPUSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void WriteSubscriptions(uint16_t port, int feedCount)
{
    SubscriptionList* tree = nullptr;
    for (int number = 0; number < feedCount; ++number) {
        SubscriptionList feed;
        feed.siteType = kSiteTypeRSS;
        feed.checkType = kCheckEvery10Min;
        feed.name = "Bench feed " + std::to_string(number);
        feed.accessURL = "http://127.0.0.1:" + std::to_string(port) + kFeedPath + std::to_string(number);
        feed.orderID = uint32_t(number + 1);
        tree = AddSubscriptionList(tree, feed);
    }
    SaveSubscriptionsToFile(tree, GetSubscriptionsFile());
    DisposeSubscriptionList(tree);
}

// A round is over when every feed was picked and no download runs.
bool IsRoundOver(const SubscriptionList* list)
{
    if (CountRunningRssThreads() != 0)
        return false;
    for (const SubscriptionList* node = list; node; node = node->next) {
        if (node->siteType == kSiteTypeRSS && node->prevCheckTime == 0)
            return false;
    }
    return true;
}

struct RoundFigures {
    double wall = 0;
    double cpu = 0;
    uint32_t items = 0;   // items the round added to the global list
    uint32_t failed = 0;  // feeds whose last access failed
};

RoundFigures RunRound(const std::function<void()>& start)
{
    RoundFigures figures;
    QElapsedTimer clock;
    clock.start();
    double cpu = CPUSeconds();
    start();
    NVWStaff* staff = GetNewsViewerStaff();
    uint32_t itemsBefore = CountNews(staff->news);
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (IsRoundOver(staff->subscriptions))
            loop.quit();
    });
    check.start(kRoundCheckMs);
    loop.exec();
    figures.wall = double(clock.nsecsElapsed()) / 1e9;
    figures.cpu = CPUSeconds() - cpu;
    figures.items = CountNews(staff->news) - itemsBefore;
    for (const SubscriptionList* node = staff->subscriptions; node; node = node->next)
        figures.failed += node->siteType == kSiteTypeRSS && node->accessErrors != 0;
    return figures;
}

void PrintRound(const char* name, const RoundFigures& figures)
{
    std::fprintf(stderr, "%s %.3f %.3f %u %u\n", name, figures.wall, figures.cpu, figures.items, figures.failed);
}

int RunClient(int argc, char** argv, uint16_t port, const fs::path& folder, int feedCount)
{
    for (const char* name : {"config", "data", "cache"})
        fs::create_directories(folder / name);
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
    QCoreApplication application(argc, argv);
    WriteSubscriptions(port, feedCount);
    ChooseRefreshDownloadMethod(RefreshDownloadMethod::kConditionalGet);

    RoundFigures first = RunRound([] { OpenNewsViewerCore(std::make_unique<LoggingViewerPresenter>()); });
    RoundFigures second = RunRound([] { RefreshSubscription(nullptr); });
    CloseNewsViewerCore();
    PrintRound("round1", first);
    PrintRound("round2", second);
    return first.failed == 0 && second.failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--serve" && argc == 4)
        return RunServer(std::atoi(argv[2]), std::atoi(argv[3]));
    if (mode == "--client" && argc == 5)
        return RunClient(argc, argv, uint16_t(std::atoi(argv[2])), argv[3], std::atoi(argv[4]));
    std::fprintf(stderr, "usage: bench_refresh --serve FEEDS ITEMS | --client PORT FOLDER FEEDS\n"
                         "  (bench/bench_refresh.sh runs both and newsboat beside them)\n");
    return 2;
}
