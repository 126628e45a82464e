// The web view with its two behaviours, or its plain stand-in.
#include "window/DescriptionView.h"

#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <cstdlib>
#include <cstring>

namespace {

bool IsWebScheme(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// Generated pages run without scripts; a web page the user opens runs as
// it would in a browser. Addresses of other schemes (file:, javascript:)
// found in a feed are never followed.
class DescriptionPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        if (!isMainFrame)
            return url.scheme() != QLatin1String("file");
        if (url.scheme() == QLatin1String("data") || url.scheme() == QLatin1String("about")) {
            settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
            return true;
        }
        if (!IsWebScheme(url))
            return false;
        settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
        return true;
    }

    // Links that ask for a new window open in the pane itself.
    QWebEnginePage* createWindow(WebWindowType) override { return this; }
};

bool IsWebEngineWanted()
{
    const char* wanted = std::getenv("VARNOKE_WEBVIEW");
    return !(wanted && std::strcmp(wanted, "off") == 0);
}

} // namespace

DescriptionView::DescriptionView(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (IsWebEngineWanted()) {
        m_web = new QWebEngineView(this);
        auto* page = new DescriptionPage(m_web);
        QWebEngineSettings* settings = page->settings();
        settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        m_web->setPage(page);
        layout->addWidget(m_web);
        connect(m_web, &QWebEngineView::titleChanged, this, &DescriptionView::titleChanged);
        connect(m_web, &QWebEngineView::urlChanged, this, &DescriptionView::urlChanged);
        connect(m_web, &QWebEngineView::loadStarted, this, &DescriptionView::loadStarted);
        connect(m_web, &QWebEngineView::loadProgress, this, &DescriptionView::loadProgress);
        connect(m_web, &QWebEngineView::loadFinished, this, &DescriptionView::loadFinished);
        connect(page, &QWebEnginePage::linkHovered, this, &DescriptionView::linkHovered);
        return;
    }
    m_text = new QTextBrowser(this);
    m_text->setOpenLinks(false);
    m_text->setFrameShape(QFrame::NoFrame);
    layout->addWidget(m_text);
    connect(m_text, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (IsWebScheme(url))
            LoadURL(url);
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
        m_web->page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        m_web->setHtml(text);
        return;
    }
    m_text->setHtml(text);
    emit urlChanged(QUrl());
    emit titleChanged(QString());
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
    m_text->setHtml(QStringLiteral("<p>%1</p>").arg(url.toString().toHtmlEscaped()));
    emit urlChanged(url);
    emit titleChanged(url.toString());
    emit loadProgress(100);
    emit loadFinished(true);
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

QWidget* DescriptionView::FocusTarget() const
{
    return m_web ? static_cast<QWidget*>(m_web) : static_cast<QWidget*>(m_text);
}
