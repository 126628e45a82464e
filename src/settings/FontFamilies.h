// Font family IDs, the numbers by which the settings and the configuration
// name a font, and the installed family names they stand for. The table is
// small and fixed: DejaVu (always present, the defaults) and the families a
// Debian desktop commonly has. A family missing on this machine is still a
// name; the text engine substitutes for it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// 1 is the default family: the description pane's default and, through the
// shipped configuration, the ticker's.
constexpr int16_t kDefaultFontFamilyID = 1;

struct FontFamily {
    int16_t id;             // stored in the settings and the configuration
    std::string_view name;  // the family name the text engine knows
};

// Every family of the table, by ascending ID (for the settings window's
// menus, which show the ones installed).
std::span<const FontFamily> GetFontFamilies();

// The family name of `id`; null for an ID not in the table.
std::optional<std::string_view> GetFontFamilyName(int16_t id);

// The family name of `id`, or the default family's for an unknown ID, so
// that a stale number in the settings still draws text.
std::string_view GetFontFamilyNameOrDefault(int16_t id);

// The ID of the family named `name` (exact, as the text engine lists it);
// null when it is not in the table.
std::optional<int16_t> GetFontFamilyID(std::string_view name);

/* ---- Script fonts ---- */

// Linux has no per-script application fonts: Cyrillic is drawn with the
// default family, which covers it, and each CJK script with its Noto CJK
// family (the text engine falls back to any CJK font when that is missing).
// The Japanese font is the configuration's.
int16_t GetCyrillicFontFamilyID();
int16_t GetKoreanFontFamilyID();
int16_t GetTraditionalChineseFontFamilyID();
int16_t GetSimplifiedChineseFontFamilyID();
