// The site restriction lists of the run and the test every feed URL, home
// link and item link goes through. The files are the administrator's: read
// once at start-up, never written here; a missing one restricts nothing.
#include "feeds/Restrictions.h"

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/UnicodeText.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

// The program's one-byte scrambling constant. With its high bit set, every
// key byte has it too, so a scrambled ASCII byte never reads as CR or LF and
// a scrambled file is never mistaken for plain text.
constexpr uint8_t kScrambleConstant = 0xA7;
constexpr size_t kScramblePeriod = 64;

static std::filesystem::path gRestrictionFolder = kRestrictionFolder;
static std::string gLoginUser;
static std::vector<std::string> gUnRestrictions;
static std::vector<std::string> gSysRestrictions;
static std::vector<std::string> gUsrRestrictions;
// Set when "Restrictions.txt" was read: only then do system-list hits show
// their entry in the log.
static bool gRestrictionLog = false;

/* ---- The lists ---- */

// The entries of a list file, one a line, up to the first empty line, which
// ends the list. A CR LF pair is one line end, so that a file saved by a
// DOS-style editor keeps all its lines.
static std::vector<std::string> MakeRestrictionList(std::string_view data)
{
    std::vector<std::string> list;
    while (!data.empty()) {
        size_t end = data.find_first_of("\r\n");
        std::string_view entry = data.substr(0, end);
        if (entry.empty())
            break;
        list.emplace_back(entry);
        if (end == std::string_view::npos)
            break;
        size_t lineEnd = (data.compare(end, 2, "\r\n") == 0) ? 2 : 1;
        data.remove_prefix(end + lineEnd);
    }
    return list;
}

static std::vector<std::string> ReadRestrictionList(const std::filesystem::path& file)
{
    std::optional<std::string> data = GetDataFromFile(file);
    if (!data)
        return {};
    return MakeRestrictionList(*data);
}

void DisscrambleData(char* data, size_t length)
{
    if (!data || length == 0)
        return;
    char last = data[length - 1];
    if (last == '\r' || last == '\n')
        return;
    for (size_t i = 0; i < length; ++i)
        data[i] = char(uint8_t(data[i]) ^ uint8_t((i % kScramblePeriod + kScrambleConstant) % 256));
}

void ClearRestrictions()
{
    gUnRestrictions.clear();
    gSysRestrictions.clear();
    gUsrRestrictions.clear();
    gRestrictionLog = false;
}

OSStatus LoadRestrictions()
{
    return LoadRestrictions(kRestrictionFolder, GetLoginUsername());
}

OSStatus LoadRestrictions(const std::filesystem::path& folder, std::string_view loginUser)
{
    ClearRestrictions();
    gRestrictionFolder = folder;
    gLoginUser = loginUser;
    CutUTF8Text(gLoginUser, kMaxLoginUserBytes);

    gUnRestrictions = ReadRestrictionList(folder / kUnrestrictionsFileName);
    if (IsUnrestrictedUser(gLoginUser)) {
        LogFailure("Varnoke : Unrestricted user : %s", gLoginUser.c_str());
        return kNoErr;
    }

    if (std::optional<std::string> data = GetDataFromFile(folder / kSysRestrictionsFileName)) {
        DisscrambleData(data->data(), data->size());
        gSysRestrictions = MakeRestrictionList(*data);
        LogInfo("Varnoke loaded %ld restrictions.", long(gSysRestrictions.size()));
    }

    std::filesystem::path userFile = folder / kUsrRestrictionsFileName;
    if (IsExistFile(userFile)) {
        gUsrRestrictions = ReadRestrictionList(userFile);
        gRestrictionLog = true;
    }
    return kNoErr;
}

/* ---- Tests ---- */

bool IsRestrictedURL(std::string_view url)
{
    for (const std::string& entry : gSysRestrictions) {
        if (url.find(entry) == std::string_view::npos)
            continue;
        if (gRestrictionLog)
            LogFailure("Varnoke : Restricted by '%s'", entry.c_str());
        return true;
    }
    for (const std::string& entry : gUsrRestrictions) {
        if (url.find(entry) == std::string_view::npos)
            continue;
        LogFailure("Varnoke : Restricted by <%s>", entry.c_str());
        return true;
    }
    return false;
}

bool IsUnrestrictedUser(std::string_view user)
{
    for (const std::string& entry : gUnRestrictions) {
        if (entry == user)
            return true;
    }
    return false;
}

/* ---- Files and users ---- */

std::filesystem::path GetRestrictionFile(std::string_view fileName)
{
    return gRestrictionFolder / fileName;
}

std::string GetLoginUsername()
{
    std::string name;
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        name = entry->pw_name;
    else if (const char* user = std::getenv("USER"))
        name = user;
    CutUTF8Text(name, kMaxLoginUserBytes);
    return name;
}

std::string_view LoginUserName()
{
    return gLoginUser;
}
