// Telling downloaded documents apart: an OPML subscription list, an Atom
// feed, an RSS or RDF feed, or none of these; the title of an OPML list; the
// results every feed parser returns; and the preparation of a document's
// bytes before any parser reads them. The parsers are RssParser.h's and
// AtomParser.h's; reading an OPML list's feeds belongs to the importer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/* ---- Parser results ---- */
// A parser returns the number of items registered as new (0 or more), or
// one of these.

constexpr int32_t kFeedNotRecognizedErr = -1; // not a feed of the parser's kind, or no channel
constexpr int32_t kFeedNoItemsErr = -2;       // a feed without any item; its channel was read
constexpr int32_t kFeedRestrictedErr = -4;    // a protected or restricted site

// The channel title that an administrator's site serves instead of a feed.
constexpr std::string_view kSiteProtectedName = "--- Site Protected ---";

/* ---- Preparing a document ---- */

// A document in UTF-16 or UTF-32 (a byte-order mark, or "<?" written in one
// of those forms) is converted to UTF-8 in place, so that the string
// searches of the parsers can read it; its declared encoding then names a
// Unicode form, which reads as UTF-8. Must run before RepairNullChars, which
// would turn such a document's zero bytes into spaces. True when converted;
// a document that cannot be converted is left as it is.
bool ConvertUnicodeDocument(std::string& data);

// Where a document's first markup begins: after a UTF-8 byte-order mark and
// any white space (space, tab, CR, LF).
size_t SkipDocumentLead(std::string_view data);

/* ---- Recognisers ---- */
// Atom and OPML are known by the document's root element, the first element
// after the XML declaration, comments, processing instructions and the
// document type, so that a feed that merely quotes "<feed " or "<opml>" in
// an item is never taken for one. Cost: a look at the document's head, plus
// for RSS a search of the whole document when it has no XML declaration.

// The root element is "opml", whatever its version.
bool IsOpmlFeeds(std::string_view data);

// The root element is "feed" and its start tag declares the Atom 1.0
// namespace, or the Atom 0.3 namespace with version="0.3".
bool IsAtomFeed(std::string_view data);

// What the RSS parser accepts: a document that begins with "<?xm", or holds
// "<rss" or the RSS 1.0 namespace declaration, and has a ">" after that.
bool IsRSSFeed(std::string_view data);

enum class FeedKind {
    kOpml,    // a subscription list: its feeds are subscribed, it is not parsed
    kAtom,    // ParseAtomNews
    kRss,     // ParseRSSNews
    kUnknown, // none of these; ParseRSSNews turns it away with kFeedNotRecognizedErr
};

enum class DocumentSource {
    kNetwork, // just downloaded: may be an OPML list
    kCache,   // a feed's cached copy: never taken for an OPML list
};

// The kind in the refresh cycle's order: OPML (network documents only),
// then Atom, then RSS.
FeedKind GetFeedKind(std::string_view data, DocumentSource source);

/* ---- OPML ---- */

// The OPML list's title as UTF-8 of at most 63 bytes: the first "<title>"
// after the encoding declaration, up to its line end or "</title>", with its
// references resolved and converted from the declared encoding. Empty when
// the document has no ">" or no complete title.
std::string ParseOpmlTitle(std::string_view data);
