// The XDG base folders of the user, Varnoke's own folders inside them, and
// the install and resource folders of the running program. Nothing here is
// cached: the environment is read at every call.
#include "platform/Folders.h"

#include "platform/Log.h"

#include <QCoreApplication>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

constexpr char kApplicationFolderName[] = "varnoke";
constexpr char kHistoryFolderName[] = "history";
constexpr char kFeedCacheFolderName[] = "cache";
constexpr char kImageCacheFolderName[] = "image";
constexpr char kSoundFolderName[] = "sounds";
constexpr char kResourceFolderRelative[] = "../share/varnoke";
constexpr char kLastResortHome[] = "/tmp";

static fs::path GetHomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    const passwd* entry = ::getpwuid(::getuid());
    if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/')
        return entry->pw_dir;
    LogFailure("No home folder; using %s", kLastResortHome);
    return kLastResortHome;
}

// An XDG variable counts only when it holds an absolute path; anything else
// is ignored in favour of the default under the home folder.
static fs::path GetXDGFolder(const char* variable, const char* defaultUnderHome)
{
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return value;
    return GetHomeFolder() / defaultUnderHome;
}

static fs::path EnsureFolder(const fs::path& folder)
{
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        LogFailure("Cannot create folder %s: %s", folder.c_str(), error.message().c_str());
    return folder;
}

fs::path GetUserPreferencesFolder()
{
    return EnsureFolder(GetXDGFolder("XDG_CONFIG_HOME", ".config") / kApplicationFolderName);
}

static fs::path GetSupportFolderPath()
{
    return GetXDGFolder("XDG_DATA_HOME", ".local/share") / kApplicationFolderName;
}

fs::path GetUserSupportFolder()
{
    return EnsureFolder(GetSupportFolderPath());
}

fs::path GetUserHistoryFolder()
{
    return EnsureFolder(GetSupportFolderPath() / kHistoryFolderName);
}

static fs::path GetCacheRoot()
{
    return GetXDGFolder("XDG_CACHE_HOME", ".cache") / kApplicationFolderName;
}

fs::path GetUserCacheFolder()
{
    return EnsureFolder(GetCacheRoot() / kFeedCacheFolderName);
}

fs::path GetUserImageCacheFolder()
{
    return EnsureFolder(GetCacheRoot() / kImageCacheFolderName);
}

std::vector<fs::path> GetUserSoundFolders()
{
    return {GetXDGFolder("XDG_DATA_HOME", ".local/share") / kSoundFolderName,
            GetSupportFolderPath() / kSoundFolderName};
}

std::optional<fs::path> GetInstallFolder()
{
    if (QCoreApplication::instance() != nullptr)
        return fs::path(QCoreApplication::applicationDirPath().toStdString());
    std::error_code error;
    fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        LogFailure("Cannot find the program's folder: %s", error.message().c_str());
        return std::nullopt;
    }
    return executable.parent_path();
}

std::optional<fs::path> GetResourceFolder()
{
    std::optional<fs::path> installFolder = GetInstallFolder();
    if (!installFolder)
        return std::nullopt;
    return (*installFolder / kResourceFolderRelative).lexically_normal();
}

static bool StaysInsideFolder(const fs::path& relative)
{
    if (relative.is_absolute() || relative.has_root_name())
        return false;
    for (const fs::path& part : relative) {
        if (part == "..")
            return false;
    }
    return true;
}

std::optional<fs::path> MakeResourcePath(std::string_view name)
{
    if (name.empty())
        return std::nullopt;
    fs::path relative(name);
    if (!StaysInsideFolder(relative)) {
        LogFailure("Refused resource name %.*s", int(name.size()), name.data());
        return std::nullopt;
    }
    std::optional<fs::path> folder = GetResourceFolder();
    if (!folder)
        return std::nullopt;
    fs::path resource = *folder / relative;
    std::error_code error;
    if (!fs::exists(resource, error))
        return std::nullopt;
    return resource;
}
