// Script choice, summaries and the screen-width cut of ticker texts. The
// script probes convert to the legacy encodings with iconv and keep nothing
// of the conversion: the texts stay UTF-8.
#include "ticker/TickerText.h"

#include "feeds/References.h"
#include "feeds/TextBuffer.h"
#include "model/NewsList.h"
#include "platform/Encodings.h"
#include "platform/UnicodeText.h"

#include <array>
#include <vector>

static constexpr int32_t kScreenMargin = 56;      // the icon and the edges
static constexpr int32_t kTitledScreenMargin = 84; // two icons, the gap and the edges
static constexpr size_t kTruncationStep = 8;
static constexpr std::string_view kEllipsis = "...";

/* ---- Scripts ---- */

// The iconv names of the legacy encodings each script stood for.
static std::string_view ScriptIconvName(TickerScript script)
{
    switch (script) {
    case kTickerScriptRoman:
        return "MACINTOSH";
    case kTickerScriptJapanese:
        return "SHIFT_JIS";
    case kTickerScriptChineseTrad:
        return "BIG5";
    case kTickerScriptKorean:
        return "CP949";
    case kTickerScriptCyrillic:
        return "MACCYRILLIC";
    case kTickerScriptChineseSimp:
        return "GB2312";
    }
    return "MACINTOSH";
}

bool IsRepresentableInScript(std::string_view text, TickerScript script)
{
    if (text.empty())
        return true;
    return ConvertEncoding(text, "UTF-8", ScriptIconvName(script)).has_value();
}

std::optional<TickerScript> FindNonRomanScript(std::string_view text)
{
    // In the order they are tried.
    constexpr std::array kScripts = {kTickerScriptCyrillic, kTickerScriptJapanese, kTickerScriptChineseSimp,
                                     kTickerScriptChineseTrad, kTickerScriptKorean};
    for (TickerScript script : kScripts) {
        if (IsRepresentableInScript(text, script))
            return script;
    }
    return std::nullopt;
}

TickerScript ChooseTickerScript(std::string_view headline, std::string_view source)
{
    if (IsRepresentableInScript(headline, kTickerScriptRoman)) {
        if (source.empty() || IsRepresentableInScript(source, kTickerScriptRoman))
            return kTickerScriptRoman;
        return FindNonRomanScript(source).value_or(kTickerScriptRoman);
    }
    return FindNonRomanScript(headline).value_or(kTickerScriptRoman);
}

/* ---- Summaries ---- */

std::string MakeSingleLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    bool space = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            space = !line.empty();
            continue;
        }
        if (space)
            line += ' ';
        space = false;
        line += c;
    }
    return line;
}

std::string SummarizeFirstSentence(std::string_view text)
{
    // Columns: the sentence end, and whether a space or the end must follow it.
    struct SentenceEnd {
        std::string_view mark;
        bool needsBreak;
    };
    constexpr std::array kEnds = {SentenceEnd{".", true}, SentenceEnd{"!", true}, SentenceEnd{"?", true},
                                  SentenceEnd{"\xE3\x80\x82", false},  // ideographic full stop
                                  SentenceEnd{"\xEF\xBC\x81", false},  // full-width exclamation mark
                                  SentenceEnd{"\xEF\xBC\x9F", false}}; // full-width question mark
    size_t best = std::string_view::npos;
    for (const SentenceEnd& end : kEnds) {
        for (size_t at = text.find(end.mark); at != std::string_view::npos; at = text.find(end.mark, at + 1)) {
            size_t after = at + end.mark.size();
            if (end.needsBreak && after < text.size() && text[after] != ' ')
                continue;
            best = std::min(best, after);
            break;
        }
    }
    return std::string(best == std::string_view::npos ? text : text.substr(0, best));
}

// The description as plain text: references decoded, on one line.
static std::string DecodeDescription(std::string_view description)
{
    std::vector<char> buffer(kMaxTextBytes);
    TextBuffer text(buffer.data(), 0, buffer.size());
    text.Assign(description);
    HTMLDecodeForUTF8(text);
    FixAllHTMLUnicode(text);
    return MakeSingleLine(text.view());
}

// The description's part of the message, at most `room` bytes.
static std::string MakeSummary(std::string_view description, TickerScript script, size_t room)
{
    std::string summary = DecodeDescription(description);
    // Text in the other scripts has no sentence ends the summariser knows
    // well; it is only cut.
    if (summary.size() > room && script == kTickerScriptRoman)
        summary = SummarizeFirstSentence(summary);
    CutUTF8Text(summary, room);
    return summary;
}

void SummarizeMessage(TickerQueue& queue, std::string_view source, std::string_view author,
                      std::string_view headline, std::optional<std::string_view> description)
{
    std::string line = MakeSingleLine(headline);
    queue.script = ChooseTickerScript(line, source);
    queue.message = line;
    if (queue.newsType == kTickerNewsTypeMessage || queue.newsType == kNewsTypeFeed)
        queue.title = MakeSingleLine(source);
    else
        queue.title = MakeSingleLine(author);

    size_t used = queue.title.size() + queue.message.size();
    if (!description || used >= kTickerTextRoom || kTickerTextRoom - used <= kTickerSummaryMinRoom)
        return;
    std::string summary = MakeSummary(*description, queue.script, kTickerTextRoom - used);
    if (summary.empty())
        return;
    std::string message = queue.message.str();
    message += kTickerSummarySeparator;
    message += summary;
    CutUTF8Text(message, kTickerTextRoom);
    queue.message = message;
}

/* ---- Fitting the screen ---- */

// Drops at least `count` bytes from the end, never leaving half a character.
static void DropTrailingBytes(std::string& text, size_t count)
{
    if (count >= text.size()) {
        text.clear();
        return;
    }
    CutUTF8Text(text, text.size() - count);
}

TruncatedMessage TrancateMessage(std::string_view message, int32_t screenWidth, int32_t titleWidth,
                                 const TickerTextMeasure& measure)
{
    int32_t limit = titleWidth > 0 ? screenWidth - titleWidth - kTitledScreenMargin : screenWidth - kScreenMargin;
    TruncatedMessage result{std::string(message), measure(message)};
    bool cut = false;
    while (result.width > limit && !result.text.empty()) {
        DropTrailingBytes(result.text, kTruncationStep);
        result.width = measure(result.text);
        cut = true;
    }
    if (!cut)
        return result;
    result.text += kEllipsis;
    result.width = measure(result.text);
    return result;
}
