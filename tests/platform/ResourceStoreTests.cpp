// The keyed store: round trips, replacing one entry among others, the file's
// exact bytes, and stores that are cut off, garbled or from a newer version.
#include "TestSupport.h"

#include "platform/ResourceStore.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace fs = std::filesystem;

constexpr FourCharCode kEnvr = MakeFourCharCode("Envr");
constexpr FourCharCode kWPos = MakeFourCharCode("wPos");
constexpr FourCharCode kPAut = MakeFourCharCode("pAut");

class ResourceStore : public testing::Test {
protected:
    // Three entries with a negative ID, an empty block and binary data.
    void WriteSampleStore()
    {
        ASSERT_EQ(PutRsrcFile(std::string(196, '\x01'), kEnvr, 128, fStore, FileMode::Private), kNoErr);
        ASSERT_EQ(PutRsrcFile(std::string("\0\x10\0\x20\x01\x00\x02\x00", 8), kWPos, -200, fStore, FileMode::Private),
                  kNoErr);
        ASSERT_EQ(PutRsrcFile("", kPAut, 129, fStore, FileMode::Private), kNoErr);
    }

    ScratchFolder fFolder;
    fs::path fStore = fFolder / "Varnoke.prefs";
};

TEST_F(ResourceStore, RoundTripKeepsEveryEntryApart)
{
    WriteSampleStore();
    EXPECT_EQ(GetRsrcFile(fStore, kEnvr, 128), std::string(196, '\x01'));
    EXPECT_EQ(GetRsrcFile(fStore, kWPos, -200), std::string("\0\x10\0\x20\x01\x00\x02\x00", 8));
    EXPECT_EQ(GetRsrcFile(fStore, kPAut, 129), "");
    EXPECT_FALSE(GetRsrcFile(fStore, kPAut, 128));
    EXPECT_FALSE(GetRsrcFile(fStore, kWPos, 200));
    EXPECT_FALSE(GetRsrcFile(fFolder / "missing.prefs", kEnvr, 128));
    EXPECT_EQ(ReadRsrcStore(fStore).state, RsrcStoreState::Intact);
}

TEST_F(ResourceStore, PutReplacesOneEntryAndKeepsTheOthers)
{
    WriteSampleStore();
    ASSERT_EQ(PutRsrcFile("second", kWPos, -200, fStore, FileMode::Normal), kNoErr);
    RsrcStore store = ReadRsrcStore(fStore);
    ASSERT_EQ(store.entries.size(), 3u);
    EXPECT_EQ(GetRsrcFile(fStore, kWPos, -200), "second");
    EXPECT_EQ(GetRsrcFile(fStore, kEnvr, 128), std::string(196, '\x01'));
    struct stat info {};
    ASSERT_EQ(::stat(fStore.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "a normal write keeps the private mode";
}

TEST_F(ResourceStore, RemoveTakesOutOneEntry)
{
    WriteSampleStore();
    EXPECT_EQ(RemoveRsrcFile(kWPos, -200, fStore), kNoErr);
    EXPECT_FALSE(GetRsrcFile(fStore, kWPos, -200));
    EXPECT_EQ(ReadRsrcStore(fStore).entries.size(), 2u);
    EXPECT_EQ(RemoveRsrcFile(kWPos, -200, fStore), kResNotFoundErr);
}

// Stored settings must stay readable by every later build: the layout is
// pinned byte for byte.
TEST_F(ResourceStore, FileLayoutIsBigEndianWithChecksums)
{
    ASSERT_EQ(PutRsrcFile("ab", kEnvr, 128, fStore, FileMode::Normal), kNoErr);
    const std::string expected("VkRS"
                               "\x00\x01\x00\x10\x00\x00\x00\x01\x00\x00\x00\x00"
                               "Envr\x00\x80\x00\x00\x00\x00\x00\x02\x9e\x83\x48\x6d\x67\xba\x81\x4a"
                               "ab",
                               38);
    EXPECT_EQ(GetDataFromFile(fStore), expected);
}

TEST_F(ResourceStore, EveryCutOffStoreYieldsOnlyWholeEntries)
{
    WriteSampleStore();
    std::string bytes = *GetDataFromFile(fStore);
    std::vector<RsrcEntry> complete = ReadRsrcStore(fStore).entries;
    fs::path cut = fFolder / "cut.prefs";
    for (size_t length = 1; length < bytes.size(); ++length) {
        ASSERT_EQ(PutDataToFile(cut, bytes.substr(0, length)), kNoErr);
        RsrcStore store = ReadRsrcStore(cut);
        EXPECT_EQ(store.state, RsrcStoreState::Damaged) << length;
        ASSERT_LE(store.entries.size(), complete.size());
        for (size_t i = 0; i < store.entries.size(); ++i)
            EXPECT_EQ(store.entries[i].data, complete[i].data) << length;
    }
}

TEST_F(ResourceStore, DamagedBlockIsSkippedAndTheRestKept)
{
    WriteSampleStore();
    std::string bytes = *GetDataFromFile(fStore);
    bytes[16 + 20 + 100] ^= 0x40;  // inside the first entry's 196 bytes
    ASSERT_EQ(PutDataToFile(fStore, bytes), kNoErr);

    RsrcStore store = ReadRsrcStore(fStore);
    EXPECT_EQ(store.state, RsrcStoreState::Damaged);
    EXPECT_FALSE(GetRsrcFile(fStore, kEnvr, 128));
    EXPECT_EQ(GetRsrcFile(fStore, kWPos, -200), std::string("\0\x10\0\x20\x01\x00\x02\x00", 8));
    EXPECT_EQ(GetRsrcFile(fStore, kPAut, 129), "");
}

TEST_F(ResourceStore, WritingOverADamagedStoreKeepsACopyOfIt)
{
    std::string garbage = "this is not a keyed store at all";
    ASSERT_EQ(PutDataToFile(fStore, garbage), kNoErr);
    EXPECT_EQ(ReadRsrcStore(fStore).state, RsrcStoreState::Damaged);
    EXPECT_TRUE(ReadRsrcStore(fStore).entries.empty());

    ASSERT_EQ(PutRsrcFile("fresh", kEnvr, 128, fStore, FileMode::Private), kNoErr);
    EXPECT_EQ(GetRsrcFile(fStore, kEnvr, 128), "fresh");
    EXPECT_EQ(GetDataFromFile(fFolder / "Varnoke.prefs.damaged"), garbage);
}

TEST_F(ResourceStore, StoreOfANewerVersionIsLeftAlone)
{
    ASSERT_EQ(PutRsrcFile("ab", kEnvr, 128, fStore, FileMode::Normal), kNoErr);
    std::string bytes = *GetDataFromFile(fStore);
    bytes[5] = 2;  // version 2
    ASSERT_EQ(PutDataToFile(fStore, bytes), kNoErr);

    EXPECT_EQ(ReadRsrcStore(fStore).state, RsrcStoreState::NewerVersion);
    EXPECT_EQ(PutRsrcFile("cd", kEnvr, 128, fStore, FileMode::Normal), kResFileNotFoundErr);
    EXPECT_EQ(RemoveRsrcFile(kEnvr, 128, fStore), kResFileNotFoundErr);
    EXPECT_EQ(GetDataFromFile(fStore), bytes);
}

// A store that is there but cannot be read (here a FIFO, which also must not
// hang the reader) is never replaced by an empty one.
TEST_F(ResourceStore, UnreadableStoreIsNotOverwritten)
{
    ASSERT_EQ(::mkfifo(fStore.c_str(), 0600), 0);
    EXPECT_EQ(ReadRsrcStore(fStore).state, RsrcStoreState::Unreadable);
    EXPECT_EQ(PutRsrcFile("x", kEnvr, 128, fStore, FileMode::Private), kResFileNotFoundErr);
    EXPECT_TRUE(fs::is_fifo(fStore));
}
