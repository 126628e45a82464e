// The RSS parser: RSS 0.91, 0.92 and 2.0 and RSS 1.0 in its RDF form, read
// with plain string searches for literal tags (exact case, no other
// namespaces), never as XML. It fills the channel fields a subscription
// still lacks and hands each item to the state merge (NewsState.h). Results
// are FeedKind.h's.
#pragma once

#include <cstdint>
#include <string_view>

struct SubscriptionList;

// Parses the document `data` (whole, NUL bytes already repaired) for
// `subscription`:
// - the channel's name, description, image and home page are written into
//   the subscription where they are still empty (names and descriptions as
//   UTF-8); `named` becomes true when the name was written;
// - every item is cleaned, dated and registered with RegisterNewsState; an
//   item whose link is a restricted site is left out; an item that has
//   neither headline nor text is dropped.
// Returns the number of items registered as new, or kFeedNotRecognizedErr
// (not an RSS document, or no complete channel; the subscription is not
// touched), kFeedNoItemsErr (no item after the channel), kFeedRestrictedErr
// (the channel is named kSiteProtectedName, or its home page is restricted).
// An item element whose end tag is missing or lies beyond its item's end
// stops the reading; the items before it stay registered.
// Cost: O(document) searches, no allocation per item beyond its record and
// its two strings.
int32_t ParseRSSNews(SubscriptionList& subscription, std::string_view data, bool& named);
