// Finding running programs by name and starting programs from the install
// folder.
#include "TestSupport.h"

#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Processes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

static std::string ReadCommandName(int32_t pid)
{
    std::optional<std::string> name = GetDataFromFile("/proc/" + std::to_string(pid) + "/comm");
    return name ? name->substr(0, name->find('\n')) : std::string();
}

TEST(Processes, FindsThisProgramByItsNameInAnotherCase)
{
    EXPECT_EQ(GetProcessIDFromName(""), 0);
    EXPECT_EQ(GetProcessIDFromName("no-such-program-anywhere"), 0);
    // Several copies of this program may run at once; any of them answers.
    int32_t pid = GetProcessIDFromName("PLATFORM_TESTS");
    ASSERT_NE(pid, 0);
    EXPECT_EQ(ReadCommandName(pid), "platform_tests");
}

// A child renamed with accented letters is found by the plain spelling.
TEST(Processes, NamesMatchIgnoringDiacriticalMarks)
{
    const std::string digits = std::to_string(getpid() % 100000);
    const std::string accented = "V\xC3\xA4rn\xC3\xB6ke" + digits;  // "Värnöke…", 14 bytes at most
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::prctl(PR_SET_NAME, accented.c_str());
        ::pause();
        ::_exit(0);
    }
    ASSERT_TRUE(RunEventLoopUntil([&] { return ReadCommandName(child) == accented; }, 2000));
    EXPECT_EQ(GetProcessIDFromName("VARNOKE" + digits), child);
    EXPECT_EQ(GetProcessIDFromName("v\xC3\xA1rnoke" + digits), child);  // "várnoke"
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(GetProcessIDFromName("VARNOKE" + digits), 0);
}

TEST(Processes, LaunchRefusesNamesOutsideTheInstallFolder)
{
    EXPECT_EQ(LaunchApplicationInInstallFolder(""), kParamErr);
    EXPECT_EQ(LaunchApplicationInInstallFolder("../bin/platform_launch_probe"), kParamErr);
    EXPECT_EQ(LaunchApplicationInInstallFolder(".."), kParamErr);
    EXPECT_EQ(LaunchApplicationInInstallFolder("no-such-agent"), kFileNotFoundErr);
}

// The probe's command name is cut to 15 bytes by the kernel, so finding it
// by its full name also shows that argv[0] is compared.
TEST(Processes, LaunchedProgramRunsDetachedAndIsFoundByItsFullName)
{
    ScratchFolder folder;
    fs::path pidFile = folder / "probe.pid";
    ScopedVariable probeFile("VARNOKE_PROBE_FILE", pidFile.string());
    ASSERT_EQ(LaunchApplicationInInstallFolder("platform_launch_probe"), kNoErr);
    ASSERT_TRUE(RunEventLoopUntil([&] { return IsExistFile(pidFile); }));
    int32_t probe = std::stoi(*GetDataFromFile(pidFile));
    EXPECT_EQ(GetProcessIDFromName("PLATFORM_LAUNCH_PROBE"), probe);
    ::kill(probe, SIGTERM);
}
