// Whole-file reading and writing, file dates and file-name rules. Every file
// that holds the user's data is written through PutDataToFile, which replaces
// the old file only once the new one is safely on disk.
#pragma once

#include "platform/Status.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <span>
#include <string_view>
#include <sys/types.h>

// How a newly written file may be read by others.
enum class FileMode {
    Normal,   // 0644 for a new file; an existing file keeps its mode
    Private,  // 0600 always: files that hold passwords
};

constexpr mode_t kNormalFileMode = 0644;
constexpr mode_t kPrivateFileMode = 0600;

/* ---- Reading and writing whole files ---- */

// The whole content of the regular file at `path`. Null when the file is
// missing, is not a regular file, is empty, cannot be read or memory runs out;
// never throws. Cost: one read of the file.
std::optional<std::string> GetDataFromFile(const std::filesystem::path& path);

// Replaces the file at `path` with `data`, atomically: the bytes go to a
// temporary file in the same folder, are flushed to the disk (fsync), and the
// temporary file is renamed over the old one, so a crash, a full disk or a
// write error leaves the old file exactly as it was. A symbolic link at `path`
// is followed, so the file it points to is replaced. Mode: FileMode::Private
// gives 0600 from the first byte on; otherwise an existing file keeps its mode
// and a new one gets 0644. Returns kNoErr, kFileNotFoundErr (-43) when the
// folder is missing, kDiskFullErr (-34) when the volume is full, kParamErr for
// an empty path or a path naming a folder, or kIOErr (-36) for any other
// failure. Cost: a write and two
// fsyncs (file and folder).
OSStatus PutDataToFile(const std::filesystem::path& path, std::string_view data,
                       FileMode mode = FileMode::Normal);

struct FileData {
    std::filesystem::path path;
    std::string_view data;
    FileMode mode = FileMode::Normal;
};

// Replaces many files at once, each atomically as PutDataToFile does: every
// file is written to its temporary, one flush of the volume puts them all on
// disk, then each is renamed into place. The set as a whole is not atomic (a
// crash during the renames leaves some files new and some old, each whole).
// A file that fails does not stop the others; the first failure is returned.
// Cost: one write per file, one volume flush and one flush per folder, far
// cheaper than PutDataToFile's two flushes per file for hundreds of files.
OSStatus PutDataToFiles(std::span<const FileData> files);

// Removes what writes stopped half-way (the program killed during a save)
// left in `folder`: the hidden temporaries of PutDataToFile and
// PutDataToFiles, never the files they were to replace. Only for a folder no
// other process writes into while it runs (the program's own, at start-up).
// Returns how many it removed.
size_t RemoveInterruptedWrites(const std::filesystem::path& folder);

// Keeps a copy of a file that could not be read as it should, as
// "<path>.damaged" (mode 0600: it may hold passwords), so that the rewrite
// that follows does not throw away what it held. True when the copy exists.
bool KeepDamagedFileCopy(const std::filesystem::path& path);

// True only for an existing regular file (after following links); a folder or
// an empty path answers false.
bool IsExistFile(const std::filesystem::path& path);

// Removes the file at `path` (not a folder). kFileNotFoundErr when missing,
// kParamErr for a folder or an empty path, kIOErr otherwise.
OSStatus DeleteFile(const std::filesystem::path& path);

/* ---- File dates ---- */

// Dates in seconds since 1 January 1904, local time.
struct FileDates {
    uint32_t creationDate = 0;
    uint32_t modificationDate = 0;
};

// A file's creation and modification dates; null when the item is missing.
// Linux cannot set a file's birth time, so the creation date is the earlier
// of the birth time (when the file system records one) and the modification
// time: a date set with FSpSetFileDate reads back as long as it lies before
// the file's birth.
std::optional<FileDates> FSpGetFileDate(const std::filesystem::path& path);

// Sets the dates; 0 leaves a date unchanged. Because Linux keeps only one
// settable time, setting the creation date sets the modification time, and
// when both are given the modification date wins (callers that date a file
// pass the same value for both). Returns kFileNotFoundErr or kIOErr on failure.
OSStatus FSpSetFileDate(const std::filesystem::path& path, uint32_t creationDate,
                        uint32_t modificationDate);

/* ---- File names ---- */

// Makes `name` safe as one file name and cuts it to at most `length` bytes
// without splitting a UTF-8 character: ':' and '/' become '-' (so a feed
// title can never name another folder), a NUL byte becomes '-', and the names
// "." and ".." become hyphens. History files use a length of 31.
void CheckMacFileName(std::string& name, size_t length);

// The same replacements as CheckMacFileName, without the cut.
void ConfirmMacFileName(std::string& name);
