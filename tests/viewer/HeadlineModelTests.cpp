// The headline list's rows and the description pane's generated pages.
#include "viewer/DescriptionPage.h"
#include "viewer/HeadlineModel.h"

#include "ViewerTestSupport.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Titles(const HeadlineModel& model)
{
    std::vector<std::string> titles;
    for (int row = 0; row < model.rowCount(); ++row)
        titles.push_back(model.data(model.index(row, HeadlineModel::kColumnTitle), Qt::DisplayRole).toString().toStdString());
    return titles;
}

} // namespace

TEST_F(ViewerCoreTest, HeadlinesListTheCurrentSubscriptionSeveralRowsOrAKeyword)
{
    WriteSubscriptions({{"Alpha", fSite.URL("/a.rss")}, {"Beta", fSite.URL("/b.rss")}});
    fSite.ServeDocument("/a.rss", RssDocument("Alpha", {"Kernel one", "Alpha two"}));
    fSite.ServeDocument("/b.rss", RssDocument("Beta", {"Beta kernel"}));
    Open();
    ASSERT_EQ(Fetch("Alpha"), 0);
    ASSERT_EQ(Fetch("Beta"), 0);

    HeadlineModel model(fStaff);
    fStaff->subscriptionID = Find("Alpha")->sid;
    model.Rebuild();
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.CountUnread(), 2u);

    fStaff->subscriptionID = 98;
    fStaff->selections = {Find("Alpha")->sid, Find("Beta")->sid};
    model.Rebuild();
    EXPECT_EQ(model.rowCount(), 3);

    fStaff->subscriptionID = 99;
    model.Rebuild("kernel");
    std::vector<std::string> titles = Titles(model);
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::string>{"Beta kernel", "Kernel one"}));

    model.sort(HeadlineModel::kColumnTitle, Qt::AscendingOrder);
    EXPECT_EQ(Titles(model), (std::vector<std::string>{"Beta kernel", "Kernel one"}));
    model.sort(HeadlineModel::kColumnTitle, Qt::DescendingOrder);
    EXPECT_EQ(Titles(model), (std::vector<std::string>{"Kernel one", "Beta kernel"}));

    fStaff->subscriptionID = 0;
    model.Rebuild();
    EXPECT_EQ(model.rowCount(), 0);
    Close();
}

TEST(DescriptionPages, SubscriptionSummaryShowsTheLastFailure)
{
    SubscriptionList feed;
    feed.siteType = kSiteTypeRSS;
    feed.name = "Daily <News>";
    feed.accessURL = "http://127.0.0.1/x.rss";
    feed.accessState = kAccessStateDone;
    feed.accessErrors = -43;
    std::string page = MakePreDescriptionPage(feed, 5, 2);
    EXPECT_NE(page.find("Daily &lt;News&gt;"), std::string::npos);
    EXPECT_NE(page.find("5 items, 2 unread"), std::string::npos);
    EXPECT_NE(page.find("error -43"), std::string::npos);
    feed.accessErrors = 0;
    EXPECT_EQ(MakePreDescriptionPage(feed, 5, 2).find("failed"), std::string::npos);
}
