// The effect state machines, driven frame by frame under the test clock:
// positions per frame, frame counts, the rest phase and the end.
#include "platform/Clock.h"
#include "ticker/TickerEffects.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint32_t kStartTicks = 1000;

struct EffectRun {
    TickerQueue entry;
    TCWStaff staff;

    EffectRun(TickerEffect effect, int32_t screenWidth, int32_t messageWidth, TickerScript script = kTickerScriptRoman)
    {
        entry.effect = effect;
        entry.script = script;
        staff.queue = &entry;
        SetupTickerParams(staff, screenWidth, 0, "message", messageWidth);
    }

    // Fires until the animation is over; the frames it drew.
    std::vector<TickerFrame> Animate(uint32_t periodTicks)
    {
        std::vector<TickerFrame> frames;
        for (int guard = 0; guard < 1000; ++guard) {
            TickerFrame frame = FireTickerEffect(staff);
            AdvanceTestClock(periodTicks);
            if (frame.kind == TickerFrameKind::kUnchanged)
                return frames; // the rest phase has begun
            frames.push_back(frame);
        }
        ADD_FAILURE() << "the animation never ended";
        return frames;
    }

    // Fires through the rest phase; the ticks it took.
    uint32_t Rest(uint32_t periodTicks)
    {
        uint32_t rested = periodTicks;
        while (!(entry.flags & kTickerFlagDone) && rested < 10 * kTickerRestTicks) {
            TickerFrame frame = FireTickerEffect(staff);
            if (entry.flags & kTickerFlagDone)
                EXPECT_EQ(frame.kind, TickerFrameKind::kClear);
            else
                EXPECT_EQ(frame.kind, TickerFrameKind::kUnchanged);
            AdvanceTestClock(periodTicks);
            rested += periodTicks;
        }
        return rested;
    }
};

TEST(TickerEffects, StepArithmetic)
{
    EXPECT_EQ(Sum(0), 0);
    EXPECT_EQ(Sum(-3), 0);
    EXPECT_EQ(Sum(40), 820);
    EXPECT_EQ(CalcStopPosition(1280, 325), 477); // rounded toward zero
    int32_t slop = 0;
    EXPECT_EQ(CalcInitialStep(1280, 300, slop), 40); // travel 790
    EXPECT_EQ(slop, 30);
    EXPECT_EQ(CalcInitialStep(1280, 0, slop), 36); // the shortest travel, 640: never below 36
    EXPECT_EQ(slop, 26);
    EXPECT_EQ(CalcInitialStep(2560, 100, slop), 52); // travel 1330
    EXPECT_EQ(slop, 48);
    EXPECT_EQ(CalcDrawingWidth(0, 300), 324);
    EXPECT_EQ(CalcDrawingWidth(80, 300), 432);
}

TEST(TickerEffects, FlashSlidesInBrakesAndRestsCentred)
{
    TestClockGuard clock(kStartTicks, 0);
    EffectRun run(kTickerEffectFlash, 1280, 300 - kTickerIconAdvance); // a drawing 300 wide
    EXPECT_EQ(run.staff.stopPos, 490);
    EXPECT_EQ(run.staff.tickerStep, 40);
    EXPECT_EQ(run.staff.tickerPos, 1311);

    std::vector<TickerFrame> frames = run.Animate(kFlashPeriodTicks);
    ASSERT_EQ(frames.size(), 40u); // steps 40 down to 2, then one more step of 2
    EXPECT_EQ(frames[0].x, 1271);
    EXPECT_EQ(frames[1].x, 1232);
    EXPECT_EQ(frames[38].x, 492);
    EXPECT_EQ(frames.back().x, 490);
    for (const TickerFrame& frame : frames) {
        EXPECT_EQ(frame.kind, TickerFrameKind::kDraw);
        EXPECT_EQ(frame.baseline, kTickerTextBaseline);
        EXPECT_EQ(frame.textAlpha, 1.0);
    }
    uint32_t rested = run.Rest(kFlashPeriodTicks);
    EXPECT_GT(rested, kTickerRestTicks);
    EXPECT_LE(rested, kTickerRestTicks + 2 * kFlashPeriodTicks);
}

TEST(TickerEffects, TwinkleFadesTwentySixFramesEndingOpaque)
{
    TestClockGuard clock(kStartTicks, 0);
    EffectRun run(kTickerEffectTwinkle, 1280, 276);
    std::vector<TickerFrame> frames = run.Animate(kTwinklePeriodTicks);
    ASSERT_EQ(frames.size(), kTwinkleFrames);
    const double expected[] = {0.0, 0.2, 0.4, 0.6, 0.8, 1.0, 0.8, 0.6, 0.4, 0.2};
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].x, 490);
        EXPECT_DOUBLE_EQ(frames[i].textAlpha, expected[i % 10]);
        EXPECT_DOUBLE_EQ(frames[i].shadowAlpha, expected[i % 10] / 7);
    }
    EXPECT_DOUBLE_EQ(frames.back().textAlpha, 1.0);
    run.Rest(kTwinklePeriodTicks);

    EffectRun japanese(kTickerEffectTwinkle, 1280, 276, kTickerScriptJapanese);
    EXPECT_EQ(japanese.staff.drawingMode, kTickerDrawingBitmap);
    for (const TickerFrame& frame : japanese.Animate(kTwinklePeriodTicks))
        EXPECT_EQ(frame.textAlpha, 1.0); // the script fonts are not faded
}

TEST(TickerEffects, BlinkAndSparkleAlternateAndEndVisible)
{
    struct Case {
        TickerEffect effect;
        uint32_t period;
        uint32_t frames;
    } const kCases[] = {{kTickerEffectBlink, kBlinkPeriodTicks, kBlinkFrames},
                        {kTickerEffectSparkle, kSparklePeriodTicks, kSparkleFrames}};
    for (const Case& c : kCases) {
        TestClockGuard clock(kStartTicks, 0);
        EffectRun run(c.effect, 1280, 276);
        EXPECT_EQ(GetTickerEffectPeriod(c.effect), c.period);
        std::vector<TickerFrame> frames = run.Animate(c.period);
        ASSERT_EQ(frames.size(), c.frames);
        for (size_t i = 0; i < frames.size(); ++i)
            EXPECT_EQ(frames[i].kind, i % 2 == 0 ? TickerFrameKind::kDraw : TickerFrameKind::kClear) << i;
        EXPECT_EQ(frames.back().kind, TickerFrameKind::kDraw);
        run.Rest(c.period);
        EXPECT_TRUE(run.entry.flags & kTickerFlagDone);
    }
}

TEST(TickerEffects, RisingClimbsOnePixelPerFrameToNineAboveTheBottom)
{
    TestClockGuard clock(kStartTicks, 0);
    EffectRun run(kTickerEffectRising, 1280, 276);
    std::vector<TickerFrame> frames = run.Animate(kRisingPeriodTicks);
    ASSERT_EQ(frames.size(), kRisingFrames);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].baseline, int32_t(i) - 22);
        EXPECT_EQ(frames[i].x, 490);
    }
    EXPECT_EQ(frames.back().baseline, 9);
}

TEST(TickerEffects, RestPhaseLastsEightSecondsWhateverTheClockStartsAt)
{
    TestClockGuard clock(0xFFFFFFFF - 100, 0); // the tick count wraps during the rest
    EffectRun run(kTickerEffectBlink, 1280, 276);
    run.Animate(kBlinkPeriodTicks);
    EXPECT_FALSE(run.entry.flags & kTickerFlagDone);
    uint32_t rested = run.Rest(kBlinkPeriodTicks);
    EXPECT_GT(rested, kTickerRestTicks);
    EXPECT_LE(rested, kTickerRestTicks + 2 * kBlinkPeriodTicks);
}

} // namespace
