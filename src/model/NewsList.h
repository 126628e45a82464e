// News items and the global news list: one singly linked chain of heap items
// through `next`, each pointing to the subscription it came from. This file
// owns the item record, its flags, its identifiers and the list, search,
// count, mark, keyword, membership and expiry operations. Per-subscription
// views are computed by walking the whole list with a condition.
#pragma once

#include "model/FixedText.h"
#include "model/SubscriptionList.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// ---- Value sets ----

enum NewsType : uint32_t {
    kNewsTypeFeed = 1,     // every item the parsers make
    kNewsTypeLinkOnly = 2, // known by its link alone (history files only)
};

// `flags`. They only grow during a run, except that the user may clear
// permanent and retained.
constexpr uint32_t kNewsFlagOld = 0x001;            // known before the check that produced it
constexpr uint32_t kNewsFlagRead = 0x002;
constexpr uint32_t kNewsFlagHot = 0x004;            // matched a keyword filter or marked hot
constexpr uint32_t kNewsFlagHotByKey = 0x008;       // marked hot by the user (with kNewsFlagHot)
constexpr uint32_t kNewsFlagPermanent = 0x010;      // kept across runs in the permanents file
constexpr uint32_t kNewsFlagRetained = 0x020;       // kept across runs in the retains file
constexpr uint32_t kNewsFlagDistributed = 0x100;    // handed to mail or web distribution
constexpr uint32_t kNewsFlagDownloadQueued = 0x200; // enclosure handed to the download agent
constexpr uint32_t kNewsFlagDownloaded = 0x400;     // the download agent reported it done

// `dateFlags`: how `dateTime` was obtained (0: full date and time).
constexpr uint32_t kDateFlagDateOnly = 0x1; // only the day could be read
constexpr uint32_t kDateFlagNoDate = 0x2;   // no usable date: `dateTime` is when the item was read

constexpr uint32_t kFirstNewsID = 100;

// ---- The item ----

// The one block a record may lay all its texts out in (SetNewsTexts). A
// copied record gets blocks of its own, so a copy of the store is empty; a
// moved record takes the store along with the fields that borrow from it.
class NewsTextStore {
public:
    NewsTextStore() = default;
    NewsTextStore(const NewsTextStore&) {}
    NewsTextStore& operator=(const NewsTextStore& other)
    {
        // The fields were copied into blocks of their own first; a record
        // copied onto itself keeps what its fields still borrow.
        if (this != &other)
            buffer_.reset();
        return *this;
    }
    NewsTextStore(NewsTextStore&&) noexcept = default;
    NewsTextStore& operator=(NewsTextStore&&) noexcept = default;

    char* Replace(size_t bytes);

private:
    std::unique_ptr<char[]> buffer_;
};

// Text fields are in the encoding named by `encodingName`. A new record is
// all zeros, its type unset until the caller gives one.
struct NewsList {
    // What every walk of the list reads comes first, in one cache line, so
    // that counting and marking touch one line per item, not three.
    NewsList* next = nullptr;           // owned by the list
    SubscriptionList* parent = nullptr; // not owned
    NewsType type{};
    uint32_t flags = 0;
    uint32_t nid = 0;             // unique in the run, from kFirstNewsID up
    uint32_t dateTime = 0;        // seconds since 1904, local time
    uint32_t dateFlags = 0;
    uint32_t encoding = 0;        // text encoding number of the text fields
    OptionalText headlineRef;     // the headline in UTF-8; may be absent
    OptionalText descriptionRef;  // the description in UTF-8; may be absent
    FixedText<64> date;           // the date text as the feed gave it
    FixedText<256> headline;
    FixedText<8192> description;  // HTML
    FixedText<256> linkURL;
    FixedText<64> author;
    FixedText<256> objectURL;     // enclosure; empty when none
    FixedText<64> encodingName;   // the feed's character encoding
    FixedText<32> sound;          // alert sound from a keyword filter
    FixedText<32> effect;         // ticker effect from a keyword filter
    FixedText<64> subject;        // category
    FixedText<128> publisher;     // source
    // Declared last so that the fields are copied, and let go of what they
    // borrow, before the store is replaced.
    NewsTextStore textStore;      // the texts' common block, when SetNewsTexts made one

    // Records come from the list's own blocks, side by side in allocation
    // order, so that a walk streams through memory (see NewsList.cpp).
    static void* operator new(size_t size);
    static void operator delete(void* record, size_t size);
};

// Every text of an item at once, for SetNewsTexts.
struct NewsTextFields {
    std::string_view date;
    std::string_view headline;
    std::string_view description;
    std::string_view linkURL;
    std::string_view author;
    std::string_view objectURL;
    std::string_view encodingName;
    std::string_view sound;
    std::string_view effect;
    std::string_view subject;
    std::string_view publisher;
    std::optional<std::string_view> headlineRef;    // absent when null
    std::optional<std::string_view> descriptionRef; // absent when null
};

// Gives every text field of `news` its text from `texts`, cut to the field's
// width as an assignment would, all laid out in one block the record owns:
// one allocation instead of one a text, and one free when the record goes.
// The texts may be views of the record's own current texts. A field
// assigned afterwards gets a block of its own as usual.
void SetNewsTexts(NewsList& news, const NewsTextFields& texts);

// ---- List operations ----

// Creates an item from `newsTemplate` with the next identifier and appends it
// to `list`; the new `nid` is written back into the template. Returns the new
// head: the item itself when `list` is null.
// O(n): walks to the tail, so build a subscription's items in their own
// chain and append that chain to the global list once.
NewsList* AddNewsList(NewsList* list, NewsList& newsTemplate);

// The same for a template its caller is done with: its texts are moved into
// the new item, not copied, and are left empty; its other fields stay, and
// it receives the new `nid` as above. Saves an allocation and a copy a text.
NewsList* AddNewsList(NewsList* list, NewsList&& newsTemplate);

// Links the chain `items` after the last item of `list`; returns `items` when
// `list` is null. A chain that already shares an item with `list` is refused
// with a diagnostic (it would close the list into a loop). O(n + m).
NewsList* AppendNewsList(NewsList* list, NewsList* items);

// Moves each item of `items`, in order, to the end of `list` unless `list`
// (including the items already moved) holds one with the same contents
// (FindNewsByContents); such a duplicate is freed. When `list` is null,
// `items` is returned as it is, unchecked against itself. Returns the head.
// O(n + m) with a transient index of the contents.
NewsList* MergeNewsList(NewsList* list, NewsList* items);

// Frees every item with its texts. Iterative: any length is safe.
void DisposeNewsList(NewsList* list);

// Removes and frees every item whose `parent` is exactly `subscription` (a
// group's members are not affected), keeping the others' order. Returns the
// new head. O(n).
NewsList* RemoveNewsByParent(NewsList* list, const SubscriptionList* subscription);

// ---- Searches ----
// The first hit in list order, or null. O(n).

NewsList* FindNewsByID(NewsList* list, uint32_t nid);
// Same `parent` and byte-equal `headline` and `linkURL`.
NewsList* FindNewsByContents(NewsList* list, const NewsList& item);
// A non-empty `objectURL` byte-equal to `url`.
NewsList* FindNewsByEnclosure(NewsList* list, std::string_view url);
// The `encodingName` of the first item in `subscription` (IsInSubscription).
std::optional<std::string> GetNewsEncodingBySubscription(const NewsList* list, const SubscriptionList* subscription);

// ---- Counts ----
// Each walks the whole list, O(n). An item is in S when
// IsInSubscription(item.parent, S) holds.

uint32_t CountNews(const NewsList* list);
uint32_t CountUnreadNews(const NewsList* list);
uint32_t CountPermedNews(const NewsList* list);
uint32_t CountUnpermedNews(const NewsList* list);
uint32_t CountRetainedNews(const NewsList* list);
uint32_t CountHotNews(const NewsList* list);
uint32_t CountUnreadHotNews(const NewsList* list);
uint32_t CountNewsBySubscription(const NewsList* list, const SubscriptionList* subscription);
uint32_t CountUnreadNewsBySubscription(const NewsList* list, const SubscriptionList* subscription);
uint32_t CountUnpermNewsBySubscription(const NewsList* list, const SubscriptionList* subscription);
uint32_t CountPermedNewsBySubscription(const NewsList* list, const SubscriptionList* subscription);
// Unread items matching `keywords`, one string split at every single space.
uint32_t CountUnreadNewsByKeyword(const NewsList* list, std::string_view keywords);

// ---- Marks ----
// Each walks the whole list, O(n).

void MarkAllNews(NewsList* list, uint32_t bits);
void MarkAllNewsBySubscription(NewsList* list, uint32_t bits, const SubscriptionList* subscription);
void MarkAllHotNews(NewsList* list, uint32_t bits);
// Marks every item in `subscription` read, and retained as well when the
// item's own subscription has kOptionRetainRead. True when any item was
// marked retained, so that the caller saves the retains file.
bool ReadAllNewsBySubscription(NewsList* list, const SubscriptionList* subscription);
// The same for every hot item.
bool ReadAllHotNews(NewsList* list);

// ---- Keywords, membership, expiry ----

// Splits at every single space: two spaces in a row give an empty keyword,
// which matches nothing. The views point into `keywords`.
std::vector<std::string_view> SplitNewsKeywords(std::string_view keywords);

// True when a keyword occurs in the item's `headlineRef` or, failing that, in
// its `descriptionRef`, ignoring case. No keywords, or an item with neither
// text, match nothing.
bool IsMatchedKeywordNews(const NewsList* item, std::span<const std::string_view> keywords);

// Whether `item` belongs to what `node` shows: its own subscription, a group
// of that subscription, the hot list for a hot item, the permanent list for a
// permanent item, or a keyword pseudo-subscription whose keywords it matches.
bool IsConditionalNews(const NewsList* item, const SubscriptionList* node);

// Whether the headline list leaves out a read item because it is older than
// its subscription's `termDays`: expired when its time plus the term is
// strictly before `nowMinutes` (seconds since 1904 divided by 60). Unread
// items, items of a subscription whose term is 0 (forever), and terms that
// make no sense (negative, not a number) never expire.
bool IsExpiredNews(const NewsList* item, uint32_t nowMinutes);
