// URL rewriting on TextBuffers and the identity tests of parsed items.
// Only the textual forms feeds and servers really send are handled: no dot
// segments are resolved and no escaping is touched.
#include "feeds/URLs.h"

#include "model/NewsList.h"

#include <string>

constexpr std::string_view kSchemeSeparator = "://";
constexpr std::string_view kNetworkPathPrefix = "//";

// True when `url` begins with a scheme and "://".
static bool HasScheme(std::string_view url)
{
    const size_t separator = url.find(kSchemeSeparator);
    if (separator == std::string_view::npos || separator == 0)
        return false;
    for (char c : url.substr(0, separator)) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '+' || c == '-' || c == '.';
        if (!allowed)
            return false;
    }
    return true;
}

// Where the host begins: after "://", or at the start of a URL without one.
static size_t HostStart(std::string_view url)
{
    const size_t separator = url.find(kSchemeSeparator);
    return separator == std::string_view::npos ? 0 : separator + kSchemeSeparator.size();
}

static std::string RedirectedURL(std::string_view url, std::string_view moved)
{
    if (HasScheme(moved))
        return std::string(moved);
    const size_t hostStart = HostStart(url);
    if (moved.starts_with(kNetworkPathPrefix)) {
        const size_t schemeEnd = hostStart >= kNetworkPathPrefix.size() ? hostStart - kNetworkPathPrefix.size() : 0;
        return std::string(url.substr(0, schemeEnd)).append(moved);
    }
    if (moved.starts_with('/')) {
        const size_t pathStart = url.find('/', hostStart);
        return std::string(url.substr(0, pathStart)).append(moved);
    }
    const size_t lastSlash = url.rfind('/');
    if (lastSlash == std::string_view::npos)
        return std::string(moved);
    if (lastSlash < hostStart)
        return std::string(url).append("/").append(moved);
    return std::string(url.substr(0, lastSlash + 1)).append(moved);
}

OSStatus RedirectURL(TextBuffer& url, std::string_view moved)
{
    if (moved.empty())
        return kParamErr;
    std::string redirected = RedirectedURL(url.view(), moved);
    if (redirected.size() > url.capacity())
        return kParamErr;
    url.Assign(redirected);
    return kNoErr;
}

void DeleteLastComponentURL(TextBuffer& url)
{
    const size_t lastSlash = url.view().rfind('/');
    if (lastSlash == std::string_view::npos)
        return;
    url.SetSize(lastSlash + 1);
}

bool StringHasSuffix(std::string_view text, std::string_view suffix)
{
    return text.ends_with(suffix);
}

bool IsImageURL(std::string_view url)
{
    for (std::string_view suffix : {".jpg", ".JPG", ".jpeg", ".JPEG", ".png", ".PNG", ".gif", ".GIF"}) {
        if (StringHasSuffix(url, suffix))
            return true;
    }
    return false;
}

bool IsSameLinkNews(const NewsList& news, std::string_view link)
{
    return !news.linkURL.empty() && !link.empty() && news.linkURL.view() == link;
}

bool IsSameDateNews(const NewsList& news, uint32_t dateTime)
{
    return (news.dateFlags & kDateFlagNoDate) != 0 || news.dateTime == dateTime;
}
