// Recognising a document's kind by its head, converting UTF-16 and UTF-32
// documents to UTF-8 before they are searched, and reading an OPML list's
// title. The root element, found past the prolog, decides Atom and OPML;
// RSS keeps its looser test, since its parser checks for a channel anyway.
#include "feeds/FeedKind.h"

#include "feeds/FeedParsing.h"
#include "platform/Encodings.h"
#include "platform/Log.h"

#include <array>
#include <optional>

using feedparse::FindText;
using feedparse::kNotFound;

constexpr std::string_view kUTF8BOM = "\xEF\xBB\xBF";
constexpr std::string_view kWhiteSpace = " \t\r\n";

constexpr std::string_view kProcessingInstructionStart = "<?";
constexpr std::string_view kProcessingInstructionEnd = "?>";
constexpr std::string_view kCommentStart = "<!--";
constexpr std::string_view kCommentEnd = "-->";
constexpr std::string_view kDeclarationStart = "<!";
constexpr char kInternalSubsetStart = '[';
constexpr char kInternalSubsetEnd = ']';

constexpr std::string_view kOpmlRoot = "<opml";
constexpr std::string_view kAtomRoot = "<feed";
constexpr std::string_view kAtom10Namespace = "http://www.w3.org/2005/Atom";
constexpr std::string_view kAtom03Namespace = "http://purl.org/atom/ns#";
constexpr std::string_view kAtom03Version = "version=\"0.3\"";

constexpr std::string_view kOpmlTitleTAGs = "<title>";
constexpr std::string_view kOpmlTitleTAGe = "</title>";
constexpr std::string_view kEncodingDeclaration = "encoding=";
constexpr size_t kMaxOpmlTitleBytes = 63;
constexpr std::string_view kXMLDefaultEncoding = "UTF-8";

/* ---- Preparing a document ---- */

// A Unicode form told by its first bytes:
//   head       the bytes a document in that form begins with
//   iconvName  the form to convert from; the plain names read and drop a mark
//   unitBytes  the size of one code unit
struct UnicodeSignature {
    std::string_view head;
    std::string_view iconvName;
    size_t unitBytes;
};

// Longer heads first: a UTF-32LE mark begins like a UTF-16LE one.
constexpr std::array<UnicodeSignature, 8> kUnicodeSignatures = {{
    {std::string_view("\xFF\xFE\x00\x00", 4), "UTF-32", 4},
    {std::string_view("\x00\x00\xFE\xFF", 4), "UTF-32", 4},
    {std::string_view("\x3C\x00\x00\x00", 4), "UTF-32LE", 4},
    {std::string_view("\x00\x00\x00\x3C", 4), "UTF-32BE", 4},
    {std::string_view("\xFF\xFE", 2), "UTF-16", 2},
    {std::string_view("\xFE\xFF", 2), "UTF-16", 2},
    {std::string_view("\x3C\x00\x3F\x00", 4), "UTF-16LE", 2},
    {std::string_view("\x00\x3C\x00\x3F", 4), "UTF-16BE", 2},
}};

bool ConvertUnicodeDocument(std::string& data)
{
    for (const UnicodeSignature& signature : kUnicodeSignatures) {
        if (!std::string_view(data).starts_with(signature.head))
            continue;
        // A document cut in the middle of a code unit loses that unit only.
        std::string_view whole(data.data(), data.size() - data.size() % signature.unitBytes);
        std::optional<std::string> converted = ConvertEncoding(whole, signature.iconvName, kXMLDefaultEncoding);
        if (!converted) {
            LogFailure("The %.*s document cannot be read; it is parsed as it is.", int(signature.iconvName.size()),
                       signature.iconvName.data());
            return false;
        }
        data = std::move(*converted);
        return true;
    }
    return false;
}

size_t SkipDocumentLead(std::string_view data)
{
    const size_t start = data.starts_with(kUTF8BOM) ? kUTF8BOM.size() : 0;
    return std::min(data.find_first_not_of(kWhiteSpace, start), data.size());
}

/* ---- Recognisers ---- */

// The end of the document type declaration at `at`, past an internal subset
// in brackets; kNotFound when it does not end.
static size_t FindDeclarationEnd(std::string_view data, size_t at)
{
    const size_t close = data.find('>', at);
    const size_t subset = data.find(kInternalSubsetStart, at);
    if (subset == kNotFound || close == kNotFound || subset > close)
        return close;
    const size_t subsetEnd = data.find(kInternalSubsetEnd, subset);
    return subsetEnd == kNotFound ? kNotFound : data.find('>', subsetEnd);
}

// Where the root element's start tag begins, past the XML declaration,
// processing instructions, comments and the document type; kNotFound when
// the document has none.
static size_t FindRootElement(std::string_view data)
{
    size_t at = SkipDocumentLead(data);
    while (at < data.size()) {
        const std::string_view rest = data.substr(at);
        size_t end = kNotFound;
        if (rest.starts_with(kProcessingInstructionStart)) {
            end = FindText(data, kProcessingInstructionEnd, at);
            end = end == kNotFound ? kNotFound : end + kProcessingInstructionEnd.size();
        } else if (rest.starts_with(kCommentStart)) {
            end = FindText(data, kCommentEnd, at + kCommentStart.size());
            end = end == kNotFound ? kNotFound : end + kCommentEnd.size();
        } else if (rest.starts_with(kDeclarationStart)) {
            end = FindDeclarationEnd(data, at);
            end = end == kNotFound ? kNotFound : end + 1;
        } else {
            return rest.starts_with("<") ? at : kNotFound;
        }
        if (end == kNotFound)
            return kNotFound;
        at = std::min(data.find_first_not_of(kWhiteSpace, end), data.size());
    }
    return kNotFound;
}

// The root element's start tag when it is `name`; empty otherwise.
static std::string_view FindRootTag(std::string_view data, std::string_view name)
{
    const size_t root = FindRootElement(data);
    if (root == kNotFound || feedparse::FindStartTag(data.substr(0, root + name.size() + 1), name, root) != root)
        return {};
    const size_t close = feedparse::FindTagClose(data, root + name.size());
    return close == kNotFound ? std::string_view() : data.substr(root, close + 1 - root);
}

bool IsOpmlFeeds(std::string_view data)
{
    return !FindRootTag(data, kOpmlRoot).empty();
}

bool IsAtomFeed(std::string_view data)
{
    const std::string_view root = FindRootTag(data, kAtomRoot);
    if (root.empty())
        return false;
    if (FindText(root, kAtom10Namespace) != kNotFound)
        return true;
    return FindText(root, kAtom03Namespace) != kNotFound && FindText(root, kAtom03Version) != kNotFound;
}

bool IsRSSFeed(std::string_view data)
{
    return feedparse::FindRSSOpeningTagEnd(data) != kNotFound;
}

FeedKind GetFeedKind(std::string_view data, DocumentSource source)
{
    switch (source) {
    case DocumentSource::kNetwork:
        if (IsOpmlFeeds(data))
            return FeedKind::kOpml;
        break;
    case DocumentSource::kCache:
        break;
    }
    if (IsAtomFeed(data))
        return FeedKind::kAtom;
    return IsRSSFeed(data) ? FeedKind::kRss : FeedKind::kUnknown;
}

/* ---- OPML ---- */

std::string ParseOpmlTitle(std::string_view data)
{
    const size_t openTagEnd = data.find('>', SkipDocumentLead(data));
    if (openTagEnd == kNotFound)
        return {};
    std::string encodingName = feedparse::ReadDeclaredEncoding(data, openTagEnd);
    // The title is looked for after the declaration's value.
    size_t from = 0;
    if (!encodingName.empty())
        from = FindText(data, kEncodingDeclaration) + kEncodingDeclaration.size() + encodingName.size();
    else
        encodingName = kXMLDefaultEncoding;
    const size_t title = FindText(data, kOpmlTitleTAGs, from);
    if (title == kNotFound)
        return {};
    const size_t textStart = title + kOpmlTitleTAGs.size();
    const size_t close = FindText(data, kOpmlTitleTAGe, textStart);
    if (close == kNotFound)
        return {};
    return feedparse::MakeChannelText(data.substr(textStart, close - textStart), feedparse::ChannelTextRule::kLine,
                                      encodingName, kMaxOpmlTitleBytes);
}
