// The file a response body is written into. The bytes go to a temporary file
// beside the target and replace the target only when Commit is called after
// the whole body arrived, so a transfer broken off by a time-out, a closed
// connection or a full disk leaves the previous document exactly as it was.
#pragma once

#include "platform/Status.h"
#include "platform/UniqueFd.h"

#include <cstddef>
#include <filesystem>

class BodyFile {
public:
    explicit BodyFile(std::filesystem::path target);
    // Removes the temporary file unless Commit succeeded.
    ~BodyFile();
    BodyFile(const BodyFile&) = delete;
    BodyFile& operator=(const BodyFile&) = delete;

    // Creates the temporary file in the target's folder. kFileNotFoundErr
    // when the folder is missing, kPermissionErr, or kIOErr.
    OSStatus Open();

    // Appends `size` bytes. kDiskFullErr or kIOErr on failure.
    OSStatus Append(const char* data, size_t size);

    // Closes the temporary file and renames it over the target, which then
    // has mode 0644 (less the umask), like every cache file.
    OSStatus Commit();

private:
    std::filesystem::path fTarget;
    std::filesystem::path fTemporary;
    UniqueFd fFile;
    bool fCommitted = false;
};
