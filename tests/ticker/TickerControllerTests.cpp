// The ticker's idle step, effect firings and keys against a window stand-in:
// entries start one at a time, wait while downloads run, finish and hide the
// strip; F7 and F8 act once per entry.
#include "model/NewsList.h"
#include "platform/Clock.h"
#include "platform/Tasks.h"
#include "ticker/Ticker.h"
#include "ticker/TickerSounds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

class StandInWindow : public TickerPresenter {
public:
    int32_t GetTickerScreenWidth() override { return 1280; }
    int32_t MeasureTickerText(std::string_view text, TickerScript) override { return int32_t(text.size() * 8); }
    void ShowTicker() override { visible = true; }
    void HideTicker() override { visible = false; }
    void StartEffectTimer(uint32_t periodTicks) override
    {
        period = periodTicks;
        FireTickerEffectTimer();
    }
    void StopEffectTimer() override { period = 0; }
    void DrawTickerFrame(const TCWStaff&, const TickerFrame& frame) override { frames.push_back(frame); }
    bool IsTickerKeyDown(TickerKey key) override { return keys.count(key) > 0; }
    void OpenTickerLink(std::string_view url) override { opened.emplace_back(url); }

    bool visible = false;
    uint32_t period = 0;
    std::vector<TickerFrame> frames;
    std::set<TickerKey> keys;
    std::vector<std::string> opened;
};

class RecordingPlayer : public SoundPlayer {
public:
    bool StartSound(const std::filesystem::path& file, std::function<void()> done) override
    {
        played.push_back(file.stem().string());
        done();
        return true;
    }
    std::vector<std::string> played;
};

class TickerRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetTestClock(1000, 0);
        SetTickerPresenter(&window);
        SetSoundPlayer(&player);
    }
    void TearDown() override
    {
        CloseTicker();
        SetTickerPresenter(nullptr);
        SetSoundPlayer(nullptr);
        ResetSoundList();
        ClearTestClock();
    }
    // Fires the head's effect until it is done.
    void RunHeadToTheEnd()
    {
        for (int guard = 0; guard < 2000 && window.period; ++guard) {
            AdvanceTestClock(window.period);
            FireTickerEffectTimer();
            if (GetTickerStaff().queue->flags & kTickerFlagDone)
                return;
        }
        FAIL() << "the effect never finished";
    }
    NewsList MakeNews(uint32_t nid, const char* headline, const char* link)
    {
        NewsList news;
        news.type = kNewsTypeFeed;
        news.nid = nid;
        news.headlineRef = headline;
        news.linkURL = link;
        return news;
    }

    StandInWindow window;
    RecordingPlayer player;
};

TEST_F(TickerRun, EntriesStartOneAtATimeAndTheLastHidesTheStrip)
{
    NewsList first = MakeNews(101, "First", "https://example.org/1");
    first.sound = "Chime";
    first.effect = "Blink";
    RegistNewsTickerWindow(first, "Source");
    RegistMessageTickerWindow("Second", 1, "", "", "Agent", 7, 0);
    EXPECT_FALSE(window.visible);

    IdleEventLoop();
    const TickerQueue* head = GetTickerStaff().queue;
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(head->newsID, 101u);
    EXPECT_EQ(head->effect, kTickerEffectBlink);
    EXPECT_EQ(window.period, kBlinkPeriodTicks);
    EXPECT_EQ(player.played, std::vector<std::string>{"Chime"});
    ASSERT_EQ(window.frames.size(), 1u); // the first frame at once
    EXPECT_EQ(window.frames[0].kind, TickerFrameKind::kDraw);

    IdleEventLoop(); // a started entry is not started again
    EXPECT_EQ(window.frames.size(), 1u);

    RunHeadToTheEnd();
    IdleEventLoop(); // removes the first, starts the message
    head = GetTickerStaff().queue;
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->newsType, kTickerNewsTypeMessage);
    EXPECT_EQ(head->title.view(), "Agent");
    EXPECT_EQ(head->effect, kTickerEffectFlash);
    EXPECT_TRUE(head->flags & kTickerFlagStarted);
    EXPECT_TRUE(window.visible);

    RunHeadToTheEnd();
    IdleEventLoop();
    EXPECT_EQ(GetTickerStaff().queue, nullptr);
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(window.period, 0u);
}

// A worker that runs until told to stop.
WorkerTask HoldWorker(const bool* release)
{
    while (!*release)
        co_await TaskSleep(1);
}

bool SpinUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST_F(TickerRun, TwoRunningDownloadsHoldTheQueue)
{
    bool releaseFirst = false;
    bool releaseSecond = false;
    StartWorkerTask(HoldWorker(&releaseFirst));
    StartWorkerTask(HoldWorker(&releaseSecond));
    RegistNewsTickerWindow(MakeNews(101, "Waits", ""), "Source");
    IdleEventLoop();
    EXPECT_FALSE(GetTickerStaff().queue->flags & kTickerFlagStarted);
    EXPECT_FALSE(window.visible);

    releaseFirst = true;
    ASSERT_TRUE(SpinUntil([] { return CountRunningThreads() < 2; }));
    IdleEventLoop();
    EXPECT_TRUE(GetTickerStaff().queue->flags & kTickerFlagStarted);
    releaseSecond = true;
    ASSERT_TRUE(SpinUntil([] { return CountRunningThreads() == 0; }));
}

TEST_F(TickerRun, FunctionKeysActOncePerEntry)
{
    RegistNewsTickerWindow(MakeNews(101, "Keys", "https://example.org/k"), "Source");
    window.keys = {TickerKey::kF7};
    IdleEventLoop(); // not on screen yet when the keys are read: nothing happens
    EXPECT_EQ(GetTickerStaff().queue->flags & kTickerFlagRead, 0u);

    IdleEventLoop();
    IdleEventLoop(); // F7 held over two samples: read once
    EXPECT_TRUE(GetTickerStaff().queue->flags & kTickerFlagRead);
    EXPECT_EQ(player.played, std::vector<std::string>{".Umbrella"});
    EXPECT_TRUE(window.opened.empty());

    window.keys = {TickerKey::kF8};
    IdleEventLoop();
    IdleEventLoop();
    EXPECT_EQ(window.opened, std::vector<std::string>{"https://example.org/k"});
    EXPECT_TRUE(GetTickerStaff().queue->flags & kTickerFlagOpened);
    EXPECT_EQ(player.played.size(), 2u);
}

TEST_F(TickerRun, KeysOnAMessageWhoseSenderIsGoneOnlySetTheFlag)
{
    EXPECT_EQ(AESendMessageHandleEvent(kTickerReplyClass, kTickerReplyRead, 0, 7), kGenericErr);
    RegistMessageTickerWindow("From nobody", 1, "", "Sparkle", "Agent", 7, 0);
    IdleEventLoop();
    window.keys = {TickerKey::kF8};
    IdleEventLoop();
    const TickerQueue* head = GetTickerStaff().queue;
    EXPECT_EQ(head->effect, kTickerEffectSparkle);
    EXPECT_EQ(head->flags & (kTickerFlagRead | kTickerFlagOpened), kTickerFlagRead | kTickerFlagOpened);
    EXPECT_TRUE(player.played.empty());
    EXPECT_TRUE(window.opened.empty());
}

TEST_F(TickerRun, AMessageWithoutIdentifierIgnoresTheKeys)
{
    RegistMessageTickerWindow("No id", 1, "", "", "Agent", 0, 0);
    IdleEventLoop();
    window.keys = {TickerKey::kF7, TickerKey::kF8};
    IdleEventLoop();
    EXPECT_EQ(GetTickerStaff().queue->flags & (kTickerFlagRead | kTickerFlagOpened), 0u);
}

TEST_F(TickerRun, AFloodOfMessagesQueuesInOrderAndUnknownEffectsFlash)
{
    QElapsedTimer timer;
    timer.start();
    for (uint32_t i = 1; i <= 1000; ++i)
        RegistMessageTickerWindow("Message " + std::to_string(i), 1, "", "Wobble", "Flooder", i, 0);
    EXPECT_LT(timer.elapsed(), 2000);
    uint32_t expected = 1;
    for (const TickerQueue* entry = GetTickerStaff().queue; entry; entry = entry->next, ++expected) {
        EXPECT_EQ(entry->newsID, expected);
        EXPECT_EQ(entry->effect, kTickerEffectFlash);
    }
    EXPECT_EQ(expected, 1001u);
}

} // namespace
