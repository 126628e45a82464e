// Owns one POSIX file descriptor and closes it on every path out of a scope.
// Used by the platform layer's file, process and task code; move-only.
#pragma once

#include <unistd.h>

#include <utility>

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int descriptor) : fDescriptor(descriptor) {}
    ~UniqueFd() { Reset(); }

    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fDescriptor(std::exchange(other.fDescriptor, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            Reset();
            fDescriptor = std::exchange(other.fDescriptor, -1);
        }
        return *this;
    }

    int Get() const { return fDescriptor; }
    bool IsValid() const { return fDescriptor >= 0; }

    // Closes now and reports close(2)'s result, for writers that must know
    // whether the last buffered data reached the disk.
    int Close()
    {
        if (fDescriptor < 0)
            return 0;
        return ::close(std::exchange(fDescriptor, -1));
    }

    void Reset()
    {
        if (fDescriptor >= 0)
            ::close(std::exchange(fDescriptor, -1));
    }

private:
    int fDescriptor = -1;
};
