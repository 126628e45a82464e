// Reading "Varnoke.cnfg": ten values, one per line, read in order until one
// is missing or malformed. The values are checked here (encoding names,
// style-sheet name, widths) so that every reader of them may trust them.
#include "settings/Configuration.h"

#include "platform/Encodings.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"
#include "settings/ByteFields.h"
#include "settings/StyleSheets.h"

#include <charconv>
#include <limits>
#include <optional>
#include <vector>

static VarnokeConfiguration gConfiguration;

constexpr std::string_view kWhiteSpace = " \t\r\v\f";
constexpr size_t kTickerColorComponents = 3;

/* ---- Lines and values ---- */

static std::string_view TrimWhiteSpace(std::string_view text)
{
    size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

// The file's non-blank lines, trimmed, in order.
class ConfigurationLines {
public:
    explicit ConfigurationLines(std::string_view text)
    {
        while (!text.empty()) {
            size_t end = text.find('\n');
            std::string_view line = TrimWhiteSpace(text.substr(0, end));
            if (!line.empty())
                fLines.push_back(line);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        }
    }

    // The next line for the value `what`; null (logged) when the file ends.
    std::optional<std::string_view> Next(const char* what)
    {
        ++fNumber;
        if (fNumber > fLines.size()) {
            LogFailure("%s has no %s (value %zu); it and the values after it keep their defaults",
                       kConfigurationFileName, what, fNumber);
            return std::nullopt;
        }
        return fLines[fNumber - 1];
    }

    void ReportMalformed(const char* what, std::string_view line) const
    {
        LogFailure("%s: %s \"%.*s\" (value %zu) is malformed; it and the values after it keep their defaults",
                   kConfigurationFileName, what, int(line.size()), line.data(), fNumber);
    }

private:
    std::vector<std::string_view> fLines;
    size_t fNumber = 0;
};

static std::optional<long> ParseLong(std::string_view text)
{
    text = TrimWhiteSpace(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

static bool ReadWord(ConfigurationLines& lines, const char* what, std::string& field, size_t width)
{
    std::optional<std::string_view> line = lines.Next(what);
    if (!line)
        return false;
    if (line->find_first_of(kWhiteSpace) != std::string_view::npos) {
        lines.ReportMalformed(what, *line);
        return false;
    }
    field = CutSettingsText(*line, width);
    return true;
}

template <typename Number>
static bool ReadNumber(ConfigurationLines& lines, const char* what, Number& field)
{
    std::optional<std::string_view> line = lines.Next(what);
    if (!line)
        return false;
    std::optional<long> value = ParseLong(*line);
    if (!value || *value < std::numeric_limits<Number>::min() || *value > std::numeric_limits<Number>::max()) {
        lines.ReportMalformed(what, *line);
        return false;
    }
    field = Number(*value);
    return true;
}

// "red,green,blue"; each number keeps its low 16 bits.
static bool ReadColor(ConfigurationLines& lines, const char* what, RGBColor& field)
{
    std::optional<std::string_view> line = lines.Next(what);
    if (!line)
        return false;
    uint16_t components[kTickerColorComponents] = {};
    std::string_view rest = *line;
    for (size_t index = 0; index < kTickerColorComponents; ++index) {
        size_t comma = rest.find(',');
        bool last = index + 1 == kTickerColorComponents;
        if (last != (comma == std::string_view::npos)) {
            lines.ReportMalformed(what, *line);
            return false;
        }
        std::optional<long> value = ParseLong(rest.substr(0, comma));
        if (!value) {
            lines.ReportMalformed(what, *line);
            return false;
        }
        components[index] = uint16_t(*value);
        rest = last ? std::string_view() : rest.substr(comma + 1);
    }
    field = RGBColor{components[0], components[1], components[2]};
    return true;
}

/* ---- Checks of the values read ---- */

static void CheckEncodingName(std::string& name, const char* what)
{
    CFStringEncoding encoding = kCFStringEncodingUTF8;
    if (name.empty() || CFStringEncodingFromInternetName(name, encoding) == kNoErr)
        return;
    LogFailure("%s: unknown %s \"%s\"; none is used", kConfigurationFileName, what, name.c_str());
    name.clear();
}

static void CheckConfiguration(VarnokeConfiguration& configuration)
{
    CheckEncodingName(configuration.defaultWebEncoding, "web page encoding");
    CheckEncodingName(configuration.defaultRssEncoding, "feed encoding");
    if (!configuration.defaultCSS.empty() && !IsStyleSheetName(configuration.defaultCSS)) {
        LogFailure("%s: style sheet \"%s\" is not a file name; none is used", kConfigurationFileName,
                   configuration.defaultCSS.c_str());
        configuration.defaultCSS.clear();
    }
}

/* ---- Reading ---- */

static void ReadConfigurationValues(ConfigurationLines& lines, VarnokeConfiguration& configuration)
{
    if (!ReadWord(lines, "help file", configuration.helpName, kHelpNameSize))
        return;
    if (!ReadWord(lines, "home page", configuration.homeURL, kConfigurationURLSize))
        return;
    if (!ReadWord(lines, "submission page", configuration.submitURL, kConfigurationURLSize))
        return;
    if (!ReadNumber(lines, "Roman font", configuration.romanFont))
        return;
    if (!ReadNumber(lines, "Japanese font", configuration.japanFont))
        return;
    if (!ReadColor(lines, "ticker colour", configuration.tickerColor))
        return;
    if (!ReadNumber(lines, "download method", configuration.useCache))
        return;
    if (!ReadWord(lines, "web page encoding", configuration.defaultWebEncoding, kConfigurationEncodingSize))
        return;
    if (!ReadWord(lines, "feed encoding", configuration.defaultRssEncoding, kConfigurationEncodingSize))
        return;
    ReadWord(lines, "default style sheet", configuration.defaultCSS, kDefaultCSSSize);
}

VarnokeConfiguration ParseConfiguration(std::string_view text)
{
    VarnokeConfiguration configuration;
    ConfigurationLines lines(text);
    ReadConfigurationValues(lines, configuration);
    CheckConfiguration(configuration);
    return configuration;
}

void LoadConfiguration()
{
    gConfiguration = VarnokeConfiguration();
    std::optional<std::filesystem::path> path = MakeResourcePath(kConfigurationFileName);
    if (!path)
        return;
    std::optional<std::string> text = GetDataFromFile(*path);
    if (!text)
        return;
    gConfiguration = ParseConfiguration(*text);
}

const VarnokeConfiguration& GetConfiguration()
{
    return gConfiguration;
}

/* ---- Accessors ---- */

std::string_view ENVHelpFile()
{
    return gConfiguration.helpName;
}

std::string_view ENVHomeURL()
{
    return gConfiguration.homeURL;
}

std::string_view ENVSubmitURL()
{
    return gConfiguration.submitURL;
}

std::string_view ENVDefaultWebEncoding()
{
    return gConfiguration.defaultWebEncoding;
}

std::string_view ENVDefaultRssEncoding()
{
    return gConfiguration.defaultRssEncoding;
}

bool ENVUseCache()
{
    return gConfiguration.useCache != 0;
}
