// The viewer window's start-up and listing figures: the time from process
// start to the window shown with its counts, with 500 subscriptions and
// 100,000 history items beside a fresh profile's, and the time selecting a
// subscription of 10,000 items takes to list them. Prints the figures and
// the ratio to the goals (1.5 s and 3x the fresh start; 100 ms).
#include "support/ScratchEnvironment.h"

#include "model/HistoryFiles.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "model/SubscriptionsFile.h"
#include "platform/Clock.h"
#include "settings/Environs.h"
#include "viewer/HeadlineModel.h"
#include "viewer/ViewerOperations.h"
#include "window/SubscriptionPane.h"
#include "window/ViewerWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kSubscriptions = 500;
constexpr int kGroups = 10;
constexpr int kHistoryItems = 100'000;
constexpr int kListedItems = 10'000;
constexpr int kRuns = 3;
constexpr int kStartTimeoutMs = 30'000;

void UseProfile(const QString& home)
{
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home + "/.local/share").toUtf8());
    qputenv("XDG_CACHE_HOME", (home + "/.cache").toUtf8());
}

NewsList MakeItem(SubscriptionList* parent, int number)
{
    NewsList item;
    item.type = kNewsTypeFeed;
    item.parent = parent;
    item.flags = number % 3 == 0 ? 0 : kNewsFlagRead;
    item.dateTime = 3'900'000'000u - uint32_t(number) * 60;
    std::string text = "Headline number " + std::to_string(number) + " of a long day of news";
    item.headline = text;
    item.headlineRef = text;
    item.linkURL = "http://127.0.0.1:9/item/" + std::to_string(number);
    item.encodingName = "UTF-8";
    return item;
}

// 500 manual feeds in ten groups (nothing is fetched), each with its share
// of the history.
void WriteLargeProfile()
{
    SubscriptionList* tree = nullptr;
    std::vector<SubscriptionList*> feeds;
    for (int g = 0; g < kGroups; ++g) {
        SubscriptionList group;
        group.siteType = kSiteTypeGroup;
        group.name = "Group " + std::to_string(g + 1);
        tree = AddSubscriptionList(tree, group);
        SubscriptionList* node = FindSubscriptionByID(tree, group.sid);
        for (int f = 0; f < kSubscriptions / kGroups; ++f) {
            SubscriptionList feed;
            feed.siteType = kSiteTypeRSS;
            feed.checkType = kCheckManual;
            int number = g * (kSubscriptions / kGroups) + f + 1;
            feed.name = "Feed " + std::to_string(number);
            feed.accessURL = "http://127.0.0.1:9/feed" + std::to_string(number) + ".rss";
            feed.parent = node;
            node->child = AddSubscriptionList(node->child, feed);
            feeds.push_back(FindSubscriptionByID(tree, feed.sid));
        }
    }
    NewsList* news = nullptr;
    NewsList* tail = nullptr;
    for (int n = 0; n < kHistoryItems; ++n) {
        NewsList item = MakeItem(feeds[size_t(n) % feeds.size()], n);
        NewsList* added = AddNewsList(nullptr, item);
        (tail ? tail->next : news) = added;
        tail = added;
    }
    if (SaveSubscriptionsToFile(tree) != kNoErr || SaveHistoryToFiles(tree, news) != kNoErr)
        std::fprintf(stderr, "# the large profile was not written whole\n");
    DisposeNewsList(news);
    DisposeSubscriptionList(tree);
}

// Milliseconds from the start of `program` to its "viewer window shown"
// line; -1 when it did not come.
double TimeStartUp(const QString& program, const QString& home)
{
    QProcessEnvironment environment = ScratchEnvironment(home);
    // No bus: a Varnoke that runs already must not take over the run.
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    // The program starts as users run it, web view included; its engine
    // refuses its sandbox under root.
    environment.remove("VARNOKE_WEBVIEW");
    if (geteuid() == 0 && !environment.contains("QTWEBENGINE_CHROMIUM_FLAGS"))
        environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    environment.insert("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    QByteArray output;
    double elapsed = -1;
    while (clock.elapsed() < kStartTimeoutMs && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(5);
        output += process.readAll();
        if (output.contains("viewer window shown")) {
            elapsed = double(clock.nsecsElapsed()) / 1e6;
            break;
        }
    }
    process.kill();
    process.waitForFinished();
    if (elapsed < 0)
        std::fprintf(stderr, "# no window from %s:\n%s\n", qPrintable(program), output.constData());
    return elapsed;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Selecting a subscription of 10,000 items among 100,000 in the window.
double TimeSelection(const QString& home)
{
    UseProfile(home);
    InitEnvirons();
    std::unique_ptr<ShellViewer> viewer = OpenViewerWindow();
    NVWStaff* staff = GetNewsViewerStaff();
    ViewerWindow* window = GetViewerWindow();
    SubscriptionList big;
    big.siteType = kSiteTypeRSS;
    big.name = "Ten thousand";
    big.accessURL = "http://127.0.0.1:9/big.rss";
    big.orderID = MaximumSubscriptionsOrder(staff->subscriptions) + 1;
    staff->subscriptions = AddSubscriptionList(staff->subscriptions, big);
    SubscriptionList* node = FindSubscriptionByID(staff->subscriptions, big.sid);
    SubscriptionList other = big;
    other.name = "Other";
    other.orderID += 1;
    staff->subscriptions = AddSubscriptionList(staff->subscriptions, other);
    SubscriptionList* otherNode = FindSubscriptionByID(staff->subscriptions, other.sid);
    NewsList* tail = nullptr;
    for (int n = 0; n < kHistoryItems; ++n) {
        NewsList item = MakeItem(n % (kHistoryItems / kListedItems) == 0 ? node : otherNode, n);
        NewsList* added = AddNewsList(nullptr, item);
        (tail ? tail->next : staff->news) = added;
        tail = added;
    }
    staff->newsIndex.Rebuild(staff->news);
    window->Pane()->Reload();
    window->show();
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    window->Pane()->SelectSubscription(node->sid);
    window->HeadlineList()->viewport()->repaint();
    QApplication::processEvents();
    double elapsed = double(clock.nsecsElapsed()) / 1e6;
    int listed = window->Headlines()->rowCount();
    if (listed != kListedItems)
        std::fprintf(stderr, "# listed %d items, not %d\n", listed, kListedItems);
    // Nothing of this run is worth saving.
    DisposeNewsList(std::exchange(staff->news, nullptr));
    staff->newsIndex.Rebuild(nullptr);
    viewer.reset();
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("VARNOKE_WEBVIEW", "off", 0);
    QApplication application(argc, argv);
    QString program = QString::fromUtf8(VARNOKE_BINARY);
    QTemporaryDir root;
    QString fresh = root.path() + "/fresh";
    QString large = root.path() + "/large";
    QString listing = root.path() + "/listing";

    UseProfile(large);
    WriteLargeProfile();

    std::vector<double> freshTimes;
    std::vector<double> largeTimes;
    for (int run = 0; run < kRuns; ++run) {
        // A fresh profile each time: the first run writes the preset list.
        std::filesystem::remove_all(fresh.toStdString());
        freshTimes.push_back(TimeStartUp(program, fresh));
        largeTimes.push_back(TimeStartUp(program, large));
    }
    double freshMs = Median(freshTimes);
    double largeMs = Median(largeTimes);
    std::printf("start-up, fresh profile:                         %8.1f ms (median of %d)\n", freshMs, kRuns);
    std::printf("start-up, %d subscriptions, %d history items: %8.1f ms (median of %d)\n", kSubscriptions,
                kHistoryItems, largeMs, kRuns);
    std::printf("ratio to the fresh start:                        %8.2fx (goal: under 3x and 1500 ms)\n",
                freshMs > 0 ? largeMs / freshMs : 0.0);

    double selectMs = TimeSelection(listing);
    std::printf("selecting a subscription of %d items:         %8.1f ms (goal: under 100 ms)\n", kListedItems, selectMs);
    bool met = freshMs > 0 && largeMs > 0 && largeMs < 1500 && largeMs < 3 * freshMs && selectMs < 100;
    return met ? 0 : 1;
}
