// The shell's parsers and tables: ticker message texts, line reading, the
// status stack, the syndication list and text parameters.
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "shell/Application.h"
#include "shell/ShellTargets.h"
#include "shell/StatusStack.h"
#include "shell/SupportFolder.h"
#include "shell/SyndicList.h"
#include "shell/TickerMessage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

int32_t FakeProcessLookup(std::string_view name)
{
    // Names compare ignoring case, as the real lookup does.
    std::string lowered(name);
    for (char& c : lowered)
        c = char(std::tolower(uint8_t(c)));
    return lowered == "finder" ? 4242 : 0;
}

struct TickerCase {
    const char* label;
    std::string text;
    bool accepted;
    std::string source, message, sound, effect;
    int32_t priority, messageID, processID;
};

TEST(TickerMessageText, ParsesFieldsDefaultsAndTail)
{
    const TickerCase kCases[] = {
        {"two lines by CR", "src\rhello", true, "src", "hello", "", "", 1, 0, 0},
        {"two lines by LF", "src\nhello\n", true, "src", "hello", "", "", 1, 0, 0},
        {"CR LF makes line two empty", "src\r\nhello", false, "", "", "", "", 0, 0, 0},
        {"empty source", "\nhello", false, "", "", "", "", 0, 0, 0},
        {"source only", "src", false, "", "", "", "", 0, 0, 0},
        {"sound without effect", "s\nm\nPing", true, "s", "m", "Ping", "", 1, 0, 0},
        {"effect needs a sound", "s\nm\n\nflash\n2,3,4", true, "s", "m", "", "", 1, 0, 0},
        {"tail needs an effect", "s\nm\nPing\n\n2,3,4", true, "s", "m", "Ping", "", 1, 0, 0},
        {"numeric tail", "s\nm\nPing\nflash\n2,7,1234", true, "s", "m", "Ping", "flash", 2, 7, 1234},
        {"process by name any case", "s\nm\nPing\nflash\n2,7,FINDER", true, "s", "m", "Ping", "flash", 2, 7, 4242},
        {"zero pid then a name", "s\nm\nPing\nflash\n2,7,0,Finder", true, "s", "m", "Ping", "flash", 2, 7, 0},
        {"one comma reads no name", "s\nm\nPing\nflash\n5,Finder", true, "s", "m", "Ping", "flash", 5, 0, 0},
        {"negative and spaced", "s\nm\nPing\nflash\n -3, 4,5", true, "s", "m", "Ping", "flash", -3, 4, 5},
        {"huge numbers clamp", "s\nm\nPing\nflash\n99999999999,1,1", true, "s", "m", "Ping", "flash", INT32_MAX, 1, 1},
        {"name ends with a line end", "s\nm\nPing\nflash\n1,2,Finder\r\n", true, "s", "m", "Ping", "flash", 1, 2, 4242},
    };
    for (const TickerCase& c : kCases) {
        SCOPED_TRACE(c.label);
        std::optional<TickerMessage> parsed = ParseTickerMessage(c.text, FakeProcessLookup);
        ASSERT_EQ(parsed.has_value(), c.accepted);
        if (!parsed)
            continue;
        EXPECT_EQ(parsed->source, c.source);
        EXPECT_EQ(parsed->message, c.message);
        EXPECT_EQ(parsed->sound, c.sound);
        EXPECT_EQ(parsed->effect, c.effect);
        EXPECT_EQ(parsed->priority, c.priority);
        EXPECT_EQ(parsed->messageID, c.messageID);
        EXPECT_EQ(parsed->processID, c.processID);
    }
}

TEST(TickerMessageText, OverlongLinesAreCutAndTheRestOfTheLineSkipped)
{
    std::string source(100, 'S');
    std::string message(300, 'M');
    std::string sound(40, 'x');
    std::string effect(40, 'e');
    std::optional<TickerMessage> parsed =
        ParseTickerMessage(source + "\r" + message + "\r" + sound + "\r" + effect + "\r3,1,1", nullptr);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->source, std::string(63, 'S'));
    EXPECT_EQ(parsed->message, std::string(255, 'M'));
    EXPECT_EQ(parsed->sound, std::string(31, 'x'));
    EXPECT_EQ(parsed->effect, std::string(31, 'e'));
    EXPECT_EQ(parsed->priority, 3);
}

TEST(TickerMessageText, CutsNeverSplitACharacterAndStopAtTheTextLimit)
{
    // 62 ASCII bytes then a three-byte character: the cut at 63 drops it whole.
    std::string source = std::string(62, 'a') + "\xE3\x83\x8B" + "tail";
    std::optional<TickerMessage> parsed = ParseTickerMessage(source + "\nbody", nullptr);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->source, std::string(62, 'a'));

    // Whatever follows byte 1023, or a NUL, is not part of the message.
    std::string padded = "src\n" + std::string(1019, 'm') + "\nPing";
    parsed = ParseTickerMessage(padded, nullptr);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->sound, "");
    parsed = ParseTickerMessage(std::string("src\nhi\0\nPing", 12), nullptr);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->sound, "");
}

TEST(GetLine, StopsAtOneLineEndCharacter)
{
    std::string line;
    std::string_view text = "ab\r\ncd";
    size_t next = GetLine(text, 0, line, 10);
    EXPECT_EQ(line, "ab");
    EXPECT_EQ(next, 3u);
    next = GetLine(text, next, line, 10);
    EXPECT_EQ(line, "");
    EXPECT_EQ(next, 4u);
    next = GetLine(text, next, line, 1);
    EXPECT_EQ(line, "c");
    EXPECT_EQ(next, text.size());
}

TEST(StatusStack, KeysAreUniqueAndNeverZeroAndAnyEntryCanGo)
{
    StatusStack stack;
    uint32_t first = AddNewStatus(stack, "Checking A");
    uint32_t second = AddNewStatus(stack, "Checking B");
    uint32_t third = AddNewStatus(stack, std::string(300, 'x'));
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(GetTopStatus(stack)->size(), kStatusMessageLimit);

    DeleteStatus(stack, second);
    EXPECT_FALSE(IsOnStatusStack(stack, second));
    EXPECT_TRUE(IsOnStatusStack(stack, first));
    DeleteStatus(stack, third);
    EXPECT_EQ(*GetTopStatus(stack), "Checking A");
    DeleteStatus(stack, 0); // "nothing was pushed" removes nothing
    EXPECT_EQ(stack.size(), 1u);
    DeleteStatus(stack, first);
    EXPECT_EQ(GetTopStatus(stack), nullptr);
    EXPECT_GT(AddNewStatus(stack, "again"), third);
}

TEST(SyndicList, TakesAtMost27LinesAndCountsCRLFAsTwo)
{
    std::string thirty;
    for (int i = 0; i < 30; ++i)
        thirty += "http://example.com/" + std::to_string(i) + "\n";
    EXPECT_EQ(ParseSyndicList(thirty).count(), 27u);

    SyndicList crlf = ParseSyndicList("http://a/\r\nhttp://b/");
    ASSERT_EQ(crlf.count(), 3u);
    EXPECT_EQ(crlf.url[1], "");
    EXPECT_EQ(crlf.url[2], "http://b/");

    EXPECT_EQ(ParseSyndicList(std::string(300, 'u')).url[0].size(), kSyndicURLLimit);
    EXPECT_EQ(ParseSyndicList("").count(), 0u);
}

TEST(TextParameter, MissingIsAnErrorAndLongTextIsCut)
{
    std::string text;
    EXPECT_FALSE(ReadTextParameter("", 511, text));
    EXPECT_FALSE(ReadTextParameter(std::string_view("\0abc", 4), 511, text));
    ASSERT_TRUE(ReadTextParameter(std::string(600, 'u'), 511, text));
    EXPECT_EQ(text.size(), 511u);
    ASSERT_TRUE(ReadTextParameter(std::string_view("ab\0cd", 5), 511, text));
    EXPECT_EQ(text, "ab");
}

TEST(ImageCache, PurgesPlainFilesFiveDaysOldAndKeepsTheRest)
{
    namespace fs = std::filesystem;
    fs::path home = fs::temp_directory_path() / ("varnoke-shell-" + std::to_string(::getpid()));
    fs::remove_all(home);
    ::setenv("XDG_CACHE_HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    SetupSupportFolder();
    fs::path cache = GetUserImageCacheFolder();
    ASSERT_TRUE(fs::is_directory(cache));
    ASSERT_TRUE(fs::is_directory(GetUserHistoryFolder()));

    const uint32_t now = DateTimeFromUnixTime(::time(nullptr));
    constexpr uint32_t kDay = 86400;
    struct {
        const char* name;
        uint32_t age;
        bool kept;
    } const kFiles[] = {
        {"four-days.png", 4 * kDay, true},
        {"five-days.png", 5 * kDay, false},
        {"a-year.ico", 365 * kDay, false},
        {".hidden-old", 30 * kDay, true},
    };
    for (const auto& file : kFiles) {
        ASSERT_EQ(PutDataToFile(cache / file.name, "image", FileMode::Normal), kNoErr);
        ASSERT_EQ(FSpSetFileDate(cache / file.name, now - file.age, now - file.age), kNoErr);
    }
    fs::create_directories(cache / "old-folder");
    InitImageCaches(now);
    for (const auto& file : kFiles)
        EXPECT_EQ(fs::exists(cache / file.name), file.kept) << file.name;
    EXPECT_TRUE(fs::is_directory(cache / "old-folder"));
    fs::remove_all(home);
}

} // namespace

namespace {
std::vector<std::string> gLaunched;
int gFilterWindowOpenings = 0;
} // namespace

TEST(ShellCommands, OpenTheirTargetsAndReportWhetherTheyHandledTheEvent)
{
    ShellOpeners openers;
    openers.launchURL = [](std::string_view url) {
        gLaunched.emplace_back(url);
        return OSStatus(kNoErr);
    };
    openers.openNewsFilterWindow = [] { ++gFilterWindowOpenings; };
    SetShellOpeners(openers);
    LoadSyndicList();
    ASSERT_NE(GetSyndicURL(0), nullptr) << "the shipped syndication list";

    EXPECT_TRUE(ProcessShellCommand(MakeFourCharCode("synA")));
    EXPECT_EQ(gLaunched, std::vector<std::string>{*GetSyndicURL(0)});
    EXPECT_TRUE(ProcessShellCommand(MakeFourCharCode("synZ"))) << "handled even without an entry";
    EXPECT_EQ(gLaunched.size(), GetSyndicURL(25) ? 2u : 1u);

    EXPECT_TRUE(ProcessShellCommand(kCommandOpenNewsFilter));
    EXPECT_EQ(gFilterWindowOpenings, 1);
    EXPECT_TRUE(ProcessShellCommand(kCommandShowViewer)) << "no viewer yet: nothing to show, still handled";

    // Performed, yet left to other handlers.
    EXPECT_FALSE(ProcessShellCommand(kCommandShowHotNews));
    EXPECT_FALSE(IsShellCommandEnabled(kCommandShowHotNews)) << "no viewer holds hot news";
    EXPECT_FALSE(ProcessShellCommand(MakeFourCharCode("pref"))) << "the settings window handles its own";
    SetShellOpeners({});
}
