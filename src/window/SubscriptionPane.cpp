// The subscription pane's widgets: a tree view over SubscriptionPaneModel
// with the state icons, the selection turned into the current subscription,
// drags inside the pane and from outside, drags out as link files, the
// contextual menu, removal with its alerts and the info line. The rules
// themselves live in viewer/SubscriptionPaneModel; this file turns events
// into those calls.
#include "window/SubscriptionPane.h"

#include "platform/Desktop.h"
#include "platform/FourCharCode.h"
#include "platform/Log.h"
#include "settings/Environs.h"
#include "viewer/SubscriptionPaneModel.h"
#include "viewer/ViewerIdle.h"
#include "viewer/ViewerOperations.h"
#include "window/Icons.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <unordered_map>

static_assert(kCurrentSeveral == kSelectionSubscriptionID);
static_assert(kCurrentKeywordSearch == kKeywordSubscriptionID);

// Contextual menu commands.
constexpr FourCharCode kCommandOpenHome = MakeFourCharCode("opnH");
constexpr FourCharCode kCommandGetInfo = MakeFourCharCode("getI");
constexpr FourCharCode kCommandRemove = MakeFourCharCode("rmvS");
constexpr FourCharCode kCommandResetRefresh = MakeFourCharCode("rfs1");
constexpr FourCharCode kCommandConvert = MakeFourCharCode("cnvS");

constexpr int kRowIconSize = 16;

/* ---- The view ---- */

// Draws the row's state icon from the model's choice; the icons are
// rendered once per size by QIcon, so a repaint costs a pixmap copy.
class SubscriptionRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant icon = index.data(SubscriptionPaneModel::kIconRole);
        if (!icon.isValid())
            return;
        option->icon = GetSubscriptionIcon(SubscriptionIcon(icon.toInt()));
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = QSize(kRowIconSize, kRowIconSize);
    }
};

// Where a drop would land, as the model's rules see it.
struct SubscriptionDropSpot {
    DropPlace place = DropPlace::kOutside;
    uint32_t targetSid = 0; // the row dropped on or before; 0 outside
};
using DropSpot = SubscriptionDropSpot;

// The tree view with the pane's drag and drop; the pane owns the rules.
class SubscriptionTreeView : public QTreeView {
public:
    explicit SubscriptionTreeView(SubscriptionPane* pane) : QTreeView(pane), m_pane(pane) {}

    std::function<void()> startDragHandler;
    std::function<bool(QDropEvent*, const DropSpot&)> acceptHandler;
    std::function<bool(QDropEvent*, const DropSpot&)> dropHandler;
    std::function<void(QContextMenuEvent*)> menuHandler;
    std::function<void()> leaveHandler;
    std::function<void()> removeHandler;

    SubscriptionPaneModel* PaneModel() const { return static_cast<SubscriptionPaneModel*>(model()); }

    // The spot under `position` from the drop indicator the view computed.
    DropSpot SpotAt(const QPoint& position) const
    {
        const QModelIndex row = indexAt(position);
        if (!row.isValid())
            return {};
        switch (dropIndicatorPosition()) {
        case QAbstractItemView::OnItem:
            return {DropPlace::kOnRow, PaneModel()->SidOf(row)};
        case QAbstractItemView::AboveItem:
            return {DropPlace::kBeforeRow, PaneModel()->SidOf(row)};
        case QAbstractItemView::BelowItem: {
            const QModelIndex below = indexBelow(row);
            if (!below.isValid())
                return {};
            return {DropPlace::kBeforeRow, PaneModel()->SidOf(below)};
        }
        case QAbstractItemView::OnViewport:
            return {};
        }
        return {};
    }

protected:
    void startDrag(Qt::DropActions) override
    {
        if (startDragHandler)
            startDragHandler();
    }

    void dragEnterEvent(QDragEnterEvent* event) override
    {
        QTreeView::dragEnterEvent(event);
        event->setAccepted(acceptHandler && acceptHandler(event, {}));
    }

    void dragMoveEvent(QDragMoveEvent* event) override
    {
        QTreeView::dragMoveEvent(event);
        const bool accepted = acceptHandler && acceptHandler(event, SpotAt(event->position().toPoint()));
        event->setAccepted(accepted);
    }

    void dropEvent(QDropEvent* event) override
    {
        const DropSpot spot = SpotAt(event->position().toPoint());
        const bool dropped = dropHandler && dropHandler(event, spot);
        event->setAccepted(dropped);
        if (dropped)
            event->setDropAction(event->source() == this ? Qt::MoveAction : Qt::CopyAction);
        // The base class would hand the data to the model; the pane took it.
        stopAutoScroll();
        setState(NoState);
        viewport()->update();
    }

    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (menuHandler)
            menuHandler(event);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && removeHandler) {
            removeHandler();
            return;
        }
        QTreeView::keyPressEvent(event);
    }

    bool viewportEvent(QEvent* event) override
    {
        if (event->type() == QEvent::Leave && leaveHandler)
            leaveHandler();
        return QTreeView::viewportEvent(event);
    }

private:
    SubscriptionPane* m_pane;
};

/* ---- The pane's parts ---- */

struct SubscriptionPane::Parts {
    NVWStaff* staff = nullptr;
    SubscriptionPaneModel* model = nullptr;
    SubscriptionTreeView* view = nullptr;
    // Link files of subscriptions dragged out live here until the pane goes.
    std::unique_ptr<QTemporaryDir> dragFolder;
    // Set while the pane changes the selection itself, so that the change
    // is handled once, at the end.
    bool selecting = false;
};

static QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

static CountDisplay CurrentCountDisplay()
{
    return ENVshowCounts() ? CountDisplay::kShown : CountDisplay::kHidden;
}

// The cool-news list exists whenever permanent news do (at open).
static void AppendCoolSubscriptionIfNeeded(NVWStaff* staff)
{
    if (staff && staff->news && CountPermedNews(staff->news) > 0)
        AppendCoolSubscription(*staff);
}

SubscriptionPane::SubscriptionPane(NVWStaff* staff, QWidget* parent) : QWidget(parent), m_parts(std::make_unique<Parts>())
{
    RegisterMyIcons();
    m_parts->staff = staff;
    AppendCoolSubscriptionIfNeeded(staff);

    auto* model = new SubscriptionPaneModel(staff, this);
    model->SetCountDisplay(CurrentCountDisplay());
    m_parts->model = model;

    auto* view = new SubscriptionTreeView(this);
    m_parts->view = view;
    view->setObjectName(QStringLiteral("brow200"));
    view->setModel(model);
    view->setItemDelegate(new SubscriptionRowDelegate(view));
    view->setHeaderHidden(true);
    view->setUniformRowHeights(true);
    view->setIconSize(QSize(kRowIconSize, kRowIconSize));
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragEnabled(true);
    view->setAcceptDrops(true);
    view->setDropIndicatorShown(true);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setDefaultDropAction(Qt::MoveAction);
    view->setMouseTracking(true);
    view->setTextElideMode(Qt::ElideRight);
    view->header()->setStretchLastSection(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                HandleSelectionChange(selected, deselected);
            });
    connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        const SubscriptionList* node = m_parts->model->SubscriptionOf(index);
        if (node && node->siteType == kSiteTypeRSS && !node->homeURL.empty())
            LaunchURL(node->homeURL.view());
    });
    connect(view, &QAbstractItemView::entered, this, [this](const QModelIndex& index) {
        emit infoLineChanged(index.data(SubscriptionPaneModel::kInfoRole).toString());
    });
    // Folder open state goes into the tree as it changes, so a save at any
    // moment keeps it.
    connect(view, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (SubscriptionList* node = m_parts->model->SubscriptionOf(index))
            node->flags |= kSubscriptionFlagExpanded;
    });
    connect(view, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (SubscriptionList* node = m_parts->model->SubscriptionOf(index))
            node->flags &= ~kSubscriptionFlagExpanded;
    });
    view->leaveHandler = [this] { emit infoLineChanged(SubscriptionInfoText()); };
    view->removeHandler = [this] { RemoveSelectedSubscriptions(RemovalAsk::kAskUser); };
    view->menuHandler = [this](QContextMenuEvent* event) { ShowContextMenu(event->globalPos(), event->pos()); };
    view->startDragHandler = [this] { StartDrag(); };
    view->acceptHandler = [this](QDropEvent* event, const DropSpot& spot) { return AcceptDrop(event, spot); };
    view->dropHandler = [this](QDropEvent* event, const DropSpot& spot) { return ReceiveDrop(event, spot); };

    RestoreExpandedFolders();
}

SubscriptionPane::~SubscriptionPane()
{
    // The view first, while the parts its signals reach still exist.
    delete m_parts->view;
}

QTreeView* SubscriptionPane::View() const
{
    return m_parts->view;
}

SubscriptionPaneModel* SubscriptionPane::Model() const
{
    return m_parts->model;
}

/* ---- Rows ---- */

void SubscriptionPane::RestoreExpandedFolders()
{
    SubscriptionPaneModel* model = m_parts->model;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        const SubscriptionList* node = model->SubscriptionOf(index);
        if (node && node->siteType == kSiteTypeGroup)
            m_parts->view->setExpanded(index, (node->flags & kSubscriptionFlagExpanded) != 0);
    }
}

void SubscriptionPane::Reload()
{
    AppendCoolSubscriptionIfNeeded(m_parts->staff);
    m_parts->model->SetCountDisplay(CurrentCountDisplay());
    m_parts->model->Reload();
    RestoreExpandedFolders();
    m_parts->view->scrollToTop();
    emit infoLineChanged(SubscriptionInfoText());
}

void SubscriptionPane::RevealRow(uint32_t sid)
{
    const QModelIndex index = m_parts->model->IndexOf(sid);
    if (!index.isValid())
        return;
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
        m_parts->view->expand(above);
    m_parts->view->scrollTo(index);
}

void SubscriptionPane::DrawRow(const SubscriptionList& subscription, RowReveal reveal)
{
    m_parts->model->RowChanged(subscription.sid);
    switch (reveal) {
    case RowReveal::kRedrawOnly:
        return;
    case RowReveal::kReveal:
        RevealRow(subscription.sid);
        return;
    }
}

void SubscriptionPane::DrawAdded(const SubscriptionList& subscription)
{
    m_parts->model->RowAdded(subscription);
    emit infoLineChanged(SubscriptionInfoText());
}

void SubscriptionPane::DrawRemoved(uint32_t sid)
{
    m_parts->model->RowRemoved(sid);
    emit infoLineChanged(SubscriptionInfoText());
}

void SubscriptionPane::DrawCounts()
{
    SubscriptionPaneModel* model = m_parts->model;
    const CountDisplay display = CurrentCountDisplay();
    if (display != model->GetCountDisplay())
        model->SetCountDisplay(display);
    else
        model->CountsChanged();
}

QString SubscriptionPane::SubscriptionInfoText() const
{
    const uint32_t count = m_parts->staff ? CountSubscriptions(m_parts->staff->subscriptions) : 0;
    if (count == 0)
        return {};
    if (count == 1)
        return tr("%1 subscription").arg(count);
    return tr("%1 subscriptions").arg(count);
}

/* ---- Selection ---- */

void SubscriptionPane::SelectSubscription(uint32_t sid)
{
    const QModelIndex index = m_parts->model->IndexOf(sid);
    QItemSelectionModel* selection = m_parts->view->selectionModel();
    if (!index.isValid()) {
        selection->clearSelection();
        return;
    }
    RevealRow(sid);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_parts->view->scrollTo(index, QAbstractItemView::EnsureVisible);
}

std::vector<uint32_t> SubscriptionPane::SelectedSubscriptions() const
{
    const QModelIndexList rows = m_parts->view->selectionModel()->selectedRows();
    std::vector<uint32_t> sids;
    sids.reserve(size_t(rows.size()));
    for (const QModelIndex& row : rows) {
        if (uint32_t sid = m_parts->model->SidOf(row); m_parts->model->SubscriptionOf(row))
            sids.push_back(sid);
    }
    if (sids.size() < 2)
        return sids;
    // The selection model keeps the order of clicks: put them in tree order.
    std::unordered_map<uint32_t, size_t> position;
    const std::vector<uint32_t> order = m_parts->model->RowsInOrder();
    for (size_t at = 0; at < order.size(); ++at)
        position[order[at]] = at;
    std::sort(sids.begin(), sids.end(), [&position](uint32_t a, uint32_t b) { return position[a] < position[b]; });
    return sids;
}

// A search feed whose last access failed is only kept while it is shown.
void SubscriptionPane::DiscardFailedSearchFeeds(const QItemSelection& deselected)
{
    std::vector<uint32_t> failed;
    for (const QModelIndex& index : deselected.indexes()) {
        const SubscriptionList* node = m_parts->model->SubscriptionOf(index);
        if (node && node->siteType == kSiteTypeRSS && (node->flags & kSubscriptionFlagSearch) &&
            node->accessErrors != 0)
            failed.push_back(node->sid);
    }
    if (failed.empty())
        return;
    // Not from inside the selection model's own signal.
    QTimer::singleShot(0, this, [this, failed] {
        NVWStaff* staff = m_parts->staff;
        if (!staff)
            return;
        for (uint32_t sid : failed) {
            if (RemoveSubscriptionViewerWindow(staff, sid) == kNoErr)
                m_parts->model->RowRemoved(sid);
        }
        emit infoLineChanged(SubscriptionInfoText());
    });
}

void SubscriptionPane::HandleSelectionChange(const QItemSelection&, const QItemSelection& deselected)
{
    NVWStaff* staff = m_parts->staff;
    if (!staff || m_parts->selecting)
        return;
    if (!deselected.isEmpty()) {
        DiscardFailedSearchFeeds(deselected);
        ExecAutoSave(staff);
    }
    const std::vector<uint32_t> selected = SelectedSubscriptions();
    const std::vector<uint32_t> lone = FindLoneRowsInSelection(staff->subscriptions, selected);
    if (!lone.empty()) {
        // The hot, cool and keyword rows stand alone: drop them and let the
        // resulting change decide.
        QItemSelectionModel* selection = m_parts->view->selectionModel();
        m_parts->selecting = true;
        for (uint32_t sid : lone)
            selection->select(m_parts->model->IndexOf(sid), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        m_parts->selecting = false;
        HandleSelectionChange({}, {});
        return;
    }
    // Even an unchanged id is announced: an operation may have set it
    // before the row was selected, and the headlines still wait for it.
    const uint32_t current = ResolveCurrentSubscription(staff->subscriptions, selected);
    staff->selections = CreateSelectionArray(staff->subscriptions, selected);
    staff->newsID = 0;
    staff->subscriptionID = current;
    emit currentSubscriptionChanged(current);
}

/* ---- Removal ---- */

bool SubscriptionPane::RemoveSelectedSubscriptions(RemovalAsk ask)
{
    NVWStaff* staff = m_parts->staff;
    if (!staff)
        return false;
    const std::vector<uint32_t> selected = SelectedSubscriptions();
    switch (CheckRemovableSelection(staff->subscriptions, selected)) {
    case RemovalCheck::kNothingSelected:
        return false;
    case RemovalCheck::kUnremovable:
        if (ask == RemovalAsk::kAskUser)
            QMessageBox::warning(this, tr("Cannot Remove"),
                                 tr("The selection cannot be removed while a subscription in it is being updated, "
                                    "and the hot and cool news lists are never removed."));
        return false;
    case RemovalCheck::kRemovable:
        break;
    }
    if (ask == RemovalAsk::kAskUser) {
        const SubscriptionList* only = FindSubscriptionByID(staff->subscriptions, selected.front());
        const QString question = selected.size() == 1 && only
                                     ? tr("Remove \"%1\"?").arg(ToQString(SubscriptionDisplayName(*only)))
                                     : tr("Remove the %1 selected subscriptions?").arg(selected.size());
        if (QMessageBox::question(this, tr("Remove"), question, QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
            return false;
    }
    m_parts->selecting = true;
    const uint32_t removed = RemoveSubscriptions(*staff, selected);
    m_parts->model->Restructure();
    m_parts->view->selectionModel()->clearSelection();
    m_parts->selecting = false;
    emit currentSubscriptionChanged(0);
    emit infoLineChanged(SubscriptionInfoText());
    return removed > 0;
}

/* ---- The contextual menu ---- */

void SubscriptionPane::ShowContextMenu(const QPoint& globalPosition, const QPoint& viewPosition)
{
    const QModelIndex row = m_parts->view->indexAt(viewPosition);
    if (row.isValid() && !m_parts->view->selectionModel()->isRowSelected(row.row(), row.parent()))
        SelectSubscription(m_parts->model->SidOf(row));
    const std::vector<uint32_t> selected = SelectedSubscriptions();
    if (selected.size() != 1)
        return;
    SubscriptionList* node = FindSubscriptionByID(m_parts->staff->subscriptions, selected.front());
    if (!node)
        return;
    const bool pseudoList = node->siteType == kSiteTypeHotList || node->siteType == kSiteTypeCoolList;
    const bool keyword = node->siteType == kSiteTypePsedo;
    const bool plain = !pseudoList && !keyword;
    const bool search = node->siteType == kSiteTypeRSS && (node->flags & kSubscriptionFlagSearch);
    const uint32_t sid = node->sid;

    QMenu menu(this);
    QAction* openHome = menu.addAction(tr("Open Home Page"));
    openHome->setEnabled(plain && !node->homeURL.empty());
    openHome->setData(kCommandOpenHome);
    QAction* getInfo = menu.addAction(tr("Get Info"));
    getInfo->setEnabled(plain);
    getInfo->setData(kCommandGetInfo);
    menu.addSeparator();
    QAction* resetRefresh = menu.addAction(tr("Reset and Refresh"));
    resetRefresh->setEnabled(plain);
    resetRefresh->setData(kCommandResetRefresh);
    QAction* convert = menu.addAction(tr("Convert to Ordinary Feed"));
    convert->setEnabled(plain && search);
    convert->setData(kCommandConvert);
    menu.addSeparator();
    QAction* remove = menu.addAction(tr("Remove"));
    remove->setEnabled(!pseudoList);
    remove->setData(kCommandRemove);

    QAction* chosen = menu.exec(globalPosition);
    if (!chosen)
        return;
    RunMenuCommand(FourCharCode(chosen->data().toUInt()), sid);
}

void SubscriptionPane::RunMenuCommand(uint32_t command, uint32_t sid)
{
    NVWStaff* staff = m_parts->staff;
    SubscriptionList* node = staff ? FindSubscriptionByID(staff->subscriptions, sid) : nullptr;
    if (!node)
        return;
    if (command == kCommandOpenHome) {
        LaunchURL(node->homeURL.view());
    } else if (command == kCommandGetInfo) {
        emit commandRequested(command);
    } else if (command == kCommandRemove) {
        RemoveSelectedSubscriptions(RemovalAsk::kAskUser);
    } else if (command == kCommandResetRefresh) {
        // A folder refreshes its members.
        std::vector<uint32_t> feeds = CreateSelectionArray(staff->subscriptions, std::vector<uint32_t>{sid});
        for (uint32_t each : feeds)
            RefreshSubscriptionViewerWindow(staff, each);
    } else if (command == kCommandConvert) {
        if (ConvertSubscription(*staff, sid)) {
            m_parts->model->Restructure();
            RevealRow(sid);
        }
    }
}

/* ---- Dragging rows ---- */

static QByteArray EncodeSubscriptionIDs(const std::vector<uint32_t>& sids)
{
    QByteArray bytes;
    for (uint32_t sid : sids) {
        bytes.append(char(sid >> 24));
        bytes.append(char(sid >> 16));
        bytes.append(char(sid >> 8));
        bytes.append(char(sid));
    }
    return bytes;
}

static std::vector<uint32_t> DecodeSubscriptionIDs(const QByteArray& bytes)
{
    std::vector<uint32_t> sids;
    for (qsizetype at = 0; at + 4 <= bytes.size(); at += 4) {
        auto byte = [&bytes, at](qsizetype offset) { return uint32_t(uint8_t(bytes[at + offset])); };
        sids.push_back((byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3));
    }
    return sids;
}

void SubscriptionPane::StartDrag()
{
    NVWStaff* staff = m_parts->staff;
    if (!staff)
        return;
    const std::vector<uint32_t> draggings = CreateDraggingArray(staff->subscriptions, SelectedSubscriptions());
    if (draggings.empty())
        return;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kSubscriptionIDsMimeType), EncodeSubscriptionIDs(draggings));
    QStringList texts;
    QList<QUrl> files;
    // With Alt held no files are offered: the rows move or go as text only.
    const bool withFiles = !(QApplication::keyboardModifiers() & Qt::AltModifier);
    if (withFiles && !m_parts->dragFolder)
        m_parts->dragFolder = std::make_unique<QTemporaryDir>();
    for (uint32_t sid : draggings) {
        const SubscriptionList* node = FindSubscriptionByID(staff->subscriptions, sid);
        if (!node || node->siteType == kSiteTypeGroup)
            continue;
        texts.push_back(ToQString(MakeRssChannelText(*node)));
        if (!withFiles || !m_parts->dragFolder->isValid())
            continue;
        if (auto file = WriteSubscriptionLinkFile(*node, m_parts->dragFolder->path().toStdString()))
            files.push_back(QUrl::fromLocalFile(QString::fromStdString(file->string())));
    }
    if (!texts.isEmpty())
        data->setText(texts.join(QLatin1Char('\n')));
    if (!files.isEmpty())
        data->setUrls(files);
    auto* drag = new QDrag(m_parts->view);
    drag->setMimeData(data);
    const QModelIndex first = m_parts->model->IndexOf(draggings.front());
    drag->setPixmap(GetSubscriptionIcon(SubscriptionIcon(first.data(SubscriptionPaneModel::kIconRole).toInt()))
                        .pixmap(kRowIconSize * 2, kRowIconSize * 2));
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

/* ---- Drops ---- */

static bool IsMoveInsidePane(const QDropEvent* event, const QTreeView* view)
{
    return event->source() == view && event->mimeData()->hasFormat(QString::fromLatin1(kSubscriptionIDsMimeType));
}

bool SubscriptionPane::AcceptDrop(QDropEvent* event, const DropSpot& spot)
{
    NVWStaff* staff = m_parts->staff;
    if (!staff)
        return false;
    const QMimeData* data = event->mimeData();
    if (IsMoveInsidePane(event, m_parts->view)) {
        if (spot.place == DropPlace::kOnRow && !AcceptsSubscriptionMove(staff->subscriptions, spot.targetSid))
            return false;
        event->setDropAction(Qt::MoveAction);
        return true;
    }
    if (data->hasUrls()) {
        event->setDropAction(Qt::CopyAction);
        return true;
    }
    // Text dragged from this window is its own rows' text, not a new feed.
    if (data->hasText() && event->source() != m_parts->view) {
        event->setDropAction(Qt::CopyAction);
        return true;
    }
    return false;
}

// Adds the feed of one dropped item; false when the item holds none.
bool SubscriptionPane::ReceiveDroppedItem(const QUrl& url, const QMimeData* data, uint32_t targetSid, uint32_t& added)
{
    NVWStaff& staff = *m_parts->staff;
    DropResult result;
    if (url.isLocalFile()) {
        const std::string path = url.toLocalFile().toStdString();
        LogInfo("Drag Received File : %s", path.c_str());
        std::optional<FeedCandidate> candidate = ReadFeedCandidateFromFile(path);
        // A file that names no feed may still come with a text that does.
        if (!candidate && data->hasText())
            candidate = ParseFeedCandidateText(data->text().left(int(kDroppedTextLimit)).toStdString());
        if (!candidate)
            return false;
        result = AddDroppedFeed(staff, *candidate, targetSid);
    } else {
        result = SubscribeDroppedURL(staff, url.toString().toStdString(), targetSid);
        // Addresses of anything but a feed are passed over, not a failure.
        if (result.outcome == DropOutcome::kNoFeed)
            return true;
    }
    switch (result.outcome) {
    case DropOutcome::kNoFeed:
        return false;
    case DropOutcome::kAlreadySubscribed:
        QApplication::beep();
        return true;
    case DropOutcome::kAdded:
        added = result.sid;
        return true;
    }
    return false;
}

bool SubscriptionPane::ReceiveDrop(QDropEvent* event, const DropSpot& spot)
{
    NVWStaff* staff = m_parts->staff;
    if (!staff || !AcceptDrop(event, spot))
        return false;
    const QMimeData* data = event->mimeData();
    if (IsMoveInsidePane(event, m_parts->view)) {
        const std::vector<uint32_t> dragged =
            DecodeSubscriptionIDs(data->data(QString::fromLatin1(kSubscriptionIDsMimeType)));
        const DragMoveResult result = DragMoveSubscriptionList(*staff, dragged, spot.place, spot.targetSid);
        if (result != DragMoveResult::kMoved)
            return false;
        m_parts->model->Restructure();
        RevealRow(dragged.front());
        return true;
    }
    // A drop on a row lands after it; in a gap, after the row above.
    uint32_t targetSid = spot.targetSid;
    if (spot.place == DropPlace::kBeforeRow) {
        const QModelIndex above = m_parts->view->indexAbove(m_parts->model->IndexOf(spot.targetSid));
        targetSid = m_parts->model->SidOf(above);
    }
    uint32_t added = 0;
    bool ok = true;
    if (data->hasUrls()) {
        // Stops at the first item that holds no feed, as a failed drop.
        for (const QUrl& url : data->urls()) {
            if (!(ok = ReceiveDroppedItem(url, data, targetSid, added)))
                break;
        }
    } else if (std::optional<FeedCandidate> candidate =
                   ParseFeedCandidateText(data->text().left(int(kDroppedTextLimit)).toStdString())) {
        const DropResult result = AddDroppedFeed(*staff, *candidate, targetSid);
        if (result.outcome == DropOutcome::kAlreadySubscribed)
            QApplication::beep();
        added = result.outcome == DropOutcome::kAdded ? result.sid : 0;
        ok = result.outcome != DropOutcome::kNoFeed;
    } else {
        ok = false;
    }
    if (added != 0) {
        m_parts->model->Restructure();
        SelectSubscription(added);
        emit infoLineChanged(SubscriptionInfoText());
    }
    if (!ok)
        LogFailure("A dropped item holds no feed; the rest of the drop was not read");
    return ok;
}
