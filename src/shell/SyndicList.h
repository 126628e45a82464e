// The syndication links behind the commands 'synA' to 'synZ', read from the
// resource "syndic.list", one URL a line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kSyndicListEntries = 27;   // lines read at most
constexpr size_t kSyndicCommandEntries = 26; // reachable by 'synA'..'synZ'
constexpr size_t kSyndicURLLimit = 255;

struct SyndicList {
    std::vector<std::string> url; // at most kSyndicListEntries
    uint32_t count() const { return uint32_t(url.size()); }
};

// Splits `text` into entries: each line up to its CR or LF, one line-end
// character skipped after each (so CR LF yields an empty entry), at most 27.
SyndicList ParseSyndicList(std::string_view text);

// Reads the resource into the run's list; a missing file leaves it empty.
void LoadSyndicList();

// The URL of command 'synA' + index, or null when there is none.
const std::string* GetSyndicURL(size_t index);
