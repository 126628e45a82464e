// The tray icon: Varnoke's presence on the desktop while no window shows,
// with the unread count as its badge and a menu to quit. The same count goes
// to the desktop's launcher as its badge.
#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <cstdint>
#include <memory>

class QMenu;

class ShellTray : public QObject {
    Q_OBJECT

public:
    ShellTray();
    ~ShellTray() override;

    // The unread count as the icon's badge (the plain icon for 0), and as
    // the launcher count where a dock listens.
    void SetUnreadCount(uint32_t unread);

private:
    void Activated(QSystemTrayIcon::ActivationReason reason);

    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QIcon m_plainIcon;
    uint32_t m_unread = 0;
};
