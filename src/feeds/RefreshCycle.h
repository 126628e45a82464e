// The feed refresh cycle: the idle tick's check that starts the next due
// download, the download tasks themselves (a conditional GET into the feed's
// cache file with redirects and retries, or the platform's URL download
// service), the parse of the fetched or cached document into the viewer's
// model, and the refresh commands. Scheduling rules and cache file names are
// RefreshSchedule.h's; the model changes go through the viewer's operations.
#pragma once

#include "model/SubscriptionList.h"
#include "platform/Status.h"

#include <cstdint>

struct NVWStaff;

// Results besides the HTTP client's and the parsers'.
constexpr OSStatus kRefreshCacheUnreadableErr = -3; // the cached document is missing, empty or unreadable
constexpr OSStatus kRefreshRestrictedErr = -4;      // a restricted site, or a redirect to a status page

// The alternative path's attempts and its limit per attempt (15 s).
constexpr uint32_t kURLServiceAttempts = 3;
constexpr uint32_t kURLServiceLimitTicks = 900;

/* ---- Driven by the viewer ---- */

// The idle tick's refresh check. Nothing happens until `interval` ticks have
// passed since `prevASTicks`; then, while fewer than kMaxRunningThreads
// workers run, the next due subscription is stamped and, for a feed, its
// download started (`interval` = 3 ticks), or, with nothing due, the
// auto-save check runs (`interval` = 60 s). `prevASTicks` becomes now.
// At most one download starts per check.
void CheckAutoSubscriptions(NVWStaff* window);

// At open: every manual feed (then, for PreCheck, every due feed, which is
// stamped so that none is fetched before its interval) is parsed from its
// cache file, without network access, and its row redrawn.
void CheckManualSubscriptions(NVWStaff* window);
void PreCheckAutoSubscriptions(NVWStaff* window);

/* ---- Downloads ---- */

// Starts the download task of the feed `subscription` (in the open viewer's
// tree): sets `thread` and raises the counters. kParamErr for a node that is
// not a feed, kGenericErr while a download of it already runs, kMemFullErr
// when the task cannot be made (nothing changes then).
// The task re-finds its subscription by `sid` after every wait and ends
// without touching it once it is gone (removed, or the viewer closed).
OSStatus GetNewsFromRssSite(SubscriptionList& subscription);

// Parses the feed's cached document (Atom or RSS, never OPML) without any
// network access, as a fresh download would, and stores the result in
// `accessErrors` (0, a parser's negative result, or
// kRefreshCacheUnreadableErr); `accessState` is not changed.
OSStatus GetNewsFromRssCache(SubscriptionList& subscription);

// Feed downloads running now (gRunningRssThreads); CountRunningThreads()
// counts them with every other worker.
uint32_t CountRunningRssThreads();

// How feeds are fetched in this run: by the program's own conditional GET
// (the configuration's use-cache value set) or by the platform's URL download
// service. Chosen at the first download from ENVUseCache(); choosing
// beforehand (tools and tests) fixes it.
enum class RefreshDownloadMethod { kConditionalGet, kURLService };
void ChooseRefreshDownloadMethod(RefreshDownloadMethod method);

/* ---- Refresh commands ---- */
// Each makes the next idle tick check at once (`interval` = 0).

// The selected subscriptions (a group with its whole subtree), or the current
// one, or with neither every subscription, become due now.
void RefreshSubscription(NVWStaff* window);

// For the current feed: forgets its image and icon (they are looked for
// again) and clears its cache file's date (the next request carries no
// If-Modified-Since); then refreshes as RefreshSubscription does.
void ResetOneSubscription(NVWStaff* window);
