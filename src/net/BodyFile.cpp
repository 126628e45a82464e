// Streaming a body into a temporary file and renaming it into place. Unlike
// PutDataToFile the bytes never sit in memory as a whole: they arrive in
// pieces of the transfer buffer and are written as they come.
#include "net/BodyFile.h"

#include "platform/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

constexpr char kTemporaryInfix[] = ".part-";
constexpr int kTemporaryNameAttempts = 100;

// Numbers the temporary files of this process.
static uint64_t gTemporaryCounter = 0;

static OSStatus StatusFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return kFileNotFoundErr;
    case EACCES:
    case EPERM:
    case EROFS:
        return kPermissionErr;
    case ENOSPC:
    case EDQUOT:
        return kDiskFullErr;
    default:
        return kIOErr;
    }
}

BodyFile::BodyFile(std::filesystem::path target) : fTarget(std::move(target)) {}

BodyFile::~BodyFile()
{
    fFile.Reset();
    if (!fCommitted && !fTemporary.empty())
        ::unlink(fTemporary.c_str());
}

OSStatus BodyFile::Open()
{
    if (fTarget.empty() || !fTarget.has_filename())
        return kParamErr;
    // A dot name keeps the half-written file out of folder listings; the
    // process id and a counter keep two requests from sharing one.
    std::string stem = (fTarget.parent_path() / ("." + fTarget.filename().string() + kTemporaryInfix)).string() +
                       std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::string name = stem + std::to_string(++gTemporaryCounter);
        int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNormalFileMode);
        if (descriptor >= 0) {
            fFile = UniqueFd(descriptor);
            fTemporary = name;
            return kNoErr;
        }
        if (errno != EEXIST)
            return StatusFromErrno(errno);
    }
    return kIOErr;
}

OSStatus BodyFile::Append(const char* data, size_t size)
{
    if (!fFile.IsValid())
        return kParamErr;
    while (size > 0) {
        ssize_t written = ::write(fFile.Get(), data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return StatusFromErrno(written < 0 ? errno : ENOSPC);
        data += written;
        size -= size_t(written);
    }
    return kNoErr;
}

OSStatus BodyFile::Commit()
{
    if (!fFile.IsValid())
        return kParamErr;
    // No flush to the disk before the rename: a cache document can always be
    // fetched again, a flush per feed would cost more than the whole request,
    // and ext4, XFS and btrfs write a file's data before a rename over an
    // existing file takes effect.
    if (fFile.Close() != 0)
        return StatusFromErrno(errno);
    if (::rename(fTemporary.c_str(), fTarget.c_str()) != 0)
        return StatusFromErrno(errno);
    fCommitted = true;
    return kNoErr;
}
