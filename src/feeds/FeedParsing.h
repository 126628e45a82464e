// What the RSS and Atom parsers share: searching for tags inside a range of
// the document, reading an element under the bounds rule, the encoding items
// are read in, the channel texts stored as UTF-8, and the steps that finish
// one item and register it. Private to the feeds module's .cpp files.
#pragma once

#include "feeds/Dates.h"
#include "feeds/TextBuffer.h"
#include "platform/Encodings.h"

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

struct SubscriptionList;

namespace feedparse {

constexpr size_t kNotFound = std::string_view::npos;

/* ---- Searching ---- */

// The first `needle` in `text` at or after `from`; kNotFound when none.
// Sixteen candidate places at a time are tested on the needle's first and
// last bytes, so a tag is found at close to memory speed.
size_t FindText(std::string_view text, std::string_view needle, size_t from = 0);

// The last `needle` in `text`; kNotFound when none.
size_t FindLastText(std::string_view text, std::string_view needle);

// The first `tagOpen` ("<content") at or after `from` that a tag delimiter
// follows (white space, ">" or "/"), so that "<content:encoded>" is not
// taken for "<content". kNotFound when none.
size_t FindStartTag(std::string_view text, std::string_view tagOpen, size_t from = 0);

// The ">" that ends the tag beginning at `at`, outside quoted attribute
// values; kNotFound when the text ends first.
size_t FindTagClose(std::string_view text, size_t at);

// The value of attribute `name` in a start tag's text, in double or single
// quotes; null when the tag has no such attribute or its value is not
// closed. The name must follow white space, so "url=" is not found in
// "xurl=".
std::optional<std::string_view> FindAttribute(std::string_view startTag, std::string_view name);

/* ---- Elements ---- */

enum class ElementState {
    kAbsent, // no start tag in the range
    kEmpty,  // a self-closing start tag ("<summary/>"): no text, no end tag
    kFound,  // start and end tag inside the range
    kBroken, // a start tag whose end tag (or ">") is missing from the range
};

enum class StartTagForm {
    kExact,          // the start tag is the whole literal ("<title>")
    kWithAttributes, // the literal opens the tag ("<title"), which runs to its ">"
};

struct Element {
    ElementState state = ElementState::kAbsent;
    std::string_view startTag; // the whole start tag, "<" to ">"
    std::string_view text;     // between the start tag and the end tag
};

// The first element `startTag` ... `endTag` whose start tag lies in `range`.
// Once a start tag is found, its end tag must lie inside the range too, or
// the element is broken: the bounds rule every item element follows.
Element FindElement(std::string_view range, std::string_view startTag, std::string_view endTag,
                    StartTagForm form);

// One start tag an item field may come from.
struct FieldTags {
    std::string_view startTag;
    std::string_view endTag;
    StartTagForm form = StartTagForm::kExact;
};

constexpr size_t kMaxItemTags = 16;

// An item's text and where the first start tag of each of its parser's
// tags lies in it, found in one pass over the item's "<" bytes: reading an
// element gives what FindElement would, but the item is read once, not once
// a field.
class ItemTagIndex {
public:
    // `tags` (at most kMaxItemTags) must outlive the index.
    ItemTagIndex(std::string_view item, const FieldTags* tags, size_t count);

    std::string_view Text() const { return text_; }
    // Where tags[tag] first begins; kNotFound when it does not.
    size_t First(size_t tag) const { return first_[tag]; }
    // The element of tags[tag], under the bounds rule.
    Element Read(size_t tag) const;
    // The text of the first of `tags` present (empty when none); a
    // self-closing element counts as absent. Null when the element found is
    // broken, which ends the reading.
    std::optional<std::string_view> ReadFirst(std::initializer_list<size_t> tags) const;

private:
    std::string_view text_;
    const FieldTags* tags_;
    size_t first_[kMaxItemTags];
    size_t end_[kMaxItemTags]; // the first end tag after each start tag, where the pass could tell
};

/* ---- Copy rules ---- */

// Without leading spaces, CR and LF.
std::string_view SkipLeadingBreaks(std::string_view text);
// Up to its first CR or LF.
std::string_view CutAtLineEnd(std::string_view text);
// A text that, after white space, is a CDATA section: the section's content
// (all the rest when "]]>" is missing), without its leading white space.
// Any other text as it is.
std::string_view UnwrapCDATA(std::string_view text);

// A headline's line: without leading spaces, CR and LF, up to its first CR
// or LF. A title wrapped in CDATA gives the section's first line whatever
// white space surrounds it.
std::string_view CopyHeadline(std::string_view text);

// A link's text: its CDATA content, without the white space around it, up
// to its first line break. No URL holds white space; pretty-printed feeds
// put line breaks around it.
std::string_view TrimLinkText(std::string_view text);

/* ---- The document's encoding ---- */

// The longest encoding name read from a declaration.
constexpr size_t kMaxDeclaredEncodingBytes = 63;

// The value of "encoding=" in data[0, openTagEnd), in double or single
// quotes that close inside that range, cut to 63 bytes; empty when none.
std::string ReadDeclaredEncoding(std::string_view data, size_t openTagEnd);

// The encoding a document's items are read in and stored with.
struct DocumentEncoding {
    std::string name;           // the declared name or its stand-in; never empty
    CFStringEncoding encoding;  // its encoding; the system's for an unknown name
};

// The declared name, else the subscription's own encoding name (a feed keeps
// it in `password`), else the configured default for feeds, else the
// system's.
DocumentEncoding GetDocumentEncoding(std::string_view declared, const SubscriptionList& subscription);

/* ---- RSS recognition ---- */

// The end (offset of its ">") of the opening tag of a document the RSS
// parser accepts; kNotFound for any other document.
size_t FindRSSOpeningTagEnd(std::string_view data);

/* ---- Channel texts ---- */

enum class ChannelTextRule {
    kName,        // CDATA unwrapped; CR, LF and tab dropped; ends at the first "<"
    kLine,        // CDATA unwrapped; ends at the first CR or LF
    kDescription, // CDATA unwrapped; line breaks and space runs made single spaces
};

// A channel text as the subscription stores it: copied by `rule`, converted
// from `encodingName` to UTF-8, every character reference (decimal,
// hexadecimal, named) resolved to its character once, damaged bytes
// replaced, and cut on a character boundary to `maxBytes`.
std::string MakeChannelText(std::string_view raw, ChannelTextRule rule, std::string_view encodingName,
                            size_t maxBytes);

// A URL from the document's channel: CDATA unwrapped, CR, LF and tab
// dropped, ending at the first "<", without the spaces around it, cut to 255
// bytes, then references resolved without writing any byte above 127.
std::string MakeChannelURL(std::string_view raw);

/* ---- Items ---- */

constexpr size_t kHeadlineWorkBytes = 512;
constexpr size_t kHeadlineBytes = 256;
constexpr size_t kLinkBytes = 256;
constexpr size_t kDescriptionBytes = kMaxTextBytes + 1;
constexpr size_t kDateBytes = 64;
constexpr size_t kPublisherBytes = 128;
constexpr size_t kSubjectBytes = 64;
constexpr size_t kEnclosureBytes = 256;

// One item's work texts, each of its field's width, reused from item to item.
struct ItemTexts {
    TextScratch<kHeadlineWorkBytes> headline;
    TextScratch<kLinkBytes> link;
    TextScratch<kDescriptionBytes> description;
    TextScratch<kDescriptionBytes> plain;
    TextScratch<kDateBytes> date;
    TextScratch<kPublisherBytes> publisher;
    TextScratch<kSubjectBytes> subject;
    TextScratch<kEnclosureBytes> enclosure;
    // The document's items share one, and their days' offsets.
    LocalOffsetCache offsets;

    void Clear();
};

enum class ItemOutcome {
    kAdded,   // registered as a new or carried-over record
    kKnown,   // already in the list
    kLeftOut, // a restricted link, or neither headline nor text
};

// Finishes an item whose fields were copied into `texts` (and given their
// parser's first transforms): leaves out a restricted link, cleans the
// headline and the HTML description, makes the plain text, substitutes a
// missing headline, reads the date and registers the record.
ItemOutcome RegisterFeedItem(SubscriptionList& subscription, const DocumentEncoding& document, ItemTexts& texts);

// References in an item text, in its own encoding: UTF-8 text gets no byte
// above 127 (what the byte decoder cannot write stays a numeric reference,
// which the item's strings resolve), any other text the byte decoder.
void DecodeItemText(TextBuffer& text, CFStringEncoding encoding);

} // namespace feedparse
