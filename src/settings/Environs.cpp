// The settings records of this run and their accessors. Loading falls back
// to the defaults for anything missing or damaged; saving goes through the
// preferences file, which keeps whatever it could not read.
#include "settings/Environs.h"

#include "platform/Log.h"
#include "settings/Configuration.h"
#include "settings/FontFamilies.h"
#include "settings/PreferencesFile.h"
#include "settings/StyleSheets.h"

#include <array>

static Environs gEnvirons = MakeDefaultEnvirons(VarnokeConfiguration());
static ExtEnvirons gExtEnvirons;

// Seconds between distributions for `mobilePeriod` 1 to 4.
constexpr std::array<uint32_t, 4> kMobileIntervals = {600, 1800, 3600, 10800};

// Flags stored as 16 bits are read by their low byte.
constexpr uint16_t kFlagByteMask = 0x00FF;

/* ---- Start and quit ---- */

void InitEnvirons()
{
    LoadConfiguration();
    if (std::optional<Environs> stored = LoadEnvironsRecord()) {
        RepairEnvirons(*stored);
        gEnvirons = std::move(*stored);
    } else {
        gEnvirons = MakeDefaultEnvirons(GetConfiguration());
    }
    gExtEnvirons = LoadExtEnvironsRecord().value_or(ExtEnvirons());
    SetupCSSFiles();
}

OSStatus SaveEnvirons()
{
    OSStatus status = SaveEnvironsRecord(gEnvirons);
    OSStatus extStatus = SaveExtEnvironsRecord(gExtEnvirons);
    return status != kNoErr ? status : extStatus;
}

/* ---- The records in force ---- */

const Environs& GetEnvirons()
{
    return gEnvirons;
}

const ExtEnvirons& GetExtEnvirons()
{
    return gExtEnvirons;
}

void SetEnvirons(const Environs& environs)
{
    gEnvirons = environs;
    CutEnvironsTexts(gEnvirons);
}

void SetExtEnvirons(const ExtEnvirons& environs)
{
    gExtEnvirons = environs;
    CutExtEnvironsTexts(gExtEnvirons);
}

/* ---- Accessors ---- */

static bool IsFlagSet(uint16_t flag)
{
    return (flag & kFlagByteMask) != 0;
}

bool ENVopenStartup()
{
    return IsFlagSet(gEnvirons.openStartup);
}

bool ENVshowCounts()
{
    return IsFlagSet(gEnvirons.showCounts);
}

bool ENVMobileWithHotNews()
{
    return IsFlagSet(gEnvirons.mobileHotNews);
}

bool ENVMobileAutoStart()
{
    return IsFlagSet(gEnvirons.mobileAuto);
}

uint16_t ENVtoolbarMode()
{
    return gEnvirons.toolbarMode;
}

uint16_t ENVtoolbarSize()
{
    return gEnvirons.toolbarSize;
}

bool ENVdontSwitchBrowser()
{
    return gEnvirons.dontSwitchBrowser != 0;
}

uint16_t ENVheadlineSize()
{
    return gEnvirons.headlineSize;
}

int16_t ENVhtmlFont()
{
    return gEnvirons.htmlFont;
}

uint16_t ENVhtmlSize()
{
    return gEnvirons.htmlSize;
}

bool ENVuseFaviconCSS()
{
    return gEnvirons.useFaviconCSS != 0;
}

bool ENVautoExpand()
{
    return gEnvirons.autoExpand != 0;
}

int8_t ENVautoSwitch()
{
    return gEnvirons.autoSwitch;
}

int16_t ENVtickerFont()
{
    return gEnvirons.tickerFont;
}

uint16_t ENVtickerSize()
{
    return gEnvirons.tickerSize;
}

uint16_t ENVMobileType()
{
    return gEnvirons.mobileType;
}

int32_t ENVMobileLimits()
{
    return gEnvirons.mobileLimits;
}

bool ENVuseQuickTimePlayer()
{
    return gEnvirons.dontUseQTP == 0;
}

const RGBColor& ENVunreadColor()
{
    return gEnvirons.unreadColor;
}

const RGBColor& ENVreadColor()
{
    return gEnvirons.readColor;
}

const RGBColor& ENVpermColor()
{
    return gEnvirons.permColor;
}

const RGBColor& ENValterColor()
{
    return gEnvirons.alterColor;
}

const RGBColor& ENVdiddlColor()
{
    return gEnvirons.diddlColor;
}

const RGBColor& ENVtickerColor()
{
    return gEnvirons.tickerColor;
}

std::optional<std::string> ENVstyleSheet()
{
    if (gEnvirons.styleSheet.empty())
        return std::nullopt;
    return gEnvirons.styleSheet;
}

std::string_view ENVhtmlFontName()
{
    return GetFontFamilyNameOrDefault(gEnvirons.htmlFont);
}

std::string_view ENVtickerFontName()
{
    return GetFontFamilyNameOrDefault(gEnvirons.tickerFont);
}

int16_t ENVtickerJFont()
{
    return GetConfiguration().japanFont;
}

int16_t ENVtickerRFont()
{
    return GetCyrillicFontFamilyID();
}

int16_t ENVtickerKFont()
{
    return GetKoreanFontFamilyID();
}

int16_t ENVtickerCTFont()
{
    return GetTraditionalChineseFontFamilyID();
}

int16_t ENVtickerCSFont()
{
    return GetSimplifiedChineseFontFamilyID();
}

uint32_t ENVMobileInterval()
{
    uint16_t period = gEnvirons.mobilePeriod;
    if (period < 1 || period > kMobileIntervals.size())
        return kMobileIntervalNever;
    return kMobileIntervals[period - 1];
}

const std::string& ENVMobileMailAddress()
{
    return gExtEnvirons.mobileMailAddr;
}

const std::string& ENVMobileSMTPAddress()
{
    return gExtEnvirons.mobileSmtpAddr;
}

const std::string& ENVMobileSMTPHost()
{
    return gExtEnvirons.mobileSmtpHost;
}

const std::string& ENVMobileSiteAddress()
{
    return gExtEnvirons.mobileSiteAddr;
}

const std::string& ENVMobileSiteUserID()
{
    return gExtEnvirons.mobileSiteUser;
}

const std::string& ENVMobileSitePassword()
{
    return gExtEnvirons.mobileSitePass;
}

bool EnvMobileReadyForDistribution()
{
    if (gEnvirons.mobileType == kMobileTypeMail)
        return !gExtEnvirons.mobileMailAddr.empty() && !gExtEnvirons.mobileSmtpAddr.empty() &&
               !gExtEnvirons.mobileSmtpHost.empty();
    return !gExtEnvirons.mobileSiteAddr.empty() && !gExtEnvirons.mobileSiteUser.empty() &&
           !gExtEnvirons.mobileSitePass.empty();
}

bool ENVPantherOrLater()
{
    return true;
}

bool ENVTigerOrLater()
{
    return true;
}
