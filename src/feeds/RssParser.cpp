// The RSS parser: recognises the document, finds its channel, fills the
// channel fields the subscription lacks, then copies each item's fields out
// of its "<item" ... "</item>" range and hands them to the item steps shared
// with the Atom parser (FeedParsing.h). Every tag is a literal searched in
// the smallest range that may hold it.
#include "feeds/RssParser.h"

#include "feeds/FeedKind.h"
#include "feeds/FeedParsing.h"
#include "feeds/Restrictions.h"
#include "feeds/TextTools.h"
#include "feeds/URLs.h"
#include "model/SubscriptionList.h"
#include "platform/Log.h"

#include <initializer_list>
#include <limits>
#include <optional>

using feedparse::DocumentEncoding;
using feedparse::Element;
using feedparse::ElementState;
using feedparse::FindElement;
using feedparse::FindText;
using feedparse::ItemOutcome;
using feedparse::ItemTagIndex;
using feedparse::ItemTexts;
using feedparse::kNotFound;
using feedparse::FindLastText;
using feedparse::StartTagForm;
using feedparse::FieldTags;

// The tags, exactly as searched.
constexpr std::string_view kChannelTAGs = "<channel";
constexpr std::string_view kChannelTAGe = "</channel>";
constexpr std::string_view kTitleTAGs = "<title>";
constexpr std::string_view kTitleTAGe = "</title>";
constexpr std::string_view kItemTAGs = "<item";
constexpr std::string_view kItemTAGe = "</item>";
constexpr std::string_view kLinkTAGs = "<link>";
constexpr std::string_view kLinkTAGe = "</link>";
constexpr std::string_view kDescTAGs = "<description>";
constexpr std::string_view kDescTAGe = "</description>";
constexpr std::string_view kDateTAGs = "<dc:date>";
constexpr std::string_view kDateTAGe = "</dc:date>";
constexpr std::string_view kPubDateTAGs = "<pubDate>";
constexpr std::string_view kPubDateTAGe = "</pubDate>";
constexpr std::string_view kGuideTAGs = "<guid"; // its isPermaLink attribute decides whether it is a link
constexpr std::string_view kGuideTAGe = "</guid>";
constexpr std::string_view kContentTAGs = "<content:encoded>";
constexpr std::string_view kContentTAGe = "</content:encoded>";
constexpr std::string_view kPublishTAGs = "<dc:publisher>";
constexpr std::string_view kPublishTAGe = "</dc:publisher>";
constexpr std::string_view kSourceTAGs = "<ag:source>";
constexpr std::string_view kSourceTAGe = "</ag:source>";
constexpr std::string_view kCategoryTAGs = "<dc:subject>";
constexpr std::string_view kCategoryTAGe = "</dc:subject>";
constexpr std::string_view kEnclosureTAGs = "<enclosure";
constexpr std::string_view kEnclosureTAGe = "/>";
constexpr std::string_view kEnclosureTAGe2 = "></enclosure>";
constexpr std::string_view kEnclosURLDqTAG = "url=\"";
constexpr std::string_view kEnclosURLSqTAG = "url='";
constexpr std::string_view kImageTAGs = "<image";
constexpr std::string_view kImageTAGe = "</image>";
constexpr std::string_view kImageRsrcTAG = "<image rdf:resource=\"";
constexpr std::string_view kGeneralURLTAGs = "<url>";
constexpr std::string_view kGeneralURLTAGe = "</url>";

constexpr std::string_view kPermaLinkAttribute = "isPermaLink";
constexpr std::string_view kNotPermaLink = "false";
constexpr char kItemsListLetter = 's'; // "<items", the RSS 1.0 list inside the channel

constexpr size_t kMaxNameBytes = 63;
constexpr size_t kMaxDescriptionBytes = 2047;
constexpr size_t kMaxURLBytes = 255;

/* ---- The channel ---- */

// The channel's place in the document.
struct RSSChannel {
    size_t start = 0;  // its "<channel"
    size_t end = 0;    // where its own fields end
    bool hasItems = false;
};

static bool IsItemsList(std::string_view data, size_t item)
{
    const size_t after = item + kItemTAGs.size();
    return after < data.size() && data[after] == kItemsListLetter;
}

// The channel's own fields end at "</channel>", except in RSS 2.0, where the
// channel holds its items and they end at the first one; the RSS 1.0 items
// list inside the channel is not an item. An RSS 2.0 channel closes after
// all its items, so its "</channel>" is looked for from the document's end
// rather than through every item: only whether there is one matters then.
static std::optional<RSSChannel> FindRSSChannel(std::string_view data)
{
    const size_t start = FindText(data, kChannelTAGs);
    if (start == kNotFound)
        return std::nullopt;
    const size_t firstItem = FindText(data, kItemTAGs, start);
    RSSChannel channel{start, kNotFound, firstItem != kNotFound};
    if (!channel.hasItems || IsItemsList(data, firstItem)) {
        channel.end = FindText(data, kChannelTAGe, start);
    } else {
        channel.end = FindText(data.substr(0, firstItem), kChannelTAGe, start);
        if (channel.end == kNotFound) {
            const size_t last = FindLastText(data, kChannelTAGe);
            channel.end = last != kNotFound && last > firstItem ? firstItem : kNotFound;
        }
    }
    if (channel.end == kNotFound)
        return std::nullopt;
    return channel;
}

// The text of the first `open` ... `close` whose end lies inside `head`.
static std::optional<std::string_view> FindChannelElement(std::string_view head, std::string_view open,
                                                          std::string_view close)
{
    Element element = FindElement(head, open, close, StartTagForm::kExact);
    if (element.state != ElementState::kFound)
        return std::nullopt;
    return element.text;
}

static bool FillChannelName(SubscriptionList& subscription, std::string_view head, std::string_view encodingName)
{
    if (!subscription.name.empty())
        return false;
    std::optional<std::string_view> title = FindChannelElement(head, kTitleTAGs, kTitleTAGe);
    if (!title)
        return false;
    std::string name = feedparse::MakeChannelText(*title, feedparse::ChannelTextRule::kName, encodingName, kMaxNameBytes);
    if (name.empty())
        return false;
    subscription.name = name;
    return true;
}

// The image's URL: an RSS 1.0 image reference, else the "<url>" of the
// channel's "<image>" block.
static std::string FindChannelImage(std::string_view data, const RSSChannel& channel)
{
    const std::string_view head = data.substr(channel.start, channel.end - channel.start);
    const size_t reference = FindText(head, kImageRsrcTAG);
    if (reference != kNotFound) {
        std::string_view value = data.substr(channel.start + reference + kImageRsrcTAG.size(), kMaxURLBytes);
        return feedparse::MakeChannelURL(value.substr(0, std::min(value.find_first_of("\"\r\n"), value.size())));
    }
    const size_t image = FindText(head, kImageTAGs);
    if (image == kNotFound)
        return {};
    const size_t imageClose = FindText(head, kImageTAGe, image);
    if (imageClose == kNotFound)
        return {};
    std::optional<std::string_view> url =
        FindChannelElement(head.substr(image, imageClose - image), kGeneralURLTAGs, kGeneralURLTAGe);
    return url ? feedparse::MakeChannelURL(*url) : std::string();
}

// The home page: the first "<link>" that starts inside the channel's head;
// its end tag may lie beyond, since the copy ends at the first "<" anyway.
static std::string FindChannelLink(std::string_view data, const RSSChannel& channel)
{
    const size_t link = FindText(data.substr(0, channel.end), kLinkTAGs, channel.start);
    if (link == kNotFound)
        return {};
    const size_t textStart = link + kLinkTAGs.size();
    const size_t close = FindText(data, kLinkTAGe, textStart);
    if (close == kNotFound)
        return {};
    return feedparse::MakeChannelURL(data.substr(textStart, close - textStart));
}

static void FillChannelFields(SubscriptionList& subscription, std::string_view data, const RSSChannel& channel,
                              std::string_view encodingName)
{
    const std::string_view head = data.substr(channel.start, channel.end - channel.start);
    if (subscription.description.empty()) {
        if (std::optional<std::string_view> description = FindChannelElement(head, kDescTAGs, kDescTAGe))
            subscription.description = feedparse::MakeChannelText(
                *description, feedparse::ChannelTextRule::kDescription, encodingName, kMaxDescriptionBytes);
    }
    if (subscription.imageURL.empty()) {
        subscription.imageURL = FindChannelImage(data, channel);
        if (!subscription.imageURL.empty())
            LogInfo("Found Channel Image : %s", subscription.imageURL.c_str());
    }
    if (subscription.homeURL.empty())
        subscription.homeURL = FindChannelLink(data, channel);
}

/* ---- Items ---- */

// The start tags of an item's fields, found in one pass over the item.
enum ItemTag : size_t {
    kItemTitle,
    kItemLink,
    kItemGuid,
    kItemContent,
    kItemDescription,
    kItemDate,
    kItemPubDate,
    kItemPublisher,
    kItemSource,
    kItemSubject,
    kItemEnclosure,
    kItemTagCount,
};

constexpr FieldTags kItemTags[kItemTagCount] = {
    {kTitleTAGs, kTitleTAGe},
    {kLinkTAGs, kLinkTAGe},
    {kGuideTAGs, kGuideTAGe, StartTagForm::kWithAttributes},
    {kContentTAGs, kContentTAGe},
    {kDescTAGs, kDescTAGe},
    {kDateTAGs, kDateTAGe},
    {kPubDateTAGs, kPubDateTAGe},
    {kPublishTAGs, kPublishTAGe},
    {kSourceTAGs, kSourceTAGe},
    {kCategoryTAGs, kCategoryTAGe},
    {kEnclosureTAGs, kEnclosureTAGe},
};

// A guid stands for the item's page unless it says it is not a permalink.
static bool IsPermaLinkGuid(std::string_view startTag)
{
    std::optional<std::string_view> value = feedparse::FindAttribute(startTag, kPermaLinkAttribute);
    return !value || *value != kNotPermaLink;
}

// The link: "<link>", else a guid that is a permalink. False when the
// element read is broken.
static bool ReadItemLink(const ItemTagIndex& item, TextBuffer& link, CFStringEncoding encoding)
{
    Element element = item.Read(kItemLink);
    if (element.state == ElementState::kBroken)
        return false;
    std::string_view text = feedparse::TrimLinkText(element.text);
    if (text.empty()) {
        Element guid = item.Read(kItemGuid);
        if (guid.state == ElementState::kBroken)
            return false;
        if (guid.state == ElementState::kFound && IsPermaLinkGuid(guid.startTag))
            text = feedparse::TrimLinkText(guid.text);
    }
    link.Assign(text);
    StripCDATA(link);
    feedparse::DecodeItemText(link, encoding);
    return true;
}

// One "<enclosure" tag: it runs to its "/>", or to "></enclosure>" when
// there is none, inside the item.
struct EnclosureTag {
    std::optional<std::string_view> url; // the url attribute's value, when the tag has one
    size_t end = 0;                      // just after the tag
};

// A quote of either kind, or a line break, ends an enclosure's URL.
static bool IsEnclosureURLEnd(char c)
{
    return c == '"' || c == '\'' || c == '\r' || c == '\n';
}

static std::optional<EnclosureTag> ReadEnclosureAt(std::string_view item, size_t start)
{
    if (start == kNotFound)
        return std::nullopt;
    size_t close = FindText(item, kEnclosureTAGe, start);
    size_t closeLength = kEnclosureTAGe.size();
    if (close == kNotFound) {
        close = FindText(item, kEnclosureTAGe2, start);
        closeLength = kEnclosureTAGe2.size();
    }
    if (close == kNotFound)
        return std::nullopt;
    EnclosureTag enclosure;
    enclosure.end = close + closeLength;
    const std::string_view tag = item.substr(start, close - start);
    size_t url = FindText(tag, kEnclosURLDqTAG);
    if (url == kNotFound)
        url = FindText(tag, kEnclosURLSqTAG);
    if (url == kNotFound)
        return enclosure;
    std::string_view value = tag.substr(url + kEnclosURLDqTAG.size());
    // Byte by byte: find_first_of would test the four bytes with a call each.
    size_t length = 0;
    while (length < value.size() && !IsEnclosureURLEnd(value[length]))
        ++length;
    enclosure.url = value.substr(0, length);
    return enclosure;
}

// The enclosure, preferring a second one when the first is only an image.
static void ReadItemEnclosure(const ItemTagIndex& item, TextBuffer& enclosure, CFStringEncoding encoding)
{
    std::optional<EnclosureTag> first = ReadEnclosureAt(item.Text(), item.First(kItemEnclosure));
    if (!first || !first->url)
        return;
    enclosure.Assign(*first->url);
    feedparse::DecodeItemText(enclosure, encoding);
    if (!IsImageURL(enclosure.view()))
        return;
    std::optional<EnclosureTag> second = ReadEnclosureAt(item.Text(), FindText(item.Text(), kEnclosureTAGs, first->end));
    if (!second || !second->url)
        return;
    TextScratch<feedparse::kEnclosureBytes> url(*second->url);
    feedparse::DecodeItemText(url, encoding);
    LogInfo("Found More Enclosure : %.*s", int(url.size()), url.data());
    if (!url.empty() && !IsImageURL(url.view()))
        enclosure.Assign(url.view());
}

enum class ItemFields { kRead, kBroken };

// Copies the item's fields into `texts` with their first transforms.
static ItemFields ReadItemFields(const ItemTagIndex& item, ItemTexts& texts, CFStringEncoding encoding)
{
    std::optional<std::string_view> title = item.ReadFirst({kItemTitle});
    if (!title)
        return ItemFields::kBroken;
    texts.headline.Assign(feedparse::CopyHeadline(*title));
    StripCRLFSpace(texts.headline);

    if (!ReadItemLink(item, texts.link, encoding))
        return ItemFields::kBroken;

    std::optional<std::string_view> description = item.ReadFirst({kItemContent, kItemDescription});
    if (!description)
        return ItemFields::kBroken;
    texts.description.Assign(*description);
    StripCRLFSpacePre(texts.description);

    std::optional<std::string_view> date = item.ReadFirst({kItemDate, kItemPubDate});
    if (!date)
        return ItemFields::kBroken;
    texts.date.Assign(*date);

    std::optional<std::string_view> publisher = item.ReadFirst({kItemPublisher, kItemSource});
    if (!publisher)
        return ItemFields::kBroken;
    texts.publisher.Assign(feedparse::CutAtLineEnd(feedparse::SkipLeadingBreaks(*publisher)));

    std::optional<std::string_view> subject = item.ReadFirst({kItemSubject});
    if (!subject)
        return ItemFields::kBroken;
    texts.subject.Assign(*subject);
    feedparse::DecodeItemText(texts.subject, encoding);
    StripCDATA(texts.subject);

    ReadItemEnclosure(item, texts.enclosure, encoding);
    return ItemFields::kRead;
}

static int32_t ReadRSSItems(SubscriptionList& subscription, std::string_view data, size_t from,
                            const DocumentEncoding& document)
{
    ItemTexts texts;
    int32_t count = 0;
    size_t at = from;
    while (at < data.size()) {
        const size_t itemStart = FindText(data, kItemTAGs, at);
        if (itemStart == kNotFound)
            break;
        const size_t bodyStart = itemStart + kItemTAGs.size();
        const size_t itemClose = FindText(data, kItemTAGe, bodyStart);
        if (itemClose == kNotFound)
            break;
        texts.Clear();
        const ItemTagIndex item(data.substr(bodyStart, itemClose - bodyStart), kItemTags, kItemTagCount);
        if (ReadItemFields(item, texts, document.encoding) == ItemFields::kBroken) {
            LogFailure("Broken element in the item at byte %zu of %s; the items after it are not read.", itemStart,
                       subscription.name.c_str());
            break;
        }
        if (feedparse::RegisterFeedItem(subscription, document, texts) == ItemOutcome::kAdded &&
            count < std::numeric_limits<int32_t>::max())
            ++count;
        at = itemClose + kItemTAGe.size();
    }
    return count;
}

/* ---- The document ---- */

int32_t ParseRSSNews(SubscriptionList& subscription, std::string_view data, bool& named)
{
    named = false;
    const size_t openTagEnd = feedparse::FindRSSOpeningTagEnd(data);
    if (openTagEnd == kNotFound)
        return kFeedNotRecognizedErr;
    std::optional<RSSChannel> channel = FindRSSChannel(data);
    if (!channel)
        return kFeedNotRecognizedErr;

    const std::string declared = feedparse::ReadDeclaredEncoding(data, openTagEnd);
    const DocumentEncoding document = feedparse::GetDocumentEncoding(declared, subscription);
    named = FillChannelName(subscription, data.substr(channel->start, channel->end - channel->start), document.name);
    if (subscription.name == kSiteProtectedName)
        return kFeedRestrictedErr;
    if (declared.empty())
        LogFailure("No text encoding RSS : %s", subscription.name.c_str());
    FillChannelFields(subscription, data, *channel, document.name);
    if (!subscription.homeURL.empty() && IsRestrictedURL(subscription.homeURL.view()))
        return kFeedRestrictedErr;
    if (!channel->hasItems)
        return kFeedNoItemsErr;
    return ReadRSSItems(subscription, data, channel->end, document);
}
