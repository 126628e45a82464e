// The selection chain: entries are heap records owned by the chain; the
// elements they point to belong to the tree or the news list.
#include "model/SelectionArray.h"

SelectionArray* AddSelectionArray(SelectionArray* array, void* data)
{
    // A null entry would reach every consumer as an element to dereference.
    if (!data)
        return array;
    SelectionArray* tail = nullptr;
    for (SelectionArray* entry = array; entry; entry = entry->next) {
        if (entry->data == data)
            return array;
        tail = entry;
    }
    auto* entry = new SelectionArray{data, nullptr};
    if (!tail)
        return entry;
    tail->next = entry;
    return array;
}

void DisposeSelectionArray(SelectionArray* array)
{
    while (array) {
        SelectionArray* next = array->next;
        delete array;
        array = next;
    }
}

uint32_t CountSelectionArray(const SelectionArray* array)
{
    uint32_t count = 0;
    for (; array; array = array->next)
        ++count;
    return count;
}
