// The subscription tree's operations and its identifier counter. Nodes are
// heap records owned by their sibling chain; a node owns its members and its
// pending news chain, which is freed here through DisposeNewsList. Walks go
// along chains iteratively and recurse only into a group's members.
#include "model/SubscriptionList.h"

#include "model/ChainLinks.h"
#include "model/NewsList.h"
#include "platform/Log.h"

#include <algorithm>

// Numbers every node created in this run; never stored.
static uint32_t gSubscriptionID = kFirstSubscriptionID;

// ---- Tree walks ----

// Depth-first, each node before its members.
template <typename Node, typename Predicate>
static Node* FindFirstSubscription(Node* list, const Predicate& matches)
{
    for (Node* node = list; node; node = node->next) {
        if (matches(*node))
            return node;
        if (Node* member = FindFirstSubscription(node->child, matches))
            return member;
    }
    return nullptr;
}

template <typename Visit>
static void ForEachSubscription(SubscriptionList* list, const Visit& visit)
{
    for (SubscriptionList* node = list; node; node = node->next) {
        visit(*node);
        ForEachSubscription(node->child, visit);
    }
}

// The pointer that holds the node with `sid`: the head variable, the
// previous sibling's `next` or the group's `child`.
static SubscriptionList** FindSubscriptionLink(SubscriptionList** link, uint32_t sid)
{
    for (; *link; link = &(*link)->next) {
        if ((*link)->sid == sid)
            return link;
        if (SubscriptionList** memberLink = FindSubscriptionLink(&(*link)->child, sid))
            return memberLink;
    }
    return nullptr;
}

static bool IsRunTimePseudoList(const SubscriptionList& node)
{
    return node.siteType == kSiteTypeHotList || node.siteType == kSiteTypeCoolList;
}

// ---- Construction and disposal ----

static SubscriptionList* LinkSubscriptionChain(SubscriptionList* list, SubscriptionList* node, const char* caller)
{
    if (!node)
        return list;
    if (!list)
        return node;
    switch (LinkChainAtTail(list, node)) {
    case ChainLink::kLinked:
        break;
    case ChainLink::kRefused:
        LogFailure("%s: subscription %u is already in the chain; not linked", caller, node->sid);
        break;
    }
    return list;
}

SubscriptionList* AddSubscriptionList(SubscriptionList* list, SubscriptionList& subscriptionTemplate)
{
    auto* node = new SubscriptionList(subscriptionTemplate);
    node->sid = gSubscriptionID++;
    // The template's links and pending items belong to whatever it was copied
    // from; sharing them would free them twice.
    node->child = nullptr;
    node->next = nullptr;
    node->news = nullptr;

    // The template now reads as the new node does.
    subscriptionTemplate.sid = node->sid;
    subscriptionTemplate.child = nullptr;
    subscriptionTemplate.next = nullptr;
    subscriptionTemplate.news = nullptr;
    return LinkSubscriptionChain(list, node, "AddSubscriptionList");
}

SubscriptionList* AppendSubscriptionList(SubscriptionList* list, SubscriptionList* node)
{
    return LinkSubscriptionChain(list, node, "AppendSubscriptionList");
}

SubscriptionList* AttachSubscriptionList(SubscriptionList* list, SubscriptionList* node)
{
    return LinkSubscriptionChain(list, node, "AttachSubscriptionList");
}

void DisposeSubscriptionList(SubscriptionList* list)
{
    while (list) {
        SubscriptionList* next = list->next;
        DisposeSubscriptionList(list->child);
        DisposeNewsList(list->news);
        delete list;
        list = next;
    }
}

bool IsFetchingSubscription(const SubscriptionList* node)
{
    if (!node)
        return false;
    if (node->thread != 0)
        return true;
    for (const SubscriptionList* member = node->child; member; member = member->next) {
        if (IsFetchingSubscription(member))
            return true;
    }
    return false;
}

SubscriptionList* RemoveSubscriptionByID(SubscriptionList* list, uint32_t sid)
{
    SubscriptionList* head = list;
    SubscriptionList** link = FindSubscriptionLink(&head, sid);
    if (!link)
        return list;
    SubscriptionList* node = *link;
    // A worker writes into the node and its members until it finishes; a
    // group is never fetched itself, so its members must be asked too.
    if (IsFetchingSubscription(node)) {
        LogFailure("Subscription %u is being fetched; not removed", sid);
        return list;
    }
    *link = node->next;
    node->next = nullptr;
    DisposeSubscriptionList(node);
    return head;
}

SubscriptionList* DetachSubscriptionByID(SubscriptionList* list, uint32_t sid)
{
    SubscriptionList* head = list;
    SubscriptionList** link = FindSubscriptionLink(&head, sid);
    if (!link)
        return list;
    SubscriptionList* node = *link;
    *link = node->next;
    node->parent = nullptr;
    node->next = nullptr;
    return head;
}

NewsList* TakeSubscriptionNews(SubscriptionList* node)
{
    if (!node)
        return nullptr;
    NewsList* news = node->news;
    node->news = nullptr;
    return news;
}

// ---- Searches ----

SubscriptionList* FindSubscriptionByID(SubscriptionList* list, uint32_t sid)
{
    return FindFirstSubscription(list, [sid](const SubscriptionList& node) { return node.sid == sid; });
}

SubscriptionList* FindSubscriptionByOrderID(SubscriptionList* list, uint32_t orderID)
{
    return FindFirstSubscription(list, [orderID](const SubscriptionList& node) { return node.orderID == orderID; });
}

SubscriptionList* FindSubscriptionByName(SubscriptionList* list, std::string_view name)
{
    return FindFirstSubscription(list, [name](const SubscriptionList& node) { return node.name == name; });
}

SubscriptionList* FindSubscriptionByURL(SubscriptionList* list, std::string_view url)
{
    return FindFirstSubscription(list, [url](const SubscriptionList& node) { return node.accessURL == url; });
}

SubscriptionList* FindPsedoSubscriptionByName(SubscriptionList* list, std::string_view name)
{
    for (SubscriptionList* node = list; node; node = node->next) {
        if (node->siteType == kSiteTypePsedo && node->name == name)
            return node;
    }
    return nullptr;
}

SubscriptionList* FindContainerSubscription(SubscriptionList* list, uint32_t sid)
{
    if (sid < kFirstSubscriptionID)
        return nullptr;
    // Walk the structure rather than trust `parent`, which a detached node
    // may not have had restored yet.
    for (SubscriptionList* top = list; top; top = top->next) {
        if (top->sid != sid && !FindSubscriptionByID(top->child, sid))
            continue;
        return top->siteType == kSiteTypeGroup ? top : nullptr;
    }
    return nullptr;
}

SubscriptionList* FindParentSubscriptionByName(SubscriptionList* list, std::string_view name)
{
    if (name.empty())
        return nullptr;
    SubscriptionList* node = FindSubscriptionByName(list, name);
    if (!node || node->siteType != kSiteTypeGroup)
        return nullptr;
    return node;
}

static SubscriptionList* FindInChainWithPrevious(SubscriptionList* chain, uint32_t sid, SubscriptionList** previous)
{
    SubscriptionList* before = nullptr;
    for (SubscriptionList* node = chain; node; before = node, node = node->next) {
        if (node->sid == sid) {
            *previous = before;
            return node;
        }
        if (SubscriptionList* member = FindInChainWithPrevious(node->child, sid, previous))
            return member;
    }
    return nullptr;
}

SubscriptionList* FindSubscriptionWithPrevious(SubscriptionList* list, uint32_t sid, SubscriptionList** previous)
{
    SubscriptionList* ignored = nullptr;
    if (!previous)
        previous = &ignored;
    *previous = nullptr;
    return FindInChainWithPrevious(list, sid, previous);
}

bool IsInSubscription(const SubscriptionList* node, const SubscriptionList* subscription)
{
    if (!node || !subscription)
        return false;
    if (node == subscription)
        return true;
    return subscription->siteType == kSiteTypeGroup && node->parent == subscription;
}

// ---- Order ----

uint32_t MaximumSubscriptionsOrder(const SubscriptionList* list)
{
    uint32_t maximum = 0;
    for (const SubscriptionList* node = list; node; node = node->next) {
        maximum = std::max({maximum, node->orderID, MaximumSubscriptionsOrder(node->child)});
    }
    return maximum;
}

void IncreaseSubscriptionsOrder(SubscriptionList* list, uint32_t orderID)
{
    ForEachSubscription(list, [orderID](SubscriptionList& node) {
        if (node.orderID > orderID)
            ++node.orderID;
    });
}

void OffsetSubscriptionsOrder(SubscriptionList* list, uint32_t offset)
{
    ForEachSubscription(list, [offset](SubscriptionList& node) { node.orderID += offset; });
}

// ---- Counts ----

uint32_t CountSubscriptions(const SubscriptionList* list)
{
    uint32_t count = 0;
    for (const SubscriptionList* node = list; node; node = node->next) {
        if (IsRunTimePseudoList(*node))
            continue;
        if (node->siteType == kSiteTypeRSS || node->siteType == kSiteTypePOP)
            ++count;
        count += CountSubscriptions(node->child);
    }
    return count;
}

uint32_t CountSubscriptionsAndGroups(const SubscriptionList* list)
{
    uint32_t count = 0;
    for (const SubscriptionList* node = list; node; node = node->next) {
        if (IsRunTimePseudoList(*node) || (node->flags & kSubscriptionFlagSearch))
            continue;
        count += 1 + CountSubscriptionsAndGroups(node->child);
    }
    return count;
}
