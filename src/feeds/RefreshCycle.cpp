// The refresh cycle's tasks and checks. A download task holds its
// subscription's `sid` and its own thread number, never a pointer across a
// wait: after every wait it finds the subscription again and ends quietly
// when it is gone, so neither a replacement by an OPML list nor the viewer
// closing at quit can leave it writing into freed memory.
#include "feeds/RefreshCycle.h"

#include "feeds/AtomParser.h"
#include "feeds/FeedKind.h"
#include "feeds/NewsState.h"
#include "feeds/RefreshOpml.h"
#include "feeds/RefreshSchedule.h"
#include "feeds/RefreshURLService.h"
#include "feeds/Restrictions.h"
#include "feeds/RssParser.h"
#include "feeds/TextBuffer.h"
#include "feeds/TextTools.h"
#include "feeds/URLs.h"
#include "net/HttpClient.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Tasks.h"
#include "settings/Configuration.h"
#include "viewer/ViewerIdle.h"
#include "viewer/ViewerOperations.h"

#include <new>
#include <optional>
#include <string>
#include <utility>

// Redirect targets that name an administrator's status page, not a feed.
constexpr std::string_view kStatusPageNames[] = {"/status17.html", "/status02.html"};
constexpr std::string_view kFileScheme = "file://";
// Room for a redirected address: longer than a stored feed URL, so that a
// long redirect target is followed whole rather than cut.
constexpr size_t kWorkingURLWidth = 2048;

static uint32_t gRunningRssThreads = 0;
static uint32_t gLastThreadID = 0;
static std::optional<RefreshDownloadMethod> gDownloadMethod;

static NVWStaff* ResolveWindow(NVWStaff* window)
{
    return window ? window : GetNewsViewerStaff();
}

uint32_t CountRunningRssThreads()
{
    return gRunningRssThreads;
}

void ChooseRefreshDownloadMethod(RefreshDownloadMethod method)
{
    gDownloadMethod = method;
}

/* ---- Parsing a document into the model ---- */

// The document in the cache file, ready for the parsers; null when it is
// missing, empty or unreadable.
static std::optional<std::string> ReadCachedDocument(const std::filesystem::path& file)
{
    std::optional<std::string> data = GetDataFromFile(file);
    if (!data)
        return std::nullopt;
    ConvertUnicodeDocument(*data);
    RepairNullChars(*data);
    return data;
}

// A subscription added by its address carries the address as its name until
// its channel title names it.
static bool IsNamedByAddress(const SubscriptionList& subscription)
{
    using NameField = decltype(SubscriptionList::name);
    return !subscription.name.empty() && subscription.name == NameField(subscription.accessURL.view()).view();
}

struct ParseOutcome {
    int32_t count = kFeedNotRecognizedErr;
    ChannelNaming naming = ChannelNaming::kKept;
};

// Runs the parser `kind` names on `data` for the subscription, comparing with
// its launch-time history before its first parse and with the global list
// after it. New items go to the viewer. Only a parse that read the feed
// (count 0 or more) retires the launch-time history and marks the feed
// fetched: a broken document must not cost the read marks the history holds.
static ParseOutcome ParseIntoSubscription(SubscriptionList& subscription, std::string_view data, FeedKind kind)
{
    NVWStaff* staff = GetNewsViewerStaff();
    const bool fetched = subscription.flags & kSubscriptionFlagFetched;
    // Pointed at the global list only while the parse runs: the list's head
    // may change between parses, and a stale `history` must never remain.
    if (fetched)
        subscription.history = staff ? staff->news : nullptr;
    const bool namedByAddress = IsNamedByAddress(subscription);
    if (namedByAddress)
        subscription.name = std::string_view();

    bool named = false;
    ParseOutcome outcome;
    outcome.count = kind == FeedKind::kAtom ? ParseAtomNews(subscription, data, named)
                                            : ParseRSSNews(subscription, data, named);
    if (namedByAddress && subscription.name.empty())
        subscription.name = subscription.accessURL.view();
    if (fetched)
        subscription.history = nullptr;
    outcome.naming = named ? ChannelNaming::kNamedByChannel : ChannelNaming::kKept;

    if (outcome.count > 0 || (outcome.count == 0 && subscription.news))
        AppendNewsInViewerWindow(nullptr, subscription, outcome.naming);
    else if (named)
        MarkAutoSave(nullptr);
    if (outcome.count < 0) {
        DisposeNewsList(TakeSubscriptionNews(&subscription));
        return outcome;
    }
    if (!fetched && subscription.history) {
        DisposeNewsList(subscription.history);
        subscription.history = nullptr;
    }
    subscription.flags |= kSubscriptionFlagFetched;
    return outcome;
}

OSStatus GetNewsFromRssCache(SubscriptionList& subscription)
{
    std::filesystem::path file;
    OSStatus result = GetRdfCacheFile(subscription.accessURL.view(), file);
    std::optional<std::string> data;
    if (result == kNoErr)
        data = ReadCachedDocument(file);
    if (!data) {
        result = kRefreshCacheUnreadableErr;
    } else {
        ParseOutcome outcome = ParseIntoSubscription(subscription, *data, GetFeedKind(*data, DocumentSource::kCache));
        result = outcome.count < 0 ? outcome.count : kNoErr;
    }
    subscription.accessErrors = result;
    return result;
}

/* ---- A download task's bookkeeping ---- */

// What a download task keeps across its waits. Its end removes the status
// line and lowers the feed download counter, on every way out.
class DownloadRun {
public:
    DownloadRun(uint32_t sid, uint32_t tid) : fSID(sid), fTID(tid) {}
    ~DownloadRun()
    {
        UnregistStatusViewerWindow(nullptr, statusKid);
        if (gRunningRssThreads > 0)
            --gRunningRssThreads;
    }
    DownloadRun(const DownloadRun&) = delete;
    DownloadRun& operator=(const DownloadRun&) = delete;

    // The subscription, found again in the open viewer's tree; null once it
    // was removed, the viewer closed, or another fetch took it over.
    SubscriptionList* Subscription() const
    {
        NVWStaff* staff = GetNewsViewerStaff();
        if (!staff)
            return nullptr;
        SubscriptionList* subscription = FindSubscriptionByID(staff->subscriptions, fSID);
        return subscription && subscription->thread == fTID ? subscription : nullptr;
    }

    uint32_t SID() const { return fSID; }
    uint32_t TID() const { return fTID; }

    uint32_t statusKid = 0;
    std::filesystem::path cacheFile;
    ChannelNaming naming = ChannelNaming::kKept;

private:
    uint32_t fSID;
    uint32_t fTID;
};

// Whether the end of a download shows failures and asks for enclosure
// downloads (the conditional GET path) or only records the outcome.
enum class DownloadEnd { kFull, kRecordOnly };

static void EndDownload(DownloadRun& run, SubscriptionList& subscription, OSStatus result, DownloadEnd end)
{
    subscription.accessState = kAccessStateDone;
    subscription.accessErrors = result;
    subscription.thread = 0;
    bool revealed = run.naming == ChannelNaming::kNamedByChannel;
    UpdateSubscriptionViewerWindow(nullptr, subscription.sid, revealed ? RowReveal::kReveal : RowReveal::kRedrawOnly);
    UnregistStatusViewerWindow(nullptr, std::exchange(run.statusKid, 0));
    switch (end) {
    case DownloadEnd::kRecordOnly:
        break;
    case DownloadEnd::kFull:
        if (result != kNoErr)
            UpdatePreDescriptionViewerWindow(nullptr, subscription.sid);
        else if (subscription.options & kOptionDownloadEnclosures)
            NeedDownloadCheckViewerWindow(nullptr);
        break;
    }
}

// The status line, the cache file and the accessing state.
static OSStatus BeginDownload(DownloadRun& run, SubscriptionList& subscription)
{
    std::string message = "Checking " + std::string(SubscriptionDisplayName(subscription));
    run.statusKid = RegistStatusViewerWindow(nullptr, message);
    OSStatus status = GetRdfCacheFile(subscription.accessURL.view(), run.cacheFile);
    if (status != kNoErr) {
        LogFailure("No cache file for %s (%d)", subscription.accessURL.c_str(), int(status));
        return status;
    }
    subscription.accessState = kAccessStateAccessing;
    UpdateSubscriptionViewerWindow(nullptr, subscription.sid, RowReveal::kRedrawOnly);
    return kNoErr;
}

static uint32_t CacheFileDate(const std::filesystem::path& file)
{
    std::optional<FileDates> dates = FSpGetFileDate(file);
    return dates ? dates->modificationDate : 0;
}

/* ---- One attempt's outcome ---- */

enum class AttemptVerdict {
    kParse,     // the cache holds the document to parse
    kRetryRule, // IsWorthRetrying decides
    kStop,      // the download ends with the result
};

static bool IsStatusPage(std::string_view target)
{
    for (std::string_view page : kStatusPageNames) {
        if (target.find(page) != std::string_view::npos)
            return true;
    }
    return false;
}

static AttemptVerdict FollowRedirect(TextBuffer& workingURL, std::string_view moved, OSStatus& result)
{
    LogFailure("Http URL Moved Err : %.*s -> %.*s", int(workingURL.size()), workingURL.data(), int(moved.size()),
               moved.data());
    if (IsStatusPage(moved)) {
        result = kRefreshRestrictedErr;
        return AttemptVerdict::kStop;
    }
    if (moved.starts_with(kFileScheme) || RedirectURL(workingURL, moved) != kNoErr)
        return AttemptVerdict::kStop;
    LogFailure("Http URL Redirect  : %.*s", int(workingURL.size()), workingURL.data());
    // The restrictions hold for wherever a feed leads, not only its own address.
    if (IsRestrictedURL(workingURL.view())) {
        result = kRefreshRestrictedErr;
        return AttemptVerdict::kStop;
    }
    return AttemptVerdict::kRetryRule;
}

// Logs the attempt's result and decides what follows; a redirect moves
// `workingURL`, a new Last-Modified dates the cache file, 304 becomes 0.
static AttemptVerdict JudgeAttempt(const SubscriptionList& subscription, const std::filesystem::path& cacheFile,
                                   TextBuffer& workingURL, std::string_view moved, uint32_t newDate, OSStatus& result)
{
    const char* feedURL = subscription.accessURL.c_str();
    switch (result) {
    case kHttpStatusErr:
        LogFailure("Http Not Found Err : %s", feedURL);
        return AttemptVerdict::kStop;
    case kHttpMovedErr:
        return FollowRedirect(workingURL, moved, result);
    case kHttpUnavailableErr:
        LogFailure("Http Unavailable Err : %.*s", int(workingURL.size()), workingURL.data());
        return AttemptVerdict::kRetryRule;
    case kNoErr:
        if (newDate != 0) {
            FSpSetFileDate(cacheFile, newDate, newDate);
            LogInfo("Http Gotton Newly  : %s", feedURL);
        } else {
            LogInfo("Http Gotton Every  : %s", feedURL);
        }
        return AttemptVerdict::kParse;
    case kHttpNotModifiedErr:
        LogInfo("Http Not Modified  : %s", feedURL);
        result = kNoErr;
        return AttemptVerdict::kParse;
    default:
        LogFailure("Http Error [%d] : %s", int(result), feedURL);
        return AttemptVerdict::kRetryRule;
    }
}

/* ---- The downloaded document ---- */

// An OPML list at a feed's address: its feeds are subscribed in a folder
// named by its title and the subscription itself is removed. True when the
// subscription is gone (the task must not touch it again). The list and the
// cache file are deleted in both cases.
static bool ReplaceWithOpmlFeeds(DownloadRun& run, SubscriptionList& subscription, std::string_view data)
{
    NVWStaff* staff = GetNewsViewerStaff();
    SubscriptionList* feeds = LoadSubscriptionsFromOpml(data, staff ? staff->subscriptions : nullptr);
    DeleteFile(run.cacheFile);
    if (!feeds)
        return false;
    std::string title = ParseOpmlTitle(data);
    LogInfo("%s is a subscription list: %u feeds subscribed in \"%s\"", subscription.accessURL.c_str(),
            CountSubscriptions(feeds), title.c_str());
    SubscribeFeedsInViewerWindow(nullptr, title, feeds);
    // The fetch ends here, so that the removal is not refused for it.
    subscription.thread = 0;
    return RemoveSubscriptionViewerWindow(nullptr, run.SID()) == kNoErr;
}

/* ---- The conditional GET task ---- */

static WorkerTask DownloadRSSThread(uint32_t sid, uint32_t tid)
{
    DownloadRun run(sid, tid);
    SubscriptionList* subscription = run.Subscription();
    if (!subscription)
        co_return;
    if (IsRestrictedURL(subscription->accessURL.view())) {
        EndDownload(run, *subscription, kRefreshRestrictedErr, DownloadEnd::kFull);
        co_return;
    }
    OSStatus result = BeginDownload(run, *subscription);
    TextScratch<kWorkingURLWidth> workingURL(subscription->accessURL.view());
    const uint32_t conditionDate = CacheFileDate(run.cacheFile);
    uint32_t attempt = 0;
    bool attempting = result == kNoErr;
    while (attempting) {
        uint32_t newDate = 0;
        std::string moved;
        std::string url(workingURL.view());
        std::filesystem::path file = run.cacheFile;
        result = co_await HttpConditionalGet(tid, url, conditionDate, file, newDate, moved);
        ++attempt;
        if (!(subscription = run.Subscription()))
            co_return;
        AttemptVerdict verdict = JudgeAttempt(*subscription, run.cacheFile, workingURL, moved, newDate, result);
        if (verdict == AttemptVerdict::kRetryRule) {
            attempting = IsWorthRetrying(result, attempt);
            continue;
        }
        if (verdict == AttemptVerdict::kStop)
            break;

        std::optional<std::string> data = ReadCachedDocument(run.cacheFile);
        if (!data) {
            LogFailure("Cannot read the document of %s", subscription->accessURL.c_str());
            result = kRefreshCacheUnreadableErr;
            break;
        }
        FeedKind kind = GetFeedKind(*data, DocumentSource::kNetwork);
        if (kind == FeedKind::kOpml) {
            if (ReplaceWithOpmlFeeds(run, *subscription, *data))
                co_return;
            break;
        }
        ParseOutcome outcome = ParseIntoSubscription(*subscription, *data, kind);
        data.reset();
        run.naming = outcome.naming;
        result = outcome.count < 0 ? outcome.count : kNoErr;
        // Without a window nothing else tells that a server sent something
        // that is not a feed.
        if (outcome.count < 0)
            LogFailure("Feed Not Read [%d] : %s", int(outcome.count), subscription->accessURL.c_str());
        if (outcome.count >= 0) {
            if (std::optional<std::string> iconURL = BeginSubscriptionFavicon(*subscription)) {
                FaviconCheck check;
                std::string checkURL = *iconURL;
                std::string* contentType = &check.contentType;
                check.status = co_await HttpSimpleCheck(checkURL, contentType);
                if (!(subscription = run.Subscription()))
                    co_return;
                EndSubscriptionFavicon(*subscription, *iconURL, check);
            }
        }
        if (subscription->flags & kSubscriptionFlagSearch)
            DeleteFile(run.cacheFile);
        break;
    }
    EndDownload(run, *subscription, result, DownloadEnd::kFull);
}

/* ---- The URL download service task ---- */

// Up to kURLServiceAttempts transfers, each given up after
// kURLServiceLimitTicks; `gone` tells that the subscription went away meanwhile.
static NetTask TransferWithURLService(DownloadRun& run, URLDownload& download, bool& gone)
{
    OSStatus result = kNoErr;
    for (uint32_t attempt = 0; attempt < kURLServiceAttempts; ++attempt) {
        SubscriptionList* subscription = run.Subscription();
        if (!subscription) {
            gone = true;
            co_return kGenericErr;
        }
        result = download.Start(subscription->accessURL.view(), run.cacheFile);
        if (result == kNoErr) {
            subscription->accessState = kAccessStateAccessing;
            UpdateSubscriptionViewerWindow(nullptr, run.SID(), RowReveal::kRedrawOnly);
            const uint32_t start = TickCount();
            while (!download.IsFinished()) {
                co_await download.Wait();
                if (!(subscription = run.Subscription())) {
                    gone = true;
                    co_return kGenericErr;
                }
                if (!download.IsFinished() && TickCount() - start > kURLServiceLimitTicks)
                    download.Abort();
            }
            result = download.Result();
        }
        if (result == kNoErr)
            break;
        LogFailure("URL download of %s failed [%d]", subscription->accessURL.c_str(), int(result));
    }
    co_return result;
}

static WorkerTask UADownloadRSSThread(uint32_t sid, uint32_t tid)
{
    DownloadRun run(sid, tid);
    SubscriptionList* subscription = run.Subscription();
    if (!subscription)
        co_return;
    std::string message = "Checking " + std::string(SubscriptionDisplayName(*subscription));
    run.statusKid = RegistStatusViewerWindow(nullptr, message);
    OSStatus result = GetRdfCacheFile(subscription->accessURL.view(), run.cacheFile);
    if (result == kNoErr) {
        URLDownload download;
        bool gone = false;
        result = co_await TransferWithURLService(run, download, gone);
        if (gone || !(subscription = run.Subscription()))
            co_return;
    }
    if (result == kNoErr) {
        std::optional<std::string> data = ReadCachedDocument(run.cacheFile);
        ParseOutcome outcome;
        if (data)
            outcome = ParseIntoSubscription(*subscription, *data, FeedKind::kRss);
        run.naming = outcome.naming;
        result = !data ? kRefreshCacheUnreadableErr : outcome.count < 0 ? kFeedNotRecognizedErr : kNoErr;
    }
    EndDownload(run, *subscription, result, DownloadEnd::kRecordOnly);
}

/* ---- Starting downloads ---- */

static RefreshDownloadMethod GetDownloadMethod()
{
    if (!gDownloadMethod)
        gDownloadMethod = ENVUseCache() ? RefreshDownloadMethod::kConditionalGet : RefreshDownloadMethod::kURLService;
    return *gDownloadMethod;
}

static uint32_t NextThreadID()
{
    if (++gLastThreadID == 0)
        ++gLastThreadID;
    return gLastThreadID;
}

OSStatus GetNewsFromRssSite(SubscriptionList& subscription)
{
    if (subscription.siteType != kSiteTypeRSS)
        return kParamErr;
    // A refresh command can make a feed due while its download still runs:
    // a second task would write the same cache file and subscription.
    if (subscription.thread != 0) {
        LogInfo("%s is already being fetched", subscription.accessURL.c_str());
        return kGenericErr;
    }
    uint32_t tid = NextThreadID();
    std::optional<WorkerTask> task;
    try {
        switch (GetDownloadMethod()) {
        case RefreshDownloadMethod::kConditionalGet:
            task.emplace(DownloadRSSThread(subscription.sid, tid));
            break;
        case RefreshDownloadMethod::kURLService:
            task.emplace(UADownloadRSSThread(subscription.sid, tid));
            break;
        }
    } catch (const std::bad_alloc&) {
        LogFailure("No memory for the download of %s", subscription.accessURL.c_str());
        return kMemFullErr;
    }
    // Marked before the start: without an event loop the task runs at once.
    subscription.thread = tid;
    ++gRunningRssThreads;
    StartWorkerTask(std::move(*task));
    return kNoErr;
}

/* ---- Checks driven by the viewer ---- */

void CheckAutoSubscriptions(NVWStaff* window)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return;
    const uint32_t now = TickCount();
    if (now - staff->prevASTicks < staff->interval)
        return;
    if (CountRunningThreads() < kMaxRunningThreads) {
        if (SubscriptionList* subscription = FindTimeUpSubscription(staff->subscriptions)) {
            if (subscription->siteType == kSiteTypeRSS && GetNewsFromRssSite(*subscription) == kNoErr)
                MarkAutoSave(staff);
            staff->interval = kRefreshStartedTicks;
        } else {
            ExecAutoSave(staff);
            staff->interval = kRefreshIdleTicks;
        }
    }
    staff->prevASTicks = now;
}

// Parses the cached document of every subscription `next` hands out.
template <typename Next>
static void LoadFromCaches(NVWStaff* staff, const Next& next)
{
    while (SubscriptionList* subscription = next(staff->subscriptions)) {
        if (subscription->siteType != kSiteTypeRSS)
            continue;
        GetNewsFromRssCache(*subscription);
        UpdateSubscriptionViewerWindow(staff, subscription->sid, RowReveal::kRedrawOnly);
    }
}

void CheckManualSubscriptions(NVWStaff* window)
{
    if (NVWStaff* staff = ResolveWindow(window))
        LoadFromCaches(staff, [](SubscriptionList* list) { return FindManualSubscription(list); });
}

void PreCheckAutoSubscriptions(NVWStaff* window)
{
    if (NVWStaff* staff = ResolveWindow(window))
        LoadFromCaches(staff, [](SubscriptionList* list) { return FindTimeUpSubscription(list); });
}

/* ---- Refresh commands ---- */

void RefreshSubscription(NVWStaff* window)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return;
    if (!staff->selections.empty()) {
        for (uint32_t sid : staff->selections)
            BrowserItemRefreshProc(FindSubscriptionByID(staff->subscriptions, sid));
    } else if (SubscriptionList* current = FindSubscriptionByID(staff->subscriptions, staff->subscriptionID)) {
        BrowserItemRefreshProc(current);
    } else {
        RefreshAllSubscription(staff->subscriptions);
    }
    staff->interval = 0;
}

void ResetOneSubscription(NVWStaff* window)
{
    NVWStaff* staff = ResolveWindow(window);
    if (!staff)
        return;
    SubscriptionList* current = FindSubscriptionByID(staff->subscriptions, staff->subscriptionID);
    if (current && current->siteType == kSiteTypeRSS) {
        current->imageURL = std::string_view();
        current->iconURL = std::string_view();
        std::filesystem::path file;
        if (GetRdfCacheFile(current->accessURL.view(), file) == kNoErr)
            ClearRssCacheDate(file);
        MarkAutoSave(staff);
    }
    RefreshSubscription(staff);
}
