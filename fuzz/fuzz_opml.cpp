// fuzz-libraries: varnoke_feeds varnoke_ticker_core varnoke_settings varnoke_model varnoke_platform
// Feed-type detection and the OPML readers on arbitrary bytes: a document
// converted from UTF-16 or UTF-32 must be UTF-8, the title must be UTF-8 of
// at most 63 bytes, the kind found must agree with the recognisers it is
// made of, in the refresh cycle's order, and the feeds read out of a list
// are feeds with an address, none of them one already subscribed.
#include "feeds/FeedKind.h"
#include "feeds/RefreshOpml.h"
#include "feeds/TextEncoding.h"
#include "feeds/TextTools.h"
#include "model/SubscriptionList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_opml: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string document(reinterpret_cast<const char*>(data), size);
    if (ConvertUnicodeDocument(document) &&
        CFStringCreateWithBytes(document, kCFStringEncodingUTF8) != document)
        Fail("a converted document is not UTF-8");
    RepairNullChars(document);

    const std::string title = ParseOpmlTitle(document);
    if (title.size() > 63 || CFStringCreateWithBytes(title, kCFStringEncodingUTF8) != title)
        Fail("the title is too long or not UTF-8");

    const bool opml = IsOpmlFeeds(document);
    const bool atom = IsAtomFeed(document);
    if (opml && atom)
        Fail("a document taken for both a list and a feed");
    const FeedKind network = GetFeedKind(document, DocumentSource::kNetwork);
    const FeedKind cache = GetFeedKind(document, DocumentSource::kCache);
    if ((network == FeedKind::kOpml) != opml || cache == FeedKind::kOpml)
        Fail("the kind disagrees with the OPML recogniser");
    if ((cache == FeedKind::kAtom) != atom)
        Fail("the kind disagrees with the Atom recogniser");
    if ((cache == FeedKind::kRss) != (!atom && IsRSSFeed(document)))
        Fail("the kind disagrees with the RSS recogniser");
    if (SkipDocumentLead(document) > document.size())
        Fail("the lead runs past the document");

    // One subscription already there: the list's first address, when it has one.
    static SubscriptionList subscribed;
    const size_t xmlUrl = document.find("xmlUrl=\"");
    const size_t quote = xmlUrl == std::string::npos ? xmlUrl : document.find('"', xmlUrl + 8);
    subscribed.siteType = kSiteTypeRSS;
    subscribed.accessURL = quote == std::string::npos ? std::string_view()
                                                      : std::string_view(document).substr(xmlUrl + 8, quote - xmlUrl - 8);
    SubscriptionList* feeds = LoadSubscriptionsFromOpml(document, &subscribed);
    for (const SubscriptionList* feed = feeds; feed; feed = feed->next) {
        if (feed->siteType != kSiteTypeRSS || feed->accessURL.empty() || feed->child)
            Fail("a list gave something that is not a feed with an address");
        // (An address longer than the field is compared cut, so only shorter ones count.)
        if (quote - xmlUrl - 8 < 255 && !subscribed.accessURL.empty() &&
            feed->accessURL.view() == subscribed.accessURL.view())
            Fail("a list gave a feed already subscribed");
    }
    DisposeSubscriptionList(feeds);
    return 0;
}
