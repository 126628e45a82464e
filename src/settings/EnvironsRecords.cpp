// The settings records' defaults, load-time repairs and stored layouts. The
// layouts are written out field by field in their stored order; the offsets
// in the comments are the block's, for anyone reading a dump.
#include "settings/EnvironsRecords.h"

#include "platform/Log.h"
#include "settings/ByteFields.h"
#include "settings/StyleSheets.h"

constexpr uint16_t kLightestDarkComponent = 0x8000; // an alternate row below this is too dark

/* ---- Defaults and repairs ---- */

Environs MakeDefaultEnvirons(const VarnokeConfiguration& configuration)
{
    Environs environs;
    environs.version = kEnvironsVersion;
    environs.openStartup = 1;
    environs.showCounts = 1;
    environs.headlineSize = kDefaultHeadlineSize;
    environs.unreadColor = kDefaultUnreadColor;
    environs.readColor = kDefaultReadColor;
    environs.permColor = kDefaultPermColor;
    environs.alterColor = kDefaultAlterColor;
    environs.diddlColor = kDefaultDiddlColor;
    environs.htmlFont = kDefaultHtmlFont;
    environs.htmlSize = kDefaultHtmlSize;
    environs.styleSheet = CutSettingsText(configuration.defaultCSS, kStyleSheetSize);
    environs.autoSwitch = 0;
    environs.autoExpand = 1;
    environs.tickerFont = configuration.romanFont;
    environs.tickerSize = kDefaultTickerSize;
    environs.tickerColor = configuration.tickerColor;
    environs.mobilePeriod = kMobilePeriodDefault;
    environs.useFaviconCSS = 1;
    return environs;
}

static bool HasComponentBelow(const RGBColor& color, uint16_t limit)
{
    return color.red < limit || color.green < limit || color.blue < limit;
}

void RepairEnvirons(Environs& environs)
{
    if (HasComponentBelow(environs.alterColor, kLightestDarkComponent)) {
        LogInfo("Alternate row colour too dark; using the default");
        environs.alterColor = kDefaultAlterColor;
    }
    if (HasComponentBelow(environs.diddlColor, 1)) {
        LogInfo("Downloaded headline colour has a zero component; using the default");
        environs.diddlColor = kDefaultDiddlColor;
    }
    if (environs.mobilePeriod == 0)
        environs.mobilePeriod = kMobilePeriodDefault;
    if (environs.tickerSize == 0) {
        LogInfo("Ticker size 0; using %u points", unsigned(kDefaultTickerSize));
        environs.tickerSize = kDefaultTickerSize;
    }
    if (!environs.styleSheet.empty() && !IsStyleSheetName(environs.styleSheet)) {
        LogFailure("Style sheet name \"%s\" is not a file name; none is used", environs.styleSheet.c_str());
        environs.styleSheet.clear();
    }
}

void CutEnvironsTexts(Environs& environs)
{
    environs.styleSheet = CutSettingsText(environs.styleSheet, kStyleSheetSize);
}

void CutExtEnvironsTexts(ExtEnvirons& environs)
{
    for (std::string* address : {&environs.mobileMailAddr, &environs.mobileSiteAddr, &environs.mobileSmtpHost,
                                 &environs.mobileSmtpAddr})
        *address = CutSettingsText(*address, kMobileAddressSize);
    for (std::string* account : {&environs.mobileSiteUser, &environs.mobileSitePass})
        *account = CutSettingsText(*account, kMobileAccountSize);
}

/* ---- Environs block ---- */

static void WriteColor(ByteFieldWriter& writer, const RGBColor& color)
{
    writer.UInt16(color.red);
    writer.UInt16(color.green);
    writer.UInt16(color.blue);
}

static RGBColor ReadColor(ByteFieldReader& reader)
{
    RGBColor color;
    color.red = reader.UInt16();
    color.green = reader.UInt16();
    color.blue = reader.UInt16();
    return color;
}

template <size_t Count>
static void WriteWords(ByteFieldWriter& writer, const std::array<uint16_t, Count>& words)
{
    for (uint16_t word : words)
        writer.UInt16(word);
}

template <size_t Count>
static void ReadWords(ByteFieldReader& reader, std::array<uint16_t, Count>& words)
{
    for (uint16_t& word : words)
        word = reader.UInt16();
}

std::string FlattenEnvirons(const Environs& environs)
{
    ByteFieldWriter writer;
    writer.UInt32(environs.version);           // 0
    writer.UInt32(environs.flags);             // 4
    writer.UInt16(environs.openStartup);       // 8
    writer.UInt16(environs.showCounts);        // 10
    writer.UInt16(environs.toolbarMode);       // 12
    writer.UInt16(environs.toolbarSize);       // 14
    writer.UInt16(environs.dontSwitchBrowser); // 16
    WriteWords(writer, environs.reserveG);     // 18
    writer.UInt16(environs.headlineSize);      // 40
    WriteColor(writer, environs.unreadColor);  // 42
    WriteColor(writer, environs.readColor);    // 48
    WriteColor(writer, environs.permColor);    // 54
    WriteColor(writer, environs.alterColor);   // 60
    WriteColor(writer, environs.diddlColor);   // 66
    writer.UInt16(uint16_t(environs.htmlFont)); // 72
    writer.UInt16(environs.htmlSize);          // 74
    writer.Text(environs.styleSheet, kStyleSheetSize); // 76
    writer.UInt8(uint8_t(environs.autoSwitch)); // 102
    writer.UInt8(uint8_t(environs.autoExpand)); // 103
    writer.UInt16(uint16_t(environs.tickerFont)); // 104
    writer.UInt16(environs.tickerSize);        // 106
    WriteColor(writer, environs.tickerColor);  // 108
    WriteWords(writer, environs.reserveT);     // 114
    writer.UInt16(environs.mobileType);        // 132
    writer.UInt16(environs.mobileHotNews);     // 134
    writer.UInt16(environs.mobileAuto);        // 136
    writer.UInt16(environs.mobilePeriod);      // 138
    writer.UInt32(uint32_t(environs.mobileLimits)); // 140
    WriteWords(writer, environs.reserveM);     // 144
    writer.UInt16(environs.useFaviconCSS);     // 164
    writer.UInt16(environs.dontUseQTP);        // 166
    WriteWords(writer, environs.reserveO);     // 168, ends at 196
    return writer.Bytes();
}

std::optional<Environs> UnflattenEnvirons(std::string_view block)
{
    if (block.size() < kEnvironsSize)
        return std::nullopt;
    ByteFieldReader reader(block);
    Environs environs;
    environs.version = reader.UInt32();
    environs.flags = reader.UInt32();
    environs.openStartup = reader.UInt16();
    environs.showCounts = reader.UInt16();
    environs.toolbarMode = reader.UInt16();
    environs.toolbarSize = reader.UInt16();
    environs.dontSwitchBrowser = reader.UInt16();
    ReadWords(reader, environs.reserveG);
    environs.headlineSize = reader.UInt16();
    environs.unreadColor = ReadColor(reader);
    environs.readColor = ReadColor(reader);
    environs.permColor = ReadColor(reader);
    environs.alterColor = ReadColor(reader);
    environs.diddlColor = ReadColor(reader);
    environs.htmlFont = int16_t(reader.UInt16());
    environs.htmlSize = reader.UInt16();
    environs.styleSheet = reader.Text(kStyleSheetSize);
    environs.autoSwitch = int8_t(reader.UInt8());
    environs.autoExpand = int8_t(reader.UInt8());
    environs.tickerFont = int16_t(reader.UInt16());
    environs.tickerSize = reader.UInt16();
    environs.tickerColor = ReadColor(reader);
    ReadWords(reader, environs.reserveT);
    environs.mobileType = reader.UInt16();
    environs.mobileHotNews = reader.UInt16();
    environs.mobileAuto = reader.UInt16();
    environs.mobilePeriod = reader.UInt16();
    environs.mobileLimits = int32_t(reader.UInt32());
    ReadWords(reader, environs.reserveM);
    environs.useFaviconCSS = reader.UInt16();
    environs.dontUseQTP = reader.UInt16();
    ReadWords(reader, environs.reserveO);
    return environs;
}

/* ---- ExtEnvirons block ---- */

template <size_t Size>
static void ReadRaw(ByteFieldReader& reader, std::array<char, Size>& bytes)
{
    std::string_view field = reader.Raw(Size);
    std::copy(field.begin(), field.end(), bytes.begin());
}

std::string FlattenExtEnvirons(const ExtEnvirons& environs)
{
    ByteFieldWriter writer;
    writer.Text(environs.mobileMailAddr, kMobileAddressSize); // 0
    writer.Raw({environs.mobileMailUser.data(), environs.mobileMailUser.size()}); // 128
    writer.Raw({environs.mobileMailPass.data(), environs.mobileMailPass.size()}); // 192
    writer.Text(environs.mobileSiteAddr, kMobileAddressSize); // 256
    writer.Text(environs.mobileSiteUser, kMobileAccountSize); // 384
    writer.Text(environs.mobileSitePass, kMobileAccountSize); // 448
    writer.Text(environs.mobileSmtpHost, kMobileAddressSize); // 512
    writer.Text(environs.mobileSmtpAddr, kMobileAddressSize); // 640
    writer.Raw({environs.mobileReserve.data(), environs.mobileReserve.size()}); // 768, ends at 1024
    return writer.Bytes();
}

std::optional<ExtEnvirons> UnflattenExtEnvirons(std::string_view block)
{
    if (block.size() < kExtEnvironsSize)
        return std::nullopt;
    ByteFieldReader reader(block);
    ExtEnvirons environs;
    environs.mobileMailAddr = reader.Text(kMobileAddressSize);
    ReadRaw(reader, environs.mobileMailUser);
    ReadRaw(reader, environs.mobileMailPass);
    environs.mobileSiteAddr = reader.Text(kMobileAddressSize);
    environs.mobileSiteUser = reader.Text(kMobileAccountSize);
    environs.mobileSitePass = reader.Text(kMobileAccountSize);
    environs.mobileSmtpHost = reader.Text(kMobileAddressSize);
    environs.mobileSmtpAddr = reader.Text(kMobileAddressSize);
    ReadRaw(reader, environs.mobileReserve);
    return environs;
}
