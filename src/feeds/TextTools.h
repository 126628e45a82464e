// The in-place text transforms the parsers apply to feed text, field by
// field: CDATA removal, markup and line-end rewriting, markup stripping and
// the headline made from a description. Each is one forward pass over a
// TextBuffer that never makes the text longer and never allocates. Which
// transforms run, in which order, is each parser's business. References are
// References.h's, encodings TextEncoding.h's.
#pragma once

#include "feeds/TextBuffer.h"

#include <string>
#include <string_view>

/* ---- Whole documents ---- */

// Every NUL byte of a downloaded document becomes a space, so that the
// string searches of the parsers see the whole document; a NUL as the very
// last byte, a C string's end, is dropped. Logs "# Illegal null char is
// found." once, with the count, when there was any. Cost: O(n).
void RepairNullChars(std::string& data);

/* ---- CDATA sections ---- */

// A text that, after leading spaces, begins with "<![CDATA[" becomes the
// section's content: up to the first "]]>", or all the rest when there is
// none. The leading spaces stay; what follows "]]>" is dropped. Any other
// text is unchanged.
void StripCDATA(TextBuffer& text);

// A text holding "<![CDATA[" anywhere becomes the contents of all its
// sections, in order, and the text outside them is dropped (a last section
// without "]]>" gives all the rest). True when the text changed; false, text
// unchanged, when it has no section.
bool StripCDATAMore(TextBuffer& text);

/* ---- Markup and line ends ---- */

// True when the text begins with HTML escaped as text: "&lt;p&gt;",
// "&lt;div ", "&lt;a href=", "&lt;center&gt;" or "&lt;font size=" (exact case).
bool IsBeginningWithEncodedTAG(std::string_view text);

// "<br>" and "<br />" become one CR, "</li>" one CR and "</p>" two CRs. Tag
// letters match in either case; the rest exactly ("<br/>" stays).
void ReplaceHTMLTagToCR(TextBuffer& text);

// "<li>" (letters in either case) becomes CR, "-", space.
void ReplaceHTMLTagToCRHyphen(TextBuffer& text);

// ReplaceHTMLTagToCRHyphen, then ReplaceHTMLTagToCR, in one pass: the same
// text, since neither makes or breaks a tag the other rewrites (what they
// write holds no "<", and "<li>" is none of the other's tags).
void ReplaceHTMLTagToCRHyphenAndCR(TextBuffer& text);

// Removes the first space after each CR.
void StripSpaceAfterCR(TextBuffer& text);

// Each CR, LF and tab becomes one space, and each run of spaces in the input
// becomes one space; the spaces made from CR, LF and tab are not merged with
// each other or with a following run.
void StripCRLFSpace(TextBuffer& text);

// StripCRLFSpace, except that a preformatted block, from "<PRE>" to the next
// "</PRE>" (either case) inclusive, is copied as it is.
void StripCRLFSpacePre(TextBuffer& text);

// Removes markup: a depth count rises at each "<" and falls at each ">",
// neither of which is kept, and any other byte is kept only while the count
// is 0 or below. The count starts at 0 and is never reset, so after a stray
// ">" the inside of the next tag is kept.
void StripHTMLTagString(TextBuffer& text);

// ReplaceHTMLTagToCRHyphenAndCR, StripHTMLTagString and StripSpaceAfterCR in
// one pass, with the same text: a rewritten tag's "<" and ">" never reach
// the depth count, what it is rewritten to is kept only where the count
// allows, and the space dropped after a CR is the first byte kept after it.
void StripHTMLToLines(TextBuffer& text);

/* ---- Headlines ---- */

// Makes a headline from a description's plain text: skips leading LF, CR and
// spaces, then copies bytes, at most 255 (and at most the headline's
// capacity): stops before a "." or "," once more than 10 are copied, before a
// space, ":" or "&" once more than 64 are copied, and after a "!" or "?"
// copied when more than 64 were. A UTF-8 character cut by the byte limit is
// left out whole.
void SubstituteHeadline(TextBuffer& headline, std::string_view description);
