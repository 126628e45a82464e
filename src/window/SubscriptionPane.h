// The subscription pane: the tree of subscriptions on the left of the viewer
// window, with names, unread counts and state icons, the hot and cool pseudo
// lists, selection, sorting, drag and drop, removal and the contextual menu.
// The window creates it and forwards the viewer presenter's row calls here;
// the pane tells the window when the current subscription changes.
#pragma once

#include "viewer/ViewerModel.h"
#include "viewer/ViewerPresenter.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QDropEvent;
class QItemSelection;
class QMimeData;
class QPoint;
class QTreeView;
class QUrl;
class SubscriptionPaneModel;
struct SubscriptionDropSpot;

// The current subscription when the selection is not one subscription.
constexpr uint32_t kCurrentSeveral = 98;       // several rows selected
constexpr uint32_t kCurrentKeywordSearch = 99; // a keyword search ('Fltr', the find field)

class SubscriptionPane : public QWidget {
    Q_OBJECT
public:
    SubscriptionPane(NVWStaff* staff, QWidget* parent = nullptr);
    ~SubscriptionPane() override;

    // The whole tree again, from the model (after opening, a sort, an import).
    void Reload();

    // The presenter's row calls.
    void DrawRow(const SubscriptionList& subscription, RowReveal reveal);
    void DrawAdded(const SubscriptionList& subscription);
    void DrawRemoved(uint32_t sid);
    // Unread counts of every row again (after news were added or marked).
    void DrawCounts();

    // Makes `sid` the only selected row and the current subscription.
    void SelectSubscription(uint32_t sid);
    // The selected rows' sids, in the tree's order.
    std::vector<uint32_t> SelectedSubscriptions() const;

    // Removes the selected rows ('rmvS', 'rmv '): refused with an alert when
    // one of them is being fetched or fixed; with kAskUser the user confirms
    // first. True when rows were removed.
    enum class RemovalAsk { kAskUser, kAlreadyConfirmed };
    bool RemoveSelectedSubscriptions(RemovalAsk ask = RemovalAsk::kAskUser);
    // The info line's resting text: "N subscriptions", empty when none.
    QString SubscriptionInfoText() const;

    QTreeView* View() const;
    SubscriptionPaneModel* Model() const;

signals:
    // The current subscription changed: `staff->subscriptionID` (and
    // `staff->selections` for kCurrentSeveral) already hold the new value.
    void currentSubscriptionChanged(uint32_t sid);
    // The info line under the pane (name, URL or counts of the row under the mouse).
    void infoLineChanged(const QString& text);
    // A contextual menu command the window carries out ('getI' get info).
    void commandRequested(uint32_t command);

private:
    void RestoreExpandedFolders();
    void RevealRow(uint32_t sid);
    void HandleSelectionChange(const QItemSelection& selected, const QItemSelection& deselected);
    void DiscardFailedSearchFeeds(const QItemSelection& deselected);
    void ShowContextMenu(const QPoint& globalPosition, const QPoint& viewPosition);
    void RunMenuCommand(uint32_t command, uint32_t sid);
    void StartDrag();
    bool AcceptDrop(QDropEvent* event, const SubscriptionDropSpot& spot);
    bool ReceiveDrop(QDropEvent* event, const SubscriptionDropSpot& spot);
    bool ReceiveDroppedItem(const QUrl& url, const QMimeData* data, uint32_t targetSid, uint32_t& added);

    struct Parts;
    std::unique_ptr<Parts> m_parts;
};
