// TpkRSSFeed::LoadFromURL through WinInet against a loopback server: every row of the failure
// table that needs a network, waiting and its time-out, and what goes out on the wire.
#include "rss/pkRSSFeed.h"

#include "support/MessagePump.h"
#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tw {
namespace {

using Events = std::vector<std::string>;

struct UrlLog {
    Events events;
    explicit UrlLog(TpkRSSFeed& feed) {
        feed.OnRSSLoaded = [this](TpkComponent&) { events.push_back("Loaded"); };
        feed.OnRSSLoadError = [this](TpkComponent&) { events.push_back("LoadError"); };
        feed.OnRSSParseError = [this](TpkComponent&) { events.push_back("ParseError"); };
        feed.OnRSSNotRSSError = [this](TpkComponent&) { events.push_back("NotRSS"); };
        feed.OnHTTPError = [this](TpkComponent&, int code, TpkStream*) { events.push_back("HTTPError " + std::to_string(code)); };
        feed.OnHTTPHostUnreachable = [this](TpkComponent&) { events.push_back("HostUnreachable"); };
        feed.OnHTTPConnLost = [this](TpkComponent&, const std::string&, std::int32_t size, std::int32_t read, TpkStream*) {
            events.push_back("ConnLost " + std::to_string(size) + " " + std::to_string(read));
        };
    }
    bool Ended() const { return !events.empty() && (events.back() == "Loaded" || events.back() == "LoadError"); }
};

const std::string kFeed =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>Loopback \xC3\x9C" "ber</title>"
    "<item><title>one</title><link>http://l/1</link></item><item><title>two</title></item></channel></rss>";

TEST(TpkRSSFeedWin32, LoadsAFeedAndSendsTheAgentAndNoCache) {
    test::LoopbackHttpServer server;
    ASSERT_NE(server.Port(), 0);
    server.Set("/feed.xml", test::HttpRoute::Ok(kFeed, "text/xml"));
    TpkRSSFeed feed;
    UrlLog log(feed);
    feed.SetHTTPAgent("Tidewire");
    feed.HTTP().URL = server.Url("/feed.xml");
    ASSERT_TRUE(feed.LoadFromURL());
    EXPECT_FALSE(feed.LoadFromURL()) << "a second load while the first runs is refused";
    ASSERT_TRUE(test::PumpUntil([&] { return log.Ended() && !feed.HTTP().Busy(); }));
    EXPECT_EQ(log.events, (Events{"Loaded"}));
    EXPECT_EQ(feed.FeedElements().Title, "Loopback \xC3\x9C" "ber");
    ASSERT_EQ(feed.FeedItems().Count(), 2);
    EXPECT_NE(feed.LastUpdate, 0.0);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].Header("User-Agent"), "Tidewire");
    EXPECT_NE(requests[0].Header("Pragma").find("no-cache"), std::string::npos);
}

TEST(TpkRSSFeedWin32, FailureTable) {
    test::LoopbackHttpServer server;
    server.Set("/missing.xml", test::HttpRoute::Status(404, std::string(2048, 'x')));
    test::HttpRoute cut = test::HttpRoute::Ok(kFeed, "text/xml");
    cut.cutAfter = 40;
    server.Set("/cut.xml", cut);
    server.Set("/atom.xml", test::HttpRoute::Ok("<feed xmlns=\"http://www.w3.org/2005/Atom\"/>", "application/atom+xml"));
    server.Set("/broken.xml", test::HttpRoute::Ok("<rss><channel>", "text/xml"));
    const struct {
        const char* what;
        std::string url;
        Events events;
    } cases[] = {
        {"HTTP error status", server.Url("/missing.xml"), {"HTTPError 404", "LoadError"}},
        {"connection lost", server.Url("/cut.xml"), {"ConnLost " + std::to_string(kFeed.size()) + " 40", "LoadError"}},
        {"host unreachable", "http://127.0.0.1:" + std::to_string(test::LoopbackHttpServer::UnusedPort()) + "/x",
         {"HostUnreachable", "LoadError"}},
        {"not RSS", server.Url("/atom.xml"), {"NotRSS", "LoadError"}},
        {"malformed", server.Url("/broken.xml"), {"ParseError", "LoadError"}},
    };
    for (const auto& c : cases) {
        TpkRSSFeed feed;
        UrlLog log(feed);
        feed.HTTP().URL = c.url;
        ASSERT_TRUE(feed.LoadFromURL()) << c.what;
        ASSERT_TRUE(test::PumpUntil([&] { return log.Ended() && !feed.HTTP().Busy(); }, 30000)) << c.what;
        EXPECT_EQ(log.events, c.events) << c.what;
        EXPECT_EQ(feed.LastUpdate, 0.0) << c.what;
    }
}

TEST(TpkRSSFeedWin32, ACancelledTransferEndsWithoutALoadEvent) {
    test::LoopbackHttpServer server;
    server.Set("/feed.xml", test::HttpRoute::Ok(kFeed, "text/xml"));
    TpkRSSFeed feed;
    UrlLog log(feed);
    bool asked = false;
    feed.OnHTTPHeaderInfo = [&](TpkComponent&, int code, const std::string&, const std::string&, const std::string&,
                                const std::string&, std::int32_t length, const std::string&, double, double, double,
                                const std::string&, bool& carryOn) {
        asked = code == 200 && length == static_cast<std::int32_t>(kFeed.size());
        carryOn = false;
    };
    feed.HTTP().URL = server.Url("/feed.xml");
    ASSERT_TRUE(feed.LoadFromURL());
    ASSERT_TRUE(test::PumpUntil([&] { return asked && !feed.HTTP().Busy(); }));
    test::PumpFor(300);  // nothing may follow
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(feed.FeedItems().Count(), 0);
}

TEST(TpkRSSFeedWin32, WaitingLoadReturnsWithTheEventsDone) {
    test::LoopbackHttpServer server;
    server.Set("/feed.xml", test::HttpRoute::Ok(kFeed, "text/xml"));
    TpkRSSFeed feed;
    UrlLog log(feed);
    feed.HTTP().URL = server.Url("/feed.xml");
    ASSERT_TRUE(feed.LoadFromURL(true));
    EXPECT_EQ(log.events, (Events{"Loaded"}));
    EXPECT_FALSE(feed.WaitThread()) << "the wait was for that one call";
}

TEST(TpkRSSFeedWin32, WaitTimeoutTerminatesOrLetsTheTransferGoOn) {
    for (const bool terminate : {true, false}) {
        test::LoopbackHttpServer server;
        test::HttpRoute slow = test::HttpRoute::Ok(kFeed, "text/xml");
        slow.delayMs = 1500;
        server.Set("/slow.xml", slow);
        TpkRSSFeed feed;
        UrlLog log(feed);
        int timeouts = 0;
        feed.OnWaitTimeoutExpired = [&](TpkComponent& sender, bool& terminateThread) {
            EXPECT_EQ(&sender, &feed);
            EXPECT_TRUE(terminateThread) << "preset";
            ++timeouts;
            terminateThread = terminate;
        };
        feed.SetWaitThread(true);
        feed.SetWaitTimeout(200);
        feed.HTTP().URL = server.Url("/slow.xml");
        EXPECT_EQ(feed.LoadFromURL(), !terminate);
        EXPECT_EQ(timeouts, 1);
        test::PumpUntil([&] { return log.Ended(); }, terminate ? 2500 : 10000);
        if (terminate) {
            EXPECT_TRUE(log.events.empty()) << "no load event after an abandoned transfer";
            EXPECT_FALSE(feed.HTTP().Busy());
        } else {
            EXPECT_EQ(log.events, (Events{"Loaded"}));
        }
    }
}

// Under Wine the process heap slows down badly when many short-lived blocks of mixed sizes are
// freed among the live ones; a load that made such copies of every field took about 20 s here.
TEST(TpkRSSFeedWin32, ATwentyMegabyteFeedLoadsInSeconds) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>Big</title>";
    const char* const words[] = {"harbour", "tide", "ferry", "storm", "council", "market", "quay", "lighthouse"};
    std::uint32_t seed = 7;
    int items = 0;
    while (text.size() < 20u * 1000 * 1000) {
        const std::string n = std::to_string(items++);
        std::string description;
        for (int w = 0; w < 60; ++w) {
            seed = seed * 1664525u + 1013904223u;
            description += words[seed >> 29];
            description += ' ';
        }
        text += "<item><title>Item " + n + "</title><link>http://127.0.0.1/i/" + n + "</link><description>" +
                description + "</description><guid>g" + n + "</guid></item>";
    }
    text += "</channel></rss>";
    TpkRSSFeed feed;
    const DWORD start = GetTickCount();
    ASSERT_TRUE(feed.LoadFromString(text));
    const DWORD took = GetTickCount() - start;
    EXPECT_EQ(feed.FeedItems().Count(), items);
    EXPECT_EQ(feed.FeedItems().Items(items - 1)->Guid().URL, "g" + std::to_string(items - 1));
    EXPECT_LT(took, 10000u) << "ms for " << text.size() << " bytes";
    std::printf("a %zu-byte feed of %d items loaded in %lu ms\n", text.size(), items, static_cast<unsigned long>(took));
}

}  // namespace
}  // namespace tw
