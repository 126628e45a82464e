// URL helpers of the refresh cycle and the parsers (redirects, the folder of
// a feed, image enclosures) and the two tests that tell whether a parsed
// item is one already known.
#pragma once

#include "feeds/TextBuffer.h"
#include "platform/Status.h"

#include <cstdint>
#include <string_view>

struct NewsList;

// Applies the redirect target `moved` to `url` in place:
// - a target with a scheme ("http://...", "https://...") replaces the URL,
//   and one beginning "//" keeps the URL's scheme;
// - a target beginning with "/" replaces the URL's path (everything from the
//   first "/" after the host);
// - any other target is relative and replaces what follows the URL's last
//   "/" (a URL with no path gets one; a URL with no "/" is replaced whole).
// Returns kNoErr, or kParamErr with `url` unchanged for an empty target or a
// result longer than the buffer's capacity (a cut URL would name another page).
OSStatus RedirectURL(TextBuffer& url, std::string_view moved);

// Cuts the URL after its last "/" (".../a/b.xml" becomes ".../a/"); a URL
// without "/" is unchanged.
void DeleteLastComponentURL(TextBuffer& url);

// Exact, case-sensitive suffix test; a suffix longer than the text is false.
bool StringHasSuffix(std::string_view text, std::string_view suffix);

// True when the URL ends in ".jpg", ".jpeg", ".png" or ".gif", each in all
// lower or all upper case.
bool IsImageURL(std::string_view url);

// True when both the item's link and `link` are non-empty and byte-equal.
bool IsSameLinkNews(const NewsList& news, std::string_view link);

// True when the item has no date of its own (kDateFlagNoDate) or its time
// equals `dateTime`.
bool IsSameDateNews(const NewsList& news, uint32_t dateTime);
