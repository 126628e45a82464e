// The headline pane's rules on a model built in memory: rows for each kind
// of current subscription with expiry, the site column's role, the relative
// dates, the headline order, and next and previous unread navigation.
#include "viewer/HeadlineModel.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr uint32_t kNow = 3'900'000'000u - 3'900'000'000u % 86400 + 12 * 3600; // a noon, local seconds since 1904
constexpr uint32_t kDay = 86400;

// A tree of two feeds in a folder, a third feed at top level, the hot and
// cool lists and a keyword pseudo-subscription, with items in each.
class HeadlinePane : public testing::Test {
protected:
    HeadlinePane()
    {
        fFolder = Add(nullptr, kSiteTypeGroup, "Folder", 1);
        fAlpha = Add(fFolder, kSiteTypeRSS, "Alpha", 2);
        fBeta = Add(fFolder, kSiteTypeRSS, "Beta", 3);
        fGamma = Add(nullptr, kSiteTypeRSS, "Gamma", 4);
        fHot = Add(nullptr, kSiteTypeHotList, "Hot", 0);
        fCool = Add(nullptr, kSiteTypeCoolList, "Cool", 0);
        fKeyword = Add(nullptr, kSiteTypePsedo, "kernel", 5);
        fAlpha->termDays = 2; // read items older than two days leave the list

        Item(fAlpha, "Kernel 10 released", kNow - 3 * kDay, kNewsFlagRead);         // expired
        Item(fAlpha, "Kernel 9 released", kNow - kDay, kNewsFlagRead | kNewsFlagHot);
        Item(fAlpha, "alpha unread", kNow - 5 * kDay, 0);                             // unread: never expires
        Item(fBeta, "Beta news", kNow - 2 * 3600, kNewsFlagPermanent | kNewsFlagRead, "Wire Service");
        Item(fGamma, "Gamma one", kNow - 3600, 0);
        Item(fGamma, "Gamma two", kNow - 7200, kNewsFlagRead);
    }
    ~HeadlinePane() override
    {
        DisposeNewsList(fStaff.news);
        DisposeSubscriptionList(fStaff.subscriptions);
    }

    SubscriptionList* Add(SubscriptionList* folder, SiteType type, const char* name, uint32_t order)
    {
        SubscriptionList record;
        record.siteType = type;
        record.name = name;
        record.orderID = order;
        record.parent = folder;
        if (folder) {
            folder->child = AddSubscriptionList(folder->child, record);
        } else {
            fStaff.subscriptions = AddSubscriptionList(fStaff.subscriptions, record);
        }
        return FindSubscriptionByID(fStaff.subscriptions, record.sid);
    }

    void Item(SubscriptionList* parent, const char* headline, uint32_t date, uint32_t flags, const char* publisher = "")
    {
        NewsList record;
        record.type = kNewsTypeFeed;
        record.parent = parent;
        record.headline = headline;
        record.headlineRef = std::string_view(headline);
        record.dateTime = date;
        record.flags = flags;
        record.encodingName = "UTF-8";
        record.publisher = publisher;
        fStaff.news = AddNewsList(fStaff.news, record);
    }

    std::vector<std::string> Rows(HeadlineModel& model, uint32_t sid, const std::string& keywords = {})
    {
        fStaff.subscriptionID = sid;
        model.Rebuild(keywords);
        model.sort(HeadlineModel::kColumnTitle, Qt::AscendingOrder);
        std::vector<std::string> titles;
        for (int row = 0; row < model.rowCount(); ++row)
            titles.push_back(HeadlineText(*model.NewsAt(row)).toStdString());
        return titles;
    }

    TestClockGuard fClock{1000, kNow};
    NVWStaff fStaff;
    SubscriptionList* fFolder = nullptr;
    SubscriptionList* fAlpha = nullptr;
    SubscriptionList* fBeta = nullptr;
    SubscriptionList* fGamma = nullptr;
    SubscriptionList* fHot = nullptr;
    SubscriptionList* fCool = nullptr;
    SubscriptionList* fKeyword = nullptr;
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(HeadlinePane, RowsForEachKindOfCurrentSubscriptionLeaveExpiredReadItemsOut)
{
    HeadlineModel model(&fStaff);
    using Role = HeadlineModel::SiteRole;
    EXPECT_EQ(Rows(model, fAlpha->sid), (Strings{"alpha unread", "Kernel 9 released"}));
    EXPECT_EQ(model.SiteColumnRole(), Role::kHidden); // one feed without sources
    EXPECT_EQ(Rows(model, fBeta->sid), (Strings{"Beta news"}));
    EXPECT_EQ(model.SiteColumnRole(), Role::kSource); // its item names a source
    EXPECT_EQ(model.data(model.index(0, HeadlineModel::kColumnSite), Qt::DisplayRole).toString(), "Wire Service");

    fGamma->options |= kOptionShowCategory;
    EXPECT_EQ(Rows(model, fGamma->sid), (Strings{"Gamma one", "Gamma two"}));
    EXPECT_EQ(model.SiteColumnRole(), Role::kCategory);
    EXPECT_EQ(model.headerData(HeadlineModel::kColumnSite, Qt::Horizontal, Qt::DisplayRole).toString(), "Category");

    EXPECT_EQ(Rows(model, fFolder->sid), (Strings{"alpha unread", "Beta news", "Kernel 9 released"}));
    EXPECT_EQ(model.SiteColumnRole(), Role::kSource);
    // The subscription's name stands in for a missing source.
    EXPECT_EQ(model.SiteText(*model.NewsAt(0)), "Alpha");

    EXPECT_EQ(Rows(model, fHot->sid), (Strings{"Kernel 9 released"}));
    EXPECT_EQ(Rows(model, fCool->sid), (Strings{"Beta news"}));
    EXPECT_EQ(Rows(model, fKeyword->sid), (Strings{"Kernel 9 released"}));

    fStaff.selections = {fBeta->sid, fGamma->sid};
    EXPECT_EQ(Rows(model, 98), (Strings{"Beta news", "Gamma one", "Gamma two"}));
    // A keyword search looks in the selected subscriptions, or everywhere.
    fStaff.selections = {fGamma->sid};
    EXPECT_EQ(Rows(model, 99, "gamma"), (Strings{"Gamma one", "Gamma two"}));
    fStaff.selections.clear();
    EXPECT_EQ(Rows(model, 99, "released"), (Strings{"Kernel 9 released", "Kernel 10 released"}));
    EXPECT_EQ(Rows(model, 0), Strings{});
    EXPECT_EQ(model.InfoText(), "");
    EXPECT_EQ(Rows(model, fBeta->sid).size(), 1u);
    EXPECT_EQ(model.InfoText(), "1 headline");
}

TEST_F(HeadlinePane, SortsByColumnWithDigitRunsAsNumbers)
{
    HeadlineModel model(&fStaff);
    fStaff.subscriptionID = 99;
    model.Rebuild("released");
    model.sort(HeadlineModel::kColumnTitle, Qt::AscendingOrder);
    EXPECT_EQ(HeadlineText(*model.NewsAt(0)), "Kernel 9 released");
    model.sort(HeadlineModel::kColumnDate, Qt::DescendingOrder);
    EXPECT_EQ(HeadlineText(*model.NewsAt(0)), "Kernel 9 released");
    model.sort(HeadlineModel::kColumnDate, Qt::AscendingOrder);
    EXPECT_EQ(HeadlineText(*model.NewsAt(0)), "Kernel 10 released");

    EXPECT_LT(CompareHeadlineText("chapter 9", "Chapter 10"), 0);
    EXPECT_LT(CompareHeadlineText("Chapter 007", "chapter 10"), 0);
    EXPECT_EQ(CompareHeadlineText("ABC 2", "abc 02"), 0);
    EXPECT_GT(CompareHeadlineText("b", "A"), 0);
    EXPECT_LT(CompareHeadlineText("Item", "Item 1"), 0);
}

TEST_F(HeadlinePane, StateChoosesColourAndIcon)
{
    EXPECT_EQ(HeadlineIconOf(kNewsFlagPermanent | kNewsFlagHot), HeadlineIcon::kFixed);
    EXPECT_EQ(HeadlineIconOf(kNewsFlagHot | kNewsFlagRead), HeadlineIcon::kHot);
    EXPECT_EQ(HeadlineIconOf(kNewsFlagRetained | kNewsFlagRead), HeadlineIcon::kRetained);
    EXPECT_EQ(HeadlineIconOf(kNewsFlagRead), HeadlineIcon::kRead);
    EXPECT_EQ(HeadlineIconOf(0), HeadlineIcon::kUnread);
    EXPECT_EQ(HeadlineColorOf(kNewsFlagDownloaded), HeadlineColor::kDownloaded);
    EXPECT_EQ(HeadlineColorOf(kNewsFlagDownloaded | kNewsFlagRead | kNewsFlagPermanent), HeadlineColor::kDownloaded);
    EXPECT_EQ(HeadlineColorOf(kNewsFlagPermanent), HeadlineColor::kPermanent);
    EXPECT_EQ(HeadlineColorOf(kNewsFlagRead), HeadlineColor::kRead);
    EXPECT_EQ(HeadlineColorOf(kNewsFlagHot), HeadlineColor::kUnread);
    EXPECT_EQ(HeadlineRowHeight(1), 18);
    EXPECT_EQ(HeadlineRowHeight(3), 20);
    EXPECT_EQ(HeadlineRowHeight(4), 24);
    EXPECT_EQ(HeadlineRowHeight(2), 19);
}

TEST(HeadlineDates, RelativeForTheLastSevenDays)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    uint32_t midnight = kNow - kNow % kDay;
    struct Case {
        uint32_t date;
        const char* starts;
    } const cases[] = {
        {midnight, "Today "},
        {kNow + 3600, "Today "}, // the future counts as today
        {midnight - 60, "Yesterday "},
        {midnight - kDay, "Yesterday "},
        {midnight - kDay - 1, ""}, // a weekday
        {kNow - 7 * kDay + 3600, ""},
    };
    for (const Case& c : cases) {
        QString text = RelativeDateText(c.date, kNow);
        if (*c.starts) {
            EXPECT_TRUE(text.startsWith(c.starts)) << text.toStdString();
        } else {
            EXPECT_TRUE(text.contains(QRegularExpression("^(Mon|Tues|Wednes|Thurs|Fri|Satur|Sun)day ")))
                << text.toStdString();
        }
    }
    EXPECT_FALSE(RelativeDateText(midnight + 3600, kNow).contains(":00:")) << "no seconds";
    // Seven days and a second ago: the short date, without a time.
    QString old = RelativeDateText(kNow - 7 * kDay - 1, kNow);
    EXPECT_FALSE(old.contains(':')) << old.toStdString();
    EXPECT_TRUE(old.contains('/')) << old.toStdString();
    QLocale::setDefault(QLocale::c());
}

TEST_F(HeadlinePane, NextAndPreviousUnreadWithinTheListAndAcrossSubscriptions)
{
    HeadlineModel model(&fStaff);
    Rows(model, fGamma->sid); // "Gamma one" (unread), "Gamma two" (read)
    EXPECT_EQ(model.NextUnreadRow(-1), 0);
    EXPECT_EQ(model.NextUnreadRow(0), -1);
    EXPECT_EQ(model.PrevUnreadRow(model.rowCount()), 0);
    EXPECT_EQ(model.PrevUnreadRow(0), -1);

    // In order: Alpha (2) has unread news, Beta (3) none, Gamma (4) some.
    EXPECT_EQ(NextUnreadSubscription(&fStaff, fAlpha->sid), fGamma->sid);
    EXPECT_EQ(NextUnreadSubscription(&fStaff, fFolder->sid), fAlpha->sid);
    EXPECT_EQ(NextUnreadSubscription(&fStaff, fGamma->sid), 0u); // the last one: nothing
    EXPECT_EQ(NextUnreadSubscription(&fStaff, 0), fAlpha->sid);
}
