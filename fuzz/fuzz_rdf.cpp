// fuzz-libraries: varnoke_feeds varnoke_model varnoke_platform
// The reader of the permanent and retained news documents on arbitrary text,
// then a write of what it read and a second read: the document written must
// give back every item, in order, with the same headlines.
#include "feeds/PermanentsFile.h"
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
    std::fprintf(stderr, "fuzz_rdf: %s\n", what);
    std::abort();
}

// Two feeds whose URLs the seeds use, made once.
SubscriptionList* Tree()
{
    static SubscriptionList* tree = [] {
        SetTestClock(0, 3'900'000'000u);
        SubscriptionList* chain = nullptr;
        for (const char* url : {"http://example.org/rss.xml", "http://example.net/feed"}) {
            SubscriptionList node;
            node.siteType = kSiteTypeRSS;
            node.accessURL = url;
            chain = AddSubscriptionList(chain, node);
        }
        return chain;
    }();
    return tree;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    NewsList* first = ParseRdfData(text, Tree(), kNewsFlagPermanent);

    std::string document = "<?xml version=\"1.0\"?>\n<rss version=\"0.91\">\n<channel>\n";
    WritePermanentsAsRdf(document, first, kNewsFlagPermanent);
    document += "</channel>\n</rss>\n";
    NewsList* second = ParseRdfData(document, Tree(), kNewsFlagPermanent);

    const NewsList* a = first;
    const NewsList* b = second;
    for (; a && b; a = a->next, b = b->next) {
        if (a->parent != b->parent || a->flags != b->flags)
            Fail("an item came back under another subscription or with other flags");
        if (a->headline.view().find('<') == std::string_view::npos && a->headline.view() != b->headline.view())
            Fail("a headline changed");
        if (a->description.view().find('<') == std::string_view::npos &&
            a->description.view() != b->description.view())
            Fail("a description changed");
    }
    if (a || b)
        Fail("the written document does not give back every item");
    DisposeNewsList(first);
    DisposeNewsList(second);
    return 0;
}
