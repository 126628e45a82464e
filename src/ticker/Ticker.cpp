// The ticker's queue and its timers' decisions. Everything runs on the main
// thread; workers queue hot news between their yields, so the queue needs no
// lock. The presenter draws and owns the timers.
#include "ticker/Ticker.h"

#include "model/NewsList.h"
#include "platform/Encodings.h"
#include "platform/Log.h"
#include "platform/Tasks.h"
#include "ticker/TickerSounds.h"
#include "ticker/TickerText.h"
#include "viewer/ViewerOperations.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

static TCWStaff gTickerStaff;
static TickerPresenter* gTickerPresenter = nullptr;

static constexpr char kEventsPath[] = "/org/varnoke/Events";
static constexpr char kEventsInterface[] = "org.varnoke.Events";
static constexpr char kEventsMethod[] = "Send";

void SetTickerPresenter(TickerPresenter* presenter)
{
    gTickerPresenter = presenter;
    gTickerStaff.timerRunning = false;
}

const TCWStaff& GetTickerStaff()
{
    return gTickerStaff;
}

/* ---- Queueing ---- */

static void QueueTickerEntry(const TickerQueue& entry)
{
    TickerQueue*& queue = gTickerStaff.queue;
    queue = AddTickerQueue(queue, FindLastQueue(queue, entry.priority), entry);
}

static uint32_t GetNewsEncoding(const NewsList& news)
{
    CFStringEncoding encoding = kCFStringEncodingUTF8;
    if (!news.encodingName.empty())
        CFStringEncodingFromInternetName(news.encodingName.view(), encoding);
    return encoding;
}

void RegistNewsTickerWindow(const NewsList& news, uint32_t priority, std::string_view sound, std::string_view effect,
                            std::string_view source)
{
    TickerQueue entry;
    entry.priority = priority;
    entry.newsType = news.type;
    entry.newsID = news.nid;
    entry.newsSender = 0;
    entry.encoding = GetNewsEncoding(news);
    entry.link = news.linkURL.view();
    entry.sound = sound;
    entry.effect = GetTickerEffectByName(effect);
    entry.iconRef = news.type == kNewsTypeFeed ? TickerIcon::kFeed : TickerIcon::kMail;
    std::optional<std::string_view> description;
    if (news.descriptionRef)
        description = news.descriptionRef.view();
    SummarizeMessage(entry, source, news.author.view(), news.headlineRef.view(), description);
    QueueTickerEntry(entry);
}

void RegistNewsTickerWindow(const NewsList& news, std::string_view source)
{
    RegistNewsTickerWindow(news, kTickerNewsPriority, news.sound.view(), news.effect.view(), source);
}

void RegistMessageTickerWindow(std::string_view message, uint32_t priority, std::string_view sound,
                               std::string_view effect, std::string_view source, uint32_t messageID,
                               uint32_t processID)
{
    TickerQueue entry;
    entry.priority = priority;
    entry.newsType = kTickerNewsTypeMessage;
    entry.newsID = messageID;
    entry.newsSender = processID;
    entry.encoding = kCFStringEncodingUTF8;
    entry.sound = sound;
    entry.effect = GetTickerEffectByName(effect);
    entry.iconRef = TickerIcon::kApplication;
    SummarizeMessage(entry, source, {}, message, std::nullopt);
    QueueTickerEntry(entry);
}

/* ---- Running ---- */

// Measures the head's texts and prepares its effect.
static void SetupHead(TickerPresenter& presenter)
{
    TickerQueue& head = *gTickerStaff.queue;
    int32_t screenWidth = presenter.GetTickerScreenWidth();
    int32_t titleWidth = head.title.empty() ? 0 : presenter.MeasureTickerText(head.title.view(), head.script);
    TruncatedMessage fitted =
        TrancateMessage(head.message.view(), screenWidth, titleWidth,
                        [&](std::string_view text) { return presenter.MeasureTickerText(text, head.script); });
    SetupTickerParams(gTickerStaff, screenWidth, titleWidth, std::move(fitted.text), fitted.width);
}

static void StopEffect(TickerPresenter& presenter)
{
    if (!gTickerStaff.timerRunning)
        return;
    presenter.StopEffectTimer();
    gTickerStaff.timerRunning = false;
}

void IdleEventLoop()
{
    TickerPresenter* presenter = gTickerPresenter;
    if (!presenter)
        return;
    CheckFunctionKey();
    TickerQueue*& queue = gTickerStaff.queue;
    if (queue && (queue->flags & kTickerFlagDone)) {
        StopEffect(*presenter);
        queue = RemoveTickerQueueHead(queue);
        if (!queue)
            presenter->HideTicker();
    }
    if (!queue || (queue->flags & kTickerFlagStarted))
        return;
    if (CountRunningThreads() >= kTickerBusyWorkerCount) {
        presenter->HideTicker(); // nothing to show while the next entry waits
        return;
    }
    presenter->ShowTicker();
    SetupHead(*presenter);
    queue->flags |= kTickerFlagStarted;
    gTickerStaff.timerRunning = true;
    presenter->StartEffectTimer(GetTickerEffectPeriod(queue->effect));
    if (!queue->sound.empty())
        PlaySound(queue->sound.view());
}

void FireTickerEffectTimer()
{
    TickerPresenter* presenter = gTickerPresenter;
    // A finished entry's strip is already clear; its timer only waits for
    // the idle step to remove it.
    if (!presenter || (gTickerStaff.queue && (gTickerStaff.queue->flags & kTickerFlagDone)))
        return;
    TickerFrame frame = FireTickerEffect(gTickerStaff);
    if (frame.kind != TickerFrameKind::kUnchanged)
        presenter->DrawTickerFrame(gTickerStaff, frame);
}

/* ---- Keys ---- */

// F8 on a message tells its sender; the key sound only when that worked.
static void ReplyToSender(const TickerQueue& head, FourCharCode eventID)
{
    OSStatus status = AESendMessageHandleEvent(kTickerReplyClass, eventID, head.newsSender, head.newsID);
    if (status == kNoErr)
        PlaySound(kTickerKeySound);
}

static void TakeOpenKey(TickerPresenter& presenter, TickerQueue& head)
{
    head.flags |= kTickerFlagRead | kTickerFlagOpened;
    if (head.newsType == kTickerNewsTypeMessage) {
        ReplyToSender(head, kTickerReplyOpened);
        return;
    }
    PlaySound(kTickerKeySound);
    ReadNewsViewerWindow(nullptr, head.newsID);
    if (!head.link.empty())
        presenter.OpenTickerLink(head.link.view());
}

static void TakeReadKey(TickerQueue& head)
{
    head.flags |= kTickerFlagRead;
    if (head.newsType == kTickerNewsTypeMessage) {
        ReplyToSender(head, kTickerReplyRead);
        return;
    }
    PlaySound(kTickerKeySound);
    ReadNewsViewerWindow(nullptr, head.newsID);
}

void CheckFunctionKey()
{
    TickerPresenter* presenter = gTickerPresenter;
    TickerQueue* head = gTickerStaff.queue;
    if (!presenter || !head || head->newsID == 0 || !(head->flags & kTickerFlagStarted))
        return;
    if (!(head->flags & kTickerFlagOpened) && presenter->IsTickerKeyDown(TickerKey::kF8)) {
        TakeOpenKey(*presenter, *head);
        return;
    }
    if (!(head->flags & kTickerFlagRead) && presenter->IsTickerKeyDown(TickerKey::kF7))
        TakeReadKey(*head);
}

/* ---- Replies ---- */

// A bus name the process owns: a well-known one when it has any (those
// export the events object), else its unique connection name.
static QString FindBusNameOfProcess(QDBusConnectionInterface& daemon, uint32_t processID)
{
    QDBusReply<QStringList> names = daemon.registeredServiceNames();
    if (!names.isValid())
        return {};
    QString unique;
    for (const QString& name : names.value()) {
        QDBusReply<uint> owner = daemon.servicePid(name);
        if (!owner.isValid() || owner.value() != processID)
            continue;
        if (!name.startsWith(':'))
            return name;
        unique = name;
    }
    return unique;
}

OSStatus AESendMessageHandleEvent(FourCharCode eventClass, FourCharCode eventID, uint32_t processID,
                                  uint32_t messageID)
{
    if (processID == 0)
        return kGenericErr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return kProcessNotFoundErr;
    QString target = FindBusNameOfProcess(*bus.interface(), processID);
    if (target.isEmpty())
        return kProcessNotFoundErr;
    QByteArray parameter(4, '\0');
    for (int i = 0; i < 4; ++i)
        parameter[i] = char((messageID >> (24 - 8 * i)) & 0xFF);
    QDBusMessage call = QDBusMessage::createMethodCall(target, kEventsPath, kEventsInterface, kEventsMethod);
    call << QString::fromStdString(FourCharCodeToString(eventClass))
         << QString::fromStdString(FourCharCodeToString(eventID)) << parameter;
    call.setAutoStartService(false);
    if (!bus.send(call))
        return kGenericErr;
    return kNoErr;
}

void CloseTicker()
{
    if (gTickerPresenter)
        StopEffect(*gTickerPresenter);
    DisposeTickerQueue(gTickerStaff.queue);
    gTickerStaff = TCWStaff();
}
