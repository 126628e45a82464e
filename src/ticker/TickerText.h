// Preparing an entry's texts: the script they are shown in, the title and
// the one-line message with its summary of the description, and the cut of
// a message that is wider than the screen. Texts are UTF-8 throughout; a
// script is only chosen to pick a font that has the glyphs.
#pragma once

#include "ticker/TickerQueue.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Bytes of title plus message an entry holds, without the message's NUL.
constexpr size_t kTickerTextRoom = 159;
// A summary is added only when more room than this is left.
constexpr size_t kTickerSummaryMinRoom = 30;
constexpr std::string_view kTickerSummarySeparator = " --- ";

// Whether `text` can be written in the legacy encoding of `script`.
bool IsRepresentableInScript(std::string_view text, TickerScript script);

// The first of Cyrillic, Japanese, Simplified Chinese, Traditional Chinese
// and Korean that can write `text`; null when none can.
std::optional<TickerScript> FindNonRomanScript(std::string_view text);

// The script for an entry: Roman when the headline is Roman, unless a
// non-empty source is not (then the source's script); otherwise the
// headline's script. Text that no script writes stays Roman: it is drawn
// with the ticker font and the text engine's fallback fonts.
TickerScript ChooseTickerScript(std::string_view headline, std::string_view source);

// The first sentence of `text` (up to and with its ".", "!", "?" or their
// full-width forms followed by a space or the end); the whole text when it
// has no sentence end.
std::string SummarizeFirstSentence(std::string_view text);

// Line breaks, tabs and runs of spaces become one space; both ends trimmed.
std::string MakeSingleLine(std::string_view text);

// Fills `queue`'s script, title and message: the headline, then " --- " and
// the description (its first sentence when it does not fit, for Roman text)
// when more than 30 bytes of the 159 are left after title and headline. The title is the source for feed items and
// messages, the author for other items. All cuts keep whole characters.
void SummarizeMessage(TickerQueue& queue, std::string_view source, std::string_view author,
                      std::string_view headline, std::optional<std::string_view> description);

// How wide a text is drawn, in pixels.
using TickerTextMeasure = std::function<int32_t(std::string_view text)>;

struct TruncatedMessage {
    std::string text;
    int32_t width = 0;
};

// Fits `message` into the screen: the limit is the screen width less 56, or
// with a title less its width and 84 more. While wider, 8 bytes (whole
// characters) go from the end; when anything went, "..." is appended.
TruncatedMessage TrancateMessage(std::string_view message, int32_t screenWidth, int32_t titleWidth,
                                 const TickerTextMeasure& measure);
