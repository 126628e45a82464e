// The keyed store: one file holding byte blocks keyed by a four-character
// type and a signed 16-bit ID, as the settings file "Varnoke.prefs" keeps its
// records, window positions and proxy credentials. Each block keeps whatever
// layout its owner gives it; the store only files it.
//
// File layout (all integers big-endian):
//   header, 16 bytes: magic "VkRS", UInt16 version (1), UInt16 header size
//     (16), UInt32 entry count, UInt32 reserved (0)
//   then per entry a 20-byte head: UInt32 type, SInt16 ID, UInt16 reserved
//     (0), UInt32 data length, UInt32 CRC-32 of the data, UInt32 CRC-32 of
//     the first 16 head bytes; followed by the data bytes.
// The two checksums let a reader keep every entry that is intact: a damaged
// block is skipped, a damaged head or a cut-off file ends the reading.
#pragma once

#include "platform/FourCharCode.h"
#include "platform/Files.h"
#include "platform/Status.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct RsrcEntry {
    FourCharCode type = 0;
    int16_t id = 0;
    std::string data;
};

// What reading a store file found.
enum class RsrcStoreState {
    Missing,      // no file, or an empty one: an empty store
    Intact,       // every entry read
    Damaged,      // not a store, cut off or partly garbage: the intact entries were kept
    NewerVersion, // written by a later version of the store; left alone
    Unreadable,   // there, but not a readable file (a read error, no permission,
                  // a folder): left alone rather than overwritten
};

struct RsrcStore {
    RsrcStoreState state = RsrcStoreState::Missing;
    std::vector<RsrcEntry> entries;  // in file order, keys unique
};

// Reads the whole store; never fails outright: damage is logged ("# ...") and
// reported in `state`, and the entries before or around it are returned.
// Cost: one read of the file, O(file size).
RsrcStore ReadRsrcStore(const std::filesystem::path& path);

// Writes `entries` as the whole store, atomically (PutDataToFile). Entries
// must have unique keys. Returns PutDataToFile's status, or kParamErr for a
// block too large for the format.
OSStatus WriteRsrcStore(const std::filesystem::path& path, const std::vector<RsrcEntry>& entries,
                        FileMode mode);

// The block stored under `type`/`id`; null when the file or the entry is
// missing, or the entry is damaged. Cost: reads the whole store.
std::optional<std::string> GetRsrcFile(const std::filesystem::path& path, FourCharCode type, int16_t id);

// Stores `data` under `type`/`id`, replacing an entry with the same key and
// keeping every other entry; creates the file when missing. Written
// atomically with `mode` (FileMode::Private for the settings file). A damaged
// store is first copied to "<path>.damaged" so nothing unreadable is lost for
// good; a store of a newer version, or one that cannot be read, is not
// touched and kResFileNotFoundErr (-193) is returned. Otherwise PutDataToFile's status.
// Cost: reads and rewrites the whole store.
OSStatus PutRsrcFile(std::string_view data, FourCharCode type, int16_t id, const std::filesystem::path& path,
                     FileMode mode);

// Removes the entry `type`/`id`, keeping the others and the file's mode.
// kResNotFoundErr (-192) when there is no such entry (the file is then not
// rewritten); kResFileNotFoundErr for a store of a newer version or one that
// cannot be read; otherwise
// PutDataToFile's status.
OSStatus RemoveRsrcFile(FourCharCode type, int16_t id, const std::filesystem::path& path);
