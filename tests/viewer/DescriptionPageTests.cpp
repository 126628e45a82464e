// The description pane's generated page compared as text for each case of
// its heads, titles and enclosures, its size bound, the switch to the
// item's own page, the web mode bits and the relay files.
#include "viewer/DescriptionPage.h"
#include "viewer/DescriptionWeb.h"

#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

constexpr char kHeadB[] = "<HTML><HEAD>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=";
std::string HeadA(const std::string& style)
{
    // The sheet by its file address: the feed's base address must not take it.
    return "<HTML><HEAD><LINK REL=\"stylesheet\" type=\"text/css\" href=\"file:///home/reader/.local/share/varnoke/css/" + style +
           ".css\">\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=";
}
constexpr char kBody[] = "\"></HEAD>\n<BODY><DIV class=vkbody>\n";
constexpr char kClose[] = "</DIV></DIV></BODY></HTML>";

SubscriptionList Feed(const char* name, const char* icon = "")
{
    SubscriptionList feed;
    feed.siteType = kSiteTypeRSS;
    feed.name = name;
    feed.accessURL = "http://example.org/feed.rss";
    feed.iconURL = icon;
    return feed;
}

} // namespace

TEST(DescriptionPage, ItemPagesByHeadTitleAndEnclosure)
{
    SubscriptionList feed = Feed("Daily");
    SubscriptionList iconic = Feed("Iconic", "http://example.org/favicon.ico");
    DescriptionPageSettings plain;
    plain.viewWidth = 500;
    plain.supportFolder = "/home/reader/.local/share/varnoke";
    DescriptionPageSettings styled = plain;
    styled.styleSheet = "Night";
    DescriptionPageSettings favicon = styled;
    favicon.useFaviconCSS = true;
    DescriptionPageSettings special = favicon;
    special.specialCSSExists = true;
    DescriptionPageSettings player = plain;
    player.useMediaPlayer = true;
    std::string base = "\"><BASE HREF=\"http://example.org/feed.rss";
    std::string title = "<H3 class=vkhead><A HREF=\"http://example.org/1\">Title</A></H3>\n<DIV class=vkdesc>";

    struct Case {
        const char* what;
        DescriptionPageItem item;
        const DescriptionPageSettings* settings;
        std::string page;
    } const cases[] = {
        {"no subscription, no style: head B",
         {"Title", "http://example.org/1", "<p>Body</p>", "", "ISO-8859-1", nullptr}, &plain,
         kHeadB + std::string("ISO-8859-1") + kBody + title + "<p>Body</p>" + kClose},
        {"a chosen style and the feed's base",
         {"Title", "http://example.org/1", "Body", "", "UTF-8", &feed}, &styled,
         HeadA("Night") + "UTF-8" + base + kBody + title + "Body" + kClose},
        {"favicon style and icon before the title",
         {"Title", "", "Body", "", "UTF-8", &iconic}, &favicon,
         HeadA("-Favicon") + "UTF-8" + base + kBody +
             "<H3 class=vkhead><IMG SRC=\"http://example.org/favicon.ico\" class=vkicon>Title</H3>\n<DIV class=vkdesc>Body" + kClose},
        {"favicon setting without an icon keeps the chosen style",
         {"Title", "", "Body", "", "UTF-8", &feed}, &favicon,
         HeadA("Night") + "UTF-8" + base + kBody + "<H3 class=vkhead>Title</H3>\n<DIV class=vkdesc>Body" + kClose},
        {"the subscription's own style sheet",
         {"Title", "", "Body", "", "UTF-8", &iconic}, &special,
         HeadA("+Iconic") + "UTF-8" + base + kBody + "<H3 class=vkhead>Title</H3>\n<DIV class=vkdesc>Body" + kClose},
        {"link equal to the enclosure: no link; audio 80 px narrower",
         {"Episode", "http://example.org/e.mp3", "", "http://example.org/e.mp3", "UTF-8", nullptr}, &plain,
         kHeadB + std::string("UTF-8") + kBody + "<H3 class=vkhead>Episode</H3>\n<DIV class=vkdesc>" +
             "<P ALIGN=\"center\"><AUDIO src=\"http://example.org/e.mp3\" controls preload=\"none\" style=\"width:420px\"></AUDIO></P>" +
             "( No Description )" + kClose},
        {"torrent: no enclosure block",
         {"Title", "http://example.org/1", "Body", "http://example.org/x.torrent", "UTF-8", nullptr}, &plain,
         kHeadB + std::string("UTF-8") + kBody + title + "Body" + kClose},
        {"picture",
         {"Title", "http://example.org/1", "Body", "http://example.org/p.JPG", "UTF-8", nullptr}, &plain,
         kHeadB + std::string("UTF-8") + kBody + title + "<P ALIGN=\"center\"><IMG src=\"http://example.org/p.JPG\"></P>Body" + kClose},
        {"MPEG-4 for the media player: the podcast picture of this user's support folder",
         {"Title", "http://example.org/1", "Body", "http://example.org/v.m4v", "UTF-8", nullptr}, &player,
         kHeadB + std::string("UTF-8") + kBody + title +
             "<P ALIGN=\"center\"><A HREF=\"http://example.org/v.m4v\"><IMG src=\"file:///home/reader/.local/share/varnoke/css/image/podcast.png\"></A></P>Body" +
             kClose},
        {"other video plays in the pane",
         {"Title", "http://example.org/1", "Body", "http://example.org/v.mp4", "UTF-8", nullptr}, &plain,
         kHeadB + std::string("UTF-8") + kBody + title +
             "<P ALIGN=\"center\"><VIDEO src=\"http://example.org/v.mp4\" controls preload=\"metadata\" style=\"max-width:100%\"></VIDEO></P>Body" +
             kClose},
        {"a quote in an address cannot leave its attribute",
         {"Title", "http://example.org/\" onmouseover=\"x", "Body", "", "", nullptr}, &plain,
         kHeadB + std::string("UTF-8") + kBody +
             "<H3 class=vkhead><A HREF=\"http://example.org/%22 onmouseover=%22x\">Title</A></H3>\n<DIV class=vkdesc>Body" + kClose},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeDescriptionPage(c.item, *c.settings), c.page) << c.what;
}

TEST(DescriptionPage, StaysWithinItsBoundAndEndsWhole)
{
    DescriptionPageSettings settings;
    std::string description;
    while (description.size() < 3 * kDescriptionPageLimit)
        description += "caf\xC3\xA9 <b>bold</b> ";
    std::string page = MakeDescriptionPage({"Title", "", description, "", "UTF-8", nullptr}, settings);
    EXPECT_LE(page.size(), kDescriptionPageLimit);
    EXPECT_GT(page.size(), kDescriptionPageLimit - 40);
    EXPECT_TRUE(page.ends_with(kClose));
    std::string body = page.substr(0, page.size() - std::string(kClose).size());
    EXPECT_EQ(body.rfind('<'), body.rfind("<b>") == body.rfind('<') ? body.rfind("<b>") : body.rfind('<'));
    EXPECT_LT(body.rfind('<'), body.rfind('>') + 1) << "cut inside a tag";
    EXPECT_NE(static_cast<unsigned char>(body.back()) & 0xC0, 0xC0) << "cut inside a character";
}

TEST(DescriptionPage, EnclosureClassesBySuffix)
{
    EXPECT_EQ(ClassifyEnclosure(""), EnclosureClass::kNone);
    EXPECT_EQ(ClassifyEnclosure("http://x/a.torrent"), EnclosureClass::kTorrent);
    EXPECT_EQ(ClassifyEnclosure("http://x/a.ACC"), EnclosureClass::kAudio);
    EXPECT_EQ(ClassifyEnclosure("http://x/a.m4a"), EnclosureClass::kAudio);
    EXPECT_EQ(ClassifyEnclosure("http://x/a.jpeg"), EnclosureClass::kPicture);
    EXPECT_EQ(ClassifyEnclosure("http://x/a.M4V"), EnclosureClass::kMpeg4Video);
    EXPECT_EQ(ClassifyEnclosure("http://x/a.Mp3"), EnclosureClass::kOther); // mixed case is not listed
    EXPECT_EQ(ClassifyEnclosure("http://x/a.ogg"), EnclosureClass::kOther);
}

TEST(DescriptionPage, SwitchToTheItemsPageBySetting)
{
    SubscriptionList feed = Feed("Daily");
    SubscriptionList always = Feed("Always");
    always.options = kOptionAlwaysShowPage;
    struct Case {
        const SubscriptionList* parent;
        const char* link;
        const char* description;
        const char* enclosure;
        int8_t autoSwitch;
        bool expected;
    } const cases[] = {
        {&always, "http://x/1", "Body", "", -1, true},
        {&always, "", "", "", 1, false},
        {&feed, "http://x/1", "", "", -1, false},
        {&feed, "http://x/1", "", "", 0, true},
        {&feed, "http://x/1", "Body", "", 0, false},
        {&feed, "http://x/1", "", "http://x/e.mp3", 0, false},
        {&feed, "", "", "", 0, true}, // nothing to show either way: the pane tries the link
        {&feed, "http://x/1", "Body", "", 1, true},
        {&feed, "", "Body", "", 1, false},
        {nullptr, "http://x/1", "Body", "", 1, true},
    };
    for (const Case& c : cases) {
        NewsList item;
        item.parent = const_cast<SubscriptionList*>(c.parent);
        item.linkURL = c.link;
        item.description = c.description;
        item.objectURL = c.enclosure;
        EXPECT_EQ(ShouldSwitchDescription(item, c.autoSwitch), c.expected)
            << c.link << " / " << c.description << " / " << c.enclosure << " / " << int(c.autoSwitch);
    }
}

TEST(DescriptionPage, StoredInTheSupportFolderAndFixedPagesByError)
{
    ScratchFolder home;
    ScopedVariable data("XDG_DATA_HOME", (home / "data").string());
    std::optional<std::filesystem::path> file = StoreToHTMLFile("<HTML>one</HTML>");
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, home / "data" / "varnoke" / "description.html");
    ASSERT_TRUE(StoreToHTMLFile("<HTML>two</HTML>"));
    std::ifstream in(*file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "<HTML>two</HTML>");

    EXPECT_EQ(PreDescriptionFileName(0), "");
    EXPECT_EQ(PreDescriptionFileName(-1), "notRssSite.html");
    EXPECT_EQ(PreDescriptionFileName(-2), "noItemSite.html");
    EXPECT_EQ(PreDescriptionFileName(-3), "notAccessed.html");
    EXPECT_EQ(PreDescriptionFileName(-4), "restricted.html");
    EXPECT_EQ(PreDescriptionFileName(-36), "cannotAccess.html");
}

TEST(DescriptionWeb, WebModeBitsAndSnapBack)
{
    const std::string link = "http://example.org/item";
    EXPECT_EQ(CheckWebModeAvail("", link, link), 0u); // the first load into an empty pane
    // From the generated page to the item's link: no back, no forward.
    EXPECT_EQ(CheckWebModeAvail("file:///d/description.html", link, link), kWebModeShown);
    // From the item's page on to another: all three.
    uint32_t mode = CheckWebModeAvail(link, link, "http://example.org/next");
    EXPECT_EQ(mode, kWebModeShown | kWebModeBack | kWebModeForward);
    EXPECT_TRUE(IsSnapBackAvail(mode, link, "http://example.org/next"));
    // Back on the item's own page: forward only, no snap back.
    mode = CheckWebModeAvail("http://example.org/next", link, link);
    EXPECT_EQ(mode, kWebModeShown | kWebModeForward);
    EXPECT_FALSE(IsSnapBackAvail(mode, link, link));
    EXPECT_FALSE(IsSnapBackAvail(kWebModeShown | kWebModeBack, "", "http://example.org/next"));
}

TEST(DescriptionWeb, RelayFilesGiveTheirFirstLine)
{
    ScratchFolder folder;
    std::filesystem::create_directories(folder / "one");
    std::filesystem::create_directories(folder / "two" / "sub");
    auto write = [](const std::filesystem::path& path, const std::string& text) { std::ofstream(path) << text; };
    write(folder / "one" / "Translate", "https://relay.example/t?u=\r\nsecond line");
    write(folder / "one" / ".hidden", "https://hidden/");
    write(folder / "two" / "Archive", "https://archive.example/\n");
    write(folder / "two" / "Translate", "https://other.example/");
    std::vector<std::filesystem::path> folders{folder / "one", folder / "two", folder / "missing"};

    std::vector<RelayGroup> groups = ListRelayGroups(folders);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].names, std::vector<std::string>{"Translate"});
    EXPECT_EQ(groups[1].names, (std::vector<std::string>{"Archive", "Translate"}));
    EXPECT_EQ(GetRelayString(folders, "Translate"), "https://relay.example/t?u=");
    EXPECT_EQ(GetRelayString(folders, "Archive"), "https://archive.example/");
    EXPECT_EQ(GetRelayString(folders, "sub"), std::nullopt);
    EXPECT_EQ(GetRelayString(folders, "../one/Translate"), std::nullopt);
    EXPECT_EQ(MakeRelayURL("https://relay.example/t?u=", "http://example.org/a"), "https://relay.example/t?u=http://example.org/a");
    std::string longURL = "http://example.org/" + std::string(600, 'a');
    EXPECT_EQ(MakeRelayURL("https://relay.example/", longURL).size(), kRelayURLLimit - 1);
}

TEST(DescriptionPage, TheChosenSheetIsPlacedInThePageWithItsImports)
{
    ScratchFolder css;
    std::ofstream(css / "Default.css") << "h3.vkhead { color: red; } /* </style> */\n";
    std::ofstream(css / "-Favicon.css") << "@import url(\"Default.css\");\nimg.vkicon { width: 16px; }\n";
    std::ofstream(css / "Loop.css") << "@import url(\"Loop.css\");\np { margin: 0; }\n";
    EXPECT_EQ(ReadStyleSheetText(css.Path(), "-Favicon"), "h3.vkhead { color: red; } /* <\\/style> */\n\nimg.vkicon { width: 16px; }\n");
    EXPECT_EQ(ReadStyleSheetText(css.Path(), "Loop"), "\np { margin: 0; }\n");
    EXPECT_EQ(ReadStyleSheetText(css.Path(), "Missing"), "");
    EXPECT_EQ(ReadStyleSheetText(css.Path(), "../Default"), "");

    DescriptionPageSettings settings;
    settings.styleSheet = "Default";
    settings.supportFolder = "/s";
    settings.styleText = "p { margin: 0; }\n";
    std::string description(2 * kDescriptionPageLimit, 'x');
    std::string page = MakeDescriptionPage({"T", "", description, "", "UTF-8", nullptr}, settings);
    EXPECT_TRUE(page.starts_with("<HTML><HEAD><LINK REL=\"stylesheet\" type=\"text/css\" href=\"file:///s/css/Default.css\">\n"
                                 "<STYLE type=\"text/css\">\np { margin: 0; }\n</STYLE>\n<META HTTP-EQUIV=\"Content-Type\""))
        << page.substr(0, 200);
    // The sheet does not take the description's room.
    EXPECT_EQ(page.size(), kDescriptionPageLimit + settings.styleText.size());
}
