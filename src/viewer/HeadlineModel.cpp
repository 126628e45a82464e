// The headline list's rows: collected by one walk of the global list, with
// the texts made only for the rows a view asks for, so that a subscription
// of ten thousand items lists at once.
#include "viewer/HeadlineModel.h"

#include "platform/Clock.h"
#include "viewer/ViewerPresenter.h"

#include <QDateTime>

#include <algorithm>

constexpr uint32_t kSecondsPerMinute = 60;
constexpr uint32_t kCurrentSeveralRows = 98;
constexpr uint32_t kCurrentKeywordRows = 99;

HeadlineModel::HeadlineModel(NVWStaff* staff, QObject* parent)
    : QAbstractTableModel(parent)
    , m_staff(staff)
{
}

bool HeadlineModel::Shows(const NewsList* item, uint32_t nowMinutes) const
{
    if (IsExpiredNews(item, nowMinutes))
        return false;
    switch (m_staff->subscriptionID) {
    case 0:
        return false;
    case kCurrentKeywordRows:
        return IsMatchedKeywordNews(item, m_keywords);
    case kCurrentSeveralRows:
        for (uint32_t sid : m_staff->selections) {
            if (IsConditionalNews(item, FindSubscriptionByID(m_staff->subscriptions, sid)))
                return true;
        }
        return false;
    default:
        return false;
    }
}

void HeadlineModel::Rebuild(const std::string& keywords)
{
    beginResetModel();
    m_rows.clear();
    m_keywordText = keywords;
    m_keywords = SplitNewsKeywords(m_keywordText);
    uint32_t nowMinutes = GetDateTime() / kSecondsPerMinute;
    uint32_t sid = m_staff ? m_staff->subscriptionID : 0;
    const SubscriptionList* node = nullptr;
    if (sid != 0 && sid != kCurrentKeywordRows && sid != kCurrentSeveralRows)
        node = FindSubscriptionByID(m_staff->subscriptions, sid);
    if (m_staff) {
        for (NewsList* item = m_staff->news; item; item = item->next) {
            bool shown = node ? IsConditionalNews(item, node) && !IsExpiredNews(item, nowMinutes)
                              : Shows(item, nowMinutes);
            if (shown)
                m_rows.push_back(item);
        }
    }
    SortRows();
    endResetModel();
}

void HeadlineModel::AppendNewsOf(const SubscriptionList& subscription, uint32_t count)
{
    if (!m_staff || count == 0)
        return;
    uint32_t sid = m_staff->subscriptionID;
    const SubscriptionList* node = FindSubscriptionByID(m_staff->subscriptions, sid);
    bool related = sid == kCurrentKeywordRows || sid == kCurrentSeveralRows
                   || (node && (IsInSubscription(&subscription, node) || node->siteType == kSiteTypeHotList));
    if (!related)
        return;
    // New items were appended at the end of the global list; a full rebuild
    // keeps the sort and is one walk of the list.
    Rebuild(m_keywordText);
}

void HeadlineModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

NewsList* HeadlineModel::NewsAt(int row) const
{
    return row >= 0 && size_t(row) < m_rows.size() ? m_rows[size_t(row)] : nullptr;
}

int HeadlineModel::RowOf(uint32_t nid) const
{
    auto found = std::find_if(m_rows.begin(), m_rows.end(), [nid](const NewsList* item) { return item->nid == nid; });
    return found == m_rows.end() ? -1 : int(found - m_rows.begin());
}

void HeadlineModel::RedrawNews(uint32_t nid)
{
    int row = RowOf(nid);
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

uint32_t HeadlineModel::CountUnread() const
{
    return uint32_t(std::count_if(m_rows.begin(), m_rows.end(),
                                  [](const NewsList* item) { return !(item->flags & kNewsFlagRead); }));
}

int HeadlineModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HeadlineModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QString HeadlineText(const NewsList& item)
{
    std::string_view text = item.headlineRef ? item.headlineRef.view() : item.headline.view();
    return QString::fromUtf8(text.data(), qsizetype(text.size())).simplified();
}

QString HeadlineDateText(const NewsList& item)
{
    if (item.dateFlags & kDateFlagNoDate)
        return QString();
    // The stored time is local: show it as it is.
    QDateTime date = QDateTime::fromSecsSinceEpoch(qint64(UnixTimeFromDateTime(item.dateTime)), Qt::UTC);
    return date.toString((item.dateFlags & kDateFlagDateOnly) ? QStringLiteral("yyyy-MM-dd")
                                                               : QStringLiteral("yyyy-MM-dd HH:mm"));
}

QVariant HeadlineModel::data(const QModelIndex& index, int role) const
{
    const NewsList* item = NewsAt(index.row());
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case kColumnTitle:
            return HeadlineText(*item);
        case kColumnDate:
            return HeadlineDateText(*item);
        case kColumnSite:
            if (item->parent) {
                std::string_view name = SubscriptionDisplayName(*item->parent);
                return QString::fromUtf8(name.data(), qsizetype(name.size()));
            }
            return QString();
        }
        return {};
    case Qt::ToolTipRole:
        return index.column() == kColumnTitle ? HeadlineText(*item) : QVariant();
    case kFlagsRole:
        return item->flags;
    case kNewsIDRole:
        return item->nid;
    }
    return {};
}

QVariant HeadlineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case kColumnTitle:
        return tr("Headline");
    case kColumnDate:
        return tr("Date");
    case kColumnSite:
        return tr("Site");
    }
    return {};
}

void HeadlineModel::SortRows()
{
    auto byDate = [](const NewsList* a, const NewsList* b) { return a->dateTime < b->dateTime; };
    auto byTitle = [](const NewsList* a, const NewsList* b) { return HeadlineText(*a).localeAwareCompare(HeadlineText(*b)) < 0; };
    auto bySite = [](const NewsList* a, const NewsList* b) {
        std::string_view x = a->parent ? SubscriptionDisplayName(*a->parent) : std::string_view();
        std::string_view y = b->parent ? SubscriptionDisplayName(*b->parent) : std::string_view();
        return x < y;
    };
    auto sortBy = [this](auto less) {
        if (m_sortOrder == Qt::AscendingOrder)
            std::stable_sort(m_rows.begin(), m_rows.end(), less);
        else
            std::stable_sort(m_rows.begin(), m_rows.end(), [&](const NewsList* a, const NewsList* b) { return less(b, a); });
    };
    switch (m_sortColumn) {
    case kColumnTitle:
        sortBy(byTitle);
        break;
    case kColumnSite:
        sortBy(bySite);
        break;
    default:
        sortBy(byDate);
        break;
    }
}

void HeadlineModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged();
    QModelIndexList before = persistentIndexList();
    std::vector<uint32_t> ids;
    for (const QModelIndex& index : before)
        ids.push_back(NewsAt(index.row()) ? NewsAt(index.row())->nid : 0);
    SortRows();
    QModelIndexList after;
    for (size_t i = 0; i < ids.size(); ++i)
        after.push_back(index(RowOf(ids[i]), before[int(i)].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged();
}
