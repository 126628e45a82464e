// The headline list's rows without widgets: the items of the current
// subscription (a group's members, a pseudo list, several selected rows or
// a keyword search), their date and title columns and their sort. The
// window's list view shows it; a refresh of one subscription adds its new
// rows without rebuilding the rest.
#pragma once

#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "viewer/ViewerModel.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <string>
#include <vector>

class HeadlineModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kColumnTitle = 0, kColumnDate = 1, kColumnSite = 2, kColumnCount = 3 };
    // Data roles beyond Qt's: the item's flags and its `nid`.
    static constexpr int kFlagsRole = Qt::UserRole + 1;
    static constexpr int kNewsIDRole = Qt::UserRole + 2;

    explicit HeadlineModel(NVWStaff* staff, QObject* parent = nullptr);

    // Lists what `staff->subscriptionID` names (its selections for several
    // rows); `keywords` serve the keyword search. O(items in the global list).
    void Rebuild(const std::string& keywords = {});
    // Adds the newest items of `subscription` when the list shows it.
    void AppendNewsOf(const SubscriptionList& subscription, uint32_t count);
    void Clear();

    // The listed item of a row, or null; the row of an item, or -1.
    NewsList* NewsAt(int row) const;
    int RowOf(uint32_t nid) const;
    // The row's cells changed (read, downloaded).
    void RedrawNews(uint32_t nid);
    // Unread rows listed, and all rows.
    uint32_t CountUnread() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    bool Shows(const NewsList* item, uint32_t nowMinutes) const;
    void SortRows();

    NVWStaff* m_staff;
    std::vector<NewsList*> m_rows;
    std::vector<std::string_view> m_keywords;
    std::string m_keywordText;
    int m_sortColumn = kColumnDate;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
};

// The headline as UTF-8 text, and the date as the list shows it.
QString HeadlineText(const NewsList& item);
QString HeadlineDateText(const NewsList& item);
