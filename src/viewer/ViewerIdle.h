// The viewer's idle tick: every 3 ticks, while the program runs, it shows or
// hides the busy status, draws deferred work, runs the refresh check of the
// refresh cycle and, when nothing is due, the coalesced auto-save.
#pragma once

#include "viewer/ViewerModel.h"

#include <cstdint>

// Ticks between two idle ticks.
constexpr uint32_t kIdleTickTicks = 3;

// Starts (or restarts) the repeating idle tick for `staff`: the first runs on
// the next turn of the event loop, then one every kIdleTickTicks ticks of real
// time. Without an event loop nothing runs.
void StartViewerIdleTick(NVWStaff* staff);
void StopViewerIdleTick();

// One idle tick, in order: the busy status (shown while a worker runs,
// hidden otherwise), the deferred description summary, the refresh check
// (CheckAutoSubscriptions). Cost: a few comparisons unless a threshold passed.
void IdleEventLoop(NVWStaff* staff);

// The auto-save check: nothing while a worker runs or nothing changed;
// otherwise, E seconds after the last change, saves the subscriptions and
// history files when E >= 3 and 20 changes are pending, E >= 15 and 5, or
// E >= 300 and any, printing "AutoSaving <count> - [ <E> sec ]". True when
// it saved.
bool ExecAutoSave(NVWStaff* staff);

// Shows the status line with the top of the status stack when it changed
// (ShowChasingControl); HideChasingStatus hides it.
void ShowChasingStatus(NVWStaff& staff);
void HideChasingStatus(NVWStaff& staff);
