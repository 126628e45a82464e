// A zoo of broken web servers on 127.0.0.1 for the end-to-end hostility
// test: one listening port, one behaviour per path, each connection served
// on a thread of its own with plain blocking sockets, so the servers keep
// going whatever the test's own event loop is doing. In the friendly phase
// every path serves a small good feed; in the hostile phase each path does
// its harm. Nothing large is ever held in memory: the big body is streamed.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class ZooServer {
public:
    enum class Phase { kFriendly, kHostile };

    ZooServer();
    ~ZooServer();
    ZooServer(const ZooServer&) = delete;
    ZooServer& operator=(const ZooServer&) = delete;

    bool IsListening() const { return fListener >= 0; }
    uint16_t Port() const { return fPort; }
    std::string URL(std::string_view path) const;

    void SetPhase(Phase phase) { fPhase = phase; }
    // Requests received for `path` so far.
    size_t RequestCount(const std::string& path) const;

    // The good feed every path serves in the friendly phase, named `title`:
    // two items, "<title> item 1" and "<title> item 2".
    static std::string FriendlyFeed(std::string_view title);

private:
    void AcceptLoop();
    void Serve(int socket);
    void Answer(int socket, const std::string& path);

    int fListener = -1;
    uint16_t fPort = 0;
    std::atomic<Phase> fPhase{Phase::kFriendly};
    std::atomic<bool> fStopping{false};
    std::thread fAcceptor;
    mutable std::mutex fMutex;
    std::vector<std::thread> fConnections;
    std::set<int> fOpenSockets;
    std::map<std::string, size_t> fRequestCounts;
};
