// The zoo's behaviours. Every send stops at the first error, so a client that
// gives up (as it should) ends its connection's thread at once.
#include "ZooServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <random>

namespace {

constexpr int kPollMs = 100;
constexpr size_t kMaxRequestBytes = 16384;
constexpr uint64_t kHugeBodyBytes = uint64_t(200) << 20;
constexpr uint64_t kEndlessHeaderCap = uint64_t(256) << 20; // only a client that never stops reaches it
constexpr size_t kChunkBytes = 65536;
constexpr size_t kGarbageBytes = 65536;
constexpr int kManyItems = 100000;
constexpr int kNestingDepth = 100000;
constexpr int kTruncatedGzipBytes = 300;   // of the deflate stream, after the member's header
constexpr size_t kEndlessFieldBytes = 1000; // each field of the header that never ends
constexpr size_t kNulRunBytes = 64;

bool SendAll(int socket, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(size_t(sent));
    }
    return true;
}

std::string Response(std::string_view body, std::string_view fields = "Content-Type: application/rss+xml\r\n")
{
    return "HTTP/1.0 200 OK\r\n" + std::string(fields) + "\r\n" + std::string(body);
}

std::string FeedHead(std::string_view title)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>" + std::string(title) +
           "</title><link>http://127.0.0.1/</link><description>zoo</description>\n";
}

std::string Item(std::string_view title, std::string_view link)
{
    return "<item><title>" + std::string(title) + "</title><link>" + std::string(link) + "</link></item>\n";
}

constexpr std::string_view kFeedTail = "</channel></rss>\n";

std::string Garbage()
{
    std::mt19937 random(11);
    std::string bytes(kGarbageBytes, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

// A gzip member's header and the start of its deflate stream, cut off.
std::string TruncatedGzip()
{
    std::string bytes("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    std::mt19937 random(12);
    for (int i = 0; i < kTruncatedGzipBytes; ++i)
        bytes += char(random());
    return bytes;
}

const std::string& ManyItemsFeed()
{
    static const std::string feed = [] {
        std::string document = FeedHead("Many");
        for (int i = 1; i <= kManyItems; ++i)
            document += Item("Many item " + std::to_string(i), "http://127.0.0.1/many/" + std::to_string(i));
        return document + std::string(kFeedTail);
    }();
    return feed;
}

const std::string& NestedFeed()
{
    static const std::string feed = [] {
        std::string document = FeedHead("Nested");
        document += "<item><title>Nested deep</title><description>";
        for (int i = 0; i < kNestingDepth; ++i)
            document += "<div>";
        document += "bottom";
        for (int i = 0; i < kNestingDepth; ++i)
            document += "</div>";
        document += "</description></item>\n";
        // Items opened inside items, never closed.
        for (int i = 0; i < kNestingDepth / 10; ++i)
            document += "<item><title><![CDATA[<item><title>";
        return document + std::string(kFeedTail);
    }();
    return feed;
}

std::string BadUTF8Feed()
{
    std::string document = FeedHead("Bad \xC3\x28 UTF-8 \xFF");
    const char* titles[] = {"lone \xC3\x28 lead", "stray \xA0\xA1 continuation", "cut \xF0\x28\x8C\xBC four",
                            "surrogate \xED\xA0\x80 half", "overlong \xC0\xAF slash", "end cut \xE2\x82"};
    for (const char* title : titles)
        document += Item(title, "http://127.0.0.1/bad/\xFE");
    return document + std::string(kFeedTail);
}

std::string NulFeed()
{
    std::string document = FeedHead(std::string("Nul\0Bytes", 9));
    static constexpr char kNulItem[] = "<item><title>nul\0in title</title><link>http://127.0.0.1/nul\0</link></item>\n";
    document += std::string(kNulItem, sizeof kNulItem - 1);
    document += std::string(kNulRunBytes, '\0');
    document += Item("after the nuls", "http://127.0.0.1/nul/2");
    return document + std::string(kFeedTail);
}

} // namespace

std::string ZooServer::FriendlyFeed(std::string_view title)
{
    std::string document = FeedHead(title);
    for (int i = 1; i <= 2; ++i)
        document += Item(std::string(title) + " item " + std::to_string(i),
                         "http://127.0.0.1/" + std::to_string(i) + "/" + std::string(title.substr(0, 8)));
    return document + std::string(kFeedTail);
}

ZooServer::ZooServer()
{
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 64) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener >= 0)
            ::close(listener);
        return;
    }
    fListener = listener;
    fPort = ntohs(address.sin_port);
    fAcceptor = std::thread([this] { AcceptLoop(); });
}

ZooServer::~ZooServer()
{
    fStopping = true;
    if (fAcceptor.joinable())
        fAcceptor.join();
    {
        std::lock_guard<std::mutex> lock(fMutex);
        for (int socket : fOpenSockets)
            ::shutdown(socket, SHUT_RDWR);
    }
    for (std::thread& connection : fConnections)
        connection.join();
    if (fListener >= 0)
        ::close(fListener);
}

std::string ZooServer::URL(std::string_view path) const
{
    return "http://127.0.0.1:" + std::to_string(fPort) + std::string(path);
}

size_t ZooServer::RequestCount(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(fMutex);
    auto found = fRequestCounts.find(path);
    return found == fRequestCounts.end() ? 0 : found->second;
}

void ZooServer::AcceptLoop()
{
    while (!fStopping) {
        pollfd waiting{fListener, POLLIN, 0};
        if (::poll(&waiting, 1, kPollMs) <= 0)
            continue;
        int socket = ::accept4(fListener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
            continue;
        std::lock_guard<std::mutex> lock(fMutex);
        fOpenSockets.insert(socket);
        fConnections.emplace_back([this, socket] { Serve(socket); });
    }
}

void ZooServer::Serve(int socket)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes) {
        ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, size_t(got));
    }
    // "GET /path HTTP/1.0"
    size_t start = request.find(' ');
    size_t end = start == std::string::npos ? std::string::npos : request.find(' ', start + 1);
    if (end != std::string::npos) {
        std::string path = request.substr(start + 1, end - start - 1);
        {
            std::lock_guard<std::mutex> lock(fMutex);
            ++fRequestCounts[path];
        }
        Answer(socket, path);
    }
    std::lock_guard<std::mutex> lock(fMutex);
    fOpenSockets.erase(socket);
    ::close(socket);
}

void ZooServer::Answer(int socket, const std::string& path)
{
    const std::string title = path.size() > 1 ? path.substr(1) : "root";
    if (path == "/steady") {
        std::string feed = FriendlyFeed("steady");
        if (fPhase == Phase::kHostile)
            feed.insert(feed.find(kFeedTail), Item("steady item 3", "http://127.0.0.1/3/steady"));
        SendAll(socket, Response(feed));
        return;
    }
    if (fPhase == Phase::kFriendly) {
        SendAll(socket, Response(FriendlyFeed(title)));
        return;
    }
    if (path == "/garbage") {
        SendAll(socket, Response(Garbage()));
    } else if (path == "/gzip") {
        SendAll(socket, Response(TruncatedGzip(), "Content-Type: application/rss+xml\r\nContent-Encoding: gzip\r\n"));
    } else if (path == "/huge") {
        if (!SendAll(socket, "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kHugeBodyBytes) + "\r\n\r\n" +
                                 FeedHead("huge")))
            return;
        std::string chunk;
        while (chunk.size() < kChunkBytes)
            chunk += Item("huge item", "http://127.0.0.1/huge");
        chunk.resize(kChunkBytes);
        for (uint64_t sent = 0; sent < kHugeBodyBytes && !fStopping; sent += chunk.size()) {
            if (!SendAll(socket, chunk))
                return;
        }
    } else if (path == "/endless-header") {
        if (!SendAll(socket, "HTTP/1.0 200 OK\r\n"))
            return;
        const std::string field = "X-Endless: " + std::string(kEndlessFieldBytes, 'a') + "\r\n";
        for (uint64_t sent = 0; sent < kEndlessHeaderCap && !fStopping; sent += field.size()) {
            if (!SendAll(socket, field))
                return;
        }
    } else if (path == "/loop" || path == "/loop-again") {
        const std::string next = path == "/loop" ? "/loop-again" : "/loop";
        SendAll(socket, "HTTP/1.0 302 Found\r\nLocation: " + URL(next) + "\r\n\r\n");
    } else if (path == "/silent") {
        // Holds the connection without a word until the client gives up.
        char byte;
        while (!fStopping && ::recv(socket, &byte, 1, 0) > 0) {
        }
    } else if (path == "/many") {
        SendAll(socket, Response(ManyItemsFeed()));
    } else if (path == "/nested") {
        SendAll(socket, Response(NestedFeed()));
    } else if (path == "/bad-utf8") {
        SendAll(socket, Response(BadUTF8Feed()));
    } else if (path == "/nul") {
        SendAll(socket, Response(NulFeed()));
    } else {
        SendAll(socket, "HTTP/1.0 404 Not Found\r\n\r\n");
    }
}
