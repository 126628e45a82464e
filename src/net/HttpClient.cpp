// The three request operations, the proxy settings they share and the
// client's log line. One driver runs every request in the same order:
// resolve, connect (and tunnel and secure), send, read the header, map the
// status, copy the body; each step runs only while the status is still 0.
#include "net/HttpClient.h"

#include "feeds/Dates.h"
#include "net/HttpTransport.h"
#include "net/HttpURL.h"
#include "net/Resolver.h"
#include "platform/Clock.h"
#include "platform/Tasks.h"
#include "settings/PreferencesFile.h"
#include "settings/SystemSettings.h"

#include <QByteArray>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

constexpr char kUserAgent[] = "Varnoke/" VARNOKE_VERSION;
constexpr size_t kLogLineBytes = 2048;
constexpr int32_t kStatusUnauthorized = 401;
constexpr int32_t kStatusProxyAuthenticationRequired = 407;
constexpr int kTmBaseYear = 1900;
constexpr uint8_t kDeleteCharacter = 0x7F;

// The proxy: both 0 when none is used.
static uint32_t gProxyHost = 0;
static uint16_t gProxyPort = 0;
// Base64 of "user:password", or empty.
static std::string gProxyAuth;
// Hosts reached without the proxy, lower case; "*" stands for every host.
static std::vector<std::string> gNoProxyHosts;
// True while HttpInitProxy looks the proxy's host up.
static bool gProxyResolving = false;

std::string_view HttpUserAgent()
{
    return kUserAgent;
}

/* ---- Log ---- */

void SysPrintf(const char* format, ...)
{
    char message[kLogLineBytes];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    // The 1904 clock is local wall time: read its fields as if it were UTC.
    time_t wallClock = time_t(int64_t(GetDateTime()) - kSecondsFrom1904To1970);
    tm fields{};
    gmtime_r(&wallClock, &fields);
    std::printf("%d-%02d-%02d %02d:%02d:%02d %s %s\n", fields.tm_year + kTmBaseYear, fields.tm_mon + 1,
                fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec, gApplNameString, message);
    std::fflush(stdout);
}

// Text from a server or a feed made safe for a terminal: line ends stay,
// other control characters become "?".
static std::string PrintableText(std::string_view text)
{
    std::string printable;
    printable.reserve(text.size());
    for (char c : text) {
        if (c == '\r')
            continue;
        bool control = (uint8_t(c) < ' ' && c != '\n' && c != '\t') || uint8_t(c) == kDeleteCharacter;
        printable.push_back(control ? '?' : c);
    }
    return printable;
}

/* ---- Proxy ---- */

static std::string LowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return char(std::tolower(uint8_t(c))); });
    return lower;
}

static std::vector<std::string> ReadNoProxyHosts()
{
    const char* value = std::getenv("no_proxy");
    if (value == nullptr || *value == '\0')
        value = std::getenv("NO_PROXY");
    std::vector<std::string> hosts;
    if (value == nullptr)
        return hosts;
    std::string_view list(value);
    while (!list.empty()) {
        size_t comma = std::min(list.find(','), list.size());
        std::string_view entry = list.substr(0, comma);
        list.remove_prefix(std::min(comma + 1, list.size()));
        size_t first = entry.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            continue;
        entry = entry.substr(first, entry.find_last_not_of(" \t") - first + 1);
        entry = entry.substr(0, entry.find(':'));
        while (entry.starts_with('.') || entry.starts_with("*."))
            entry.remove_prefix(entry.starts_with('.') ? 1 : 2);
        if (!entry.empty())
            hosts.push_back(LowerCase(entry));
    }
    return hosts;
}

static bool IsNoProxyHost(std::string_view host)
{
    std::string name = LowerCase(host);
    return std::any_of(gNoProxyHosts.begin(), gNoProxyHosts.end(), [&name](const std::string& entry) {
        return entry == "*" || name == entry || (name.ends_with(entry) && name[name.size() - entry.size() - 1] == '.');
    });
}

static bool UsesProxy(std::string_view host)
{
    return gProxyHost != 0 && gProxyPort != 0 && !IsNoProxyHost(host);
}

NetTask HttpInitProxy()
{
    HttpProxySetting setting = LoadICHttpProxy();
    gProxyHost = 0;
    gProxyPort = 0;
    gNoProxyHosts = ReadNoProxyHosts();
    if (!setting.use)
        co_return kNoErr;
    std::string host = setting.host;
    uint16_t port = kHttpPort;
    OSStatus status = DNRStringToPort(host, port);
    uint32_t address = 0;
    if (status == kNoErr) {
        gProxyResolving = true;
        status = co_await DNRStringToAddrAgent(host, address);
        gProxyResolving = false;
    }
    if (status != kNoErr) {
        LogFailure("Varnoke cannot setup http proxy %s [%ld].", setting.host.c_str(), long(status));
        co_return status;
    }
    gProxyHost = address;
    gProxyPort = port;
    LogInfo("Varnoke uses the http proxy %s.", setting.host.c_str());
    co_return kNoErr;
}

OSStatus HttpInitProxyAuth()
{
    ProxySetting setting = LoadProxySetting();
    if (setting.user.empty() && setting.password.empty()) {
        HttpProxySetting system = LoadICHttpProxy();
        setting.user = system.user;
        setting.password = system.password;
    }
    if (setting.user.empty() || setting.password.empty()) {
        gProxyAuth.clear();
        LogInfo("Varnoke Proxy-Authorization : NONE.");
        return kNoErr;
    }
    std::string credentials = setting.user + ":" + setting.password;
    gProxyAuth = QByteArray(credentials.data(), qsizetype(credentials.size())).toBase64().toStdString();
    // The Base64 form is the password in clear to anyone reading the log.
    LogInfo("Varnoke Proxy-Authorization : user %s.", PrintableText(setting.user).c_str());
    return kNoErr;
}

/* ---- Requests ---- */

struct HttpRequest {
    HttpOperation operation = HttpOperation::SimpleGet;
    uint32_t tid = 0;
    std::string url;
    uint32_t inDate = 0;
    std::filesystem::path file; // where the body goes; none when empty
};

struct HttpResult {
    uint32_t date = 0;
    std::string location;
    std::string contentType;
};

enum class ProxyRoute {
    Direct,    // to the server itself
    Forward,   // plain http: the proxy is asked for the whole URL
    Tunnel,    // https: the proxy opens a tunnel, TLS runs inside it
};

static bool SendsProxyAuthorization(HttpOperation operation)
{
    switch (operation) {
    case HttpOperation::ConditionalGet:
    case HttpOperation::SimpleCheck:
        return true;
    case HttpOperation::SimpleGet:
        return false;
    }
    return false;
}

static std::string MakeRequestText(const HttpRequest& request, const HttpURL& url, ProxyRoute route)
{
    bool forward = route == ProxyRoute::Forward;
    // The conditional GET names the host alone unless a proxy forwards it;
    // the other two keep a port written in the URL.
    bool hostAlone = request.operation == HttpOperation::ConditionalGet && !forward;
    std::string text = "GET " + (forward ? url.absolute : url.path) + " HTTP/1.0\r\n";
    text += "Host: " + (hostAlone ? url.host : url.server) + "\r\n";
    text += "User-Agent: " + std::string(kUserAgent) + "\r\n";
    if (request.operation == HttpOperation::ConditionalGet && request.inDate != 0)
        text += "If-Modified-Since: " + SecsToHttpDate(request.inDate) + "\r\n";
    if (forward && SendsProxyAuthorization(request.operation))
        text += "Proxy-Authorization: Basic " + gProxyAuth + "\r\n";
    text += "\r\n";
    return text;
}

static std::string MakeTunnelText(const HttpRequest& request, const HttpURL& url)
{
    std::string authority = url.host + ":" + std::to_string(url.port);
    std::string text = "CONNECT " + authority + " HTTP/1.0\r\n";
    text += "Host: " + authority + "\r\n";
    text += "User-Agent: " + std::string(kUserAgent) + "\r\n";
    if (SendsProxyAuthorization(request.operation))
        text += "Proxy-Authorization: Basic " + gProxyAuth + "\r\n";
    text += "\r\n";
    return text;
}

// Logs what a status other than success tells the user: the whole header for
// refused credentials, a line for an unreadable status.
static void LogResponseFailure(const HttpRequest& request, int32_t status, std::string_view header)
{
    if (status == 0) {
        SysPrintf("Session[%06u]: # No readable status line in the response of %s", request.tid,
                  PrintableText(request.url).c_str());
        return;
    }
    if (request.operation == HttpOperation::ConditionalGet &&
        (status == kStatusUnauthorized || status == kStatusProxyAuthenticationRequired))
        LogFailure("Http Responce : %d <%s>\n%s", int(status), PrintableText(request.url).c_str(),
                   PrintableText(header).c_str());
}

// Reads a response header and maps its status; 0 only for 200.
static NetTask ReadResponse(ConnectionRec& cn, const HttpRequest& request, HttpHeaderReader& reader,
                            HttpResponse& response)
{
    OSStatus status = co_await ReadServerResponse(cn, reader);
    if (status != kNoErr)
        co_return status;
    response = ParseResponse(reader.Header());
    status = MapResponseStatus(response.status, request.operation);
    if (status != kNoErr)
        LogResponseFailure(request, response.status, reader.Header());
    co_return status;
}

// Asks the proxy for a tunnel to the server; anything but a 2xx answer fails.
static NetTask OpenProxyTunnel(ConnectionRec& cn, const HttpRequest& request, const HttpURL& url)
{
    std::string text = MakeTunnelText(request, url);
    OSStatus status = co_await SendRequestText(cn, std::move(text));
    if (status != kNoErr)
        co_return status;
    HttpHeaderReader reader;
    HttpResponse response;
    status = co_await ReadResponse(cn, request, reader, response);
    if (status == kNoErr || response.status / 100 == 2)
        co_return kNoErr;
    SysPrintf("Session[%06u]: # The proxy refused a tunnel to %s:%u [%d]", cn.tid, url.host.c_str(),
              unsigned(url.port), int(response.status));
    co_return status == kHttpHeaderOverflowErr || status == kHttpClosedErr ? status : kHttpStatusErr;
}

// Finds the address to connect to and opens the connection, secured for https.
static NetTask OpenConnection(ConnectionRec& cn, const HttpRequest& request, const HttpURL& url, ProxyRoute route)
{
    uint32_t address = gProxyHost;
    uint16_t port = gProxyPort;
    if (route == ProxyRoute::Direct) {
        port = url.port;
        OSStatus status = co_await DNRStringToAddrAgent(url.host, address);
        if (status != kNoErr) {
            SysPrintf("Session[%06u]: # Cannot resolve %s [%d]", cn.tid, url.host.c_str(), int(status));
            co_return kHttpResolveErr;
        }
    }
    SecureMode mode = url.scheme == HttpScheme::Https ? SecureMode::TLS : SecureMode::Plain;
    OSStatus status = co_await ConnectEndpoint(cn, address, port, mode);
    if (status == kNoErr && route == ProxyRoute::Tunnel)
        status = co_await OpenProxyTunnel(cn, request, url);
    if (status == kNoErr && mode == SecureMode::TLS)
        status = co_await StartSecureChannel(cn, url.host);
    co_return status;
}

// Copies the body into the file and puts the file in place once it is whole.
static NetTask ReceiveBodyIntoFile(ConnectionRec& cn, const std::filesystem::path& target, const HttpResponse& response)
{
    BodyFile file(target);
    OSStatus status = file.Open();
    if (status != kNoErr) {
        SysPrintf("Session[%06u]: # Cannot create the file beside %s [%d]", cn.tid, target.c_str(), int(status));
        co_return status;
    }
    status = co_await ReceiveBody(cn, file, response.contentLength);
    if (status == kNoErr)
        status = co_await DisconnectEndpoint(cn);
    if (status == kNoErr) {
        status = file.Commit();
        if (status != kNoErr)
            SysPrintf("Session[%06u]: # Cannot replace %s [%d]", cn.tid, target.c_str(), int(status));
    }
    co_return status;
}

static NetTask RunHttpSteps(const HttpRequest& request, ConnectionRec& cn, HttpResult& result)
{
    if (!HasNetEventLoop()) {
        LogFailure("Varnoke cannot fetch %s without an event loop", PrintableText(request.url).c_str());
        co_return kParamErr;
    }
    std::optional<HttpURL> url = ParseHttpURL(request.url);
    if (!url) {
        SysPrintf("Session[%06u]: # Not an http or https address: %s", request.tid, PrintableText(request.url).c_str());
        co_return kParamErr;
    }
    while (gProxyResolving)
        co_await TaskSleep(kNetPollTicks);
    ProxyRoute route = ProxyRoute::Direct;
    if (UsesProxy(url->host))
        route = url->scheme == HttpScheme::Https ? ProxyRoute::Tunnel : ProxyRoute::Forward;

    OSStatus status = co_await OpenConnection(cn, request, *url, route);
    if (status != kNoErr)
        co_return status;
    std::string text = MakeRequestText(request, *url, route);
    if (text.size() >= kRequestBufferSize) {
        SysPrintf("Session[%06u]: # The request for %s is longer than %zu bytes", cn.tid, url->absolute.c_str(),
                  kRequestBufferSize - 1);
        co_return kParamErr;
    }
    status = co_await SendRequestText(cn, std::move(text));
    if (status != kNoErr)
        co_return status;
    HttpHeaderReader reader;
    HttpResponse response;
    status = co_await ReadResponse(cn, request, reader, response);
    if (status == kHttpMovedErr)
        result.location = response.location;
    if (status == kNoErr && request.operation == HttpOperation::SimpleCheck)
        result.contentType = ParseContentType(reader.Header());
    if (status == kNoErr)
        result.date = response.date;
    bool wantsBody = request.operation != HttpOperation::SimpleCheck && !request.file.empty();
    if (status != kNoErr || !wantsBody) {
        // Nothing more is read; the answer stands whatever the close does.
        (void)co_await DisconnectEndpoint(cn);
        co_return status;
    }
    co_return co_await ReceiveBodyIntoFile(cn, request.file, response);
}

// The request is built as a named value before it is awaited: g++ 12
// destroys temporaries of an awaited call's arguments twice.

// The steps may end inside a signal of the request's socket: the yield lets
// that signal return before the socket goes, and the caller resumes on a
// turn of the event loop of its own, as after any other wait.
static NetTask RunHttpRequest(HttpRequest request, HttpResult& result)
{
    ConnectionRec cn(request.tid);
    OSStatus status = co_await RunHttpSteps(request, cn, result);
    co_await TaskYield();
    co_return status;
}

NetTask HttpConditionalGet(uint32_t tid, std::string url, uint32_t inDate, std::filesystem::path file,
                           uint32_t& outDate, std::string& moved)
{
    outDate = 0;
    moved.clear();
    HttpRequest request{HttpOperation::ConditionalGet, tid, std::move(url), inDate, std::move(file)};
    HttpResult result;
    OSStatus status = co_await RunHttpRequest(std::move(request), result);
    if (status == kNoErr)
        outDate = result.date;
    if (status == kHttpMovedErr)
        moved = std::move(result.location);
    co_return status;
}

NetTask HttpSimpleGet(std::string url, std::filesystem::path file)
{
    HttpRequest request{HttpOperation::SimpleGet, 0, std::move(url), 0, std::move(file)};
    HttpResult result;
    co_return co_await RunHttpRequest(std::move(request), result);
}

NetTask HttpSimpleCheck(std::string url, std::string* contentType)
{
    if (contentType != nullptr)
        contentType->clear();
    HttpRequest request{HttpOperation::SimpleCheck, 0, std::move(url), 0, {}};
    HttpResult result;
    OSStatus status = co_await RunHttpRequest(std::move(request), result);
    if (status == kNoErr && contentType != nullptr)
        *contentType = std::move(result.contentType);
    co_return status;
}
