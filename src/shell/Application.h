// Start-up and quit of the application, and the message handlers other
// programs reach it through.
#pragma once

#include "platform/FourCharCode.h"
#include "platform/Status.h"

#include <string>
#include <string_view>

constexpr FourCharCode kEventClassAevt = MakeFourCharCode("aevt");
constexpr FourCharCode kEventClassGURL = MakeFourCharCode("GURL");
constexpr FourCharCode kEventClassRssv = MakeFourCharCode("Rssv");

constexpr FourCharCode kEventOpenApplication = MakeFourCharCode("oapp");
constexpr FourCharCode kEventQuitApplication = MakeFourCharCode("quit");
constexpr FourCharCode kEventReopenApplication = MakeFourCharCode("rapp");
constexpr FourCharCode kEventGetURL = MakeFourCharCode("GURL");
constexpr FourCharCode kEventDragSubscription = MakeFourCharCode("Drgs");
constexpr FourCharCode kEventShowTickerMessage = MakeFourCharCode("Tckm");
constexpr FourCharCode kEventTellTitleRJ = MakeFourCharCode("TTrj");
constexpr FourCharCode kEventTellTitle = MakeFourCharCode("TTtl");
constexpr FourCharCode kEventTellURL = MakeFourCharCode("TURL");
constexpr FourCharCode kEventFilterByWord = MakeFourCharCode("Fltr");
constexpr FourCharCode kEventDidDownload = MakeFourCharCode("DLdn");
constexpr FourCharCode kEventTellWebLoading = MakeFourCharCode("TWld");
constexpr FourCharCode kEventTellWebBounds = MakeFourCharCode("TWbd");

constexpr size_t kURLParameterLimit = 511;     // 'GURL' and 'DLdn'
constexpr size_t kKeywordParameterLimit = 511; // 'Fltr'

// Installs every handler of the message table, in the table's order.
void InstallApplicationMessageHandlers();

// The start-up sequence; runs once per process, later calls do nothing.
void RunStartupSequence();
bool IsApplicationInited();

// The quit sequence: the viewer's saves, the agents, then the event loop ends.
void RunQuitSequence();

// The handlers, callable directly for messages the program gives itself.
OSStatus AEHandleOpenApplication(std::string_view parameter, std::string& reply);
OSStatus AEHandleQuitApplication(std::string_view parameter, std::string& reply);
OSStatus AEHandleReopenApplication(std::string_view parameter, std::string& reply);
OSStatus AEHandleGetURL(std::string_view parameter, std::string& reply);
OSStatus AEHandleDragSubscription(std::string_view parameter, std::string& reply);
OSStatus AEHandleShowTickerMessage(std::string_view parameter, std::string& reply);
OSStatus AEHandleTellTitleRJ(std::string_view parameter, std::string& reply);
OSStatus AEHandleTellTitle(std::string_view parameter, std::string& reply);
OSStatus AEHandleTellURL(std::string_view parameter, std::string& reply);
OSStatus AEHandleFilterByWord(std::string_view parameter, std::string& reply);
OSStatus AEHandleDidDownload(std::string_view parameter, std::string& reply);
OSStatus AEHandleTellWebLoading(std::string_view parameter, std::string& reply);
OSStatus AEHandleTellWebBounds(std::string_view parameter, std::string& reply);

// Reads a text parameter as the handlers do: up to the first NUL, cut to
// `limit` bytes without splitting a UTF-8 character. False when there is no
// text at all (the message's parameter is missing).
bool ReadTextParameter(std::string_view parameter, size_t limit, std::string& text);
