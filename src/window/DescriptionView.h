// The description pane's view: a web view that shows the generated pages
// with scripts off and no access to local files, and the pages the user
// opens by their links as any browser would. Where the web engine cannot
// run (VARNOKE_WEBVIEW=off, for tests on machines without it) a plain text
// browser stands in with the same signals.
#pragma once

#include <QUrl>
#include <QWidget>

#include <string>

class QWebEngineView;
class QTextBrowser;

class DescriptionView : public QWidget {
    Q_OBJECT
public:
    explicit DescriptionView(QWidget* parent = nullptr);

    // A page made by the viewer; `base` resolves its relative addresses.
    void ShowGeneratedPage(const std::string& html, const QUrl& base = {});
    void LoadURL(const QUrl& url);
    void Back();
    void Forward();
    void Stop();
    void Reload();
    bool CanGoBack() const;
    bool CanGoForward() const;
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

private:
    QWebEngineView* m_web = nullptr;
    QTextBrowser* m_text = nullptr;
};
