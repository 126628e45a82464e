// The ticker's replies to a message's sender: found on the bus by its
// process id and sent the message identifier, as F7 and F8 do.
#include "PrivateBus.h"
#include "platform/Messages.h"
#include "ticker/Ticker.h"

#include <unistd.h>

namespace {

class TickerReply : public PrivateBus {};

TEST_F(TickerReply, TheSenderGetsTheEventWithItsMessageID)
{
    // This process plays the sender: it owns an agent's name and listens.
    ASSERT_EQ(OwnMessageName(MakeFourCharCode("Bldb")), NameOwnership::Owned);
    std::string received;
    InstallMessageHandler(kTickerReplyClass, kTickerReplyOpened, [&](std::string_view parameter, std::string&) {
        received.assign(parameter);
        return kNoErr;
    });
    EXPECT_EQ(AESendMessageHandleEvent(kTickerReplyClass, kTickerReplyOpened, uint32_t(getpid()), 0x01020304), kNoErr);
    ASSERT_TRUE(SpinUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::string("\x01\x02\x03\x04", 4));

    EXPECT_EQ(AESendMessageHandleEvent(kTickerReplyClass, kTickerReplyRead, 0x7FFFFFF0, 1), kProcessNotFoundErr);
    EXPECT_EQ(AESendMessageHandleEvent(kTickerReplyClass, kTickerReplyRead, 0, 1), kGenericErr);
    RemoveMessageHandler(kTickerReplyClass, kTickerReplyOpened);
    ReleaseMessageName();
}

} // namespace
