// The queue's order: priority first, arrival order among equals, and a
// head that nothing displaces.
#include "ticker/TickerQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

struct Queue {
    TickerQueue* head = nullptr;
    ~Queue() { DisposeTickerQueue(head); }

    void Add(uint32_t priority, const std::string& message)
    {
        TickerQueue entry;
        entry.priority = priority;
        entry.message = message;
        head = AddTickerQueue(head, FindLastQueue(head, priority), entry);
    }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        const TickerQueue* previous = nullptr;
        for (const TickerQueue* entry = head; entry; previous = entry, entry = entry->next) {
            EXPECT_EQ(entry->prev, previous);
            messages.push_back(entry->message.str());
        }
        return messages;
    }
};

TEST(TickerQueue, EqualPrioritiesKeepArrivalOrderAndHigherGoFirstBehindTheHead)
{
    Queue queue;
    queue.Add(1, "a");
    queue.Add(1, "b");
    queue.Add(1, "c");
    EXPECT_EQ(queue.Messages(), (std::vector<std::string>{"a", "b", "c"}));
    queue.Add(5, "urgent");
    queue.Add(5, "urgent too");
    queue.Add(2, "middle");
    EXPECT_EQ(queue.Messages(), (std::vector<std::string>{"a", "urgent", "urgent too", "middle", "b", "c"}));
}

TEST(TickerQueue, RemovingTheHeadPromotesTheNextAndTheLastEmptiesTheQueue)
{
    Queue queue;
    queue.Add(1, "a");
    queue.Add(1, "b");
    queue.head = RemoveTickerQueueHead(queue.head);
    EXPECT_EQ(queue.Messages(), std::vector<std::string>{"b"});
    queue.head = RemoveTickerQueueHead(queue.head);
    EXPECT_EQ(queue.head, nullptr);
    EXPECT_EQ(RemoveTickerQueueHead(nullptr), nullptr);
}

TEST(TickerQueue, AFloodOfAThousandQueuesInOrderQuickly)
{
    Queue queue;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i)
        queue.Add(1, std::to_string(i));
    auto elapsed = std::chrono::steady_clock::now() - start;
    std::vector<std::string> messages = queue.Messages();
    ASSERT_EQ(messages.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(messages[size_t(i)], std::to_string(i));
    EXPECT_LT(elapsed, std::chrono::milliseconds(200));
}

} // namespace
