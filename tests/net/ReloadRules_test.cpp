// When a feed may be asked again: the freshness an answer claims, the back-off after failures,
// and the texts of one feed's record.
#include "net/ReloadRules.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tw {
namespace {

constexpr TpkTimeMs kPeriod = 10 * kMsPerMinute;
// 2024-05-01 12:00:00 UTC, and the same moment as an HTTP date.
constexpr TpkTimeMs kNow = 1714564800000;
const std::string kDate = "Date: Wed, 01 May 2024 12:00:00 GMT\r\n";

TEST(ReloadRules, HttpDates) {
    EXPECT_EQ(HttpDateToTime("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777000);
    EXPECT_EQ(HttpDateToTime("Sunday, 06-Nov-94 08:49:37 GMT"), 784111777000);
    EXPECT_EQ(HttpDateToTime("Wed, 01 May 2024 12:00:00 GMT"), kNow);
    EXPECT_EQ(HttpDateToTime("0"), 0);
    EXPECT_EQ(HeaderValueOf("Cache-Control: no-cache\r\ncache-control:  max-age=60 \r\n", "Cache-Control"),
              "no-cache, max-age=60");
}

TEST(ReloadRules, NextDueAfterEachKindOfResult) {
    struct Case {
        const char* name;
        TpkFeedResult result;
        int status;
        std::string headers;
        std::uint32_t ttl;
        int failuresBefore;
        double random;
        TpkTimeMs wait;  // next due less now
        int failuresAfter;
    } cases[] = {
        {"loaded, nothing said", frLoaded, 200, "", 0, 3, 0, kPeriod, 0},
        {"max-age", frLoaded, 200, "Cache-Control: max-age=3600\r\n", 0, 0, 0, 60 * kMsPerMinute, 0},
        {"max-age less Age", frLoaded, 200, "Cache-Control: public, max-age=3600\r\nAge: 600\r\n", 0, 0, 0,
         50 * kMsPerMinute, 0},
        {"max-age shorter than the period", frLoaded, 200, "Cache-Control: max-age=60\r\n", 0, 0, 0, kPeriod, 0},
        {"max-age of a year, bounded", frLoaded, 200, "Cache-Control: max-age=31536000\r\n", 0, 0, 0, kMaxFreshnessMs, 0},
        {"no-store and no-cache change nothing", frLoaded, 200, "Cache-Control: no-store, no-cache, max-age=3600\r\n", 0,
         0, 0, 60 * kMsPerMinute, 0},
        {"Expires against Date", frLoaded, 200, kDate + "Expires: Wed, 01 May 2024 14:00:00 GMT\r\n", 0, 0, 0,
         2 * kMsPerHour, 0},
        {"Expires against now", frLoaded, 200, "Expires: Wed, 01 May 2024 13:30:00 GMT\r\n", 0, 0, 0, 90 * kMsPerMinute, 0},
        {"Expires in the past", frLoaded, 200, "Expires: Wed, 01 May 2024 11:00:00 GMT\r\n", 0, 0, 0, kPeriod, 0},
        {"Expires that is no date", frLoaded, 200, "Expires: 0\r\n", 0, 0, 0, kPeriod, 0},
        {"max-age wins over Expires", frLoaded, 200, "Cache-Control: max-age=1200\r\nExpires: Wed, 01 May 2024 15:00:00 GMT\r\n",
         0, 0, 0, 20 * kMsPerMinute, 0},
        {"ttl", frNotModified, 304, "", 120, 2, 0, 120 * kMsPerMinute, 0},
        {"ttl longer than max-age", frLoaded, 200, "Cache-Control: max-age=1800\r\n", 45, 0, 0, 45 * kMsPerMinute, 0},
        {"ttl bounded", frLoaded, 200, "", 600, 0, 0, kMaxFreshnessMs, 0},
        {"429 Retry-After seconds", frHTTPStatus, 429, "Retry-After: 3600\r\n", 0, 0, 0, kMsPerHour, 1},
        {"503 Retry-After date", frHTTPStatus, 503, kDate + "Retry-After: Wed, 01 May 2024 14:00:00 GMT\r\n", 0, 0, 0,
         2 * kMsPerHour, 1},
        {"Retry-After bounded", frHTTPStatus, 503, "Retry-After: 172800\r\n", 0, 0, 0, kMaxRetryAfterMs, 1},
        {"Retry-After shorter than the period", frHTTPStatus, 429, "Retry-After: 5\r\n", 0, 0, 0, kPeriod, 1},
        {"unreadable Retry-After backs off", frHTTPStatus, 429, "Retry-After: soon\r\n", 0, 1, 0, 2 * kPeriod, 2},
        {"503 first failure", frHTTPStatus, 503, "", 0, 0, 0, kPeriod, 1},
        {"503 third failure", frHTTPStatus, 503, "", 0, 2, 0, 4 * kPeriod, 3},
        {"500 with the most jitter", frHTTPStatus, 500, "", 0, 0, 1.0, kPeriod + kPeriod / 4, 1},
        {"unreachable, half the jitter", frHostUnreachable, 0, "", 0, 1, 0.5, 2 * kPeriod + kPeriod / 4, 2},
        {"timeout, bounded", frTimeout, 0, "", 0, 10, 0.5, kMaxBackoffMs, 11},
        {"connection lost", frConnectionLost, 200, "", 0, 0, 0, kPeriod, 1},
        {"404 waits the period", frHTTPStatus, 404, "Retry-After: 3600\r\n", 0, 3, 0, kPeriod, 3},
        {"certificate waits the period", frCertificate, 0, "", 0, 0, 0, kPeriod, 0},
    };
    for (const Case& c : cases) {
        TpkFeedState state;
        state.Failures = c.failuresBefore;
        RecordLoad(state, {c.result, c.status, c.headers, c.ttl}, kNow, kPeriod, [&] { return c.random; });
        EXPECT_EQ(state.NextDue - kNow, c.wait) << c.name;
        EXPECT_EQ(state.Failures, c.failuresAfter) << c.name;
        EXPECT_EQ(state.When, kNow) << c.name;
        EXPECT_FALSE(IsDue(state, kNow + c.wait - 1)) << c.name;
        EXPECT_TRUE(IsDue(state, kNow + c.wait)) << c.name;
    }
}

TEST(ReloadRules, BackOffGrowsThenResetsOnSuccess) {
    TpkFeedState state;
    const TpkRandom none = [] { return 0.0; };
    std::vector<TpkTimeMs> waits;
    for (int i = 0; i < 7; ++i) {
        RecordLoad(state, {frHTTPStatus, 503, "", 0}, kNow, kPeriod, none);
        waits.push_back(state.NextDue - kNow);
    }
    EXPECT_EQ(waits, (std::vector<TpkTimeMs>{kPeriod, 2 * kPeriod, 4 * kPeriod, 8 * kPeriod, 16 * kPeriod,
                                             kMaxBackoffMs, kMaxBackoffMs}));
    RecordLoad(state, {frNotModified, 304, "", 0}, kNow, kPeriod, none);
    RecordLoad(state, {frHTTPStatus, 503, "", 0}, kNow, kPeriod, none);
    EXPECT_EQ(state.NextDue - kNow, kPeriod);
}

TEST(ReloadRules, NetworkBackOrAnExplicitReloadIsDueOnceAtOnce) {
    TpkFeedState state;
    RecordLoad(state, {frHTTPStatus, 429, "Retry-After: 3600\r\n", 0}, kNow, kPeriod, {});
    const TpkTimeMs later = kNow + kMsPerMinute;
    ASSERT_FALSE(IsDue(state, later));
    MakeDueAtOnce(state, later);
    EXPECT_TRUE(IsDue(state, later));
    // That one load's answer sets the time again: the same 429 parks it for its hour once more.
    RecordLoad(state, {frHTTPStatus, 429, "Retry-After: 3600\r\n", 0}, later, kPeriod, {});
    EXPECT_FALSE(IsDue(state, later + kMsPerMinute));
    EXPECT_EQ(state.Failures, 2);
}

TEST(ReloadRules, StateTexts) {
    const auto clock = [](TpkTimeMs t) {
        const TpkTimeMs minutes = t / kMsPerMinute % (24 * 60);
        char text[8];
        std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
        return std::string(text);
    };
    const TpkTimeMs at1405 = kNow + 2 * kMsPerHour + 5 * kMsPerMinute;
    struct Case {
        TpkFeedResult result;
        int status;
        TpkTimeMs next;
        const char* text;
    } cases[] = {
        {frNone, 0, 0, "Not loaded yet"},
        {frNotModified, 304, at1405 + kMsPerHour, "Not modified at 14:05"},
        {frLoaded, 200, at1405 + kMsPerHour, "Loaded at 14:05"},
        {frHTTPStatus, 503, at1405 + 30 * kMsPerMinute, "HTTP 503 at 14:05, next try 14:35"},
        {frCertificate, 0, at1405 + 10 * kMsPerMinute, "Certificate refused at 14:05, next try 14:15"},
        {frTimeout, 0, at1405, "Timed out at 14:05"},
    };
    for (const Case& c : cases) {
        const TpkFeedState state{c.result, c.status, at1405, c.next, 0};
        EXPECT_EQ(FeedStateText(state, clock), c.text);
    }
}

}  // namespace
}  // namespace tw
