// The description pane's web view: a generated page runs no script and
// reads no local file, while a web page the user opens runs as in a browser.
// Starts the real web engine on the offscreen platform.
#include "window/DescriptionView.h"

#include "NetTestSupport.h"

#include <QWebEngineSettings>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include <unistd.h>

namespace {

constexpr int kLoadDeadlineMs = 15000;

// The title a page ends with: its script, when it ran, renames it.
constexpr char kScriptedPage[] = "<html><head><title>quiet</title></head><body>"
                                 "<script>document.title = 'script ran';</script></body></html>";

QString LoadedTitle(DescriptionView& view, const std::function<void()>& load)
{
    bool finished = false;
    QObject context;
    QObject::connect(&view, &DescriptionView::loadFinished, &context, [&](bool) { finished = true; });
    load();
    SpinUntil([&] { return finished; }, kLoadDeadlineMs);
    SpinFor(100);
    return view.WebView()->title();
}

} // namespace

TEST(DescriptionView, GeneratedPagesRunNoScriptButOpenedWebPagesDo)
{
    ScopedVariable webView("VARNOKE_WEBVIEW", "on");
    // The engine refuses its sandbox under root; tests only.
    const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    ScopedVariable flags("QTWEBENGINE_CHROMIUM_FLAGS",
                         given ? std::optional<std::string>(given)
                               : geteuid() == 0 ? std::optional<std::string>("--no-sandbox --disable-gpu") : std::nullopt);
    TestServer site([](TestExchange& exchange) {
        exchange.SendAndClose(OkResponse(kScriptedPage, "Content-Type: text/html\r\n"));
    });
    DescriptionView view;
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(view.UsesWebEngine());

    EXPECT_EQ(LoadedTitle(view, [&] { view.ShowGeneratedPage(kScriptedPage); }), "quiet");
    QWebEngineSettings* settings = view.WebView()->page()->settings();
    EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::JavascriptEnabled));
    EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls));

    EXPECT_EQ(LoadedTitle(view, [&] { view.LoadURL(QUrl(QString::fromStdString(site.URL("/page.html")))); }),
              "script ran");

    // Back to a generated page: scripts are off again, also on a page whose
    // relative addresses resolve against the item's web address.
    EXPECT_EQ(LoadedTitle(view, [&] { view.ShowGeneratedPage(kScriptedPage); }), "quiet");
    QUrl base(QString::fromStdString(site.URL("/item/1")));
    QUrl shown;
    QObject::connect(&view, &DescriptionView::urlChanged, [&](const QUrl& url) { shown = url; });
    EXPECT_EQ(LoadedTitle(view, [&] { view.ShowGeneratedPage(kScriptedPage, base); }), "quiet");
    EXPECT_NE(shown.scheme(), "http") << shown.toString().toStdString();
}
