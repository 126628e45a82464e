// The css folder: its refresh from the shipped resources, the user's own
// style sheets copied in, and the test for a site-specific sheet. Every copy
// goes through PutDataToFile, so a failed copy never leaves half a file.
#include "settings/StyleSheets.h"

#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"

#include <optional>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

bool IsStyleSheetName(std::string_view name)
{
    return !name.empty() && name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

fs::path GetCSSFolder()
{
    fs::path folder = GetUserSupportFolder() / kCSSFolderName;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        LogFailure("Cannot create folder %s: %s", folder.c_str(), error.message().c_str());
    return folder;
}

// The file's bytes; an empty file is an empty text, not a failure.
static std::optional<std::string> ReadStyleSheet(const fs::path& path)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return std::nullopt;
    if (fs::file_size(path, error) == 0 && !error)
        return std::string();
    return GetDataFromFile(path);
}

// Rewrites `target` only when its content differs, so a start does not
// rewrite (and flush) every shipped file again.
static OSStatus CopyStyleSheetIfDifferent(const fs::path& source, const fs::path& target)
{
    std::optional<std::string> data = ReadStyleSheet(source);
    if (!data) {
        LogFailure("Cannot read the style sheet %s", source.c_str());
        return kIOErr;
    }
    if (ReadStyleSheet(target) == data)
        return kNoErr;
    return PutDataToFile(target, *data);
}

static OSStatus CopyShippedEntry(const fs::directory_entry& entry, const fs::path& target)
{
    std::error_code error;
    if (entry.is_directory(error)) {
        fs::create_directories(target, error);
        if (!error)
            return kNoErr;
        LogFailure("Cannot create folder %s: %s", target.c_str(), error.message().c_str());
        return kIOErr;
    }
    if (!entry.is_regular_file(error))
        return kNoErr;
    return CopyStyleSheetIfDifferent(entry.path(), target);
}

OSStatus SetupCSSFiles()
{
    std::optional<fs::path> source = MakeResourcePath(kCSSFolderName);
    std::error_code error;
    if (!source || !fs::is_directory(*source, error)) {
        LogFailure("Failed to setup css files.");
        return kFileNotFoundErr;
    }
    fs::path folder = GetCSSFolder();
    OSStatus result = kNoErr;
    fs::recursive_directory_iterator entries(*source, error);
    for (; !error && entries != fs::recursive_directory_iterator(); entries.increment(error)) {
        fs::path target = folder / entries->path().lexically_relative(*source);
        OSStatus status = CopyShippedEntry(*entries, target);
        if (result == kNoErr)
            result = status;
    }
    if (error) {
        LogFailure("Cannot list the shipped style sheets in %s: %s", source->c_str(), error.message().c_str());
        return result == kNoErr ? kIOErr : result;
    }
    return result;
}

OSStatus CopyCSSFile(const fs::path& file)
{
    fs::path name = file.filename();
    if (name.empty() || name == "." || name == "..") {
        LogFailure("Failed to copy css file.");
        return kParamErr;
    }
    std::optional<std::string> data = ReadStyleSheet(file);
    if (!data) {
        LogFailure("Cannot read the style sheet %s", file.c_str());
        return kFileNotFoundErr;
    }
    fs::path target = GetCSSFolder() / name;
    std::error_code error;
    if (fs::equivalent(file, target, error))
        return kNoErr;
    return PutDataToFile(target, *data);
}

bool ENVExistSpecialCSS(std::string_view name)
{
    if (!IsStyleSheetName(name))
        return false;
    std::string fileName = kSpecialCSSPrefix;
    fileName.append(name);
    fileName += kCSSFileSuffix;
    return IsExistFile(GetCSSFolder() / fileName);
}
