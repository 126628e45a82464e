// Keyword filters: the list of filters that make news hot, the file
// "Varnoke.filter" it is kept in, and the matching of an item against it.
// Each filter is a line of keywords with an alert sound and an effect. The
// editor window lives with the ticker's widgets; this core has no GUI.
#pragma once

#include "model/FixedText.h"
#include "platform/Status.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct NewsList;

// The name of the sound or effect that stands for none at all.
constexpr std::string_view kFilterNone = "None";
constexpr uint32_t kFirstFilterID = 100;

// One filter, in a doubly linked chain in file order.
struct FilterList {
    FixedText<128> keyword;           // UTF-8 keywords as typed, single-space separated
    FixedText<32> sound;              // alert sound name, or "None"
    FixedText<32> effect;             // effect name, or "None"
    uint32_t fid = 0;                 // from kFirstFilterID up, one per record made
    std::vector<std::string> keywords; // `keyword` split at every single space
    FilterList* next = nullptr;       // owned by the chain
    FilterList* prev = nullptr;
};

/* ---- Effects ---- */

// The effect menu's names, "None" first.
constexpr std::string_view kFilterEffectNames[] = {"None", "Flash", "Twinkle", "Blink", "Sparkle", "Rising", "Growl"};

// How a hot item is announced, by its stored effect name.
enum class HotNewsRoute {
    kSoundOnly,    // no effect ("None", stored empty): its sound alone
    kNotification, // "Growl": the desktop's notification service
    kTicker,       // any other name: a ticker entry with that effect
};
HotNewsRoute GetHotNewsRoute(std::string_view effect);

// The ticker's animation for an effect name: "Twinkle" 2, "Blink" 3,
// "Sparkle" 4, "Rising" 5; any other name the flash, 1.
enum TickerEffect : int32_t {
    kTickerEffectFlash = 1,
    kTickerEffectTwinkle = 2,
    kTickerEffectBlink = 3,
    kTickerEffectSparkle = 4,
    kTickerEffectRising = 5,
};
TickerEffect GetTickerEffectByName(std::string_view effect);

/* ---- The filter list ---- */

// Loads the filter file into the run's list (replacing any list held);
// called once at start.
void InitNewsFilter();
// The run's list (null when empty); the editor edits it in place.
FilterList* GetNewsFilterList();
// Replaces the run's list, freeing the old one; the list is taken over.
void SetNewsFilterList(FilterList* list);
// Takes `list`, the run's list after an Add or Delete that may have moved
// its head, as the run's list; frees nothing.
void SetNewsFilterListHead(FilterList* list);

// Appends a copy of `data` (its keyword array made from `keyword`) with a new
// `fid`, written back into `data`, after `prev` (null: at the end). Returns
// the new head.
FilterList* AddFilterList(FilterList* list, FilterList* prev, FilterList& data);
// Unlinks and frees `filter`; returns the new head.
FilterList* DeleteFilterList(FilterList* list, FilterList* filter);
void DisposeFilterList(FilterList* list);
FilterList* FindFilterListByID(FilterList* list, uint32_t fid);
// The whole keyword text, compared ignoring case.
FilterList* FindFilterListByKeyword(FilterList* list, std::string_view text);
// Sets the keyword text and remakes the keyword array.
void SetFilterKeyword(FilterList& filter, std::string_view text);

/* ---- The filter file ---- */

// "Varnoke.filter" in the preferences folder.
std::filesystem::path GetFilterFile();

// The filters of a filter file's bytes, in order. A line is keyword, tab,
// sound, tab, effect, line feed (a CR before it is dropped), each field cut
// to 127, 31 and 31 bytes on a character boundary. Skipped: a line with
// fewer or more fields, an empty keyword, a line longer than 195 bytes with
// its line feed (no saved filter is), and a last line without its line feed.
FilterList* ReadFilterList(std::string_view data);
// The file's bytes for `list`: "%s\t%s\t%s\n" per filter.
std::string WriteFilterList(const FilterList* list);

// Reads the filter file; a missing file is created empty and gives an
// empty list (null).
FilterList* LoadFilterList();
// Rewrites the filter file (atomically) from `list`; no filters at all
// delete it. Returns kNoErr or the file's status.
OSStatus SaveFilterList(const FilterList* list);

/* ---- Matching ---- */

// True when every keyword occurs in `content`, ignoring case (Unicode case
// folding). False for no keywords; an empty keyword is never found.
bool IsAllKeywordsInString(std::string_view content, const std::vector<std::string>& keywords);

// What a matching filter gives: its sound and effect, each empty for "None".
struct NewsFilterMatch {
    std::string sound;
    std::string effect;
};

// The first filter, in file order, whose keyword text equals the
// subscription `name` byte for byte; else the first whose keywords all
// occur in the item's UTF-8 headline; else in its UTF-8 description.
// Null when none matches. Whether the item is read is the caller's test.
std::optional<NewsFilterMatch> IsMatchedNewsFilter(const NewsList& news, std::string_view name);
