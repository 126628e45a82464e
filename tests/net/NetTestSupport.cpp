// The network tests' fixtures: running requests, scripted local servers and
// the throw-away certificate authority.
#include "NetTestSupport.h"

#include "platform/Clock.h"
#include "platform/Tasks.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

constexpr uint64_t kStreamChunkBytes = 64 * 1024;
constexpr qint64 kStreamBacklogBytes = 256 * 1024;
constexpr int kPatternModulus = 251;
constexpr int kSpinSliceMs = 5;

/* ---- The event loop ---- */

bool SpinUntil(const std::function<bool()>& done, int milliseconds)
{
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= milliseconds)
            loop.quit();
    });
    check.start(kSpinSliceMs);
    loop.exec();
    return done();
}

void SpinFor(int milliseconds)
{
    SpinUntil([] { return false; }, milliseconds);
}

RunningRequest::RunningRequest(std::function<NetTask()> request) : fState(std::make_shared<State>())
{
    // The task writes through shared pointers, so that a test that gives up
    // on it leaves nothing dangling but the request's own arguments.
    StartWorkerTask([](std::function<NetTask()> request, std::shared_ptr<State> state) -> WorkerTask {
        state->status = co_await request();
        state->done = true;
    }(std::move(request), fState));
}

OSStatus RunningRequest::Wait()
{
    if (!SpinUntil([this] { return fState->done; }, kRequestDeadlineMs)) {
        std::fprintf(stderr, "net tests: a request did not end within %d ms\n", kRequestDeadlineMs);
        std::abort();
    }
    return fState->status;
}

OSStatus RunRequest(std::function<NetTask()> request)
{
    return RunningRequest(std::move(request)).Wait();
}

/* ---- Scratch space ---- */

CapturedLog::CapturedLog()
{
    std::fflush(stdout);
    testing::internal::CaptureStdout();
}

CapturedLog::~CapturedLog()
{
    Text();
}

std::string CapturedLog::Text()
{
    if (fCapturing) {
        std::fflush(stdout);
        fText = testing::internal::GetCapturedStdout();
        fCapturing = false;
    }
    return fText;
}

/* ---- Exchanges ---- */

TestExchange::TestExchange(QTcpSocket* socket, std::function<void(TestExchange&)> responder)
    : fSocket(socket), fResponder(std::move(responder))
{
    QObject::connect(fSocket, &QTcpSocket::readyRead, this, [this] { ReadRequest(); });
    QObject::connect(fSocket, &QTcpSocket::bytesWritten, this, [this] { StreamMore(); });
    ReadRequest();
}

TestExchange::~TestExchange()
{
    QObject::disconnect(fSocket, nullptr, this, nullptr);
    fSocket->abort();
    fSocket->deleteLater();
}

void TestExchange::ReadRequest()
{
    if (fRelay) {
        QByteArray bytes = fSocket->readAll();
        fRelay->write(bytes);
        return;
    }
    if (fAnswered) {
        fSocket->readAll();
        return;
    }
    fRequest += fSocket->readAll().toStdString();
    size_t end = fRequest.find("\r\n\r\n");
    if (end == std::string::npos)
        return;
    fRequest.resize(end + 4);
    fAnswered = true;
    fResponder(*this);
}

void TestExchange::Send(std::string_view bytes)
{
    fSocket->write(bytes.data(), qint64(bytes.size()));
}

void TestExchange::Close()
{
    fSocket->disconnectFromHost();
}

void TestExchange::Trickle(std::string bytes, int intervalMs, uint32_t advanceTicks, bool endless)
{
    fTrickleTimer = std::make_unique<QTimer>();
    auto next = std::make_shared<size_t>(0);
    QObject::connect(fTrickleTimer.get(), &QTimer::timeout, this, [this, bytes, advanceTicks, endless, next] {
        if (*next >= bytes.size() && !endless) {
            fTrickleTimer->stop();
            Close();
            return;
        }
        char byte = *next < bytes.size() ? bytes[*next] : 'x';
        ++*next;
        fSocket->write(&byte, 1);
        AdvanceTestClock(advanceTicks);
    });
    fTrickleTimer->start(intervalMs);
}

void TestExchange::Stream(uint64_t total)
{
    fStreamLeft = total;
    StreamMore();
}

void TestExchange::StreamMore()
{
    if (fStreamLeft == 0 || fSocket->bytesToWrite() > kStreamBacklogBytes)
        return;
    std::string chunk(size_t(std::min(fStreamLeft, kStreamChunkBytes)), '\0');
    for (char& byte : chunk)
        byte = char(fStreamSent++ % kPatternModulus);
    fStreamLeft -= chunk.size();
    fSocket->write(chunk.data(), qint64(chunk.size()));
    if (fStreamLeft == 0)
        Close();
}

void TestExchange::RelayTo(uint16_t port)
{
    fRelay = std::make_unique<QTcpSocket>();
    QObject::connect(fRelay.get(), &QTcpSocket::readyRead, this, [this] { fSocket->write(fRelay->readAll()); });
    QObject::connect(fRelay.get(), &QTcpSocket::disconnected, this, [this] { Close(); });
    QObject::connect(fRelay.get(), &QTcpSocket::connected, this, [this] {
        Send("HTTP/1.0 200 Connection established\r\n\r\n");
    });
    fRelay->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
}

/* ---- Servers ---- */

TestServer::TestServer(Responder responder, const QSslConfiguration* tls) : fResponder(std::move(responder))
{
    if (tls != nullptr) {
        auto server = std::make_unique<QSslServer>();
        server->setSslConfiguration(*tls);
        fServer = std::move(server);
        fSecure = true;
    } else {
        fServer = std::make_unique<QTcpServer>();
    }
    QObject::connect(fServer.get(), &QTcpServer::pendingConnectionAvailable, fServer.get(), [this] {
        while (QTcpSocket* socket = fServer->nextPendingConnection())
            fExchanges.push_back(std::make_unique<TestExchange>(socket, fResponder));
    });
    if (!fServer->listen(QHostAddress(QHostAddress::LocalHost), 0))
        throw std::runtime_error("the test server cannot listen");
}

TestServer::~TestServer()
{
    fExchanges.clear();
    fServer->close();
}

uint16_t TestServer::Port() const
{
    return fServer->serverPort();
}

std::string TestServer::URL(std::string_view path) const
{
    return URLNamed("127.0.0.1", path);
}

std::string TestServer::URLNamed(std::string_view host, std::string_view path) const
{
    return std::string(fSecure ? "https://" : "http://") + std::string(host) + ":" + std::to_string(Port()) +
           std::string(path);
}

std::vector<std::string> TestServer::Requests() const
{
    std::vector<std::string> requests;
    for (const auto& exchange : fExchanges)
        if (!exchange->Request().empty())
            requests.push_back(exchange->Request());
    return requests;
}

uint16_t UnusedPort()
{
    QTcpServer server;
    server.listen(QHostAddress(QHostAddress::LocalHost), 0);
    uint16_t port = server.serverPort();
    server.close();
    return port;
}

std::string OkResponse(std::string_view body, std::string_view fields)
{
    return "HTTP/1.0 200 OK\r\n" + std::string(fields) + "\r\n" + std::string(body);
}

/* ---- Certificates ---- */

static bool RunOpenSSL(const fs::path& folder, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(folder.string()));
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("openssl", arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "openssl %s failed: %s\n", qPrintable(arguments.join(' ')),
                     process.readAll().constData());
        return false;
    }
    return true;
}

static std::optional<TestCertificates> MakeTestCertificates(const fs::path& folder)
{
    const QStringList curve = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    if (!RunOpenSSL(folder, QStringList{"req", "-x509"} + curve +
                                QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                                            "/CN=Varnoke Test Authority", "-addext",
                                            "basicConstraints=critical,CA:TRUE", "-addext",
                                            "keyUsage=critical,keyCertSign,cRLSign"}))
        return std::nullopt;
    if (!RunOpenSSL(folder, QStringList{"req"} + curve +
                                QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=localhost"}))
        return std::nullopt;
    WriteBytes(folder / "server.ext", "subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\n"
                                      "keyUsage=digitalSignature\nextendedKeyUsage=serverAuth\n");
    if (!RunOpenSSL(folder, {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                             "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext"}))
        return std::nullopt;
    QList<QSslCertificate> chain = QSslCertificate::fromPath(QString::fromStdString((folder / "server.pem").string()));
    std::optional<std::string> keyText = ReadBytes(folder / "server.key");
    if (chain.isEmpty() || !keyText)
        return std::nullopt;
    TestCertificates certificates;
    certificates.authority = folder / "ca.pem";
    certificates.localhost = QSslConfiguration::defaultConfiguration();
    certificates.localhost.setLocalCertificateChain(chain);
    certificates.localhost.setPrivateKey(QSslKey(QByteArray::fromStdString(*keyText), QSsl::Ec));
    certificates.localhost.setPeerVerifyMode(QSslSocket::VerifyNone);
    return certificates;
}

const TestCertificates* GetTestCertificates()
{
    static ScratchFolder folder;
    static std::optional<TestCertificates> certificates = MakeTestCertificates(folder.Path());
    return certificates ? &*certificates : nullptr;
}
