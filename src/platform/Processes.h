// Starting Varnoke's own programs and finding running programs by name.
// Talking to them is Messages.h's business.
#pragma once

#include "platform/Status.h"

#include <cstdint>
#include <string_view>

// Runs `<install folder>/<executableName>` detached (it outlives Varnoke and
// is not its child to wait for), with no arguments, in the install folder.
// kParamErr for an empty name or one holding '/' or naming "." or "..";
// kFileNotFoundErr (-43) when the program is missing or not executable;
// kGenericErr when it could not be started. Cost: one fork and exec.
OSStatus LaunchApplicationInInstallFolder(std::string_view executableName);

// The process id of the first running program of this user (in process-id
// order) whose name is `name`, ignoring case and diacritical marks ("varnoke"
// finds "Värnoke"). A program's names are its command name (which the kernel
// cuts to 15 bytes) and the last part of its argv[0]. Kernel threads and
// other users' processes are not considered. 0 for an empty name or no match.
// Cost: reads two small /proc files for every process.
int32_t GetProcessIDFromName(std::string_view name);
