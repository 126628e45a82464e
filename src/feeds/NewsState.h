// The news state merge: deciding, for each item a parser extracts, whether it
// is new, known from the previous run (its read and hot state carried over)
// or already in the global list; registering it, marking it hot by the
// keyword filters and announcing it; and the once-per-feed favicon search.
// The headline index that keeps the comparison fast lives here too; the
// owner of the global list keeps it in step through the Indexed* functions.
#pragma once

#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Encodings.h"
#include "platform/Status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/* ---- The headline index ---- */

// An index of one news list by headline, kept beside the list by its owner.
// It answers "which records have this headline, in list order", so that the
// comparison below gives exactly the first match a walk of the list would,
// without walking it. It holds pointers to the records: every record that
// leaves the list must leave the index before it is freed (NoteRemoved,
// RemoveIndexedNewsByParent, or Rebuild after any other removal), and
// records are only ever added at the list's tail. A headline changed on an
// indexed record needs a Rebuild.
class NewsStateIndex {
public:
    // Indexes the whole list from scratch. O(n).
    void Rebuild(NewsList* list);
    // Indexes the chain `items`, just linked at the tail of the list whose
    // head is now `list`. O(m); an index that did not describe the list
    // before the append is rebuilt, O(n).
    void NoteAppended(NewsList* list, NewsList* items);
    // Forgets `item`, just unlinked and not yet freed; `list` is the head
    // after the removal. O(records with the same headline), or O(n) when
    // `item` was the tail.
    void NoteRemoved(NewsList* list, const NewsList* item);
    // Forgets everything; the index then serves no list.
    void Clear();

    // Whether this index describes the list whose head is `list`. A tail
    // that has gained a successor the index was not told of makes it
    // decline, so that an append done behind its back costs a walk, not a
    // wrong answer. A null list is never indexed.
    bool IsIndexing(const NewsList* list) const;
    // The records whose headline hashes like `headline`, in list order
    // (callers compare the headline bytes themselves); empty when none.
    std::span<NewsList* const> FindNewsByHeadline(std::string_view headline) const;
    size_t size() const { return count_; }
    // The last record indexed (the list's tail while IsIndexing holds).
    NewsList* Tail() const { return tail_; }

private:
    friend NewsList* AppendIndexedNewsList(NewsStateIndex&, NewsList*, NewsList*);
    friend NewsList* MergeIndexedNewsList(NewsStateIndex&, NewsList*, NewsList*);
    friend NewsList* RemoveIndexedNewsByParent(NewsStateIndex&, NewsList*, const SubscriptionList*);

    void Insert(NewsList* item);
    void Erase(const NewsList* item);
    void FindTail();
    void SetHead(NewsList* list);

    // The records of one headline hash in list order. Most headlines are
    // unique: their one record is held in place, without a vector of its own.
    struct Records {
        NewsList* one = nullptr;     // the only record while `more` is empty
        std::vector<NewsList*> more; // every record, once there are two
        std::span<NewsList* const> View() const;
    };

    std::unordered_map<uint64_t, Records> byHeadline_;
    NewsList* head_ = nullptr;
    NewsList* tail_ = nullptr;
    size_t count_ = 0;
};

// The index that CheckNewsState consults whenever a subscription's `history`
// is the list it indexes (the global list, once the feed has been parsed in
// this run); null to use none. Not owned. Any other list is walked.
void SetNewsStateIndex(NewsStateIndex* index);

// The global list's edits, each keeping `index` in step with the list.
// Same results as the model's functions of the same names (AppendNewsList,
// MergeNewsList, RemoveNewsByParent); O(n + m), as theirs are, plus
// indexing the m items added.
NewsList* AppendIndexedNewsList(NewsStateIndex& index, NewsList* list, NewsList* items);
NewsList* MergeIndexedNewsList(NewsStateIndex& index, NewsList* list, NewsList* items);
NewsList* RemoveIndexedNewsByParent(NewsStateIndex& index, NewsList* list, const SubscriptionList* subscription);

/* ---- Comparison and registration ---- */

// What CheckNewsState found for an item.
struct NewsState {
    NewsList* existing = nullptr; // the record already in the list, or null
    uint32_t state = 0;           // with no record: carried-over flags; 0 for a new item
    uint32_t date = 0;            // with a carried-over state: the record's `dateTime`
};

// Compares a parsed item with `subscription.history`: the first record (in
// list order) with a byte-equal headline and either the same non-empty link
// or agreeing dates (the item has no date, or the times are equal).
// - No match: a new item (state 0).
// - A match when the feed was already parsed in this run, or a permanent or
//   retained record: that record is returned, the item is already present.
// - A match from the history file: no record; state = its flags plus
//   kNewsFlagOld, date = its `dateTime`.
// Cost: O(records with that headline) with the index, else O(n).
NewsState CheckNewsState(const SubscriptionList& subscription, const NewsList& news);

enum class NewsRegistration {
    kAdded, // a new or carried-over record was appended to `subscription.news`
    kKnown, // the item is already in the list; nothing was added
};

// Registers one parsed item (headline, texts and date already set) of
// `subscription`: compares it (CheckNewsState); a new or carried-over item
// gets the document's `encodingName` and `encoding`, its UTF-8 headline and
// description strings (the description from `plainText`, the item's plain
// text in the document's encoding), type, carried-over flags and, when
// undated, its first-seen date; unread, it is matched against the keyword
// filters (hot, with their sound and effect). A copy is appended to
// `subscription.news`, and `news` receives the copy's `nid`; a hot copy is
// announced. A known, unread record that matches a filter becomes hot and
// is announced again at every parse until it is read.
// Cost: the comparison, plus O(1) to append: the chain's tail is
// remembered between the items of one parse.
NewsRegistration RegisterNewsState(SubscriptionList& subscription, NewsList& news, std::string_view encodingName,
                                   CFStringEncoding encoding, std::string_view plainText);

// The same for an item its parser is done with: when a record is appended,
// the item's texts move into it rather than being copied, and are left empty
// in `news`, which still receives the record's `nid`. A known item is left
// as it is.
NewsRegistration RegisterNewsState(SubscriptionList& subscription, NewsList&& news, std::string_view encodingName,
                                   CFStringEncoding encoding, std::string_view plainText);

/* ---- Hot news announcement ---- */

// Announces an unread item a keyword filter made hot (its `sound` and
// `effect` set, each empty for "None"). The viewer registers the real one
// (sound alone, desktop notification for "Growl", otherwise the ticker);
// with none registered, each announcement is logged as a line.
using HotNewsAnnouncer = std::function<void(NewsList& news)>;
void SetHotNewsAnnouncer(HotNewsAnnouncer announcer);
void HotNewsViewerWindow(NewsList& news);

/* ---- Favicon ---- */

// `iconURL` marker: an icon was looked for and none was found. Saved like
// any other value, so that the search is not repeated in later runs; an
// `iconURL` that does not begin with "h" means "no icon".
constexpr char kNoFaviconMarker = '\xFF';

// The answer of a header-only request: its status (0 when the server said
// 200) and the media type of its Content-Type header, empty when none.
struct FaviconCheck {
    OSStatus status = kGenericErr;
    std::string contentType;
};
using FaviconChecker = std::function<FaviconCheck(std::string_view url)>;

// The two halves of the search, for a caller that waits for the check in
// its own way: the refresh cycle's task awaits HttpSimpleCheck(url,
// &check.contentType) into check.status between them.
// - the URL to check, "favicon.ico" in the folder of `homeURL` ("…/news/"
//   for "…/news/index.html"); null when there is nothing to search (an
//   `iconURL` already set, or no home page, which sets the marker);
// - the check's answer stored: the URL on 200 with a content type that is
//   not "text/html" (logged "Found Channel Favicon"), the marker otherwise.
std::optional<std::string> BeginSubscriptionFavicon(SubscriptionList& subscription);
void EndSubscriptionFavicon(SubscriptionList& subscription, std::string_view url, const FaviconCheck& check);

// Both halves with a checker that answers at once (tests, tools); a missing
// checker counts as a failed check.
void SearchSubscriptionFavicon(SubscriptionList& subscription, const FaviconChecker& check);
