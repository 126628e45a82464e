// Web mode bits and the relay files, apart from the web view.
#include "viewer/DescriptionWeb.h"

#include "platform/Files.h"
#include "platform/Folders.h"

#include <algorithm>
#include <system_error>

uint32_t CheckWebModeAvail(std::string_view previousURL, std::string_view snapBackURL, std::string_view newURL)
{
    if (previousURL.empty())
        return 0;
    uint32_t mode = kWebModeShown;
    if (IsWebPageURL(previousURL) && snapBackURL != newURL)
        mode |= kWebModeBack;
    if (IsWebPageURL(previousURL))
        mode |= kWebModeForward;
    return mode;
}

bool IsSnapBackAvail(uint32_t webMode, std::string_view snapBackURL, std::string_view url)
{
    return (webMode & kWebModeBack) && !snapBackURL.empty() && snapBackURL != url;
}

bool IsWebPageURL(std::string_view url)
{
    return url.starts_with("h");
}

std::vector<std::filesystem::path> RelayFolders()
{
    std::vector<std::filesystem::path> folders;
    for (const char* name : {kRelayFolder1, kRelayFolder2}) {
        if (std::optional<std::filesystem::path> folder = MakeResourcePath(name))
            folders.push_back(*folder);
    }
    std::error_code error;
    std::filesystem::path translator = GetUserSupportFolder() / kTranslatorFolder;
    if (std::filesystem::is_directory(translator, error))
        folders.push_back(translator);
    return folders;
}

std::vector<RelayGroup> ListRelayGroups(const std::vector<std::filesystem::path>& folders)
{
    std::vector<RelayGroup> groups;
    for (const std::filesystem::path& folder : folders) {
        RelayGroup group{folder, {}};
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            std::string name = entry.path().filename().string();
            std::error_code kind;
            if (name.starts_with(".") || !entry.is_regular_file(kind))
                continue;
            group.names.push_back(name);
        }
        // Directory order is the file system's whim: the menu reads better sorted.
        std::sort(group.names.begin(), group.names.end());
        if (!group.names.empty())
            groups.push_back(std::move(group));
    }
    return groups;
}

std::optional<std::string> GetRelayString(const std::vector<std::filesystem::path>& folders, std::string_view name)
{
    if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..")
        return std::nullopt;
    for (const std::filesystem::path& folder : folders) {
        std::optional<std::string> data = GetDataFromFile(folder / std::string(name));
        if (!data)
            continue;
        size_t end = data->find_first_of("\r\n");
        std::string line = data->substr(0, end);
        if (!line.empty())
            return line;
    }
    return std::nullopt;
}

std::string MakeRelayURL(std::string_view prefix, std::string_view pageURL)
{
    std::string url = std::string(prefix) + std::string(pageURL);
    size_t limit = kRelayURLLimit - 1;
    if (url.size() <= limit)
        return url;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(url[end]) & 0xC0) == 0x80)
        --end;
    url.resize(end);
    return url;
}
