// The description pane's generated pages, as bytes without widgets: the
// page of one news item (heads, style sheet, favicon, title, enclosure
// block, description) in the item's own encoding, the summary and overview
// pages shown while no item is, the choice between the generated page and
// the item's own web page, and where the page file and the fixed pages live.
#pragma once

#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "platform/Status.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The generated page never grows past this many bytes.
constexpr size_t kDescriptionPageLimit = 10240;
constexpr char kDescriptionFileName[] = "description.html";
constexpr char kNoDescriptionText[] = "( No Description )";
constexpr int kEnclosurePlayerMargin = 80; // the audio player is this much narrower than the pane

std::string EscapeHTMLText(std::string_view text);

// The item's description as UTF-8 HTML: its bytes converted from the feed's
// encoding, or the plain-text form escaped when they cannot be.
std::string NewsDescriptionHTML(const NewsList& item);

// What the pane shows while no subscription is chosen: the totals.
std::string MakeOverviewPage(uint32_t subscriptions, uint32_t unread, uint32_t unreadHot);
std::string MakePreDescriptionPage(const SubscriptionList& subscription, uint32_t itemCount, uint32_t unreadCount);

/* ---- Enclosures ---- */

enum class EnclosureClass { kNone, kTorrent, kAudio, kPicture, kMpeg4Video, kOther };

bool IsTorrentURL(std::string_view url);
bool IsAudioURL(std::string_view url);
// IsImageURL is the parsers' (feeds/URLs.h).
bool IsMpeg4VideoURL(std::string_view url);
// By the address's ending, checked as torrent, audio, picture, MPEG-4;
// kNone for an empty address.
EnclosureClass ClassifyEnclosure(std::string_view url);

/* ---- The item's page ---- */

// The settings and surroundings a page depends on, gathered by the caller
// so that the page itself is a pure function of them.
struct DescriptionPageSettings {
    std::string styleSheet;          // chosen style sheet's base name; empty = none
    bool useFaviconCSS = false;      // the favicon style for subscriptions with an icon
    bool specialCSSExists = false;   // "+<parent name>.css" exists in the css folder
    bool useMediaPlayer = false;     // MPEG-4 video is linked behind the podcast picture
    int viewWidth = 0;               // the web view's width in pixels
    std::filesystem::path supportFolder; // where the css folder is; empty: "css/" relative to the page
    // The chosen sheet's text (ReadStyleSheetText), placed in the page
    // itself: the engine lets a local page read no other local file, so the
    // linked sheet alone would never apply. Empty: the link alone.
    std::string styleText;
};

struct DescriptionPageItem {
    std::string_view title;
    std::string_view link;
    std::string_view description;
    std::string_view enclosure;
    std::string_view encodingName;
    const SubscriptionList* parent = nullptr;
};

// The item's page: head A (linking a style sheet of the support folder's
// css folder by its file address) or head B, the charset of
// the item's encoding, the base address of its subscription, the title with
// or without its link, the enclosure block, the description or "( No
// Description )", and the closing text. Texts go in as stored (the parsers
// have cleaned them); addresses placed in attributes cannot leave their
// quotes. A description that would pass kDescriptionPageLimit is cut at a
// character boundary outside any tag, so the page always ends whole.
std::string MakeDescriptionPage(const DescriptionPageItem& item, const DescriptionPageSettings& settings);
// The same for a listed item, whose texts DescriptionItemOf gathers.
DescriptionPageItem DescriptionItemOf(const NewsList& item);
// The style sheet MakeDescriptionPage would link for `item`: its name, or
// empty for none.
std::string DescriptionStyleName(const DescriptionPageItem& item, const DescriptionPageSettings& settings);
// The text of "<name>.css" in `cssFolder`, with its imports of other sheets
// of that folder (@import url("x.css");) replaced by their text, one level
// deep; empty when the sheet cannot be read or `name` is no sheet name.
std::string ReadStyleSheetText(const std::filesystem::path& cssFolder, std::string_view name);
std::string MakeNewsDescriptionPage(const NewsList& item, const DescriptionPageSettings& settings);

// Whether the pane shows the item's own page instead of the generated one:
// always when its subscription asks for the page and it has a link;
// otherwise never for `autoSwitch` < 0, for 0 when the item has neither
// description nor enclosure, and for > 0 when it has a link.
bool ShouldSwitchDescription(const NewsList& item, int8_t autoSwitch);

/* ---- Files ---- */

// Writes the page to "description.html" in the support folder (made when
// missing), replacing it; the file's path, or the failure.
std::optional<std::filesystem::path> StoreToHTMLFile(std::string_view page, OSStatus* status = nullptr);

// The fixed page for a subscription's access error: "notRssSite.html" (-1),
// "noItemSite.html" (-2), "notAccessed.html" (-3), "restricted.html" (-4),
// "cannotAccess.html" (any other non-zero); empty for 0.
std::string_view PreDescriptionFileName(int32_t accessErrors);
constexpr char kBlankDescriptionFileName[] = "blank.html";
// A fixed page of the "html" resources, null when it is missing.
std::optional<std::filesystem::path> FixedDescriptionPage(std::string_view fileName);
