// Whole-file input and output on POSIX calls, the atomic replace that guards
// the user's files, file dates mapped onto Linux's times, and the file-name
// rules. Folders are Folders.cpp's; the keyed store builds on PutDataToFile.
#include "platform/Files.h"

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/UnicodeText.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <algorithm>
#include <memory>
#include <new>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

// Longest part of the target's name kept in a temporary file's name, so that
// the temporary name stays below the file system's 255-byte limit.
constexpr size_t kTemporaryNameStemBytes = 200;
constexpr char kTemporaryNameSuffix[] = ".tmp-XXXXXX";
constexpr size_t kReadChunkBytes = 64 * 1024;
constexpr mode_t kPermissionBits = 07777;

static OSStatus StatusFromErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return kDiskFullErr;
    case ENOENT:
    case ENOTDIR:
        return kFileNotFoundErr;
    default:
        return kIOErr;
    }
}

/* ---- Reading ---- */

static bool ReadAll(int descriptor, std::string& data)
{
    char chunk[kReadChunkBytes];
    for (;;) {
        ssize_t count = ::read(descriptor, chunk, sizeof chunk);
        if (count == 0)
            return true;
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        data.append(chunk, size_t(count));
    }
}

std::optional<std::string> GetDataFromFile(const fs::path& path)
{
    if (path.empty())
        return std::nullopt;
    // Non-blocking, so that a FIFO or device at the path cannot hang the caller.
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.IsValid()) {
        if (errno != ENOENT && errno != ENOTDIR)
            LogFailure("Cannot open %s: %s", path.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        LogFailure("Not a readable file: %s", path.c_str());
        return std::nullopt;
    }
    try {
        std::string data;
        data.reserve(size_t(info.st_size));
        if (!ReadAll(file.Get(), data)) {
            LogFailure("Cannot read %s: %s", path.c_str(), std::strerror(errno));
            return std::nullopt;
        }
        if (data.empty())
            return std::nullopt;
        return data;
    } catch (const std::bad_alloc&) {
        LogFailure("Out of memory reading %s", path.c_str());
        return std::nullopt;
    }
}

/* ---- Atomic replace ---- */

// A temporary file beside the target that removes itself unless it was
// renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const fs::path& target)
    {
        std::string stem = target.filename().string().substr(0, kTemporaryNameStemBytes);
        fPath = target.parent_path() / ("." + stem + kTemporaryNameSuffix);
        std::string pattern = fPath.string();
        fFile = UniqueFd(::mkostemp(pattern.data(), O_CLOEXEC));
        fOpenError = errno;
        fPath = fFile.IsValid() ? fs::path(pattern) : fs::path();
    }
    ~TemporaryFile()
    {
        fFile.Reset();
        if (!fCommitted && !fPath.empty())
            ::unlink(fPath.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool IsOpen() const { return fFile.IsValid(); }
    int OpenError() const { return fOpenError; }
    int Descriptor() const { return fFile.Get(); }
    const fs::path& Path() const { return fPath; }
    int Close() { return fFile.Close(); }
    void Commit() { fCommitted = true; }

private:
    fs::path fPath;
    UniqueFd fFile;
    int fOpenError = 0;
    bool fCommitted = false;
};

// The file that a write to `path` must replace: the target of a symbolic
// link, so that a linked settings file stays linked.
static fs::path ResolveWriteTarget(const fs::path& path)
{
    std::error_code error;
    if (!fs::is_symlink(path, error))
        return path;
    fs::path resolved = fs::weakly_canonical(path, error);
    return error ? path : resolved;
}

static bool WriteAll(int descriptor, std::string_view data)
{
    while (!data.empty()) {
        ssize_t count = ::write(descriptor, data.data(), data.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        data.remove_prefix(size_t(count));
    }
    return true;
}

static mode_t ModeForWrite(const struct stat* existing, FileMode mode)
{
    switch (mode) {
    case FileMode::Private:
        return kPrivateFileMode;
    case FileMode::Normal:
        return existing != nullptr ? (existing->st_mode & kPermissionBits) : kNormalFileMode;
    }
    return kNormalFileMode;
}

static OSStatus FailWrite(const char* step, const fs::path& path, int error)
{
    LogFailure("Cannot write %s (%s): %s", path.c_str(), step, std::strerror(error));
    return StatusFromErrno(error);
}

// Flushes the folder entry of the rename; a failure here cannot lose the
// old file any more, so it is only logged.
static void SyncFolder(const fs::path& folder)
{
    UniqueFd directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.IsValid() || ::fsync(directory.Get()) != 0)
        LogFailure("Cannot flush folder %s: %s", folder.c_str(), std::strerror(errno));
}

// A file written to its temporary and waiting to be flushed and renamed.
struct PendingWrite {
    fs::path target;
    fs::path folder;
    std::unique_ptr<TemporaryFile> temporary;
};

// Checks the target and writes `data` into a temporary file beside it with
// the right mode; nothing is flushed or renamed yet.
static OSStatus BeginWrite(const fs::path& path, std::string_view data, FileMode mode, PendingWrite& pending)
{
    if (path.empty() || !path.has_filename())
        return kParamErr;
    pending.target = ResolveWriteTarget(path);
    pending.folder = pending.target.parent_path().empty() ? fs::path(".") : pending.target.parent_path();
    const fs::path& target = pending.target;
    struct stat folderInfo {};
    if (::stat(pending.folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) {
        LogFailure("Cannot write %s: no such folder", target.c_str());
        return kFileNotFoundErr;
    }
    struct stat existing {};
    bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        LogFailure("Cannot write %s: it is a folder", target.c_str());
        return kParamErr;
    }

    pending.temporary = std::make_unique<TemporaryFile>(target);
    TemporaryFile& temporary = *pending.temporary;
    if (!temporary.IsOpen())
        return FailWrite("create", target, temporary.OpenError());
    if (::fchmod(temporary.Descriptor(), ModeForWrite(exists ? &existing : nullptr, mode)) != 0)
        return FailWrite("mode", target, errno);
    if (!WriteAll(temporary.Descriptor(), data))
        return FailWrite("write", target, errno);
    return kNoErr;
}

// Closes the flushed temporary and renames it over the target.
static OSStatus FinishWrite(PendingWrite& pending)
{
    TemporaryFile& temporary = *pending.temporary;
    if (temporary.Close() != 0)
        return FailWrite("close", pending.target, errno);
    if (::rename(temporary.Path().c_str(), pending.target.c_str()) != 0)
        return FailWrite("rename", pending.target, errno);
    temporary.Commit();
    return kNoErr;
}

OSStatus PutDataToFile(const fs::path& path, std::string_view data, FileMode mode)
{
    PendingWrite pending;
    if (OSStatus status = BeginWrite(path, data, mode, pending); status != kNoErr)
        return status;
    if (::fsync(pending.temporary->Descriptor()) != 0)
        return FailWrite("flush", pending.target, errno);
    if (OSStatus status = FinishWrite(pending); status != kNoErr)
        return status;
    SyncFolder(pending.folder);
    return kNoErr;
}

OSStatus PutDataToFiles(std::span<const FileData> files)
{
    OSStatus firstFailure = kNoErr;
    auto note = [&firstFailure](OSStatus status) {
        if (firstFailure == kNoErr)
            firstFailure = status;
    };
    std::vector<PendingWrite> pending;
    pending.reserve(files.size());
    for (const FileData& file : files) {
        PendingWrite write;
        if (OSStatus status = BeginWrite(file.path, file.data, file.mode, write); status != kNoErr) {
            note(status);
            continue;
        }
        pending.push_back(std::move(write));
    }
    if (pending.empty())
        return firstFailure;
    // One flush of the volume puts every temporary's data on disk before
    // any of them replaces an old file.
    if (::syncfs(pending.front().temporary->Descriptor()) != 0)
        return FailWrite("flush", pending.front().target, errno);
    std::vector<fs::path> folders;
    for (PendingWrite& write : pending) {
        if (OSStatus status = FinishWrite(write); status != kNoErr)
            note(status);
        if (std::find(folders.begin(), folders.end(), write.folder) == folders.end())
            folders.push_back(write.folder);
    }
    for (const fs::path& folder : folders)
        SyncFolder(folder);
    return firstFailure;
}

bool KeepDamagedFileCopy(const fs::path& path)
{
    std::optional<std::string> bytes = GetDataFromFile(path);
    if (!bytes)
        return false;
    fs::path copy = path;
    copy += ".damaged";
    if (GetDataFromFile(copy) == bytes)
        return true;
    if (PutDataToFile(copy, *bytes, FileMode::Private) != kNoErr)
        return false;
    LogFailure("%s is damaged; its bytes are kept in %s", path.c_str(), copy.c_str());
    return true;
}

// Whether `name` is a temporary name this file makes: "." + stem +
// ".tmp-" + six characters.
static bool IsTemporaryName(std::string_view name)
{
    constexpr std::string_view kMarker = ".tmp-";
    constexpr size_t kUniqueBytes = 6;
    if (name.size() < 1 + kMarker.size() + kUniqueBytes || name.front() != '.')
        return false;
    return name.substr(name.size() - kUniqueBytes - kMarker.size(), kMarker.size()) == kMarker;
}

size_t RemoveInterruptedWrites(const fs::path& folder)
{
    size_t removed = 0;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (!IsTemporaryName(entry->path().filename().native()))
            continue;
        std::error_code typeError;
        if (!entry->is_regular_file(typeError) || entry->is_symlink(typeError))
            continue;
        if (fs::remove(entry->path(), typeError))
            ++removed;
    }
    if (removed != 0)
        LogInfo("removed %zu unfinished save(s) in %s", removed, folder.c_str());
    return removed;
}

bool IsExistFile(const fs::path& path)
{
    if (path.empty())
        return false;
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

OSStatus DeleteFile(const fs::path& path)
{
    if (path.empty())
        return kParamErr;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return kParamErr;
    if (::unlink(path.c_str()) == 0)
        return kNoErr;
    OSStatus status = StatusFromErrno(errno);
    if (status != kFileNotFoundErr)
        LogFailure("Cannot delete %s: %s", path.c_str(), std::strerror(errno));
    return status;
}

/* ---- File dates ---- */

std::optional<FileDates> FSpGetFileDate(const fs::path& path)
{
    if (path.empty())
        return std::nullopt;
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0)
        return std::nullopt;
    int64_t created = info.stx_mtime.tv_sec;
    if ((info.stx_mask & STATX_BTIME) != 0 && info.stx_btime.tv_sec < created)
        created = info.stx_btime.tv_sec;
    return FileDates{DateTimeFromUnixTime(time_t(created)),
                     DateTimeFromUnixTime(time_t(info.stx_mtime.tv_sec))};
}

OSStatus FSpSetFileDate(const fs::path& path, uint32_t creationDate, uint32_t modificationDate)
{
    if (path.empty())
        return kParamErr;
    uint32_t newTime = modificationDate != 0 ? modificationDate : creationDate;
    if (newTime == 0)
        return ::access(path.c_str(), F_OK) == 0 ? kNoErr : kFileNotFoundErr;
    timespec times[2] = {{0, UTIME_OMIT}, {UnixTimeFromDateTime(newTime), 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0)
        return kNoErr;
    OSStatus status = StatusFromErrno(errno);
    if (status != kFileNotFoundErr)
        LogFailure("Cannot set the dates of %s: %s", path.c_str(), std::strerror(errno));
    return status == kDiskFullErr ? kIOErr : status;
}

/* ---- File names ---- */

void ConfirmMacFileName(std::string& name)
{
    for (char& c : name) {
        if (c == ':' || c == '/' || c == '\0')
            c = '-';
    }
    if (name == "." || name == "..")
        name.assign(name.size(), '-');
}

void CheckMacFileName(std::string& name, size_t length)
{
    ConfirmMacFileName(name);
    CutUTF8Text(name, length);
    if (name == "." || name == "..")
        name.assign(name.size(), '-');
}
