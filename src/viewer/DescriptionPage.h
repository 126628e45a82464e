// The description pane's generated pages, as UTF-8 HTML without widgets:
// one news item (headline, date, source, its description and link), and the
// summary of a subscription shown while no item is (its description, feed
// address, counts and its last access failure). Every text from a feed but
// the item's description is escaped; the page runs with scripts off and no
// access to local files, which the window sets up.
#pragma once

#include "model/NewsList.h"
#include "model/SubscriptionList.h"

#include <string>
#include <string_view>

std::string EscapeHTMLText(std::string_view text);

// The item's description as UTF-8 HTML: its bytes converted from the feed's
// encoding, or the plain-text form escaped when they cannot be.
std::string NewsDescriptionHTML(const NewsList& item);

std::string MakeNewsDescriptionPage(const NewsList& item);
// What the pane shows while no subscription is chosen: the totals.
std::string MakeOverviewPage(uint32_t subscriptions, uint32_t unread, uint32_t unreadHot);
std::string MakePreDescriptionPage(const SubscriptionList& subscription, uint32_t itemCount, uint32_t unreadCount);
