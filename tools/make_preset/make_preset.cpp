// Build-time tool: turns the readable preset list (resources/preset/preset.txt)
// into "Preset.site", the subscriptions file a new user starts with, through
// the program's own save function, so the shipped file is always in the
// format the loader reads. A line it cannot use stops the build.
#include "model/SubscriptionList.h"
#include "model/SubscriptionsFile.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr char kGroupKeyword[] = "group ";
constexpr char kFeedKeyword[] = "feed ";
constexpr char kEndKeyword[] = "end";
constexpr char kCommentMark = '#';
constexpr char kColumnSeparator = '|';
constexpr size_t kFeedColumns = 4; // name, feed URL, home URL, check
constexpr auto kPresetFilePermissions = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                        std::filesystem::perms::group_read | std::filesystem::perms::others_read;

// The words of the CHECK column, in check type order.
constexpr std::array<std::string_view, kCheckEvery3Hours + 1> kCheckWords = {
    "manual", "launch", "10min", "30min", "hourly", "3hours"};

class PresetReader {
public:
    explicit PresetReader(std::string source) : fSource(std::move(source)) {}
    ~PresetReader() { DisposeSubscriptionList(fTree); }
    PresetReader(const PresetReader&) = delete;
    PresetReader& operator=(const PresetReader&) = delete;

    SubscriptionList* Tree() const { return fTree; }
    uint32_t Count() const { return fOrder; }

    bool ReadLine(std::string_view line, int number)
    {
        fLineNumber = number;
        line = Trim(line);
        if (line.empty() || line.front() == kCommentMark)
            return true;
        if (line == kEndKeyword)
            return CloseGroup();
        if (line.starts_with(kGroupKeyword))
            return OpenGroup(Trim(line.substr(std::string_view(kGroupKeyword).size())));
        if (line.starts_with(kFeedKeyword))
            return AddFeed(line.substr(std::string_view(kFeedKeyword).size()));
        return Fail("expected \"group\", \"feed\" or \"end\"");
    }

    bool Finish()
    {
        if (fGroup)
            return Fail("the group \"" + fGroup->name.str() + "\" is not closed with \"end\"");
        if (!fTree)
            return Fail("no subscriptions");
        return true;
    }

private:
    static std::string_view Trim(std::string_view text)
    {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
            text.remove_suffix(1);
        return text;
    }

    bool Fail(const std::string& message) const
    {
        std::fprintf(stderr, "%s:%d: %s\n", fSource.c_str(), fLineNumber, message.c_str());
        return false;
    }

    bool CheckWidth(std::string_view text, size_t maxBytes, const char* what) const
    {
        if (text.empty())
            return Fail(std::string("empty ") + what);
        if (text.size() > maxBytes)
            return Fail(std::string(what) + " longer than " + std::to_string(maxBytes) + " bytes");
        return true;
    }

    bool CheckURL(std::string_view url, const char* what) const
    {
        if (!CheckWidth(url, decltype(SubscriptionList::accessURL)::kMaxBytes, what))
            return false;
        if (!url.starts_with("https://") && !url.starts_with("http://"))
            return Fail(std::string(what) + " is not a web address");
        return true;
    }

    bool OpenGroup(std::string_view name)
    {
        if (fGroup)
            return Fail("groups do not nest; close \"" + fGroup->name.str() + "\" first");
        if (!CheckWidth(name, decltype(SubscriptionList::name)::kMaxBytes, "group name"))
            return false;
        SubscriptionList group;
        group.siteType = kSiteTypeGroup;
        group.name = name;
        group.flags = kSubscriptionFlagExpanded;
        group.orderID = ++fOrder;
        fTree = AddSubscriptionList(fTree, group);
        fGroup = FindSubscriptionByID(fTree, group.sid);
        return true;
    }

    bool CloseGroup()
    {
        if (!fGroup)
            return Fail("\"end\" without a group");
        if (!fGroup->child)
            return Fail("the group \"" + fGroup->name.str() + "\" is empty");
        fGroup = nullptr;
        return true;
    }

    static std::optional<CheckType> FindCheckType(std::string_view word)
    {
        for (size_t i = 0; i < kCheckWords.size(); ++i) {
            if (kCheckWords[i] == word)
                return CheckType(i);
        }
        return std::nullopt;
    }

    bool AddFeed(std::string_view columns)
    {
        std::array<std::string_view, kFeedColumns> column;
        for (size_t i = 0; i < kFeedColumns; ++i) {
            size_t separator = columns.find(kColumnSeparator);
            if ((separator == std::string_view::npos) != (i == kFeedColumns - 1))
                return Fail("a feed line has four columns: name | feed URL | home URL | check");
            column[i] = Trim(columns.substr(0, separator));
            columns.remove_prefix(separator == std::string_view::npos ? columns.size() : separator + 1);
        }
        if (!CheckWidth(column[0], decltype(SubscriptionList::name)::kMaxBytes, "feed name") ||
            !CheckURL(column[1], "feed URL") || !CheckURL(column[2], "home URL"))
            return false;
        std::optional<CheckType> checkType = FindCheckType(column[3]);
        if (!checkType)
            return Fail("unknown check \"" + std::string(column[3]) + "\"");

        SubscriptionList feed;
        feed.siteType = kSiteTypeRSS;
        feed.checkType = *checkType;
        feed.name = column[0];
        feed.accessURL = column[1];
        feed.homeURL = column[2];
        feed.orderID = ++fOrder;
        feed.parent = fGroup;
        if (fGroup)
            fGroup->child = AddSubscriptionList(fGroup->child, feed);
        else
            fTree = AddSubscriptionList(fTree, feed);
        return true;
    }

    std::string fSource;
    int fLineNumber = 0;
    SubscriptionList* fTree = nullptr;
    SubscriptionList* fGroup = nullptr;
    uint32_t fOrder = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_preset PRESET_LIST OUTPUT_FILE\n");
        return 2;
    }
    std::ifstream input(argv[1]);
    if (!input) {
        std::fprintf(stderr, "make_preset: cannot read %s\n", argv[1]);
        return 1;
    }
    PresetReader reader(argv[1]);
    std::string line;
    for (int number = 1; std::getline(input, line); ++number) {
        if (!reader.ReadLine(line, number))
            return 1;
    }
    if (!reader.Finish())
        return 1;
    if (SaveSubscriptionsToFile(reader.Tree(), argv[2]) != kNoErr) {
        std::fprintf(stderr, "make_preset: cannot write %s\n", argv[2]);
        return 1;
    }
    // Saving makes a file for the user's eyes only; the preset holds no
    // password and is read by every user of an installation.
    std::error_code error;
    std::filesystem::permissions(argv[2], kPresetFilePermissions, error);
    if (error) {
        std::fprintf(stderr, "make_preset: cannot open %s to all: %s\n", argv[2], error.message().c_str());
        return 1;
    }
    // What the loader makes of the file is what a new user will see.
    SubscriptionList* loaded = LoadSubscriptionsFromFile(argv[2], "");
    uint32_t loadedCount = CountSubscriptionsAndGroups(loaded);
    DisposeSubscriptionList(loaded);
    if (loadedCount != reader.Count()) {
        std::fprintf(stderr, "make_preset: %s reads back %u of %u subscriptions\n", argv[2], loadedCount,
                     reader.Count());
        return 1;
    }
    return 0;
}
