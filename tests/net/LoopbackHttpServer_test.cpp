// The loopback server is what every HTTP test stands on, so its scripted behaviours are checked
// here with a plain socket client, in both builds.
#include "support/LoopbackHttpServer.h"
#include "support/LoopbackSocket.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tw::test {
namespace {

struct RawReply {
    bool connected = false;
    std::string bytes;  // everything received until the server closed (or the limit)
    std::string Head() const { return bytes.substr(0, bytes.find("\r\n\r\n")); }
    std::string Body() const {
        auto p = bytes.find("\r\n\r\n");
        return p == std::string::npos ? std::string() : bytes.substr(p + 4);
    }
};

RawReply Exchange(const LoopbackHttpServer& server, const std::string& request, std::size_t limit = 1 << 20,
                  int timeoutMs = 5000) {
    RawReply reply;
    sock::Socket s = sock::Connect(server.Port());
    if (s == sock::kInvalid) return reply;
    reply.connected = true;
    sock::SendAll(s, request);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[4096];
    while (reply.bytes.size() < limit && std::chrono::steady_clock::now() < until) {
        int r = sock::WaitReadable(s, 20);
        if (r < 0) break;
        if (r == 0) continue;
        long n = sock::Receive(s, buf, sizeof buf);
        if (n <= 0) break;
        reply.bytes.append(buf, static_cast<std::size_t>(n));
    }
    sock::Close(s);
    return reply;
}

std::string Get(const std::string& target, const std::string& extra = {}) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + extra + "\r\n";
}

TEST(LoopbackHttpServer, ServesScriptedBodyAndLogsTheRequest) {
    LoopbackHttpServer server;
    ASSERT_NE(server.Port(), 0);
    server.Set("/a.xml", HttpRoute::Ok("<rss/>", "text/xml"));
    RawReply r = Exchange(server, Get("/a.xml?x=1", "X-Test: yes\r\n"));
    ASSERT_TRUE(r.connected);
    EXPECT_EQ(r.Head().substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_NE(r.Head().find("Content-Length: 6"), std::string::npos);
    EXPECT_NE(r.Head().find("Content-Type: text/xml"), std::string::npos);
    EXPECT_EQ(r.Body(), "<rss/>");
    auto log = server.Requests();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].target, "/a.xml?x=1");
    EXPECT_EQ(log[0].path, "/a.xml");
    EXPECT_EQ(log[0].Header("x-test"), "yes");
    EXPECT_EQ(server.RequestCount("/a.xml"), 1u);
}

TEST(LoopbackHttpServer, UnknownPathIs404) {
    LoopbackHttpServer server;
    RawReply r = Exchange(server, Get("/nothing"));
    EXPECT_EQ(r.Head().substr(0, 12), "HTTP/1.1 404");
}

TEST(LoopbackHttpServer, RangeGives206Or416) {
    LoopbackHttpServer server;
    HttpRoute route = HttpRoute::Ok("0123456789");
    route.honourRange = true;
    server.Set("/f", route);

    struct Case { const char* range; const char* status; const char* body; const char* contentRange; };
    const Case cases[] = {
        {"bytes=4-", "206", "456789", "bytes 4-9/10"},
        {"bytes=2-3", "206", "23", "bytes 2-3/10"},
        {"bytes=8-20", "206", "89", "bytes 8-9/10"},
        {"bytes=10-", "416", "", "bytes */10"},
        {"items=1-2", "200", "0123456789", nullptr},
    };
    for (const auto& c : cases) {
        RawReply r = Exchange(server, Get("/f", std::string("Range: ") + c.range + "\r\n"));
        EXPECT_EQ(r.Head().substr(9, 3), c.status) << c.range;
        EXPECT_EQ(r.Body(), c.body) << c.range;
        if (c.contentRange) {
            EXPECT_NE(r.Head().find(std::string("Content-Range: ") + c.contentRange), std::string::npos) << c.range;
        }
    }
}

TEST(LoopbackHttpServer, CutOffAnnouncesMoreThanItSends) {
    LoopbackHttpServer server;
    HttpRoute route = HttpRoute::Ok(std::string(1000, 'a'));
    route.cutAfter = 300;
    server.Set("/cut", route);
    RawReply r = Exchange(server, Get("/cut"));
    EXPECT_NE(r.Head().find("Content-Length: 1000"), std::string::npos);
    EXPECT_EQ(r.Body().size(), 300u);
}

TEST(LoopbackHttpServer, WithoutContentLengthTheCloseEndsTheBody) {
    LoopbackHttpServer server;
    HttpRoute route = HttpRoute::Ok("abc");
    route.sendContentLength = false;
    server.Set("/n", route);
    RawReply r = Exchange(server, Get("/n"));
    EXPECT_EQ(r.Head().find("Content-Length"), std::string::npos);
    EXPECT_EQ(r.Body(), "abc");
}

TEST(LoopbackHttpServer, GarbageAndCloseAtOnce) {
    LoopbackHttpServer server;
    server.Set("/g", HttpRoute::Of(HttpRoute::Kind::Garbage));
    server.Set("/c", HttpRoute::Of(HttpRoute::Kind::CloseAtOnce));
    RawReply g = Exchange(server, Get("/g"));
    EXPECT_FALSE(g.bytes.empty());
    EXPECT_NE(g.bytes.substr(0, 5), "HTTP/");
    RawReply c = Exchange(server, Get("/c"));
    EXPECT_TRUE(c.bytes.empty());
    EXPECT_EQ(server.RequestCount("/c"), 1u);

    LoopbackHttpServer refusing;
    refusing.Set("*", HttpRoute::Of(HttpRoute::Kind::CloseAtOnce));
    RawReply all = Exchange(refusing, Get("/anything"));
    EXPECT_TRUE(all.bytes.empty());
    EXPECT_EQ(refusing.Requests().size(), 0u);
}

TEST(LoopbackHttpServer, StopEndsStalledAndEndlessConnections) {
    LoopbackHttpServer server;
    server.Set("/stall", HttpRoute::Of(HttpRoute::Kind::Stall));
    server.Set("/endless", HttpRoute::Of(HttpRoute::Kind::Endless));
    RawReply stalled = Exchange(server, Get("/stall"), 1 << 20, 200);
    EXPECT_TRUE(stalled.bytes.empty());
    // Read a little of the endless body, then leave the connection open and unread.
    sock::Socket s = sock::Connect(server.Port());
    ASSERT_NE(s, sock::kInvalid);
    sock::SendAll(s, Get("/endless"));
    std::string got;
    char buf[4096];
    while (got.size() < 200000) {
        if (sock::WaitReadable(s, 2000) <= 0) break;
        long n = sock::Receive(s, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    EXPECT_GE(got.size(), 200000u);
    auto start = std::chrono::steady_clock::now();
    server.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(server.OpenConnections(), 0u);
    sock::Close(s);
}

TEST(LoopbackHttpServer, SlowBodyArrivesInPieces) {
    LoopbackHttpServer server;
    HttpRoute route = HttpRoute::Ok(std::string(50, 'z'));
    route.chunkSize = 10;
    route.chunkDelayMs = 20;
    server.Set("/slow", route);
    auto start = std::chrono::steady_clock::now();
    RawReply r = Exchange(server, Get("/slow"));
    EXPECT_EQ(r.Body(), std::string(50, 'z'));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
}

TEST(LoopbackHttpServer, UnusedPortRefusesConnections) {
    std::uint16_t port = LoopbackHttpServer::UnusedPort();
    ASSERT_NE(port, 0);
    EXPECT_EQ(sock::Connect(port), sock::kInvalid);
}

}  // namespace
}  // namespace tw::test
