// fuzz-libraries: varnoke_ticker_core varnoke_model varnoke_platform
// The filter file reader on arbitrary bytes: every filter it makes keeps its
// field widths and links, what it writes back reads back the same, and
// matching the input's own text against the filters never fails.
#include "model/NewsList.h"
#include "ticker/Filters.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "filter reader: %s\n", what);
    std::abort();
}

void CheckList(const FilterList* list)
{
    const FilterList* previous = nullptr;
    for (const FilterList* filter = list; filter; previous = filter, filter = filter->next) {
        Check(filter->prev == previous, "broken back link");
        Check(!filter->keyword.empty() && filter->keyword.size() <= 127, "keyword width");
        Check(filter->sound.size() <= 31 && filter->effect.size() <= 31, "sound or effect width");
        Check(!filter->keywords.empty(), "no keyword array");
        Check(!previous || filter->fid > previous->fid, "identifiers out of order");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    FilterList* list = ReadFilterList(bytes);
    CheckList(list);

    std::string written = WriteFilterList(list);
    FilterList* reread = ReadFilterList(written);
    CheckList(reread);
    Check(WriteFilterList(reread) == written, "a written file reads back differently");
    DisposeFilterList(reread);

    SetNewsFilterList(list);
    NewsList news;
    news.headlineRef = bytes.substr(0, size / 2);
    news.descriptionRef = bytes.substr(size / 2);
    std::optional<NewsFilterMatch> match = IsMatchedNewsFilter(news, bytes.substr(0, 64));
    Check(!match || (match->sound.size() <= 31 && match->effect.size() <= 31), "match width");
    SetNewsFilterList(nullptr);
    return 0;
}
