// The description pane's view: a web view that shows the generated pages
// (files the viewer writes, or text it hands over) with scripts off, no
// access to other local files and no form submission, and the pages the
// user opens by their links as any browser would. Where the web engine
// cannot run (VARNOKE_WEBVIEW=off, for tests on machines without it) a
// plain text browser stands in with the same signals.
#pragma once

#include <QUrl>
#include <QWidget>

#include <filesystem>
#include <string>

class QWebEngineView;
class QTextBrowser;
class DescriptionWebPage;

class DescriptionView : public QWidget {
    Q_OBJECT
public:
    explicit DescriptionView(QWidget* parent = nullptr);

    // A page made by the viewer; `base` resolves its relative addresses.
    void ShowGeneratedPage(const std::string& html, const QUrl& base = {});
    // A page file the viewer wrote or ships (the item's page, the fixed
    // pages): the only local files the view ever opens.
    void ShowPageFile(const std::filesystem::path& file);
    void LoadURL(const QUrl& url);
    void Back();
    void Forward();
    void Stop();
    void Reload();
    bool CanGoBack() const;
    bool CanGoForward() const;
    // Text size, in steps of the engine's zoom.
    void Bigger();
    void Smaller();
    bool CanBigger() const;
    bool CanSmaller() const;
    // The pane's font family (empty: the engine's), size in points (0: the
    // engine's) and default encoding (empty: the engine's).
    void SetFonts(const QString& family, int points, const QString& encoding);
    bool UsesWebEngine() const { return m_web != nullptr; }
    // The web view itself; null for the stand-in.
    QWebEngineView* WebView() const { return m_web; }
    // The widget that takes the keyboard focus for the pane.
    QWidget* FocusTarget() const;

signals:
    void titleChanged(const QString& title);
    void urlChanged(const QUrl& url);
    void loadStarted();
    void loadProgress(int percent);
    void loadFinished(bool ok);
    void linkHovered(const QString& url);
    // The main frame's load of `url` started; it ended (errorCode 0 when it
    // succeeded, -999 when it was stopped).
    void pageLoadStarted(const QUrl& url);
    void pageLoadEnded(const QUrl& url, int errorCode, const QString& errorText);
    // A navigation the pane refused: a form sent from a generated page, a
    // local file, another scheme.
    void navigationRefused(const QUrl& url);

private:
    QWebEngineView* m_web = nullptr;
    DescriptionWebPage* m_page = nullptr;
    QTextBrowser* m_text = nullptr;
    int m_zoomStep = 0;
};
