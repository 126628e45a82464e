// Scratch space for the model's file tests: a fresh folder removed with all
// it holds at the end of the scope, environment variables set for a scope,
// and whole-file helpers that do not go through the code under test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "varnoke-model-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        fPath = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(fPath, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return fPath; }
    std::filesystem::path operator/(const std::string& name) const { return fPath / name; }

private:
    std::filesystem::path fPath;
};

class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : fName(name)
    {
        if (const char* old = std::getenv(name))
            fOldValue = old;
        ::setenv(name, value.c_str(), 1);
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

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The file's bytes; nullopt when it cannot be opened.
inline std::optional<std::string> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline mode_t PermissionsOf(const std::filesystem::path& path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}
