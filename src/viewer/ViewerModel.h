// The viewer's state without its window: the subscription tree and the
// global news list it owns for the whole run, loaded when the viewer opens
// and saved when it closes. The window (later) draws this state; the shell
// talks to it through ShellViewer.
#pragma once

#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Status.h"
#include "shell/StatusStack.h"

#include <cstdint>

struct NVWStaff {
    SubscriptionList* subscriptions = nullptr; // the tree, owned
    NewsList* news = nullptr;                  // the global news list, owned
    StatusStack status;
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

// The saves alone, for the auto-save and for quit.
OSStatus SaveViewerModel(const NVWStaff& staff);
