// Web addresses as the HTTP client and everything that accepts a feed address
// see them: which texts are web addresses at all (http and https, and the
// feed: forms that stand for them), and how an address splits into the server
// to connect to and the path to ask for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class HttpScheme { Http, Https };

constexpr uint16_t kHttpPort = 80;
constexpr uint16_t kHttpsPort = 443;

// True for an address beginning with "http://" or "https://", in any case.
// Wherever the program recognises a feed or page address, both are accepted.
bool IsHttpURL(std::string_view url);

// The http or https address a feed address stands for: "feed://host/x" is
// "http://host/x", "feed:https://host/x" is "https://host/x", "feed:http://..."
// is "http://...", and "feed:host/x" is "http://host/x"; an http or https
// address is itself (its scheme in lower case). Null for anything else
// ("ftp://...", "file://...", "feed:ftp://...", plain words).
std::optional<std::string> FeedURLToHttpURL(std::string_view text);

// Splits a URL the way the client always has: skip to the first "/", skip
// the run of "/" after it; the server is what follows up to the next "/",
// "?" or "#" (a "user:password@" before the host is dropped); the path is the
// rest from its "/", without a "#fragment", which is never sent. A URL with
// no path gives "/", and a query right after the server gives "/?query".
// http://host:8080/a/b.xml gives "host:8080" and "/a/b.xml".
void GetServerAndPath(std::string_view url, std::string& server, std::string& path);

// An http or https URL taken apart for a request.
struct HttpURL {
    HttpScheme scheme = HttpScheme::Http;
    std::string server;   // host[:port] as written (host in its ASCII form): the Host header
    std::string host;     // the host name or dotted address alone
    uint16_t port = kHttpPort; // the port written, else 80 or 443
    std::string path;     // what a server is asked for: "/..." with spaces and non-ASCII bytes %-escaped
    std::string absolute; // scheme://server + path: what a proxy is asked for
};

// Null when the text is not an http, https or feed: address, when its host
// is empty or holds characters no host name has, when its port is not a
// number from 1 to 65535, or when it holds control characters (which could
// end a request line early). A host written in another script is turned into
// its ASCII (punycode) form.
std::optional<HttpURL> ParseHttpURL(std::string_view url);
