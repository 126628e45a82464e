// The logging presenter: one line per thing a window would show that a user
// would notice, so that a windowless run (and its tests) can be followed in
// the log.
#include "viewer/ViewerPresenter.h"

#include "platform/Log.h"

std::string_view SubscriptionDisplayName(const SubscriptionList& subscription)
{
    return subscription.name.empty() ? subscription.accessURL.view() : subscription.name.view();
}

static int LogWidth(std::string_view text)
{
    return int(text.size());
}

void LoggingViewerPresenter::DrawSubscriptionAdded(const SubscriptionList& subscription)
{
    std::string_view name = SubscriptionDisplayName(subscription);
    LogInfo("subscription %u added: %.*s", subscription.sid, LogWidth(name), name.data());
}

void LoggingViewerPresenter::DrawSubscriptionRemoved(uint32_t sid)
{
    LogInfo("subscription %u removed", sid);
}

void LoggingViewerPresenter::DrawNewHeadlines(const SubscriptionList& subscription, uint32_t count)
{
    std::string_view name = SubscriptionDisplayName(subscription);
    LogInfo("%u new headlines in %.*s", count, LogWidth(name), name.data());
}

void LoggingViewerPresenter::DrawPreDescription(const SubscriptionList& subscription)
{
    if (subscription.accessErrors == 0)
        return;
    std::string_view name = SubscriptionDisplayName(subscription);
    LogInfo("%.*s could not be read (%d)", LogWidth(name), name.data(), int(subscription.accessErrors));
}

void LoggingViewerPresenter::PlayNewsSound(const NewsList& news)
{
    if (!news.sound.empty())
        LogInfo("sound '%s' for hot news : %s", news.sound.c_str(), news.headline.c_str());
}

void LoggingViewerPresenter::NotifyNews(const NewsList& news)
{
    LogInfo("notification of hot news : %s", news.headline.c_str());
}

void LoggingViewerPresenter::QueueNewsOnTicker(const NewsList& news, std::string_view sourceName)
{
    LogInfo("ticker [%s] from %.*s : %s", news.effect.c_str(), LogWidth(sourceName), sourceName.data(),
            news.headline.c_str());
}
