// Desktop notifications: the texts and their cuts, the address hash, and
// the worker against a stand-in notification service on a private bus that
// each test starts, with a local server for the subscription's image.
#include "feeds/RefreshSchedule.h"
#include "model/NewsList.h"
#include "platform/Folders.h"
#include "platform/Tasks.h"
#include "support/ScratchSpace.h"
#include "PrivateBus.h"
#include "ticker/Notifications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QVariantMap>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(Notifications, TextsAreCutInUTF16UnitsWithoutSplittingAPair)
{
    EXPECT_EQ(CutUTF16Units(std::string(100, 't'), kNotificationTitleUnits), std::string(80, 't'));
    EXPECT_EQ(CutUTF16Units(std::string(300, 'd'), kNotificationTextUnits), std::string(200, 'd'));
    std::string japanese;
    for (int i = 0; i < 90; ++i)
        japanese += "\xE6\x97\xA5"; // one unit, three bytes
    EXPECT_EQ(CutUTF16Units(japanese, 80).size(), 240u);
    std::string emoji(79, 'x');
    emoji.append("\xF0\x9F\x98\x80"); // the pair would straddle 80
    EXPECT_EQ(CutUTF16Units(emoji, 80), std::string(79, 'x'));
}

TEST(Notifications, MarkupIsEscapedOnlyForServicesThatReadIt)
{
    GrowlInfo info{"AT&T <b>news</b>", "1 < 2 && 3 > 2", ""};
    NotificationPayload plain = MakeNotificationPayload(info, "file:///icon.png", false, false);
    EXPECT_EQ(plain.summary, "AT&T <b>news</b>");
    EXPECT_EQ(plain.body, "1 < 2 && 3 > 2");
    NotificationPayload markup = MakeNotificationPayload(info, "file:///icon.png", true, false);
    EXPECT_EQ(markup.summary, "AT&T <b>news</b>"); // the summary is never markup
    EXPECT_EQ(markup.body, "1 &lt; 2 &amp;&amp; 3 &gt; 2");
    EXPECT_TRUE(markup.imagePath.empty());
}

TEST(Notifications, ImagesAreCachedUnderTheirAddressHash)
{
    EXPECT_EQ(GetImageFilePath("http://host/img/logo.png?size=2").filename().string(),
              std::to_string(CalculateURLHash("http://host/img/logo.png?size=2")) + "-logo.png");
    EXPECT_EQ(GetImageFilePath("http://host/").filename().string(),
              std::to_string(CalculateURLHash("http://host/")) + "-image");
}

TEST(Notifications, TitleAndTextFollowWhatTheItemHas)
{
    SubscriptionList subscription;
    subscription.name = "Daily";
    NewsList news;
    news.parent = &subscription;
    EXPECT_FALSE(MakeGrowlInfo(news)); // neither headline nor description

    news.headlineRef = "";
    news.descriptionRef = "";
    std::optional<GrowlInfo> empty = MakeGrowlInfo(news);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->headline, "Daily");
    EXPECT_EQ(empty->description, "");

    news.headlineRef = "Headline";
    EXPECT_EQ(MakeGrowlInfo(news)->description, "Headline");
    news.descriptionRef = "Text";
    EXPECT_EQ(MakeGrowlInfo(news)->headline, "Headline");
    EXPECT_EQ(MakeGrowlInfo(news)->description, "Text");
    news.headlineRef = "";
    EXPECT_EQ(MakeGrowlInfo(news)->headline, kNotificationDefaultTitle);
}

/* ---- Against a service ---- */

// A notification service that records what it is sent.
class StandInNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit StandInNotifications(QStringList capabilities) : m_capabilities(std::move(capabilities)) {}

    struct Received {
        QString appName, appIcon, summary, body;
        QVariantMap hints;
    };
    std::vector<Received> received;

public slots:
    QStringList GetCapabilities() { return m_capabilities; }
    uint Notify(const QString& appName, uint, const QString& appIcon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        received.push_back({appName, appIcon, summary, body, hints});
        return uint(received.size());
    }

private:
    QStringList m_capabilities;
};

class NotificationBus : public PrivateBus {
protected:
    void SetUp() override
    {
        PrivateBus::SetUp();
        m_proxy.emplace("http_proxy", std::nullopt);
    }
    void TearDown() override
    {
        SpinUntil([] { return CountNotificationThreads() == 0; });
        if (m_service)
            QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
        PrivateBus::TearDown();
    }
    StandInNotifications& StartService(QStringList capabilities)
    {
        m_service = std::make_unique<StandInNotifications>(std::move(capabilities));
        QDBusConnection connection = QDBusConnection::connectToBus(m_address, QStringLiteral("stand-in"));
        EXPECT_TRUE(connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), m_service.get(),
                                              QDBusConnection::ExportAllSlots));
        EXPECT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.Notifications")));
        return *m_service;
    }

    ScratchFolder m_home;
    ScopedVariable m_cache{"XDG_CACHE_HOME", (m_home.Path() / "cache").string()};
    std::optional<ScopedVariable> m_proxy;
    std::unique_ptr<StandInNotifications> m_service;
};

TEST_F(NotificationBus, MarkupServiceGetsTheEscapedTextAndVarnokesIcon)
{
    StandInNotifications& service = StartService({"body", "body-markup"});
    SubscriptionList subscription;
    subscription.name = "Telecom";
    NewsList news;
    news.parent = &subscription;
    news.headlineRef = "AT&T buys <everything>";
    RegistNewsToGrowl(news);
    ASSERT_TRUE(SpinUntil([&] { return !service.received.empty(); }));
    const StandInNotifications::Received& got = service.received[0];
    EXPECT_EQ(got.appName, "Varnoke");
    EXPECT_EQ(got.summary, "Telecom");
    EXPECT_EQ(got.body, "AT&amp;T buys &lt;everything&gt;");
    EXPECT_TRUE(got.appIcon.startsWith("file://")) << got.appIcon.toStdString();
    EXPECT_TRUE(got.appIcon.endsWith("icons/varnoke.png")) << got.appIcon.toStdString();
    EXPECT_FALSE(got.hints.contains("image-path"));
}

TEST_F(NotificationBus, NoServiceSendsNothingAndLogsOneLine)
{
    SubscriptionList subscription;
    NewsList news;
    news.parent = &subscription;
    news.headlineRef = "Unseen";
    ::testing::internal::CaptureStdout();
    RegistNewsToGrowl(news);
    bool finished = SpinUntil([] { return CountNotificationThreads() == 0 && CountRunningThreads() == 0; });
    std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(finished);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_NE(log.find("no notification service"), std::string::npos) << log;
}

TEST_F(NotificationBus, TheSubscriptionsImageIsFetchedOnceAndBecomesTheIcon)
{
    StandInNotifications& service = StartService({"body"});
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    int requests = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [&, socket] {
            if (!socket->readAll().contains("\r\n\r\n"))
                return;
            ++requests;
            QByteArray image("\x89PNG\r\n\x1a\n-an-image", 18);
            socket->write("HTTP/1.0 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                          QByteArray::number(image.size()) + "\r\n\r\n" + image);
            socket->disconnectFromHost();
        });
    });
    SubscriptionList subscription;
    subscription.name = "Pictures";
    subscription.imageURL = "http://127.0.0.1:" + std::to_string(server.serverPort()) + "/img/logo.png";
    NewsList news;
    news.parent = &subscription;
    news.headlineRef = "One";
    news.descriptionRef = "Body";
    RegistNewsToGrowl(news);
    ASSERT_TRUE(SpinUntil([&] { return service.received.size() == 1; }));
    RegistNewsToGrowl(news);
    ASSERT_TRUE(SpinUntil([&] { return service.received.size() == 2; }));
    EXPECT_EQ(requests, 1);
    std::filesystem::path cached = GetImageFilePath(subscription.imageURL.view());
    EXPECT_TRUE(std::filesystem::exists(cached));
    for (const StandInNotifications::Received& got : service.received) {
        EXPECT_EQ(got.summary, "One");
        EXPECT_EQ(got.body, "Body"); // no body-markup: as written
        EXPECT_TRUE(got.appIcon.endsWith(QString::fromStdString(cached.filename().string()))) << got.appIcon.toStdString();
        EXPECT_EQ(got.hints.value("image-path").toString(), got.appIcon);
    }
}

} // namespace

#include "NotificationsTests.moc"
