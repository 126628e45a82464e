// Fixtures of the settings tests: a private home for each test (the XDG
// folders point into a fresh folder, so no test touches the real one), and
// byte builders that write records and whole store files independently of
// the code under test.
#pragma once

#include "support/ScratchSpace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

// Every test of files runs in one of these: the preferences, support and
// cache folders are its own.
class SettingsTest : public testing::Test {
protected:
    std::filesystem::path PreferencesFolder() const { return fHome.Path() / "config" / "varnoke"; }
    std::filesystem::path PreferencesPath() const { return PreferencesFolder() / "Varnoke.prefs"; }
    std::filesystem::path SupportFolder() const { return fHome.Path() / "data" / "varnoke"; }
    std::filesystem::path CSSFolder() const { return SupportFolder() / "css"; }
    const std::filesystem::path& Home() const { return fHome.Path(); }

private:
    ScratchFolder fHome;
    ScopedVariable fConfig{"XDG_CONFIG_HOME", (fHome.Path() / "config").string()};
    ScopedVariable fData{"XDG_DATA_HOME", (fHome.Path() / "data").string()};
    ScopedVariable fCache{"XDG_CACHE_HOME", (fHome.Path() / "cache").string()};
};

/* ---- Files ---- */

inline void WriteTestFile(const std::filesystem::path& path, std::string_view bytes, mode_t mode = 0644)
{
    std::filesystem::create_directories(path.parent_path());
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), std::streamsize(bytes.size()));
    }
    std::filesystem::permissions(path, std::filesystem::perms(mode));
}

inline std::optional<std::string> ReadTestFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}


/* ---- Byte builders ---- */

// A big-endian block, field by field.
class FixtureBytes {
public:
    FixtureBytes& U8(uint8_t value)
    {
        fBytes.push_back(char(value));
        return *this;
    }
    FixtureBytes& U16(uint16_t value) { return U8(uint8_t(value >> 8)).U8(uint8_t(value)); }
    FixtureBytes& U32(uint32_t value) { return U16(uint16_t(value >> 16)).U16(uint16_t(value)); }
    FixtureBytes& Color(uint16_t red, uint16_t green, uint16_t blue) { return U16(red).U16(green).U16(blue); }
    // `count` words counting up from `first`.
    FixtureBytes& Words(size_t count, uint16_t first)
    {
        for (size_t index = 0; index < count; ++index)
            U16(uint16_t(first + index));
        return *this;
    }
    // `text` as it is, then NULs up to `width` bytes.
    FixtureBytes& Text(std::string_view text, size_t width)
    {
        fBytes += text.substr(0, width);
        fBytes.append(width - std::min(width, text.size()), '\0');
        return *this;
    }
    FixtureBytes& Bytes(std::string_view bytes)
    {
        fBytes += bytes;
        return *this;
    }

    size_t Size() const { return fBytes.size(); }
    const std::string& Get() const { return fBytes; }

private:
    std::string fBytes;
};

inline uint32_t FixtureCRC32(std::string_view bytes)
{
    uint32_t crc = 0xFFFFFFFF;
    for (char byte : bytes) {
        crc ^= uint8_t(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return crc ^ 0xFFFFFFFF;
}

struct StoreFixtureEntry {
    std::string type; // four characters
    int16_t id;
    std::string data;
};

// A whole keyed store file: the "VkRS" header, then per entry its 20-byte
// head (type, ID, reserved, length, data CRC, head CRC) and its data.
inline std::string MakeStoreFile(const std::vector<StoreFixtureEntry>& entries, uint16_t version = 1)
{
    FixtureBytes file;
    file.Bytes("VkRS").U16(version).U16(16).U32(uint32_t(entries.size())).U32(0);
    for (const StoreFixtureEntry& entry : entries) {
        FixtureBytes head;
        head.Bytes(entry.type).U16(uint16_t(entry.id)).U16(0).U32(uint32_t(entry.data.size()));
        head.U32(FixtureCRC32(entry.data));
        head.U32(FixtureCRC32(head.Get()));
        file.Bytes(head.Get()).Bytes(entry.data);
    }
    return file.Get();
}
