// The agent programs Varnoke starts at start-up and quits at quit: found on
// the session bus by their creator code, started from Varnoke's own install
// folder. A missing agent is skipped silently; Varnoke works without it.
#pragma once

#include "platform/FourCharCode.h"
#include "platform/Status.h"

#include <cstdint>
#include <span>

constexpr FourCharCode kCreatorVarnoke = MakeFourCharCode("Rssv");
constexpr FourCharCode kCreatorMorvane = MakeFourCharCode("Mrvn");
constexpr FourCharCode kCreatorSaffrel = MakeFourCharCode("Sfrl");
constexpr FourCharCode kCreatorQuenlo = MakeFourCharCode("Qnlo");
constexpr FourCharCode kCreatorPellick = MakeFourCharCode("Plck");
constexpr FourCharCode kCreatorTarvish = MakeFourCharCode("Trvs");
constexpr FourCharCode kCreatorDrovik = MakeFourCharCode("Drvk");

enum class AgentStart {
    AtStartUp, // started with every start-up
    Never,     // the old-systems browser: never needed here
};

enum class AgentQuit {
    Always,             // quit at quit
    WhenNoDownloadsRun, // kept alive while it still downloads
};

struct AgentRecord {
    const char* executable; // file name in the install folder
    FourCharCode creator;
    AgentStart start;
    AgentQuit quit;
};

// The agents in their start order.
std::span<const AgentRecord> GetAgentTable();

// Starts every agent that should run and does not run yet.
void StartAgents();

// Quits every agent; the download agent only when it has no download running.
void QuitAgents();

// Number of downloads the download agent runs: 0 when it does not run or does
// not answer within ten seconds.
int16_t CountPodLoadings();

// Sends class/ID with no parameter to the agent, without waiting; the
// send's status (kProcessNotFoundErr when the agent does not run).
OSStatus AESendSimpleEvent(FourCharCode creator, FourCharCode eventClass, FourCharCode eventID);
