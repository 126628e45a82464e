// Fixtures of the network tests: requests run as worker tasks while the test
// turns the event loop, local servers on 127.0.0.1 (plain, TLS, and a proxy
// that opens tunnels) whose every move a test scripts, a throw-away
// certificate authority, and scratch folders.
#pragma once

#include "support/ScratchSpace.h"

#include "net/NetAwait.h"
#include "platform/Status.h"

#include <QObject>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Longest a test waits for a request of its own, in milliseconds of real time.
constexpr int kRequestDeadlineMs = 15000;

/* ---- The event loop ---- */

// Turns the event loop until `done` answers true or `milliseconds` pass;
// returns `done()`.
bool SpinUntil(const std::function<bool()>& done, int milliseconds);

// Turns the event loop for `milliseconds`.
void SpinFor(int milliseconds);

// A request running in a worker task of its own.
class RunningRequest {
public:
    explicit RunningRequest(std::function<NetTask()> request);
    bool IsDone() const { return fState->done; }
    // Turns the event loop until the request ends and returns its status; a
    // request that outlives kRequestDeadlineMs ends the test program, since
    // it still points into the test's variables.
    OSStatus Wait();

private:
    struct State {
        bool done = false;
        OSStatus status = kNoErr;
    };
    std::shared_ptr<State> fState;
};

// Runs one request to its end.
OSStatus RunRequest(std::function<NetTask()> request);

// Everything printed on standard output while it lives.
class CapturedLog {
public:
    CapturedLog();
    ~CapturedLog();
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;
    std::string Text();

private:
    bool fCapturing = true;
    std::string fText;
};

/* ---- Local servers ---- */

// One connection accepted by a TestServer. The server reads the request up to
// its blank line and hands the exchange to the test's responder, which
// answers, waits, trickles or closes.
class TestExchange : public QObject {
public:
    TestExchange(QTcpSocket* socket, std::function<void(TestExchange&)> responder);
    ~TestExchange() override;

    QTcpSocket& Socket() { return *fSocket; }
    const std::string& Request() const { return fRequest; }

    void Send(std::string_view bytes);
    // Closes once everything sent has gone out.
    void Close();
    void SendAndClose(std::string_view bytes) { Send(bytes); Close(); }
    // One byte every `intervalMs` ms of real time, moving the test clock
    // forward by `advanceTicks` with each; closes after the last unless
    // `endless`, in which case it trickles forever.
    void Trickle(std::string bytes, int intervalMs, uint32_t advanceTicks, bool endless = false);
    // `total` bytes (byte i is char(i % 251)) as fast as the peer takes them,
    // then closes; never holds more than a little in the socket's buffer.
    void Stream(uint64_t total);
    // Answers a proxy's CONNECT: relays bytes both ways to 127.0.0.1:port.
    void RelayTo(uint16_t port);

private:
    void ReadRequest();
    void StreamMore();

    QTcpSocket* fSocket;
    std::function<void(TestExchange&)> fResponder;
    std::string fRequest;
    bool fAnswered = false;
    uint64_t fStreamLeft = 0;
    uint64_t fStreamSent = 0;
    std::unique_ptr<QTimer> fTrickleTimer;
    std::unique_ptr<QTcpSocket> fRelay;
};

class TestServer {
public:
    using Responder = std::function<void(TestExchange&)>;
    // A plain server, or a TLS one with `tls` as its identity.
    explicit TestServer(Responder responder, const QSslConfiguration* tls = nullptr);
    ~TestServer();

    uint16_t Port() const;
    // "http://127.0.0.1:<port>" (https for a TLS server).
    std::string URL(std::string_view path = "/") const;
    std::string URLNamed(std::string_view host, std::string_view path = "/") const;
    // The requests received so far, in order.
    std::vector<std::string> Requests() const;
    size_t AcceptedCount() const { return fExchanges.size(); }

private:
    std::unique_ptr<QTcpServer> fServer;
    Responder fResponder;
    bool fSecure = false;
    std::vector<std::unique_ptr<TestExchange>> fExchanges;
};

// A port on 127.0.0.1 that nothing listens on.
uint16_t UnusedPort();

// "HTTP/1.0 200 OK\r\n" + `fields` + "\r\n" + `body`.
std::string OkResponse(std::string_view body, std::string_view fields = "");

/* ---- A certificate authority of the tests ---- */

struct TestCertificates {
    std::filesystem::path authority;  // the CA certificate (PEM)
    QSslConfiguration localhost;      // server identity for DNS:localhost, signed by the CA
};

// Made once per test program with the openssl command; null (and the reason
// printed) when that cannot be done.
const TestCertificates* GetTestCertificates();
