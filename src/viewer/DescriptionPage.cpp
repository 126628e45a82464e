// Builds the description pane's pages from the model's texts.
#include "viewer/DescriptionPage.h"

#include "platform/Encodings.h"
#include "viewer/HeadlineModel.h"
#include "viewer/ViewerPresenter.h"

constexpr std::string_view kPageHead =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
    "<style>body{font-family:sans-serif;font-size:10pt;margin:10px 14px;color:#202020;}"
    "h1{font-size:13pt;margin:0 0 4px 0;}h1 a{color:#1a4f8a;text-decoration:none;}"
    ".meta{color:#707070;font-size:9pt;margin-bottom:10px;}"
    ".fail{color:#a02020;}img{max-width:100%;height:auto;}</style></head><body>";
constexpr std::string_view kPageTail = "</body></html>";

std::string EscapeHTMLText(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

// Only web addresses become links: a feed's "javascript:" or "file:" link
// is shown as text.
static bool IsWebAddress(std::string_view url)
{
    return url.starts_with("http://") || url.starts_with("https://");
}

std::string NewsDescriptionHTML(const NewsList& item)
{
    std::string_view html = item.description.view();
    if (html.empty())
        return EscapeHTMLText(item.descriptionRef.view());
    std::optional<std::string_view> iconv = GetIconvNameFromInternetName(item.encodingName.view());
    if (!iconv || *iconv == "UTF-8")
        return std::string(html);
    if (std::optional<std::string> converted = ConvertEncoding(html, *iconv, "UTF-8"))
        return *converted;
    return EscapeHTMLText(item.descriptionRef.view());
}

std::string MakeNewsDescriptionPage(const NewsList& item)
{
    std::string page(kPageHead);
    std::string title = EscapeHTMLText(HeadlineText(item).toStdString());
    std::string_view link = item.linkURL.view();
    page += "<h1>";
    if (IsWebAddress(link))
        page += "<a href=\"" + EscapeHTMLText(link) + "\">" + title + "</a>";
    else
        page += title;
    page += "</h1><div class=\"meta\">";
    page += EscapeHTMLText(HeadlineDateText(item).toStdString());
    if (item.parent)
        page += " &middot; " + EscapeHTMLText(SubscriptionDisplayName(*item.parent));
    if (!item.author.view().empty())
        page += " &middot; " + EscapeHTMLText(item.author.view());
    page += "</div><div class=\"body\">";
    page += NewsDescriptionHTML(item);
    page += "</div>";
    page += kPageTail;
    return page;
}

std::string MakePreDescriptionPage(const SubscriptionList& subscription, uint32_t itemCount, uint32_t unreadCount)
{
    std::string page(kPageHead);
    page += "<h1>" + EscapeHTMLText(SubscriptionDisplayName(subscription)) + "</h1><div class=\"meta\">";
    std::string_view feed = subscription.accessURL.view();
    if (!feed.empty())
        page += EscapeHTMLText(feed) + " &middot; ";
    page += std::to_string(itemCount) + " items, " + std::to_string(unreadCount) + " unread</div>";
    if (subscription.accessState == kAccessStateDone && subscription.accessErrors != 0)
        page += "<p class=\"fail\">The last check failed (error " + std::to_string(subscription.accessErrors) + ").</p>";
    page += "<p>" + EscapeHTMLText(subscription.description.view()) + "</p>";
    std::string_view home = subscription.homeURL.view();
    if (IsWebAddress(home))
        page += "<p><a href=\"" + EscapeHTMLText(home) + "\">" + EscapeHTMLText(home) + "</a></p>";
    page += kPageTail;
    return page;
}

std::string MakeOverviewPage(uint32_t subscriptions, uint32_t unread, uint32_t unreadHot)
{
    std::string page(kPageHead);
    page += "<h1>Varnoke</h1><div class=\"meta\">" + std::to_string(subscriptions) +
            (subscriptions == 1 ? " subscription, " : " subscriptions, ") + std::to_string(unread) + " unread";
    if (unreadHot > 0)
        page += ", " + std::to_string(unreadHot) + " hot";
    page += "</div><p>Choose a subscription on the left to list its headlines.</p>";
    page += kPageTail;
    return page;
}
