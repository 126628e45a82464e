// The subscription pane's widgets on the offscreen platform: selection into
// the current subscription, one row redrawn per row change, removal refused
// during a fetch, a dropped feed address, the icons, and a picture of the
// pane (saved into $SHOTS when set, for the screenshot script).
#include "support/ScratchSpace.h"

#include "model/NewsList.h"
#include "viewer/SubscriptionPaneModel.h"
#include "window/Icons.h"
#include "window/SubscriptionPane.h"

#include <QApplication>
#include <QDropEvent>
#include <QImage>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using Sids = std::vector<uint32_t>;

class SubscriptionPaneTest : public testing::Test {
protected:
    ~SubscriptionPaneTest() override
    {
        fPane.reset();
        DisposeSubscriptionList(fStaff.subscriptions);
        DisposeNewsList(fStaff.news);
    }

    SubscriptionList* Add(SiteType type, std::string_view name, SubscriptionList* folder = nullptr)
    {
        SubscriptionList node;
        node.siteType = type;
        node.name = name;
        node.orderID = type == kSiteTypeHotList || type == kSiteTypeCoolList ? 0 : ++fOrder;
        node.parent = folder;
        node.accessState = kAccessStateDone;
        if (type == kSiteTypeRSS)
            node.accessURL = "http://127.0.0.1:1/" + std::to_string(fOrder) + ".rss";
        if (type == kSiteTypeGroup)
            node.flags = kSubscriptionFlagExpanded;
        if (folder)
            folder->child = AddSubscriptionList(folder->child, node);
        else
            fStaff.subscriptions = AddSubscriptionList(fStaff.subscriptions, node);
        return FindSubscriptionByID(fStaff.subscriptions, node.sid);
    }

    void AddNews(SubscriptionList* parent, uint32_t count, uint32_t flags = 0)
    {
        for (uint32_t n = 0; n < count; ++n) {
            NewsList item;
            item.type = kNewsTypeFeed;
            item.parent = parent;
            item.flags = flags;
            item.headline = "Comet news " + std::to_string(n);
            item.headlineRef = item.headline.view();
            fStaff.news = AddNewsList(fStaff.news, item);
        }
    }

    SubscriptionPane& Pane()
    {
        if (!fPane) {
            fPane = std::make_unique<SubscriptionPane>(&fStaff);
            fPane->resize(260, 460);
            QObject::connect(fPane.get(), &SubscriptionPane::currentSubscriptionChanged,
                             [this](uint32_t sid) { fCurrent.push_back(sid); });
            fPane->show();
        }
        return *fPane;
    }

    void Select(const Sids& sids)
    {
        QItemSelectionModel* selection = Pane().View()->selectionModel();
        QItemSelection rows;
        for (uint32_t sid : sids) {
            QModelIndex index = Pane().Model()->IndexOf(sid);
            rows.select(index, index);
        }
        selection->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    ScratchFolder fHome;
    ScopedVariable fCache{"XDG_CACHE_HOME", (fHome / "cache").string()};
    ScopedVariable fData{"XDG_DATA_HOME", (fHome / "data").string()};
    NVWStaff fStaff;
    uint32_t fOrder = 0;
    std::unique_ptr<SubscriptionPane> fPane;
    Sids fCurrent;
};

TEST_F(SubscriptionPaneTest, SelectionBecomesTheCurrentSubscription)
{
    SubscriptionList* hot = Add(kSiteTypeHotList, "! Hot NEWS !");
    SubscriptionList* first = Add(kSiteTypeRSS, "First");
    SubscriptionList* second = Add(kSiteTypeRSS, "Second");
    SubscriptionList* keyword = Add(kSiteTypePsedo, "comet");

    Pane().SelectSubscription(second->sid);
    EXPECT_EQ(fStaff.subscriptionID, second->sid);
    EXPECT_EQ(fCurrent, Sids{second->sid});

    // The hot list selected with two feeds drops out; the feeds stay.
    Select({hot->sid, first->sid, second->sid});
    EXPECT_EQ(Pane().SelectedSubscriptions(), (Sids{first->sid, second->sid}));
    EXPECT_EQ(fStaff.subscriptionID, kCurrentSeveral);
    EXPECT_EQ(fStaff.selections, (Sids{first->sid, second->sid}));

    Pane().SelectSubscription(keyword->sid);
    EXPECT_EQ(fStaff.subscriptionID, kCurrentKeywordSearch);
    EXPECT_EQ(Pane().SelectedSubscriptions(), Sids{keyword->sid});
    Pane().SelectSubscription(0);
    EXPECT_EQ(fStaff.subscriptionID, 0u);
    EXPECT_EQ(fCurrent.back(), 0u);
}

TEST_F(SubscriptionPaneTest, AFailedSearchFeedGoesWhenItIsDeselected)
{
    SubscriptionList* search = Add(kSiteTypeRSS, "Search: comet");
    search->flags |= kSubscriptionFlagSearch;
    search->accessErrors = -3;
    const uint32_t searchSid = search->sid;
    SubscriptionList* feed = Add(kSiteTypeRSS, "Feed");

    Pane().SelectSubscription(searchSid);
    QCoreApplication::processEvents();
    EXPECT_NE(FindSubscriptionByID(fStaff.subscriptions, searchSid), nullptr);
    Pane().SelectSubscription(feed->sid);
    QCoreApplication::processEvents();
    EXPECT_EQ(FindSubscriptionByID(fStaff.subscriptions, searchSid), nullptr);
    EXPECT_EQ(Pane().Model()->rowCount(), 1);
    EXPECT_EQ(Pane().SelectedSubscriptions(), Sids{feed->sid});
}

TEST_F(SubscriptionPaneTest, ARowChangeRedrawsThatRowAndItsFolderOnly)
{
    SubscriptionList* folder = Add(kSiteTypeGroup, "Folder");
    SubscriptionList* inner = Add(kSiteTypeRSS, "Inner", folder);
    for (int n = 0; n < 30; ++n)
        Add(kSiteTypeRSS, "Other " + std::to_string(n));
    Pane();
    std::set<uint32_t> redrawn;
    QObject::connect(Pane().Model(), &QAbstractItemModel::dataChanged,
                     [&redrawn, this](const QModelIndex& top, const QModelIndex& bottom) {
                         for (int row = top.row(); row <= bottom.row(); ++row)
                             redrawn.insert(Pane().Model()->SidOf(top.siblingAtRow(row)));
                     });
    AddNews(inner, 3);
    Pane().DrawRow(*inner, RowReveal::kRedrawOnly);
    EXPECT_EQ(redrawn, (std::set<uint32_t>{inner->sid, folder->sid}));
    EXPECT_EQ(Pane().Model()->IndexOf(inner->sid).data().toString(), QStringLiteral("Inner (3)"));
    EXPECT_EQ(Pane().Model()->IndexOf(folder->sid).data().toString(), QStringLiteral("Folder (3)"));
}

TEST_F(SubscriptionPaneTest, RemovalIsRefusedWhileAFetchRuns)
{
    SubscriptionList* busy = Add(kSiteTypeRSS, "Busy");
    SubscriptionList* idle = Add(kSiteTypeRSS, "Idle");
    const uint32_t idleSid = idle->sid;
    busy->thread = 1;
    AddNews(idle, 2);

    Select({busy->sid, idleSid});
    EXPECT_FALSE(Pane().RemoveSelectedSubscriptions(SubscriptionPane::RemovalAsk::kAlreadyConfirmed));
    EXPECT_EQ(Pane().Model()->rowCount(), 2);

    Pane().SelectSubscription(idleSid);
    EXPECT_TRUE(Pane().RemoveSelectedSubscriptions(SubscriptionPane::RemovalAsk::kAlreadyConfirmed));
    EXPECT_EQ(Pane().Model()->rowCount(), 1);
    EXPECT_EQ(CountNews(fStaff.news), 0u);
    EXPECT_EQ(fStaff.subscriptionID, 0u);
    EXPECT_EQ(Pane().SubscriptionInfoText(), QStringLiteral("1 subscription"));
    busy->thread = 0;
}

// Drags a feed address from another program onto the pane's empty part.
static bool DropURL(QTreeView* view, const QString& url)
{
    QMimeData data;
    data.setUrls({QUrl(url)});
    const QPoint below(20, view->viewport()->height() - 5);
    QDragEnterEvent enter(below, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDragMoveEvent move(below, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    if (!move.isAccepted())
        return false;
    QDropEvent drop(QPointF(below), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    return drop.isAccepted();
}

TEST_F(SubscriptionPaneTest, ADroppedFeedAddressIsSubscribedOnce)
{
    Add(kSiteTypeRSS, "Existing");
    QTreeView* view = Pane().View();
    EXPECT_TRUE(DropURL(view, QStringLiteral("feed://127.0.0.1:1/dropped.rss")));
    ASSERT_EQ(Pane().Model()->rowCount(), 2);
    const Sids selected = Pane().SelectedSubscriptions();
    ASSERT_EQ(selected.size(), 1u);
    const SubscriptionList* added = FindSubscriptionByID(fStaff.subscriptions, selected.front());
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->accessURL.view(), "http://127.0.0.1:1/dropped.rss");
    EXPECT_EQ(Pane().Model()->index(1, 0).data(SubscriptionPaneModel::kSidRole).toUInt(), added->sid);

    // Again: already subscribed, nothing added.
    DropURL(view, QStringLiteral("http://127.0.0.1:1/dropped.rss"));
    EXPECT_EQ(Pane().Model()->rowCount(), 2);
}

TEST_F(SubscriptionPaneTest, EveryRowStateHasItsOwnLegibleIcon)
{
    std::set<qint64> images;
    for (int icon = int(SubscriptionIcon::kRss); icon < kSubscriptionIconCount; ++icon) {
        if (SubscriptionIcon(icon) == SubscriptionIcon::kSiteIcon)
            continue;
        const QIcon image = GetSubscriptionIcon(SubscriptionIcon(icon));
        ASSERT_FALSE(image.isNull()) << "icon " << icon;
        for (int size : {16, 32}) {
            const QImage pixels = image.pixmap(QSize(size, size), 1.0).toImage();
            ASSERT_EQ(pixels.width(), size) << "icon " << icon;
            images.insert(qint64(qHashBits(pixels.constBits(), size_t(pixels.sizeInBytes()))));
        }
    }
    // No two states look alike.
    EXPECT_EQ(images.size(), size_t(2 * (kSubscriptionIconCount - 2)));
}

// The pane as a user sees it: two folders, a dozen feeds in every state,
// the pseudo lists, a keyword row and a mail account.
TEST_F(SubscriptionPaneTest, PictureOfThePane)
{
    Add(kSiteTypeHotList, "! Hot NEWS !");
    Add(kSiteTypeCoolList, "! Cool NEWS !");
    SubscriptionList* world = Add(kSiteTypeGroup, "World");
    AddNews(Add(kSiteTypeRSS, "Daily Planet", world), 12);
    SubscriptionList* wire = Add(kSiteTypeRSS, "Evening Wire", world);
    wire->accessState = kAccessStateAccessing;
    AddNews(wire, 3);
    AddNews(Add(kSiteTypeRSS, "Harbour Gazette", world), 4, kNewsFlagRead);
    Add(kSiteTypeRSS, "Mountain Post", world)->accessErrors = -3;
    SubscriptionList* tech = Add(kSiteTypeGroup, "Technology");
    AddNews(Add(kSiteTypeRSS, "Circuit Notes", tech), 7, kNewsFlagHot);
    AddNews(Add(kSiteTypeRSS, "Kernel Weekly", tech), 2);
    Add(kSiteTypeRSS, "Fresh Feed", tech)->accessState = kAccessStateNever;
    AddNews(Add(kSiteTypeRSS, "Open Source Digest 2", tech), 1, kNewsFlagRead);
    AddNews(Add(kSiteTypeRSS, "Open Source Digest 10", tech), 25);
    Add(kSiteTypeRSS, "")->accessState = kAccessStateNever;
    AddNews(Add(kSiteTypeRSS, "Comet Watch"), 5);
    SubscriptionList* search = Add(kSiteTypeRSS, "Search: eclipse");
    search->flags |= kSubscriptionFlagSearch;
    AddNews(search, 2);
    AddNews(Add(kSiteTypeRSS, "Weather Service"), 1);
    Add(kSiteTypePsedo, "comet eclipse");
    AddNews(Add(kSiteTypePOP, "Mail Account"), 3);
    AddNews(nullptr, 2, kNewsFlagPermanent | kNewsFlagRead);

    Pane().SelectSubscription(Pane().Model()->RowsInOrder()[3]);
    const QImage picture = Pane().grab().toImage();
    ASSERT_FALSE(picture.isNull());
    if (const char* shots = std::getenv("SHOTS")) {
        EXPECT_TRUE(picture.save(QString::fromUtf8(shots) + QStringLiteral("/subscription-pane.png")));
    }
    // The cool list adopted the items without a subscription.
    EXPECT_EQ(Pane().Model()->index(0, 0).data().toString(), QStringLiteral("! Cool NEWS !"));
    EXPECT_EQ(Pane().SubscriptionInfoText(), QStringLiteral("14 subscriptions"));
}

} // namespace
