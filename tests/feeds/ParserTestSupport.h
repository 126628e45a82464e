// Fixtures for the parser tests: the fixture documents, a subscription that
// a document is parsed into (keeping the registered items), restriction
// lists for one scope, and small document builders.
#pragma once

#include "FeedsTestSupport.h"

#include "feeds/AtomParser.h"
#include "feeds/FeedKind.h"
#include "feeds/Restrictions.h"
#include "feeds/RssParser.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

inline std::string ReadFixture(const std::string& name)
{
    const std::filesystem::path path = std::filesystem::path(__FILE__).parent_path() / "fixtures" / name;
    std::optional<std::string> data = GetDataFromFile(path);
    if (!data)
        ADD_FAILURE() << "missing fixture " << path;
    return data.value_or(std::string());
}

enum class Parser { kRss, kAtom };

// A feed subscription and the items one or more parses registered into it,
// freed at the end of the scope.
class ParsedFeed {
public:
    ParsedFeed() { subscription.siteType = kSiteTypeRSS; }
    ~ParsedFeed() { DisposeNewsList(items_); }
    ParsedFeed(const ParsedFeed&) = delete;
    ParsedFeed& operator=(const ParsedFeed&) = delete;

    int32_t Parse(Parser parser, std::string_view document)
    {
        named = false;
        int32_t result = parser == Parser::kRss ? ParseRSSNews(subscription, document, named)
                                                : ParseAtomNews(subscription, document, named);
        NewsList* added = TakeSubscriptionNews(&subscription);
        items_ = items_ ? AppendNewsList(items_, added) : added;
        return result;
    }

    std::vector<const NewsList*> Items() const
    {
        std::vector<const NewsList*> items;
        for (const NewsList* item = items_; item; item = item->next)
            items.push_back(item);
        return items;
    }

    std::vector<std::string> Headlines() const
    {
        std::vector<std::string> headlines;
        for (const NewsList* item : Items())
            headlines.emplace_back(item->headline.view());
        return headlines;
    }

    std::vector<std::string> Links() const
    {
        std::vector<std::string> links;
        for (const NewsList* item : Items())
            links.emplace_back(item->linkURL.view());
        return links;
    }

    SubscriptionList subscription;
    bool named = false;

private:
    NewsList* items_ = nullptr;
};

// "Restrictions.txt" holding `fragments` for one scope, for a user who is
// not unrestricted.
class ScopedRestrictions {
public:
    explicit ScopedRestrictions(std::string_view fragments)
    {
        PutDataToFile(folder_ / kUsrRestrictionsFileName, fragments);
        LoadRestrictions(std::filesystem::path(folder_ / ""), "reader");
    }
    ~ScopedRestrictions() { ClearRestrictions(); }
    ScopedRestrictions(const ScopedRestrictions&) = delete;
    ScopedRestrictions& operator=(const ScopedRestrictions&) = delete;

private:
    ScratchFolder folder_;
};

// An RSS 2.0 document in UTF-8 around the channel's inner text.
inline std::string RssDocument(std::string_view channel, std::string_view encoding = "UTF-8")
{
    return "<?xml version=\"1.0\" encoding=\"" + std::string(encoding) + "\"?>\n<rss version=\"2.0\">\n<channel>\n" +
           std::string(channel) + "\n</channel>\n</rss>\n";
}

// An Atom 1.0 document around the feed's inner text.
inline std::string AtomDocument(std::string_view feed)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\">\n" +
           std::string(feed) + "\n</feed>\n";
}
