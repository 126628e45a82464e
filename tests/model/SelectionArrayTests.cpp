// Selection chains: one entry per element, in the order added, freed without
// touching the elements.
#include "ModelTestSupport.h"
#include "model/SelectionArray.h"

#include <gtest/gtest.h>

namespace {

TEST(SelectionArray, KeepsOneEntryPerPointerInTheOrderAdded)
{
    int first = 1;
    int second = 2;
    SelectionArray* array = AddSelectionArray(nullptr, &first);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(AddSelectionArray(array, &second), array);
    EXPECT_EQ(AddSelectionArray(array, &first), array);
    EXPECT_EQ(AddSelectionArray(array, &second), array);
    EXPECT_EQ(AddSelectionArray(array, nullptr), array);

    EXPECT_EQ(CountSelectionArray(array), 2u);
    EXPECT_EQ(array->data, &first);
    EXPECT_EQ(array->next->data, &second);
    EXPECT_EQ(CountSelectionArray(nullptr), 0u);
    EXPECT_EQ(AddSelectionArray(nullptr, nullptr), nullptr);
    DisposeSelectionArray(array);
}

TEST(SelectionArray, DisposalFreesTheEntriesNotTheElements)
{
    SubscriptionList* tree = nullptr;
    SubscriptionList* feed = AddTestSubscription(tree, kSiteTypeRSS, "Selected");
    const long before = LiveAllocationCount();
    SelectionArray* array = AddSelectionArray(nullptr, feed);
    array = AddSelectionArray(array, tree);
    DisposeSelectionArray(array);
    EXPECT_EQ(LiveAllocationCount(), before);
    EXPECT_EQ(feed->name.view(), "Selected");
    DisposeSubscriptionList(tree);
}

} // namespace
