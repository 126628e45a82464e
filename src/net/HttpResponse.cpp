// The response header's end and fields. The end is found by the client's
// line-end counter, which accepts both CR LF CR LF and LF LF; fields are
// looked for only at the start of a line, so "X-Last-Modified:" is never
// taken for "Last-Modified:".
#include "net/HttpResponse.h"

#include "feeds/Dates.h"

#include <algorithm>
#include <cctype>
#include <charconv>

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr std::string_view kStatusLinePrefix = "HTTP/";
constexpr std::string_view kSpacesAndTabs = " \t";
constexpr std::string_view kWhiteSpace = " \t\r\n";

constexpr int32_t kStatusOK = 200;
constexpr int32_t kStatusMovedPermanently = 301;
constexpr int32_t kStatusFound = 302;
constexpr int32_t kStatusSeeOther = 303;
constexpr int32_t kStatusNotModified = 304;
constexpr int32_t kStatusTemporaryRedirect = 307;
constexpr int32_t kStatusPermanentRedirect = 308;
constexpr int32_t kStatusServiceUnavailable = 503;

/* ---- Where the header ends ---- */

// One step of the line-end counter.
static int CountLineEnd(int lineEnds, char byte)
{
    if (byte == kCR)
        return lineEnds == 0 ? 1 : lineEnds == 2 ? 3 : 0;
    if (byte == kLF)
        return lineEnds == 1 ? 2 : lineEnds == 3 ? 4 : lineEnds == 0 ? 3 : 0;
    return 0;
}

size_t HttpHeaderReader::Feed(std::string_view bytes)
{
    size_t taken = 0;
    while (fProgress == Progress::NeedMore && taken < bytes.size()) {
        char byte = bytes[taken++];
        fBuffer[fLength++] = byte;
        if (fLength > kMaxHeaderBytes) {
            fProgress = Progress::Overflow;
            break;
        }
        fLineEnds = CountLineEnd(fLineEnds, byte);
        if (fLineEnds == 4)
            fProgress = Progress::Complete;
    }
    fBuffer[fLength] = '\0';
    return taken;
}

/* ---- Fields ---- */

static bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y));
           });
}

std::optional<std::string_view> FindHeaderField(std::string_view header, std::string_view name)
{
    size_t lineStart = header.find(kLF);
    while (lineStart != std::string_view::npos) {
        ++lineStart;
        std::string_view line = header.substr(lineStart);
        size_t lineEnd = std::min(line.find(kLF), line.size());
        line = line.substr(0, lineEnd);
        if (line.size() > name.size() && line[name.size()] == ':' && EqualsIgnoringCase(line.substr(0, name.size()), name)) {
            std::string_view value = line.substr(name.size() + 1);
            size_t first = value.find_first_not_of(kSpacesAndTabs);
            return first == std::string_view::npos ? std::string_view() : value.substr(first);
        }
        lineStart = header.find(kLF, lineStart);
    }
    return std::nullopt;
}

// The header as text: up to its first NUL, as a server that sends one means it.
static std::string_view HeaderText(std::string_view header)
{
    return header.substr(0, std::min({header.find('\0'), header.size(), kRequestBufferSize - 1}));
}

// The value up to the first of `stops`, at most `limit` bytes.
static std::string_view CutValue(std::string_view value, std::string_view stops, size_t limit)
{
    size_t end = std::min(value.find_first_of(stops), value.size());
    return value.substr(0, std::min(end, limit));
}

static std::string_view NextToken(std::string_view& text)
{
    size_t start = text.find_first_not_of(kWhiteSpace);
    if (start == std::string_view::npos) {
        text = {};
        return {};
    }
    text.remove_prefix(start);
    size_t end = std::min(text.find_first_of(kWhiteSpace), text.size());
    std::string_view token = text.substr(0, end);
    text.remove_prefix(end);
    return token;
}

// "HTTP/1.0 200 OK": the number at the start of the second token; 0 when the
// line does not begin with "HTTP/" or has no number there.
static int32_t ReadStatus(std::string_view header)
{
    if (!header.starts_with(kStatusLinePrefix))
        return 0;
    std::string_view rest = header.substr(kStatusLinePrefix.size());
    if (NextToken(rest).empty())
        return 0;
    std::string_view token = NextToken(rest);
    if (token.size() > kMaxStatusTokenBytes)
        return 0;
    int32_t status = 0;
    auto [next, error] = std::from_chars(token.data(), token.data() + token.size(), status);
    if (error != std::errc() || status < 0)
        return 0;
    return status;
}

static std::optional<uint64_t> ReadContentLength(std::string_view header)
{
    std::optional<std::string_view> value = FindHeaderField(header, "Content-Length");
    if (!value)
        return std::nullopt;
    std::string_view digits = CutValue(*value, " \t\r\n", value->size());
    uint64_t length = 0;
    auto [next, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
    if (error != std::errc() || next != digits.data() + digits.size())
        return std::nullopt;
    return length;
}

HttpResponse ParseResponse(std::string_view header)
{
    HttpResponse response;
    header = HeaderText(header);
    response.status = ReadStatus(header);
    response.contentLength = ReadContentLength(header);
    if (IsRedirectStatus(response.status)) {
        if (std::optional<std::string_view> value = FindHeaderField(header, "Location"))
            response.location = CutValue(*value, " \t\r\n", value->size());
    }
    if (response.status == kStatusOK) {
        if (std::optional<std::string_view> value = FindHeaderField(header, "Last-Modified"))
            response.date = HttpDateToSecs(CutValue(*value, "\r\n", kMaxHeaderValueBytes));
    }
    return response;
}

std::string ParseContentType(std::string_view header)
{
    std::optional<std::string_view> value = FindHeaderField(HeaderText(header), "Content-Type");
    if (!value)
        return {};
    return std::string(CutValue(*value, " \t\r\n;", kMaxHeaderValueBytes));
}

/* ---- Statuses ---- */

bool IsRedirectStatus(int32_t status)
{
    return status == kStatusMovedPermanently || status == kStatusFound || status == kStatusSeeOther ||
           status == kStatusTemporaryRedirect || status == kStatusPermanentRedirect;
}

OSStatus MapResponseStatus(int32_t status, HttpOperation operation)
{
    if (status == kStatusOK)
        return kNoErr;
    if (status == kStatusNotModified)
        return kHttpNotModifiedErr;
    if (IsRedirectStatus(status))
        return kHttpMovedErr;
    if (status == kStatusServiceUnavailable && operation == HttpOperation::ConditionalGet)
        return kHttpUnavailableErr;
    return kHttpStatusErr;
}
