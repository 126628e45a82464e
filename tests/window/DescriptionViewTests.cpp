// The description pane's web view: a generated page runs no script, reads
// no local file, sends no form and follows no file link, while a web page
// the user opens runs as in a browser. Starts the real web engine on the
// offscreen platform and clicks into it as a user would.
#include "window/DescriptionView.h"

#include "NetTestSupport.h"
#include "viewer/DescriptionPage.h"

#include <QTest>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kLoadDeadlineMs = 15000;
constexpr int kSettleMs = 300;
constexpr int kAfterClickMs = 800;

// The title a page ends with: its script, when it ran, renames it.
constexpr char kScriptedPage[] = "<html><head><title>quiet</title></head><body>"
                                 "<script>document.title = 'script ran';</script></body></html>";

// The real engine, as root in a container too (tests only).
class WebEngineTest : public testing::Test {
protected:
    ScopedVariable fWebView{"VARNOKE_WEBVIEW", "on"};
    ScopedVariable fFlags{"QTWEBENGINE_CHROMIUM_FLAGS", Flags()};
    ScratchFolder fHome;
    ScopedVariable fData{"XDG_DATA_HOME", (fHome / "data").string()};

    static std::optional<std::string> Flags()
    {
        const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (given)
            return std::string(given);
        return geteuid() == 0 ? std::optional<std::string>("--no-sandbox --disable-gpu") : std::nullopt;
    }
};

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

int CountFound(DescriptionView& view, const QString& text)
{
    int found = -1;
    view.WebView()->page()->findText(text, {}, [&](const QWebEngineFindTextResult& result) {
        found = result.numberOfMatches();
    });
    SpinUntil([&] { return found >= 0; }, kLoadDeadlineMs);
    view.WebView()->page()->findText(QString());
    return found;
}

void ClickMiddle(DescriptionView& view)
{
    QWidget* target = view.WebView()->focusProxy();
    ASSERT_NE(target, nullptr);
    QPoint middle(target->width() / 2, target->height() / 2);
    QTest::mouseMove(target, middle);
    QTest::mouseClick(target, Qt::LeftButton, {}, middle);
}

} // namespace

TEST_F(WebEngineTest, GeneratedPagesRunNoScriptButOpenedWebPagesDo)
{
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

// A feed item's description, written as the item's page and shown as the
// pane shows it, tries to act; a click lands in the middle of the pane.
TEST_F(WebEngineTest, AHostileDescriptionCannotActFromTheGeneratedPage)
{
    int requests = 0;
    std::string lastRequest;
    std::vector<std::string> requestLines;
    TestServer site([&](TestExchange& exchange) {
        ++requests;
        lastRequest = exchange.Request();
        requestLines.push_back(lastRequest.substr(0, lastRequest.find('\r')));
        exchange.SendAndClose(OkResponse("<html><head><title>remote</title></head><body>VISIBLEMARK</body></html>",
                                         "Content-Type: text/html\r\n"));
    });
    std::filesystem::path secret = fHome / "secret.html";
    std::ofstream(secret) << "<html><body>SECRETMARK</body></html>";
    std::string secretURL = "file://" + secret.string();
    const std::string cover = " style=\"position:fixed;left:0;top:0;width:100%;height:100%;margin:0\"";

    struct Case {
        const char* what;
        std::string description;
        bool click;
        // What must never be seen afterwards.
        int requestsAllowed;
        const char* titleNot;
        const char* textNot;
    } const cases[] = {
        {"script in the description", "<script>document.title = 'script ran';</script>"
                                      "<img src=\"x\" onerror=\"document.title = 'handler ran'\">",
         false, 0, "ran", nullptr},
        {"an iframe to a local file", "<iframe src=\"" + secretURL + "\" width=300 height=100></iframe>", false, 0, nullptr,
         "SECRETMARK"},
        {"a form posting to a remote address",
         "<form method=\"post\" action=\"" + site.URL("/submit") + "\"><input type=\"hidden\" name=\"k\" value=\"v\">"
                                                                  "<input type=\"submit\" value=\"Send\"" + cover + "></form>",
         true, 0, "remote", nullptr},
        {"a link to a local file", "<a href=\"" + secretURL + "\"" + cover + ">open</a>", true, 0, nullptr, "SECRETMARK"},
    };

    DescriptionView view;
    view.resize(500, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(view.UsesWebEngine());
    std::vector<QUrl> refused;
    QObject::connect(&view, &DescriptionView::navigationRefused, [&](const QUrl& url) { refused.push_back(url); });

    auto show = [&](const std::string& description) {
        std::string page = MakeDescriptionPage({"Hostile", "", description, "", "UTF-8", nullptr}, {});
        std::optional<std::filesystem::path> file = StoreToHTMLFile(page);
        EXPECT_TRUE(file);
        LoadedTitle(view, [&] { view.ShowPageFile(*file); });
        SpinFor(kSettleMs);
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        requests = 0;
        refused.clear();
        show(c.description);
        if (c.click) {
            ClickMiddle(view);
            SpinFor(kAfterClickMs);
            // The click reached the page: it asked to go and was refused.
            EXPECT_FALSE(refused.empty());
        }
        EXPECT_LE(requests, c.requestsAllowed) << lastRequest;
        EXPECT_TRUE(view.WebView()->url().isLocalFile()) << view.WebView()->url().toString().toStdString();
        if (c.titleNot) {
            EXPECT_FALSE(view.WebView()->title().contains(c.titleNot)) << view.WebView()->title().toStdString();
        }
        if (c.textNot) {
            EXPECT_EQ(CountFound(view, c.textNot), 0);
        }
    }

    // The checks above can see: an iframe of the web shows, and a click on a
    // web link follows it in the pane, with the page's scripts on.
    requests = 0;
    show("<iframe src=\"" + site.URL("/framed") + "\" width=300 height=100></iframe><img src=\"" + site.URL("/img.png") + "\">");
    SpinUntil([&] { return CountFound(view, "VISIBLEMARK") > 0; }, 5000);
    EXPECT_GT(CountFound(view, "VISIBLEMARK"), 0);
    EXPECT_EQ(requests, 2); // the frame and the picture
    show("<a href=\"" + site.URL("/linked") + "\"" + cover + ">follow</a>");
    requestLines.clear();
    ClickMiddle(view);
    SpinUntil([&] { return view.WebView()->title() == "remote"; }, kLoadDeadlineMs);
    EXPECT_EQ(view.WebView()->title(), "remote");
    // The linked page and nothing else; on a loaded machine the engine may
    // ask again on a fresh connection, or ask for the site's icon.
    EXPECT_NE(std::find(requestLines.begin(), requestLines.end(), "GET /linked HTTP/1.1"), requestLines.end());
    for (const std::string& line : requestLines)
        EXPECT_TRUE(line == "GET /linked HTTP/1.1" || line == "GET /favicon.ico HTTP/1.1") << line;
    EXPECT_TRUE(view.WebView()->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
}
