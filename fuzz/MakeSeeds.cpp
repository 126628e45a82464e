// Writes the seed inputs of the fuzz targets whose files Varnoke writes
// itself, with Varnoke's own writers, into the corpus folders named on the
// command line's first argument (fuzz/corpus). Run by hand after a change of
// a file layout: `fuzz_seed_writer fuzz/corpus`. Not part of the tests.
#include "feeds/Restrictions.h"
#include "model/HistoryFiles.h"
#include "model/NewsList.h"
#include "model/SubscriptionList.h"
#include "model/SubscriptionsFile.h"
#include "platform/Files.h"
#include "platform/ResourceStore.h"
#include "settings/Configuration.h"
#include "settings/EnvironsRecords.h"
#include "settings/PreferencesFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace fs = std::filesystem;

namespace {

fs::path gCorpus;

void Put(const std::string& target, const std::string& name, std::string_view bytes)
{
    fs::create_directories(gCorpus / target);
    if (PutDataToFile(gCorpus / target / name, bytes) != kNoErr)
        std::fprintf(stderr, "cannot write %s/%s\n", target.c_str(), name.c_str());
}

SubscriptionList* Feed(SubscriptionList* chain, SiteType type, std::string_view name, std::string_view url)
{
    SubscriptionList node;
    node.siteType = type;
    node.checkType = kCheckEveryHour;
    node.name = name;
    node.accessURL = url;
    node.description = "A feed of the seeds";
    node.termDays = 7.0f;
    return AddSubscriptionList(chain, node);
}

void WriteHistorySeeds()
{
    SubscriptionList* feed = Feed(nullptr, kSiteTypeRSS, "Seeds", "http://example.org/rss.xml");
    NewsList* list = nullptr;
    const char* headlines[] = {"Plain headline", "Tab\there and\nline end", "Unicode \xC3\xA9t\xC3\xA9 \xE2\x9C\x93"};
    uint32_t flags[] = {kNewsFlagRead, kNewsFlagPermanent | kNewsFlagOld, kNewsFlagRetained | kNewsFlagDownloaded};
    for (int i = 0; i < 3; ++i) {
        NewsList item;
        item.type = kNewsTypeFeed;
        item.flags = flags[i];
        item.dateTime = 3'900'000'000u + uint32_t(i);
        item.parent = feed;
        item.headline = headlines[i];
        item.linkURL = "http://example.org/item/" + std::to_string(i);
        list = AddNewsList(list, item);
    }
    NewsList link;
    link.type = kNewsTypeLinkOnly;
    link.parent = feed;
    link.linkURL = "http://example.org/link-only";
    list = AddNewsList(list, link);
    std::string file;
    WriteHistoryBySubscription(file, list, feed);
    Put("history", "written", file);
    Put("history", "damaged", "1\t2\t3\tno link\n+1\t-1\t4294967295\tlimits\thttp://a/\n9\t0\t0\tx\ty\n1\t2\n\r\n");
    DisposeNewsList(list);
    DisposeSubscriptionList(feed);
}

void WriteSubscriptionsSeeds()
{
    SubscriptionList* tree = Feed(nullptr, kSiteTypeRSS, "Top feed", "http://example.org/rss.xml");
    tree = Feed(tree, kSiteTypeGroup, "Folder", "");
    SubscriptionList* group = tree->next;
    SubscriptionList member;
    member.siteType = kSiteTypeRSS;
    member.name = "Member";
    member.accessURL = "http://example.net/feed";
    member.parent = group;
    group->child = AddSubscriptionList(nullptr, member);
    tree = Feed(tree, kSiteTypePOP, "Mail", "pop.example.org");
    tree = Feed(tree, kSiteTypePsedo, "word search", "");
    Put("subscriptions", "tree", WriteSubscriptions(tree));
    DisposeSubscriptionList(tree);
    SubscriptionList* one = Feed(nullptr, kSiteTypeRSS, "\xE6\x97\xA5\xE6\x9C\xAC", "http://example.jp/rdf");
    Put("subscriptions", "one", WriteSubscriptions(one));
    DisposeSubscriptionList(one);
}

void WriteSettingsSeeds()
{
    // The first byte picks the reader: 0 configuration, 1 and 2 the two
    // records, 3 the restriction files.
    std::optional<std::string> configuration = GetDataFromFile("resources/share/Varnoke.cnfg");
    Put("settings", "configuration", std::string(1, '\0') + configuration.value_or("help/index.html\n"));
    Environs environs = MakeDefaultEnvirons(ParseConfiguration(configuration.value_or("")));
    environs.styleSheet = "Default";
    Put("settings", "environs", std::string(1, '\1') + FlattenEnvirons(environs));
    ExtEnvirons extEnvirons;
    extEnvirons.mobileMailAddr = "reader@example.org";
    extEnvirons.mobileSmtpHost = "smtp.example.org";
    Put("settings", "ext-environs", std::string(1, '\2') + FlattenExtEnvirons(extEnvirons));
    std::string scrambled = "ads.example.com\nbanner";
    DisscrambleData(scrambled.data(), scrambled.size());
    Put("settings", "restrictions",
        std::string(1, '\3') + "root\nadmin\r\n\xFF" + scrambled + "\xFF" + ".example.net\r\ntracker\n\nhttp://ads.example.com/x");
}

void WritePreferencesSeeds()
{
    const fs::path home = fs::temp_directory_path() / "varnoke-seeds";
    fs::create_directories(home);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    fs::remove(GetUserPreferencesFile());
    SaveEnvironsRecord(MakeDefaultEnvirons(VarnokeConfiguration()));
    ExtEnvirons extEnvirons;
    extEnvirons.mobileSiteAddr = "ftp://example.org/news/";
    SaveExtEnvironsRecord(extEnvirons);
    SaveWindowBounds(kViewerWindowID, Rect{40, 20, 700, 1000});
    SaveWindowParams(kViewerWindowID, std::string(24, '\x05'));
    SaveProxySetting("proxy-user", "secret");
    Put("prefs", "written", GetDataFromFile(GetUserPreferencesFile()).value_or(""));
    WriteRsrcStore(GetUserPreferencesFile(), {}, FileMode::Private);
    Put("prefs", "empty-store", GetDataFromFile(GetUserPreferencesFile()).value_or(""));
    fs::remove_all(home);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    gCorpus = argv[1];
    WriteHistorySeeds();
    WriteSubscriptionsSeeds();
    WriteSettingsSeeds();
    WritePreferencesSeeds();
    return 0;
}
