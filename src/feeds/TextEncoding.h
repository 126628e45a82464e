// Feed text between encodings: item texts stay in their feed's encoding and
// become UTF-8 strings (the model's headlineRef and descriptionRef) only
// here; channel texts are converted to UTF-8 in place. The encoding table
// and iconv are the platform's (platform/Encodings.h).
#pragma once

#include "feeds/TextBuffer.h"
#include "platform/Encodings.h"
#include "platform/Status.h"

#include <optional>
#include <string>
#include <string_view>

// The encoding assumed for text whose encoding name is unknown: the
// desktop's own, UTF-8.
constexpr CFStringEncoding kSystemTextEncoding = kCFStringEncodingUTF8;

// The longest headline a headline string is made from.
constexpr size_t kMaxHeadlineStringBytes = 255;

// Makes a UTF-8 string from `bytes` in `encoding`. UTF-8 text is checked and
// each byte that does not begin a well-formed character becomes U+FFFD, so a
// damaged byte costs one character, not the whole text. Text of another
// encoding is converted by iconv; null when it cannot be read in that
// encoding or the encoding has no converter. Cost: O(n), one allocation.
std::optional<std::string> CFStringCreateWithBytes(std::string_view bytes, CFStringEncoding encoding);

// The string for a headline: its first 255 bytes (cut on a character
// boundary) in `encoding`, where for UTF-8 every U+2015 HORIZONTAL BAR
// becomes U+2212 MINUS SIGN, as ruled-line characters in headlines are
// meant. Null as CFStringCreateWithBytes.
std::optional<std::string> CFStringCreateWithKeisenFilter(std::string_view headline, CFStringEncoding encoding);

// Converts `text`, in the encoding named `encodingName` (an IANA name; every
// Unicode form counts as UTF-8), to UTF-8 in place:
// - UTF-8 text keeps its bytes, except that a character cut off at the end
//   (a field cut in the middle of a character) is removed;
// - other text is converted; a result longer than the capacity is cut on a
//   character boundary; text that cannot be read in that encoding stays as
//   it is.
// Returns kNoErr, or the name lookup's status (kUnsupportedEncodingErr,
// kParamErr) with the text unchanged.
OSStatus ConvertToUTF8Encoding(TextBuffer& text, std::string_view encodingName);

// Text for a file name or a reply, from bytes in the encoding named
// `encodingName` (UTF-8 when the name is unknown): as UTF-8 cut to at most
// `maxBytes` on a character boundary; bytes that cannot be converted are
// taken as they are, then cut.
std::string ConvertToMacString(std::string_view source, std::string_view encodingName, size_t maxBytes);
