// History files: one small text file per feed or mail subscription, one line
// per news item, that carry the items' read, permanent, retained, downloaded
// and already-known marks from one run to the next. This file owns the line
// format, the file names and the history folder's contents; what a fresh
// parse does with a subscription's `history` list is the refresh cycle's.
#pragma once

#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Status.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// The marks a file keeps when it is written from a subscription's own
// `history` list (the feed was not parsed in this run): old, read, permanent
// and retained.
constexpr uint32_t kHistoryFlagsFromHistory = kNewsFlagOld | kNewsFlagRead | kNewsFlagPermanent | kNewsFlagRetained;
// The marks kept when written from the global news list: the same plus
// downloaded. No history file holds any other bit.
constexpr uint32_t kHistoryFlagsFromNews = kHistoryFlagsFromHistory | kNewsFlagDownloaded;

// File names are cut to this many bytes, on a UTF-8 character boundary.
constexpr size_t kHistoryFileNameBytes = 31;
// A line is read in pieces of at most this many bytes; the rest of a longer
// line is read as a line of its own.
constexpr size_t kHistoryLinePieceBytes = 1023;

/* ---- Locations ---- */

// The history folder (made when missing). It holds history files only.
std::filesystem::path GetHistoryFolder();

// The file name of a subscription's history: its name with ':' and '/' made
// '-', cut to kHistoryFileNameBytes without splitting a character. A nameless
// subscription uses "-". Subscriptions whose names map alike share one file.
std::string MakeHistoryFileName(std::string_view subscriptionName);

// The history file of the subscription named `name`, in the history folder.
std::filesystem::path GetHistoryFile(std::string_view name);

/* ---- Whole-folder entry points ---- */

// Writes the history file of every feed and mail subscription of the tree
// `list` (members of groups included, search feeds too) into the history
// folder, each replaced atomically: from the subscription's own `history`
// list, masked with kHistoryFlagsFromHistory, while it has one and has not
// been parsed in this run; otherwise from the global list `news`, masked with
// kHistoryFlagsFromNews. A file that already holds what would be written is
// not rewritten; files that could not be read at the last load are left
// alone. A failure does not stop the other files; the first failure is
// returned, kNoErr when every file was written or already up to date.
// Cost: one walk of `news`, and per subscription a size check, a read when
// the size is unchanged, and a replace (two disk flushes) when it changed.
OSStatus SaveHistoryToFiles(const SubscriptionList* list, const NewsList* news);
OSStatus SaveHistoryToFiles(const SubscriptionList* list, const NewsList* news, const std::filesystem::path& folder);

// Sets `history` of every feed and mail subscription of the tree that has a
// history file with items; a missing or empty file leaves it null, and so
// does a subscription that already has a `history` (it may be the global
// list). The lists read belong to the caller (the refresh cycle disposes of
// each at its feed's first parse). A file that exists but cannot be read is
// remembered, so that no save or delete of this run replaces it.
void LoadHistoryFromFiles(SubscriptionList* tree);
void LoadHistoryFromFiles(SubscriptionList* tree, const std::filesystem::path& folder);

// Deletes every history file: each file in the history folder (never a
// folder, never anything outside it), except those that could not be read at
// the last load. Returns the first failure, kNoErr otherwise (also when the
// folder does not exist).
OSStatus DeleteHistoryFiles();
OSStatus DeleteHistoryFiles(const std::filesystem::path& folder);

// Deletes the history files that no feed or mail subscription of the tree
// names (those of removed or renamed subscriptions). Run after a successful
// SaveHistoryToFiles, it tidies the folder as deleting everything first
// would, without a moment in which the history exists nowhere.
OSStatus DeleteUnusedHistoryFiles(const SubscriptionList* tree);
OSStatus DeleteUnusedHistoryFiles(const SubscriptionList* tree, const std::filesystem::path& folder);

/* ---- The lines ---- */

// Appends one line per item of `list`, flags masked with
// kHistoryFlagsFromHistory. A TAB, CR or LF inside a text is written as a
// space, so that no text can end its field or its line early.
void WriteHistory(std::string& data, const NewsList* list);

// Appends the lines of the items of the global list `list` whose `parent` is
// exactly `subscription`, flags masked with kHistoryFlagsFromNews. O(n).
void WriteHistoryBySubscription(std::string& data, const NewsList* list, const SubscriptionList* subscription);

// The items of a history file's bytes, in file order, each with a fresh
// `nid` and no `parent`; null when there are none. A damaged line (a number
// that is missing or not decimal, a missing text field, a type other than
// feed or link-only) is skipped with a diagnostic. O(n).
NewsList* ReadHistory(std::string_view data);

// Prints the list on standard output, for diagnosis.
void DumpHistory(const NewsList* list, std::string_view name);
