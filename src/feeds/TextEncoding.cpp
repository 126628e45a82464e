// Making UTF-8 strings from feed bytes and converting channel texts in
// place. UTF-8 is checked and repaired here without iconv; every other
// encoding goes through the platform's strict iconv conversion.
#include "feeds/TextEncoding.h"

#include "feeds/UTF8.h"
#include "platform/UnicodeText.h"

constexpr std::string_view kUTF8IconvName = "UTF-8";
constexpr std::string_view kHorizontalBar = "\xE2\x80\x95";        // U+2015
constexpr std::string_view kMinusSign = "\xE2\x88\x92";            // U+2212
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

static std::string RepairedUTF8(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        bool truncated = false;
        const size_t valid = utf8::FindInvalid(bytes, truncated);
        text.append(bytes.substr(0, valid));
        if (valid == bytes.size())
            break;
        // One broken byte at a time: what follows it may well be sound.
        text.append(kReplacementCharacter);
        bytes.remove_prefix(valid + 1);
    }
    return text;
}

std::optional<std::string> CFStringCreateWithBytes(std::string_view bytes, CFStringEncoding encoding)
{
    if (encoding == kCFStringEncodingUTF8)
        return RepairedUTF8(bytes);
    std::optional<std::string_view> iconvName = GetIconvNameFromEncoding(encoding);
    if (!iconvName)
        return std::nullopt;
    return ConvertEncoding(bytes, *iconvName, kUTF8IconvName);
}

std::optional<std::string> CFStringCreateWithKeisenFilter(std::string_view headline, CFStringEncoding encoding)
{
    if (encoding != kCFStringEncodingUTF8)
        return CFStringCreateWithBytes(headline, encoding);
    std::string filtered = RepairedUTF8(headline.substr(0, utf8::CutPoint(headline, kMaxHeadlineStringBytes)));
    for (size_t at = filtered.find(kHorizontalBar); at != std::string::npos;
         at = filtered.find(kHorizontalBar, at + kMinusSign.size()))
        filtered.replace(at, kHorizontalBar.size(), kMinusSign);
    return filtered;
}

// Drops a character that the end of the text cuts off, and only that: a
// text broken elsewhere keeps all its bytes.
static void RemoveCutUTF8Tail(TextBuffer& text)
{
    bool truncated = false;
    const size_t invalid = utf8::FindInvalid(text.view(), truncated);
    if (truncated)
        text.SetSize(invalid);
}

OSStatus ConvertToUTF8Encoding(TextBuffer& text, std::string_view encodingName)
{
    CFStringEncoding encoding = kSystemTextEncoding;
    OSStatus status = CFStringEncodingFromInternetName(encodingName, encoding);
    if (status != kNoErr)
        return status;
    if (encoding == kCFStringEncodingUTF8) {
        RemoveCutUTF8Tail(text);
        return kNoErr;
    }
    std::optional<std::string_view> iconvName = GetIconvNameFromEncoding(encoding);
    if (!iconvName)
        return kNoErr;
    std::optional<std::string> converted = ConvertEncoding(text.view(), *iconvName, kUTF8IconvName);
    if (!converted)
        return kNoErr;
    text.Assign(*converted);
    return kNoErr;
}

std::string ConvertToMacString(std::string_view source, std::string_view encodingName, size_t maxBytes)
{
    CFStringEncoding encoding = kSystemTextEncoding;
    CFStringEncodingFromInternetName(encodingName, encoding);
    std::optional<std::string> converted;
    if (encoding == kCFStringEncodingUTF8) {
        converted = std::string(source);
    } else if (std::optional<std::string_view> iconvName = GetIconvNameFromEncoding(encoding)) {
        converted = ConvertEncoding(source, *iconvName, kUTF8IconvName);
    }
    std::string text = converted ? std::move(*converted) : std::string(source);
    CutUTF8Text(text, maxBytes);
    return text;
}
