// Hostile servers end to end: a running Varnoke subscribed to a zoo of broken
// servers and feeds on 127.0.0.1. A first run fetches good feeds from every
// address; in a second run the same addresses turn hostile. Varnoke must keep
// running, answer on the bus within a second all along, log an error for
// each broken feed, and keep the news the first run gave it.
#include "ZooServer.h"

#include "model/HistoryFiles.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "model/SubscriptionsFile.h"
#include "platform/Files.h"
#include "shell/Application.h"
#include "support/VarnokeLauncher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kPingTimeoutTicks = 60; // one second
constexpr int kPingLimitMs = 1000;
constexpr int kPingEveryMs = 200;
constexpr int kFriendlyRunMs = 15000;
// The silent server's first attempt ends at the client's receive time-out (20 s).
constexpr int kHostileRunMs = 35000;
constexpr int kTlsStartMs = 5000;

// What a case must leave in Varnoke's log, and whether it breaks the feed.
enum class Harm {
    kBroken,  // an error line ("# ...") naming the address, and the old news kept
    kExtreme, // a valid feed at an extreme: any line naming the address
};

struct ZooCase {
    const char* path;
    Harm harm;
};

constexpr ZooCase kZoo[] = {
    {"/garbage", Harm::kBroken},     {"/gzip", Harm::kBroken},    {"/huge", Harm::kBroken},
    {"/endless-header", Harm::kBroken}, {"/loop", Harm::kBroken}, {"/silent", Harm::kBroken},
    {"/many", Harm::kExtreme},       {"/nested", Harm::kExtreme}, {"/bad-utf8", Harm::kExtreme},
    {"/nul", Harm::kExtreme},
};

std::string NameOf(std::string_view path)
{
    return "Zoo " + std::string(path.substr(1));
}

// A port on 127.0.0.1 that nothing listens on now.
uint16_t FreePort()
{
    int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

bool CanConnect(uint16_t port)
{
    int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    bool connected = ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return connected;
}

// A TLS server whose certificate names another host, run by the openssl
// command with a throw-away key; it answers any request it lets through.
class WrongNameTlsServer {
public:
    explicit WrongNameTlsServer(const fs::path& folder)
    {
        const QString key = QString::fromStdString((folder / "wrong.key").string());
        const QString certificate = QString::fromStdString((folder / "wrong.pem").string());
        QProcess make;
        make.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                               "-nodes", "-keyout", key, "-out", certificate, "-days", "2", "-subj",
                               "/CN=wrong.example", "-addext", "subjectAltName=DNS:wrong.example"});
        if (!make.waitForFinished(kTlsStartMs) || make.exitCode() != 0)
            return;
        fPort = FreePort();
        fServer.start("openssl", {"s_server", "-quiet", "-www", "-accept", "127.0.0.1:" + QString::number(fPort),
                                  "-cert", certificate, "-key", key});
        if (!fServer.waitForStarted())
            return;
        fReady = WaitFor([this] { return CanConnect(fPort); }, kTlsStartMs);
    }
    ~WrongNameTlsServer()
    {
        fServer.kill();
        fServer.waitForFinished();
    }
    bool IsReady() const { return fReady; }
    std::string URL() const { return "https://127.0.0.1:" + std::to_string(fPort) + "/tls.rss"; }

private:
    QProcess fServer;
    uint16_t fPort = 0;
    bool fReady = false;
};

class HostileServers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_varnoke.IsReady());
        ASSERT_TRUE(m_zoo.IsListening());
        // This process reads Varnoke's files where Varnoke keeps them.
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            m_saved.emplace_back(name, qgetenv(name));
        const QProcessEnvironment environment = m_varnoke.Environment();
        for (const auto& [name, value] : m_saved)
            qputenv(name.c_str(), environment.value(QString::fromStdString(name)).toUtf8());
    }

    void TearDown() override
    {
        m_varnoke.Kill();
        for (const auto& [name, value] : m_saved)
            qputenv(name.c_str(), value);
    }

    // The user's subscriptions: every zoo address, a steady feed, and the TLS server.
    void Subscribe(const std::string& tlsURL)
    {
        SubscriptionList* tree = nullptr;
        auto add = [&tree](const std::string& name, const std::string& url) {
            SubscriptionList node;
            node.siteType = kSiteTypeRSS;
            node.checkType = kCheckEveryHour;
            node.name = name;
            node.accessURL = url;
            tree = AddSubscriptionList(tree, node);
        };
        add(NameOf("/steady"), m_zoo.URL("/steady"));
        for (const ZooCase& zooCase : kZoo)
            add(NameOf(zooCase.path), m_zoo.URL(zooCase.path));
        add("Zoo tls", tlsURL);
        ASSERT_EQ(SaveSubscriptionsToFile(tree, GetSubscriptionsFile()), kNoErr);
        DisposeSubscriptionList(tree);
    }

    // Turns the event loop until `done`, asking Varnoke for its title every
    // kPingEveryMs on the way; every answer must come within a second.
    bool WaitPinging(const std::function<bool()>& done, int timeoutMs)
    {
        QElapsedTimer total;
        total.start();
        while (!done()) {
            if (total.elapsed() > timeoutMs || !m_varnoke.IsRunning())
                return false;
            QElapsedTimer ping;
            ping.start();
            MessageReply answer = m_varnoke.Send(kEventClassRssv, kEventTellTitle, {}, kPingTimeoutTicks);
            const int elapsed = int(ping.elapsed());
            ++m_pings;
            m_slowestPingMs = std::max(m_slowestPingMs, elapsed);
            EXPECT_EQ(answer.result, kNoErr) << "no answer on the bus after " << total.elapsed() << " ms";
            EXPECT_LT(elapsed, kPingLimitMs) << "a slow answer after " << total.elapsed() << " ms";
            WaitFor([] { return false; }, std::max(0, kPingEveryMs - elapsed));
        }
        return true;
    }

    // The lines of this run's output that name `url`.
    std::vector<std::string> LinesNaming(const std::string& url)
    {
        std::vector<std::string> lines;
        for (const QString& line : m_varnoke.Output().split('\n')) {
            const std::string text = line.toStdString();
            // The address, not a longer one that begins like it.
            size_t at = text.find(url);
            if (at != std::string::npos && (at + url.size() == text.size() || text[at + url.size()] == ' ' ||
                                             text[at + url.size()] == '\r'))
                lines.push_back(text);
        }
        return lines;
    }

    bool HasErrorLine(const std::string& url)
    {
        for (const std::string& line : LinesNaming(url)) {
            if (line.starts_with("# "))
                return true;
        }
        return false;
    }

    // The headlines of a subscription's history file.
    std::vector<std::string> History(std::string_view path)
    {
        std::vector<std::string> headlines;
        std::optional<std::string> data = GetDataFromFile(GetHistoryFile(NameOf(path)));
        if (!data)
            return headlines;
        NewsList* items = ReadHistory(*data);
        for (NewsList* item = items; item; item = item->next)
            headlines.emplace_back(item->headline.view());
        DisposeNewsList(items);
        return headlines;
    }

    static bool Holds(const std::vector<std::string>& headlines, const std::string& headline)
    {
        return std::find(headlines.begin(), headlines.end(), headline) != headlines.end();
    }

    VarnokeLauncher m_varnoke{VARNOKE_BINARY, VARNOKE_SHARE};
    ZooServer m_zoo;
    std::vector<std::pair<std::string, QByteArray>> m_saved;
    int m_pings = 0;
    int m_slowestPingMs = 0;
};

TEST_F(HostileServers, VarnokeSurvivesTheZooAndKeepsItsNews)
{
    WrongNameTlsServer tls(m_varnoke.Root());
    ASSERT_TRUE(tls.IsReady()) << "the openssl command could not serve TLS";
    Subscribe(tls.URL());

    // The friendly run: every address serves a good feed.
    ASSERT_TRUE(m_varnoke.Start()) << m_varnoke.Output().toStdString();
    const bool fetchedAll = WaitPinging(
        [this] {
            for (const ZooCase& zooCase : kZoo) {
                if (LinesNaming(m_zoo.URL(zooCase.path)).empty())
                    return false;
            }
            return !LinesNaming(m_zoo.URL("/steady")).empty();
        },
        kFriendlyRunMs);
    ASSERT_TRUE(fetchedAll) << m_varnoke.Output().toStdString();
    ASSERT_TRUE(m_varnoke.Quit()) << m_varnoke.Output().toStdString();
    for (const ZooCase& zooCase : kZoo)
        ASSERT_TRUE(Holds(History(zooCase.path), NameOf(zooCase.path).substr(4) + " item 1"))
            << zooCase.path << " was not read in the friendly run\n"
            << m_varnoke.Output().toStdString();

    // The hostile run.
    m_zoo.SetPhase(ZooServer::Phase::kHostile);
    ASSERT_TRUE(m_varnoke.Start()) << m_varnoke.Output().toStdString();
    const bool answeredAll = WaitPinging(
        [&] {
            for (const ZooCase& zooCase : kZoo) {
                const std::string url = m_zoo.URL(zooCase.path);
                if (zooCase.harm == Harm::kBroken ? !HasErrorLine(url) : LinesNaming(url).empty())
                    return false;
            }
            return HasErrorLine(tls.URL()) && !LinesNaming(m_zoo.URL("/steady")).empty();
        },
        kHostileRunMs);
    EXPECT_TRUE(m_varnoke.IsRunning()) << m_varnoke.Output().toStdString();
    EXPECT_TRUE(answeredAll) << m_varnoke.Output().toStdString();
    for (const ZooCase& zooCase : kZoo) {
        if (zooCase.harm == Harm::kBroken) {
            EXPECT_TRUE(HasErrorLine(m_zoo.URL(zooCase.path))) << "no error logged for " << zooCase.path;
        }
    }
    EXPECT_TRUE(HasErrorLine(tls.URL())) << "no error logged for the TLS server";
    EXPECT_GT(m_zoo.RequestCount("/loop-again"), 0u) << "the redirect was not followed";

    const std::string output = m_varnoke.Output().toStdString();
    ASSERT_TRUE(m_varnoke.Quit()) << output;

    // The news of the friendly run outlives every broken answer.
    for (const ZooCase& zooCase : kZoo) {
        if (zooCase.harm != Harm::kBroken)
            continue;
        const std::vector<std::string> headlines = History(zooCase.path);
        for (const char* item : {" item 1", " item 2"})
            EXPECT_TRUE(Holds(headlines, NameOf(zooCase.path).substr(4) + item))
                << zooCase.path << " lost its news";
    }
    const std::vector<std::string> steady = History("/steady");
    EXPECT_TRUE(Holds(steady, "steady item 1") && Holds(steady, "steady item 3"));
    std::printf("%d bus pings during the runs, the slowest answered in %d ms\n", m_pings, m_slowestPingMs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
