// The viewer's model operations: the one open viewer, its status stack, the
// moves of parsed items into the global list (with the merge's index), the
// subscriptions added by address or by an OPML list and their removal, and
// the hot-news announcement. Drawing is the presenter's; scheduling and
// fetching are the refresh cycle's.
#include "viewer/ViewerOperations.h"

#include "feeds/RefreshCycle.h"
#include "feeds/RefreshSchedule.h"
#include "model/SubscriptionsFile.h"
#include "net/HttpURL.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "ticker/Filters.h"
#include "viewer/ViewerIdle.h"

#include <new>
#include <utility>

constexpr std::string_view kUntitledOpmlFolderName = "[ OPML ]";

static NVWStaff* gNVWindow = nullptr;
static std::unique_ptr<ViewerPresenter> gPresenter;
static ShiftKeyReader gShiftKeyReader = nullptr;
static uint32_t gDeferedPreDescription = 0;

// The state an operation acts on: the one given, or the open viewer.
static NVWStaff* ResolveWindow(NVWStaff* window)
{
    return window ? window : gNVWindow;
}

/* ---- The open viewer ---- */

static bool IsShiftKeyHeld()
{
    return gShiftKeyReader && gShiftKeyReader();
}

void SetShiftKeyReader(ShiftKeyReader reader)
{
    gShiftKeyReader = reader;
}

NVWStaff* OpenNewsViewerCore(std::unique_ptr<ViewerPresenter> presenter)
{
    if (gNVWindow)
        return gNVWindow;
    bool preCheck = IsShiftKeyHeld();
    NVWStaff* staff = OpenViewerModel();
    gNVWindow = staff;
    gPresenter = presenter ? std::move(presenter) : std::make_unique<LoggingViewerPresenter>();
    staff->newsIndex.Rebuild(staff->news);
    SetNewsStateIndex(&staff->newsIndex);
    SetHotNewsAnnouncer([](NewsList& news) { HotNewsViewerWindow(nullptr, news); });
    CheckManualSubscriptions(staff);
    if (preCheck)
        PreCheckAutoSubscriptions(staff);
    StartViewerIdleTick(staff);
    return staff;
}

OSStatus CloseNewsViewerCore()
{
    NVWStaff* staff = std::exchange(gNVWindow, nullptr);
    if (!staff)
        return kNoErr;
    StopViewerIdleTick();
    SetHotNewsAnnouncer(nullptr);
    SetNewsStateIndex(nullptr);
    gDeferedPreDescription = 0;
    OSStatus status = CloseViewerModel(staff);
    gPresenter.reset();
    return status;
}

NVWStaff* GetNewsViewerStaff()
{
    return gNVWindow;
}

ViewerPresenter* GetViewerPresenter()
{
    return gNVWindow ? gPresenter.get() : nullptr;
}

/* ---- Status line ---- */

uint32_t RegistStatusViewerWindow(NVWStaff* window, std::string_view message)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return 0;
    uint32_t kid = AddNewStatus(staff->statusStack, message);
    ShowChasingStatus(*staff);
    return kid;
}

void UnregistStatusViewerWindow(NVWStaff* window, uint32_t kid)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff || kid == 0)
        return;
    DeleteStatus(staff->statusStack, kid);
}

/* ---- Rows and subscriptions ---- */

void UpdateSubscriptionViewerWindow(NVWStaff* window, uint32_t sid, RowReveal reveal)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff || !gPresenter)
        return;
    if (const SubscriptionList* subscription = FindSubscriptionByID(staff->subscriptions, sid))
        gPresenter->DrawSubscriptionRow(*subscription, reveal);
}

void RefreshSubscriptionViewerWindow(NVWStaff* window, uint32_t sid)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return;
    SubscriptionList* subscription = FindSubscriptionByID(staff->subscriptions, sid);
    if (!subscription)
        return;
    subscription->prevCheckTime = 0;
    staff->interval = 0;
}

bool IsAliveSubscriptionViewerWindow(NVWStaff* window, uint32_t sid)
{
    NVWStaff* staff = ResolveWindow(window);
    return staff && FindSubscriptionByID(staff->subscriptions, sid);
}

// Links a fresh chain (never part of the list) after the global list's
// tail. The index knows the tail, so a feed's items cost O(items), not a
// walk of every item shown; without a usable index the checked append walks.
static NewsList* AppendToGlobalNews(NVWStaff& staff, NewsList* items)
{
    if (!staff.newsIndex.IsIndexing(staff.news))
        return AppendIndexedNewsList(staff.newsIndex, staff.news, items);
    staff.newsIndex.Tail()->next = items;
    staff.newsIndex.NoteAppended(staff.news, items);
    return staff.news;
}

uint32_t AppendNewsInViewerWindow(NVWStaff* window, SubscriptionList& subscription, ChannelNaming naming)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return 0;
    NewsList* items = TakeSubscriptionNews(&subscription);
    uint32_t count = CountNews(items);
    if (items)
        staff->news = AppendToGlobalNews(*staff, items);
    MarkAutoSave(staff);
    if (gPresenter && count > 0)
        gPresenter->DrawNewHeadlines(subscription, count);
    switch (naming) {
    case ChannelNaming::kKept:
        break;
    case ChannelNaming::kNamedByChannel:
        if (OSStatus status = SaveSubscriptionsToFile(staff->subscriptions); status != kNoErr)
            LogFailure("subscriptions not saved after naming %s (%d)", subscription.name.c_str(), int(status));
        break;
    }
    return count;
}

void UpdatePreDescriptionViewerWindow(NVWStaff* window, uint32_t sid)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff || sid == 0 || sid != staff->subscriptionID)
        return;
    gDeferedPreDescription = sid;
}

uint32_t TakeDeferedPreDescription()
{
    return std::exchange(gDeferedPreDescription, 0);
}

// The folder an imported chain goes into: an existing group of that name,
// or a new one at the end of the top level.
static SubscriptionList* FindOrAddFolder(NVWStaff& staff, std::string_view title)
{
    if (SubscriptionList* folder = FindParentSubscriptionByName(staff.subscriptions, title))
        return folder;
    SubscriptionList folderTemplate;
    folderTemplate.siteType = kSiteTypeGroup;
    folderTemplate.name = title;
    folderTemplate.orderID = MaximumSubscriptionsOrder(staff.subscriptions) + 1;
    staff.subscriptions = AddSubscriptionList(staff.subscriptions, folderTemplate);
    SubscriptionList* folder = FindSubscriptionByID(staff.subscriptions, folderTemplate.sid);
    if (folder && gPresenter)
        gPresenter->DrawSubscriptionAdded(*folder);
    return folder;
}

uint32_t SubscribeFeedsInViewerWindow(NVWStaff* window, std::string_view title, SubscriptionList* feeds)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff || !feeds) {
        DisposeSubscriptionList(feeds);
        return 0;
    }
    SubscriptionList* folder = FindOrAddFolder(*staff, title.empty() ? kUntitledOpmlFolderName : title);
    if (!folder) {
        DisposeSubscriptionList(feeds);
        return 0;
    }
    OffsetSubscriptionsOrder(feeds, MaximumSubscriptionsOrder(staff->subscriptions) + 1);
    for (SubscriptionList* feed = feeds; feed; feed = feed->next) {
        feed->parent = folder;
        feed->prevCheckTime = 0;
    }
    folder->child = AttachSubscriptionList(folder->child, feeds);
    if (gPresenter) {
        for (const SubscriptionList* feed = feeds; feed; feed = feed->next)
            gPresenter->DrawSubscriptionAdded(*feed);
    }
    staff->interval = 0;
    MarkAutoSave(staff);
    return folder->sid;
}

// Takes every item of the node and of its members out of the global list.
static void RemoveSubtreeNews(NVWStaff& staff, const SubscriptionList* node)
{
    staff.news = RemoveIndexedNewsByParent(staff.newsIndex, staff.news, node);
    for (const SubscriptionList* member = node->child; member; member = member->next)
        RemoveSubtreeNews(staff, member);
}

static void RemoveSubtreeCaches(NVWStaff& staff, const SubscriptionList* node)
{
    if (node->siteType == kSiteTypeRSS)
        RemoveRssCacheByID(staff.subscriptions, node->sid);
    for (const SubscriptionList* member = node->child; member; member = member->next)
        RemoveSubtreeCaches(staff, member);
}

OSStatus RemoveSubscriptionViewerWindow(NVWStaff* window, uint32_t sid)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return kGenericErr;
    SubscriptionList* node = FindSubscriptionByID(staff->subscriptions, sid);
    if (!node)
        return kFileNotFoundErr;
    if (IsFetchingSubscription(node)) {
        LogFailure("Subscription %u is being fetched; not removed", sid);
        return kGenericErr;
    }
    RemoveSubtreeNews(*staff, node);
    RemoveSubtreeCaches(*staff, node);
    // Only this node's own members: its siblings must keep their histories.
    SubscriptionList* next = std::exchange(node->next, nullptr);
    DisposeLoadedHistory(node);
    node->next = next;
    staff->subscriptions = RemoveSubscriptionByID(staff->subscriptions, sid);
    if (staff->subscriptionID == sid)
        staff->subscriptionID = 0;
    std::erase(staff->selections, sid);
    if (gPresenter)
        gPresenter->DrawSubscriptionRemoved(sid);
    MarkAutoSave(staff);
    return kNoErr;
}

void NeedDownloadCheckViewerWindow(NVWStaff* window)
{
    if (NVWStaff* staff = ResolveWindow(window))
        staff->needDownloadCheck = true;
}

void MarkAutoSave(NVWStaff* window)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return;
    staff->markTime = GetDateTime();
    ++staff->markCount;
}

/* ---- Subscribing by address ---- */

uint32_t SubscribeFeedURL(NVWStaff* window, std::string_view httpURL)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return 0;
    LogInfo("Subscribe URL : %.*s", int(httpURL.size()), httpURL.data());
    SubscriptionList feedTemplate;
    feedTemplate.siteType = kSiteTypeRSS;
    feedTemplate.checkType = kSubscribeURLCheckType;
    feedTemplate.accessURL = httpURL;
    // Named by its address until the channel title names it.
    feedTemplate.name = httpURL;
    feedTemplate.orderID = MaximumSubscriptionsOrder(staff->subscriptions) + 1;
    staff->subscriptions = AddSubscriptionList(staff->subscriptions, feedTemplate);
    staff->subscriptionID = feedTemplate.sid;
    staff->interval = 0;
    MarkAutoSave(staff);
    if (gPresenter) {
        if (const SubscriptionList* feed = FindSubscriptionByID(staff->subscriptions, feedTemplate.sid)) {
            gPresenter->DrawSubscriptionAdded(*feed);
            gPresenter->DrawSubscriptionRow(*feed, RowReveal::kReveal);
        }
    }
    return feedTemplate.sid;
}

uint32_t SubscribeURLInViewerWindow(NVWStaff* window, std::string_view url)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return 0;
    std::optional<std::string> httpURL = FeedURLToHttpURL(url);
    if (!httpURL || !ParseHttpURL(*httpURL) || httpURL->size() > decltype(SubscriptionList::accessURL)::kMaxBytes) {
        LogFailure("Cannot subscribe to %.*s: not a feed address", int(url.size()), url.data());
        return 0;
    }
    if (SubscriptionList* existing = FindSubscriptionByURL(staff->subscriptions, *httpURL)) {
        staff->subscriptionID = existing->sid;
        if (gPresenter)
            gPresenter->DrawSubscriptionRow(*existing, RowReveal::kReveal);
        return existing->sid;
    }
    return SubscribeFeedURL(staff, *httpURL);
}

/* ---- Hot news ---- */

static void AddHotNewsList(NVWStaff& staff)
{
    for (const SubscriptionList* node = staff.subscriptions; node; node = node->next) {
        if (node->siteType == kSiteTypeHotList)
            return;
    }
    SubscriptionList listTemplate;
    listTemplate.siteType = kSiteTypeHotList;
    listTemplate.name = kHotNewsListName;
    staff.subscriptions = AddSubscriptionList(staff.subscriptions, listTemplate);
    if (gPresenter) {
        if (const SubscriptionList* list = FindSubscriptionByID(staff.subscriptions, listTemplate.sid))
            gPresenter->DrawSubscriptionAdded(*list);
    }
}

void HotNewsViewerWindow(NVWStaff* window, NewsList& news)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return;
    if (gPresenter) {
        switch (GetHotNewsRoute(news.effect.view())) {
        case HotNewsRoute::kSoundOnly:
            gPresenter->PlayNewsSound(news);
            break;
        case HotNewsRoute::kNotification:
            gPresenter->NotifyNews(news);
            break;
        case HotNewsRoute::kTicker: {
            std::string_view source;
            if (news.type == kNewsTypeFeed && news.parent)
                source = news.parent->name.view();
            gPresenter->QueueNewsOnTicker(news, source);
            break;
        }
        }
    }
    AddHotNewsList(*staff);
}

bool ReadNewsViewerWindow(NVWStaff* window, uint32_t nid)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff || nid == 0)
        return false;
    NewsList* news = FindNewsByID(staff->news, nid);
    if (!news || (news->flags & kNewsFlagRead))
        return false;
    news->flags |= kNewsFlagRead;
    if (news->parent && (news->parent->options & kOptionRetainRead))
        news->flags |= kNewsFlagRetained;
    MarkAutoSave(staff);
    if (news->parent)
        UpdateSubscriptionViewerWindow(staff, news->parent->sid, RowReveal::kRedrawOnly);
    return true;
}
