// The HTTP client against servers on 127.0.0.1 that the tests script: the
// request texts, the answers and what they do to the cache file, hostile
// servers, time-outs driven by the test clock, a large body, and six
// requests at once.
#include "NetTestSupport.h"

#include "feeds/Dates.h"
#include "net/HttpClient.h"
#include "net/HttpTransport.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSession = 42;
constexpr time_t kJanuary15th2024At1230UTC = 1705321800;
constexpr uint32_t kClockStartTicks = 1000;
constexpr uint32_t kClockStartDate = 3'900'000'000u;
constexpr int kPollPeriodsMs = 3 * 100; // three of the client's poll ticks
constexpr char kOldDocument[] = "<rss>the previous document</rss>";

std::string UserAgentLine()
{
    return "User-Agent: " + std::string(HttpUserAgent()) + "\r\n";
}

class HttpClientTest : public testing::Test {
protected:
    void SetUp() override { WriteBytes(cache, kOldDocument); }

    OSStatus Get(const std::string& url, uint32_t inDate = 0)
    {
        return RunRequest([&] { return HttpConditionalGet(kSession, url, inDate, cache, outDate, moved); });
    }

    // The cache holds the previous document and nothing was left beside it.
    void ExpectCacheUntouched()
    {
        EXPECT_EQ(ReadBytes(cache), kOldDocument);
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"cache.xml"});
    }

    ScratchFolder folder;
    std::filesystem::path cache = folder / "cache.xml";
    uint32_t outDate = 12345;
    std::string moved = "stale";
};

/* ---- Answers ---- */

TEST_F(HttpClientTest, Fetches200WithAndWithoutLastModified)
{
    const uint32_t januaryLocal = DateTimeFromUnixTime(kJanuary15th2024At1230UTC);
    struct Case {
        uint32_t inDate;
        std::string fields;
        std::string expectedIfModifiedSince;
        uint32_t expectedDate;
    } cases[] = {
        {januaryLocal, "Last-Modified: Mon, 15 Jan 2024 12:30:00 GMT\r\nContent-Type: text/xml\r\n",
         "If-Modified-Since: Mon, 15 Jan 2024 12:30:00 GMT\r\n", januaryLocal},
        {0, "Content-Type: text/xml\r\n", "", 0},
    };
    for (const Case& c : cases) {
        TestServer server([&](TestExchange& exchange) { exchange.SendAndClose(OkResponse("<rss>new</rss>", c.fields)); });
        EXPECT_EQ(Get(server.URLNamed("localhost", "/feed.xml?x=1#top"), c.inDate), kNoErr);
        EXPECT_EQ(ReadBytes(cache), "<rss>new</rss>");
        EXPECT_EQ(outDate, c.expectedDate);
        EXPECT_EQ(moved, "");
        ASSERT_EQ(server.Requests().size(), 1u);
        EXPECT_EQ(server.Requests()[0], "GET /feed.xml?x=1 HTTP/1.0\r\nHost: localhost\r\n" + UserAgentLine() +
                                            c.expectedIfModifiedSince + "\r\n");
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"cache.xml"});
    }
}

TEST_F(HttpClientTest, NotModifiedLeavesTheCacheAsItWas)
{
    TestServer server([](TestExchange& exchange) { exchange.SendAndClose("HTTP/1.1 304 Not Modified\r\n\r\n"); });
    EXPECT_EQ(Get(server.URL("/feed.xml"), 1), kHttpNotModifiedErr);
    ExpectCacheUntouched();
    EXPECT_EQ(outDate, 0u);
}

TEST_F(HttpClientTest, RedirectsGiveTheirTargetAndLeaveTheCache)
{
    struct Case {
        std::string answer;
        std::string target;
    } cases[] = {
        {"HTTP/1.0 301 Moved Permanently\r\nLocation: http://b.example/new.xml\r\n\r\n", "http://b.example/new.xml"},
        {"HTTP/1.0 302 Found\r\nlocation: /other.xml\r\n\r\nsome body", "/other.xml"},
        {"HTTP/1.1 307 Temporary Redirect\r\nLocation: https://c.example/feed\r\n\r\n", "https://c.example/feed"},
        {"HTTP/1.0 301 Moved Permanently\r\n\r\n", ""},
    };
    for (const Case& c : cases) {
        TestServer server([&](TestExchange& exchange) { exchange.SendAndClose(c.answer); });
        EXPECT_EQ(Get(server.URL("/feed.xml")), kHttpMovedErr) << c.answer;
        EXPECT_EQ(moved, c.target);
        ExpectCacheUntouched();
    }
}

TEST_F(HttpClientTest, OtherStatusesFailWithTheirCodes)
{
    std::string answer;
    TestServer server([&](TestExchange& exchange) { exchange.SendAndClose(answer); });
    answer = "HTTP/1.0 503 Service Unavailable\r\n\r\nbusy";
    EXPECT_EQ(Get(server.URL()), kHttpUnavailableErr);
    EXPECT_EQ(RunRequest([&] { return HttpSimpleGet(server.URL(), cache); }), kHttpStatusErr);
    std::string contentType = "stale";
    EXPECT_EQ(RunRequest([&] { return HttpSimpleCheck(server.URL(), &contentType); }), kHttpStatusErr);
    EXPECT_EQ(contentType, "");
    answer = "HTTP/1.0 404 Not Found\r\n\r\n";
    EXPECT_EQ(Get(server.URL()), kHttpStatusErr);
    ExpectCacheUntouched();
}

TEST_F(HttpClientTest, RefusedCredentialsLogTheWholeHeader)
{
    TestServer server([](TestExchange& exchange) {
        exchange.SendAndClose("HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"feeds\x1b[2J\"\r\n\r\n");
    });
    CapturedLog log;
    std::string url = server.URL("/private.xml");
    EXPECT_EQ(Get(url), kHttpStatusErr);
    EXPECT_NE(log.Text().find("# Http Responce : 401 <" + url + ">\nHTTP/1.0 401 Unauthorized\n"
                              "WWW-Authenticate: Basic realm=\"feeds?[2J\"\n"),
              std::string::npos)
        << log.Text();
    ExpectCacheUntouched();
}

TEST_F(HttpClientTest, AcceptsAHeaderEndingInBareLineFeeds)
{
    TestServer server([](TestExchange& exchange) {
        exchange.SendAndClose("HTTP/1.0 200 OK\nLast-Modified: Mon, 15 Jan 2024 12:30:00 GMT\n\n<rss/>\n");
    });
    EXPECT_EQ(Get(server.URL()), kNoErr);
    EXPECT_EQ(ReadBytes(cache), "<rss/>\n");
    EXPECT_EQ(outDate, DateTimeFromUnixTime(kJanuary15th2024At1230UTC));
}

TEST_F(HttpClientTest, TheCheckReadsOnlyTheContentType)
{
    TestServer server([](TestExchange& exchange) {
        exchange.Send(OkResponse("", "Content-Type: image/vnd.microsoft.icon; q=1\r\n"));
        exchange.Stream(1 << 20); // a body the check never waits for
    });
    std::string contentType;
    EXPECT_EQ(RunRequest([&] { return HttpSimpleCheck(server.URL("/favicon.ico"), &contentType); }), kNoErr);
    EXPECT_EQ(contentType, "image/vnd.microsoft.icon");
}

/* ---- Request texts ---- */

TEST_F(HttpClientTest, HostKeepsAWrittenPortExceptInTheConditionalGet)
{
    TestServer server([](TestExchange& exchange) { exchange.SendAndClose(OkResponse("x")); });
    const std::string port = std::to_string(server.Port());
    EXPECT_EQ(Get(server.URLNamed("localhost", "")), kNoErr);
    EXPECT_EQ(RunRequest([&] { return HttpSimpleGet(server.URLNamed("localhost", "/a b.png"), cache); }), kNoErr);
    EXPECT_EQ(RunRequest([&] { return HttpSimpleCheck("feed://127.0.0.1:" + port + "/x", nullptr); }), kNoErr);
    std::vector<std::string> expected = {
        "GET / HTTP/1.0\r\nHost: localhost\r\n" + UserAgentLine() + "\r\n",
        "GET /a%20b.png HTTP/1.0\r\nHost: localhost:" + port + "\r\n" + UserAgentLine() + "\r\n",
        "GET /x HTTP/1.0\r\nHost: 127.0.0.1:" + port + "\r\n" + UserAgentLine() + "\r\n",
    };
    EXPECT_EQ(server.Requests(), expected);
}

/* ---- Hostile and broken servers ---- */

TEST_F(HttpClientTest, HostileAnswersFailWithACodeAndALogLine)
{
    struct Case {
        const char* name;
        std::string answer; // sent, then the connection is closed
        OSStatus status;
        const char* logged;
    } cases[] = {
        {"endless header", "HTTP/1.0 200 OK\r\nX-Fill: " + std::string(3000, 'a'), kHttpHeaderOverflowErr,
         "longer than 2046 bytes"},
        {"huge location", "HTTP/1.0 301 Moved\r\nLocation: http://x/" + std::string(10000, 'l') + "\r\n\r\n",
         kHttpHeaderOverflowErr, "longer than 2046 bytes"},
        {"garbage status", "\x16\x03\x01\x02\x05garbage\r\n\r\n", kHttpStatusErr, "No readable status line"},
        {"closed in the header", "HTTP/1.0 200 OK\r\nContent-", kHttpClosedErr, "closed before the response header"},
        {"closed at once", "", kHttpClosedErr, "closed before the response header"},
        {"short body", OkResponse("12345", "Content-Length: 100\r\n"), kHttpClosedErr, "closed after 5 of 100 bytes"},
    };
    for (const Case& c : cases) {
        TestServer server([&](TestExchange& exchange) { exchange.SendAndClose(c.answer); });
        CapturedLog log;
        EXPECT_EQ(Get(server.URL()), c.status) << c.name;
        EXPECT_NE(log.Text().find(c.logged), std::string::npos) << c.name << ": " << log.Text();
        ExpectCacheUntouched();
    }
}

TEST_F(HttpClientTest, ConnectionFailuresHaveTheirOwnCodes)
{
    CapturedLog log;
    EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(UnusedPort()) + "/"), kConnectionRefusedErr);
    EXPECT_EQ(Get("http://bad..name/feed.xml"), kHttpResolveErr);
    EXPECT_EQ(Get("ftp://127.0.0.1/feed.xml"), kParamErr);
    EXPECT_NE(log.Text().find("Cannot resolve bad..name"), std::string::npos) << log.Text();
    ExpectCacheUntouched();

    TestServer server([](TestExchange& exchange) { exchange.SendAndClose(OkResponse("body")); });
    EXPECT_EQ(RunRequest([&] { return HttpSimpleGet(server.URL(), folder / "missing" / "file.png"); }),
              kFileNotFoundErr);
}

/* ---- Time-outs ---- */

TEST_F(HttpClientTest, ReceiveTimeOutIsAnInactivityLimitOnTheTestClock)
{
    TestClockGuard clock(kClockStartTicks, kClockStartDate);
    TestServer server([](TestExchange&) {}); // reads the request, never answers
    CapturedLog log;
    RunningRequest request([&] { return HttpConditionalGet(kSession, server.URL(), 0, cache, outDate, moved); });
    ASSERT_TRUE(SpinUntil([&] { return server.Requests().size() == 1; }, kRequestDeadlineMs));
    AdvanceTestClock(gRcvTimeout);
    SpinFor(kPollPeriodsMs);
    EXPECT_FALSE(request.IsDone()) << "a silence of exactly the limit is allowed";
    AdvanceTestClock(1);
    EXPECT_EQ(request.Wait(), kHttpTimeoutErr);
    EXPECT_NE(log.Text().find(" Varnoke Session[000042]: # Timeout on kReceiveState"), std::string::npos) << log.Text();
    ExpectCacheUntouched();
}

TEST_F(HttpClientTest, AStallInTheBodyKeepsThePreviousDocument)
{
    TestClockGuard clock(kClockStartTicks, kClockStartDate);
    TestServer server([](TestExchange& exchange) { exchange.Send(OkResponse(std::string(500, 'n'))); });
    RunningRequest request([&] { return HttpConditionalGet(kSession, server.URL(), 0, cache, outDate, moved); });
    ASSERT_TRUE(SpinUntil([&] { return server.Requests().size() == 1; }, kRequestDeadlineMs));
    SpinFor(kPollPeriodsMs);
    AdvanceTestClock(gRcvTimeout + 1);
    EXPECT_EQ(request.Wait(), kHttpTimeoutErr);
    ExpectCacheUntouched();
}

TEST_F(HttpClientTest, AServerThatKeepsTricklingIsNotTimedOut)
{
    TestClockGuard clock(kClockStartTicks, kClockStartDate);
    const std::string body = "<rss>one byte a second</rss>";
    // A byte a (test) second, 47 seconds in all: more than twice the receive limit.
    TestServer server([&](TestExchange& exchange) { exchange.Trickle(OkResponse(body), 5, kTicksPerSecond); });
    EXPECT_EQ(Get(server.URL()), kNoErr);
    EXPECT_EQ(ReadBytes(cache), body);
    EXPECT_GT(TickCount() - kClockStartTicks, 2 * gRcvTimeout);
}

TEST_F(HttpClientTest, BodiesThatNeverEndAreCutOff)
{
    {
        TestServer server([](TestExchange& exchange) {
            exchange.Send(OkResponse(""));
            exchange.Stream(kMaxBodyBytes + kTransferBufferSize);
        });
        CapturedLog log;
        EXPECT_EQ(Get(server.URL()), kHttpTooLargeErr);
        EXPECT_NE(log.Text().find("The body is larger than"), std::string::npos) << log.Text();
        ExpectCacheUntouched();
    }
    {
        // Steady enough never to pass the receive limit, endless all the same.
        TestClockGuard clock(kClockStartTicks, kClockStartDate);
        TestServer server([](TestExchange& exchange) {
            exchange.Send(OkResponse(""));
            exchange.Trickle("", 1, gRcvTimeout / 3, /*endless=*/true);
        });
        CapturedLog log;
        EXPECT_EQ(Get(server.URL()), kHttpTimeoutErr);
        EXPECT_NE(log.Text().find("took more than 30 minutes"), std::string::npos) << log.Text();
        ExpectCacheUntouched();
    }
}

/* ---- Size and concurrency ---- */

// AddressSanitizer keeps freed memory in quarantine, so resident memory says
// nothing about the transfer buffer in that build.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasuresResidentMemory = false;
#else
constexpr bool kMeasuresResidentMemory = true;
#endif

long PeakResidentKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(HttpClientTest, A50MegabyteBodyPassesThroughTheTransferBufferOnly)
{
    constexpr uint64_t kBodyBytes = 50ull << 20;
    constexpr long kAllowedGrowthKilobytes = 16 * 1024;
    TestServer server([](TestExchange& exchange) {
        exchange.Send(OkResponse("", "Content-Length: " + std::to_string(kBodyBytes) + "\r\n"));
        exchange.Stream(kBodyBytes);
    });
    long before = PeakResidentKilobytes();
    EXPECT_EQ(RunRequest([&] { return HttpSimpleGet(server.URL("/big"), cache); }), kNoErr);
    if (kMeasuresResidentMemory) {
        EXPECT_LT(PeakResidentKilobytes() - before, kAllowedGrowthKilobytes);
    }

    std::ifstream file(cache, std::ios::binary);
    std::vector<char> piece(1 << 20);
    uint64_t offset = 0;
    bool same = true;
    while (file.read(piece.data(), std::streamsize(piece.size())) || file.gcount() > 0) {
        for (std::streamsize i = 0; i < file.gcount(); ++i, ++offset)
            same = same && piece[size_t(i)] == char(offset % 251);
    }
    EXPECT_EQ(offset, kBodyBytes);
    EXPECT_TRUE(same);
}

TEST_F(HttpClientTest, SixRequestsRunAtOnce)
{
    constexpr size_t kRequests = 6;
    std::vector<TestExchange*> waiting;
    // Nobody is answered until all six are connected: a client that blocked
    // while waiting could never get there.
    TestServer server([&](TestExchange& exchange) {
        waiting.push_back(&exchange);
        if (waiting.size() < kRequests)
            return;
        for (TestExchange* each : waiting)
            each->SendAndClose(OkResponse("<rss>" + each->Request().substr(5, 2) + "</rss>"));
    });
    std::vector<std::filesystem::path> files;
    std::vector<uint32_t> dates(kRequests);
    std::vector<std::string> targets(kRequests);
    std::vector<std::unique_ptr<RunningRequest>> requests;
    for (size_t index = 0; index < kRequests; ++index) {
        files.push_back(folder / ("feed" + std::to_string(index)));
        std::string url = server.URL("/" + std::to_string(10 + index));
        requests.push_back(std::make_unique<RunningRequest>([&, index, url] {
            return HttpConditionalGet(uint32_t(index), url, 0, files[index], dates[index], targets[index]);
        }));
    }
    for (size_t index = 0; index < kRequests; ++index) {
        EXPECT_EQ(requests[index]->Wait(), kNoErr);
        EXPECT_EQ(ReadBytes(files[index]), "<rss>" + std::to_string(10 + index) + "</rss>");
    }
}

} // namespace
