// Builds the tray icon from the program's icon resource; its menu commands
// go through the same message handlers as other programs' messages.
#include "shell/ShellTray.h"

#include "platform/Folders.h"
#include "platform/Messages.h"
#include "shell/Application.h"

#include <QIcon>
#include <QMenu>

static QIcon LoadApplicationIcon()
{
    QIcon icon;
    for (const char* name : {"icons/varnoke.png", "icons/varnoke-256.png"}) {
        if (std::optional<std::filesystem::path> path = MakeResourcePath(name))
            icon.addFile(QString::fromStdString(path->string()));
    }
    return icon;
}

ShellTray::ShellTray()
    : m_menu(std::make_unique<QMenu>())
    , m_icon(std::make_unique<QSystemTrayIcon>(LoadApplicationIcon()))
{
    QAction* show = m_menu->addAction(tr("Show Varnoke"));
    connect(show, &QAction::triggered, this,
            [] { DispatchMessage(kEventClassAevt, kEventReopenApplication, {}); });
    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(tr("Quit Varnoke"));
    connect(quit, &QAction::triggered, this, [] { DispatchMessage(kEventClassAevt, kEventQuitApplication, {}); });
    m_icon->setContextMenu(m_menu.get());
    m_icon->setToolTip(QStringLiteral("Varnoke"));
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &ShellTray::Activated);
    m_icon->show();
}

ShellTray::~ShellTray() = default;

void ShellTray::Activated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        DispatchMessage(kEventClassAevt, kEventReopenApplication, {});
}
