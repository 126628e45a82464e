// Showing an item in the description pane, timed from the click to the
// painted page: the page generated, written to the support folder, loaded
// by the web view and painted, for 50 items of varied sizes with pictures.
// Prints each time and the median. Needs a display (Xvfb in the screenshot
// script) and the web engine. Usage: bench_panes [ITEMS]
#include "viewer/DescriptionPage.h"
#include "window/DescriptionView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kDefaultItems = 50;
constexpr int kDeadlineMs = 10000;

// Notes the first paint of the web view's surface after the load ended.
class PaintWatch : public QObject {
public:
    bool armed = false;
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (armed && event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

bool SpinUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > kDeadlineMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int items = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultItems;
    DescriptionView view;
    view.resize(900, 520);
    view.show();
    SubscriptionList feed;
    feed.siteType = kSiteTypeRSS;
    feed.name = "Bench";
    feed.accessURL = "http://127.0.0.1:9/feed.rss";
    DescriptionPageSettings settings;
    settings.styleSheet = "Default";
    settings.viewWidth = view.width();

    PaintWatch watch;
    bool ended = false;
    // The page counts as painted at the surface's first paint after its load
    // began, once the load has ended (paints may come before the end).
    QObject::connect(&view, &DescriptionView::pageLoadStarted, [&](const QUrl&) {
        watch.armed = true;
        if (QWidget* surface = view.WebView() ? view.WebView()->focusProxy() : nullptr)
            surface->installEventFilter(&watch);
    });
    QObject::connect(&view, &DescriptionView::pageLoadEnded, [&](const QUrl&, int, const QString&) {
        ended = true;
        // A new renderer may bring a new surface: watch the one shown now.
        if (QWidget* surface = view.WebView() ? view.WebView()->focusProxy() : nullptr) {
            surface->installEventFilter(&watch);
        }
    });
    std::vector<double> times;
    for (int i = -1; i < items; ++i) { // the first load warms the engine up
        std::string description;
        for (int p = 0; p <= i % 12; ++p)
            description += "<p>Paragraph " + std::to_string(p) +
                           " of the item, with <a href=\"http://127.0.0.1:9/x\">a link</a> and <b>bold</b> words.</p>";
        std::string title = "Item " + std::to_string(i) + " of the bench";
        DescriptionPageItem item{title, "http://127.0.0.1:9/item", description, "", "UTF-8", &feed};
        ended = false;
        watch.armed = false;
        watch.painted = false;
        QElapsedTimer timer;
        timer.start();
        std::optional<std::filesystem::path> file = StoreToHTMLFile(MakeDescriptionPage(item, settings));
        if (!file) {
            std::fprintf(stderr, "# the page was not written\n");
            return 1;
        }
        view.ShowPageFile(*file);
        if (!SpinUntil([&] { return ended && (watch.painted || !view.WebView()); })) {
            std::fprintf(stderr, "# item %d was not shown within %d ms (load %s)\n", i, kDeadlineMs,
                         ended ? "ended, no paint" : "never ended");
            return 1;
        }
        double ms = double(timer.nsecsElapsed()) / 1e6;
        if (i >= 0)
            times.push_back(ms);
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double median = sorted.size() % 2 ? sorted[sorted.size() / 2]
                                      : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
    std::printf("show item (click to painted page), %zu items: median %.1f ms, min %.1f ms, max %.1f ms\n",
                sorted.size(), median, sorted.front(), sorted.back());
    return 0;
}
