// Keyword filters: the filter file's line rules, saving and loading it in
// the preferences folder, keyword matching over Unicode text, which filter
// wins, and what each effect name does.
#include "ticker/Filters.h"

#include "model/NewsList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

// A private preferences folder for one test.
class ScratchPreferences {
public:
    ScratchPreferences()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "varnoke-ticker-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            old_ = old;
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }
    ~ScratchPreferences()
    {
        if (old_)
            setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code error;
        std::filesystem::remove_all(root_, error);
    }
    ScratchPreferences(const ScratchPreferences&) = delete;
    ScratchPreferences& operator=(const ScratchPreferences&) = delete;

private:
    std::filesystem::path root_;
    std::optional<std::string> old_;
};

std::string Describe(const FilterList* list)
{
    std::string out;
    for (const FilterList* filter = list; filter; filter = filter->next)
        out += "[" + filter->keyword.str() + "|" + filter->sound.str() + "|" + filter->effect.str() + "]";
    return out;
}

NewsList MakeNews(const char* headline, const char* description)
{
    NewsList news;
    if (headline)
        news.headlineRef = headline;
    if (description)
        news.descriptionRef = description;
    return news;
}

class FiltersTest : public ::testing::Test {
protected:
    void TearDown() override { SetNewsFilterList(nullptr); }
};

} // namespace

// Joins texts; the compiler's overflow check misfires on chains of + here.
static std::string Concat(std::initializer_list<std::string_view> parts)
{
    std::string joined;
    for (std::string_view part : parts)
        joined.append(part);
    return joined;
}

TEST_F(FiltersTest, FileLinesBecomeFiltersOnlyWhenWhole)
{
    struct Case {
        std::string file;
        std::string expected;
    };
    const Case cases[] = {
        {"apple mac\tGlass\tTwinkle\nstorm\tNone\tNone\n", "[apple mac|Glass|Twinkle][storm|None|None]"},
        {"no line end\tGlass\tBlink", ""},                   // a last line without its line feed
        {"two fields\tGlass\nok\ta\tb\n", "[ok|a|b]"},         // a line with fewer fields
        {"\tGlass\tBlink\n", ""},                              // no keyword text
        {"dos\tGlass\tBlink\r\n", "[dos|Glass|Blink]"},        // CR LF line ends
        {"x\ty\tz\textra\n", ""},
        {"\n\nkeep\t\tRising\n", "[keep||Rising]"},
        {Concat({std::string(200, 'k'), "\ta\tb\nafter\ta\tb\n"}), "[after|a|b]"}, // over-long line skipped whole
        {Concat({std::string(130, 'k'), "\t", std::string(40, 's'), "\tFlash\n"}),
         Concat({"[", std::string(127, 'k'), "|", std::string(31, 's'), "|Flash]"})},
    };
    for (const Case& c : cases) {
        FilterList* list = ReadFilterList(c.file);
        EXPECT_EQ(Describe(list), c.expected) << testing::PrintToString(c.file);
        DisposeFilterList(list);
    }
}

TEST_F(FiltersTest, KeywordTextIsCutOnACharacterBoundary)
{
    // 126 ASCII bytes and a two-byte character: 128 bytes, one too many.
    std::string keyword = Concat({std::string(126, 'a'), "\xC3\xA9"});
    FilterList* list = ReadFilterList(keyword + "\tNone\tNone\n");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->keyword.view(), std::string(126, 'a'));
    DisposeFilterList(list);
}

TEST_F(FiltersTest, SaveAndLoadKeepTheListAndAnEmptyListDeletesTheFile)
{
    ScratchPreferences preferences;
    EXPECT_EQ(LoadFilterList(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(GetFilterFile())); // created empty
    EXPECT_EQ(std::filesystem::file_size(GetFilterFile()), 0u);

    FilterList* list = ReadFilterList("apple mac\tGlass\tTwinkle\n\xC3\xA9t\xC3\xA9\tNone\tGrowl\n");
    FilterList extra;
    SetFilterKeyword(extra, "tab\tin text");
    extra.sound = "None";
    extra.effect = "None";
    list = AddFilterList(list, nullptr, extra);
    ASSERT_EQ(SaveFilterList(list), kNoErr);
    std::ifstream file(GetFilterFile(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}),
              "apple mac\tGlass\tTwinkle\n\xC3\xA9t\xC3\xA9\tNone\tGrowl\ntab in text\tNone\tNone\n");

    FilterList* loaded = LoadFilterList();
    EXPECT_EQ(Describe(loaded), "[apple mac|Glass|Twinkle][\xC3\xA9t\xC3\xA9|None|Growl][tab in text|None|None]");

    // Removing every filter and saving removes the file.
    while (loaded)
        loaded = DeleteFilterList(loaded, loaded);
    ASSERT_EQ(SaveFilterList(loaded), kNoErr);
    EXPECT_FALSE(std::filesystem::exists(GetFilterFile()));
    DisposeFilterList(list);
}

TEST_F(FiltersTest, ListOperationsKeepLinksAndIdentifiers)
{
    FilterList* list = ReadFilterList("a\tNone\tNone\nb\tNone\tNone\nc\tNone\tNone\n");
    ASSERT_NE(list, nullptr);
    const uint32_t first = list->fid;
    EXPECT_GE(first, kFirstFilterID);
    EXPECT_EQ(list->next->fid, first + 1);

    FilterList data;
    SetFilterKeyword(data, "after a");
    list = AddFilterList(list, list, data);
    EXPECT_EQ(data.fid, first + 3);
    EXPECT_EQ(Describe(list), "[a|None|None][after a||][b|None|None][c|None|None]");
    EXPECT_EQ(FindFilterListByID(list, data.fid)->keywords, (std::vector<std::string>{"after", "a"}));

    list = DeleteFilterList(list, FindFilterListByID(list, first + 2)); // "c", the tail
    list = DeleteFilterList(list, list);                                // "a", the head
    EXPECT_EQ(Describe(list), "[after a||][b|None|None]");
    EXPECT_EQ(list->prev, nullptr);
    EXPECT_EQ(list->next->prev, list);

    EXPECT_EQ(FindFilterListByKeyword(list, "AFTER A"), list);
    EXPECT_EQ(FindFilterListByKeyword(list, "after"), nullptr);
    DisposeFilterList(list);
}

TEST_F(FiltersTest, AllKeywordsMustOccurIgnoringCase)
{
    struct Case {
        const char* content;
        const char* keywords;
        bool matched;
    };
    const Case cases[] = {
        {"New MAC from Apple", "apple mac", true},
        {"apple pie", "apple mac", false},
        {"\xC3\x89T\xC3\x89 IN PARIS", "\xC3\xA9t\xC3\xA9", true},          // ÉTÉ / été
        {"\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90", // МОСКВА / москва
         "\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", true},
        {"apple  mac", "apple  mac", false},                              // two spaces: an empty keyword
        {"", "apple", false},
    };
    for (const Case& c : cases) {
        FilterList filter;
        SetFilterKeyword(filter, c.keywords);
        EXPECT_EQ(IsAllKeywordsInString(c.content, filter.keywords), c.matched) << c.content << " / " << c.keywords;
    }
    EXPECT_FALSE(IsAllKeywordsInString("anything", {}));
}

TEST_F(FiltersTest, TheFirstFilterWinsNameBeforeHeadlineBeforeDescription)
{
    SetNewsFilterList(ReadFilterList("rain\tDrip\tBlink\n"
                                     "storm\tNone\tRising\n"
                                     "storm wind\tHowl\tNone\n"
                                     "Weather Feed\tBell\tGrowl\n"));
    struct Case {
        const char* headline;
        const char* description;
        const char* subscription;
        std::optional<std::pair<std::string, std::string>> expected; // sound, effect
    };
    const Case cases[] = {
        {"Anything at all", nullptr, "Weather Feed", std::pair{"Bell", "Growl"}},
        {"Rain and storm", nullptr, "Other", std::pair{"Drip", "Blink"}},   // first in file order
        {"Storm wind", nullptr, "Other", std::pair{"", "Rising"}},          // "None" is stored empty
        {"Calm", "wind and STORM", "Other", std::pair{"", "Rising"}},      // the description, failing the headline
        {"Calm", "Sunny", "Other", std::nullopt},
        {nullptr, nullptr, "weather feed", std::nullopt},                    // the name compares byte for byte
    };
    for (const Case& c : cases) {
        std::optional<NewsFilterMatch> match = IsMatchedNewsFilter(MakeNews(c.headline, c.description), c.subscription);
        ASSERT_EQ(match.has_value(), c.expected.has_value()) << (c.headline ? c.headline : "");
        if (match) {
            EXPECT_EQ(match->sound, c.expected->first);
            EXPECT_EQ(match->effect, c.expected->second);
        }
    }
}

TEST_F(FiltersTest, EffectNamesChooseHowHotNewsIsAnnounced)
{
    struct Case {
        const char* effect;
        HotNewsRoute route;
        TickerEffect tickerEffect;
    };
    const Case cases[] = {
        {"", HotNewsRoute::kSoundOnly, kTickerEffectFlash},
        {"None", HotNewsRoute::kSoundOnly, kTickerEffectFlash},
        {"Growl", HotNewsRoute::kNotification, kTickerEffectFlash},
        {"Twinkle", HotNewsRoute::kTicker, kTickerEffectTwinkle},
        {"Blink", HotNewsRoute::kTicker, kTickerEffectBlink},
        {"Sparkle", HotNewsRoute::kTicker, kTickerEffectSparkle},
        {"Rising", HotNewsRoute::kTicker, kTickerEffectRising},
        {"Flash", HotNewsRoute::kTicker, kTickerEffectFlash},
        {"Wobble", HotNewsRoute::kTicker, kTickerEffectFlash},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetHotNewsRoute(c.effect), c.route) << c.effect;
        EXPECT_EQ(GetTickerEffectByName(c.effect), c.tickerEffect) << c.effect;
    }
    EXPECT_EQ(kFilterEffectNames[0], kFilterNone);
}
