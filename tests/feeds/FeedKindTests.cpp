// Telling documents apart (by their root element for Atom and OPML), the
// OPML title, UTF-16 and UTF-32 documents, and the end of a start tag.
#include "ParserTestSupport.h"

#include "platform/Encodings.h"

#include <gtest/gtest.h>

namespace {

const std::string kRss = RssDocument("<title>R</title><item><title>a</title></item>");
const std::string kAtom10Head = "<feed xmlns=\"http://www.w3.org/2005/Atom\">";

TEST(FeedKindTest, TellsDocumentsApartByTheirRoot)
{
    struct Case {
        std::string label;
        std::string document;
        DocumentSource source;
        FeedKind kind;
    } const cases[] = {
        {"RSS", kRss, DocumentSource::kNetwork, FeedKind::kRss},
        {"RSS 1.0", ReadFixture("rss10-rdf.xml"), DocumentSource::kNetwork, FeedKind::kRss},
        {"Atom 1.0 after a byte-order mark", ReadFixture("atom10.xml"), DocumentSource::kNetwork, FeedKind::kAtom},
        {"Atom 0.3", ReadFixture("atom03.xml"), DocumentSource::kCache, FeedKind::kAtom},
        {"Atom 0.3 without its version is no Atom",
         "<?xml version=\"1.0\"?><feed xmlns=\"http://purl.org/atom/ns#\"><title>x</title></feed>",
         DocumentSource::kNetwork, FeedKind::kRss},
        {"Atom without a declaration, after comments and a style sheet",
         "\n<!-- made by hand -->\n<?xml-stylesheet href=\"a.xsl\"?>\n" + kAtom10Head + "</feed>",
         DocumentSource::kNetwork, FeedKind::kAtom},
        {"an RSS item quoting an Atom feed stays RSS",
         RssDocument("<item><title>Atom</title><description><![CDATA[" + kAtom10Head +
                     "]]></description></item>"),
         DocumentSource::kNetwork, FeedKind::kRss},
        {"an RSS item quoting an OPML list stays RSS",
         RssDocument("<item><title>OPML</title><description><![CDATA[<opml> lists]]></description></item>"),
         DocumentSource::kNetwork, FeedKind::kRss},
        {"OPML of any version, after white space", "  \r\n" + ReadFixture("opml.xml"), DocumentSource::kNetwork,
         FeedKind::kOpml},
        {"OPML from the cache is never a list", ReadFixture("opml.xml"), DocumentSource::kCache, FeedKind::kRss},
        {"an HTML page", "<!DOCTYPE html>\n<html><head><title>x</title></head></html>", DocumentSource::kNetwork,
         FeedKind::kUnknown},
        {"nothing", "", DocumentSource::kNetwork, FeedKind::kUnknown},
        {"a prolog that never ends", "<?xml version=\"1.0\"", DocumentSource::kNetwork, FeedKind::kUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(GetFeedKind(c.document, c.source), c.kind);
    }
}

TEST(FeedKindTest, ReadsTheOpmlTitle)
{
    struct Case {
        std::string label;
        std::string document;
        std::string title;
    } const cases[] = {
        {"Latin-1 with a reference", ReadFixture("opml.xml"), "Abonnements de René & Co"},
        {"the first line only",
         "<?xml version=\"1.0\"?><opml><head><title>Feeds &#8212; mine\nand more</title></head></opml>",
         "Feeds — mine"},
        {"no title", "<?xml version=\"1.0\"?><opml><head></head></opml>", ""},
        {"a title never closed", "<?xml version=\"1.0\"?><opml><head><title>Open", ""},
        {"no tag end at all", "<?xml version=\"1.0\"", ""},
        {"cut to 63 bytes on a character boundary", "<opml><title>" + std::string(62, 'x') + "é</title></opml>",
         std::string(62, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ParseOpmlTitle(c.document), c.title);
    }
}

TEST(FeedKindTest, ConvertsUnicodeDocumentsToUTF8)
{
    struct Case {
        std::string label;
        std::string to;
        std::string prefix;
    } const cases[] = {
        {"UTF-16 with a byte-order mark", "UTF-16LE", "\xFF\xFE"},
        {"UTF-16 big-endian without a mark", "UTF-16BE", ""},
        {"UTF-32 with a byte-order mark", "UTF-32BE", std::string("\x00\x00\xFE\xFF", 4)},
    };
    const std::string document = RssDocument("<title>Caf\xC3\xA9</title><item><title>a</title></item>", "UTF-16");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string data = c.prefix + ConvertEncoding(document, "UTF-8", c.to).value_or("");
        ASSERT_TRUE(ConvertUnicodeDocument(data));
        EXPECT_EQ(data, document);
        ParsedFeed feed;
        EXPECT_EQ(feed.Parse(Parser::kRss, data), 1);
        EXPECT_EQ(feed.subscription.name.view(), "Café");
    }
    std::string plain = kRss;
    EXPECT_FALSE(ConvertUnicodeDocument(plain));
    EXPECT_EQ(plain, kRss);
}

TEST(FeedKindTest, SeeksTheEndOfATag)
{
    EXPECT_EQ(SeekEndOfTag("<title type=\"html\">x", 0), 19u);
    EXPECT_EQ(SeekEndOfTag("<title", 0), 6u);
    EXPECT_EQ(SeekEndOfTag("<a><b>", 3), 6u);
    EXPECT_EQ(SeekEndOfTag("<a>", 9), 3u);
}

} // namespace
