// The icon registry. Files are SVG so that one file serves 16 and 32 pixel
// rows and HiDPI screens; QIcon renders them through Qt's SVG icon engine.
// The folder icon falls back to the desktop theme's when ours is missing.
#include "window/Icons.h"

#include "platform/Folders.h"

#include <QApplication>
#include <QStyle>

#include <unordered_map>

// The registered icons: type code, file under the resources' icons folder.
struct IconFile {
    FourCharCode type;
    std::string_view file;
};
static constexpr IconFile kIconFiles[] = {
    {MakeFourCharCode("Rssi"), "rss.svg"},
    {MakeFourCharCode("Rsse"), "rssError.svg"},
    {MakeFourCharCode("Rssr"), "rssAllRead.svg"},
    {MakeFourCharCode("Rssa"), "rssAccessing.svg"},
    {MakeFourCharCode("Rssh"), "rssHot.svg"},
    {MakeFourCharCode("Rssc"), "rssCool.svg"},
    {MakeFourCharCode("Rssp"), "rssPsedo.svg"},
    {MakeFourCharCode("Rssn"), "rssInit.svg"},
    {MakeFourCharCode("RsSi"), "rssSearch.svg"},
    {MakeFourCharCode("RsSr"), "rssSearchAllRead.svg"},
    {MakeFourCharCode("RsSa"), "rssSearchAccessing.svg"},
    {MakeFourCharCode("Popi"), "mail.svg"},
    {MakeFourCharCode("fldr"), "folder.svg"},
    {MakeFourCharCode("Unrd"), "unread.svg"},
    {MakeFourCharCode("Read"), "read.svg"},
    {MakeFourCharCode("Hot "), "hot.svg"},
    {MakeFourCharCode("Rtan"), "retain.svg"},
    {MakeFourCharCode("Fixd"), "fixed.svg"},
    {MakeFourCharCode("Dwnl"), "download.svg"},
};

static std::unordered_map<FourCharCode, QIcon> gIcons;
static bool gRegistered = false;

bool RegisterMyIcon(FourCharCode type, std::string_view file)
{
    std::optional<std::filesystem::path> path = MakeResourcePath("icons/" + std::string(file));
    if (!path)
        return false;
    const QString svg = QString::fromStdString(path->string());
    QIcon icon(svg);
    // The same drawing on a selected row: the style's tint would turn the
    // state colours muddy.
    icon.addFile(svg, QSize(), QIcon::Selected);
    // Without the SVG engine the icon has no sizes: better none than blank.
    if (icon.availableSizes().isEmpty() && icon.pixmap(16, 16).isNull())
        return false;
    gIcons[type] = icon;
    return true;
}

void RegisterMyIcons()
{
    if (gRegistered)
        return;
    gRegistered = true;
    for (const IconFile& entry : kIconFiles)
        RegisterMyIcon(entry.type, entry.file);
}

QIcon GetRegisteredIcon(FourCharCode type)
{
    RegisterMyIcons();
    auto found = gIcons.find(type);
    return found == gIcons.end() ? QIcon() : found->second;
}

QIcon GetRssIcon() { return GetRegisteredIcon(MakeFourCharCode("Rssi")); }
QIcon GetRssErrorIcon() { return GetRegisteredIcon(MakeFourCharCode("Rsse")); }
QIcon GetRssReadIcon() { return GetRegisteredIcon(MakeFourCharCode("Rssr")); }
QIcon GetRssAccessIcon() { return GetRegisteredIcon(MakeFourCharCode("Rssa")); }
QIcon GetRssHotIcon() { return GetRegisteredIcon(MakeFourCharCode("Rssh")); }
QIcon GetRssCoolIcon() { return GetRegisteredIcon(MakeFourCharCode("Rssc")); }
QIcon GetRssPsedoIcon() { return GetRegisteredIcon(MakeFourCharCode("Rssp")); }
QIcon GetRssInitIcon() { return GetRegisteredIcon(MakeFourCharCode("Rssn")); }
QIcon GetRssSearchIcon() { return GetRegisteredIcon(MakeFourCharCode("RsSi")); }
QIcon GetRssSearchAccessIcon() { return GetRegisteredIcon(MakeFourCharCode("RsSa")); }
QIcon GetRssSearchReadIcon() { return GetRegisteredIcon(MakeFourCharCode("RsSr")); }
QIcon GetMailIcon() { return GetRegisteredIcon(MakeFourCharCode("Popi")); }
QIcon GetUnreadNewsIcon() { return GetRegisteredIcon(MakeFourCharCode("Unrd")); }
QIcon GetReadNewsIcon() { return GetRegisteredIcon(MakeFourCharCode("Read")); }
QIcon GetHotNewsIcon() { return GetRegisteredIcon(MakeFourCharCode("Hot ")); }
QIcon GetFixedNewsIcon() { return GetRegisteredIcon(MakeFourCharCode("Fixd")); }
QIcon GetRetainedNewsIcon() { return GetRegisteredIcon(MakeFourCharCode("Rtan")); }
QIcon GetDownloadedNewsIcon() { return GetRegisteredIcon(MakeFourCharCode("Dwnl")); }

QIcon GetFolderIcon()
{
    QIcon icon = GetRegisteredIcon(MakeFourCharCode("fldr"));
    if (!icon.isNull() || !qApp)
        return icon;
    return QApplication::style()->standardIcon(QStyle::SP_DirIcon);
}

QIcon GetSubscriptionIcon(SubscriptionIcon icon)
{
    switch (icon) {
    case SubscriptionIcon::kNone:
        return {};
    case SubscriptionIcon::kRss:
    case SubscriptionIcon::kSiteIcon: // site icons are not loaded yet: the feed icon stands in
        return GetRssIcon();
    case SubscriptionIcon::kRssError:
        return GetRssErrorIcon();
    case SubscriptionIcon::kRssAllRead:
        return GetRssReadIcon();
    case SubscriptionIcon::kRssAccessing:
        return GetRssAccessIcon();
    case SubscriptionIcon::kRssInit:
        return GetRssInitIcon();
    case SubscriptionIcon::kRssSearch:
        return GetRssSearchIcon();
    case SubscriptionIcon::kRssSearchAllRead:
        return GetRssSearchReadIcon();
    case SubscriptionIcon::kRssSearchAccessing:
        return GetRssSearchAccessIcon();
    case SubscriptionIcon::kRssHot:
        return GetRssHotIcon();
    case SubscriptionIcon::kRssCool:
        return GetRssCoolIcon();
    case SubscriptionIcon::kRssPsedo:
        return GetRssPsedoIcon();
    case SubscriptionIcon::kMail:
        return GetMailIcon();
    case SubscriptionIcon::kFolder:
        return GetFolderIcon();
    }
    return {};
}
