// Where Varnoke keeps its files: the user's XDG folders, the install folder
// of the running program and the resources shipped beside it. Each call reads
// the environment afresh, so a test can point XDG_CONFIG_HOME and the others
// at a folder of its own.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

// The folder getters below create their folder when missing (like mkdir -p).
// A folder that cannot be created is logged and its path returned anyway:
// the caller's read or write then fails with its usual status.
// Cost: a few getenv calls and one mkdir per level that is missing.

// $XDG_CONFIG_HOME/varnoke (default ~/.config/varnoke): the settings file.
std::filesystem::path GetUserPreferencesFolder();

// $XDG_DATA_HOME/varnoke (default ~/.local/share/varnoke): subscriptions,
// permanents, retains, style sheets and the other files of the user.
std::filesystem::path GetUserSupportFolder();

// <support folder>/history: the history files and nothing else, so that
// removing them all can never touch another file.
std::filesystem::path GetUserHistoryFolder();

// $XDG_CACHE_HOME/varnoke/cache (default ~/.cache/varnoke/cache): feed documents.
std::filesystem::path GetUserCacheFolder();

// $XDG_CACHE_HOME/varnoke/image: downloaded images, purged by age.
std::filesystem::path GetUserImageCacheFolder();

// The folders searched for the user's own alert sounds, in search order:
// $XDG_DATA_HOME/sounds, then <support folder>/sounds. They are only read,
// so they are not created; missing ones are listed all the same.
std::vector<std::filesystem::path> GetUserSoundFolders();

// The folder of the running executable: QCoreApplication's application
// folder, or /proc/self/exe's folder when there is no application object.
// Null only when neither can be read.
std::optional<std::filesystem::path> GetInstallFolder();

// <install folder>/../share/varnoke, the same in the build tree (build/bin
// beside build/share/varnoke) and after installation. Not created.
std::optional<std::filesystem::path> GetResourceFolder();

// The path of resource `name` (a file or folder, possibly "css/x.css") in the
// resource folder. Null for an empty name, a name that would leave the
// resource folder (absolute, or with a ".." part), or a missing resource.
std::optional<std::filesystem::path> MakeResourcePath(std::string_view name);
