// A 'Tckm' message from another program, end to end: sent with dbus-send on
// a private bus to this process, which owns Varnoke's name and runs the
// shell's start-up with the ticker window, and queued and shown as sent.
#include "platform/Messages.h"
#include "shell/Agents.h"
#include "shell/Application.h"
#include "shell/ShellTargets.h"
#include "ticker/Ticker.h"
#include "tickerwindow/TickerWindow.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

bool SpinUntil(const std::function<bool()>& done, int milliseconds = 8000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// dbus-send's form of a byte array.
QString ToByteArrayArgument(const QByteArray& bytes)
{
    QStringList values;
    for (char byte : bytes)
        values << QString::number(uint8_t(byte));
    return "array:byte:" + values.join(',');
}

TEST(TickerMessageBus, ATckmMessageIsQueuedAsSentAndShown)
{
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(daemon.waitForStarted());
    ASSERT_TRUE(SpinUntil([&] { return daemon.canReadLine(); }));
    QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    setenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit().constData(), 1);

    // The agents' names are taken, so that start-up starts none of them.
    QDBusConnection agents = QDBusConnection::connectToBus(address, QStringLiteral("agents"));
    for (FourCharCode agent : {kCreatorMorvane, kCreatorSaffrel, kCreatorQuenlo, kCreatorPellick, kCreatorTarvish,
                               kCreatorDrovik})
        ASSERT_TRUE(agents.registerService(QString::fromStdString(MessageServiceName(agent))));
    ASSERT_EQ(OwnMessageName(kCreatorVarnoke), NameOwnership::Owned);
    InstallApplicationMessageHandlers();
    ShellOpeners openers;
    openers.openTicker = OpenTickerWindow;
    SetShellOpeners(openers);
    RunStartupSequence();
    ASSERT_NE(GetTickerWindow(), nullptr);

    QProcess sender;
    QByteArray text = "Build Bot\rBuild 512 passed\rChime\rSparkle\r3,42,0";
    sender.start("dbus-send", {"--session", "--print-reply", "--dest=org.varnoke.Rssv", "/org/varnoke/Events",
                               "org.varnoke.Events.Send", "string:Rssv", "string:Tckm", ToByteArrayArgument(text)});
    ASSERT_TRUE(SpinUntil([&] { return sender.state() == QProcess::NotRunning; }));
    QString reply = QString::fromUtf8(sender.readAllStandardOutput());
    EXPECT_TRUE(reply.contains("int32 0")) << reply.toStdString() << sender.readAllStandardError().toStdString();

    const TickerQueue* head = GetTickerStaff().queue;
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->priority, 3u);
    EXPECT_EQ(head->newsType, kTickerNewsTypeMessage);
    EXPECT_EQ(head->newsID, 42u);
    EXPECT_EQ(head->sound.view(), "Chime");
    EXPECT_EQ(head->effect, kTickerEffectSparkle);
    EXPECT_EQ(head->title.view(), "Build Bot");
    EXPECT_EQ(head->message.view(), "Build 512 passed");
    EXPECT_TRUE(SpinUntil([] { return GetTickerWindow()->isVisible(); }));
    EXPECT_TRUE(head->flags & kTickerFlagStarted);

    GetShellTicker()->Close();
    ReleaseMessageName();
    daemon.kill();
    daemon.waitForFinished();
}

} // namespace
