// Varnoke's message interface end to end: a real Varnoke process on the
// private session bus this test runs under, stand-in agents beside it in a
// scratch install tree, and messages sent the way other programs send them.
#include "feeds/PermanentsFile.h"
#include "model/NewsList.h"
#include "model/SubscriptionsFile.h"
#include "platform/Messages.h"
#include "shell/Agents.h"
#include "shell/Application.h"
#include "support/VarnokeLauncher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QVariantMap>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace {

constexpr int kStartTimeoutMs = 15000;

// The launcher's side of the dock badge: the last count Varnoke announced.
class LauncherListener : public QObject {
    Q_OBJECT
public:
    qint64 count = -1;
    QString uri;

public slots:
    void Update(const QString& application, const QVariantMap& properties)
    {
        uri = application;
        count = properties.value("count-visible").toBool() ? properties.value("count").toLongLong() : 0;
    }
};

// A scratch install tree (bin/ with Varnoke and the agents, share/varnoke/)
// and a scratch home for the XDG folders.
class VarnokeProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        namespace fs = std::filesystem;
        fs::path root = m_root.path().toStdString();
        fs::create_directories(root / "bin");
        fs::create_directories(root / "share");
        fs::copy_file(VARNOKE_BINARY, root / "bin" / "varnoke");
        fs::copy(VARNOKE_SHARE, root / "share" / "varnoke", fs::copy_options::recursive);
        for (const char* agent : {"drovik", "quenlo", "tarvish", "saffrel"})
            fs::copy_file(STANDIN_AGENT_BINARY, root / "bin" / agent);
        m_agentLog = QString::fromStdString((root / "agents.log").string());
    }

    void TearDown() override
    {
        for (FourCharCode agent : {kCreatorDrovik, kCreatorQuenlo, kCreatorTarvish, kCreatorSaffrel})
            SendMessageNoReply(agent, kEventClassAevt, kEventQuitApplication);
        if (m_varnoke.state() != QProcess::NotRunning) {
            m_varnoke.kill();
            m_varnoke.waitForFinished();
        }
        WaitFor([] { return !IsMessageNameOwned(kCreatorDrovik) && !IsMessageNameOwned(kCreatorQuenlo); }, 5000);
    }

    QProcessEnvironment Environment(int downloads) const
    {
        QProcessEnvironment environment = ScratchEnvironment(m_root.path() + "/home");
        // The viewer window opens on the offscreen platform; its web view
        // gives way to the plain stand-in, which answers the same queries.
        environment.insert("VARNOKE_WEBVIEW", "off");
        environment.insert("STANDIN_LOG", m_agentLog);
        environment.insert("STANDIN_DOWNLOADS", QString::number(downloads));
        return environment;
    }

    QString Program() const { return m_root.path() + "/bin/varnoke"; }

    void StartVarnoke(int downloads = 0)
    {
        m_varnoke.setProcessEnvironment(Environment(downloads));
        m_varnoke.setProcessChannelMode(QProcess::MergedChannels);
        m_varnoke.start(Program(), {});
        ASSERT_TRUE(m_varnoke.waitForStarted());
        ASSERT_TRUE(WaitFor([this] { return Output().contains("  started"); })) << Output().toStdString();
    }

    QString Output()
    {
        m_output += QString::fromUtf8(m_varnoke.readAll());
        return m_output;
    }

    bool WaitForOutput(const QString& text)
    {
        return WaitFor([&] { return Output().contains(text); }, 5000);
    }

    QString AgentLog() const
    {
        QFile log(m_agentLog);
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    MessageReply Send(FourCharCode eventClass, FourCharCode eventID, std::string_view parameter = {})
    {
        return SendMessageWithReply(kCreatorVarnoke, eventClass, eventID, parameter, 600);
    }

    QTemporaryDir m_root;
    QString m_agentLog;
    QProcess m_varnoke;
    QString m_output;
};

TEST_F(VarnokeProcess, AnswersEveryMessageOfItsTable)
{
    StartVarnoke();

    // Queries before any web page is shown answer empty values of their types.
    struct Query {
        FourCharCode eventID;
        std::string reply;
    } const kQueries[] = {
        {kEventTellTitle, ""},
        {kEventTellTitleRJ, ""},
        {kEventTellURL, ""},
        {kEventTellWebLoading, std::string(1, '\0')},
    };
    for (const Query& query : kQueries) {
        MessageReply answer = Send(kEventClassRssv, query.eventID);
        EXPECT_EQ(answer.result, kNoErr) << FourCharCodeToString(query.eventID);
        EXPECT_EQ(answer.reply, query.reply) << FourCharCodeToString(query.eventID);
    }
    // The web view's frame on the screen: top, left, bottom, right.
    MessageReply bounds = Send(kEventClassRssv, kEventTellWebBounds);
    ASSERT_EQ(bounds.reply.size(), 8u);
    auto edge = [&](size_t index) { return int16_t((uint8_t(bounds.reply[index * 2]) << 8) | uint8_t(bounds.reply[index * 2 + 1])); };
    EXPECT_GT(edge(2), edge(0));
    EXPECT_GT(edge(3), edge(1));

    // Messages that need text refuse to run without it.
    for (FourCharCode eventID : {kEventShowTickerMessage, kEventFilterByWord, kEventDidDownload})
        EXPECT_EQ(Send(kEventClassRssv, eventID).result, kMessageParamErr) << FourCharCodeToString(eventID);
    EXPECT_EQ(Send(kEventClassGURL, kEventGetURL).result, kMessageParamErr);

    EXPECT_EQ(Send(kEventClassRssv, MakeFourCharCode("Zzzz")).result, kMessageNotHandledErr);
    EXPECT_EQ(Send(MakeFourCharCode("Nope"), kEventTellTitle).result, kMessageNotHandledErr);
    EXPECT_EQ(Send(kEventClassAevt, kEventOpenApplication).result, kNoErr); // a second open does nothing
    EXPECT_EQ(Send(kEventClassAevt, kEventReopenApplication).result, kNoErr);
    EXPECT_EQ(Send(kEventClassRssv, kEventDragSubscription).result, kNoErr);
}

TEST_F(VarnokeProcess, QueuesTickerMessagesAndRefusesBrokenOnes)
{
    StartVarnoke();
    EXPECT_EQ(Send(kEventClassRssv, kEventShowTickerMessage, "Build\rAll tests passed\rPing\rblink\r3,9,77").result,
              kNoErr);
    EXPECT_TRUE(WaitForOutput("ticker message from \"Build\": \"All tests passed\" (priority 3, sound \"Ping\", "
                              "effect \"blink\", message 9, process 77)"))
        << Output().toStdString();

    EXPECT_EQ(Send(kEventClassRssv, kEventShowTickerMessage, "Build\r\nAll tests passed").result, kGenericErr);
    EXPECT_EQ(Send(kEventClassRssv, kEventShowTickerMessage, "only a source").result, kGenericErr);

    std::string longSource(100, 'L');
    EXPECT_EQ(Send(kEventClassRssv, kEventShowTickerMessage, longSource + "\nstill read").result, kNoErr);
    EXPECT_TRUE(WaitForOutput("ticker message from \"" + QString(63, 'L') + "\": \"still read\" (priority 1"));

    // An over-long text is cut, never refused or overrun.
    EXPECT_EQ(Send(kEventClassRssv, kEventShowTickerMessage, "Flood\n" + std::string(5000, 'x')).result, kNoErr);
    EXPECT_TRUE(WaitForOutput("ticker message from \"Flood\": \"" + QString(255, 'x') + "\""));
}

TEST_F(VarnokeProcess, HandsURLsToTheViewer)
{
    StartVarnoke();
    EXPECT_EQ(Send(kEventClassGURL, kEventGetURL, "feed:http://127.0.0.1:9/x.rss").result, kNoErr);
    EXPECT_TRUE(WaitForOutput("Subscribe URL : http://127.0.0.1:9/x.rss"));
    EXPECT_EQ(Send(kEventClassGURL, kEventGetURL, "http://127.0.0.1:9/page.html").result, kNoErr);
    // The page is shown in the viewer window's description pane.
    EXPECT_EQ(Send(kEventClassRssv, kEventTellURL).reply, "http://127.0.0.1:9/page.html");
    EXPECT_EQ(Send(kEventClassRssv, kEventTellTitle).reply, "http://127.0.0.1:9/page.html");
}

TEST_F(VarnokeProcess, SubscribesToAFeedAddressAndFetchesIt)
{
    // A one-document site: every request gets the same small feed.
    const std::string feed = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Bus Channel</title>"
                             "<item><title>Bus item one</title></item><item><title>Bus item two</title></item>"
                             "</channel></rss>";
    QTcpServer site;
    ASSERT_TRUE(site.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&site, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = site.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, feed] {
                if (!socket->readAll().contains("\r\n\r\n"))
                    return;
                socket->write(("HTTP/1.0 200 OK\r\n\r\n" + feed).c_str());
                socket->disconnectFromHost();
            });
        }
    });
    const std::string address = "http://127.0.0.1:" + std::to_string(site.serverPort()) + "/x.rss";

    LauncherListener launcher;
    ASSERT_TRUE(QDBusConnection::sessionBus().connect(QString(), QString(), "com.canonical.Unity.LauncherEntry",
                                                      "Update", &launcher,
                                                      SLOT(Update(QString, QVariantMap))));
    StartVarnoke();
    EXPECT_EQ(Send(kEventClassGURL, kEventGetURL, "feed:" + address).result, kNoErr);
    EXPECT_TRUE(WaitFor([this] { return Output().contains("2 new headlines in Bus Channel"); }))
        << Output().toStdString();
    // The unread count reaches the launcher as its badge.
    EXPECT_TRUE(WaitFor([&] { return launcher.count == 2; }, 5000)) << launcher.count;
    EXPECT_EQ(launcher.uri, "application://varnoke.desktop");

    EXPECT_EQ(Send(kEventClassAevt, kEventQuitApplication).result, kNoErr);
    ASSERT_TRUE(m_varnoke.waitForFinished(10000));
    std::filesystem::path siteFile = (m_root.path() + "/home/.config/varnoke/Varnoke.site").toStdString();
    SubscriptionList* saved = LoadSubscriptionsFromFile(siteFile, {});
    SubscriptionList* subscribed = FindSubscriptionByURL(saved, address);
    ASSERT_NE(subscribed, nullptr);
    EXPECT_EQ(subscribed->name.view(), "Bus Channel");
    EXPECT_EQ(subscribed->checkType, kCheckEveryHour);
    DisposeSubscriptionList(saved);
}

TEST_F(VarnokeProcess, StartsAndQuitsItsAgents)
{
    StartVarnoke();
    EXPECT_TRUE(WaitFor([] {
        return IsMessageNameOwned(kCreatorQuenlo) && IsMessageNameOwned(kCreatorTarvish) &&
               IsMessageNameOwned(kCreatorDrovik) && IsMessageNameOwned(kCreatorSaffrel);
    })) << AgentLog().toStdString();
    EXPECT_FALSE(IsMessageNameOwned(kCreatorPellick)); // no such program here: skipped silently
    EXPECT_NE(GetMessageNameOwnerPID(kCreatorQuenlo), 0u);

    EXPECT_EQ(Send(kEventClassAevt, kEventQuitApplication).result, kNoErr);
    ASSERT_TRUE(m_varnoke.waitForFinished(10000));
    EXPECT_EQ(m_varnoke.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_varnoke.exitCode(), 0);
    EXPECT_TRUE(WaitFor([this] {
        QString log = AgentLog();
        return log.contains("quit quenlo") && log.contains("quit tarvish") && log.contains("quit drovik") &&
               log.contains("quit saffrel");
    })) << AgentLog().toStdString();
}

TEST_F(VarnokeProcess, DownloadAgentOutlivesQuitWhileItDownloads)
{
    StartVarnoke(2);
    ASSERT_TRUE(WaitFor([] { return IsMessageNameOwned(kCreatorDrovik) && IsMessageNameOwned(kCreatorQuenlo); }));
    EXPECT_EQ(Send(kEventClassAevt, kEventQuitApplication).result, kNoErr);
    ASSERT_TRUE(m_varnoke.waitForFinished(10000));
    EXPECT_TRUE(WaitFor([this] { return AgentLog().contains("quit quenlo"); }));
    EXPECT_TRUE(IsMessageNameOwned(kCreatorDrovik));
    EXPECT_FALSE(AgentLog().contains("quit drovik"));
}

TEST_F(VarnokeProcess, SecondStartHandsItsArgumentsOverAndExits)
{
    StartVarnoke();
    QProcess second;
    second.setProcessEnvironment(Environment(0));
    second.start(Program(), {"feed:http://127.0.0.1:9/second.rss"});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(WaitForOutput("Subscribe URL : http://127.0.0.1:9/second.rss"));

    second.start(Program(), {});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(m_varnoke.state(), QProcess::Running);
}

TEST_F(VarnokeProcess, TerminationRunsTheQuitSequence)
{
    StartVarnoke();
    ASSERT_TRUE(WaitFor([] { return IsMessageNameOwned(kCreatorQuenlo); }));
    ::kill(pid_t(m_varnoke.processId()), SIGTERM);
    ASSERT_TRUE(m_varnoke.waitForFinished(10000));
    EXPECT_EQ(m_varnoke.exitCode(), 0);
    EXPECT_TRUE(WaitForOutput("quitting"));
    EXPECT_TRUE(WaitFor([this] { return AgentLog().contains("quit quenlo"); }));
}

TEST_F(VarnokeProcess, SavesTheSubscriptionsAtQuitAndKeepsADamagedFileAside)
{
    namespace fs = std::filesystem;
    fs::path preferences = (m_root.path() + "/home/.config/varnoke").toStdString();
    fs::path site = preferences / "Varnoke.site";

    // A new user starts from the preset list and leaves with a file of their own.
    StartVarnoke();
    EXPECT_TRUE(WaitForOutput("loaded "));
    EXPECT_EQ(Send(kEventClassAevt, kEventQuitApplication).result, kNoErr);
    ASSERT_TRUE(m_varnoke.waitForFinished(10000));
    ASSERT_TRUE(fs::exists(site)) << Output().toStdString();
    constexpr uintmax_t kHeaderBytes = 64;
    constexpr uintmax_t kRecordBytes = 5384;
    uintmax_t size = fs::file_size(site);
    EXPECT_EQ((size - kHeaderBytes) % kRecordBytes, 0u);
    EXPECT_GT(size, kHeaderBytes + 2 * kRecordBytes);
    EXPECT_EQ(fs::status(site).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    // Garbage in the file is kept aside, never replaced unseen.
    const std::string garbage = "this is not a subscriptions file";
    {
        QFile file(QString::fromStdString(site.string()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(garbage.data(), qint64(garbage.size()));
    }
    m_output.clear();
    StartVarnoke();
    EXPECT_EQ(Send(kEventClassAevt, kEventQuitApplication).result, kNoErr);
    ASSERT_TRUE(m_varnoke.waitForFinished(10000));
    QFile kept(QString::fromStdString((preferences / "Varnoke.site.damaged").string()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly)) << Output().toStdString();
    EXPECT_EQ(kept.readAll().toStdString(), garbage);
}

TEST_F(VarnokeProcess, KeepsPermanentNewsAcrossRuns)
{
    namespace fs = std::filesystem;
    StartVarnoke(); // the first run writes the user's subscriptions from the preset
    EXPECT_EQ(Send(kEventClassAevt, kEventQuitApplication).result, kNoErr);
    ASSERT_TRUE(m_varnoke.waitForFinished(10000));

    SubscriptionList feed;
    feed.siteType = kSiteTypeRSS;
    feed.accessURL = "https://lwn.net/headlines/rss";
    NewsList item;
    item.type = kNewsTypeFeed;
    item.flags = kNewsFlagPermanent | kNewsFlagRead;
    item.parent = &feed;
    item.headline = "Kernel release <b>notes</b>";
    item.linkURL = "https://lwn.net/Articles/1/";
    item.description = "<p>Line one</p>\n<p>Line two &amp; more</p>";
    item.encodingName = "UTF-8";
    fs::path permanents = (m_root.path() + "/home/.local/share/varnoke/Permanents.rdf").toStdString();
    ASSERT_EQ(SavePermanentsAsRdf(permanents, &item), kNoErr);

    m_output.clear();
    StartVarnoke();
    EXPECT_TRUE(WaitForOutput("and 1 saved news")) << Output().toStdString();
    EXPECT_EQ(Send(kEventClassAevt, kEventQuitApplication).result, kNoErr);
    ASSERT_TRUE(m_varnoke.waitForFinished(10000));
    QFile saved(QString::fromStdString(permanents.string()));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    QByteArray document = saved.readAll();
    EXPECT_TRUE(document.contains("Kernel release")) << document.toStdString();
    EXPECT_TRUE(document.contains("https://lwn.net/headlines/rss"));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "ShellBusTests.moc"
