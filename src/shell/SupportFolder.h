// The user's support folders: made at every start, and the image cache
// purged of files older than five days.
#pragma once

#include <cstdint>

constexpr uint32_t kImageCacheLifetimeSecs = 432000; // five days

// Makes the support folder with its "enclosure" and "history" folders and the
// image cache; a folder that cannot be made is left to the code that uses it.
void SetupSupportFolder();

// Deletes every plain file of the image cache (names beginning with "." and
// folders are kept) created kImageCacheLifetimeSecs or more before `now`
// (seconds since 1904, local time).
void InitImageCaches(uint32_t now);
void InitImageCaches(); // with the current time
