// The tray icon: Varnoke's presence on the desktop while no window shows,
// with the unread count as its badge and a menu to quit.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

class QMenu;

class ShellTray : public QObject {
    Q_OBJECT

public:
    ShellTray();
    ~ShellTray() override;

private:
    void Activated(QSystemTrayIcon::ActivationReason reason);

    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};
