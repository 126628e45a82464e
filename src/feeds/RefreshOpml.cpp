// The OPML list reader: finds each outline element by its "<outline" and
// the next "/>", and reads four attributes inside it by their openings.
#include "feeds/RefreshOpml.h"

#include "platform/Log.h"

#include <charconv>
#include <optional>
#include <string>

constexpr std::string_view kXmlDeclarationStart = "<?xm";
constexpr std::string_view kOpmlStart = "<opml";
constexpr std::string_view kBodyStart = "<body>";
constexpr std::string_view kBodyEnd = "</body>";
constexpr std::string_view kOutlineStart = "<outline";
constexpr std::string_view kEmptyElementEnd = "/>";
constexpr std::string_view kXmlURLParam = "xmlUrl=\"";
constexpr std::string_view kTextParam = "text=\"";
constexpr std::string_view kTitleParam = "title=\"";
constexpr std::string_view kPeriodParam = "period=\"";
constexpr std::string_view kValueEnds = "\"\r\n";

static bool HasSubscriptionURL(const SubscriptionList* list, std::string_view url)
{
    for (const SubscriptionList* node = list; node; node = node->next) {
        if (node->accessURL.view() == url || HasSubscriptionURL(node->child, url))
            return true;
    }
    return false;
}

// The value after `opening` inside `element`, up to a quote or line end.
static std::optional<std::string_view> FindAttribute(std::string_view element, std::string_view opening)
{
    size_t at = element.find(opening);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = element.substr(at + opening.size());
    return rest.substr(0, rest.find_first_of(kValueEnds));
}

static CheckType ReadPeriod(std::string_view element)
{
    std::optional<std::string_view> period = FindAttribute(element, kPeriodParam);
    if (!period)
        return kCheckAtLaunch;
    uint32_t value = 0;
    std::from_chars(period->data(), period->data() + period->size(), value);
    return CheckType(value);
}

SubscriptionList* LoadSubscriptionsFromOpml(std::string_view text, const SubscriptionList* subscribed)
{
    if (!text.starts_with(kXmlDeclarationStart))
        return nullptr;
    size_t opml = text.find(kOpmlStart);
    size_t bodyStart = opml == std::string_view::npos ? opml : text.find(kBodyStart, opml);
    size_t bodyEnd = bodyStart == std::string_view::npos ? bodyStart : text.find(kBodyEnd, bodyStart);
    if (bodyEnd == std::string_view::npos)
        return nullptr;

    SubscriptionList* feeds = nullptr;
    uint32_t added = 0;
    size_t at = bodyStart;
    while (true) {
        size_t start = text.find(kOutlineStart, at);
        size_t end = start == std::string_view::npos ? start : text.find(kEmptyElementEnd, start);
        if (end == std::string_view::npos || end > bodyEnd)
            break;
        // A folder's start tag runs into its first member: read the innermost outline.
        start = text.rfind(kOutlineStart, end);
        std::string_view element = text.substr(start, end - start);
        at = end + kEmptyElementEnd.size();
        if (text.find(kXmlURLParam, start) == std::string_view::npos)
            break;
        std::optional<std::string_view> url = FindAttribute(element, kXmlURLParam);
        if (!url || url->empty() || HasSubscriptionURL(subscribed, *url) || HasSubscriptionURL(feeds, *url))
            continue;
        if (url->size() > decltype(SubscriptionList::accessURL)::kMaxBytes) {
            LogFailure("OPML feed address too long, skipped: %.64s...", std::string(*url).c_str());
            continue;
        }
        SubscriptionList feed;
        feed.siteType = kSiteTypeRSS;
        feed.accessURL = *url;
        std::optional<std::string_view> name = FindAttribute(element, kTextParam);
        if (!name)
            name = FindAttribute(element, kTitleParam);
        feed.name = name.value_or(std::string_view());
        feed.checkType = ReadPeriod(element);
        feed.orderID = added++;
        feeds = AddSubscriptionList(feeds, feed);
    }
    return feeds;
}
