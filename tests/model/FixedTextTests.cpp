// Text fields: cutting to the field's width on a character boundary, every
// record field keeping its own width, copies that do not share storage, and
// the difference between an absent and an empty string object.
#include "ModelTestSupport.h"
#include "model/FixedText.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

struct CutCase {
    const char* name;
    std::string input;
    std::string expected;
};

// A field of width 8 holds at most 7 bytes.
const CutCase kCutCases[] = {
    {"fits exactly", "abcdefg", "abcdefg"},
    {"one byte too long", "abcdefgh", "abcdefg"},
    {"two-byte character across the cut", "abcdef\xC3\xA9", "abcdef"},
    {"three-byte character across the cut", "abcde\xE2\x82\xAC", "abcde"},
    {"four-byte character across the cut", "abcd\xF0\x9F\x98\x80", "abcd"},
    {"four-byte character ending at the cut", "abc\xF0\x9F\x98\x80xyz", "abc\xF0\x9F\x98\x80"},
    {"two-byte character ending at the cut", "abcde\xC3\xA9xyz", "abcde\xC3\xA9"},
    {"single-byte encoding is cut where asked", "caf\xE9 caf\xE9", "caf\xE9 ca"},
    {"empty", "", ""},
};

TEST(FixedTextCut, CutsToWidthWithoutSplittingACharacter)
{
    for (const CutCase& cutCase : kCutCases) {
        SCOPED_TRACE(cutCase.name);
        FixedText<8> field;
        field = cutCase.input;
        EXPECT_EQ(field.view(), cutCase.expected);
        EXPECT_EQ(std::string(field.c_str()), cutCase.expected);
        EXPECT_LE(field.size(), 7u);
    }
}

TEST(FixedTextCut, CopyingIntoANarrowerFieldCutsToTheNarrowerWidth)
{
    const FixedText<64> wide("abcdef\xC3\xA9 and more");
    FixedText<8> narrow;
    narrow = wide;
    EXPECT_EQ(narrow.view(), "abcdef");
}

TEST(FixedTextCut, HugeTextIsCutAndNullTerminated)
{
    std::string huge(1 << 20, 'x');
    FixedText<2048> field(huge);
    EXPECT_EQ(field.size(), 2047u);
    EXPECT_EQ(field.c_str()[2047], '\0');
}

TEST(FixedTextCut, NullPointerIsTheEmptyText)
{
    FixedText<64> field("not empty");
    const char* none = nullptr;
    field = none;
    EXPECT_TRUE(field.empty());
    EXPECT_STREQ(field.c_str(), "");
}

struct FieldCase {
    const char* name;
    std::function<size_t(const std::string&)> assignAndMeasure;
    size_t width;
};

template <typename Record, size_t Width>
FieldCase Field(const char* name, FixedText<Width> Record::*field)
{
    return {name,
            [field](const std::string& text) {
                Record record;
                record.*field = text;
                return (record.*field).size();
            },
            Width};
}

TEST(FixedTextCut, EveryRecordFieldKeepsItsWidth)
{
    const FieldCase fields[] = {
        Field("name", &SubscriptionList::name),
        Field("accessURL", &SubscriptionList::accessURL),
        Field("homeURL", &SubscriptionList::homeURL),
        Field("iconURL", &SubscriptionList::iconURL),
        Field("imageURL", &SubscriptionList::imageURL),
        Field("account", &SubscriptionList::account),
        Field("password", &SubscriptionList::password),
        Field("subscription description", &SubscriptionList::description),
        Field("date", &NewsList::date),
        Field("headline", &NewsList::headline),
        Field("news description", &NewsList::description),
        Field("linkURL", &NewsList::linkURL),
        Field("author", &NewsList::author),
        Field("objectURL", &NewsList::objectURL),
        Field("encodingName", &NewsList::encodingName),
        Field("sound", &NewsList::sound),
        Field("effect", &NewsList::effect),
        Field("subject", &NewsList::subject),
        Field("publisher", &NewsList::publisher),
    };
    const size_t expectedWidths[] = {64, 256, 256, 256, 256, 64, 58, 2048, 64, 256, 8192, 256, 64, 256, 64, 32, 32, 64, 128};
    ASSERT_EQ(std::size(fields), std::size(expectedWidths));
    // "é" repeated: every cut point falls inside or after a two-byte character.
    std::string longText;
    for (int i = 0; i < 5000; ++i)
        longText += "\xC3\xA9";
    for (size_t i = 0; i < std::size(fields); ++i) {
        SCOPED_TRACE(fields[i].name);
        EXPECT_EQ(fields[i].width, expectedWidths[i]);
        const size_t kept = fields[i].assignAndMeasure(longText);
        EXPECT_LE(kept, expectedWidths[i] - 1);
        EXPECT_EQ(kept % 2, 0u) << "a character was split";
        EXPECT_GE(kept, expectedWidths[i] - 2);
    }
}

TEST(FixedTextCopy, CopiesDoNotShareText)
{
    NewsList original;
    original.headline = "first";
    original.headlineRef = "first";
    NewsList copy = original;
    copy.headline = "second";
    copy.headlineRef = "second";
    EXPECT_EQ(original.headline.view(), "first");
    EXPECT_EQ(original.headlineRef.view(), "first");
    EXPECT_EQ(copy.headline.view(), "second");
}

TEST(OptionalTextPresence, AbsentIsNotEmpty)
{
    OptionalText text;
    EXPECT_FALSE(text.has_value());
    EXPECT_EQ(text.view(), "");
    text = "";
    EXPECT_TRUE(text.has_value());
    OptionalText copy = text;
    EXPECT_TRUE(copy.has_value()) << "a copy keeps an empty text present";
    text.reset();
    EXPECT_FALSE(text.has_value());
}

TEST(FixedTextMemory, EmptyFieldsHoldNoHeapBlock)
{
    const long before = LiveAllocationCount();
    {
        NewsList item;
        item.headline = "A headline of some sixty bytes, as most feeds give them....";
        EXPECT_EQ(LiveAllocationCount() - before, 1) << "one block for the one non-empty field";
    }
    EXPECT_EQ(LiveAllocationCount(), before);
}

// ---- A record's texts in one block ----

// "é" repeated, so that every cut falls inside or after a character.
std::string AccentedText(size_t characters)
{
    std::string text;
    for (size_t i = 0; i < characters; ++i)
        text += "\xC3\xA9";
    return text;
}

NewsTextFields SampleNewsTexts(const std::string& longText)
{
    NewsTextFields texts;
    texts.date = "Tue, 05 Mar 2024 12:34:56 GMT";
    texts.headline = longText;
    texts.description = "<p>Some news</p>";
    texts.linkURL = "http://news.example.com/1";
    texts.encodingName = "UTF-8";
    texts.sound = longText;
    texts.headlineRef = "A headline";
    texts.descriptionRef = "";
    return texts;
}

TEST(NewsTexts, OneBlockHoldsEveryTextCutAsAnAssignmentWould)
{
    PrepareNewsRecords();
    const std::string longText = AccentedText(300);
    const long before = LiveAllocationCount();
    {
        NewsList item;
        SetNewsTexts(item, SampleNewsTexts(longText));
        EXPECT_EQ(LiveAllocationCount() - before, 1) << "one block for all the texts";

        NewsList assigned;
        assigned.headline = longText;
        assigned.sound = longText;
        EXPECT_EQ(item.headline.view(), assigned.headline.view());
        EXPECT_EQ(item.sound.view(), assigned.sound.view());
        EXPECT_EQ(item.sound.c_str()[item.sound.size()], '\0');
        EXPECT_EQ(item.date.view(), "Tue, 05 Mar 2024 12:34:56 GMT");
        EXPECT_STREQ(item.linkURL.c_str(), "http://news.example.com/1");
        EXPECT_TRUE(item.author.empty());
        EXPECT_STREQ(item.author.c_str(), "");
        EXPECT_EQ(item.headlineRef.view(), "A headline");
        EXPECT_TRUE(item.descriptionRef.has_value()) << "present but empty stays present";
        EXPECT_EQ(item.descriptionRef.view(), "");
    }
    EXPECT_EQ(LiveAllocationCount(), before);

    NewsList item;
    NewsTextFields texts;
    texts.headline = "Shared";
    texts.headlineRef = "Shared";
    SetNewsTexts(item, texts);
    EXPECT_FALSE(item.descriptionRef.has_value()) << "a null string stays absent";
    EXPECT_EQ(item.headlineRef.view(), "Shared");
}

TEST(NewsTexts, CopiesMovesAndLaterAssignmentsKeepEveryText)
{
    PrepareNewsRecords();
    const std::string longText = AccentedText(300);
    NewsList expected;
    SetNewsTexts(expected, SampleNewsTexts(longText));
    const auto readsAsExpected = [&expected](const NewsList& item) {
        return item.headline.view() == expected.headline.view() && item.sound.view() == expected.sound.view() &&
               item.date.view() == expected.date.view() && item.headlineRef.view() == expected.headlineRef.view() &&
               item.descriptionRef.has_value() && item.linkURL.view() == expected.linkURL.view();
    };

    auto* original = new NewsList;
    SetNewsTexts(*original, SampleNewsTexts(longText));
    NewsList copy = *original;
    NewsList assignedCopy;
    assignedCopy.headline = "replaced by the copy";
    assignedCopy = *original;
    NewsList moved = std::move(*original);
    delete original;
    EXPECT_TRUE(readsAsExpected(copy));
    EXPECT_TRUE(readsAsExpected(assignedCopy));
    EXPECT_TRUE(readsAsExpected(moved));

    NewsList movedAgain;
    SetNewsTexts(movedAgain, SampleNewsTexts("other"));
    movedAgain = std::move(moved);
    EXPECT_TRUE(readsAsExpected(movedAgain));

    NewsList& self = copy;
    copy = self;
    EXPECT_TRUE(readsAsExpected(copy)) << "a record copied onto itself keeps its texts";

    // A field assigned later has a block of its own; the others still read.
    copy.headline = "Later";
    copy.headlineRef = "Later";
    EXPECT_EQ(copy.headline.view(), "Later");
    EXPECT_EQ(copy.sound.view(), expected.sound.view());

    // The record's own texts, borrowed or not, may be laid out again.
    copy.effect = "Own block";
    NewsTextFields again;
    again.headline = copy.headline.view();
    again.effect = copy.effect.view();
    again.sound = copy.sound.view();
    again.headlineRef = copy.sound.view();
    SetNewsTexts(copy, again);
    EXPECT_EQ(copy.headline.view(), "Later");
    EXPECT_EQ(copy.effect.view(), "Own block");
    EXPECT_EQ(copy.sound.view(), expected.sound.view());
    EXPECT_EQ(copy.headlineRef.view(), expected.sound.view());
    EXPECT_TRUE(copy.date.empty());

    // A registered record takes the block along and frees it with itself.
    NewsList* list = AddNewsList(nullptr, std::move(movedAgain));
    EXPECT_TRUE(readsAsExpected(*list));
    EXPECT_TRUE(movedAgain.headline.empty());
    DisposeNewsList(list);
}

} // namespace
