// Loading and looking up the syndication link list.
#include "shell/SyndicList.h"

#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/UnicodeText.h"

static SyndicList gSyndicList;

SyndicList ParseSyndicList(std::string_view text)
{
    SyndicList list;
    size_t offset = 0;
    while (offset < text.size() && list.url.size() < kSyndicListEntries) {
        size_t end = text.find_first_of("\r\n", offset);
        if (end == std::string_view::npos)
            end = text.size();
        std::string entry(text.substr(offset, end - offset));
        CutUTF8Text(entry, kSyndicURLLimit);
        list.url.push_back(std::move(entry));
        offset = end + 1;
    }
    return list;
}

void LoadSyndicList()
{
    gSyndicList = {};
    std::optional<std::filesystem::path> path = MakeResourcePath("syndic.list");
    if (!path)
        return;
    if (std::optional<std::string> text = GetDataFromFile(*path))
        gSyndicList = ParseSyndicList(*text);
}

const std::string* GetSyndicURL(size_t index)
{
    if (index >= kSyndicCommandEntries || index >= gSyndicList.url.size())
        return nullptr;
    return &gSyndicList.url[index];
}
