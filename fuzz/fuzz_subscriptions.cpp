// fuzz-libraries: varnoke_model varnoke_platform
// The subscriptions file reader on arbitrary bytes, never past its input;
// then a save of the tree it made and a second read: what a save writes
// must read back intact, every record loaded, and save to the same bytes.
#include "model/SubscriptionList.h"
#include "model/SubscriptionsFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_subscriptions: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input's size, so that a read past it is caught.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    SubscriptionsReading first = ReadSubscriptions(bytes);
    if (first.recordsLoaded + first.recordsDropped > (size / kSubscriptionsFileRecordSize))
        Fail("more records than the bytes hold");

    const std::string file = WriteSubscriptions(first.tree);
    if (!file.empty() && (file.size() - kSubscriptionsFileHeaderSize) % kSubscriptionsFileRecordSize != 0)
        Fail("a save wrote a partial record");
    SubscriptionsReading second = ReadSubscriptions(file);
    if (!file.empty()) {
        if (!second.isIntact)
            Fail("what a save wrote does not read back intact");
        if (second.recordsLoaded != (file.size() - kSubscriptionsFileHeaderSize) / kSubscriptionsFileRecordSize)
            Fail("a saved record did not load");
    }
    if (CountSubscriptions(first.tree) != CountSubscriptions(second.tree))
        Fail("a feed was lost between save and load");
    if (WriteSubscriptions(second.tree) != file)
        Fail("saving what was loaded gives other bytes");
    DisposeSubscriptionList(first.tree);
    DisposeSubscriptionList(second.tree);
    return 0;
}
