// Recognising and splitting web addresses. Everything that reaches a request
// line or a Host header passes ParseHttpURL, which refuses the characters
// that would let an address write a header of its own.
#include "net/HttpURL.h"

#include "net/Resolver.h"

#include <QString>
#include <QUrl>

#include <algorithm>
#include <cctype>

constexpr std::string_view kSchemeSeparator = "://";
constexpr std::string_view kHttpPrefix = "http://";
constexpr std::string_view kHttpsPrefix = "https://";
constexpr std::string_view kFeedPrefix = "feed:";
constexpr std::string_view kHexDigits = "0123456789ABCDEF";
constexpr unsigned char kDelete = 0x7F;

static bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); });
}

bool IsHttpURL(std::string_view url)
{
    return StartsWithIgnoringCase(url, kHttpPrefix) || StartsWithIgnoringCase(url, kHttpsPrefix);
}

// The address with its scheme written in lower case.
static std::string LowerCaseScheme(std::string_view url)
{
    std::string text(url);
    size_t separator = text.find(kSchemeSeparator);
    std::transform(text.begin(), text.begin() + separator, text.begin(),
                   [](char c) { return char(std::tolower(uint8_t(c))); });
    return text;
}

std::optional<std::string> FeedURLToHttpURL(std::string_view text)
{
    if (IsHttpURL(text))
        return LowerCaseScheme(text);
    if (!StartsWithIgnoringCase(text, kFeedPrefix))
        return std::nullopt;
    std::string_view rest = text.substr(kFeedPrefix.size());
    if (rest.starts_with("//"))
        return std::string("http:") + std::string(rest);
    if (IsHttpURL(rest))
        return LowerCaseScheme(rest);
    if (rest.empty() || rest.find(kSchemeSeparator) != std::string_view::npos)
        return std::nullopt;
    return std::string(kHttpPrefix) + std::string(rest);
}

void GetServerAndPath(std::string_view url, std::string& server, std::string& path)
{
    server.clear();
    path.clear();
    size_t start = url.find('/');
    if (start == std::string_view::npos)
        return;
    start = url.find_first_not_of('/', start);
    if (start == std::string_view::npos)
        return;
    std::string_view rest = url.substr(start);
    size_t serverEnd = std::min(rest.find_first_of("/?#"), rest.size());
    std::string_view serverText = rest.substr(0, serverEnd);
    size_t at = serverText.rfind('@');
    if (at != std::string_view::npos)
        serverText.remove_prefix(at + 1);
    server = serverText;
    std::string_view pathText = rest.substr(serverEnd);
    pathText = pathText.substr(0, pathText.find('#'));
    if (!pathText.starts_with('/'))
        path = "/";
    path += pathText;
}

static bool IsHostCharacter(char c)
{
    return std::isalnum(uint8_t(c)) || c == '-' || c == '.' || c == '_';
}

static bool HasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return uint8_t(c) < ' ' || uint8_t(c) == kDelete; });
}

// A host written in another script becomes its ASCII form; empty when the
// name cannot be a host name.
static std::string HostInASCII(std::string_view host)
{
    bool ascii = std::all_of(host.begin(), host.end(), [](char c) { return uint8_t(c) < 0x80; });
    std::string converted(host);
    if (!ascii)
        converted = QUrl::toAce(QString::fromUtf8(host.data(), qsizetype(host.size()))).toStdString();
    if (converted.empty() || !std::all_of(converted.begin(), converted.end(), IsHostCharacter))
        return {};
    return converted;
}

// Spaces and bytes outside ASCII, which servers expect escaped, as %XX.
static std::string EscapePath(std::string_view path)
{
    std::string escaped;
    escaped.reserve(path.size());
    for (char c : path) {
        uint8_t byte = uint8_t(c);
        if (byte > ' ' && byte < 0x80) {
            escaped.push_back(c);
            continue;
        }
        escaped.push_back('%');
        escaped.push_back(kHexDigits[byte >> 4]);
        escaped.push_back(kHexDigits[byte & 0x0F]);
    }
    return escaped;
}

std::optional<HttpURL> ParseHttpURL(std::string_view text)
{
    std::optional<std::string> url = FeedURLToHttpURL(text);
    if (!url || HasControlCharacter(*url))
        return std::nullopt;
    HttpURL parsed;
    parsed.scheme = url->starts_with(kHttpsPrefix) ? HttpScheme::Https : HttpScheme::Http;
    std::string server;
    std::string path;
    GetServerAndPath(*url, server, path);
    std::string host = server;
    parsed.port = parsed.scheme == HttpScheme::Https ? kHttpsPort : kHttpPort;
    if (DNRStringToPort(host, parsed.port) != kNoErr)
        return std::nullopt;
    parsed.host = HostInASCII(host);
    if (parsed.host.empty())
        return std::nullopt;
    parsed.server = parsed.host + server.substr(host.size());
    parsed.path = EscapePath(path);
    parsed.absolute = std::string(parsed.scheme == HttpScheme::Https ? kHttpsPrefix : kHttpPrefix) + parsed.server +
                      parsed.path;
    return parsed;
}
