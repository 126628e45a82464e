// Test support for the model. Replacing the global allocation functions in
// the test program lets a test compare live heap blocks before and after an
// operation that must free what it made.
#include "ModelTestSupport.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <pthread.h>

static std::atomic<long> gLiveAllocations{0};

void* operator new(size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    ++gLiveAllocations;
    return block;
}

void* operator new[](size_t size)
{
    return operator new(size);
}

void operator delete(void* block) noexcept
{
    if (!block)
        return;
    --gLiveAllocations;
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    operator delete(block);
}

void operator delete(void* block, size_t) noexcept
{
    operator delete(block);
}

void operator delete[](void* block, size_t) noexcept
{
    operator delete(block);
}

long LiveAllocationCount()
{
    return gLiveAllocations.load();
}

void PrepareNewsRecords()
{
    NewsList newsTemplate;
    DisposeNewsList(AddNewsList(nullptr, newsTemplate));
}

// Far below what 100,000 nested frames need, well above what a loop needs.
constexpr size_t kSmallStackBytes = 128 * 1024;

static void* RunWork(void* work)
{
    (*static_cast<const std::function<void()>*>(work))();
    return nullptr;
}

void RunOnSmallStack(const std::function<void()>& work)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kSmallStackBytes);
    pthread_t thread;
    if (pthread_create(&thread, &attributes, RunWork, const_cast<std::function<void()>*>(&work)) == 0)
        pthread_join(thread, nullptr);
    else
        std::abort();
    pthread_attr_destroy(&attributes);
}

SubscriptionList* AddTestSubscription(SubscriptionList*& chain, SiteType siteType, std::string_view name,
                                      uint32_t orderID, SubscriptionList* parent)
{
    SubscriptionList subscriptionTemplate;
    subscriptionTemplate.siteType = siteType;
    subscriptionTemplate.name = name;
    subscriptionTemplate.accessURL = "https://" + std::string(name) + ".example/feed";
    subscriptionTemplate.orderID = orderID;
    subscriptionTemplate.parent = parent;
    chain = AddSubscriptionList(chain, subscriptionTemplate);
    return FindSubscriptionByID(chain, subscriptionTemplate.sid);
}

NewsList* AddTestNews(NewsList*& list, SubscriptionList* parent, const std::string& headline,
                      const std::string& linkURL, uint32_t flags, const std::string& description)
{
    NewsList newsTemplate;
    newsTemplate.type = kNewsTypeFeed;
    newsTemplate.parent = parent;
    newsTemplate.headline = headline;
    newsTemplate.headlineRef = headline;
    newsTemplate.linkURL = linkURL.empty() ? "https://example.org/" + headline : linkURL;
    newsTemplate.description = description;
    newsTemplate.descriptionRef = description;
    newsTemplate.flags = flags;
    list = AddNewsList(list, newsTemplate);
    return FindNewsByID(list, newsTemplate.nid);
}

std::vector<std::string> Headlines(const NewsList* list)
{
    std::vector<std::string> headlines;
    for (; list; list = list->next)
        headlines.push_back(list->headline.str());
    return headlines;
}

std::vector<std::string> Names(const SubscriptionList* chain)
{
    std::vector<std::string> names;
    for (; chain; chain = chain->next)
        names.push_back(chain->name.str());
    return names;
}
