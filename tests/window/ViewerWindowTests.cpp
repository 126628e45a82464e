// The viewer window on the offscreen platform: a 'GURL' message subscribes
// and the first refresh fills the pane and the headline list, every control
// is found by its ID, the close box hides, the split bars keep their limits,
// and the layout (maximised description included) survives a restart.
#include "window/ViewerWindow.h"

#include "ViewerTestSupport.h"
#include "platform/Messages.h"
#include "settings/Environs.h"
#include "shell/Application.h"
#include "viewer/HeadlineModel.h"
#include "viewer/ViewerIdle.h"
#include "window/ControlIDs.h"
#include "window/DescriptionView.h"
#include "window/SplitBar.h"
#include "window/SubscriptionPane.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

class ViewerWindowTest : public ViewerCoreTest {
protected:
    // A list of the user's own, so that the shipped preset (feeds out on the
    // network) is never loaded; the feed is manual and never fetched.
    void SetUp() override { WriteSubscriptions({{"Local notes", fSite.URL("/local.rss"), kCheckManual}}); }

    ViewerWindow* OpenWindow()
    {
        InitEnvirons();
        fShell = OpenViewerWindow();
        fStaff = GetNewsViewerStaff();
        return GetViewerWindow();
    }
    void CloseWindow()
    {
        if (fShell)
            fShell->Close();
        fShell.reset();
        fStaff = nullptr;
    }
    void TearDown() override
    {
        CloseWindow();
        ViewerCoreTest::TearDown();
    }

    // The pane's rows as shown, depth first.
    static std::vector<QString> PaneRows(SubscriptionPane* pane)
    {
        std::vector<QString> rows;
        QAbstractItemModel* model = pane->View()->model();
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int row = 0; row < model->rowCount(parent); ++row) {
                QModelIndex index = model->index(row, 0, parent);
                rows.push_back(index.data().toString());
                walk(index);
            }
        };
        walk(QModelIndex());
        return rows;
    }

    std::unique_ptr<ShellViewer> fShell;
};

void Drag(SplitBar* bar, QPoint from, QPoint to)
{
    QWidget* window = bar->parentWidget();
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QPoint global = window->mapToGlobal(at);
        QMouseEvent event(type, bar->mapFromGlobal(global), global, Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(bar, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    if (from != to)
        send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
}

} // namespace

TEST_F(ViewerWindowTest, FeedURLMessageSubscribesAndTheFirstRefreshFillsThePane)
{
    fSite.ServeDocument("/x.rss", RssDocument("Bus Channel", {"Bus item one", "Bus item two"}));
    SetShellOpeners(ShellOpeners{.openViewer = OpenViewerWindow, .initSettings = InitEnvirons});
    InstallApplicationMessageHandlers();
    // What the bus hands over from another program.
    MessageReply reply = DispatchMessage(kEventClassGURL, kEventGetURL, "feed:" + fSite.URL("/x.rss"));
    ASSERT_EQ(reply.result, kNoErr);
    ViewerWindow* window = GetViewerWindow();
    ASSERT_NE(window, nullptr);
    fStaff = GetNewsViewerStaff();
    TickAfter(kIdleTickTicks);
    WaitForDownloads();
    SpinFor(50);

    std::vector<QString> rows = PaneRows(window->Pane());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[1].contains("Bus Channel")) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].contains("2")) << rows[1].toStdString(); // its unread count
    // The new feed is the current subscription: its headlines are listed.
    EXPECT_EQ(window->Headlines()->rowCount(), 2);
    EXPECT_EQ(GetShellViewer()->IsVisible(), true);

    // Showing an item marks it read and draws the counts again.
    window->HeadlineList()->setCurrentIndex(window->Headlines()->index(0, 0));
    EXPECT_NE(fStaff->newsID, 0u);
    EXPECT_EQ(window->Headlines()->CountUnread(), 1u);
    // The quit-time saves; the shell keeps the closed viewer.
    GetShellViewer()->Close();
    fStaff = nullptr;
}

TEST_F(ViewerWindowTest, EveryControlIsFoundByItsID)
{
    ViewerWindow* window = OpenWindow();
    for (ControlID id : {siteBrowserControlID, headBrowserControlID, descriptionControlID, descFrameControlID,
                         vsplitControlID, hsplitControlID, findControlID, transControlID, ftextControlID,
                         dontFindControlID, siteInfoControlID, headInfoControlID, statusControlID, msoverControlID,
                         chasingControlID, progControlID, backControlID, fwrdControlID, stopControlID,
                         reloadControlID, snapControlID, qsubControlID})
        EXPECT_NE(GetControlByID(window, id), nullptr) << ControlIDName(id).toStdString();
    EXPECT_EQ(GetControlByID<QTreeView>(window, headBrowserControlID), window->HeadlineList());
}

TEST_F(ViewerWindowTest, CloseBoxHidesAndReopenShows)
{
    ViewerWindow* window = OpenWindow();
    ASSERT_TRUE(window->isVisible());
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(GetViewerWindow(), window);
    fShell->ShowAndBringToFront();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ViewerWindowTest, SplitBarsKeepTheirLimitsAndLayoutSurvivesARestart)
{
    ViewerWindow* window = OpenWindow();
    window->resize(kViewerMinimumWidth, 480);
    SpinFor(20);
    auto* vsplit = GetControlByID<SplitBar>(window, vsplitControlID);
    auto* hsplit = GetControlByID<SplitBar>(window, hsplitControlID);
    ASSERT_TRUE(vsplit && hsplit);
    QWidget* content = vsplit->parentWidget();
    int barY = vsplit->geometry().center().y();
    Drag(vsplit, QPoint(vsplit->Value(), barY), QPoint(100, barY));
    EXPECT_EQ(vsplit->Value(), 176);
    Drag(vsplit, QPoint(176, barY), QPoint(500, barY));
    EXPECT_EQ(vsplit->Value(), content->width() / 2);
    // The panes follow the bar.
    EXPECT_EQ(window->HeadlineList()->x(), vsplit->Value() + 6);

    int barX = hsplit->geometry().center().x();
    Drag(hsplit, QPoint(barX, hsplit->Value()), QPoint(barX, 260));
    ASSERT_EQ(hsplit->Value(), 260);
    // A click maximises the description; quitting keeps the old position.
    Drag(hsplit, QPoint(barX, 260), QPoint(barX, 260));
    EXPECT_EQ(hsplit->Value(), kHorizontalSplitMinimum);
    EXPECT_EQ(fStaff->webZoomValue, 260);
    CloseWindow();

    std::optional<NVWParams> saved = LoadViewerWindowParams();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->hsplit, 260);
    EXPECT_EQ(saved->vsplit, kViewerMinimumWidth / 2);
    window = OpenWindow();
    hsplit = GetControlByID<SplitBar>(window, hsplitControlID);
    EXPECT_EQ(hsplit->Value(), 260);
    EXPECT_EQ(fStaff->webZoomValue, 0);
    // A drag while maximised ends the maximised state where it was left.
    window->ProcessCommand(kCommandZoomHorizontal);
    Drag(hsplit, QPoint(barX, hsplit->Value()), QPoint(barX, 200));
    EXPECT_EQ(hsplit->Value(), 200);
    EXPECT_EQ(fStaff->webZoomValue, 0);
}

TEST_F(ViewerWindowTest, ABoundsSavedOnAScreenThatIsGoneOpensOnThisOne)
{
    ASSERT_EQ(SaveViewerWindowBounds(Rect{100, 5000, 700, 5800}), kNoErr);
    ViewerWindow* window = OpenWindow();
    QRect screen = window->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->geometry().topLeft())) << window->geometry().x();
    EXPECT_EQ(window->width(), std::min(800, screen.width()));
}

TEST_F(ViewerWindowTest, HoldingSpaceInTheWebViewMovesToTheNextUnreadOnce)
{
    WriteSubscriptions({{"Local notes", fSite.URL("/local.rss"), kCheckManual}});
    fSite.ServeDocument("/local.rss", RssDocument("Local notes", {"First", "Second", "Third"}));
    ViewerWindow* window = OpenWindow();
    ASSERT_EQ(Fetch("Local notes"), 0);
    window->Pane()->SelectSubscription(Find("Local notes")->sid);
    ASSERT_EQ(window->Headlines()->rowCount(), 3);
    window->HeadlineList()->setCurrentIndex(window->Headlines()->index(0, 0));
    ASSERT_EQ(window->Headlines()->CountUnread(), 2u);
    QWidget* web = window->Description()->FocusTarget();
    window->activateWindow();
    web->setFocus();
    SpinFor(20);
    ASSERT_TRUE(web->hasFocus());
    auto key = [&](QEvent::Type type) {
        QKeyEvent event(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QApplication::sendEvent(web, &event);
    };

    // Released before two seconds: nothing happens.
    key(QEvent::KeyPress);
    AdvanceTestClock(100);
    SpinFor(100);
    key(QEvent::KeyRelease);
    AdvanceTestClock(100);
    SpinFor(100);
    EXPECT_EQ(window->HeadlineList()->currentIndex().row(), 0);

    // Held longer: the next unread item, once.
    web->setFocus();
    key(QEvent::KeyPress);
    AdvanceTestClock(130);
    SpinFor(100);
    EXPECT_EQ(window->HeadlineList()->currentIndex().row(), 1);
    EXPECT_TRUE(window->HeadlineList()->hasFocus());
    AdvanceTestClock(130);
    SpinFor(100);
    EXPECT_EQ(window->HeadlineList()->currentIndex().row(), 1);
}
