// The subscription pane's rules without widgets: row texts, counts and icons
// per state, the user's order, the selection's meaning, drag moves, drops,
// removal refusals and the pseudo lists, on small trees built in memory.
#include "NetTestSupport.h"

#include "model/NewsList.h"
#include "viewer/SubscriptionPaneModel.h"
#include "viewer/ViewerOperations.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Sids = std::vector<uint32_t>;

// A viewer state with a tree and news built by the test; the cache folder
// points into scratch space since removal deletes cache files.
class PaneTree : public testing::Test {
protected:
    ~PaneTree() override
    {
        DisposeSubscriptionList(fStaff.subscriptions);
        DisposeNewsList(fStaff.news);
    }

    SubscriptionList* Add(SiteType type, std::string_view name, uint32_t order, SubscriptionList* folder = nullptr)
    {
        SubscriptionList node;
        node.siteType = type;
        node.name = name;
        node.orderID = order;
        node.parent = folder;
        if (type == kSiteTypeRSS)
            node.accessURL = "http://127.0.0.1:1/" + std::string(name) + ".rss";
        if (folder)
            folder->child = AddSubscriptionList(folder->child, node);
        else
            fStaff.subscriptions = AddSubscriptionList(fStaff.subscriptions, node);
        return FindSubscriptionByID(fStaff.subscriptions, node.sid);
    }

    NewsList* AddNews(SubscriptionList* parent, uint32_t flags, std::string_view headline = "Item")
    {
        NewsList item;
        item.type = kNewsTypeFeed;
        item.parent = parent;
        item.flags = flags;
        item.headline = headline;
        item.headlineRef = headline;
        fStaff.news = AddNewsList(fStaff.news, item);
        return FindNewsByID(fStaff.news, item.nid);
    }

    // The rows' names in display order, members after their folder.
    std::vector<std::string> Rows()
    {
        SubscriptionPaneModel model(&fStaff);
        std::vector<std::string> names;
        for (uint32_t sid : model.RowsInOrder())
            names.emplace_back(FindSubscriptionByID(fStaff.subscriptions, sid)->name.view());
        return names;
    }

    std::string Text(SubscriptionPaneModel& model, const SubscriptionList* node)
    {
        return model.IndexOf(node->sid).data().toString().toStdString();
    }

    SubscriptionIcon Icon(SubscriptionPaneModel& model, const SubscriptionList* node)
    {
        return SubscriptionIcon(model.IndexOf(node->sid).data(SubscriptionPaneModel::kIconRole).toInt());
    }

    ScratchFolder fHome;
    ScopedVariable fCache{"XDG_CACHE_HOME", (fHome / "cache").string()};
    ScopedVariable fData{"XDG_DATA_HOME", (fHome / "data").string()};
    NVWStaff fStaff;
};

/* ---- Row content ---- */

TEST(SubscriptionPaneRows, FeedIconFollowsTheFirstRuleThatHolds)
{
    static int siteIcon = 0;
    struct Case {
        const char* what;
        int32_t accessErrors;
        const void* iconRef;
        AccessState state;
        uint32_t flags;
        uint32_t unread;
        SubscriptionIcon icon;
    };
    const Case cases[] = {
        {"failure beats everything", -3, &siteIcon, kAccessStateAccessing, 0, 4, SubscriptionIcon::kRssError},
        {"own icon beats never fetched", 0, &siteIcon, kAccessStateNever, 0, 0, SubscriptionIcon::kSiteIcon},
        {"never fetched", 0, nullptr, kAccessStateNever, 0, 7, SubscriptionIcon::kRssInit},
        {"accessing", 0, nullptr, kAccessStateAccessing, 0, 0, SubscriptionIcon::kRssAccessing},
        {"done, all read", 0, nullptr, kAccessStateDone, 0, 0, SubscriptionIcon::kRssAllRead},
        {"done, unread", 0, nullptr, kAccessStateDone, 0, 2, SubscriptionIcon::kRss},
        {"search accessing", 0, nullptr, kAccessStateAccessing, kSubscriptionFlagSearch, 0,
         SubscriptionIcon::kRssSearchAccessing},
        {"search all read", 0, nullptr, kAccessStateDone, kSubscriptionFlagSearch, 0, SubscriptionIcon::kRssSearchAllRead},
        {"search unread", 0, nullptr, kAccessStateDone, kSubscriptionFlagSearch, 1, SubscriptionIcon::kRssSearch},
        {"search failed", -1, nullptr, kAccessStateDone, kSubscriptionFlagSearch, 1, SubscriptionIcon::kRssError},
    };
    for (const Case& c : cases) {
        SubscriptionList feed;
        feed.siteType = kSiteTypeRSS;
        feed.accessErrors = c.accessErrors;
        feed.iconRef = c.iconRef;
        feed.accessState = c.state;
        feed.flags = c.flags;
        EXPECT_EQ(ChooseFeedIcon(feed, c.unread), c.icon) << c.what;
    }
}

TEST(SubscriptionPaneRows, TextAndIconPerKind)
{
    struct Case {
        SiteType type;
        const char* name;
        uint32_t count;
        CountDisplay display;
        const char* text;
        SubscriptionIcon icon;
    };
    const Case cases[] = {
        {kSiteTypeRSS, "News", 3, CountDisplay::kShown, "News (3)", SubscriptionIcon::kRssInit},
        {kSiteTypeRSS, "News", 3, CountDisplay::kHidden, "News", SubscriptionIcon::kRssInit},
        {kSiteTypeRSS, "News", 0, CountDisplay::kShown, "News", SubscriptionIcon::kRssInit},
        {kSiteTypeRSS, "", 5, CountDisplay::kShown, "Untitled", SubscriptionIcon::kRssInit},
        {kSiteTypePOP, "Mail", 9, CountDisplay::kShown, "Mail (9)", SubscriptionIcon::kMail},
        {kSiteTypeHotList, "! Hot NEWS !", 2, CountDisplay::kShown, "! Hot NEWS ! (2)", SubscriptionIcon::kRssHot},
        {kSiteTypeCoolList, "! Cool NEWS !", 6, CountDisplay::kShown, "! Cool NEWS !", SubscriptionIcon::kRssCool},
        {kSiteTypeGroup, "Folder", 4, CountDisplay::kShown, "Folder (4)", SubscriptionIcon::kFolder},
        {kSiteTypePsedo, "mars moon", 2, CountDisplay::kShown, "\" mars moon \" (2)", SubscriptionIcon::kRssPsedo},
        {kSiteTypePsedo, "mars moon", 0, CountDisplay::kShown, "\" mars moon \"", SubscriptionIcon::kRssAllRead},
    };
    for (const Case& c : cases) {
        SubscriptionList node;
        node.siteType = c.type;
        node.name = c.name;
        EXPECT_EQ(MakeRowText(node, c.count, c.display), c.text) << c.name;
        EXPECT_EQ(ChooseRowIcon(node, c.count), c.icon) << c.name;
    }
}

TEST(SubscriptionPaneRows, NamesCompareCaselessWithNumbersByValue)
{
    EXPECT_LT(CompareNamesNaturally("Feed 9", "Feed 10"), 0);
    EXPECT_LT(CompareNamesNaturally("feed 2", "Feed 10"), 0);
    EXPECT_EQ(CompareNamesNaturally("NEWS", "news"), 0);
    EXPECT_LT(CompareNamesNaturally("a007", "a8"), 0);
    EXPECT_GT(CompareNamesNaturally("b", "A"), 0);
    EXPECT_LT(CompareNamesNaturally("Feed", "Feed 1"), 0);
    EXPECT_LT(CompareNamesNaturally("x99999999999999999999", "x100000000000000000000"), 0);
}

TEST_F(PaneTree, RowsFollowTheUsersOrderThenTheirNames)
{
    SubscriptionList* folder = Add(kSiteTypeGroup, "Folder", 2);
    Add(kSiteTypeRSS, "Late", 9);
    Add(kSiteTypeRSS, "Feed 10", 3);
    Add(kSiteTypeRSS, "feed 9", 3);
    Add(kSiteTypeRSS, "Inner b", 6, folder);
    Add(kSiteTypeRSS, "Inner a", 5, folder);
    Add(kSiteTypeHotList, "! Hot NEWS !", 0);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"! Hot NEWS !", "Folder", "Inner a", "Inner b", "feed 9", "Feed 10",
                                                "Late"}));
}

/* ---- Counts ---- */

TEST_F(PaneTree, CountsOfEveryKindComeFromTheNewsList)
{
    SubscriptionList* folder = Add(kSiteTypeGroup, "Folder", 1);
    SubscriptionList* inner = Add(kSiteTypeRSS, "Inner", 2, folder);
    SubscriptionList* outer = Add(kSiteTypeRSS, "Outer", 3);
    SubscriptionList* mail = Add(kSiteTypePOP, "Mail", 4);
    SubscriptionList* keyword = Add(kSiteTypePsedo, "comet", 5);
    SubscriptionList* hot = Add(kSiteTypeHotList, "! Hot NEWS !", 0);
    AddNews(inner, 0, "Comet seen");
    AddNews(inner, kNewsFlagRead, "Comet gone");
    AddNews(outer, kNewsFlagHot, "Hot one");
    AddNews(outer, kNewsFlagHot | kNewsFlagRead, "Hot, read");
    AddNews(mail, kNewsFlagRead);
    AddNews(mail, 0);
    outer->accessState = kAccessStateDone;

    SubscriptionPaneModel model(&fStaff);
    EXPECT_EQ(Text(model, folder), "Folder (1)");
    EXPECT_EQ(Text(model, inner), "Inner (1)");
    EXPECT_EQ(Text(model, outer), "Outer (1)");
    EXPECT_EQ(Text(model, mail), "Mail (2)");
    EXPECT_EQ(Text(model, keyword), "\" comet \" (1)");
    EXPECT_EQ(Text(model, hot), "! Hot NEWS ! (1)");
    EXPECT_EQ(Icon(model, keyword), SubscriptionIcon::kRssPsedo);

    // Reading the last unread items: one row's redraw recounts it, its folder
    // and the hot list.
    MarkAllNews(fStaff.news, kNewsFlagRead);
    model.RowChanged(outer->sid);
    EXPECT_EQ(Text(model, outer), "Outer");
    EXPECT_EQ(Icon(model, outer), SubscriptionIcon::kRssAllRead);
    EXPECT_EQ(Text(model, hot), "! Hot NEWS !");
    model.RowChanged(inner->sid);
    EXPECT_EQ(Text(model, folder), "Folder");

    // With counts off a keyword row never counts, so it shows all read.
    AddNews(inner, 0, "Comet again");
    model.SetCountDisplay(CountDisplay::kHidden);
    EXPECT_EQ(Text(model, keyword), "\" comet \"");
    EXPECT_EQ(Icon(model, keyword), SubscriptionIcon::kRssAllRead);
    EXPECT_EQ(Text(model, inner), "Inner");
    model.SetCountDisplay(CountDisplay::kShown);
    EXPECT_EQ(Text(model, keyword), "\" comet \" (1)");
}

TEST_F(PaneTree, FiveHundredSubscriptionsAndAHundredThousandItemsLoadQuickly)
{
    std::vector<SubscriptionList*> feeds;
    for (uint32_t n = 0; n < 500; ++n)
        feeds.push_back(Add(kSiteTypeRSS, "Feed " + std::to_string(n), n + 1));
    // Built as one chain and linked once: AddNewsList walks to the tail.
    NewsList* chain = nullptr;
    NewsList* tail = nullptr;
    for (uint32_t n = 0; n < 100'000; ++n) {
        auto* item = new NewsList;
        item->type = kNewsTypeFeed;
        item->parent = feeds[n % feeds.size()];
        item->flags = (n % 3 == 0) ? kNewsFlagRead : 0;
        (tail ? tail->next : chain) = item;
        tail = item;
    }
    fStaff.news = chain;

    const auto start = std::chrono::steady_clock::now();
    SubscriptionPaneModel model(&fStaff);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    std::printf("  500 rows over 100000 items counted in %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 500);
    EXPECT_EQ(model.rowCount(), 500);
    EXPECT_EQ(Text(model, feeds[0]), "Feed 0 (133)");
}

/* ---- Selection ---- */

TEST_F(PaneTree, SelectionBecomesTheCurrentSubscription)
{
    SubscriptionList* folder = Add(kSiteTypeGroup, "Folder", 1);
    SubscriptionList* inner = Add(kSiteTypeRSS, "Inner", 2, folder);
    SubscriptionList* keywordInFolder = Add(kSiteTypePsedo, "moon", 3, folder);
    SubscriptionList* mail = Add(kSiteTypePOP, "Mail", 4, folder);
    SubscriptionList* feed = Add(kSiteTypeRSS, "Feed", 5);
    SubscriptionList* keyword = Add(kSiteTypePsedo, "mars", 6);
    SubscriptionList* hot = Add(kSiteTypeHotList, "! Hot NEWS !", 0);
    SubscriptionList* tree = fStaff.subscriptions;

    EXPECT_EQ(ResolveCurrentSubscription(tree, Sids{}), 0u);
    EXPECT_EQ(ResolveCurrentSubscription(tree, Sids{feed->sid}), feed->sid);
    EXPECT_EQ(ResolveCurrentSubscription(tree, Sids{folder->sid}), folder->sid);
    EXPECT_EQ(ResolveCurrentSubscription(tree, Sids{keyword->sid}), kKeywordSubscriptionID);
    EXPECT_EQ(ResolveCurrentSubscription(tree, Sids{feed->sid, inner->sid}), kSelectionSubscriptionID);

    // A folder stands for its feeds and mail accounts; nothing twice.
    EXPECT_EQ(CreateSelectionArray(tree, Sids{folder->sid, inner->sid, feed->sid, keyword->sid}),
              (Sids{inner->sid, mail->sid, feed->sid}));
    (void)keywordInFolder;

    // The hot, cool and keyword rows stand alone.
    EXPECT_EQ(FindLoneRowsInSelection(tree, Sids{hot->sid, feed->sid, inner->sid}), Sids{hot->sid});
    EXPECT_EQ(FindLoneRowsInSelection(tree, Sids{hot->sid}), Sids{});

    EXPECT_EQ(GetLastCurrentSubscriptionID(Sids{feed->sid, inner->sid}, kSelectionSubscriptionID), inner->sid);
    EXPECT_EQ(GetOneCurrentSubscriptionID(Sids{keyword->sid}, kKeywordSubscriptionID), keyword->sid);
    EXPECT_EQ(GetOneCurrentSubscriptionID(Sids{feed->sid}, feed->sid), feed->sid);
}

/* ---- Drag moves ---- */

class PaneMoves : public PaneTree {
protected:
    PaneMoves()
    {
        first = Add(kSiteTypeRSS, "First", 1);
        second = Add(kSiteTypeRSS, "Second", 2);
        third = Add(kSiteTypeRSS, "Third", 3);
        target = Add(kSiteTypeRSS, "Target", 4);
        folder = Add(kSiteTypeGroup, "Folder", 5);
        inner = Add(kSiteTypeRSS, "Inner", 6, folder);
        last = Add(kSiteTypeRSS, "Last", 7);
        other = Add(kSiteTypeGroup, "Other", 8);
        hot = Add(kSiteTypeHotList, "! Hot NEWS !", 0);
    }
    std::vector<uint32_t> Three() const { return {third->sid, first->sid, second->sid}; }

    SubscriptionList *first, *second, *third, *target, *folder, *inner, *last, *other, *hot;
};

TEST_F(PaneMoves, RowsDroppedOnARowFollowItInTheirOrder)
{
    EXPECT_EQ(DragMoveSubscriptionList(fStaff, Three(), DropPlace::kOnRow, last->sid), DragMoveResult::kMoved);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"! Hot NEWS !", "Target", "Folder", "Inner", "Last", "First",
                                                "Second", "Third", "Other"}));
    EXPECT_GT(fStaff.markCount, 0u);
}

TEST_F(PaneMoves, RowsDroppedInTheGapGoJustBeforeTheRow)
{
    EXPECT_EQ(DragMoveSubscriptionList(fStaff, Three(), DropPlace::kBeforeRow, last->sid), DragMoveResult::kMoved);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"! Hot NEWS !", "Target", "Folder", "Inner", "First", "Second",
                                                "Third", "Last", "Other"}));
    EXPECT_EQ(DragMoveSubscriptionList(fStaff, Sids{inner->sid}, DropPlace::kOutside, 0), DragMoveResult::kMoved);
    EXPECT_EQ(inner->parent, nullptr);
    EXPECT_EQ(Rows().back(), "Inner");
}

TEST_F(PaneMoves, RowsDroppedOnAMemberJoinItsFolderButFoldersOnlyReorder)
{
    EXPECT_EQ(DragMoveSubscriptionList(fStaff, Sids{target->sid, other->sid}, DropPlace::kOnRow, inner->sid),
              DragMoveResult::kMoved);
    EXPECT_EQ(target->parent, folder);
    EXPECT_EQ(other->parent, nullptr);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"! Hot NEWS !", "First", "Second", "Third", "Folder", "Inner",
                                                "Target", "Other", "Last"}));
}

TEST_F(PaneMoves, RefusedMovesChangeNothing)
{
    const std::vector<std::string> before = Rows();
    CapturedLog log;
    EXPECT_EQ(DragMoveSubscriptionList(fStaff, Three(), DropPlace::kBeforeRow, inner->sid),
              DragMoveResult::kCannotDropInGroup);
    EXPECT_NE(log.Text().find("Cannot drop in group"), std::string::npos);
    EXPECT_EQ(DragMoveSubscriptionList(fStaff, Three(), DropPlace::kOnRow, second->sid),
              DragMoveResult::kDroppedOnThemselves);
    EXPECT_EQ(DragMoveSubscriptionList(fStaff, Sids{hot->sid}, DropPlace::kOnRow, last->sid), DragMoveResult::kNothingMoved);
    EXPECT_FALSE(AcceptsSubscriptionMove(fStaff.subscriptions, hot->sid));
    EXPECT_TRUE(AcceptsSubscriptionMove(fStaff.subscriptions, inner->sid));
    EXPECT_EQ(Rows(), before);
    EXPECT_EQ(fStaff.markCount, 0u);
}

/* ---- Removal ---- */

TEST_F(PaneTree, RemovalIsRefusedDuringAFetchAndForThePseudoLists)
{
    SubscriptionList* folder = Add(kSiteTypeGroup, "Folder", 1);
    SubscriptionList* busy = Add(kSiteTypeRSS, "Busy", 2, folder);
    SubscriptionList* idle = Add(kSiteTypeRSS, "Idle", 3);
    SubscriptionList* hot = Add(kSiteTypeHotList, "! Hot NEWS !", 0);
    SubscriptionList* cool = Add(kSiteTypeCoolList, "! Cool NEWS !", 0);
    busy->thread = 7;
    SubscriptionList* tree = fStaff.subscriptions;

    EXPECT_EQ(CheckRemovableSelection(tree, Sids{}), RemovalCheck::kNothingSelected);
    EXPECT_EQ(CheckRemovableSelection(tree, Sids{idle->sid}), RemovalCheck::kRemovable);
    EXPECT_EQ(CheckRemovableSelection(tree, Sids{idle->sid, busy->sid}), RemovalCheck::kUnremovable);
    EXPECT_EQ(CheckRemovableSelection(tree, Sids{folder->sid}), RemovalCheck::kUnremovable);
    EXPECT_EQ(CheckRemovableSelection(tree, Sids{hot->sid}), RemovalCheck::kUnremovable);
    EXPECT_EQ(CheckRemovableSelection(tree, Sids{cool->sid}), RemovalCheck::kUnremovable);

    // Removal itself still skips the busy row if asked.
    EXPECT_EQ(RemoveSubscriptions(fStaff, Sids{busy->sid, idle->sid}), 1u);
    EXPECT_NE(FindSubscriptionByID(fStaff.subscriptions, busy->sid), nullptr);
    busy->thread = 0;
}

TEST_F(PaneTree, RemovingTheLastHotOrPermanentNewsTakesThePseudoListAlong)
{
    SubscriptionList* hotFeed = Add(kSiteTypeRSS, "Hot feed", 1);
    SubscriptionList* keeper = Add(kSiteTypeRSS, "Keeper", 2);
    AddNews(hotFeed, kNewsFlagHot);
    AddNews(keeper, 0);
    AddNews(nullptr, kNewsFlagPermanent | kNewsFlagRead, "Kept from a gone feed");
    Add(kSiteTypeHotList, "! Hot NEWS !", 0);
    const uint32_t cool = AppendCoolSubscription(fStaff);
    EXPECT_EQ(AppendCoolSubscription(fStaff), cool);
    EXPECT_EQ(CountNewsBySubscription(fStaff.news, FindSubscriptionByID(fStaff.subscriptions, cool)), 1u);
    fStaff.subscriptionID = hotFeed->sid;
    fStaff.newsID = fStaff.news->nid;

    EXPECT_EQ(RemoveSubscriptions(fStaff, std::vector<uint32_t>{hotFeed->sid}), 1u);
    EXPECT_EQ(FindHotSubscriptionID(fStaff.subscriptions), 0u);
    EXPECT_EQ(FindCoolSubscriptionID(fStaff.subscriptions), cool);
    EXPECT_EQ(CountNews(fStaff.news), 2u);
    EXPECT_EQ(fStaff.subscriptionID, 0u);
    EXPECT_EQ(fStaff.newsID, 0u);

    // The adopted item leaves with the cool list once it is no longer permanent.
    for (NewsList* item = fStaff.news; item; item = item->next)
        item->flags &= ~kNewsFlagPermanent;
    EXPECT_EQ(RemoveSubscriptions(fStaff, std::vector<uint32_t>{}), 0u);
    EXPECT_EQ(FindCoolSubscriptionID(fStaff.subscriptions), 0u);
    EXPECT_EQ(CountNews(fStaff.news), 1u);
    EXPECT_EQ(fStaff.news->parent, keeper);
}

/* ---- Drops and drags out ---- */

TEST_F(PaneTree, DroppedAddressesSubscribeOnceAfterTheRowDroppedOn)
{
    SubscriptionList* folder = Add(kSiteTypeGroup, "Folder", 1);
    SubscriptionList* inner = Add(kSiteTypeRSS, "Inner", 2, folder);
    Add(kSiteTypeRSS, "After", 3);

    DropResult dropped = SubscribeDroppedURL(fStaff, "feed://127.0.0.1:1/new.rss", inner->sid);
    ASSERT_EQ(dropped.outcome, DropOutcome::kAdded);
    SubscriptionList* added = FindSubscriptionByID(fStaff.subscriptions, dropped.sid);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->accessURL.view(), "http://127.0.0.1:1/new.rss");
    EXPECT_EQ(added->parent, folder);
    EXPECT_EQ(fStaff.interval, 0u);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Folder", "Inner", "http://127.0.0.1:1/new.rss", "After"}));

    EXPECT_EQ(SubscribeDroppedURL(fStaff, "http://127.0.0.1:1/new.rss", 0).outcome, DropOutcome::kAlreadySubscribed);
    EXPECT_EQ(SubscribeDroppedURL(fStaff, "ftp://127.0.0.1/x.rss", 0).outcome, DropOutcome::kNoFeed);
    EXPECT_EQ(SubscribeDroppedURL(fStaff, "javascript:alert(1)", 0).outcome, DropOutcome::kNoFeed);

    FeedCandidate named;
    named.name = "Inner";
    named.feedURL = "http://127.0.0.1:1/other.rss";
    EXPECT_EQ(AddDroppedFeed(fStaff, named, 0).outcome, DropOutcome::kAlreadySubscribed);
    named.name = "Fresh";
    DropResult fresh = AddDroppedFeed(fStaff, named, 0);
    ASSERT_EQ(fresh.outcome, DropOutcome::kAdded);
    EXPECT_EQ(Rows().back(), "Fresh");
}

TEST_F(PaneTree, DraggedTextAndFilesCarryTheFeed)
{
    SubscriptionList* feed = Add(kSiteTypeRSS, "News/Daily", 1);
    feed->description = "Line one\rline two";
    feed->homeURL = "http://127.0.0.1:1/";
    feed->checkType = kCheckEvery30Min;

    std::optional<FeedCandidate> back = ParseFeedCandidateText(MakeRssChannelText(*feed));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, "News/Daily");
    EXPECT_EQ(back->description, "Line one line two");
    EXPECT_EQ(back->homeURL, "http://127.0.0.1:1/");
    EXPECT_EQ(back->feedURL, feed->accessURL.view());
    EXPECT_EQ(back->checkType, kCheckEvery30Min);

    EXPECT_FALSE(ParseFeedCandidateText("<rss-channel>\rname\r</rss-channel>"));
    EXPECT_FALSE(ParseFeedCandidateText("just some words"));
    EXPECT_FALSE(ParseFeedCandidateText(""));
    ASSERT_TRUE(ParseFeedCandidateText("# list\r\nfeed:https://127.0.0.1:1/a.xml\r\n"));
    EXPECT_EQ(ParseFeedCandidateText("feed:https://127.0.0.1:1/a.xml")->feedURL, "https://127.0.0.1:1/a.xml");

    std::optional<std::filesystem::path> link = WriteSubscriptionLinkFile(*feed, fHome.Path());
    ASSERT_TRUE(link);
    EXPECT_EQ(link->filename(), "News|Daily.desktop");
    std::optional<FeedCandidate> fromLink = ReadFeedCandidateFromFile(*link);
    ASSERT_TRUE(fromLink);
    EXPECT_EQ(fromLink->name, "News/Daily");
    EXPECT_EQ(fromLink->feedURL, feed->accessURL.view());

    auto write = [this](const std::string& name, const std::string& text) {
        std::ofstream(fHome / name) << text;
        return fHome / name;
    };
    std::optional<FeedCandidate> webloc = ReadFeedCandidateFromFile(
        write("Site.webloc", "<plist><dict><key>URL</key><string>http://127.0.0.1:1/w.rss</string></dict></plist>"));
    ASSERT_TRUE(webloc);
    EXPECT_EQ(webloc->feedURL, "http://127.0.0.1:1/w.rss");
    EXPECT_EQ(webloc->name, "Site");
    EXPECT_TRUE(ReadFeedCandidateFromFile(write("address.txt", "http://127.0.0.1:1/t.rss\n")));
    EXPECT_FALSE(ReadFeedCandidateFromFile(write("notes.txt", "nothing here")));
    EXPECT_FALSE(ReadFeedCandidateFromFile(write("bad.desktop", "[Desktop Entry]\nURL=file:///etc/passwd\n")));
    EXPECT_FALSE(ReadFeedCandidateFromFile(fHome / "missing.webloc"));
    EXPECT_FALSE(ReadFeedCandidateFromFile(fHome.Path()));
}

/* ---- The item model ---- */

TEST_F(PaneTree, RowsAddedAndRemovedKeepTheModelInStep)
{
    SubscriptionList* folder = Add(kSiteTypeGroup, "Folder", 2);
    SubscriptionList* inner = Add(kSiteTypeRSS, "Inner", 3, folder);
    Add(kSiteTypeRSS, "Last", 9);
    SubscriptionPaneModel model(&fStaff);
    ASSERT_EQ(model.rowCount(), 2);

    SubscriptionList* early = Add(kSiteTypeRSS, "Early", 1);
    model.RowAdded(*early);
    model.RowAdded(*early);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.IndexOf(early->sid).row(), 0);
    EXPECT_EQ(model.IndexOf(folder->sid).row(), 1);
    EXPECT_EQ(model.parent(model.IndexOf(inner->sid)), model.IndexOf(folder->sid));

    // A folder's members go with it; the model forgets them before any view asks.
    const uint32_t innerSid = inner->sid;
    const uint32_t folderSid = folder->sid;
    ASSERT_EQ(RemoveSubscriptionViewerWindow(&fStaff, folderSid), kNoErr);
    model.RowRemoved(folderSid);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_FALSE(model.IndexOf(innerSid).isValid());
    EXPECT_EQ(model.IndexOf(early->sid).row(), 0);

    // Moves regroup the rows in place.
    QPersistentModelIndex kept(model.IndexOf(early->sid));
    early->orderID = 20;
    model.Restructure();
    EXPECT_EQ(kept.row(), 1);
}

} // namespace
