// What the shell hands its messages and commands to. The viewer window and
// the ticker register themselves here when they open; until then the shell
// answers as it does when no viewer window exists.
#pragma once

#include "platform/FourCharCode.h"
#include "platform/Status.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct TickerMessage;

struct WebBounds {
    int16_t top = 0;
    int16_t left = 0;
    int16_t bottom = 0;
    int16_t right = 0;
};

// The viewer window's operations that messages and application commands reach.
class ShellViewer {
public:
    virtual ~ShellViewer() = default;

    virtual bool IsVisible() const = 0;
    virtual void ShowAndBringToFront() = 0;
    virtual bool HoldsHotNews() const = 0;
    virtual void ShowHotNews() = 0;

    virtual void SubscribeURL(std::string_view url) = 0;  // the rest of a "feed:" text
    virtual void LoadURL(std::string_view url) = 0;       // any other 'GURL' text
    virtual void FilterKeyword(std::string_view keyword) = 0;
    virtual void MarkDownload(std::string_view enclosureURL) = 0;
    virtual void DragOutSubscription() = 0;

    virtual std::string GetCurrentTitle() const = 0;   // UTF-8, empty when none
    virtual std::string GetCurrentTitleRJ() const = 0; // the same for old-style readers
    virtual std::string GetCurrentURL() const = 0;
    virtual bool IsWebLoading() const = 0;
    virtual WebBounds GetWebBounds() const = 0;

    // The quit-time saves; the shell deletes the viewer afterwards.
    virtual void Close() = 0;
};

// The ticker's entry point for messages from other programs.
class ShellTicker {
public:
    virtual ~ShellTicker() = default;
    virtual void RegistMessage(const TickerMessage& message) = 0;
    virtual void Close() = 0;
};

// The modules that open windows at start-up register how to open them.
struct ShellOpeners {
    std::unique_ptr<ShellViewer> (*openViewer)() = nullptr;
    std::unique_ptr<ShellTicker> (*openTicker)() = nullptr;
    void (*initSettings)() = nullptr;
    void (*initFilters)() = nullptr;
    void (*initProxy)() = nullptr;
    void (*closePresetList)() = nullptr;
    void (*openNewsFilterWindow)() = nullptr; // the 'sNFW' command
    // The desktop's services for the commands that open pages and files;
    // without them those commands log what they would have opened.
    OSStatus (*launchURL)(std::string_view url) = nullptr;
    OSStatus (*openFile)(const std::filesystem::path& file) = nullptr;
};

void SetShellOpeners(const ShellOpeners& openers);
const ShellOpeners& GetShellOpeners();

// Application commands the shell answers itself.
constexpr FourCharCode kCommandOpenNewsFilter = MakeFourCharCode("sNFW"); // the keyword filter window
constexpr FourCharCode kCommandShowViewer = MakeFourCharCode("sNVW");     // show the viewer window
constexpr FourCharCode kCommandShowHotNews = MakeFourCharCode("sHOT");    // the viewer's hot-news list
constexpr FourCharCode kCommandShowDownloads = MakeFourCharCode("sDLW");  // the download agent's window
constexpr FourCharCode kCommandGoHome = MakeFourCharCode("GoVK");         // the product's home page
constexpr FourCharCode kCommandGoSubmit = MakeFourCharCode("GoSM");       // the site-submission page
constexpr FourCharCode kCommandHelp = MakeFourCharCode("Help");           // the help file
constexpr FourCharCode kCommandFirstSyndic = MakeFourCharCode("synA");    // 'synA'..'synZ': syndication links

// Performs an application command. Answers whether the event counts as
// handled: 'sNFW', 'sNVW' and the syndication links are, the others are
// performed and still left to other handlers, as is every command not listed.
bool ProcessShellCommand(FourCharCode command);
// Whether the command can be chosen now ('sHOT' only while the viewer holds hot news).
bool IsShellCommandEnabled(FourCharCode command);

// Null until the start-up sequence opened them (or when no module provides
// them). The shell owns both and deletes them after their Close at quit.
ShellViewer* GetShellViewer();
ShellTicker* GetShellTicker();
