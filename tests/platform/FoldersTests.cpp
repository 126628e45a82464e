// The user's folders from the XDG variables, their defaults, and the install
// and resource folders of the running program.
#include "TestSupport.h"

#include "platform/Folders.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

class Folders : public testing::Test {
protected:
    ScratchFolder fHome;
    ScopedVariable fHomeVariable{"HOME", fHome.Path().string()};
    ScopedVariable fConfig{"XDG_CONFIG_HOME", (fHome / "config").string()};
    ScopedVariable fData{"XDG_DATA_HOME", (fHome / "data").string()};
    ScopedVariable fCache{"XDG_CACHE_HOME", (fHome / "cache").string()};
};

TEST_F(Folders, UserFoldersFollowTheVariablesAndAreCreated)
{
    const std::pair<fs::path (*)(), std::string> cases[] = {
        {GetUserPreferencesFolder, "config/varnoke"},
        {GetUserSupportFolder, "data/varnoke"},
        {GetUserHistoryFolder, "data/varnoke/history"},
        {GetUserCacheFolder, "cache/varnoke/cache"},
        {GetUserImageCacheFolder, "cache/varnoke/image"},
    };
    for (const auto& [getter, relative] : cases) {
        fs::path folder = getter();
        EXPECT_EQ(folder, fHome / relative);
        EXPECT_TRUE(fs::is_directory(folder)) << relative;
    }
    std::vector<fs::path> sounds = GetUserSoundFolders();
    EXPECT_EQ(sounds, (std::vector<fs::path>{fHome / "data/sounds", fHome / "data/varnoke/sounds"}));
    EXPECT_FALSE(fs::exists(sounds[0])) << "sound folders are only read";
}

TEST_F(Folders, UnsetOrRelativeVariablesFallBackToTheHomeFolder)
{
    ScopedVariable config("XDG_CONFIG_HOME", std::nullopt);
    ScopedVariable data("XDG_DATA_HOME", "relative/data");
    ScopedVariable cache("XDG_CACHE_HOME", "");
    EXPECT_EQ(GetUserPreferencesFolder(), fHome / ".config/varnoke");
    EXPECT_EQ(GetUserHistoryFolder(), fHome / ".local/share/varnoke/history");
    EXPECT_EQ(GetUserCacheFolder(), fHome / ".cache/varnoke/cache");
}

TEST_F(Folders, AFolderThatCannotBeCreatedIsStillNamed)
{
    std::ofstream(fHome / "blocker") << "a file where a folder should be";
    ScopedVariable config("XDG_CONFIG_HOME", (fHome / "blocker").string());
    EXPECT_EQ(GetUserPreferencesFolder(), fHome / "blocker/varnoke");
}

TEST(ResourceFolders, ResourcesLieBesideTheInstallFolder)
{
    std::optional<fs::path> install = GetInstallFolder();
    ASSERT_TRUE(install);
    EXPECT_TRUE(fs::equivalent(*install, fs::read_symlink("/proc/self/exe").parent_path()));
    EXPECT_EQ(GetResourceFolder(), (*install / "../share/varnoke").lexically_normal());

    std::optional<fs::path> list = MakeResourcePath("syndic.list");
    ASSERT_TRUE(list);
    EXPECT_TRUE(fs::is_regular_file(*list));
    EXPECT_FALSE(MakeResourcePath(""));
    EXPECT_FALSE(MakeResourcePath("no-such-resource"));
    EXPECT_FALSE(MakeResourcePath("../../bin/platform_tests"));
    EXPECT_FALSE(MakeResourcePath("/etc/passwd"));
}
