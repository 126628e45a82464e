// The description pane's style sheets: the "css" folder in the support
// folder, refreshed from the shipped resources at every start; style sheets
// the user adds to it; and the site-specific sheets "+<subscription>.css".
// Which sheet a page links is the description pane's business.
#pragma once

#include "platform/Status.h"

#include <filesystem>
#include <string_view>

constexpr char kCSSFolderName[] = "css";
constexpr char kCSSFileSuffix[] = ".css";
constexpr char kSpecialCSSPrefix[] = "+";

// Whether `name` can stand for a file of the css folder when ".css" is
// appended: not empty, and without '/' or NUL, so it can never name a file
// outside that folder.
bool IsStyleSheetName(std::string_view name);

// <support folder>/css, created (with the support folder) when missing.
std::filesystem::path GetCSSFolder();

// Copies the shipped "css" resource folder, with its subfolders, into the
// css folder: shipped files replace files of the same names (each written
// atomically, and only when its content differs), files the user added stay.
// Without the resource folder it logs "# Failed to setup css files." and
// returns kFileNotFoundErr; a file that cannot be copied is logged and the
// others are still copied, and the first failure is returned.
// Cost: reads every shipped file and its copy.
OSStatus SetupCSSFiles();

// Copies the style sheet the user chose into the css folder under its own
// name, replacing a file of that name; copying a file onto itself does
// nothing. Logs "# Failed to copy css file." and returns kParamErr when the
// path has no usable file name, kFileNotFoundErr when it is not a readable
// regular file, else PutDataToFile's status.
OSStatus CopyCSSFile(const std::filesystem::path& file);

// Whether the site-specific style sheet "+<name>.css" exists in the css
// folder; false for a name that cannot be a file name (IsStyleSheetName).
bool ENVExistSpecialCSS(std::string_view name);
