// The viewer window: the subscription pane on the left, the headline list
// top right and the description pane below, the two split bars, the
// toolbar, the web navigation row, the find field, the status and mouse-over
// lines and the busy indicators, laid out by the window's own rules. It
// draws the viewer core's model (ViewerPresenter) and answers the shell
// (ShellViewer); closing it only hides it.
#pragma once

#include "platform/FourCharCode.h"
#include "shell/ShellTargets.h"
#include "viewer/ViewerModel.h"
#include "viewer/ViewerPresenter.h"
#include "viewer/WindowLayout.h"

#include <QMainWindow>
#include <QPointer>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct DescriptionPageSettings;

class DescriptionView;
class HeadlineModel;
class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;
class SplitBar;
class SubscriptionPane;

// Receives the unread count whenever it may have changed (the tray icon
// and the launcher count draw it).
using UnreadBadgeDrawer = std::function<void(uint32_t unread)>;
void SetUnreadBadgeDrawer(UnreadBadgeDrawer drawer);

class ViewerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ViewerWindow(NVWStaff* staff);
    ~ViewerWindow() override;

    /* The presenter's calls. */
    void DrawSubscriptionRow(const SubscriptionList& subscription, RowReveal reveal);
    void DrawSubscriptionAdded(const SubscriptionList& subscription);
    void DrawSubscriptionRemoved(uint32_t sid);
    void DrawNewHeadlines(const SubscriptionList& subscription, uint32_t count);
    void DrawStatus(const std::string* message);
    void DrawPreDescription(const SubscriptionList& subscription);

    /* The shell's calls. */
    void ShowAndBringToFront();
    void ShowHotNews();
    void SubscribeURL(std::string_view url);
    void LoadURL(std::string_view url);
    void FilterKeyword(std::string_view keyword);
    void MarkDownload(std::string_view enclosureURL);
    std::string CurrentTitle() const;
    std::string CurrentURL() const;
    WebBounds WebBoundsOnScreen() const;

    // The saved layout applied (once, before the first show), and the
    // layout as it is now, for saving at quit.
    void ApplySavedLayout();
    NVWParams CurrentParams() const;
    Rect CurrentBounds() const;
    // Lets go of the model before it is saved and freed.
    void DetachModel();

    // The window's commands ('AdjW', 'ZomH', 'mrkA', ...).
    void ProcessCommand(FourCharCode command);
    // Lays the controls out; with `content` after a resize.
    void AdjustWindowControls(const QRect* content);

    SubscriptionPane* Pane() const { return m_pane; }
    HeadlineModel* Headlines() const { return m_headlines; }
    QTreeView* HeadlineList() const { return m_headlineList; }
    DescriptionView* Description() const { return m_description; }

    // Shows the item's description (marking it read), or clears the pane.
    void ShowNews(uint32_t nid);
    // Goes to the next unread headline of the list, or else to the next
    // subscription with unread news; false when there is none.
    bool SelectNextUnread();
    // Goes to the previous unread headline; beeps and is false when none.
    bool SelectPrevUnread();

    /* The description pane. */
    // The item's generated page, written to the support folder and shown.
    void SetupDescription(const NewsList& item);
    // A fixed page of the resources ("blank.html", an error's page).
    void SetupPreDescription(std::string_view fileName);
    void SetupBlankDescription();
    // Loads a web address into the pane.
    void GotoDescription(std::string_view url);
    // The relay menu again from its folders.
    void SetupRelayMenu();
    void TranslatePopupAction(const QString& name);
    QMenu* RelayMenu() const { return m_relayMenu; }
    const std::string& SnapBackURL() const { return m_snapBackURL; }

signals:
    // The window is on screen with its counts drawn (once per run).
    void shownWithCounts();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildToolbar();
    void CurrentSubscriptionChanged(uint32_t sid);
    void HeadlineActivated(const QModelIndex& index);
    void UpdateHeadInfo();
    void FitHeadlineColumns();
    // The description pane while no subscription is chosen.
    void ShowOverview();
    void UpdateSiteInfo();
    void ScheduleBadge();
    void ShowDescription(const std::string& html, const QUrl& base);
    void WebIdle();
    bool IsWebFocused() const;
    void SubscribeAsked();
    void HeadlineSelectionChanged();
    int LastSelectedRow() const;
    void SelectHeadlineRow(int row);
    bool GotoNextUnreadSubscription();
    std::vector<NewsList*> SelectedNews() const;
    // Marks read the selected rows (1) or every listed row (all bits).
    void MarkAsRead(uint32_t state);
    void MarkAsPermanents();
    void MarkAsUnpermanents();
    void SaveRetainedNews();
    void ShowHeadlineMenu(const QPoint& position);
    void AdjustSiteColumn();
    DescriptionPageSettings DescriptionSettings(const NewsList& item) const;
    void ResetWebControls(std::optional<std::string> link);
    void WebLoadStarted(const QUrl& url);
    void WebTitleReceived(const QString& title);
    void WebLoadEnded(const QUrl& url, int errorCode, const QString& errorText);
    void SetDescriptionStatus(const QString& text);
    void SetupDescriptionFontSize();
    void BehindLaunchURL(std::string_view url, bool behind);
    void OpenInBrowser(bool alternate);
    void HomeInBrowser();
    void CopyLink();
    void RefreshSelected();
    void RunFind(const QString& text);
    void ClearFind();

    NVWStaff* m_staff;
    QWidget* m_content = nullptr;
    SubscriptionPane* m_pane = nullptr;
    HeadlineModel* m_headlines = nullptr;
    QTreeView* m_headlineList = nullptr;
    DescriptionView* m_description = nullptr;
    QFrame* m_descFrame = nullptr;
    SplitBar* m_vsplit = nullptr;
    SplitBar* m_hsplit = nullptr;
    QToolBar* m_toolbar = nullptr;
    QToolButton* m_findPopup = nullptr;
    QMenu* m_findMenu = nullptr;
    QToolButton* m_transPopup = nullptr;
    QLineEdit* m_findField = nullptr;
    QToolButton* m_dontFind = nullptr;
    QLabel* m_siteInfo = nullptr;
    QLabel* m_headInfo = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_mouseOver = nullptr;
    QProgressBar* m_chasing = nullptr;
    QProgressBar* m_loading = nullptr;
    QToolButton* m_back = nullptr;
    QToolButton* m_forward = nullptr;
    QToolButton* m_stop = nullptr;
    QToolButton* m_reload = nullptr;
    QToolButton* m_snap = nullptr;
    QToolButton* m_quickSubscribe = nullptr;
    QTimer* m_badgeTimer = nullptr;
    QTimer* m_webIdleTimer = nullptr;
    std::vector<std::string> m_findWords;
    QMenu* m_relayMenu = nullptr;
    std::string m_snapBackURL;       // the shown item's link; "" after a fixed page
    bool m_blankDescription = false; // the blank page is shown
    bool m_headSingleClicked = false; // the mouse went down on a headline cell
    bool m_selectionChangedByPress = false; // that press changed the selection
    uint32_t m_cmNews = 0;           // the item the headline menu was opened on
    uint32_t m_listedSubscription = 0; // the subscription the headline list was built for
    uint32_t m_shownNewsID = 0;        // the item last shown from the list (the pane clears `newsID` first)
    uint32_t m_webFocusTicks = 0; // when a page's title arrived; 0 = no focus move pending
    uint32_t m_holdSpaceTicks = 0; // when the space bar went down in the web view; 0 = up
    bool m_layoutApplied = false;
    bool m_restoringCurrent = false; // the shown item's row is selected again after a rebuild
    int m_siteColumnWidth = 128; // the site column's own width; as the last column it may show wider
    bool m_shownOnce = false;
};

// The ShellOpeners entry: opens the viewer's core with this window as its
// presenter, shows the window when the settings say so.
std::unique_ptr<ShellViewer> OpenViewerWindow();

// The open viewer window, null when none.
ViewerWindow* GetViewerWindow();
