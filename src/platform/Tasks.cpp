// Runs worker coroutines on the Qt event loop: starting, counting and
// freeing them, and the three ways a task waits. Every resumption is posted
// to the event loop, so a task never runs inside a Qt signal or inside the
// code that started it.
#include "platform/Tasks.h"

#include "platform/Clock.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <limits>

static uint32_t gRunningThreads = 0;

constexpr int kMillisecondsPerSecond = 1000;

static bool HasEventLoop()
{
    return QCoreApplication::instance() != nullptr;
}

static int TicksToMilliseconds(uint32_t ticks)
{
    uint64_t milliseconds = (uint64_t(ticks) * kMillisecondsPerSecond + kTicksPerSecond - 1) / kTicksPerSecond;
    return int(std::min<uint64_t>(milliseconds, uint64_t(std::numeric_limits<int>::max())));
}

// Resumes `handle` on a later turn of the event loop.
static void PostResume(std::coroutine_handle<> handle)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), [handle] { handle.resume(); }, Qt::QueuedConnection);
}

/* ---- Tasks ---- */

WorkerTask WorkerTask::promise_type::get_return_object() noexcept
{
    return WorkerTask(std::coroutine_handle<promise_type>::from_promise(*this));
}

void WorkerTask::promise_type::unhandled_exception() noexcept
{
    try {
        throw;
    } catch (const std::exception& exception) {
        LogFailure("Worker task stopped by an exception: %s", exception.what());
    } catch (...) {
        LogFailure("Worker task stopped by an unknown exception");
    }
}

WorkerTask::promise_type::~promise_type()
{
    if (counted)
        --gRunningThreads;
}

WorkerTask::WorkerTask(WorkerTask&& other) noexcept : fHandle(std::exchange(other.fHandle, nullptr)) {}

WorkerTask::~WorkerTask()
{
    if (fHandle)
        fHandle.destroy();
}

void StartWorkerTask(WorkerTask task)
{
    if (!task.fHandle)
        return;
    std::coroutine_handle<WorkerTask::promise_type> handle = std::exchange(task.fHandle, nullptr);
    handle.promise().counted = true;
    ++gRunningThreads;
    if (!HasEventLoop()) {
        LogFailure("Worker task started without an event loop; running it at once");
        handle.resume();
        return;
    }
    PostResume(handle);
}

uint32_t CountRunningThreads()
{
    return gRunningThreads;
}

/* ---- Yield and sleep ---- */

bool TaskYieldAwaiter::await_ready() const noexcept
{
    return !HasEventLoop();
}

void TaskYieldAwaiter::await_suspend(std::coroutine_handle<> handle) const
{
    PostResume(handle);
}

TaskYieldAwaiter TaskYield()
{
    return {};
}

bool TaskSleepAwaiter::await_ready() const noexcept
{
    return !HasEventLoop();
}

void TaskSleepAwaiter::await_suspend(std::coroutine_handle<> handle) const
{
    if (ticks == 0) {
        PostResume(handle);
        return;
    }
    QTimer::singleShot(TicksToMilliseconds(ticks), QCoreApplication::instance(), [handle] { PostResume(handle); });
}

TaskSleepAwaiter TaskSleep(uint32_t ticks)
{
    return {ticks};
}

/* ---- Socket waits ---- */

// Lives in the awaiter, that is in the waiting task's frame, until the task
// has been resumed; the notifier and timers only post the resumption.
struct SocketWaitState {
    int descriptor = -1;
    SocketEvent event = SocketEvent::Readable;
    uint32_t timeoutTicks = kWaitForever;
    const std::atomic<bool>* cancel = nullptr;
    SocketWaitResult result = SocketWaitResult::Failed;
    bool finished = false;
    std::coroutine_handle<> handle;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QTimer> timeoutTimer;
    std::unique_ptr<QTimer> cancelTimer;

    bool IsCancelled() const { return cancel != nullptr && cancel->load(); }

    void Finish(SocketWaitResult outcome)
    {
        if (finished)
            return;
        finished = true;
        result = outcome;
        notifier->setEnabled(false);
        if (timeoutTimer)
            timeoutTimer->stop();
        if (cancelTimer)
            cancelTimer->stop();
        PostResume(handle);
    }
};

static QSocketNotifier::Type NotifierTypeFor(SocketEvent event)
{
    switch (event) {
    case SocketEvent::Readable:
        return QSocketNotifier::Read;
    case SocketEvent::Writable:
        return QSocketNotifier::Write;
    }
    return QSocketNotifier::Read;
}

TaskSocketAwaiter::TaskSocketAwaiter(int descriptor, SocketEvent event, uint32_t timeoutTicks,
                                     const std::atomic<bool>* cancel)
    : fState(std::make_unique<SocketWaitState>())
{
    fState->descriptor = descriptor;
    fState->event = event;
    fState->timeoutTicks = timeoutTicks;
    fState->cancel = cancel;
}

TaskSocketAwaiter::TaskSocketAwaiter(TaskSocketAwaiter&&) noexcept = default;
TaskSocketAwaiter::~TaskSocketAwaiter() = default;

bool TaskSocketAwaiter::await_ready()
{
    if (fState->descriptor < 0 || !HasEventLoop()) {
        LogFailure("Cannot wait for descriptor %d%s", fState->descriptor, HasEventLoop() ? "" : " without an event loop");
        fState->result = SocketWaitResult::Failed;
        return true;
    }
    if (fState->IsCancelled()) {
        fState->result = SocketWaitResult::Cancelled;
        return true;
    }
    return false;
}

void TaskSocketAwaiter::await_suspend(std::coroutine_handle<> handle)
{
    SocketWaitState* state = fState.get();
    state->handle = handle;
    state->notifier = std::make_unique<QSocketNotifier>(qintptr(state->descriptor), NotifierTypeFor(state->event));
    QObject::connect(state->notifier.get(), &QSocketNotifier::activated,
                     [state] { state->Finish(SocketWaitResult::Ready); });
    if (state->timeoutTicks != kWaitForever) {
        state->timeoutTimer = std::make_unique<QTimer>();
        state->timeoutTimer->setSingleShot(true);
        QObject::connect(state->timeoutTimer.get(), &QTimer::timeout,
                         [state] { state->Finish(SocketWaitResult::TimedOut); });
        state->timeoutTimer->start(TicksToMilliseconds(state->timeoutTicks));
    }
    if (state->cancel != nullptr) {
        state->cancelTimer = std::make_unique<QTimer>();
        QObject::connect(state->cancelTimer.get(), &QTimer::timeout, [state] {
            if (state->IsCancelled())
                state->Finish(SocketWaitResult::Cancelled);
        });
        state->cancelTimer->start(TicksToMilliseconds(kCancelPollTicks));
    }
    state->notifier->setEnabled(true);
}

SocketWaitResult TaskSocketAwaiter::await_resume() const noexcept
{
    return fState->result;
}

TaskSocketAwaiter TaskWaitForSocket(int descriptor, SocketEvent event, uint32_t timeoutTicks,
                                    const std::atomic<bool>* cancel)
{
    return TaskSocketAwaiter(descriptor, event, timeoutTicks, cancel);
}
