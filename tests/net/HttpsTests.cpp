// https:// addresses against a TLS server whose certificate a throw-away
// authority of the tests signed: verified fetches, certificates that do not
// verify, a server that does not speak TLS, a redirect to https, and a tunnel
// through the proxy.
#include "NetTestSupport.h"

#include "net/HttpClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t kSession = 9;
constexpr char kOldDocument[] = "<rss>the previous document</rss>";

std::string UserAgentLine()
{
    return "User-Agent: " + std::string(HttpUserAgent()) + "\r\n";
}

class HttpsTest : public testing::Test {
protected:
    void SetUp() override
    {
        certificates = GetTestCertificates();
        if (certificates == nullptr)
            GTEST_SKIP() << "no test certificates (is the openssl command installed?)";
        ASSERT_EQ(HttpTrustTestCertificateAuthority(certificates->authority), kNoErr);
        server = std::make_unique<TestServer>(
            [](TestExchange& exchange) { exchange.SendAndClose(OkResponse("<rss>secret</rss>")); },
            &certificates->localhost);
        WriteBytes(cache, kOldDocument);
    }

    void TearDown() override
    {
        HttpForgetTestCertificateAuthorities();
        ::unsetenv("http_proxy");
        RunRequest([] { return HttpInitProxy(); });
    }

    OSStatus Get(const std::string& url)
    {
        return RunRequest([&] { return HttpConditionalGet(kSession, url, 0, cache, outDate, moved); });
    }

    const TestCertificates* certificates = nullptr;
    std::unique_ptr<TestServer> server;
    ScratchFolder folder;
    std::filesystem::path cache = folder / "cache.xml";
    uint32_t outDate = 0;
    std::string moved;
};

TEST_F(HttpsTest, FetchesOverVerifiedTLS)
{
    EXPECT_EQ(Get(server->URLNamed("localhost", "/feed.xml")), kNoErr);
    EXPECT_EQ(ReadBytes(cache), "<rss>secret</rss>");
    std::vector<std::string> expected = {"GET /feed.xml HTTP/1.0\r\nHost: localhost\r\n" + UserAgentLine() + "\r\n"};
    EXPECT_EQ(server->Requests(), expected);
}

TEST_F(HttpsTest, CertificatesThatDoNotVerifyFailWithTheirOwnCode)
{
    struct Case {
        const char* name;
        bool trusted;
        const char* host;
        const char* reason;
    } cases[] = {
        {"unknown authority", false, "localhost", "not accepted: "},
        {"another host's name", true, "127.0.0.1", "host name did not match"},
    };
    for (const Case& c : cases) {
        HttpForgetTestCertificateAuthorities();
        if (c.trusted)
            HttpTrustTestCertificateAuthority(certificates->authority);
        CapturedLog log;
        EXPECT_EQ(Get(server->URLNamed(c.host, "/feed.xml")), kHttpCertificateErr) << c.name;
        std::string text = log.Text();
        EXPECT_NE(text.find("# Varnoke Session[000009]: the certificate of " + std::string(c.host)), std::string::npos)
            << c.name << ": " << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << c.name << ": " << text;
        EXPECT_EQ(ReadBytes(cache), kOldDocument);
    }
    EXPECT_TRUE(server->Requests().empty());
}

TEST_F(HttpsTest, AServerWithoutTLSFailsOnAnHttpsAddress)
{
    // Answers whatever comes, as a web server answers bytes it cannot read.
    QTcpServer plain;
    ASSERT_TRUE(plain.listen(QHostAddress(QHostAddress::LocalHost), 0));
    QObject::connect(&plain, &QTcpServer::newConnection, &plain, [&plain] {
        QTcpSocket* socket = plain.nextPendingConnection();
        socket->write("HTTP/1.0 400 Bad Request\r\n\r\n");
        socket->disconnectFromHost();
    });
    std::string url = "https://localhost:" + std::to_string(plain.serverPort()) + "/feed.xml";
    CapturedLog log;
    EXPECT_EQ(Get(url), kHttpSecureChannelErr);
    EXPECT_NE(log.Text().find("# Varnoke Session[000009]: no secure connection with localhost"), std::string::npos)
        << log.Text();
    EXPECT_EQ(ReadBytes(cache), kOldDocument);
}

TEST_F(HttpsTest, ARedirectToHttpsIsFollowedTheSameWay)
{
    std::string target = server->URLNamed("localhost", "/moved.xml");
    TestServer plain([&](TestExchange& exchange) {
        exchange.SendAndClose("HTTP/1.0 301 Moved Permanently\r\nLocation: " + target + "\r\n\r\n");
    });
    EXPECT_EQ(Get(plain.URL("/feed.xml")), kHttpMovedErr);
    EXPECT_EQ(moved, target);
    EXPECT_EQ(Get(moved), kNoErr);
    EXPECT_EQ(ReadBytes(cache), "<rss>secret</rss>");
}

TEST_F(HttpsTest, TunnelsThroughTheProxyAndVerifiesTheServer)
{
    const uint16_t serverPort = server->Port();
    TestServer proxy([serverPort](TestExchange& exchange) { exchange.RelayTo(serverPort); });
    ::setenv("http_proxy", ("127.0.0.1:" + std::to_string(proxy.Port())).c_str(), 1);
    ASSERT_EQ(RunRequest([] { return HttpInitProxy(); }), kNoErr);

    EXPECT_EQ(Get(server->URLNamed("localhost", "/feed.xml")), kNoErr);
    EXPECT_EQ(ReadBytes(cache), "<rss>secret</rss>");
    const std::string authority = "localhost:" + std::to_string(serverPort);
    std::vector<std::string> tunnel = {"CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n" +
                                       UserAgentLine() + "Proxy-Authorization: Basic \r\n\r\n"};
    EXPECT_EQ(proxy.Requests(), tunnel);
    // Inside the tunnel the server is asked as if directly, with no proxy header.
    std::vector<std::string> request = {"GET /feed.xml HTTP/1.0\r\nHost: localhost\r\n" + UserAgentLine() + "\r\n"};
    EXPECT_EQ(server->Requests(), request);

    HttpForgetTestCertificateAuthorities();
    EXPECT_EQ(Get(server->URLNamed("localhost", "/feed.xml")), kHttpCertificateErr);
}

} // namespace
