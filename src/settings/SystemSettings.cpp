// Reading the user's mail address and HTTP proxy from the environment, the
// places Linux programs conventionally keep them. Nothing is written back.
#include "settings/SystemSettings.h"

#include "platform/Log.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string_view>

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
constexpr std::string_view kSchemeSeparator = "://";
constexpr std::string_view kHttpScheme = "http";
constexpr size_t kMaxProxyHostBytes = 255;
constexpr int kHexadecimal = 16;

static std::string_view TrimWhiteSpace(std::string_view text)
{
    size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

static std::optional<std::string_view> GetEnvironmentText(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    std::string_view text = TrimWhiteSpace(value);
    if (text.empty())
        return std::nullopt;
    return text;
}

/* ---- Mail ---- */

static bool LooksLikeMailAddress(std::string_view text)
{
    size_t at = text.find('@');
    if (at == 0 || at == std::string_view::npos || at + 1 == text.size() || text.find('@', at + 1) != text.npos)
        return false;
    if (text.size() > kMaxMailSettingBytes)
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

// $EMAIL as "addr" or "Name <addr>".
static std::optional<std::string> GetEnvironmentMailAddress()
{
    std::optional<std::string_view> text = GetEnvironmentText("EMAIL");
    if (!text)
        return std::nullopt;
    size_t open = text->rfind('<');
    if (open != std::string_view::npos && text->back() == '>')
        text = text->substr(open + 1, text->size() - open - 2);
    if (!LooksLikeMailAddress(*text)) {
        LogFailure("EMAIL is not a usable mail address; it is not proposed");
        return std::nullopt;
    }
    return std::string(*text);
}

void GetSmtpConfiguration(std::string& host, std::string& address)
{
    (void)host; // Linux keeps no system-wide outgoing mail server to propose.
    if (address.empty()) {
        if (std::optional<std::string> found = GetEnvironmentMailAddress()) {
            address = *found;
            LogInfo("Loaded the mail address from the environment.");
        }
    }
    if (address.empty())
        address = kPlaceholderMailAddress;
}

/* ---- HTTP proxy ---- */

static int HexDigitValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

// "%2F" and the like, as credentials in a URL are written; a '%' that starts
// no escape stays as it is.
static std::string DecodePercentEscapes(std::string_view text)
{
    std::string decoded;
    for (size_t index = 0; index < text.size(); ++index) {
        int high = index + 2 < text.size() && text[index] == '%' ? HexDigitValue(text[index + 1]) : -1;
        int low = high >= 0 ? HexDigitValue(text[index + 2]) : -1;
        if (low < 0) {
            decoded.push_back(text[index]);
            continue;
        }
        decoded.push_back(char(high * kHexadecimal + low));
        index += 2;
    }
    return decoded;
}

static bool EqualsIgnoringASCIICase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y));
           });
}

static HttpProxySetting RefuseProxy(std::string_view value, const char* why)
{
    LogFailure("HTTP proxy \"%.*s\" not used: %s", int(value.size()), value.data(), why);
    return {};
}

static HttpProxySetting ParseHttpProxy(std::string_view value)
{
    std::string_view rest = value;
    size_t scheme = rest.find(kSchemeSeparator);
    if (scheme != std::string_view::npos) {
        if (!EqualsIgnoringASCIICase(rest.substr(0, scheme), kHttpScheme))
            return RefuseProxy(value, "only an http:// proxy can be used");
        rest.remove_prefix(scheme + kSchemeSeparator.size());
    }
    rest = rest.substr(0, rest.find_first_of("/?#"));
    HttpProxySetting setting;
    size_t at = rest.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view credentials = rest.substr(0, at);
        size_t colon = credentials.find(':');
        setting.user = DecodePercentEscapes(credentials.substr(0, colon));
        if (colon != std::string_view::npos)
            setting.password = DecodePercentEscapes(credentials.substr(colon + 1));
        rest.remove_prefix(at + 1);
    }
    if (rest.empty() || rest.front() == ':')
        return RefuseProxy(value, "no host");
    if (rest.size() > kMaxProxyHostBytes)
        return RefuseProxy(value, "host too long");
    if (rest.find_first_of(kWhiteSpace) != std::string_view::npos)
        return RefuseProxy(value, "white space in the host");
    setting.use = true;
    setting.host = rest;
    return setting;
}

HttpProxySetting LoadICHttpProxy()
{
    std::optional<std::string_view> value = GetEnvironmentText("http_proxy");
    if (!value)
        value = GetEnvironmentText("HTTP_PROXY");
    if (!value)
        return {};
    return ParseHttpProxy(*value);
}
