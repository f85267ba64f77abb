// The additions a polite, careful client turns on, through the scripted internet double: bodies
// decoded from gzip and deflate (the platform double does not decode, so the component does),
// the memory cap on what they inflate to, redirects refused or taken for good, and why a
// transfer failed.
#include "Compressed.h"
#include "FakeInternet.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

using test::FakeResponse;
using test::Flow;
using test::Compress;
using test::Ok;
using Events = std::vector<std::string>;

FakeResponse Encoded(std::string body, const std::string& coding) {
    FakeResponse r = Ok(std::move(body));
    r.headers[kQueryContentEncoding] = coding;
    return r;
}

bool SentAcceptEncoding(const test::FakeLog& log) {
    for (const auto& [text, flag] : log.added)
        if (text.find(kAcceptEncodingLine) != std::string::npos) return true;
    return false;
}

const std::string kFeed = "<rss version=\"2.0\"><channel><title>" + std::string(3000, 'n') + "</title></channel></rss>";

TEST(pkHTTPPolite, CompressedBodiesArriveDecoded) {
    const std::string gz = Compress(kFeed, 31);
    struct Case {
        const char* name;
        std::string coding, body;
        bool ask = true;
        std::string arrives = kFeed;
    } cases[] = {
        {"gzip", "gzip", gz},
        {"x-gzip in capitals", " X-GZIP ", gz},
        {"deflate, zlib format", "deflate", Compress(kFeed, 15)},
        {"deflate, bare data", "deflate", Compress(kFeed, -15)},
        {"two gzip members", "gzip", Compress(kFeed.substr(0, 1000), 31) + Compress(kFeed.substr(1000), 31)},
        {"not compressed after all", "identity", kFeed},
        {"not asked: as the server sent it", "gzip", gz, false, gz},
    };
    for (const Case& c : cases) {
        Flow f({Encoded(c.body, c.coding)});
        f.http.AcceptCompression = c.ask;
        f.http.TransferBufferSize = 100;  // the compressed data arrives in many reads
        ASSERT_TRUE(f.http.Get(true)) << c.name;
        EXPECT_EQ(f.events, (Events{"Done"})) << c.name;
        EXPECT_EQ(f.body, c.arrives) << c.name;
        EXPECT_EQ(SentAcceptEncoding(f.log), c.ask) << c.name;
    }
}

TEST(pkHTTPPolite, CompressedBodiesThatDoNotDecodeFail) {
    const std::string gz = Compress(kFeed, 31);
    std::string damaged = gz;
    damaged[20] ^= 0x55;
    damaged[21] ^= 0x55;
    struct Case {
        const char* name;
        std::string body;
        TpkHTTPFailure kind;
    } cases[] = {
        {"damaged", damaged, hfBadContent},
        {"cut short", gz.substr(0, gz.size() / 2), hfConnectionLost},
        {"not gzip at all", "plain text", hfBadContent},
    };
    for (const Case& c : cases) {
        Flow f({Encoded(c.body, "gzip")});
        f.http.AcceptCompression = true;
        ASSERT_TRUE(f.http.Get(true)) << c.name;
        EXPECT_EQ(f.events, (Events{"ConnLost", "Failed"})) << c.name;
        EXPECT_EQ(f.http.FailureKind(), c.kind) << c.name;
    }
}

// 10 MB of gzip that inflates to 10 GB: ten thousand members of 1 MB of zeros each.
TEST(pkHTTPPolite, GzipBombEndsAtTheMemoryCap) {
    const std::string member = Compress(std::string(1 << 20, '\0'), 31);
    std::string bomb;
    bomb.reserve(member.size() * 10240);
    for (int i = 0; i < 10240; ++i) bomb += member;
    ASSERT_GT(bomb.size(), 10u * 1000 * 1000);

    Flow f({Encoded(std::move(bomb), "gzip")});
    f.http.AcceptCompression = true;
    f.http.MaxMemorySize = 16ll * 1024 * 1024;
    std::int64_t heldAtEnd = -1;
    f.http.OnConnLost = [&](TpkComponent&, const std::string&, std::int32_t, std::int32_t, TpkStream* s) {
        f.events.push_back("ConnLost");
        heldAtEnd = s->Size();
    };
    ASSERT_TRUE(f.http.Get(true));
    EXPECT_EQ(f.events, (Events{"ConnLost", "Failed"}));  // today's too-large outcome
    EXPECT_EQ(f.http.FailureKind(), hfTooLarge);
    EXPECT_LE(heldAtEnd, f.http.MaxMemorySize);
    EXPECT_GT(heldAtEnd, f.http.MaxMemorySize - static_cast<std::int64_t>(TpkInflater::kOutputBlock) - 1);
    // It stopped reading once the cap was reached: about 17 members of the ten thousand.
    EXPECT_LT(f.log.bodyBytesRead, 40u * member.size());
}

FakeResponse Redirect(int status, std::string location) {
    FakeResponse r;
    r.status = status;
    r.headers[kQueryLocation] = std::move(location);
    return r;
}

TEST(pkHTTPPolite, RedirectsRefusedOrTakenForGood) {
    struct Case {
        const char* name;
        std::string url;
        std::vector<FakeResponse> script;
        bool refuse;
        Events events;
        std::string permanent;
        TpkHTTPFailure kind;
        int sends;
    } cases[] = {
        {"301", "http://a.example/old", {Redirect(301, "/new"), Ok("x")}, true, {"Done"}, "http://a.example/new", hfNone, 2},
        {"301 then 308", "http://a.example/1", {Redirect(301, "/2"), Redirect(308, "/3"), Ok("x")}, true, {"Done"},
         "http://a.example/3", hfNone, 3},
        {"301 then 302", "http://a.example/1", {Redirect(301, "/2"), Redirect(302, "/3"), Ok("x")}, true, {"Done"},
         "http://a.example/2", hfNone, 3},
        {"302 then 301", "http://a.example/1", {Redirect(302, "/2"), Redirect(301, "/3"), Ok("x")}, true, {"Done"}, "",
         hfNone, 3},
        {"307", "http://a.example/1", {Redirect(307, "/2"), Ok("x")}, true, {"Done"}, "", hfNone, 2},
        {"https to http refused", "https://a.example/f", {Redirect(301, "http://a.example/f"), Ok("x")}, true,
         {"Error 301", "Failed"}, "", hfInsecureRedirect, 1},
        {"https to a relative address stays https", "https://a.example/f", {Redirect(302, "/g"), Ok("x")}, true,
         {"Done"}, "", hfNone, 2},
        {"https to http followed when not refused", "https://a.example/f", {Redirect(301, "http://b.example/f"), Ok("x")},
         false, {"Done"}, "http://b.example/f", hfNone, 2},
    };
    for (const Case& c : cases) {
        Flow f(c.script);
        f.http.URL = c.url;
        f.http.RefuseInsecureRedirects = c.refuse;
        ASSERT_TRUE(f.http.Get(true)) << c.name;
        EXPECT_EQ(f.events, c.events) << c.name;
        EXPECT_EQ(f.http.PermanentURL(), c.permanent) << c.name;
        EXPECT_EQ(f.http.FailureKind(), c.kind) << c.name;
        EXPECT_EQ(f.log.sends, c.sends) << c.name;
    }
}

TEST(pkHTTPPolite, FailureKindAndPlatformErrorAfterAFailedSend) {
    struct Case {
        std::uint32_t error;
        TpkHTTPFailure kind;
    } cases[] = {
        {12045, hfCertificate}, {12037, hfCertificate}, {12038, hfCertificate}, {12057, hfCertificate},
        {12007, hfHostUnreachable}, {12029, hfHostUnreachable}, {12002, hfTimeout}, {12030, hfConnectionLost},
    };
    for (const Case& c : cases) {
        Flow f({Ok("x")});
        f.fake->failSend = true;
        f.fake->sendError = c.error;
        ASSERT_TRUE(f.http.Get(true)) << c.error;
        EXPECT_EQ(f.events, (Events{"HostUnreachable", "Failed"})) << c.error;  // the events of old
        EXPECT_EQ(f.http.FailureKind(), c.kind) << c.error;
        EXPECT_EQ(f.http.PlatformError(), c.error);
    }
}

TEST(pkHTTPPolite, AnswerHeadersAndStatusReachTheCaller) {
    FakeResponse busy;
    busy.status = 429;
    busy.headers[kQueryRawHeadersCRLF] = "HTTP/1.1 429 Too Many Requests\r\nRetry-After: 3600\r\n\r\n";
    Flow f({busy});
    std::string seenInError;
    f.http.OnError = [&](TpkComponent&, int code, TpkStream*) {
        f.events.push_back("Error " + std::to_string(code));
        seenInError = f.http.ResponseHeaders();
    };
    ASSERT_TRUE(f.http.Get(true));
    EXPECT_EQ(f.events, (Events{"Error 429", "Failed"}));
    EXPECT_EQ(f.http.FailureKind(), hfHTTPStatus);
    EXPECT_EQ(f.http.StatusCode(), 429);
    EXPECT_EQ(seenInError, busy.headers[kQueryRawHeadersCRLF]);
}

}  // namespace
}  // namespace tw
