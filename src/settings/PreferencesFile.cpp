// The entries of "Varnoke.prefs" and their layouts. The keyed store does the
// file work (atomic rewrites, damaged and unreadable files); this file gives
// each entry its meaning and refuses entries too short for their layout.
#include "settings/PreferencesFile.h"

#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"
#include "platform/ResourceStore.h"
#include "settings/ByteFields.h"

namespace fs = std::filesystem;

constexpr size_t kRectSize = 8;

fs::path GetUserPreferencesFile()
{
    return GetUserPreferencesFolder() / kPreferencesFileName;
}

static std::optional<std::string> GetPreferencesEntry(FourCharCode type, int16_t id)
{
    return GetRsrcFile(GetUserPreferencesFile(), type, id);
}

static OSStatus PutPreferencesEntry(std::string_view block, FourCharCode type, int16_t id)
{
    return PutRsrcFile(block, type, id, GetUserPreferencesFile(), FileMode::Private);
}

// An entry that cannot be read will be replaced by the next save; a copy of
// the whole file keeps what it held.
static void KeepDamagedPreferences()
{
    KeepDamagedFileCopy(GetUserPreferencesFile());
}

static void ReportShortEntry(FourCharCode type, int16_t id, size_t size, size_t expected)
{
    LogFailure("Preferences entry '%s' %d has %zu bytes, fewer than %zu; using the defaults",
               FourCharCodeToString(type).c_str(), int(id), size, expected);
}

/* ---- Settings records ---- */

std::optional<Environs> LoadEnvironsRecord()
{
    std::optional<std::string> block = GetPreferencesEntry(kEnvironsType, kEnvironsID);
    if (!block)
        return std::nullopt;
    std::optional<Environs> environs = UnflattenEnvirons(*block);
    if (!environs) {
        ReportShortEntry(kEnvironsType, kEnvironsID, block->size(), kEnvironsSize);
        KeepDamagedPreferences();
    }
    return environs;
}

std::optional<ExtEnvirons> LoadExtEnvironsRecord()
{
    std::optional<std::string> block = GetPreferencesEntry(kExtEnvironsType, kEnvironsID);
    if (!block)
        return std::nullopt;
    std::optional<ExtEnvirons> environs = UnflattenExtEnvirons(*block);
    if (!environs) {
        ReportShortEntry(kExtEnvironsType, kEnvironsID, block->size(), kExtEnvironsSize);
        KeepDamagedPreferences();
    }
    return environs;
}

OSStatus SaveEnvironsRecord(const Environs& environs)
{
    return PutPreferencesEntry(FlattenEnvirons(environs), kEnvironsType, kEnvironsID);
}

OSStatus SaveExtEnvironsRecord(const ExtEnvirons& environs)
{
    return PutPreferencesEntry(FlattenExtEnvirons(environs), kExtEnvironsType, kEnvironsID);
}

/* ---- Windows ---- */

std::optional<Rect> LoadWindowBounds(int16_t id)
{
    std::optional<std::string> block = GetPreferencesEntry(kWindowBoundsType, id);
    if (!block)
        return std::nullopt;
    if (block->size() < kRectSize) {
        ReportShortEntry(kWindowBoundsType, id, block->size(), kRectSize);
        return std::nullopt;
    }
    ByteFieldReader reader(*block);
    Rect bounds;
    bounds.top = int16_t(reader.UInt16());
    bounds.left = int16_t(reader.UInt16());
    bounds.bottom = int16_t(reader.UInt16());
    bounds.right = int16_t(reader.UInt16());
    if (bounds.bottom <= bounds.top || bounds.right <= bounds.left) {
        LogFailure("Stored bounds of window %d are empty (%d, %d, %d, %d); using the default", int(id),
                   bounds.top, bounds.left, bounds.bottom, bounds.right);
        return std::nullopt;
    }
    return bounds;
}

OSStatus SaveWindowBounds(int16_t id, const Rect& bounds)
{
    ByteFieldWriter writer;
    writer.UInt16(uint16_t(bounds.top));
    writer.UInt16(uint16_t(bounds.left));
    writer.UInt16(uint16_t(bounds.bottom));
    writer.UInt16(uint16_t(bounds.right));
    return PutPreferencesEntry(writer.Bytes(), kWindowBoundsType, id);
}

std::optional<std::string> LoadWindowParams(int16_t id, size_t length)
{
    std::optional<std::string> block = GetPreferencesEntry(kWindowParamsType, id);
    if (block)
        block->resize(length, '\0');
    return block;
}

OSStatus SaveWindowParams(int16_t id, std::string_view block)
{
    return PutPreferencesEntry(block, kWindowParamsType, id);
}

/* ---- Proxy credentials ---- */

static std::string LoadProxyCredential(int16_t id)
{
    std::optional<std::string> block = GetPreferencesEntry(kProxyAuthType, id);
    if (!block)
        return {};
    return ByteFieldReader(*block).Text(kProxyAuthSize);
}

ProxySetting LoadProxySetting()
{
    ProxySetting setting;
    setting.user = LoadProxyCredential(kProxyUserID);
    setting.password = LoadProxyCredential(kProxyPasswordID);
    return setting;
}

static OSStatus SaveProxyCredential(int16_t id, std::string_view credential)
{
    ByteFieldWriter writer;
    writer.Text(credential, kProxyAuthSize);
    return PutPreferencesEntry(writer.Bytes(), kProxyAuthType, id);
}

OSStatus SaveProxySetting(std::string_view user, std::string_view password)
{
    OSStatus status = SaveProxyCredential(kProxyUserID, user);
    if (status != kNoErr)
        return status;
    return SaveProxyCredential(kProxyPasswordID, password);
}
