// fuzz-libraries: varnoke_net varnoke_feeds varnoke_settings varnoke_model varnoke_platform
// A hostile server's response header, and a hostile address: the header
// reader must stop within its buffer and take the same bytes however the
// input is split, the fields read from it must stay inside it, and an address
// the client accepts must never carry a byte that could end a request line.
#include "net/HttpResponse.h"
#include "net/HttpURL.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Fail(const char* what, std::string_view input)
{
    std::fprintf(stderr, "fuzz_http: %s (%zu input bytes)\n", what, input.size());
    std::abort();
}

// Feeds the input in pieces whose sizes come from the input itself.
size_t FeedInPieces(HttpHeaderReader& reader, std::string_view input)
{
    size_t taken = 0;
    size_t offset = 0;
    while (offset < input.size() && reader.GetProgress() == HttpHeaderReader::Progress::NeedMore) {
        size_t piece = 1 + uint8_t(input[offset]) % 97;
        piece = std::min(piece, input.size() - offset);
        taken += reader.Feed(input.substr(offset, piece));
        offset += piece;
    }
    return taken;
}

void CheckHeader(std::string_view input)
{
    HttpHeaderReader whole;
    size_t taken = whole.Feed(input);
    if (taken > input.size() || whole.Header().size() != taken || taken > kMaxHeaderBytes + 1)
        Fail("the reader took more than it was given or than its buffer holds", input);
    if (whole.GetProgress() == HttpHeaderReader::Progress::NeedMore && taken != input.size())
        Fail("the reader stopped without an end", input);
    if (whole.GetProgress() == HttpHeaderReader::Progress::Complete && !whole.Header().ends_with("\n"))
        Fail("a complete header does not end with a line end", input);

    HttpHeaderReader pieces;
    if (FeedInPieces(pieces, input) != taken || pieces.Header() != whole.Header() ||
        pieces.GetProgress() != whole.GetProgress())
        Fail("the reader depends on how the bytes arrive", input);

    std::string_view header = whole.Header();
    HttpResponse response = ParseResponse(header);
    if (response.location.size() > header.size())
        Fail("the redirect target is longer than the header", input);
    if (response.location.find_first_of("\r\n \t") != std::string::npos)
        Fail("the redirect target holds a separator", input);
    if (!IsRedirectStatus(response.status) && !response.location.empty())
        Fail("a redirect target without a redirect", input);
    if (response.status != 200 && response.date != 0)
        Fail("a date without a 200", input);
    std::string contentType = ParseContentType(header);
    if (contentType.size() > kMaxHeaderValueBytes || contentType.find_first_of("; \t\r\n") != std::string::npos)
        Fail("a content type beyond its rules", input);
    OSStatus status = MapResponseStatus(response.status, HttpOperation::ConditionalGet);
    if (status > 0 || status < kHttpUnavailableErr)
        Fail("a status outside the client's codes", input);
}

bool HasUnsafeByte(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return uint8_t(c) <= ' ' || uint8_t(c) >= 0x7F; });
}

void CheckAddress(std::string_view input)
{
    std::string_view line = input.substr(0, input.find('\n'));
    std::optional<HttpURL> url = ParseHttpURL(line);
    if (!url)
        return;
    if (url->host.empty() || url->port == 0 || !url->path.starts_with('/'))
        Fail("an accepted address without host, port or path", input);
    if (HasUnsafeByte(url->server) || HasUnsafeByte(url->path) || HasUnsafeByte(url->absolute))
        Fail("an accepted address could forge a header", input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckHeader(input);
    CheckAddress(input);
    return 0;
}
