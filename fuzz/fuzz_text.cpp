// fuzz-libraries: varnoke_feeds varnoke_model varnoke_platform
// Every text transform, reference decoder, encoding tool and URL helper on
// arbitrary bytes, in a buffer whose room the first byte picks and that is
// followed by guard bytes: a write past the room, a text longer than its
// room or broken UTF-8 from a UTF-8 maker stops the run.
#include "feeds/References.h"
#include "feeds/TextBuffer.h"
#include "feeds/TextEncoding.h"
#include "feeds/TextTools.h"
#include "feeds/URLs.h"
#include "model/NewsList.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kGuardBytes = 32;
constexpr char kGuardByte = '\x5A';
constexpr size_t kRoomSteps = 37; // spreads the first byte over small and full rooms

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_text: %s\n", what);
    std::abort();
}

bool IsValidUTF8(std::string_view text)
{
    QByteArray bytes(text.data(), qsizetype(text.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// Runs `transform` on `input` in a guarded buffer of `room` bytes; returns the result.
std::string RunGuarded(std::string_view input, size_t room, const std::function<void(TextBuffer&)>& transform)
{
    std::vector<char> bytes(room + kGuardBytes, kGuardByte);
    TextBuffer text(bytes.data(), 0, room);
    text.Assign(input);
    transform(text);
    if (text.size() > room)
        Fail("text longer than its room");
    for (size_t i = room; i < bytes.size(); ++i) {
        if (bytes[i] != kGuardByte)
            Fail("written past the room");
    }
    return std::string(text.view());
}

void FuzzTransforms(std::string_view input, size_t room)
{
    // These only ever shorten a text.
    const std::function<void(TextBuffer&)> shrinking[] = {
        StripCDATA,
        [](TextBuffer& text) { StripCDATAMore(text); },
        HTMLMultiAmpDecode,
        HTMLMinimumDecode,
        ReplaceHTMLTagToCR,
        ReplaceHTMLTagToCRHyphen,
        StripSpaceAfterCR,
        StripCRLFSpace,
        StripCRLFSpacePre,
        StripHTMLTagString,
        DeleteLastComponentURL,
    };
    // These may grow a text, within its room.
    const std::function<void(TextBuffer&)> growing[] = {
        HTMLDecode,
        HTMLDecodeForUTF8,
        [](TextBuffer& text) { ConvertToUTF8Encoding(text, "UTF-8"); },
        [](TextBuffer& text) { ConvertToUTF8Encoding(text, "Shift_JIS"); },
        [](TextBuffer& text) { ConvertToUTF8Encoding(text, "ISO-8859-1"); },
    };
    const size_t assigned = std::min(input.size(), room);
    for (const auto& transform : shrinking) {
        if (RunGuarded(input, room, transform).size() > assigned)
            Fail("a shrinking transform grew its text");
    }
    for (const auto& transform : growing)
        RunGuarded(input, room, transform);
    // The plain-text pass is the three markup transforms in one.
    const std::string inTurn = RunGuarded(input, room, [](TextBuffer& text) {
        ReplaceHTMLTagToCRHyphenAndCR(text);
        StripHTMLTagString(text);
        StripSpaceAfterCR(text);
    });
    if (RunGuarded(input, room, StripHTMLToLines) != inTurn)
        Fail("the plain-text pass differs from the markup transforms in turn");
    // The parser's description and plain-text pipelines, in order.
    RunGuarded(input, room, [](TextBuffer& text) {
        HTMLDecode(text);
        HTMLMultiAmpDecode(text);
        if (StripCDATAMore(text) && IsBeginningWithEncodedTAG(text.view()))
            HTMLMinimumDecode(text);
        HTMLDecode(text);
        StripCRLFSpace(text);
        ReplaceHTMLTagToCRHyphen(text);
        ReplaceHTMLTagToCR(text);
        StripHTMLTagString(text);
        StripSpaceAfterCR(text);
    });
    RunGuarded("", room, [input](TextBuffer& headline) { SubstituteHeadline(headline, input); });
    const size_t split = input.size() / 2;
    RunGuarded(input.substr(0, split), room,
               [moved = input.substr(split)](TextBuffer& url) { RedirectURL(url, moved); });
}

void FuzzStrings(std::string_view input)
{
    const bool valid = IsValidUTF8(input);
    std::optional<std::string> text = CFStringCreateWithBytes(input, kCFStringEncodingUTF8);
    if (!text || !IsValidUTF8(*text))
        Fail("a UTF-8 string made from bytes is not UTF-8");
    for (auto decode : {CFStringFixHTMLUnicode, CFStringFixAllHTMLUnicode}) {
        std::optional<std::string> decoded = decode(std::string(input));
        if (!decoded || decoded->size() > input.size())
            Fail("a string decoder grew its string");
        if (valid && !IsValidUTF8(*decoded))
            Fail("a string decoder broke UTF-8");
    }
    std::optional<std::string> headline = CFStringCreateWithKeisenFilter(input, kCFStringEncodingUTF8);
    if (!headline || !IsValidUTF8(*headline))
        Fail("a headline string is not UTF-8");
    CFStringCreateWithKeisenFilter(input, kCFStringEncodingShiftJIS);
    std::string name = ConvertToMacString(input, "ISO-8859-1", 31);
    if (name.size() > 31 || !IsValidUTF8(name))
        Fail("a file-name text is too long or not UTF-8");
    NewsList item;
    item.linkURL = input;
    IsSameLinkNews(item, input);
    IsImageURL(input);
    utoi(input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t room = (size_t(data[0]) * kRoomSteps) % (kMaxTextBytes + 1);
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    FuzzTransforms(input, room);
    FuzzTransforms(input, kMaxTextBytes);
    FuzzStrings(input.substr(0, kMaxTextBytes));
    return 0;
}
