// The model the crash driver saves, generation by generation, and what each
// file must then hold: the driver builds it from these rules and the test
// checks what it finds on disk against them. Every text carries the
// generation it was written in, so a file tells which save it came from.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace crashmodel {

constexpr uint32_t kFirstFeeds = 3;
constexpr uint32_t kMostFeeds = 24;
constexpr std::string_view kGenerationPrefix = "generation ";
constexpr std::string_view kMailSuffix = "@example.org";

// The tree grows by one feed a generation up to kMostFeeds.
inline uint32_t FeedCount(uint32_t generation)
{
    return std::min(kFirstFeeds + generation, kMostFeeds);
}

inline std::string FeedName(uint32_t feed)
{
    return "Feed " + std::to_string(feed);
}

inline std::string FeedURL(uint32_t feed)
{
    return "http://127.0.0.1:9/feed/" + std::to_string(feed);
}

inline uint32_t ItemCount(uint32_t generation, uint32_t feed)
{
    return 2 + (generation + feed) % 4;
}

// The first item of every odd-numbered feed is permanent.
inline bool IsPermanentItem(uint32_t feed, uint32_t item)
{
    return item == 1 && feed % 2 == 1;
}

inline uint32_t PermanentCount(uint32_t generation)
{
    return (FeedCount(generation) + 1) / 2;
}

inline std::string Stamp(uint32_t generation)
{
    return std::string(kGenerationPrefix) + std::to_string(generation);
}

inline std::string Headline(uint32_t generation, uint32_t feed, uint32_t item)
{
    return Stamp(generation) + " item " + std::to_string(feed) + "." + std::to_string(item);
}

inline std::string MailAddress(uint32_t generation)
{
    return "g" + std::to_string(generation) + std::string(kMailSuffix);
}

// The generation a text written by Stamp, Headline or MailAddress carries.
inline std::optional<uint32_t> ReadGeneration(std::string_view text)
{
    if (text.starts_with(kGenerationPrefix))
        text.remove_prefix(kGenerationPrefix.size());
    else if (text.starts_with("g"))
        text.remove_prefix(1);
    else
        return std::nullopt;
    uint32_t generation = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), generation);
    if (error != std::errc() || end == text.data())
        return std::nullopt;
    return generation;
}

} // namespace crashmodel
