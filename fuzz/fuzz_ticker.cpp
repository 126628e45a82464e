// fuzz-libraries: varnoke_shell varnoke_model varnoke_platform
// The 'Tckm' message text another program sends: a line read must be a
// piece of the text's own line, within its width and without a line end, and
// the reading must move on; a parsed message always has a source and a
// message, each field within its limit.
#include "shell/TickerMessage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_ticker: %s\n", what);
    std::abort();
}

int32_t LookUpNothing(std::string_view name)
{
    return name.empty() ? -1 : int32_t(name.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::string line;
    size_t length = size == 0 ? 0 : data[0] % 64;
    for (size_t offset = 0, lines = 0; offset < text.size() && lines < 64; ++lines) {
        size_t next = GetLine(text, offset, line, length);
        // A NUL ends a line without being read; anything else must move on.
        if (next < offset || (next == offset && next < text.size() && text[next] != '\0'))
            Fail("a line read did not move on");
        if (next > text.size() || line.size() > length || text.compare(offset, line.size(), line) != 0)
            Fail("a line ran past the text or its width");
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            Fail("a line holds a line end");
        offset = next;
        if (offset < text.size() && text[offset] == '\0')
            ++offset;
    }

    std::optional<TickerMessage> message = ParseTickerMessage(text, LookUpNothing);
    if (!message)
        return 0;
    if (message->source.empty() || message->message.empty())
        Fail("a message without a source or a text");
    if (message->source.size() > kTickerSourceLimit || message->message.size() > kTickerMessageLimit ||
        message->sound.size() > kTickerSoundLimit || message->effect.size() > kTickerEffectLimit)
        Fail("a field is longer than its limit");
    ParseTickerMessage(text, nullptr);
    return 0;
}
