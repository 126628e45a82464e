// The drawing side of the viewer's operations: what the window shows when
// the model changes. The operations (ViewerOperations.h) change the model
// and then tell the presenter; the window implements it with its panes, and
// until the window exists a logging presenter writes what it would show.
#pragma once

#include "model/NewsList.h"
#include "model/SubscriptionList.h"

#include <cstdint>
#include <string>
#include <string_view>

// Whether a redrawn row is also brought into view (its folders opened).
enum class RowReveal { kRedrawOnly, kReveal };

class ViewerPresenter {
public:
    virtual ~ViewerPresenter() = default;

    // A subscription's row changed (name, state, counts, icon).
    virtual void DrawSubscriptionRow(const SubscriptionList& subscription, RowReveal reveal) = 0;
    // A row was added to the list, or removed from it (`sid` no longer exists).
    virtual void DrawSubscriptionAdded(const SubscriptionList& subscription) = 0;
    virtual void DrawSubscriptionRemoved(uint32_t sid) = 0;
    // `count` items of `subscription` were just moved into the global list.
    virtual void DrawNewHeadlines(const SubscriptionList& subscription, uint32_t count) = 0;
    // The busy indicator and the status line: `message` is the top of the
    // status stack, null when no worker runs (both hidden).
    virtual void DrawStatus(const std::string* message) = 0;
    // The description pane's summary of the current subscription (its last
    // access failure included) must be drawn again.
    virtual void DrawPreDescription(const SubscriptionList& subscription) = 0;

    // The three ways of announcing a hot item.
    virtual void PlayNewsSound(const NewsList& news) = 0;
    virtual void NotifyNews(const NewsList& news) = 0;
    virtual void QueueNewsOnTicker(const NewsList& news, std::string_view sourceName) = 0;
};

// Writes what a window would show as log lines: new headlines, failures,
// hot news and subscriptions added or removed. Row redraws and status
// changes are too frequent to be worth a line each and are dropped.
class LoggingViewerPresenter : public ViewerPresenter {
public:
    void DrawSubscriptionRow(const SubscriptionList&, RowReveal) override {}
    void DrawSubscriptionAdded(const SubscriptionList& subscription) override;
    void DrawSubscriptionRemoved(uint32_t sid) override;
    void DrawNewHeadlines(const SubscriptionList& subscription, uint32_t count) override;
    void DrawStatus(const std::string*) override {}
    void DrawPreDescription(const SubscriptionList& subscription) override;
    void PlayNewsSound(const NewsList& news) override;
    void NotifyNews(const NewsList& news) override;
    void QueueNewsOnTicker(const NewsList& news, std::string_view sourceName) override;
};

// The subscription as the user knows it: its name, or its feed URL while it
// has none.
std::string_view SubscriptionDisplayName(const SubscriptionList& subscription);
