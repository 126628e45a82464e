// Hot news as desktop notifications, for items whose effect is "Growl": a
// worker finds the desktop's notification service, takes the subscription's
// image (fetched once into the image cache) or Varnoke's icon, and sends the
// notification. No service, owned or activatable: nothing is sent.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

struct NewsList;

constexpr std::string_view kNotificationService = "org.freedesktop.Notifications";
constexpr std::string_view kNotificationPath = "/org/freedesktop/Notifications";
constexpr std::string_view kNotificationInterface = "org.freedesktop.Notifications";
// The parts of a notification kept, in UTF-16 units.
constexpr size_t kNotificationTitleUnits = 80;
constexpr size_t kNotificationTextUnits = 200;
constexpr std::string_view kNotificationAppName = "Varnoke";
constexpr std::string_view kNotificationDesktopEntry = "varnoke";
// The title of a hot item without a better one.
constexpr std::string_view kNotificationDefaultTitle = "! Hot NEWS !";

// One notification's texts, made on the main thread for the worker.
struct GrowlInfo {
    std::string headline;    // the notification's title
    std::string description; // its text
    std::string imageURL;    // the subscription's image; empty when none
};

// The texts of `news`: without a description the headline is the text and
// the subscription's name the title; with one, the description is the text
// and the headline the title ("! Hot NEWS !" when empty). Null for an item
// with neither headline nor description.
std::optional<GrowlInfo> MakeGrowlInfo(const NewsList& news);

// The first `units` UTF-16 units of UTF-8 text, never half a surrogate pair.
std::string CutUTF16Units(std::string_view text, size_t units);

// "&", "<" and ">" as entities, for a service that reads body markup.
std::string EscapeNotificationMarkup(std::string_view text);

// <image cache>/<hash>-<last path component> for an image address, the
// hash being the feed cache's CalculateURLHash.
std::filesystem::path GetImageFilePath(std::string_view url);

// What is sent to the service's Notify.
struct NotificationPayload {
    std::string appName;
    std::string appIcon;   // a file URL
    std::string summary;   // the title, cut to 80 units
    std::string body;      // the text, cut to 200 units, escaped for body markup
    std::string imagePath; // the cached image's file URL; empty when the icon is Varnoke's
    int32_t expireTimeout = -1; // the service's default
};

NotificationPayload MakeNotificationPayload(const GrowlInfo& info, std::string_view iconURL, bool bodyMarkup,
                                            bool iconIsImage);

// Announces `news` as a notification on a worker of its own.
void RegistNewsToGrowl(const NewsList& news);

// Workers of RegistNewsToGrowl still running.
uint32_t CountNotificationThreads();
