// The settings records through the real preferences file: the defaults of a
// first start, records read field by field from hand-built bytes and written
// back byte for byte, the repairs at load, damaged and unreadable files, and
// the file's private mode.
#include "SettingsTestSupport.h"

#include "platform/ResourceStore.h"
#include "settings/Environs.h"
#include "settings/PreferencesFile.h"

#include <gtest/gtest.h>

#include <functional>

namespace fs = std::filesystem;

namespace {

struct FixtureColor {
    uint16_t red, green, blue;
};

// Every field of the stored settings record in stored order, holding the
// values of a first start; each test changes what it needs. With
// `markedReserves` the four reserved areas count up from 0xA000, 0xB000,
// 0xC000 and 0xD000, so that a lost or shifted word shows.
struct EnvironsFixture {
    uint32_t version = 256;
    uint32_t flags = 0;
    uint16_t openStartup = 1, showCounts = 1, toolbarMode = 0, toolbarSize = 0, dontSwitchBrowser = 0;
    uint16_t headlineSize = 2;
    FixtureColor unread{0, 0, 0x9999}, read{0x3333, 0x3333, 0x3333}, perm{0, 0, 0};
    FixtureColor alter{0xEAEA, 0xECEC, 0xF3F3}, diddl{0x9999, 0x3333, 0x9999};
    uint16_t htmlFont = 1, htmlSize = 13;
    std::string styleSheet = "Default"; // raw: padded with NULs to 26 bytes, cut at 26
    uint8_t autoSwitch = 0, autoExpand = 1;
    uint16_t tickerFont = 1, tickerSize = 15;
    FixtureColor ticker{0xFFFF, 0xFFFF, 0xFFFF};
    uint16_t mobileType = 0, mobileHotNews = 0, mobileAuto = 0, mobilePeriod = 3;
    uint32_t mobileLimits = 0;
    uint16_t useFaviconCSS = 1, dontUseQTP = 0;
    bool markedReserves = false;

    std::string Bytes() const
    {
        FixtureBytes b;
        auto reserve = [&](size_t count, uint16_t mark) {
            for (size_t index = 0; index < count; ++index)
                b.U16(markedReserves ? uint16_t(mark + index) : 0);
        };
        auto color = [&](const FixtureColor& c) { b.Color(c.red, c.green, c.blue); };
        b.U32(version).U32(flags).U16(openStartup).U16(showCounts).U16(toolbarMode).U16(toolbarSize);
        b.U16(dontSwitchBrowser);
        reserve(11, 0xA000);
        EXPECT_EQ(b.Size(), 40u);
        b.U16(headlineSize);
        color(unread), color(read), color(perm), color(alter), color(diddl);
        EXPECT_EQ(b.Size(), 72u);
        b.U16(htmlFont).U16(htmlSize).Text(styleSheet, 26).U8(autoSwitch).U8(autoExpand);
        EXPECT_EQ(b.Size(), 104u);
        b.U16(tickerFont).U16(tickerSize);
        color(ticker);
        reserve(9, 0xB000);
        EXPECT_EQ(b.Size(), 132u);
        b.U16(mobileType).U16(mobileHotNews).U16(mobileAuto).U16(mobilePeriod).U32(mobileLimits);
        reserve(10, 0xC000);
        EXPECT_EQ(b.Size(), 164u);
        b.U16(useFaviconCSS).U16(dontUseQTP);
        reserve(14, 0xD000);
        EXPECT_EQ(b.Size(), 196u);
        return b.Get();
    }
};

// A distribution record with every text at its offset; the reserved areas
// hold bytes that must come back unchanged.
std::string MakeExtEnvironsBytes(std::string_view smtpHost = "smtp.example.org")
{
    FixtureBytes b;
    b.Text("news@example.org", 128);
    b.Text("old-user\0x", 64).Text("old-pass", 64);
    EXPECT_EQ(b.Size(), 256u);
    b.Text("https://upload.example.org/news/", 128).Text("uploader", 64).Text("s3cret", 64);
    EXPECT_EQ(b.Size(), 512u);
    b.Text(smtpHost, 128).Text("reader@example.org", 128);
    EXPECT_EQ(b.Size(), 768u);
    for (int index = 0; index < 256; ++index)
        b.U8(uint8_t(index));
    return b.Get();
}

RGBColor Color(const FixtureColor& color)
{
    return RGBColor{color.red, color.green, color.blue};
}

class SettingsRecords : public SettingsTest {
protected:
    void WritePreferences(const std::vector<StoreFixtureEntry>& entries, mode_t mode = 0600)
    {
        WriteTestFile(PreferencesPath(), MakeStoreFile(entries), mode);
    }
    void WriteEnvirons(const EnvironsFixture& fixture) { WritePreferences({{"Envr", 128, fixture.Bytes()}}); }
    // The block stored under `type` 128, read with the keyed store itself.
    std::optional<std::string> StoredEntry(const char (&type)[5])
    {
        return GetRsrcFile(PreferencesPath(), MakeFourCharCode(type), 128);
    }
};

} // namespace

TEST_F(SettingsRecords, FirstStartHasTheDefaultsAndWritesNothing)
{
    InitEnvirons();

    EXPECT_TRUE(ENVopenStartup());
    EXPECT_TRUE(ENVshowCounts());
    EXPECT_EQ(ENVtoolbarMode(), 0);
    EXPECT_EQ(ENVtoolbarSize(), 0);
    EXPECT_FALSE(ENVdontSwitchBrowser());
    EXPECT_EQ(ENVheadlineSize(), 2);
    EXPECT_EQ(ENVunreadColor(), (RGBColor{0, 0, 0x9999}));
    EXPECT_EQ(ENVreadColor(), (RGBColor{0x3333, 0x3333, 0x3333}));
    EXPECT_EQ(ENVpermColor(), (RGBColor{0, 0, 0}));
    EXPECT_EQ(ENValterColor(), (RGBColor{0xEAEA, 0xECEC, 0xF3F3}));
    EXPECT_EQ(ENVdiddlColor(), (RGBColor{0x9999, 0x3333, 0x9999}));
    EXPECT_EQ(ENVhtmlFont(), 1);
    EXPECT_EQ(ENVhtmlSize(), 13);
    EXPECT_EQ(ENVstyleSheet(), "Default") << "the configured default style sheet";
    EXPECT_EQ(ENVautoSwitch(), 0);
    EXPECT_TRUE(ENVautoExpand());
    EXPECT_EQ(ENVtickerFontName(), "DejaVu Sans") << "the configured Roman font";
    EXPECT_EQ(ENVtickerSize(), 15);
    EXPECT_EQ(ENVtickerColor(), (RGBColor{0xFFFF, 0xFFFF, 0xFFFF}));
    EXPECT_EQ(ENVMobileType(), 0);
    EXPECT_FALSE(ENVMobileWithHotNews());
    EXPECT_FALSE(ENVMobileAutoStart());
    EXPECT_EQ(ENVMobileInterval(), 3600u);
    EXPECT_EQ(ENVMobileLimits(), 0);
    EXPECT_TRUE(ENVuseFaviconCSS());
    EXPECT_TRUE(ENVuseQuickTimePlayer());
    EXPECT_EQ(GetEnvirons().version, 256u);
    EXPECT_EQ(ENVMobileMailAddress(), "");
    EXPECT_EQ(ENVMobileSitePassword(), "");
    EXPECT_FALSE(EnvMobileReadyForDistribution());

    EXPECT_FALSE(fs::exists(PreferencesPath())) << "starting alone writes no preferences";
    EXPECT_TRUE(fs::is_regular_file(CSSFolder() / "Default.css")) << "the css folder is set up";
}

TEST_F(SettingsRecords, StoredRecordIsReadFieldByFieldAndWrittenBackByteForByte)
{
    EnvironsFixture fixture;
    fixture.version = 0x12345678; // not checked, only kept
    fixture.flags = 0x0A0B0C0D;
    fixture.openStartup = 0, fixture.showCounts = 0, fixture.toolbarMode = 3, fixture.toolbarSize = 2;
    fixture.dontSwitchBrowser = 1, fixture.headlineSize = 4;
    fixture.unread = {0x1111, 0x2222, 0x3333}, fixture.read = {0x4444, 0x5555, 0x6666};
    fixture.perm = {0x7777, 0x8888, 0x9999}, fixture.alter = {0x8000, 0x8000, 0x8000};
    fixture.diddl = {0x0001, 0xBBBB, 0xCCCC};
    fixture.htmlFont = 3, fixture.htmlSize = 16, fixture.styleSheet = "Night";
    fixture.autoSwitch = 0xFF, fixture.autoExpand = 0;
    fixture.tickerFont = 2, fixture.tickerSize = 18, fixture.ticker = {0xFFFF, 0xCC00, 0x3300};
    fixture.mobileType = 1, fixture.mobileHotNews = 1, fixture.mobileAuto = 1, fixture.mobilePeriod = 4;
    fixture.mobileLimits = 0x00100000;
    fixture.useFaviconCSS = 0, fixture.dontUseQTP = 1;
    fixture.markedReserves = true;
    WritePreferences({{"Envr", 128, fixture.Bytes()}, {"EEnv", 128, MakeExtEnvironsBytes()}});

    InitEnvirons();

    EXPECT_FALSE(ENVopenStartup());
    EXPECT_FALSE(ENVshowCounts());
    EXPECT_EQ(ENVtoolbarMode(), 3);
    EXPECT_EQ(ENVtoolbarSize(), 2);
    EXPECT_TRUE(ENVdontSwitchBrowser());
    EXPECT_EQ(ENVheadlineSize(), 4);
    EXPECT_EQ(ENVunreadColor(), Color(fixture.unread));
    EXPECT_EQ(ENVreadColor(), Color(fixture.read));
    EXPECT_EQ(ENVpermColor(), Color(fixture.perm));
    EXPECT_EQ(ENValterColor(), Color(fixture.alter));
    EXPECT_EQ(ENVdiddlColor(), Color(fixture.diddl));
    EXPECT_EQ(ENVhtmlFont(), 3);
    EXPECT_EQ(ENVhtmlFontName(), "DejaVu Sans Mono");
    EXPECT_EQ(ENVhtmlSize(), 16);
    EXPECT_EQ(ENVstyleSheet(), "Night");
    EXPECT_EQ(ENVautoSwitch(), -1);
    EXPECT_FALSE(ENVautoExpand());
    EXPECT_EQ(ENVtickerFont(), 2);
    EXPECT_EQ(ENVtickerFontName(), "DejaVu Serif");
    EXPECT_EQ(ENVtickerSize(), 18);
    EXPECT_EQ(ENVtickerColor(), Color(fixture.ticker));
    EXPECT_EQ(ENVMobileType(), 1);
    EXPECT_TRUE(ENVMobileWithHotNews());
    EXPECT_TRUE(ENVMobileAutoStart());
    EXPECT_EQ(ENVMobileInterval(), 10800u);
    EXPECT_EQ(ENVMobileLimits(), 0x00100000);
    EXPECT_FALSE(ENVuseFaviconCSS());
    EXPECT_FALSE(ENVuseQuickTimePlayer());

    EXPECT_EQ(ENVMobileMailAddress(), "news@example.org");
    EXPECT_EQ(ENVMobileSiteAddress(), "https://upload.example.org/news/");
    EXPECT_EQ(ENVMobileSiteUserID(), "uploader");
    EXPECT_EQ(ENVMobileSitePassword(), "s3cret");
    EXPECT_EQ(ENVMobileSMTPHost(), "smtp.example.org");
    EXPECT_EQ(ENVMobileSMTPAddress(), "reader@example.org");
    EXPECT_TRUE(EnvMobileReadyForDistribution());

    ASSERT_EQ(SaveEnvirons(), kNoErr);
    EXPECT_EQ(StoredEntry("Envr"), fixture.Bytes()) << "version, flags and reserved words are kept";
    EXPECT_EQ(StoredEntry("EEnv"), MakeExtEnvironsBytes()) << "reserved texts are kept as stored";
}

TEST_F(SettingsRecords, TextsAreCutToTheirWidths)
{
    // A sender that fills its 128 bytes without a NUL is read as 127 bytes.
    WritePreferences({{"EEnv", 128, MakeExtEnvironsBytes(std::string(128, 'h'))}});
    InitEnvirons();
    EXPECT_EQ(ENVMobileSMTPHost(), std::string(127, 'h'));

    Environs environs = GetEnvirons();
    environs.styleSheet = std::string(24, 's') + "\xC3\xA9"; // 26 bytes ending in a 2-byte character
    SetEnvirons(environs);
    EXPECT_EQ(ENVstyleSheet(), std::string(24, 's')) << "cut to 25 bytes without splitting the character";

    ExtEnvirons ext = GetExtEnvirons();
    ext.mobileSitePass = std::string(80, 'p');
    SetExtEnvirons(ext);
    ASSERT_EQ(SaveEnvirons(), kNoErr);
    InitEnvirons();
    EXPECT_EQ(ENVMobileSitePassword(), std::string(63, 'p'));
    EXPECT_EQ(ENVMobileSMTPHost(), std::string(127, 'h'));
    EXPECT_EQ(ENVstyleSheet(), std::string(24, 's'));
}

TEST_F(SettingsRecords, LoadRepairsWhatCallersCannotUse)
{
    struct Case {
        const char* what;
        std::function<void(EnvironsFixture&)> change;
        RGBColor alter;
        RGBColor diddl;
        uint32_t interval;
        uint16_t tickerSize;
        std::optional<std::string> styleSheet;
    };
    const RGBColor defaultAlter{0xEAEA, 0xECEC, 0xF3F3};
    const RGBColor defaultDiddl{0x9999, 0x3333, 0x9999};
    const Case cases[] = {
        {"alternate row too dark in red", [](EnvironsFixture& f) { f.alter = {0x7FFF, 0xFFFF, 0xFFFF}; },
         defaultAlter, defaultDiddl, 3600, 15, "Default"},
        {"alternate row too dark in green", [](EnvironsFixture& f) { f.alter = {0xFFFF, 0x7FFF, 0xFFFF}; },
         defaultAlter, defaultDiddl, 3600, 15, "Default"},
        {"alternate row just light enough", [](EnvironsFixture& f) { f.alter = {0x8000, 0x8000, 0x8000}; },
         {0x8000, 0x8000, 0x8000}, defaultDiddl, 3600, 15, "Default"},
        {"downloaded colour with no green", [](EnvironsFixture& f) { f.diddl = {0x9999, 0, 0x9999}; },
         defaultAlter, defaultDiddl, 3600, 15, "Default"},
        {"downloaded colour nearly black", [](EnvironsFixture& f) { f.diddl = {1, 1, 1}; }, defaultAlter,
         {1, 1, 1}, 3600, 15, "Default"},
        {"no distribution period", [](EnvironsFixture& f) { f.mobilePeriod = 0; }, defaultAlter, defaultDiddl,
         3600, 15, "Default"},
        {"period beyond the menu", [](EnvironsFixture& f) { f.mobilePeriod = 5; }, defaultAlter, defaultDiddl,
         kMobileIntervalNever, 15, "Default"},
        {"ticker size 0", [](EnvironsFixture& f) { f.tickerSize = 0; }, defaultAlter, defaultDiddl, 3600, 15,
         "Default"},
        {"style sheet filling its field", [](EnvironsFixture& f) { f.styleSheet = std::string(26, 'N'); },
         defaultAlter, defaultDiddl, 3600, 15, std::string(25, 'N')},
        {"style sheet with bytes after its NUL",
         [](EnvironsFixture& f) { f.styleSheet = std::string("Night\0junk", 10); }, defaultAlter, defaultDiddl,
         3600, 15, "Night"},
        {"style sheet leaving the css folder", [](EnvironsFixture& f) { f.styleSheet = "../../../etc/x"; },
         defaultAlter, defaultDiddl, 3600, 15, std::nullopt},
        {"no style sheet", [](EnvironsFixture& f) { f.styleSheet = ""; }, defaultAlter, defaultDiddl, 3600, 15,
         std::nullopt},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        EnvironsFixture fixture;
        test.change(fixture);
        WriteEnvirons(fixture);
        InitEnvirons();
        EXPECT_EQ(ENValterColor(), test.alter);
        EXPECT_EQ(ENVdiddlColor(), test.diddl);
        EXPECT_EQ(ENVMobileInterval(), test.interval);
        EXPECT_EQ(ENVtickerSize(), test.tickerSize);
        EXPECT_EQ(ENVstyleSheet(), test.styleSheet);
    }
}

TEST_F(SettingsRecords, MobileIntervalFollowsThePeriod)
{
    const std::pair<uint16_t, uint32_t> cases[] = {
        {1, 600}, {2, 1800}, {3, 3600}, {4, 10800}, {0, kMobileIntervalNever}, {5, kMobileIntervalNever},
        {0xFFFF, kMobileIntervalNever},
    };
    for (auto [period, interval] : cases) {
        Environs environs = GetEnvirons();
        environs.mobilePeriod = period;
        SetEnvirons(environs);
        EXPECT_EQ(ENVMobileInterval(), interval) << "period " << period;
    }
}

TEST_F(SettingsRecords, ReadinessNeedsEveryFieldOfTheChosenMethod)
{
    struct Case {
        uint16_t mobileType;
        const char* mailAddr;
        const char* smtpAddr;
        const char* smtpHost;
        const char* siteAddr;
        const char* siteUser;
        const char* sitePass;
        bool ready;
    };
    const Case cases[] = {
        {0, "to@example.org", "from@example.org", "smtp.example.org", "", "", "", true},
        {0, "to@example.org", "from@example.org", "", "ftp://x/", "u", "p", false},
        {0, "", "from@example.org", "smtp.example.org", "", "", "", false},
        {1, "", "", "", "ftp://x/", "u", "p", true},
        {1, "to@example.org", "from@example.org", "smtp.example.org", "ftp://x/", "u", "", false},
        {2, "", "", "", "ftp://x/", "u", "p", true}, // any type but 0 uploads
    };
    for (const Case& test : cases) {
        Environs environs = GetEnvirons();
        environs.mobileType = test.mobileType;
        SetEnvirons(environs);
        ExtEnvirons ext;
        ext.mobileMailAddr = test.mailAddr, ext.mobileSmtpAddr = test.smtpAddr, ext.mobileSmtpHost = test.smtpHost;
        ext.mobileSiteAddr = test.siteAddr, ext.mobileSiteUser = test.siteUser, ext.mobileSitePass = test.sitePass;
        SetExtEnvirons(ext);
        EXPECT_EQ(EnvMobileReadyForDistribution(), test.ready)
            << "type " << test.mobileType << ", host \"" << test.smtpHost << "\", password \"" << test.sitePass
            << "\"";
    }
}

TEST_F(SettingsRecords, DamagedEntriesGiveDefaultsAndAreKept)
{
    EnvironsFixture fixture;
    fixture.headlineSize = 4;
    const std::vector<StoreFixtureEntry> cases[] = {
        {{"Envr", 128, fixture.Bytes().substr(0, 195)}, {"EEnv", 128, MakeExtEnvironsBytes()}},
        {{"Envr", 128, fixture.Bytes()}, {"EEnv", 128, MakeExtEnvironsBytes().substr(0, 1000)}},
    };
    fs::path damaged = PreferencesFolder() / "Varnoke.prefs.damaged";
    for (const std::vector<StoreFixtureEntry>& entries : cases) {
        bool shortEnvirons = entries[0].data.size() < 196;
        SCOPED_TRACE(shortEnvirons ? "short settings record" : "short distribution record");
        fs::remove(damaged);
        WritePreferences(entries);
        std::string original = *ReadTestFile(PreferencesPath());

        InitEnvirons();
        EXPECT_EQ(ENVheadlineSize(), shortEnvirons ? 2 : 4) << "a record one byte short is not read";
        EXPECT_EQ(ENVMobileMailAddress(), shortEnvirons ? "news@example.org" : "");
        EXPECT_EQ(ReadTestFile(PreferencesPath()), original) << "loading changes nothing";
        EXPECT_EQ(ReadTestFile(damaged), original);
        EXPECT_EQ(FileModeOf(damaged), 0600u) << "the copy holds passwords too";

        ASSERT_EQ(SaveEnvirons(), kNoErr);
        EXPECT_EQ(StoredEntry("Envr")->size(), 196u);
        EXPECT_EQ(StoredEntry("EEnv")->size(), 1024u);
        EXPECT_EQ(ReadTestFile(damaged), original) << "the copy outlives the save";
    }
}

TEST_F(SettingsRecords, LongerRecordIsReadByItsFirstBytes)
{
    EnvironsFixture fixture;
    fixture.headlineSize = 3;
    WritePreferences({{"Envr", 128, fixture.Bytes() + std::string(40, '\x7F')}});
    InitEnvirons();
    EXPECT_EQ(ENVheadlineSize(), 3);
    EXPECT_EQ(ENVtickerSize(), 15);
}

TEST_F(SettingsRecords, UnreadableFileIsNeverOverwritten)
{
    EnvironsFixture fixture;
    fixture.headlineSize = 4;
    // A store written by a later version of the format.
    std::string newer = MakeStoreFile({{"Envr", 128, fixture.Bytes()}}, 2);
    WriteTestFile(PreferencesPath(), newer, 0600);

    InitEnvirons();
    EXPECT_EQ(ENVheadlineSize(), 2);
    EXPECT_NE(SaveEnvirons(), kNoErr);
    EXPECT_EQ(ReadTestFile(PreferencesPath()), newer);

    fs::remove(PreferencesPath());
    fs::create_directories(PreferencesPath() / "inside");
    InitEnvirons();
    EXPECT_NE(SaveEnvirons(), kNoErr);
    EXPECT_TRUE(fs::is_directory(PreferencesPath() / "inside"));
}

TEST_F(SettingsRecords, SavedFileIsPrivateAndKeepsOtherEntries)
{
    InitEnvirons();
    ASSERT_EQ(SaveEnvirons(), kNoErr);
    EXPECT_EQ(FileModeOf(PreferencesPath()), 0600u);

    // A file that was readable by others, holding a window position.
    std::string bounds = FixtureBytes().U16(40).U16(60).U16(640).U16(1060).Get();
    WritePreferences({{"wPos", 200, bounds}}, 0644);
    InitEnvirons();
    ASSERT_EQ(SaveEnvirons(), kNoErr);
    EXPECT_EQ(FileModeOf(PreferencesPath()), 0600u);
    EXPECT_EQ(LoadWindowBounds(kViewerWindowID), (Rect{40, 60, 640, 1060}));
}
