// D-Bus transport of the program's messages: the exported Events object, the
// handler table, and the sending side. Everything runs on the main thread.
#include "platform/Messages.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>
#include <map>
#include <memory>

static constexpr char kEventsPath[] = "/org/varnoke/Events";
static constexpr char kEventsInterface[] = "org.varnoke.Events";
static constexpr char kServicePrefix[] = "org.varnoke.";
static constexpr int kMillisecondsPerTick = 1000 / 60 + 1; // round up: never time out early

/* ---- The handler table ---- */

static std::map<uint64_t, MessageHandler> gMessageHandlers;
static std::string gOwnedServiceName;

static uint64_t HandlerKey(FourCharCode eventClass, FourCharCode eventID)
{
    return (uint64_t(eventClass) << 32) | eventID;
}

void InstallMessageHandler(FourCharCode eventClass, FourCharCode eventID, MessageHandler handler)
{
    gMessageHandlers[HandlerKey(eventClass, eventID)] = std::move(handler);
}

void RemoveMessageHandler(FourCharCode eventClass, FourCharCode eventID)
{
    gMessageHandlers.erase(HandlerKey(eventClass, eventID));
}

MessageReply DispatchMessage(FourCharCode eventClass, FourCharCode eventID, std::string_view directParameter)
{
    MessageReply answer;
    auto found = gMessageHandlers.find(HandlerKey(eventClass, eventID));
    if (found == gMessageHandlers.end()) {
        answer.result = kMessageNotHandledErr;
        return answer;
    }
    // Copy the handler: it may replace itself while it runs.
    MessageHandler handler = found->second;
    try {
        answer.result = handler(directParameter, answer.reply);
    } catch (const std::exception& failure) {
        LogFailure("message %s/%s failed: %s", FourCharCodeToString(eventClass).c_str(),
                   FourCharCodeToString(eventID).c_str(), failure.what());
        answer.result = kGenericErr;
        answer.reply.clear();
    }
    return answer;
}

/* ---- The exported object ---- */

namespace {

class EventsObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.varnoke.Events")

public slots:
    int Send(const QString& eventClass, const QString& eventID, const QByteArray& directParameter,
             QByteArray& reply)
    {
        FourCharCode classCode = 0;
        FourCharCode idCode = 0;
        if (!ParseFourCharCode(eventClass.toStdString(), classCode) ||
            !ParseFourCharCode(eventID.toStdString(), idCode)) {
            LogFailure("message with a malformed class or ID: \"%s\"/\"%s\"",
                       qPrintable(eventClass.left(16)), qPrintable(eventID.left(16)));
            return kMessageNotHandledErr;
        }
        MessageReply answer = DispatchMessage(classCode, idCode,
                                              std::string_view(directParameter.constData(),
                                                               size_t(directParameter.size())));
        reply = QByteArray(answer.reply.data(), qsizetype(answer.reply.size()));
        return answer.result;
    }
};

} // namespace

static std::unique_ptr<EventsObject> gEventsObject;

std::string MessageServiceName(FourCharCode creator)
{
    return kServicePrefix + FourCharCodeToString(creator);
}

NameOwnership OwnMessageName(FourCharCode creator)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        LogFailure("no session bus: %s", qPrintable(bus.lastError().message()));
        return NameOwnership::NoBus;
    }
    if (!gEventsObject) {
        gEventsObject = std::make_unique<EventsObject>();
        if (!bus.registerObject(kEventsPath, gEventsObject.get(), QDBusConnection::ExportAllSlots)) {
            LogFailure("cannot export %s: %s", kEventsPath, qPrintable(bus.lastError().message()));
            return NameOwnership::NoBus;
        }
    }
    std::string name = MessageServiceName(creator);
    QDBusConnectionInterface* daemon = bus.interface();
    auto registered = daemon->registerService(QString::fromStdString(name),
                                              QDBusConnectionInterface::DontQueueService,
                                              QDBusConnectionInterface::DontAllowReplacement);
    if (!registered.isValid()) {
        LogFailure("cannot own %s: %s", name.c_str(), qPrintable(registered.error().message()));
        return NameOwnership::NoBus;
    }
    if (registered.value() != QDBusConnectionInterface::ServiceRegistered)
        return NameOwnership::OwnedByOther;
    gOwnedServiceName = name;
    return NameOwnership::Owned;
}

void ReleaseMessageName()
{
    if (gOwnedServiceName.empty())
        return;
    QDBusConnection::sessionBus().interface()->unregisterService(QString::fromStdString(gOwnedServiceName));
    gOwnedServiceName.clear();
}

/* ---- Sending ---- */

static QDBusMessage MakeEventsCall(FourCharCode target, FourCharCode eventClass, FourCharCode eventID,
                                   std::string_view directParameter)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromStdString(MessageServiceName(target)),
                                                       kEventsPath, kEventsInterface, "Send");
    call.setAutoStartService(false);
    call << QString::fromStdString(FourCharCodeToString(eventClass))
         << QString::fromStdString(FourCharCodeToString(eventID))
         << QByteArray(directParameter.data(), qsizetype(directParameter.size()));
    return call;
}

static MessageReply ReadEventsReply(const QDBusMessage& message)
{
    MessageReply answer;
    if (message.type() == QDBusMessage::ErrorMessage) {
        QString error = message.errorName();
        if (error == "org.freedesktop.DBus.Error.ServiceUnknown" ||
            error == "org.freedesktop.DBus.Error.NameHasNoOwner")
            answer.result = kProcessNotFoundErr;
        else if (error == "org.freedesktop.DBus.Error.NoReply" || error == "org.freedesktop.DBus.Error.Timeout")
            answer.result = kMessageTimeoutErr;
        else
            answer.result = kGenericErr;
        return answer;
    }
    QList<QVariant> arguments = message.arguments();
    if (arguments.size() != 2 || !arguments[0].canConvert<int>() || arguments[1].typeId() != QMetaType::QByteArray) {
        LogFailure("malformed reply from %s", qPrintable(message.service()));
        answer.result = kGenericErr;
        return answer;
    }
    answer.result = arguments[0].toInt();
    QByteArray bytes = arguments[1].toByteArray();
    answer.reply.assign(bytes.constData(), size_t(bytes.size()));
    return answer;
}

static bool IsOwnName(FourCharCode target)
{
    return !gOwnedServiceName.empty() && gOwnedServiceName == MessageServiceName(target);
}

static int TicksToMilliseconds(uint32_t ticks)
{
    uint64_t milliseconds = uint64_t(ticks) * kMillisecondsPerTick;
    return milliseconds > INT32_MAX ? INT32_MAX : int(milliseconds);
}

MessageReply SendMessageWithReply(FourCharCode target, FourCharCode eventClass, FourCharCode eventID,
                                  std::string_view directParameter, uint32_t timeoutTicks)
{
    // A blocking call to our own name would wait for ourselves until the time-out.
    if (IsOwnName(target))
        return DispatchMessage(eventClass, eventID, directParameter);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return MessageReply{kProcessNotFoundErr, {}};
    QDBusMessage answer = bus.call(MakeEventsCall(target, eventClass, eventID, directParameter), QDBus::Block,
                                   TicksToMilliseconds(timeoutTicks));
    return ReadEventsReply(answer);
}

OSStatus SendMessageNoReply(FourCharCode target, FourCharCode eventClass, FourCharCode eventID,
                            std::string_view directParameter)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !IsMessageNameOwned(target))
        return kProcessNotFoundErr;
    // QDBusConnection::send marks method calls as expecting no reply.
    if (!bus.send(MakeEventsCall(target, eventClass, eventID, directParameter)))
        return kGenericErr;
    return kNoErr;
}

void SendMessageAsync(FourCharCode target, FourCharCode eventClass, FourCharCode eventID,
                      std::string_view directParameter, uint32_t timeoutTicks,
                      std::function<void(const MessageReply&)> done)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        MessageReply failed{kProcessNotFoundErr, {}};
        QMetaObject::invokeMethod(QCoreApplication::instance(), [done, failed] { done(failed); }, Qt::QueuedConnection);
        return;
    }
    QDBusPendingCall pending = bus.asyncCall(MakeEventsCall(target, eventClass, eventID, directParameter),
                                             TicksToMilliseconds(timeoutTicks));
    auto* watcher = new QDBusPendingCallWatcher(pending);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         done(ReadEventsReply(finished->reply()));
                         finished->deleteLater();
                     });
}

/* ---- Who runs ---- */

bool IsMessageNameOwned(FourCharCode creator)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    auto owned = bus.interface()->isServiceRegistered(QString::fromStdString(MessageServiceName(creator)));
    return owned.isValid() && owned.value();
}

uint32_t GetMessageNameOwnerPID(FourCharCode creator)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return 0;
    auto pid = bus.interface()->servicePid(QString::fromStdString(MessageServiceName(creator)));
    return pid.isValid() ? pid.value() : 0;
}

/* ---- Reply encodings ---- */

std::string EncodeReplyBoolean(bool value)
{
    return std::string(1, value ? '\1' : '\0');
}

std::string EncodeReplyShort(int16_t value)
{
    uint16_t bits = uint16_t(value);
    return std::string{char(bits >> 8), char(bits)};
}

std::string EncodeReplyLong(int32_t value)
{
    uint32_t bits = uint32_t(value);
    return std::string{char(bits >> 24), char(bits >> 16), char(bits >> 8), char(bits)};
}

std::string EncodeReplyRect(int16_t top, int16_t left, int16_t bottom, int16_t right)
{
    return EncodeReplyShort(top) + EncodeReplyShort(left) + EncodeReplyShort(bottom) + EncodeReplyShort(right);
}

bool DecodeReplyShort(std::string_view reply, int16_t& value)
{
    if (reply.size() != 2)
        return false;
    value = int16_t((uint16_t(uint8_t(reply[0])) << 8) | uint8_t(reply[1]));
    return true;
}

#include "Messages.moc"
