// One URL transfer on Qt's network access manager. The reply's signals only
// write into the transfer's state and wake the waiting task; the task reads
// the outcome when it runs again. The body is written through the HTTP
// client's BodyFile, so a broken transfer never replaces a cache file.
#include "feeds/RefreshURLService.h"

#include "net/BodyFile.h"
#include "net/HttpClient.h"
#include "net/HttpResponse.h"
#include "net/HttpTransport.h"
#include "net/HttpURL.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrl>

#include <optional>
#include <string>

constexpr int kHttpStatusOK = 200;
constexpr int kHttpStatusUnavailable = 503;

// One manager serves every transfer; it lives as long as the application.
static QNetworkAccessManager* NetworkManager()
{
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return manager;
}

struct URLDownload::State {
    QPointer<QNetworkReply> reply;
    std::optional<BodyFile> body;
    uint64_t received = 0;
    bool finished = true;
    OSStatus result = kNoErr;
    NetWaiter waiter;

    void Finish(OSStatus outcome)
    {
        if (finished)
            return;
        finished = true;
        result = outcome;
        body.reset();
        if (reply) {
            QNetworkReply* old = reply;
            reply = nullptr;
            QObject::disconnect(old, nullptr, nullptr, nullptr);
            old->abort();
            old->deleteLater();
        }
        waiter.Wake();
    }

    void ReadBody()
    {
        if (finished || !reply)
            return;
        QByteArray bytes = reply->readAll();
        received += uint64_t(bytes.size());
        if (received > kMaxBodyBytes) {
            Finish(kHttpTooLargeErr);
            return;
        }
        if (OSStatus status = body->Append(bytes.constData(), size_t(bytes.size())); status != kNoErr)
            Finish(status);
    }

    static OSStatus MapError(QNetworkReply::NetworkError error, int httpStatus)
    {
        switch (error) {
        case QNetworkReply::NoError:
            return kNoErr;
        case QNetworkReply::HostNotFoundError:
            return kHttpResolveErr;
        case QNetworkReply::TimeoutError:
            return kHttpTimeoutErr;
        case QNetworkReply::ConnectionRefusedError:
            return kConnectionRefusedErr;
        case QNetworkReply::SslHandshakeFailedError:
            return kHttpCertificateErr;
        case QNetworkReply::OperationCanceledError:
            return kURLDownloadAbortedErr;
        default:
            break;
        }
        if (httpStatus == kHttpStatusUnavailable)
            return kHttpUnavailableErr;
        return httpStatus != 0 ? kHttpStatusErr : kTransportErr;
    }

    void Complete()
    {
        if (finished || !reply)
            return;
        ReadBody();
        if (finished)
            return;
        int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        OSStatus status = MapError(reply->error(), httpStatus);
        if (status == kNoErr && httpStatus != kHttpStatusOK)
            status = kHttpStatusErr;
        if (status == kNoErr)
            status = body->Commit();
        Finish(status);
    }
};

URLDownload::URLDownload() : fState(std::make_unique<State>())
{
    fState->waiter.StartPolling();
}

URLDownload::~URLDownload()
{
    Abort();
}

OSStatus URLDownload::Start(std::string_view url, const std::filesystem::path& file)
{
    Abort();
    if (!IsHttpURL(url) || !HasNetEventLoop())
        return kParamErr;
    State& state = *fState;
    state.body.emplace(file);
    if (OSStatus status = state.body->Open(); status != kNoErr) {
        state.body.reset();
        return status;
    }
    QNetworkRequest request(QUrl(QString::fromUtf8(url.data(), qsizetype(url.size()))));
    std::string_view agent = HttpUserAgent();
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromUtf8(agent.data(), qsizetype(agent.size())));
    state.received = 0;
    state.result = kNoErr;
    state.finished = false;
    state.reply = NetworkManager()->get(request);
    State* watched = fState.get();
    QObject::connect(state.reply, &QNetworkReply::readyRead, [watched] { watched->ReadBody(); });
    QObject::connect(state.reply, &QNetworkReply::finished, [watched] { watched->Complete(); });
    return kNoErr;
}

bool URLDownload::IsFinished() const
{
    return fState->finished;
}

OSStatus URLDownload::Result() const
{
    return fState->result;
}

void URLDownload::Abort()
{
    fState->Finish(kURLDownloadAbortedErr);
}

NetWaiter::Awaiter URLDownload::Wait()
{
    return fState->waiter.Wait();
}
