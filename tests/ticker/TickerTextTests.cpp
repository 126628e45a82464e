// Entry texts: the script chosen for headline and source, the summary of
// the description within 159 bytes, and the cut to the screen's width.
#include "model/NewsList.h"
#include "ticker/TickerText.h"

#include <gtest/gtest.h>

namespace {

TEST(TickerText, ScriptFollowsTheHeadlineThenTheSource)
{
    struct Case {
        const char* headline;
        const char* source;
        TickerScript script;
    } const kCases[] = {
        {"Plain English", "", kTickerScriptRoman},
        {"Caf\xC3\xA9 cr\xC3\xA8me", "Le Monde", kTickerScriptRoman},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE8\xA6\x8B\xE5\x87\xBA\xE3\x81\x97", "", kTickerScriptJapanese},
        {"Roman headline", "\xE6\x97\xA5\xE7\xB5\x8C", kTickerScriptJapanese}, // Japanese source name
        {"\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8", "", kTickerScriptCyrillic},
        {"\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4", "", kTickerScriptKorean},
        {"\xE4\xB8\xAD\xE5\x9B\xBD\xE7\xBB\x8F\xE6\xB5\x8E", "", kTickerScriptChineseSimp}, // 经 is not JIS
        {"\xD8\xA7\xD9\x84\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A\xD8\xA9", "", kTickerScriptRoman}, // no script: fallback fonts
    };
    for (const Case& c : kCases)
        EXPECT_EQ(ChooseTickerScript(c.headline, c.source), c.script) << c.headline;
}

TEST(TickerText, FirstSentenceEndsAtPunctuationFollowedBySpace)
{
    EXPECT_EQ(SummarizeFirstSentence("Version 2.5 is out. It fixes bugs."), "Version 2.5 is out.");
    EXPECT_EQ(SummarizeFirstSentence("Really? Yes."), "Really?");
    EXPECT_EQ(SummarizeFirstSentence("No end at all"), "No end at all");
    EXPECT_EQ(SummarizeFirstSentence("\xE6\x96\x87\xE3\x80\x82\xE6\xAC\xA1"), "\xE6\x96\x87\xE3\x80\x82");
}

TickerQueue Summarize(uint32_t type, std::string_view source, std::string_view author, std::string_view headline,
                      std::optional<std::string_view> description)
{
    TickerQueue entry;
    entry.newsType = type;
    SummarizeMessage(entry, source, author, headline, description);
    return entry;
}

TEST(TickerText, SummaryIsTheDescriptionsFirstSentenceWhenRoomIsLeft)
{
    TickerQueue entry = Summarize(kNewsTypeFeed, "Daily", "someone", "Kernel released",
                                  std::string_view("Linus tagged the release &amp; more. The merge window opens "
                                                   "next week with many, many changes queued for it, more than "
                                                   "anyone expected, so it is going to be a long one."));
    EXPECT_EQ(entry.title.view(), "Daily");
    EXPECT_EQ(entry.message.view(), "Kernel released --- Linus tagged the release & more.");

    // Mail-like items are titled by their author.
    EXPECT_EQ(Summarize(kNewsTypeLinkOnly, "Daily", "Ann", "Hi", std::nullopt).title.view(), "Ann");
}

TEST(TickerText, SummaryNeedsMoreThanThirtyBytesOfRoom)
{
    std::string headline(159 - 5 - 30, 'h'); // title "Daily" + headline leave exactly 30
    EXPECT_EQ(Summarize(kNewsTypeFeed, "Daily", "", headline, std::string_view("Some text.")).message.view(),
              headline);
    headline.pop_back(); // 31 left
    EXPECT_EQ(Summarize(kNewsTypeFeed, "Daily", "", headline, std::string_view("Some text.")).message.view(),
              headline + " --- Some text.");
}

TEST(TickerText, MessageStaysWithin159BytesOnACharacterBoundary)
{
    std::string headline;
    for (int i = 0; i < 30; ++i)
        headline += "\xE6\x97\xA5\xE6\x9C\xAC"; // 180 bytes of Japanese
    TickerQueue entry = Summarize(kTickerNewsTypeMessage, "", "", headline, std::nullopt);
    EXPECT_LE(entry.message.size(), 159u);
    EXPECT_EQ(entry.message.size() % 3, 0u);
    EXPECT_EQ(entry.script, kTickerScriptJapanese);
}

TEST(TickerText, WideMessagesLoseEightBytesAtATimeAndEndInDots)
{
    auto measure = [](std::string_view text) { return int32_t(text.size() * 10); };
    TruncatedMessage fits = TrancateMessage("short", 1280, 0, measure);
    EXPECT_EQ(fits.text, "short");
    EXPECT_EQ(fits.width, 50);

    std::string wide(130, 'x'); // 1300 pixels; the limit is 1280 - 56 = 1224
    TruncatedMessage cut = TrancateMessage(wide, 1280, 0, measure);
    EXPECT_EQ(cut.text.find_first_not_of('x'), 122u);
    EXPECT_EQ(cut.text.substr(122), "...");
    EXPECT_EQ(cut.width, 1250);

    TruncatedMessage titled = TrancateMessage(wide, 1280, 200, measure); // 1280 - 200 - 84 = 996
    EXPECT_EQ(titled.text.find_first_not_of('x'), 98u);
    EXPECT_EQ(titled.text.substr(98), "...");
}

} // namespace
