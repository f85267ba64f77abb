// The transfer flow against a scripted fake of the internet operations. Each transfer waits for
// its worker (the wait delivers its events), so the events are all in when Get returns. These
// cases reach what a loopback server cannot show: the exact flags, options and header calls,
// proxy authentication, failures of single platform calls, and handlers that raise.
#include "FakeInternet.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tw {
namespace {

using test::FakeResponse;
using test::Flow;
using test::Ok;

using Events = std::vector<std::string>;

TEST(pkHTTPFlow, RequestShapeFromTheSettings) {
    Flow f({Ok("<rss/>")});
    f.http.Agent = "Tidewire";
    f.http.Proxy.AccessType = atUseProxy;
    f.http.Proxy.ProxyServer = "proxy.local";
    f.http.Proxy.ProxyPort = 3128;
    f.http.Proxy.ProxyUsername = "pu";
    f.http.Proxy.ProxyPassword = "pp";
    f.http.Timeouts = {1000, 2000, 3000};
    f.http.Options.Include(hoIgnoreUnknownAuthority);
    f.http.OpenOffline = true;
    ASSERT_TRUE(f.http.Get(true));
    EXPECT_EQ(f.events, (Events{"Done"}));
    EXPECT_EQ(f.body, "<rss/>");
    EXPECT_EQ(f.log.agent, "Tidewire");
    EXPECT_EQ(f.log.accessType, 3u);
    EXPECT_EQ(f.log.proxy, "proxy.local:3128");
    EXPECT_EQ(f.log.bypass, "127.0.0.1;");
    EXPECT_EQ(f.log.openFlags, kOpenFlagOffline);
    EXPECT_EQ(f.log.verb, "GET");
    EXPECT_EQ(f.log.object, "/rss?id=a%20b");
    EXPECT_EQ(f.log.requestFlags, OptionFlags(f.http.Options, "http") | kRequestFlagNoAutoRedirect);
    EXPECT_EQ(f.Option(kOptionConnectTimeout), "1000");
    EXPECT_EQ(f.Option(kOptionReceiveTimeout), "2000");
    EXPECT_EQ(f.Option(kOptionSendTimeout), "3000");
    EXPECT_EQ(f.Option(kOptionSecurityFlags), "256");
    EXPECT_EQ(f.Option(kOptionProxyUsername), "pu");
    EXPECT_EQ(f.Option(kOptionProxyPassword), "pp");
    EXPECT_EQ(f.log.opened, f.log.closes);  // every handle closed
}

TEST(pkHTTPFlow, DirectAccessSetsNoProxyLoginAndNoZeroTimeouts) {
    Flow f({Ok("x")});
    f.http.Proxy.AccessType = atDirect;
    f.http.Proxy.ProxyUsername = "pu";
    f.http.Proxy.ProxyPassword = "pp";
    ASSERT_TRUE(f.http.Get(true));
    EXPECT_EQ(f.log.accessType, 1u);
    EXPECT_EQ(f.log.proxy, "");
    EXPECT_EQ(f.log.bypass, "");
    EXPECT_TRUE(f.log.options.empty());
}

TEST(pkHTTPFlow, PostDataIsAFormPost) {
    Flow f({Ok("ok")});
    f.http.PostData = "a=1&b=2";
    ASSERT_TRUE(f.http.Get(true));
    EXPECT_EQ(f.log.verb, "POST");
    EXPECT_EQ(f.log.sentHeaders, "Content-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(f.log.sentHeaders.size(), 47u);
    EXPECT_EQ(f.log.sentBody, "a=1&b=2");
}

TEST(pkHTTPFlow, ProxyAuthenticationRetriesWithTheNewLogin) {
    FakeResponse challenge;
    challenge.status = 407;
    Flow f({challenge, Ok("through")});
    int asked = 0;
    f.http.OnProxyAuthenticationRequest = [&](TpkComponent&, std::string& user, std::string& password, bool& again) {
        ++asked;
        user = "proxyuser";
        password = "proxypass";
        again = true;
    };
    ASSERT_TRUE(f.http.Get(true));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(f.log.sends, 2);
    EXPECT_EQ(f.Option(kOptionProxyUsername), "proxyuser");
    EXPECT_EQ(f.Option(kOptionProxyPassword), "proxypass");
    EXPECT_EQ(f.http.Proxy.ProxyUsername, "proxyuser");
    EXPECT_EQ(f.events, (Events{"Done"}));
}

TEST(pkHTTPFlow, PasswordRequestGetsTheRealmAndSetsTheLogin) {
    FakeResponse challenge;
    challenge.status = 401;
    challenge.headers[kQueryWWWAuthenticate] = "Basic realm=\"Members\"";
    Flow f({challenge, Ok("in")});
    std::string realm;
    f.http.OnPasswordRequest = [&](TpkComponent&, const std::string& r, bool& again) {
        realm = r;
        f.http.SetUsername("u");
        f.http.SetPassword("p");
        again = true;
    };
    ASSERT_TRUE(f.http.Get(true));
    EXPECT_EQ(realm, "Members");
    EXPECT_EQ(f.Option(kOptionUsername), "u");
    EXPECT_EQ(f.Option(kOptionPassword), "p");
    EXPECT_EQ(f.events, (Events{"Done"}));
}

TEST(pkHTTPFlow, RangeHeaderIsAddedThenReplacedAfter416) {
    FakeResponse refused;
    refused.status = 416;
    FakeResponse whole = Ok(std::string(100, 'w'));
    Flow f({refused, whole, whole});
    ASSERT_TRUE(f.http.Start(50, 0, true));
    ASSERT_GE(f.log.added.size(), 2u);
    EXPECT_EQ(f.log.added[0], (std::pair<std::string, std::uint32_t>{"RANGE: bytes=50-\r\n", kAddRequestHeadersAdd}));
    EXPECT_EQ(f.log.added[1], (std::pair<std::string, std::uint32_t>{"RANGE: bytes=0-\r\n", kAddRequestHeadersReplace}));
    EXPECT_EQ(f.events, (Events{"Done"}));  // the length (100) is not the offset (50): fetched whole
    EXPECT_EQ(f.body.size(), 100u);
}

TEST(pkHTTPFlow, FailuresOfSinglePlatformCalls) {
    {
        Flow f({Ok("x")});
        f.fake->failOpen = true;
        ASSERT_TRUE(f.http.Get(true));
        EXPECT_EQ(f.events, (Events{"HostUnreachable", "Failed"}));
    }
    {
        Flow f({Ok("x")});
        f.fake->failSend = true;
        ASSERT_TRUE(f.http.Get(true));
        EXPECT_EQ(f.events, (Events{"HostUnreachable", "Failed"}));
        EXPECT_EQ(f.log.opened, f.log.closes);
    }
    {
        Flow f({Ok("x")});
        f.http.URL = "http://bad host:99999/";
        ASSERT_TRUE(f.http.Get(true));
        EXPECT_EQ(f.events, (Events{"HostUnreachable", "Failed"}));
        EXPECT_EQ(f.log.opened, 0);
    }
}

TEST(pkHTTPFlow, SoftAbortFromProgressEndsWithAborted) {
    Flow f({Ok(std::string(20000, 'p'))});
    f.http.OnProgress = [&](TpkComponent&, const std::string&, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                            std::uint8_t, float, TpkStream*) { f.http.Abort(); };
    ASSERT_TRUE(f.http.Get(true));
    EXPECT_EQ(f.events, (Events{"Aborted"}));
    EXPECT_FALSE(f.http.Busy());
    EXPECT_EQ(f.log.opened, f.log.closes);
}

TEST(pkHTTPFlow, HandlerThatRaisesLeavesTheComponentReady) {
    Flow f({Ok("a"), Ok("b")});
    f.http.OnDone = [](TpkComponent&, const std::string&, std::int32_t, TpkStream*) { throw std::runtime_error("x"); };
    ASSERT_TRUE(f.http.Get(true));
    EXPECT_FALSE(f.http.Busy());
    EXPECT_TRUE(f.http.Get(true));
}

// The ticker moves on to the next feed by rewriting URL on the main thread, maybe while a load
// is under way: that load still fetches the address it was started with.
TEST(pkHTTPFlow, AddressRewrittenDuringATransferLeavesItAlone) {
    for (bool fromHandler : {false, true}) {
        Flow f({Ok(std::string(20000, 'a'))});
        if (fromHandler) {
            f.http.OnProgress = [&](TpkComponent&, const std::string&, std::int32_t, std::int32_t, std::int32_t,
                                    std::int32_t, std::uint8_t, float, TpkStream*) { f.http.URL = "http://b.example/x"; };
        }
        ASSERT_TRUE(f.http.Get(false));
        if (!fromHandler) f.http.URL = "http://b.example/x";  // while the worker starts
        ASSERT_TRUE(test::PumpUntil([&] { return !f.http.Busy(); })) << fromHandler;
        EXPECT_EQ(f.log.object, "/rss?id=a%20b") << fromHandler;
        EXPECT_EQ(f.log.sends, 1) << fromHandler;
        EXPECT_EQ(f.events, (Events{"Done"})) << fromHandler;
        EXPECT_EQ(f.body.size(), 20000u) << fromHandler;
    }
}

TEST(pkHTTPFlow, HeaderInfoCountsTheResumeOffsetInTheLength) {
    FakeResponse partial = Ok(std::string(30, 'z'));
    partial.status = 206;
    partial.headers[kQueryContentRange] = "bytes 70-99/100";
    Flow f({partial});
    std::int32_t length = -1;
    f.http.OnHeaderInfo = [&](TpkComponent&, int, const std::string&, const std::string&, const std::string&,
                              const std::string&, std::int32_t l, const std::string&, double, double, double,
                              const std::string&, bool&) { length = l; };
    std::int32_t dataSize = -1;
    f.http.OnDone = [&](TpkComponent&, const std::string&, std::int32_t size, TpkStream*) { dataSize = size; };
    ASSERT_TRUE(f.http.Start(70, 0, true));
    EXPECT_EQ(length, 100);
    EXPECT_EQ(dataSize, 100);
}

TEST(pkHTTPFlow, PragmaNoCacheOptions) {
    TpkHTTPPragmaNoCache http;
    EXPECT_EQ(http.Options, kPragmaNoCacheHTTPOptions);
    TpkCustomHTTP plain;
    EXPECT_EQ(plain.Options, kDefaultHTTPOptions);
    plain.Proxy.AccessType = atUseProxy;
    plain.Proxy.ProxyPort = 1;
    plain.Proxy.Assign(nullptr);
    EXPECT_EQ(plain.Proxy.AccessType, atPreconfig);
    EXPECT_EQ(plain.Proxy.ProxyPort, 8080u);
    EXPECT_EQ(plain.Proxy.ProxyBypass, "127.0.0.1;");
}

}  // namespace
}  // namespace tw
