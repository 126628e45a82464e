// The start-up sequence (once per run) and the quit sequence. Until the
// ticker window exists, messages for it are written to the log, so other
// programs' messages are never silently lost.
#include "shell/Application.h"

#include "platform/EventLoop.h"
#include "platform/Log.h"
#include "shell/Agents.h"
#include "shell/ShellTargets.h"
#include "shell/SupportFolder.h"
#include "shell/SyndicList.h"
#include "shell/TickerMessage.h"

static bool gInited = false;
static bool gQuitting = false;

/* ---- Targets ---- */

static ShellOpeners gOpeners;
static std::unique_ptr<ShellViewer> gViewer;
static std::unique_ptr<ShellTicker> gTicker;

void SetShellOpeners(const ShellOpeners& openers)
{
    gOpeners = openers;
}

const ShellOpeners& GetShellOpeners()
{
    return gOpeners;
}

bool ProcessShellCommand(FourCharCode command)
{
    if (command != kCommandOpenNewsFilter)
        return false;
    if (gOpeners.openNewsFilterWindow)
        gOpeners.openNewsFilterWindow();
    else
        LogInfo("no keyword filter window in this program");
    return true;
}

ShellViewer* GetShellViewer()
{
    return gViewer.get();
}

ShellTicker* GetShellTicker()
{
    return gTicker.get();
}

namespace {

// Stands in for the ticker window while the program has none.
class LoggingTicker : public ShellTicker {
public:
    void RegistMessage(const TickerMessage& message) override
    {
        LogInfo("ticker message from \"%s\": \"%s\" (priority %d, sound \"%s\", effect \"%s\", "
                "message %d, process %d)",
                message.source.c_str(), message.message.c_str(), int(message.priority), message.sound.c_str(),
                message.effect.c_str(), int(message.messageID), int(message.processID));
    }
    void Close() override {}
};

} // namespace

/* ---- Start-up ---- */

bool IsApplicationInited()
{
    return gInited;
}

static void RunOpener(void (*opener)())
{
    if (opener)
        opener();
}

void RunStartupSequence()
{
    if (gInited || gQuitting)
        return;
    RunOpener(gOpeners.initSettings);
    RunOpener(gOpeners.initFilters);
    InitImageCaches();
    RunOpener(gOpeners.initProxy);
    StartAgents();
    LoadSyndicList();
    if (gOpeners.openViewer)
        gViewer = gOpeners.openViewer();
    gTicker = gOpeners.openTicker ? gOpeners.openTicker() : std::make_unique<LoggingTicker>();
    // Bringing the file manager forward after a log-in start is not done on
    // this desktop: the session manager owns the stacking at log-in.
    gInited = true;
    LogInfo("started");
}

/* ---- Quit ---- */

void RunQuitSequence()
{
    if (gQuitting)
        return;
    gQuitting = true;
    RunOpener(gOpeners.closePresetList);
    if (gViewer) {
        gViewer->Close();
        gViewer.reset();
    }
    if (gTicker) {
        gTicker->Close();
        gTicker.reset();
    }
    QuitAgents();
    LogInfo("quitting");
    QuitApplicationEventLoop();
}
