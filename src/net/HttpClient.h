// Varnoke's own HTTP/1.0 client: the conditional GET of the refresh cycle,
// the simple GET of images and the header-only check of site icons, over
// plain TCP for http:// and over verified TLS for https://, directly or
// through the user's HTTP proxy. Every operation is a coroutine awaited from
// a worker task: it gives up the processor while it waits and never blocks
// the event loop, so several requests run at once.
//
//     uint32_t newDate = 0;
//     std::string moved;
//     OSStatus status = co_await HttpConditionalGet(tid, url, cacheDate, cacheFile, newDate, moved);
#pragma once

#include "net/HttpResponse.h"
#include "net/NetAwait.h"
#include "platform/Log.h"
#include "platform/Status.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// The program name in the client's log lines.
constexpr char gApplNameString[] = "Varnoke";

// "Varnoke/<version>", sent as User-Agent with every request.
std::string_view HttpUserAgent();

/* ---- Proxy ---- */

// Reads the system's HTTP proxy ($http_proxy, else $HTTP_PROXY: host[:port],
// with or without "http://") and resolves its host once; also reads
// $no_proxy (names and domain suffixes reached directly, "*" for all). Without
// a setting no proxy is used. On a bad port or a resolver failure it prints
// "# Varnoke cannot setup http proxy <host> [<code>]." and returns the code;
// the proxy then stays unused. Requests that start while the lookup runs wait
// for it. Called at start-up; calling it again reads the setting anew.
NetTask HttpInitProxy();

// Loads the proxy user name and password from the settings (the credentials
// written in the proxy URL when the settings hold none) and keeps their Basic
// form ("user:password" in Base64) for the Proxy-Authorization header; with
// either one empty no credentials are kept. Logs "  Varnoke
// Proxy-Authorization : ..." naming the user, never the password. Called at
// start-up and whenever the user confirms the proxy settings.
OSStatus HttpInitProxyAuth();

/* ---- Requests ---- */
// Each takes an absolute http://, https:// or feed: address; any other gives
// kParamErr. The path sent is "/" when the address has none; a "#fragment"
// is never sent. Results: 0, the codes of net/HttpResponse.h, or a file
// system status for the body's file. Every failure is also logged.

// GET with "If-Modified-Since" (RFC 1123, GMT) when `inDate` (seconds since
// 1904, local) is not 0. On 200 the body replaces `file` (none when
// empty): it is written beside it and renamed over it only when the whole body
// arrived, so any failure leaves the previous document as it was. `outDate`
// receives the Last-Modified time (0 without one), `moved` the redirect target
// of a 301/302/303/307/308, uncut. `tid` numbers the session in log lines.
// Await it at once: `outDate` and `moved` must outlive the wait.
NetTask HttpConditionalGet(uint32_t tid, std::string url, uint32_t inDate, std::filesystem::path file,
                           uint32_t& outDate, std::string& moved);

// GET into `file` as above, with session number 0, no
// If-Modified-Since, and no Proxy-Authorization even through a proxy.
NetTask HttpSimpleGet(std::string url, std::filesystem::path file);

// GET reading only the response header; on 200 the media type of its
// Content-Type goes to `contentType` (may be null; empty when none).
NetTask HttpSimpleCheck(std::string url, std::string* contentType);

/* ---- Log ---- */

// The client's log line on standard output: "YYYY-MM-DD hh:mm:ss Varnoke "
// (local time) and the message, formatted into at most 2048 bytes.
void SysPrintf(const char* format, ...) VARNOKE_PRINTF(1, 2);

/* ---- For tests only ---- */

// Adds the certificate authorities of a PEM file to those TLS trusts, so that
// tests can fetch from their own local servers; certificates and host names
// are still verified. Never called by the program.
OSStatus HttpTrustTestCertificateAuthority(const std::filesystem::path& pemFile);
void HttpForgetTestCertificateAuthorities();
