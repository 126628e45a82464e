// The five ticker effects as state machines: set-up for the head entry, then
// one step per firing of the effect's timer, each step telling the window
// what to show. All end in the same rest phase of 8 seconds, measured with
// TickCount, after which the strip is cleared and the entry is done. No
// drawing here: the window turns each TickerFrame into pixels.
#pragma once

#include "platform/FourCharCode.h"
#include "ticker/TickerQueue.h"

#include <cstdint>
#include <string>

constexpr int32_t kTickerWindowHeight = 32;
constexpr uint32_t kTickerRestTicks = 480; // 8 s of the final picture
constexpr int32_t kTickerIconSize = 20;
constexpr int32_t kTickerIconAdvance = 24;  // an icon with its gap
constexpr int32_t kTickerTitleGap = 4;      // after the title, before the second icon
constexpr int32_t kTickerTextBaseline = 10; // pixels above the bottom edge
constexpr int32_t kTickerIconBelowBaseline = 3;
// The slide starts at least this fast, in pixels per frame.
constexpr int32_t kFlashMinimumInitialStep = 36;
constexpr int32_t kFlashMinimumStep = 2;

// Timer periods in ticks and animated frame counts.
constexpr uint32_t kFlashPeriodTicks = 2;
constexpr uint32_t kTwinklePeriodTicks = 4;
constexpr uint32_t kBlinkPeriodTicks = 30;
constexpr uint32_t kSparklePeriodTicks = 10;
constexpr uint32_t kRisingPeriodTicks = 2;
constexpr uint32_t kTwinkleFrames = 26;
constexpr uint32_t kBlinkFrames = 7;
constexpr uint32_t kSparkleFrames = 15;
constexpr uint32_t kRisingFrames = 32;
// The rising baseline is the frame count less this, above the bottom edge.
constexpr int32_t kRisingBaselineOffset = 22;

enum TickerDrawingMode : uint32_t {
    kTickerDrawingVector = 0, // the ticker font, a translucent black shadow
    kTickerDrawingBitmap = 1, // the script's font, a grey shadow, no fading
};

constexpr FourCharCode kTickerWindowSignature = MakeFourCharCode("TCW ");
constexpr uint32_t kTickerWindowTypeOverlay = 1;

// The ticker window's state. One, owned by the ticker.
struct TCWStaff {
    FourCharCode signature = kTickerWindowSignature;
    uint32_t type = kTickerWindowTypeOverlay;
    uint32_t flags = 0;
    TickerQueue* queue = nullptr; // head first; the head is on screen
    bool timerRunning = false;    // the effect's timer is installed
    int32_t tickerPos = 0;        // x of the drawing, from the window's left
    int32_t tickerStep = 0;       // flash: movement of the next frame
    int32_t stopPos = 0;          // x at which the drawing rests
    int32_t titleWidth = 0;       // 0 without a title
    uint32_t stopTicks = 0;       // when the rest phase began; 0 before
    uint32_t stopInterval = kTickerRestTicks;
    TickerDrawingMode drawingMode = kTickerDrawingVector;
    uint32_t tickerCount = 0;     // frames drawn so far
    uint32_t tickerMax = 0;       // animated frames (blink, sparkle, rising)

    // The head's message as fitted to the screen, its width and the width
    // of the whole drawing (icons, title, message).
    std::string drawMessage;
    int32_t messageWidth = 0;
    int32_t drawingWidth = 0;
    int32_t screenWidth = 0;
};

// What one firing asks of the window.
enum class TickerFrameKind {
    kUnchanged, // the picture stays as it is (the rest phase)
    kClear,     // the strip is emptied
    kDraw,      // the strip is emptied and the drawing drawn as below
};

struct TickerFrame {
    TickerFrameKind kind = TickerFrameKind::kUnchanged;
    int32_t x = 0;                        // left of the first icon
    int32_t baseline = kTickerTextBaseline; // text baseline above the bottom edge
    double textAlpha = 1.0;               // texts in the ticker colour
    double shadowAlpha = 1.0;             // shadows: a factor on the mode's shadow
};

// 1 + 2 + ... + x; 0 for x below 1.
int32_t Sum(int32_t x);
// (screen width - drawing width) / 2, rounded toward zero.
int32_t CalcStopPosition(int32_t screenWidth, int32_t drawingWidth);
// The smallest step, not below 36, whose Sum covers the travel from the
// right edge to the resting place; `slop` is how far the Sum overshoots it.
int32_t CalcInitialStep(int32_t screenWidth, int32_t drawingWidth, int32_t& slop);

// The drawing's width: icon, message and, with a title, the title, its gap
// and the second icon.
int32_t CalcDrawingWidth(int32_t titleWidth, int32_t messageWidth);

// Prepares `staff` for its head entry, whose title and fitted message were
// measured by the window.
void SetupTickerParams(TCWStaff& staff, int32_t screenWidth, int32_t titleWidth, std::string drawMessage,
                       int32_t messageWidth);

// The timer period of an effect, in ticks.
uint32_t GetTickerEffectPeriod(TickerEffect effect);

// One firing of the head's effect timer: advances the state machine and
// says what to show; marks the head done when its rest phase is over.
TickerFrame FireTickerEffect(TCWStaff& staff);

// The twinkle's text opacity at frame `count`.
double GetTwinkleAlpha(uint32_t count);
