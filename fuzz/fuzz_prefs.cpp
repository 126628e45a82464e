// fuzz-libraries: varnoke_settings varnoke_model varnoke_platform
// The keyed store and the preferences file on arbitrary bytes. The store
// reader keeps keys unique; what it kept writes and reads back intact; a
// store entry put into a damaged file keeps every entry that was readable.
// Then the same bytes as every entry of a well-formed preferences file: each
// loader returns its defaults or a value of its layout, never more.
#include "platform/ResourceStore.h"
#include "settings/PreferencesFile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path* gRemoveAtExit = nullptr;

constexpr FourCharCode kAddedType = MakeFourCharCode("fuzZ");
constexpr int16_t kAddedID = 7;

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_prefs: %s\n", what);
    std::abort();
}

// A folder of this process in memory (the writes flush to disk otherwise),
// also the preferences folder of the loaders.
const fs::path& Folder()
{
    static const fs::path folder = [] {
        fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path made = base / ("varnoke-fuzz-prefs-" + std::to_string(getpid()));
        fs::create_directories(made);
        setenv("XDG_CONFIG_HOME", made.c_str(), 1);
        // Kept apart from the static being made, which is gone before atexit runs.
        gRemoveAtExit = new fs::path(made);
        std::atexit([] {
            std::error_code error;
            fs::remove_all(*gRemoveAtExit, error);
        });
        return made;
    }();
    return folder;
}

void WriteRaw(const fs::path& path, std::string_view bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
}

bool SameEntries(const std::vector<RsrcEntry>& a, const std::vector<RsrcEntry>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t index = 0; index < a.size(); ++index) {
        if (a[index].type != b[index].type || a[index].id != b[index].id || a[index].data != b[index].data)
            return false;
    }
    return true;
}

void CheckStore(std::string_view bytes)
{
    const fs::path raw = Folder() / "raw.store";
    WriteRaw(raw, bytes);
    const RsrcStore read = ReadRsrcStore(raw);
    std::set<std::pair<FourCharCode, int16_t>> keys;
    size_t held = 0;
    for (const RsrcEntry& entry : read.entries) {
        if (!keys.insert({entry.type, entry.id}).second)
            Fail("two entries with one key");
        held += entry.data.size();
    }
    if (held > bytes.size())
        Fail("the entries hold more bytes than the file");
    if ((read.state == RsrcStoreState::Missing) != bytes.empty())
        Fail("an empty file and a missing store disagree");

    const fs::path again = Folder() / "again.store";
    if (WriteRsrcStore(again, read.entries, FileMode::Private) != 0)
        Fail("the entries read could not be written");
    const RsrcStore reread = ReadRsrcStore(again);
    if (reread.state != RsrcStoreState::Intact || !SameEntries(read.entries, reread.entries))
        Fail("what was written does not read back intact");

    // Putting one entry into the file keeps every entry it could read, or
    // leaves a file it must not touch exactly as it was.
    const OSStatus put = PutRsrcFile("added", kAddedType, kAddedID, raw, FileMode::Private);
    const RsrcStore after = ReadRsrcStore(raw);
    switch (read.state) {
    case RsrcStoreState::NewerVersion:
    case RsrcStoreState::Unreadable: {
        std::ifstream file(raw, std::ios::binary);
        std::string now((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (put == 0 || now != bytes)
            Fail("a store that must be left alone was changed");
        return;
    }
    case RsrcStoreState::Missing:
    case RsrcStoreState::Intact:
    case RsrcStoreState::Damaged:
        break;
    }
    if (put != 0 || after.state != RsrcStoreState::Intact)
        Fail("putting an entry did not give an intact store");
    for (const RsrcEntry& entry : read.entries) {
        if (entry.type == kAddedType && entry.id == kAddedID)
            continue;
        bool kept = false;
        for (const RsrcEntry& now : after.entries)
            kept = kept || (now.type == entry.type && now.id == entry.id && now.data == entry.data);
        if (!kept)
            Fail("putting an entry lost another one");
    }
    fs::remove(Folder() / "raw.store.damaged");
}

void CheckPreferences(std::string_view bytes)
{
    const std::string block(bytes);
    std::vector<RsrcEntry> entries;
    for (FourCharCode type : {kEnvironsType, kExtEnvironsType})
        entries.push_back({type, kEnvironsID, block});
    for (int16_t id : {kViewerWindowID, kNewSubscriptionSheetID}) {
        entries.push_back({kWindowBoundsType, id, block});
        entries.push_back({kWindowParamsType, id, block});
    }
    for (int16_t id : {kProxyUserID, kProxyPasswordID})
        entries.push_back({kProxyAuthType, id, block});
    const fs::path file = GetUserPreferencesFile();
    if (WriteRsrcStore(file, entries, FileMode::Private) != 0)
        Fail("the preferences file could not be written");

    if (LoadEnvironsRecord().has_value() != (bytes.size() >= kEnvironsSize))
        Fail("a settings record was refused or made up");
    if (LoadExtEnvironsRecord().has_value() != (bytes.size() >= kExtEnvironsSize))
        Fail("a distribution record was refused or made up");
    if (std::optional<Rect> bounds = LoadWindowBounds(kViewerWindowID)) {
        if (bounds->bottom <= bounds->top || bounds->right <= bounds->left)
            Fail("window bounds without a positive size");
    }
    for (size_t length : {size_t(6), size_t(24)}) {
        std::optional<std::string> params = LoadWindowParams(kNewSubscriptionSheetID, length);
        if (!params || params->size() != length)
            Fail("window parameters of the wrong length");
    }
    const ProxySetting proxy = LoadProxySetting();
    if (proxy.user.size() >= kProxyAuthSize || proxy.password.size() >= kProxyAuthSize)
        Fail("a proxy credential is longer than its field");
    if (proxy.user.find('\0') != std::string::npos || proxy.password.find('\0') != std::string::npos)
        Fail("a proxy credential holds a NUL");
    fs::remove(file.string() + ".damaged");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckStore(bytes);
    CheckPreferences(bytes);
    return 0;
}
