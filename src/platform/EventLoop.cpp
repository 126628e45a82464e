// Event-loop helpers on Qt's application object.
#include "platform/EventLoop.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

void PostToEventLoop(std::function<void()> work)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) {
        LogFailure("no event loop to post work to");
        return;
    }
    QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

void QuitApplicationEventLoop()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, &QCoreApplication::quit, Qt::QueuedConnection);
}

/* ---- Quit signals ---- */

// A signal handler may only write to a pipe; the event loop reads it.
static int gSignalPipe[2] = {-1, -1};
static std::function<void()> gQuitOnSignal;

static void WriteSignalToPipe(int signalNumber)
{
    char byte = char(signalNumber);
    [[maybe_unused]] ssize_t written = write(gSignalPipe[1], &byte, 1);
}

void InstallQuitSignalHandler(std::function<void()> quit)
{
    if (gSignalPipe[0] < 0 && pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        LogFailure("cannot watch quit signals: %s", strerror(errno));
        return;
    }
    gQuitOnSignal = std::move(quit);
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char bytes[16];
        while (read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (gQuitOnSignal)
            gQuitOnSignal();
    });
    struct sigaction action = {};
    action.sa_handler = WriteSignalToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signalNumber, &action, nullptr);
}
