// The subscriptions file: exact bytes of a save, the tree a load rebuilds,
// what a damaged file still yields (and that its bytes are kept), files that
// stay untouched, the preset fallback and the shipped preset. Fixtures are
// built here byte by byte from the offsets of the format, never by the code
// under test.
#include "ModelTestSupport.h"
#include "support/ScratchSpace.h"
#include "model/SubscriptionList.h"
#include "model/SubscriptionsFile.h"
#include "platform/Folders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

namespace fs = std::filesystem;

// ---- Fixture bytes ----

constexpr size_t kHeaderBytes = 64;
constexpr size_t kRecordBytes = 5384;
constexpr uint32_t kTermDays1Point5 = 0x3FC00000; // 1.5f, IEEE single

void PutBigEndian(std::string& bytes, size_t offset, uint32_t value, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        bytes[offset + i] = char(value >> (8 * (width - 1 - i)));
}

void PutBytes(std::string& bytes, size_t offset, const std::string& text)
{
    bytes.replace(offset, text.size(), text);
}

std::string Header(uint32_t count)
{
    std::string header(kHeaderBytes, '\0');
    PutBigEndian(header, 0, 256, 4);
    PutBigEndian(header, 12, count, 4);
    return header;
}

struct RecordFields {
    uint32_t siteType = 1;
    std::string name{};
    std::string group{};
    uint32_t checkType = 0;
    std::string accessURL{};
    std::string homeURL{};
    std::string iconURL{};
    std::string imageURL{};
    std::string account{};
    std::string password{};
    uint16_t action = 0;
    uint32_t termDaysBits = 0;
    std::string description{};
    uint32_t flags = 0;
};

std::string Record(const RecordFields& fields)
{
    std::string record(kRecordBytes, '\0');
    PutBigEndian(record, 0, fields.siteType, 4);
    PutBigEndian(record, 4, fields.checkType, 4);
    PutBytes(record, 8, fields.name);
    PutBytes(record, 72, fields.accessURL);
    PutBytes(record, 328, fields.homeURL);
    PutBytes(record, 584, fields.iconURL);
    PutBytes(record, 840, fields.imageURL);
    PutBytes(record, 1096, fields.account);
    PutBytes(record, 1160, fields.password);
    PutBigEndian(record, 1218, fields.action, 2);
    PutBigEndian(record, 1220, fields.termDaysBits, 4);
    PutBytes(record, 1224, fields.description);
    PutBytes(record, 3272, fields.group);
    PutBigEndian(record, 5380, fields.flags, 4);
    return record;
}

std::string Feed(const std::string& name, const std::string& group = "")
{
    return Record({.siteType = 1, .name = name, .group = group, .accessURL = "https://" + name + ".example/feed"});
}

std::string Group(const std::string& name, const std::string& group = "")
{
    return Record({.siteType = 5, .name = name, .group = group});
}

// ---- Tree helpers ----

struct TreeDeleter {
    void operator()(SubscriptionList* tree) const { DisposeSubscriptionList(tree); }
};
using TreeHolder = std::unique_ptr<SubscriptionList, TreeDeleter>;

// "A[a1,a2] Solo B[]": top-level names in chain order, a group's members in
// brackets. Chains are listed in link order, which a load makes file order.
std::string Shape(const SubscriptionList* chain)
{
    std::string shape;
    for (const SubscriptionList* node = chain; node; node = node->next) {
        if (!shape.empty())
            shape += ' ';
        shape += node->name.str();
        if (node->siteType != kSiteTypeGroup)
            continue;
        shape += '[';
        for (const SubscriptionList* member = node->child; member; member = member->next) {
            shape += member->name.str();
            if (member->next)
                shape += ',';
        }
        shape += ']';
    }
    return shape;
}

// ---- A tree of two groups and a top-level feed ----

// The tree is linked in an order unlike the user's, with the run-time lists
// and search feeds that a file never holds:
//   chain:      Hot, B(6), Solo(5), A(1, expanded), Search(9), Cool
//   A's chain:  a2(3), Keywords(4), a1(2)      B's chain: b3(9), b1(7), Found(10), b2(8)
// and must be written in the user's order: A a1 a2 Keywords Solo B b1 b2 b3.
class SubscriptionsFileTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        AddTestSubscription(tree, kSiteTypeHotList, "Hot", 0);
        SubscriptionList* b = AddTestSubscription(tree, kSiteTypeGroup, "B", 6);
        SubscriptionList* solo = AddTestSubscription(tree, kSiteTypeRSS, "Solo", 5);
        SubscriptionList* a = AddTestSubscription(tree, kSiteTypeGroup, "A", 1);
        SubscriptionList* search = AddTestSubscription(tree, kSiteTypeRSS, "Search", 9);
        AddTestSubscription(tree, kSiteTypeCoolList, "Cool", 0);
        a->accessURL = "";
        b->accessURL = "";
        a->flags = kSubscriptionFlagExpanded;
        solo->flags = kSubscriptionFlagFetched; // run-time state, never saved
        search->flags = kSubscriptionFlagSearch;

        AddTestSubscription(a->child, kSiteTypeRSS, "a2", 3, a);
        SubscriptionList* keywords = AddTestSubscription(a->child, kSiteTypePsedo, "apple pie", 4, a);
        keywords->accessURL = "";
        SubscriptionList* a1 = AddTestSubscription(a->child, kSiteTypeRSS, "a1", 2, a);
        a1->checkType = kCheckEveryHour;
        a1->name = "Ünïcode: a1";
        a1->accessURL = "https://a1.example/rss";
        a1->homeURL = "https://a1.example/";
        a1->iconURL = "\xff"; // the "no icon found" marker
        a1->imageURL = "https://a1.example/logo.png";
        a1->account = "engine";
        a1->password = "ISO-8859-1";
        a1->options = kOptionRetainRead | kOptionShowCategory | kOptionAlwaysShowPage | kOptionDownloadEnclosures;
        a1->termDays = 1.5f;
        a1->description = "News from A1";

        SubscriptionList* b3 = AddTestSubscription(b->child, kSiteTypePOP, "b3", 9, b);
        b3->accessURL = "pop.example.org";
        b3->account = "reader";
        b3->password = "p\xc3\xa4ss";
        b3->checkType = kCheckEvery10Min;
        AddTestSubscription(b->child, kSiteTypeRSS, "b1", 7, b);
        SubscriptionList* found = AddTestSubscription(b->child, kSiteTypeRSS, "Found", 10, b);
        found->flags = kSubscriptionFlagSearch;
        AddTestSubscription(b->child, kSiteTypeRSS, "b2", 8, b);
    }
    void TearDown() override { DisposeSubscriptionList(tree); }

    // What the tree's file must hold, byte for byte.
    static std::string ExpectedFile()
    {
        std::string a1 = Record({.siteType = 1,
                                 .name = "Ünïcode: a1",
                                 .group = "A",
                                 .checkType = 4,
                                 .accessURL = "https://a1.example/rss",
                                 .homeURL = "https://a1.example/",
                                 .iconURL = "\xff",
                                 .imageURL = "https://a1.example/logo.png",
                                 .account = "engine",
                                 .password = "ISO-8859-1",
                                 .action = 0x0231,
                                 .termDaysBits = kTermDays1Point5,
                                 .description = "News from A1"});
        std::string b3 = Record({.siteType = 2,
                                 .name = "b3",
                                 .group = "B",
                                 .checkType = 2,
                                 .accessURL = "pop.example.org",
                                 .account = "reader",
                                 .password = "p\xc3\xa4ss"});
        return Header(9) + Record({.siteType = 5, .name = "A", .flags = 0x200}) + a1 + Feed("a2", "A") +
               Record({.siteType = 6, .name = "apple pie", .group = "A"}) + Feed("Solo") + Group("B") +
               Feed("b1", "B") + Feed("b2", "B") + b3;
    }

    ScratchFolder folder;
    SubscriptionList* tree = nullptr;
};

TEST_F(SubscriptionsFileTree, SaveWritesTheUserOrderAsExactBytesForTheUserOnly)
{
    fs::path file = folder / "Varnoke.site";
    WriteBytes(file, "old");
    ::chmod(file.c_str(), 0644);

    ASSERT_EQ(SaveSubscriptionsToFile(tree, file), kNoErr);

    EXPECT_EQ(ReadBytes(file), ExpectedFile());
    EXPECT_EQ(FileModeOf(file), 0600u) << "the file holds mail passwords";
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

TEST_F(SubscriptionsFileTree, LoadRebuildsTheTreeInFileOrderAndSavesTheSameBytes)
{
    fs::path file = folder / "Varnoke.site";
    WriteBytes(file, ExpectedFile());

    TreeHolder loaded(LoadSubscriptionsFromFile(file, ""));

    ASSERT_TRUE(loaded);
    EXPECT_EQ(Shape(loaded.get()), "A[Ünïcode: a1,a2,apple pie] Solo B[b1,b2,b3]");
    std::vector<std::string> namesByOrder;
    std::vector<uint32_t> flagsByOrder;
    for (uint32_t order = 1; order <= 9; ++order) {
        const SubscriptionList* node = FindSubscriptionByOrderID(loaded.get(), order);
        ASSERT_NE(node, nullptr) << "order " << order;
        EXPECT_GE(node->sid, kFirstSubscriptionID);
        namesByOrder.push_back(node->name.str());
        flagsByOrder.push_back(node->flags);
    }
    EXPECT_EQ(namesByOrder, (std::vector<std::string>{"A", "Ünïcode: a1", "a2", "apple pie", "Solo", "B", "b1",
                                                      "b2", "b3"}));
    EXPECT_EQ(flagsByOrder, (std::vector<uint32_t>{kSubscriptionFlagExpanded, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(FindSubscriptionByName(loaded.get(), "Solo")->parent, nullptr);

    const SubscriptionList* a1 = FindSubscriptionByOrderID(loaded.get(), 2);
    EXPECT_EQ(a1->parent, loaded.get());
    EXPECT_EQ(a1->checkType, kCheckEveryHour);
    EXPECT_EQ(a1->iconURL.view(), "\xff");
    EXPECT_EQ(a1->password.view(), "ISO-8859-1");
    EXPECT_EQ(a1->options, 0x0231);
    EXPECT_EQ(a1->termDays, 1.5f);
    EXPECT_EQ(a1->description.view(), "News from A1");
    const SubscriptionList* b3 = FindSubscriptionByOrderID(loaded.get(), 9);
    EXPECT_EQ(b3->parent, FindSubscriptionByOrderID(loaded.get(), 6));
    EXPECT_EQ(b3->siteType, kSiteTypePOP);
    EXPECT_EQ(b3->password.view(), "p\xc3\xa4ss");

    fs::path again = folder / "again.site";
    ASSERT_EQ(SaveSubscriptionsToFile(loaded.get(), again), kNoErr);
    EXPECT_EQ(ReadBytes(again), ExpectedFile());
    EXPECT_FALSE(fs::exists(folder / "Varnoke.site.damaged")) << "an intact file needs no copy";
}

TEST(SubscriptionsFileSave, ATreeThatStoresNothingLeavesTheFileUntouched)
{
    ScratchFolder folder;
    fs::path file = folder / "Varnoke.site";
    const std::string before = Header(1) + Feed("Kept");
    WriteBytes(file, before);

    SubscriptionList* tree = nullptr;
    EXPECT_EQ(SaveSubscriptionsToFile(tree, file), kNoErr);
    AddTestSubscription(tree, kSiteTypeHotList, "Hot");
    AddTestSubscription(tree, kSiteTypeCoolList, "Cool");
    AddTestSubscription(tree, kSiteTypeRSS, "Search")->flags = kSubscriptionFlagSearch;
    EXPECT_EQ(SaveSubscriptionsToFile(tree, file), kNoErr);
    DisposeSubscriptionList(tree);

    EXPECT_EQ(ReadBytes(file), before);
}

// ---- Damaged files ----

struct DamageCase {
    const char* name;
    std::string bytes;
    std::string shape; // what loads; "" for nothing
    uint32_t dropped;
};

void PrintTo(const DamageCase& c, std::ostream* out)
{
    *out << c.name;
}

class SubscriptionsFileDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(SubscriptionsFileDamage, LoadsWhatItCanAndKeepsTheOriginalBytes)
{
    const DamageCase& c = GetParam();
    ScratchFolder folder;
    fs::path file = folder / "Varnoke.site";
    WriteBytes(file, c.bytes);

    SubscriptionsReading reading = ReadSubscriptions(c.bytes);
    TreeHolder tree(reading.tree);
    EXPECT_EQ(Shape(tree.get()), c.shape);
    EXPECT_EQ(reading.recordsDropped, c.dropped);
    EXPECT_FALSE(reading.isIntact);

    TreeHolder loaded(LoadSubscriptionsFromFile(file, ""));
    EXPECT_EQ(Shape(loaded.get()), c.shape);
    EXPECT_EQ(ReadBytes(folder / "Varnoke.site.damaged"), c.bytes) << "what a save would drop stays on disk";
    EXPECT_EQ(ReadBytes(file), c.bytes) << "loading never changes the file";
}

const std::string kFourRecords = Group("A") + Feed("a1", "A") + Feed("a2", "A") + Feed("Solo");

INSTANTIATE_TEST_SUITE_P(
    Damaged, SubscriptionsFileDamage,
    ::testing::Values(
        DamageCase{"CountSaysFiveButFourAndAHalfFollow", Header(5) + kFourRecords + Feed("cut").substr(0, 2000),
                   "A[a1,a2] Solo", 0},
        DamageCase{"ShorterThanTheHeader", Header(3).substr(0, 40), "", 0},
        DamageCase{"CountSaysTwoButThreeFollow", Header(2) + Feed("x") + Feed("y") + Feed("stale"), "x y", 0},
        DamageCase{"MemberNamesALaterGroup", Header(3) + Feed("early", "Later") + Group("Later") + Feed("Solo"),
                   "early Later[] Solo", 0},
        DamageCase{"GroupRecordNamingAGroupStaysAtTheTop", Header(3) + Group("G") + Group("H", "G") + Feed("h", "H"),
                   "G[] H[h]", 0},
        DamageCase{"RecordsOfNoStoredKindAreDropped",
                   Header(4) + Record({.siteType = 3, .name = "Hot"}) + Feed("ok") +
                       Record({.siteType = 77, .name = "junk"}) + Record({.siteType = 0, .name = "zero"}),
                   "ok", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SubscriptionsFileLoad, TwoGroupsNamedAlikeKeepTheirOwnMembersThroughASave)
{
    ScratchFolder folder;
    const std::string bytes =
        Header(5) + Group("G") + Feed("g1", "G") + Group("G") + Feed("g2", "G") + Feed("g3", "G");
    SubscriptionsReading reading = ReadSubscriptions(bytes);
    TreeHolder tree(reading.tree);
    EXPECT_EQ(Shape(tree.get()), "G[g1] G[g2,g3]");
    EXPECT_TRUE(reading.isIntact);

    ASSERT_EQ(SaveSubscriptionsToFile(tree.get(), folder / "Varnoke.site"), kNoErr);
    EXPECT_EQ(ReadBytes(folder / "Varnoke.site"), bytes);
}

TEST(SubscriptionsFileLoad, MembersFindTheirGroupPastFeedsOfTheSameName)
{
    // A feed named like a group, even one inside an earlier group, does not
    // hide the group from its members.
    std::string bytes = Header(5) + Feed("Tech") + Group("News") + Feed("Tech", "News") + Group("Tech") +
                        Feed("t1", "Tech");
    SubscriptionsReading reading = ReadSubscriptions(bytes);
    TreeHolder tree(reading.tree);
    EXPECT_EQ(Shape(tree.get()), "Tech News[Tech] Tech[t1]");
    EXPECT_TRUE(reading.isIntact);
}

TEST(SubscriptionsFileLoad, DamagedFieldsAreCutAndUnknownSchedulesCheckedByHand)
{
    RecordFields fields{.name = std::string(64, 'n'), .checkType = 99};
    std::string record = Record(fields);
    std::memset(record.data() + 1224, 'd', 2048); // a description without its NUL
    SubscriptionsReading reading = ReadSubscriptions(Header(1) + record);
    TreeHolder tree(reading.tree);

    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->name.view(), std::string(63, 'n'));
    EXPECT_EQ(tree->description.size(), 2047u);
    EXPECT_EQ(tree->checkType, kCheckManual);
}

// ---- Where a load comes from ----

TEST(SubscriptionsFileLoad, ThePresetServesOnlyAUserWithoutAFile)
{
    ScratchFolder folder;
    fs::path user = folder / "Varnoke.site";
    fs::path preset = folder / "Preset.site";
    WriteBytes(preset, Header(1) + Feed("Preset feed"));

    TreeHolder fromPreset(LoadSubscriptionsFromFile(user, preset));
    EXPECT_EQ(Shape(fromPreset.get()), "Preset feed");
    EXPECT_FALSE(fs::exists(user)) << "loading the preset does not save it";

    WriteBytes(user, Header(1) + Feed("Mine"));
    TreeHolder fromUser(LoadSubscriptionsFromFile(user, preset));
    EXPECT_EQ(Shape(fromUser.get()), "Mine");

    WriteBytes(user, "");
    EXPECT_EQ(LoadSubscriptionsFromFile(user, preset), nullptr) << "an empty file is the user's, not a new user";
}

TEST(SubscriptionsFileLoad, DefaultLocationIsThePreferencesFolderWithTheShippedPresetBehindIt)
{
    ScratchFolder folder;
    ScopedVariable config("XDG_CONFIG_HOME", folder.Path().string());
    fs::path file = folder / "varnoke" / "Varnoke.site";
    EXPECT_EQ(GetSubscriptionsFile(), file);

    // A new user gets the shipped starter set: two groups of web feeds and
    // feeds at the top level.
    TreeHolder preset(LoadSubscriptionsFromFile());
    ASSERT_TRUE(preset) << "Preset.site is built into the resource folder";
    int groups = 0;
    int topLevelFeeds = 0;
    for (const SubscriptionList* node = preset.get(); node; node = node->next) {
        if (node->siteType == kSiteTypeGroup) {
            ++groups;
            EXPECT_NE(node->child, nullptr) << node->name.view();
        } else {
            ++topLevelFeeds;
        }
    }
    EXPECT_EQ(groups, 2);
    EXPECT_GE(topLevelFeeds, 1);
    std::optional<std::string> shipped = ReadBytes(*MakeResourcePath(kPresetSubscriptionsName));
    SubscriptionsReading shippedReading = ReadSubscriptions(*shipped);
    DisposeSubscriptionList(shippedReading.tree);
    EXPECT_TRUE(shippedReading.isIntact);
    std::vector<const SubscriptionList*> feeds;
    for (const SubscriptionList* node = preset.get(); node; node = node->next) {
        if (node->siteType != kSiteTypeGroup)
            feeds.push_back(node);
        for (const SubscriptionList* member = node->child; member; member = member->next)
            feeds.push_back(member);
    }
    EXPECT_GE(feeds.size(), 6u);
    for (const SubscriptionList* feed : feeds) {
        EXPECT_EQ(feed->siteType, kSiteTypeRSS);
        EXPECT_TRUE(feed->accessURL.view().starts_with("https://")) << feed->accessURL.view();
        EXPECT_TRUE(feed->homeURL.view().starts_with("https://")) << feed->homeURL.view();
    }

    // Once saved, the user's own file is what loads, until it is deleted.
    ASSERT_EQ(SaveSubscriptionsToFile(preset.get()), kNoErr);
    EXPECT_EQ(ReadBytes(file), shipped);
    EXPECT_EQ(DeleteSubscriptionsFile(), kNoErr);
    EXPECT_FALSE(fs::exists(file));
}

} // namespace
