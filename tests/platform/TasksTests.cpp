// Cooperative tasks on the event loop: interleaving at yields, the running
// count, exceptions, sleeping and waiting for sockets.
#include "TestSupport.h"

#include "platform/Tasks.h"
#include "platform/UniqueFd.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <vector>

static WorkerTask Take(std::vector<std::string>& log, std::string name, int steps)
{
    for (int step = 1; step <= steps; ++step) {
        log.push_back(name + std::to_string(step));
        co_await TaskYield();
    }
}

TEST(Tasks, TwoTasksInterleaveAtYieldsAndAreCountedWhileTheyRun)
{
    std::vector<std::string> log;
    uint32_t before = CountRunningThreads();
    StartWorkerTask(Take(log, "a", 3));
    StartWorkerTask(Take(log, "b", 2));
    EXPECT_EQ(CountRunningThreads(), before + 2);
    EXPECT_TRUE(log.empty()) << "a task first runs after its starter returns";

    ASSERT_TRUE(RunEventLoopUntil([&] { return CountRunningThreads() == before; }));
    EXPECT_EQ(log, (std::vector<std::string>{"a1", "b1", "a2", "b2", "a3"}));
}

static WorkerTask Throw(bool& reachedEnd)
{
    co_await TaskYield();
    throw std::runtime_error("feed parser broke");
    reachedEnd = true;
}

TEST(Tasks, AnExceptionEndsOnlyItsTask)
{
    bool reachedEnd = false;
    uint32_t before = CountRunningThreads();
    StartWorkerTask(Throw(reachedEnd));
    ASSERT_TRUE(RunEventLoopUntil([&] { return CountRunningThreads() == before; }));
    EXPECT_FALSE(reachedEnd);
}

static WorkerTask MarkRun(bool& ran)
{
    ran = true;
    co_return;
}

TEST(Tasks, ATaskNeverStartedNeverRunsAndIsNotCounted)
{
    bool ran = false;
    uint32_t before = CountRunningThreads();
    {
        WorkerTask task = MarkRun(ran);
        EXPECT_EQ(CountRunningThreads(), before);
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

static WorkerTask Sleep(uint32_t ticks, bool& done)
{
    co_await TaskSleep(ticks);
    done = true;
}

TEST(Tasks, SleepLastsItsTicks)
{
    bool done = false;
    QElapsedTimer elapsed;
    elapsed.start();
    StartWorkerTask(Sleep(12, done));  // 200 ms
    ASSERT_TRUE(RunEventLoopUntil([&] { return done; }));
    EXPECT_GE(elapsed.elapsed(), 180);  // timers may fire a little early
}

static WorkerTask WaitForSocket(int descriptor, SocketEvent event, uint32_t timeoutTicks,
                                const std::atomic<bool>* cancel, std::optional<SocketWaitResult>& result)
{
    result = co_await TaskWaitForSocket(descriptor, event, timeoutTicks, cancel);
}

struct SocketCase {
    const char* name;
    SocketEvent event;
    int writeAfterMilliseconds;   // -1: the peer never writes
    int cancelAfterMilliseconds;  // -1: never cancelled
    uint32_t timeoutTicks;
    SocketWaitResult expected;
    int minimumMilliseconds;      // the wait may not end before this
};

void PrintTo(const SocketCase& c, std::ostream* out)
{
    *out << c.name;
}

class SocketWaits : public testing::TestWithParam<SocketCase> {};

TEST_P(SocketWaits, EndAsTheirSocketTimeOrFlagSays)
{
    const SocketCase& c = GetParam();
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    UniqueFd mine(pair[0]);
    UniqueFd peer(pair[1]);
    std::atomic<bool> cancel = false;
    std::optional<SocketWaitResult> result;
    if (c.writeAfterMilliseconds >= 0)
        QTimer::singleShot(c.writeAfterMilliseconds, [&] { ASSERT_EQ(::write(peer.Get(), "x", 1), 1); });
    if (c.cancelAfterMilliseconds >= 0)
        QTimer::singleShot(c.cancelAfterMilliseconds, [&] { cancel = true; });

    QElapsedTimer elapsed;
    elapsed.start();
    StartWorkerTask(WaitForSocket(mine.Get(), c.event, c.timeoutTicks, &cancel, result));
    ASSERT_TRUE(RunEventLoopUntil([&] { return result.has_value(); }));
    EXPECT_EQ(*result, c.expected);
    EXPECT_GE(elapsed.elapsed(), c.minimumMilliseconds);
    // Let the other timer fire while the descriptors still exist.
    RunEventLoopUntil([] { return false; }, 150);
}

INSTANTIATE_TEST_SUITE_P(
    Tasks, SocketWaits,
    testing::Values(
        SocketCase{"WakesOnData", SocketEvent::Readable, 50, -1, 120, SocketWaitResult::Ready, 40},
        SocketCase{"TimesOutWithoutData", SocketEvent::Readable, -1, -1, 6, SocketWaitResult::TimedOut, 90},
        SocketCase{"CancelledWhileWaiting", SocketEvent::Readable, -1, 50, kWaitForever,
                   SocketWaitResult::Cancelled, 40},
        SocketCase{"DataBeatsALaterTimeOut", SocketEvent::Readable, 0, -1, 60, SocketWaitResult::Ready, 0},
        SocketCase{"WritableAtOnce", SocketEvent::Writable, -1, -1, 60, SocketWaitResult::Ready, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Tasks, SocketWaitRefusesBadDescriptorsAndSetFlags)
{
    std::atomic<bool> cancelled = true;
    std::optional<SocketWaitResult> bad;
    std::optional<SocketWaitResult> early;
    StartWorkerTask(WaitForSocket(-1, SocketEvent::Readable, 60, nullptr, bad));
    StartWorkerTask(WaitForSocket(0, SocketEvent::Readable, kWaitForever, &cancelled, early));
    ASSERT_TRUE(RunEventLoopUntil([&] { return bad && early; }, 1000));
    EXPECT_EQ(*bad, SocketWaitResult::Failed);
    EXPECT_EQ(*early, SocketWaitResult::Cancelled);
}
