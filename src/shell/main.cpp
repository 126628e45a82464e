// Varnoke's entry point: installs the message handlers, claims the program's
// name on the session bus (or hands the arguments to the copy that already
// runs), prepares the support folder and runs the event loop.
#include "platform/Desktop.h"
#include "platform/EventLoop.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "shell/Agents.h"
#include "shell/Application.h"
#include "shell/ShellTray.h"
#include "shell/ShellTargets.h"
#include "shell/SupportFolder.h"
#include "feeds/Restrictions.h"
#include "net/HttpClient.h"
#include "platform/Tasks.h"
#include "settings/Environs.h"
#include "ticker/Filters.h"
#include "window/ViewerWindow.h"
#include "tickerwindow/TickerWindow.h"
#include "tickerwindow/NewsFilterWindow.h"

#include <QApplication>
#include <QStringList>

#include <cstdlib>
#include <unistd.h>

// Reads the proxy settings in a worker: resolving the proxy host waits on the
// network, and requests started meanwhile wait for it.
static WorkerTask InitProxyTask()
{
    co_await HttpInitProxy();
    HttpInitProxyAuth();
}

static void InitProxy()
{
    StartWorkerTask(InitProxyTask());
}

static constexpr uint32_t kHandOverTimeoutTicks = 60 * 30; // the running copy may be starting up

// Each argument becomes a 'GURL' message; none at all means "open" and "show".
static int HandOverToRunningCopy(const QStringList& arguments)
{
    std::vector<std::pair<FourCharCode, std::string>> messages;
    for (const QString& argument : arguments)
        messages.emplace_back(kEventGetURL, argument.toStdString());
    if (messages.empty()) {
        messages.emplace_back(kEventOpenApplication, std::string());
        messages.emplace_back(kEventReopenApplication, std::string());
    }
    for (const auto& [eventID, text] : messages) {
        FourCharCode eventClass = eventID == kEventGetURL ? kEventClassGURL : kEventClassAevt;
        MessageReply answer = SendMessageWithReply(kCreatorVarnoke, eventClass, eventID, text, kHandOverTimeoutTicks);
        if (answer.result != kNoErr) {
            LogFailure("the running Varnoke did not take %s (%d)", FourCharCodeToString(eventID).c_str(),
                       int(answer.result));
            return 1;
        }
    }
    return 0;
}

// The web view's page processes cannot run in their sandbox under root (in a
// container, say): without this the web engine stops the whole program.
static void AllowWebViewUnderRoot()
{
    if (::geteuid() != 0 || std::getenv("QTWEBENGINE_DISABLE_SANDBOX"))
        return;
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    LogInfo("running as root: the web view runs without its sandbox");
}

int main(int argc, char** argv)
{
    AllowWebViewUnderRoot();
    // The web view shares its graphics context with the window's.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnoke"));
    QApplication::setDesktopFileName(QStringLiteral("varnoke"));
    QApplication::setQuitOnLastWindowClosed(false);
    QStringList arguments = QApplication::arguments().mid(1);

    ShellOpeners openers;
    openers.initSettings = InitEnvirons;
    openers.initFilters = InitNewsFilter;
    openers.initProxy = InitProxy;
    openers.openViewer = OpenViewerWindow;
    openers.openTicker = OpenTickerWindow;
    openers.openNewsFilterWindow = OpenNewsFilterWindowCommand;
    openers.launchURL = LaunchURL;
    openers.openFile = OpenFileWithDesktop;
    SetShellOpeners(openers);
    InstallApplicationMessageHandlers();
    switch (OwnMessageName(kCreatorVarnoke)) {
    case NameOwnership::OwnedByOther:
        return HandOverToRunningCopy(arguments);
    case NameOwnership::NoBus:
        LogFailure("other programs cannot reach Varnoke without a session bus");
        break;
    case NameOwnership::Owned:
        break;
    }

    SetupSupportFolder();
    LoadRestrictions();
    InstallQuitSignalHandler([] { DispatchMessage(kEventClassAevt, kEventQuitApplication, {}); });
    ShellTray tray;
    SetUnreadBadgeDrawer([&tray](uint32_t unread) { tray.SetUnreadCount(unread); });

    // The desktop sends no "open" event: give it to ourselves, or the first URL.
    PostToEventLoop([arguments] {
        if (arguments.isEmpty()) {
            DispatchMessage(kEventClassAevt, kEventOpenApplication, {});
            return;
        }
        for (const QString& argument : arguments)
            DispatchMessage(kEventClassGURL, kEventGetURL, argument.toStdString());
    });

    application.exec();
    SetUnreadBadgeDrawer(nullptr);
    ReleaseMessageName();
    return 0;
}
