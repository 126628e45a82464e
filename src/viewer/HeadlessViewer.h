// The viewer as the shell sees it while there is no viewer window: it owns
// the model, answers the queries as a hidden window with no page would, and
// does the quit-time saves.
#pragma once

#include "shell/ShellTargets.h"
#include "viewer/ViewerModel.h"

class HeadlessViewer : public ShellViewer {
public:
    HeadlessViewer();
    ~HeadlessViewer() override;

    bool IsVisible() const override { return false; }
    void ShowAndBringToFront() override {}
    bool HoldsHotNews() const override;
    void ShowHotNews() override {}

    void SubscribeURL(std::string_view url) override;
    void LoadURL(std::string_view url) override;
    void FilterKeyword(std::string_view keyword) override;
    void MarkDownload(std::string_view enclosureURL) override;
    void DragOutSubscription() override {}

    std::string GetCurrentTitle() const override { return {}; }
    std::string GetCurrentTitleRJ() const override { return {}; }
    std::string GetCurrentURL() const override { return {}; }
    bool IsWebLoading() const override { return false; }
    WebBounds GetWebBounds() const override { return {}; }

    void Close() override;

    const NVWStaff* Staff() const { return m_staff; }

private:
    NVWStaff* m_staff = nullptr;
};

// The ShellOpeners entry: opens the headless viewer.
std::unique_ptr<ShellViewer> OpenHeadlessViewer();
