// The global news list's operations and the item identifier counter. Items
// are heap records owned by the chain they are linked into; every walk is a
// loop, so a list of any length is disposed of or searched without recursion.
#include "model/NewsList.h"

#include "model/ChainLinks.h"
#include "platform/Log.h"
#include "platform/UnicodeText.h"

#include <functional>
#include <limits>
#include <unordered_set>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
// Freed records stay poisoned, so a use after free is still reported even
// though the memory is reused rather than handed back.
#define POISON_NEWS_RECORD(record) ASAN_POISON_MEMORY_REGION(record, sizeof(NewsRecordSlot))
#define UNPOISON_NEWS_RECORD(record) ASAN_UNPOISON_MEMORY_REGION(record, sizeof(NewsRecordSlot))
#else
#define POISON_NEWS_RECORD(record) ((void)(record))
#define UNPOISON_NEWS_RECORD(record) ((void)(record))
#endif

// Numbers every item created in this run; never stored.
static uint32_t gNewsID = kFirstNewsID;

constexpr float kHoursPerDay = 24.0f;
constexpr float kMinutesPerHour = 60.0f;
constexpr uint32_t kSecondsPerMinute = 60;
constexpr char kKeywordSeparator = ' ';

template <typename Predicate>
static uint32_t CountNewsIf(const NewsList* list, const Predicate& counts)
{
    uint32_t count = 0;
    for (const NewsList* item = list; item; item = item->next) {
        if (counts(*item))
            ++count;
    }
    return count;
}

template <typename Predicate>
static NewsList* FindFirstNews(NewsList* list, const Predicate& matches)
{
    for (NewsList* item = list; item; item = item->next) {
        if (matches(*item))
            return item;
    }
    return nullptr;
}

static bool IsUnread(const NewsList& item)
{
    return !(item.flags & kNewsFlagRead);
}

static bool HasFlag(const NewsList& item, uint32_t flag)
{
    return (item.flags & flag) != 0;
}

static bool IsNewsInSubscription(const NewsList& item, const SubscriptionList* subscription)
{
    return IsInSubscription(item.parent, subscription);
}

// ---- Record storage ----

// A walk of the list reads each record's first line only, but with records
// allocated one by one between their texts every record sits on a page of
// its own and each step of a walk waits for memory. Carving records from
// large blocks keeps them side by side, so walks stream. Blocks are never
// handed back: freed records are reused by the next items. The model belongs
// to the main thread (workers are cooperative tasks on it), so the free list
// takes no lock.
constexpr size_t kNewsRecordsPerBlock = 4096;

union NewsRecordSlot {
    NewsRecordSlot* nextFree;
    alignas(NewsList) unsigned char storage[sizeof(NewsList)];
};

static NewsRecordSlot* gFreeNewsRecords = nullptr;

// Every block, so that they stay reachable (leak checkers see the free list
// only as poisoned memory). Made on first use and never destroyed, so that
// neither start-up nor exit order can reach a block list that is not there.
static std::vector<NewsRecordSlot*>& NewsRecordBlocks()
{
    static auto* blocks = new std::vector<NewsRecordSlot*>();
    return *blocks;
}

static void AddNewsRecordBlock()
{
    auto* block = new NewsRecordSlot[kNewsRecordsPerBlock];
    NewsRecordBlocks().push_back(block);
    // Linked in address order, so consecutive items get consecutive slots.
    for (size_t i = kNewsRecordsPerBlock; i-- > 0;) {
        block[i].nextFree = gFreeNewsRecords;
        gFreeNewsRecords = &block[i];
        POISON_NEWS_RECORD(&block[i]);
    }
}

void* NewsList::operator new(size_t size)
{
    if (size != sizeof(NewsList))
        return ::operator new(size);
    if (!gFreeNewsRecords)
        AddNewsRecordBlock();
    NewsRecordSlot* slot = gFreeNewsRecords;
    UNPOISON_NEWS_RECORD(slot);
    gFreeNewsRecords = slot->nextFree;
    return slot;
}

void NewsList::operator delete(void* record, size_t size)
{
    if (!record)
        return;
    if (size != sizeof(NewsList)) {
        ::operator delete(record);
        return;
    }
    auto* slot = static_cast<NewsRecordSlot*>(record);
    slot->nextFree = gFreeNewsRecords;
    gFreeNewsRecords = slot;
    POISON_NEWS_RECORD(slot);
}

// ---- Texts ----

char* NewsTextStore::Replace(size_t bytes)
{
    buffer_ = bytes ? std::make_unique_for_overwrite<char[]>(bytes) : nullptr;
    return buffer_.get();
}

// A text field's text as an assignment would store it: none for an empty
// text, else the text cut to the field's width.
template <size_t Width>
static std::optional<std::string_view> MeasureNewsText(TextBlockWriter& writer, std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    text = FixedText<Width>::Fit(text);
    writer.Measure(text);
    return text;
}

static std::optional<std::string_view> MeasureNewsString(TextBlockWriter& writer,
                                                        std::optional<std::string_view> text)
{
    if (text)
        writer.Measure(*text);
    return text;
}

static TextBlock WriteNewsText(TextBlockWriter& writer, char* buffer, std::optional<std::string_view> text)
{
    return text ? TextBlock::Borrow(writer.Write(buffer, *text)) : TextBlock();
}

void SetNewsTexts(NewsList& news, const NewsTextFields& texts)
{
    // Each text is cut first and written where the writer measured it, in
    // the order measured.
    TextBlockWriter writer;
    struct {
        std::optional<std::string_view> date, headline, description, linkURL, author, objectURL, encodingName, sound,
            effect, subject, publisher, headlineRef, descriptionRef;
    } fitted;
    fitted.date = MeasureNewsText<decltype(news.date)::kWidth>(writer, texts.date);
    fitted.headline = MeasureNewsText<decltype(news.headline)::kWidth>(writer, texts.headline);
    fitted.description = MeasureNewsText<decltype(news.description)::kWidth>(writer, texts.description);
    fitted.linkURL = MeasureNewsText<decltype(news.linkURL)::kWidth>(writer, texts.linkURL);
    fitted.author = MeasureNewsText<decltype(news.author)::kWidth>(writer, texts.author);
    fitted.objectURL = MeasureNewsText<decltype(news.objectURL)::kWidth>(writer, texts.objectURL);
    fitted.encodingName = MeasureNewsText<decltype(news.encodingName)::kWidth>(writer, texts.encodingName);
    fitted.sound = MeasureNewsText<decltype(news.sound)::kWidth>(writer, texts.sound);
    fitted.effect = MeasureNewsText<decltype(news.effect)::kWidth>(writer, texts.effect);
    fitted.subject = MeasureNewsText<decltype(news.subject)::kWidth>(writer, texts.subject);
    fitted.publisher = MeasureNewsText<decltype(news.publisher)::kWidth>(writer, texts.publisher);
    // The headline string is most often the headline itself, and then
    // shares its block.
    const bool sharedHeadline = texts.headlineRef && fitted.headline && *texts.headlineRef == *fitted.headline;
    fitted.headlineRef = sharedHeadline ? std::nullopt : MeasureNewsString(writer, texts.headlineRef);
    fitted.descriptionRef = MeasureNewsString(writer, texts.descriptionRef);

    // The texts may be the record's own: every one is copied before any
    // field lets go of its old block, and the old store goes last.
    NewsTextStore store;
    char* buffer = store.Replace(writer.Bytes());
    TextBlock date = WriteNewsText(writer, buffer, fitted.date);
    TextBlock headline = WriteNewsText(writer, buffer, fitted.headline);
    TextBlock description = WriteNewsText(writer, buffer, fitted.description);
    TextBlock linkURL = WriteNewsText(writer, buffer, fitted.linkURL);
    TextBlock author = WriteNewsText(writer, buffer, fitted.author);
    TextBlock objectURL = WriteNewsText(writer, buffer, fitted.objectURL);
    TextBlock encodingName = WriteNewsText(writer, buffer, fitted.encodingName);
    TextBlock sound = WriteNewsText(writer, buffer, fitted.sound);
    TextBlock effect = WriteNewsText(writer, buffer, fitted.effect);
    TextBlock subject = WriteNewsText(writer, buffer, fitted.subject);
    TextBlock publisher = WriteNewsText(writer, buffer, fitted.publisher);
    TextBlock headlineRef = WriteNewsText(writer, buffer, fitted.headlineRef);
    if (sharedHeadline)
        headlineRef = TextBlock::Borrow(headline.Block());
    TextBlock descriptionRef = WriteNewsText(writer, buffer, fitted.descriptionRef);
    news.date.Adopt(std::move(date));
    news.headline.Adopt(std::move(headline));
    news.description.Adopt(std::move(description));
    news.linkURL.Adopt(std::move(linkURL));
    news.author.Adopt(std::move(author));
    news.objectURL.Adopt(std::move(objectURL));
    news.encodingName.Adopt(std::move(encodingName));
    news.sound.Adopt(std::move(sound));
    news.effect.Adopt(std::move(effect));
    news.subject.Adopt(std::move(subject));
    news.publisher.Adopt(std::move(publisher));
    news.headlineRef.Adopt(std::move(headlineRef));
    news.descriptionRef.Adopt(std::move(descriptionRef));
    news.textStore = std::move(store);
}

// ---- List operations ----

// Numbers the fresh `item` made from `newsTemplate`, tells the template its
// identifier, and links the item at the end of `list`.
static NewsList* LinkNewNews(NewsList* list, NewsList* item, NewsList& newsTemplate)
{
    item->nid = gNewsID++;
    item->next = nullptr;

    // The template keeps its numbers and reads the new item's identifier.
    newsTemplate.nid = item->nid;
    newsTemplate.next = nullptr;
    if (!list)
        return item;
    // A fresh item cannot already be in the list.
    LinkChainAtTail(list, item);
    return list;
}

NewsList* AddNewsList(NewsList* list, NewsList& newsTemplate)
{
    return LinkNewNews(list, new NewsList(newsTemplate), newsTemplate);
}

NewsList* AddNewsList(NewsList* list, NewsList&& newsTemplate)
{
    return LinkNewNews(list, new NewsList(std::move(newsTemplate)), newsTemplate);
}

NewsList* AppendNewsList(NewsList* list, NewsList* items)
{
    if (!items)
        return list;
    if (!list)
        return items;
    switch (LinkChainAtTail(list, items)) {
    case ChainLink::kLinked:
        break;
    case ChainLink::kRefused:
        LogFailure("AppendNewsList: item %u is already in the list; not linked", items->nid);
        break;
    }
    return list;
}

// Spreads each part's hash over the whole word before mixing in the next.
constexpr size_t kHashMixConstant = 0x9e3779b97f4a7c15ull;

static size_t CombineHash(size_t seed, size_t value)
{
    return seed ^ (value + kHashMixConstant + (seed << 6) + (seed >> 2));
}

// Hashes what FindNewsByContents compares.
struct NewsContentsHash {
    size_t operator()(const NewsList* item) const
    {
        size_t hash = std::hash<const void*>()(item->parent);
        hash = CombineHash(hash, std::hash<std::string_view>()(item->headline.view()));
        return CombineHash(hash, std::hash<std::string_view>()(item->linkURL.view()));
    }
};

static bool HasSameNewsContents(const NewsList& a, const NewsList& b)
{
    return a.parent == b.parent && a.headline.view() == b.headline.view() && a.linkURL.view() == b.linkURL.view();
}

struct NewsContentsEqual {
    bool operator()(const NewsList* a, const NewsList* b) const { return HasSameNewsContents(*a, *b); }
};

NewsList* MergeNewsList(NewsList* list, NewsList* items)
{
    if (!list)
        return items;
    std::unordered_set<const NewsList*, NewsContentsHash, NewsContentsEqual> known;
    NewsList* tail = list;
    for (;;) {
        known.insert(tail);
        if (!tail->next)
            break;
        tail = tail->next;
    }
    while (items) {
        NewsList* item = items;
        items = items->next;
        item->next = nullptr;
        if (!known.insert(item).second) {
            delete item;
            continue;
        }
        tail->next = item;
        tail = item;
    }
    return list;
}

void DisposeNewsList(NewsList* list)
{
    while (list) {
        NewsList* next = list->next;
        delete list;
        list = next;
    }
}

NewsList* RemoveNewsByParent(NewsList* list, const SubscriptionList* subscription)
{
    NewsList* head = list;
    NewsList** link = &head;
    while (*link) {
        NewsList* item = *link;
        if (item->parent != subscription) {
            link = &item->next;
            continue;
        }
        *link = item->next;
        delete item;
    }
    return head;
}

// ---- Searches ----

NewsList* FindNewsByID(NewsList* list, uint32_t nid)
{
    return FindFirstNews(list, [nid](const NewsList& item) { return item.nid == nid; });
}

NewsList* FindNewsByContents(NewsList* list, const NewsList& item)
{
    return FindFirstNews(list, [&item](const NewsList& other) { return HasSameNewsContents(other, item); });
}

NewsList* FindNewsByEnclosure(NewsList* list, std::string_view url)
{
    return FindFirstNews(list, [url](const NewsList& item) { return !item.objectURL.empty() && item.objectURL == url; });
}

std::optional<std::string> GetNewsEncodingBySubscription(const NewsList* list, const SubscriptionList* subscription)
{
    for (const NewsList* item = list; item; item = item->next) {
        if (IsNewsInSubscription(*item, subscription))
            return item->encodingName.str();
    }
    return std::nullopt;
}

// ---- Counts ----

uint32_t CountNews(const NewsList* list)
{
    return CountNewsIf(list, [](const NewsList&) { return true; });
}

uint32_t CountUnreadNews(const NewsList* list)
{
    return CountNewsIf(list, IsUnread);
}

uint32_t CountPermedNews(const NewsList* list)
{
    return CountNewsIf(list, [](const NewsList& item) { return HasFlag(item, kNewsFlagPermanent); });
}

uint32_t CountUnpermedNews(const NewsList* list)
{
    return CountNewsIf(list, [](const NewsList& item) { return !HasFlag(item, kNewsFlagPermanent); });
}

uint32_t CountRetainedNews(const NewsList* list)
{
    return CountNewsIf(list, [](const NewsList& item) { return HasFlag(item, kNewsFlagRetained); });
}

uint32_t CountHotNews(const NewsList* list)
{
    return CountNewsIf(list, [](const NewsList& item) { return HasFlag(item, kNewsFlagHot); });
}

uint32_t CountUnreadHotNews(const NewsList* list)
{
    return CountNewsIf(list, [](const NewsList& item) { return HasFlag(item, kNewsFlagHot) && IsUnread(item); });
}

uint32_t CountNewsBySubscription(const NewsList* list, const SubscriptionList* subscription)
{
    return CountNewsIf(list, [subscription](const NewsList& item) { return IsNewsInSubscription(item, subscription); });
}

uint32_t CountUnreadNewsBySubscription(const NewsList* list, const SubscriptionList* subscription)
{
    return CountNewsIf(list, [subscription](const NewsList& item) {
        return IsUnread(item) && IsNewsInSubscription(item, subscription);
    });
}

uint32_t CountUnpermNewsBySubscription(const NewsList* list, const SubscriptionList* subscription)
{
    return CountNewsIf(list, [subscription](const NewsList& item) {
        return !HasFlag(item, kNewsFlagPermanent) && IsNewsInSubscription(item, subscription);
    });
}

uint32_t CountPermedNewsBySubscription(const NewsList* list, const SubscriptionList* subscription)
{
    return CountNewsIf(list, [subscription](const NewsList& item) {
        return HasFlag(item, kNewsFlagPermanent) && IsNewsInSubscription(item, subscription);
    });
}

uint32_t CountUnreadNewsByKeyword(const NewsList* list, std::string_view keywords)
{
    const std::vector<std::string_view> words = SplitNewsKeywords(keywords);
    return CountNewsIf(list, [&words](const NewsList& item) { return IsUnread(item) && IsMatchedKeywordNews(&item, words); });
}

// ---- Marks ----

template <typename Predicate>
static void MarkNewsIf(NewsList* list, uint32_t bits, const Predicate& marks)
{
    for (NewsList* item = list; item; item = item->next) {
        if (marks(*item))
            item->flags |= bits;
    }
}

void MarkAllNews(NewsList* list, uint32_t bits)
{
    MarkNewsIf(list, bits, [](const NewsList&) { return true; });
}

void MarkAllNewsBySubscription(NewsList* list, uint32_t bits, const SubscriptionList* subscription)
{
    MarkNewsIf(list, bits, [subscription](const NewsList& item) { return IsNewsInSubscription(item, subscription); });
}

void MarkAllHotNews(NewsList* list, uint32_t bits)
{
    MarkNewsIf(list, bits, [](const NewsList& item) { return HasFlag(item, kNewsFlagHot); });
}

// Reading an item of a subscription that retains what is read retains it.
template <typename Predicate>
static bool ReadNewsIf(NewsList* list, const Predicate& reads)
{
    bool retained = false;
    for (NewsList* item = list; item; item = item->next) {
        if (!reads(*item))
            continue;
        item->flags |= kNewsFlagRead;
        if (item->parent && (item->parent->options & kOptionRetainRead)) {
            item->flags |= kNewsFlagRetained;
            retained = true;
        }
    }
    return retained;
}

bool ReadAllNewsBySubscription(NewsList* list, const SubscriptionList* subscription)
{
    return ReadNewsIf(list, [subscription](const NewsList& item) { return IsNewsInSubscription(item, subscription); });
}

bool ReadAllHotNews(NewsList* list)
{
    return ReadNewsIf(list, [](const NewsList& item) { return HasFlag(item, kNewsFlagHot); });
}

// ---- Keywords, membership, expiry ----

std::vector<std::string_view> SplitNewsKeywords(std::string_view keywords)
{
    std::vector<std::string_view> words;
    for (;;) {
        size_t separator = keywords.find(kKeywordSeparator);
        words.push_back(keywords.substr(0, separator));
        if (separator == std::string_view::npos)
            break;
        keywords.remove_prefix(separator + 1);
    }
    return words;
}

static bool ContainsAnyKeyword(std::string_view text, std::span<const std::string_view> keywords)
{
    for (std::string_view keyword : keywords) {
        if (TextContainsIgnoringCase(text, keyword))
            return true;
    }
    return false;
}

bool IsMatchedKeywordNews(const NewsList* item, std::span<const std::string_view> keywords)
{
    if (!item || keywords.empty())
        return false;
    if (item->headlineRef && ContainsAnyKeyword(item->headlineRef.view(), keywords))
        return true;
    return item->descriptionRef && ContainsAnyKeyword(item->descriptionRef.view(), keywords);
}

bool IsConditionalNews(const NewsList* item, const SubscriptionList* node)
{
    if (!item || !node)
        return false;
    if (IsInSubscription(item->parent, node))
        return true;
    switch (node->siteType) {
    case kSiteTypeHotList:
        return HasFlag(*item, kNewsFlagHot);
    case kSiteTypeCoolList:
        return HasFlag(*item, kNewsFlagPermanent);
    case kSiteTypePsedo: {
        const std::vector<std::string_view> keywords = SplitNewsKeywords(node->name.view());
        return IsMatchedKeywordNews(item, keywords);
    }
    case kSiteTypeRSS:
    case kSiteTypePOP:
    case kSiteTypeGroup:
        return false;
    }
    return false;
}

bool IsExpiredNews(const NewsList* item, uint32_t nowMinutes)
{
    if (!item || !item->parent || IsUnread(*item))
        return false;
    const float termDays = item->parent->termDays;
    if (termDays == 0.0f)
        return false;
    // Single precision, as the term has always been computed; a term that is
    // not a positive number keeps the item, and a term past the clock's range
    // is forever rather than a wrapped-around few minutes.
    const float termMinutes = termDays * kHoursPerDay * kMinutesPerHour;
    if (!(termMinutes > 0.0f))
        return false;
    if (termMinutes >= float(std::numeric_limits<uint32_t>::max()))
        return false;
    const uint64_t newsMinutes = item->dateTime / kSecondsPerMinute;
    return uint64_t(termMinutes) + newsMinutes < nowMinutes;
}
