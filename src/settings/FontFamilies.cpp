// The font family table. IDs are stored in the user's settings and in the
// shipped configuration: never renumber an entry, only add new ones.
#include "settings/FontFamilies.h"

#include <array>

constexpr int16_t kNotoSansCJKJapaneseID = 20;
constexpr int16_t kNotoSansCJKKoreanID = 21;
constexpr int16_t kNotoSansCJKSimplifiedID = 22;
constexpr int16_t kNotoSansCJKTraditionalID = 23;

// Columns: family ID, family name (Debian package in the comment).
constexpr std::array kFontFamilies = {
    FontFamily{kDefaultFontFamilyID, "DejaVu Sans"}, // fonts-dejavu-core
    FontFamily{2, "DejaVu Serif"},                   // fonts-dejavu-core
    FontFamily{3, "DejaVu Sans Mono"},               // fonts-dejavu-core
    FontFamily{4, "Liberation Sans"},                // fonts-liberation2
    FontFamily{5, "Liberation Serif"},               // fonts-liberation2
    FontFamily{6, "Liberation Mono"},                // fonts-liberation2
    FontFamily{7, "Noto Sans"},                      // fonts-noto-core
    FontFamily{8, "Noto Serif"},                     // fonts-noto-core
    FontFamily{9, "Noto Sans Mono"},                 // fonts-noto-mono
    FontFamily{10, "Cantarell"},                     // fonts-cantarell
    FontFamily{11, "Nimbus Sans"},                   // fonts-urw-base35
    FontFamily{12, "Nimbus Roman"},                  // fonts-urw-base35
    FontFamily{kNotoSansCJKJapaneseID, "Noto Sans CJK JP"},     // fonts-noto-cjk
    FontFamily{kNotoSansCJKKoreanID, "Noto Sans CJK KR"},       // fonts-noto-cjk
    FontFamily{kNotoSansCJKSimplifiedID, "Noto Sans CJK SC"},   // fonts-noto-cjk
    FontFamily{kNotoSansCJKTraditionalID, "Noto Sans CJK TC"},  // fonts-noto-cjk
    FontFamily{24, "Droid Sans Fallback"},           // fonts-droid-fallback
};

std::span<const FontFamily> GetFontFamilies()
{
    return kFontFamilies;
}

std::optional<std::string_view> GetFontFamilyName(int16_t id)
{
    for (const FontFamily& family : kFontFamilies) {
        if (family.id == id)
            return family.name;
    }
    return std::nullopt;
}

std::string_view GetFontFamilyNameOrDefault(int16_t id)
{
    std::optional<std::string_view> name = GetFontFamilyName(id);
    return name ? *name : kFontFamilies.front().name;
}

std::optional<int16_t> GetFontFamilyID(std::string_view name)
{
    for (const FontFamily& family : kFontFamilies) {
        if (family.name == name)
            return family.id;
    }
    return std::nullopt;
}

int16_t GetCyrillicFontFamilyID()
{
    return kDefaultFontFamilyID;
}

int16_t GetKoreanFontFamilyID()
{
    return kNotoSansCJKKoreanID;
}

int16_t GetTraditionalChineseFontFamilyID()
{
    return kNotoSansCJKTraditionalID;
}

int16_t GetSimplifiedChineseFontFamilyID()
{
    return kNotoSansCJKSimplifiedID;
}
