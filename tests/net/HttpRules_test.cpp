#include "net/HttpRules.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(HttpRules, EachOptionAddsItsFlag) {
    struct Case { TpkHTTPOption option; std::uint32_t flag; };
    const Case cases[] = {
        {hoReload, 0x80000000u},        {hoHyperlink, 0x400u},         {hoResynchronize, 0x800u},
        {hoPragmaNoCache, 0x100u},      {hoNoCacheWrite, 0x04000000u}, {hoNeedFile, 0x10u},
        {hoCacheIfNetFail, 0x10000u},   {hoIgnoreCertCNInvalid, 0x1000u}, {hoIgnoreCertDateInvalid, 0x2000u},
        {hoIgnoreUnknownAuthority, 0u}, {hoIgnoreRedirectToHTTP, 0x8000u}, {hoIgnoreRedirectToHTTPS, 0x4000u},
        {hoKeepConnection, 0x400000u},  {hoNoAuth, 0x40000u},          {hoNoAutoRedirect, 0x200000u},
        {hoNoCookies, 0x80000u},
    };
    for (const auto& c : cases) EXPECT_EQ(OptionFlags({c.option}, "http"), c.flag) << c.option;
}

TEST(HttpRules, HttpsAddsSecureAndDropsNeedFile) {
    EXPECT_EQ(OptionFlags({hoNeedFile}, "https"), 0x00800000u);
    EXPECT_EQ(OptionFlags({hoNeedFile}, "HTTPS"), 0x00800000u);
    EXPECT_EQ(OptionFlags({}, "https"), 0x00800000u);
    EXPECT_EQ(OptionFlags({hoNeedFile}, "ftp"), 0x10u);
}

TEST(HttpRules, DefaultOptionSets) {
    EXPECT_EQ(OptionFlags(kDefaultHTTPOptions, "http"), 0x400u | 0x800u | 0x10u | 0x400000u);
    EXPECT_EQ(OptionFlags(kPragmaNoCacheHTTPOptions, "http"), 0x400u | 0x800u | 0x100u | 0x400000u);
    EXPECT_EQ(SecurityFlagsFor({hoIgnoreUnknownAuthority}), 0x100u);
    EXPECT_EQ(SecurityFlagsFor(kDefaultHTTPOptions), 0u);
}

TEST(HttpRules, AccessTypesAndProxyName) {
    EXPECT_EQ(AccessTypeToOpenType(atPreconfig), 0u);
    EXPECT_EQ(AccessTypeToOpenType(atDirect), 1u);
    EXPECT_EQ(AccessTypeToOpenType(atUseProxy), 3u);
    EXPECT_EQ(ProxyNameFor(atUseProxy, "proxy.local", 8080), "proxy.local:8080");
    EXPECT_EQ(ProxyNameFor(atDirect, "proxy.local", 8080), "");
    EXPECT_EQ(ProxyNameFor(atPreconfig, "proxy.local", 3128), "");
}

TEST(HttpRules, FileAttributes) {
    EXPECT_EQ(FileAttributesToPlatform({atrArchive}), 0x20u);
    EXPECT_EQ(FileAttributesToPlatform({atrArchive, atrTemporary}), 0x120u);
    EXPECT_EQ(FileAttributesToPlatform({atrHidden, atrReadOnly, atrSystem, atrOffline}), 0x1007u);
    EXPECT_EQ(FileAttributesToPlatform({}), 0x80u);
}

TEST(HttpRules, RangeLine) {
    struct Case { std::uint32_t resume, end, start, stop; const char* line; };
    const Case cases[] = {
        {0, 0, 0, 0, ""},
        {100, 0, 0, 0, "RANGE: bytes=100-\r\n"},
        {100, 200, 0, 0, "RANGE: bytes=100-200\r\n"},
        {0, 50, 0, 0, "RANGE: bytes=0-50\r\n"},
        {0, 0, 10, 0, "RANGE: bytes=10-\r\n"},
        {0, 0, 10, 20, "RANGE: bytes=10-20\r\n"},
        {0, 0, 0, 20, "RANGE: bytes=0-20\r\n"},
        {7, 0, 10, 20, "RANGE: bytes=7-\r\n"},  // the resume offset wins over the range properties
        {4294967295u, 0, 0, 0, "RANGE: bytes=4294967295-\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(BuildRangeLine(c.resume, c.end, c.start, c.stop), c.line);
}

TEST(HttpRules, RequestHeaderText) {
    EXPECT_EQ(BuildRequestHeaders({}, ""), "");
    EXPECT_EQ(BuildRequestHeaders({"X-A: 1", "X-B: 2"}, ""), "X-A: 1\r\nX-B: 2\r\n");
    EXPECT_EQ(BuildRequestHeaders({"X-A: 1\r\n", "", "X-B: 2\n"}, "RANGE: bytes=1-\r\n"),
              "X-A: 1\r\nX-B: 2\r\nRANGE: bytes=1-\r\n");
}

TEST(HttpRules, Realm) {
    struct Case { const char* challenge; const char* realm; };
    const Case cases[] = {
        {"Basic realm=\"Feeds\"", "Feeds"},
        {"Digest realm=\"a b\", nonce=\"x\"", "a b\", nonce=\"x"},  // first =" to the last character
        {"Basic", "Basic"},
        {"", ""},
        {"Basic realm=\"", ""},
        {"Basic realm=\"x", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExtractRealm(c.challenge), c.realm) << c.challenge;
}

TEST(HttpRules, ContentLength) {
    struct Case { const char* text; std::int32_t value; };
    const Case cases[] = {
        {"0", 0}, {"2048", 2048}, {" 12 ", 12}, {"", 0}, {"abc", 0}, {"-5", 0}, {"12abc", 0},
        {"2147483647", 2147483647}, {"2147483648", 0}, {"99999999999999999999", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseContentLength(c.text), c.value) << c.text;
}

TEST(HttpRules, ResumeOffset) {
    EXPECT_EQ(ResumeOffsetFor(0, 4096), 0u);
    EXPECT_EQ(ResumeOffsetFor(4096, 4096), 0u);
    EXPECT_EQ(ResumeOffsetFor(4097, 4096), 1u);
    EXPECT_EQ(ResumeOffsetFor(10000, 4096), 5904u);
    EXPECT_EQ(ResumeOffsetFor(0x200000000ull, 4096), 0u);
}

TEST(HttpRules, StatusTexts) {
    struct Case { std::uint32_t code; const char* text; };
    const Case cases[] = {
        {10, "Resolving name"}, {11, "Name resolved"}, {20, "Connecting to server"}, {21, "Connected"},
        {30, "Sending Request"}, {31, "Request sent"}, {40, "Receiving response"}, {41, "Response received"},
        {42, "CTL Response received"}, {43, "Prefetch"}, {50, "Closing connection"}, {51, "Connection closed"},
        {60, "Handle created"}, {70, "Handle closing"}, {100, "Request complete"}, {110, "Redirect"},
        {120, "Intermediate response"}, {200, "State change"}, {0, "Unknown status"}, {12, "Unknown status"},
        {999, "Unknown status"},
    };
    for (const auto& c : cases) EXPECT_STREQ(StatusText(c.code), c.text) << c.code;
}

TEST(HttpRules, RoundingHalvesToEven) {
    struct Case { double in; long long out; };
    const Case cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {2.4999, 2}, {2.5001, 3}, {-0.5, 0}, {-1.5, -2}, {99.5, 100}};
    for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
}

TEST(HttpRules, ProgressFigures) {
    // 1 of 8 bytes = 12.5 % -> 12 (half to even); 3 of 8 = 37.5 % -> 38.
    EXPECT_EQ(ComputeProgress(0, 1, 8, 0).PercentsDone, 12);
    EXPECT_EQ(ComputeProgress(0, 3, 8, 0).PercentsDone, 38);
    // Resume offset counts on both sides: (100 + 100) / (300 + 100) = 50 %.
    TpkProgressFigures f = ComputeProgress(100, 100, 300, 4000);
    EXPECT_EQ(f.PercentsDone, 50);
    EXPECT_EQ(f.DataSize, 400);
    EXPECT_EQ(f.BytesRead, 200);
    EXPECT_EQ(f.ElapsedTime, 4);
    EXPECT_EQ(f.EstimatedTimeLeft, 8);  // 300 / 100 * 4 - 4
    EXPECT_FLOAT_EQ(f.TransferRate, 100.0f / 1024.0f / 4.0f);
    // Estimated time: 10 / 4 * 1 = 2.5 -> 2, minus 1 s.
    EXPECT_EQ(ComputeProgress(0, 4, 10, 1999).EstimatedTimeLeft, 1);
    // Under a second: the rate is not divided.
    EXPECT_FLOAT_EQ(ComputeProgress(0, 2048, 0, 999).TransferRate, 2.0f);
}

TEST(HttpRules, ProgressGuards) {
    TpkProgressFigures none = ComputeProgress(0, 0, 0, 5000);
    EXPECT_EQ(none.PercentsDone, 0);
    EXPECT_EQ(none.EstimatedTimeLeft, 0);
    EXPECT_EQ(ComputeProgress(0, 0, 100, 5000).EstimatedTimeLeft, 0);  // nothing arrived yet
    EXPECT_EQ(ComputeProgress(0, 500, 100, 1000).PercentsDone, 100);    // more than announced
    EXPECT_EQ(ComputeProgress(0, 500, 0, 3000).EstimatedTimeLeft, 0);   // length unknown
    // A few bytes after a long time: far beyond 32 bits of seconds, held at the largest value.
    EXPECT_EQ(ComputeProgress(16, 32, 16426, 0xfffc1500u).EstimatedTimeLeft, 2147483647);
}

TEST(HttpRules, Success) {
    EXPECT_TRUE(TransferSucceeded(200, 10, 10, true));
    EXPECT_TRUE(TransferSucceeded(206, 10, 10, true));
    EXPECT_FALSE(TransferSucceeded(200, 10, 9, true));
    EXPECT_TRUE(TransferSucceeded(200, 0, 9, true));   // no length: any amount
    EXPECT_TRUE(TransferSucceeded(200, 10, 0, false)); // no result stream: not counted
    EXPECT_FALSE(TransferSucceeded(404, 0, 0, true));
    EXPECT_FALSE(TransferSucceeded(-1, 0, 0, false));
}

TEST(HttpRules, CompletionPlans) {
    using E = TpkHTTPEvent;
    struct Case { bool cont, success, stream; int status; bool uploading, complete; std::vector<E> events; bool del; };
    const Case cases[] = {
        {false, true, true, 200, false, false, {E::Cancelled}, false},
        {true, true, true, 200, false, false, {E::Done}, false},
        {true, true, false, 200, false, false, {E::Failed, E::OutputFileError}, false},
        {true, true, false, 206, false, true, {E::Done}, false},
        {true, false, true, 200, false, false, {E::ConnLost, E::Failed}, false},
        {true, false, true, 206, false, false, {E::ConnLost, E::Failed}, false},
        {true, false, false, -1, false, false, {E::HostUnreachable, E::Failed}, false},
        {true, false, false, -1, true, false, {E::UploadFailed, E::Failed}, false},
        {true, false, true, 404, false, false, {E::Error, E::Failed}, true},
        {true, false, true, 500, false, false, {E::Error, E::Failed}, true},
    };
    for (const auto& c : cases) {
        TpkCompletionPlan plan = PlanCompletion(c.cont, c.success, c.stream, c.status, c.uploading, c.complete);
        EXPECT_EQ(plan.events, c.events) << c.status;
        EXPECT_EQ(plan.deleteOutputFile, c.del) << c.status;
    }
}

TEST(HttpRules, RedirectTargets) {
    struct Case { const char* base; const char* location; const char* target; };
    const Case cases[] = {
        {"http://a.example/feeds/rss.xml", "http://b.example:81/x?y", "http://b.example:81/x?y"},
        {"http://a.example/feeds/rss.xml", "HTTPS://b.example/", "HTTPS://b.example/"},
        {"https://a.example/feeds/rss.xml", "//b.example/x", "https://b.example/x"},
        {"http://a.example:8080/feeds/rss.xml?id=1", "/other", "http://a.example:8080/other"},
        {"http://a.example/feeds/rss.xml?id=1/2", "next.xml", "http://a.example/feeds/next.xml"},
        {"http://a.example/feeds/", "../up", "http://a.example/feeds/../up"},
        {"http://a.example", "loop", "http://a.example/loop"},
        {"http://a.example?q", "/p", "http://a.example/p"},
        {"http://a.example/f.xml", "?page=2", "http://a.example/f.xml?page=2"},
        {"http://a.example/f.xml", "  /spaced  ", "http://a.example/spaced"},
        {"http://a.example/f.xml", "a:b/c", "a:b/c"},           // a scheme of its own
        {"http://a.example/dir/f.xml", "x/a:b", "http://a.example/dir/x/a:b"},  // a colon after a slash
        {"http://a.example/f.xml", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveLocation(c.base, c.location), c.target) << c.base << " + " << c.location;
    for (int status : {301, 302, 303, 307, 308}) EXPECT_TRUE(IsRedirectStatus(status)) << status;
    for (int status : {200, 300, 304, 305, 306, 309, -1}) EXPECT_FALSE(IsRedirectStatus(status)) << status;
}

}  // namespace
}  // namespace tw
