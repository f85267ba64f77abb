// The feeds a page's head links, found by the tolerant scanner, and telling a page from a feed.
#include "rss/FeedDiscovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

// Each feed as "address|title|type".
std::vector<std::string> Found(std::string_view page, std::string_view address = "https://example.org/blog/post.html") {
    std::vector<std::string> lines;
    for (const TDiscoveredFeed& f : DiscoverFeeds(page, address)) lines.push_back(f.Address + "|" + f.Title + "|" + f.Type);
    return lines;
}

TEST(DiscoverFeeds, FindsTheAlternateFeedLinksOfTheHead) {
    struct Case {
        const char* name;
        std::string page;
        std::vector<std::string> feeds;
    };
    const Case cases[] = {
        {"two links, one relative, and one that is no feed",
         "<html><head><title>Blog</title>"
         "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"Posts\" href=\"https://example.org/feed/\">"
         "<link rel=\"stylesheet\" type=\"text/css\" href=\"/s.css\">"
         "<link rel=\"alternate\" type=\"application/atom+xml\" title=\"Comments\" href=\"../comments.atom\">"
         "</head><body></body></html>",
         {"https://example.org/feed/|Posts|application/rss+xml", "https://example.org/comments.atom|Comments|application/atom+xml"}},
        {"none", "<html><head><title>x</title><link rel=\"icon\" href=\"/i.png\"></head></html>", {}},
        {"base href, resolved itself against the page, wherever it stands",
         "<head><link rel=alternate type=application/rss+xml href=rss.xml><base href=\"/sub/\"><base href=\"/other/\">",
         {"https://example.org/sub/rss.xml||application/rss+xml"}},
        {"upper-case tags and attributes, single quotes, attributes in any order, type with parameters",
         "<HTML><HEAD><LINK HREF='/a.rdf' TYPE='Application/RDF+XML; charset=utf-8' REL='Alternate'></HEAD>",
         {"https://example.org/a.rdf||application/rdf+xml"}},
        {"unquoted values, a self-closing tag, rel as a list of words",
         "<head><link type=application/rss+xml rel=\"feed  ALTERNATE\" href=/rss/ title=News/>",
         {"https://example.org/rss/|News/|application/rss+xml"}},
        {"rel must hold the word alternate", "<head><link rel=\"alternates\" type=\"application/rss+xml\" href=\"/a\">", {}},
        {"a link in the body is not taken",
         "<head></head><link rel=\"alternate\" type=\"application/rss+xml\" href=\"/late\">", {}},
        {"<body> ends the head", "<body><link rel=\"alternate\" type=\"application/rss+xml\" href=\"/late\">", {}},
        {"javascript: and data: hrefs dropped, fragments dropped, duplicates once",
         "<head><link rel=alternate type=application/rss+xml href=\"javascript:alert(1)\">"
         "<link rel=alternate type=application/rss+xml href=\"data:text/xml,<rss/>\">"
         "<link rel=alternate type=application/rss+xml href=\"/f#top\" title=\"one\">"
         "<link rel=alternate type=application/atom+xml href=\"HTTPS://EXAMPLE.ORG/f/\" title=\"two\">",
         {"https://example.org/f|one|application/rss+xml"}},
        {"entities in href and title decoded, blanks collapsed",
         "<head><link rel=alternate type=application/rss+xml href=\"/f?a=1&amp;b=2&#38;c=3\" "
         "title=\" Caf&#xE9;\n &amp; &lt;Co&gt; &eacute; \">",
         {"https://example.org/f?a=1&b=2&c=3|Café & <Co> &eacute;|application/rss+xml"}},
        {"comments, scripts and styles skipped, with markup inside",
         "<head><!-- <link rel=alternate type=application/rss+xml href=/c> --><script>var s = '<body>"
         "<link rel=alternate type=application/rss+xml href=/s>';</SCRIPT><style>a{}</style>"
         "<link rel=alternate type=application/rss+xml href=/real>",
         {"https://example.org/real||application/rss+xml"}},
        {"a Windows-1252 title", "<head><link rel=alternate type=application/rss+xml href=/f title=\"Caf\xE9\">",
         {"https://example.org/f|Caf\xC3\xA9|application/rss+xml"}},
        {"a tag never closed is not read", "<head><link rel=alternate type=application/rss+xml href=\"/f\"", {}},
        {"feed: hrefs become http", "<head><link rel=alternate type=application/rss+xml href=\"feed://example.net/rss\">",
         {"http://example.net/rss||application/rss+xml"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Found(c.page), c.feeds) << c.name;
}

TEST(DiscoverFeeds, ReadsNoFurtherThanItsBound) {
    const std::string link = "<link rel=alternate type=application/rss+xml href=/f>";
    std::string page = "<html><head><script>";
    page.append(kDiscoveryMaxBytes - page.size() - 9 - link.size(), 'x');
    page += "</script>" + link;
    EXPECT_EQ(Found(page).size(), 1u) << "a link that ends at the bound is read";
    page.insert(20, 1, 'x');
    EXPECT_TRUE(Found(page).empty()) << "one byte later it is cut off";

    std::string manyAttributes = "<head><link rel=alternate type=application/rss+xml href=/f";
    for (int i = 0; manyAttributes.size() < kDiscoveryMaxBytes - 10; ++i) manyAttributes += " a" + std::to_string(i);
    EXPECT_EQ(Found(manyAttributes + ">").size(), 1u);

    std::string noHead(20 << 20, 'a');
    noHead.replace(noHead.size() - link.size(), link.size(), link);
    EXPECT_TRUE(Found(noHead).empty());
}

TEST(IsHtmlPage, TellsAPageFromAFeed) {
    struct Case {
        const char* type;
        const char* body;
        bool page;
    };
    const Case cases[] = {
        {"text/html; charset=utf-8", "<!DOCTYPE html><html>", true},
        {"text/xml", "\xEF\xBB\xBF <!-- x --> <!doctype HTML><html>", true},
        {"application/xhtml+xml", "<?xml version=\"1.0\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\">", true},
        {"", "<HEAD><title>", true},
        {"text/html", "<?xml version=\"1.0\"?><?xml-stylesheet href=\"s.xsl\"?><rss version=\"2.0\">", false},
        {"text/html", "<feed xmlns=\"http://www.w3.org/2005/Atom\">", false},
        {"text/html", "<!DOCTYPE rss><rss>", false},
        {"text/html", "<rdf:RDF>", false},
        {"TEXT/HTML", "Hello", true},
        {"application/rss+xml", "Hello", false},
        {"text/plain", "<p>text", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsHtmlPage(c.type, c.body), c.page) << c.type << " " << c.body;
}

}  // namespace
}  // namespace tw
