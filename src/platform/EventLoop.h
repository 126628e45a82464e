// The main event loop as the core sees it: queue work for a later turn, and
// leave the loop at the end of the quit sequence.
#pragma once

#include <functional>

// Runs `work` on the main thread on a later turn of the event loop.
void PostToEventLoop(std::function<void()> work);

// Makes the running event loop return; `main` then finishes.
void QuitApplicationEventLoop();

// Runs `quit` on the event loop when the process gets SIGTERM, SIGINT or
// SIGHUP, so that a log-out or a Ctrl-C saves like a quit from the menu.
void InstallQuitSignalHandler(std::function<void()> quit);
