// Character-reference decoding for byte texts (in place, bounded by the
// buffer's capacity) and for UTF-8 strings, with the named-entity tables.
// What counts as a reference is decided once, in ReadReference, for both
// byte decoders.
#include "feeds/References.h"

#include "feeds/ByteScan.h"
#include "feeds/UTF8.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

/* ---- Tables ---- */

extern const std::array<HTMLSpecialRow, kHTMLSpecialRows> HTMLSpecial;
constexpr std::array<HTMLSpecialRow, kHTMLSpecialRows> HTMLSpecial = {{
    {0x20, "nbsp;"}, {0x22, "quot;"}, {0x26, "amp;"}, {0x27, "rsquo;"}, {0x3C, "lt;"}, {0x3E, "gt;"},
    {0x27, "apos;"},
    {0xA1, "iexcl;"}, {0xA2, "cent;"}, {0xA3, "pound;"}, {0xA4, "curren;"}, {0xA5, "yen;"},
    {0xA6, "brvbar;"}, {0xA8, "uml;"}, {0xA9, "copy;"}, {0xAA, "ordf;"}, {0xAB, "laquo;"},
    {0xAC, "not;"}, {0xAD, "shy;"}, {0xAE, "reg;"}, {0xAF, "macr;"}, {0xB0, "deg;"},
    {0xB1, "plusmn;"}, {0xB2, "sup2;"}, {0xB3, "sup3;"}, {0xB4, "acute;"}, {0xB5, "micro;"},
    {0xB6, "para;"}, {0xB7, "middot;"}, {0xB8, "cedil;"}, {0xB9, "sup1;"}, {0xBA, "ordm;"},
    {0xBB, "raquo;"}, {0xBC, "frac14;"}, {0xBD, "frac12;"}, {0xBE, "frac34;"}, {0xBF, "iquest;"},
    {0xC0, "Agrave;"}, {0xC1, "Aacute;"}, {0xC2, "Acirc;"}, {0xC3, "Atilde;"}, {0xC4, "Auml;"},
    {0xC5, "Aring;"}, {0xC6, "AElig;"}, {0xC7, "Ccedil;"}, {0xC8, "Egrave;"}, {0xC9, "Eacute;"},
    {0xCA, "Ecirc;"}, {0xCB, "Euml;"}, {0xCC, "Igrave;"}, {0xCD, "Iacute;"}, {0xCE, "Icirc;"},
    {0xCF, "Iuml;"}, {0xD0, "ETH;"}, {0xD1, "Ntilde;"}, {0xD2, "Ograve;"}, {0xD3, "Oacute;"},
    {0xD4, "Ocirc;"}, {0xD5, "Otilde;"}, {0xD6, "Ouml;"}, {0xD7, "times;"}, {0xD8, "Oslash;"},
    {0xD9, "Ugrave;"}, {0xDA, "Uacute;"}, {0xDB, "Ucirc;"}, {0xDC, "Uuml;"}, {0xDD, "Yacute;"},
    {0xDE, "THORN;"}, {0xDF, "szlig;"}, {0xE0, "agrave;"}, {0xE1, "aacute;"}, {0xE2, "acirc;"},
    {0xE3, "atilde;"}, {0xE4, "auml;"}, {0xE5, "aring;"}, {0xE6, "aelig;"}, {0xE7, "ccedil;"},
    {0xE8, "egrave;"}, {0xE9, "eacute;"}, {0xEA, "ecirc;"}, {0xEB, "euml;"}, {0xEC, "igrave;"},
    {0xED, "iacute;"}, {0xEE, "icirc;"}, {0xEF, "iuml;"}, {0xF0, "eth;"}, {0xF1, "ntilde;"},
    {0xF2, "ograve;"}, {0xF3, "oacute;"}, {0xF4, "ocirc;"}, {0xF5, "otilde;"}, {0xF6, "ouml;"},
    {0xF7, "divide;"}, {0xF8, "oslash;"}, {0xF9, "ugrave;"}, {0xFA, "uacute;"}, {0xFB, "ucirc;"},
    {0xFC, "uuml;"}, {0xFD, "yacute;"}, {0xFE, "thorn;"}, {0xFF, "yuml;"},
    {0x00, ""},
}};

// A named character reference:
//   name       the entity name without "&" and ";"
//   codePoint  the Unicode character it stands for
struct NamedCharacter {
    std::string_view name;
    uint32_t codePoint;
};

// The HTML 4 names that HTMLSpecial lacks: "sect", the symbols and Greek
// letters, and the special characters beyond Latin-1. Names HTMLSpecial
// has ("rsquo" among them) are left out, so its rows keep their values.
constexpr NamedCharacter kOtherHTMLNames[] = {
    {"sect", 167},
    {"OElig", 338}, {"oelig", 339}, {"Scaron", 352}, {"scaron", 353}, {"Yuml", 376}, {"fnof", 402},
    {"circ", 710}, {"tilde", 732},
    {"Alpha", 913}, {"Beta", 914}, {"Gamma", 915}, {"Delta", 916}, {"Epsilon", 917}, {"Zeta", 918},
    {"Eta", 919}, {"Theta", 920}, {"Iota", 921}, {"Kappa", 922}, {"Lambda", 923}, {"Mu", 924},
    {"Nu", 925}, {"Xi", 926}, {"Omicron", 927}, {"Pi", 928}, {"Rho", 929}, {"Sigma", 931},
    {"Tau", 932}, {"Upsilon", 933}, {"Phi", 934}, {"Chi", 935}, {"Psi", 936}, {"Omega", 937},
    {"alpha", 945}, {"beta", 946}, {"gamma", 947}, {"delta", 948}, {"epsilon", 949}, {"zeta", 950},
    {"eta", 951}, {"theta", 952}, {"iota", 953}, {"kappa", 954}, {"lambda", 955}, {"mu", 956},
    {"nu", 957}, {"xi", 958}, {"omicron", 959}, {"pi", 960}, {"rho", 961}, {"sigmaf", 962},
    {"sigma", 963}, {"tau", 964}, {"upsilon", 965}, {"phi", 966}, {"chi", 967}, {"psi", 968},
    {"omega", 969}, {"thetasym", 977}, {"upsih", 978}, {"piv", 982},
    {"ensp", 8194}, {"emsp", 8195}, {"thinsp", 8201}, {"zwnj", 8204}, {"zwj", 8205}, {"lrm", 8206},
    {"rlm", 8207}, {"ndash", 8211}, {"mdash", 8212}, {"lsquo", 8216}, {"sbquo", 8218},
    {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222}, {"dagger", 8224}, {"Dagger", 8225},
    {"bull", 8226}, {"hellip", 8230}, {"permil", 8240}, {"prime", 8242}, {"Prime", 8243},
    {"lsaquo", 8249}, {"rsaquo", 8250}, {"oline", 8254}, {"frasl", 8260}, {"euro", 8364},
    {"image", 8465}, {"weierp", 8472}, {"real", 8476}, {"trade", 8482}, {"alefsym", 8501},
    {"larr", 8592}, {"uarr", 8593}, {"rarr", 8594}, {"darr", 8595}, {"harr", 8596}, {"crarr", 8629},
    {"lArr", 8656}, {"uArr", 8657}, {"rArr", 8658}, {"dArr", 8659}, {"hArr", 8660},
    {"forall", 8704}, {"part", 8706}, {"exist", 8707}, {"empty", 8709}, {"nabla", 8711},
    {"isin", 8712}, {"notin", 8713}, {"ni", 8715}, {"prod", 8719}, {"sum", 8721}, {"minus", 8722},
    {"lowast", 8727}, {"radic", 8730}, {"prop", 8733}, {"infin", 8734}, {"ang", 8736}, {"and", 8743},
    {"or", 8744}, {"cap", 8745}, {"cup", 8746}, {"int", 8747}, {"there4", 8756}, {"sim", 8764},
    {"cong", 8773}, {"asymp", 8776}, {"ne", 8800}, {"equiv", 8801}, {"le", 8804}, {"ge", 8805},
    {"sub", 8834}, {"sup", 8835}, {"nsub", 8836}, {"sube", 8838}, {"supe", 8839}, {"oplus", 8853},
    {"otimes", 8855}, {"perp", 8869}, {"sdot", 8901}, {"lceil", 8968}, {"rceil", 8969},
    {"lfloor", 8970}, {"rfloor", 8971}, {"lang", 9001}, {"rang", 9002}, {"loz", 9674},
    {"spades", 9824}, {"clubs", 9827}, {"hearts", 9829}, {"diams", 9830},
};

constexpr size_t kOtherHTMLNameCount = std::size(kOtherHTMLNames);
constexpr size_t kNamedCharacterCount = kHTMLSpecialRows - 1 + kOtherHTMLNameCount;

// Every name the decoders know, sorted by name for a binary search. The
// names are disjoint, so the order of HTMLSpecial decides nothing here.
constexpr auto kNamedCharacters = [] {
    std::array<NamedCharacter, kNamedCharacterCount> all{};
    size_t count = 0;
    for (const HTMLSpecialRow& row : HTMLSpecial) {
        std::string_view symbol(row.symbol);
        if (symbol.empty())
            break;
        all[count++] = {symbol.substr(0, symbol.size() - 1), row.value};
    }
    for (const NamedCharacter& other : kOtherHTMLNames)
        all[count++] = other;
    std::sort(all.begin(), all.end(),
              [](const NamedCharacter& a, const NamedCharacter& b) { return a.name < b.name; });
    return all;
}();

static_assert(std::adjacent_find(kNamedCharacters.begin(), kNamedCharacters.end(),
                                 [](const NamedCharacter& a, const NamedCharacter& b) {
                                     return a.name == b.name;
                                 }) == kNamedCharacters.end(),
              "a name may stand for one character only");

// The longest entity name known, "thetasym".
constexpr size_t kMaxEntityNameBytes = 8;
constexpr unsigned kBitsPerByte = 8;

static_assert(std::all_of(kNamedCharacters.begin(), kNamedCharacters.end(),
                          [](const NamedCharacter& entry) { return entry.name.size() <= kMaxEntityNameBytes; }),
              "every name fits the lookup's key");

constexpr uint32_t kFirstPrintableCode = 32;
constexpr uint32_t kLastASCIICode = 127;
constexpr uint32_t kLastLatin1Code = 255;
constexpr uint32_t kBeyondUnicode = 0x110000;
constexpr uint32_t kFirstSurrogate = 0xD800;
constexpr uint32_t kLastSurrogate = 0xDFFF;
constexpr int kDecimalBase = 10;
constexpr int kHexadecimalBase = 16;

/* ---- The named-entity lookup ---- */

uint8_t HTMLSpecialChar(std::string_view name, size_t& length)
{
    for (const HTMLSpecialRow& row : HTMLSpecial) {
        std::string_view symbol(row.symbol);
        if (symbol.empty())
            break;
        if (name.substr(0, symbol.size()) == symbol) {
            length = symbol.size();
            return row.value;
        }
    }
    return 0;
}

static bool IsEntityNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A name of at most kMaxEntityNameBytes packed into one number, its first
// byte highest and zeros after its end. Names hold no NUL byte, so the
// numbers sort as the names do and one comparison replaces a string's.
static constexpr uint64_t PackEntityName(std::string_view name)
{
    uint64_t key = 0;
    for (size_t i = 0; i < kMaxEntityNameBytes; ++i)
        key = (key << kBitsPerByte) | (i < name.size() ? uint8_t(name[i]) : 0u);
    return key;
}

// The packed names of kNamedCharacters, in its order.
constexpr auto kNamedCharacterKeys = [] {
    std::array<uint64_t, kNamedCharacterCount> keys{};
    for (size_t i = 0; i < kNamedCharacterCount; ++i)
        keys[i] = PackEntityName(kNamedCharacters[i].name);
    return keys;
}();

static_assert(std::is_sorted(kNamedCharacterKeys.begin(), kNamedCharacterKeys.end()), "packed names keep the order");
static_assert(std::adjacent_find(kNamedCharacterKeys.begin(), kNamedCharacterKeys.end()) == kNamedCharacterKeys.end(),
              "packed names stay distinct");

static constexpr std::optional<uint32_t> FindNamedCharacter(std::string_view name)
{
    if (name.empty() || name.size() > kMaxEntityNameBytes)
        return std::nullopt;
    const uint64_t key = PackEntityName(name);
    const auto found = std::lower_bound(kNamedCharacterKeys.begin(), kNamedCharacterKeys.end(), key);
    if (found == kNamedCharacterKeys.end() || *found != key)
        return std::nullopt;
    return kNamedCharacters[size_t(found - kNamedCharacterKeys.begin())].codePoint;
}

/* ---- Reading one reference ---- */

// A reference read at an "&": how many input bytes it spans and the
// character it names. `named` tells "&name;" from "&#...".
struct Reference {
    size_t length = 0;
    uint32_t codePoint = 0;
    bool named = false;
};

static int DigitValue(char c, int base)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (base == kHexadecimalBase && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (base == kHexadecimalBase && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads digits of `base` from `p`, saturating at kBeyondUnicode; returns how
// many digits were read.
static size_t ReadNumber(const char* p, const char* end, int base, uint32_t& value)
{
    const char* start = p;
    uint64_t number = 0;
    for (int digit; p < end && (digit = DigitValue(*p, base)) >= 0; ++p)
        number = std::min<uint64_t>(number * uint64_t(base) + uint64_t(digit), kBeyondUnicode);
    value = uint32_t(number);
    return size_t(p - start);
}

// "&#123;" or "&#x7B;" at `p`, the ";" optional. Null when no digit follows.
static std::optional<Reference> ReadNumericReference(const char* p, const char* end)
{
    const char* digits = p + 2;
    int base = kDecimalBase;
    if (digits < end && (*digits == 'x' || *digits == 'X')) {
        base = kHexadecimalBase;
        ++digits;
    }
    Reference reference;
    size_t count = ReadNumber(digits, end, base, reference.codePoint);
    if (count == 0)
        return std::nullopt;
    const char* after = digits + count;
    if (after < end && *after == ';')
        ++after;
    reference.length = size_t(after - p);
    return reference;
}

// "&name;" at `p` for a name the tables know.
static std::optional<Reference> ReadNamedReference(const char* p, const char* end)
{
    const char* name = p + 1;
    const char* q = name;
    while (q < end && size_t(q - name) <= kMaxEntityNameBytes && IsEntityNameChar(*q))
        ++q;
    if (q == name || q >= end || *q != ';')
        return std::nullopt;
    std::optional<uint32_t> codePoint = FindNamedCharacter(std::string_view(name, size_t(q - name)));
    if (!codePoint)
        return std::nullopt;
    return Reference{size_t(q + 1 - p), *codePoint, true};
}

// The names feeds write far more than any other, read without scanning the
// name or searching the table:
//   symbol     the name and its ";", after the "&"
//   codePoint  the character, the same as the table's
struct CommonReference {
    std::string_view symbol;
    uint32_t codePoint;
};

constexpr CommonReference kCommonReferences[] = {
    {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''},
};

static_assert(std::all_of(std::begin(kCommonReferences), std::end(kCommonReferences),
                          [](const CommonReference& common) {
                              const std::string_view name = common.symbol.substr(0, common.symbol.size() - 1);
                              return common.symbol.ends_with(';') && FindNamedCharacter(name) == common.codePoint;
                          }),
              "a common name reads as the table reads it");

// Whether `symbol` is at `p`, byte by byte: symbols are a few bytes long and
// most differ from the text early, where a call to memcmp would cost more
// than the comparison.
static bool IsSymbolAt(const char* p, const char* end, std::string_view symbol)
{
    if (size_t(end - p) < symbol.size())
        return false;
    for (size_t i = 0; i < symbol.size(); ++i) {
        if (p[i] != symbol[i])
            return false;
    }
    return true;
}

// One of kCommonReferences at `p`. A whole symbol, ";" included, is what
// ReadNamedReference would have read there, so the two agree.
static std::optional<Reference> ReadCommonReference(const char* p, const char* end)
{
    const char* name = p + 1;
    for (const CommonReference& common : kCommonReferences) {
        if (IsSymbolAt(name, end, common.symbol))
            return Reference{1 + common.symbol.size(), common.codePoint, true};
    }
    return std::nullopt;
}

static std::optional<Reference> ReadReference(const char* p, const char* end)
{
    if (end - p >= 2 && p[1] == '#')
        return ReadNumericReference(p, end);
    if (std::optional<Reference> common = ReadCommonReference(p, end))
        return common;
    return ReadNamedReference(p, end);
}

static bool IsUnicodeCharacter(uint32_t codePoint)
{
    return codePoint != 0 && codePoint < kBeyondUnicode &&
           (codePoint < kFirstSurrogate || codePoint > kLastSurrogate);
}

/* ---- Finding references ---- */

constexpr ptrdiff_t kNearBytes = 16;

// The next "&" in [p, end), or end. In escaped HTML one reference follows
// another within a few bytes ("&lt;p&gt;"), where a call to memchr costs more
// than its scan: the next sixteen bytes are tested here, and only a longer
// run of text is left to memchr.
static const char* FindAmpersand(const char* p, const char* end)
{
#if defined(__SSE2__)
    if (end - p >= kNearBytes) {
        const __m128i near = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(near, _mm_set1_epi8('&'))));
        if (mask != 0)
            return p + __builtin_ctz(mask);
        p += kNearBytes;
    }
#endif
    return bytescan::FindByte(p, end, '&');
}

// The next "&" in [p, end) that `second` or `otherSecond` follows, or end.
// A rewrite whose patterns all begin so can apply nowhere else, and the "&"
// bytes before other letters (most, in decoded text) are passed over sixteen
// places at a time instead of one search call each.
static const char* FindAmpersandBefore(const char* p, const char* end, char second, char otherSecond)
{
#if defined(__SSE2__)
    const __m128i ampersand = _mm_set1_epi8('&');
    const __m128i seconds = _mm_set1_epi8(second);
    const __m128i otherSeconds = _mm_set1_epi8(otherSecond);
    // Each round reads the byte after its sixteen too.
    for (; end - p > kNearBytes; p += kNearBytes) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i following = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const __m128i followed = _mm_or_si128(_mm_cmpeq_epi8(following, seconds), _mm_cmpeq_epi8(following, otherSeconds));
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(chunk, ampersand), followed)));
        if (mask != 0)
            return p + __builtin_ctz(mask);
    }
#endif
    for (; end - p >= 2; ++p) {
        if (p[0] == '&' && (p[1] == second || p[1] == otherSecond))
            return p;
    }
    return end;
}

// Copies [in, end) up to its next "&" to `out`, which must not overlap it,
// and returns where the copy stopped; `out` moves past what was copied. The
// text between references is mostly a few words, so it is copied and
// searched in one pass of sixteen bytes at a time, without a call for
// either, while the input and the room up to `limit` hold sixteen more; a
// round may write bytes past the copied text, inside the room, which the
// text's end leaves out or the next write covers.
static const char* CopyToAmpersand(const char* in, const char* end, char*& out, const char* limit)
{
#if defined(__SSE2__)
    const __m128i ampersand = _mm_set1_epi8('&');
    while (end - in >= kNearBytes && limit - out >= kNearBytes) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chunk);
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, ampersand)));
        if (mask != 0) {
            const unsigned copied = unsigned(__builtin_ctz(mask));
            out += copied;
            return in + copied;
        }
        in += kNearBytes;
        out += kNearBytes;
    }
#endif
    const char* amp = FindAmpersand(in, end);
    std::memcpy(out, in, size_t(amp - in));
    out += amp - in;
    return amp;
}

/* ---- Byte-text decoding ---- */

enum class TextKind { kBytes, kUTF8 };

// Longest replacement written: "&#" + four digits + ";" (HTML 4 names stop
// at U+2666), or one UTF-8 character.
constexpr size_t kMaxReplacementBytes = 8;

struct Replacement {
    char bytes[kMaxReplacementBytes];
    size_t length = 0;
};

static Replacement MakeByte(uint32_t code)
{
    Replacement replacement;
    replacement.bytes[0] = char(code);
    replacement.length = 1;
    return replacement;
}

static Replacement MakeNumericReference(uint32_t codePoint)
{
    Replacement replacement;
    char digits[kMaxReplacementBytes];
    size_t count = 0;
    do {
        digits[count++] = char('0' + codePoint % kDecimalBase);
        codePoint /= kDecimalBase;
    } while (codePoint != 0 && count < kMaxReplacementBytes - 3);
    replacement.bytes[replacement.length++] = '&';
    replacement.bytes[replacement.length++] = '#';
    while (count > 0)
        replacement.bytes[replacement.length++] = digits[--count];
    replacement.bytes[replacement.length++] = ';';
    return replacement;
}

static Replacement MakeUTF8(uint32_t codePoint)
{
    Replacement replacement;
    replacement.length = utf8::Encode(codePoint, replacement.bytes);
    return replacement;
}

static uint32_t LastByteCode(TextKind kind)
{
    switch (kind) {
    case TextKind::kBytes:
        return kLastLatin1Code;
    case TextKind::kUTF8:
        return kLastASCIICode;
    }
    return kLastASCIICode;
}

// Whether the reference becomes the one byte of its code: a printable
// numeric one or a name, up to the kind's last byte.
static bool IsOneByteReplacement(const Reference& reference, TextKind kind)
{
    const uint32_t code = reference.codePoint;
    if (code > LastByteCode(kind))
        return false;
    return reference.named || code >= kFirstPrintableCode;
}

// What a reference becomes, or null when it stays as it is. `fallback`
// receives a form no longer than the reference, for when the first choice
// does not fit.
static std::optional<Replacement> ReplaceReference(const Reference& reference, TextKind kind,
                                                   std::optional<Replacement>& fallback)
{
    const uint32_t code = reference.codePoint;
    if (IsOneByteReplacement(reference, kind))
        return MakeByte(code);
    if (!reference.named)
        return std::nullopt;
    if (kind == TextKind::kUTF8)
        fallback = MakeUTF8(code);
    return MakeNumericReference(code);
}

// Decodes [in, end) into `out`, never past `limit`. Invariant: what is
// written plus what is left to read fits, so copying a byte always fits and
// only a rewrite that grows needs a check.
static char* DecodeReferencesInto(const char* in, const char* end, char* out, const char* limit, TextKind kind)
{
    while (in < end) {
        in = CopyToAmpersand(in, end, out, limit);
        if (in == end)
            break;
        std::optional<Reference> reference = ReadReference(in, end);
        // Most references become one byte, which never grows the text.
        if (reference && IsOneByteReplacement(*reference, kind)) {
            *out++ = char(reference->codePoint);
            in += reference->length;
            continue;
        }
        std::optional<Replacement> fallback;
        std::optional<Replacement> replacement =
            reference ? ReplaceReference(*reference, kind, fallback) : std::nullopt;
        if (!replacement) {
            *out++ = *in++;
            continue;
        }
        const size_t restAfter = size_t(end - in) - reference->length;
        if (replacement->length > reference->length && size_t(limit - out) < replacement->length + restAfter)
            replacement = fallback;
        if (!replacement) {
            *out++ = *in++;
            continue;
        }
        std::memcpy(out, replacement->bytes, replacement->length);
        out += replacement->length;
        in += reference->length;
    }
    return out;
}

static void DecodeReferences(TextBuffer& text, TextKind kind)
{
    char* data = text.data();
    const char* first = bytescan::FindByte(data, data + text.size(), '&');
    if (first == data + text.size())
        return;
    // The text from its first "&" moves to the work buffer and is decoded
    // back, so a rewrite that grows never overwrites unread input.
    char work[kMaxTextBytes];
    const size_t start = size_t(first - data);
    const size_t rest = text.size() - start;
    std::memcpy(work, first, rest);
    char* out = DecodeReferencesInto(work, work + rest, data + start, data + text.capacity(), kind);
    text.SetSize(size_t(out - data));
}

// DecodeReferences on `source` assigned to `text`. A source that must be cut
// to fit is cut first, as Assign cuts it; any other is read where it lies.
static void DecodeReferencesCopy(std::string_view source, TextBuffer& text, TextKind kind)
{
    if (source.size() > text.capacity()) {
        text.Assign(source);
        DecodeReferences(text, kind);
        return;
    }
    char* data = text.data();
    char* out = DecodeReferencesInto(source.data(), source.data() + source.size(), data, data + text.capacity(), kind);
    text.SetSize(size_t(out - data));
}

static TextKind TextKindOf(CFStringEncoding encoding)
{
    return encoding == kCFStringEncodingUTF8 ? TextKind::kUTF8 : TextKind::kBytes;
}

void HTMLDecode(TextBuffer& text)
{
    DecodeReferences(text, TextKind::kBytes);
}

void HTMLDecodeForUTF8(TextBuffer& text)
{
    DecodeReferences(text, TextKind::kUTF8);
}

void HTMLBetterDecode(TextBuffer& text, CFStringEncoding encoding)
{
    DecodeReferences(text, TextKindOf(encoding));
}

void HTMLBetterDecodeCopy(std::string_view source, TextBuffer& text, CFStringEncoding encoding)
{
    DecodeReferencesCopy(source, text, TextKindOf(encoding));
}

/* ---- Small in-place rewrites ---- */

// One exact rewrite at an "&":
//   pattern      the text replaced, beginning with "&"
//   replacement  what it becomes, never longer
struct AmpersandRewrite {
    std::string_view pattern;
    std::string_view replacement;
};

// Applies the first matching rewrite at each "&", in one pass. The patterns
// (one or two, each of two bytes or more) are looked for only where an "&"
// is followed by one of their second bytes.
template <size_t Count>
static void RewriteAtAmpersands(TextBuffer& text, const AmpersandRewrite (&rewrites)[Count])
{
    static_assert(Count == 1 || Count == 2, "the search tells apart two second bytes");
    const char second = rewrites[0].pattern[1];
    const char otherSecond = rewrites[Count - 1].pattern[1];
    char* data = text.data();
    const char* in = data;
    const char* end = data + text.size();
    char* out = data;
    while (in < end) {
        const char* amp = FindAmpersandBefore(in, end, second, otherSecond);
        if (out != in)
            std::memmove(out, in, size_t(amp - in));
        out += amp - in;
        in = amp;
        if (in == end)
            break;
        const AmpersandRewrite* match = nullptr;
        for (const AmpersandRewrite& rewrite : rewrites) {
            if (IsSymbolAt(in, end, rewrite.pattern)) {
                match = &rewrite;
                break;
            }
        }
        if (!match) {
            *out++ = *in++;
            continue;
        }
        std::memcpy(out, match->replacement.data(), match->replacement.size());
        out += match->replacement.size();
        in += match->pattern.size();
    }
    text.SetSize(size_t(out - data));
}

void HTMLMultiAmpDecode(TextBuffer& text)
{
    static constexpr AmpersandRewrite kRewrites[] = {{"&amp;#", "&#"}};
    RewriteAtAmpersands(text, kRewrites);
}

void HTMLMinimumDecode(TextBuffer& text)
{
    static constexpr AmpersandRewrite kRewrites[] = {{"&lt;", "<"}, {"&gt;", ">"}};
    RewriteAtAmpersands(text, kRewrites);
}

/* ---- UTF-8 strings ---- */

enum class NumericRange { kPunctuationAndBeyond, kAll };

constexpr uint32_t kFirstCyrillicCode = 1024;
constexpr uint32_t kLastArabicCode = 1791;
constexpr uint32_t kFirstPunctuationCode = 8192;

static bool ShouldResolve(uint32_t codePoint, NumericRange range)
{
    switch (range) {
    case NumericRange::kPunctuationAndBeyond:
        return codePoint >= kFirstPunctuationCode || (codePoint >= kFirstCyrillicCode && codePoint <= kLastArabicCode);
    case NumericRange::kAll:
        return true;
    }
    return false;
}

// In place: a numeric reference is never shorter than the UTF-8 bytes of its
// character ("&#9;" is 4 bytes for 1, "&#65536;" 8 for 4).
static size_t ResolveNumericReferences(char* data, size_t size, NumericRange range)
{
    const char* in = data;
    const char* end = data + size;
    char* out = data;
    while (in < end) {
        // Only "&#" begins a numeric reference; any other "&" is text.
        const char* amp = FindAmpersandBefore(in, end, '#', '#');
        if (out != in)
            std::memmove(out, in, size_t(amp - in));
        out += amp - in;
        in = amp;
        if (in == end)
            break;
        std::optional<Reference> reference;
        if (end - in >= 2 && in[1] == '#')
            reference = ReadNumericReference(in, end);
        if (!reference || !IsUnicodeCharacter(reference->codePoint) || !ShouldResolve(reference->codePoint, range)) {
            *out++ = *in++;
            continue;
        }
        out += utf8::Encode(reference->codePoint, out);
        in += reference->length;
    }
    return size_t(out - data);
}

static void ResolveNumericReferences(std::string& text, NumericRange range)
{
    text.resize(ResolveNumericReferences(text.data(), text.size(), range));
}

std::optional<std::string> CFStringFixHTMLUnicode(std::optional<std::string> text)
{
    if (text)
        ResolveNumericReferences(*text, NumericRange::kPunctuationAndBeyond);
    return text;
}

std::optional<std::string> CFStringFixAllHTMLUnicode(std::optional<std::string> text)
{
    if (text)
        ResolveNumericReferences(*text, NumericRange::kAll);
    return text;
}

void FixAllHTMLUnicode(TextBuffer& text)
{
    text.SetSize(ResolveNumericReferences(text.data(), text.size(), NumericRange::kAll));
}

uint32_t utoi(std::string_view digits)
{
    uint32_t value = 0;
    ReadNumber(digits.data(), digits.data() + digits.size(), kDecimalBase, value);
    return value;
}
