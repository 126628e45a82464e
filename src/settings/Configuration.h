// The installation's fixed configuration, "Varnoke.cnfg" among the shipped
// resources: the help file, the home and submission pages, the default
// fonts and ticker colour, the download method, the default encodings and
// the default style sheet. Read once at start; the user's own settings
// (Environs.h) take their defaults from it.
#pragma once

#include "settings/SettingsTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr char kConfigurationFileName[] = "Varnoke.cnfg";

// Field widths; a value keeps at most width - 1 bytes.
constexpr size_t kHelpNameSize = 64;
constexpr size_t kConfigurationURLSize = 128;
constexpr size_t kConfigurationEncodingSize = 128;
constexpr size_t kDefaultCSSSize = 32;

// Without a configuration file the ticker is white.
constexpr RGBColor kUnconfiguredTickerColor = {0xFFFF, 0xFFFF, 0xFFFF};

struct VarnokeConfiguration {
    std::string helpName;           // the help file, a path inside the resources
    std::string homeURL;            // the product's home page
    std::string submitURL;          // where users propose feeds for the preset list
    int16_t romanFont = 0;          // font family ID of Latin text; the default ticker font
    int16_t japanFont = 0;          // font family ID of Japanese text
    RGBColor tickerColor = kUnconfiguredTickerColor;
    int32_t useCache = 0;           // non-zero: feeds are fetched by our own conditional GET
    std::string defaultWebEncoding; // for web pages in the description pane; empty = the view's own
    std::string defaultRssEncoding; // for feeds that declare none
    std::string defaultCSS;         // style sheet base name (no ".css"); empty = none
};

// Reads the configuration text: ten values, one per line, in the order of
// the fields above (the ticker colour as "red,green,blue"; each word without
// spaces; blank lines and a CR before each line end are ignored). Reading
// stops at the first value that is missing or malformed, which is logged;
// that value and the ones after it keep their defaults. Overlong words are
// cut to their width; an unknown encoding name or a style-sheet name that is
// not a plain file name is logged and left empty.
VarnokeConfiguration ParseConfiguration(std::string_view text);

// Reads "Varnoke.cnfg" from the resources into the configuration; a missing
// file leaves the defaults above, silently. Cost: one small file read.
void LoadConfiguration();

// The configuration read by the last LoadConfiguration (defaults before).
const VarnokeConfiguration& GetConfiguration();

/* ---- Accessors ---- */

std::string_view ENVHelpFile();
std::string_view ENVHomeURL();
std::string_view ENVSubmitURL();
std::string_view ENVDefaultWebEncoding();
std::string_view ENVDefaultRssEncoding();
bool ENVUseCache();
