// Helpers shared by the model's tests: a count of live heap blocks (to see
// that disposal frees what it should), a small-stack runner (to see that long
// chains are not freed by recursion) and builders for trees and lists.
#pragma once

#include "model/NewsList.h"
#include "model/SubscriptionList.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Heap blocks handed out by operator new and not yet deleted, process-wide.
long LiveAllocationCount();

// News records come from storage set up on first use and kept for reuse;
// call this before counting live blocks around code that makes items.
void PrepareNewsRecords();

// Runs `work` on a thread whose stack is far smaller than one frame per item
// of a long chain would need; returns when it is done.
void RunOnSmallStack(const std::function<void()>& work);

// Appends a node made from the arguments to `chain` and returns the node.
SubscriptionList* AddTestSubscription(SubscriptionList*& chain, SiteType siteType, std::string_view name,
                                      uint32_t orderID = 0, SubscriptionList* parent = nullptr);

// Appends an item with the headline and description also as its UTF-8
// texts, and returns the item. An empty link is made from the headline.
NewsList* AddTestNews(NewsList*& list, SubscriptionList* parent, const std::string& headline,
                      const std::string& linkURL = "", uint32_t flags = 0, const std::string& description = "");

// The headlines of the list in order.
std::vector<std::string> Headlines(const NewsList* list);
// The names of a sibling chain in order.
std::vector<std::string> Names(const SubscriptionList* chain);
