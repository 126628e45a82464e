// The benchmarks' local HTTP server: one epoll loop on 127.0.0.1 that reads
// each request's head, lets the benchmark choose the answer, and writes it
// out as fast as the socket takes it. Runs in its own process until killed.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <string_view>

struct ServerConnection {
    std::string request;   // the request as read so far
    std::string head;      // the answer's status line and header, set by the benchmark
    std::string_view body; // the answer's body; the benchmark keeps its bytes alive
    size_t sent = 0;
    bool answering = false;
};

// Sends what the socket takes; true when the whole answer is out (or the peer left).
inline bool SendAnswer(int fd, ServerConnection& connection)
{
    for (;;) {
        size_t headBytes = connection.head.size();
        if (connection.sent >= headBytes + connection.body.size())
            return true;
        iovec pieces[2];
        int count = 0;
        if (connection.sent < headBytes)
            pieces[count++] = {connection.head.data() + connection.sent, headBytes - connection.sent};
        size_t bodyOffset = connection.sent > headBytes ? connection.sent - headBytes : 0;
        if (connection.body.size() > bodyOffset)
            pieces[count++] = {const_cast<char*>(connection.body.data()) + bodyOffset, connection.body.size() - bodyOffset};
        ssize_t written = ::writev(fd, pieces, count);
        if (written < 0)
            return errno != EAGAIN && errno != EINTR;
        connection.sent += size_t(written);
    }
}

// Listens on a free port of 127.0.0.1, calls `listening` with it, prints it on
// standard output for the parent, then serves: `prepare` fills in each
// connection's answer once its request head is complete. Returns 1 when it
// cannot listen; otherwise never returns.
inline int ServeLoopback(int backlog, const std::function<void(uint16_t port)>& listening,
                         const std::function<void(ServerConnection&)>& prepare)
{
    constexpr int kEpollBatch = 64;
    constexpr size_t kReadPiece = 4096;
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener, backlog) != 0)
        return 1;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    uint16_t port = ntohs(address.sin_port);
    listening(port);
    std::printf("%d\n", port);
    std::fflush(stdout);

    int poller = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = listener;
    ::epoll_ctl(poller, EPOLL_CTL_ADD, listener, &event);
    std::map<int, ServerConnection> connections;
    epoll_event ready[kEpollBatch];
    char piece[kReadPiece];
    for (;;) {
        int count = ::epoll_wait(poller, ready, kEpollBatch, -1);
        for (int index = 0; index < count; ++index) {
            int fd = ready[index].data.fd;
            if (fd == listener) {
                int client;
                while ((client = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
                    epoll_event added{};
                    added.events = EPOLLIN;
                    added.data.fd = client;
                    ::epoll_ctl(poller, EPOLL_CTL_ADD, client, &added);
                    connections[client] = {};
                }
                continue;
            }
            ServerConnection& connection = connections[fd];
            bool finished = false;
            if (!connection.answering) {
                ssize_t got;
                while ((got = ::read(fd, piece, sizeof piece)) > 0)
                    connection.request.append(piece, size_t(got));
                if (got == 0)
                    finished = true;
                if (connection.request.find("\r\n\r\n") != std::string::npos) {
                    prepare(connection);
                    connection.answering = true;
                    epoll_event writing{};
                    writing.events = EPOLLOUT;
                    writing.data.fd = fd;
                    ::epoll_ctl(poller, EPOLL_CTL_MOD, fd, &writing);
                }
            }
            if (connection.answering)
                finished = SendAnswer(fd, connection);
            if (finished) {
                ::close(fd);
                connections.erase(fd);
            }
        }
    }
}
