// The subscription pane without its widgets: the rows of the tree as an item
// model in the user's order, their texts, counts and state icons, the
// selection turned into the current subscription, the moves of a drag inside
// the pane, drops from outside, removal with its refusals and the cool-news
// list. The widget (window/SubscriptionPane) draws this and forwards events.
#pragma once

#include "platform/Status.h"
#include "viewer/ViewerModel.h"

#include <QAbstractItemModel>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/* ---- Markers of the current subscription ---- */

// Values of NVWStaff::subscriptionID that name no row (ids below 100).
constexpr uint32_t kSelectionSubscriptionID = 98; // several rows selected
constexpr uint32_t kKeywordSubscriptionID = 99;   // a keyword search result

// The cool-news list's name.
constexpr std::string_view kCoolNewsListName = "! Cool NEWS !";
// What the cool-news list stands for in place of a feed URL.
constexpr std::string_view kCoolNewsListURL = "Permanents.rdf";

/* ---- Row content ---- */

// The state icons of the rows; the widget maps each to an image.
enum class SubscriptionIcon : uint8_t {
    kNone,
    kRss,                // feed, normal
    kRssError,           // feed, last access failed
    kRssAllRead,         // feed, nothing unread
    kRssAccessing,       // feed, being fetched
    kRssInit,            // feed, never fetched in this run
    kRssSearch,          // search feed, normal
    kRssSearchAllRead,   // search feed, nothing unread
    kRssSearchAccessing, // search feed, being fetched
    kRssHot,             // the hot-news list
    kRssCool,            // the cool-news list
    kRssPsedo,           // keyword row with unread matches
    kSiteIcon,           // the feed's own icon (its `iconRef`)
    kMail,               // mail account
    kFolder,             // folder
};
constexpr int kSubscriptionIconCount = int(SubscriptionIcon::kFolder) + 1;

// Whether rows show their counts (the show-counts setting).
enum class CountDisplay { kHidden, kShown };

// The icon of a feed row with `unread` unread items, first rule that holds:
// failed access, own icon, never fetched, accessing, all read, normal (the
// search feed's set for a search feed).
SubscriptionIcon ChooseFeedIcon(const SubscriptionList& feed, uint32_t unread);

// The row's icon given its count (unread, or all news for a mail account;
// a keyword row's count is its unread matches, 0 when counts are hidden).
SubscriptionIcon ChooseRowIcon(const SubscriptionList& subscription, uint32_t count);

// The row's text given its count: the name (a feed without one is
// "Untitled"), "name (count)" when there is a count to show; a keyword row is
// the keywords in quotes; the cool-news list never has a count.
std::string MakeRowText(const SubscriptionList& subscription, uint32_t count, CountDisplay display);

// Case-insensitive comparison with runs of digits compared by value
// ("Feed 9" before "Feed 10"). Negative, 0 or positive.
int CompareNamesNaturally(std::string_view a, std::string_view b);

// The pane's order: smaller `orderID` first, equal orders by name.
bool IsRowBefore(const SubscriptionList& a, const SubscriptionList& b);

/* ---- Selection ---- */

// The subscriptions the selected rows stand for: a feed or mail account
// itself, a folder's direct feeds and mail accounts; other kinds are
// skipped. Tree order of the selection, no duplicates.
std::vector<uint32_t> CreateSelectionArray(SubscriptionList* tree, std::span<const uint32_t> selected);

// The rows to deselect when several are selected and the hot, cool or keyword
// rows are among them (those stand alone); empty otherwise.
std::vector<uint32_t> FindLoneRowsInSelection(SubscriptionList* tree, std::span<const uint32_t> selected);

// The current subscription for a selection: 0 for none, the row's sid for
// one row (kKeywordSubscriptionID for a keyword row), kSelectionSubscriptionID
// for several.
uint32_t ResolveCurrentSubscription(SubscriptionList* tree, std::span<const uint32_t> selected);

// The last selected row when `id` is one of the markers, else `id`.
uint32_t GetLastCurrentSubscriptionID(std::span<const uint32_t> selected, uint32_t id);
// The one selected row when `id` is kKeywordSubscriptionID, else `id`.
uint32_t GetOneCurrentSubscriptionID(std::span<const uint32_t> selected, uint32_t id);

/* ---- Removal ---- */

// Not while a fetch runs on it (or, for a folder, on a member), and never the
// hot or cool list.
bool IsRemovableSubscription(const SubscriptionList* subscription);

enum class RemovalCheck { kRemovable, kNothingSelected, kUnremovable };
// Every selected row must be removable.
RemovalCheck CheckRemovableSelection(SubscriptionList* tree, std::span<const uint32_t> selected);

// Removes every selected row that is removable now (rows, news, cache files,
// records), then the hot list when no hot news remain and the cool list when
// no permanent news remain; the current subscription and item are cleared.
// Returns the number of rows removed.
uint32_t RemoveSubscriptions(NVWStaff& staff, std::span<const uint32_t> selected);

/* ---- Moves inside the pane ---- */

// Feeds, mail accounts and folders can be dragged; not search feeds.
bool IsDraggableSubscription(const SubscriptionList& subscription);
// The draggable rows of a selection.
std::vector<uint32_t> CreateDraggingArray(SubscriptionList* tree, std::span<const uint32_t> selected);

// Where a drag inside the pane ended.
enum class DropPlace {
    kOnRow,     // on the target row: the rows go just after it (into its folder)
    kBeforeRow, // in the gap above the target row: the rows go just before it
    kOutside,   // below every row: the rows go to the end
};
enum class DragMoveResult { kMoved, kNothingMoved, kDroppedOnThemselves, kCannotDropInGroup };

// A drop of a move may land on a row unless the row is fixed (order 0).
bool AcceptsSubscriptionMove(SubscriptionList* tree, uint32_t targetSid);

// Moves the dragged rows (`dragged`, as CreateDraggingArray gives them),
// keeping their relative order: on a row, just after it and into its folder
// (folders only reorder: after the folder holding the target); before a row,
// just before it at the top level (refused as a whole inside a folder);
// outside, to the end. Orders are renumbered by the tree's insertion rule.
DragMoveResult DragMoveSubscriptionList(NVWStaff& staff, std::span<const uint32_t> dragged, DropPlace place,
                                        uint32_t targetSid);

// Turns a search feed into an ordinary feed at the top of the list, checked
// at launch. False for any other subscription.
bool ConvertSubscription(NVWStaff& staff, uint32_t sid);

/* ---- Drops from outside, drags out ---- */

// A feed offered by a drop.
struct FeedCandidate {
    std::string name;
    std::string description;
    std::string homeURL;
    std::string feedURL; // http or https
    CheckType checkType = kCheckAtLaunch;
};

// The text a dragged subscription carries, and its reading back:
// "<rss-channel>\r name \r description \r home \r feed URL \r check type \r</rss-channel>".
std::string MakeRssChannelText(const SubscriptionList& subscription);
// Also reads a lone feed address (http, https or feed: forms). Null for text
// that holds no feed.
std::optional<FeedCandidate> ParseFeedCandidateText(std::string_view text);
// A dropped file: a desktop link or web location file (its URL), or its first
// kDroppedTextLimit bytes read as text. Null when it names no feed.
std::optional<FeedCandidate> ReadFeedCandidateFromFile(const std::filesystem::path& file);
constexpr size_t kDroppedTextLimit = 4096;

// A name made fit for a file name: every "/" becomes "|".
std::string MakeFileNameFromName(std::string_view name);
// Writes the subscription as a desktop link file named after it into
// `folder`; returns its path, null on failure.
std::optional<std::filesystem::path> WriteSubscriptionLinkFile(const SubscriptionList& subscription,
                                                               const std::filesystem::path& folder);

enum class DropOutcome { kAdded, kAlreadySubscribed, kNoFeed };
struct DropResult {
    DropOutcome outcome = DropOutcome::kNoFeed;
    uint32_t sid = 0;
};

// Adds the candidate as a feed, due at once: after the target row when there
// is one (into its folder), else at the end of the top level. A feed of the
// same name or feed URL is not added again.
DropResult AddDroppedFeed(NVWStaff& staff, const FeedCandidate& candidate, uint32_t targetSid);

// Subscribes to a dropped address (http, https or a feed: form) through the
// viewer's subscribe operation, then moves it just after the target row.
DropResult SubscribeDroppedURL(NVWStaff& staff, std::string_view url, uint32_t targetSid);

/* ---- The pseudo lists ---- */

// Creates the cool-news list (once) and gives it every item without a
// subscription; returns its sid.
uint32_t AppendCoolSubscription(NVWStaff& staff);
// The top-level hot (cool) list's sid, 0 when none.
uint32_t FindHotSubscriptionID(const SubscriptionList* tree);
uint32_t FindCoolSubscriptionID(const SubscriptionList* tree);

// The drag formats: the dragged rows' sids (4 bytes each, big-endian).
constexpr const char* kSubscriptionIDsMimeType = "application/x-varnoke-subscription-ids";

/* ---- The rows as an item model ---- */

// One column; a row's internal id is its sid, and every read looks the
// record up in a sid table rebuilt with the rows, so nothing is copied.
// Counts are cached: one pass over the news list for all rows, one walk per
// row for a single row's redraw.
class SubscriptionPaneModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        kIconRole = Qt::UserRole + 1, // int(SubscriptionIcon)
        kSidRole,                     // the row's sid
        kSiteTypeRole,                // the row's SiteType
        kInfoRole,                    // the info line's text for the row
    };

    explicit SubscriptionPaneModel(NVWStaff* staff, QObject* parent = nullptr);

    void SetCountDisplay(CountDisplay display);
    CountDisplay GetCountDisplay() const { return fDisplay; }

    // Every row again from the tree.
    void Reload();
    // The tree's shape changed (moves, orders): rows are regrouped and
    // reordered, selections and open folders follow their sids.
    void Restructure();
    // One row's content changed: recounts it, its folder and the hot list.
    void RowChanged(uint32_t sid);
    // A node joined the tree (its members too); a known sid is ignored.
    void RowAdded(const SubscriptionList& subscription);
    // A node left the tree; its record (and its members') is already freed.
    void RowRemoved(uint32_t sid);
    // Every count again.
    void CountsChanged();

    QModelIndex IndexOf(uint32_t sid) const;
    uint32_t SidOf(const QModelIndex& index) const;
    SubscriptionList* SubscriptionOf(const QModelIndex& index) const;
    // The rows in display order, parents before members.
    std::vector<uint32_t> RowsInOrder() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    // The formats a drop may carry; the pane reads them itself.
    QStringList mimeTypes() const override;

private:
    struct RowCounts {
        uint32_t unread = 0;
        uint32_t all = 0;
    };
    struct Place {
        uint32_t parentSid = 0; // 0 = top level
        int row = 0;
    };

    void BuildStructure();
    void SortChildren(std::vector<uint32_t>& sids) const;
    void RenumberPlaces(uint32_t parentSid);
    void RecountAll();
    void RecountOne(SubscriptionList* subscription);
    RowCounts CountsOf(const SubscriptionList& subscription) const;
    uint32_t RowCount(const SubscriptionList& subscription) const;
    void EmitRowChanged(uint32_t sid);

    NVWStaff* fStaff;
    CountDisplay fDisplay = CountDisplay::kShown;
    std::unordered_map<uint32_t, SubscriptionList*> fNodes;
    std::unordered_map<uint32_t, std::vector<uint32_t>> fChildren; // 0 = the top level
    std::unordered_map<uint32_t, Place> fPlaces;
    // Items whose own subscription the row is (a keyword row: its matches).
    std::unordered_map<uint32_t, RowCounts> fCounts;
    uint32_t fUnreadHot = 0;
};
