// Desktop services through Qt Gui's QDesktopServices.
#include "platform/Desktop.h"

#include "platform/Log.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

OSStatus LaunchURL(std::string_view url)
{
    QUrl address(QString::fromUtf8(url.data(), qsizetype(url.size())), QUrl::StrictMode);
    if (url.empty() || !address.isValid() || address.scheme().isEmpty())
        return kParamErr;
    if (!QDesktopServices::openUrl(address)) {
        LogFailure("cannot open %.*s", int(url.size()), url.data());
        return kGenericErr;
    }
    return kNoErr;
}

OSStatus OpenFileWithDesktop(const std::filesystem::path& file)
{
    if (!std::filesystem::exists(file))
        return kFileNotFoundErr;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())))) {
        LogFailure("cannot open %s", file.c_str());
        return kGenericErr;
    }
    return kNoErr;
}
