// Due subscriptions, refresh marks, the retry rule and the cache files'
// names. Everything here is a pure walk of the tree or a file operation on
// the cache folder, so that it can be tested without an event loop.
#include "feeds/RefreshSchedule.h"

#include "net/HttpResponse.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>

// Seconds between checks, by check type (index = CheckType); 0 = no interval.
constexpr uint32_t kCheckIntervals[] = {
    0,     // kCheckManual
    0,     // kCheckAtLaunch
    600,   // kCheckEvery10Min
    1800,  // kCheckEvery30Min
    3600,  // kCheckEveryHour
    10800, // kCheckEvery3Hours
};

constexpr uint32_t kHashShiftCycle = 16;

// A Unix time before 1904 (1 January 1900), which FSpGetFileDate reads as 0.
constexpr time_t kUnixTimeBefore1904 = -2208988800;

/* ---- Scheduling ---- */

uint32_t GetCheckInterval(CheckType checkType)
{
    if (checkType >= std::size(kCheckIntervals))
        return 0;
    return kCheckIntervals[checkType];
}

static bool IsScheduledKind(const SubscriptionList& node)
{
    return node.siteType == kSiteTypeRSS || node.siteType == kSiteTypePOP;
}

static bool IsTimeUp(const SubscriptionList& node, uint32_t now)
{
    if (node.prevCheckTime == 0)
        return true;
    uint32_t interval = GetCheckInterval(node.checkType);
    if (interval == 0)
        return false;
    // A pick stamped in the future means the clock was set back.
    return node.prevCheckTime > now || uint64_t(now) > uint64_t(node.prevCheckTime) + interval;
}

// The first node of the tree, depth-first in list order, that `due` accepts.
template <typename Due>
static SubscriptionList* FindFirstScheduled(SubscriptionList* list, const Due& due)
{
    for (SubscriptionList* node = list; node; node = node->next) {
        if (node->siteType == kSiteTypeGroup) {
            if (SubscriptionList* member = FindFirstScheduled(node->child, due))
                return member;
            continue;
        }
        if (IsScheduledKind(*node) && due(*node))
            return node;
    }
    return nullptr;
}

SubscriptionList* FindTimeUpSubscription(SubscriptionList* list, uint32_t now)
{
    SubscriptionList* found = FindFirstScheduled(list, [now](const SubscriptionList& node) { return IsTimeUp(node, now); });
    if (found)
        found->prevCheckTime = now;
    return found;
}

SubscriptionList* FindTimeUpSubscription(SubscriptionList* list)
{
    return FindTimeUpSubscription(list, GetDateTime());
}

SubscriptionList* FindManualSubscription(SubscriptionList* list, uint32_t now)
{
    SubscriptionList* found = FindFirstScheduled(list, [](const SubscriptionList& node) {
        return node.checkType == kCheckManual && node.prevCheckTime == 0;
    });
    if (found)
        found->prevCheckTime = now;
    return found;
}

SubscriptionList* FindManualSubscription(SubscriptionList* list)
{
    return FindManualSubscription(list, GetDateTime());
}

void BrowserItemRefreshProc(SubscriptionList* item)
{
    if (!item)
        return;
    if (item->siteType == kSiteTypeGroup) {
        RefreshAllSubscription(item->child);
        return;
    }
    if (IsScheduledKind(*item))
        item->prevCheckTime = 0;
}

void RefreshAllSubscription(SubscriptionList* list)
{
    for (SubscriptionList* node = list; node; node = node->next)
        BrowserItemRefreshProc(node);
}

bool IsWorthRetrying(OSStatus err, uint32_t retry)
{
    if (err == kNoErr || err == kHttpResolveErr)
        return false;
    if (err == kHttpUnavailableErr)
        return retry < kUnavailableAttempts;
    return retry < kOtherAttempts;
}

/* ---- Cache files ---- */

int32_t CalculateURLHash(std::string_view url)
{
    uint32_t sum = 0;
    uint32_t shift = 0;
    for (char byte : url) {
        sum += uint32_t(uint8_t(byte)) << shift;
        shift = (shift + 1) % kHashShiftCycle;
    }
    return int32_t(sum);
}

std::string MakeRssCacheFileName(std::string_view url)
{
    std::string name;
    if (url.size() > kCacheNameSkippedBytes) {
        for (char byte : url.substr(kCacheNameSkippedBytes, kCacheNameURLBytes)) {
            switch (byte) {
            case '/':
                name += "%2F";
                break;
            case '\0':
                name += "%00";
                break;
            case '%':
                name += "%25";
                break;
            default:
                name += byte;
            }
        }
    }
    name += std::to_string(CalculateURLHash(url));
    return name;
}

OSStatus GetRdfCacheFile(std::string_view url, std::filesystem::path& file)
{
    if (url.empty())
        return kParamErr;
    std::filesystem::path folder = GetUserCacheFolder();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return kFileNotFoundErr;
    file = folder / MakeRssCacheFileName(url);
    return kNoErr;
}

OSStatus RemoveRssCacheByID(SubscriptionList* list, uint32_t sid)
{
    const SubscriptionList* subscription = FindSubscriptionByID(list, sid);
    if (!subscription || subscription->siteType != kSiteTypeRSS)
        return kFileNotFoundErr;
    std::filesystem::path file;
    if (OSStatus status = GetRdfCacheFile(subscription->accessURL.view(), file); status != kNoErr)
        return status;
    return DeleteFile(file);
}

OSStatus ClearRssCacheDate(const std::filesystem::path& file)
{
    // FSpSetFileDate takes 0 as "unchanged", so the time is set here.
    timespec times[2] = {{0, UTIME_OMIT}, {kUnixTimeBefore1904, 0}};
    if (::utimensat(AT_FDCWD, file.c_str(), times, 0) == 0)
        return kNoErr;
    if (errno == ENOENT)
        return kFileNotFoundErr;
    LogFailure("Cannot clear the date of %s: %s", file.c_str(), std::strerror(errno));
    return kIOErr;
}
