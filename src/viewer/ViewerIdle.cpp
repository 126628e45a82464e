// The idle tick on a Qt timer of the event loop, and the auto-save it runs.
// The tick measures nothing itself: each duty compares TickCount() or
// GetDateTime() with its own threshold, so that a test clock drives them.
#include "viewer/ViewerIdle.h"

#include "feeds/RefreshCycle.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Tasks.h"
#include "viewer/ViewerOperations.h"

#include <QCoreApplication>
#include <QTimer>

#include <memory>

constexpr int kIdleTickMilliseconds = int(kIdleTickTicks * 1000 / kTicksPerSecond);

// Auto-save thresholds: seconds of quiet after the last change, and the
// number of pending changes that is then enough.
struct AutoSaveRule {
    uint32_t quietSeconds;
    uint32_t minimumCount;
};
// Longest quiet first; below the last row nothing is saved.
constexpr AutoSaveRule kAutoSaveRules[] = {
    {300, 1},
    {15, 5},
    {3, 20},
};

static std::unique_ptr<QTimer> gIdleTimer;
static bool gStatusShown = false;

void StartViewerIdleTick(NVWStaff* staff)
{
    StopViewerIdleTick();
    if (!staff || !QCoreApplication::instance())
        return;
    gIdleTimer = std::make_unique<QTimer>();
    gIdleTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(gIdleTimer.get(), &QTimer::timeout, [staff] { IdleEventLoop(staff); });
    gIdleTimer->start(kIdleTickMilliseconds);
    QTimer::singleShot(0, gIdleTimer.get(), [staff] { IdleEventLoop(staff); });
}

void StopViewerIdleTick()
{
    gIdleTimer.reset();
    gStatusShown = false;
}

/* ---- Status line ---- */

void ShowChasingStatus(NVWStaff& staff)
{
    uint32_t top = staff.statusStack.empty() ? 0 : staff.statusStack.back().kid;
    if (gStatusShown && top == staff.prevStatus)
        return;
    staff.prevStatus = top;
    gStatusShown = true;
    static const std::string kNoMessage;
    const std::string* message = GetTopStatus(staff.statusStack);
    if (ViewerPresenter* presenter = GetViewerPresenter())
        presenter->DrawStatus(message ? message : &kNoMessage);
}

void HideChasingStatus(NVWStaff& staff)
{
    if (!gStatusShown)
        return;
    gStatusShown = false;
    staff.prevStatus = 0;
    if (ViewerPresenter* presenter = GetViewerPresenter())
        presenter->DrawStatus(nullptr);
}

/* ---- Auto-save ---- */

bool ExecAutoSave(NVWStaff* staff)
{
    if (!staff || staff->markCount == 0 || CountRunningThreads() != 0)
        return false;
    uint32_t now = GetDateTime();
    // A clock set back counts as a long quiet: the changes are old.
    uint32_t elapsed = now >= staff->markTime ? now - staff->markTime : kAutoSaveRules[0].quietSeconds;
    bool due = false;
    for (const AutoSaveRule& rule : kAutoSaveRules) {
        if (elapsed >= rule.quietSeconds) {
            due = staff->markCount >= rule.minimumCount;
            break;
        }
    }
    if (!due)
        return false;
    LogInfo("AutoSaving %u - [ %u sec ]", staff->markCount, elapsed);
    OSStatus status = AutoSaveViewerModel(*staff);
    if (status != kNoErr)
        LogFailure("auto-save failed (%d); the changes stay marked", int(status));
    else
        staff->markCount = 0;
    return status == kNoErr;
}

/* ---- The tick ---- */

void IdleEventLoop(NVWStaff* staff)
{
    if (!staff)
        return;
    if (CountRunningThreads() == 0)
        HideChasingStatus(*staff);
    else
        ShowChasingStatus(*staff);
    if (uint32_t sid = TakeDeferedPreDescription()) {
        const SubscriptionList* subscription = FindSubscriptionByID(staff->subscriptions, sid);
        ViewerPresenter* presenter = GetViewerPresenter();
        if (subscription && presenter)
            presenter->DrawPreDescription(*subscription);
    }
    CheckAutoSubscriptions(staff);
}
