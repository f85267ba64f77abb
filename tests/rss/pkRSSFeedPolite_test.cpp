// The feed's polite-client switch, seen in the requests it shapes: no cookies, no cache writes,
// compression asked for, and no option that turns a certificate check off, whoever set it.
#include "rss/pkRSSFeed.h"

#include "net/FakeInternet.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

constexpr std::uint32_t kNoCookies = 0x00080000;     // INTERNET_FLAG_NO_COOKIES
constexpr std::uint32_t kNoCacheWrite = 0x04000000;  // INTERNET_FLAG_NO_CACHE_WRITE
constexpr std::uint32_t kCertChecksOff = 0x00001000 | 0x00002000 | 0x00008000;  // IGNORE_CERT_CN, _DATE, REDIRECT_TO_HTTP

TEST(TpkRSSFeedPolite, TheSwitchShapesEveryRequest) {
    test::FakeLog log;
    auto* fake = new test::FakeInternet(log, {test::Ok("<rss version=\"2.0\"><channel/></rss>")});
    TpkRSSFeed feed(nullptr, std::unique_ptr<TInternetApi>(fake));
    feed.HTTP().URL = "https://a.example/rss";
    const auto load = [&] {
        log = {};
        ASSERT_TRUE(feed.LoadFromURL(true));
    };
    const auto askedForCompression = [&] {
        for (const auto& [text, flag] : log.added)
            if (text.find(kAcceptEncodingLine) != std::string::npos) return true;
        return false;
    };

    load();
    EXPECT_EQ(log.requestFlags & (kNoCookies | kNoCacheWrite), 0u) << "off by default";
    EXPECT_FALSE(askedForCompression());

    feed.SetPoliteClient(true);
    // Set after the switch, as a program might: they must not reach the request.
    for (TpkHTTPOption off : {hoIgnoreCertCNInvalid, hoIgnoreCertDateInvalid, hoIgnoreUnknownAuthority, hoIgnoreRedirectToHTTP})
        feed.HTTP().Options.Include(off);
    load();
    EXPECT_EQ(log.requestFlags & (kNoCookies | kNoCacheWrite), kNoCookies | kNoCacheWrite);
    EXPECT_EQ(log.requestFlags & kCertChecksOff, 0u);
    for (const auto& [option, value] : log.options) EXPECT_NE(option, kOptionSecurityFlags) << value;
    EXPECT_TRUE(askedForCompression());
    EXPECT_TRUE(feed.HTTP().RefuseInsecureRedirects);

    feed.SetPoliteClient(false);
    load();
    EXPECT_EQ(log.requestFlags & (kNoCookies | kNoCacheWrite), 0u);
    EXPECT_FALSE(askedForCompression());
    EXPECT_FALSE(feed.HTTP().RefuseInsecureRedirects);
}

}  // namespace
}  // namespace tw
