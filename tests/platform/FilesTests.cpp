// Whole-file reading and the atomic replace, file modes, dates and names.
#include "TestSupport.h"

#include "platform/Clock.h"
#include "platform/Files.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

static mode_t ModeOf(const fs::path& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

static size_t CountItems(const fs::path& folder)
{
    return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(Files, GetDataFromFileAnswersNullForMissingEmptyAndFolder)
{
    ScratchFolder folder;
    ASSERT_EQ(PutDataToFile(folder / "empty", ""), kNoErr);
    EXPECT_FALSE(GetDataFromFile(folder / "missing"));
    EXPECT_FALSE(GetDataFromFile(folder / "empty"));
    EXPECT_FALSE(GetDataFromFile(folder.Path()));
    EXPECT_FALSE(GetDataFromFile(""));
}

TEST(Files, PutDataToFileReplacesWholeContentAndLeavesNoTemporaryFile)
{
    ScratchFolder folder;
    fs::path file = folder / "Varnoke.site";
    std::string binary("a\0b\xff", 4);
    ASSERT_EQ(PutDataToFile(file, std::string(5000, 'x')), kNoErr);
    ASSERT_EQ(PutDataToFile(file, binary), kNoErr);
    EXPECT_EQ(GetDataFromFile(file), binary);
    EXPECT_EQ(CountItems(folder.Path()), 1u);
}

struct ModeCase {
    const char* name;
    std::optional<mode_t> existingMode;  // nullopt: no file before the write
    FileMode requested;
    mode_t expected;
};

void PrintTo(const ModeCase& c, std::ostream* out)
{
    *out << c.name;
}

class FileModes : public testing::TestWithParam<ModeCase> {};

TEST_P(FileModes, NewFilesGetTheirModeAndExistingFilesKeepTheirs)
{
    const ModeCase& c = GetParam();
    ScratchFolder folder;
    fs::path file = folder / "file";
    if (c.existingMode) {
        ASSERT_EQ(PutDataToFile(file, "old"), kNoErr);
        ASSERT_EQ(::chmod(file.c_str(), *c.existingMode), 0);
    }
    mode_t oldMask = ::umask(0077);  // the mode must not depend on the umask
    OSStatus status = PutDataToFile(file, "new", c.requested);
    ::umask(oldMask);
    ASSERT_EQ(status, kNoErr);
    EXPECT_EQ(ModeOf(file), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Files, FileModes,
                         testing::Values(ModeCase{"NewNormal", std::nullopt, FileMode::Normal, 0644},
                                         ModeCase{"NewPrivate", std::nullopt, FileMode::Private, 0600},
                                         ModeCase{"KeptGroupReadable", 0640, FileMode::Normal, 0640},
                                         ModeCase{"KeptPrivate", 0600, FileMode::Normal, 0600},
                                         ModeCase{"PrivateOverNormal", 0644, FileMode::Private, 0600}),
                         [](const auto& info) { return std::string(info.param.name); });

// The file-size limit makes the write fail half-way, as a full disk would,
// even for root.
TEST(Files, FailedWriteLeavesTheOldFileIntact)
{
    ScratchFolder folder;
    fs::path file = folder / "Varnoke.prefs";
    ASSERT_EQ(PutDataToFile(file, "old settings", FileMode::Private), kNoErr);

    constexpr rlim_t kLimitBytes = 64 * 1024;
    rlimit oldLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{kLimitBytes, oldLimit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    OSStatus status = PutDataToFile(file, std::string(4 * kLimitBytes, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(status, kIOErr);
    EXPECT_EQ(GetDataFromFile(file), "old settings");
    EXPECT_EQ(ModeOf(file), 0600u);
    EXPECT_EQ(CountItems(folder.Path()), 1u);
}

TEST(Files, PutDataToFileReportsMissingFolderAndRefusesFolders)
{
    ScratchFolder folder;
    EXPECT_EQ(PutDataToFile(folder / "no-such-folder" / "file", "x"), kFileNotFoundErr);
    EXPECT_EQ(PutDataToFile(folder.Path(), "x"), kParamErr);
    EXPECT_EQ(PutDataToFile("", "x"), kParamErr);
    EXPECT_EQ(CountItems(folder.Path()), 0u);
}

TEST(Files, PutDataToFileWritesThroughSymbolicLinks)
{
    ScratchFolder folder;
    fs::path real = folder / "real";
    fs::path link = folder / "link";
    ASSERT_EQ(PutDataToFile(real, "old"), kNoErr);
    fs::create_symlink(real, link);
    ASSERT_EQ(PutDataToFile(link, "new"), kNoErr);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(GetDataFromFile(real), "new");
}

TEST(Files, PutDataToFilesReplacesEachFileAndGoesOnPastAFailure)
{
    ScratchFolder folder;
    ASSERT_EQ(PutDataToFile(folder / "old", "old and longer content"), kNoErr);
    const FileData kFiles[] = {
        {folder / "old", "new", FileMode::Normal},
        {folder / "missing-folder" / "x", "lost", FileMode::Normal},
        {folder / "secret", "password", FileMode::Private},
    };
    EXPECT_EQ(PutDataToFiles(kFiles), kFileNotFoundErr);
    EXPECT_EQ(GetDataFromFile(folder / "old"), "new");
    EXPECT_EQ(GetDataFromFile(folder / "secret"), "password");
    EXPECT_EQ(ModeOf(folder / "secret"), 0600u);
    EXPECT_EQ(CountItems(folder.Path()), 2u); // no temporaries left behind
    EXPECT_EQ(PutDataToFiles({}), kNoErr);
}

TEST(Files, IsExistFileAndDeleteFile)
{
    ScratchFolder folder;
    fs::path file = folder / "file";
    ASSERT_EQ(PutDataToFile(file, "x"), kNoErr);
    EXPECT_TRUE(IsExistFile(file));
    EXPECT_FALSE(IsExistFile(folder.Path()));
    EXPECT_FALSE(IsExistFile(folder / "missing"));
    EXPECT_FALSE(IsExistFile(""));

    EXPECT_EQ(DeleteFile(folder.Path()), kParamErr);
    EXPECT_EQ(DeleteFile(file), kNoErr);
    EXPECT_FALSE(IsExistFile(file));
    EXPECT_EQ(DeleteFile(file), kFileNotFoundErr);
}

constexpr uint32_t kSecondsPerDay = 86400;

TEST(Files, CreationDateSetInThePastReadsBack)
{
    ScratchFolder folder;
    fs::path file = folder / "image";
    ASSERT_EQ(PutDataToFile(file, "png"), kNoErr);
    uint32_t fiveDaysAgo = GetDateTime() - 5 * kSecondsPerDay;

    ASSERT_EQ(FSpSetFileDate(file, fiveDaysAgo, 0), kNoErr);
    std::optional<FileDates> dates = FSpGetFileDate(file);
    ASSERT_TRUE(dates);
    EXPECT_EQ(dates->creationDate, fiveDaysAgo);

    uint32_t yesterday = GetDateTime() - kSecondsPerDay;
    ASSERT_EQ(FSpSetFileDate(file, 0, yesterday), kNoErr);
    dates = FSpGetFileDate(file);
    ASSERT_TRUE(dates);
    EXPECT_EQ(dates->modificationDate, yesterday);
    EXPECT_LE(dates->creationDate, yesterday);

    ASSERT_EQ(FSpSetFileDate(file, 0, 0), kNoErr);
    EXPECT_EQ(FSpGetFileDate(file)->modificationDate, yesterday);
}

TEST(Files, FileDatesOfMissingFile)
{
    ScratchFolder folder;
    EXPECT_FALSE(FSpGetFileDate(folder / "missing"));
    EXPECT_EQ(FSpSetFileDate(folder / "missing", GetDateTime(), 0), kFileNotFoundErr);
    EXPECT_EQ(FSpSetFileDate(folder / "missing", 0, 0), kFileNotFoundErr);
}

struct FileNameCase {
    std::string name;
    size_t length;
    std::string expected;
};

TEST(Files, CheckMacFileNameReplacesSeparatorsAndCutsOnCharacters)
{
    const FileNameCase cases[] = {
        {"News: World", 31, "News- World"},
        {"0123456789:0123456789:0123456789:1234567", 31, "0123456789-0123456789-012345678"},
        // "é" is two bytes at offsets 30 and 31: the whole character goes.
        {std::string(30, 'a') + "\xC3\xA9" + "bcdefgh", 31, std::string(30, 'a')},
        {std::string(29, 'a') + "\xC3\xA9" + "bcdefgh", 31, std::string(29, 'a') + "\xC3\xA9"},
        {"../../.bashrc", 31, "..-..-.bashrc"},
        {"a/b", 31, "a-b"},
        {std::string("a\0b", 3), 31, "a-b"},
        {"..", 31, "--"},
        {".", 31, "-"},
    };
    for (const FileNameCase& c : cases) {
        std::string name = c.name;
        CheckMacFileName(name, c.length);
        EXPECT_EQ(name, c.expected) << c.name;
    }
}

TEST(Files, ConfirmMacFileNameDoesNotCut)
{
    std::string name = std::string(300, 'x') + ":/";
    ConfirmMacFileName(name);
    EXPECT_EQ(name, std::string(300, 'x') + "--");
}

TEST(Files, RemoveInterruptedWritesTakesOnlyTheTemporaries)
{
    ScratchFolder folder;
    for (const char* name : {".Varnoke.site.tmp-Ab3xYz", ".Permanents.rdf.tmp-000000", "Varnoke.site", ".hidden",
                             "notes.tmp-123456", ".short.tmp-12"})
        WriteBytes(folder / name, "bytes");
    std::filesystem::create_directory(folder / ".folder.tmp-abcdef");

    EXPECT_EQ(RemoveInterruptedWrites(folder.Path()), 2u);
    std::vector<std::string> left = folder.Names();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".folder.tmp-abcdef", ".hidden", ".short.tmp-12", "Varnoke.site",
                                              "notes.tmp-123456"}));
    EXPECT_EQ(RemoveInterruptedWrites(folder / "missing"), 0u);
}
