// Finding and remembering alert sounds, and the one-at-a-time rule. The
// player is the window side's; this module decides what to play and when.
#include "ticker/TickerSounds.h"

#include "platform/Folders.h"
#include "platform/Log.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

static constexpr std::string_view kProgramSoundFolder = "sounds";

struct SoundList {
    std::string name;
    fs::path sound;
};

static std::vector<SoundList> gSoundList; // in load order; never shrinks during a run
static SoundPlayer* gSoundPlayer = nullptr;
static bool gSoundPlaying = false;

void SetSoundPlayer(SoundPlayer* player)
{
    gSoundPlayer = player;
    gSoundPlaying = false;
}

bool IsSoundPlaying()
{
    return gSoundPlaying;
}

// A sound name must stay a file name inside its folder.
static bool IsUsableSoundName(std::string_view name)
{
    return !name.empty() && name.size() <= kSoundNameLimit && name.find('/') == std::string_view::npos &&
           name != "." && name != "..";
}

// The file of a sound: its name and ".wav". A name in angle brackets is one
// of the program's hidden sounds, kept as a dot file ("<Umbrella>" is
// ".Umbrella.wav"): file names with "<" do not survive every build tool.
static std::string MakeSoundFileName(std::string_view name)
{
    if (name.size() > 2 && name.front() == '<' && name.back() == '>')
        return "." + std::string(name.substr(1, name.size() - 2)) + std::string(kSoundFileExtension);
    return std::string(name) + std::string(kSoundFileExtension);
}

static std::optional<fs::path> FindSoundInFolder(const fs::path& folder, std::string_view name)
{
    if (!IsUsableSoundName(name))
        return std::nullopt;
    fs::path file = folder / MakeSoundFileName(name);
    std::error_code error;
    if (fs::is_regular_file(file, error))
        return file;
    return std::nullopt;
}

std::optional<fs::path> LoadSoundFromFile(std::string_view name)
{
    std::optional<fs::path> folder = MakeResourcePath(kProgramSoundFolder);
    if (!folder)
        return std::nullopt;
    return FindSoundInFolder(*folder, name);
}

std::optional<fs::path> LoadMoreSoundFromFile(std::string_view name)
{
    for (const fs::path& folder : GetUserSoundFolders()) {
        if (std::optional<fs::path> file = FindSoundInFolder(folder, name))
            return file;
    }
    return std::nullopt;
}

std::optional<fs::path> FindSoundInList(std::string_view name)
{
    for (const SoundList& entry : gSoundList) {
        if (entry.name == name)
            return entry.sound;
    }
    return std::nullopt;
}

size_t CountSoundList()
{
    return gSoundList.size();
}

void ResetSoundList()
{
    gSoundList.clear();
    gSoundPlaying = false;
}

static std::optional<fs::path> FindOrLoadSound(std::string_view name)
{
    if (std::optional<fs::path> cached = FindSoundInList(name))
        return cached;
    std::optional<fs::path> file = LoadSoundFromFile(name);
    if (!file)
        file = LoadMoreSoundFromFile(name);
    if (file)
        gSoundList.push_back({std::string(name), *file});
    return file;
}

static void SoundCompleteCallBack()
{
    gSoundPlaying = false;
}

void PlaySound(std::string_view name)
{
    if (gSoundPlaying || name.empty())
        return;
    std::optional<fs::path> file = FindOrLoadSound(name);
    if (!file || !gSoundPlayer)
        return;
    gSoundPlaying = true;
    if (!gSoundPlayer->StartSound(*file, SoundCompleteCallBack)) {
        gSoundPlaying = false;
        LogInfo("sound %.*s could not be played", int(name.size()), name.data());
    }
}

/* ---- Menus ---- */

// The .wav names of `folder` in name order, without those `hidden` rejects.
static std::vector<std::string> ListSoundNames(const fs::path& folder, bool (*hidden)(std::string_view))
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error) || it->path().extension() != kSoundFileExtension)
            continue;
        std::string name = it->path().stem().string();
        if (!hidden(name) && name.size() <= kSoundNameLimit)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

static bool IsHiddenProgramSound(std::string_view name)
{
    return name.starts_with('.') || name.starts_with('<');
}

static bool IsHiddenUserSound(std::string_view name)
{
    return name.starts_with('.');
}

std::vector<std::string> SetupSoundMenu()
{
    std::vector<std::string> names;
    if (std::optional<fs::path> folder = MakeResourcePath(kProgramSoundFolder))
        names = ListSoundNames(*folder, IsHiddenProgramSound);
    for (const fs::path& folder : GetUserSoundFolders()) {
        std::vector<std::string> more = ListSoundNames(folder, IsHiddenUserSound);
        names.insert(names.end(), more.begin(), more.end());
    }
    return names;
}
