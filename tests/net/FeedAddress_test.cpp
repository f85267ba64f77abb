#include "net/FeedAddress.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace tw {
namespace {

TEST(FeedAddress, FeedSchemeBecomesTheAddressItStandsFor) {
    struct Case {
        const char* typed;
        const char* normal;
        bool feedScheme;  // names a feed: or feeds: address, whether or not it stands for one
    };
    const Case cases[] = {
        {"feed:https://example.org/rss", "https://example.org/rss", true},
        {"feed:http://example.org/rss", "http://example.org/rss", true},
        {"FEED:HTTPS://example.org/rss", "HTTPS://example.org/rss", true},
        {"feed://example.org/a/rss?x=1", "http://example.org/a/rss?x=1", true},
        {"Feed://example.org/", "http://example.org/", true},
        {"feeds://example.org/rss", "https://example.org/rss", true},
        {"FEEDS://example.org/rss", "https://example.org/rss", true},
        {"  feed://example.org/rss \r\n", "http://example.org/rss", true},
        {" http://example.org/rss\t", "http://example.org/rss", false},
        {"feed:ftp://example.org/rss", "feed:ftp://example.org/rss", true},
        {"feed:example.org/rss", "feed:example.org/rss", true},
        {"feedback://x/", "feedback://x/", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NormalizeFeedAddress(c.typed), c.normal) << c.typed;
        EXPECT_EQ(IsFeedSchemeAddress(c.typed), c.feedScheme) << c.typed;
    }
}

TEST(FeedAddress, OnlyHttpAddressesWithAHostAreFeedAddresses) {
    const std::pair<std::string, bool> cases[] = {
        {"http://example.org/rss", true},
        {"HTTPS://example.org", true},
        {"http://user:pw@example.org:8080/rss?x#y", true},
        {"http://[::1]:8080/rss", true},
        {"http://example.org:/rss", true},
        {"http://example.org/a b", true},
        {"ftp://example.org/rss", false},
        {"javascript:alert(1)", false},
        {"example.org/rss", false},
        {"http:/example.org/rss", false},
        {"http://", false},
        {"http:///rss", false},
        {"http://user@/rss", false},
        {"http://exa mple.org/", false},
        {"http://example.org:99999/", false},
        {"http://example.org:8o/", false},
        {"http://[::1/", false},
        {"http://example.org/\x01", false},
        {"feed://example.org/rss", false},
        {"http://example.org/" + std::string(kMaxFeedAddressLength, 'a'), false},
    };
    for (const auto& [address, ok] : cases) EXPECT_EQ(IsHttpFeedAddress(address), ok) << address;
}

TEST(FeedAddress, SameFeedIgnoresSchemeAndHostCaseAndOneTrailingSlash) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {"http://example.org/rss", "HTTP://EXAMPLE.ORG/rss", true},
        {"http://example.org/rss/", "http://example.org/rss", true},
        {"http://example.org/", "http://Example.org", true},
        {"feed://example.org/rss", "http://example.org/rss", true},
        {"feeds://example.org/rss", "http://example.org/rss", false},
        {"http://example.org/rss", "http://example.org/RSS", false},
        {"http://example.org/rss?a=B", "http://example.org/rss?a=b", false},
        {"http://User@example.org/", "http://user@example.org/", false},
        {"http://user@Example.org/", "http://user@example.org/", true},
        {"http://example.org/rss//", "http://example.org/rss", false},
        {"http://example.org:80/", "http://example.org/", false},
        {"https://example.org/rss", "http://example.org/rss", false},
    };
    for (const auto& c : cases) EXPECT_EQ(SameFeedAddress(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(FeedAddress, ReferencesResolveAgainstTheirPage) {
    struct Case {
        const char* base;
        const char* reference;
        const char* resolved;
    };
    const Case cases[] = {
        {"https://example.org/blog/post.html", "//cdn.example.net/feed.xml", "https://cdn.example.net/feed.xml"},
        {"https://example.org/blog/post.html", "/feed.xml", "https://example.org/feed.xml"},
        {"https://example.org/blog/post.html", "feed.xml", "https://example.org/blog/feed.xml"},
        {"https://example.org/blog/post.html", "../a/./b/../feed.xml", "https://example.org/a/feed.xml"},
        {"https://example.org/blog/post.html?p=2", "?feed=rss2", "https://example.org/blog/post.html?feed=rss2"},
        {"https://example.org/blog/", "feed.xml#top", "https://example.org/blog/feed.xml"},
        {"https://example.org/blog/#x", "", "https://example.org/blog/"},
        {"https://example.org/", "  /fe\ned\t.xml \n", "https://example.org/feed.xml"},
        {"https://example.org/", "http://other.example/rss", "http://other.example/rss"},
        {"https://example.org/", "feed://other.example/rss", "http://other.example/rss"},
        {"https://example.org", "rss", "https://example.org/rss"},
        {"", "/rss#x", "/rss"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveFeedReference(c.base, c.reference), c.resolved) << c.reference;
}

}  // namespace
}  // namespace tw
