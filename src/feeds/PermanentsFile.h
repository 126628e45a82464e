// The permanent and retained news files: "Permanents.rdf" keeps the items the
// user marked permanent, "Retains.rdf" those retained on reading, each as a
// small RSS 0.91 document in the support folder with the feed URL of every
// item's subscription, so that the items come back under their
// subscriptions at the next start. When to save is the viewer's business.
#pragma once

#include "platform/Status.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

struct NewsList;
struct SubscriptionList;

/* ---- Locations ---- */

// <support folder>/Permanents.rdf and <support folder>/Retains.rdf; the
// support folder is created when missing.
std::filesystem::path GetPermanentRdfFile();
std::filesystem::path GetRetainRdfFile();

/* ---- Writing ---- */

// Appends to `document` one item block for each item of type kNewsTypeFeed
// in `list` whose flags hold `flag` (kNewsFlagPermanent or
// kNewsFlagRetained), in list order. Fields are stored as they are, except
// that line breaks in one-line fields become spaces and, so that no text can
// end its field or its item early, a tag the reader looks for is written
// escaped ("</item>" inside a description as "&lt;/item&gt;"). O(n).
void WritePermanentsAsRdf(std::string& document, const NewsList* list, uint32_t flag);

// Replaces the file at `path` (atomically) with the document of the items of
// `list` that are permanent, or retained. Returns PutDataToFile's status.
OSStatus SavePermanentsAsRdf(const std::filesystem::path& path, const NewsList* list);
OSStatus SaveRetainsAsRdf(const std::filesystem::path& path, const NewsList* list);

// At quit: saves the permanents file when any item is permanent, and deletes
// it otherwise (a missing file is fine). Returns the save's or the delete's status.
OSStatus SavePermanentsAtQuit(const std::filesystem::path& path, const NewsList* list);

/* ---- Reading ---- */

// Reads a permanents or retains document into a new news list, each item
// with `flag` and kNewsFlagRead, its date read as a W3C date, its UTF-8
// headline and plain-text description made in its own encoding, and its
// parent the subscription of `tree` whose accessURL is the stored feed URL
// (null when none). Returns null for text that is not such a document. A
// damaged item (a field whose end tag is missing or beyond the item's end)
// ends the reading, with a diagnostic; the items before it are kept. O(n).
NewsList* ParseRdfData(std::string_view text, SubscriptionList* tree, uint32_t flag);

// The items of the permanents file at `path`, also those whose subscription
// is gone; null when the file is missing or unreadable.
NewsList* GetPermNewsFromRdfFile(SubscriptionList* tree, const std::filesystem::path& path);

// The items of the retains file at `path` that still have a subscription.
NewsList* GetRetainNewsFromRdfFile(SubscriptionList* tree, const std::filesystem::path& path);

// The start-up list: the permanent items, then the retained items that are
// not already among them (same subscription, headline and link), merged with
// MergeNewsList. The caller owns the result (DisposeNewsList).
NewsList* GetSavedNewsFromRdfFiles(SubscriptionList* tree, const std::filesystem::path& permanentsPath,
                                   const std::filesystem::path& retainsPath);
