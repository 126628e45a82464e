// The keyword filter list of the run, its file and the matching of news
// against it. The list is loaded once at start and edited in place by the
// editor window; matching always reads the list as it is now, so an edit
// applies to the next parse at once.
#include "ticker/Filters.h"

#include "model/NewsList.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"
#include "platform/UnicodeText.h"

constexpr const char* kFilterFileName = "Varnoke.filter";
// The longest line a filter file may hold, line feed included: the three
// fields at their widths and their separators, with a little room.
constexpr size_t kMaxFilterLineBytes = 195;
constexpr char kFieldSeparator = '\t';
constexpr char kLineEnd = '\n';

static FilterList* gFilterList = nullptr;
static uint32_t gFilterID = kFirstFilterID;

/* ---- Effects ---- */

HotNewsRoute GetHotNewsRoute(std::string_view effect)
{
    if (effect.empty() || effect == kFilterNone)
        return HotNewsRoute::kSoundOnly;
    if (effect == "Growl")
        return HotNewsRoute::kNotification;
    return HotNewsRoute::kTicker;
}

TickerEffect GetTickerEffectByName(std::string_view effect)
{
    // Each row: the stored name, the animation it chooses.
    static constexpr struct {
        std::string_view name;
        TickerEffect effect;
    } kTickerEffects[] = {
        {"Twinkle", kTickerEffectTwinkle},
        {"Blink", kTickerEffectBlink},
        {"Sparkle", kTickerEffectSparkle},
        {"Rising", kTickerEffectRising},
    };
    for (const auto& row : kTickerEffects) {
        if (row.name == effect)
            return row.effect;
    }
    return kTickerEffectFlash;
}

/* ---- The filter list ---- */

void SetFilterKeyword(FilterList& filter, std::string_view text)
{
    filter.keyword = text;
    filter.keywords.clear();
    for (std::string_view word : SplitNewsKeywords(filter.keyword.view()))
        filter.keywords.emplace_back(word);
}

static FilterList* LastFilter(FilterList* list)
{
    FilterList* last = list;
    while (last && last->next)
        last = last->next;
    return last;
}

FilterList* AddFilterList(FilterList* list, FilterList* prev, FilterList& data)
{
    data.fid = gFilterID++;
    auto* filter = new FilterList;
    filter->sound = data.sound.view();
    filter->effect = data.effect.view();
    filter->fid = data.fid;
    SetFilterKeyword(*filter, data.keyword.view());

    FilterList* after = prev ? prev : LastFilter(list);
    if (!after)
        return filter;
    filter->prev = after;
    filter->next = after->next;
    if (after->next)
        after->next->prev = filter;
    after->next = filter;
    return list;
}

FilterList* DeleteFilterList(FilterList* list, FilterList* filter)
{
    if (!filter)
        return list;
    FilterList* head = (filter == list) ? filter->next : list;
    if (filter->prev)
        filter->prev->next = filter->next;
    if (filter->next)
        filter->next->prev = filter->prev;
    delete filter;
    return head;
}

void DisposeFilterList(FilterList* list)
{
    while (list) {
        FilterList* next = list->next;
        delete list;
        list = next;
    }
}

FilterList* FindFilterListByID(FilterList* list, uint32_t fid)
{
    for (FilterList* filter = list; filter; filter = filter->next) {
        if (filter->fid == fid)
            return filter;
    }
    return nullptr;
}

// Equal ignoring case: each folded text contains the other, which for
// texts folded the same way means they are the same text.
static bool IsEqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a == b)
        return !a.empty();
    return TextContainsIgnoringCase(a, b) && TextContainsIgnoringCase(b, a);
}

FilterList* FindFilterListByKeyword(FilterList* list, std::string_view text)
{
    for (FilterList* filter = list; filter; filter = filter->next) {
        if (IsEqualIgnoringCase(filter->keyword.view(), text))
            return filter;
    }
    return nullptr;
}

void InitNewsFilter()
{
    SetNewsFilterList(LoadFilterList());
}

FilterList* GetNewsFilterList()
{
    return gFilterList;
}

void SetNewsFilterList(FilterList* list)
{
    if (list == gFilterList)
        return;
    DisposeFilterList(gFilterList);
    gFilterList = list;
}

void SetNewsFilterListHead(FilterList* list)
{
    gFilterList = list;
}

/* ---- The filter file ---- */

std::filesystem::path GetFilterFile()
{
    return GetUserPreferencesFolder() / kFilterFileName;
}

// The text up to the next separator (or the end) and what follows it;
// `found` tells whether the separator was there.
static std::string_view TakeField(std::string_view& line, char separator, bool& found)
{
    size_t end = line.find(separator);
    found = end != std::string_view::npos;
    std::string_view field = line.substr(0, end);
    line.remove_prefix(found ? end + 1 : line.size());
    return field;
}

// One line without its line feed: keyword, tab, sound, tab, effect. Null
// when a field is missing or the keyword is empty (it would make every item
// of a nameless subscription hot, and the editor never makes one).
static std::optional<FilterList> ReadFilterLine(std::string_view line)
{
    bool found = false;
    std::string_view keyword = TakeField(line, kFieldSeparator, found);
    if (!found || keyword.empty())
        return std::nullopt;
    std::string_view sound = TakeField(line, kFieldSeparator, found);
    if (!found)
        return std::nullopt;
    std::string_view effect = line;
    // A file saved by an editor with CR LF line ends keeps its effect names.
    if (!effect.empty() && effect.back() == '\r')
        effect.remove_suffix(1);
    if (effect.find(kFieldSeparator) != std::string_view::npos)
        return std::nullopt;
    FilterList filter;
    filter.keyword = keyword;
    filter.sound = sound;
    filter.effect = effect;
    return filter;
}

FilterList* ReadFilterList(std::string_view data)
{
    FilterList* list = nullptr;
    FilterList* last = nullptr;
    while (!data.empty()) {
        size_t end = data.find(kLineEnd);
        // A last line without its line feed is not a filter.
        if (end == std::string_view::npos)
            break;
        std::string_view line = data.substr(0, end);
        data.remove_prefix(end + 1);
        // A line longer than any filter is damage, skipped whole: its pieces
        // are not read as filters of their own.
        if (line.size() + 1 > kMaxFilterLineBytes)
            continue;
        std::optional<FilterList> filter = ReadFilterLine(line);
        if (!filter)
            continue;
        list = AddFilterList(list, last, *filter);
        last = last ? last->next : list;
    }
    return list;
}

// A field as one line's piece: its separators would split the line.
static void AppendFilterField(std::string& out, std::string_view field)
{
    for (char c : field)
        out.push_back((c == kFieldSeparator || c == kLineEnd || c == '\r') ? ' ' : c);
}

std::string WriteFilterList(const FilterList* list)
{
    std::string out;
    for (const FilterList* filter = list; filter; filter = filter->next) {
        AppendFilterField(out, filter->keyword.view());
        out.push_back(kFieldSeparator);
        AppendFilterField(out, filter->sound.view());
        out.push_back(kFieldSeparator);
        AppendFilterField(out, filter->effect.view());
        out.push_back(kLineEnd);
    }
    return out;
}

FilterList* LoadFilterList()
{
    std::filesystem::path file = GetFilterFile();
    if (!IsExistFile(file)) {
        OSStatus status = PutDataToFile(file, {});
        if (status != kNoErr)
            LogFailure("filter file %s not created (%d)", file.c_str(), int(status));
        return nullptr;
    }
    std::optional<std::string> data = GetDataFromFile(file);
    if (!data)
        return nullptr;
    return ReadFilterList(*data);
}

OSStatus SaveFilterList(const FilterList* list)
{
    std::filesystem::path file = GetFilterFile();
    if (!list) {
        OSStatus status = DeleteFile(file);
        return status == kFileNotFoundErr ? kNoErr : status;
    }
    OSStatus status = PutDataToFile(file, WriteFilterList(list));
    if (status != kNoErr)
        LogFailure("filter file %s not saved (%d)", file.c_str(), int(status));
    return status;
}

/* ---- Matching ---- */

bool IsAllKeywordsInString(std::string_view content, const std::vector<std::string>& keywords)
{
    if (content.empty() || keywords.empty())
        return false;
    for (const std::string& keyword : keywords) {
        if (!TextContainsIgnoringCase(content, keyword))
            return false;
    }
    return true;
}

static NewsFilterMatch MakeFilterMatch(const FilterList& filter)
{
    NewsFilterMatch match;
    if (filter.sound.view() != kFilterNone)
        match.sound = filter.sound.view();
    if (filter.effect.view() != kFilterNone)
        match.effect = filter.effect.view();
    return match;
}

std::optional<NewsFilterMatch> IsMatchedNewsFilter(const NewsList& news, std::string_view name)
{
    // A nameless subscription is matched by nothing: every filter has a
    // keyword text.
    for (const FilterList* filter = gFilterList; filter && !name.empty(); filter = filter->next) {
        if (filter->keyword.view() == name)
            return MakeFilterMatch(*filter);
    }
    if (news.headlineRef) {
        for (const FilterList* filter = gFilterList; filter; filter = filter->next) {
            if (IsAllKeywordsInString(news.headlineRef.view(), filter->keywords))
                return MakeFilterMatch(*filter);
        }
    }
    if (news.descriptionRef) {
        for (const FilterList* filter = gFilterList; filter; filter = filter->next) {
            if (IsAllKeywordsInString(news.descriptionRef.view(), filter->keywords))
                return MakeFilterMatch(*filter);
        }
    }
    return std::nullopt;
}
