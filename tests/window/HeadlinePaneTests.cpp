// The headline pane and the description pane in the window on the
// offscreen platform (plain text stand-in for the web view): an item shown
// is written to the support folder, marking read and permanent with their
// files and the cool list, next unread across feeds, and the fixed page of
// a feed whose check failed.
#include "window/ViewerWindow.h"

#include "ViewerTestSupport.h"
#include "feeds/PermanentsFile.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "settings/Environs.h"
#include "viewer/HeadlineModel.h"
#include "viewer/SubscriptionPaneModel.h"
#include "window/SubscriptionPane.h"

#include <QTreeView>
#include <gtest/gtest.h>

namespace {

constexpr FourCharCode kHold = MakeFourCharCode("hold");
constexpr FourCharCode kUnhold = MakeFourCharCode("uhld");
constexpr FourCharCode kNextUnread = MakeFourCharCode("nxtU");
constexpr FourCharCode kPrevUnread = MakeFourCharCode("prvU");
constexpr FourCharCode kMarkAllRead = MakeFourCharCode("mrkA");

class HeadlinePaneWindow : public ViewerCoreTest {
protected:
    void SetUp() override
    {
        WriteSubscriptions({{"First", fSite.URL("/first.rss"), kCheckManual},
                            {"Second", fSite.URL("/second.rss"), kCheckManual}});
        fSite.ServeDocument("/first.rss", RssDocument("First", {"One", "Two"}));
        fSite.ServeDocument("/second.rss", RssDocument("Second", {"Three"}));
        InitEnvirons();
        fShell = OpenViewerWindow();
        fStaff = GetNewsViewerStaff();
        fWindow = GetViewerWindow();
        ASSERT_EQ(Fetch("First"), 0);
        ASSERT_EQ(Fetch("Second"), 0);
        fWindow->Pane()->SelectSubscription(Find("First")->sid);
    }
    void TearDown() override
    {
        if (fShell)
            fShell->Close();
        fShell.reset();
        fStaff = nullptr;
        ViewerCoreTest::TearDown();
    }
    NewsList* Selected() const { return fStaff->newsID ? FindNewsByID(fStaff->news, fStaff->newsID) : nullptr; }

    std::unique_ptr<ShellViewer> fShell;
    ViewerWindow* fWindow = nullptr;
};

} // namespace

TEST_F(HeadlinePaneWindow, ShowingAnItemWritesItsPageAndMarksItRead)
{
    ASSERT_EQ(fWindow->Headlines()->rowCount(), 2);
    fWindow->HeadlineList()->setCurrentIndex(fWindow->Headlines()->index(0, 0));
    NewsList* item = Selected();
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->flags & kNewsFlagRead);
    std::optional<std::string> page = GetDataFromFile(GetUserSupportFolder() / "description.html");
    ASSERT_TRUE(page);
    EXPECT_NE(page->find("<H3 class=vkhead><A HREF=\"" + item->linkURL.str() + "\">"), std::string::npos) << *page;
    EXPECT_EQ(fWindow->SnapBackURL(), item->linkURL.str());

    // Two rows selected: no item is shown.
    fWindow->HeadlineList()->selectAll();
    EXPECT_EQ(fStaff->newsID, 0u);
}

TEST_F(HeadlinePaneWindow, PermanentMarksKeepTheirFileAndTheCoolList)
{
    fWindow->HeadlineList()->setCurrentIndex(fWindow->Headlines()->index(0, 0));
    NewsList* item = Selected();
    ASSERT_NE(item, nullptr);
    fWindow->ProcessCommand(kHold);
    EXPECT_TRUE(item->flags & kNewsFlagPermanent);
    EXPECT_TRUE(std::filesystem::exists(GetPermanentRdfFile()));
    EXPECT_NE(FindCoolSubscriptionID(fStaff->subscriptions), 0u);

    // Releasing the last one deletes the file and the list.
    fWindow->ProcessCommand(kUnhold);
    EXPECT_FALSE(item->flags & kNewsFlagPermanent);
    EXPECT_FALSE(std::filesystem::exists(GetPermanentRdfFile()));
    EXPECT_EQ(FindCoolSubscriptionID(fStaff->subscriptions), 0u);
}

TEST_F(HeadlinePaneWindow, NextUnreadGoesOnToTheNextFeedThenStops)
{
    fWindow->ProcessCommand(kNextUnread);
    fWindow->ProcessCommand(kNextUnread);
    EXPECT_EQ(fWindow->Headlines()->CountUnread(), 0u);
    // The list has no unread row left: the next feed with unread news.
    fWindow->ProcessCommand(kNextUnread);
    EXPECT_EQ(fStaff->subscriptionID, Find("Second")->sid);
    fWindow->ProcessCommand(kNextUnread);
    ASSERT_NE(Selected(), nullptr);
    EXPECT_EQ(HeadlineText(*Selected()), "Three");
    // The last one: nothing happens.
    fWindow->ProcessCommand(kNextUnread);
    EXPECT_EQ(fStaff->subscriptionID, Find("Second")->sid);

    fWindow->Pane()->SelectSubscription(Find("First")->sid);
    fWindow->ProcessCommand(kPrevUnread); // nothing unread: a beep, no selection
    EXPECT_EQ(fStaff->newsID, 0u);
}

TEST_F(HeadlinePaneWindow, MarkAllReadAndTheInfoLine)
{
    fWindow->ProcessCommand(kMarkAllRead);
    EXPECT_EQ(fWindow->Headlines()->CountUnread(), 0u);
    EXPECT_EQ(CountUnreadNewsBySubscription(fStaff->news, Find("Second")), 1u);
    EXPECT_EQ(fWindow->Headlines()->InfoText(), "2 headlines");
}
