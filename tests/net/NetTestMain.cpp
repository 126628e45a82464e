// Entry point of the network tests: an application object for the event
// loop, a time zone with daylight saving (so that dates sent in GMT are told
// apart from local ones), a scratch settings folder, and a private session
// bus, so that no agent of the user's own desktop ever answers a test.
#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/prctl.h>

constexpr int kBusStartMs = 5000;

static bool IsListingTests(int argc, char** argv)
{
    for (int index = 1; index < argc; ++index)
        if (std::strcmp(argv[index], "--gtest_list_tests") == 0)
            return true;
    return false;
}

// Starts a bus of our own and points the program at it; without dbus-daemon
// the bus address names nothing, and the tests that need a bus skip.
static std::unique_ptr<QProcess> StartPrivateBus()
{
    auto bus = std::make_unique<QProcess>();
    bus->setStandardErrorFile(QProcess::nullDevice());
    // The bus goes with this program, also when a test ends it early.
    bus->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    bus->start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!bus->waitForStarted(kBusStartMs) || !bus->waitForReadyRead(kBusStartMs)) {
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/varnoke-net-tests", 1);
        return nullptr;
    }
    std::string address = bus->readLine().trimmed().toStdString();
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    return bus;
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    std::string settings = (std::filesystem::temp_directory_path() / "varnoke-net-settings-XXXXXX").string();
    if (mkdtemp(settings.data()) != nullptr)
        setenv("XDG_CONFIG_HOME", settings.c_str(), 1);
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QProcess> bus = IsListingTests(argc, argv) ? nullptr : StartPrivateBus();
    int result = RUN_ALL_TESTS();
    if (bus) {
        bus->terminate();
        bus->waitForFinished(kBusStartMs);
    }
    std::error_code error;
    std::filesystem::remove_all(settings, error);
    return result;
}
