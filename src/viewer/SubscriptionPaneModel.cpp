// The subscription pane's rows and rules without widgets: texts, counts and
// icons per row, the order, the selection's meaning, moves, drops, removal
// and the cool-news list. Tree edits go through the tree's own operations
// and the viewer's; the item model only mirrors the tree by sid.
#include "viewer/SubscriptionPaneModel.h"

#include "viewer/HeadlineModel.h"

#include "model/NewsList.h"
#include "net/HttpURL.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "viewer/ViewerOperations.h"

#include <algorithm>
#include <cctype>
#include <fstream>

constexpr std::string_view kUntitledName = "Untitled";
constexpr std::string_view kRssChannelOpen = "<rss-channel>";
constexpr std::string_view kRssChannelClose = "</rss-channel>";
constexpr std::string_view kLinkFileSuffix = ".desktop";
constexpr uint32_t kHighestCheckType = kCheckEvery3Hours;

using NameField = decltype(SubscriptionList::name);

/* ---- Row content ---- */

SubscriptionIcon ChooseFeedIcon(const SubscriptionList& feed, uint32_t unread)
{
    if (feed.accessErrors != 0)
        return SubscriptionIcon::kRssError;
    if (feed.iconRef)
        return SubscriptionIcon::kSiteIcon;
    if (feed.accessState == kAccessStateNever)
        return SubscriptionIcon::kRssInit;
    const bool search = (feed.flags & kSubscriptionFlagSearch) != 0;
    if (feed.accessState > kAccessStateDone)
        return search ? SubscriptionIcon::kRssSearchAccessing : SubscriptionIcon::kRssAccessing;
    if (unread == 0)
        return search ? SubscriptionIcon::kRssSearchAllRead : SubscriptionIcon::kRssAllRead;
    return search ? SubscriptionIcon::kRssSearch : SubscriptionIcon::kRss;
}

SubscriptionIcon ChooseRowIcon(const SubscriptionList& subscription, uint32_t count)
{
    switch (subscription.siteType) {
    case kSiteTypeRSS:
        return ChooseFeedIcon(subscription, count);
    case kSiteTypePOP:
        return SubscriptionIcon::kMail;
    case kSiteTypeHotList:
        return SubscriptionIcon::kRssHot;
    case kSiteTypeCoolList:
        return SubscriptionIcon::kRssCool;
    case kSiteTypeGroup:
        return SubscriptionIcon::kFolder;
    case kSiteTypePsedo:
        return count > 0 ? SubscriptionIcon::kRssPsedo : SubscriptionIcon::kRssAllRead;
    }
    return SubscriptionIcon::kNone;
}

static std::string WithCount(std::string text, uint32_t count, CountDisplay display)
{
    switch (display) {
    case CountDisplay::kHidden:
        return text;
    case CountDisplay::kShown:
        break;
    }
    if (count == 0)
        return text;
    return text + " (" + std::to_string(count) + ")";
}

std::string MakeRowText(const SubscriptionList& subscription, uint32_t count, CountDisplay display)
{
    const std::string name(subscription.name.view());
    switch (subscription.siteType) {
    case kSiteTypeRSS:
        if (name.empty())
            return std::string(kUntitledName);
        return WithCount(name, count, display);
    case kSiteTypePsedo:
        return WithCount("\" " + name + " \"", count, display);
    case kSiteTypeCoolList:
        return name;
    case kSiteTypePOP:
    case kSiteTypeHotList:
    case kSiteTypeGroup:
        return WithCount(name, count, display);
    }
    return name;
}

int CompareNamesNaturally(std::string_view a, std::string_view b)
{
    // The headline list's order: case folded over Unicode, digit runs by value.
    return CompareHeadlineText(QString::fromUtf8(a.data(), qsizetype(a.size())),
                               QString::fromUtf8(b.data(), qsizetype(b.size())));
}

bool IsRowBefore(const SubscriptionList& a, const SubscriptionList& b)
{
    if (a.orderID != b.orderID)
        return a.orderID < b.orderID;
    int order = CompareNamesNaturally(a.name.view(), b.name.view());
    if (order != 0)
        return order < 0;
    return a.sid < b.sid; // a stable tie-break keeps equal rows from swapping
}

/* ---- Selection ---- */

static bool IsSelectableSource(const SubscriptionList& node)
{
    return node.siteType == kSiteTypeRSS || node.siteType == kSiteTypePOP;
}

static bool IsLoneRow(const SubscriptionList& node)
{
    return node.siteType == kSiteTypeHotList || node.siteType == kSiteTypeCoolList ||
           node.siteType == kSiteTypePsedo;
}

std::vector<uint32_t> CreateSelectionArray(SubscriptionList* tree, std::span<const uint32_t> selected)
{
    std::vector<uint32_t> array;
    auto add = [&array](uint32_t sid) {
        if (std::find(array.begin(), array.end(), sid) == array.end())
            array.push_back(sid);
    };
    for (uint32_t sid : selected) {
        const SubscriptionList* node = FindSubscriptionByID(tree, sid);
        if (!node)
            continue;
        if (IsSelectableSource(*node))
            add(sid);
        if (node->siteType != kSiteTypeGroup)
            continue;
        for (const SubscriptionList* member = node->child; member; member = member->next) {
            if (IsSelectableSource(*member))
                add(member->sid);
        }
    }
    return array;
}

std::vector<uint32_t> FindLoneRowsInSelection(SubscriptionList* tree, std::span<const uint32_t> selected)
{
    std::vector<uint32_t> lone;
    if (selected.size() < 2)
        return lone;
    for (uint32_t sid : selected) {
        const SubscriptionList* node = FindSubscriptionByID(tree, sid);
        if (node && IsLoneRow(*node))
            lone.push_back(sid);
    }
    return lone;
}

uint32_t ResolveCurrentSubscription(SubscriptionList* tree, std::span<const uint32_t> selected)
{
    if (selected.empty())
        return 0;
    if (selected.size() > 1)
        return kSelectionSubscriptionID;
    const SubscriptionList* node = FindSubscriptionByID(tree, selected.front());
    if (!node)
        return 0;
    if (node->siteType == kSiteTypePsedo)
        return kKeywordSubscriptionID;
    return node->sid;
}

uint32_t GetLastCurrentSubscriptionID(std::span<const uint32_t> selected, uint32_t id)
{
    if ((id == kSelectionSubscriptionID || id == kKeywordSubscriptionID) && !selected.empty())
        return selected.back();
    return id;
}

uint32_t GetOneCurrentSubscriptionID(std::span<const uint32_t> selected, uint32_t id)
{
    if (id == kKeywordSubscriptionID && selected.size() == 1)
        return selected.front();
    return id;
}

/* ---- Removal ---- */

bool IsRemovableSubscription(const SubscriptionList* subscription)
{
    if (!subscription)
        return false;
    if (subscription->siteType == kSiteTypeHotList || subscription->siteType == kSiteTypeCoolList)
        return false;
    return !IsFetchingSubscription(subscription);
}

RemovalCheck CheckRemovableSelection(SubscriptionList* tree, std::span<const uint32_t> selected)
{
    if (selected.empty())
        return RemovalCheck::kNothingSelected;
    for (uint32_t sid : selected) {
        if (!IsRemovableSubscription(FindSubscriptionByID(tree, sid)))
            return RemovalCheck::kUnremovable;
    }
    return RemovalCheck::kRemovable;
}

uint32_t FindHotSubscriptionID(const SubscriptionList* tree)
{
    for (const SubscriptionList* node = tree; node; node = node->next) {
        if (node->siteType == kSiteTypeHotList)
            return node->sid;
    }
    return 0;
}

uint32_t FindCoolSubscriptionID(const SubscriptionList* tree)
{
    for (const SubscriptionList* node = tree; node; node = node->next) {
        if (node->siteType == kSiteTypeCoolList)
            return node->sid;
    }
    return 0;
}

// The pseudo lists go when nothing is left for them to list; the cool list
// takes the items it adopted with it, so none keeps a freed parent.
static void RemoveEmptyPseudoLists(NVWStaff& staff)
{
    if (uint32_t hot = FindHotSubscriptionID(staff.subscriptions); hot != 0) {
        if (CountHotNews(staff.news) == 0)
            RemoveSubscriptionViewerWindow(&staff, hot);
        else
            UpdateSubscriptionViewerWindow(&staff, hot, RowReveal::kRedrawOnly);
    }
    if (uint32_t cool = FindCoolSubscriptionID(staff.subscriptions); cool != 0) {
        if (CountPermedNews(staff.news) == 0)
            RemoveSubscriptionViewerWindow(&staff, cool);
    }
}

uint32_t RemoveSubscriptions(NVWStaff& staff, std::span<const uint32_t> selected)
{
    const std::vector<uint32_t> sids(selected.begin(), selected.end());
    uint32_t removed = 0;
    for (uint32_t sid : sids) {
        // A folder removed earlier in the loop took its selected members along.
        SubscriptionList* node = FindSubscriptionByID(staff.subscriptions, sid);
        if (!node)
            continue;
        if (!IsRemovableSubscription(node)) {
            LogInfo("Subscription %s is busy or fixed; not removed", node->name.c_str());
            continue;
        }
        if (RemoveSubscriptionViewerWindow(&staff, sid) == kNoErr)
            ++removed;
    }
    RemoveEmptyPseudoLists(staff);
    staff.newsID = 0;
    staff.subscriptionID = 0;
    staff.selections.clear();
    return removed;
}

/* ---- Moves inside the pane ---- */

bool IsDraggableSubscription(const SubscriptionList& subscription)
{
    switch (subscription.siteType) {
    case kSiteTypeRSS:
        return (subscription.flags & kSubscriptionFlagSearch) == 0;
    case kSiteTypePOP:
    case kSiteTypeGroup:
        return true;
    case kSiteTypeHotList:
    case kSiteTypeCoolList:
    case kSiteTypePsedo:
        return false;
    }
    return false;
}

std::vector<uint32_t> CreateDraggingArray(SubscriptionList* tree, std::span<const uint32_t> selected)
{
    std::vector<uint32_t> draggings;
    for (uint32_t sid : selected) {
        const SubscriptionList* node = FindSubscriptionByID(tree, sid);
        if (node && IsDraggableSubscription(*node))
            draggings.push_back(sid);
    }
    return draggings;
}

bool AcceptsSubscriptionMove(SubscriptionList* tree, uint32_t targetSid)
{
    const SubscriptionList* target = FindSubscriptionByID(tree, targetSid);
    return target && target->orderID != 0;
}

// Moves a non-folder into `folder` (null: the top level) unless it is there.
static void MoveIntoFolder(NVWStaff& staff, SubscriptionList* node, SubscriptionList* folder)
{
    if (node->parent == folder || node->siteType == kSiteTypeGroup)
        return;
    staff.subscriptions = DetachSubscriptionByID(staff.subscriptions, node->sid);
    if (folder) {
        folder->child = AttachSubscriptionList(folder->child, node);
        node->parent = folder;
        return;
    }
    staff.subscriptions = AttachSubscriptionList(staff.subscriptions, node);
}

static std::vector<SubscriptionList*> CollectMovable(NVWStaff& staff, std::span<const uint32_t> dragged)
{
    std::vector<SubscriptionList*> moving;
    for (uint32_t sid : dragged) {
        SubscriptionList* node = FindSubscriptionByID(staff.subscriptions, sid);
        if (node && node->orderID != 0 && IsDraggableSubscription(*node) &&
            std::find(moving.begin(), moving.end(), node) == moving.end())
            moving.push_back(node);
    }
    return moving;
}

// Before `target` (null: at the end), at the top level, in increasing order.
static DragMoveResult MoveBeforeRow(NVWStaff& staff, std::vector<SubscriptionList*>& moving, SubscriptionList* target)
{
    if (target && target->parent) {
        LogInfo("Cannot drop in group");
        return DragMoveResult::kCannotDropInGroup;
    }
    std::sort(moving.begin(), moving.end(),
              [](const SubscriptionList* a, const SubscriptionList* b) { return a->orderID < b->orderID; });
    for (SubscriptionList* node : moving) {
        if (!target) {
            node->orderID = MaximumSubscriptionsOrder(staff.subscriptions) + 1;
        } else {
            const uint32_t order = target->orderID != 0 ? target->orderID : 1;
            IncreaseSubscriptionsOrder(staff.subscriptions, order - 1);
            node->orderID = order;
        }
        MoveIntoFolder(staff, node, nullptr);
    }
    return DragMoveResult::kMoved;
}

// Just after `target` and into its folder, in decreasing order so that each
// lands before the ones already moved. A folder goes after the folder that
// holds the target, since folders never nest.
static DragMoveResult MoveOntoRow(NVWStaff& staff, std::vector<SubscriptionList*>& moving, SubscriptionList* target)
{
    if (target->orderID == 0)
        return DragMoveResult::kNothingMoved;
    SubscriptionList* container = FindContainerSubscription(staff.subscriptions, target->sid);
    std::sort(moving.begin(), moving.end(),
              [](const SubscriptionList* a, const SubscriptionList* b) { return a->orderID > b->orderID; });
    for (SubscriptionList* node : moving) {
        const SubscriptionList* anchor = (node->siteType == kSiteTypeGroup && container) ? container : target;
        const uint32_t order = anchor->orderID;
        IncreaseSubscriptionsOrder(staff.subscriptions, order);
        node->orderID = order + 1;
        MoveIntoFolder(staff, node, container);
    }
    return DragMoveResult::kMoved;
}

DragMoveResult DragMoveSubscriptionList(NVWStaff& staff, std::span<const uint32_t> dragged, DropPlace place,
                                        uint32_t targetSid)
{
    std::vector<SubscriptionList*> moving = CollectMovable(staff, dragged);
    if (moving.empty())
        return DragMoveResult::kNothingMoved;
    SubscriptionList* target = nullptr;
    if (place != DropPlace::kOutside) {
        target = FindSubscriptionByID(staff.subscriptions, targetSid);
        if (!target && place == DropPlace::kOnRow)
            return DragMoveResult::kNothingMoved;
    }
    if (target && std::find(dragged.begin(), dragged.end(), target->sid) != dragged.end()) {
        LogInfo("Dropped on themselves");
        return DragMoveResult::kDroppedOnThemselves;
    }
    DragMoveResult result = DragMoveResult::kNothingMoved;
    switch (place) {
    case DropPlace::kOnRow:
        result = MoveOntoRow(staff, moving, target);
        break;
    case DropPlace::kBeforeRow:
    case DropPlace::kOutside:
        result = MoveBeforeRow(staff, moving, target);
        break;
    }
    if (result == DragMoveResult::kMoved)
        MarkAutoSave(&staff);
    return result;
}

bool ConvertSubscription(NVWStaff& staff, uint32_t sid)
{
    SubscriptionList* feed = FindSubscriptionByID(staff.subscriptions, sid);
    if (!feed || feed->siteType != kSiteTypeRSS || !(feed->flags & kSubscriptionFlagSearch))
        return false;
    IncreaseSubscriptionsOrder(staff.subscriptions, 0);
    feed->flags &= ~kSubscriptionFlagSearch;
    feed->checkType = kCheckAtLaunch;
    feed->orderID = 1;
    MarkAutoSave(&staff);
    return true;
}

/* ---- Drops from outside, drags out ---- */

// Keeps a field on its one line of the channel text.
static std::string OneLine(std::string_view text)
{
    std::string line(text);
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

std::string MakeRssChannelText(const SubscriptionList& subscription)
{
    std::string text(kRssChannelOpen);
    for (std::string_view field : {subscription.name.view(), subscription.description.view(),
                                   subscription.homeURL.view(), subscription.accessURL.view()}) {
        text += '\r';
        text += OneLine(field);
    }
    text += '\r' + std::to_string(uint32_t(subscription.checkType)) + '\r';
    text += kRssChannelClose;
    return text;
}

static std::string_view TrimText(std::string_view text)
{
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

static std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        // "\r\n" ends one line, not two.
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

static std::optional<FeedCandidate> MakeCandidate(std::string_view feedURL, std::string_view name = {})
{
    std::optional<std::string> httpURL = FeedURLToHttpURL(TrimText(feedURL));
    if (!httpURL || httpURL->size() > decltype(SubscriptionList::accessURL)::kMaxBytes)
        return std::nullopt;
    if (httpURL->find_first_of(" \t") != std::string::npos)
        return std::nullopt;
    FeedCandidate candidate;
    candidate.feedURL = *httpURL;
    candidate.name = std::string(TrimText(name));
    return candidate;
}

static std::optional<FeedCandidate> ParseRssChannelText(std::string_view text)
{
    size_t close = text.find(kRssChannelClose);
    if (close == std::string_view::npos)
        return std::nullopt;
    std::vector<std::string_view> fields = SplitLines(text.substr(kRssChannelOpen.size(), close - kRssChannelOpen.size()));
    // The opening tag's line break leaves an empty first field.
    if (!fields.empty() && fields.front().empty())
        fields.erase(fields.begin());
    if (fields.size() < 4)
        return std::nullopt;
    std::optional<FeedCandidate> candidate = MakeCandidate(fields[3], fields[0]);
    if (!candidate)
        return std::nullopt;
    candidate->description = std::string(fields[1]);
    candidate->homeURL = std::string(TrimText(fields[2]));
    if (fields.size() > 4) {
        std::string_view check = TrimText(fields[4]);
        if (check.size() == 1 && check[0] >= '0' && check[0] <= '9' && uint32_t(check[0] - '0') <= kHighestCheckType)
            candidate->checkType = CheckType(check[0] - '0');
    }
    return candidate;
}

std::optional<FeedCandidate> ParseFeedCandidateText(std::string_view text)
{
    text = TrimText(text);
    if (text.starts_with(kRssChannelOpen))
        return ParseRssChannelText(text);
    // A lone address, or the first of a list of them ("#" lines are comments
    // in a URI list).
    for (std::string_view line : SplitLines(text)) {
        line = TrimText(line);
        if (line.empty() || line.starts_with("#"))
            continue;
        return MakeCandidate(line);
    }
    return std::nullopt;
}

static std::string ReadFileStart(const std::filesystem::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return {};
    std::string text(kDroppedTextLimit, '\0');
    stream.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(stream.gcount()));
    return text;
}

// "Key=value" of a desktop entry, first occurrence.
static std::string_view FindEntryValue(std::string_view text, std::string_view key)
{
    for (std::string_view line : SplitLines(text)) {
        line = TrimText(line);
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=')
            return line.substr(key.size() + 1);
    }
    return {};
}

// The string following <key>URL</key> in a web location property list.
static std::string_view FindPropertyListURL(std::string_view text)
{
    size_t key = text.find("<key>URL</key>");
    if (key == std::string_view::npos)
        return {};
    size_t open = text.find("<string>", key);
    size_t close = open == std::string_view::npos ? open : text.find("</string>", open);
    if (close == std::string_view::npos)
        return {};
    open += std::string_view("<string>").size();
    return text.substr(open, close - open);
}

std::optional<FeedCandidate> ReadFeedCandidateFromFile(const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return std::nullopt;
    const std::string text = ReadFileStart(file);
    const std::string suffix = file.extension().string();
    if (suffix == kLinkFileSuffix)
        return MakeCandidate(FindEntryValue(text, "URL"), FindEntryValue(text, "Name"));
    if (suffix == ".webloc" || suffix == ".inetloc")
        return MakeCandidate(FindPropertyListURL(text), file.stem().string());
    return ParseFeedCandidateText(text);
}

std::string MakeFileNameFromName(std::string_view name)
{
    std::string fileName(name);
    std::replace(fileName.begin(), fileName.end(), '/', '|');
    return fileName;
}

std::optional<std::filesystem::path> WriteSubscriptionLinkFile(const SubscriptionList& subscription,
                                                               const std::filesystem::path& folder)
{
    std::string name = OneLine(subscription.name.view());
    if (TrimText(name).empty())
        name = std::string(kUntitledName);
    std::string fileName = MakeFileNameFromName(name);
    // A leading dot would hide the file.
    if (fileName.starts_with("."))
        fileName.insert(fileName.begin(), '_');
    const std::filesystem::path path = folder / (fileName + std::string(kLinkFileSuffix));
    std::string entry = "[Desktop Entry]\nType=Link\nName=" + name + "\nURL=" + OneLine(subscription.accessURL.view()) +
                        "\nIcon=application-rss+xml\n";
    if (OSStatus status = PutDataToFile(path, entry); status != kNoErr) {
        LogFailure("Cannot write %s (%d)", path.string().c_str(), int(status));
        return std::nullopt;
    }
    return path;
}

// Gives `node` the place just after `targetSid` (into its folder).
static void PlaceAfterRow(NVWStaff& staff, SubscriptionList* node, uint32_t targetSid)
{
    SubscriptionList* target = FindSubscriptionByID(staff.subscriptions, targetSid);
    if (!target || target == node)
        return;
    SubscriptionList* container = FindContainerSubscription(staff.subscriptions, targetSid);
    IncreaseSubscriptionsOrder(staff.subscriptions, target->orderID);
    node->orderID = target->orderID + 1;
    MoveIntoFolder(staff, node, container);
}

DropResult AddDroppedFeed(NVWStaff& staff, const FeedCandidate& candidate, uint32_t targetSid)
{
    std::optional<FeedCandidate> checked = MakeCandidate(candidate.feedURL, candidate.name);
    if (!checked)
        return {DropOutcome::kNoFeed, 0};
    const std::string& url = checked->feedURL;
    const SubscriptionList* existing = FindSubscriptionByURL(staff.subscriptions, url);
    if (!existing && !checked->name.empty())
        existing = FindSubscriptionByName(staff.subscriptions, NameField(checked->name).view());
    if (existing)
        return {DropOutcome::kAlreadySubscribed, existing->sid};

    SubscriptionList feedTemplate;
    feedTemplate.siteType = kSiteTypeRSS;
    feedTemplate.checkType = candidate.checkType;
    // Named by its address until its channel names it.
    feedTemplate.name = checked->name.empty() ? std::string_view(url) : std::string_view(checked->name);
    feedTemplate.description = candidate.description;
    feedTemplate.homeURL = candidate.homeURL;
    feedTemplate.accessURL = url;
    feedTemplate.orderID = MaximumSubscriptionsOrder(staff.subscriptions) + 1;
    staff.subscriptions = AddSubscriptionList(staff.subscriptions, feedTemplate);
    SubscriptionList* feed = FindSubscriptionByID(staff.subscriptions, feedTemplate.sid);
    if (!feed)
        return {DropOutcome::kNoFeed, 0};
    LogInfo("Dragging URL : %s", url.c_str());
    PlaceAfterRow(staff, feed, targetSid);
    staff.interval = 0;
    MarkAutoSave(&staff);
    return {DropOutcome::kAdded, feed->sid};
}

DropResult SubscribeDroppedURL(NVWStaff& staff, std::string_view url, uint32_t targetSid)
{
    std::optional<FeedCandidate> checked = MakeCandidate(url);
    if (!checked)
        return {DropOutcome::kNoFeed, 0};
    if (const SubscriptionList* existing = FindSubscriptionByURL(staff.subscriptions, checked->feedURL))
        return {DropOutcome::kAlreadySubscribed, existing->sid};
    const uint32_t sid = SubscribeURLInViewerWindow(&staff, checked->feedURL);
    SubscriptionList* feed = FindSubscriptionByID(staff.subscriptions, sid);
    if (!feed)
        return {DropOutcome::kNoFeed, 0};
    LogInfo("Dragging URL : %s", checked->feedURL.c_str());
    PlaceAfterRow(staff, feed, targetSid);
    return {DropOutcome::kAdded, sid};
}

/* ---- The pseudo lists ---- */

uint32_t AppendCoolSubscription(NVWStaff& staff)
{
    if (uint32_t existing = FindCoolSubscriptionID(staff.subscriptions); existing != 0)
        return existing;
    SubscriptionList listTemplate;
    listTemplate.siteType = kSiteTypeCoolList;
    listTemplate.name = kCoolNewsListName;
    listTemplate.accessURL = kCoolNewsListURL;
    staff.subscriptions = AddSubscriptionList(staff.subscriptions, listTemplate);
    SubscriptionList* list = FindSubscriptionByID(staff.subscriptions, listTemplate.sid);
    for (NewsList* item = staff.news; item; item = item->next) {
        if (!item->parent)
            item->parent = list;
    }
    return listTemplate.sid;
}

/* ---- The rows as an item model ---- */

SubscriptionPaneModel::SubscriptionPaneModel(NVWStaff* staff, QObject* parent)
    : QAbstractItemModel(parent), fStaff(staff)
{
    BuildStructure();
    RecountAll();
}

void SubscriptionPaneModel::SetCountDisplay(CountDisplay display)
{
    if (display == fDisplay)
        return;
    fDisplay = display;
    CountsChanged();
}

void SubscriptionPaneModel::SortChildren(std::vector<uint32_t>& sids) const
{
    std::sort(sids.begin(), sids.end(),
              [this](uint32_t a, uint32_t b) { return IsRowBefore(*fNodes.at(a), *fNodes.at(b)); });
}

void SubscriptionPaneModel::RenumberPlaces(uint32_t parentSid)
{
    const std::vector<uint32_t>& sids = fChildren[parentSid];
    for (int row = 0; row < int(sids.size()); ++row)
        fPlaces[sids[size_t(row)]] = {parentSid, row};
}

void SubscriptionPaneModel::BuildStructure()
{
    fNodes.clear();
    fChildren.clear();
    fPlaces.clear();
    fChildren[0];
    // Iterative over the chains, so a long top level costs no deep stack.
    std::vector<SubscriptionList*> pending;
    for (SubscriptionList* node = fStaff ? fStaff->subscriptions : nullptr; node; node = node->next)
        pending.push_back(node);
    for (size_t next = 0; next < pending.size(); ++next) {
        SubscriptionList* node = pending[next];
        fNodes[node->sid] = node;
        fChildren[node->parent ? node->parent->sid : 0].push_back(node->sid);
        if (node->siteType == kSiteTypeGroup)
            fChildren[node->sid];
        for (SubscriptionList* member = node->child; member; member = member->next)
            pending.push_back(member);
    }
    for (auto& [parentSid, sids] : fChildren) {
        SortChildren(sids);
        RenumberPlaces(parentSid);
    }
}

// One walk over the global list for every row. Each item counts for its own
// subscription only; a folder adds up its members' counts when asked.
void SubscriptionPaneModel::RecountAll()
{
    fCounts.clear();
    fUnreadHot = 0;
    const NewsList* news = fStaff ? fStaff->news : nullptr;
    for (const NewsList* item = news; item; item = item->next) {
        const bool unread = (item->flags & kNewsFlagRead) == 0;
        if (unread && (item->flags & kNewsFlagHot))
            ++fUnreadHot;
        if (!item->parent)
            continue;
        RowCounts& counts = fCounts[item->parent->sid];
        ++counts.all;
        counts.unread += unread ? 1 : 0;
    }
    if (fDisplay == CountDisplay::kHidden)
        return;
    for (const auto& [sid, node] : fNodes) {
        if (node->siteType == kSiteTypePsedo)
            fCounts[sid].unread = CountUnreadNewsByKeyword(news, node->name.view());
    }
}

// A feed's or mail account's own counts and the hot count, in one walk; a
// folder's follow from its members'.
void SubscriptionPaneModel::RecountOne(SubscriptionList* subscription)
{
    const NewsList* news = fStaff ? fStaff->news : nullptr;
    switch (subscription->siteType) {
    case kSiteTypeHotList:
        fUnreadHot = CountUnreadHotNews(news);
        return;
    case kSiteTypeCoolList:
    case kSiteTypeGroup:
        return;
    case kSiteTypePsedo:
        fCounts[subscription->sid].unread =
            fDisplay == CountDisplay::kShown ? CountUnreadNewsByKeyword(news, subscription->name.view()) : 0;
        return;
    case kSiteTypeRSS:
    case kSiteTypePOP:
        break;
    }
    RowCounts counts;
    uint32_t unreadHot = 0;
    for (const NewsList* item = news; item; item = item->next) {
        const bool unread = (item->flags & kNewsFlagRead) == 0;
        if (unread && (item->flags & kNewsFlagHot))
            ++unreadHot;
        if (item->parent != subscription)
            continue;
        ++counts.all;
        counts.unread += unread ? 1 : 0;
    }
    fCounts[subscription->sid] = counts;
    fUnreadHot = unreadHot;
}

SubscriptionPaneModel::RowCounts SubscriptionPaneModel::CountsOf(const SubscriptionList& subscription) const
{
    auto own = fCounts.find(subscription.sid);
    RowCounts counts = own == fCounts.end() ? RowCounts{} : own->second;
    if (subscription.siteType != kSiteTypeGroup)
        return counts;
    auto members = fChildren.find(subscription.sid);
    if (members == fChildren.end())
        return counts;
    for (uint32_t member : members->second) {
        auto found = fCounts.find(member);
        auto node = fNodes.find(member);
        // A keyword member's count is of matches, not of the folder's items.
        if (found == fCounts.end() || node == fNodes.end() || node->second->siteType == kSiteTypePsedo)
            continue;
        counts.all += found->second.all;
        counts.unread += found->second.unread;
    }
    return counts;
}

uint32_t SubscriptionPaneModel::RowCount(const SubscriptionList& subscription) const
{
    const RowCounts found = CountsOf(subscription);
    switch (subscription.siteType) {
    case kSiteTypePOP:
        return found.all;
    case kSiteTypeHotList:
        return fUnreadHot;
    case kSiteTypeCoolList:
        return 0;
    case kSiteTypePsedo:
        return fDisplay == CountDisplay::kShown ? found.unread : 0;
    case kSiteTypeRSS:
    case kSiteTypeGroup:
        return found.unread;
    }
    return 0;
}

void SubscriptionPaneModel::Reload()
{
    beginResetModel();
    BuildStructure();
    RecountAll();
    endResetModel();
}

void SubscriptionPaneModel::Restructure()
{
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<uint32_t> sids;
    sids.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        sids.push_back(uint32_t(index.internalId()));
    BuildStructure();
    RecountAll();
    QModelIndexList after;
    after.reserve(before.size());
    for (uint32_t sid : sids)
        after.push_back(IndexOf(sid));
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void SubscriptionPaneModel::EmitRowChanged(uint32_t sid)
{
    QModelIndex index = IndexOf(sid);
    if (index.isValid())
        emit dataChanged(index, index);
}

void SubscriptionPaneModel::RowChanged(uint32_t sid)
{
    auto found = fNodes.find(sid);
    if (found == fNodes.end()) {
        const SubscriptionList* node = fStaff ? FindSubscriptionByID(fStaff->subscriptions, sid) : nullptr;
        if (!node)
            return;
        RowAdded(*node);
        if (fNodes.count(sid))
            RowChanged(sid);
        return;
    }
    SubscriptionList* node = found->second;
    const uint32_t unreadHot = fUnreadHot;
    RecountOne(node);
    EmitRowChanged(sid);
    if (node->parent)
        EmitRowChanged(node->parent->sid);
    if (node->siteType == kSiteTypeGroup) {
        for (uint32_t member : fChildren[sid])
            EmitRowChanged(member);
    }
    if (fUnreadHot != unreadHot && node->siteType != kSiteTypeHotList)
        EmitRowChanged(FindHotSubscriptionID(fStaff->subscriptions));
}

void SubscriptionPaneModel::RowAdded(const SubscriptionList& subscription)
{
    if (fNodes.count(subscription.sid))
        return;
    const uint32_t parentSid = subscription.parent ? subscription.parent->sid : 0;
    if (parentSid != 0 && !fNodes.count(parentSid)) {
        Restructure();
        return;
    }
    SubscriptionList* node = FindSubscriptionByID(fStaff->subscriptions, subscription.sid);
    if (!node)
        return;
    std::vector<uint32_t>& siblings = fChildren[parentSid];
    fNodes[node->sid] = node;
    auto at = std::lower_bound(siblings.begin(), siblings.end(), node->sid,
                               [this](uint32_t a, uint32_t b) { return IsRowBefore(*fNodes.at(a), *fNodes.at(b)); });
    const int row = int(at - siblings.begin());
    beginInsertRows(IndexOf(parentSid), row, row);
    siblings.insert(at, node->sid);
    RenumberPlaces(parentSid);
    // A node that just joined the tree has no items in the global list yet:
    // only keyword rows need counting.
    if (node->siteType == kSiteTypeGroup) {
        std::vector<uint32_t>& members = fChildren[node->sid];
        for (SubscriptionList* member = node->child; member; member = member->next) {
            fNodes[member->sid] = member;
            members.push_back(member->sid);
            if (member->siteType == kSiteTypePsedo)
                RecountOne(member);
        }
        SortChildren(members);
        RenumberPlaces(node->sid);
    }
    if (node->siteType == kSiteTypePsedo)
        RecountOne(node);
    endInsertRows();
    if (parentSid != 0)
        EmitRowChanged(parentSid);
}

void SubscriptionPaneModel::RowRemoved(uint32_t sid)
{
    auto place = fPlaces.find(sid);
    if (place == fPlaces.end())
        return;
    const Place where = place->second;
    // The records are gone already: forget them before any view asks.
    std::vector<uint32_t> gone{sid};
    for (size_t next = 0; next < gone.size(); ++next) {
        if (auto members = fChildren.find(gone[next]); members != fChildren.end())
            gone.insert(gone.end(), members->second.begin(), members->second.end());
    }
    for (uint32_t each : gone) {
        fNodes.erase(each);
        fCounts.erase(each);
    }
    beginRemoveRows(IndexOf(where.parentSid), where.row, where.row);
    for (uint32_t each : gone) {
        fPlaces.erase(each);
        fChildren.erase(each);
    }
    std::vector<uint32_t>& siblings = fChildren[where.parentSid];
    siblings.erase(siblings.begin() + where.row);
    RenumberPlaces(where.parentSid);
    endRemoveRows();
    if (where.parentSid != 0)
        EmitRowChanged(where.parentSid);
    if (uint32_t hot = FindHotSubscriptionID(fStaff->subscriptions); hot != 0)
        RowChanged(hot);
}

void SubscriptionPaneModel::CountsChanged()
{
    RecountAll();
    for (const auto& [parentSid, sids] : fChildren) {
        if (sids.empty())
            continue;
        const QModelIndex parentIndex = IndexOf(parentSid);
        if (parentSid != 0 && !parentIndex.isValid())
            continue;
        emit dataChanged(index(0, 0, parentIndex), index(int(sids.size()) - 1, 0, parentIndex));
    }
}

QModelIndex SubscriptionPaneModel::IndexOf(uint32_t sid) const
{
    auto place = fPlaces.find(sid);
    if (place == fPlaces.end())
        return {};
    return createIndex(place->second.row, 0, quintptr(sid));
}

uint32_t SubscriptionPaneModel::SidOf(const QModelIndex& index) const
{
    return index.isValid() ? uint32_t(index.internalId()) : 0;
}

SubscriptionList* SubscriptionPaneModel::SubscriptionOf(const QModelIndex& index) const
{
    auto found = fNodes.find(SidOf(index));
    return found == fNodes.end() ? nullptr : found->second;
}

std::vector<uint32_t> SubscriptionPaneModel::RowsInOrder() const
{
    std::vector<uint32_t> rows;
    std::vector<uint32_t> stack;
    auto pushChildren = [this, &stack](uint32_t parentSid) {
        auto found = fChildren.find(parentSid);
        if (found == fChildren.end())
            return;
        stack.insert(stack.end(), found->second.rbegin(), found->second.rend());
    };
    pushChildren(0);
    while (!stack.empty()) {
        uint32_t sid = stack.back();
        stack.pop_back();
        rows.push_back(sid);
        pushChildren(sid);
    }
    return rows;
}

QModelIndex SubscriptionPaneModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    auto found = fChildren.find(SidOf(parent));
    if (found == fChildren.end() || row >= int(found->second.size()))
        return {};
    return createIndex(row, column, quintptr(found->second[size_t(row)]));
}

QModelIndex SubscriptionPaneModel::parent(const QModelIndex& child) const
{
    auto place = fPlaces.find(SidOf(child));
    if (place == fPlaces.end() || place->second.parentSid == 0)
        return {};
    return IndexOf(place->second.parentSid);
}

int SubscriptionPaneModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    auto found = fChildren.find(SidOf(parent));
    return found == fChildren.end() ? 0 : int(found->second.size());
}

int SubscriptionPaneModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool SubscriptionPaneModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

// The info line's text for a row: its name, address and counts.
static QString MakeRowInfo(const SubscriptionList& node, uint32_t unread, uint32_t all)
{
    QString name = QString::fromUtf8(node.name.view().data(), qsizetype(node.name.view().size()));
    switch (node.siteType) {
    case kSiteTypeRSS:
        return QStringLiteral("%1 — %2 unread of %3 — %4")
            .arg(name.isEmpty() ? QString::fromUtf8(kUntitledName.data(), qsizetype(kUntitledName.size())) : name)
            .arg(unread)
            .arg(all)
            .arg(QString::fromUtf8(node.accessURL.view().data(), qsizetype(node.accessURL.view().size())));
    case kSiteTypePOP:
        return QStringLiteral("%1 — %2 items").arg(name).arg(all);
    case kSiteTypeGroup:
        return QStringLiteral("%1 — %2 unread of %3").arg(name).arg(unread).arg(all);
    case kSiteTypeHotList:
    case kSiteTypePsedo:
        return QStringLiteral("%1 — %2 unread").arg(name).arg(unread);
    case kSiteTypeCoolList:
        return name;
    }
    return name;
}

QVariant SubscriptionPaneModel::data(const QModelIndex& index, int role) const
{
    const SubscriptionList* node = SubscriptionOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const std::string text = MakeRowText(*node, RowCount(*node), fDisplay);
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    case kIconRole:
        return int(ChooseRowIcon(*node, RowCount(*node)));
    case kSidRole:
        return node->sid;
    case kSiteTypeRole:
        return uint32_t(node->siteType);
    case Qt::ToolTipRole:
    case kInfoRole: {
        const RowCounts found = CountsOf(*node);
        const uint32_t unread = node->siteType == kSiteTypeHotList ? fUnreadHot : found.unread;
        return MakeRowInfo(*node, unread, found.all);
    }
    default:
        return {};
    }
}

Qt::ItemFlags SubscriptionPaneModel::flags(const QModelIndex& index) const
{
    const SubscriptionList* node = SubscriptionOf(index);
    if (!node)
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
    if (IsDraggableSubscription(*node))
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

Qt::DropActions SubscriptionPaneModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction | Qt::LinkAction;
}

QStringList SubscriptionPaneModel::mimeTypes() const
{
    return {QString::fromLatin1(kSubscriptionIDsMimeType), QStringLiteral("text/uri-list"),
            QStringLiteral("text/plain")};
}

Qt::DropActions SubscriptionPaneModel::supportedDragActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}
