// Text encodings: the numbers by which records and stored files name an
// encoding, the IANA names that feeds and pages declare, the glibc iconv names
// that do the converting, and the conversion itself.
#pragma once

#include "platform/Status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Encoding numbers keep their long-published values, so that stored settings
// and peers read the same numbers.
using CFStringEncoding = uint32_t;

constexpr CFStringEncoding kCFStringEncodingMacRoman = 0;
constexpr CFStringEncoding kCFStringEncodingMacJapanese = 1;
constexpr CFStringEncoding kCFStringEncodingMacCyrillic = 7;
constexpr CFStringEncoding kCFStringEncodingMacCentralEurRoman = 29;
constexpr CFStringEncoding kCFStringEncodingMacIcelandic = 37;
constexpr CFStringEncoding kCFStringEncodingMacUkrainian = 0x0098;
constexpr CFStringEncoding kCFStringEncodingUnicode = 0x0100;  // UTF-16 with byte-order mark
constexpr CFStringEncoding kCFStringEncodingUTF16 = kCFStringEncodingUnicode;
constexpr CFStringEncoding kCFStringEncodingISOLatin1 = 0x0201;
constexpr CFStringEncoding kCFStringEncodingISOLatin2 = 0x0202;
constexpr CFStringEncoding kCFStringEncodingISOLatin3 = 0x0203;
constexpr CFStringEncoding kCFStringEncodingISOLatin4 = 0x0204;
constexpr CFStringEncoding kCFStringEncodingISOLatinCyrillic = 0x0205;
constexpr CFStringEncoding kCFStringEncodingISOLatinArabic = 0x0206;
constexpr CFStringEncoding kCFStringEncodingISOLatinGreek = 0x0207;
constexpr CFStringEncoding kCFStringEncodingISOLatinHebrew = 0x0208;
constexpr CFStringEncoding kCFStringEncodingISOLatin5 = 0x0209;
constexpr CFStringEncoding kCFStringEncodingISOLatin6 = 0x020A;
constexpr CFStringEncoding kCFStringEncodingISOLatinThai = 0x020B;
constexpr CFStringEncoding kCFStringEncodingISOLatin7 = 0x020D;
constexpr CFStringEncoding kCFStringEncodingISOLatin8 = 0x020E;
constexpr CFStringEncoding kCFStringEncodingISOLatin9 = 0x020F;
constexpr CFStringEncoding kCFStringEncodingISOLatin10 = 0x0210;
constexpr CFStringEncoding kCFStringEncodingDOSRussian = 0x041B;
constexpr CFStringEncoding kCFStringEncodingDOSThai = 0x041D;
constexpr CFStringEncoding kCFStringEncodingDOSJapanese = 0x0420;
constexpr CFStringEncoding kCFStringEncodingDOSKorean = 0x0422;
constexpr CFStringEncoding kCFStringEncodingWindowsLatin1 = 0x0500;
constexpr CFStringEncoding kCFStringEncodingWindowsLatin2 = 0x0501;
constexpr CFStringEncoding kCFStringEncodingWindowsCyrillic = 0x0502;
constexpr CFStringEncoding kCFStringEncodingWindowsGreek = 0x0503;
constexpr CFStringEncoding kCFStringEncodingWindowsLatin5 = 0x0504;
constexpr CFStringEncoding kCFStringEncodingWindowsHebrew = 0x0505;
constexpr CFStringEncoding kCFStringEncodingWindowsArabic = 0x0506;
constexpr CFStringEncoding kCFStringEncodingWindowsBalticRim = 0x0507;
constexpr CFStringEncoding kCFStringEncodingWindowsVietnamese = 0x0508;
constexpr CFStringEncoding kCFStringEncodingASCII = 0x0600;
constexpr CFStringEncoding kCFStringEncodingGBK_95 = 0x0631;
constexpr CFStringEncoding kCFStringEncodingGB_18030_2000 = 0x0632;
constexpr CFStringEncoding kCFStringEncodingISO_2022_JP = 0x0820;
constexpr CFStringEncoding kCFStringEncodingISO_2022_JP_2 = 0x0821;
constexpr CFStringEncoding kCFStringEncodingISO_2022_CN = 0x0830;
constexpr CFStringEncoding kCFStringEncodingISO_2022_KR = 0x0840;
constexpr CFStringEncoding kCFStringEncodingEUC_JP = 0x0920;
constexpr CFStringEncoding kCFStringEncodingEUC_CN = 0x0930;
constexpr CFStringEncoding kCFStringEncodingEUC_TW = 0x0931;
constexpr CFStringEncoding kCFStringEncodingEUC_KR = 0x0940;
constexpr CFStringEncoding kCFStringEncodingShiftJIS = 0x0A01;
constexpr CFStringEncoding kCFStringEncodingKOI8_R = 0x0A02;
constexpr CFStringEncoding kCFStringEncodingBig5 = 0x0A03;
constexpr CFStringEncoding kCFStringEncodingBig5_HKSCS_1999 = 0x0A06;
constexpr CFStringEncoding kCFStringEncodingVISCII = 0x0A07;
constexpr CFStringEncoding kCFStringEncodingKOI8_U = 0x0A08;
constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;
constexpr CFStringEncoding kCFStringEncodingUTF32 = 0x0C000100;
constexpr CFStringEncoding kCFStringEncodingUTF16BE = 0x10000100;
constexpr CFStringEncoding kCFStringEncodingUTF16LE = 0x14000100;
constexpr CFStringEncoding kCFStringEncodingUTF32BE = 0x18000100;
constexpr CFStringEncoding kCFStringEncodingUTF32LE = 0x1C000100;

// Longest encoding name accepted.
constexpr size_t kMaxEncodingNameBytes = 255;

/* ---- Names and numbers ---- */

// Looks up the IANA character-set name `name` (a preferred name or an alias;
// ASCII case and surrounding white space ignored). On success stores its
// encoding in `encoding`, except that every Unicode form (UTF-16, UTF-32 and
// their byte orders) is stored as kCFStringEncodingUTF8, and returns kNoErr.
// Otherwise `encoding` is left as the caller preset it and the result is
// kUnsupportedEncodingErr for an unknown name, kParamErr for an empty name or
// one longer than 255 bytes. Cost: a scan of a table of about 70 entries.
OSStatus CFStringEncodingFromInternetName(std::string_view name, CFStringEncoding& encoding);

// The glibc iconv name that converts text of `name`'s encoding, keeping the
// Unicode forms apart ("utf-16le" gives "UTF-16LE"), for converting a whole
// document before it is read as UTF-8. Null for an unknown name.
std::optional<std::string_view> GetIconvNameFromInternetName(std::string_view name);

// The glibc iconv name for `encoding`; null when it has none here.
std::optional<std::string_view> GetIconvNameFromEncoding(CFStringEncoding encoding);

// The preferred IANA name for `encoding` ("Shift_JIS" for 0x0A01); null when
// the encoding is not in the table.
std::optional<std::string_view> GetInternetNameFromEncoding(CFStringEncoding encoding);

/* ---- Conversion ---- */

// Converts `bytes` from one iconv encoding to another, strictly: input that is
// not valid in `fromIconvName`, or a character that `toIconvName` cannot hold,
// gives null (append "//TRANSLIT" to the target name to approximate instead).
// Such text is an answer, not a fault, so it is not logged (callers probe
// whether text fits an encoding this way). An unknown encoding name gives
// null and a "# " line; empty input gives an empty string.
// A UTF-16 or UTF-32 target gets a byte-order mark, as iconv writes it.
// Cost: O(n), one iconv handle opened and closed per call.
std::optional<std::string> ConvertEncoding(std::string_view bytes, std::string_view fromIconvName,
                                           std::string_view toIconvName);
