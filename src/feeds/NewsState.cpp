// The news state merge each parser runs per item, the headline index that
// spares it a walk of the global list, the hot-news announcement hook and the
// favicon search. The lists compared against belong to the subscription
// (its history) or to the viewer (the global list); nothing here frees them.
#include "feeds/NewsState.h"

#include "feeds/References.h"
#include "feeds/TextEncoding.h"
#include "feeds/URLs.h"
#include "feeds/UTF8.h"
#include "platform/Log.h"
#include "platform/UnicodeText.h"
#include "ticker/Filters.h"

#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

constexpr std::string_view kFaviconFileName = "favicon.ico";
constexpr std::string_view kHTMLMediaType = "text/html";
constexpr uint32_t kNewsFlagsKeptAnyway = kNewsFlagPermanent | kNewsFlagRetained;

static NewsStateIndex* gNewsStateIndex = nullptr;
static HotNewsAnnouncer gHotNewsAnnouncer;

// The chain registration last appended to, so that a feed of many thousand
// items is not walked to its tail once per item. Only registration appends
// to a subscription's `news`, and whoever takes the chain takes it whole and
// leaves `news` null. So while `news` is the same record (same address and,
// as addresses are reused, the same `nid`, unique in the run) it heads the
// chain that still ends at `tail`. Only `news`, which is live, is read to
// check this, never the remembered pointers.
static struct {
    const SubscriptionList* subscription = nullptr;
    const NewsList* head = nullptr;
    uint32_t headID = 0;
    NewsList* tail = nullptr;
} gRegistrationTail;

/* ---- The headline index ---- */

static uint64_t HashHeadline(std::string_view headline)
{
    return std::hash<std::string_view>{}(headline);
}

void NewsStateIndex::Insert(NewsList* item)
{
    Records& records = byHeadline_[HashHeadline(item->headline.view())];
    if (!records.one && records.more.empty()) {
        records.one = item;
    } else {
        if (records.more.empty())
            records.more.push_back(std::exchange(records.one, nullptr));
        records.more.push_back(item);
    }
    ++count_;
    tail_ = item;
}

void NewsStateIndex::Rebuild(NewsList* list)
{
    Clear();
    head_ = list;
    byHeadline_.reserve(CountNews(list));
    for (NewsList* item = list; item; item = item->next)
        Insert(item);
}

void NewsStateIndex::NoteAppended(NewsList* list, NewsList* items)
{
    if (!items)
        return;
    // An index that did not describe the list before the append (or a list
    // that was empty) is made afresh.
    if (!head_ || head_ != list || !tail_ || tail_->next != items) {
        Rebuild(list);
        return;
    }
    for (NewsList* item = items; item; item = item->next)
        Insert(item);
}

void NewsStateIndex::Erase(const NewsList* item)
{
    auto found = byHeadline_.find(HashHeadline(item->headline.view()));
    if (found == byHeadline_.end())
        return;
    Records& records = found->second;
    if (records.one == item) {
        records.one = nullptr;
        --count_;
    }
    for (auto record = records.more.begin(); record != records.more.end(); ++record) {
        if (*record != item)
            continue;
        records.more.erase(record);
        --count_;
        break;
    }
    if (records.more.size() == 1) {
        records.one = records.more.front();
        records.more.clear();
    }
    if (records.View().empty())
        byHeadline_.erase(found);
}

// The tail after a removal: found by a walk, as the chain has no tail link.
void NewsStateIndex::FindTail()
{
    tail_ = head_;
    while (tail_ && tail_->next)
        tail_ = tail_->next;
}

void NewsStateIndex::NoteRemoved(NewsList* list, const NewsList* item)
{
    if (!item)
        return;
    Erase(item);
    head_ = list;
    if (item == tail_ || !list)
        FindTail();
    if (!head_)
        Clear();
}

void NewsStateIndex::Clear()
{
    byHeadline_.clear();
    head_ = nullptr;
    tail_ = nullptr;
    count_ = 0;
}

bool NewsStateIndex::IsIndexing(const NewsList* list) const
{
    // An append the index was not told of shows as a tail that has a
    // successor: the index is then not used rather than trusted.
    return list && list == head_ && tail_ && !tail_->next;
}

std::span<NewsList* const> NewsStateIndex::Records::View() const
{
    if (!more.empty())
        return more;
    return one ? std::span<NewsList* const>(&one, 1) : std::span<NewsList* const>();
}

std::span<NewsList* const> NewsStateIndex::FindNewsByHeadline(std::string_view headline) const
{
    auto found = byHeadline_.find(HashHeadline(headline));
    if (found == byHeadline_.end())
        return {};
    return found->second.View();
}

void SetNewsStateIndex(NewsStateIndex* index)
{
    gNewsStateIndex = index;
}

static NewsList* LastNews(NewsList* list)
{
    while (list && list->next)
        list = list->next;
    return list;
}

// The tail of `list` before an edit: the index's when it describes the list.
static NewsList* TailBeforeEdit(const NewsStateIndex& index, NewsList* list)
{
    if (index.IsIndexing(list))
        return index.Tail();
    return LastNews(list);
}

NewsList* AppendIndexedNewsList(NewsStateIndex& index, NewsList* list, NewsList* items)
{
    NewsList* tail = TailBeforeEdit(index, list);
    NewsList* head = AppendNewsList(list, items);
    if (!tail) {
        index.Rebuild(head);
        return head;
    }
    // A refused chain (one that shares items with the list) was not linked.
    if (tail->next == items)
        index.NoteAppended(head, items);
    return head;
}

NewsList* MergeIndexedNewsList(NewsStateIndex& index, NewsList* list, NewsList* items)
{
    NewsList* tail = TailBeforeEdit(index, list);
    NewsList* head = MergeNewsList(list, items);
    if (!tail) {
        index.Rebuild(head);
        return head;
    }
    index.NoteAppended(head, tail->next);
    return head;
}

NewsList* RemoveIndexedNewsByParent(NewsStateIndex& index, NewsList* list, const SubscriptionList* subscription)
{
    if (!index.IsIndexing(list)) {
        NewsList* head = RemoveNewsByParent(list, subscription);
        index.Rebuild(head);
        return head;
    }
    for (const NewsList* item = list; item; item = item->next) {
        if (item->parent == subscription)
            index.Erase(item);
    }
    NewsList* head = RemoveNewsByParent(list, subscription);
    index.SetHead(head);
    return head;
}

void NewsStateIndex::SetHead(NewsList* list)
{
    head_ = list;
    FindTail();
    if (!head_)
        Clear();
}

/* ---- Comparison ---- */

static bool IsSameNews(const NewsList& record, const NewsList& news)
{
    if (record.headline.view() != news.headline.view())
        return false;
    return IsSameLinkNews(record, news.linkURL.view()) || IsSameDateNews(news, record.dateTime);
}

static NewsList* FindSameNews(NewsList* list, const NewsList& news)
{
    if (gNewsStateIndex && gNewsStateIndex->IsIndexing(list)) {
        for (NewsList* record : gNewsStateIndex->FindNewsByHeadline(news.headline.view())) {
            if (IsSameNews(*record, news))
                return record;
        }
        return nullptr;
    }
    for (NewsList* record = list; record; record = record->next) {
        if (IsSameNews(*record, news))
            return record;
    }
    return nullptr;
}

NewsState CheckNewsState(const SubscriptionList& subscription, const NewsList& news)
{
    NewsState result;
    NewsList* record = FindSameNews(subscription.history, news);
    if (!record)
        return result;
    if ((subscription.flags & kSubscriptionFlagFetched) || (record->flags & kNewsFlagsKeptAnyway)) {
        result.existing = record;
        return result;
    }
    result.state = record->flags | kNewsFlagOld;
    result.date = record->dateTime;
    return result;
}

/* ---- Registration ---- */

constexpr std::string_view kHorizontalBarUTF8 = "\xE2\x80\x95"; // U+2015, which headline strings rewrite
constexpr uint64_t kHighBitOfEachByte = 0x8080808080808080u;
constexpr uint64_t kLowBitOfEachByte = 0x0101010101010101u;
constexpr size_t kBitsPerByte = 8;

// The length of the two- or three-byte character at `p` whose every byte
// value is allowed whatever the others are (leads C2-DF, E1-EC and EE-EF:
// no overlong form or surrogate is possible), which is how the scripts feeds
// are written in mostly come; 0 for anything else.
static size_t PlainSequenceLength(const uint8_t* p, const uint8_t* end)
{
    const uint8_t lead = p[0];
    if (lead >= 0xC2 && lead <= 0xDF)
        return end - p >= 2 && utf8::IsContinuation(p[1]) ? 2 : 0;
    if (lead >= 0xE1 && lead <= 0xEF && lead != 0xED)
        return end - p >= 3 && utf8::IsContinuation(p[1]) && utf8::IsContinuation(p[2]) ? 3 : 0;
    return 0;
}

// The first byte above 127 or "&" in [p, end), or end, a word at a time.
static const uint8_t* SkipPlainASCII(const uint8_t* p, const uint8_t* end)
{
    for (; size_t(end - p) >= sizeof(uint64_t); p += sizeof(uint64_t)) {
        uint64_t word = 0;
        std::memcpy(&word, p, sizeof word);
        // A byte is "&" when its exclusive or with "&" is zero.
        const uint64_t amps = word ^ (kLowBitOfEachByte * uint8_t('&'));
        const uint64_t zeroBytes = (amps - kLowBitOfEachByte) & ~amps & kHighBitOfEachByte;
        const uint64_t stops = (word & kHighBitOfEachByte) | zeroBytes;
        if (stops == 0)
            continue;
        // The first in memory is the lowest byte of the word; a false
        // zero-byte mark only ever follows a true stop.
        if constexpr (std::endian::native == std::endian::little)
            return p + size_t(__builtin_ctzll(stops)) / kBitsPerByte;
        break;
    }
    while (p < end && *p < 0x80 && *p != '&')
        ++p;
    return p;
}

#if defined(__SSE2__)
constexpr ptrdiff_t kChunkBytes = 16;
constexpr unsigned kChunkBits = 0xFFFF;

// Bytes of `chunk` from `low` to `high`, as a vector mask.
static __m128i BytesWithin(__m128i chunk, uint8_t low, uint8_t high)
{
    return _mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(chunk, _mm_set1_epi8(char(low))), chunk),
                         _mm_cmpeq_epi8(_mm_min_epu8(chunk, _mm_set1_epi8(char(high))), chunk));
}

// Passes over sixteen bytes at a time while they hold only ASCII without
// "&#" and the plain characters of PlainSequenceLength, a character may
// run on into the next sixteen. Each byte is marked as a two- or
// three-byte lead or a continuation, and the chunk passes when every byte
// above 127 is one of those and the continuations are exactly where the
// leads want them. Returns at a character's first byte, when the next
// sixteen bytes are not all plain or fewer than seventeen are left (one
// byte past each chunk is read); `reference` tells a "&#" was met.
static const uint8_t* SkipPlainChunks(const uint8_t* p, const uint8_t* end, bool& reference)
{
    unsigned owed = 0; // continuations the next chunk must begin with, one bit each
    ptrdiff_t owedLead = 0; // how far before the next chunk their character began
    for (; end - p > kChunkBytes; p += kChunkBytes) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i following = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        if (_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('&')),
                                            _mm_cmpeq_epi8(following, _mm_set1_epi8('#')))) != 0) {
            reference = true;
            return p;
        }
        const unsigned high = unsigned(_mm_movemask_epi8(chunk));
        const unsigned continuations = unsigned(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_and_si128(chunk, _mm_set1_epi8(char(0xC0))), _mm_set1_epi8(char(0x80)))));
        const unsigned twoByteLeads = unsigned(_mm_movemask_epi8(BytesWithin(chunk, 0xC2, 0xDF)));
        const unsigned threeByteLeads = unsigned(_mm_movemask_epi8(
            _mm_andnot_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(char(0xED))), BytesWithin(chunk, 0xE1, 0xEF))));
        const unsigned wanted = (twoByteLeads << 1) | (threeByteLeads << 1) | (threeByteLeads << 2) | owed;
        if (high != (twoByteLeads | threeByteLeads | continuations) || (wanted & kChunkBits) != continuations)
            break;
        owed = wanted >> kChunkBytes;
        owedLead = (threeByteLeads >> (kChunkBytes - 2)) & 1 ? 2 : 1;
    }
    return owed != 0 ? p - owedLead : p;
}
#endif

// Whether a UTF-8 item text is already its own string: well-formed, so that
// CFStringCreateWithBytes returns it as it is, and without a numeric
// reference ("&#") for CFStringFixHTMLUnicode to resolve. Most texts are,
// and are then stored without making the two conversions' strings.
// Item texts are mostly ASCII or one script: sixteen bytes of those are
// checked at once, and only the bytes around anything else one at a time,
// every other sequence judged by utf8::SequenceLength.
static bool IsFinishedUTF8Text(std::string_view text)
{
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
#if defined(__SSE2__)
        bool reference = false;
        p = SkipPlainChunks(p, end, reference);
        if (reference)
            return false;
        // The next sixteen bytes, a character at a time.
        const uint8_t* stop = end - p > kChunkBytes ? p + kChunkBytes : end;
#else
        const uint8_t* stop = end;
#endif
        while (p < stop) {
            if (*p == '&') {
                if (end - p >= 2 && p[1] == '#')
                    return false;
                ++p;
                continue;
            }
            if (*p < 0x80) {
                p = SkipPlainASCII(p, stop);
                continue;
            }
            size_t length = PlainSequenceLength(p, end);
            bool truncated = false;
            if (length == 0)
                length = utf8::SequenceLength(p, end, truncated);
            if (length == 0)
                return false;
            p += length;
        }
    }
    return true;
}

// The headline string, as CFStringCreateWithKeisenFilter and
// CFStringFixAllHTMLUnicode make it; `made` keeps it when it is not the
// headline itself. A finished UTF-8 headline of at most 255 bytes without
// U+2015 is its own string.
static std::optional<std::string_view> MakeHeadlineString(std::string_view headline, CFStringEncoding encoding,
                                                          std::optional<std::string>& made)
{
    if (encoding == kCFStringEncodingUTF8 && headline.size() <= kMaxHeadlineStringBytes &&
        headline.find(kHorizontalBarUTF8) == std::string_view::npos && IsFinishedUTF8Text(headline))
        return headline;
    made = CFStringFixAllHTMLUnicode(CFStringCreateWithKeisenFilter(headline, encoding));
    return made;
}

// The description string, as CFStringCreateWithBytes and
// CFStringFixHTMLUnicode make it from the plain text; `made` keeps it when
// it is not the plain text itself.
static std::optional<std::string_view> MakeDescriptionString(std::string_view plainText, CFStringEncoding encoding,
                                                             std::optional<std::string>& made)
{
    if (encoding == kCFStringEncodingUTF8 && IsFinishedUTF8Text(plainText))
        return plainText;
    made = CFStringFixHTMLUnicode(CFStringCreateWithBytes(plainText, encoding));
    return made;
}

// Gives `field` the string `text` unless it already holds those bytes, as
// it does when the parser stored the string registration makes most often
// with the item's other texts.
static void UpdateOptionalText(OptionalText& field, std::optional<std::string_view> text)
{
    if (!text) {
        field.reset();
        return;
    }
    // The same bytes in the same place need no comparing.
    if (field.has_value() && field.view().size() == text->size() &&
        (field.view().data() == text->data() || field.view() == *text))
        return;
    field = *text;
}

// Sets the texts registration adds: the encoding name and the two strings.
static void SetRegisteredNewsTexts(NewsList& news, std::string_view encodingName, CFStringEncoding encoding,
                                   std::string_view plainText)
{
    if (news.encodingName.view() != decltype(news.encodingName)::Fit(encodingName))
        news.encodingName = encodingName;
    std::optional<std::string> made;
    UpdateOptionalText(news.headlineRef, MakeHeadlineString(news.headline.view(), encoding, made));
    UpdateOptionalText(news.descriptionRef, MakeDescriptionString(plainText, encoding, made));
}

// Marks an unread item hot when a filter matches it; true when it did.
static bool MarkNewsHotByFilter(NewsList& news, std::string_view subscriptionName)
{
    if (news.flags & kNewsFlagRead)
        return false;
    std::optional<NewsFilterMatch> match = IsMatchedNewsFilter(news, subscriptionName);
    if (!match)
        return false;
    news.sound = match->sound;
    news.effect = match->effect;
    news.flags |= kNewsFlagHot;
    return true;
}

// What registration does with the texts of the item it appends.
enum class NewsTexts {
    kCopied, // the caller's record keeps them
    kMoved,  // they move into the appended record
};

// Appends a record made from `news` to the subscription's pending chain and
// returns it; `news` reads the record's `nid` afterwards.
static NewsList* AppendSubscriptionNews(SubscriptionList& subscription, NewsList& news, NewsTexts texts)
{
    NewsList* item = nullptr;
    switch (texts) {
    case NewsTexts::kCopied:
        item = AddNewsList(nullptr, news);
        break;
    case NewsTexts::kMoved:
        item = AddNewsList(nullptr, std::move(news));
        break;
    }
    NewsList* head = subscription.news;
    if (!head) {
        subscription.news = item;
    } else {
        bool tailKnown = gRegistrationTail.subscription == &subscription && gRegistrationTail.head == head &&
                         gRegistrationTail.headID == head->nid;
        NewsList* tail = tailKnown ? gRegistrationTail.tail : LastNews(head);
        tail->next = item;
    }
    gRegistrationTail = {&subscription, subscription.news, subscription.news->nid, item};
    return item;
}

static NewsRegistration RegisterNews(SubscriptionList& subscription, NewsList& news, std::string_view encodingName,
                                     CFStringEncoding encoding, std::string_view plainText, NewsTexts texts)
{
    NewsState found = CheckNewsState(subscription, news);
    if (found.existing) {
        if (MarkNewsHotByFilter(*found.existing, subscription.name.view()))
            HotNewsViewerWindow(*found.existing);
        return NewsRegistration::kKnown;
    }

    news.encoding = encoding;
    SetRegisteredNewsTexts(news, encodingName, encoding, plainText);
    news.type = kNewsTypeFeed;
    news.flags = found.state;
    // An undated item keeps the time it was first seen.
    if ((news.dateFlags & kDateFlagNoDate) && (found.state & kNewsFlagOld))
        news.dateTime = found.date;
    news.parent = &subscription;
    bool hot = MarkNewsHotByFilter(news, subscription.name.view());

    NewsList* item = AppendSubscriptionNews(subscription, news, texts);
    if (hot)
        HotNewsViewerWindow(*item);
    return NewsRegistration::kAdded;
}

NewsRegistration RegisterNewsState(SubscriptionList& subscription, NewsList& news, std::string_view encodingName,
                                   CFStringEncoding encoding, std::string_view plainText)
{
    return RegisterNews(subscription, news, encodingName, encoding, plainText, NewsTexts::kCopied);
}

NewsRegistration RegisterNewsState(SubscriptionList& subscription, NewsList&& news, std::string_view encodingName,
                                   CFStringEncoding encoding, std::string_view plainText)
{
    return RegisterNews(subscription, news, encodingName, encoding, plainText, NewsTexts::kMoved);
}

/* ---- Hot news announcement ---- */

void SetHotNewsAnnouncer(HotNewsAnnouncer announcer)
{
    gHotNewsAnnouncer = std::move(announcer);
}

void HotNewsViewerWindow(NewsList& news)
{
    if (gHotNewsAnnouncer) {
        gHotNewsAnnouncer(news);
        return;
    }
    LogInfo("Hot news : %s [sound '%s', effect '%s']", news.headline.c_str(), news.sound.c_str(),
            news.effect.c_str());
}

/* ---- Favicon ---- */

// "favicon.ico" in the folder of `homeURL`. The query and fragment are not
// part of the folder, and a URL that names a site without a path
// ("http://host") has the root folder, not "http://".
static std::string MakeFaviconURL(std::string_view homeURL)
{
    std::string url(homeURL.substr(0, homeURL.find_first_of("?#")));
    size_t scheme = url.find("://");
    size_t pathStart = (scheme == std::string::npos) ? 0 : url.find('/', scheme + 3);
    if (scheme != std::string::npos && pathStart == std::string::npos)
        url.push_back('/');
    size_t lastSlash = url.rfind('/');
    if (lastSlash != std::string::npos)
        url.resize(lastSlash + 1);
    url.append(kFaviconFileName);
    return url;
}

static void SetNoFavicon(SubscriptionList& subscription)
{
    subscription.iconURL = std::string_view(&kNoFaviconMarker, 1);
}

std::optional<std::string> BeginSubscriptionFavicon(SubscriptionList& subscription)
{
    if (!subscription.iconURL.empty())
        return std::nullopt;
    if (subscription.homeURL.empty()) {
        SetNoFavicon(subscription);
        return std::nullopt;
    }
    std::string url = MakeFaviconURL(subscription.homeURL.view());
    // A URL cut to fit the field would name another file.
    if (url.size() > decltype(subscription.iconURL)::kMaxBytes) {
        SetNoFavicon(subscription);
        return std::nullopt;
    }
    return url;
}

void EndSubscriptionFavicon(SubscriptionList& subscription, std::string_view url, const FaviconCheck& check)
{
    // Servers answer a missing icon with their HTML error page, often with 200.
    if (check.status != kNoErr || TextContainsIgnoringCase(check.contentType, kHTMLMediaType)) {
        SetNoFavicon(subscription);
        return;
    }
    subscription.iconURL = url;
    LogInfo("Found Channel Favicon : %s", subscription.iconURL.c_str());
}

void SearchSubscriptionFavicon(SubscriptionList& subscription, const FaviconChecker& check)
{
    std::optional<std::string> url = BeginSubscriptionFavicon(subscription);
    if (!url)
        return;
    FaviconCheck answer;
    if (check)
        answer = check(*url);
    EndSubscriptionFavicon(subscription, *url, answer);
}
