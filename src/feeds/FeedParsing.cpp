// The shared steps of the two feed parsers: tag searches bounded by a range,
// the bounds rule for item elements, encodings, channel texts and the item
// pipeline from the copied fields to the registered record. The parsers
// decide which tags feed which field; everything after the copy is here, so
// that RSS items and Atom entries come out of the same steps.
#include "feeds/FeedParsing.h"

#include "feeds/ByteScan.h"
#include "feeds/Dates.h"
#include "feeds/FeedKind.h"
#include "feeds/NewsState.h"
#include "feeds/References.h"
#include "feeds/Restrictions.h"
#include "feeds/TextEncoding.h"
#include "feeds/TextTools.h"
#include "feeds/UTF8.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/UnicodeText.h"
#include "settings/Configuration.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace feedparse {

constexpr std::string_view kCDATABegin = "<![CDATA[";
constexpr std::string_view kCDATAEnd = "]]>";
constexpr std::string_view kEncodingDeclaration = "encoding=";
constexpr std::string_view kXMLDeclarationStart = "<?xm";
constexpr std::string_view kRSSTag = "<rss";
constexpr std::string_view kRSS10Namespace = "xmlns=\"http://purl.org/rss/1.0/\"";
constexpr std::string_view kUTF8Name = "UTF-8";

constexpr size_t kMaxURLBytes = 255;

/* ---- Searching ---- */

constexpr size_t kVectorBytes = 16;

// Whether the needle, whose first and last bytes match at `at`, is there
// whole. The second byte is compared first: tags that begin and end like the
// needle ("<title>" for "</item>") mostly differ there, and are passed over
// without a call to memcmp.
static bool IsRestOfNeedleAt(const char* at, std::string_view needle)
{
    return at[1] == needle[1] && std::memcmp(at + 2, needle.data() + 2, needle.size() - 2) == 0;
}

size_t FindText(std::string_view text, std::string_view needle, size_t from)
{
    const size_t length = needle.size();
    if (from > text.size() || length > text.size() - from)
        return kNotFound;
    if (length < 2) {
        const size_t found = length == 0 ? from : text.find(needle[0], from);
        return found == std::string_view::npos ? kNotFound : found;
    }
    const char* p = text.data() + from;
    const char* lastStart = text.data() + text.size() - length;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle.front());
    const __m128i last = _mm_set1_epi8(needle.back());
    // The places whose first and last bytes match, one bit each, among the
    // sixteen from `at`; the tail load ends at at + 15 + length - 1.
    const auto candidates = [&](const char* at) {
        const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + length - 1));
        return unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(heads, first), _mm_cmpeq_epi8(tails, last))));
    };
    // Long texts go thirty-two places a round, so that the loop costs less
    // than the tests; the places p ... p + 31 are all inside the text while
    // p + 31 <= lastStart.
    while (lastStart - p >= ptrdiff_t(2 * kVectorBytes - 1)) {
        uint32_t mask = candidates(p) | (uint32_t(candidates(p + kVectorBytes)) << kVectorBytes);
        for (; mask != 0; mask &= mask - 1) {
            const char* at = p + __builtin_ctz(mask);
            if (IsRestOfNeedleAt(at, needle))
                return size_t(at - text.data());
        }
        p += 2 * kVectorBytes;
    }
    // Then sixteen places a round while p + 15 <= lastStart.
    while (lastStart - p >= ptrdiff_t(kVectorBytes - 1)) {
        for (unsigned mask = candidates(p); mask != 0; mask &= mask - 1) {
            const char* at = p + __builtin_ctz(mask);
            if (IsRestOfNeedleAt(at, needle))
                return size_t(at - text.data());
        }
        p += kVectorBytes;
    }
#endif
    for (; p <= lastStart; ++p) {
        if (p[0] == needle.front() && p[length - 1] == needle.back() && std::memcmp(p, needle.data(), length) == 0)
            return size_t(p - text.data());
    }
    return kNotFound;
}

size_t FindLastText(std::string_view text, std::string_view needle)
{
    if (needle.empty() || needle.size() > text.size())
        return kNotFound;
    size_t end = text.size() - needle.size() + 1;
    while (end > 0) {
        const void* found = memrchr(text.data(), needle.front(), end);
        if (!found)
            return kNotFound;
        const size_t at = size_t(static_cast<const char*>(found) - text.data());
        if (text.compare(at, needle.size(), needle) == 0)
            return at;
        end = at;
    }
    return kNotFound;
}

static bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

static bool IsTagDelimiter(char c)
{
    return IsWhiteSpace(c) || c == '>' || c == '/';
}

size_t FindStartTag(std::string_view text, std::string_view tagOpen, size_t from)
{
    for (size_t at = FindText(text, tagOpen, from); at != kNotFound; at = FindText(text, tagOpen, at + 1)) {
        const size_t after = at + tagOpen.size();
        if (after < text.size() && IsTagDelimiter(text[after]))
            return at;
    }
    return kNotFound;
}

size_t FindTagClose(std::string_view text, size_t at)
{
    char quote = 0;
    for (size_t i = at; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'')
            quote = c;
        else if (c == '>')
            return i;
    }
    return kNotFound;
}

std::optional<std::string_view> FindAttribute(std::string_view startTag, std::string_view name)
{
    for (size_t at = FindText(startTag, name); at != kNotFound; at = FindText(startTag, name, at + 1)) {
        if (at == 0 || !IsWhiteSpace(startTag[at - 1]))
            continue;
        size_t p = at + name.size();
        while (p < startTag.size() && IsWhiteSpace(startTag[p]))
            ++p;
        if (p >= startTag.size() || startTag[p] != '=')
            continue;
        ++p;
        while (p < startTag.size() && IsWhiteSpace(startTag[p]))
            ++p;
        if (p >= startTag.size() || (startTag[p] != '"' && startTag[p] != '\''))
            return std::nullopt;
        const size_t close = startTag.find(startTag[p], p + 1);
        if (close == kNotFound)
            return std::nullopt;
        return startTag.substr(p + 1, close - p - 1);
    }
    return std::nullopt;
}

/* ---- Elements ---- */

static size_t FindTagStart(std::string_view range, const FieldTags& tag)
{
    switch (tag.form) {
    case StartTagForm::kExact:
        return FindText(range, tag.startTag);
    case StartTagForm::kWithAttributes:
        return FindStartTag(range, tag.startTag);
    }
    return kNotFound;
}

// Where an element's end tag lies, when a pass over the item has not told.
constexpr size_t kEndUnknown = kNotFound - 1;

static Element ReadElementAt(std::string_view range, size_t start, const FieldTags& tag, size_t knownEnd = kEndUnknown);

Element FindElement(std::string_view range, std::string_view startTag, std::string_view endTag, StartTagForm form)
{
    const FieldTags tag{startTag, endTag, form};
    return ReadElementAt(range, FindTagStart(range, tag), tag);
}

// Whether the tag `tag` begins at `p`, with a delimiter after it when it
// takes attributes.
static bool IsTagAt(const char* p, const char* end, const FieldTags& tag)
{
    const size_t length = tag.startTag.size();
    if (size_t(end - p) < length)
        return false;
    // Markup that begins like a tag ("<p>" for "<pubDate>") mostly differs
    // in its third byte, told apart without a call to memcmp.
    if (length > 2 && p[2] != tag.startTag[2])
        return false;
    if (std::memcmp(p, tag.startTag.data(), length) != 0)
        return false;
    switch (tag.form) {
    case StartTagForm::kExact:
        return true;
    case StartTagForm::kWithAttributes:
        return size_t(end - p) > length && IsTagDelimiter(p[length]);
    }
    return false;
}

// The first start tags of an item's fields, and the first end tag after
// each, filled in as the item's "<" bytes are met in order. Each byte value
// maps to the tags (one bit each) whose "<" it follows, so that the markup
// inside a text is passed over on one lookup, and a start tag is compared
// with its few candidates only; an end tag ("</name>") is looked for once
// its start tag is found, by the byte after its "</". The end tags of the
// texts are thus found on the same pass, not by a second search through
// each text.
class FirstTagFinder {
public:
    FirstTagFinder(std::string_view range, const FieldTags* tags, size_t count, size_t* first, size_t* end)
        : begin_(range.data()), end_(range.data() + range.size()), tags_(tags), first_(first), endTag_(end)
    {
        std::fill(first, first + count, kNotFound);
        std::fill(end, end + count, kEndUnknown);
        for (size_t i = 0; i < count; ++i) {
            const TagBits bit = TagBits(1u << i);
            bySecondByte_[uint8_t(tags[i].startTag[1])] |= bit;
            missing_ |= bit;
            if (IsCloseTag(tags[i].endTag)) {
                endByThirdByte_[uint8_t(tags[i].endTag[2])] |= bit;
                closeTags_ |= bit;
            }
        }
    }

    const char* begin() const { return begin_; }
    const char* end() const { return end_; }
    bool Done() const { return (missing_ | pendingEnds_) == 0; }

    // Notes the tags that begin or end at the "<" at `p`.
    void LookAt(const char* p)
    {
        if (end_ - p < 2)
            return;
        if (p[1] == '/' && pendingEnds_ != 0 && end_ - p > 2) {
            for (unsigned candidates = endByThirdByte_[uint8_t(p[2])] & pendingEnds_; candidates != 0;
                 candidates &= candidates - 1) {
                const unsigned i = unsigned(__builtin_ctz(candidates));
                const std::string_view endTag = tags_[i].endTag;
                if (size_t(end_ - p) < endTag.size() || std::memcmp(p, endTag.data(), endTag.size()) != 0)
                    continue;
                endTag_[i] = size_t(p - begin_);
                pendingEnds_ &= TagBits(~(1u << i));
            }
        }
        for (unsigned candidates = bySecondByte_[uint8_t(p[1])] & missing_; candidates != 0;
             candidates &= candidates - 1) {
            const unsigned i = unsigned(__builtin_ctz(candidates));
            if (!IsTagAt(p, end_, tags_[i]))
                continue;
            first_[i] = size_t(p - begin_);
            missing_ &= TagBits(~(1u << i));
            // Its end tag is looked for from here on; none found stays kNotFound.
            if (closeTags_ & (1u << i)) {
                endTag_[i] = kNotFound;
                pendingEnds_ |= TagBits(1u << i);
            }
        }
    }

private:
    using TagBits = uint16_t;
    static_assert(kMaxItemTags <= size_t(std::numeric_limits<TagBits>::digits), "one bit a tag");
    static constexpr size_t kByteValues = 256;

    // "</" and a name: a "<" the pass visits begins every one.
    static bool IsCloseTag(std::string_view tag) { return tag.size() > 2 && tag[0] == '<' && tag[1] == '/'; }

    const char* begin_;
    const char* end_;
    const FieldTags* tags_;
    size_t* first_;
    size_t* endTag_;
    TagBits missing_ = 0;
    TagBits pendingEnds_ = 0;
    TagBits closeTags_ = 0;
    TagBits bySecondByte_[kByteValues] = {};
    TagBits endByThirdByte_[kByteValues] = {};
};

// Where the first start tag of each of `tags` lies in `range`, and the
// first end tag after it. The "<" bytes are found sixteen at a time and
// visited in order, without a search call for each: items with HTML in
// them hold hundreds.
static void FindFirstTags(std::string_view range, const FieldTags* tags, size_t count, size_t* first, size_t* end)
{
    FirstTagFinder finder(range, tags, count, first, end);
    const char* p = finder.begin();
    const char* stop = finder.end();
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('<');
    for (; !finder.Done() && stop - p >= ptrdiff_t(kVectorBytes); p += kVectorBytes) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        for (unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, open))); mask != 0 && !finder.Done();
             mask &= mask - 1)
            finder.LookAt(p + __builtin_ctz(mask));
    }
#endif
    for (; !finder.Done() && p < stop; ++p) {
        if (*p == '<')
            finder.LookAt(p);
    }
}

// `knownEnd`: the first end tag after the start tag's "<", or kNotFound when
// there is none, if known; one inside the start tag's attributes is not
// the element's.
static Element ReadElementAt(std::string_view range, size_t start, const FieldTags& tag, size_t knownEnd)
{
    Element element;
    if (start == kNotFound)
        return element;
    size_t textStart = start + tag.startTag.size();
    switch (tag.form) {
    case StartTagForm::kExact:
        break;
    case StartTagForm::kWithAttributes: {
        const size_t close = FindTagClose(range, start + tag.startTag.size());
        if (close == kNotFound) {
            element.state = ElementState::kBroken;
            return element;
        }
        textStart = close + 1;
        if (range[close - 1] == '/') {
            element.state = ElementState::kEmpty;
            element.startTag = range.substr(start, textStart - start);
            return element;
        }
        break;
    }
    }
    element.startTag = range.substr(start, textStart - start);
    size_t end = knownEnd;
    if (end == kEndUnknown || (end != kNotFound && end < textStart))
        end = FindText(range, tag.endTag, textStart);
    if (end == kNotFound) {
        element.state = ElementState::kBroken;
        return element;
    }
    element.state = ElementState::kFound;
    element.text = range.substr(textStart, end - textStart);
    return element;
}

ItemTagIndex::ItemTagIndex(std::string_view item, const FieldTags* tags, size_t count)
    : text_(item), tags_(tags)
{
    FindFirstTags(text_, tags_, std::min(count, kMaxItemTags), first_, end_);
}

Element ItemTagIndex::Read(size_t tag) const
{
    return ReadElementAt(text_, first_[tag], tags_[tag], end_[tag]);
}

std::optional<std::string_view> ItemTagIndex::ReadFirst(std::initializer_list<size_t> tags) const
{
    for (size_t tag : tags) {
        Element element = Read(tag);
        switch (element.state) {
        case ElementState::kAbsent:
        case ElementState::kEmpty:
            continue;
        case ElementState::kFound:
            return element.text;
        case ElementState::kBroken:
            return std::nullopt;
        }
    }
    return std::string_view();
}

/* ---- Copy rules ---- */

// The skips below test each byte themselves: find_first_not_of tests the
// set with a call for every byte.

std::string_view SkipLeadingBreaks(std::string_view text)
{
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\r' || text[start] == '\n'))
        ++start;
    return text.substr(start);
}

std::string_view CutAtLineEnd(std::string_view text)
{
    // A byte search, not find_first_of, which tests the set once a byte.
    const char* end = text.data() + text.size();
    return text.substr(0, size_t(bytescan::FindEitherByte(text.data(), end, '\r', '\n') - text.data()));
}

static std::string_view SkipWhiteSpace(std::string_view text)
{
    size_t start = 0;
    while (start < text.size() && IsWhiteSpace(text[start]))
        ++start;
    return text.substr(start);
}

static std::optional<std::string_view> FindCDATAContent(std::string_view text)
{
    std::string_view trimmed = SkipWhiteSpace(text);
    if (!trimmed.starts_with(kCDATABegin))
        return std::nullopt;
    trimmed.remove_prefix(kCDATABegin.size());
    return SkipWhiteSpace(trimmed.substr(0, std::min(trimmed.find(kCDATAEnd), trimmed.size())));
}

std::string_view UnwrapCDATA(std::string_view text)
{
    return FindCDATAContent(text).value_or(text);
}

std::string_view CopyHeadline(std::string_view text)
{
    if (std::optional<std::string_view> content = FindCDATAContent(text))
        return CutAtLineEnd(*content);
    return CutAtLineEnd(SkipLeadingBreaks(text));
}

static std::string_view TrimTrailingSpaces(std::string_view text)
{
    size_t length = text.size();
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t'))
        --length;
    return text.substr(0, length);
}

std::string_view TrimLinkText(std::string_view text)
{
    return TrimTrailingSpaces(CutAtLineEnd(SkipWhiteSpace(UnwrapCDATA(text))));
}

/* ---- The document's encoding ---- */

std::string ReadDeclaredEncoding(std::string_view data, size_t openTagEnd)
{
    const std::string_view head = data.substr(0, std::min(openTagEnd, data.size()));
    const size_t declaration = FindText(head, kEncodingDeclaration);
    if (declaration == kNotFound)
        return {};
    const size_t open = head.find_first_of("\"'", declaration + kEncodingDeclaration.size());
    if (open == kNotFound)
        return {};
    const size_t close = head.find(head[open], open + 1);
    if (close == kNotFound)
        return {};
    return std::string(head.substr(open + 1, std::min(close - open - 1, kMaxDeclaredEncodingBytes)));
}

DocumentEncoding GetDocumentEncoding(std::string_view declared, const SubscriptionList& subscription)
{
    DocumentEncoding document{std::string(declared), kSystemTextEncoding};
    if (document.name.empty())
        document.name = subscription.password.view();
    if (document.name.empty())
        document.name = ENVDefaultRssEncoding();
    if (document.name.empty())
        document.name = GetInternetNameFromEncoding(kSystemTextEncoding).value_or(kUTF8Name);
    CFStringEncodingFromInternetName(document.name, document.encoding);
    return document;
}

/* ---- RSS recognition ---- */

size_t FindRSSOpeningTagEnd(std::string_view data)
{
    size_t start = SkipDocumentLead(data);
    if (data.substr(start).starts_with(kXMLDeclarationStart))
        return data.find('>', start);
    start = FindText(data, kRSSTag);
    if (start == kNotFound)
        start = FindText(data, kRSS10Namespace);
    if (start == kNotFound)
        return kNotFound;
    return data.find('>', start);
}

/* ---- Channel texts ---- */

constexpr size_t kMaxReferenceBytes = 16; // "&", a name or "#x" digits, ";"
constexpr char kFirstPrintable = ' ';

static bool IsReferenceChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
}

// The bytes from the "&" at `amp` that may form one reference.
static std::string_view ReferenceCandidate(std::string_view text, size_t amp)
{
    size_t end = amp + 1;
    while (end < text.size() && end - amp < kMaxReferenceBytes - 1 && IsReferenceChar(text[end]))
        ++end;
    if (end < text.size() && text[end] == ';')
        ++end;
    return text.substr(amp, end - amp);
}

// The reference decoders, each reference on its own: the UTF-8 byte decoder
// names what it cannot write as a numeric reference and the string decoder
// resolves that, so a reference is resolved once ("&amp;#233;" stays
// "&#233;"). A character below the printable range becomes a space.
static void ResolveReferencesToUTF8(TextBuffer& text)
{
    const std::string_view in = text.view();
    if (in.find('&') == kNotFound)
        return;
    std::string out;
    out.reserve(in.size());
    size_t at = 0;
    while (at < in.size()) {
        const size_t amp = in.find('&', at);
        if (amp == kNotFound) {
            out.append(in.substr(at));
            break;
        }
        out.append(in.substr(at, amp - at));
        const std::string_view candidate = ReferenceCandidate(in, amp);
        TextScratch<kMaxReferenceBytes * 2> scratch(candidate);
        HTMLDecodeForUTF8(scratch);
        std::string resolved = CFStringFixAllHTMLUnicode(std::string(scratch.view())).value_or(std::string());
        if (resolved == candidate) {
            out.push_back('&');
            at = amp + 1;
            continue;
        }
        for (char& c : resolved) {
            if (uint8_t(c) < uint8_t(kFirstPrintable))
                c = ' ';
        }
        out.append(resolved);
        at = amp + candidate.size();
    }
    text.Assign(out);
}

static void CopyChannelName(TextBuffer& out, std::string_view raw)
{
    char* data = out.data();
    size_t length = 0;
    for (char c : raw) {
        if (c == '<' || length == out.capacity())
            break;
        if (c == '\n' || c == '\r' || c == '\t')
            continue;
        data[length++] = c;
    }
    out.SetSize(length);
}

static void CopyChannelText(TextBuffer& out, std::string_view raw, ChannelTextRule rule)
{
    raw = UnwrapCDATA(raw);
    switch (rule) {
    case ChannelTextRule::kName:
        CopyChannelName(out, raw);
        return;
    case ChannelTextRule::kLine:
        out.Assign(CutAtLineEnd(raw));
        return;
    case ChannelTextRule::kDescription:
        out.Assign(raw);
        return;
    }
}

// Bytes that are not UTF-8 (a wrong declared encoding, an unknown one) are
// replaced, so that a stored name or description is always UTF-8.
static void RepairUTF8(TextBuffer& text)
{
    if (utf8::IsValid(text.view()))
        return;
    text.Assign(CFStringCreateWithBytes(text.view(), kCFStringEncodingUTF8).value_or(std::string()));
}

std::string MakeChannelText(std::string_view raw, ChannelTextRule rule, std::string_view encodingName, size_t maxBytes)
{
    TextScratch<kDescriptionBytes> text;
    CopyChannelText(text, raw, rule);
    // Converted before the references are resolved: a reference is ASCII in
    // every encoding, and its character may not exist in the feed's own.
    ConvertToUTF8Encoding(text, encodingName);
    RepairUTF8(text);
    ResolveReferencesToUTF8(text);
    if (rule == ChannelTextRule::kDescription)
        StripCRLFSpace(text);
    std::string result(text.view());
    CutUTF8Text(result, maxBytes);
    return result;
}

std::string MakeChannelURL(std::string_view raw)
{
    TextScratch<kMaxURLBytes + 1> url;
    CopyChannelName(url, UnwrapCDATA(raw));
    url.Assign(TrimTrailingSpaces(SkipWhiteSpace(url.view())));
    HTMLDecodeForUTF8(url);
    return std::string(url.view());
}

/* ---- Items ---- */

void ItemTexts::Clear()
{
    headline.SetSize(0);
    link.SetSize(0);
    description.SetSize(0);
    plain.SetSize(0);
    date.SetSize(0);
    publisher.SetSize(0);
    subject.SetSize(0);
    enclosure.SetSize(0);
}

void DecodeItemText(TextBuffer& text, CFStringEncoding encoding)
{
    HTMLBetterDecode(text, encoding);
}

// The headline the record keeps: decoded, CDATA and markup removed, cut to
// the field's width.
static void CleanHeadline(TextBuffer& work, TextBuffer& headline, CFStringEncoding encoding)
{
    HTMLBetterDecode(work, encoding);
    StripCDATA(work);
    StripHTMLTagString(work);
    headline.Assign(work.view());
}

// The description kept as HTML: references decoded (twice-escaped numeric
// ones too), CDATA sections unwrapped, and HTML sent escaped made markup.
static void CleanDescription(TextBuffer& description, CFStringEncoding encoding)
{
    DecodeItemText(description, encoding);
    HTMLMultiAmpDecode(description);
    StripCDATAMore(description);
    if (IsBeginningWithEncodedTAG(description.view()))
        HTMLMinimumDecode(description);
}

// The description as plain text: line breaks and list items as CRs, markup
// removed. UTF-8 text has its remaining numeric references resolved here,
// since the byte decoder leaves every character above 127 to them.
static void MakePlainText(const TextBuffer& description, TextBuffer& plain, CFStringEncoding encoding)
{
    HTMLBetterDecodeCopy(description.view(), plain, encoding);
    StripCRLFSpace(plain);
    StripHTMLToLines(plain);
    if (encoding != kCFStringEncodingUTF8)
        return;
    FixAllHTMLUnicode(plain);
}

constexpr size_t kW3CYearDigits = 4;

// Each date by its own form: a W3C date begins with a four-digit year and
// "-"; anything else is read as an RFC 822 date.
static void ReadNewsDate(NewsList& news, const LocalOffsetCache& offsets)
{
    std::string_view text = SkipWhiteSpace(news.date.view());
    const bool w3c = text.size() > kW3CYearDigits && text[kW3CYearDigits] == '-' &&
                     std::all_of(text.begin(), text.begin() + kW3CYearDigits, [](char c) { return c >= '0' && c <= '9'; });
    if (w3c || text.empty())
        W3CDateDecode(news, offsets);
    else
        POPDateDecode(news, offsets);
}

ItemOutcome RegisterFeedItem(SubscriptionList& subscription, const DocumentEncoding& document, ItemTexts& texts)
{
    if (!texts.link.empty() && IsRestrictedURL(texts.link.view()))
        return ItemOutcome::kLeftOut;
    TextScratch<kHeadlineBytes> headline;
    CleanHeadline(texts.headline, headline, document.encoding);
    CleanDescription(texts.description, document.encoding);
    MakePlainText(texts.description, texts.plain, document.encoding);
    DecodeItemText(texts.publisher, document.encoding);
    if (headline.empty())
        SubstituteHeadline(headline, texts.plain.view());
    if (headline.empty())
        return ItemOutcome::kLeftOut;
    HTMLBetterDecode(headline, document.encoding);

    NewsTextFields fields;
    fields.date = texts.date.view();
    fields.headline = headline.view();
    fields.description = texts.description.view();
    fields.linkURL = texts.link.view();
    fields.objectURL = texts.enclosure.view();
    fields.subject = texts.subject.view();
    fields.publisher = texts.publisher.view();
    // What registration stores for a UTF-8 item, laid out with the rest so
    // that it need not add them one block at a time.
    fields.encodingName = document.name;
    fields.headlineRef = headline.view();
    fields.descriptionRef = texts.plain.view();
    NewsList news;
    SetNewsTexts(news, fields);
    ReadNewsDate(news, texts.offsets);
    // The record's own copy of the plain text: registration then finds the
    // description string already in place without comparing it.
    const std::string_view plain = news.descriptionRef.view();
    switch (RegisterNewsState(subscription, std::move(news), document.name, document.encoding, plain)) {
    case NewsRegistration::kAdded:
        return ItemOutcome::kAdded;
    case NewsRegistration::kKnown:
        return ItemOutcome::kKnown;
    }
    return ItemOutcome::kKnown;
}

} // namespace feedparse
