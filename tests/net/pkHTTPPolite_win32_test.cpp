// What a polite, careful client turns on, over WinInet against the loopback server: a gzip body
// decoded by WinInet's own decoding, and https refused when it redirects to http or shows a
// certificate nobody vouches for (the https side is tls_front.py in front of the server).
#include "Compressed.h"
#include "HttpEvents_win32.h"
#include "support/LoopbackHttpServer.h"
#include "support/TlsFront_win32.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

using Events = std::vector<std::string>;

class HttpPoliteTest : public ::testing::Test {
protected:
    void SetUp() override {
        http.Agent = "Tidewire";
        log.Attach(http);
    }
    bool Fetch(const std::string& url) {
        http.URL = url;
        if (!http.Get(false)) return false;
        return PumpUntil([&] { return !http.Busy(); }, 30000);
    }
    LoopbackHttpServer server;
    TpkCustomHTTP http;
    HttpEventLog log;
};

const std::string kFeed = "<rss version=\"2.0\"><channel><title>" + std::string(5000, 'z') + "</title></channel></rss>";

TEST_F(HttpPoliteTest, GzipIsSentOnlyWhenAskedAndArrivesDecoded) {
    HttpRoute route = HttpRoute::Ok(kFeed, "text/xml");
    route.gzipBody = Compress(kFeed);
    server.Set("/feed.xml", route);
    for (bool ask : {false, true}) {
        log = {};
        log.Attach(http);
        http.AcceptCompression = ask;
        ASSERT_TRUE(Fetch(server.Url("/feed.xml"))) << ask;
        EXPECT_EQ(log.events, (Events{"Done"})) << ask;
        EXPECT_EQ(log.body, kFeed) << ask;
        EXPECT_EQ(log.dataSize, static_cast<std::int32_t>(kFeed.size())) << ask;
        const std::string asked = server.Requests().back().Header("Accept-Encoding");
        EXPECT_EQ(asked.find("gzip") != std::string::npos, ask) << asked;
    }
}

// The decoding above is WinInet's own (the component's would hide a platform that does not).
TEST_F(HttpPoliteTest, WinInetDecodesGzipItself) {
    HttpRoute route = HttpRoute::Ok(kFeed, "text/xml");
    route.gzipBody = Compress(kFeed);
    server.Set("/feed.xml", route);
    std::unique_ptr<TInternetApi> api = CreatePlatformInternet();
    UniqueInetHandle session(*api, api->Open("Tidewire", 1, "", "", 0));
    UniqueInetHandle connection(*api, api->Connect(session.Get(), "127.0.0.1", server.Port(), "", "", nullptr));
    UniqueInetHandle request(*api, api->OpenRequest(connection.Get(), "GET", "/feed.xml", "", "*/*",
                                                    OptionFlags(kPragmaNoCacheHTTPOptions, "http")));
    ASSERT_TRUE(request);
    ASSERT_TRUE(api->EnableDecoding(request.Get()));
    ASSERT_TRUE(api->AddRequestHeaders(request.Get(), kAcceptEncodingLine, kAddRequestHeadersAdd));
    ASSERT_TRUE(api->SendRequest(request.Get(), "", ""));
    std::string body;
    char buffer[4096];
    for (std::uint32_t got = 0; api->Read(request.Get(), buffer, sizeof buffer, got) && got > 0;) body.append(buffer, got);
    // Wine takes Content-Encoding and Content-Length out of the headers once it decodes.
    EXPECT_NE(server.Requests().back().Header("Accept-Encoding").find("gzip"), std::string::npos);
    EXPECT_EQ(body, kFeed);
}

TEST_F(HttpPoliteTest, AnHttpsFeedThatRedirectsToHttpIsRefused) {
    LoopbackHttpServer plain;
    plain.Set("/feed.xml", HttpRoute::Ok(kFeed, "text/xml"));
    HttpRoute moved = HttpRoute::Status(301);
    moved.headers.emplace_back("Location", plain.Url("/feed.xml"));
    server.Set("/secure.xml", moved);
    TlsFront front(server.Port());
    ASSERT_NE(front.Port(), 0) << "tls_front.py did not start (python3 and openssl are needed)";
    http.Options.Include(hoIgnoreUnknownAuthority);  // its certificate is self-signed

    http.RefuseInsecureRedirects = true;
    ASSERT_TRUE(Fetch(front.Url("/secure.xml")));
    EXPECT_EQ(log.events, (Events{"Error 301", "Failed"}));
    EXPECT_EQ(http.FailureKind(), hfInsecureRedirect);
    EXPECT_EQ(server.RequestCount("/secure.xml"), 1u);
    EXPECT_EQ(plain.RequestCount("/feed.xml"), 0u);

    // Not refused, the same redirect is followed: the https side works, and the refusal is ours.
    log = {};
    log.Attach(http);
    http.RefuseInsecureRedirects = false;
    ASSERT_TRUE(Fetch(front.Url("/secure.xml")));
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(plain.RequestCount("/feed.xml"), 1u);
}

TEST_F(HttpPoliteTest, ARefusedCertificateFailsAsTheCertificateBeforeAnyRequest) {
    server.Set("/feed.xml", HttpRoute::Ok(kFeed, "text/xml"));
    const struct {
        const char* name;
        const char* names;
        bool ignoreAuthority;
        std::uint32_t error;
    } cases[] = {
        {"self-signed", "IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost", false, 12045},  // ERROR_INTERNET_INVALID_CA
        {"wrong host", "DNS:wrong.example", true, 12038},  // ERROR_INTERNET_SEC_CERT_CN_INVALID
    };
    for (const auto& c : cases) {
        TlsFront front(server.Port(), c.names);
        ASSERT_NE(front.Port(), 0) << c.name;
        log = {};
        log.Attach(http);
        http.Options = kPragmaNoCacheHTTPOptions;
        if (c.ignoreAuthority) http.Options.Include(hoIgnoreUnknownAuthority);
        ASSERT_TRUE(Fetch(front.Url("/feed.xml"))) << c.name;
        EXPECT_EQ(log.events, (Events{"HostUnreachable", "Failed"})) << c.name;
        EXPECT_EQ(http.FailureKind(), hfCertificate) << c.name << " error " << http.PlatformError();
        EXPECT_EQ(http.PlatformError(), c.error) << c.name;
    }
    EXPECT_EQ(server.RequestCount("/feed.xml"), 0u);
}

}  // namespace
}  // namespace tw::test
