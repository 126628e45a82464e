// The notification worker and its payload. Every bus call is asynchronous
// and polled between task sleeps, so neither a slow service nor the image
// download blocks the main thread.
#include "ticker/Notifications.h"

#include "feeds/RefreshSchedule.h"
#include "model/NewsList.h"
#include "net/HttpClient.h"
#include "platform/Folders.h"
#include "platform/Log.h"
#include "platform/Tasks.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDeadlineTimer>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <system_error>

namespace fs = std::filesystem;

static constexpr char kBusService[] = "org.freedesktop.DBus";
static constexpr char kBusPath[] = "/org/freedesktop/DBus";
static constexpr char kBusInterface[] = "org.freedesktop.DBus";
static constexpr char kBodyMarkupCapability[] = "body-markup";
static constexpr char kApplicationIcon[] = "icons/varnoke.png";
static constexpr uint32_t kReplyPollTicks = 1;
static constexpr int kReplyTimeoutMs = 25000; // the bus's own default time-out

static uint32_t gNotificationThreads = 0;

uint32_t CountNotificationThreads()
{
    return gNotificationThreads;
}

/* ---- Texts ---- */

std::optional<GrowlInfo> MakeGrowlInfo(const NewsList& news)
{
    if (!news.headlineRef && !news.descriptionRef)
        return std::nullopt;
    GrowlInfo info;
    std::string_view description = news.descriptionRef.view();
    std::string_view headline = news.headlineRef.view();
    std::string_view name = news.parent ? news.parent->name.view() : std::string_view();
    if (description.empty()) {
        info.description = headline;
        info.headline = name.empty() ? kNotificationDefaultTitle : name;
    } else {
        info.description = description;
        info.headline = headline.empty() ? kNotificationDefaultTitle : headline;
    }
    if (news.parent && !news.parent->imageURL.empty())
        info.imageURL = news.parent->imageURL.view();
    return info;
}

std::string CutUTF16Units(std::string_view text, size_t units)
{
    QString string = QString::fromUtf8(text.data(), qsizetype(text.size()));
    if (size_t(string.size()) <= units)
        return string.toStdString();
    qsizetype cut = qsizetype(units);
    if (cut > 0 && string.at(cut - 1).isHighSurrogate())
        --cut;
    return string.left(cut).toStdString();
}

std::string EscapeNotificationMarkup(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// The address's last path component, fit to be a file name.
static std::string GetImageFileName(std::string_view url)
{
    QUrl parsed(QString::fromUtf8(url.data(), qsizetype(url.size())));
    std::string name = parsed.fileName().toStdString();
    if (name.empty() || name == "." || name == "..")
        name = "image";
    return name;
}

fs::path GetImageFilePath(std::string_view url)
{
    return GetUserImageCacheFolder() / (std::to_string(CalculateURLHash(url)) + "-" + GetImageFileName(url));
}

NotificationPayload MakeNotificationPayload(const GrowlInfo& info, std::string_view iconURL, bool bodyMarkup,
                                            bool iconIsImage)
{
    NotificationPayload payload;
    payload.appName = kNotificationAppName;
    payload.appIcon = iconURL;
    payload.summary = CutUTF16Units(info.headline, kNotificationTitleUnits);
    payload.body = CutUTF16Units(info.description, kNotificationTextUnits);
    if (bodyMarkup)
        payload.body = EscapeNotificationMarkup(payload.body);
    if (iconIsImage)
        payload.imagePath = iconURL;
    return payload;
}

/* ---- The worker ---- */

static std::string MakeFileURL(const fs::path& file)
{
    return QUrl::fromLocalFile(QString::fromStdString(file.string())).toString(QUrl::FullyEncoded).toStdString();
}

// Whether a worker should sleep on for the call's reply.
static bool IsAwaitingReply(const QDBusPendingCall& call, const QDeadlineTimer& deadline)
{
    return !call.isFinished() && !deadline.hasExpired();
}

static QDBusMessage TakeReply(const QDBusPendingCall& call)
{
    return call.isFinished() ? call.reply() : QDBusMessage();
}

static QDBusMessage MakeBusCall(const char* method, const QString& name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kBusService, kBusPath, kBusInterface, method);
    if (!name.isEmpty())
        call << name;
    return call;
}

// The icon: the cached image, fetched when missing; else Varnoke's icon.
struct NotificationIcon {
    std::string url;
    bool isImage = false;
};

static NotificationIcon GetApplicationIconURL()
{
    std::optional<fs::path> icon = MakeResourcePath(kApplicationIcon);
    return {icon ? MakeFileURL(*icon) : std::string(), false};
}

static bool IsCachedImage(const fs::path& file)
{
    std::error_code error;
    return fs::is_regular_file(file, error) && fs::file_size(file, error) > 0;
}

static QDBusPendingCall SendNotify(QDBusConnection& bus, const NotificationPayload& payload)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromUtf8(kNotificationService.data(), kNotificationService.size()),
                                                       QString::fromUtf8(kNotificationPath.data(), kNotificationPath.size()),
                                                       QString::fromUtf8(kNotificationInterface.data(), kNotificationInterface.size()),
                                                       QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QString::fromUtf8(kNotificationDesktopEntry.data(), kNotificationDesktopEntry.size()));
    if (!payload.imagePath.empty())
        hints.insert(QStringLiteral("image-path"), QString::fromStdString(payload.imagePath));
    call << QString::fromStdString(payload.appName) << uint32_t(0) << QString::fromStdString(payload.appIcon)
         << QString::fromStdString(payload.summary) << QString::fromStdString(payload.body) << QStringList()
         << hints << int32_t(payload.expireTimeout);
    return bus.asyncCall(call, kReplyTimeoutMs);
}

static bool IsTrueReply(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().toBool();
}

static WorkerTask GrowlThread(GrowlInfo info)
{
    ++gNotificationThreads;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QString::fromUtf8(kNotificationService.data(), kNotificationService.size());
    QDBusMessage reply;
    bool present = false;
    if (bus.isConnected()) {
        QDBusPendingCall owned = bus.asyncCall(MakeBusCall("NameHasOwner", service), kReplyTimeoutMs);
        for (QDeadlineTimer deadline(kReplyTimeoutMs); IsAwaitingReply(owned, deadline);)
            co_await TaskSleep(kReplyPollTicks);
        reply = TakeReply(owned);
        present = IsTrueReply(reply);
        if (!present) {
            QDBusPendingCall activatable = bus.asyncCall(MakeBusCall("ListActivatableNames", {}), kReplyTimeoutMs);
            for (QDeadlineTimer deadline(kReplyTimeoutMs); IsAwaitingReply(activatable, deadline);)
                co_await TaskSleep(kReplyPollTicks);
            reply = TakeReply(activatable);
            present = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                      reply.arguments().first().toStringList().contains(service);
        }
    }
    if (!present) {
        LogInfo("no notification service: \"%s\" not announced", info.headline.c_str());
        --gNotificationThreads;
        co_return;
    }

    NotificationIcon icon = GetApplicationIconURL();
    if (!info.imageURL.empty()) {
        fs::path image = GetImageFilePath(info.imageURL);
        if (!IsCachedImage(image)) {
            OSStatus status = co_await HttpSimpleGet(info.imageURL, image);
            if (status != kNoErr)
                LogFailure("image %s for a notification: %d", info.imageURL.c_str(), int(status));
        }
        if (IsCachedImage(image))
            icon = {MakeFileURL(image), true};
    }

    QDBusMessage capabilities = QDBusMessage::createMethodCall(
        service, QString::fromUtf8(kNotificationPath.data(), kNotificationPath.size()),
        QString::fromUtf8(kNotificationInterface.data(), kNotificationInterface.size()),
        QStringLiteral("GetCapabilities"));
    QDBusPendingCall asked = bus.asyncCall(capabilities, kReplyTimeoutMs);
    for (QDeadlineTimer deadline(kReplyTimeoutMs); IsAwaitingReply(asked, deadline);)
        co_await TaskSleep(kReplyPollTicks);
    reply = TakeReply(asked);
    bool bodyMarkup = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                      reply.arguments().first().toStringList().contains(kBodyMarkupCapability);

    NotificationPayload payload = MakeNotificationPayload(info, icon.url, bodyMarkup, icon.isImage);
    QDBusPendingCall sent = SendNotify(bus, payload);
    for (QDeadlineTimer deadline(kReplyTimeoutMs); IsAwaitingReply(sent, deadline);)
        co_await TaskSleep(kReplyPollTicks);
    reply = TakeReply(sent);
    if (reply.type() == QDBusMessage::ReplyMessage)
        LogInfo("notification [%u] for \"%s\"", reply.arguments().value(0).toUInt(), payload.summary.c_str());
    else
        LogFailure("notification for \"%s\" not sent: %s", payload.summary.c_str(),
                   qPrintable(reply.errorMessage().isEmpty() ? QStringLiteral("no reply") : reply.errorMessage()));
    --gNotificationThreads;
}

void RegistNewsToGrowl(const NewsList& news)
{
    std::optional<GrowlInfo> info = MakeGrowlInfo(news);
    if (!info)
        return;
    StartWorkerTask(GrowlThread(std::move(*info)));
}
