// The HTTP component over WinInet against the loopback server: the outcomes of a transfer and
// the events that report them, in order and on the main thread.
#include "HttpEvents_win32.h"
#include "base/Unhandled.h"
#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace tw::test {
namespace {

using Events = std::vector<std::string>;

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        http.Agent = "Tidewire";
        log.Attach(http);
    }
    // Starts a transfer without waiting and pumps messages until it has completed.
    bool Fetch(const std::string& url, int ms = 20000) {
        http.URL = url;
        if (!http.Get(false)) return false;
        return PumpUntil([&] { return !http.Busy(); }, ms);
    }
    const DWORD mainThread = GetCurrentThreadId();
    LoopbackHttpServer server;
    TpkCustomHTTP http;
    HttpEventLog log;
};

TEST_F(HttpTest, OkIntoMemoryWithContentLength) {
    server.Set("/a.xml", HttpRoute::Ok("<rss version=\"2.0\"/>", "text/xml"));
    ASSERT_TRUE(Fetch(server.Url("/a.xml")));
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(log.body, "<rss version=\"2.0\"/>");
    EXPECT_EQ(log.dataSize, 20);
    EXPECT_EQ(log.contentType, "text/xml");
    EXPECT_TRUE(log.streamAtDone);
    EXPECT_EQ(log.threads[0], mainThread);
    EXPECT_EQ(server.Requests().at(0).Header("User-Agent"), "Tidewire");
    EXPECT_EQ(http.ResultStream(), nullptr);
}

TEST_F(HttpTest, OkIntoMemoryWithoutContentLength) {
    HttpRoute route = HttpRoute::Ok(std::string(10000, 'q'));
    route.sendContentLength = false;
    server.Set("/n", route);
    ASSERT_TRUE(Fetch(server.Url("/n")));
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(log.body, std::string(10000, 'q'));
    EXPECT_GT(log.progressCount, 0);
}

TEST_F(HttpTest, NotFoundWithPageGivesErrorThenFailedAndFreesTheStream) {
    std::string page = "<html>" + std::string(2048 - 13, 'e') + "</html>";
    ASSERT_EQ(page.size(), 2048u);
    server.Set("/missing", HttpRoute::Status(404, page));
    ASSERT_TRUE(Fetch(server.Url("/missing")));
    EXPECT_EQ(log.events, (Events{"Error 404", "Failed"}));
    EXPECT_EQ(log.body, page);
    EXPECT_EQ(http.ResultStream(), nullptr);
    EXPECT_FALSE(http.Busy());
}

TEST_F(HttpTest, BodyCutShortGivesConnLostWithBothSizes) {
    HttpRoute route = HttpRoute::Ok(std::string(50000, 'c'));
    route.cutAfter = 12345;
    server.Set("/cut", route);
    ASSERT_TRUE(Fetch(server.Url("/cut")));
    EXPECT_EQ(log.events, (Events{"ConnLost", "Failed"}));
    EXPECT_EQ(log.fileSize, 50000);
    EXPECT_EQ(log.bytesRead, 12345);
    EXPECT_EQ(log.body, std::string(12345, 'c'));  // not padded to the announced length
}

TEST_F(HttpTest, ClosedPortIsUnreachableWithoutHeaderInfo) {
    bool headers = false;
    http.OnHeaderInfo = [&](TpkComponent&, int, const std::string&, const std::string&, const std::string&,
                            const std::string&, std::int32_t, const std::string&, double, double, double,
                            const std::string&, bool&) { headers = true; };
    ASSERT_TRUE(Fetch("http://127.0.0.1:" + std::to_string(LoopbackHttpServer::UnusedPort()) + "/x"));
    EXPECT_EQ(log.events, (Events{"HostUnreachable", "Failed"}));
    EXPECT_FALSE(headers);
}

TEST_F(HttpTest, UnknownHostIsUnreachableWithoutHeaderInfo) {
    bool headers = false;
    http.OnHeaderInfo = [&](TpkComponent&, int, const std::string&, const std::string&, const std::string&,
                            const std::string&, std::int32_t, const std::string&, double, double, double,
                            const std::string&, bool&) { headers = true; };
    ASSERT_TRUE(Fetch("http://no-such-host.invalid/feed.xml", 60000));
    EXPECT_EQ(log.events, (Events{"HostUnreachable", "Failed"}));
    EXPECT_FALSE(headers);
}

TEST_F(HttpTest, HeaderHandlerThatStopsGivesOnlyCancelled) {
    server.Set("/h", HttpRoute::Ok("body"));
    int status = 0;
    std::int32_t length = -1;
    http.OnHeaderInfo = [&](TpkComponent&, int code, const std::string& raw, const std::string&, const std::string&,
                            const std::string&, std::int32_t contentLength, const std::string&, double, double, double,
                            const std::string&, bool& go) {
        status = code;
        length = contentLength;
        EXPECT_NE(raw.find("HTTP/1.1 200"), std::string::npos);
        go = false;
    };
    ASSERT_TRUE(Fetch(server.Url("/h")));
    EXPECT_EQ(log.events, (Events{"Cancelled"}));
    EXPECT_EQ(status, 200);
    EXPECT_EQ(length, 4);
}

TEST_F(HttpTest, SecondGetWhileRunningIsRefused) {
    HttpRoute slow = HttpRoute::Ok("slow body");
    slow.delayMs = 500;
    server.Set("/slow", slow);
    http.URL = server.Url("/slow");
    ASSERT_TRUE(http.Get(false));
    EXPECT_TRUE(http.Busy());
    EXPECT_FALSE(http.Get(false));
    ASSERT_TRUE(PumpUntil([&] { return !http.Busy(); }, 20000));
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(server.RequestCount("/slow"), 1u);
    EXPECT_TRUE(http.Get(false));  // idle again
    ASSERT_TRUE(PumpUntil([&] { return !http.Busy(); }, 20000));
}

TEST_F(HttpTest, UrlWithoutSchemeIsFetchedAsHttp) {
    server.Set("/plain", HttpRoute::Ok("plain"));
    ASSERT_TRUE(Fetch("127.0.0.1:" + std::to_string(server.Port()) + "/plain?x=a b"));
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(log.body, "plain");
    EXPECT_EQ(server.Requests().at(0).target, "/plain?x=a%20b");
}

TEST_F(HttpTest, PasswordRequestRetriesWithTheGivenLogin) {
    HttpRoute route = HttpRoute::Ok("secret feed");
    route.requireAuthorization = "Basic dXNlcjpwYXNz";  // user:pass
    route.authRealm = "Feeds Area";
    server.Set("/private", route);
    int asked = 0;
    http.OnPasswordRequest = [&](TpkComponent&, const std::string& realm, bool& tryAgain) {
        ++asked;
        log.realm = realm;
        EXPECT_EQ(GetCurrentThreadId(), mainThread);
        http.SetUsername("user");
        http.SetPassword("pass");
        tryAgain = asked == 1;
    };
    ASSERT_TRUE(Fetch(server.Url("/private")));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(log.realm, "Feeds Area");
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(log.body, "secret feed");
}

TEST_F(HttpTest, UnansweredPasswordRequestEndsAsError) {
    HttpRoute route = HttpRoute::Ok("secret");
    route.requireAuthorization = "Basic dXNlcjpwYXNz";
    server.Set("/private", route);
    http.OnPasswordRequest = [&](TpkComponent&, const std::string&, bool& tryAgain) { tryAgain = false; };
    ASSERT_TRUE(Fetch(server.Url("/private")));
    EXPECT_EQ(log.events, (Events{"Error 401", "Failed"}));
}

TEST_F(HttpTest, RequestHeadersAndRangeReachTheServer) {
    HttpRoute route = HttpRoute::Ok("0123456789");
    route.honourRange = true;
    server.Set("/r", route);
    http.RequestHeaders = {"X-Feed: one", "X-Other: two"};
    http.Range.StartRange = 3;
    http.Range.EndRange = 5;
    ASSERT_TRUE(Fetch(server.Url("/r")));
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(log.body, "345");
    auto request = server.Requests().at(0);
    EXPECT_EQ(request.Header("X-Feed"), "one");
    EXPECT_EQ(request.Header("X-Other"), "two");
    EXPECT_EQ(request.Header("Range"), "bytes=3-5");
}

TEST_F(HttpTest, PragmaNoCacheComponentSendsNoCache) {
    TpkHTTPPragmaNoCache nocache;
    HttpEventLog own;
    own.Attach(nocache);
    server.Set("/f", HttpRoute::Ok("x"));
    nocache.URL = server.Url("/f");
    ASSERT_TRUE(nocache.Get(true));
    EXPECT_EQ(own.events, (Events{"Done"}));
    EXPECT_EQ(server.Requests().at(0).Header("Pragma"), "no-cache");
}

TEST_F(HttpTest, StatusAndRedirectRunOnTheWorker) {
    server.Set("/old", [] {
        HttpRoute r = HttpRoute::Status(302);
        r.headers.emplace_back("Location", "/new");
        return r;
    }());
    server.Set("/new", HttpRoute::Ok("moved here"));
    std::vector<std::uint32_t> codes;
    std::vector<DWORD> statusThreads;
    std::string redirectedTo;
    http.OnStatus = [&](TpkComponent&, std::uint32_t code, const std::string& text) {
        codes.push_back(code);
        statusThreads.push_back(GetCurrentThreadId());
        EXPECT_FALSE(text.empty());
    };
    http.OnRedirect = [&](TpkComponent&, const std::string& url) { redirectedTo = url; };
    ASSERT_TRUE(Fetch(server.Url("/old")));
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(log.body, "moved here");
    EXPECT_NE(redirectedTo.find("/new"), std::string::npos);
    ASSERT_FALSE(codes.empty());
    for (auto id : statusThreads) EXPECT_NE(id, mainThread);
}

// WinInet calls the status handler: what it throws is reported, and the transfer goes on.
TEST_F(HttpTest, AStatusHandlerThatThrowsIsReported) {
    server.Set("/a", HttpRoute::Ok("body"));
    int calls = 0;
    http.OnStatus = [&](TpkComponent&, std::uint32_t, const std::string&) {
        ++calls;
        throw std::runtime_error("status handler failed");
    };
    const int before = UnhandledCount();
    ASSERT_TRUE(Fetch(server.Url("/a")));
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(log.body, "body");
    ASSERT_GT(calls, 0);
    EXPECT_EQ(UnhandledCount() - before, calls);
}

}  // namespace
}  // namespace tw::test
