// Support folder set-up and the image-cache purge at start-up.
#include "shell/SupportFolder.h"

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"

#include <system_error>

void SetupSupportFolder()
{
    std::error_code ignored;
    std::filesystem::path support = GetUserSupportFolder();
    std::filesystem::create_directories(support / "enclosure", ignored);
    std::filesystem::create_directories(GetUserHistoryFolder(), ignored);
    std::filesystem::create_directories(GetUserImageCacheFolder(), ignored);
}

static bool IsExpiredCacheFile(const std::filesystem::directory_entry& entry, uint32_t now)
{
    std::error_code error;
    if (!entry.is_regular_file(error) || entry.path().filename().string().starts_with('.'))
        return false;
    std::optional<FileDates> dates = FSpGetFileDate(entry.path());
    return dates && dates->creationDate <= now && now - dates->creationDate >= kImageCacheLifetimeSecs;
}

void InitImageCaches(uint32_t now)
{
    std::error_code error;
    std::filesystem::directory_iterator files(GetUserImageCacheFolder(), error);
    if (error)
        return;
    for (const std::filesystem::directory_entry& entry : files) {
        if (IsExpiredCacheFile(entry, now))
            DeleteFile(entry.path());
    }
}

void InitImageCaches()
{
    InitImageCaches(GetDateTime());
}
