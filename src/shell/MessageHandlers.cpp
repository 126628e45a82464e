// The handlers of the messages Varnoke accepts. Each reads and limits its own
// parameter, then hands the result to the viewer or the ticker; with no
// viewer window the queries answer empty values.
#include "shell/Application.h"

#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Processes.h"
#include "platform/UnicodeText.h"
#include "shell/ShellTargets.h"
#include "shell/TickerMessage.h"

static constexpr std::string_view kFeedScheme = "feed:";

bool ReadTextParameter(std::string_view parameter, size_t limit, std::string& text)
{
    parameter = parameter.substr(0, std::min(parameter.find('\0'), parameter.size()));
    if (parameter.empty())
        return false;
    text.assign(parameter);
    CutUTF8Text(text, limit);
    return true;
}

/* ---- Application events ---- */

OSStatus AEHandleOpenApplication(std::string_view, std::string&)
{
    RunStartupSequence();
    return kNoErr;
}

OSStatus AEHandleQuitApplication(std::string_view, std::string&)
{
    RunQuitSequence();
    return kNoErr;
}

OSStatus AEHandleReopenApplication(std::string_view, std::string&)
{
    ShellViewer* viewer = GetShellViewer();
    if (viewer && !viewer->IsVisible())
        viewer->ShowAndBringToFront();
    return kNoErr;
}

OSStatus AEHandleGetURL(std::string_view parameter, std::string&)
{
    std::string url;
    if (!ReadTextParameter(parameter, kURLParameterLimit, url))
        return kMessageParamErr;
    RunStartupSequence();
    ShellViewer* viewer = GetShellViewer();
    bool isFeed = url.starts_with(kFeedScheme);
    if (!viewer) {
        LogInfo("no viewer window for %s %s", isFeed ? "subscribing" : "loading", url.c_str());
        return kNoErr;
    }
    if (isFeed)
        viewer->SubscribeURL(std::string_view(url).substr(kFeedScheme.size()));
    else
        viewer->LoadURL(url);
    return kNoErr;
}

/* ---- Varnoke's own class ---- */

OSStatus AEHandleDragSubscription(std::string_view, std::string&)
{
    if (ShellViewer* viewer = GetShellViewer())
        viewer->DragOutSubscription();
    return kNoErr;
}

static int32_t LookUpProcessID(std::string_view name)
{
    return GetProcessIDFromName(name);
}

OSStatus AEHandleShowTickerMessage(std::string_view parameter, std::string&)
{
    std::string text;
    if (!ReadTextParameter(parameter, kTickerMessageTextLimit, text))
        return kMessageParamErr;
    std::optional<TickerMessage> message = ParseTickerMessage(text, LookUpProcessID);
    if (!message)
        return kGenericErr;
    ShellTicker* ticker = GetShellTicker();
    if (!ticker) {
        LogFailure("no ticker for the message from %s", message->source.c_str());
        return kNoErr;
    }
    ticker->RegistMessage(*message);
    return kNoErr;
}

OSStatus AEHandleTellTitleRJ(std::string_view, std::string& reply)
{
    if (ShellViewer* viewer = GetShellViewer())
        reply = viewer->GetCurrentTitleRJ();
    return kNoErr;
}

OSStatus AEHandleTellTitle(std::string_view, std::string& reply)
{
    if (ShellViewer* viewer = GetShellViewer())
        reply = viewer->GetCurrentTitle();
    return kNoErr;
}

OSStatus AEHandleTellURL(std::string_view, std::string& reply)
{
    if (ShellViewer* viewer = GetShellViewer())
        reply = viewer->GetCurrentURL();
    return kNoErr;
}

OSStatus AEHandleFilterByWord(std::string_view parameter, std::string&)
{
    std::string keyword;
    if (!ReadTextParameter(parameter, kKeywordParameterLimit, keyword))
        return kMessageParamErr;
    if (ShellViewer* viewer = GetShellViewer())
        viewer->FilterKeyword(keyword);
    else
        LogInfo("no viewer window to search for %s", keyword.c_str());
    return kNoErr;
}

OSStatus AEHandleDidDownload(std::string_view parameter, std::string&)
{
    std::string url;
    if (!ReadTextParameter(parameter, kURLParameterLimit, url))
        return kMessageParamErr;
    if (ShellViewer* viewer = GetShellViewer())
        viewer->MarkDownload(url);
    else
        LogInfo("no viewer window to mark %s downloaded", url.c_str());
    return kNoErr;
}

OSStatus AEHandleTellWebLoading(std::string_view, std::string& reply)
{
    ShellViewer* viewer = GetShellViewer();
    reply = EncodeReplyBoolean(viewer && viewer->IsWebLoading());
    return kNoErr;
}

OSStatus AEHandleTellWebBounds(std::string_view, std::string& reply)
{
    WebBounds bounds;
    if (ShellViewer* viewer = GetShellViewer())
        bounds = viewer->GetWebBounds();
    reply = EncodeReplyRect(bounds.top, bounds.left, bounds.bottom, bounds.right);
    return kNoErr;
}

/* ---- Installation ---- */

void InstallApplicationMessageHandlers()
{
    // Columns: class, ID, handler; in the order the table gives them.
    struct {
        FourCharCode eventClass;
        FourCharCode eventID;
        OSStatus (*handler)(std::string_view, std::string&);
    } const kHandlers[] = {
        {kEventClassAevt, kEventOpenApplication, AEHandleOpenApplication},
        {kEventClassAevt, kEventQuitApplication, AEHandleQuitApplication},
        {kEventClassAevt, kEventReopenApplication, AEHandleReopenApplication},
        {kEventClassRssv, kEventDragSubscription, AEHandleDragSubscription},
        {kEventClassRssv, kEventShowTickerMessage, AEHandleShowTickerMessage},
        {kEventClassRssv, kEventTellTitleRJ, AEHandleTellTitleRJ},
        {kEventClassRssv, kEventTellTitle, AEHandleTellTitle},
        {kEventClassRssv, kEventTellURL, AEHandleTellURL},
        {kEventClassRssv, kEventFilterByWord, AEHandleFilterByWord},
        {kEventClassRssv, kEventDidDownload, AEHandleDidDownload},
        {kEventClassGURL, kEventGetURL, AEHandleGetURL},
        {kEventClassRssv, kEventTellWebLoading, AEHandleTellWebLoading},
        {kEventClassRssv, kEventTellWebBounds, AEHandleTellWebBounds},
    };
    for (const auto& entry : kHandlers)
        InstallMessageHandler(entry.eventClass, entry.eventID, entry.handler);
}
