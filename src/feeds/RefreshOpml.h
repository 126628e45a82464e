// Reading the feeds out of an OPML subscription list held in memory, for a
// subscribed address that turns out to serve such a list: plain string
// searches for the attributes, no XML parser, taking what it recognises.
// (The import command will read lists the same way.)
#pragma once

#include "model/SubscriptionList.h"

#include <string_view>

// A new chain of feed subscriptions (kSiteTypeRSS), one per "<outline .../>"
// element of the list's body that has an xmlUrl attribute whose address no
// subscription of `subscribed` has yet, in document order: the name from its
// text attribute (else its title), the check type from its period attribute
// (else kCheckAtLaunch), orders 0, 1, 2, ... for the caller to offset.
// Attribute values are taken as written (entities are not decoded), up to a
// double quote or a line end. Null when the text does not begin with "<?xm",
// has no "<opml", "<body>" and "</body>" in that order, or lists no new feed.
// An outline that opens other outlines (a folder) contributes nothing; its
// members are read like top-level ones. O(document + feeds × tree).
SubscriptionList* LoadSubscriptionsFromOpml(std::string_view text, const SubscriptionList* subscribed);
