// Cooperative worker tasks on the main thread's event loop. A worker is a
// C++20 coroutine returning WorkerTask; it runs only between its own
// suspension points (yields, sleeps and socket waits), so the model it
// touches needs no locks. No task ever runs on another thread.
//
//     WorkerTask FetchFeed(SubscriptionList* subscription);
//     StartWorkerTask(FetchFeed(subscription));      // counted at once
//     ... inside: co_await TaskYield();
//                 SocketWaitResult r = co_await TaskWaitForSocket(fd, SocketEvent::Readable,
//                                                                 kTimeoutTicks, &cancelled);
#pragma once

#include <atomic>
#include <coroutine>
#include <cstdint>
#include <limits>
#include <memory>

/* ---- Tasks ---- */

class WorkerTask {
public:
    struct promise_type {
        bool counted = false;  // true once StartWorkerTask counted the task

        WorkerTask get_return_object() noexcept;
        std::suspend_always initial_suspend() noexcept { return {}; }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_void() noexcept {}
        void unhandled_exception() noexcept;
        ~promise_type();
    };

    WorkerTask(WorkerTask&& other) noexcept;
    WorkerTask& operator=(WorkerTask&&) = delete;
    WorkerTask(const WorkerTask&) = delete;
    WorkerTask& operator=(const WorkerTask&) = delete;
    // A task that was never started is destroyed unrun.
    ~WorkerTask();

private:
    explicit WorkerTask(std::coroutine_handle<promise_type> handle) : fHandle(handle) {}
    friend void StartWorkerTask(WorkerTask task);

    std::coroutine_handle<promise_type> fHandle;
};

// Starts `task`: it is counted in the running tasks at once and first runs on
// the next turn of the event loop, after its starter has returned. It frees
// itself when it finishes, and the count drops then. An exception leaving the
// task is caught and logged ("# ..."); the task then finishes normally.
// Without a QCoreApplication the task runs to its end at once and every wait
// inside it completes immediately (waits for sockets report Failed).
void StartWorkerTask(WorkerTask task);

// The number of started tasks that have not finished (gRunningThreads).
// The refresh cycle starts no download at 6 or more; the auto-save waits for 0.
uint32_t CountRunningThreads();

/* ---- Awaitables ---- */

struct TaskYieldAwaiter {
    bool await_ready() const noexcept;
    void await_suspend(std::coroutine_handle<> handle) const;
    void await_resume() const noexcept {}
};

// Gives the processor back: the task resumes on a later turn of the event
// loop, after events that were already waiting (timers, sockets, other tasks).
TaskYieldAwaiter TaskYield();

struct TaskSleepAwaiter {
    uint32_t ticks;
    bool await_ready() const noexcept;
    void await_suspend(std::coroutine_handle<> handle) const;
    void await_resume() const noexcept {}
};

// Suspends the task for `ticks` ticks of real time (1/60 s each; a test clock
// does not shorten it). 0 ticks is a yield.
TaskSleepAwaiter TaskSleep(uint32_t ticks);

enum class SocketEvent { Readable, Writable };

enum class SocketWaitResult {
    Ready,     // the descriptor became readable or writable
    TimedOut,  // the time-out passed first
    Cancelled, // the cancellation flag was seen set
    Failed,    // a negative descriptor, or no event loop to wait on
};

constexpr uint32_t kWaitForever = std::numeric_limits<uint32_t>::max();
// How often a waiting task looks at its cancellation flag.
constexpr uint32_t kCancelPollTicks = 6;

struct SocketWaitState;

class TaskSocketAwaiter {
public:
    TaskSocketAwaiter(int descriptor, SocketEvent event, uint32_t timeoutTicks, const std::atomic<bool>* cancel);
    TaskSocketAwaiter(TaskSocketAwaiter&&) noexcept;
    ~TaskSocketAwaiter();

    bool await_ready();
    void await_suspend(std::coroutine_handle<> handle);
    SocketWaitResult await_resume() const noexcept;

private:
    std::unique_ptr<SocketWaitState> fState;
};

// Waits until `descriptor` is readable or writable, at most `timeoutTicks`
// ticks (kWaitForever: no time-out), while `cancel` (may be null) stays
// false; the flag is looked at when the wait starts and every
// kCancelPollTicks ticks. The task always gives up the processor at least
// once, even when the descriptor is ready at once. The descriptor stays the
// caller's. Cost: one socket notifier and up to two timers per wait.
TaskSocketAwaiter TaskWaitForSocket(int descriptor, SocketEvent event, uint32_t timeoutTicks,
                                    const std::atomic<bool>* cancel);
