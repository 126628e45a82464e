// Host names to IPv4 addresses for the HTTP client and the proxy setting:
// the resolver agent 'Plck' answers when it runs, otherwise the system's
// resolver does, asynchronously, so the asking task gives up the processor
// while the answer is pending. Addresses are 32-bit numbers with the first
// part of the dotted form in the high byte (127.0.0.1 is 0x7F000001).
#pragma once

#include "net/NetAwait.h"
#include "platform/FourCharCode.h"
#include "platform/Status.h"

#include <cstdint>
#include <string>

// The resolver agent's creator code and the message it answers.
constexpr FourCharCode kResolverAgentCreator = MakeFourCharCode("Plck");
constexpr FourCharCode kResolverEventClass = MakeFourCharCode("Plck");
constexpr FourCharCode kResolverGetAddressID = MakeFourCharCode("gIPA");

constexpr OSStatus kUserCanceledErr = -128; // the lookup did not end within kDNRTimeLimitTicks
constexpr OSStatus kDNRBadNameErr = -3170;  // the resolver knows no IPv4 address for the name

// How long a system lookup may take before it is given up (about 67 s).
constexpr uint32_t kDNRTimeLimitTicks = 4000;

// Record of one system lookup, alive while it runs:
//   state     1 once the lookup has started
//   complete  set when it has ended (answer, failure or time limit)
//   result    its status
//   ticks     TickCount() at the start
struct DNRServiceRec {
    int16_t state = 0;
    int16_t complete = 0;
    OSStatus result = kNoErr;
    uint32_t ticks = 0;
};

// When `name` holds ":", cuts it there and reads the decimal port after it
// into `port`; callers set `port` to 80 (or 443) first. Returns kNoErr, or
// kParamErr when the text after ":" is not a number from 1 to 65535 (`name`
// is cut all the same, `port` is unchanged).
OSStatus DNRStringToPort(std::string& name, uint16_t& port);

// The resolver of the whole program. A dotted IPv4 address is read at once;
// otherwise the agent is asked, and when it runs its answer is final (its
// failure is the result); when its name has no owner (kProcessNotFoundErr),
// DNRStringToAddrAsync. `addr` is written only on success. Await it at once:
// `addr` must outlive the wait.
NetTask DNRStringToAddrAgent(std::string name, uint32_t& addr);

// Asks the agent with 'Plck'/'gIPA' (the name as text); its reply is the
// address as a big-endian 32-bit integer. kProcessNotFoundErr when the agent
// does not run; the message's own time-out applies.
NetTask AEDNResolve(std::string name, uint32_t& ipAddr);

// The system resolver, tried a second time when the first answer is
// kDNRBadNameErr.
NetTask DNRStringToAddrAsync(std::string name, uint32_t& addr);

// One system lookup: the first IPv4 address of the answer, kDNRBadNameErr
// when there is none, kUserCanceledErr after kDNRTimeLimitTicks ticks
// (measured with TickCount, so a test clock drives it).
NetTask InetSvcStringToAddress(std::string name, uint32_t& addr);
