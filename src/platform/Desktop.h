// Desktop services that need the window system: opening a URL in the
// user's browser, a file with its usual program.
#pragma once

#include "platform/Status.h"

#include <filesystem>
#include <string_view>

// Hands `url` to the desktop (xdg-open); kParamErr for an empty or malformed URL.
OSStatus LaunchURL(std::string_view url);

// Opens a file with the program the desktop associates with it.
OSStatus OpenFileWithDesktop(const std::filesystem::path& file);
