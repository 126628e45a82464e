// Alert sounds: the program's folder before the user's, the menus, one
// sound at a time, and names that exist nowhere.
#include "support/ScratchSpace.h"
#include "ticker/TickerSounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

class HeldPlayer : public SoundPlayer {
public:
    bool StartSound(const std::filesystem::path& file, std::function<void()> done) override
    {
        played.push_back(file);
        pending = std::move(done);
        return true;
    }
    void Finish() { std::exchange(pending, nullptr)(); }
    std::vector<std::filesystem::path> played;
    std::function<void()> pending;
};

class Sounds : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_home / "sounds");
        WriteBytes(m_home / "sounds" / "Chime.wav", "user's chime");
        WriteBytes(m_home / "sounds" / "Mine.wav", "user's own");
        WriteBytes(m_home / "sounds" / ".Secret.wav", "hidden");
        SetSoundPlayer(&m_player);
    }
    void TearDown() override
    {
        SetSoundPlayer(nullptr);
        ResetSoundList();
    }

    ScratchFolder m_home;
    ScopedVariable m_data{"XDG_DATA_HOME", m_home.Path().string()};
    HeldPlayer m_player;
};

TEST_F(Sounds, ShippedSoundsComeFirstAndBothShowInTheMenu)
{
    PlaySound("Chime");
    ASSERT_EQ(m_player.played.size(), 1u);
    EXPECT_NE(m_player.played[0].parent_path(), m_home.Path() / "sounds");
    EXPECT_EQ(m_player.played[0].filename(), "Chime.wav");

    std::vector<std::string> menu = SetupSoundMenu();
    EXPECT_EQ(std::count(menu.begin(), menu.end(), "Chime"), 2);
    EXPECT_EQ(std::count(menu.begin(), menu.end(), "Mine"), 1);
    for (const std::string& name : menu)
        EXPECT_FALSE(name.starts_with('.') || name.starts_with('<')) << name;
    EXPECT_TRUE(LoadSoundFromFile(kTickerKeySound)); // hidden, still playable
    EXPECT_TRUE(LoadMoreSoundFromFile("Mine"));
}

TEST_F(Sounds, OneSoundAtATimeAndLaterRequestsAreDropped)
{
    PlaySound("Chime");
    PlaySound("Mine"); // dropped, not queued
    EXPECT_EQ(m_player.played.size(), 1u);
    EXPECT_TRUE(IsSoundPlaying());
    m_player.Finish();
    EXPECT_FALSE(IsSoundPlaying());
    PlaySound("Mine");
    ASSERT_EQ(m_player.played.size(), 2u);
    EXPECT_EQ(m_player.played[1], m_home.Path() / "sounds" / "Mine.wav");
    EXPECT_EQ(CountSoundList(), 2u);
    EXPECT_TRUE(FindSoundInList("Mine"));
    EXPECT_FALSE(FindSoundInList("mine")); // names are exact
}

TEST_F(Sounds, MissingOrUnsafeNamesPlayNothingAndBlockNothing)
{
    for (const char* name : {"Nowhere", "", "../sounds/Chime", "x/y"})
        PlaySound(name);
    EXPECT_TRUE(m_player.played.empty());
    EXPECT_FALSE(IsSoundPlaying());
    EXPECT_EQ(CountSoundList(), 0u); // looked for again next time
    PlaySound("Chime");
    EXPECT_EQ(m_player.played.size(), 1u);
}

} // namespace
