// The connection of one request: a TCP socket, made secure with TLS when the
// address asks for it, driven step by step from a coroutine. Every step
// waits on the request's NetWaiter and gives up after its state's inactivity
// limit, measured with TickCount; every socket event restarts the clock.
// Used only by the HTTP client.
#pragma once

#include "net/BodyFile.h"
#include "net/HttpResponse.h"
#include "net/NetAwait.h"

#include <QAbstractSocket>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Connection states, as stored in ConnectionRec::state.
constexpr uint32_t kIdleState = 0;
constexpr uint32_t kConnectState = 2;    // connecting, and setting up TLS
constexpr uint32_t kSendState = 3;       // sending the request
constexpr uint32_t kReceiveState = 4;    // reading the header, and again the body
constexpr uint32_t kDisconnectState = 5; // closing

// Inactivity limits of the states, in ticks; fixed for the program's life.
constexpr uint32_t gConnTimeout = 20 * 60;
constexpr uint32_t gSndTimeout = 10 * 60;
constexpr uint32_t gRcvTimeout = 20 * 60;
constexpr uint32_t gDiscTimeout = 10 * 60;

// A whole request may take at most this long, however steadily a server
// trickles its bytes (30 minutes: a large feed on a very slow line).
constexpr uint32_t kTransferTimeLimit = 30 * 60 * 60;

// The largest body written; a body that never ends stops here (64 MB).
constexpr uint64_t kMaxBodyBytes = uint64_t(64) << 20;

// The transfer buffer: the only memory a body passes through on its way to
// the file (Qt's read buffer is held to the same size).
constexpr size_t kTransferBufferSize = 32768;

enum class SecureMode { Plain, TLS };

// One per request, from its start to its end. A request can end inside one
// of its socket's signals, so the record is destroyed only after a turn of
// the event loop (RunHttpRequest yields first).
struct ConnectionRec {
    uint32_t tid = 0;             // session number in log lines
    uint32_t state = kIdleState;
    uint32_t ticks = 0;           // last transport event or state change
    uint32_t startTicks = 0;      // when the request began
    std::optional<QAbstractSocket::SocketError> error; // the first error the socket reported
    QStringList certificateErrors; // why the server's certificate was refused
    std::string pending;          // bytes read past the header's end: the body's start
    NetWaiter waiter;
    std::unique_ptr<QAbstractSocket> ep; // declared last: goes first, before the waiter its signals wake

    explicit ConnectionRec(uint32_t sessionNumber);
    ~ConnectionRec();
    ConnectionRec(const ConnectionRec&) = delete;
    ConnectionRec& operator=(const ConnectionRec&) = delete;
};

// Stores the state and the current tick count.
void EnterState(ConnectionRec& cn, uint32_t state);

// Opens the socket (a TLS-capable one for SecureMode::TLS) and connects to
// the IPv4 address and port in kConnectState.
NetTask ConnectEndpoint(ConnectionRec& cn, uint32_t host, uint16_t port, SecureMode mode);

// Sets up TLS on the connected socket, verifying the certificate chain and
// that the certificate names `peerName`. kHttpCertificateErr (logged with the
// reasons) when it does not verify, kHttpSecureChannelErr otherwise.
NetTask StartSecureChannel(ConnectionRec& cn, std::string peerName);

// Sends the whole text in kSendState.
NetTask SendRequestText(ConnectionRec& cn, std::string text);

// Reads the response header into `reader` in kReceiveState; bytes that came
// after its end are kept in `cn.pending` for ReceiveBody.
// kNoErr, kHttpHeaderOverflowErr (-1) when it does not end within 2046 bytes,
// kHttpClosedErr when the peer closes first, or the transport's failure.
NetTask ReadServerResponse(ConnectionRec& cn, HttpHeaderReader& reader);

// Copies the body (from `cn.pending` on) into `file` through the transfer
// buffer, until the peer closes or `contentLength` bytes have come. kHttpClosedErr when the peer
// closes before the stated length, kHttpTooLargeErr past kMaxBodyBytes.
NetTask ReceiveBody(ConnectionRec& cn, BodyFile& file, std::optional<uint64_t> contentLength);

// Closes our side in kDisconnectState.
NetTask DisconnectEndpoint(ConnectionRec& cn);
