// Reading and writing the subscriptions file. Records are built and parsed in
// memory and the file is read or replaced whole through the platform layer,
// so a crash or a full disk never leaves half a file behind. The tree's own
// rules (identifiers, counts, searches) stay in SubscriptionList.cpp.
#include "model/SubscriptionsFile.h"

#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <optional>
#include <system_error>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

/* ---- Layout ---- */

// One field of the header or of a record: where it starts and how wide it is.
struct FileField {
    size_t offset;
    size_t width;
};

constexpr FileField kHeaderVersion{0, 4};
constexpr FileField kHeaderCount{12, 4};

// A record's bytes 0 to 3271 are the node's persistent fields in their order
// and widths; the rest is the group name, zeros and the saved flags.
constexpr FileField kRecordSiteType{0, 4};
constexpr FileField kRecordCheckType{4, 4};
constexpr FileField kRecordName{8, 64};
constexpr FileField kRecordAccessURL{72, 256};
constexpr FileField kRecordHomeURL{328, 256};
constexpr FileField kRecordIconURL{584, 256};
constexpr FileField kRecordImageURL{840, 256};
constexpr FileField kRecordAccount{1096, 64};
constexpr FileField kRecordPassword{1160, 58};
constexpr FileField kRecordAction{1218, 2}; // the node's `options`
constexpr FileField kRecordTermDays{1220, 4};
constexpr FileField kRecordDescription{1224, 2048};
constexpr FileField kRecordGroup{3272, 64};
constexpr FileField kRecordFlags{5380, 4};

// Each text field of a record is exactly as wide as the node's field.
static_assert(kRecordName.width == decltype(SubscriptionList::name)::kWidth);
static_assert(kRecordAccessURL.width == decltype(SubscriptionList::accessURL)::kWidth);
static_assert(kRecordHomeURL.width == decltype(SubscriptionList::homeURL)::kWidth);
static_assert(kRecordIconURL.width == decltype(SubscriptionList::iconURL)::kWidth);
static_assert(kRecordImageURL.width == decltype(SubscriptionList::imageURL)::kWidth);
static_assert(kRecordAccount.width == decltype(SubscriptionList::account)::kWidth);
static_assert(kRecordPassword.width == decltype(SubscriptionList::password)::kWidth);
static_assert(kRecordDescription.width == decltype(SubscriptionList::description)::kWidth);
static_assert(kRecordGroup.width == decltype(SubscriptionList::name)::kWidth);
static_assert(kRecordFlags.offset + kRecordFlags.width == kSubscriptionsFileRecordSize);

// The only node flag that is saved.
constexpr uint32_t kRecordFlagExpanded = 0x200;

/* ---- Bytes ---- */

static void PutUInt32(char* bytes, FileField field, uint32_t value)
{
    for (size_t i = 0; i < field.width; ++i)
        bytes[field.offset + i] = char(value >> (8 * (field.width - 1 - i)));
}

static uint32_t GetUInt32(const char* bytes, FileField field)
{
    uint32_t value = 0;
    for (size_t i = 0; i < field.width; ++i)
        value = (value << 8) | uint8_t(bytes[field.offset + i]);
    return value;
}

static void PutText(char* bytes, FileField field, std::string_view text)
{
    // An empty field's view has no storage at all.
    if (text.empty())
        return;
    // A field already holds at most width - 1 bytes; the min keeps the NUL
    // even if that rule were ever broken.
    std::memcpy(bytes + field.offset, text.data(), std::min(text.size(), field.width - 1));
}

// The text up to the field's first NUL. A damaged field without one yields
// all its bytes, which the node's field then cuts to width - 1.
static std::string_view GetText(const char* bytes, FileField field)
{
    const char* start = bytes + field.offset;
    const void* end = std::memchr(start, '\0', field.width);
    return {start, end ? size_t(static_cast<const char*>(end) - start) : field.width};
}

/* ---- Writing ---- */

static bool IsStoredSubscription(const SubscriptionList& node)
{
    if (node.siteType == kSiteTypeHotList || node.siteType == kSiteTypeCoolList)
        return false;
    return (node.flags & kSubscriptionFlagSearch) == 0;
}

static void AppendSubscriptionRecord(std::string& data, const SubscriptionList& node, std::string_view group)
{
    size_t start = data.size();
    data.resize(start + kSubscriptionsFileRecordSize, '\0');
    char* record = data.data() + start;
    PutUInt32(record, kRecordSiteType, node.siteType);
    PutUInt32(record, kRecordCheckType, node.checkType);
    PutText(record, kRecordName, node.name);
    PutText(record, kRecordAccessURL, node.accessURL);
    PutText(record, kRecordHomeURL, node.homeURL);
    PutText(record, kRecordIconURL, node.iconURL);
    PutText(record, kRecordImageURL, node.imageURL);
    PutText(record, kRecordAccount, node.account);
    PutText(record, kRecordPassword, node.password);
    PutUInt32(record, kRecordAction, node.options);
    PutUInt32(record, kRecordTermDays, std::bit_cast<uint32_t>(node.termDays));
    PutText(record, kRecordDescription, node.description);
    PutText(record, kRecordGroup, group);
    if (node.flags & kSubscriptionFlagExpanded)
        PutUInt32(record, kRecordFlags, kRecordFlagExpanded);
}

void WriteSubscriptionsWithSort(std::string& data, const SubscriptionList* list, std::string_view group)
{
    // Equal orders keep their chain order: the chain position breaks ties.
    struct StoredNode {
        uint32_t orderID;
        size_t chainPosition;
        const SubscriptionList* node;
    };
    std::vector<StoredNode> stored;
    for (const SubscriptionList* node = list; node; node = node->next) {
        if (IsStoredSubscription(*node))
            stored.push_back({node->orderID, stored.size(), node});
    }
    std::sort(stored.begin(), stored.end(), [](const StoredNode& a, const StoredNode& b) {
        return std::tie(a.orderID, a.chainPosition) < std::tie(b.orderID, b.chainPosition);
    });
    for (const StoredNode& entry : stored) {
        AppendSubscriptionRecord(data, *entry.node, group);
        if (entry.node->child)
            WriteSubscriptionsWithSort(data, entry.node->child, entry.node->name.view());
    }
}

std::string WriteSubscriptions(const SubscriptionList* tree)
{
    std::string data(kSubscriptionsFileHeaderSize, '\0');
    data.reserve(kSubscriptionsFileHeaderSize + size_t(CountSubscriptionsAndGroups(tree)) * kSubscriptionsFileRecordSize);
    WriteSubscriptionsWithSort(data, tree, "");
    // The count is what was written, so header and records always agree.
    size_t count = (data.size() - kSubscriptionsFileHeaderSize) / kSubscriptionsFileRecordSize;
    if (count == 0)
        return {};
    PutUInt32(data.data(), kHeaderVersion, kSubscriptionsFileVersion);
    PutUInt32(data.data(), kHeaderCount, uint32_t(count));
    return data;
}

/* ---- Reading ---- */

static bool IsStoredSiteType(uint32_t siteType)
{
    return siteType == kSiteTypeRSS || siteType == kSiteTypePOP || siteType == kSiteTypeGroup ||
           siteType == kSiteTypePsedo;
}

// The persistent fields of record `number` (from 1) as a fresh node's
// template; null for a record of no kind that a file stores.
static std::optional<SubscriptionList> MakeSubscriptionFromRecord(const char* record, uint32_t number)
{
    uint32_t siteType = GetUInt32(record, kRecordSiteType);
    if (!IsStoredSiteType(siteType)) {
        LogFailure("Subscriptions file: record %u has the unknown kind %u; dropped", number, siteType);
        return std::nullopt;
    }
    SubscriptionList node;
    node.siteType = SiteType(siteType);
    uint32_t checkType = GetUInt32(record, kRecordCheckType);
    if (checkType > kCheckEvery3Hours) {
        LogFailure("Subscriptions file: record %u has the unknown schedule %u; checked by hand", number, checkType);
        checkType = kCheckManual;
    }
    node.checkType = CheckType(checkType);
    node.name = GetText(record, kRecordName);
    node.accessURL = GetText(record, kRecordAccessURL);
    node.homeURL = GetText(record, kRecordHomeURL);
    node.iconURL = GetText(record, kRecordIconURL);
    node.imageURL = GetText(record, kRecordImageURL);
    node.account = GetText(record, kRecordAccount);
    node.password = GetText(record, kRecordPassword);
    node.options = uint16_t(GetUInt32(record, kRecordAction));
    node.termDays = std::bit_cast<float>(GetUInt32(record, kRecordTermDays));
    node.description = GetText(record, kRecordDescription);
    node.orderID = number;
    if (GetUInt32(record, kRecordFlags) & kRecordFlagExpanded)
        node.flags = kSubscriptionFlagExpanded;
    return node;
}

namespace {

// A top-level group read so far, with the tail of its member chain.
struct LoadedGroup {
    SubscriptionList* group;
    SubscriptionList* lastMember;
};

// Builds the tree in file order, keeping each chain's tail so that every
// append is O(1).
class SubscriptionsBuilder {
public:
    SubscriptionList* Tree() const { return fTree; }

    // True when the node went where its record said.
    bool Add(SubscriptionList& node, std::string_view group, uint32_t number)
    {
        if (group.empty()) {
            AddTopLevel(node);
            return true;
        }
        if (node.siteType == kSiteTypeGroup) {
            LogFailure("Subscriptions file: group record %u names the group \"%.*s\"; groups stay at the top level",
                       number, int(group.size()), group.data());
            AddTopLevel(node);
            return false;
        }
        LoadedGroup* loaded = FindLoadedGroup(group);
        if (!loaded) {
            LogFailure("Subscriptions file: record %u names the group \"%.*s\", which is not before it; "
                       "loaded at the top level",
                       number, int(group.size()), group.data());
            AddTopLevel(node);
            return false;
        }
        node.parent = loaded->group;
        SubscriptionList* member = AddSubscriptionList(nullptr, node);
        if (loaded->lastMember)
            loaded->lastMember->next = member;
        else
            loaded->group->child = member;
        loaded->lastMember = member;
        return true;
    }

private:
    void AddTopLevel(SubscriptionList& node)
    {
        node.parent = nullptr;
        SubscriptionList* added = AddSubscriptionList(nullptr, node);
        if (fLastTopLevel)
            fLastTopLevel->next = added;
        else
            fTree = added;
        fLastTopLevel = added;
        if (added->siteType == kSiteTypeGroup)
            fGroups.push_back({added, nullptr});
    }

    // The latest group so named: a save writes members right after their
    // own group, so that is where they belong even when names repeat.
    LoadedGroup* FindLoadedGroup(std::string_view name)
    {
        for (auto group = fGroups.rbegin(); group != fGroups.rend(); ++group) {
            if (group->group->name.view() == name)
                return &*group;
        }
        return nullptr;
    }

    SubscriptionList* fTree = nullptr;
    SubscriptionList* fLastTopLevel = nullptr;
    std::vector<LoadedGroup> fGroups;
};

} // namespace

SubscriptionsReading ReadSubscriptions(std::string_view data)
{
    SubscriptionsReading reading;
    if (data.size() < kSubscriptionsFileHeaderSize) {
        LogFailure("Subscriptions file: %zu bytes, shorter than its header", data.size());
        reading.isIntact = false;
        return reading;
    }
    uint32_t count = GetUInt32(data.data(), kHeaderCount);
    size_t held = (data.size() - kSubscriptionsFileHeaderSize) / kSubscriptionsFileRecordSize;
    size_t toRead = std::min(size_t(count), held);
    if (count != held || (data.size() - kSubscriptionsFileHeaderSize) % kSubscriptionsFileRecordSize != 0) {
        LogFailure("Subscriptions file: the header counts %u records, the file holds %zu bytes of records; "
                   "reading %zu",
                   count, data.size() - kSubscriptionsFileHeaderSize, toRead);
        reading.isIntact = false;
    }

    SubscriptionsBuilder builder;
    for (size_t index = 0; index < toRead; ++index) {
        const char* record = data.data() + kSubscriptionsFileHeaderSize + index * kSubscriptionsFileRecordSize;
        uint32_t number = uint32_t(index + 1);
        std::optional<SubscriptionList> node = MakeSubscriptionFromRecord(record, number);
        if (!node) {
            ++reading.recordsDropped;
            reading.isIntact = false;
            continue;
        }
        if (!builder.Add(*node, GetText(record, kRecordGroup), number))
            reading.isIntact = false;
        ++reading.recordsLoaded;
    }
    reading.tree = builder.Tree();
    return reading;
}

/* ---- Files ---- */

fs::path GetSubscriptionsFile()
{
    return GetUserPreferencesFolder() / kSubscriptionsFileName;
}

static fs::path MakeDamagedCopyPath(const fs::path& file)
{
    fs::path copy = file;
    copy += kDamagedSubscriptionsSuffix;
    return copy;
}

// Keeps the bytes of a file that did not load whole, so that the next save
// (which writes only what could be read) loses nothing.
static void KeepDamagedSubscriptionsFile(const fs::path& file, std::string_view data)
{
    fs::path copy = MakeDamagedCopyPath(file);
    if (GetDataFromFile(copy) == data)
        return;
    if (PutDataToFile(copy, data, FileMode::Private) == kNoErr)
        LogFailure("Subscriptions file %s is damaged; its bytes are kept in %s", file.c_str(), copy.c_str());
}

// A file that exists but cannot be read is moved aside, since a save would
// otherwise replace it without anyone having seen what it held.
static void MoveUnreadableSubscriptionsFile(const fs::path& file)
{
    fs::path aside = MakeDamagedCopyPath(file);
    std::error_code error;
    fs::rename(file, aside, error);
    if (error) {
        LogFailure("Cannot move the unreadable %s aside: %s", file.c_str(), error.message().c_str());
        return;
    }
    LogFailure("Subscriptions file %s cannot be read; moved to %s", file.c_str(), aside.c_str());
}

static SubscriptionList* LoadPresetSubscriptions(const fs::path& presetFile)
{
    if (presetFile.empty())
        return nullptr;
    std::optional<std::string> data = GetDataFromFile(presetFile);
    if (!data) {
        LogFailure("Cannot read the preset subscriptions %s", presetFile.c_str());
        return nullptr;
    }
    SubscriptionsReading reading = ReadSubscriptions(*data);
    LogInfo("Loaded %u preset subscriptions from %s", reading.recordsLoaded, presetFile.c_str());
    return reading.tree;
}

SubscriptionList* LoadSubscriptionsFromFile(const fs::path& file, const fs::path& presetFile)
{
    if (!IsExistFile(file))
        return LoadPresetSubscriptions(presetFile);
    std::optional<std::string> data = GetDataFromFile(file);
    if (!data) {
        std::error_code error;
        if (fs::file_size(file, error) > 0 && !error)
            MoveUnreadableSubscriptionsFile(file);
        else
            LogFailure("Subscriptions file %s is empty", file.c_str());
        return nullptr;
    }
    SubscriptionsReading reading = ReadSubscriptions(*data);
    if (!reading.isIntact)
        KeepDamagedSubscriptionsFile(file, *data);
    return reading.tree;
}

SubscriptionList* LoadSubscriptionsFromFile()
{
    std::optional<fs::path> preset = MakeResourcePath(kPresetSubscriptionsName);
    return LoadSubscriptionsFromFile(GetSubscriptionsFile(), preset.value_or(fs::path()));
}

OSStatus SaveSubscriptionsToFile(const SubscriptionList* tree, const fs::path& file)
{
    std::string data;
    try {
        data = WriteSubscriptions(tree);
    } catch (const std::bad_alloc&) {
        LogFailure("Out of memory saving %s", file.c_str());
        return kMemFullErr;
    }
    if (data.empty())
        return kNoErr;
    return PutDataToFile(file, data, FileMode::Private);
}

OSStatus SaveSubscriptionsToFile(const SubscriptionList* tree)
{
    return SaveSubscriptionsToFile(tree, GetSubscriptionsFile());
}

OSStatus DeleteSubscriptionsFile(const fs::path& file)
{
    return DeleteFile(file);
}

OSStatus DeleteSubscriptionsFile()
{
    return DeleteSubscriptionsFile(GetSubscriptionsFile());
}
