// fuzz-libraries: varnoke_settings varnoke_feeds varnoke_model varnoke_platform
// The small readers of the settings: the first byte picks one and the rest is
// its input. The configuration text keeps every value within its width; a
// settings record's bytes read, repaired and written settle at once (a second
// round gives the same bytes); the administrator's restriction files load
// and answer for any address, and unscrambling undoes scrambling.
#include "feeds/Restrictions.h"
#include "settings/Configuration.h"
#include "settings/EnvironsRecords.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace {

std::filesystem::path* gRemoveAtExit = nullptr;

enum class Reader : uint8_t { kConfiguration, kEnvirons, kExtEnvirons, kRestrictions, kCount };

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_settings: %s\n", what);
    std::abort();
}

void CheckConfiguration(std::string_view text)
{
    const VarnokeConfiguration configuration = ParseConfiguration(text);
    if (configuration.helpName.size() >= kHelpNameSize || configuration.homeURL.size() >= kConfigurationURLSize ||
        configuration.submitURL.size() >= kConfigurationURLSize ||
        configuration.defaultWebEncoding.size() >= kConfigurationEncodingSize ||
        configuration.defaultRssEncoding.size() >= kConfigurationEncodingSize ||
        configuration.defaultCSS.size() >= kDefaultCSSSize)
        Fail("a configuration value is wider than its field");
    if (configuration.defaultCSS.find('/') != std::string::npos)
        Fail("a style sheet name that is a path");
}

void CheckEnvirons(std::string_view block)
{
    std::optional<Environs> read = UnflattenEnvirons(block);
    if (read.has_value() != (block.size() >= kEnvironsSize))
        Fail("a settings record was refused or made up");
    if (!read)
        return;
    RepairEnvirons(*read);
    const std::string written = FlattenEnvirons(*read);
    if (written.size() != kEnvironsSize)
        Fail("a settings record of the wrong size was written");
    std::optional<Environs> again = UnflattenEnvirons(written);
    if (!again)
        Fail("a written settings record does not read");
    RepairEnvirons(*again);
    if (FlattenEnvirons(*again) != written)
        Fail("a repaired settings record changed on its second round");
    if (again->styleSheet.size() >= kStyleSheetSize || again->styleSheet.find('/') != std::string::npos)
        Fail("the style sheet name is too long or a path");
}

void CheckExtEnvirons(std::string_view block)
{
    std::optional<ExtEnvirons> read = UnflattenExtEnvirons(block);
    if (read.has_value() != (block.size() >= kExtEnvironsSize))
        Fail("a distribution record was refused or made up");
    if (!read)
        return;
    const std::string written = FlattenExtEnvirons(*read);
    if (written.size() != kExtEnvironsSize)
        Fail("a distribution record of the wrong size was written");
    std::optional<ExtEnvirons> again = UnflattenExtEnvirons(written);
    if (!again || FlattenExtEnvirons(*again) != written)
        Fail("a distribution record changed on its second round");
}

// The input as the three files, split at the first two 0xFF bytes:
// unrestricted users, the scrambled list, the plain list; the last line of
// the plain list is the address asked about.
void CheckRestrictions(std::string_view input)
{
    static const std::filesystem::path folder = [] {
        // In memory when it can be: the files are rewritten for every input.
        std::filesystem::path base =
            std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
        std::filesystem::path made = base / ("varnoke-fuzz-settings-" + std::to_string(getpid()));
        std::filesystem::create_directories(made);
        // Kept apart from the static being made, which is gone before atexit runs.
        gRemoveAtExit = new std::filesystem::path(made);
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(*gRemoveAtExit, error);
        });
        return made;
    }();
    std::string_view parts[3];
    for (int index = 0; index < 2; ++index) {
        size_t split = input.find('\xFF');
        parts[index] = input.substr(0, split);
        input = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    }
    parts[2] = input;
    const char* names[3] = {kUnrestrictionsFileName, kSysRestrictionsFileName, kUsrRestrictionsFileName};
    for (int index = 0; index < 3; ++index) {
        std::ofstream file(folder / names[index], std::ios::binary | std::ios::trunc);
        file.write(parts[index].data(), std::streamsize(parts[index].size()));
    }
    if (LoadRestrictions(folder, "fuzzer") != 0)
        Fail("loading the restrictions failed");
    const std::string_view plain = parts[2];
    const size_t lastLine = plain.find_last_of("\r\n");
    const std::string_view address = lastLine == std::string_view::npos ? plain : plain.substr(lastLine + 1);
    IsRestrictedURL(address);
    IsRestrictedURL(std::string(address) + "/x");
    ClearRestrictions();

    std::string scrambled(parts[1]);
    if (!scrambled.empty() && uint8_t(scrambled.back()) < 0x80 && scrambled.back() != '\r' && scrambled.back() != '\n') {
        DisscrambleData(scrambled.data(), scrambled.size());
        DisscrambleData(scrambled.data(), scrambled.size());
        if (scrambled != parts[1])
            Fail("unscrambling did not undo scrambling");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (Reader(data[0] % uint8_t(Reader::kCount))) {
    case Reader::kConfiguration:
        CheckConfiguration(rest);
        break;
    case Reader::kEnvirons:
        CheckEnvirons(rest);
        break;
    case Reader::kExtEnvirons:
        CheckExtEnvirons(rest);
        break;
    case Reader::kRestrictions:
        CheckRestrictions(rest);
        break;
    case Reader::kCount:
        break;
    }
    return 0;
}
