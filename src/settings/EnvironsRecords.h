// The two settings records, Environs (the user's settings) and ExtEnvirons
// (the distribution settings), with their defaults, the repairs applied when
// a stored record is loaded, and their stored layouts: big-endian blocks of
// 196 and 1024 bytes, written and read field by field. Where the records
// live at run time is Environs.cpp's; the file is PreferencesFile.cpp's.
#pragma once

#include "settings/Configuration.h"
#include "settings/SettingsTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

constexpr size_t kEnvironsSize = 196;
constexpr size_t kExtEnvironsSize = 1024;
constexpr uint32_t kEnvironsVersion = 256;

// Text widths; a text keeps at most width - 1 bytes.
constexpr size_t kStyleSheetSize = 26;
constexpr size_t kMobileAddressSize = 128; // mail, site, SMTP host and sender
constexpr size_t kMobileAccountSize = 64;  // user names and passwords
constexpr size_t kMobileReserveSize = 256;

// `mobileType`: how news is distributed. Any value but 0 means upload.
constexpr uint16_t kMobileTypeMail = 0;
constexpr uint16_t kMobileTypeSite = 1;

// `mobilePeriod` 1 to 4; anything else distributes never.
constexpr uint16_t kMobilePeriodDefault = 3;

// Default settings that come from nowhere else.
constexpr uint16_t kDefaultHeadlineSize = 2;
constexpr uint16_t kDefaultTickerSize = 15;
constexpr uint16_t kDefaultHtmlSize = 13;
constexpr int16_t kDefaultHtmlFont = 1; // the description pane's own default family
constexpr RGBColor kDefaultUnreadColor = {0x0000, 0x0000, 0x9999};
constexpr RGBColor kDefaultReadColor = {0x3333, 0x3333, 0x3333};
constexpr RGBColor kDefaultPermColor = {0x0000, 0x0000, 0x0000};
constexpr RGBColor kDefaultAlterColor = {0xEAEA, 0xECEC, 0xF3F3};
constexpr RGBColor kDefaultDiddlColor = {0x9999, 0x3333, 0x9999};

// The user's settings. Flags are 0 or 1 (stored as 16 bits); reserved words
// are kept as they were read, so a record written by a later version keeps
// what it stored there.
struct Environs {
    uint32_t version = 0;
    uint32_t flags = 0;
    uint16_t openStartup = 0;       // flag: show the windows when started at login
    uint16_t showCounts = 0;        // flag: item counts after the subscription names
    uint16_t toolbarMode = 0;       // 0 default, 1 icon and label, 2 icon only, 3 label only
    uint16_t toolbarSize = 0;       // 0 default, 1 normal, 2 small
    uint16_t dontSwitchBrowser = 0; // flag: open links in the browser behind our windows
    std::array<uint16_t, 11> reserveG{};
    uint16_t headlineSize = 0;      // headline list text size choice, 1-4
    RGBColor unreadColor;
    RGBColor readColor;
    RGBColor permColor;
    RGBColor alterColor;            // background of every second headline row
    RGBColor diddlColor;            // headlines whose enclosure was downloaded
    int16_t htmlFont = 0;           // font family ID of the description pane; 1 = its default
    uint16_t htmlSize = 0;          // points; 7 or less = the pane's default size
    std::string styleSheet;         // base name in the css folder; empty = none
    int8_t autoSwitch = 0;          // show the linked page: < 0 never, 0 when there is nothing else, > 0 always
    int8_t autoExpand = 0;          // flag: enlarge the pane when it shows a web page
    int16_t tickerFont = 0;         // font family ID
    uint16_t tickerSize = 0;        // points
    RGBColor tickerColor;
    std::array<uint16_t, 9> reserveT{};
    uint16_t mobileType = 0;        // kMobileTypeMail or kMobileTypeSite
    uint16_t mobileHotNews = 0;     // flag: also distribute hot items of other subscriptions
    uint16_t mobileAuto = 0;        // flag: distribute automatically from the start
    uint16_t mobilePeriod = 0;      // 1 600 s, 2 1800 s, 3 3600 s, 4 10800 s
    int32_t mobileLimits = 0;       // size limit handed to the mail agent
    std::array<uint16_t, 10> reserveM{};
    uint16_t useFaviconCSS = 0;     // flag: site-specific style sheets
    uint16_t dontUseQTP = 0;        // flag: do not hand video enclosures to the media player
    std::array<uint16_t, 14> reserveO{};
};

// The distribution settings; texts are ASCII.
struct ExtEnvirons {
    std::string mobileMailAddr;                      // recipient of distributed mail
    std::array<char, kMobileAccountSize> mobileMailUser{}; // reserved
    std::array<char, kMobileAccountSize> mobileMailPass{}; // reserved
    std::string mobileSiteAddr;                      // upload address
    std::string mobileSiteUser;
    std::string mobileSitePass;
    std::string mobileSmtpHost;
    std::string mobileSmtpAddr;                      // sender address
    std::array<char, kMobileReserveSize> mobileReserve{}; // reserved
};

// Every default: the fixed ones above, the style sheet, ticker font and
// ticker colour from the configuration.
Environs MakeDefaultEnvirons(const VarnokeConfiguration& configuration);

// The repairs of a loaded record: an `alterColor` with any component below
// 0x8000 (too dark behind black text) and a `diddlColor` with any component
// 0 go back to their defaults; a `mobilePeriod` or `tickerSize` of 0 gets its
// default; a style sheet that is not a plain file name is dropped. Each
// repair is logged.
void RepairEnvirons(Environs& environs);

// Cuts every text to its width, as the stored record will hold it.
void CutEnvironsTexts(Environs& environs);
void CutExtEnvironsTexts(ExtEnvirons& environs);

/* ---- Stored layouts ---- */

// The 196-byte block.
std::string FlattenEnvirons(const Environs& environs);

// The record in `block`; null when the block is shorter than 196 bytes.
// Bytes beyond 196 (a longer record of a later version) are ignored.
// Texts are read up to their first NUL and at most width - 1 bytes.
std::optional<Environs> UnflattenEnvirons(std::string_view block);

// The 1024-byte block.
std::string FlattenExtEnvirons(const ExtEnvirons& environs);

// The record in `block`; null when the block is shorter than 1024 bytes.
std::optional<ExtEnvirons> UnflattenExtEnvirons(std::string_view block);
