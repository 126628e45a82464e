// Window positions, window parameter blocks and proxy credentials in the
// preferences file: their stored bytes, short or odd entries, and the
// private mode of a file that holds passwords.
#include "SettingsTestSupport.h"

#include "platform/ResourceStore.h"
#include "settings/PreferencesFile.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class PreferencesFile : public SettingsTest {
protected:
    void WritePreferences(const std::vector<StoreFixtureEntry>& entries)
    {
        WriteTestFile(PreferencesPath(), MakeStoreFile(entries), 0600);
    }
    std::optional<std::string> StoredEntry(const char (&type)[5], int16_t id)
    {
        return GetRsrcFile(PreferencesPath(), MakeFourCharCode(type), id);
    }
};

} // namespace

TEST_F(PreferencesFile, WindowBoundsAreFourBigEndianEdges)
{
    // A window on a screen left of and above the main one has negative edges.
    ASSERT_EQ(SaveWindowBounds(kViewerWindowID, Rect{-20, -1300, 580, -100}), kNoErr);
    ASSERT_EQ(SaveWindowBounds(kSettingsWindowID, Rect{44, 100, 500, 620}), kNoErr);
    EXPECT_EQ(StoredEntry("wPos", 200), FixtureBytes().U16(0xFFEC).U16(0xFAEC).U16(580).U16(0xFF9C).Get());
    EXPECT_EQ(LoadWindowBounds(kViewerWindowID), (Rect{-20, -1300, 580, -100}));
    EXPECT_EQ(LoadWindowBounds(kSettingsWindowID), (Rect{44, 100, 500, 620}));
    EXPECT_EQ(FileModeOf(PreferencesPath()), 0600u);
}

TEST_F(PreferencesFile, OddWindowBoundsAreNotUsed)
{
    WritePreferences({
        {"wPos", 200, FixtureBytes().U16(10).U16(20).U16(30).Get()},           // cut off
        {"wPos", 201, FixtureBytes().U16(300).U16(20).U16(300).U16(400).Get()}, // no height
        {"wPos", 202, FixtureBytes().U16(10).U16(500).U16(300).U16(400).Get()}, // right before left
        {"wPos", 203, FixtureBytes().U16(10).U16(20).U16(300).U16(400).Get()},
    });
    EXPECT_EQ(LoadWindowBounds(200), std::nullopt);
    EXPECT_EQ(LoadWindowBounds(201), std::nullopt);
    EXPECT_EQ(LoadWindowBounds(202), std::nullopt);
    EXPECT_EQ(LoadWindowBounds(203), (Rect{10, 20, 300, 400}));
    EXPECT_EQ(LoadWindowBounds(kNewSubscriptionSheetID), std::nullopt) << "nothing stored";
}

TEST_F(PreferencesFile, WindowParamsComeBackAtTheAskedLength)
{
    WritePreferences({
        {"wPrm", 300, std::string("\x00\x02\x00\x01", 4)},
        {"wPrm", 200, std::string("ABCDEFGHIJKLMNOPQRSTUVWX")},
    });
    EXPECT_EQ(LoadWindowParams(kNewSubscriptionSheetID, 6), std::string("\x00\x02\x00\x01\x00\x00", 6))
        << "a shorter block is padded with zeros";
    EXPECT_EQ(LoadWindowParams(kViewerWindowID, 6), "ABCDEF");
    EXPECT_EQ(LoadWindowParams(kViewerWindowID, 24), "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_EQ(LoadWindowParams(kFilterWindowID, 6), std::nullopt);

    ASSERT_EQ(SaveWindowParams(kFilterWindowID, std::string("\x01\x00\xFF", 3)), kNoErr);
    EXPECT_EQ(StoredEntry("wPrm", 202), std::string("\x01\x00\xFF", 3));
    EXPECT_EQ(StoredEntry("wPrm", 300), std::string("\x00\x02\x00\x01", 4)) << "other entries stay";
}

TEST_F(PreferencesFile, ProxyCredentialsAreSixtyFourByteTexts)
{
    EXPECT_EQ(LoadProxySetting().user, "");
    EXPECT_EQ(LoadProxySetting().password, "");

    ASSERT_EQ(SaveProxySetting("proxyuser", "pa:ss word"), kNoErr);
    EXPECT_EQ(StoredEntry("pAut", 128), FixtureBytes().Text("proxyuser", 64).Get());
    EXPECT_EQ(StoredEntry("pAut", 129), FixtureBytes().Text("pa:ss word", 64).Get());
    EXPECT_EQ(FileModeOf(PreferencesPath()), 0600u) << "the file holds a password";
    ProxySetting setting = LoadProxySetting();
    EXPECT_EQ(setting.user, "proxyuser");
    EXPECT_EQ(setting.password, "pa:ss word");

    ASSERT_EQ(SaveProxySetting(std::string(70, 'u'), ""), kNoErr);
    EXPECT_EQ(LoadProxySetting().user, std::string(63, 'u'));
    EXPECT_EQ(LoadProxySetting().password, "");
}

TEST_F(PreferencesFile, StoredProxyCredentialsAreReadToTheirFirstNul)
{
    WritePreferences({
        {"pAut", 128, std::string(64, 'u')},             // no NUL at all
        {"pAut", 129, std::string("secret\0old", 10)},   // short, with bytes after the NUL
    });
    ProxySetting setting = LoadProxySetting();
    EXPECT_EQ(setting.user, std::string(63, 'u'));
    EXPECT_EQ(setting.password, "secret");

    WritePreferences({{"pAut", 128, "onlyuser"}});
    EXPECT_EQ(LoadProxySetting().user, "onlyuser");
    EXPECT_EQ(LoadProxySetting().password, "");
}
