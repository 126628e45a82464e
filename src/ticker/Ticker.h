// The ticker: its queue of entries, the half-second idle step that starts
// the next entry and removes a finished one, the effect timer's firings,
// the F7 and F8 keys, and the replies to programs whose messages it shows.
// The window implements TickerPresenter; this core holds every decision and
// is driven by hand (and a test clock) in tests.
#pragma once

#include "platform/FourCharCode.h"
#include "platform/Status.h"
#include "ticker/TickerEffects.h"
#include "ticker/TickerQueue.h"

#include <cstdint>
#include <string_view>

struct NewsList;

// The idle step's period, and how many running workers hold the queue back.
constexpr uint32_t kTickerIdlePeriodTicks = 30;
constexpr uint32_t kTickerBusyWorkerCount = 2;

// The replies to a message's sender: F8 'SMsg', F7 'RMsg'.
constexpr FourCharCode kTickerReplyClass = MakeFourCharCode("Rssv");
constexpr FourCharCode kTickerReplyOpened = MakeFourCharCode("SMsg");
constexpr FourCharCode kTickerReplyRead = MakeFourCharCode("RMsg");

enum class TickerKey { kF7, kF8 };

// What the ticker asks of its window.
class TickerPresenter {
public:
    virtual ~TickerPresenter() = default;
    // Width of the strip (the primary screen's available width).
    virtual int32_t GetTickerScreenWidth() = 0;
    // Width of `text` as drawn for an entry of `script`.
    virtual int32_t MeasureTickerText(std::string_view text, TickerScript script) = 0;
    virtual void ShowTicker() = 0;
    virtual void HideTicker() = 0;
    // Fires FireTickerEffectTimer every `periodTicks`, the first time at once.
    virtual void StartEffectTimer(uint32_t periodTicks) = 0;
    virtual void StopEffectTimer() = 0;
    virtual void DrawTickerFrame(const TCWStaff& staff, const TickerFrame& frame) = 0;
    // Whether the key is held at this moment.
    virtual bool IsTickerKeyDown(TickerKey key) = 0;
    virtual void OpenTickerLink(std::string_view url) = 0;
};

// Installs the window (null detaches it; the queue stays).
void SetTickerPresenter(TickerPresenter* presenter);

// The ticker's state; its queue's head is the entry on screen.
const TCWStaff& GetTickerStaff();

/* ---- Queueing ---- */

// Queues a news item: `sound` played at its start, `effect` by name (any
// unknown name flashes), titled by `source` for feed items and by the
// item's author otherwise.
void RegistNewsTickerWindow(const NewsList& news, uint32_t priority, std::string_view sound, std::string_view effect,
                            std::string_view source);
// The hot-news form: priority 1, the sound and effect the item's filter gave.
void RegistNewsTickerWindow(const NewsList& news, std::string_view source);

// Queues another program's message, titled by `source`.
void RegistMessageTickerWindow(std::string_view message, uint32_t priority, std::string_view sound,
                               std::string_view effect, std::string_view source, uint32_t messageID,
                               uint32_t processID);

/* ---- Running ---- */

// The idle step, every kTickerIdlePeriodTicks: the keys, the removal of a
// finished head, and the start of the next head while fewer than 2 workers
// run. The window is hidden whenever no entry is on it: the queue is empty
// or its head waits for the downloads.
void IdleEventLoop();

// One firing of the effect timer: the next frame, drawn by the presenter.
void FireTickerEffectTimer();

// F7 marks the head's item read (or tells the sender 'RMsg'); F8 also opens
// its link (or tells the sender 'SMsg'). Each acts once per entry, and only
// on the entry on screen.
void CheckFunctionKey();

// Sends the event to the program with that process id, the message id as
// its direct parameter (4 bytes, big-endian), without waiting. kGenericErr
// for process id 0, kProcessNotFoundErr when no program of that process is
// on the bus.
OSStatus AESendMessageHandleEvent(FourCharCode eventClass, FourCharCode eventID, uint32_t processID,
                                  uint32_t messageID);

// Empties the queue and stops the effect (quit).
void CloseTicker();
