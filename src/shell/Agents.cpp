// Starting and quitting the agents, and the one question Varnoke asks the
// download agent before quitting it.
#include "shell/Agents.h"

#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Processes.h"

// Columns: executable, creator, when started, when quit.
static constexpr AgentRecord kAgentTable[] = {
    {"morvane", kCreatorMorvane, AgentStart::Never, AgentQuit::Always},
    {"saffrel", kCreatorSaffrel, AgentStart::AtStartUp, AgentQuit::Always},
    {"quenlo", kCreatorQuenlo, AgentStart::AtStartUp, AgentQuit::Always},
    {"pellick", kCreatorPellick, AgentStart::AtStartUp, AgentQuit::Always},
    {"tarvish", kCreatorTarvish, AgentStart::AtStartUp, AgentQuit::Always},
    {"drovik", kCreatorDrovik, AgentStart::AtStartUp, AgentQuit::WhenNoDownloadsRun},
};

static constexpr FourCharCode kEventClassAevt = MakeFourCharCode("aevt");
static constexpr FourCharCode kEventQuit = MakeFourCharCode("quit");
static constexpr FourCharCode kEventCountLoadings = MakeFourCharCode("Cntd");
static constexpr uint32_t kCountLoadingsTimeoutTicks = 600; // ten seconds

std::span<const AgentRecord> GetAgentTable()
{
    return kAgentTable;
}

void StartAgents()
{
    for (const AgentRecord& agent : kAgentTable) {
        if (agent.start == AgentStart::Never)
            continue;
        // A second copy of an agent would only find its name taken; starting
        // an agent that runs is the old "bring it forward", which it needs not.
        if (IsMessageNameOwned(agent.creator))
            continue;
        LaunchApplicationInInstallFolder(agent.executable);
    }
}

OSStatus AESendSimpleEvent(FourCharCode creator, FourCharCode eventClass, FourCharCode eventID)
{
    return SendMessageNoReply(creator, eventClass, eventID);
}

int16_t CountPodLoadings()
{
    if (!IsMessageNameOwned(kCreatorDrovik))
        return 0;
    MessageReply answer = SendMessageWithReply(kCreatorDrovik, kCreatorDrovik, kEventCountLoadings, {},
                                               kCountLoadingsTimeoutTicks);
    int16_t count = 0;
    if (answer.result != kNoErr || !DecodeReplyShort(answer.reply, count)) {
        LogFailure("download agent did not tell its downloads (%d)", int(answer.result));
        return 0;
    }
    return count;
}

void QuitAgents()
{
    for (const AgentRecord& agent : kAgentTable) {
        switch (agent.quit) {
        case AgentQuit::Always:
            break;
        case AgentQuit::WhenNoDownloadsRun:
            if (CountPodLoadings() != 0) {
                LogInfo("download agent keeps running for its downloads");
                continue;
            }
            break;
        }
        AESendSimpleEvent(agent.creator, kEventClassAevt, kEventQuit);
    }
}
