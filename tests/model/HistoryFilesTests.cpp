// History files: the exact lines a save writes and which list and mask each
// file comes from, what the reader makes of good, damaged and over-long lines,
// file names, loading into the tree, and deleting exactly the history files.
// Expected lines are written out here, never produced by the code under test.
#include "ModelTestSupport.h"
#include "support/ScratchSpace.h"
#include "model/HistoryFiles.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

// 3200000000 seconds since 1904 (a date in 2005) is -1094967296 as a signed
// 32-bit number.
constexpr uint32_t kDate2005 = 3200000000u;

NewsList* AddItem(NewsList*& list, SubscriptionList* parent, NewsType type, uint32_t flags, uint32_t dateTime,
                  const std::string& headline, const std::string& link)
{
    NewsList* item = AddTestNews(list, parent, headline, link, flags);
    item->type = type;
    item->linkURL = link;
    item->dateTime = dateTime;
    return item;
}

// "type flags date headline|link" per item.
std::vector<std::string> Describe(const NewsList* list)
{
    std::vector<std::string> lines;
    for (; list; list = list->next) {
        lines.push_back(std::to_string(list->type) + " " + std::to_string(list->flags) + " " +
                        std::to_string(list->dateTime) + " " + list->headline.str() + "|" + list->linkURL.str());
    }
    return lines;
}

// A replaced file is a new file: the save renames a fresh one into place.
ino_t InodeOf(const fs::path& path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
}

std::set<std::string> FileNames(const fs::path& folder)
{
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// ---- Saving ----

// A tree with every way a file is made:
//   Fetched     parsed in this run: its items of the global list, mask 0x433
//   Unfetched   not parsed, with its own history list: that list, mask 0x033
//   Fresh       not parsed, no history list: the global list again
//   Group       no file; its member "World: Asia" has one, named "World- Asia"
//   Mail        a mail account: a file like a feed's
//   keywords, the hot list: no file
class HistorySave : public ::testing::Test {
protected:
    void SetUp() override
    {
        AddTestSubscription(tree, kSiteTypeHotList, "Hot News");
        fetched = AddTestSubscription(tree, kSiteTypeRSS, "Fetched");
        fetched->flags = kSubscriptionFlagFetched;
        unfetched = AddTestSubscription(tree, kSiteTypeRSS, "Unfetched");
        fresh = AddTestSubscription(tree, kSiteTypeRSS, "Fresh");
        group = AddTestSubscription(tree, kSiteTypeGroup, "Group");
        member = AddTestSubscription(group->child, kSiteTypeRSS, "World: Asia", 0, group);
        mail = AddTestSubscription(tree, kSiteTypePOP, "Mail");
        AddTestSubscription(tree, kSiteTypePsedo, "keywords");

        constexpr uint32_t kReadPermanentHotDownloaded =
            kNewsFlagRead | kNewsFlagPermanent | kNewsFlagHot | kNewsFlagDownloaded;
        AddItem(news, fetched, kNewsTypeFeed, kReadPermanentHotDownloaded, kDate2005, "a", "b");
        AddItem(news, unfetched, kNewsTypeFeed, kNewsFlagRead, 1, "not written", "x");
        AddItem(news, fetched, kNewsTypeLinkOnly, kNewsFlagOld, 5, "ignored", "https://l.example/");
        AddItem(news, fresh, kNewsTypeFeed, kNewsFlagRetained | kNewsFlagDistributed, 7, "tab\there", "line\nbreak");
        asiaItem = AddItem(news, member, kNewsTypeFeed, 0, 9, "asia", "https://asia.example/1");
        AddItem(news, group, kNewsTypeFeed, 0, 9, "group item", "not written either");

        AddItem(ownHistory, nullptr, kNewsTypeFeed, kReadPermanentHotDownloaded, kDate2005, "a", "b");
        AddItem(ownHistory, nullptr, kNewsTypeFeed, kNewsFlagOld | kNewsFlagRetained, 3, "c", "");
        unfetched->history = ownHistory;
    }
    void TearDown() override
    {
        DisposeNewsList(news);
        DisposeNewsList(ownHistory);
        DisposeSubscriptionList(tree);
    }

    ScratchFolder folder;
    SubscriptionList* tree = nullptr;
    SubscriptionList* fetched = nullptr;
    SubscriptionList* unfetched = nullptr;
    SubscriptionList* fresh = nullptr;
    SubscriptionList* group = nullptr;
    SubscriptionList* member = nullptr;
    SubscriptionList* mail = nullptr;
    NewsList* news = nullptr;
    NewsList* ownHistory = nullptr;
    NewsList* asiaItem = nullptr;
};

TEST_F(HistorySave, WritesEachFileFromTheRightListWithTheRightMask)
{
    ASSERT_EQ(SaveHistoryToFiles(tree, news, folder.Path()), kNoErr);

    EXPECT_EQ(FileNames(folder.Path()),
              (std::set<std::string>{"Fetched", "Unfetched", "Fresh", "World- Asia", "Mail"}));
    EXPECT_EQ(ReadBytes(folder / "Fetched"), "1\t1042\t-1094967296\ta\tb\n"
                                             "2\t1\t5\thttps://l.example/\n");
    EXPECT_EQ(ReadBytes(folder / "Unfetched"), "1\t18\t-1094967296\ta\tb\n"
                                               "1\t33\t3\tc\t\n");
    EXPECT_EQ(ReadBytes(folder / "Fresh"), "1\t32\t7\ttab here\tline break\n")
        << "a TAB or LF inside a text would end its field or line";
    EXPECT_EQ(ReadBytes(folder / "World- Asia"), "1\t0\t9\tasia\thttps://asia.example/1\n");
    EXPECT_EQ(ReadBytes(folder / "Mail"), "");
}

TEST_F(HistorySave, FilesLoadBackIntoTheSubscriptionsOfTheSameNames)
{
    ASSERT_EQ(SaveHistoryToFiles(tree, news, folder.Path()), kNoErr);
    unfetched->history = nullptr;

    LoadHistoryFromFiles(tree, folder.Path());

    EXPECT_EQ(Describe(fetched->history), (std::vector<std::string>{"1 1042 3200000000 a|b", "2 1 5 |https://l.example/"}));
    EXPECT_EQ(Describe(unfetched->history), (std::vector<std::string>{"1 18 3200000000 a|b", "1 33 3 c|"}));
    EXPECT_EQ(Describe(member->history), (std::vector<std::string>{"1 0 9 asia|https://asia.example/1"}));
    EXPECT_EQ(mail->history, nullptr) << "an empty file gives no list";
    for (NewsList* history = fetched->history; history; history = history->next)
        EXPECT_EQ(history->parent, nullptr);
    for (SubscriptionList* node : {fetched, unfetched, fresh, member, mail}) {
        DisposeNewsList(node->history);
        node->history = nullptr;
    }
}

TEST_F(HistorySave, ALoadLeavesMissingFilesAndExistingListsAlone)
{
    ASSERT_EQ(SaveHistoryToFiles(tree, news, folder.Path()), kNoErr);
    fs::remove(folder / "Fresh");

    LoadHistoryFromFiles(tree, folder.Path());

    EXPECT_EQ(fresh->history, nullptr);
    EXPECT_EQ(unfetched->history, ownHistory) << "a list the subscription already has is not replaced";
    for (SubscriptionList* node : {fetched, member, mail}) {
        DisposeNewsList(node->history);
        node->history = nullptr;
    }
}

TEST_F(HistorySave, AFileThatCannotBeWrittenDoesNotStopTheOthersAndIsReported)
{
    fs::create_directory(folder / "Fetched"); // a folder where the file should go

    EXPECT_NE(SaveHistoryToFiles(tree, news, folder.Path()), kNoErr);

    EXPECT_TRUE(fs::is_directory(folder / "Fetched"));
    for (const char* name : {"Unfetched", "Fresh", "World- Asia", "Mail"})
        EXPECT_TRUE(fs::is_regular_file(folder / name)) << name;
}

TEST_F(HistorySave, OnlyFilesWhoseLinesChangedAreReplaced)
{
    ASSERT_EQ(SaveHistoryToFiles(tree, news, folder.Path()), kNoErr);
    const ino_t fetchedBefore = InodeOf(folder / "Fetched");
    const ino_t asiaBefore = InodeOf(folder / "World- Asia");

    asiaItem->flags = kNewsFlagRead; // 0 becomes 2: a new line of the same size
    ASSERT_EQ(SaveHistoryToFiles(tree, news, folder.Path()), kNoErr);

    EXPECT_EQ(ReadBytes(folder / "World- Asia"), "1\t2\t9\tasia\thttps://asia.example/1\n");
    EXPECT_NE(InodeOf(folder / "World- Asia"), asiaBefore);
    EXPECT_EQ(InodeOf(folder / "Fetched"), fetchedBefore) << "an unchanged file is left as it is";
}

TEST(HistoryNames, AreTheSubscriptionNameMadeSafeAndCut)
{
    const std::pair<std::string, std::string> cases[] = {
        {"News: World", "News- World"},
        {"a/b", "a-b"},
        {"..", "--"},
        {"", "-"},
        {std::string(40, 'x'), std::string(31, 'x')},
        {std::string(30, 'x') + "\xc3\xa9" + "tail", std::string(30, 'x')}, // é would straddle byte 31
        {std::string(29, 'x') + "\xc3\xa9" + "tail", std::string(29, 'x') + "\xc3\xa9"},
    };
    for (const auto& [name, fileName] : cases)
        EXPECT_EQ(MakeHistoryFileName(name), fileName) << name;
}

TEST(HistorySharedName, TheLastSavedWinsAndBothLoadIt)
{
    ScratchFolder folder;
    SubscriptionList* tree = nullptr;
    SubscriptionList* first = AddTestSubscription(tree, kSiteTypeRSS, "Same: name");
    SubscriptionList* second = AddTestSubscription(tree, kSiteTypeRSS, "Same- name");
    first->flags = second->flags = kSubscriptionFlagFetched;
    NewsList* news = nullptr;
    AddItem(news, first, kNewsTypeFeed, 0, 1, "first", "1");
    AddItem(news, second, kNewsTypeFeed, 0, 2, "second", "2");

    ASSERT_EQ(SaveHistoryToFiles(tree, news, folder.Path()), kNoErr);
    LoadHistoryFromFiles(tree, folder.Path());

    EXPECT_EQ(FileNames(folder.Path()), std::set<std::string>{"Same- name"});
    EXPECT_EQ(Describe(first->history), std::vector<std::string>{"1 0 2 second|2"});
    EXPECT_EQ(Describe(second->history), std::vector<std::string>{"1 0 2 second|2"});
    EXPECT_NE(first->history, second->history) << "each subscription owns its own list";
    DisposeNewsList(first->history);
    DisposeNewsList(second->history);
    DisposeNewsList(news);
    DisposeSubscriptionList(tree);
}

// ---- Reading ----

struct LineCase {
    const char* name;
    std::string data;
    std::vector<std::string> items; // Describe() of what is read
};

void PrintTo(const LineCase& c, std::ostream* out)
{
    *out << c.name;
}

class HistoryLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(HistoryLines, ReadAsWrittenOrSkipped)
{
    NewsList* items = ReadHistory(GetParam().data);
    EXPECT_EQ(Describe(items), GetParam().items);
    DisposeNewsList(items);
}

using Items = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryLines,
    ::testing::Values(
        LineCase{"NegativeDateIsTheSameBits", "1\t18\t-1094967296\ta\tb\n", Items{"1 18 3200000000 a|b"}},
        LineCase{"UnsignedDateReadsAlike", "1\t18\t3200000000\ta\tb\n", Items{"1 18 3200000000 a|b"}},
        LineCase{"TabInHeadlineMovesTheRestIntoTheLink", "1\t2\t5\thead\tline\thttps://l/\n",
                 Items{"1 2 5 head|line\thttps://l/"}},
        LineCase{"LinkOnlyStopsAtATab", "2\t1\t5\thttps://l/\textra\n", Items{"2 1 5 |https://l/"}},
        LineCase{"HeadlineWithoutLink", "1\t2\t5\tonly a headline\n", Items{"1 2 5 only a headline|"}},
        LineCase{"EmptyHeadline", "1\t2\t5\t\thttps://l/\n", Items{"1 2 5 |https://l/"}},
        LineCase{"CarriageReturnBeforeLineEnd", "1\t2\t5\ta\tb\r\n", Items{"1 2 5 a|b"}},
        LineCase{"LastLineWithoutLineEnd", "1\t2\t5\ta\tb", Items{"1 2 5 a|b"}},
        LineCase{"FlagsNoFileWritesAreDropped", "1\t4095\t5\ta\tb\n", Items{"1 1075 5 a|b"}},
        LineCase{"DamagedLinesAreSkippedAndReadingGoesOn",
                 "1\t2\t5\tfirst\t1\n"
                 "x\t2\t5\tnot a type\tb\n"
                 "1\t0x10\t5\thex flags\tb\n"
                 "1\t2\t99999999999\ttoo big\tb\n"
                 "1\t2\n"
                 "1\t2\t5\n"
                 "3\t2\t5\tunknown type\tb\n"
                 "\n"
                 "1\t2\t-\tno digits\tb\n"
                 "1\t2\t5\tlast\t2\n",
                 Items{"1 2 5 first|1", "1 2 5 last|2"}},
        LineCase{"EmptyFile", "", Items{}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryLongLine, IsReadInPiecesAndTheRestIsALineOfItsOwn)
{
    // A first piece of exactly 1023 bytes that ends inside the link, and a
    // rest that happens to read as a line.
    std::string start = "1\t2\t5\tlong\t";
    std::string longLine = start + std::string(1023 - start.size(), 'x') + "1\t0\t7\trest\tr\n";
    NewsList* items = ReadHistory(longLine + "1\t2\t9\tnext\tn\n");

    EXPECT_EQ(Describe(items),
              (Items{"1 2 5 long|" + std::string(255, 'x'), "1 0 7 rest|r", "1 2 9 next|n"}));
    DisposeNewsList(items);
}

// ---- Deleting ----

TEST(HistoryDelete, RemovesTheHistoryFilesAndNothingElse)
{
    ScratchFolder support;
    fs::path history = support / "history";
    fs::create_directories(history / "kept folder");
    WriteBytes(history / "kept folder" / "inner", "x");
    WriteBytes(support / "Permanents.rdf", "permanent news");
    for (const char* name : {"Used", "Removed feed", ".Removed.tmp-Ab12Cd"})
        WriteBytes(history / name, "1\t0\t1\th\tl\n");
    SubscriptionList* tree = nullptr;
    AddTestSubscription(tree, kSiteTypeRSS, "Used");

    EXPECT_EQ(DeleteUnusedHistoryFiles(tree, history), kNoErr);
    EXPECT_EQ(FileNames(history), (std::set<std::string>{"Used", "kept folder"}));

    EXPECT_EQ(DeleteHistoryFiles(history), kNoErr);
    EXPECT_EQ(FileNames(history), std::set<std::string>{"kept folder"});
    EXPECT_TRUE(fs::exists(history / "kept folder" / "inner"));
    EXPECT_EQ(ReadBytes(support / "Permanents.rdf"), "permanent news");
    EXPECT_EQ(DeleteHistoryFiles(support / "missing"), kNoErr);
    DisposeSubscriptionList(tree);
}

} // namespace
