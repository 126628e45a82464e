// The viewer's state without its window: the subscription tree and the
// global news list it owns for the whole run, the refresh and auto-save
// bookkeeping of its idle tick, and the status stack. Loaded when the viewer
// opens and saved when it closes. The window (later) draws this state; the
// shell talks to it through ShellViewer.
#pragma once

#include "feeds/NewsState.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Status.h"
#include "shell/StatusStack.h"

#include <cstdint>
#include <string>
#include <vector>

struct NVWStaff {
    SubscriptionList* subscriptions = nullptr; // the tree, owned
    NewsList* news = nullptr;                  // the global news list, owned
    // Kept in step with `news` by every edit of the list, so that the state
    // merge finds known items without walking it.
    NewsStateIndex newsIndex;

    uint32_t subscriptionID = 0;     // the current subscription; 0 = none
    std::vector<uint32_t> selections; // the selected subscriptions when more than one is selected
    uint32_t newsID = 0;             // the item shown in the description pane; 0 = none

    uint32_t interval = 0;    // ticks before the next refresh check; 0 = at the next idle tick
    uint32_t prevASTicks = 0; // tick count of the last refresh check

    StatusStack statusStack;  // running tasks' messages; the top one is shown
    uint32_t prevStatus = 0;  // key of the entry the status line shows; 0 = none

    uint32_t markCount = 0; // model changes since the last save
    uint32_t markTime = 0;  // seconds (since 1904) of the last model change

    bool needDownloadCheck = false; // enclosures wait for the automatic download check

    // The window's share, unused without one.
    uint32_t matchCount = 0;      // headlines the last keyword search listed
    uint16_t webZoomValue = 0;    // the horizontal bar's position before the description was maximised; 0 = not maximised
    uint32_t webMode = 0;         // non-zero while the description pane shows a web page, not a generated one
    bool webLoading = false;      // a page load runs in the description pane
    std::string currentWebTitle;  // UTF-8 title of the page shown
    std::string currentWebURL;    // address shown in the description pane
};

// Loads the subscriptions file (or the preset list), the history files, and
// the permanent and retained news into the global list.
// Never fails: a file that cannot be read leaves its part empty, and the
// readers keep the damaged file aside so that no save replaces it unseen.
NVWStaff* OpenViewerModel();

// The quit-time saves, in order: the subscriptions file (deleted when the
// tree is empty, and then nothing else is saved), the history files, the
// permanent news (deleted when none is permanent), then the model is freed. The history is
// written before stale files are removed, so it exists on disk at every
// moment. Returns the first failing status; the model is freed regardless.
OSStatus CloseViewerModel(NVWStaff* staff);

// The saves alone, for quit.
OSStatus SaveViewerModel(const NVWStaff& staff);

// The auto-save's share of them: the subscriptions file and the history
// files. Files of removed subscriptions stay until quit.
OSStatus AutoSaveViewerModel(const NVWStaff& staff);

// Frees the history lists read at launch for every node of `list` (members
// included) that has not been parsed in this run; a fetched feed's `history`
// is never its own. Used before a subtree is freed.
void DisposeLoadedHistory(SubscriptionList* list);
