// The preferences file "Varnoke.prefs" in the preferences folder: a keyed
// store holding the two settings records, window positions, window parameter
// blocks and the proxy credentials. It holds passwords, so every write makes
// it private to the user (0600); every write is atomic. A file or entry that
// cannot be read gives the caller's defaults and is never deleted for it.
#pragma once

#include "platform/FourCharCode.h"
#include "platform/Status.h"
#include "settings/EnvironsRecords.h"
#include "settings/SettingsTypes.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

constexpr char kPreferencesFileName[] = "Varnoke.prefs";

// Entry types and IDs.
constexpr FourCharCode kEnvironsType = MakeFourCharCode("Envr");
constexpr FourCharCode kExtEnvironsType = MakeFourCharCode("EEnv");
constexpr FourCharCode kWindowBoundsType = MakeFourCharCode("wPos");
constexpr FourCharCode kWindowParamsType = MakeFourCharCode("wPrm");
constexpr FourCharCode kProxyAuthType = MakeFourCharCode("pAut");
constexpr int16_t kEnvironsID = 128;
constexpr int16_t kProxyUserID = 128;
constexpr int16_t kProxyPasswordID = 129;
constexpr size_t kProxyAuthSize = 64; // each credential, NUL-terminated

// Window IDs: the keys of 'wPos' and 'wPrm'.
constexpr int16_t kViewerWindowID = 200;          // bounds; 24-byte parameters
constexpr int16_t kPresetListWindowID = 201;
constexpr int16_t kFilterWindowID = 202;
constexpr int16_t kSettingsWindowID = 203;
constexpr int16_t kNewSubscriptionSheetID = 300;  // 6-byte parameters

// <preferences folder>/Varnoke.prefs (the folder is created when missing).
std::filesystem::path GetUserPreferencesFile();

/* ---- Settings records ---- */

// The stored settings record; null when the file or the entry is missing,
// or the entry is too short to be one (then logged, and a copy of the file
// is kept as "Varnoke.prefs.damaged" before any later save replaces the
// entry). No repairs are applied here. Cost: reads the whole file.
std::optional<Environs> LoadEnvironsRecord();
std::optional<ExtEnvirons> LoadExtEnvironsRecord();

// Stores the record, replacing the old one and keeping every other entry;
// creates the file when missing. kResFileNotFoundErr when the file exists
// but cannot be read (it is then left untouched), else the write's status.
// Cost: reads and rewrites the whole file.
OSStatus SaveEnvironsRecord(const Environs& environs);
OSStatus SaveExtEnvironsRecord(const ExtEnvirons& environs);

/* ---- Windows ---- */

// The saved bounds of window `id`; null when none are stored, or the stored
// entry is not a rectangle with positive width and height (logged).
std::optional<Rect> LoadWindowBounds(int16_t id);
OSStatus SaveWindowBounds(int16_t id, const Rect& bounds);

// The parameter block of window `id`, exactly `length` bytes: the stored
// block cut to `length`, or padded with zeros when it is shorter. Null when
// none is stored.
std::optional<std::string> LoadWindowParams(int16_t id, size_t length);
OSStatus SaveWindowParams(int16_t id, std::string_view block);

/* ---- Proxy credentials ---- */

struct ProxySetting {
    std::string user;     // at most 63 bytes; empty when none is stored
    std::string password; // at most 63 bytes, kept in plain text
};

// Both empty first, then each from its entry when present.
ProxySetting LoadProxySetting();

// Stores both, each cut to 63 bytes. Returns the first failure.
OSStatus SaveProxySetting(std::string_view user, std::string_view password);
