// Detached launching from the install folder and the walk over /proc that
// finds a program by name. Names are compared after Unicode decomposition
// with the combining marks dropped and the case folded.
#include "platform/Processes.h"

#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"

#include <QProcess>
#include <QString>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

constexpr char kProcFolder[] = "/proc";

/* ---- Launching ---- */

static bool IsPlainFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

OSStatus LaunchApplicationInInstallFolder(std::string_view executableName)
{
    if (!IsPlainFileName(executableName))
        return kParamErr;
    std::optional<fs::path> folder = GetInstallFolder();
    if (!folder)
        return kFileNotFoundErr;
    fs::path program = *folder / executableName;
    // A missing program is an answer, not a failure: callers skip optional agents.
    if (!IsExistFile(program) || ::access(program.c_str(), X_OK) != 0)
        return kFileNotFoundErr;
    QString programPath = QString::fromStdString(program.string());
    if (!QProcess::startDetached(programPath, {}, QString::fromStdString(folder->string()))) {
        LogFailure("Cannot start %s", program.c_str());
        return kGenericErr;
    }
    LogInfo("Started %s", program.c_str());
    return kNoErr;
}

/* ---- Finding processes ---- */

// The form in which names are compared: canonical decomposition, combining
// marks dropped, then case folded.
static QString MakeComparableName(std::string_view name)
{
    QString decomposed = QString::fromUtf8(name.data(), qsizetype(name.size())).normalized(QString::NormalizationForm_D);
    QString stripped;
    stripped.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (!c.isMark())
            stripped.append(c);
    }
    return stripped.toCaseFolded();
}

static std::vector<pid_t> ListProcessIDs()
{
    std::vector<pid_t> ids;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(kProcFolder, error)) {
        std::string name = entry.path().filename().string();
        pid_t id = 0;
        auto [end, result] = std::from_chars(name.data(), name.data() + name.size(), id);
        if (result == std::errc() && end == name.data() + name.size() && id > 0)
            ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

static bool IsOwnProcess(const fs::path& processFolder)
{
    struct stat info {};
    return ::stat(processFolder.c_str(), &info) == 0 && info.st_uid == ::getuid();
}

// Reads a small /proc file quietly: a process may end while it is looked at,
// which is no failure worth a line in the log.
static std::optional<std::string> ReadProcessFile(const fs::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return std::nullopt;
    std::string content{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (content.empty())
        return std::nullopt;
    return content;
}

// The command name and the last part of argv[0]; empty for kernel threads,
// which have no command line.
static std::vector<std::string> GetProcessNames(const fs::path& processFolder)
{
    std::optional<std::string> commandLine = ReadProcessFile(processFolder / "cmdline");
    if (!commandLine)
        return {};
    std::string argument0 = commandLine->substr(0, commandLine->find('\0'));
    std::vector<std::string> names{fs::path(argument0).filename().string()};
    std::optional<std::string> command = ReadProcessFile(processFolder / "comm");
    if (command) {
        if (!command->empty() && command->back() == '\n')
            command->pop_back();
        names.push_back(*command);
    }
    return names;
}

int32_t GetProcessIDFromName(std::string_view name)
{
    if (name.empty())
        return 0;
    QString wanted = MakeComparableName(name);
    for (pid_t id : ListProcessIDs()) {
        fs::path processFolder = fs::path(kProcFolder) / std::to_string(id);
        if (!IsOwnProcess(processFolder))
            continue;
        for (const std::string& processName : GetProcessNames(processFolder)) {
            if (!processName.empty() && MakeComparableName(processName) == wanted)
                return int32_t(id);
        }
    }
    return 0;
}
