// Reading and writing the history files. Lines are built and parsed in
// memory; every file is read whole and replaced whole through the platform
// layer. The set of files that could not be read lives here, so that neither
// a save nor a delete of the same run replaces what nobody has seen.
#include "model/HistoryFiles.h"

#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"

#include <charconv>
#include <cstdio>
#include <deque>
#include <limits>
#include <new>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_map>

namespace fs = std::filesystem;

// History files that existed at the last load but could not be read.
static std::set<fs::path> gUnreadableHistoryFiles;

constexpr char kFieldSeparator = '\t';
constexpr char kLineEnd = '\n';
constexpr char kCarriageReturn = '\r';
constexpr char kTextStandIn = ' ';
constexpr char kNamelessFileName[] = "-";

// Numbers are written as signed 32-bit values; a reader takes back either
// form of the same 32 bits.
constexpr int64_t kSmallestFieldNumber = std::numeric_limits<int32_t>::min();
constexpr int64_t kLargestFieldNumber = std::numeric_limits<uint32_t>::max();

static bool HasHistoryFile(const SubscriptionList& node)
{
    return node.siteType == kSiteTypeRSS || node.siteType == kSiteTypePOP;
}

// Visits every feed and mail subscription of the tree, a group's members
// where the group stands.
template <typename Node, typename Visit>
static void ForEachHistorySubscription(Node* list, const Visit& visit)
{
    for (Node* node = list; node; node = node->next) {
        if (node->child)
            ForEachHistorySubscription(node->child, visit);
        if (HasHistoryFile(*node))
            visit(*node);
    }
}

static bool IsUnreadableHistoryFile(const fs::path& file)
{
    return gUnreadableHistoryFiles.count(file.lexically_normal()) != 0;
}

/* ---- Locations ---- */

fs::path GetHistoryFolder()
{
    return GetUserHistoryFolder();
}

std::string MakeHistoryFileName(std::string_view subscriptionName)
{
    std::string name(subscriptionName);
    CheckMacFileName(name, kHistoryFileNameBytes);
    if (name.empty())
        return kNamelessFileName;
    return name;
}

fs::path GetHistoryFile(std::string_view name)
{
    return GetHistoryFolder() / MakeHistoryFileName(name);
}

/* ---- Writing lines ---- */

static void AppendNumber(std::string& data, uint32_t value)
{
    char digits[16];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, int32_t(value));
    data.append(digits, end);
}

static void AppendText(std::string& data, std::string_view text)
{
    size_t start = data.size();
    data.append(text);
    for (size_t i = start; i < data.size(); ++i) {
        char& c = data[i];
        if (c == kFieldSeparator || c == kLineEnd || c == kCarriageReturn || c == '\0')
            c = kTextStandIn;
    }
}

// "type TAB flags TAB date TAB headline TAB link LF" for a feed item,
// "type TAB flags TAB date TAB link LF" for any other.
static void AppendHistoryLine(std::string& data, const NewsList& item, uint32_t flagsMask)
{
    AppendNumber(data, item.type);
    data += kFieldSeparator;
    AppendNumber(data, item.flags & flagsMask);
    data += kFieldSeparator;
    AppendNumber(data, item.dateTime);
    data += kFieldSeparator;
    if (item.type == kNewsTypeFeed) {
        AppendText(data, item.headline);
        data += kFieldSeparator;
    }
    AppendText(data, item.linkURL);
    data += kLineEnd;
}

void WriteHistory(std::string& data, const NewsList* list)
{
    for (const NewsList* item = list; item; item = item->next)
        AppendHistoryLine(data, *item, kHistoryFlagsFromHistory);
}

void WriteHistoryBySubscription(std::string& data, const NewsList* list, const SubscriptionList* subscription)
{
    for (const NewsList* item = list; item; item = item->next) {
        if (item->parent == subscription)
            AppendHistoryLine(data, *item, kHistoryFlagsFromNews);
    }
}

/* ---- Reading lines ---- */

// Takes the text up to the next TAB (or the end) off the front of `line`,
// and the TAB with it. Null when the line ends before a TAB.
static std::optional<std::string_view> TakeFieldBeforeTab(std::string_view& line)
{
    size_t tab = line.find(kFieldSeparator);
    if (tab == std::string_view::npos)
        return std::nullopt;
    std::string_view field = line.substr(0, tab);
    line.remove_prefix(tab + 1);
    return field;
}

// A decimal number, optionally signed, that fits in 32 bits either way.
static std::optional<uint32_t> ParseFieldNumber(std::string_view field)
{
    if (!field.empty() && field.front() == '+')
        field.remove_prefix(1);
    if (field.empty() || field.front() == '+')
        return std::nullopt;
    int64_t value = 0;
    auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size())
        return std::nullopt;
    if (value < kSmallestFieldNumber || value > kLargestFieldNumber)
        return std::nullopt;
    return uint32_t(value);
}

static std::optional<uint32_t> TakeFieldNumber(std::string_view& line)
{
    std::optional<std::string_view> field = TakeFieldBeforeTab(line);
    if (!field)
        return std::nullopt;
    return ParseFieldNumber(*field);
}

// One piece of a file as a line: without its LF (and a CR before it), and,
// as a C reader would see it, ending at a NUL byte.
static std::string_view TrimHistoryLine(std::string_view piece)
{
    if (!piece.empty() && piece.back() == kLineEnd)
        piece.remove_suffix(1);
    if (!piece.empty() && piece.back() == kCarriageReturn)
        piece.remove_suffix(1);
    size_t nul = piece.find('\0');
    if (nul != std::string_view::npos)
        piece = piece.substr(0, nul);
    return piece;
}

// The item a line describes; null for a damaged line or an unknown type.
static std::optional<NewsList> ParseHistoryLine(std::string_view line)
{
    std::optional<uint32_t> type = TakeFieldNumber(line);
    std::optional<uint32_t> flags = type ? TakeFieldNumber(line) : std::nullopt;
    std::optional<uint32_t> dateTime = flags ? TakeFieldNumber(line) : std::nullopt;
    if (!dateTime)
        return std::nullopt;
    NewsList item;
    item.flags = *flags & kHistoryFlagsFromNews;
    item.dateTime = *dateTime;
    std::string_view text = line.substr(0, line.find(kFieldSeparator));
    switch (*type) {
    case kNewsTypeFeed:
        item.type = kNewsTypeFeed;
        item.headline = text;
        // The link is the rest of the line, TABs and all.
        if (text.size() < line.size())
            item.linkURL = line.substr(text.size() + 1);
        return item;
    case kNewsTypeLinkOnly:
        item.type = kNewsTypeLinkOnly;
        item.linkURL = text;
        return item;
    default:
        return std::nullopt;
    }
}

namespace {

struct HistoryReading {
    NewsList* items = nullptr;
    uint32_t damagedLines = 0;
};

} // namespace

static HistoryReading ReadHistoryLines(std::string_view data)
{
    HistoryReading reading;
    NewsList* last = nullptr;
    while (!data.empty()) {
        size_t lineEnd = data.find(kLineEnd);
        size_t pieceSize = lineEnd == std::string_view::npos ? data.size() : lineEnd + 1;
        pieceSize = std::min(pieceSize, kHistoryLinePieceBytes);
        std::string_view line = TrimHistoryLine(data.substr(0, pieceSize));
        data.remove_prefix(pieceSize);
        if (line.empty())
            continue;
        std::optional<NewsList> item = ParseHistoryLine(line);
        if (!item) {
            ++reading.damagedLines;
            continue;
        }
        // Linked at the tail kept here: AddNewsList would walk the whole
        // chain for every line.
        NewsList* added = AddNewsList(nullptr, *item);
        if (last)
            last->next = added;
        else
            reading.items = added;
        last = added;
    }
    return reading;
}

NewsList* ReadHistory(std::string_view data)
{
    HistoryReading reading = ReadHistoryLines(data);
    if (reading.damagedLines > 0)
        LogFailure("History: skipped %u damaged lines", reading.damagedLines);
    return reading.items;
}

/* ---- Saving ---- */

// The lines each subscription that writes from the global list gets, made in
// one walk of the list rather than one walk per subscription.
using HistoryTexts = std::unordered_map<const SubscriptionList*, std::string>;

static bool WritesFromOwnHistory(const SubscriptionList& node)
{
    return node.history && (node.flags & kSubscriptionFlagFetched) == 0;
}

static HistoryTexts MakeHistoryTextsFromNews(const SubscriptionList* list, const NewsList* news)
{
    HistoryTexts texts;
    ForEachHistorySubscription(list, [&](const SubscriptionList& node) {
        if (!WritesFromOwnHistory(node))
            texts.try_emplace(&node);
    });
    for (const NewsList* item = news; item; item = item->next) {
        auto text = texts.find(item->parent);
        if (text != texts.end())
            AppendHistoryLine(text->second, *item, kHistoryFlagsFromNews);
    }
    return texts;
}

// Whether `file` already holds exactly `text`. Most feeds have not changed
// between two auto-saves, and replacing a file costs two flushes to disk;
// comparing costs a read from the cache, and only when the sizes agree.
static bool HoldsHistoryText(const fs::path& file, const std::string& text)
{
    std::error_code error;
    uintmax_t size = fs::file_size(file, error);
    if (error || size != text.size())
        return false;
    if (text.empty())
        return true;
    std::optional<std::string> existing = GetDataFromFile(file);
    return existing && *existing == text;
}

// Whether `file` must be written with `text`: not when it holds that text
// already, nor when it could not be read at launch (kIOErr, so that the
// caller learns that the history was not saved).
static OSStatus CheckHistoryFileForSave(const fs::path& file, const std::string& text, bool& needsWrite)
{
    needsWrite = false;
    if (IsUnreadableHistoryFile(file)) {
        LogFailure("History file %s could not be read at launch; left as it is", file.c_str());
        return kIOErr;
    }
    needsWrite = !HoldsHistoryText(file, text);
    return kNoErr;
}

static OSStatus SaveHistoryToFilesOrThrow(const SubscriptionList* list, const NewsList* news, const fs::path& folder)
{
    HistoryTexts texts = MakeHistoryTextsFromNews(list, news);
    OSStatus firstFailure = kNoErr;
    // Own-history texts are kept here so that the batch's views stay valid.
    std::deque<std::string> ownHistories;
    std::vector<FileData> writes;
    ForEachHistorySubscription(list, [&](const SubscriptionList& node) {
        const std::string* text = nullptr;
        if (WritesFromOwnHistory(node)) {
            WriteHistory(ownHistories.emplace_back(), node.history);
            text = &ownHistories.back();
        } else {
            text = &texts[&node];
        }
        fs::path file = folder / MakeHistoryFileName(node.name);
        bool needsWrite = false;
        OSStatus status = CheckHistoryFileForSave(file, *text, needsWrite);
        if (status != kNoErr && firstFailure == kNoErr)
            firstFailure = status;
        // Subscriptions whose names map alike share a file: the last one wins.
        std::erase_if(writes, [&file](const FileData& write) { return write.path == file; });
        if (needsWrite)
            writes.push_back(FileData{file, *text, FileMode::Normal});
    });
    OSStatus writeStatus = PutDataToFiles(writes);
    return firstFailure != kNoErr ? firstFailure : writeStatus;
}

OSStatus SaveHistoryToFiles(const SubscriptionList* list, const NewsList* news, const fs::path& folder)
{
    try {
        return SaveHistoryToFilesOrThrow(list, news, folder);
    } catch (const std::bad_alloc&) {
        LogFailure("Out of memory saving the history files");
        return kMemFullErr;
    }
}

OSStatus SaveHistoryToFiles(const SubscriptionList* list, const NewsList* news)
{
    return SaveHistoryToFiles(list, news, GetHistoryFolder());
}

/* ---- Loading ---- */

static bool IsNonEmptyFile(const fs::path& file)
{
    std::error_code error;
    uintmax_t size = fs::file_size(file, error);
    return !error && size > 0;
}

void LoadHistoryFromFiles(SubscriptionList* tree, const fs::path& folder)
{
    gUnreadableHistoryFiles.clear();
    ForEachHistorySubscription(tree, [&](SubscriptionList& node) {
        if (node.history)
            return;
        fs::path file = folder / MakeHistoryFileName(node.name);
        std::optional<std::string> data = GetDataFromFile(file);
        if (!data) {
            if (IsNonEmptyFile(file) && gUnreadableHistoryFiles.insert(file.lexically_normal()).second)
                LogFailure("History file %s cannot be read; it is kept as it is", file.c_str());
            return;
        }
        HistoryReading reading = ReadHistoryLines(*data);
        if (reading.damagedLines > 0)
            LogFailure("History file %s: skipped %u damaged lines", file.c_str(), reading.damagedLines);
        node.history = reading.items;
    });
}

void LoadHistoryFromFiles(SubscriptionList* tree)
{
    LoadHistoryFromFiles(tree, GetHistoryFolder());
}

/* ---- Deleting ---- */

// Deletes each file of the folder for which `deletes` answers true; folders,
// devices and sockets stay. The first failure, or kNoErr.
template <typename Predicate>
static OSStatus DeleteHistoryFilesIf(const fs::path& folder, const Predicate& deletes)
{
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error)
        return error == std::errc::no_such_file_or_directory ? kNoErr : kIOErr;
    OSStatus firstFailure = kNoErr;
    // Stepped with an error code: a range-for would throw on a failed step.
    for (; entries != fs::directory_iterator(); entries.increment(error)) {
        fs::file_status status = entries->symlink_status(error);
        if (error || !(fs::is_regular_file(status) || fs::is_symlink(status)))
            continue;
        const fs::path& file = entries->path();
        if (IsUnreadableHistoryFile(file) || !deletes(file))
            continue;
        OSStatus deleted = DeleteFile(file);
        if (deleted != kNoErr && deleted != kFileNotFoundErr && firstFailure == kNoErr)
            firstFailure = deleted;
    }
    if (error) {
        LogFailure("Cannot list the history folder %s: %s", folder.c_str(), error.message().c_str());
        return kIOErr;
    }
    return firstFailure;
}

OSStatus DeleteHistoryFiles(const fs::path& folder)
{
    return DeleteHistoryFilesIf(folder, [](const fs::path&) { return true; });
}

OSStatus DeleteHistoryFiles()
{
    return DeleteHistoryFiles(GetHistoryFolder());
}

OSStatus DeleteUnusedHistoryFiles(const SubscriptionList* tree, const fs::path& folder)
{
    std::set<std::string> used;
    ForEachHistorySubscription(tree, [&](const SubscriptionList& node) { used.insert(MakeHistoryFileName(node.name)); });
    return DeleteHistoryFilesIf(folder, [&](const fs::path& file) { return used.count(file.filename().string()) == 0; });
}

OSStatus DeleteUnusedHistoryFiles(const SubscriptionList* tree)
{
    return DeleteUnusedHistoryFiles(tree, GetHistoryFolder());
}

/* ---- Diagnosis ---- */

void DumpHistory(const NewsList* list, std::string_view name)
{
    std::printf("----- Dump History of %.*s -----\n", int(name.size()), name.data());
    for (const NewsList* item = list; item; item = item->next) {
        std::printf("%ld %ld %lu %s %s\n", long(int32_t(item->type)), long(int32_t(item->flags)),
                    static_cast<unsigned long>(item->dateTime), item->headline.c_str(), item->linkURL.c_str());
    }
}
