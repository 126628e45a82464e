// fuzz-libraries: varnoke_feeds varnoke_model varnoke_platform
// The three date readers on arbitrary text, and the two writers on a time
// taken from the input, in a zone with daylight saving: a reader must give
// a consistent result, and what a writer wrote must read back as the same time.
#include "feeds/Dates.h"
#include "model/NewsList.h"
#include "platform/Clock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

namespace {

constexpr uint32_t kReadingTime = 3'900'000'000u;
constexpr uint32_t kFirstW3CDate = 3'029'529'600u + 2 * 86'400u; // 2000-01-03, clear of the year floor in any zone

void Fail(const char* what, std::string_view text)
{
    std::fprintf(stderr, "fuzz_dates: %s: \"%.*s\"\n", what, int(text.size()), text.data());
    std::abort();
}

void SetUpOnce()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    SetTestClock(0, kReadingTime);
}

void CheckItemReader(void (*decode)(NewsList&), std::string_view text)
{
    NewsList item;
    item.date = text;
    decode(item);
    const bool noDate = (item.dateFlags & kDateFlagNoDate) != 0;
    if (item.dateFlags > kDateFlagNoDate || (noDate && item.dateTime != kReadingTime))
        Fail("inconsistent date flags", text);
}

// True when `secs` is a local time that exists (not in the hour skipped when
// clocks go forward), so that it has one written form.
bool IsRealLocalTime(uint32_t secs)
{
    return DateTimeFromUnixTime(UnixTimeFromDateTime(secs)) == secs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SetUpOnce();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckItemReader(W3CDateDecode, text);
    CheckItemReader(POPDateDecode, text);
    HttpDateToSecs(text);

    uint32_t secs = 0;
    std::memcpy(&secs, data, std::min(size, sizeof secs));
    if (!IsRealLocalTime(secs))
        return 0;
    std::string http = SecsToHttpDate(secs);
    if (secs != 0 && HttpDateToSecs(http) != secs)
        Fail("HTTP date does not read back", http);
    if (secs >= kFirstW3CDate && secs < 0xFFFF0000u) {
        NewsList item;
        item.date = W3CDateEncode(secs);
        W3CDateDecode(item);
        if (item.dateTime != secs || item.dateFlags != 0)
            Fail("W3C date does not read back", item.date.view());
    }
    return 0;
}
