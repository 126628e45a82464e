// What the system knows of the user's mail and web proxy, offered as
// starting values: the sender address for the settings window, the HTTP
// proxy for the HTTP client. On Linux both come from the environment
// (EMAIL; http_proxy, HTTP_PROXY); a mail server is not known to the system.
#pragma once

#include <cstddef>
#include <string>

// Fixed sender proposed when nothing better is known; example.com never
// accepts mail, so a forgotten placeholder fails visibly.
constexpr char kPlaceholderMailAddress[] = "you@example.com";

// Widest SMTP host and address proposed (the settings record's width - 1).
constexpr size_t kMaxMailSettingBytes = 127;

// Fills only the arguments that are empty: `address` from $EMAIL ("addr" or
// "Name <addr>", used when it looks like an address and fits), then the
// placeholder when it is still empty. `host` stays as it was, since Linux
// keeps no system-wide outgoing mail server.
void GetSmtpConfiguration(std::string& host, std::string& address);

struct HttpProxySetting {
    bool use = false;      // a usable proxy is set
    std::string host;      // "host" or "host:port", as the HTTP client expects
    std::string user;      // credentials written into the proxy URL, decoded; usually empty
    std::string password;
};

// The system's HTTP proxy: $http_proxy, else $HTTP_PROXY, as
// "[http://][user[:password]@]host[:port][/]". A value with another scheme,
// an empty host, or a host of more than 255 bytes is logged and not used.
HttpProxySetting LoadICHttpProxy();
