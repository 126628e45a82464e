// Small fixtures shared by the platform tests: the scratch space of every
// test folder and a way to run the event loop until something has happened.
#pragma once

#include "support/ScratchSpace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

// Runs the event loop until `done` answers true or `timeoutMilliseconds`
// pass; answers whether `done` came true.
inline bool RunEventLoopUntil(const std::function<bool()>& done, int timeoutMilliseconds = 5000)
{
    constexpr int kWakeIntervalMilliseconds = 5;
    QTimer wake;
    wake.start(kWakeIntervalMilliseconds);
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMilliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}
