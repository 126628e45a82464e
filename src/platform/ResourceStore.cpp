// Reading and writing the keyed store file: big-endian heads with checksums,
// a reader that keeps what is intact, and replace-one-entry updates written
// atomically through PutDataToFile. What the blocks mean is their owners'.
#include "platform/ResourceStore.h"

#include "platform/Log.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <sys/stat.h>

namespace fs = std::filesystem;

constexpr std::string_view kStoreMagic = "VkRS";
constexpr uint16_t kStoreVersion = 1;
constexpr size_t kStoreHeaderSize = 16;
constexpr size_t kEntryHeadSize = 20;
constexpr size_t kEntryHeadChecksummedBytes = 16;

/* ---- Checksum and big-endian fields ---- */

constexpr uint32_t kCRC32Polynomial = 0xEDB88320;  // CRC-32 as in zip and PNG

static constexpr std::array<uint32_t, 256> MakeCRC32Table()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t index = 0; index < table.size(); ++index) {
        uint32_t value = index;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ kCRC32Polynomial : value >> 1;
        table[index] = value;
    }
    return table;
}

static constexpr std::array<uint32_t, 256> kCRC32Table = MakeCRC32Table();

static uint32_t CalculateCRC32(std::string_view bytes)
{
    uint32_t crc = 0xFFFFFFFF;
    for (char byte : bytes)
        crc = kCRC32Table[(crc ^ uint8_t(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFF;
}

static uint32_t ReadUInt32(std::string_view bytes, size_t offset)
{
    return (uint32_t(uint8_t(bytes[offset])) << 24) | (uint32_t(uint8_t(bytes[offset + 1])) << 16) |
           (uint32_t(uint8_t(bytes[offset + 2])) << 8) | uint32_t(uint8_t(bytes[offset + 3]));
}

static uint16_t ReadUInt16(std::string_view bytes, size_t offset)
{
    return uint16_t((uint16_t(uint8_t(bytes[offset])) << 8) | uint16_t(uint8_t(bytes[offset + 1])));
}

static void AppendUInt32(std::string& bytes, uint32_t value)
{
    bytes.push_back(char(value >> 24));
    bytes.push_back(char(value >> 16));
    bytes.push_back(char(value >> 8));
    bytes.push_back(char(value));
}

static void AppendUInt16(std::string& bytes, uint16_t value)
{
    bytes.push_back(char(value >> 8));
    bytes.push_back(char(value));
}

/* ---- Reading ---- */

static void StoreEntry(std::vector<RsrcEntry>& entries, RsrcEntry entry)
{
    auto same = std::find_if(entries.begin(), entries.end(),
                             [&](const RsrcEntry& e) { return e.type == entry.type && e.id == entry.id; });
    if (same != entries.end())
        *same = std::move(entry);
    else
        entries.push_back(std::move(entry));
}

static RsrcStore ReportDamage(RsrcStore store, const fs::path& path, const char* what)
{
    LogFailure("Damaged keyed store %s: %s; kept %zu entries", path.c_str(), what, store.entries.size());
    store.state = RsrcStoreState::Damaged;
    return store;
}

static RsrcStore ParseRsrcStore(std::string_view bytes, const fs::path& path)
{
    RsrcStore store;
    store.state = RsrcStoreState::Intact;
    if (bytes.size() < kStoreHeaderSize || bytes.substr(0, kStoreMagic.size()) != kStoreMagic)
        return ReportDamage(std::move(store), path, "not a keyed store");
    uint16_t version = ReadUInt16(bytes, 4);
    if (version > kStoreVersion) {
        LogFailure("Keyed store %s has version %u; this program reads %u", path.c_str(), unsigned(version),
                   unsigned(kStoreVersion));
        store.state = RsrcStoreState::NewerVersion;
        return store;
    }
    size_t headerSize = ReadUInt16(bytes, 6);
    if (headerSize < kStoreHeaderSize || headerSize > bytes.size())
        return ReportDamage(std::move(store), path, "bad header");
    uint32_t count = ReadUInt32(bytes, 8);
    size_t offset = headerSize;
    for (uint32_t index = 0; index < count; ++index) {
        if (bytes.size() - offset < kEntryHeadSize)
            return ReportDamage(std::move(store), path, "cut off");
        std::string_view head = bytes.substr(offset, kEntryHeadSize);
        if (CalculateCRC32(head.substr(0, kEntryHeadChecksummedBytes)) != ReadUInt32(head, 16))
            return ReportDamage(std::move(store), path, "bad entry head");
        size_t length = ReadUInt32(head, 8);
        offset += kEntryHeadSize;
        if (bytes.size() - offset < length)
            return ReportDamage(std::move(store), path, "cut off");
        std::string_view data = bytes.substr(offset, length);
        offset += length;
        if (CalculateCRC32(data) != ReadUInt32(head, 12)) {
            LogFailure("Damaged entry '%s'/%d in %s skipped", FourCharCodeToString(ReadUInt32(head, 0)).c_str(),
                       int(int16_t(ReadUInt16(head, 4))), path.c_str());
            store.state = RsrcStoreState::Damaged;
            continue;
        }
        StoreEntry(store.entries, RsrcEntry{ReadUInt32(head, 0), int16_t(ReadUInt16(head, 4)), std::string(data)});
    }
    if (offset != bytes.size())
        return ReportDamage(std::move(store), path, "trailing bytes");
    return store;
}

// Tells a store that is not there (or empty) from one that could not be read.
static RsrcStoreState ClassifyUnreadStore(const fs::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? RsrcStoreState::Missing : RsrcStoreState::Unreadable;
    if (S_ISREG(info.st_mode) && info.st_size == 0)
        return RsrcStoreState::Missing;
    return RsrcStoreState::Unreadable;
}

RsrcStore ReadRsrcStore(const fs::path& path)
{
    std::optional<std::string> bytes = GetDataFromFile(path);
    if (bytes)
        return ParseRsrcStore(*bytes, path);
    RsrcStore store;
    store.state = ClassifyUnreadStore(path);
    if (store.state == RsrcStoreState::Unreadable)
        LogFailure("Cannot read the keyed store %s; it is left as it is", path.c_str());
    return store;
}

/* ---- Writing ---- */

static std::string FormatEntryHead(const RsrcEntry& entry)
{
    std::string head;
    AppendUInt32(head, entry.type);
    AppendUInt16(head, uint16_t(entry.id));
    AppendUInt16(head, 0);
    AppendUInt32(head, uint32_t(entry.data.size()));
    AppendUInt32(head, CalculateCRC32(entry.data));
    AppendUInt32(head, CalculateCRC32(head));
    return head;
}

OSStatus WriteRsrcStore(const fs::path& path, const std::vector<RsrcEntry>& entries, FileMode mode)
{
    std::string bytes(kStoreMagic);
    AppendUInt16(bytes, kStoreVersion);
    AppendUInt16(bytes, uint16_t(kStoreHeaderSize));
    AppendUInt32(bytes, uint32_t(entries.size()));
    AppendUInt32(bytes, 0);
    for (const RsrcEntry& entry : entries) {
        if (entry.data.size() > std::numeric_limits<uint32_t>::max())
            return kParamErr;
        bytes += FormatEntryHead(entry);
        bytes += entry.data;
    }
    return PutDataToFile(path, bytes, mode);
}

// Reads the store for an update; null when it must not be rewritten.
static std::optional<RsrcStore> ReadRsrcStoreForUpdate(const fs::path& path)
{
    RsrcStore store = ReadRsrcStore(path);
    switch (store.state) {
    case RsrcStoreState::NewerVersion:
    case RsrcStoreState::Unreadable:
        return std::nullopt;
    case RsrcStoreState::Damaged:
        KeepDamagedFileCopy(path);
        return store;
    case RsrcStoreState::Missing:
    case RsrcStoreState::Intact:
        return store;
    }
    return std::nullopt;
}

std::optional<std::string> GetRsrcFile(const fs::path& path, FourCharCode type, int16_t id)
{
    RsrcStore store = ReadRsrcStore(path);
    for (RsrcEntry& entry : store.entries) {
        if (entry.type == type && entry.id == id)
            return std::move(entry.data);
    }
    return std::nullopt;
}

OSStatus PutRsrcFile(std::string_view data, FourCharCode type, int16_t id, const fs::path& path, FileMode mode)
{
    if (path.empty())
        return kParamErr;
    std::optional<RsrcStore> store = ReadRsrcStoreForUpdate(path);
    if (!store)
        return kResFileNotFoundErr;
    StoreEntry(store->entries, RsrcEntry{type, id, std::string(data)});
    return WriteRsrcStore(path, store->entries, mode);
}

OSStatus RemoveRsrcFile(FourCharCode type, int16_t id, const fs::path& path)
{
    if (path.empty())
        return kParamErr;
    std::optional<RsrcStore> store = ReadRsrcStoreForUpdate(path);
    if (!store)
        return kResFileNotFoundErr;
    auto removed = std::remove_if(store->entries.begin(), store->entries.end(),
                                  [&](const RsrcEntry& e) { return e.type == type && e.id == id; });
    if (removed == store->entries.end())
        return kResNotFoundErr;
    store->entries.erase(removed, store->entries.end());
    return WriteRsrcStore(path, store->entries, FileMode::Normal);
}
