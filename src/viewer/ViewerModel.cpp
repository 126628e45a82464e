// Loading and saving the viewer's model: the tree, the history and the
// permanent and retained news. The order of the quit-time saves
// matters: every file is replaced atomically, and history files that no
// subscription names any more are removed only after the new ones exist.
#include "viewer/ViewerModel.h"

#include "model/HistoryFiles.h"
#include "feeds/PermanentsFile.h"
#include "model/SubscriptionsFile.h"
#include "platform/Log.h"

NVWStaff* OpenViewerModel()
{
    auto* staff = new NVWStaff;
    staff->subscriptions = LoadSubscriptionsFromFile();
    if (staff->subscriptions) {
        LoadHistoryFromFiles(staff->subscriptions);
        staff->news = GetSavedNewsFromRdfFiles(staff->subscriptions, GetPermanentRdfFile(), GetRetainRdfFile());
    }
    LogInfo("loaded %u subscriptions and %u saved news", CountSubscriptions(staff->subscriptions),
            CountNews(staff->news));
    return staff;
}

OSStatus SaveViewerModel(const NVWStaff& staff)
{
    if (!staff.subscriptions) {
        // No tree and no file is what an empty list should leave.
        OSStatus status = DeleteSubscriptionsFile();
        return status == kFileNotFoundErr ? kNoErr : status;
    }
    OSStatus status = SaveSubscriptionsToFile(staff.subscriptions);
    OSStatus historyStatus = SaveHistoryToFiles(staff.subscriptions, staff.news);
    if (historyStatus == kNoErr)
        DeleteUnusedHistoryFiles(staff.subscriptions);
    else
        LogFailure("history not saved (%d); the old files are kept", int(historyStatus));
    OSStatus permanentsStatus = SavePermanentsAtQuit(GetPermanentRdfFile(), staff.news);
    for (OSStatus each : {status, historyStatus, permanentsStatus}) {
        if (each != kNoErr)
            return each;
    }
    return kNoErr;
}

OSStatus AutoSaveViewerModel(const NVWStaff& staff)
{
    if (!staff.subscriptions)
        return kNoErr;
    OSStatus status = SaveSubscriptionsToFile(staff.subscriptions);
    OSStatus historyStatus = SaveHistoryToFiles(staff.subscriptions, staff.news);
    return status != kNoErr ? status : historyStatus;
}

// A `history` read at launch belongs to nobody until the feed's first parse
// disposes of it. A fetched feed's `history` only ever points at the global
// list while a parse runs, so it is never freed here.
void DisposeLoadedHistory(SubscriptionList* list)
{
    for (SubscriptionList* node = list; node; node = node->next) {
        if (node->history && !(node->flags & kSubscriptionFlagFetched))
            DisposeNewsList(node->history);
        node->history = nullptr;
        DisposeLoadedHistory(node->child);
    }
}

OSStatus CloseViewerModel(NVWStaff* staff)
{
    if (!staff)
        return kNoErr;
    OSStatus status = SaveViewerModel(*staff);
    if (status != kNoErr)
        LogFailure("saving at quit failed (%d)", int(status));
    DisposeLoadedHistory(staff->subscriptions);
    DisposeSubscriptionList(staff->subscriptions);
    DisposeNewsList(staff->news);
    delete staff;
    return status;
}
