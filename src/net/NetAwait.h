// The two awaitable pieces every network operation is built from. NetTask is
// a coroutine that hands one status back to the coroutine awaiting it, so a
// request can be written as a chain of steps inside a worker task. NetWaiter
// parks one coroutine until a socket or the resolver reports something, or
// until its poll tick comes round, so that time-outs measured with TickCount
// are seen even when nothing happens on the wire.
//
//     NetTask FetchSomething()
//     {
//         OSStatus status = co_await HttpSimpleGet(url, file);
//         co_return status;
//     }
#pragma once

#include "platform/Status.h"

#include <coroutine>
#include <cstdint>
#include <utility>

/* ---- NetTask ---- */

// A lazily started coroutine returning a status. It runs when awaited and
// resumes its awaiting coroutine when it returns. An exception escaping its
// body (memory running out) is caught, logged and turned into a status, so
// nothing ever throws out of a network operation.
class [[nodiscard]] NetTask {
public:
    struct promise_type {
        OSStatus result = kNoErr;
        std::coroutine_handle<> continuation;

        NetTask get_return_object() noexcept
        {
            return NetTask(std::coroutine_handle<promise_type>::from_promise(*this));
        }
        std::suspend_always initial_suspend() noexcept { return {}; }

        struct FinalAwaiter {
            bool await_ready() const noexcept { return false; }
            std::coroutine_handle<> await_suspend(std::coroutine_handle<promise_type> handle) const noexcept
            {
                std::coroutine_handle<> next = handle.promise().continuation;
                return next ? next : std::noop_coroutine();
            }
            void await_resume() const noexcept {}
        };
        FinalAwaiter final_suspend() noexcept { return {}; }
        void return_value(OSStatus status) noexcept { result = status; }
        void unhandled_exception() noexcept;
    };

    NetTask(NetTask&& other) noexcept : fHandle(std::exchange(other.fHandle, nullptr)) {}
    NetTask& operator=(NetTask&&) = delete;
    NetTask(const NetTask&) = delete;
    NetTask& operator=(const NetTask&) = delete;
    ~NetTask()
    {
        if (fHandle)
            fHandle.destroy();
    }

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> caller) noexcept
    {
        fHandle.promise().continuation = caller;
        return fHandle;
    }
    OSStatus await_resume() const noexcept { return fHandle.promise().result; }

private:
    explicit NetTask(std::coroutine_handle<promise_type> handle) : fHandle(handle) {}
    std::coroutine_handle<promise_type> fHandle;
};

/* ---- NetWaiter ---- */

// How often, in ticks of real time, a waiting request wakes up to compare
// TickCount() with its deadlines. Short enough that a test clock moved past
// a deadline is noticed at once, long enough to cost nothing.
constexpr uint32_t kNetPollTicks = 6;

// True when a QCoreApplication exists, that is when there is an event loop
// that can resume a waiting coroutine. Every operation checks it first.
bool HasNetEventLoop();

// One coroutine at a time waits on a NetWaiter. A wake that comes while
// nobody waits (the coroutine is running) makes the next Wait() return at
// once; it never resumes a running coroutine.
class NetWaiter {
public:
    NetWaiter();
    ~NetWaiter();
    NetWaiter(const NetWaiter&) = delete;
    NetWaiter& operator=(const NetWaiter&) = delete;

    // Resumes the waiting coroutine on a later turn of the event loop. Safe
    // from any callback, also from one whose object the coroutine deletes.
    void Wake();

    // Resumes the waiting coroutine at once, inside the caller. Only for
    // socket signals, and only where the socket outlives the signal (the
    // request yields to the event loop before it deletes its socket): it
    // saves a trip through the event loop for every piece of data that comes.
    void WakeNow();

    // Wakes the waiting coroutine every kNetPollTicks ticks of real time as
    // well, until the waiter goes. One timer serves every polling waiter.
    void StartPolling();

    struct Awaiter {
        NetWaiter& waiter;
        bool await_ready() const noexcept;
        void await_suspend(std::coroutine_handle<> handle) noexcept;
        void await_resume() const noexcept;
    };
    Awaiter Wait() { return Awaiter{*this}; }

private:
    std::coroutine_handle<> fHandle;
    bool fWoken = false;
    bool fResumePosted = false;
    bool fPolling = false;
};
