// The viewer window's stored layout and geometry rules: the parameter
// block's byte layout, bounds placement, split limits and the find words.
#include "viewer/WindowLayout.h"

#include "platform/UnicodeText.h"
#include "settings/PreferencesFile.h"

#include <algorithm>

/* ---- The parameter block ---- */

static void PutUInt16(std::string& block, uint16_t value)
{
    block.push_back(char(value >> 8));
    block.push_back(char(value & 0xFF));
}

static void PutUInt32(std::string& block, uint32_t value)
{
    PutUInt16(block, uint16_t(value >> 16));
    PutUInt16(block, uint16_t(value & 0xFFFF));
}

static uint16_t GetUInt16(std::string_view block, size_t offset)
{
    return uint16_t((uint8_t(block[offset]) << 8) | uint8_t(block[offset + 1]));
}

static uint32_t GetUInt32(std::string_view block, size_t offset)
{
    return (uint32_t(GetUInt16(block, offset)) << 16) | GetUInt16(block, offset + 2);
}

std::string EncodeNVWParams(const NVWParams& params)
{
    std::string block;
    block.reserve(kNVWParamsSize);
    PutUInt16(block, params.vsplit);       // 0
    PutUInt16(block, params.hsplit);       // 2
    PutUInt32(block, params.sortProperty); // 4
    PutUInt16(block, params.sortOrder);    // 8
    PutUInt16(block, params.headWidth);    // 10
    PutUInt16(block, params.dateWidth);    // 12
    PutUInt16(block, params.srcWidth);     // 14
    PutUInt16(block, params.hideToolbar);  // 16
    PutUInt16(block, params.padding);      // 18
    PutUInt32(block, params.srcIndex);     // 20
    return block;
}

std::optional<NVWParams> DecodeNVWParams(std::string_view block)
{
    if (block.size() != kNVWParamsSize)
        return std::nullopt;
    NVWParams params;
    params.vsplit = GetUInt16(block, 0);
    params.hsplit = GetUInt16(block, 2);
    params.sortProperty = GetUInt32(block, 4);
    params.sortOrder = GetUInt16(block, 8);
    params.headWidth = GetUInt16(block, 10);
    params.dateWidth = GetUInt16(block, 12);
    params.srcWidth = GetUInt16(block, 14);
    params.hideToolbar = GetUInt16(block, 16);
    params.padding = GetUInt16(block, 18);
    params.srcIndex = GetUInt32(block, 20);
    return params;
}

std::optional<NVWParams> LoadViewerWindowParams()
{
    std::optional<std::string> block = LoadWindowParams(kViewerWindowID, kNVWParamsSize);
    return block ? DecodeNVWParams(*block) : std::nullopt;
}

OSStatus SaveViewerWindowParams(const NVWParams& params)
{
    return SaveWindowParams(kViewerWindowID, EncodeNVWParams(params));
}

std::optional<Rect> LoadViewerWindowBounds()
{
    return LoadWindowBounds(kViewerWindowID);
}

OSStatus SaveViewerWindowBounds(const Rect& bounds)
{
    return SaveWindowBounds(kViewerWindowID, bounds);
}

/* ---- Placement ---- */

static int Width(const Rect& r) { return r.right - r.left; }
static int Height(const Rect& r) { return r.bottom - r.top; }

static int OverlapArea(const Rect& a, const Rect& b)
{
    int width = std::min<int>(a.right, b.right) - std::max<int>(a.left, b.left);
    int height = std::min<int>(a.bottom, b.bottom) - std::max<int>(a.top, b.top);
    return width > 0 && height > 0 ? width * height : 0;
}

static bool HasReachableTitle(const Rect& bounds, const Rect& screen)
{
    Rect strip = bounds;
    strip.bottom = int16_t(std::min<int>(bounds.bottom, bounds.top + kReachableStrip));
    int needed = std::min(kReachableStrip, Width(bounds)) * std::min(kReachableStrip, Height(strip));
    return bounds.top >= screen.top && OverlapArea(strip, screen) >= std::max(needed, 1);
}

Rect PlaceOnVisibleScreen(const Rect& bounds, std::span<const Rect> screens)
{
    Rect placed = bounds;
    placed.right = int16_t(std::max<int>(placed.right, placed.left + kViewerMinimumWidth));
    placed.bottom = int16_t(std::max<int>(placed.bottom, placed.top + kViewerMinimumHeight));
    if (screens.empty())
        return placed;
    for (const Rect& screen : screens) {
        if (!HasReachableTitle(placed, screen))
            continue;
        // Larger than the screen it is on: it shrinks to fit.
        placed.right = int16_t(placed.left + std::min(Width(placed), Width(screen)));
        placed.bottom = int16_t(placed.top + std::min(Height(placed), Height(screen)));
        return placed;
    }
    const Rect* target = &screens.front();
    int best = 0;
    for (const Rect& screen : screens) {
        if (int area = OverlapArea(placed, screen); area > best) {
            best = area;
            target = &screen;
        }
    }
    int width = std::min(Width(placed), Width(*target));
    int height = std::min(Height(placed), Height(*target));
    int left = std::clamp<int>(placed.left, target->left, target->right - width);
    int top = std::clamp<int>(placed.top, target->top, target->bottom - height);
    return Rect{int16_t(top), int16_t(left), int16_t(top + height), int16_t(left + width)};
}

/* ---- Split bars ---- */

int LimitSplitPosition(SplitType type, int position, int windowWidth, int windowHeight)
{
    switch (type) {
    case SplitType::kVertical:
        return std::max(kVerticalSplitMinimum, std::min(position, windowWidth / 2));
    case SplitType::kHorizontal:
        return std::max(kHorizontalSplitMinimum, std::min(position, windowHeight - kHorizontalSplitBottomGap));
    }
    return position;
}

FourCharCode EndSplitDragCommand(SplitType type, int startPosition, int endPosition)
{
    if (startPosition != endPosition)
        return kCommandAdjustWindow;
    switch (type) {
    case SplitType::kVertical:
        return kCommandZoomVertical;
    case SplitType::kHorizontal:
        return kCommandZoomHorizontal;
    }
    return kCommandAdjustWindow;
}

std::optional<int> MaximizeDescription(uint16_t& webZoomValue, int hsplit)
{
    if (webZoomValue != 0)
        return std::nullopt;
    // A bar already at the top leaves nothing to restore later.
    if (hsplit <= kHorizontalSplitMinimum)
        return std::nullopt;
    webZoomValue = uint16_t(hsplit);
    return kHorizontalSplitMinimum;
}

std::optional<int> NormalizeDescription(uint16_t& webZoomValue)
{
    if (webZoomValue == 0)
        return std::nullopt;
    int restored = webZoomValue;
    webZoomValue = 0;
    return restored;
}

/* ---- Find words ---- */

static bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && TextContainsIgnoringCase(a, b);
}

void AppendFindWord(std::vector<std::string>& words, std::string_view word)
{
    if (word.empty())
        return;
    auto copy = std::find_if(words.begin(), words.end(), [&](const std::string& w) { return EqualIgnoringCase(w, word); });
    if (copy != words.end())
        words.erase(copy);
    words.insert(words.begin(), std::string(word));
    if (words.size() > kFindWordsLimit)
        words.resize(kFindWordsLimit);
}
