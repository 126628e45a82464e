// The viewer window's stored layout and its geometry rules without widgets:
// the 24-byte parameter block under 'wPrm' 200, the bounds under 'wPos' 200
// and the placement of saved bounds onto a screen that still exists, the
// split bar limits and their end-of-drag commands, and the find words list.
#pragma once

#include "platform/FourCharCode.h"
#include "platform/Status.h"
#include "settings/SettingsTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/* ---- The parameter block ---- */

constexpr size_t kNVWParamsSize = 24;
constexpr uint16_t kSortOrderIncreasing = 1;
constexpr uint16_t kSortOrderDecreasing = 2;

// Field order and widths are the stored block's, big-endian.
struct NVWParams {
    uint16_t vsplit = 0;       // the vertical bar's x in the window
    uint16_t hsplit = 0;       // the horizontal bar's y in the window
    uint32_t sortProperty = 0; // headline sort column
    uint16_t sortOrder = 0;    // kSortOrderIncreasing or kSortOrderDecreasing
    uint16_t headWidth = 0;
    uint16_t dateWidth = 0;
    uint16_t srcWidth = 0;
    uint16_t hideToolbar = 0;  // non-zero: toolbar hidden
    uint16_t padding = 0;
    uint32_t srcIndex = 0;     // the 'Site' column's position; 0 = as designed

    friend bool operator==(const NVWParams&, const NVWParams&) = default;
};

std::string EncodeNVWParams(const NVWParams& params);
// Null unless `block` is exactly kNVWParamsSize bytes.
std::optional<NVWParams> DecodeNVWParams(std::string_view block);

// The preferences store's entries of the viewer window (ID 200). Null when
// none is stored or the stored one is unusable.
std::optional<NVWParams> LoadViewerWindowParams();
OSStatus SaveViewerWindowParams(const NVWParams& params);
std::optional<Rect> LoadViewerWindowBounds();
OSStatus SaveViewerWindowBounds(const Rect& bounds);

/* ---- Placement ---- */

constexpr int kViewerMinimumWidth = 640;
constexpr int kViewerMinimumHeight = 360;
// How much of a window's title strip must lie on a screen for it to count
// as reachable there.
constexpr int kReachableStrip = 48;

// `bounds` as it may be shown on the screens' available areas: kept when its
// top strip lies on a screen (shrunk to that screen's size when larger);
// otherwise moved onto the screen it overlaps most, or the first screen, and
// shrunk to fit it. Sizes below the
// window's minimum grow to it. No screens: kept.
Rect PlaceOnVisibleScreen(const Rect& bounds, std::span<const Rect> screens);

/* ---- Split bars ---- */

enum class SplitType { kVertical = 0, kHorizontal = 1 };

constexpr int kVerticalSplitMinimum = 176;   // x
constexpr int kHorizontalSplitMinimum = 128; // y
constexpr int kHorizontalSplitBottomGap = 14;

// The bar's position limited as a drag leaves it: 176 <= x <= width / 2 for
// the vertical bar, 128 <= y <= height - 14 for the horizontal one. In a
// window too small for both limits the lower one wins.
int LimitSplitPosition(SplitType type, int position, int windowWidth, int windowHeight);

constexpr FourCharCode kCommandAdjustWindow = MakeFourCharCode("AdjW");
constexpr FourCharCode kCommandZoomHorizontal = MakeFourCharCode("ZomH");
constexpr FourCharCode kCommandZoomVertical = MakeFourCharCode("ZomV");
constexpr FourCharCode kCommandAdjustDescription = MakeFourCharCode("AdjD");

// The command a finished drag sends: 'AdjW' when the bar moved, else the
// bar's zoom command.
FourCharCode EndSplitDragCommand(SplitType type, int startPosition, int endPosition);

// The description pane's maximised state: `webZoomValue` holds the
// horizontal bar's position from before, 0 when not maximised. Each returns
// the bar's new position, or null when nothing changes.
std::optional<int> MaximizeDescription(uint16_t& webZoomValue, int hsplit);
std::optional<int> NormalizeDescription(uint16_t& webZoomValue);

/* ---- Find words ---- */

constexpr size_t kFindWordsLimit = 10;

// Puts `word` first, drops a later copy of it (ignoring case) and keeps at
// most kFindWordsLimit words, newest first. An empty word changes nothing.
void AppendFindWord(std::vector<std::string>& words, std::string_view word);
