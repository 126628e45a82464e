// The request's connection on Qt's sockets. A plain socket is read straight
// into the request's buffers; a TLS socket through Qt's read buffer, held to
// the transfer buffer's size, so a server sending faster than the disk
// writes is slowed down instead of filling memory. The steps read what has
// come, wait for the next socket event or poll tick when nothing has, and
// measure each state's silence with TickCount.
#include "net/HttpTransport.h"

#include "net/HttpClient.h"
#include "platform/Clock.h"
#include "platform/Log.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

#include <algorithm>

constexpr uint32_t kTransferTimeLimitMinutes = kTransferTimeLimit / (60 * kTicksPerSecond);

static QList<QSslCertificate> gTestAuthorities;

/* ---- The connection record ---- */

ConnectionRec::ConnectionRec(uint32_t sessionNumber) : tid(sessionNumber)
{
    ticks = TickCount();
    startTicks = ticks;
}

ConnectionRec::~ConnectionRec()
{
    if (!ep)
        return;
    QObject::disconnect(ep.get(), nullptr, nullptr, nullptr);
    ep->abort();
}

void EnterState(ConnectionRec& cn, uint32_t state)
{
    cn.state = state;
    cn.ticks = TickCount();
}

static uint32_t StateTimeout(uint32_t state)
{
    switch (state) {
    case kConnectState:
        return gConnTimeout;
    case kSendState:
        return gSndTimeout;
    case kReceiveState:
        return gRcvTimeout;
    case kDisconnectState:
        return gDiscTimeout;
    }
    return 0;
}

static const char* StateName(uint32_t state)
{
    switch (state) {
    case kConnectState:
        return "kConnectState";
    case kSendState:
        return "kSendState";
    case kReceiveState:
        return "kReceiveState";
    case kDisconnectState:
        return "kDisconnectState";
    }
    return "idle";
}

// After every wake: a state silent for longer than its limit, or a request
// older than kTransferTimeLimit, is cancelled with kHttpTimeoutErr.
static OSStatus CheckTimeouts(ConnectionRec& cn)
{
    uint32_t now = TickCount();
    uint32_t limit = StateTimeout(cn.state);
    if (limit != 0 && now - cn.ticks > limit) {
        SysPrintf("Session[%06u]: # Timeout on %s", cn.tid, StateName(cn.state));
        cn.ep->abort();
        return kHttpTimeoutErr;
    }
    if (now - cn.startTicks > kTransferTimeLimit) {
        SysPrintf("Session[%06u]: # Timeout on %s: the request took more than %u minutes", cn.tid,
                  StateName(cn.state), kTransferTimeLimitMinutes);
        cn.ep->abort();
        return kHttpTimeoutErr;
    }
    return kNoErr;
}

static OSStatus MapSocketError(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return kConnectionRefusedErr;
    case QAbstractSocket::RemoteHostClosedError:
        return kHttpClosedErr;
    case QAbstractSocket::HostNotFoundError:
        return kHttpResolveErr;
    case QAbstractSocket::SocketTimeoutError:
        return kHttpTimeoutErr;
    case QAbstractSocket::NetworkError:
        return kHostUnreachableErr;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return kHttpSecureChannelErr;
    default: // Qt's own enumeration: every other failure is the transport's
        return kTransportErr;
    }
}

// The failure of a socket that is no longer connected, logged.
static OSStatus ReportSocketFailure(ConnectionRec& cn, const char* during)
{
    QAbstractSocket::SocketError error = cn.error.value_or(cn.ep->error());
    OSStatus status = MapSocketError(error);
    SysPrintf("Session[%06u]: # Connection failed %s [%d]: %s", cn.tid, during, int(status),
              qPrintable(cn.ep->errorString()));
    return status;
}

/* ---- Connecting ---- */

OSStatus HttpTrustTestCertificateAuthority(const std::filesystem::path& pemFile)
{
    QList<QSslCertificate> authorities = QSslCertificate::fromPath(QString::fromStdString(pemFile.string()), QSsl::Pem);
    if (authorities.isEmpty())
        return kFileNotFoundErr;
    gTestAuthorities += authorities;
    return kNoErr;
}

void HttpForgetTestCertificateAuthorities()
{
    gTestAuthorities.clear();
}

static std::unique_ptr<QAbstractSocket> MakeSocket(ConnectionRec& cn, SecureMode mode)
{
    switch (mode) {
    case SecureMode::Plain:
        return std::make_unique<QTcpSocket>();
    case SecureMode::TLS: {
        auto socket = std::make_unique<QSslSocket>();
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
        if (!gTestAuthorities.isEmpty())
            configuration.addCaCertificates(gTestAuthorities);
        socket->setSslConfiguration(configuration);
        // Only noted here: the handshake goes on inside this signal and
        // fails, since the errors are not ignored.
        QObject::connect(socket.get(), &QSslSocket::sslErrors, socket.get(), [&cn](const QList<QSslError>& errors) {
            for (const QSslError& error : errors)
                cn.certificateErrors << error.errorString();
        });
        QObject::connect(socket.get(), &QSslSocket::encrypted, socket.get(), [&cn] {
            cn.ticks = TickCount();
            cn.waiter.WakeNow();
        });
        QObject::connect(socket.get(), &QSslSocket::encryptedBytesWritten, socket.get(), [&cn] {
            cn.ticks = TickCount();
            cn.waiter.WakeNow();
        });
        return socket;
    }
    }
    return nullptr;
}

// Every event of the socket restarts the state's clock and wakes the request.
static void WatchSocket(ConnectionRec& cn)
{
    QAbstractSocket* socket = cn.ep.get();
    auto touch = [&cn] {
        cn.ticks = TickCount();
        cn.waiter.WakeNow();
    };
    QObject::connect(socket, &QAbstractSocket::connected, socket, touch);
    QObject::connect(socket, &QAbstractSocket::readyRead, socket, touch);
    QObject::connect(socket, &QAbstractSocket::bytesWritten, socket, touch);
    QObject::connect(socket, &QAbstractSocket::disconnected, socket, touch);
    QObject::connect(socket, &QAbstractSocket::errorOccurred, socket, [&cn, touch](QAbstractSocket::SocketError error) {
        if (!cn.error)
            cn.error = error;
        touch();
    });
}

NetTask ConnectEndpoint(ConnectionRec& cn, uint32_t host, uint16_t port, SecureMode mode)
{
    if (mode == SecureMode::TLS && !QSslSocket::supportsSsl()) {
        LogFailure("Varnoke Session[%06u]: no TLS library is available", cn.tid);
        co_return kHttpSecureChannelErr;
    }
    cn.ep = MakeSocket(cn, mode);
    cn.ep->setReadBufferSize(kTransferBufferSize);
    WatchSocket(cn);
    cn.waiter.StartPolling();
    EnterState(cn, kConnectState);
    // A plain socket reads straight into our buffers; TLS needs Qt's own.
    QIODevice::OpenMode openMode = QIODevice::ReadWrite;
    if (mode == SecureMode::Plain)
        openMode |= QIODevice::Unbuffered;
    cn.ep->connectToHost(QHostAddress(host), port, openMode);
    for (;;) {
        if (cn.ep->state() == QAbstractSocket::ConnectedState)
            co_return kNoErr;
        if (cn.ep->state() == QAbstractSocket::UnconnectedState)
            co_return ReportSocketFailure(cn, "to connect");
        co_await cn.waiter.Wait();
        if (OSStatus status = CheckTimeouts(cn))
            co_return status;
    }
}

NetTask StartSecureChannel(ConnectionRec& cn, std::string peerName)
{
    auto* socket = qobject_cast<QSslSocket*>(cn.ep.get());
    if (socket == nullptr)
        co_return kParamErr;
    socket->setPeerVerifyName(QString::fromStdString(peerName));
    EnterState(cn, kConnectState);
    socket->startClientEncryption();
    for (;;) {
        if (socket->isEncrypted())
            co_return kNoErr;
        if (!cn.certificateErrors.isEmpty()) {
            LogFailure("Varnoke Session[%06u]: the certificate of %s is not accepted: %s", cn.tid, peerName.c_str(),
                       qPrintable(cn.certificateErrors.join("; ")));
            socket->abort();
            co_return kHttpCertificateErr;
        }
        if (cn.error || socket->state() != QAbstractSocket::ConnectedState) {
            LogFailure("Varnoke Session[%06u]: no secure connection with %s: %s", cn.tid, peerName.c_str(),
                       qPrintable(socket->errorString()));
            socket->abort();
            co_return kHttpSecureChannelErr;
        }
        co_await cn.waiter.Wait();
        if (OSStatus status = CheckTimeouts(cn))
            co_return status;
    }
}

/* ---- Sending ---- */

static qint64 BytesLeftToWrite(QAbstractSocket& socket)
{
    qint64 pending = socket.bytesToWrite();
    if (auto* secure = qobject_cast<QSslSocket*>(&socket))
        pending += secure->encryptedBytesToWrite();
    return pending;
}

NetTask SendRequestText(ConnectionRec& cn, std::string text)
{
    EnterState(cn, kSendState);
    if (cn.ep->write(text.data(), qint64(text.size())) != qint64(text.size()))
        co_return ReportSocketFailure(cn, "while sending");
    cn.ep->flush();
    for (;;) {
        if (BytesLeftToWrite(*cn.ep) == 0)
            co_return kNoErr;
        if (cn.ep->state() != QAbstractSocket::ConnectedState)
            co_return ReportSocketFailure(cn, "while sending");
        co_await cn.waiter.Wait();
        if (OSStatus status = CheckTimeouts(cn))
            co_return status;
    }
}

/* ---- Receiving ---- */

// Reads what has come, at most `size` bytes: a count, 0 when nothing has
// come yet, or -1 once the peer has closed (or the socket failed) and every
// byte it sent has been read.
static qint64 ReadSome(ConnectionRec& cn, char* buffer, qint64 size)
{
    qint64 count = cn.ep->read(buffer, size);
    if (count > 0)
        return count;
    if (count < 0 || cn.ep->state() != QAbstractSocket::ConnectedState)
        return -1;
    return 0;
}

// True when the connection ended with the peer's orderly close rather than
// a failure.
static bool IsClosedByPeer(const ConnectionRec& cn)
{
    QAbstractSocket::SocketError error = cn.error.value_or(cn.ep->error());
    return error == QAbstractSocket::RemoteHostClosedError || error == QAbstractSocket::UnknownSocketError;
}

NetTask ReadServerResponse(ConnectionRec& cn, HttpHeaderReader& reader)
{
    EnterState(cn, kReceiveState);
    char chunk[kRequestBufferSize];
    for (;;) {
        qint64 count = ReadSome(cn, chunk, qint64(sizeof chunk));
        if (count > 0) {
            // The header's end is found byte by byte; what came after it
            // belongs to the body and waits for it.
            size_t taken = reader.Feed(std::string_view(chunk, size_t(count)));
            cn.pending.assign(chunk + taken, size_t(count) - taken);
            switch (reader.GetProgress()) {
            case HttpHeaderReader::Progress::Complete:
                co_return kNoErr;
            case HttpHeaderReader::Progress::Overflow:
                SysPrintf("Session[%06u]: # The response header is longer than %zu bytes", cn.tid, kMaxHeaderBytes);
                co_return kHttpHeaderOverflowErr;
            case HttpHeaderReader::Progress::NeedMore:
                continue;
            }
        }
        if (count < 0) {
            if (!IsClosedByPeer(cn))
                co_return ReportSocketFailure(cn, "while reading the response header");
            SysPrintf("Session[%06u]: # The connection closed before the response header ended", cn.tid);
            co_return kHttpClosedErr;
        }
        co_await cn.waiter.Wait();
        if (OSStatus status = CheckTimeouts(cn))
            co_return status;
    }
}

// Writes one piece of the body, within the size limit.
static OSStatus WriteBodyPiece(ConnectionRec& cn, BodyFile& file, const char* data, size_t size, uint64_t& received)
{
    received += size;
    if (received > kMaxBodyBytes) {
        SysPrintf("Session[%06u]: # The body is larger than %llu bytes", cn.tid,
                  static_cast<unsigned long long>(kMaxBodyBytes));
        cn.ep->abort();
        return kHttpTooLargeErr;
    }
    OSStatus status = file.Append(data, size);
    if (status != kNoErr)
        SysPrintf("Session[%06u]: # Cannot write the body [%d]", cn.tid, int(status));
    return status;
}

NetTask ReceiveBody(ConnectionRec& cn, BodyFile& file, std::optional<uint64_t> contentLength)
{
    EnterState(cn, kReceiveState);
    uint64_t received = 0;
    std::string start = std::move(cn.pending);
    cn.pending.clear();
    if (contentLength && start.size() > *contentLength)
        start.resize(size_t(*contentLength));
    if (OSStatus status = WriteBodyPiece(cn, file, start.data(), start.size(), received))
        co_return status;
    std::unique_ptr<char[]> buffer(new char[kTransferBufferSize]);
    for (;;) {
        if (contentLength && received >= *contentLength)
            co_return kNoErr;
        uint64_t piece = kTransferBufferSize;
        if (contentLength)
            piece = std::min(piece, *contentLength - received);
        qint64 count = ReadSome(cn, buffer.get(), qint64(piece));
        if (count > 0) {
            if (OSStatus status = WriteBodyPiece(cn, file, buffer.get(), size_t(count), received))
                co_return status;
            continue;
        }
        if (count < 0) {
            if (!IsClosedByPeer(cn))
                co_return ReportSocketFailure(cn, "while reading the body");
            if (contentLength && received < *contentLength) {
                SysPrintf("Session[%06u]: # The connection closed after %llu of %llu bytes", cn.tid,
                          static_cast<unsigned long long>(received), static_cast<unsigned long long>(*contentLength));
                co_return kHttpClosedErr;
            }
            co_return kNoErr;
        }
        co_await cn.waiter.Wait();
        if (OSStatus status = CheckTimeouts(cn))
            co_return status;
    }
}

/* ---- Closing ---- */

NetTask DisconnectEndpoint(ConnectionRec& cn)
{
    EnterState(cn, kDisconnectState);
    if (cn.ep->state() == QAbstractSocket::UnconnectedState)
        co_return kNoErr;
    cn.ep->disconnectFromHost();
    while (cn.ep->state() != QAbstractSocket::UnconnectedState) {
        co_await cn.waiter.Wait();
        if (OSStatus status = CheckTimeouts(cn))
            co_return status;
    }
    co_return kNoErr;
}
