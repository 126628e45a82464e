// In-place text transforms over a TextBuffer. Every transform here only
// shortens its text, so each reads ahead of where it writes in the same
// buffer: one forward pass, spans without anything to change moved as blocks.
#include "feeds/TextTools.h"

#include "feeds/ByteScan.h"
#include "feeds/UTF8.h"
#include "platform/Log.h"

#include <algorithm>

using bytescan::StartsWith;
using bytescan::StartsWithIgnoringCase;

constexpr std::string_view kCDATABegin = "<![CDATA[";
constexpr std::string_view kCDATAEnd = "]]>";

// The escaped-HTML prefixes, each beginning with an escaped "<".
constexpr std::string_view kEncodedTagOpen = "&lt;";
constexpr std::string_view kPEncodedTAG = "&lt;p&gt;";
constexpr std::string_view kDivEncodedTAG = "&lt;div ";
constexpr std::string_view kAnchorEncodedTAG = "&lt;a href=";
constexpr std::string_view kCenterEncodedTAG = "&lt;center&gt;";
constexpr std::string_view kFontEncodedTAG = "&lt;font size=";

static_assert(kPEncodedTAG.starts_with(kEncodedTagOpen) && kDivEncodedTAG.starts_with(kEncodedTagOpen) &&
                  kAnchorEncodedTAG.starts_with(kEncodedTagOpen) && kCenterEncodedTAG.starts_with(kEncodedTagOpen) &&
                  kFontEncodedTAG.starts_with(kEncodedTagOpen),
              "the quick test is a prefix of every escaped tag");

constexpr size_t kMaxSubstituteHeadlineBytes = 255;
constexpr size_t kHeadlineClauseBytes = 10;   // past this, "." and "," end the headline
constexpr size_t kHeadlinePhraseBytes = 64;   // past this, spaces, ":", "&", "!" and "?" do

// Writes into the text it reads, never ahead of the reading: `Copy` moves
// the bytes from the read position on as one block.
class InPlaceWriter {
public:
    explicit InPlaceWriter(TextBuffer& text)
        : text_(text), in_(text.data()), end_(text.data() + text.size()), out_(text.data())
    {
    }

    const char* in() const { return in_; }
    const char* end() const { return end_; }
    bool AtEnd() const { return in_ >= end_; }

    // Keeps the input up to `to`.
    void CopyTo(const char* to)
    {
        const size_t length = size_t(to - in_);
        if (out_ != in_ && length > 0)
            std::memmove(out_, in_, length);
        out_ += length;
        in_ = to;
    }
    // Drops `length` input bytes.
    void Skip(size_t length) { in_ += std::min(length, size_t(end_ - in_)); }
    // Writes `text` in place of `consumed` input bytes; never longer.
    void Replace(size_t consumed, std::string_view text)
    {
        std::memmove(out_, text.data(), text.size());
        out_ += text.size();
        Skip(consumed);
    }
    void Finish()
    {
        CopyTo(end_);
        text_.SetSize(size_t(out_ - text_.data()));
    }

private:
    TextBuffer& text_;
    const char* in_;
    const char* end_;
    char* out_;
};

/* ---- Whole documents ---- */

void RepairNullChars(std::string& data)
{
    if (!data.empty() && data.back() == '\0')
        data.pop_back();
    size_t count = 0;
    for (char& c : data) {
        if (c != '\0')
            continue;
        c = ' ';
        ++count;
    }
    if (count > 0)
        LogFailure("Illegal null char is found. (%zu)", count);
}

/* ---- CDATA sections ---- */

void StripCDATA(TextBuffer& text)
{
    std::string_view view = text.view();
    const size_t start = std::min(view.find_first_not_of(' '), view.size());
    if (view.substr(start, kCDATABegin.size()) != kCDATABegin)
        return;
    const size_t contentStart = start + kCDATABegin.size();
    const size_t contentEnd = std::min(view.find(kCDATAEnd, contentStart), view.size());
    std::memmove(text.data() + start, text.data() + contentStart, contentEnd - contentStart);
    text.SetSize(start + contentEnd - contentStart);
}

bool StripCDATAMore(TextBuffer& text)
{
    std::string_view view = text.view();
    size_t begin = view.find(kCDATABegin);
    if (begin == std::string_view::npos)
        return false;
    char* out = text.data();
    while (begin != std::string_view::npos) {
        const size_t contentStart = begin + kCDATABegin.size();
        const size_t contentEnd = std::min(view.find(kCDATAEnd, contentStart), view.size());
        std::memmove(out, text.data() + contentStart, contentEnd - contentStart);
        out += contentEnd - contentStart;
        if (contentEnd == view.size())
            break;
        begin = view.find(kCDATABegin, contentEnd + kCDATAEnd.size());
    }
    text.SetSize(size_t(out - text.data()));
    return true;
}

/* ---- Markup and line ends ---- */

bool IsBeginningWithEncodedTAG(std::string_view text)
{
    // Every prefix begins "&lt;": most texts are told apart on that.
    if (!text.starts_with(kEncodedTagOpen))
        return false;
    for (std::string_view prefix :
         {kPEncodedTAG, kDivEncodedTAG, kAnchorEncodedTAG, kCenterEncodedTAG, kFontEncodedTAG}) {
        if (text.starts_with(prefix))
            return true;
    }
    return false;
}

// One tag rewrite after a "<":
//   tag          the lower-case text after "<" (letters match in either case)
//   replacement  what the "<" and the tag become
struct TagRewrite {
    std::string_view tag;
    std::string_view replacement;
};

constexpr TagRewrite kTagsToCR[] = {
    {"br>", "\r"},
    {"br />", "\r"},
    {"/li>", "\r"},
    {"/p>", "\r\r"},
};

constexpr TagRewrite kTagsToCRHyphen[] = {
    {"li>", "\r- "},
};

constexpr TagRewrite kTagsToCRHyphenAndCR[] = {
    {"li>", "\r- "}, {"br>", "\r"}, {"br />", "\r"}, {"/li>", "\r"}, {"/p>", "\r\r"},
};

template <size_t Count>
static void RewriteTags(TextBuffer& text, const TagRewrite (&rewrites)[Count])
{
    InPlaceWriter writer(text);
    while (!writer.AtEnd()) {
        writer.CopyTo(bytescan::FindByte(writer.in(), writer.end(), '<'));
        if (writer.AtEnd())
            break;
        const TagRewrite* match = nullptr;
        for (const TagRewrite& rewrite : rewrites) {
            if (StartsWithIgnoringCase(writer.in() + 1, writer.end(), rewrite.tag.data(), rewrite.tag.size())) {
                match = &rewrite;
                break;
            }
        }
        if (!match) {
            writer.CopyTo(writer.in() + 1);
            continue;
        }
        writer.Replace(1 + match->tag.size(), match->replacement);
    }
    writer.Finish();
}

void ReplaceHTMLTagToCR(TextBuffer& text)
{
    RewriteTags(text, kTagsToCR);
}

void ReplaceHTMLTagToCRHyphen(TextBuffer& text)
{
    RewriteTags(text, kTagsToCRHyphen);
}

void ReplaceHTMLTagToCRHyphenAndCR(TextBuffer& text)
{
    RewriteTags(text, kTagsToCRHyphenAndCR);
}

void StripSpaceAfterCR(TextBuffer& text)
{
    InPlaceWriter writer(text);
    while (!writer.AtEnd()) {
        const char* cr = bytescan::FindByte(writer.in(), writer.end(), '\r');
        if (cr == writer.end())
            break;
        writer.CopyTo(cr + 1);
        if (!writer.AtEnd() && *writer.in() == ' ')
            writer.Skip(1);
    }
    writer.Finish();
}

// The StripCRLFSpace rules for the input up to `stop`.
static void StripCRLFSpaceUntil(InPlaceWriter& writer, const char* stop)
{
    while (writer.in() < stop) {
        writer.CopyTo(bytescan::FindLineBreakOrSpaceRun(writer.in(), stop));
        if (writer.in() >= stop)
            break;
        if (*writer.in() != ' ') {
            writer.Replace(1, " ");
            continue;
        }
        const char* run = writer.in();
        while (run < stop && *run == ' ')
            ++run;
        writer.Replace(size_t(run - writer.in()), " ");
    }
}

void StripCRLFSpace(TextBuffer& text)
{
    InPlaceWriter writer(text);
    StripCRLFSpaceUntil(writer, writer.end());
    writer.Finish();
}

// The first "<pre>" (either case) in [p, end), or end.
static const char* FindTagIgnoringCase(const char* p, const char* end, std::string_view lowerTag)
{
    for (;; ++p) {
        p = bytescan::FindByte(p, end, '<');
        if (p == end || StartsWithIgnoringCase(p, end, lowerTag.data(), lowerTag.size()))
            return p;
    }
}

void StripCRLFSpacePre(TextBuffer& text)
{
    constexpr std::string_view kPreBegin = "<pre>";
    constexpr std::string_view kPreEnd = "</pre>";
    InPlaceWriter writer(text);
    while (!writer.AtEnd()) {
        const char* pre = FindTagIgnoringCase(writer.in(), writer.end(), kPreBegin);
        StripCRLFSpaceUntil(writer, pre);
        if (writer.AtEnd())
            break;
        const char* close = FindTagIgnoringCase(pre + kPreBegin.size(), writer.end(), kPreEnd);
        writer.CopyTo(close == writer.end() ? close : close + kPreEnd.size());
    }
    writer.Finish();
}

void StripHTMLTagString(TextBuffer& text)
{
    InPlaceWriter writer(text);
    long depth = 0;
    while (!writer.AtEnd()) {
        const char* mark = bytescan::FindEitherByte(writer.in(), writer.end(), '<', '>');
        if (depth <= 0)
            writer.CopyTo(mark);
        else
            writer.Skip(size_t(mark - writer.in()));
        if (writer.AtEnd())
            break;
        depth += *mark == '<' ? 1 : -1;
        writer.Skip(1);
    }
    writer.Finish();
}

void StripHTMLToLines(TextBuffer& text)
{
    InPlaceWriter writer(text);
    long depth = 0;
    // The last byte kept is a CR, and nothing kept has followed it yet.
    bool afterCR = false;
    // Keeps the input up to `to` while the count allows.
    auto keepTo = [&](const char* to) {
        if (depth > 0 || writer.in() == to) {
            writer.Skip(size_t(to - writer.in()));
            return;
        }
        if (afterCR && *writer.in() == ' ')
            writer.Skip(1);
        afterCR = false;
        writer.CopyTo(to);
    };
    while (!writer.AtEnd()) {
        const char* mark = bytescan::FindOneOfThree(writer.in(), writer.end(), '<', '>', '\r');
        keepTo(mark);
        if (writer.AtEnd())
            break;
        if (*mark == '\r') {
            const bool kept = depth <= 0;
            keepTo(mark + 1);
            afterCR = afterCR || kept;
            continue;
        }
        if (*mark == '>') {
            --depth;
            writer.Skip(1);
            continue;
        }
        const TagRewrite* match = nullptr;
        for (const TagRewrite& rewrite : kTagsToCRHyphenAndCR) {
            if (StartsWithIgnoringCase(mark + 1, writer.end(), rewrite.tag.data(), rewrite.tag.size())) {
                match = &rewrite;
                break;
            }
        }
        if (!match) {
            ++depth;
            writer.Skip(1);
            continue;
        }
        if (depth > 0) {
            writer.Skip(1 + match->tag.size());
            continue;
        }
        // Every replacement begins with a CR, never a space.
        writer.Replace(1 + match->tag.size(), match->replacement);
        afterCR = match->replacement.back() == '\r';
    }
    writer.Finish();
}

/* ---- Headlines ---- */

static bool EndsHeadlineBefore(char c, size_t copied)
{
    if ((c == '.' || c == ',') && copied > kHeadlineClauseBytes)
        return true;
    return (c == ' ' || c == ':' || c == '&') && copied > kHeadlinePhraseBytes;
}

void SubstituteHeadline(TextBuffer& headline, std::string_view description)
{
    const size_t start = std::min(description.find_first_not_of("\n\r "), description.size());
    description.remove_prefix(start);
    const size_t limit = std::min(kMaxSubstituteHeadlineBytes, headline.capacity());
    char* out = headline.data();
    size_t copied = 0;
    bool reachedLimit = true;
    for (char c : description) {
        if (copied >= limit)
            break;
        if (EndsHeadlineBefore(c, copied)) {
            reachedLimit = false;
            break;
        }
        out[copied++] = c;
        if ((c == '!' || c == '?') && copied - 1 > kHeadlinePhraseBytes) {
            reachedLimit = false;
            break;
        }
    }
    if (reachedLimit && copied < description.size())
        copied = utf8::CutPoint(description, copied);
    headline.SetSize(copied);
}
