// Resumption of network coroutines. Timers and resolver answers post the
// resume to the event loop, the way the platform's worker tasks are resumed;
// socket signals resume at once, and a request yields to the event loop
// before it deletes its socket, so it never deletes a signal's sender.
#include "net/NetAwait.h"

#include "platform/Clock.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <exception>
#include <new>
#include <vector>

constexpr int kMillisecondsPerSecond = 1000;

// Waiters that want a wake every kNetPollTicks, and the one timer that
// wakes them; it runs only while the list is not empty.
static std::vector<NetWaiter*> gPollingWaiters;
static QPointer<QTimer> gPollTimer;

bool HasNetEventLoop()
{
    return QCoreApplication::instance() != nullptr;
}

void NetTask::promise_type::unhandled_exception() noexcept
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        LogFailure("Network operation stopped: out of memory");
        result = kMemFullErr;
    } catch (const std::exception& exception) {
        LogFailure("Network operation stopped by an exception: %s", exception.what());
        result = kGenericErr;
    } catch (...) {
        LogFailure("Network operation stopped by an unknown exception");
        result = kGenericErr;
    }
}

NetWaiter::NetWaiter() = default;

NetWaiter::~NetWaiter()
{
    if (!fPolling)
        return;
    std::erase(gPollingWaiters, this);
    if (gPollingWaiters.empty() && gPollTimer)
        gPollTimer->stop();
}

void NetWaiter::Wake()
{
    fWoken = true;
    if (!fHandle || fResumePosted || !HasNetEventLoop())
        return;
    fResumePosted = true;
    std::coroutine_handle<> handle = fHandle;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [handle] { handle.resume(); }, Qt::QueuedConnection);
}

void NetWaiter::WakeNow()
{
    fWoken = true;
    if (!fHandle || fResumePosted)
        return;
    std::coroutine_handle<> handle = fHandle;
    fHandle = nullptr;
    handle.resume();
}

void NetWaiter::StartPolling()
{
    if (fPolling || !HasNetEventLoop())
        return;
    if (!gPollTimer) {
        // Owned by the application object, so that it never outlives the event loop.
        gPollTimer = new QTimer(QCoreApplication::instance());
        QObject::connect(gPollTimer, &QTimer::timeout, [] {
            for (NetWaiter* waiter : gPollingWaiters)
                waiter->Wake();
        });
    }
    fPolling = true;
    gPollingWaiters.push_back(this);
    if (!gPollTimer->isActive())
        gPollTimer->start(int(kNetPollTicks * kMillisecondsPerSecond / kTicksPerSecond));
}

bool NetWaiter::Awaiter::await_ready() const noexcept
{
    // Without an event loop nobody could resume us; the caller's own checks
    // (HasNetEventLoop) keep us from getting here, and returning at once
    // keeps a mistake from hanging.
    return waiter.fWoken || !HasNetEventLoop();
}

void NetWaiter::Awaiter::await_suspend(std::coroutine_handle<> handle) noexcept
{
    waiter.fHandle = handle;
}

void NetWaiter::Awaiter::await_resume() const noexcept
{
    waiter.fHandle = nullptr;
    waiter.fWoken = false;
    waiter.fResumePosted = false;
}
