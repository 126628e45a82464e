// The start-up sequence (once per run) and the quit sequence. Until the
// ticker window exists, messages for it are written to the log, so other
// programs' messages are never silently lost.
#include "shell/Application.h"

#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Log.h"
#include "shell/Agents.h"
#include "shell/ShellTargets.h"
#include "shell/SupportFolder.h"
#include "shell/SyndicList.h"
#include "shell/TickerMessage.h"
#include "settings/Configuration.h"

#include <optional>

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

static void LaunchCommandURL(std::string_view url)
{
    if (url.empty())
        return;
    if (gOpeners.launchURL)
        gOpeners.launchURL(url);
    else
        LogInfo("would open %s", std::string(url).c_str());
}

bool ProcessShellCommand(FourCharCode command)
{
    if (command >= kCommandFirstSyndic && command < kCommandFirstSyndic + kSyndicCommandEntries) {
        if (const std::string* url = GetSyndicURL(command - kCommandFirstSyndic))
            LaunchCommandURL(*url);
        return true;
    }
    switch (command) {
    case kCommandOpenNewsFilter:
        if (gOpeners.openNewsFilterWindow)
            gOpeners.openNewsFilterWindow();
        else
            LogInfo("no keyword filter window in this program");
        return true;
    case kCommandShowViewer:
        if (gViewer)
            gViewer->ShowAndBringToFront();
        return true;
    case kCommandShowHotNews:
        if (gViewer && gViewer->HoldsHotNews())
            gViewer->ShowHotNews();
        return false;
    case kCommandShowDownloads:
        // Only while the agent runs: the send finds no owner otherwise.
        AESendSimpleEvent(kCreatorDrovik, kCreatorDrovik, MakeFourCharCode("Show"));
        return false;
    case kCommandGoHome:
        LaunchCommandURL(ENVHomeURL());
        return false;
    case kCommandGoSubmit:
        LaunchCommandURL(ENVSubmitURL());
        return false;
    case kCommandHelp: {
        std::string_view name = ENVHelpFile();
        std::optional<std::filesystem::path> file = name.empty() ? std::nullopt : MakeResourcePath(name);
        if (!file) {
            LogFailure("no help file");
        } else if (gOpeners.openFile) {
            gOpeners.openFile(*file);
        } else {
            LogInfo("would open %s", file->c_str());
        }
        return false;
    }
    default:
        return false;
    }
}

bool IsShellCommandEnabled(FourCharCode command)
{
    if (command == kCommandShowHotNews)
        return gViewer && gViewer->HoldsHotNews();
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
    // A save the last run was killed in left its temporaries behind; only
    // this copy of the program writes here, and it has not saved yet.
    for (const std::filesystem::path& folder : {GetUserPreferencesFolder(), GetUserSupportFolder(), GetUserHistoryFolder()})
        RemoveInterruptedWrites(folder);
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
