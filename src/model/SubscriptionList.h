// The subscription tree: feeds, mail accounts, keyword pseudo-subscriptions,
// one level of groups and the viewer's two run-time pseudo lists, as sibling
// chains of heap nodes linked through `next` (members hang on a group's
// `child`). This file owns the node record, its value sets, its identifiers
// and every operation that builds, searches, counts or reshapes the tree.
// The news items live in the global news list (NewsList.h).
#pragma once

#include "model/FixedText.h"

#include <cstdint>
#include <string_view>

struct NewsList;

// ---- Value sets ----

enum SiteType : uint32_t {
    kSiteTypeRSS = 1,      // a web feed; the only kind that is fetched
    kSiteTypePOP = 2,      // a mail account (kept, scheduled, never fetched)
    kSiteTypeHotList = 3,  // run-time pseudo list of all hot news, never saved
    kSiteTypeCoolList = 4, // run-time pseudo list of all permanent news, never saved
    kSiteTypeGroup = 5,    // a folder; its members hang on `child`
    kSiteTypePsedo = 6,    // collects the news matching the keywords in `name`
};

// Item N (from 1) of the dialogs' interval menu is check type N - 1.
enum CheckType : uint32_t {
    kCheckManual = 0,
    kCheckAtLaunch = 1,
    kCheckEvery10Min = 2,
    kCheckEvery30Min = 3,
    kCheckEveryHour = 4,
    kCheckEvery3Hours = 5,
};

// Any value above kAccessStateDone is shown as accessing.
enum AccessState : uint32_t {
    kAccessStateNever = 0,     // not accessed in this run
    kAccessStateDone = 1,      // `accessErrors` holds the last result
    kAccessStateAccessing = 3, // a fetch runs
};

// `flags`: run-time state. Only the expanded bit is saved.
constexpr uint32_t kSubscriptionFlagExpanded = 0x0200;
constexpr uint32_t kSubscriptionFlagFetched = 0x0400; // parsed at least once in this run
constexpr uint32_t kSubscriptionFlagSearch = 0x1000;  // search-engine result feed, never saved

// `options`: the user's choices.
constexpr uint16_t kOptionRetainRead = 0x0001;       // reading an item also retains it
constexpr uint16_t kOptionShowCategory = 0x0010;     // headline list shows the category column
constexpr uint16_t kOptionAlwaysShowPage = 0x0020;   // description pane shows the linked page
constexpr uint16_t kOptionDistribute = 0x0100;       // new items are distributed
constexpr uint16_t kOptionDownloadEnclosures = 0x0200; // enclosures of new items are downloaded

// Identifiers below this never name a node; the viewer uses 98 and 99 as
// its selection markers.
constexpr uint32_t kFirstSubscriptionID = 100;

// ---- The node ----

// The fields from `siteType` to `description` are the persistent ones; all
// others start at zero whenever a node is created or loaded. A new record is
// all zeros: its kind is unset (0) until the caller gives one.
struct SubscriptionList {
    SiteType siteType{};
    CheckType checkType = kCheckManual;
    FixedText<64> name;          // UTF-8; for kSiteTypePsedo the keywords, single-space separated
    FixedText<256> accessURL;    // feed URL, or the mail server
    FixedText<256> homeURL;      // the channel link
    FixedText<256> iconURL;      // favicon, empty until found
    FixedText<256> imageURL;     // the channel image
    FixedText<64> account;       // mail account, or a search feed's engine name
    FixedText<58> password;      // mail password, or a feed's encoding override (empty = the feed's own)
    uint16_t options = 0;
    float termDays = 0.0f;       // days a read item stays listed; 0 = forever
    FixedText<2048> description; // UTF-8 channel description, or a search feed's keywords

    uint32_t sid = 0;            // unique in the run, never below kFirstSubscriptionID
    uint32_t orderID = 0;        // position in the whole tree's ordering; 0 = fixed
    uint32_t thread = 0;         // the worker fetching this node; 0 when none
    const void* iconRef = nullptr; // the site's icon, owned by the subscription pane
    uint32_t flags = 0;
    uint32_t prevCheckTime = 0;  // seconds since 1904 (local) of the last pick; 0 = not yet
    AccessState accessState = kAccessStateNever;
    int32_t accessErrors = 0;    // 0, or the last access's negative error

    // Items of the last parse that wait to be moved into the global list.
    // Owned by this node: the mover takes them with TakeSubscriptionNews, so
    // that the pointer never aliases items the global list owns.
    NewsList* news = nullptr;
    // Not owned: the history items or the global list that a fresh parse
    // carries read, permanent and retained marks over from.
    NewsList* history = nullptr;
    SubscriptionList* parent = nullptr; // the group holding this node; null at top level
    SubscriptionList* child = nullptr;  // a group's first member (owned)
    SubscriptionList* next = nullptr;   // next sibling (owned by the chain)
};

// ---- Construction and disposal ----

// Creates a node from `subscriptionTemplate` (all fields, `parent` included)
// with the next identifier, no members, no siblings and no pending news, and
// appends it to the sibling chain `list`. The new `sid` is written back into
// the template. Returns the new head: the node itself when `list` is null.
// O(n) in the chain: walks to its tail.
SubscriptionList* AddSubscriptionList(SubscriptionList* list, SubscriptionList& subscriptionTemplate);

// Links `node`, with whatever chain hangs on its `next`, after the last
// sibling of `list`; the two names serve the import and the move in and out
// of groups. `parent` is the caller's to set. A chain that already shares a
// node with `list` is refused with a diagnostic (it would close the chain
// into a loop) and `list` is returned unchanged. O(n + m).
SubscriptionList* AppendSubscriptionList(SubscriptionList* list, SubscriptionList* node);
SubscriptionList* AttachSubscriptionList(SubscriptionList* list, SubscriptionList* node);

// Frees every node of the chain with its members and its pending news.
// Iterative along each chain; recursion only follows group nesting.
void DisposeSubscriptionList(SubscriptionList* list);

// True when a fetch runs on `node` or on one of its members.
bool IsFetchingSubscription(const SubscriptionList* node);

// Removes the node with `sid` from anywhere in the tree and frees it with its
// members and their pending news. The items in the global list that point to
// them are the caller's to remove first (RemoveNewsByParent), after asking
// IsFetchingSubscription: removal is refused, with a diagnostic, while a fetch
// runs on the node or on one of its members. An unknown id leaves the tree as
// it is. Returns the new head. O(n).
SubscriptionList* RemoveSubscriptionByID(SubscriptionList* list, uint32_t sid);

// Unlinks the node with `sid` (with its members) without freeing anything and
// clears its `parent` and `next`; allowed during a fetch. Returns the new head.
SubscriptionList* DetachSubscriptionByID(SubscriptionList* list, uint32_t sid);

// Hands over the node's pending items and leaves `news` null.
NewsList* TakeSubscriptionNews(SubscriptionList* node);

// ---- Searches ----
// Depth-first, each node before its members, siblings in chain order; the
// first hit or null. O(n).

SubscriptionList* FindSubscriptionByID(SubscriptionList* list, uint32_t sid);
SubscriptionList* FindSubscriptionByOrderID(SubscriptionList* list, uint32_t orderID);
// Exact byte comparison with `name`.
SubscriptionList* FindSubscriptionByName(SubscriptionList* list, std::string_view name);
// Exact byte comparison with `accessURL`.
SubscriptionList* FindSubscriptionByURL(SubscriptionList* list, std::string_view url);
// Top-level keyword pseudo-subscriptions only.
SubscriptionList* FindPsedoSubscriptionByName(SubscriptionList* list, std::string_view name);
// The top-level group that is the node itself or holds it; null for the
// viewer's markers (ids below 100), for a top-level node that is not a group
// and for an unknown id.
SubscriptionList* FindContainerSubscription(SubscriptionList* list, uint32_t sid);
// The first node named `name` in tree order, only if it is a group; null for
// an empty name.
SubscriptionList* FindParentSubscriptionByName(SubscriptionList* list, std::string_view name);
// The node with `sid`; `previous` receives its preceding sibling in its own
// chain, or null when it leads its chain (or is not found).
SubscriptionList* FindSubscriptionWithPrevious(SubscriptionList* list, uint32_t sid, SubscriptionList** previous);

// True when `node` is `subscription`, or `subscription` is a group and `node`
// one of its direct members. False when either is null. O(1): membership is
// read from the member's `parent`, which whoever links a member sets.
bool IsInSubscription(const SubscriptionList* node, const SubscriptionList* subscription);

// ---- Order ----
// To place a node right after order k: IncreaseSubscriptionsOrder(tree, k)
// and give it k + 1. To place it at the end: MaximumSubscriptionsOrder + 1.
// To append an imported tree: offset it by the existing maximum + 1.

// The largest `orderID` in the whole tree; 0 for an empty tree.
uint32_t MaximumSubscriptionsOrder(const SubscriptionList* list);
// Adds 1 to every `orderID` greater than `orderID`.
void IncreaseSubscriptionsOrder(SubscriptionList* list, uint32_t orderID);
// Adds `offset` to every `orderID` of the tree.
void OffsetSubscriptionsOrder(SubscriptionList* list, uint32_t offset);

// ---- Counts ----

// Feeds and mail accounts at any depth, leaving out the two pseudo lists and
// whatever hangs below them.
uint32_t CountSubscriptions(const SubscriptionList* list);
// The nodes the subscriptions file stores: every node at any depth except the
// two pseudo lists (and what hangs below them) and search feeds.
uint32_t CountSubscriptionsAndGroups(const SubscriptionList* list);
