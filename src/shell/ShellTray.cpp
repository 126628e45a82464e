// Builds the tray icon from the program's icon resource; its menu commands
// go through the same message handlers as other programs' messages.
#include "shell/ShellTray.h"

#include "platform/Folders.h"
#include "platform/Messages.h"
#include "shell/Application.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFont>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QVariantMap>

constexpr int kBadgeImageSize = 128;
constexpr int kBadgeSize = 64;

// Font size of the count by its digits (for a 128-pixel image); more digits
// than the table knows use its last row.
constexpr int kBadgeFontSizes[] = {24, 23, 22, 18, 15};

constexpr char kLauncherEntryPath[] = "/com/varnoke/LauncherEntry";
constexpr char kLauncherEntryInterface[] = "com.canonical.Unity.LauncherEntry";
constexpr char kLauncherApplicationURI[] = "application://varnoke.desktop";

static QIcon LoadApplicationIcon()
{
    QIcon icon;
    for (const char* name : {"icons/varnoke.png", "icons/varnoke-256.png"}) {
        if (std::optional<std::filesystem::path> path = MakeResourcePath(name))
            icon.addFile(QString::fromStdString(path->string()));
    }
    return icon;
}

// The application icon with the count in a red disc over its upper right
// quarter.
static QIcon DrawBadgeIcon(const QIcon& plain, uint32_t unread)
{
    QPixmap image(kBadgeImageSize, kBadgeImageSize);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    plain.paint(&painter, image.rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xD0, 0x21, 0x21));
    painter.drawEllipse(QRect(kBadgeImageSize - kBadgeSize, 0, kBadgeSize, kBadgeSize));
    QString digits = QString::number(unread);
    int fontSize = kBadgeFontSizes[std::min<size_t>(size_t(digits.size()), std::size(kBadgeFontSizes)) - 1];
    QFont font(QStringLiteral("Arial Black"));
    font.setBold(true);
    font.setPixelSize(fontSize);
    painter.setFont(font);
    painter.setPen(Qt::white);
    QRect disc(kBadgeImageSize - kBadgeSize, 0, kBadgeSize, kBadgeSize);
    painter.drawText(disc, Qt::AlignCenter, digits);
    return QIcon(image);
}

static void SendLauncherCount(uint32_t unread)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(QString::fromLatin1(kLauncherEntryPath),
                                                     QString::fromLatin1(kLauncherEntryInterface), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("count"), qint64(unread));
    properties.insert(QStringLiteral("count-visible"), unread > 0);
    update << QString::fromLatin1(kLauncherApplicationURI) << properties;
    bus.send(update);
}

ShellTray::ShellTray()
    : m_menu(std::make_unique<QMenu>())
    , m_icon(std::make_unique<QSystemTrayIcon>(LoadApplicationIcon()))
    , m_plainIcon(m_icon->icon())
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

void ShellTray::SetUnreadCount(uint32_t unread)
{
    if (unread == m_unread)
        return;
    m_unread = unread;
    m_icon->setIcon(unread == 0 ? m_plainIcon : DrawBadgeIcon(m_plainIcon, unread));
    m_icon->setToolTip(unread == 0 ? QStringLiteral("Varnoke") : tr("Varnoke: %n unread", nullptr, int(unread)));
    SendLauncherCount(unread);
}
