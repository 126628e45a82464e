// Writing and reading the permanent and retained news documents. Both are
// built and parsed in memory with plain string searches, as the feed parsers
// read feeds; the file is written whole through PutDataToFile, so a failed
// save leaves the previous file in place.
#include "feeds/PermanentsFile.h"

#include "feeds/Dates.h"
#include "feeds/References.h"
#include "feeds/TextBuffer.h"
#include "feeds/TextEncoding.h"
#include "feeds/TextTools.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"

#include <algorithm>
#include <optional>

constexpr std::string_view kPermanentsFileName = "Permanents.rdf";
constexpr std::string_view kRetainsFileName = "Retains.rdf";

constexpr std::string_view kPermanentsHead =
    "<?xml version=\"1.0\"?>\n<rss version=\"0.91\">\n<channel><title>Varnoke Permanents</title>\n"
    "<description>Varnoke Permanents</description>\n\n";
constexpr std::string_view kRetainsHead =
    "<?xml version=\"1.0\"?>\n<rss version=\"0.91\">\n<channel><title>Varnoke Retains</title>\n"
    "<description>Varnoke Retains</description>\n\n";
constexpr std::string_view kDocumentTail = "</channel>\n</rss>\n";

constexpr std::string_view kXMLDeclarationStart = "<?xm";
constexpr std::string_view kRSSTag = "<rss";
constexpr std::string_view kChannelTag = "<channel";
constexpr std::string_view kItemStartTag = "<item";
constexpr std::string_view kItemEndTag = "</item>";

// The encoding of items stored without one.
constexpr std::string_view kDefaultItemEncodingName = "ISO-8859-1";
constexpr size_t kMaxSubscriptionURLBytes = 255;

/* ---- Locations ---- */

std::filesystem::path GetPermanentRdfFile()
{
    return GetUserSupportFolder() / kPermanentsFileName;
}

std::filesystem::path GetRetainRdfFile()
{
    return GetUserSupportFolder() / kRetainsFileName;
}

/* ---- Writing ---- */

// The tags the reader looks for. Inside a stored text they would end a field
// or an item early, so the writer writes them escaped ("&lt;/item&gt;"): the
// text shows the same in HTML and reads back whole.
constexpr std::string_view kLineFieldTags[] = {
    "<encoding>", "</encoding>", "<title>", "</title>", "<link>", "</link>", "<rdf>", "</rdf>",
    "<dc:publisher>", "</dc:publisher>", "<dc:subject>", "</dc:subject>", "<dc:date>", "</dc:date>",
    "<description>", "</description>", "</item>",
};
constexpr std::string_view kDescriptionTags[] = {"</description>", "</item>"};

template <size_t Count>
static void AppendEscapingTags(std::string& document, std::string_view text, const std::string_view (&tags)[Count])
{
    for (size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<')) {
        document.append(text.substr(0, at));
        text.remove_prefix(at);
        auto startsText = [text](std::string_view tag) { return text.starts_with(tag); };
        const std::string_view* tag = std::find_if(std::begin(tags), std::end(tags), startsText);
        if (tag == std::end(tags)) {
            document.append("<");
            text.remove_prefix(1);
            continue;
        }
        document.append("&lt;").append(tag->substr(1, tag->size() - 2)).append("&gt;");
        text.remove_prefix(tag->size());
    }
    document.append(text);
}

// A one-line field: a line break would also end it early when read back.
static void AppendLineField(std::string& document, std::string_view text)
{
    const size_t start = document.size();
    AppendEscapingTags(document, text, kLineFieldTags);
    for (size_t i = start; i < document.size(); ++i) {
        if (document[i] == '\r' || document[i] == '\n')
            document[i] = ' ';
    }
}

static void AppendElement(std::string& document, std::string_view name, std::string_view text)
{
    document.append("<").append(name).append(">");
    AppendLineField(document, text);
    document.append("</").append(name).append(">\n");
}

static void AppendItemBlock(std::string& document, const NewsList& item)
{
    document.append("<item>");
    AppendElement(document, "encoding", item.encodingName.view());
    AppendElement(document, "title", item.headline.view());
    AppendElement(document, "link", item.linkURL.view());
    AppendElement(document, "rdf", item.parent ? item.parent->accessURL.view() : std::string_view());
    if (!item.publisher.empty())
        AppendElement(document, "dc:publisher", item.publisher.view());
    if (!item.subject.empty())
        AppendElement(document, "dc:subject", item.subject.view());
    AppendElement(document, "dc:date", W3CDateEncode(item.dateTime));
    document.append("<description>");
    AppendEscapingTags(document, item.description.view(), kDescriptionTags);
    document.append("</description>\n</item>\n\n");
}

static bool IsSavedNews(const NewsList& item, uint32_t flag)
{
    return item.type == kNewsTypeFeed && (item.flags & flag) != 0;
}

void WritePermanentsAsRdf(std::string& document, const NewsList* list, uint32_t flag)
{
    for (const NewsList* item = list; item; item = item->next) {
        if (IsSavedNews(*item, flag))
            AppendItemBlock(document, *item);
    }
}

static OSStatus SaveNewsDocument(const std::filesystem::path& path, const NewsList* list, std::string_view head,
                                 uint32_t flag)
{
    std::string document(head);
    WritePermanentsAsRdf(document, list, flag);
    document.append(kDocumentTail);
    return PutDataToFile(path, document);
}

OSStatus SavePermanentsAsRdf(const std::filesystem::path& path, const NewsList* list)
{
    return SaveNewsDocument(path, list, kPermanentsHead, kNewsFlagPermanent);
}

OSStatus SaveRetainsAsRdf(const std::filesystem::path& path, const NewsList* list)
{
    return SaveNewsDocument(path, list, kRetainsHead, kNewsFlagRetained);
}

OSStatus SavePermanentsAtQuit(const std::filesystem::path& path, const NewsList* list)
{
    for (const NewsList* item = list; item; item = item->next) {
        if (IsSavedNews(*item, kNewsFlagPermanent))
            return SavePermanentsAsRdf(path, list);
    }
    OSStatus status = DeleteFile(path);
    return status == kFileNotFoundErr ? kNoErr : status;
}

/* ---- Reading ---- */

enum class LeadingBreaks { kKept, kSkipped };  // leading spaces, CR and LF
enum class FieldEnd { kTagOrLineEnd, kTagOnly };
enum class FieldPlace { kBeforeDescription, kAnywhere };

// One stored field:
//   open, close  its tags
//   leading      whether leading spaces, CR and LF are dropped
//   end          whether a CR or LF ends the text before the close tag
//   place        where in the item its open tag is looked for
struct RdfField {
    std::string_view open;
    std::string_view close;
    LeadingBreaks leading;
    FieldEnd end;
    FieldPlace place = FieldPlace::kBeforeDescription;
};

constexpr RdfField kEncodingField = {"<encoding>", "</encoding>", LeadingBreaks::kSkipped, FieldEnd::kTagOrLineEnd};
constexpr RdfField kTitleField = {"<title>", "</title>", LeadingBreaks::kSkipped, FieldEnd::kTagOrLineEnd};
constexpr RdfField kLinkField = {"<link>", "</link>", LeadingBreaks::kKept, FieldEnd::kTagOrLineEnd};
constexpr RdfField kDescriptionField = {"<description>", "</description>", LeadingBreaks::kKept, FieldEnd::kTagOnly,
                                        FieldPlace::kAnywhere};
constexpr RdfField kDateField = {"<dc:date>", "</dc:date>", LeadingBreaks::kKept, FieldEnd::kTagOnly};
constexpr RdfField kPublisherField = {"<dc:publisher>", "</dc:publisher>", LeadingBreaks::kSkipped,
                                      FieldEnd::kTagOrLineEnd};
constexpr RdfField kSubjectField = {"<dc:subject>", "</dc:subject>", LeadingBreaks::kSkipped, FieldEnd::kTagOrLineEnd};
constexpr RdfField kSubscriptionField = {"<rdf>", "</rdf>", LeadingBreaks::kSkipped, FieldEnd::kTagOrLineEnd};

// One item's text, from just after "<item" to just before its "</item>".
// The one-line fields are looked for only before the description, so that
// markup inside a description can never be taken for them.
class RdfItemReader {
public:
    explicit RdfItemReader(std::string_view item) : item_(item)
    {
        headEnd_ = std::min(item_.find(kDescriptionField.open), item_.size());
    }

    bool IsDamaged() const { return damaged_; }

    std::string_view Read(const RdfField& field)
    {
        const size_t searchEnd = field.place == FieldPlace::kAnywhere ? item_.size() : headEnd_;
        const size_t open = item_.substr(0, searchEnd).find(field.open);
        if (open == std::string_view::npos)
            return {};
        const size_t start = open + field.open.size();
        const size_t close = item_.find(field.close, start);
        if (close == std::string_view::npos) {
            damaged_ = true;
            return {};
        }
        std::string_view text = item_.substr(start, close - start);
        if (field.leading == LeadingBreaks::kSkipped)
            text.remove_prefix(std::min(text.find_first_not_of(" \r\n"), text.size()));
        if (field.end == FieldEnd::kTagOrLineEnd)
            text = text.substr(0, text.find_first_of("\r\n"));
        return text;
    }

private:
    std::string_view item_;
    size_t headEnd_ = 0;
    bool damaged_ = false;
};

static void SetText(OptionalText& field, const std::optional<std::string>& text)
{
    if (text)
        field = *text;
    else
        field.reset();
}

// The description as plain text for the item's string: line breaks and
// list items kept as CRs, markup removed.
static std::optional<std::string> MakePlainDescription(std::string_view description, CFStringEncoding encoding)
{
    TextScratch<kMaxTextBytes + 1> plain(description);
    StripCRLFSpace(plain);
    StripHTMLToLines(plain);
    return CFStringFixHTMLUnicode(CFStringCreateWithBytes(plain.view(), encoding));
}

// Fills `item` from the fields; false when the item is damaged.
static bool ReadRdfItem(RdfItemReader& reader, SubscriptionList* tree, uint32_t flag, NewsList& item)
{
    std::string_view encodingName = reader.Read(kEncodingField);
    item.headline = reader.Read(kTitleField);
    item.linkURL = reader.Read(kLinkField);
    item.description = reader.Read(kDescriptionField);
    item.date = reader.Read(kDateField);
    item.publisher = reader.Read(kPublisherField);
    item.subject = reader.Read(kSubjectField);
    std::string_view subscriptionURL = reader.Read(kSubscriptionField).substr(0, kMaxSubscriptionURLBytes);
    if (reader.IsDamaged())
        return false;

    item.type = kNewsTypeFeed;
    item.flags = flag | kNewsFlagRead;
    W3CDateDecode(item);
    item.encodingName = encodingName.empty() ? kDefaultItemEncodingName : encodingName;
    CFStringEncoding encoding = kSystemTextEncoding;
    CFStringEncodingFromInternetName(item.encodingName.view(), encoding);
    item.encoding = encoding;
    // All references, as when the item was first parsed: its headline reads
    // the same after a restart.
    SetText(item.headlineRef,
            CFStringFixAllHTMLUnicode(CFStringCreateWithKeisenFilter(item.headline.view(), encoding)));
    SetText(item.descriptionRef, MakePlainDescription(item.description.view(), encoding));
    item.parent = subscriptionURL.empty() ? nullptr : FindSubscriptionByURL(tree, subscriptionURL);
    return true;
}

static bool IsSavedNewsDocument(std::string_view text)
{
    const size_t start = text.starts_with(kXMLDeclarationStart) ? 0 : text.find(kRSSTag);
    if (start == std::string_view::npos || text.find('>', start) == std::string_view::npos)
        return false;
    return text.find(kChannelTag) != std::string_view::npos;
}

NewsList* ParseRdfData(std::string_view text, SubscriptionList* tree, uint32_t flag)
{
    if (!IsSavedNewsDocument(text)) {
        LogFailure("Not a saved news document; no items read.");
        return nullptr;
    }
    NewsList* head = nullptr;
    NewsList* tail = nullptr;
    size_t at = text.find(kChannelTag);
    for (;;) {
        const size_t itemStart = text.find(kItemStartTag, at);
        if (itemStart == std::string_view::npos)
            break;
        const size_t bodyStart = itemStart + kItemStartTag.size();
        const size_t itemEnd = text.find(kItemEndTag, bodyStart);
        if (itemEnd == std::string_view::npos)
            break;
        RdfItemReader reader(text.substr(bodyStart, itemEnd - bodyStart));
        NewsList item;
        if (!ReadRdfItem(reader, tree, flag, item)) {
            LogFailure("Damaged saved news item at byte %zu; the items after it are not read.", itemStart);
            break;
        }
        // Each item is linked at the tail kept here, so a long file costs O(n).
        NewsList* added = AddNewsList(nullptr, item);
        if (tail)
            tail->next = added;
        else
            head = added;
        tail = added;
        at = itemEnd + kItemEndTag.size();
    }
    return head;
}

static NewsList* ReadSavedNewsFile(SubscriptionList* tree, const std::filesystem::path& path, uint32_t flag)
{
    std::optional<std::string> text = GetDataFromFile(path);
    if (!text)
        return nullptr;
    RepairNullChars(*text);
    return ParseRdfData(*text, tree, flag);
}

NewsList* GetPermNewsFromRdfFile(SubscriptionList* tree, const std::filesystem::path& path)
{
    return ReadSavedNewsFile(tree, path, kNewsFlagPermanent);
}

NewsList* GetRetainNewsFromRdfFile(SubscriptionList* tree, const std::filesystem::path& path)
{
    return RemoveNewsByParent(ReadSavedNewsFile(tree, path, kNewsFlagRetained), nullptr);
}

NewsList* GetSavedNewsFromRdfFiles(SubscriptionList* tree, const std::filesystem::path& permanentsPath,
                                   const std::filesystem::path& retainsPath)
{
    NewsList* news = GetPermNewsFromRdfFile(tree, permanentsPath);
    return MergeNewsList(news, GetRetainNewsFromRdfFile(tree, retainsPath));
}
