// The table of known encodings and the lookups over it, and strict conversion
// on glibc iconv. Deciding which encoding a document is in is left to the
// parsers; this file only names and converts.
#include "platform/Encodings.h"

#include "platform/Log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <new>

// One encoding:
//   encoding      its number
//   internetName  the preferred IANA name, given back by the reverse lookup
//   iconvName     the glibc iconv name that converts it
//   aliases       other names that mean the same, separated by spaces
// The first row for a number is the one the reverse lookups return.
struct EncodingEntry {
    CFStringEncoding encoding;
    std::string_view internetName;
    std::string_view iconvName;
    std::string_view aliases;
};

static constexpr EncodingEntry kEncodingTable[] = {
    {kCFStringEncodingUTF8, "UTF-8", "UTF-8", "utf8 unicode-1-1-utf-8 unicode-2-0-utf-8 x-unicode20utf8"},
    {kCFStringEncodingUTF16, "UTF-16", "UTF-16", "utf16 unicode csunicode iso-10646-ucs-2 ucs-2 ucs2"},
    {kCFStringEncodingUTF16BE, "UTF-16BE", "UTF-16BE", "utf16be unicodefffe"},
    {kCFStringEncodingUTF16LE, "UTF-16LE", "UTF-16LE", "utf16le unicodefeff"},
    {kCFStringEncodingUTF32, "UTF-32", "UTF-32", "utf32 iso-10646-ucs-4 ucs-4 ucs4 csucs4"},
    {kCFStringEncodingUTF32BE, "UTF-32BE", "UTF-32BE", "utf32be"},
    {kCFStringEncodingUTF32LE, "UTF-32LE", "UTF-32LE", "utf32le"},
    {kCFStringEncodingASCII, "US-ASCII", "US-ASCII",
     "ascii us iso-ir-6 ansi_x3.4-1968 ansi_x3.4-1986 iso_646.irv:1991 iso646-us ibm367 cp367 csascii"},
    {kCFStringEncodingISOLatin1, "ISO-8859-1", "ISO-8859-1",
     "iso_8859-1 iso_8859-1:1987 iso8859-1 iso-ir-100 latin1 l1 ibm819 cp819 csisolatin1"},
    {kCFStringEncodingISOLatin2, "ISO-8859-2", "ISO-8859-2",
     "iso_8859-2 iso_8859-2:1987 iso8859-2 iso-ir-101 latin2 l2 csisolatin2"},
    {kCFStringEncodingISOLatin3, "ISO-8859-3", "ISO-8859-3",
     "iso_8859-3 iso_8859-3:1988 iso8859-3 iso-ir-109 latin3 l3 csisolatin3"},
    {kCFStringEncodingISOLatin4, "ISO-8859-4", "ISO-8859-4",
     "iso_8859-4 iso_8859-4:1988 iso8859-4 iso-ir-110 latin4 l4 csisolatin4"},
    {kCFStringEncodingISOLatinCyrillic, "ISO-8859-5", "ISO-8859-5",
     "iso_8859-5 iso_8859-5:1988 iso8859-5 iso-ir-144 cyrillic csisolatincyrillic"},
    {kCFStringEncodingISOLatinArabic, "ISO-8859-6", "ISO-8859-6",
     "iso_8859-6 iso_8859-6:1987 iso8859-6 iso-ir-127 ecma-114 asmo-708 arabic csisolatinarabic"},
    {kCFStringEncodingISOLatinGreek, "ISO-8859-7", "ISO-8859-7",
     "iso_8859-7 iso_8859-7:1987 iso8859-7 iso-ir-126 elot_928 ecma-118 greek greek8 csisolatingreek"},
    {kCFStringEncodingISOLatinHebrew, "ISO-8859-8", "ISO-8859-8",
     "iso_8859-8 iso_8859-8:1988 iso8859-8 iso-ir-138 hebrew csisolatinhebrew iso-8859-8-i iso-8859-8-e"},
    {kCFStringEncodingISOLatin5, "ISO-8859-9", "ISO-8859-9",
     "iso_8859-9 iso_8859-9:1989 iso8859-9 iso-ir-148 latin5 l5 csisolatin5"},
    {kCFStringEncodingISOLatin6, "ISO-8859-10", "ISO-8859-10",
     "iso_8859-10 iso_8859-10:1992 iso8859-10 iso-ir-157 latin6 l6 csisolatin6"},
    {kCFStringEncodingISOLatinThai, "ISO-8859-11", "ISO-8859-11", "iso_8859-11 iso8859-11"},
    {kCFStringEncodingISOLatin7, "ISO-8859-13", "ISO-8859-13", "iso_8859-13 iso8859-13 latin7 l7 csiso885913"},
    {kCFStringEncodingISOLatin8, "ISO-8859-14", "ISO-8859-14",
     "iso_8859-14 iso_8859-14:1998 iso8859-14 iso-ir-199 latin8 l8 iso-celtic csiso885914"},
    {kCFStringEncodingISOLatin9, "ISO-8859-15", "ISO-8859-15",
     "iso_8859-15 iso8859-15 latin-9 latin9 csiso885915"},
    {kCFStringEncodingISOLatin10, "ISO-8859-16", "ISO-8859-16",
     "iso_8859-16 iso_8859-16:2001 iso8859-16 iso-ir-226 latin10 l10 csiso885916"},
    {kCFStringEncodingWindowsLatin2, "windows-1250", "WINDOWS-1250", "cp1250 x-cp1250 cswindows1250"},
    {kCFStringEncodingWindowsCyrillic, "windows-1251", "WINDOWS-1251", "cp1251 x-cp1251 cswindows1251"},
    {kCFStringEncodingWindowsLatin1, "windows-1252", "WINDOWS-1252", "cp1252 x-cp1252 cswindows1252"},
    {kCFStringEncodingWindowsGreek, "windows-1253", "WINDOWS-1253", "cp1253 x-cp1253 cswindows1253"},
    {kCFStringEncodingWindowsLatin5, "windows-1254", "WINDOWS-1254", "cp1254 x-cp1254 cswindows1254"},
    {kCFStringEncodingWindowsHebrew, "windows-1255", "WINDOWS-1255", "cp1255 x-cp1255 cswindows1255"},
    {kCFStringEncodingWindowsArabic, "windows-1256", "WINDOWS-1256", "cp1256 x-cp1256 cswindows1256"},
    {kCFStringEncodingWindowsBalticRim, "windows-1257", "WINDOWS-1257", "cp1257 x-cp1257 cswindows1257"},
    {kCFStringEncodingWindowsVietnamese, "windows-1258", "WINDOWS-1258", "cp1258 x-cp1258 cswindows1258"},
    {kCFStringEncodingDOSThai, "windows-874", "CP874", "cp874 tis-620 cstis620 dos-874"},
    {kCFStringEncodingDOSRussian, "IBM866", "CP866", "cp866 866 csibm866"},
    {kCFStringEncodingKOI8_R, "KOI8-R", "KOI8-R", "koi8r koi8 koi cskoi8r"},
    {kCFStringEncodingKOI8_U, "KOI8-U", "KOI8-U", "koi8u koi8-ru"},
    {kCFStringEncodingShiftJIS, "Shift_JIS", "SHIFT_JIS", "shift-jis sjis x-sjis ms_kanji csshiftjis"},
    {kCFStringEncodingDOSJapanese, "windows-31j", "CP932", "cp932 ms932 cswindows31j"},
    {kCFStringEncodingEUC_JP, "EUC-JP", "EUC-JP",
     "eucjp x-euc-jp cseucpkdfmtjapanese extended_unix_code_packed_format_for_japanese"},
    {kCFStringEncodingISO_2022_JP, "ISO-2022-JP", "ISO-2022-JP", "csiso2022jp jis"},
    {kCFStringEncodingISO_2022_JP_2, "ISO-2022-JP-2", "ISO-2022-JP-2", "csiso2022jp2"},
    {kCFStringEncodingEUC_CN, "GB2312", "GB2312",
     "gb_2312-80 gb_2312 euc-cn x-euc-cn csgb2312 chinese iso-ir-58 csiso58gb231280"},
    {kCFStringEncodingGBK_95, "GBK", "GBK", "cp936 ms936 windows-936 x-gbk"},
    {kCFStringEncodingGB_18030_2000, "GB18030", "GB18030", "gb-18030 csgb18030"},
    {kCFStringEncodingISO_2022_CN, "ISO-2022-CN", "ISO-2022-CN", "csiso2022cn"},
    {kCFStringEncodingBig5, "Big5", "BIG5", "big-5 csbig5 cn-big5 x-x-big5 cp950"},
    {kCFStringEncodingBig5_HKSCS_1999, "Big5-HKSCS", "BIG5-HKSCS", "big5hkscs"},
    {kCFStringEncodingEUC_TW, "EUC-TW", "EUC-TW", "euctw x-euc-tw"},
    {kCFStringEncodingEUC_KR, "EUC-KR", "EUC-KR", "euckr cseuckr x-euc-kr"},
    {kCFStringEncodingDOSKorean, "windows-949", "CP949",
     "cp949 uhc ks_c_5601-1987 ks_c_5601-1989 ksc_5601 ksc5601 korean iso-ir-149 csksc56011987"},
    {kCFStringEncodingISO_2022_KR, "ISO-2022-KR", "ISO-2022-KR", "csiso2022kr"},
    {kCFStringEncodingVISCII, "VISCII", "VISCII", "csviscii"},
    {kCFStringEncodingMacRoman, "macintosh", "MACINTOSH", "mac macroman x-mac-roman csmacintosh"},
    {kCFStringEncodingMacJapanese, "x-mac-japanese", "CP932", "macjapanese"},
    {kCFStringEncodingMacCyrillic, "x-mac-cyrillic", "MAC-CYRILLIC", "maccyrillic"},
    {kCFStringEncodingMacUkrainian, "x-mac-ukrainian", "MACUKRAINIAN", "macukrainian"},
    {kCFStringEncodingMacCentralEurRoman, "x-mac-ce", "MAC-CENTRALEUROPE", "x-mac-centraleurroman maccentraleurope"},
    {kCFStringEncodingMacIcelandic, "x-mac-icelandic", "MAC-IS", "macicelandic"},
};

// The Unicode forms share one base (the low 16 bits, versions 0x100 to 0x106).
constexpr CFStringEncoding kUnicodeBaseMask = 0xFFFF;
constexpr CFStringEncoding kFirstUnicodeBase = 0x0100;
constexpr CFStringEncoding kLastUnicodeBase = 0x0106;

static bool IsUnicodeEncoding(CFStringEncoding encoding)
{
    CFStringEncoding base = encoding & kUnicodeBaseMask;
    return base >= kFirstUnicodeBase && base <= kLastUnicodeBase;
}

static char FoldASCII(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

static bool EqualIgnoringASCIICase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldASCII(x) == FoldASCII(y); });
}

static std::string_view TrimWhiteSpace(std::string_view text)
{
    constexpr std::string_view kWhiteSpace = " \t\r\n\f\v";
    size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

static bool HasAlias(std::string_view aliases, std::string_view name)
{
    while (!aliases.empty()) {
        size_t end = aliases.find(' ');
        if (EqualIgnoringASCIICase(aliases.substr(0, end), name))
            return true;
        if (end == std::string_view::npos)
            break;
        aliases.remove_prefix(end + 1);
    }
    return false;
}

static const EncodingEntry* FindEntryByName(std::string_view name)
{
    name = TrimWhiteSpace(name);
    if (name.empty() || name.size() > kMaxEncodingNameBytes)
        return nullptr;
    for (const EncodingEntry& entry : kEncodingTable) {
        if (EqualIgnoringASCIICase(entry.internetName, name) || HasAlias(entry.aliases, name))
            return &entry;
    }
    return nullptr;
}

static const EncodingEntry* FindEntryByEncoding(CFStringEncoding encoding)
{
    for (const EncodingEntry& entry : kEncodingTable) {
        if (entry.encoding == encoding)
            return &entry;
    }
    return nullptr;
}

/* ---- Names and numbers ---- */

OSStatus CFStringEncodingFromInternetName(std::string_view name, CFStringEncoding& encoding)
{
    if (name.empty() || name.size() > kMaxEncodingNameBytes)
        return kParamErr;
    const EncodingEntry* entry = FindEntryByName(name);
    if (entry == nullptr)
        return kUnsupportedEncodingErr;
    encoding = IsUnicodeEncoding(entry->encoding) ? kCFStringEncodingUTF8 : entry->encoding;
    return kNoErr;
}

std::optional<std::string_view> GetIconvNameFromInternetName(std::string_view name)
{
    const EncodingEntry* entry = FindEntryByName(name);
    if (entry == nullptr)
        return std::nullopt;
    return entry->iconvName;
}

std::optional<std::string_view> GetIconvNameFromEncoding(CFStringEncoding encoding)
{
    const EncodingEntry* entry = FindEntryByEncoding(encoding);
    if (entry == nullptr)
        return std::nullopt;
    return entry->iconvName;
}

std::optional<std::string_view> GetInternetNameFromEncoding(CFStringEncoding encoding)
{
    const EncodingEntry* entry = FindEntryByEncoding(encoding);
    if (entry == nullptr)
        return std::nullopt;
    return entry->internetName;
}

/* ---- Conversion ---- */

// Owns one iconv conversion handle.
class IconvHandle {
public:
    IconvHandle(const std::string& to, const std::string& from) : fHandle(iconv_open(to.c_str(), from.c_str())) {}
    ~IconvHandle()
    {
        if (IsValid())
            iconv_close(fHandle);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool IsValid() const { return fHandle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return fHandle; }

private:
    iconv_t fHandle;
};

constexpr size_t kConversionSlackBytes = 16;
constexpr size_t kConversionGrowthFactor = 2;
constexpr size_t kIconvFailure = size_t(-1);

// Runs one iconv step (input, or the final flush when `input` is null) into
// `output`, growing it as needed. False on invalid or incomplete input.
static bool RunIconv(iconv_t handle, char** input, size_t* inputLeft, std::string& output, size_t& used)
{
    for (;;) {
        char* out = output.data() + used;
        size_t outLeft = output.size() - used;
        size_t result = iconv(handle, input, inputLeft, &out, &outLeft);
        used = output.size() - outLeft;
        if (result != kIconvFailure)
            return true;
        if (errno != E2BIG)
            return false;
        output.resize(output.size() * kConversionGrowthFactor + kConversionSlackBytes);
    }
}

std::optional<std::string> ConvertEncoding(std::string_view bytes, std::string_view fromIconvName,
                                           std::string_view toIconvName)
{
    if (fromIconvName.empty() || toIconvName.empty())
        return std::nullopt;
    IconvHandle handle{std::string(toIconvName), std::string(fromIconvName)};
    if (!handle.IsValid()) {
        LogFailure("Cannot convert from %.*s to %.*s", int(fromIconvName.size()), fromIconvName.data(),
                   int(toIconvName.size()), toIconvName.data());
        return std::nullopt;
    }
    try {
        std::string output(bytes.size() * kConversionGrowthFactor + kConversionSlackBytes, '\0');
        size_t used = 0;
        std::string input(bytes);
        char* in = input.data();
        size_t inLeft = input.size();
        if (!RunIconv(handle.Get(), &in, &inLeft, output, used) ||
            !RunIconv(handle.Get(), nullptr, nullptr, output, used))
            return std::nullopt;
        output.resize(used);
        return output;
    } catch (const std::bad_alloc&) {
        LogFailure("Out of memory converting %zu bytes", bytes.size());
        return std::nullopt;
    }
}
