// The process the crash test kills: it saves the model of CrashModel.h with
// the real save paths (the subscriptions file, the history files, the
// permanent news and both settings records), one generation after another,
// as fast as it can. It goes on from the generation the settings file holds,
// and reports "begin N" before and "saved N" after each generation's saves.
#include "CrashModel.h"

#include "feeds/PermanentsFile.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "settings/Environs.h"
#include "viewer/ViewerModel.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The viewer's model of generation `generation`.
NVWStaff* MakeModel(uint32_t generation)
{
    using namespace crashmodel;
    NVWStaff* staff = new NVWStaff;
    for (uint32_t feed = 1; feed <= FeedCount(generation); ++feed) {
        SubscriptionList node;
        node.siteType = kSiteTypeRSS;
        node.checkType = kCheckEveryHour;
        node.name = FeedName(feed);
        node.accessURL = FeedURL(feed);
        node.description = Stamp(generation);
        node.orderID = feed;
        staff->subscriptions = AddSubscriptionList(staff->subscriptions, node);
    }
    SubscriptionList* node = staff->subscriptions;
    NewsList* items = nullptr;
    NewsList* last = nullptr;
    for (uint32_t feed = 1; node; ++feed, node = node->next) {
        for (uint32_t item = 1; item <= ItemCount(generation, feed); ++item) {
            NewsList news;
            news.type = kNewsTypeFeed;
            news.parent = node;
            news.dateTime = 3'900'000'000u + generation;
            news.flags = (item % 2 == 0 ? kNewsFlagRead : 0) | (IsPermanentItem(feed, item) ? kNewsFlagPermanent : 0);
            news.headline = Headline(generation, feed, item);
            news.linkURL = FeedURL(feed) + "/" + std::to_string(item);
            news.description = "<p>" + Headline(generation, feed, item) + "</p>";
            news.encodingName = "UTF-8";
            NewsList* added = AddNewsList(nullptr, news);
            (last ? last->next : items) = added;
            last = added;
        }
    }
    staff->news = items;
    return staff;
}

void FreeModel(NVWStaff* staff)
{
    DisposeSubscriptionList(staff->subscriptions);
    DisposeNewsList(staff->news);
    delete staff;
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    InitEnvirons();
    uint32_t generation = uint32_t(GetEnvirons().mobileLimits);
    for (;;) {
        ++generation;
        std::printf("begin %u\n", generation);
        NVWStaff* staff = MakeModel(generation);
        OSStatus status = SaveViewerModel(*staff);
        Environs environs = GetEnvirons();
        environs.mobileLimits = int32_t(generation);
        SetEnvirons(environs);
        ExtEnvirons extEnvirons = GetExtEnvirons();
        extEnvirons.mobileMailAddr = crashmodel::MailAddress(generation);
        SetExtEnvirons(extEnvirons);
        if (status == kNoErr)
            status = SaveEnvirons();
        FreeModel(staff);
        if (status != kNoErr) {
            std::printf("failed %u %d\n", generation, int(status));
            return 1;
        }
        std::printf("saved %u\n", generation);
    }
}
