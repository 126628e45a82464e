// A private session bus for one test: a dbus-daemon of its own, made this
// process's session bus before anything connects (each test runs in its own
// process), and killed at the end.
#pragma once

#include "support/ScratchSpace.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

inline bool SpinUntil(const std::function<bool()>& done, int milliseconds = 8000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(m_daemon.waitForStarted());
        ASSERT_TRUE(SpinUntil([this] { return m_daemon.canReadLine(); }));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_bus.emplace("DBUS_SESSION_BUS_ADDRESS", m_address.toStdString());
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    }
    void TearDown() override
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    QProcess m_daemon;
    QString m_address;
    std::optional<ScopedVariable> m_bus;
};
