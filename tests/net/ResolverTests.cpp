// Name resolution: the system resolver when no agent runs, the resolver agent
// on the private bus when it does (and then the agent alone), and addresses
// written as numbers.
#include "NetTestSupport.h"

#include "net/Resolver.h"
#include "platform/Messages.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint32_t kLoopback = 0x7F000001;
constexpr uint32_t kAgentAddress = 0x0A000001; // 10.0.0.1

OSStatus Resolve(const std::string& name, uint32_t& address)
{
    return RunRequest([&] { return DNRStringToAddrAgent(name, address); });
}

TEST(Resolver, TheSystemResolverAnswersWithoutTheAgent)
{
    ASSERT_FALSE(IsMessageNameOwned(kResolverAgentCreator));
    uint32_t address = 0;
    EXPECT_EQ(Resolve("localhost", address), kNoErr);
    EXPECT_EQ(address, kLoopback);

    address = 0;
    EXPECT_EQ(Resolve("10.1.2.3", address), kNoErr);
    EXPECT_EQ(address, 0x0A010203u);

    address = 0;
    EXPECT_EQ(Resolve("bad..name", address), kDNRBadNameErr);
    EXPECT_EQ(address, 0u);
    EXPECT_EQ(Resolve("", address), kParamErr);
}

// The agent's side of the exchange, on this program's own bus connection.
class ResolverAgent {
public:
    explicit ResolverAgent(MessageHandler handler)
    {
        fOwned = OwnMessageName(kResolverAgentCreator) == NameOwnership::Owned;
        InstallMessageHandler(kResolverEventClass, kResolverGetAddressID, std::move(handler));
    }
    ~ResolverAgent()
    {
        RemoveMessageHandler(kResolverEventClass, kResolverGetAddressID);
        ReleaseMessageName();
    }
    bool IsRunning() const { return fOwned; }

private:
    bool fOwned = false;
};

TEST(Resolver, TheAgentAnswersWhenItRunsAndThenAlone)
{
    std::string asked;
    OSStatus answer = kNoErr;
    ResolverAgent agent([&](std::string_view name, std::string& reply) {
        asked = name;
        reply = EncodeReplyLong(int32_t(kAgentAddress));
        return answer;
    });
    if (!agent.IsRunning())
        GTEST_SKIP() << "no session bus";

    uint32_t address = 0;
    EXPECT_EQ(Resolve("feeds.example", address), kNoErr);
    EXPECT_EQ(asked, "feeds.example");
    EXPECT_EQ(address, kAgentAddress);

    // A failing agent is the answer: the system resolver is not asked.
    answer = -1;
    address = 0;
    EXPECT_EQ(Resolve("localhost", address), -1);
    EXPECT_EQ(address, 0u);
}

} // namespace
