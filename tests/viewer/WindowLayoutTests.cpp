// The viewer window's stored layout and geometry rules: the parameter
// block's bytes, placement of saved bounds on the screens there are, the
// split bar limits and commands, the maximised description and find words.
#include "viewer/WindowLayout.h"

#include "ViewerTestSupport.h"

#include <gtest/gtest.h>

TEST(WindowParams, BlockIsTwentyFourBigEndianBytesAndReadsBack)
{
    NVWParams params;
    params.vsplit = 0x0102;
    params.hsplit = 0x0304;
    params.sortProperty = MakeFourCharCode("Date");
    params.sortOrder = kSortOrderDecreasing;
    params.headWidth = 0x0506;
    params.dateWidth = 128;
    params.srcWidth = 129;
    params.hideToolbar = 1;
    params.srcIndex = 2;
    std::string block = EncodeNVWParams(params);
    ASSERT_EQ(block.size(), kNVWParamsSize);
    EXPECT_EQ(block.substr(0, 8), std::string("\x01\x02\x03\x04" "Date", 8));
    EXPECT_EQ(block.substr(8, 4), std::string("\x00\x02\x05\x06", 4));
    EXPECT_EQ(block.substr(18, 6), std::string("\x00\x00\x00\x00\x00\x02", 6));
    EXPECT_EQ(DecodeNVWParams(block), params);
    EXPECT_FALSE(DecodeNVWParams(block.substr(0, 23)));
    EXPECT_FALSE(DecodeNVWParams(block + "x"));
}

TEST_F(ViewerCoreTest, WindowParamsAndBoundsLiveInThePreferencesStore)
{
    EXPECT_FALSE(LoadViewerWindowParams());
    NVWParams params;
    params.vsplit = 250;
    params.hsplit = 310;
    ASSERT_EQ(SaveViewerWindowParams(params), kNoErr);
    Rect bounds{40, 50, 640, 1050};
    ASSERT_EQ(SaveViewerWindowBounds(bounds), kNoErr);
    EXPECT_EQ(LoadViewerWindowParams(), params);
    EXPECT_EQ(LoadViewerWindowBounds(), bounds);
}

TEST(WindowPlacement, SavedBoundsComeBackOntoAScreenThatExists)
{
    const Rect left{0, 0, 1080, 1920};
    const Rect right{0, 1920, 1080, 3840};
    const Rect both[] = {left, right};
    const Rect one[] = {left};
    struct Case {
        const char* what;
        Rect saved;
        std::span<const Rect> screens;
        Rect expected;
    } const kCases[] = {
        {"on the first screen", {100, 100, 800, 1100}, one, {100, 100, 800, 1100}},
        {"on the second screen while it exists", {100, 2000, 800, 3000}, both, {100, 2000, 800, 3000}},
        {"on the second screen once it is gone", {100, 2000, 800, 3000}, one, {100, 920, 800, 1920}},
        {"above every screen", {-900, 100, -200, 1100}, one, {0, 100, 700, 1100}},
        {"larger than the screen left", {0, 0, 2000, 3000}, one, {0, 0, 1080, 1920}},
        {"smaller than the window may be", {100, 100, 200, 200}, one, {100, 100, 460, 740}},
        {"with no screen known", {100, 5000, 800, 6000}, {}, {100, 5000, 800, 6000}},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(PlaceOnVisibleScreen(c.saved, c.screens), c.expected) << c.what;
}

TEST(SplitBars, DragsStayWithinTheLimitsAndEndInTheirCommands)
{
    EXPECT_EQ(LimitSplitPosition(SplitType::kVertical, 100, 640, 480), 176);
    EXPECT_EQ(LimitSplitPosition(SplitType::kVertical, 500, 640, 480), 320);
    EXPECT_EQ(LimitSplitPosition(SplitType::kVertical, 250, 640, 480), 250);
    EXPECT_EQ(LimitSplitPosition(SplitType::kHorizontal, 20, 640, 480), 128);
    EXPECT_EQ(LimitSplitPosition(SplitType::kHorizontal, 479, 640, 480), 466);
    // Too small for both limits: the lower one wins.
    EXPECT_EQ(LimitSplitPosition(SplitType::kVertical, 200, 300, 480), 176);

    EXPECT_EQ(EndSplitDragCommand(SplitType::kVertical, 200, 240), kCommandAdjustWindow);
    EXPECT_EQ(EndSplitDragCommand(SplitType::kHorizontal, 300, 300), kCommandZoomHorizontal);
    EXPECT_EQ(EndSplitDragCommand(SplitType::kVertical, 200, 200), kCommandZoomVertical);
}

TEST(SplitBars, MaximisedDescriptionRestoresItsPositionOnce)
{
    uint16_t zoom = 0;
    EXPECT_EQ(NormalizeDescription(zoom), std::nullopt);
    EXPECT_EQ(MaximizeDescription(zoom, 300), kHorizontalSplitMinimum);
    EXPECT_EQ(zoom, 300);
    EXPECT_EQ(MaximizeDescription(zoom, 128), std::nullopt); // already maximised
    EXPECT_EQ(NormalizeDescription(zoom), 300);
    EXPECT_EQ(zoom, 0);
    // A bar already at the top has nothing to restore to.
    EXPECT_EQ(MaximizeDescription(zoom, kHorizontalSplitMinimum), std::nullopt);
    EXPECT_EQ(zoom, 0);
}

TEST(FindWords, NewestFirstWithoutCopiesAndAtMostTen)
{
    std::vector<std::string> words;
    for (int n = 1; n <= 11; ++n)
        AppendFindWord(words, "word" + std::to_string(n));
    ASSERT_EQ(words.size(), kFindWordsLimit);
    EXPECT_EQ(words.front(), "word11");
    EXPECT_EQ(words.back(), "word2"); // the oldest dropped
    AppendFindWord(words, "WORD5");
    EXPECT_EQ(words.size(), kFindWordsLimit);
    EXPECT_EQ(words.front(), "WORD5");
    EXPECT_EQ(std::count(words.begin(), words.end(), "word5"), 0);
    AppendFindWord(words, "");
    EXPECT_EQ(words.front(), "WORD5");
}
