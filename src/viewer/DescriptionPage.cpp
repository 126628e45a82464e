// Builds the description pane's pages from the model's texts: the item's
// page in its own encoding, the summary pages, the page file and the fixed
// pages among the resources.
#include "viewer/DescriptionPage.h"

#include "feeds/URLs.h"
#include "platform/Encodings.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"
#include "settings/StyleSheets.h"
#include "viewer/HeadlineModel.h"
#include "viewer/ViewerPresenter.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <system_error>

#include <unistd.h>

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

/* ---- Enclosures ---- */

namespace {

constexpr std::array kMpeg4Endings{".mp4", ".MP4", ".m4v", ".M4V"};
constexpr std::array kAudioEndings{".mp3", ".MP3", ".acc", ".ACC", ".m4a", ".M4A"};
constexpr std::string_view kTorrentEnding = ".torrent";

template <size_t N>
bool EndsWithAny(std::string_view url, const std::array<const char*, N>& endings)
{
    for (const char* ending : endings) {
        if (url.ends_with(ending))
            return true;
    }
    return false;
}

} // namespace

bool IsTorrentURL(std::string_view url)
{
    return url.ends_with(kTorrentEnding);
}

bool IsAudioURL(std::string_view url)
{
    return EndsWithAny(url, kAudioEndings);
}

bool IsMpeg4VideoURL(std::string_view url)
{
    return EndsWithAny(url, kMpeg4Endings);
}

EnclosureClass ClassifyEnclosure(std::string_view url)
{
    if (url.empty())
        return EnclosureClass::kNone;
    if (IsTorrentURL(url))
        return EnclosureClass::kTorrent;
    if (IsAudioURL(url))
        return EnclosureClass::kAudio;
    if (IsImageURL(url))
        return EnclosureClass::kPicture;
    if (IsMpeg4VideoURL(url))
        return EnclosureClass::kMpeg4Video;
    return EnclosureClass::kOther;
}

/* ---- The item's page ---- */

namespace {

constexpr std::string_view kHeadA1 = "<HTML><HEAD><LINK REL=\"stylesheet\" type=\"text/css\" href=\"";
constexpr std::string_view kHeadA2 = ".css\">\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=";
constexpr std::string_view kHeadB = "<HTML><HEAD>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=";
constexpr std::string_view kBaseOpen = "\"><BASE HREF=\"";
constexpr std::string_view kHeadClose = "\"></HEAD>\n<BODY><DIV class=vkbody>\n";
constexpr std::string_view kTitleOpen = "<H3 class=vkhead>";
constexpr std::string_view kTitleClose = "</H3>\n<DIV class=vkdesc>";
constexpr std::string_view kTitleLinkClose = "</A></H3>\n<DIV class=vkdesc>";
constexpr std::string_view kPageClose = "</DIV></DIV></BODY></HTML>";
constexpr std::string_view kFaviconStyle = "-Favicon";
constexpr std::string_view kPodcastPicture = "css/image/podcast.png";
constexpr std::string_view kDefaultCharset = "UTF-8";

// An address inside a double-quoted attribute: a quote or an angle bracket
// from the feed would end the attribute or the tag and let the rest of the
// address add attributes of its own, so they are percent-encoded.
std::string AttributeURL(std::string_view url)
{
    std::string quoted;
    quoted.reserve(url.size());
    for (char c : url) {
        switch (c) {
        case '"': quoted += "%22"; break;
        case '<': quoted += "%3C"; break;
        case '>': quoted += "%3E"; break;
        default: quoted += c; break;
        }
    }
    return quoted;
}

// The longest prefix of `text` within `room` bytes that ends neither inside
// a multi-byte character nor inside a tag.
std::string_view CutDescription(std::string_view text, size_t room)
{
    if (text.size() <= room)
        return text;
    size_t end = room;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    std::string_view cut = text.substr(0, end);
    size_t open = cut.rfind('<');
    size_t close = cut.rfind('>');
    if (open != std::string_view::npos && (close == std::string_view::npos || close < open))
        cut = cut.substr(0, open);
    return cut;
}

std::string EnclosureBlock(std::string_view url, const DescriptionPageSettings& settings)
{
    std::string address = AttributeURL(url);
    switch (ClassifyEnclosure(url)) {
    case EnclosureClass::kNone:
    case EnclosureClass::kTorrent:
        return {};
    case EnclosureClass::kAudio:
        // The web engine plays audio itself, in a bar as wide as the
        // plug-in's player was.
        return "<P ALIGN=\"center\"><AUDIO src=\"" + address + "\" controls preload=\"none\" style=\"width:" +
               std::to_string(std::max(0, settings.viewWidth - kEnclosurePlayerMargin)) + "px\"></AUDIO></P>";
    case EnclosureClass::kPicture:
        return "<P ALIGN=\"center\"><IMG src=\"" + address + "\"></P>";
    case EnclosureClass::kMpeg4Video:
        if (settings.useMediaPlayer) {
            std::filesystem::path picture = settings.supportFolder / kPodcastPicture;
            return "<P ALIGN=\"center\"><A HREF=\"" + address + "\"><IMG src=\"file://" +
                   AttributeURL(picture.string()) + "\"></A></P>";
        }
        [[fallthrough]];
    case EnclosureClass::kOther:
        return "<P ALIGN=\"center\"><VIDEO src=\"" + address +
               "\" controls preload=\"metadata\" style=\"max-width:100%\"></VIDEO></P>";
    }
    return {};
}

} // namespace

std::string DescriptionStyleName(const DescriptionPageItem& item, const DescriptionPageSettings& settings)
{
    const SubscriptionList* parent = item.parent;
    if (settings.useFaviconCSS && parent && settings.specialCSSExists)
        return std::string(kSpecialCSSPrefix) + std::string(parent->name.view());
    if (settings.useFaviconCSS && parent && parent->iconURL.view().starts_with("h"))
        return std::string(kFaviconStyle);
    return settings.styleSheet;
}

std::string ReadStyleSheetText(const std::filesystem::path& cssFolder, std::string_view name)
{
    if (!IsStyleSheetName(name))
        return {};
    std::optional<std::string> text = GetDataFromFile(cssFolder / (std::string(name) + kCSSFileSuffix));
    if (!text)
        return {};
    constexpr std::string_view kImport = "@import url(\"";
    std::string resolved;
    size_t at = 0;
    while (true) {
        size_t import = text->find(kImport, at);
        if (import == std::string::npos)
            break;
        size_t nameStart = import + kImport.size();
        size_t nameEnd = text->find("\")", nameStart);
        size_t end = nameEnd == std::string::npos ? std::string::npos : text->find(';', nameEnd);
        if (end == std::string::npos)
            break;
        std::string imported = text->substr(nameStart, nameEnd - nameStart);
        resolved.append(*text, at, import - at);
        if (imported.ends_with(kCSSFileSuffix)) {
            imported.resize(imported.size() - std::string_view(kCSSFileSuffix).size());
            if (IsStyleSheetName(imported) && imported != name)
                resolved += GetDataFromFile(cssFolder / (imported + kCSSFileSuffix)).value_or(std::string());
        }
        at = end + 1;
    }
    resolved.append(*text, at);
    // The text goes inside a STYLE element: it must not close it.
    for (size_t close = resolved.find("</"); close != std::string::npos; close = resolved.find("</", close))
        resolved.replace(close, 2, "<\\/");
    return resolved;
}

std::string MakeDescriptionPage(const DescriptionPageItem& item, const DescriptionPageSettings& settings)
{
    const SubscriptionList* parent = item.parent;
    std::string page;
    page.reserve(kDescriptionPageLimit + settings.styleText.size());
    std::string styleName = DescriptionStyleName(item, settings);
    bool showFavicon = styleName == kFaviconStyle && settings.useFaviconCSS && parent && !settings.specialCSSExists &&
                       parent->iconURL.view().starts_with("h");
    if (!styleName.empty()) {
        // The item's subscription becomes the page's base below, and the
        // engine resolves every address against it, the style sheet's too:
        // the sheet is named by its full file address.
        page += kHeadA1;
        if (!settings.supportFolder.empty())
            page += "file://" + AttributeURL((settings.supportFolder / kCSSFolderName).string()) + "/";
        else
            page += std::string(kCSSFolderName) + "/";
        page += AttributeURL(styleName);
        if (!settings.styleText.empty()) {
            page += ".css\">\n<STYLE type=\"text/css\">\n";
            page += settings.styleText;
            page += "</STYLE>";
            page += kHeadA2.substr(kHeadA2.find('\n'));
        } else {
            page += kHeadA2;
        }
    } else {
        page += kHeadB;
    }
    // A feed that names no encoding is read as UTF-8 by the parsers.
    page += item.encodingName.empty() ? kDefaultCharset : AttributeURL(item.encodingName);
    if (parent) {
        page += kBaseOpen;
        page += AttributeURL(parent->accessURL.view());
    }
    page += kHeadClose;

    std::string icon = showFavicon ? "<IMG SRC=\"" + AttributeURL(parent->iconURL.view()) + "\" class=vkicon>" : std::string();
    page += kTitleOpen;
    page += icon;
    if (item.link.empty() || item.link == item.enclosure) {
        page += item.title;
        page += kTitleClose;
    } else {
        page += "<A HREF=\"";
        page += AttributeURL(item.link);
        page += "\">";
        page += item.title;
        page += kTitleLinkClose;
    }
    page += EnclosureBlock(item.enclosure, settings);

    std::string_view description = item.description.empty() ? std::string_view(kNoDescriptionText) : item.description;
    // The bound is the page's own; a sheet placed in it comes on top.
    size_t limit = kDescriptionPageLimit + settings.styleText.size();
    size_t used = page.size() + kPageClose.size();
    if (used >= limit) {
        // Only a freak title or address gets here: the head stays, cut.
        page.resize(limit - kPageClose.size());
    } else {
        page += CutDescription(description, limit - used);
    }
    page += kPageClose;
    return page;
}

DescriptionPageItem DescriptionItemOf(const NewsList& item)
{
    DescriptionPageItem page;
    page.title = item.headline.view();
    page.link = item.linkURL.view();
    page.description = item.description.view();
    page.enclosure = item.objectURL.view();
    page.encodingName = item.encodingName.view();
    page.parent = item.parent;
    return page;
}

std::string MakeNewsDescriptionPage(const NewsList& item, const DescriptionPageSettings& settings)
{
    return MakeDescriptionPage(DescriptionItemOf(item), settings);
}

bool ShouldSwitchDescription(const NewsList& item, int8_t autoSwitch)
{
    bool hasLink = !item.linkURL.view().empty();
    if (item.parent && (item.parent->options & kOptionAlwaysShowPage))
        return hasLink;
    if (autoSwitch < 0)
        return false;
    if (autoSwitch == 0)
        return item.description.view().empty() && item.objectURL.view().empty();
    return hasLink;
}

/* ---- Files ---- */

std::optional<std::filesystem::path> StoreToHTMLFile(std::string_view page, OSStatus* status)
{
    auto fail = [status](OSStatus error) -> std::optional<std::filesystem::path> {
        if (status)
            *status = error;
        return std::nullopt;
    };
    std::filesystem::path folder = GetUserSupportFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // The page is shown once and rewritten at the next item: it goes in by
    // a rename, so the engine never reads half a page, but without the
    // flushes that keep the user's data.
    std::filesystem::path file = folder / kDescriptionFileName;
    std::filesystem::path temporary = folder / (std::string(".") + kDescriptionFileName + "." + std::to_string(getpid()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return fail(kFileNotFoundErr);
        out.write(page.data(), std::streamsize(page.size()));
        if (!out.flush())
            return fail(kIOErr);
    }
    std::filesystem::rename(temporary, file, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return fail(kIOErr);
    }
    if (status)
        *status = kNoErr;
    return file;
}

std::string_view PreDescriptionFileName(int32_t accessErrors)
{
    switch (accessErrors) {
    case 0:
        return {};
    case -1:
        return "notRssSite.html";
    case -2:
        return "noItemSite.html";
    case -3:
        return "notAccessed.html";
    case -4:
        return "restricted.html";
    default:
        return "cannotAccess.html";
    }
}

std::optional<std::filesystem::path> FixedDescriptionPage(std::string_view fileName)
{
    if (fileName.empty())
        return std::nullopt;
    return MakeResourcePath("html/" + std::string(fileName));
}
