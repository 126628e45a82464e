// The headline list's rows without widgets: the items of the current
// subscription (one feed, a folder's members, the hot or permanent list, a
// keyword pseudo-subscription, several selected rows or a keyword search),
// their cells (state, colour, relative date, source or category), the
// sort by column, and the next and previous unread rows. The window's list
// view shows it; a refresh adds the new rows without losing the sort.
#pragma once

#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "viewer/ViewerModel.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What colour a row's text takes (the settings give each its colour).
enum class HeadlineColor { kUnread, kRead, kPermanent, kDownloaded };
// The state icon before a headline.
enum class HeadlineIcon { kUnread, kRead, kRetained, kHot, kFixed };

HeadlineColor HeadlineColorOf(uint32_t flags);
HeadlineIcon HeadlineIconOf(uint32_t flags);

// Row height in pixels by headline size (1, 3, 4, any other).
int HeadlineRowHeight(uint16_t headlineSize);

// The date cell: the short date for an item more than seven days old,
// otherwise "Today", "Yesterday" or the weekday with the time of day.
// Both times are local seconds since 1904; a future date counts as today.
QString RelativeDateText(uint32_t dateTime, uint32_t now);

// Headlines compare ignoring case, with runs of digits compared as numbers
// ("Chapter 9" before "Chapter 10"). Negative, zero or positive.
int CompareHeadlineText(const QString& a, const QString& b);

class HeadlineModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kColumnTitle = 0, kColumnDate = 1, kColumnSite = 2, kColumnCount = 3 };
    // Data roles beyond Qt's: the item's flags, its `nid`, its colour and icon.
    static constexpr int kFlagsRole = Qt::UserRole + 1;
    static constexpr int kNewsIDRole = Qt::UserRole + 2;
    static constexpr int kColorRole = Qt::UserRole + 3; // HeadlineColor
    static constexpr int kIconRole = Qt::UserRole + 4;  // HeadlineIcon

    explicit HeadlineModel(NVWStaff* staff, QObject* parent = nullptr);

    // Lists what `staff->subscriptionID` names (its selections for several
    // rows); `keywords` serve the keyword search. Sets the site column's
    // role for the kind of view. O(items in the global list).
    void Rebuild(const std::string& keywords = {});
    // Adds the newest items of `subscription` when the list shows it.
    void AppendNewsOf(const SubscriptionList& subscription, uint32_t count);
    void Clear();

    // The listed item of a row, or null; the row of an item, or -1.
    NewsList* NewsAt(int row) const;
    int RowOf(uint32_t nid) const;
    // The row's cells changed (read, downloaded); 0 redraws every row.
    void RedrawNews(uint32_t nid);
    uint32_t CountUnread() const;

    // The site column: hidden, the source, or the category.
    enum class SiteRole { kHidden, kSource, kCategory };
    SiteRole SiteColumnRole() const { return m_siteRole; }
    // needSource wins over needCategory; neither hides the column.
    void AdjustHeadlineListColumn(bool needSource, bool needCategory);

    // The first unread row after `row` (-1: from the top), the last unread
    // row before `row` (rowCount(): from the bottom); -1 when none.
    int NextUnreadRow(int row) const;
    int PrevUnreadRow(int row) const;

    // "%n headline(s)"; empty when nothing is listed.
    QString InfoText() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order) override;
    // A dragged headline is its link (text and URL); items without one stay.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::LinkAction; }

    // The site cell of an item: its category, or its publisher, or its
    // subscription's name.
    QString SiteText(const NewsList& item) const;

signals:
    // The site column's role changed (the window shows, hides or re-titles it).
    void siteColumnChanged();

private:
    bool Shows(const NewsList* item, const SubscriptionList* node, uint32_t nowMinutes) const;
    void SortRows();

    NVWStaff* m_staff;
    std::vector<NewsList*> m_rows;
    std::vector<std::string_view> m_keywords;
    std::string m_keywordText;
    int m_sortColumn = kColumnDate;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    SiteRole m_siteRole = SiteRole::kSource;
};

// The headline as UTF-8 text ("( No Headline )" when it has none), the
// date as the list shows it now, and a text field of the item in its own
// encoding.
QString HeadlineText(const NewsList& item);
QString HeadlineDateText(const NewsList& item);
QString NewsFieldText(const NewsList& item, std::string_view text);

// The next subscription after `currentSid` in the tree's order (orderID)
// that is a feed with unread news; 0 when none is.
uint32_t NextUnreadSubscription(NVWStaff* staff, uint32_t currentSid);
