// The effect state machines. Each firing is a handful of integer steps; the
// window draws the result. The rest phase is common to all effects.
#include "ticker/TickerEffects.h"

#include "platform/Clock.h"

#include <algorithm>
#include <array>

// Twinkle: the text fades in and out in steps of 0.2; its shadow follows at
// a seventh of the text's strength.
static constexpr std::array kTwinkleAlphas = {0.0, 0.2, 0.4, 0.6, 0.8, 1.0, 0.8, 0.6, 0.4, 0.2};
static constexpr double kTwinkleShadowDivisor = 7.0;

int32_t Sum(int32_t x)
{
    if (x < 1)
        return 0;
    return x * (x + 1) / 2;
}

int32_t CalcStopPosition(int32_t screenWidth, int32_t drawingWidth)
{
    return (screenWidth - drawingWidth) / 2;
}

int32_t CalcInitialStep(int32_t screenWidth, int32_t drawingWidth, int32_t& slop)
{
    int32_t travel = screenWidth - CalcStopPosition(screenWidth, drawingWidth);
    int32_t step = kFlashMinimumInitialStep;
    while (Sum(step) < travel)
        ++step;
    slop = Sum(step) - travel;
    return step;
}

int32_t CalcDrawingWidth(int32_t titleWidth, int32_t messageWidth)
{
    if (titleWidth > 0)
        return titleWidth + kTickerTitleGap + messageWidth + 2 * kTickerIconAdvance;
    return messageWidth + kTickerIconAdvance;
}

uint32_t GetTickerEffectPeriod(TickerEffect effect)
{
    switch (effect) {
    case kTickerEffectFlash:
        return kFlashPeriodTicks;
    case kTickerEffectTwinkle:
        return kTwinklePeriodTicks;
    case kTickerEffectBlink:
        return kBlinkPeriodTicks;
    case kTickerEffectSparkle:
        return kSparklePeriodTicks;
    case kTickerEffectRising:
        return kRisingPeriodTicks;
    }
    return kFlashPeriodTicks;
}

void SetupTickerParams(TCWStaff& staff, int32_t screenWidth, int32_t titleWidth, std::string drawMessage,
                       int32_t messageWidth)
{
    const TickerQueue* head = staff.queue;
    TickerEffect effect = head ? head->effect : kTickerEffectFlash;
    staff.drawingMode = head && head->script != kTickerScriptRoman ? kTickerDrawingBitmap : kTickerDrawingVector;
    staff.screenWidth = screenWidth;
    staff.titleWidth = titleWidth;
    staff.drawMessage = std::move(drawMessage);
    staff.messageWidth = messageWidth;
    staff.drawingWidth = CalcDrawingWidth(titleWidth, messageWidth);
    staff.stopPos = CalcStopPosition(screenWidth, staff.drawingWidth);
    staff.tickerStep = 0;
    staff.tickerPos = staff.stopPos;
    staff.tickerMax = 0;
    switch (effect) {
    case kTickerEffectFlash: {
        int32_t slop = 0;
        staff.tickerStep = CalcInitialStep(screenWidth, staff.drawingWidth, slop);
        staff.tickerPos = slop + screenWidth + 1;
        break;
    }
    case kTickerEffectTwinkle:
        break;
    case kTickerEffectBlink:
        staff.tickerMax = kBlinkFrames;
        break;
    case kTickerEffectSparkle:
        staff.tickerMax = kSparkleFrames;
        break;
    case kTickerEffectRising:
        staff.tickerMax = kRisingFrames;
        break;
    }
    staff.tickerCount = 0;
    staff.stopTicks = 0;
    staff.stopInterval = kTickerRestTicks;
}

double GetTwinkleAlpha(uint32_t count)
{
    return kTwinkleAlphas[count % kTwinkleAlphas.size()];
}

/* ---- Firings ---- */

// The rest phase: the first firing notes the time, the first firing after
// the interval clears the strip and finishes the entry.
static TickerFrame RestTicker(TCWStaff& staff)
{
    uint32_t now = TickCount();
    if (staff.stopTicks == 0) {
        staff.stopTicks = now ? now : 1; // 0 means "not resting yet"
        return {};
    }
    if (now - staff.stopTicks <= staff.stopInterval)
        return {};
    if (staff.queue)
        staff.queue->flags |= kTickerFlagDone;
    return {.kind = TickerFrameKind::kClear};
}

static TickerFrame DrawnAt(const TCWStaff& staff)
{
    return {.kind = TickerFrameKind::kDraw, .x = staff.tickerPos};
}

static TickerFrame FireFlash(TCWStaff& staff)
{
    if (staff.stopPos >= staff.tickerPos)
        return RestTicker(staff);
    staff.tickerPos -= staff.tickerStep;
    staff.tickerStep = std::max(staff.tickerStep - 1, kFlashMinimumStep);
    return DrawnAt(staff);
}

static TickerFrame FireTwinkle(TCWStaff& staff)
{
    if (staff.tickerCount >= kTwinkleFrames)
        return RestTicker(staff);
    TickerFrame frame = DrawnAt(staff);
    if (staff.drawingMode == kTickerDrawingVector) {
        frame.textAlpha = GetTwinkleAlpha(staff.tickerCount);
        frame.shadowAlpha = frame.textAlpha / kTwinkleShadowDivisor;
    }
    ++staff.tickerCount;
    return frame;
}

static TickerFrame FireBlink(TCWStaff& staff)
{
    if (staff.tickerCount >= staff.tickerMax)
        return RestTicker(staff);
    TickerFrame frame = staff.tickerCount % 2 == 0 ? DrawnAt(staff) : TickerFrame{.kind = TickerFrameKind::kClear};
    ++staff.tickerCount;
    return frame;
}

static TickerFrame FireRising(TCWStaff& staff)
{
    if (staff.tickerCount >= staff.tickerMax)
        return RestTicker(staff);
    TickerFrame frame = DrawnAt(staff);
    frame.baseline = int32_t(staff.tickerCount) - kRisingBaselineOffset;
    ++staff.tickerCount;
    return frame;
}

TickerFrame FireTickerEffect(TCWStaff& staff)
{
    if (!staff.queue)
        return {.kind = TickerFrameKind::kClear};
    switch (staff.queue->effect) {
    case kTickerEffectFlash:
        return FireFlash(staff);
    case kTickerEffectTwinkle:
        return FireTwinkle(staff);
    case kTickerEffectBlink:
    case kTickerEffectSparkle:
        return FireBlink(staff);
    case kTickerEffectRising:
        return FireRising(staff);
    }
    return FireFlash(staff);
}
