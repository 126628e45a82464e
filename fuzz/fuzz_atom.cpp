// fuzz-libraries: varnoke_feeds varnoke_ticker_core varnoke_settings varnoke_model varnoke_platform
// The Atom parser on arbitrary bytes: a count or one of the parser's codes,
// the count equal to the entries registered, texts within their widths,
// channel texts in UTF-8, and never an image or an enclosure.
#include "feeds/AtomParser.h"
#include "feeds/FeedKind.h"
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
    std::fprintf(stderr, "fuzz_atom: %s\n", what);
    std::abort();
}

bool IsUTF8(std::string_view text)
{
    return CFStringCreateWithBytes(text, kCFStringEncodingUTF8) == std::string(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool clockSet = (SetTestClock(0, 3'900'000'000u), true);
    (void)clockSet;
    std::string document(reinterpret_cast<const char*>(data), size);
    ConvertUnicodeDocument(document);
    RepairNullChars(document);
    IsAtomFeed(document);

    SubscriptionList subscription;
    subscription.siteType = kSiteTypeRSS;
    bool named = false;
    const int32_t result = ParseAtomNews(subscription, document, named);
    NewsList* items = TakeSubscriptionNews(&subscription);
    const uint32_t count = CountNews(items);

    if (result < 0 && result != kFeedNotRecognizedErr && result != kFeedNoItemsErr && result != kFeedRestrictedErr)
        Fail("an unknown result code");
    if ((result >= 0 && uint32_t(result) != count) || (result < 0 && count != 0))
        Fail("the count is not the number of entries registered");
    if (subscription.name.size() > 63 || !IsUTF8(subscription.name.view()) ||
        subscription.description.size() > 2047 || !IsUTF8(subscription.description.view()))
        Fail("a channel text too long or not UTF-8");
    if (!subscription.imageURL.empty())
        Fail("an Atom feed got a channel image");
    for (const NewsList* item = items; item; item = item->next) {
        if (item->headline.empty() || item->headline.size() > 255 || item->linkURL.size() > 255)
            Fail("an entry without headline, or a field too long");
        if (!item->objectURL.empty() || !item->publisher.empty())
            Fail("an entry got an enclosure or a publisher");
    }
    DisposeNewsList(items);
    return 0;
}
