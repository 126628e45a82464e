// Starts the real Varnoke for end-to-end tests: a scratch install tree (bin/
// with the program and any stand-in agents, share/varnoke/ with the shipped
// resources), a scratch home for the XDG folders, an offscreen display, no
// way past this machine for the preset feeds, and the program's output kept
// for the test to read. The test runs under dbus-run-session, so the bus is
// private to it.
#pragma once

#include "support/ScratchEnvironment.h"

#include "platform/FourCharCode.h"
#include "platform/Messages.h"
#include "shell/Agents.h"
#include "shell/Application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Waits, turning the event loop, until `done` is true or the time runs out.
template <typename Condition>
bool WaitFor(Condition done, int timeoutMs = 15000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

class VarnokeLauncher {
public:
    static constexpr int kStartTimeoutMs = 15000;
    static constexpr int kQuitTimeoutMs = 15000;

    // `binary` is the built program, `share` the built resources folder.
    VarnokeLauncher(const std::filesystem::path& binary, const std::filesystem::path& share)
    {
        namespace fs = std::filesystem;
        if (!m_root.isValid())
            return;
        fs::create_directories(Bin());
        fs::create_directories(Root() / "share");
        std::error_code error;
        fs::copy_file(binary, Bin() / "varnoke", error);
        if (!error)
            fs::copy(share, Root() / "share" / "varnoke", fs::copy_options::recursive, error);
        m_ready = !error;
    }

    ~VarnokeLauncher() { Kill(); }

    VarnokeLauncher(const VarnokeLauncher&) = delete;
    VarnokeLauncher& operator=(const VarnokeLauncher&) = delete;

    bool IsReady() const { return m_ready; }

    std::filesystem::path Root() const { return m_root.path().toStdString(); }
    std::filesystem::path Bin() const { return Root() / "bin"; }
    std::filesystem::path Home() const { return Root() / "home"; }
    // Where Varnoke keeps the user's files, as its XDG folders give them.
    std::filesystem::path PreferencesFolder() const { return Home() / ".config" / "varnoke"; }
    std::filesystem::path SupportFolder() const { return Home() / ".local" / "share" / "varnoke"; }

    // Installs `binary` beside Varnoke as the agent `name`.
    bool InstallAgent(std::string_view name, const std::filesystem::path& binary)
    {
        std::error_code error;
        std::filesystem::copy_file(binary, Bin() / std::string(name), error);
        return !error;
    }

    // An extra variable for the runs that follow.
    void SetVariable(const QString& name, const QString& value) { m_extra.emplace_back(name, value); }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = ScratchEnvironment(QString::fromStdString(Home().string()));
        // The web view's processes refuse to start sandboxed as root, as
        // test machines often run.
        environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
        for (const auto& [name, value] : m_extra)
            environment.insert(name, value);
        return environment;
    }

    QString Program() const { return QString::fromStdString((Bin() / "varnoke").string()); }

    // Starts Varnoke and waits for its "started" line. The output of an
    // earlier run is forgotten.
    bool Start(const QStringList& arguments = {})
    {
        m_output.clear();
        m_process.setProcessEnvironment(Environment());
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(Program(), arguments);
        if (!m_process.waitForStarted())
            return false;
        return WaitFor([this] { return Output().contains("  started"); }, kStartTimeoutMs);
    }

    bool IsRunning() const { return m_process.state() == QProcess::Running; }

    // Everything Varnoke printed in this run so far.
    QString Output()
    {
        m_output += QString::fromUtf8(m_process.readAll());
        return m_output;
    }

    bool WaitForOutput(const QString& text, int timeoutMs = 5000)
    {
        return WaitFor([&] { return Output().contains(text); }, timeoutMs);
    }

    // A message to Varnoke, waiting at most `timeoutTicks` for the reply.
    MessageReply Send(FourCharCode eventClass, FourCharCode eventID, std::string_view parameter = {},
                      uint32_t timeoutTicks = 600)
    {
        return SendMessageWithReply(kCreatorVarnoke, eventClass, eventID, parameter, timeoutTicks);
    }

    // Sends the quit message and waits for the process to end; true when it
    // ended by itself with status 0.
    bool Quit()
    {
        Send(kEventClassAevt, kEventQuitApplication);
        if (!m_process.waitForFinished(kQuitTimeoutMs))
            return false;
        Output();
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    void Kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished();
    }

    QProcess& Process() { return m_process; }

private:
    QTemporaryDir m_root;
    bool m_ready = false;
    std::vector<std::pair<QString, QString>> m_extra;
    QProcess m_process;
    QString m_output;
};
