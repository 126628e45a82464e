// Site restrictions set by the computer's administrator: URL fragments that
// keep feeds and items of some sites away (a scrambled system list and a
// plain-text list) and the login users to whom no restriction applies. The
// lists are read once at start-up from /etc/varnoke and kept for the run.
#pragma once

#include "platform/Status.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// The computer-wide folder of the three files.
constexpr const char* kRestrictionFolder = "/etc/varnoke";
constexpr const char* kUnrestrictionsFileName = "Unrestrictions";     // login names, one a line
constexpr const char* kSysRestrictionsFileName = "Restrictions.dat";  // scrambled fragments
constexpr const char* kUsrRestrictionsFileName = "Restrictions.txt";  // plain fragments

// The login name keeps at most this many bytes.
constexpr size_t kMaxLoginUserBytes = 63;

// Reads the three files of `folder` for the user `loginUser` (null: the
// login user of this process), replacing whatever was loaded before. A user
// named in "Unrestrictions" is never restricted and the restriction files
// are not read. Missing files leave their lists empty. Returns kNoErr.
OSStatus LoadRestrictions();
OSStatus LoadRestrictions(const std::filesystem::path& folder, std::string_view loginUser);
// Forgets every list (nothing is restricted).
void ClearRestrictions();

// True when `url` contains an entry of the system list or, failing that, of
// the plain-text list (case-sensitive substrings, in list order), with a log
// line naming the entry: "# Varnoke : Restricted by <entry>" for the
// plain-text list, "# Varnoke : Restricted by 'entry'" for the system list
// when the plain-text file was read. Cost: O(entries × URL length).
bool IsRestrictedURL(std::string_view url);

// True when `user` is an entry of the loaded "Unrestrictions" list (exact,
// case-sensitive).
bool IsUnrestrictedUser(std::string_view user);

// The path of restriction file `fileName` in the computer-wide folder.
std::filesystem::path GetRestrictionFile(std::string_view fileName);

// The login name of the user running this process (the password database
// entry of the effective user, else $USER), at most kMaxLoginUserBytes.
std::string GetLoginUsername();
// The login name stored by the last LoadRestrictions.
std::string_view LoginUserName();

// The viewer's command that opens "Restrictions.txt" in the desktop's editor
// for it does so with OpenFileWithDesktop(GetRestrictionFile(
// kUsrRestrictionsFileName)): this core links no desktop services.

// Unscrambles (or scrambles: the operation is its own inverse) `length`
// bytes in place, unless the last one is a CR or LF: such data is plain text
// and is left alone.
void DisscrambleData(char* data, size_t length);
