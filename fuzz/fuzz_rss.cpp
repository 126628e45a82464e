// fuzz-libraries: varnoke_feeds varnoke_ticker_core varnoke_settings varnoke_model varnoke_platform
// The RSS parser on arbitrary bytes, as the refresh cycle hands it a
// document: the result must be a count or one of the parser's codes, the
// count must be the number of items registered, and every text stored must
// keep its field's width, the channel texts being UTF-8.
#include "feeds/FeedKind.h"
#include "feeds/RssParser.h"
#include "feeds/TextEncoding.h"
#include "feeds/TextTools.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Clock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_rss: %s\n", what);
    std::abort();
}

bool IsUTF8(std::string_view text)
{
    return CFStringCreateWithBytes(text, kCFStringEncodingUTF8) == std::string(text);
}

void CheckChannel(const SubscriptionList& subscription)
{
    if (subscription.name.size() > 63 || !IsUTF8(subscription.name.view()))
        Fail("the channel name is too long or not UTF-8");
    if (subscription.description.size() > 2047 || !IsUTF8(subscription.description.view()))
        Fail("the channel description is too long or not UTF-8");
    if (subscription.homeURL.size() > 255 || subscription.imageURL.size() > 255)
        Fail("a channel URL is too long");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool clockSet = (SetTestClock(0, 3'900'000'000u), true);
    (void)clockSet;
    std::string document(reinterpret_cast<const char*>(data), size);
    ConvertUnicodeDocument(document);
    RepairNullChars(document);

    SubscriptionList subscription;
    subscription.siteType = kSiteTypeRSS;
    bool named = false;
    const int32_t result = ParseRSSNews(subscription, document, named);
    NewsList* items = TakeSubscriptionNews(&subscription);
    const uint32_t count = CountNews(items);

    if (result < 0 && result != kFeedNotRecognizedErr && result != kFeedNoItemsErr && result != kFeedRestrictedErr)
        Fail("an unknown result code");
    if (result >= 0 && uint32_t(result) != count)
        Fail("the count is not the number of items registered");
    if (result < 0 && count != 0)
        Fail("a failed parse registered items");
    if (named && subscription.name.empty())
        Fail("named without a name");
    CheckChannel(subscription);
    for (const NewsList* item = items; item; item = item->next) {
        if (item->headline.empty() || item->headline.size() > 255)
            Fail("an item without headline, or a headline too long");
        if (item->parent != &subscription || item->type != kNewsTypeFeed)
            Fail("an item not of its subscription");
        if (item->headlineRef && !IsUTF8(item->headlineRef.view()))
            Fail("a headline string that is not UTF-8");
    }
    DisposeNewsList(items);
    return 0;
}
