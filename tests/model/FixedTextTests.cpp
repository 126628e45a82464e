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

} // namespace
