// The web view with its two behaviours, or its plain stand-in.
#include "window/DescriptionView.h"

#include "platform/Files.h"
#include "platform/Log.h"

#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <array>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

constexpr std::array kZoomFactors{0.5, 0.67, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0};
constexpr int kZoomNormal = 4; // index of 1.0
constexpr int kMinimumFontPoints = 8;
constexpr int kMaximumFontPoints = 27;
constexpr int kStoppedLoadError = -999;

bool IsWebScheme(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

bool IsWebEngineWanted()
{
    const char* wanted = std::getenv("VARNOKE_WEBVIEW");
    return !(wanted && std::strcmp(wanted, "off") == 0);
}

} // namespace

// Generated pages run without scripts and send no forms; a web page the
// user opens runs as it would in a browser. Local files open only when the
// viewer itself asks for one of its own pages, and addresses of other
// schemes (javascript:, data: from a link) found in a feed are never
// followed.
class DescriptionWebPage : public QWebEnginePage {
public:
    explicit DescriptionWebPage(QObject* parent)
        : QWebEnginePage(parent)
    {
    }

    // The next main-frame load is the viewer's own (a page file or text).
    void ExpectOwnPage(const QUrl& url)
    {
        m_ownPages.insert(url);
        settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    }
    void ExpectOwnText() { m_ownText = true; settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false); }

    std::function<void(const QUrl&)> refused;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        bool fromGenerated = !IsWebScheme(this->url());
        if (type == NavigationTypeFormSubmitted && fromGenerated)
            return Refuse(url, "a form of a generated page");
        if (url.isLocalFile()) {
            if (!isMainFrame || !m_ownPages.contains(url))
                return Refuse(url, "a local file");
            settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
            return true;
        }
        if (url.scheme() == QLatin1String("data") || url.scheme() == QLatin1String("about")) {
            // Only the viewer's own text arrives this way; a feed's data:
            // link is refused.
            if (isMainFrame && !m_ownText)
                return Refuse(url, "an address of another scheme");
            if (isMainFrame) {
                m_ownText = false;
                settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
            }
            return true;
        }
        if (!IsWebScheme(url))
            return Refuse(url, "an address of another scheme");
        if (isMainFrame)
            settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
        return true;
    }

    // Links that ask for a new window open in the pane itself.
    QWebEnginePage* createWindow(WebWindowType) override { return this; }

private:
    bool Refuse(const QUrl& url, const char* what)
    {
        LogInfo("the description pane does not open %s: %s", what, url.toString().left(200).toUtf8().constData());
        if (refused)
            refused(url);
        return false;
    }

    std::set<QUrl> m_ownPages;
    bool m_ownText = false;
};

DescriptionView::DescriptionView(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_zoomStep = kZoomNormal;
    if (IsWebEngineWanted()) {
        m_web = new QWebEngineView(this);
        m_page = new DescriptionWebPage(m_web);
        m_page->refused = [this](const QUrl& url) { emit navigationRefused(url); };
        QWebEngineSettings* settings = m_page->settings();
        settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        // The item's page is a local file whose pictures, players and
        // frames come from the web; with scripts off nothing can read them.
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        m_web->setPage(m_page);
        layout->addWidget(m_web);
        connect(m_web, &QWebEngineView::titleChanged, this, &DescriptionView::titleChanged);
        connect(m_web, &QWebEngineView::urlChanged, this, &DescriptionView::urlChanged);
        connect(m_web, &QWebEngineView::loadStarted, this, &DescriptionView::loadStarted);
        connect(m_web, &QWebEngineView::loadProgress, this, &DescriptionView::loadProgress);
        connect(m_web, &QWebEngineView::loadFinished, this, &DescriptionView::loadFinished);
        connect(m_page, &QWebEnginePage::linkHovered, this, &DescriptionView::linkHovered);
        connect(m_page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
            switch (info.status()) {
            case QWebEngineLoadingInfo::LoadStartedStatus:
                emit pageLoadStarted(info.url());
                return;
            case QWebEngineLoadingInfo::LoadSucceededStatus:
                emit pageLoadEnded(info.url(), 0, QString());
                return;
            case QWebEngineLoadingInfo::LoadStoppedStatus:
                emit pageLoadEnded(info.url(), kStoppedLoadError, QString());
                return;
            case QWebEngineLoadingInfo::LoadFailedStatus:
                emit pageLoadEnded(info.url(), info.errorCode() ? info.errorCode() : -1, info.errorString());
                return;
            }
        });
        return;
    }
    m_text = new QTextBrowser(this);
    m_text->setOpenLinks(false);
    m_text->setFrameShape(QFrame::NoFrame);
    layout->addWidget(m_text);
    connect(m_text, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (IsWebScheme(url))
            LoadURL(url);
        else
            emit navigationRefused(url);
    });
    connect(m_text, &QTextBrowser::highlighted, this, [this](const QUrl& url) { emit linkHovered(url.toString()); });
}

void DescriptionView::ShowGeneratedPage(const std::string& html, const QUrl& base)
{
    QString text = QString::fromStdString(html);
    if (m_web) {
        // Relative addresses resolve through a <base> element: a base given
        // to the engine would become the page's own address, and the pane
        // would pass for showing that web page.
        qsizetype head = text.indexOf(QLatin1String("<head>"));
        if (IsWebScheme(base) && head >= 0)
            text.insert(head + 6, QStringLiteral("<base href=\"%1\">").arg(base.toString(QUrl::FullyEncoded).toHtmlEscaped()));
        m_page->ExpectOwnText();
        m_web->setHtml(text);
        return;
    }
    m_text->setHtml(text);
    emit urlChanged(QUrl());
    emit titleChanged(QString());
}

void DescriptionView::ShowPageFile(const std::filesystem::path& file)
{
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(file.string()));
    if (m_web) {
        m_page->ExpectOwnPage(url);
        m_web->load(url);
        return;
    }
    // The stand-in reads the bytes as they are; it knows no charset header.
    std::optional<std::string> bytes = GetDataFromFile(file);
    emit pageLoadStarted(url);
    m_text->setHtml(bytes ? QString::fromUtf8(bytes->data(), qsizetype(bytes->size())) : QString());
    emit urlChanged(url);
    emit titleChanged(QString());
    emit pageLoadEnded(url, 0, QString());
}

void DescriptionView::LoadURL(const QUrl& url)
{
    if (!IsWebScheme(url))
        return;
    if (m_web) {
        m_web->load(url);
        return;
    }
    // Without a web engine the address is all there is to show.
    emit loadStarted();
    emit pageLoadStarted(url);
    m_text->setHtml(QStringLiteral("<p>%1</p>").arg(url.toString().toHtmlEscaped()));
    emit urlChanged(url);
    emit titleChanged(url.toString());
    emit loadProgress(100);
    emit loadFinished(true);
    emit pageLoadEnded(url, 0, QString());
}

void DescriptionView::Back()
{
    if (m_web)
        m_web->back();
}

void DescriptionView::Forward()
{
    if (m_web)
        m_web->forward();
}

void DescriptionView::Stop()
{
    if (m_web)
        m_web->stop();
}

void DescriptionView::Reload()
{
    if (m_web)
        m_web->reload();
}

bool DescriptionView::CanGoBack() const
{
    return m_web && m_web->history()->canGoBack();
}

bool DescriptionView::CanGoForward() const
{
    return m_web && m_web->history()->canGoForward();
}

void DescriptionView::Bigger()
{
    if (!CanBigger())
        return;
    ++m_zoomStep;
    if (m_web)
        m_web->setZoomFactor(kZoomFactors[size_t(m_zoomStep)]);
    else
        m_text->zoomIn(1);
}

void DescriptionView::Smaller()
{
    if (!CanSmaller())
        return;
    --m_zoomStep;
    if (m_web)
        m_web->setZoomFactor(kZoomFactors[size_t(m_zoomStep)]);
    else
        m_text->zoomOut(1);
}

bool DescriptionView::CanBigger() const
{
    return m_zoomStep + 1 < int(kZoomFactors.size());
}

bool DescriptionView::CanSmaller() const
{
    return m_zoomStep > 0;
}

void DescriptionView::SetFonts(const QString& family, int points, const QString& encoding)
{
    if (!m_web) {
        QFont font = m_text->font();
        if (!family.isEmpty())
            font.setFamily(family);
        if (points >= kMinimumFontPoints && points <= kMaximumFontPoints)
            font.setPointSize(points);
        m_text->setFont(font);
        return;
    }
    QWebEngineSettings* settings = m_page->settings();
    if (!family.isEmpty())
        settings->setFontFamily(QWebEngineSettings::StandardFont, family);
    // The engine counts CSS pixels: a point is 4/3 of one.
    if (points >= kMinimumFontPoints && points <= kMaximumFontPoints)
        settings->setFontSize(QWebEngineSettings::DefaultFontSize, points * 4 / 3);
    if (!encoding.isEmpty())
        settings->setDefaultTextEncoding(encoding);
}

QWidget* DescriptionView::FocusTarget() const
{
    return m_web ? static_cast<QWidget*>(m_web) : static_cast<QWidget*>(m_text);
}
