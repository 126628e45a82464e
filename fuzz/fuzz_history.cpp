// fuzz-libraries: varnoke_model varnoke_platform
// The history file reader on arbitrary bytes, then a write of what it read
// and a second read: every item must come back, in order, with its type,
// date, kept marks and headline, and a text must never end its line early.
#include "model/HistoryFiles.h"
#include "model/NewsList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_history: %s\n", what);
    std::abort();
}

// A text as the writer stores it: no byte that could end a field or a line.
std::string Written(std::string_view text)
{
    std::string plain(text);
    for (char& c : plain) {
        if (c == '\t' || c == '\n' || c == '\r' || c == '\0')
            c = ' ';
    }
    return plain;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NewsList* first = ReadHistory(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string file;
    WriteHistory(file, first);
    NewsList* second = ReadHistory(file);
    if (CountNews(first) != CountNews(second))
        Fail("the written file does not give back every item");

    const NewsList* a = first;
    const NewsList* b = second;
    for (; a && b; a = a->next, b = b->next) {
        if (a->type != b->type || a->dateTime != b->dateTime)
            Fail("an item came back with another type or date");
        if ((a->flags & kHistoryFlagsFromHistory) != b->flags)
            Fail("an item came back with other marks");
        if ((a->flags & ~kHistoryFlagsFromNews) != 0)
            Fail("a mark no history file keeps was read");
        if (Written(a->headline.view()) != b->headline.view())
            Fail("a headline changed");
        if (Written(a->linkURL.view()) != b->linkURL.view())
            Fail("a link changed");
        if (a->parent || b->parent)
            Fail("a read item has a subscription");
    }
    std::string again;
    WriteHistory(again, second);
    if (again != file)
        Fail("writing what was read back gives other bytes");
    DisposeNewsList(first);
    DisposeNewsList(second);
    return 0;
}
