// URL rewriting for redirects and favicons, and the item identity tests.
#include "FeedsTestSupport.h"

#include "feeds/URLs.h"
#include "model/NewsList.h"

#include <gtest/gtest.h>

TEST(URLs, RedirectURLAppliesEveryKindOfTarget)
{
    struct Case {
        const char* url;
        const char* moved;
        const char* expected;
    };
    const Case cases[] = {
        {"http://a/b/c.xml", "d.xml", "http://a/b/d.xml"},
        {"http://a/b/c.xml", "/x/y.rdf", "http://a/x/y.rdf"},
        {"http://a/b/c.xml", "http://other/feed", "http://other/feed"},
        {"http://a/b/c.xml", "https://secure/feed", "https://secure/feed"},
        {"https://a/b/c.xml", "/x", "https://a/x"},
        {"https://a/b/c.xml", "//cdn/x", "https://cdn/x"},
        {"http://a", "d.xml", "http://a/d.xml"},
        {"http://a", "/x", "http://a/x"},
        {"host-only", "d.xml", "d.xml"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Transformed(c.url, [&](TextBuffer& url) { EXPECT_EQ(RedirectURL(url, c.moved), kNoErr); }, 255),
                  c.expected)
            << c.url << " + " << c.moved;
    }
    // A result that would not fit is refused, the URL untouched.
    const std::string longTarget(300, 'x');
    EXPECT_EQ(Transformed("http://a/b",
                          [&](TextBuffer& url) { EXPECT_EQ(RedirectURL(url, "/" + longTarget), kParamErr); }, 255),
              "http://a/b");
    EXPECT_EQ(Transformed("http://a/b", [](TextBuffer& url) { EXPECT_EQ(RedirectURL(url, ""), kParamErr); }, 255),
              "http://a/b");
}

TEST(URLs, DeleteLastComponentAndSuffixes)
{
    EXPECT_EQ(Transformed("http://a/b/c.xml", DeleteLastComponentURL), "http://a/b/");
    EXPECT_EQ(Transformed("http://a/b/", DeleteLastComponentURL), "http://a/b/");
    EXPECT_EQ(Transformed("no-slash", DeleteLastComponentURL), "no-slash");

    EXPECT_TRUE(StringHasSuffix("feed.xml", ".xml"));
    EXPECT_FALSE(StringHasSuffix("feed.XML", ".xml"));
    EXPECT_FALSE(StringHasSuffix("ml", ".xml"));

    for (const char* image : {"a.jpg", "a.JPG", "a.jpeg", "a.JPEG", "a.png", "a.PNG", "a.gif", "a.GIF"})
        EXPECT_TRUE(IsImageURL(image)) << image;
    for (const char* other : {"a.Jpg", "a.mp3", "a.jpg?x=1", "jpg", ""})
        EXPECT_FALSE(IsImageURL(other)) << other;
}

TEST(URLs, SameLinkAndSameDate)
{
    NewsList item;
    EXPECT_FALSE(IsSameLinkNews(item, ""));
    EXPECT_FALSE(IsSameLinkNews(item, "http://a/1"));
    item.linkURL = "http://a/1";
    EXPECT_TRUE(IsSameLinkNews(item, "http://a/1"));
    EXPECT_FALSE(IsSameLinkNews(item, "http://a/2"));
    EXPECT_FALSE(IsSameLinkNews(item, ""));

    item.dateTime = 1000;
    EXPECT_TRUE(IsSameDateNews(item, 1000));
    EXPECT_FALSE(IsSameDateNews(item, 1001));
    item.dateFlags = kDateFlagNoDate;
    EXPECT_TRUE(IsSameDateNews(item, 1001));
}
