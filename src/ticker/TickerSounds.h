// Alert sounds by name: found in the program's "sounds" folder, then in the
// user's sound folders, remembered once found, and played one at a time
// without waiting. Playing itself is the window side's (SoundPlayer); with
// no player, or no audio device behind it, a sound is silence.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The key sound of the ticker's F7 and F8.
constexpr std::string_view kTickerKeySound = "<Umbrella>";
// A sound's file is its name with this extension.
constexpr std::string_view kSoundFileExtension = ".wav";
constexpr size_t kSoundNameLimit = 31;

// Plays a file asynchronously and calls `done` once when it has finished or
// could not be played. False when it could not even start (then `done` is
// not called).
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual bool StartSound(const std::filesystem::path& file, std::function<void()> done) = 0;
};

// Installs the player (null: sounds are silent). Not owned.
void SetSoundPlayer(SoundPlayer* player);

// Plays the named sound unless one is playing (then the request is dropped).
// A name found nowhere plays nothing and is looked for again next time.
void PlaySound(std::string_view name);

// Whether a sound is playing now.
bool IsSoundPlaying();

// The sound's file in the program's "sounds" folder: "<name>.wav", and for a
// hidden name in angle brackets ("<Umbrella>") the dot file ".Umbrella.wav".
// Null when none.
std::optional<std::filesystem::path> LoadSoundFromFile(std::string_view name);
// The same in the user's sound folders, in their search order.
std::optional<std::filesystem::path> LoadMoreSoundFromFile(std::string_view name);

// The remembered sound of that exact name (case counts); null when none.
std::optional<std::filesystem::path> FindSoundInList(std::string_view name);
// How many sounds are remembered.
size_t CountSoundList();
// Forgets every remembered sound and the playing state (for tests).
void ResetSoundList();

// The sound menu's names after its "None" item: the program's sounds (names
// beginning with "." or "<" hidden), then the user's (names beginning with
// "." hidden), each folder in name order. Names are shown as they are.
std::vector<std::string> SetupSoundMenu();
