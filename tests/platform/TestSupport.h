// Small fixtures shared by the platform tests: a scratch folder, scoped
// environment variables and a way to run the event loop until something
// has happened.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

// A fresh folder under the system's temporary folder, removed with all it
// holds at the end of the scope.
class TemporaryFolder {
public:
    TemporaryFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "varnoke-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        fPath = pattern;
    }
    ~TemporaryFolder()
    {
        std::error_code error;
        std::filesystem::permissions(fPath, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(fPath, error);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return fPath; }
    std::filesystem::path operator/(const std::string& name) const { return fPath / name; }

private:
    std::filesystem::path fPath;
};

// Sets (or, with nullopt, removes) one environment variable for a scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, std::optional<std::string> value) : fName(name)
    {
        if (const char* old = std::getenv(name))
            fOldValue = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        if (fOldValue)
            setenv(fName.c_str(), fOldValue->c_str(), 1);
        else
            unsetenv(fName.c_str());
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string fName;
    std::optional<std::string> fOldValue;
};

// A time zone for a scope (POSIX TZ rules, so no zone files are needed).
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& rules) : fZone("TZ", rules) { tzset(); }

private:
    struct TzsetOnExit {
        ~TzsetOnExit() { tzset(); }
    } fTzsetOnExit;  // declared first, so it runs after fZone has put TZ back
    ScopedEnvironment fZone;
};

// Runs the event loop until `done` answers true or `timeoutMilliseconds`
// pass; answers whether `done` came true.
inline bool RunEventLoopUntil(const std::function<bool()>& done, int timeoutMilliseconds = 5000)
{
    constexpr int kWakeIntervalMilliseconds = 5;
    QTimer wake;
    wake.start(kWakeIntervalMilliseconds);
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMilliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}
