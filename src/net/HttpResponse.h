// Reading an HTTP response header: where it ends (a counter of line ends fed
// byte by byte, so that the body starts exactly after the blank line), how
// long it may be, and the few fields the client uses, and the statuses of a
// request. Pure functions on bytes, shared by the client and the fuzz target.
#pragma once

#include "platform/Status.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The request buffer holds the request text and then the response header.
constexpr size_t kRequestBufferSize = 2048;
// A header's bytes are stored until the 2047th; that byte ends the read, so
// a complete header holds at most 2046 bytes.
constexpr size_t kMaxHeaderBytes = kRequestBufferSize - 2;
// Longest Last-Modified and Content-Type values read (the 128-byte fields).
constexpr size_t kMaxHeaderValueBytes = 127;
// Longest status token read.
constexpr size_t kMaxStatusTokenBytes = 31;

/* ---- Where the header ends ---- */

class HttpHeaderReader {
public:
    enum class Progress {
        NeedMore, // no end yet
        Complete, // the header ended with CR LF CR LF or LF LF
        Overflow, // the 2047th byte was stored first
    };

    // Takes bytes one at a time until the header ends or overflows; returns
    // how many it took. Bytes after the end are left for the body.
    size_t Feed(std::string_view bytes);

    Progress GetProgress() const { return fProgress; }
    // The bytes stored so far (the whole header once Complete).
    std::string_view Header() const { return {fBuffer, fLength}; }

private:
    char fBuffer[kRequestBufferSize] = {};
    size_t fLength = 0;
    // 0 in a line; 1 after CR; 2 after CR LF; 3 after CR LF CR, or after a
    // lone LF; 4 at the end of the header.
    int fLineEnds = 0;
    Progress fProgress = Progress::NeedMore;
};

/* ---- The fields used ---- */

struct HttpResponse {
    int32_t status = 0;      // 0 when the status line has no readable status
    uint32_t date = 0;       // Last-Modified of a 200 answer, seconds since 1904 local; 0 when none
    std::string location;    // redirect target of 301, 302, 303, 307 and 308; empty when none
    std::optional<uint64_t> contentLength; // when the header states a length
};

// Reads "HTTP/<version> <status>" from the first line, and the fields that
// the status calls for. Field names are matched at the start of a line and
// in any case ("Location:", "location:", "LOCATION:"), values with spaces and
// tabs skipped. The redirect target runs up to a space, tab, CR or LF and is
// not cut, so a caller can refuse one that does not fit instead of following
// a shortened address; Last-Modified is read up to the line's end (at most
// 127 bytes) with HttpDateToSecs.
HttpResponse ParseResponse(std::string_view header);

// The media type of the Content-Type field: at most 127 bytes up to a space,
// tab, CR, LF or ";" (parameters such as a charset are dropped); empty when
// the header has none.
std::string ParseContentType(std::string_view header);

// The value of the first field named `name` (without the colon), found at
// the start of a line in any case, with leading spaces and tabs skipped and
// running to the line's end. Null when there is none.
std::optional<std::string_view> FindHeaderField(std::string_view header, std::string_view name);

/* ---- Statuses ---- */

constexpr OSStatus kHttpTimeoutErr = -10;       // a connection state's inactivity limit passed (or the whole transfer's)
constexpr OSStatus kHttpResolveErr = -11;       // the server's host name could not be resolved
constexpr OSStatus kHttpStatusErr = -12;        // any other status, or none readable
constexpr OSStatus kHttpNotModifiedErr = -13;   // 304
constexpr OSStatus kHttpMovedErr = -14;         // 301, 302, 303, 307, 308
constexpr OSStatus kHttpUnavailableErr = -15;   // 503 (conditional GET only)
constexpr OSStatus kHttpCertificateErr = -16;   // the server's certificate or host name did not verify
constexpr OSStatus kHttpSecureChannelErr = -17; // TLS could not be set up for another reason
constexpr OSStatus kHttpClosedErr = -18;        // the peer closed before the header ended, or before the stated length
constexpr OSStatus kHttpTooLargeErr = -19;      // the body passed kMaxBodyBytes
constexpr OSStatus kHttpHeaderOverflowErr = -1; // the header filled the request buffer without ending

// Failures of the connection itself, numbered as the transport always has.
constexpr OSStatus kTransportErr = -3200;          // the connection failed for another reason
constexpr OSStatus kConnectionRefusedErr = -3260;  // nobody listens on the server's port
constexpr OSStatus kHostUnreachableErr = -3264;    // no route to the server

enum class HttpOperation { ConditionalGet, SimpleGet, SimpleCheck };

// What a status means to an operation: 200 success, 304 kHttpNotModifiedErr,
// redirects kHttpMovedErr, 503 kHttpUnavailableErr for the conditional GET,
// anything else kHttpStatusErr.
OSStatus MapResponseStatus(int32_t status, HttpOperation operation);

// True for the statuses that carry a redirect target.
bool IsRedirectStatus(int32_t status);
