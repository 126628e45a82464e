// fuzz-libraries: varnoke_feeds varnoke_ticker_core varnoke_settings varnoke_model varnoke_platform
// The OPML title reader and the document recognisers on arbitrary bytes:
// the title must be UTF-8 of at most 63 bytes, and the kind found must agree
// with the recognisers it is made of.
#include "feeds/FeedKind.h"
#include "feeds/TextEncoding.h"
#include "feeds/TextTools.h"

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
    ConvertUnicodeDocument(document);
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
    if (SkipDocumentLead(document) > document.size())
        Fail("the lead runs past the document");
    return 0;
}
