// Character references in feed text: the named-entity table, the decoders
// for byte texts and for UTF-8 byte texts that the parsers run in place, and
// the decoders that resolve numeric references in finished UTF-8 strings.
// Markup and line ends are TextTools.h's; encodings are TextEncoding.h's.
#pragma once

#include "feeds/TextBuffer.h"
#include "platform/Encodings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/* ---- The named-entity table ---- */

// One row of HTMLSpecial:
//   value   the byte that replaces the reference (an ISO 8859-1 code)
//   symbol  the entity name and its ";", without the leading "&"
struct HTMLSpecialRow {
    uint8_t value;
    char symbol[10];
};

// 101 rows, in the order lookups try them (seven everyday names, then the
// Latin-1 names from 0xA1 to 0xFF without "sect;"), ended by a row whose
// symbol is empty.
constexpr size_t kHTMLSpecialRows = 102;
extern const std::array<HTMLSpecialRow, kHTMLSpecialRows> HTMLSpecial;

// Looks up the entity name starting at `name` (just after the "&"): the
// first row whose whole symbol, ";" included, begins `name`. Returns its
// value and sets `length` to the symbol's length; returns 0 (and leaves
// `length`) when no row matches. Cost: a scan of the table.
uint8_t HTMLSpecialChar(std::string_view name, size_t& length);

/* ---- Byte texts, in place ---- */
// Each is one forward pass over the text; the decoders copy the text from its
// first "&" into one work buffer on the stack and decode it back, and no
// transform allocates.
//
// A numeric reference is "&#" and decimal digits or "&#x" and hexadecimal
// digits, ended by the ";" that directly follows the digits when there is
// one; text after an unterminated reference is kept.

// Decodes references in a text of a single-byte or legacy encoding:
// numeric references from 32 to 255 become that byte; a name of HTMLSpecial
// becomes its row's byte; the other HTML 4 names become their ISO 8859-1
// byte ("&sect;") or, beyond Latin-1, a numeric reference that the string
// decoders below resolve ("&mdash;" becomes "&#8212;"). Anything else stays.
// A rewrite that would grow the text past its capacity is not made.
void HTMLDecode(TextBuffer& text);

// The same for UTF-8 texts, writing no byte above 127: numeric references
// are decoded only from 32 to 127, and a name whose character is above 127
// becomes its numeric reference ("&copy;" becomes "&#169;", growing the text
// by at most two bytes). When that form would not fit the capacity, the
// character's UTF-8 bytes are written instead, which are never longer than
// the name, so the text always fits and no reference is lost.
void HTMLDecodeForUTF8(TextBuffer& text);

// HTMLDecodeForUTF8 for UTF-8 texts, HTMLDecode for any other encoding.
void HTMLBetterDecode(TextBuffer& text, CFStringEncoding encoding);

// `text` assigned `source` (a text outside its buffer) and given
// HTMLBetterDecode, in one pass that does not copy the source first.
void HTMLBetterDecodeCopy(std::string_view source, TextBuffer& text, CFStringEncoding encoding);

// Every "&amp;" directly followed by "#" becomes "&", so that a doubly
// escaped numeric reference becomes a plain one ("&amp;#38;" becomes "&#38;";
// a triply escaped "&amp;amp;#38;" is left as it is).
void HTMLMultiAmpDecode(TextBuffer& text);

// Only "&lt;" becomes "<" and "&gt;" becomes ">".
void HTMLMinimumDecode(TextBuffer& text);

/* ---- UTF-8 strings ---- */
// Both take the string and give it back decoded; a null argument gives null.
// A reference whose number is no Unicode character (0, a surrogate, above
// U+10FFFF) or that has no digits stays as it is.

// Resolves the numeric references that name general punctuation and every
// character from U+2000 up, or Cyrillic to Arabic (U+0400 to U+06FF); the
// others stay, so that text already decoded to bytes is not decoded twice.
// Cost: O(n) in place.
std::optional<std::string> CFStringFixHTMLUnicode(std::optional<std::string> text);

// Resolves every numeric reference. Cost: O(n) in place.
std::optional<std::string> CFStringFixAllHTMLUnicode(std::optional<std::string> text);

// CFStringFixAllHTMLUnicode on a byte text, in place: the text only
// shrinks, so it needs no string of its own. Cost: O(n).
void FixAllHTMLUnicode(TextBuffer& text);

// The decimal number that `digits` begins with; 0 when it begins with no
// digit. Numbers past the last Unicode character read as 0x110000, so that
// no reference wraps round to another character.
uint32_t utoi(std::string_view digits);
