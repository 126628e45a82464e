// The viewer window's widgets, their layout rules, its commands, the
// presenter that draws the model into it and the shell's view of it.
#include "window/ViewerWindow.h"

#include "feeds/PermanentsFile.h"
#include "model/NewsList.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Encodings.h"
#include "platform/Folders.h"
#include "platform/Log.h"
#include "settings/Configuration.h"
#include "settings/Environs.h"
#include "settings/StyleSheets.h"
#include "ticker/Notifications.h"
#include "ticker/Ticker.h"
#include "ticker/TickerSounds.h"
#include "viewer/DescriptionPage.h"
#include "viewer/DescriptionWeb.h"
#include "viewer/HeadlineModel.h"
#include "viewer/SubscriptionPaneModel.h"
#include "viewer/ViewerIdle.h"
#include "viewer/ViewerOperations.h"
#include "window/ControlIDs.h"
#include "window/DescriptionView.h"
#include "window/Icons.h"
#include "window/SplitBar.h"
#include "window/SubscriptionPane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

static_assert(kCurrentSeveral == 98 && kCurrentKeywordSearch == 99);

/* ---- Layout constants (content coordinates, pixels) ---- */

constexpr int kTopRowY = 4;
constexpr int kTopRowHeight = 22;
constexpr int kListTop = 32;
constexpr int kPaneLeft = 6;
constexpr int kBottomRowGap = 20;
constexpr int kWebBottomGap = 23;
constexpr int kNavButtonSize = 20;
constexpr int kFindPopupWidth = 24;
constexpr int kFindFieldWidth = 188;
constexpr int kDontFindWidth = 20;
constexpr int kLineHeight = 15;
constexpr int kBusyWidth = 16;
constexpr int kTransPopupSize = 16;
constexpr int kSplitThickness = 8;
constexpr int kDefaultVSplit = 240;
constexpr int kDefaultHSplit = 300;
constexpr int kDefaultWidth = 1100;
constexpr int kDefaultHeight = 720;
constexpr int kDefaultColumnWidth = 128; // 'Date' and 'Site'
constexpr int kMinimumHeadWidth = 80;
constexpr int kInfoFontPoints = 10;
constexpr int kBadgeDelayMs = 200;
constexpr int kWebIdleMs = 50;
constexpr uint32_t kWebFocusDelayTicks = 240;
constexpr uint32_t kHoldSpaceTicks = 120;
constexpr std::string_view kLegacyTitleEncoding = "ISO-8859-1//TRANSLIT";

// The column properties stored as the sort column.
constexpr FourCharCode kColumnProperties[] = {MakeFourCharCode("Head"), MakeFourCharCode("Date"), MakeFourCharCode("Site")};

constexpr FourCharCode kCommandNextUnread = MakeFourCharCode("nxtU");
constexpr FourCharCode kCommandMarkAllRead = MakeFourCharCode("mrkA");
constexpr FourCharCode kCommandSubscribe = MakeFourCharCode("newS");
constexpr FourCharCode kCommandRefresh = MakeFourCharCode("rfsh");
constexpr FourCharCode kCommandUnsubscribe = MakeFourCharCode("rmv ");
constexpr FourCharCode kCommandSearch = MakeFourCharCode("newE");
constexpr FourCharCode kCommandShowInfo = MakeFourCharCode("getI");
constexpr FourCharCode kCommandShowList = MakeFourCharCode("sRLW");
constexpr FourCharCode kCommandShowFilter = kCommandOpenNewsFilter;
constexpr FourCharCode kCommandDistribute = MakeFourCharCode("Mobl");
constexpr FourCharCode kCommandDontFind = MakeFourCharCode("Dfnd");
constexpr FourCharCode kCommandBack = MakeFourCharCode("Back");
constexpr FourCharCode kCommandForward = MakeFourCharCode("Fwrd");
constexpr FourCharCode kCommandStop = MakeFourCharCode("Stop");
constexpr FourCharCode kCommandReload = MakeFourCharCode("Rlod");
constexpr FourCharCode kCommandSnapBack = MakeFourCharCode("Snap");
constexpr FourCharCode kCommandPrevUnread = MakeFourCharCode("prvU");
constexpr FourCharCode kCommandMarkRead = MakeFourCharCode("mark");
constexpr FourCharCode kCommandHold = MakeFourCharCode("hold");
constexpr FourCharCode kCommandUnhold = MakeFourCharCode("uhld");
constexpr FourCharCode kCommandOpenInBrowser = MakeFourCharCode("opnB");
constexpr FourCharCode kCommandOpenInBrowserAlter = MakeFourCharCode("opBA");
constexpr FourCharCode kCommandHomeInBrowser = MakeFourCharCode("opnH");
constexpr FourCharCode kCommandCopyLink = MakeFourCharCode("LCpy");
constexpr FourCharCode kCommandBigger = MakeFourCharCode("Bigg");
constexpr FourCharCode kCommandSmaller = MakeFourCharCode("Smal");
constexpr FourCharCode kCommandDownloadEnclosure = MakeFourCharCode("lPod");
constexpr FourCharCode kCommandHeadlineClicked = MakeFourCharCode("HLst");
constexpr uint32_t kAllRows = 0xFFFFFFFF; // MarkAsRead's "every listed row"
constexpr int kBringBackDelayMs = 700;     // the browser has taken the front by then
constexpr int kHtmlDefaultFont = 1;
constexpr int kMinimumHtmlPoints = 8;
constexpr int kLoadStoppedError = -999;      // the user stopped the load
constexpr int kNavigationAbortedError = -3;  // the engine's "aborted": a refused navigation

static ViewerWindow* gViewerWindow = nullptr;
static UnreadBadgeDrawer gBadgeDrawer;

void SetUnreadBadgeDrawer(UnreadBadgeDrawer drawer)
{
    gBadgeDrawer = std::move(drawer);
}

ViewerWindow* GetViewerWindow()
{
    return gViewerWindow;
}

static QString FromUTF8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The alternate way of a command: Alt held.
static bool IsAlternateKeyHeld()
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier;
}

namespace {

QColor ToQColor(const RGBColor& color)
{
    return QColor::fromRgba64(color.red, color.green, color.blue);
}

QIcon HeadlineStateIcon(HeadlineIcon icon)
{
    switch (icon) {
    case HeadlineIcon::kFixed:
        return GetFixedNewsIcon();
    case HeadlineIcon::kHot:
        return GetHotNewsIcon();
    case HeadlineIcon::kRetained:
        return GetRetainedNewsIcon();
    case HeadlineIcon::kRead:
        return GetReadNewsIcon();
    case HeadlineIcon::kUnread:
        return GetUnreadNewsIcon();
    }
    return {};
}

// The headline rows: the text in the colour of the item's state, the state
// icon before the headline, the font and row height of the headline size.
class HeadlineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(HeadlineRowHeight(ENVheadlineSize()));
        return size;
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        QColor color;
        switch (HeadlineColor(index.data(HeadlineModel::kColorRole).toInt())) {
        case HeadlineColor::kDownloaded:
            color = ToQColor(ENVdiddlColor());
            break;
        case HeadlineColor::kPermanent:
            color = ToQColor(ENVpermColor());
            break;
        case HeadlineColor::kRead:
            color = ToQColor(ENVreadColor());
            break;
        case HeadlineColor::kUnread:
            color = ToQColor(ENVunreadColor());
            break;
        }
        option->palette.setColor(QPalette::Text, color);
        switch (ENVheadlineSize()) {
        case 1:
            option->font.setPointSizeF(option->font.pointSizeF() - 1);
            break;
        case 4:
            option->font.setPointSize(15);
            break;
        default:
            break;
        }
        if (index.column() == HeadlineModel::kColumnTitle) {
            option->icon = HeadlineStateIcon(HeadlineIcon(index.data(HeadlineModel::kIconRole).toInt()));
            option->decorationSize = QSize(16, 16);
            option->features |= QStyleOptionViewItem::HasDecoration;
        }
    }
};

// The plain box around the web view: a one-pixel light grey frame.
class PlainBox : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QColor(0xC0, 0xC0, 0xC0));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

QToolButton* MakeIconButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& tip, ControlID id)
{
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setIconSize(QSize(14, 14));
    button->setFocusPolicy(Qt::NoFocus);
    SetControlID(button, id);
    return button;
}

QLabel* MakeLine(QWidget* parent, ControlID id, int points)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    if (points > 0) {
        QFont font = label->font();
        font.setPointSize(points);
        label->setFont(font);
    }
    SetControlID(label, id);
    return label;
}

QProgressBar* MakeBusy(QWidget* parent, ControlID id)
{
    auto* bar = new QProgressBar(parent);
    bar->setTextVisible(false);
    bar->setRange(0, 0);
    bar->hide();
    SetControlID(bar, id);
    return bar;
}

} // namespace

/* ---- Construction ---- */

ViewerWindow::ViewerWindow(NVWStaff* staff)
    : m_staff(staff)
{
    gViewerWindow = this;
    setWindowTitle(tr("Varnoke"));
    setMinimumSize(kViewerMinimumWidth, kViewerMinimumHeight);
    resize(kDefaultWidth, kDefaultHeight);
    BuildToolbar();
    BuildControls();
    m_badgeTimer = new QTimer(this);
    m_badgeTimer->setSingleShot(true);
    connect(m_badgeTimer, &QTimer::timeout, this, [this] {
        uint32_t unread = m_staff ? CountUnreadNews(m_staff->news) : 0;
        if (gBadgeDrawer)
            gBadgeDrawer(unread);
        // The overview's totals follow the counts.
        if (m_staff && m_staff->subscriptionID == 0 && m_staff->newsID == 0 && !IsWebPageURL(m_staff->currentWebURL))
            ShowOverview();
    });
    m_webIdleTimer = new QTimer(this);
    connect(m_webIdleTimer, &QTimer::timeout, this, &ViewerWindow::WebIdle);
    m_webIdleTimer->start(kWebIdleMs);
    qApp->installEventFilter(this);
}

ViewerWindow::~ViewerWindow()
{
    if (gViewerWindow == this)
        gViewerWindow = nullptr;
}

void ViewerWindow::BuildToolbar()
{
    m_toolbar = addToolBar(tr("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("varnoke.toolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->toggleViewAction()->setEnabled(true);
    switch (ENVtoolbarMode()) {
    case 2:
        m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        break;
    case 3:
        m_toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
        break;
    default:
        m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        break;
    }
    int iconSize = ENVtoolbarSize() == 2 ? 16 : 24;
    m_toolbar->setIconSize(QSize(iconSize, iconSize));
    struct Item {
        const char* label;
        QStyle::StandardPixmap icon;
        FourCharCode command;
        bool available;
    } const kItems[] = {
        {QT_TR_NOOP("Next Unread"), QStyle::SP_ArrowDown, kCommandNextUnread, true},
        {QT_TR_NOOP("Mark All Read"), QStyle::SP_DialogApplyButton, kCommandMarkAllRead, true},
        {QT_TR_NOOP("Subscribe"), QStyle::SP_FileDialogNewFolder, kCommandSubscribe, true},
        {QT_TR_NOOP("Refresh"), QStyle::SP_BrowserReload, kCommandRefresh, true},
        {QT_TR_NOOP("Unsubscribe"), QStyle::SP_TrashIcon, kCommandUnsubscribe, true},
        {QT_TR_NOOP("Search"), QStyle::SP_FileDialogContentsView, kCommandSearch, true},
        // The info and preset list windows come with later work.
        {QT_TR_NOOP("Show Info"), QStyle::SP_FileDialogInfoView, kCommandShowInfo, false},
        {QT_TR_NOOP("Show List"), QStyle::SP_FileDialogListView, kCommandShowList, false},
        {QT_TR_NOOP("Show Filter"), QStyle::SP_FileDialogDetailedView, kCommandShowFilter, true},
    };
    for (const Item& item : kItems) {
        QAction* action = m_toolbar->addAction(style()->standardIcon(item.icon), tr(item.label));
        action->setObjectName(QString::fromStdString(FourCharCodeToString(item.command)));
        action->setEnabled(item.available);
        FourCharCode command = item.command;
        connect(action, &QAction::triggered, this, [this, command] { ProcessCommand(command); });
    }
    auto* spacer = new QWidget(m_toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolbar->addWidget(spacer);
    QAction* distribute = m_toolbar->addAction(style()->standardIcon(QStyle::SP_DriveNetIcon), tr("Distribute"));
    distribute->setObjectName(QStringLiteral("Mobl"));
    distribute->setEnabled(false);
}

void ViewerWindow::BuildControls()
{
    m_content = new QWidget(this);
    setCentralWidget(m_content);

    m_siteInfo = MakeLine(m_content, siteInfoControlID, kInfoFontPoints);
    m_headInfo = MakeLine(m_content, headInfoControlID, kInfoFontPoints);
    m_status = MakeLine(m_content, statusControlID, 0);
    m_status->hide();
    m_mouseOver = MakeLine(m_content, msoverControlID, 0);
    m_mouseOver->setForegroundRole(QPalette::PlaceholderText);
    m_chasing = MakeBusy(m_content, chasingControlID);
    m_loading = MakeBusy(m_content, progControlID);
    m_loading->setRange(0, 100);

    m_pane = new SubscriptionPane(m_staff, m_content);
    SetControlID(m_pane, siteBrowserControlID);
    connect(m_pane, &SubscriptionPane::currentSubscriptionChanged, this, &ViewerWindow::CurrentSubscriptionChanged);
    connect(m_pane, &SubscriptionPane::infoLineChanged, this, [this](const QString& text) {
        m_siteInfo->setText(text.isEmpty() ? m_pane->SubscriptionInfoText() : text);
    });
    connect(m_pane, &SubscriptionPane::commandRequested, this, [this](uint32_t command) { ProcessCommand(command); });

    m_headlines = new HeadlineModel(m_staff, this);
    m_headlineList = new QTreeView(m_content);
    SetControlID(m_headlineList, headBrowserControlID);
    m_headlineList->setModel(m_headlines);
    m_headlineList->setRootIsDecorated(false);
    m_headlineList->setUniformRowHeights(true);
    m_headlineList->setAlternatingRowColors(true);
    QPalette listColors = m_headlineList->palette();
    listColors.setColor(QPalette::AlternateBase, ToQColor(ENValterColor()));
    m_headlineList->setPalette(listColors);
    m_headlineList->setSortingEnabled(true);
    m_headlineList->setItemDelegate(new HeadlineDelegate(m_headlineList));
    m_headlineList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_headlineList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_headlineList->setDragEnabled(true);
    m_headlineList->setDragDropMode(QAbstractItemView::DragOnly);
    m_headlineList->setDefaultDropAction(Qt::CopyAction);
    m_headlineList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_headlineList->header()->setStretchLastSection(true);
    m_headlineList->header()->setSortIndicator(HeadlineModel::kColumnDate, Qt::DescendingOrder);
    connect(m_headlineList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { HeadlineSelectionChanged(); });
    connect(m_headlineList, &QTreeView::pressed, this, [this](const QModelIndex& index) {
        m_headSingleClicked = index.column() == HeadlineModel::kColumnTitle;
        m_selectionChangedByPress = false;
    });
    // A click on the headline already shown, while its web page is in the
    // pane, brings its own page back.
    connect(m_headlineList, &QTreeView::clicked, this, [this] {
        if (!m_selectionChangedByPress)
            ProcessCommand(kCommandHeadlineClicked);
        m_headSingleClicked = false;
    });
    connect(m_headlineList, &QTreeView::doubleClicked, this, &ViewerWindow::HeadlineActivated);
    connect(m_headlineList, &QTreeView::customContextMenuRequested, this, &ViewerWindow::ShowHeadlineMenu);
    connect(m_headlines, &HeadlineModel::siteColumnChanged, this, &ViewerWindow::AdjustSiteColumn);

    m_descFrame = new PlainBox(m_content);
    SetControlID(m_descFrame, descFrameControlID);
    m_description = new DescriptionView(m_content);
    SetControlID(m_description, descriptionControlID);
    connect(m_description, &DescriptionView::titleChanged, this, &ViewerWindow::WebTitleReceived);
    connect(m_description, &DescriptionView::pageLoadStarted, this, &ViewerWindow::WebLoadStarted);
    connect(m_description, &DescriptionView::pageLoadEnded, this, &ViewerWindow::WebLoadEnded);
    connect(m_description, &DescriptionView::loadProgress, this, [this](int percent) { m_loading->setValue(percent); });
    connect(m_description, &DescriptionView::linkHovered, this, [this](const QString& url) { m_mouseOver->setText(url); });

    m_vsplit = new SplitBar(SplitType::kVertical, m_content);
    SetControlID(m_vsplit, vsplitControlID);
    m_vsplit->SetValue(kDefaultVSplit);
    m_hsplit = new SplitBar(SplitType::kHorizontal, m_content);
    SetControlID(m_hsplit, hsplitControlID);
    m_hsplit->SetValue(kDefaultHSplit);
    for (SplitBar* bar : {m_vsplit, m_hsplit})
        connect(bar, &SplitBar::commandSent, this, &ViewerWindow::ProcessCommand);

    m_back = MakeIconButton(m_content, QStyle::SP_ArrowBack, tr("Back"), backControlID);
    m_forward = MakeIconButton(m_content, QStyle::SP_ArrowForward, tr("Forward"), fwrdControlID);
    m_stop = MakeIconButton(m_content, QStyle::SP_BrowserStop, tr("Stop"), stopControlID);
    m_reload = MakeIconButton(m_content, QStyle::SP_BrowserReload, tr("Reload"), reloadControlID);
    m_snap = MakeIconButton(m_content, QStyle::SP_MediaSkipBackward, tr("Back to the news"), snapControlID);
    m_quickSubscribe = MakeIconButton(m_content, QStyle::SP_FileDialogNewFolder, tr("Subscribe to this page's feed"), qsubControlID);
    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    m_stop->hide();
    m_snap->hide();
    // Finding the feed a page links is the next issue's.
    m_quickSubscribe->setEnabled(false);
    connect(m_back, &QToolButton::clicked, this, [this] { ProcessCommand(kCommandBack); });
    connect(m_forward, &QToolButton::clicked, this, [this] { ProcessCommand(kCommandForward); });
    connect(m_stop, &QToolButton::clicked, this, [this] { ProcessCommand(kCommandStop); });
    connect(m_reload, &QToolButton::clicked, this, [this] { ProcessCommand(kCommandReload); });
    connect(m_snap, &QToolButton::clicked, this, [this] { ProcessCommand(kCommandSnapBack); });

    m_findMenu = new QMenu(this);
    m_findPopup = MakeIconButton(m_content, QStyle::SP_FileDialogContentsView, tr("Recent searches"), findControlID);
    m_findPopup->setPopupMode(QToolButton::InstantPopup);
    m_findPopup->setMenu(m_findMenu);
    m_findPopup->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    connect(m_findMenu, &QMenu::triggered, this, [this](QAction* action) {
        m_findField->setText(action->text());
        RunFind(action->text());
    });
    m_findField = new QLineEdit(m_content);
    m_findField->setPlaceholderText(tr("Find in headlines"));
    SetControlID(m_findField, ftextControlID);
    connect(m_findField, &QLineEdit::returnPressed, this, [this] { RunFind(m_findField->text()); });
    m_dontFind = MakeIconButton(m_content, QStyle::SP_LineEditClearButton, tr("Clear the search"), dontFindControlID);
    connect(m_dontFind, &QToolButton::clicked, this, [this] { ProcessCommand(kCommandDontFind); });

    // The relay menu: the shown page through an outside service.
    m_transPopup = MakeIconButton(m_content, QStyle::SP_ArrowUp, tr("Send the page to"), transControlID);
    m_relayMenu = new QMenu(this);
    SetupRelayMenu();
    m_transPopup->setMenu(m_relayMenu);
    m_transPopup->setPopupMode(QToolButton::InstantPopup);
    m_transPopup->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    connect(m_relayMenu, &QMenu::triggered, this, [this](QAction* action) { TranslatePopupAction(action->text()); });
    m_transPopup->hide();
    SetupDescriptionFontSize();

    AdjustWindowControls(nullptr);
}

/* ---- Layout ---- */

void ViewerWindow::AdjustWindowControls(const QRect* content)
{
    int R = content ? content->right() + 1 : m_content->width();
    int B = content ? content->bottom() + 1 : m_content->height();
    int V = m_vsplit->Value();
    int H = m_hsplit->Value();

    // Right-anchored controls of the top row and the bottom row.
    m_dontFind->setGeometry(R - 9 - kDontFindWidth, kTopRowY, kDontFindWidth, kTopRowHeight);
    m_findField->setGeometry(R - 30 - kFindFieldWidth, kTopRowY, kFindFieldWidth, kTopRowHeight);
    m_findPopup->setGeometry(R - 227 - kFindPopupWidth, kTopRowY, kFindPopupWidth, kTopRowHeight);
    m_chasing->setGeometry(kPaneLeft + 2, B - 3 - kLineHeight + 2, kBusyWidth, kLineHeight - 4);
    m_status->setGeometry(kPaneLeft + kBusyWidth + 8, B - 3 - kLineHeight, std::max(0, V - 6 - (kPaneLeft + kBusyWidth + 8)), kLineHeight);
    m_transPopup->setGeometry(R - 32 - kTransPopupSize, B - 2 - kTransPopupSize, kTransPopupSize, kTransPopupSize);
    m_mouseOver->setGeometry(V + 12, B - 4 - kLineHeight, std::max(0, R - 80 - (V + 12)), kLineHeight);

    // The bars, the lists and the web view.
    m_vsplit->setGeometry(V - kSplitThickness / 2, kListTop, kSplitThickness, std::max(0, B - kBottomRowGap - kListTop));
    m_hsplit->setGeometry(V + 8, H - kSplitThickness / 2, std::max(0, R - 7 - (V + 8)), kSplitThickness);
    m_pane->setGeometry(kPaneLeft, kListTop, std::max(0, V - 6 - kPaneLeft), std::max(0, B - kBottomRowGap - kListTop));
    int oldHeadWidth = m_headlineList->width();
    m_headlineList->setGeometry(V + 6, kListTop, std::max(0, R - 7 - (V + 6)), std::max(0, H - 6 - kListTop));
    if (m_headlineList->width() != oldHeadWidth && m_layoutApplied)
        FitHeadlineColumns();
    int webX = V + 9;
    int webY = H + 8;
    int webWidth = std::max(0, m_content->width() - webX - 10);
    int webHeight = std::max(0, m_content->height() - webY - kWebBottomGap);
    if (content) {
        webWidth = std::max(0, R - webX - 10);
        webHeight = std::max(0, B - webY - kWebBottomGap);
    }
    m_description->setGeometry(webX, webY, webWidth, webHeight);
    m_descFrame->setGeometry(webX - 1, webY - 1, webWidth + 2, webHeight + 2);

    // The info lines and the web navigation row.
    m_headInfo->setGeometry(V + 112, kTopRowY, std::max(0, m_findPopup->x() - 2 - (V + 112)), kTopRowHeight);
    m_siteInfo->setGeometry(kPaneLeft + 2, kTopRowY, std::max(0, V - 10 - (kPaneLeft + 2)), kTopRowHeight);
    m_back->setGeometry(V + 12, kTopRowY + 1, kNavButtonSize, kNavButtonSize);
    m_forward->setGeometry(V + 32, kTopRowY + 1, kNavButtonSize, kNavButtonSize);
    m_stop->setGeometry(V + 52, kTopRowY + 1, kNavButtonSize, kNavButtonSize);
    m_reload->setGeometry(V + 52, kTopRowY + 1, kNavButtonSize, kNavButtonSize);
    m_quickSubscribe->setGeometry(V + 72, kTopRowY + 1, kNavButtonSize, kNavButtonSize);
    m_snap->setGeometry(V + 92, kTopRowY + 1, kNavButtonSize, kNavButtonSize);
    m_loading->setGeometry(V + 92, kTopRowY + 6, kNavButtonSize, kNavButtonSize - 10);
}

// The headline column takes what the date and site columns leave; the site
// column, last, fills any rest.
void ViewerWindow::FitHeadlineColumns()
{
    QHeaderView* header = m_headlineList->header();
    int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_headlineList);
    int inner = m_headlineList->width() - 2 * m_headlineList->frameWidth() - scrollBar;
    int others = header->sectionSize(HeadlineModel::kColumnDate) + m_siteColumnWidth;
    header->resizeSection(HeadlineModel::kColumnTitle, std::max(kMinimumHeadWidth, inner - others));
}

void ViewerWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // Bars outside the new limits come back inside them.
    m_vsplit->SetValue(LimitSplitPosition(SplitType::kVertical, m_vsplit->Value(), m_content->width(), m_content->height()));
    m_hsplit->SetValue(LimitSplitPosition(SplitType::kHorizontal, m_hsplit->Value(), m_content->width(), m_content->height()));
    QRect content = m_content->rect();
    AdjustWindowControls(&content);
}

void ViewerWindow::ApplySavedLayout()
{
    QHeaderView* header = m_headlineList->header();
    std::optional<NVWParams> params = LoadViewerWindowParams();
    if (std::optional<Rect> bounds = LoadViewerWindowBounds()) {
        std::vector<Rect> screens;
        for (QScreen* screen : QGuiApplication::screens()) {
            QRect area = screen->availableGeometry();
            screens.push_back(Rect{int16_t(area.top()), int16_t(area.left()), int16_t(area.bottom() + 1), int16_t(area.right() + 1)});
        }
        Rect placed = PlaceOnVisibleScreen(*bounds, screens);
        setGeometry(placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top);
    }
    if (params) {
        m_vsplit->SetValue(params->vsplit);
        m_hsplit->SetValue(params->hsplit);
        for (int column = 0; column < HeadlineModel::kColumnCount; ++column) {
            if (kColumnProperties[column] == params->sortProperty)
                header->setSortIndicator(column, params->sortOrder == kSortOrderIncreasing ? Qt::AscendingOrder : Qt::DescendingOrder);
        }
        if (params->headWidth)
            header->resizeSection(HeadlineModel::kColumnTitle, params->headWidth);
        if (params->dateWidth)
            header->resizeSection(HeadlineModel::kColumnDate, params->dateWidth);
        if (params->srcWidth) {
            header->resizeSection(HeadlineModel::kColumnSite, params->srcWidth);
            m_siteColumnWidth = params->srcWidth;
        }
        if (params->srcIndex > 0 && params->srcIndex < uint32_t(HeadlineModel::kColumnCount))
            header->moveSection(header->visualIndex(HeadlineModel::kColumnSite), int(params->srcIndex));
        m_toolbar->setVisible(params->hideToolbar == 0);
    }
    // Apply the bars within this window's limits.
    if (QLayout* frame = layout())
        frame->activate();
    m_vsplit->SetValue(LimitSplitPosition(SplitType::kVertical, m_vsplit->Value(), m_content->width(), m_content->height()));
    m_hsplit->SetValue(LimitSplitPosition(SplitType::kHorizontal, m_hsplit->Value(), m_content->width(), m_content->height()));
    AdjustWindowControls(nullptr);
    if (!params) {
        header->resizeSection(HeadlineModel::kColumnDate, kDefaultColumnWidth);
        header->resizeSection(HeadlineModel::kColumnSite, kDefaultColumnWidth);
        m_siteColumnWidth = kDefaultColumnWidth;
        FitHeadlineColumns();
    }
    m_layoutApplied = true;
    m_pane->Reload();
    ShowOverview();
    UpdateSiteInfo();
    UpdateHeadInfo();
    ScheduleBadge();
}

NVWParams ViewerWindow::CurrentParams() const
{
    NVWParams params;
    const QHeaderView* header = m_headlineList->header();
    params.hideToolbar = m_toolbar->isVisible() ? 0 : 1;
    params.hsplit = uint16_t(m_staff && m_staff->webZoomValue ? m_staff->webZoomValue : m_hsplit->Value());
    params.vsplit = uint16_t(m_vsplit->Value());
    int sortColumn = header->sortIndicatorSection();
    if (sortColumn >= 0 && sortColumn < HeadlineModel::kColumnCount)
        params.sortProperty = kColumnProperties[sortColumn];
    params.sortOrder = header->sortIndicatorOrder() == Qt::AscendingOrder ? kSortOrderIncreasing : kSortOrderDecreasing;
    params.headWidth = uint16_t(header->sectionSize(HeadlineModel::kColumnTitle));
    params.dateWidth = uint16_t(header->sectionSize(HeadlineModel::kColumnDate));
    params.srcWidth = uint16_t(m_siteColumnWidth);
    params.srcIndex = uint32_t(header->visualIndex(HeadlineModel::kColumnSite));
    return params;
}

Rect ViewerWindow::CurrentBounds() const
{
    QRect bounds = geometry();
    return Rect{int16_t(bounds.top()), int16_t(bounds.left()), int16_t(bounds.bottom() + 1), int16_t(bounds.right() + 1)};
}

void ViewerWindow::DetachModel()
{
    m_headlines->Clear();
    m_badgeTimer->stop();
    m_webIdleTimer->stop();
    m_staff = nullptr;
}

/* ---- Window events ---- */

void ViewerWindow::closeEvent(QCloseEvent* event)
{
    // The window lives as long as the program; closing only hides it.
    event->ignore();
    hide();
}

void ViewerWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (QScreen* screen = this->screen())
        setMaximumSize(screen->availableGeometry().size());
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // After the first paint: the window is on screen with its counts.
    QTimer::singleShot(0, this, [this] {
        uint32_t subscriptions = m_staff ? CountSubscriptions(m_staff->subscriptions) : 0;
        uint32_t unread = m_staff ? CountUnreadNews(m_staff->news) : 0;
        LogInfo("viewer window shown: %u subscriptions, %u unread", subscriptions, unread);
        emit shownWithCounts();
    });
}

void ViewerWindow::ShowAndBringToFront()
{
    // A maximised window stays maximised; a minimised one comes back.
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

/* ---- The presenter's calls ---- */

void ViewerWindow::DrawSubscriptionRow(const SubscriptionList& subscription, RowReveal reveal)
{
    m_pane->DrawRow(subscription, reveal);
    ScheduleBadge();
}

void ViewerWindow::DrawSubscriptionAdded(const SubscriptionList& subscription)
{
    m_pane->DrawAdded(subscription);
    UpdateSiteInfo();
}

void ViewerWindow::DrawSubscriptionRemoved(uint32_t sid)
{
    m_pane->DrawRemoved(sid);
    if (m_staff && m_staff->subscriptionID == sid) {
        m_staff->subscriptionID = 0;
        m_headlines->Clear();
        ShowNews(0);
    }
    UpdateSiteInfo();
    UpdateHeadInfo();
    ScheduleBadge();
}

void ViewerWindow::DrawNewHeadlines(const SubscriptionList& subscription, uint32_t count)
{
    if (!m_staff)
        return;
    // The list is rebuilt: the reader keeps the item and the place they were at.
    uint32_t shown = m_staff->newsID;
    int scrolled = m_headlineList->verticalScrollBar()->value();
    m_headlines->AppendNewsOf(subscription, count);
    if (shown) {
        int row = m_headlines->RowOf(shown);
        if (row >= 0) {
            m_restoringCurrent = true;
            m_headlineList->setCurrentIndex(m_headlines->index(row, 0));
            m_restoringCurrent = false;
        }
    }
    m_headlineList->verticalScrollBar()->setValue(scrolled);
    m_pane->DrawCounts();
    UpdateHeadInfo();
    ScheduleBadge();
}

void ViewerWindow::DrawStatus(const std::string* message)
{
    if (!message) {
        m_chasing->hide();
        m_status->hide();
        return;
    }
    m_status->setText(FromUTF8(*message));
    m_status->show();
    m_chasing->show();
}

void ViewerWindow::DrawPreDescription(const SubscriptionList& subscription)
{
    if (!m_staff || m_staff->newsID != 0 || IsWebPageURL(m_staff->currentWebURL))
        return;
    if (subscription.sid != m_staff->subscriptionID)
        return;
    // A feed whose last check failed explains why in a page of its own.
    if (subscription.accessErrors != 0 && (subscription.siteType == kSiteTypeRSS || subscription.siteType == kSiteTypePOP)) {
        SetupPreDescription(PreDescriptionFileName(subscription.accessErrors));
        return;
    }
    uint32_t items = CountNewsBySubscription(m_staff->news, &subscription);
    uint32_t unread = CountUnreadNewsBySubscription(m_staff->news, &subscription);
    ShowDescription(MakePreDescriptionPage(subscription, items, unread), QUrl());
}

/* ---- Selection ---- */

void ViewerWindow::CurrentSubscriptionChanged(uint32_t sid)
{
    if (!m_staff)
        return;
    // The pane selects the same row again after its rows changed (a list
    // added or removed): the item shown stays shown and selected.
    uint32_t shown = sid != 0 && sid == m_listedSubscription ? m_shownNewsID : 0;
    m_listedSubscription = sid;
    m_staff->newsID = 0;
    m_headlines->Rebuild();
    if (int row = shown ? m_headlines->RowOf(shown) : -1; row >= 0) {
        m_staff->newsID = shown;
        m_restoringCurrent = true;
        m_headlineList->setCurrentIndex(m_headlines->index(row, 0));
        m_restoringCurrent = false;
        UpdateHeadInfo();
        return;
    }
    m_headlineList->scrollToTop();
    UpdateHeadInfo();
    const SubscriptionList* subscription = FindSubscriptionByID(m_staff->subscriptions, sid);
    if (subscription)
        DrawPreDescription(*subscription);
    else if (sid == 0)
        ShowOverview();
    else
        SetupBlankDescription();
}

void ViewerWindow::ShowOverview()
{
    if (!m_staff)
        return;
    ShowDescription(MakeOverviewPage(CountSubscriptions(m_staff->subscriptions), CountUnreadNews(m_staff->news),
                                     CountUnreadHotNews(m_staff->news)),
                    QUrl());
}

void ViewerWindow::ShowDescription(const std::string& html, const QUrl& base)
{
    ResetWebControls(std::string());
    m_transPopup->hide();
    m_description->ShowGeneratedPage(html, base);
}

void ViewerWindow::HeadlineSelectionChanged()
{
    if (m_restoringCurrent || !m_staff || m_staff->subscriptionID == 0)
        return;
    m_selectionChangedByPress = true;
    QModelIndexList selected = m_headlineList->selectionModel()->selectedRows();
    const NewsList* item = selected.size() == 1 ? m_headlines->NewsAt(selected.front().row()) : nullptr;
    ShowNews(item ? item->nid : 0);
}

void ViewerWindow::ShowNews(uint32_t nid)
{
    if (!m_staff)
        return;
    NewsList* item = nid ? FindNewsByID(m_staff->news, nid) : nullptr;
    m_staff->newsID = item ? item->nid : 0;
    m_shownNewsID = m_staff->newsID;
    if (!item) {
        SetupBlankDescription();
        return;
    }
    SetupDescription(*item);
    // An item with nothing to show and no page to go to keeps its own page.
    if (ShouldSwitchDescription(*item, ENVautoSwitch()) && !item->linkURL.view().empty()) {
        GotoDescription(item->linkURL.view());
        if (ENVautoExpand() && m_staff->webZoomValue == 0)
            ProcessCommand(kCommandZoomHorizontal);
    }
    if (ReadNewsViewerWindow(m_staff, item->nid)) {
        if (item->flags & kNewsFlagRetained)
            SaveRetainedNews();
        m_headlines->RedrawNews(item->nid);
        m_pane->DrawCounts();
        UpdateHeadInfo();
        ScheduleBadge();
    }
}

void ViewerWindow::HeadlineActivated(const QModelIndex& index)
{
    m_headSingleClicked = false;
    const NewsList* item = m_headlines->NewsAt(index.row());
    if (!item || item->linkURL.view().empty())
        return;
    bool behind = ENVdontSwitchBrowser() != IsAlternateKeyHeld();
    BehindLaunchURL(item->linkURL.view(), behind);
}

// The row the next and previous searches start from: the last selected.
int ViewerWindow::LastSelectedRow() const
{
    int last = -1;
    for (const QModelIndex& index : m_headlineList->selectionModel()->selectedRows())
        last = std::max(last, index.row());
    return last;
}

void ViewerWindow::SelectHeadlineRow(int row)
{
    QModelIndex index = m_headlines->index(row, 0);
    m_headlineList->setCurrentIndex(index);
    m_headlineList->scrollTo(index);
}

bool ViewerWindow::SelectNextUnread()
{
    if (!m_staff)
        return false;
    int row = m_headlines->NextUnreadRow(LastSelectedRow());
    if (row >= 0) {
        SelectHeadlineRow(row);
        return true;
    }
    return GotoNextUnreadSubscription();
}

bool ViewerWindow::GotoNextUnreadSubscription()
{
    uint32_t current = m_staff->subscriptionID;
    if (current == kCurrentSeveral || current == kCurrentKeywordSearch) {
        std::vector<uint32_t> selected = m_pane->SelectedSubscriptions();
        current = selected.empty() ? 0 : selected.back();
    }
    uint32_t next = NextUnreadSubscription(m_staff, current);
    const SubscriptionList* node = next ? FindSubscriptionByID(m_staff->subscriptions, next) : nullptr;
    if (!node)
        return false;
    LogInfo("Next : %s", std::string(SubscriptionDisplayName(*node)).c_str());
    m_pane->SelectSubscription(next);
    return true;
}

bool ViewerWindow::SelectPrevUnread()
{
    int last = LastSelectedRow();
    int row = m_headlines->PrevUnreadRow(last >= 0 ? last : m_headlines->rowCount());
    if (row < 0) {
        QApplication::beep();
        return false;
    }
    SelectHeadlineRow(row);
    return true;
}

std::vector<NewsList*> ViewerWindow::SelectedNews() const
{
    std::vector<NewsList*> items;
    for (const QModelIndex& index : m_headlineList->selectionModel()->selectedRows()) {
        if (NewsList* item = m_headlines->NewsAt(index.row()))
            items.push_back(item);
    }
    return items;
}

void ViewerWindow::MarkAsRead(uint32_t state)
{
    std::vector<NewsList*> items;
    if (state == kAllRows) {
        for (int row = 0; row < m_headlines->rowCount(); ++row)
            items.push_back(m_headlines->NewsAt(row));
    } else {
        items = SelectedNews();
    }
    uint32_t retained = 0;
    for (NewsList* item : items) {
        if (!item || (item->flags & kNewsFlagRead))
            continue;
        item->flags |= kNewsFlagRead;
        if (item->parent && (item->parent->options & kOptionRetainRead)) {
            item->flags |= kNewsFlagRetained;
            ++retained;
        }
        MarkAutoSave(m_staff);
    }
    m_headlines->RedrawNews(0);
    m_pane->DrawCounts();
    if (retained > 0)
        SaveRetainedNews();
    UpdateHeadInfo();
    ScheduleBadge();
}

void ViewerWindow::MarkAsPermanents()
{
    std::vector<NewsList*> items = SelectedNews();
    if (std::none_of(items.begin(), items.end(), [](const NewsList* item) { return !(item->flags & kNewsFlagPermanent); }))
        return;
    for (NewsList* item : items) {
        if (item->flags & kNewsFlagPermanent)
            continue;
        item->flags |= kNewsFlagPermanent;
        m_headlines->RedrawNews(item->nid);
    }
    if (OSStatus status = SavePermanentsAsRdf(GetPermanentRdfFile(), m_staff->news); status != kNoErr)
        LogFailure("the permanent news were not saved (%d)", int(status));
    if (FindCoolSubscriptionID(m_staff->subscriptions) == 0) {
        uint32_t sid = AppendCoolSubscription(*m_staff);
        if (const SubscriptionList* list = FindSubscriptionByID(m_staff->subscriptions, sid))
            m_pane->DrawAdded(*list);
    }
    m_pane->DrawCounts();
}

void ViewerWindow::MarkAsUnpermanents()
{
    std::vector<NewsList*> items = SelectedNews();
    auto kept = [](const NewsList* item) { return (item->flags & (kNewsFlagPermanent | kNewsFlagRetained)) != 0; };
    if (std::none_of(items.begin(), items.end(), kept))
        return;
    for (NewsList* item : items) {
        if (!kept(item))
            continue;
        item->flags &= ~(kNewsFlagPermanent | kNewsFlagRetained);
        m_headlines->RedrawNews(item->nid);
    }
    MarkAutoSave(m_staff);
    std::error_code error;
    if (CountPermedNews(m_staff->news) == 0) {
        std::filesystem::remove(GetPermanentRdfFile(), error);
        // The cool list goes with its last item, unless items of the
        // permanents file still hang on it.
        uint32_t cool = FindCoolSubscriptionID(m_staff->subscriptions);
        SubscriptionList* list = cool ? FindSubscriptionByID(m_staff->subscriptions, cool) : nullptr;
        bool inUse = false;
        for (const NewsList* item = m_staff->news; item && list; item = item->next)
            inUse = inUse || item->parent == list;
        if (list && !inUse && m_staff->subscriptionID != cool) {
            m_staff->subscriptions = RemoveSubscriptionByID(m_staff->subscriptions, cool);
            m_pane->DrawRemoved(cool);
        }
    } else if (OSStatus status = SavePermanentsAsRdf(GetPermanentRdfFile(), m_staff->news); status != kNoErr) {
        LogFailure("the permanent news were not saved (%d)", int(status));
    }
    if (CountRetainedNews(m_staff->news) == 0)
        std::filesystem::remove(GetRetainRdfFile(), error);
    else
        SaveRetainedNews();
    m_pane->DrawCounts();
}

void ViewerWindow::SaveRetainedNews()
{
    if (OSStatus status = SaveRetainsAsRdf(GetRetainRdfFile(), m_staff->news); status != kNoErr)
        LogFailure("the retained news were not saved (%d)", int(status));
}

void ViewerWindow::ShowHeadlineMenu(const QPoint& position)
{
    std::vector<NewsList*> items = SelectedNews();
    if (items.size() != 1)
        return;
    NewsList* item = items.front();
    m_cmNews = item->nid;
    QMenu menu(this);
    auto add = [&](const QString& text, FourCharCode command, bool enabled) {
        QAction* action = menu.addAction(text);
        action->setObjectName(QString::fromStdString(FourCharCodeToString(command)));
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [this, command] { ProcessCommand(command); });
    };
    bool hasLink = !item->linkURL.view().empty();
    add(tr("Open in Browser"), kCommandOpenInBrowser, hasLink);
    add(tr("Copy Link"), kCommandCopyLink, hasLink);
    menu.addSeparator();
    add(tr("Mark as Read"), kCommandMarkRead, !(item->flags & kNewsFlagRead));
    add(tr("Keep Permanently"), kCommandHold, !(item->flags & kNewsFlagPermanent));
    add(tr("Release"), kCommandUnhold, (item->flags & (kNewsFlagPermanent | kNewsFlagRetained)) != 0);
    add(tr("Download Enclosure"), kCommandDownloadEnclosure, !item->objectURL.view().empty());
    menu.exec(m_headlineList->viewport()->mapToGlobal(position));
}

void ViewerWindow::AdjustSiteColumn()
{
    QHeaderView* header = m_headlineList->header();
    bool hidden = m_headlines->SiteColumnRole() == HeadlineModel::SiteRole::kHidden;
    if (hidden == header->isSectionHidden(HeadlineModel::kColumnSite))
        return;
    header->setSectionHidden(HeadlineModel::kColumnSite, hidden);
    if (!hidden && header->sectionSize(HeadlineModel::kColumnSite) < kMinimumHeadWidth)
        header->resizeSection(HeadlineModel::kColumnSite, m_siteColumnWidth);
    if (m_layoutApplied)
        FitHeadlineColumns();
}

void ViewerWindow::UpdateHeadInfo()
{
    if (!m_staff || m_staff->subscriptionID == 0) {
        m_headInfo->clear();
        m_headInfo->hide();
        return;
    }
    QString text = m_headlines->InfoText();
    if (m_staff->subscriptionID == kCurrentKeywordSearch && !m_findField->text().isEmpty())
        text = m_staff->matchCount == 1
                   ? tr("1 headline matches “%1”").arg(m_findField->text().trimmed())
                   : tr("%1 headlines match “%2”").arg(m_staff->matchCount).arg(m_findField->text().trimmed());
    m_headInfo->setText(text);
    m_headInfo->setVisible(!text.isEmpty());
}

/* ---- The description pane ---- */

DescriptionPageSettings ViewerWindow::DescriptionSettings(const NewsList& item) const
{
    DescriptionPageSettings settings;
    settings.styleSheet = ENVstyleSheet().value_or(std::string());
    settings.useFaviconCSS = ENVuseFaviconCSS();
    settings.specialCSSExists = item.parent && ENVExistSpecialCSS(item.parent->name.view());
    settings.useMediaPlayer = ENVuseQuickTimePlayer();
    settings.viewWidth = m_description->width();
    settings.supportFolder = GetUserSupportFolder();
    // A few kilobytes read at each item: the user may edit the sheet.
    settings.styleText = ReadStyleSheetText(GetCSSFolder(), DescriptionStyleName(DescriptionItemOf(item), settings));
    return settings;
}

void ViewerWindow::SetupDescription(const NewsList& item)
{
    std::string page = MakeNewsDescriptionPage(item, DescriptionSettings(item));
    OSStatus status = kNoErr;
    if (std::optional<std::filesystem::path> file = StoreToHTMLFile(page, &status)) {
        ResetWebControls(item.linkURL.str());
        m_description->ShowPageFile(*file);
    } else {
        LogFailure("the item's page was not written (%d)", int(status));
    }
    m_transPopup->setVisible(!m_relayMenu->isEmpty());
}

void ViewerWindow::SetupPreDescription(std::string_view fileName)
{
    std::optional<std::filesystem::path> file = FixedDescriptionPage(fileName);
    if (!file) {
        LogFailure("the page %.*s is missing from the resources", int(fileName.size()), fileName.data());
        return;
    }
    ResetWebControls(std::string());
    m_transPopup->hide();
    m_description->ShowPageFile(*file);
}

void ViewerWindow::SetupBlankDescription()
{
    if (m_blankDescription)
        return;
    SetupPreDescription(kBlankDescriptionFileName);
    m_blankDescription = true;
}

void ViewerWindow::GotoDescription(std::string_view url)
{
    QUrl address(FromUTF8(url));
    if (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https")) {
        LogFailure("the viewer loads web addresses only, not %.*s", int(url.size()), url.data());
        return;
    }
    m_blankDescription = false;
    m_description->LoadURL(address);
}

void ViewerWindow::ResetWebControls(std::optional<std::string> link)
{
    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    m_stop->setEnabled(false);
    m_stop->hide();
    m_reload->setEnabled(false);
    m_reload->show();
    m_snap->setEnabled(false);
    m_snap->hide();
    m_quickSubscribe->setEnabled(false);
    m_loading->hide();
    m_webFocusTicks = 0;
    if (link && m_staff) {
        m_staff->currentWebURL.clear();
        m_staff->currentWebTitle.clear();
        m_snapBackURL = *link;
    }
    m_blankDescription = false;
}

void ViewerWindow::WebLoadStarted(const QUrl& url)
{
    if (!m_staff)
        return;
    // Text handed to the engine arrives as a data: address; it stands for
    // a generated page.
    std::string address = url.scheme() == QLatin1String("data") ? std::string("data:") : url.toString().toStdString();
    LogInfo("Loading starts : %s", address.c_str());
    uint32_t mode = CheckWebModeAvail(m_staff->currentWebURL, m_snapBackURL, address);
    m_staff->webMode = mode;
    if (!(mode & kWebModeBack)) {
        m_back->setEnabled(false);
        m_snap->setEnabled(false);
    }
    if (!(mode & kWebModeForward))
        m_forward->setEnabled(false);
    m_staff->currentWebURL = address;
    if (mode & kWebModeShown) {
        SetDescriptionStatus(tr("Loading %1...").arg(url.toDisplayString()));
        m_stop->setEnabled(true);
        m_stop->show();
        m_reload->hide();
        m_snap->hide();
        m_snap->setEnabled(IsSnapBackAvail(mode, m_snapBackURL, address));
        m_loading->setValue(0);
        m_loading->show();
        m_quickSubscribe->setEnabled(false);
    } else {
        UpdateHeadInfo();
    }
    m_staff->webLoading = true;
}

void ViewerWindow::WebTitleReceived(const QString& title)
{
    if (!m_staff || title.isEmpty() || !IsWebPageURL(m_staff->currentWebURL))
        return;
    SetDescriptionStatus(title);
    m_staff->currentWebTitle = title.toStdString();
    if (m_staff->webMode & kWebModeShown)
        m_webFocusTicks = std::max<uint32_t>(TickCount(), 1);
}

void ViewerWindow::WebLoadEnded(const QUrl&, int errorCode, const QString& errorText)
{
    if (!m_staff)
        return;
    uint32_t mode = m_staff->webMode;
    m_mouseOver->clear();
    m_staff->webLoading = false;
    if (errorCode != 0) {
        if (errorCode == kNavigationAbortedError)
            SetDescriptionStatus(FromUTF8(m_staff->currentWebTitle));
        else if (errorCode != kLoadStoppedError) {
            SetDescriptionStatus(errorText);
            LogInfo("Loading error [%d] : %s.", errorCode, errorText.toUtf8().constData());
        }
        m_stop->hide();
        m_reload->setEnabled(true);
        m_reload->show();
        m_loading->hide();
        m_snap->show();
        m_quickSubscribe->setEnabled(false);
        return;
    }
    LogInfo("Loading done.");
    if (!(mode & kWebModeShown)) {
        m_reload->setEnabled(false);
        m_reload->show();
        return;
    }
    m_stop->hide();
    m_reload->setEnabled(true);
    m_reload->show();
    m_loading->hide();
    m_snap->show();
    // Finding the feed a page links is the quick-subscribe work's.
    m_quickSubscribe->setEnabled(false);
    if (mode & kWebModeBack)
        m_back->setEnabled(m_description->CanGoBack());
    if (mode & kWebModeForward)
        m_forward->setEnabled(m_description->CanGoForward());
}

void ViewerWindow::SetDescriptionStatus(const QString& text)
{
    m_headInfo->setText(text);
    m_headInfo->show();
}

void ViewerWindow::SetupDescriptionFontSize()
{
    uint16_t size = ENVhtmlSize();
    int16_t font = ENVhtmlFont();
    std::string_view encoding = ENVDefaultWebEncoding();
    if (size < kMinimumHtmlPoints && font == kHtmlDefaultFont && encoding.empty())
        return;
    QString family = font != kHtmlDefaultFont ? FromUTF8(ENVhtmlFontName()) : QString();
    m_description->SetFonts(family, size, FromUTF8(encoding));
}

/* ---- Relays and the browser ---- */

void ViewerWindow::SetupRelayMenu()
{
    m_relayMenu->clear();
    std::vector<RelayGroup> groups = ListRelayGroups(RelayFolders());
    for (const RelayGroup& group : groups) {
        if (!m_relayMenu->isEmpty())
            m_relayMenu->addSeparator();
        for (const std::string& name : group.names)
            m_relayMenu->addAction(FromUTF8(name));
    }
}

void ViewerWindow::TranslatePopupAction(const QString& name)
{
    const NewsList* item = m_staff && m_staff->newsID ? FindNewsByID(m_staff->news, m_staff->newsID) : nullptr;
    std::optional<std::string> prefix = GetRelayString(RelayFolders(), name.toStdString());
    if (!item || !prefix) {
        QApplication::beep();
        return;
    }
    std::string page = IsWebPageURL(m_staff->currentWebURL) ? m_staff->currentWebURL : item->linkURL.str();
    std::string url = MakeRelayURL(*prefix, page);
    LogInfo("Relay URL : %s", url.c_str());
    GotoDescription(url);
}

void ViewerWindow::BehindLaunchURL(std::string_view url, bool behind)
{
    if (OSStatus status = LaunchURL(url); status != kNoErr) {
        LogFailure("the browser did not open %.*s (%d)", int(url.size()), url.data(), int(status));
        return;
    }
    // The desktop hands the front to the browser; asked to stay in front,
    // the window takes it back once the browser is up.
    if (behind) {
        QTimer::singleShot(kBringBackDelayMs, this, [this] {
            raise();
            activateWindow();
        });
    }
}

void ViewerWindow::OpenInBrowser(bool alternate)
{
    if (!m_staff || m_staff->subscriptionID == 0) {
        QApplication::beep();
        return;
    }
    const NewsList* item = m_staff->newsID ? FindNewsByID(m_staff->news, m_staff->newsID) : nullptr;
    if (!item) {
        if (alternate)
            QApplication::beep();
        else
            HomeInBrowser();
        return;
    }
    bool behind = ENVdontSwitchBrowser() != alternate;
    if ((m_staff->webMode & kWebModeBack) && IsWebPageURL(m_staff->currentWebURL))
        BehindLaunchURL(m_staff->currentWebURL, behind);
    else
        BehindLaunchURL(item->linkURL.view(), behind);
}

void ViewerWindow::HomeInBrowser()
{
    uint32_t sid = m_staff ? m_staff->subscriptionID : 0;
    if (sid == kCurrentKeywordSearch || sid == kCurrentSeveral) {
        std::vector<uint32_t> selected = m_pane->SelectedSubscriptions();
        sid = selected.size() == 1 ? selected.front() : 0;
    }
    const SubscriptionList* node = sid ? FindSubscriptionByID(m_staff->subscriptions, sid) : nullptr;
    if (!node || node->siteType != kSiteTypeRSS || node->homeURL.view().empty()) {
        QApplication::beep();
        return;
    }
    BehindLaunchURL(node->homeURL.view(), ENVdontSwitchBrowser());
}

void ViewerWindow::CopyLink()
{
    const NewsList* item = m_cmNews ? FindNewsByID(m_staff->news, m_cmNews) : nullptr;
    if (!item || item->linkURL.view().empty())
        return;
    QApplication::clipboard()->setText(FromUTF8(item->linkURL.view()));
}

void ViewerWindow::UpdateSiteInfo()
{
    if (!m_staff)
        return;
    m_siteInfo->setText(m_pane->SubscriptionInfoText());
}

void ViewerWindow::ScheduleBadge()
{
    // Counting walks the whole list: once for a burst of changes.
    if (!m_badgeTimer->isActive())
        m_badgeTimer->start(kBadgeDelayMs);
}

/* ---- Web focus (the idle tick's share in the window) ---- */

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The space bar held down in the web view: noted here, served by WebIdle.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && !key->isAutoRepeat() && IsWebFocused()) {
            if (event->type() == QEvent::KeyPress)
                m_holdSpaceTicks = std::max<uint32_t>(TickCount(), 1);
            else
                m_holdSpaceTicks = 0;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool ViewerWindow::IsWebFocused() const
{
    QWidget* focus = QApplication::focusWidget();
    return focus && (focus == m_description || m_description->isAncestorOf(focus));
}

void ViewerWindow::WebIdle()
{
    // Holding the space bar in the web view for two seconds moves on to the
    // next unread headline, once.
    if (m_holdSpaceTicks != 0) {
        if (!IsWebFocused()) {
            m_holdSpaceTicks = 0;
        } else if (TickCount() - m_holdSpaceTicks > kHoldSpaceTicks) {
            m_holdSpaceTicks = 0;
            m_headlineList->setFocus(Qt::OtherFocusReason);
            SelectNextUnread();
        }
    }
    if (m_webFocusTicks == 0)
        return;
    if (TickCount() - m_webFocusTicks <= kWebFocusDelayTicks)
        return;
    m_webFocusTicks = 0;
    QWidget* target = m_description->FocusTarget();
    if (isActiveWindow() && target && !target->hasFocus() && !m_findField->hasFocus())
        target->setFocus(Qt::OtherFocusReason);
}

/* ---- Commands ---- */

void ViewerWindow::ProcessCommand(FourCharCode command)
{
    if (!m_staff)
        return;
    switch (command) {
    case kCommandAdjustWindow:
        m_staff->webZoomValue = 0; // a manual drag ends the maximised state
        AdjustWindowControls(nullptr);
        return;
    case kCommandZoomHorizontal: {
        std::optional<int> position = m_staff->webZoomValue ? NormalizeDescription(m_staff->webZoomValue)
                                                            : MaximizeDescription(m_staff->webZoomValue, m_hsplit->Value());
        if (position) {
            m_hsplit->SetValue(*position);
            ProcessCommand(kCommandAdjustDescription);
        }
        return;
    }
    case kCommandAdjustDescription: {
        AdjustWindowControls(nullptr);
        int row = m_staff->newsID ? m_headlines->RowOf(m_staff->newsID) : -1;
        if (row >= 0 && m_staff->webZoomValue)
            m_headlineList->scrollTo(m_headlines->index(row, 0), QAbstractItemView::PositionAtCenter);
        return;
    }
    case kCommandZoomVertical:
        return;
    case kCommandNextUnread:
        SelectNextUnread();
        return;
    case kCommandPrevUnread:
        SelectPrevUnread();
        return;
    case kCommandMarkAllRead:
        MarkAsRead(kAllRows);
        return;
    case kCommandMarkRead:
        MarkAsRead(1);
        return;
    case kCommandHold:
        MarkAsPermanents();
        return;
    case kCommandUnhold:
        MarkAsUnpermanents();
        return;
    case kCommandOpenInBrowser:
        OpenInBrowser(IsAlternateKeyHeld());
        return;
    case kCommandOpenInBrowserAlter:
        OpenInBrowser(true);
        return;
    case kCommandHomeInBrowser:
        HomeInBrowser();
        return;
    case kCommandCopyLink:
        CopyLink();
        return;
    case kCommandBigger:
        m_description->Bigger();
        return;
    case kCommandSmaller:
        m_description->Smaller();
        return;
    case kCommandHeadlineClicked:
        // A single click on a headline while its web page shows returns to its page.
        if (m_headSingleClicked && m_staff->newsID && IsWebPageURL(m_staff->currentWebURL)) {
            if (const NewsList* item = FindNewsByID(m_staff->news, m_staff->newsID))
                SetupDescription(*item);
        }
        m_headSingleClicked = false;
        return;
    case kCommandDownloadEnclosure:
        // Enclosure downloads come with the download agent's work.
        LogInfo("enclosure downloads are not available yet");
        return;
    case kCommandSubscribe:
        SubscribeAsked();
        return;
    case kCommandRefresh:
        RefreshSelected();
        return;
    case kCommandUnsubscribe:
        m_pane->RemoveSelectedSubscriptions(SubscriptionPane::RemovalAsk::kAskUser);
        return;
    case kCommandSearch:
        m_findField->setFocus(Qt::ShortcutFocusReason);
        m_findField->selectAll();
        return;
    case kCommandDontFind:
        ClearFind();
        return;
    case kCommandBack:
        m_description->Back();
        return;
    case kCommandForward:
        m_description->Forward();
        return;
    case kCommandStop:
        m_description->Stop();
        return;
    case kCommandReload:
        m_description->Reload();
        return;
    case kCommandShowFilter:
        // The application's own command.
        ProcessShellCommand(command);
        return;
    case kCommandSnapBack:
        if (!m_snapBackURL.empty())
            GotoDescription(m_snapBackURL);
        return;
    default:
        LogInfo("the viewer has no command %s yet", FourCharCodeToString(command).c_str());
        return;
    }
}

void ViewerWindow::SubscribeAsked()
{
    bool ok = false;
    QString url = QInputDialog::getText(this, tr("Subscribe"), tr("Feed address:"), QLineEdit::Normal, QString(), &ok);
    if (!ok || url.trimmed().isEmpty())
        return;
    std::string address = url.trimmed().toStdString();
    if (!address.starts_with("feed:") && !address.starts_with("http://") && !address.starts_with("https://"))
        address = "http://" + address;
    uint32_t sid = SubscribeURLInViewerWindow(m_staff, address);
    if (sid == 0) {
        QMessageBox::warning(this, tr("Subscribe"), tr("“%1” is not a web address.").arg(url));
        return;
    }
    m_pane->SelectSubscription(sid);
}

void ViewerWindow::RefreshSelected()
{
    std::vector<uint32_t> selected = m_pane->SelectedSubscriptions();
    for (uint32_t sid : selected)
        RefreshSubscriptionViewerWindow(m_staff, sid);
}

void ViewerWindow::RunFind(const QString& text)
{
    QString keyword = text.trimmed();
    if (keyword.isEmpty())
        return ClearFind();
    std::string words = keyword.toStdString();
    AppendFindWord(m_findWords, words);
    m_findMenu->clear();
    for (const std::string& word : m_findWords)
        m_findMenu->addAction(FromUTF8(word));
    m_pane->SelectSubscription(0);
    m_staff->subscriptionID = kCurrentKeywordSearch;
    m_staff->selections.clear();
    m_staff->newsID = 0;
    m_headlines->Rebuild(words);
    m_staff->matchCount = uint32_t(m_headlines->rowCount());
    SetupBlankDescription();
    UpdateHeadInfo();
}

void ViewerWindow::ClearFind()
{
    m_findField->clear();
    if (m_staff->subscriptionID != kCurrentKeywordSearch)
        return;
    m_staff->subscriptionID = 0;
    m_headlines->Clear();
    SetupBlankDescription();
    UpdateHeadInfo();
}

/* ---- The shell's calls ---- */

void ViewerWindow::ShowHotNews()
{
    ShowAndBringToFront();
    if (!m_staff)
        return;
    for (SubscriptionList* node = m_staff->subscriptions; node; node = node->next) {
        if (node->siteType == kSiteTypeHotList) {
            m_pane->SelectSubscription(node->sid);
            return;
        }
    }
}

void ViewerWindow::SubscribeURL(std::string_view url)
{
    std::string feedURL = "feed:" + std::string(url);
    uint32_t sid = SubscribeURLInViewerWindow(m_staff, feedURL);
    if (sid == 0)
        return;
    // Handed over by another program: the user wants to see where it went.
    ShowAndBringToFront();
    m_pane->SelectSubscription(sid);
}

void ViewerWindow::LoadURL(std::string_view url)
{
    if (!m_staff)
        return;
    GotoDescription(url);
}

void ViewerWindow::FilterKeyword(std::string_view keyword)
{
    QString text = FromUTF8(keyword);
    m_findField->setText(text);
    RunFind(text);
}

void ViewerWindow::MarkDownload(std::string_view enclosureURL)
{
    if (!m_staff)
        return;
    NewsList* item = FindNewsByEnclosure(m_staff->news, enclosureURL);
    if (!item)
        return;
    item->flags |= kNewsFlagDownloaded;
    MarkAutoSave(m_staff);
    m_headlines->RedrawNews(item->nid);
}

std::string ViewerWindow::CurrentTitle() const
{
    return m_staff && IsWebPageURL(m_staff->currentWebURL) ? m_staff->currentWebTitle : std::string();
}

std::string ViewerWindow::CurrentURL() const
{
    if (!m_staff || !isVisible() || !IsWebPageURL(m_staff->currentWebURL))
        return {};
    return m_staff->currentWebURL;
}

WebBounds ViewerWindow::WebBoundsOnScreen() const
{
    QPoint origin = m_description->mapToGlobal(QPoint(0, 0));
    WebBounds bounds;
    bounds.top = int16_t(origin.y());
    bounds.left = int16_t(origin.x());
    bounds.bottom = int16_t(origin.y() + m_description->height());
    bounds.right = int16_t(origin.x() + m_description->width());
    return bounds;
}

/* ---- The presenter ---- */

namespace {

// Draws into the window once it exists; the log lines of the headless
// presenter stay. Hot news go to the ticker, the alert sounds and the
// desktop notifications, each with its log line.
class WindowPresenter : public LoggingViewerPresenter {
public:
    void SetWindow(ViewerWindow* window) { m_window = window; }

    void DrawSubscriptionRow(const SubscriptionList& subscription, RowReveal reveal) override
    {
        if (m_window)
            m_window->DrawSubscriptionRow(subscription, reveal);
    }
    void DrawSubscriptionAdded(const SubscriptionList& subscription) override
    {
        LoggingViewerPresenter::DrawSubscriptionAdded(subscription);
        if (m_window)
            m_window->DrawSubscriptionAdded(subscription);
    }
    void DrawSubscriptionRemoved(uint32_t sid) override
    {
        LoggingViewerPresenter::DrawSubscriptionRemoved(sid);
        if (m_window)
            m_window->DrawSubscriptionRemoved(sid);
    }
    void DrawNewHeadlines(const SubscriptionList& subscription, uint32_t count) override
    {
        LoggingViewerPresenter::DrawNewHeadlines(subscription, count);
        if (m_window)
            m_window->DrawNewHeadlines(subscription, count);
    }
    void DrawStatus(const std::string* message) override
    {
        if (m_window)
            m_window->DrawStatus(message);
    }
    void DrawPreDescription(const SubscriptionList& subscription) override
    {
        if (m_window)
            m_window->DrawPreDescription(subscription);
        else
            LoggingViewerPresenter::DrawPreDescription(subscription);
    }

    void PlayNewsSound(const NewsList& news) override
    {
        LoggingViewerPresenter::PlayNewsSound(news);
        PlaySound(news.sound.view());
    }
    void NotifyNews(const NewsList& news) override
    {
        LoggingViewerPresenter::NotifyNews(news);
        RegistNewsToGrowl(news);
    }
    void QueueNewsOnTicker(const NewsList& news, std::string_view sourceName) override
    {
        LoggingViewerPresenter::QueueNewsOnTicker(news, sourceName);
        RegistNewsTickerWindow(news, sourceName);
    }

private:
    QPointer<ViewerWindow> m_window;
};

class ViewerWindowShell : public ShellViewer {
public:
    ViewerWindowShell(NVWStaff* staff, ViewerWindow* window)
        : m_staff(staff)
        , m_window(window)
    {
    }
    ~ViewerWindowShell() override { Close(); }

    bool IsVisible() const override { return m_window && m_window->isVisible(); }
    void ShowAndBringToFront() override
    {
        if (m_window)
            m_window->ShowAndBringToFront();
    }
    bool HoldsHotNews() const override
    {
        for (const SubscriptionList* node = m_staff ? m_staff->subscriptions : nullptr; node; node = node->next) {
            if (node->siteType == kSiteTypeHotList)
                return true;
        }
        return false;
    }
    void ShowHotNews() override
    {
        if (m_window)
            m_window->ShowHotNews();
    }
    void SubscribeURL(std::string_view url) override
    {
        if (m_window)
            m_window->SubscribeURL(url);
    }
    void LoadURL(std::string_view url) override
    {
        if (m_window)
            m_window->LoadURL(url);
    }
    void FilterKeyword(std::string_view keyword) override
    {
        if (m_window)
            m_window->FilterKeyword(keyword);
    }
    void MarkDownload(std::string_view enclosureURL) override
    {
        if (m_window)
            m_window->MarkDownload(enclosureURL);
    }
    // The pane completes moves inside itself when its drag ends.
    void DragOutSubscription() override {}
    std::string GetCurrentTitle() const override { return m_window ? m_window->CurrentTitle() : std::string(); }
    std::string GetCurrentTitleRJ() const override
    {
        // Readers of the old form take the desktop's legacy single-byte
        // encoding; characters it lacks are approximated.
        std::string title = GetCurrentTitle();
        return ConvertEncoding(title, "UTF-8", kLegacyTitleEncoding).value_or(std::string());
    }
    std::string GetCurrentURL() const override { return m_window ? m_window->CurrentURL() : std::string(); }
    bool IsWebLoading() const override { return m_staff && m_staff->webLoading; }
    WebBounds GetWebBounds() const override { return m_window ? m_window->WebBoundsOnScreen() : WebBounds{}; }

    // The model's saves first, then the window's bounds and its layout.
    void Close() override
    {
        if (!m_window)
            return;
        NVWParams params = m_window->CurrentParams();
        Rect bounds = m_window->CurrentBounds();
        m_window->DetachModel();
        delete m_window.data();
        m_window = nullptr;
        CloseNewsViewerCore();
        m_staff = nullptr;
        if (OSStatus status = SaveViewerWindowBounds(bounds); status != kNoErr)
            LogFailure("the viewer window's position was not saved (%d)", int(status));
        if (OSStatus status = SaveViewerWindowParams(params); status != kNoErr)
            LogFailure("the viewer window's layout was not saved (%d)", int(status));
    }

private:
    NVWStaff* m_staff;
    QPointer<ViewerWindow> m_window;
};

bool IsShiftKeyHeldNow()
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
}

} // namespace

std::unique_ptr<ShellViewer> OpenViewerWindow()
{
    if (GetNewsViewerStaff()) {
        LogFailure("the viewer is open already");
        return nullptr;
    }
    SetShiftKeyReader(IsShiftKeyHeldNow);
    auto presenter = std::make_unique<WindowPresenter>();
    WindowPresenter* drawer = presenter.get();
    NVWStaff* staff = OpenNewsViewerCore(std::move(presenter));
    auto* window = new ViewerWindow(staff);
    drawer->SetWindow(window);
    window->ApplySavedLayout();
    if (ENVopenStartup())
        window->show();
    return std::make_unique<ViewerWindowShell>(staff, window);
}
