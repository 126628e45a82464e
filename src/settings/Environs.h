// The settings in force: the records Environs and ExtEnvirons of this run,
// loaded at start, changed by the settings window and saved at quit, and the
// ENV accessors through which the rest of the program reads them. Records,
// file and configuration are in EnvironsRecords.h, PreferencesFile.h and
// Configuration.h.
#pragma once

#include "platform/Status.h"
#include "settings/EnvironsRecords.h"
#include "settings/SettingsTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/* ---- Start and quit ---- */

// The first step of the start-up sequence: reads the configuration, loads
// both records from the preferences file (the defaults when the file or an
// entry is missing or damaged), repairs the loaded record (RepairEnvirons)
// and refreshes the css folder from the resources. Never fails: every
// problem is logged and leaves a default. Cost: a few small file reads and
// the style-sheet copies.
void InitEnvirons();

// Saves both records to the preferences file (the settings window's close
// and the quit sequence). Both are attempted; the first failure is returned.
OSStatus SaveEnvirons();

/* ---- The records in force ---- */

const Environs& GetEnvirons();
const ExtEnvirons& GetExtEnvirons();

// Replace the record in force (the settings window, colours at once, the
// rest when it closes); texts are cut to their widths. Not saved here.
void SetEnvirons(const Environs& environs);
void SetExtEnvirons(const ExtEnvirons& environs);

/* ---- Accessors ---- */

bool ENVopenStartup();
bool ENVshowCounts();
bool ENVMobileWithHotNews();
bool ENVMobileAutoStart();

uint16_t ENVtoolbarMode();
uint16_t ENVtoolbarSize();
bool ENVdontSwitchBrowser();
uint16_t ENVheadlineSize();
int16_t ENVhtmlFont();
uint16_t ENVhtmlSize();
bool ENVuseFaviconCSS();
bool ENVautoExpand();
int8_t ENVautoSwitch();
int16_t ENVtickerFont();
uint16_t ENVtickerSize();
uint16_t ENVMobileType();
int32_t ENVMobileLimits();
bool ENVuseQuickTimePlayer(); // not `dontUseQTP`: hand video enclosures to the media player

const RGBColor& ENVunreadColor();
const RGBColor& ENVreadColor();
const RGBColor& ENVpermColor();
const RGBColor& ENValterColor();
const RGBColor& ENVdiddlColor();
const RGBColor& ENVtickerColor();

// The chosen style sheet's base name; null when none is chosen.
std::optional<std::string> ENVstyleSheet();

// Family names of `htmlFont` and `tickerFont`; an unknown ID gives the
// default family.
std::string_view ENVhtmlFontName();
std::string_view ENVtickerFontName();

// Font family IDs for the ticker's non-Latin scripts: Japanese (from the
// configuration), Cyrillic, Korean, Traditional and Simplified Chinese.
int16_t ENVtickerJFont();
int16_t ENVtickerRFont();
int16_t ENVtickerKFont();
int16_t ENVtickerCTFont();
int16_t ENVtickerCSFont();

// Seconds between automatic distributions: 600, 1800, 3600 or 10800 for
// `mobilePeriod` 1 to 4; kMobileIntervalNever for any other value.
constexpr uint32_t kMobileIntervalNever = 0xFFFFFFFF;
uint32_t ENVMobileInterval();

const std::string& ENVMobileMailAddress();
const std::string& ENVMobileSMTPAddress();
const std::string& ENVMobileSMTPHost();
const std::string& ENVMobileSiteAddress();
const std::string& ENVMobileSiteUserID();
const std::string& ENVMobileSitePassword();

// Mail: recipient, sender and SMTP server all set. Upload: site address,
// user and password all set.
bool EnvMobileReadyForDistribution();

// Every feature these guard exists on Linux: both always answer true.
bool ENVPantherOrLater();
bool ENVTigerOrLater();
