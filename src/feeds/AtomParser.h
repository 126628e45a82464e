// The Atom parser: Atom 0.3 and 1.0 feeds, read with the same plain string
// searches, field limits, text tools and registration as the RSS parser.
// An Atom feed has no channel image and no enclosures. Results are
// FeedKind.h's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct SubscriptionList;

// Parses the document `data` for `subscription`, as ParseRSSNews does: the
// feed's title, alternate link and tagline (or subtitle) fill the empty
// channel fields, and each entry is cleaned, dated and registered.
// Returns the number of entries registered as new, or kFeedNotRecognizedErr
// (no ">", no "<feed", no feed title, or the first entry before that
// title; the subscription is not touched), kFeedNoItemsErr (a feed without
// entries) or kFeedRestrictedErr (its home page is restricted).
int32_t ParseAtomNews(SubscriptionList& subscription, std::string_view data, bool& named);

// The offset just after the first ">" at or after `at`; text.size() when
// there is none.
size_t SeekEndOfTag(std::string_view text, size_t at);
