// The Atom parser: finds the feed's title, first link and first entry,
// fills the channel fields the subscription lacks, then copies each entry's
// fields out of its "<entry" ... "</entry>" range and hands them to the item
// steps shared with the RSS parser (FeedParsing.h). Elements that may carry
// attributes are matched by their name and passed to the end of their start
// tag; a self-closing one is empty.
#include "feeds/AtomParser.h"

#include "feeds/FeedKind.h"
#include "feeds/FeedParsing.h"
#include "feeds/Restrictions.h"
#include "feeds/TextTools.h"
#include "model/SubscriptionList.h"
#include "platform/Log.h"

#include <limits>
#include <optional>

using feedparse::DocumentEncoding;
using feedparse::Element;
using feedparse::ElementState;
using feedparse::FindAttribute;
using feedparse::FindElement;
using feedparse::FindStartTag;
using feedparse::FindTagClose;
using feedparse::FindText;
using feedparse::ItemOutcome;
using feedparse::ItemTagIndex;
using feedparse::ItemTexts;
using feedparse::kNotFound;
using feedparse::StartTagForm;
using feedparse::FieldTags;

// The tags: an opening literal without ">" takes attributes.
constexpr std::string_view kAFeedTAGs = "<feed";
constexpr std::string_view kATitleTAGs = "<title";
constexpr std::string_view kATitleTAGe = "</title>";
constexpr std::string_view kATaglineTAGs = "<tagline";
constexpr std::string_view kATaglineTAGe = "</tagline>";
constexpr std::string_view kASubtitleTAGs = "<subtitle"; // Atom 1.0's tagline
constexpr std::string_view kASubtitleTAGe = "</subtitle>";
constexpr std::string_view kAEntryTAGs = "<entry";
constexpr std::string_view kAEntryTAGe = "</entry>";
constexpr std::string_view kALinkTAGs = "<link";
constexpr std::string_view kAHRefAttribute = "href";
constexpr std::string_view kARelAttribute = "rel";
constexpr std::string_view kAAlternateRel = "alternate"; // also a link's relation when it names none
constexpr std::string_view kAModDateTAGs = "<modified>";
constexpr std::string_view kAModDateTAGe = "</modified>";
constexpr std::string_view kAUpdDateTAGs = "<updated>";
constexpr std::string_view kAUpdDateTAGe = "</updated>";
constexpr std::string_view kAContentTAGs = "<content";
constexpr std::string_view kAContentTAGe = "</content>";
constexpr std::string_view kASummaryTAGs = "<summary";
constexpr std::string_view kASummaryTAGe = "</summary>";
constexpr std::string_view kACategoryTAGs = "<category>";
constexpr std::string_view kACategoryTAGe = "</category>";
constexpr std::string_view kADCSubjectTAGs = "<dc:subject>";
constexpr std::string_view kADCSubjectTAGe = "</dc:subject>";

constexpr size_t kMaxNameBytes = 63;
constexpr size_t kMaxDescriptionBytes = 2047;

size_t SeekEndOfTag(std::string_view text, size_t at)
{
    const size_t close = at < text.size() ? text.find('>', at) : kNotFound;
    return close == kNotFound ? text.size() : close + 1;
}

/* ---- The feed ---- */

// The feed's landmarks.
struct AtomFeed {
    size_t title = 0;      // its first "<title"
    size_t titleClose = 0; // the "</title>" after it
    size_t head = 0;       // its "<feed"
    size_t firstEntry = 0; // the first "<entry"; the document's end when none
    bool hasEntries = false;
};

static std::optional<AtomFeed> FindAtomFeed(std::string_view data)
{
    AtomFeed feed;
    feed.head = FindStartTag(data, kAFeedTAGs);
    if (feed.head == kNotFound)
        return std::nullopt;
    feed.title = FindStartTag(data, kATitleTAGs, feed.head);
    if (feed.title == kNotFound)
        return std::nullopt;
    const size_t entry = FindStartTag(data, kAEntryTAGs, feed.head);
    feed.hasEntries = entry != kNotFound;
    feed.firstEntry = feed.hasEntries ? entry : data.size();
    if (feed.firstEntry < feed.title)
        return std::nullopt;
    feed.titleClose = FindText(data, kATitleTAGe, feed.title);
    if (feed.titleClose == kNotFound)
        return std::nullopt;
    return feed;
}

static bool FillFeedName(SubscriptionList& subscription, std::string_view data, const AtomFeed& feed,
                         std::string_view encodingName)
{
    if (!subscription.name.empty())
        return false;
    const size_t tagClose = FindTagClose(data, feed.title + kATitleTAGs.size());
    if (tagClose == kNotFound || tagClose >= feed.titleClose || data[tagClose - 1] == '/')
        return false;
    const std::string_view title = data.substr(tagClose + 1, feed.titleClose - tagClose - 1);
    std::string name = feedparse::MakeChannelText(title, feedparse::ChannelTextRule::kName, encodingName, kMaxNameBytes);
    if (name.empty())
        return false;
    subscription.name = name;
    return true;
}

// A link is the alternate one when it says so or names no relation at all.
static bool IsAlternateLink(std::string_view tag)
{
    std::optional<std::string_view> rel = FindAttribute(tag, kARelAttribute);
    return !rel || *rel == kAAlternateRel;
}

// The first alternate link among the links before the first entry.
static std::string FindFeedLink(std::string_view data, const AtomFeed& feed)
{
    for (size_t at = feed.head;;) {
        const size_t link = FindStartTag(data, kALinkTAGs, at);
        if (link == kNotFound || link >= feed.firstEntry)
            return {};
        const size_t close = FindTagClose(data, link + kALinkTAGs.size());
        if (close == kNotFound || close >= feed.firstEntry)
            return {};
        const std::string_view tag = data.substr(link, close + 1 - link);
        if (IsAlternateLink(tag)) {
            std::optional<std::string_view> href = FindAttribute(tag, kAHRefAttribute);
            return href ? feedparse::MakeChannelURL(*href) : std::string();
        }
        at = close + 1;
    }
}

// The tagline, or Atom 1.0's subtitle, before the first entry.
static void FillFeedDescription(SubscriptionList& subscription, std::string_view data, const AtomFeed& feed,
                                std::string_view encodingName)
{
    if (!subscription.description.empty())
        return;
    const std::string_view head = data.substr(feed.head, feed.firstEntry - feed.head);
    Element description = FindElement(head, kATaglineTAGs, kATaglineTAGe, StartTagForm::kWithAttributes);
    if (description.state == ElementState::kAbsent)
        description = FindElement(head, kASubtitleTAGs, kASubtitleTAGe, StartTagForm::kWithAttributes);
    if (description.state != ElementState::kFound)
        return;
    subscription.description = feedparse::MakeChannelText(description.text, feedparse::ChannelTextRule::kDescription,
                                                          encodingName, kMaxDescriptionBytes);
}

/* ---- Entries ---- */

enum class EntryFields {
    kRead,
    kSkipped, // a damaged link: this entry is passed over
    kBroken,  // a damaged element: the reading ends
};

// The first alternate link's href. A link whose tag does not end inside the
// entry, or an alternate link without href, skips the entry; an entry
// without an alternate link keeps an empty link.
static EntryFields ReadEntryLink(std::string_view entry, TextBuffer& link, CFStringEncoding encoding)
{
    for (size_t at = 0;;) {
        const size_t start = FindStartTag(entry, kALinkTAGs, at);
        if (start == kNotFound)
            return EntryFields::kRead;
        const size_t close = FindTagClose(entry, start + kALinkTAGs.size());
        if (close == kNotFound)
            return EntryFields::kSkipped;
        const std::string_view tag = entry.substr(start, close + 1 - start);
        if (!IsAlternateLink(tag)) {
            at = close + 1;
            continue;
        }
        std::optional<std::string_view> href = FindAttribute(tag, kAHRefAttribute);
        if (!href)
            return EntryFields::kSkipped;
        link.Assign(feedparse::TrimLinkText(*href));
        feedparse::DecodeItemText(link, encoding);
        return EntryFields::kRead;
    }
}

// The start tags of an entry's fields, found in one pass over the entry;
// its links are walked on their own.
enum EntryTag : size_t {
    kEntryTitle,
    kEntryContent,
    kEntrySummary,
    kEntryModified,
    kEntryUpdated,
    kEntryCategory,
    kEntrySubject,
    kEntryTagCount,
};

constexpr FieldTags kEntryTags[kEntryTagCount] = {
    {kATitleTAGs, kATitleTAGe, StartTagForm::kWithAttributes},
    {kAContentTAGs, kAContentTAGe, StartTagForm::kWithAttributes},
    {kASummaryTAGs, kASummaryTAGe, StartTagForm::kWithAttributes},
    {kAModDateTAGs, kAModDateTAGe},
    {kAUpdDateTAGs, kAUpdDateTAGe},
    {kACategoryTAGs, kACategoryTAGe},
    {kADCSubjectTAGs, kADCSubjectTAGe},
};

static EntryFields ReadEntryFields(const ItemTagIndex& entry, ItemTexts& texts, CFStringEncoding encoding)
{
    Element title = entry.Read(kEntryTitle);
    if (title.state == ElementState::kBroken)
        return EntryFields::kBroken;
    texts.headline.Assign(feedparse::CopyHeadline(title.text));

    if (EntryFields link = ReadEntryLink(entry.Text(), texts.link, encoding); link != EntryFields::kRead)
        return link;

    // Content given by reference ("<content src=... />") gives way to the summary.
    std::optional<std::string_view> description = entry.ReadFirst({kEntryContent, kEntrySummary});
    if (!description)
        return EntryFields::kBroken;
    texts.description.Assign(*description);

    std::optional<std::string_view> date = entry.ReadFirst({kEntryModified, kEntryUpdated});
    if (!date)
        return EntryFields::kBroken;
    texts.date.Assign(*date);

    std::optional<std::string_view> subject = entry.ReadFirst({kEntryCategory, kEntrySubject});
    if (!subject)
        return EntryFields::kBroken;
    texts.subject.Assign(*subject);
    StripCDATA(texts.subject);
    feedparse::DecodeItemText(texts.subject, encoding);
    return EntryFields::kRead;
}

static int32_t ReadAtomEntries(SubscriptionList& subscription, std::string_view data, size_t from,
                               const DocumentEncoding& document)
{
    ItemTexts texts;
    int32_t count = 0;
    size_t at = from;
    while (at < data.size()) {
        const size_t entryStart = FindStartTag(data, kAEntryTAGs, at);
        if (entryStart == kNotFound)
            break;
        const size_t bodyStart = entryStart + kAEntryTAGs.size();
        const size_t entryClose = FindText(data, kAEntryTAGe, bodyStart);
        if (entryClose == kNotFound)
            break;
        at = entryClose + kAEntryTAGe.size();
        texts.Clear();
        const ItemTagIndex entry(data.substr(bodyStart, entryClose - bodyStart), kEntryTags, kEntryTagCount);
        switch (ReadEntryFields(entry, texts, document.encoding)) {
        case EntryFields::kRead:
            break;
        case EntryFields::kSkipped:
            LogFailure("Damaged link in the entry at byte %zu of %s; the entry is skipped.", entryStart,
                       subscription.name.c_str());
            continue;
        case EntryFields::kBroken:
            LogFailure("Broken element in the entry at byte %zu of %s; the entries after it are not read.",
                       entryStart, subscription.name.c_str());
            return count;
        }
        if (feedparse::RegisterFeedItem(subscription, document, texts) == ItemOutcome::kAdded &&
            count < std::numeric_limits<int32_t>::max())
            ++count;
    }
    return count;
}

/* ---- The document ---- */

int32_t ParseAtomNews(SubscriptionList& subscription, std::string_view data, bool& named)
{
    named = false;
    const size_t openTagEnd = data.find('>', SkipDocumentLead(data));
    if (openTagEnd == kNotFound)
        return kFeedNotRecognizedErr;
    std::optional<AtomFeed> feed = FindAtomFeed(data);
    if (!feed)
        return kFeedNotRecognizedErr;

    const std::string declared = feedparse::ReadDeclaredEncoding(data, openTagEnd);
    const DocumentEncoding document = feedparse::GetDocumentEncoding(declared, subscription);
    named = FillFeedName(subscription, data, *feed, document.name);
    if (declared.empty())
        LogFailure("No text encoding ATOM : %s", subscription.name.c_str());
    if (subscription.homeURL.empty())
        subscription.homeURL = FindFeedLink(data, *feed);
    if (!subscription.homeURL.empty() && IsRestrictedURL(subscription.homeURL.view()))
        return kFeedRestrictedErr;
    FillFeedDescription(subscription, data, *feed, document.name);
    if (!feed->hasEntries)
        return kFeedNoItemsErr;
    return ReadAtomEntries(subscription, data, feed->firstEntry, document);
}
