// Polite reloads through WinInet against a loopback server: what the second load of an address
// sends, and what the feed makes of the answer.
#include "rss/pkRSSFeed.h"

#include "net/Compressed.h"
#include "rss/FeedCache.h"
#include "support/LoopbackHttpServer.h"
#include "support/MessagePump.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

using Events = std::vector<std::string>;

std::string Feed(const std::string& first, const std::string& second) {
    return "<rss version=\"2.0\"><channel><title>Harbour</title><item><title>" + first + "</title></item><item><title>" +
           second + "</title></item></channel></rss>";
}

test::HttpRoute Tagged(std::string body, const std::string& etag) {
    test::HttpRoute route = test::HttpRoute::Ok(std::move(body), "text/xml");
    route.headers.emplace_back("ETag", etag);
    route.headers.emplace_back("Last-Modified", "Tue, 08 Dec 2026 10:00:00 GMT");
    return route;
}

// Loads feed.HTTP().URL and returns the events it raised.
Events Load(TpkRSSFeed& feed) {
    Events events;
    feed.OnRSSLoaded = [&](TpkComponent&) { events.push_back("Loaded"); };
    feed.OnRSSNotModified = [&](TpkComponent&) { events.push_back("NotModified"); };
    feed.OnRSSLoadError = [&](TpkComponent&) { events.push_back("LoadError"); };
    feed.OnRSSParseError = [&](TpkComponent&) { events.push_back("ParseError"); };
    feed.OnRSSNotRSSError = [&](TpkComponent&) { events.push_back("NotRSS"); };
    feed.OnHTTPError = [&](TpkComponent&, int code, TpkStream*) { events.push_back("HTTPError " + std::to_string(code)); };
    EXPECT_TRUE(feed.LoadFromURL());
    const auto ended = [&] {
        return !events.empty() && events.back() != "ParseError" && events.back() != "NotRSS" &&
               events.back().rfind("HTTPError", 0) != 0;
    };
    EXPECT_TRUE(test::PumpUntil([&] { return ended() && !feed.HTTP().Busy(); }, 30000));
    return events;
}

std::vector<std::string> Titles(const TpkRSSFeed& feed) {
    std::vector<std::string> titles;
    for (int i = 0; i < feed.FeedItems().Count(); ++i) titles.push_back(feed.FeedItems().Items(i)->Title);
    return titles;
}

TEST(TpkRSSFeedConditional, SecondLoadOfAnAddress) {
    const std::string etag = "\"v1\"";
    const struct {
        const char* what;
        bool conditional;
        bool tagged;                   // the first answer carries ETag and Last-Modified
        bool otherAddressBetween;      // a different feed is loaded between the two loads
        test::HttpRoute second;        // the answer to the second load of /feed.xml
        bool validatorsSent;
        Events events;
        std::vector<std::string> titles;
    } cases[] = {
        {"unchanged", true, true, false, test::HttpRoute::Status(304), true, {"NotModified"}, {"one", "two"}},
        {"304 carrying a body", true, true, false, test::HttpRoute::Status(304, Feed("junk", "junk")), true,
         {"NotModified"}, {"one", "two"}},
        {"changed", true, true, false, Tagged(Feed("three", "four"), "\"v2\""), true, {"Loaded"}, {"three", "four"}},
        {"validators ignored", true, true, false, Tagged(Feed("one", "two"), etag), true, {"Loaded"}, {"one", "two"}},
        {"off by default", false, true, false, Tagged(Feed("one", "two"), etag), false, {"Loaded"}, {"one", "two"}},
        {"another feed shown meanwhile", true, true, true, test::HttpRoute::Status(304), true, {"Loaded"},
         {"one", "two"}},
        {"304 to a request without validators", true, false, false, test::HttpRoute::Status(304), false,
         {"HTTPError 304", "LoadError"}, {"one", "two"}},
    };
    for (const auto& c : cases) {
        test::LoopbackHttpServer server;
        ASSERT_NE(server.Port(), 0);
        server.Set("/feed.xml", c.tagged ? Tagged(Feed("one", "two"), etag) : test::HttpRoute::Ok(Feed("one", "two"), "text/xml"));
        server.Set("/other.xml", Tagged(Feed("five", "six"), "\"o1\""));
        TpkRSSFeed feed;
        feed.ConditionalGet = c.conditional;
        feed.HTTP().URL = server.Url("/feed.xml");
        ASSERT_EQ(Load(feed), (Events{"Loaded"})) << c.what;
        if (c.otherAddressBetween) {
            feed.HTTP().URL = server.Url("/other.xml");
            ASSERT_EQ(Load(feed), (Events{"Loaded"})) << c.what;
            feed.HTTP().URL = server.Url("/feed.xml");
        }
        server.Set("/feed.xml", c.second);
        EXPECT_EQ(Load(feed), c.events) << c.what;
        EXPECT_EQ(Titles(feed), c.titles) << c.what;

        std::vector<test::HttpRequestRecord> asked;
        for (const auto& r : server.Requests())
            if (r.path == "/feed.xml") asked.push_back(r);
        ASSERT_EQ(asked.size(), 2u) << c.what;
        EXPECT_EQ(asked[0].Header("If-None-Match"), "") << c.what;
        EXPECT_EQ(asked[1].Header("If-None-Match"), c.validatorsSent ? etag : "") << c.what;
        EXPECT_EQ(asked[1].Header("If-Modified-Since"), c.validatorsSent ? "Tue, 08 Dec 2026 10:00:00 GMT" : "")
            << c.what;
    }
}

TEST(TpkRSSFeedConditional, ValidatorsFollowTheLatestAnswerAndClearedItemsComeBackFromTheKeptOne) {
    test::LoopbackHttpServer server;
    server.Set("/feed.xml", Tagged(Feed("one", "two"), "\"v1\""));
    TpkRSSFeed feed;
    feed.ConditionalGet = true;
    feed.HTTP().URL = server.Url("/feed.xml");
    ASSERT_EQ(Load(feed), (Events{"Loaded"}));
    server.Set("/feed.xml", Tagged(Feed("three", "four"), "\"v2\""));
    ASSERT_EQ(Load(feed), (Events{"Loaded"}));
    ASSERT_EQ(Load(feed), (Events{"Loaded"}));  // the server ignores them; the same tag comes back
    feed.FeedItems().Clear();                   // as the ticker does after a failure
    server.Set("/feed.xml", test::HttpRoute::Status(304));
    ASSERT_EQ(Load(feed), (Events{"Loaded"}));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[1].Header("If-None-Match"), "\"v1\"");
    EXPECT_EQ(requests[2].Header("If-None-Match"), "\"v2\"");
    EXPECT_EQ(requests[3].Header("If-None-Match"), "\"v2\"");
    EXPECT_EQ(Titles(feed), (std::vector<std::string>{"three", "four"}));
}

// A polite feed keeps its answer (decoded from gzip) on disk; after a restart without the
// server it shows that copy, and its first request with the server back is conditional.
TEST(TpkRSSFeedConditional, AKeptCopyAfterARestart) {
    test::TempDir dir;
    const std::string folder = reinterpret_cast<const char*>((dir / "cache").u8string().c_str());
    test::LoopbackHttpServer server;
    test::HttpRoute first = Tagged(Feed("one", "two"), "\"v1\"");
    first.gzipBody = test::Compress(first.body);
    server.Set("/feed.xml", first);
    const auto politeFeed = [&](TpkRSSFeed& feed, TFeedCache& cache) {
        feed.ConditionalGet = true;
        feed.SetPoliteClient(true);
        feed.SetFeedCache(&cache);
        feed.HTTP().URL = server.Url("/feed.xml");
    };
    {
        TFeedCache cache(folder);
        TpkRSSFeed feed;
        politeFeed(feed, cache);
        ASSERT_EQ(Load(feed), (Events{"Loaded"}));
        ASSERT_TRUE(cache.Find(feed.HTTP().URL));
        EXPECT_EQ(cache.Find(feed.HTTP().URL)->Body, first.body);
        EXPECT_EQ(cache.Find(feed.HTTP().URL)->ETag, "\"v1\"");
    }
    server.Set("/feed.xml", test::HttpRoute::Of(test::HttpRoute::Kind::CloseAtOnce));
    TFeedCache cache(folder);
    TpkRSSFeed feed;
    politeFeed(feed, cache);
    Events events;
    feed.OnRSSLoaded = [&](TpkComponent&) { events.push_back("Loaded"); };
    ASSERT_TRUE(feed.LoadKeptCopy());
    EXPECT_EQ(events, (Events{"Loaded"}));
    EXPECT_EQ(Titles(feed), (std::vector<std::string>{"one", "two"}));

    server.Set("/feed.xml", test::HttpRoute::Status(304));
    EXPECT_EQ(Load(feed), (Events{"NotModified"}));
    EXPECT_EQ(server.Requests().back().Header("If-None-Match"), "\"v1\"");
    EXPECT_EQ(server.Requests().back().Header("If-Modified-Since"), "Tue, 08 Dec 2026 10:00:00 GMT");
    EXPECT_EQ(Titles(feed), (std::vector<std::string>{"one", "two"}));
}

}  // namespace
}  // namespace tw
