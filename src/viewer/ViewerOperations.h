// The viewer's operations on its model, for the refresh cycle, the shell and
// (later) the window's commands: one viewer state for the whole run, changed
// only here and drawn through its presenter. Every operation takes the
// viewer state first; null means the viewer that is open, and with no viewer
// open each does nothing and answers false, 0 or an empty value.
// No widget code: the window implements ViewerPresenter on top of this.
#pragma once

#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Status.h"
#include "viewer/ViewerModel.h"
#include "viewer/ViewerPresenter.h"

#include <cstdint>
#include <memory>
#include <string_view>

/* ---- The open viewer ---- */

// Opens the viewer's core: loads the model (OpenViewerModel), makes it the
// viewer every null argument means, indexes the global list for the state
// merge, announces hot news through `presenter`, loads the manual feeds (and,
// with Shift held, every due feed) from their caches and starts the idle
// tick. Returns the state, owned by the viewer until CloseNewsViewerCore.
// A viewer already open is returned as it is.
NVWStaff* OpenNewsViewerCore(std::unique_ptr<ViewerPresenter> presenter);

// Stops the idle tick, detaches the viewer (downloads still running find
// their subscription gone and end without touching it), saves and frees the
// model (CloseViewerModel). Returns the save's status.
OSStatus CloseNewsViewerCore();

// The open viewer's state; null before OpenNewsViewerCore and after close.
NVWStaff* GetNewsViewerStaff();

// Whether the Shift key is held; read once when the viewer opens. The
// window installs the real reader; without one it is never held.
using ShiftKeyReader = bool (*)();
void SetShiftKeyReader(ShiftKeyReader reader);

/* ---- Status line ---- */

// Pushes `message` on the status stack and shows it; returns its key, 0 when
// nothing was pushed (no viewer).
uint32_t RegistStatusViewerWindow(NVWStaff* window, std::string_view message);
// Removes the entry with that key; key 0 and unknown keys are ignored.
void UnregistStatusViewerWindow(NVWStaff* window, uint32_t kid);

/* ---- Rows and subscriptions ---- */

// Redraws the subscription's row (nothing for an unknown `sid`).
void UpdateSubscriptionViewerWindow(NVWStaff* window, uint32_t sid, RowReveal reveal);

// Makes the subscription due now: clears its `prevCheckTime`, and the next
// idle tick checks at once.
void RefreshSubscriptionViewerWindow(NVWStaff* window, uint32_t sid);

// The subscription `sid` is still in the tree.
bool IsAliveSubscriptionViewerWindow(NVWStaff* window, uint32_t sid);

// Whether a fresh parse's channel title gave the subscription its name.
enum class ChannelNaming { kKept, kNamedByChannel };

// Moves the subscription's freshly parsed items (its `news`) to the end of
// the global list, keeping the merge's index in step, shows them and marks
// an auto-save; with kNamedByChannel the subscriptions file is saved at once.
// Returns the number of items moved. O(items moved).
uint32_t AppendNewsInViewerWindow(NVWStaff* window, SubscriptionList& subscription, ChannelNaming naming);

// Asks for the description pane's summary of `sid` to be drawn again on the
// next idle tick, when `sid` is the current subscription.
void UpdatePreDescriptionViewerWindow(NVWStaff* window, uint32_t sid);

// Adds the chain `feeds` (made for this, e.g. by the OPML reader) under the
// folder named `title` ("[ OPML ]" when empty): an existing folder of that
// name, or a new one at the end of the top level. The chain's orders are
// moved above every existing order; the feeds are due at once. The chain is
// taken over, also when there is no viewer (it is then freed). Returns the
// folder's `sid`, 0 when nothing was added.
uint32_t SubscribeFeedsInViewerWindow(NVWStaff* window, std::string_view title, SubscriptionList* feeds);

// Removes the subscription `sid` (a group with its members): its items
// leave the global list, its cache file and its launch-time history are
// deleted, then the node is freed. Refused, with kGenericErr, while a fetch
// runs on it or on a member; kFileNotFoundErr for an unknown `sid`.
OSStatus RemoveSubscriptionViewerWindow(NVWStaff* window, uint32_t sid);

// Enclosures of new items wait for the automatic download check.
void NeedDownloadCheckViewerWindow(NVWStaff* window);

// Notes one model change for the coalesced auto-save.
void MarkAutoSave(NVWStaff* window);

/* ---- Subscribing by address ---- */

// The default interval of a feed subscribed by its address alone.
constexpr CheckType kSubscribeURLCheckType = kCheckEveryHour;

// Subscribes to the feed at `url`: an http or https address or one of its
// feed: forms ("feed://host/x", "feed:https://host/x"). When a subscription
// with that feed URL exists it becomes the current one; otherwise a feed is
// added at the end of the top level (order = highest + 1, named by its URL
// until its channel title names it, checked hourly) and is due at once.
// Returns its `sid`, 0 for an address that is not a web address.
uint32_t SubscribeURLInViewerWindow(NVWStaff* window, std::string_view url);

// The adding half of the above, for an address already checked.
uint32_t SubscribeFeedURL(NVWStaff* window, std::string_view httpURL);

/* ---- Hot news ---- */

// The hot-news list's name.
constexpr std::string_view kHotNewsListName = "! Hot NEWS !";

// Announces an item a keyword filter made hot: its sound alone when it has
// no effect, a desktop notification for "Growl", otherwise a ticker entry
// named by its subscription; then makes sure the tree has the hot-news list.
// Installed as the state merge's announcer while the viewer is open.
void HotNewsViewerWindow(NVWStaff* window, NewsList& news);

// Marks the item `nid` read (and retained when its subscription keeps read
// items), as the ticker's F7 and F8 keys do, and redraws its subscription's
// row. False when the item is unknown or was read already.
bool ReadNewsViewerWindow(NVWStaff* window, uint32_t nid);

/* ---- For the idle tick ---- */

// The subscription whose description summary waits to be drawn, cleared as
// it is taken; 0 when none.
uint32_t TakeDeferedPreDescription();

// The open viewer's presenter; null when none is open.
ViewerPresenter* GetViewerPresenter();
