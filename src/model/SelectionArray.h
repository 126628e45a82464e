// Selections handed from one operation to another: a chain of pointers to
// subscriptions or news items (which one is up to the caller). The array owns
// its entries, never what they point to.
#pragma once

#include <cstdint>

struct SelectionArray {
    void* data = nullptr; // a SubscriptionList or a NewsList, by context
    SelectionArray* next = nullptr;
};

// Appends `data` unless the array already holds that pointer; an empty
// (null) array is created. A null `data` is not added. Returns the head.
// O(n): the duplicate check walks the whole array.
SelectionArray* AddSelectionArray(SelectionArray* array, void* data);

// Frees the entries, not the elements.
void DisposeSelectionArray(SelectionArray* array);

uint32_t CountSelectionArray(const SelectionArray* array);
