// The filter editor's widgets and operations. Every operation changes the
// run's filter list first and the rows after, so the list is the truth and
// the rows only show it.
#include "tickerwindow/NewsFilterWindow.h"

#include "platform/Log.h"
#include "platform/UnicodeText.h"
#include "settings/PreferencesFile.h"
#include "ticker/Filters.h"
#include "ticker/TickerSounds.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <QPointer>

static QPointer<NewsFilterWindow> gFilterWindow;

static constexpr int kKeywordColumn = 0;
static constexpr int kSoundColumn = 1;
static constexpr int kEffectColumn = 2;
static constexpr int kFilterIDRole = Qt::UserRole;
static constexpr QSize kDefaultWindowSize(520, 360);

static QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

namespace {

// A filter's row: rows sort by keyword text as a reader expects, ignoring case.
class FilterRow : public QTreeWidgetItem {
public:
    bool operator<(const QTreeWidgetItem& other) const override
    {
        int column = treeWidget() ? treeWidget()->sortColumn() : kKeywordColumn;
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }
};

} // namespace

int GetMenuValueByName(const QStringList& menu, const QString& stored)
{
    for (int item = int(menu.size()) - 1; item > 0; --item) {
        if (menu[item].compare(stored, Qt::CaseInsensitive) == 0)
            return item;
    }
    return 0;
}

QString GetNameByMenuValue(const QStringList& menu, int item)
{
    if (item <= 0 || item >= menu.size())
        return ToQString(kFilterNone);
    return menu[item];
}

/* ---- The window ---- */

NewsFilterWindow::NewsFilterWindow() : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("FilterWindow"));
    setWindowTitle(tr("Keyword Filters"));

    m_soundMenu << ToQString(kFilterNone);
    for (const std::string& name : SetupSoundMenu())
        m_soundMenu << QString::fromStdString(name);
    for (std::string_view name : kFilterEffectNames)
        m_effectMenu << ToQString(name);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("FLst"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({tr("Keyword"), tr("Sound"), tr("Effect")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSortingEnabled(true);
    m_list->sortByColumn(kKeywordColumn, Qt::AscendingOrder);
    m_list->header()->resizeSection(kKeywordColumn, kFilterKeywordColumnWidth);
    m_list->header()->setStretchLastSection(true);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &NewsFilterWindow::SelectionChanged);

    m_keyword = new QLineEdit(this);
    m_keyword->setObjectName(QStringLiteral("Keyw"));
    m_keyword->setPlaceholderText(tr("Keywords, separated by spaces"));
    m_keyword->installEventFilter(this);

    auto makeButton = [this](const char* command, QStyle::StandardPixmap icon, const QString& label) {
        auto* button = new QPushButton(style()->standardIcon(icon), label, this);
        button->setObjectName(QLatin1String(command));
        return button;
    };
    QPushButton* add = makeButton("AddK", QStyle::SP_FileDialogNewFolder, tr("Add"));
    QPushButton* change = makeButton("ChgK", QStyle::SP_BrowserReload, tr("Change"));
    QPushButton* remove = makeButton("DelK", QStyle::SP_TrashIcon, tr("Remove"));
    connect(add, &QPushButton::clicked, this, &NewsFilterWindow::AddKeywordFilterList);
    connect(change, &QPushButton::clicked, this, &NewsFilterWindow::ChangeKeywordFilterList);
    connect(remove, &QPushButton::clicked, this, &NewsFilterWindow::RemoveFilterList);

    auto* fieldRow = new QHBoxLayout;
    fieldRow->addWidget(m_keyword, 1);
    fieldRow->addWidget(add);
    fieldRow->addWidget(change);
    fieldRow->addWidget(remove);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(fieldRow);

    // Quitting closes no window: edits still open are saved as a close would.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (isVisible() || m_dirty)
            SaveFilterWindow();
    });

    resize(kDefaultWindowSize);
    if (std::optional<Rect> bounds = LoadWindowBounds(kFilterWindowID)) {
        QRect saved(QPoint(bounds->left, bounds->top), QPoint(bounds->right - 1, bounds->bottom - 1));
        QScreen* screen = QGuiApplication::screenAt(saved.center());
        if (screen)
            setGeometry(saved);
        else
            resize(saved.size());
    }
    SetupFilterList();
}

NewsFilterWindow::~NewsFilterWindow() = default;

void NewsFilterWindow::Beep()
{
    ++m_beeps;
    QApplication::beep();
}

QComboBox* NewsFilterWindow::MakeMenu(const QStringList& items, const QString& stored)
{
    auto* menu = new QComboBox;
    menu->addItems(items);
    menu->setCurrentIndex(GetMenuValueByName(items, stored));
    return menu;
}

QTreeWidgetItem* NewsFilterWindow::AddFilterRow(FilterList& filter)
{
    auto* row = new FilterRow;
    row->setText(kKeywordColumn, ToQString(filter.keyword.view()));
    row->setData(kKeywordColumn, kFilterIDRole, filter.fid);
    row->setSizeHint(kKeywordColumn, QSize(kFilterKeywordColumnWidth, kFilterRowHeight));
    m_list->addTopLevelItem(row);
    const uint32_t fid = filter.fid;
    QComboBox* sound = MakeMenu(m_soundMenu, ToQString(filter.sound.view()));
    QComboBox* effect = MakeMenu(m_effectMenu, ToQString(filter.effect.view()));
    connect(sound, qOverload<int>(&QComboBox::activated), this, [this, fid](int item) { ChooseFilterSound(fid, item); });
    connect(effect, qOverload<int>(&QComboBox::activated), this,
            [this, fid](int item) { ChooseFilterEffect(fid, item); });
    m_list->setItemWidget(row, kSoundColumn, sound);
    m_list->setItemWidget(row, kEffectColumn, effect);
    return row;
}

QTreeWidgetItem* NewsFilterWindow::FindRow(uint32_t fid) const
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = m_list->topLevelItem(i);
        if (row->data(kKeywordColumn, kFilterIDRole).toUInt() == fid)
            return row;
    }
    return nullptr;
}

void NewsFilterWindow::SetupFilterList()
{
    m_list->clear();
    for (FilterList* filter = GetNewsFilterList(); filter; filter = filter->next)
        AddFilterRow(*filter);
}

QString NewsFilterWindow::TakeKeywordText() const
{
    std::string text = m_keyword->text().toStdString();
    CutUTF8Text(text, kFilterKeywordFieldLimit);
    return QString::fromStdString(text);
}

/* ---- Operations ---- */

void NewsFilterWindow::AddKeywordFilterList()
{
    std::string text = TakeKeywordText().toStdString();
    FilterList* list = GetNewsFilterList();
    if (text.empty() || FindFilterListByKeyword(list, text)) {
        Beep();
        return;
    }
    FilterList data;
    data.keyword = text;
    data.sound = kFilterNone;
    data.effect = kFilterNone;
    list = AddFilterList(list, nullptr, data);
    SetNewsFilterListHead(list);
    m_dirty = true;
    FilterList* added = FindFilterListByID(list, data.fid);
    QTreeWidgetItem* row = AddFilterRow(*added);
    m_list->clearSelection();
    row->setSelected(true);
    m_list->setCurrentItem(row);
}

void NewsFilterWindow::ChangeKeywordFilterList()
{
    std::string text = TakeKeywordText().toStdString();
    FilterList* list = GetNewsFilterList();
    FilterList* filter = m_select ? FindFilterListByID(list, m_select) : nullptr;
    FilterList* same = FindFilterListByKeyword(list, text);
    if (!filter || text.empty() || (same && same != filter)) {
        Beep();
        return;
    }
    SetFilterKeyword(*filter, text);
    m_dirty = true;
    if (QTreeWidgetItem* row = FindRow(filter->fid))
        row->setText(kKeywordColumn, ToQString(filter->keyword.view()));
}

void NewsFilterWindow::RemoveFilterList()
{
    const QList<QTreeWidgetItem*> rows = m_list->selectedItems();
    FilterList* list = GetNewsFilterList();
    for (QTreeWidgetItem* row : rows) {
        if (FilterList* filter = FindFilterListByID(list, row->data(kKeywordColumn, kFilterIDRole).toUInt()))
            list = DeleteFilterList(list, filter);
        delete row;
    }
    SetNewsFilterListHead(list);
    m_dirty = m_dirty || !rows.isEmpty();
    m_select = 0;
    m_keyword->clear();
}

void NewsFilterWindow::ChooseFilterSound(uint32_t fid, int item)
{
    FilterList* filter = FindFilterListByID(GetNewsFilterList(), fid);
    if (!filter)
        return;
    QString name = GetNameByMenuValue(m_soundMenu, item);
    filter->sound = name.toStdString();
    m_dirty = true;
    if (item > 0)
        PlaySound(name.toStdString());
}

void NewsFilterWindow::ChooseFilterEffect(uint32_t fid, int item)
{
    FilterList* filter = FindFilterListByID(GetNewsFilterList(), fid);
    if (!filter)
        return;
    filter->effect = GetNameByMenuValue(m_effectMenu, item).toStdString();
    m_dirty = true;
}

void NewsFilterWindow::SelectionChanged()
{
    const QList<QTreeWidgetItem*> rows = m_list->selectedItems();
    if (rows.size() == 1) {
        m_select = rows.first()->data(kKeywordColumn, kFilterIDRole).toUInt();
        m_keyword->setText(rows.first()->text(kKeywordColumn));
        return;
    }
    if (rows.isEmpty() && m_select != 0)
        m_keyword->clear();
    m_select = 0;
}

/* ---- The keyword field's keys ---- */

bool NewsFilterWindow::HandleKeywordKey(QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_useTextInput)
            return false;
        if (m_select)
            ChangeKeywordFilterList();
        else
            AddKeywordFilterList();
        return true;
    case Qt::Key_Escape:
        return true; // refused by the field
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return false;
    default:
        break;
    }
    const QString text = key->text();
    if (!text.isEmpty() && text.at(0).category() == QChar::Other_Control && !(key->modifiers() & Qt::ControlModifier)) {
        Beep();
        return true;
    }
    return false;
}

bool NewsFilterWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_keyword && event->type() == QEvent::InputMethod)
        m_useTextInput = !static_cast<QInputMethodEvent*>(event)->preeditString().isEmpty();
    if (watched == m_keyword && event->type() == QEvent::KeyPress)
        return HandleKeywordKey(static_cast<QKeyEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

void NewsFilterWindow::SaveFilterWindow()
{
    OSStatus status = SaveFilterList(GetNewsFilterList());
    if (status != kNoErr)
        LogFailure("keyword filters not saved: %d", int(status));
    QRect bounds = geometry();
    SaveWindowBounds(kFilterWindowID, Rect{int16_t(bounds.top()), int16_t(bounds.left()),
                                           int16_t(bounds.bottom() + 1), int16_t(bounds.right() + 1)});
    m_dirty = false;
}

void NewsFilterWindow::closeEvent(QCloseEvent* event)
{
    SaveFilterWindow();
    event->accept();
}

NewsFilterWindow* OpenNewsFilterWindow()
{
    // The window is kept when closed and shows the list afresh when reopened.
    if (!gFilterWindow)
        gFilterWindow = new NewsFilterWindow();
    else if (gFilterWindow->isHidden())
        gFilterWindow->SetupFilterList();
    gFilterWindow->show();
    gFilterWindow->raise();
    gFilterWindow->activateWindow();
    return gFilterWindow.data();
}

void OpenNewsFilterWindowCommand()
{
    OpenNewsFilterWindow();
}
