// Scratch space every test folder uses: a fresh folder removed with all it
// holds at the end of the scope, environment variables and the time zone set
// for a scope, and whole-file helpers that do not go through the code under
// test.
#pragma once

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "varnoke-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        fPath = pattern;
    }
    ~ScratchFolder()
    {
        // A test may have taken the owner's rights away to provoke a failure.
        std::error_code error;
        std::filesystem::permissions(fPath, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(fPath, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return fPath; }
    std::filesystem::path operator/(const std::string& name) const { return fPath / name; }

    // Names of the entries, hidden ones included.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(fPath))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::filesystem::path fPath;
};

// Sets (or, with nullopt, removes) one environment variable for a scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : fName(name)
    {
        if (const char* old = std::getenv(name))
            fOldValue = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable()
    {
        if (fOldValue)
            ::setenv(fName.c_str(), fOldValue->c_str(), 1);
        else
            ::unsetenv(fName.c_str());
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string fName;
    std::optional<std::string> fOldValue;
};

// A time zone for a scope (POSIX TZ rules, so no zone files are needed).
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& rules) : fZone("TZ", rules) { ::tzset(); }

private:
    struct TzsetOnExit {
        ~TzsetOnExit() { ::tzset(); }
    } fTzsetOnExit; // declared first, so it runs after fZone has put TZ back
    ScopedVariable fZone;
};

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

// The file's bytes; nullopt when it cannot be opened.
inline std::optional<std::string> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The permission bits of the file; 0 when it cannot be read.
inline mode_t FileModeOf(const std::filesystem::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}
