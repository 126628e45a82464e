// The headline list's rows: collected by one walk of the global list, with
// the texts made only for the rows a view asks for, so that a subscription
// of ten thousand items lists at once.
#include "viewer/HeadlineModel.h"

#include "platform/Clock.h"
#include "platform/Encodings.h"
#include "viewer/ViewerPresenter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

constexpr uint32_t kSecondsPerMinute = 60;
constexpr uint32_t kSecondsPerDay = 86400;
constexpr uint32_t kRelativeDateSpan = 604800; // seven days
constexpr uint32_t kCurrentSeveralRows = 98;
constexpr uint32_t kCurrentKeywordRows = 99;
constexpr char kNoHeadlineText[] = "( No Headline )";

/* ---- Cells ---- */

HeadlineColor HeadlineColorOf(uint32_t flags)
{
    if (flags & kNewsFlagDownloaded)
        return HeadlineColor::kDownloaded;
    if (flags & kNewsFlagPermanent)
        return HeadlineColor::kPermanent;
    if (flags & kNewsFlagRead)
        return HeadlineColor::kRead;
    return HeadlineColor::kUnread;
}

HeadlineIcon HeadlineIconOf(uint32_t flags)
{
    if (flags & kNewsFlagPermanent)
        return HeadlineIcon::kFixed;
    if (flags & kNewsFlagHot)
        return HeadlineIcon::kHot;
    if (flags & kNewsFlagRetained)
        return HeadlineIcon::kRetained;
    if (flags & kNewsFlagRead)
        return HeadlineIcon::kRead;
    return HeadlineIcon::kUnread;
}

int HeadlineRowHeight(uint16_t headlineSize)
{
    switch (headlineSize) {
    case 1:
        return 18;
    case 3:
        return 20;
    case 4:
        return 24;
    default:
        return 19;
    }
}

QString RelativeDateText(uint32_t dateTime, uint32_t now)
{
    // Both are local seconds: read them as UTC so no zone shifts them again.
    QDateTime date = QDateTime::fromSecsSinceEpoch(qint64(UnixTimeFromDateTime(dateTime)), Qt::UTC);
    QLocale locale;
    if (dateTime + kRelativeDateSpan < now)
        return locale.toString(date.date(), QLocale::ShortFormat);
    // Hours and minutes, in the order and clock of the user's locale.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(QLatin1String(":ss"));
    QString time = locale.toString(date.time(), format);
    uint32_t midnight = now - now % kSecondsPerDay;
    if (dateTime >= midnight)
        return QCoreApplication::translate("HeadlineModel", "Today %1").arg(time);
    if (dateTime >= midnight - kSecondsPerDay)
        return QCoreApplication::translate("HeadlineModel", "Yesterday %1").arg(time);
    static const char* const kWeekdays[] = {
        QT_TRANSLATE_NOOP("HeadlineModel", "Monday %1"),   QT_TRANSLATE_NOOP("HeadlineModel", "Tuesday %1"),
        QT_TRANSLATE_NOOP("HeadlineModel", "Wednesday %1"), QT_TRANSLATE_NOOP("HeadlineModel", "Thursday %1"),
        QT_TRANSLATE_NOOP("HeadlineModel", "Friday %1"),   QT_TRANSLATE_NOOP("HeadlineModel", "Saturday %1"),
        QT_TRANSLATE_NOOP("HeadlineModel", "Sunday %1"),
    };
    return QCoreApplication::translate("HeadlineModel", kWeekdays[date.date().dayOfWeek() - 1]).arg(time);
}

int CompareHeadlineText(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype startA = i;
            qsizetype startB = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            // Leading zeros do not make a number larger.
            QStringView numberA = QStringView(a).mid(startA, i - startA);
            QStringView numberB = QStringView(b).mid(startB, j - startB);
            while (numberA.size() > 1 && numberA.front() == u'0')
                numberA = numberA.mid(1);
            while (numberB.size() > 1 && numberB.front() == u'0')
                numberB = numberB.mid(1);
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size() ? -1 : 1;
            if (int order = numberA.compare(numberB); order != 0)
                return order;
            continue;
        }
        QChar x = a[i].toCaseFolded();
        QChar y = b[j].toCaseFolded();
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

QString NewsFieldText(const NewsList& item, std::string_view text)
{
    if (text.empty())
        return QString();
    std::optional<std::string_view> iconv = GetIconvNameFromInternetName(item.encodingName.view());
    if (iconv && *iconv != "UTF-8") {
        if (std::optional<std::string> converted = ConvertEncoding(text, *iconv, "UTF-8"))
            return QString::fromStdString(*converted).simplified();
    }
    return QString::fromUtf8(text.data(), qsizetype(text.size())).simplified();
}

QString HeadlineText(const NewsList& item)
{
    QString text = item.headlineRef ? QString::fromUtf8(item.headlineRef.view().data(), qsizetype(item.headlineRef.view().size())).simplified()
                                    : NewsFieldText(item, item.headline.view());
    return text.isEmpty() ? QString::fromLatin1(kNoHeadlineText) : text;
}

QString HeadlineDateText(const NewsList& item)
{
    if (item.dateFlags & kDateFlagNoDate)
        return QString();
    return RelativeDateText(item.dateTime, GetDateTime());
}

/* ---- Rows ---- */

HeadlineModel::HeadlineModel(NVWStaff* staff, QObject* parent)
    : QAbstractTableModel(parent)
    , m_staff(staff)
{
}

bool HeadlineModel::Shows(const NewsList* item, const SubscriptionList* node, uint32_t nowMinutes) const
{
    switch (m_staff->subscriptionID) {
    case 0:
        return false;
    case kCurrentKeywordRows:
        if (!IsMatchedKeywordNews(item, m_keywords))
            return false;
        if (m_staff->selections.empty())
            return true;
        return std::find(m_staff->selections.begin(), m_staff->selections.end(), item->parent ? item->parent->sid : 0) !=
               m_staff->selections.end();
    case kCurrentSeveralRows:
        if (IsExpiredNews(item, nowMinutes))
            return false;
        for (uint32_t sid : m_staff->selections) {
            if (IsConditionalNews(item, FindSubscriptionByID(m_staff->subscriptions, sid)))
                return true;
        }
        return false;
    default:
        break;
    }
    if (!node || !IsConditionalNews(item, node))
        return false;
    switch (node->siteType) {
    case kSiteTypeHotList:
    case kSiteTypeCoolList:
        // The pseudo lists keep what the user marked, however old.
        return true;
    case kSiteTypeRSS:
    case kSiteTypePOP:
    case kSiteTypeGroup:
    case kSiteTypePsedo:
        return !IsExpiredNews(item, nowMinutes);
    }
    return !IsExpiredNews(item, nowMinutes);
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
    bool anyPublisher = false;
    if (m_staff) {
        for (NewsList* item = m_staff->news; item; item = item->next) {
            if (Shows(item, node, nowMinutes)) {
                m_rows.push_back(item);
                anyPublisher = anyPublisher || !item->publisher.view().empty();
            }
        }
    }
    SortRows();
    endResetModel();
    // One feed shows its items' sources only when they name one, or its
    // categories when it asks for them; every other view mixes sources.
    if (node && (node->siteType == kSiteTypeRSS || node->siteType == kSiteTypePOP))
        AdjustHeadlineListColumn(anyPublisher, (node->options & kOptionShowCategory) != 0);
    else
        AdjustHeadlineListColumn(true, false);
}

void HeadlineModel::AdjustHeadlineListColumn(bool needSource, bool needCategory)
{
    SiteRole role = needSource ? SiteRole::kSource : needCategory ? SiteRole::kCategory : SiteRole::kHidden;
    if (role == m_siteRole)
        return;
    m_siteRole = role;
    emit headerDataChanged(Qt::Horizontal, kColumnSite, kColumnSite);
    emit siteColumnChanged();
}

void HeadlineModel::AppendNewsOf(const SubscriptionList& subscription, uint32_t count)
{
    if (!m_staff || count == 0)
        return;
    uint32_t sid = m_staff->subscriptionID;
    const SubscriptionList* node = FindSubscriptionByID(m_staff->subscriptions, sid);
    bool related = sid == kCurrentKeywordRows || sid == kCurrentSeveralRows
                   || (node && (IsInSubscription(&subscription, node) || node->siteType == kSiteTypeHotList
                                || node->siteType == kSiteTypePsedo));
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
    if (m_rows.empty())
        return;
    if (nid == 0) {
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, kColumnCount - 1));
        return;
    }
    int row = RowOf(nid);
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

uint32_t HeadlineModel::CountUnread() const
{
    return uint32_t(std::count_if(m_rows.begin(), m_rows.end(),
                                  [](const NewsList* item) { return !(item->flags & kNewsFlagRead); }));
}

int HeadlineModel::NextUnreadRow(int row) const
{
    for (int next = std::max(row + 1, 0); next < int(m_rows.size()); ++next) {
        if (!(m_rows[size_t(next)]->flags & kNewsFlagRead))
            return next;
    }
    return -1;
}

int HeadlineModel::PrevUnreadRow(int row) const
{
    for (int previous = std::min(row, int(m_rows.size())) - 1; previous >= 0; --previous) {
        if (!(m_rows[size_t(previous)]->flags & kNewsFlagRead))
            return previous;
    }
    return -1;
}

QString HeadlineModel::InfoText() const
{
    if (m_rows.empty())
        return QString();
    return m_rows.size() == 1 ? tr("1 headline") : tr("%1 headlines").arg(m_rows.size());
}

int HeadlineModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HeadlineModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QString HeadlineModel::SiteText(const NewsList& item) const
{
    if (m_siteRole == SiteRole::kCategory)
        return NewsFieldText(item, item.subject.view());
    if (!item.publisher.view().empty())
        return NewsFieldText(item, item.publisher.view());
    if (item.parent) {
        std::string_view name = SubscriptionDisplayName(*item.parent);
        return QString::fromUtf8(name.data(), qsizetype(name.size()));
    }
    return QString();
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
            return SiteText(*item);
        }
        return {};
    case Qt::ToolTipRole:
        return index.column() == kColumnTitle ? HeadlineText(*item) : QVariant();
    case kFlagsRole:
        return item->flags;
    case kNewsIDRole:
        return item->nid;
    case kColorRole:
        return int(HeadlineColorOf(item->flags));
    case kIconRole:
        return int(HeadlineIconOf(item->flags));
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
        return m_siteRole == SiteRole::kCategory ? tr("Category") : tr("Source");
    }
    return {};
}

Qt::ItemFlags HeadlineModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    const NewsList* item = NewsAt(index.row());
    if (item && !item->linkURL.view().empty())
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList HeadlineModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list"), QStringLiteral("text/plain")};
}

QMimeData* HeadlineModel::mimeData(const QModelIndexList& indexes) const
{
    QList<QUrl> urls;
    QStringList lines;
    std::vector<int> seen;
    for (const QModelIndex& index : indexes) {
        if (std::find(seen.begin(), seen.end(), index.row()) != seen.end())
            continue;
        seen.push_back(index.row());
        const NewsList* item = NewsAt(index.row());
        if (!item || item->linkURL.view().empty())
            continue;
        QString link = QString::fromUtf8(item->linkURL.view().data(), qsizetype(item->linkURL.view().size()));
        urls.push_back(QUrl(link));
        lines.push_back(link);
    }
    if (urls.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setText(lines.join(u'\n'));
    return data;
}

void HeadlineModel::SortRows()
{
    auto byDate = [](const NewsList* a, const NewsList* b) { return a->dateTime < b->dateTime; };
    auto byTitle = [](const NewsList* a, const NewsList* b) { return CompareHeadlineText(HeadlineText(*a), HeadlineText(*b)) < 0; };
    auto bySite = [this](const NewsList* a, const NewsList* b) {
        if (m_siteRole == SiteRole::kCategory)
            return CompareHeadlineText(NewsFieldText(*a, a->subject.view()), NewsFieldText(*b, b->subject.view())) < 0;
        if (a->publisher.view().empty() || b->publisher.view().empty()) {
            std::string_view x = a->parent ? SubscriptionDisplayName(*a->parent) : std::string_view();
            std::string_view y = b->parent ? SubscriptionDisplayName(*b->parent) : std::string_view();
            return x < y;
        }
        return NewsFieldText(*a, a->publisher.view()) < NewsFieldText(*b, b->publisher.view());
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

uint32_t NextUnreadSubscription(NVWStaff* staff, uint32_t currentSid)
{
    if (!staff)
        return 0;
    const SubscriptionList* current = FindSubscriptionByID(staff->subscriptions, currentSid);
    uint32_t from = current ? current->orderID + 1 : 1;
    uint32_t highest = MaximumSubscriptionsOrder(staff->subscriptions);
    for (uint32_t order = from; order <= highest; ++order) {
        SubscriptionList* node = FindSubscriptionByOrderID(staff->subscriptions, order);
        if (node && node->siteType == kSiteTypeRSS && CountUnreadNewsBySubscription(staff->news, node) > 0)
            return node->sid;
    }
    return 0;
}
