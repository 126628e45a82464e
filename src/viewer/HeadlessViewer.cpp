// The windowless viewer: model operations only, logging what a window would show.
#include "viewer/HeadlessViewer.h"

#include "platform/Log.h"

#include <string>

HeadlessViewer::HeadlessViewer()
    : m_staff(OpenViewerModel())
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

void HeadlessViewer::SubscribeURL(std::string_view url)
{
    std::string text(url);
    if (m_staff && FindSubscriptionByURL(m_staff->subscriptions, text)) {
        LogInfo("already subscribed to %s", text.c_str());
        return;
    }
    LogInfo("no viewer window for subscribing feed:%s", text.c_str());
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
    if (NewsList* item = FindNewsByEnclosure(m_staff->news, enclosureURL))
        item->flags |= kNewsFlagDownloaded;
}

void HeadlessViewer::Close()
{
    if (!m_staff)
        return;
    CloseViewerModel(m_staff);
    m_staff = nullptr;
}

std::unique_ptr<ShellViewer> OpenHeadlessViewer()
{
    return std::make_unique<HeadlessViewer>();
}
