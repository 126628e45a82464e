// The ticker queue's chain operations. Entries are few (a handful, a flood
// of a thousand at worst), so the insertion walk stays a plain walk.
#include "ticker/TickerQueue.h"

TickerQueue* FindLastQueue(TickerQueue* list, uint32_t priority)
{
    if (!list)
        return nullptr;
    TickerQueue* last = list;
    while (last->next && last->next->priority >= priority)
        last = last->next;
    return last;
}

TickerQueue* AddTickerQueue(TickerQueue* list, TickerQueue* prev, const TickerQueue& data)
{
    auto* entry = new TickerQueue(data);
    entry->prev = nullptr;
    entry->next = nullptr;
    if (!list)
        return entry;
    if (!prev)
        prev = FindLastQueue(list, entry->priority);
    entry->prev = prev;
    entry->next = prev->next;
    if (prev->next)
        prev->next->prev = entry;
    prev->next = entry;
    return list;
}

TickerQueue* RemoveTickerQueueHead(TickerQueue* list)
{
    if (!list)
        return nullptr;
    TickerQueue* next = list->next;
    if (next)
        next->prev = nullptr;
    delete list;
    return next;
}

void DisposeTickerQueue(TickerQueue* list)
{
    while (list)
        list = RemoveTickerQueueHead(list);
}

uint32_t CountTickerQueue(const TickerQueue* list)
{
    uint32_t count = 0;
    for (; list; list = list->next)
        ++count;
    return count;
}
