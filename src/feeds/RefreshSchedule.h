// The refresh cycle's decisions that need no network: which subscription is
// due next, the refresh commands' marks, whether a failed fetch is worth
// another attempt, and where each feed's cached document lives. The fetching
// itself is RefreshCycle.h's.
#pragma once

#include "model/SubscriptionList.h"
#include "platform/Status.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

/* ---- Scheduling ---- */

// The refresh check starts no download while this many workers run.
constexpr uint32_t kMaxRunningThreads = 6;
// The viewer's `interval` after a check that started a fetch (3 ticks) and
// after one that found nothing due (60 s).
constexpr uint32_t kRefreshStartedTicks = 3;
constexpr uint32_t kRefreshIdleTicks = 3600;

// Seconds between two checks of a feed: 600, 1800, 3600 and 10800 for the
// four timed check types; 0 (no interval) for manual, at-launch and any
// unknown check type.
uint32_t GetCheckInterval(CheckType checkType);

// The first subscription, walking the tree depth-first in list order (a
// group's members at the group's place), that is due at `now` (seconds since
// 1904): a feed or mail account whose `prevCheckTime` is 0, or whose check
// type has an interval that has passed (now > prevCheckTime + interval) or
// whose `prevCheckTime` lies in the future (the clock was set back). It is
// stamped with `now` before it is returned. Null when none is due. O(n).
SubscriptionList* FindTimeUpSubscription(SubscriptionList* list, uint32_t now);
SubscriptionList* FindTimeUpSubscription(SubscriptionList* list); // now = GetDateTime()

// The first manual feed or mail account not yet picked in this run
// (`prevCheckTime` 0), stamped with `now`. O(n).
SubscriptionList* FindManualSubscription(SubscriptionList* list, uint32_t now);
SubscriptionList* FindManualSubscription(SubscriptionList* list);

// The refresh commands' marks: every feed and mail account of the tree (or
// of the node and, for a group, its whole subtree) becomes due now.
void RefreshAllSubscription(SubscriptionList* list);
void BrowserItemRefreshProc(SubscriptionList* item);

// Whether attempt number `retry` + 1 follows a failed attempt whose result
// was `err`: never after 0 or a name that did not resolve; after 503 while
// fewer than 15 attempts were made; after anything else while fewer than 3.
constexpr uint32_t kUnavailableAttempts = 15;
constexpr uint32_t kOtherAttempts = 3;
bool IsWorthRetrying(OSStatus err, uint32_t retry);

/* ---- Cache files ---- */

// The sum over the URL's bytes (read unsigned) of each byte shifted left by
// a counter that runs 0, 1, ..., 15 and starts again at 0, wrapping at 32 bits.
int32_t CalculateURLHash(std::string_view url);

// How many bytes of the URL, after its first seven, name its cache file.
constexpr size_t kCacheNameURLBytes = 18;
constexpr size_t kCacheNameSkippedBytes = 7;

// The cache file's name: the URL's bytes 8 to 25 (fewer for a short URL)
// followed by the decimal CalculateURLHash of the whole URL. The bytes a
// file name cannot hold are written as "%2F" ("/") and "%00" (NUL), and "%"
// itself as "%25", so that distinct URL bytes never give one name.
std::string MakeRssCacheFileName(std::string_view url);

// The cache file of `url` in the cache folder, which is created when missing.
// kFileNotFoundErr when the folder cannot be made; kParamErr for an empty URL.
OSStatus GetRdfCacheFile(std::string_view url, std::filesystem::path& file);

// Deletes the cache file of the feed `sid`. kFileNotFoundErr when the
// subscription is unknown, is not a feed, or has no cache file.
OSStatus RemoveRssCacheByID(SubscriptionList* list, uint32_t sid);

// Makes the cache file's modification date read as 0 (FSpGetFileDate), so
// that the next request carries no If-Modified-Since; the document stays.
OSStatus ClearRssCacheDate(const std::filesystem::path& file);
