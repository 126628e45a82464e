// Name resolution: the port suffix, the agent lookup over the message bus and
// the system lookup through Qt's asynchronous resolver. Each lookup waits on
// a NetWaiter, so the task that asked gives up the processor until the
// answer comes or its time limit passes.
#include "net/Resolver.h"

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Messages.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QObject>

#include <charconv>
#include <functional>
#include <memory>

constexpr size_t kAddressReplyBytes = 4;

OSStatus DNRStringToPort(std::string& name, uint16_t& port)
{
    size_t colon = name.find(':');
    if (colon == std::string::npos)
        return kNoErr;
    std::string portText = name.substr(colon + 1);
    name.resize(colon);
    uint32_t value = 0;
    const char* end = portText.data() + portText.size();
    auto [next, error] = std::from_chars(portText.data(), end, value);
    if (error != std::errc() || next != end || value == 0 || value > UINT16_MAX)
        return kParamErr;
    port = uint16_t(value);
    return kNoErr;
}

// A dotted IPv4 address needs no lookup.
static bool ReadDottedAddress(const std::string& name, uint32_t& addr)
{
    QHostAddress address;
    if (!address.setAddress(QString::fromStdString(name)) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    addr = address.toIPv4Address();
    return true;
}

NetTask DNRStringToAddrAgent(std::string name, uint32_t& addr)
{
    if (name.empty())
        co_return kParamErr;
    if (ReadDottedAddress(name, addr))
        co_return kNoErr;
    // Asking is how we learn whether the agent runs: the bus answers at once
    // when its name has no owner, where a separate question would block.
    OSStatus status = co_await AEDNResolve(name, addr);
    if (status != kProcessNotFoundErr)
        co_return status;
    co_return co_await DNRStringToAddrAsync(name, addr);
}

/* ---- The resolver agent ---- */

// Shared with the message callback, which may outlive nothing of ours but
// must never write into a finished coroutine.
struct AgentLookup {
    bool done = false;
    MessageReply reply;
    std::function<void()> wake;
};

static OSStatus ReadAddressReply(const MessageReply& reply, uint32_t& ipAddr)
{
    if (reply.result != kNoErr)
        return reply.result;
    if (reply.reply.size() != kAddressReplyBytes)
        return kParamErr;
    uint32_t value = 0;
    for (char byte : reply.reply)
        value = (value << 8) | uint8_t(byte);
    ipAddr = value;
    return kNoErr;
}

NetTask AEDNResolve(std::string name, uint32_t& ipAddr)
{
    if (!HasNetEventLoop())
        co_return kParamErr;
    NetWaiter waiter;
    auto lookup = std::make_shared<AgentLookup>();
    lookup->wake = [&waiter] { waiter.Wake(); };
    SendMessageAsync(kResolverAgentCreator, kResolverEventClass, kResolverGetAddressID, name,
                     kDefaultMessageTimeoutTicks, [lookup](const MessageReply& reply) {
                         lookup->done = true;
                         lookup->reply = reply;
                         if (lookup->wake)
                             lookup->wake();
                     });
    while (!lookup->done)
        co_await waiter.Wait();
    lookup->wake = nullptr;
    co_return ReadAddressReply(lookup->reply, ipAddr);
}

/* ---- The system resolver ---- */

NetTask DNRStringToAddrAsync(std::string name, uint32_t& addr)
{
    OSStatus status = co_await InetSvcStringToAddress(name, addr);
    if (status == kDNRBadNameErr)
        status = co_await InetSvcStringToAddress(name, addr);
    co_return status;
}

// The completion of one lookup: the first IPv4 address, or the bad-name error.
static void AsyncNotifier(DNRServiceRec& ds, const QHostInfo& info, uint32_t& addr)
{
    ds.complete = 1;
    ds.result = kDNRBadNameErr;
    if (info.error() != QHostInfo::NoError)
        return;
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        addr = address.toIPv4Address();
        ds.result = kNoErr;
        return;
    }
}

NetTask InetSvcStringToAddress(std::string name, uint32_t& addr)
{
    if (!HasNetEventLoop())
        co_return kParamErr;
    DNRServiceRec ds;
    ds.state = 1;
    ds.ticks = TickCount();
    NetWaiter waiter;
    waiter.StartPolling();
    uint32_t found = 0;
    {
        // Destroying the context before the record goes drops an answer that
        // comes after the time limit.
        QObject context;
        QHostInfo::lookupHost(QString::fromStdString(name), &context, [&](const QHostInfo& info) {
            AsyncNotifier(ds, info, found);
            waiter.Wake();
        });
        while (!ds.complete) {
            co_await waiter.Wait();
            if (!ds.complete && TickCount() - ds.ticks > kDNRTimeLimitTicks) {
                ds.complete = 1;
                ds.result = kUserCanceledErr;
            }
        }
    }
    if (ds.result == kNoErr)
        addr = found;
    co_return ds.result;
}
