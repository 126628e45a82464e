// The icon registry: the program's own icons, registered once by type code
// from SVG files among the resources (a missing file is skipped), and the
// accessors the panes and the toolbar draw with. Row icons are chosen in
// viewer/SubscriptionPaneModel; this file only turns a choice into an image.
#pragma once

#include "platform/FourCharCode.h"
#include "viewer/SubscriptionPaneModel.h"

#include <QIcon>

#include <string_view>

// Registers every icon file of the table (once; later calls do nothing).
void RegisterMyIcons();
// Registers `file` (a resource under icons/) as the icon of `type`; a
// missing or unreadable file is skipped. True when it was registered.
bool RegisterMyIcon(FourCharCode type, std::string_view file);

// The icon registered for `type`; a null icon when none was.
QIcon GetRegisteredIcon(FourCharCode type);

// The image of a row's state icon.
QIcon GetSubscriptionIcon(SubscriptionIcon icon);

QIcon GetRssIcon();
QIcon GetRssErrorIcon();
QIcon GetRssReadIcon();
QIcon GetRssAccessIcon();
QIcon GetRssHotIcon();
QIcon GetRssCoolIcon();
QIcon GetRssPsedoIcon();
QIcon GetRssInitIcon();
QIcon GetRssSearchIcon();
QIcon GetRssSearchAccessIcon();
QIcon GetRssSearchReadIcon();
QIcon GetMailIcon();
QIcon GetFolderIcon();
QIcon GetUnreadNewsIcon();
QIcon GetReadNewsIcon();
QIcon GetHotNewsIcon();
QIcon GetFixedNewsIcon();
QIcon GetRetainedNewsIcon();
QIcon GetDownloadedNewsIcon();
