// The windowless viewer: the viewer's core (model, operations, idle tick and
// refresh cycle) with a presenter that logs what a window would show.
#include "viewer/HeadlessViewer.h"

#include "platform/Log.h"
#include "viewer/ViewerOperations.h"

#include <string>

constexpr std::string_view kFeedScheme = "feed:";

HeadlessViewer::HeadlessViewer()
    : m_staff(OpenNewsViewerCore(std::make_unique<LoggingViewerPresenter>()))
{
}

HeadlessViewer::~HeadlessViewer()
{
    Close();
}

bool HeadlessViewer::HoldsHotNews() const
{
    return m_staff && CountHotNews(m_staff->news) > 0;
}

// `url` is what followed "feed:" in the message: "//host/x", "http://..." or
// "https://...", each standing for the matching web address.
void HeadlessViewer::SubscribeURL(std::string_view url)
{
    std::string feedURL = std::string(kFeedScheme) + std::string(url);
    SubscribeURLInViewerWindow(m_staff, feedURL);
}

void HeadlessViewer::LoadURL(std::string_view url)
{
    LogInfo("no viewer window for loading %.*s", int(url.size()), url.data());
}

void HeadlessViewer::FilterKeyword(std::string_view keyword)
{
    uint32_t count = m_staff ? CountUnreadNewsByKeyword(m_staff->news, keyword) : 0;
    LogInfo("%u unread news match %.*s", count, int(keyword.size()), keyword.data());
}

void HeadlessViewer::MarkDownload(std::string_view enclosureURL)
{
    if (!m_staff)
        return;
    if (NewsList* item = FindNewsByEnclosure(m_staff->news, enclosureURL)) {
        item->flags |= kNewsFlagDownloaded;
        MarkAutoSave(m_staff);
    }
}

void HeadlessViewer::Close()
{
    if (!m_staff)
        return;
    CloseNewsViewerCore();
    m_staff = nullptr;
}

std::unique_ptr<ShellViewer> OpenHeadlessViewer()
{
    return std::make_unique<HeadlessViewer>();
}
