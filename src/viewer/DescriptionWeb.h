// The description pane's web bookkeeping without widgets: the web mode bits
// computed when a load starts (what back, forward and snap back may offer),
// and the relay menu's files (a relay sends the shown page's address to an
// outside service, a translator for instance).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr uint32_t kWebModeShown = 1;   // the pane showed something when this load started
constexpr uint32_t kWebModeBack = 2;    // the previous page was another web page: back and snap back
constexpr uint32_t kWebModeForward = 4; // the previous page was a web page: forward

// From the address shown before the load (empty: nothing yet), the item's
// link (the snap-back address) and the address being loaded.
uint32_t CheckWebModeAvail(std::string_view previousURL, std::string_view snapBackURL, std::string_view newURL);
// Snap back returns to the item's link while the pane has left it.
bool IsSnapBackAvail(uint32_t webMode, std::string_view snapBackURL, std::string_view url);
// An address the pane shows as a web page ("h..."), not a generated page.
bool IsWebPageURL(std::string_view url);

/* ---- Relays ---- */

constexpr size_t kRelayURLLimit = 512;
constexpr char kRelayFolder1[] = "relay1";
constexpr char kRelayFolder2[] = "relay2";
constexpr char kTranslatorFolder[] = "translator";

// One group of the relay menu: the files of one folder, in directory order.
struct RelayGroup {
    std::filesystem::path folder;
    std::vector<std::string> names;
};

// The folders searched: the shipped "relay1" and "relay2" and the user's
// "translator" folder in the support folder; missing ones are left out.
std::vector<std::filesystem::path> RelayFolders();
// The visible regular files of each folder (names not beginning with ".").
std::vector<RelayGroup> ListRelayGroups(const std::vector<std::filesystem::path>& folders);
// The first line (up to CR or LF) of the first file called `name` in the
// folders, or null when none has one. A name that could leave the folder
// ('/', "..") finds nothing.
std::optional<std::string> GetRelayString(const std::vector<std::filesystem::path>& folders, std::string_view name);
// The prefix followed by the page's address, cut to kRelayURLLimit - 1 bytes
// at a character boundary.
std::string MakeRelayURL(std::string_view prefix, std::string_view pageURL);
