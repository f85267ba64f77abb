// The program's per-feed schedule: each address keeps its own record, a kept copy's freshness
// holds the first request back, the network coming back makes every feed due for one load,
// forgotten feeds start afresh, and due loads are spread out over the planner.
#include "app/FeedSchedule.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

constexpr TpkTimeMs kStart = 1714564800000;
constexpr TpkTimeMs kPeriod = 2 * kMsPerSecond;
const std::string kA = "http://a.example/feed", kB = "http://b.example/feed", kA2 = "http://a.example/other";

struct Clock {
    TpkTimeMs now = kStart;
};

TFeedSchedule MakeSchedule(Clock& clock) {
    TFeedSchedule schedule([] { return 0.5; }, [&clock] { return clock.now; });
    schedule.SetReloadPeriod(kPeriod);
    return schedule;
}

TEST(TFeedSchedule, OneRecordPerFeed) {
    struct Step {
        const char* name;
        TpkTimeMs at;        // less kStart
        std::string url;
        enum { Record, Resume, UserAsks, NetworkBack, Forget } what;
        TpkLoadOutcome outcome;
        TpkTimeMs value;     // Resume: fresh until (less kStart)
        TpkTimeMs dueA, dueB;  // next due of A and B afterwards, less kStart (-kStart: at once)
    } steps[] = {
        {"new feeds are due at once", 0, kA, Step::Record, {frLoaded, 200, "Cache-Control: max-age=3600\r\n", 0}, 0,
         kMsPerHour, -kStart},
        {"B's 429 waits its Retry-After, A keeps its own", 0, kB, Step::Record,
         {frHTTPStatus, 429, "Retry-After: 1800\r\n", 0}, 0, kMsPerHour, 30 * kMsPerMinute},
        {"B's connection failure backs off from the period with jitter", 1000, kB, Step::Record,
         {frHostUnreachable, 0, "", 0}, 0, kMsPerHour, 1000 + 2 * kPeriod + kPeriod / 4},
        {"the user asks for A: due at once", 2000, kA, Step::UserAsks, {}, 0, 2000, 1000 + 2 * kPeriod + kPeriod / 4},
        {"A's 304 without freshness waits the period, and resets", 3000, kA, Step::Record, {frNotModified, 304, "", 0}, 0,
         3000 + kPeriod, 1000 + 2 * kPeriod + kPeriod / 4},
        {"the network came back: every feed due at once", 4000, kA, Step::NetworkBack, {}, 0, 4000, 4000},
        {"B loads: its back-off resets", 4000, kB, Step::Record, {frLoaded, 200, "", 0}, 0, 4000, 4000 + kPeriod},
        {"A forgotten (no longer listed)", 4000, kA, Step::Forget, {}, 0, -kStart, 4000 + kPeriod},
        {"a kept copy fresh for ten minutes holds A back", 4000, kA, Step::Resume, {}, 10 * kMsPerMinute,
         10 * kMsPerMinute, 4000 + kPeriod},
    };
    Clock clock;
    TFeedSchedule schedule = MakeSchedule(clock);
    for (const Step& step : steps) {
        clock.now = kStart + step.at;
        switch (step.what) {
            case Step::Record: schedule.Record(step.url, step.outcome); break;
            case Step::Resume: schedule.ResumeFrom(step.url, kStart + step.value); break;
            case Step::UserAsks: schedule.MakeDueAtOnce(step.url); break;
            case Step::NetworkBack: schedule.MakeAllDueAtOnce(); break;
            case Step::Forget: schedule.KeepOnly({kB}); break;
        }
        EXPECT_EQ(schedule.NextDue(kA) - kStart, step.dueA) << step.name;
        EXPECT_EQ(schedule.NextDue(kB) - kStart, step.dueB) << step.name;
        EXPECT_EQ(schedule.IsDue(kA), schedule.NextDue(kA) <= clock.now) << step.name;
    }
    const auto seconds = [](TpkTimeMs t) { return std::to_string((t - kStart) / 1000); };
    EXPECT_EQ(schedule.StatusText(kB, seconds), "Loaded at 4, next request at 6");
    schedule.Record(kA, {frHTTPStatus, 410, "", 0});
    schedule.ResumeFrom(kA, kNoTime);
    EXPECT_FALSE(schedule.IsDue(kA));
    EXPECT_EQ(schedule.StatusText(kA, seconds), "HTTP 410 at 4, not asked again");
    schedule.MakeDueAtOnce(kA);
    EXPECT_TRUE(schedule.IsDue(kA));
    EXPECT_EQ(schedule.StatusText("http://never.example/"), "Not loaded yet");
}

TEST(TFeedSchedule, DueLoadsAreSpreadOneAtATimePerHost) {
    Clock clock;
    TFeedSchedule schedule = MakeSchedule(clock);
    TpkTimeMs again = 0;
    const std::vector<std::string> feeds{kA, kA2, kB};
    EXPECT_EQ(schedule.StartNow(feeds, {}, again), std::vector<std::string>{kA});
    EXPECT_EQ(again, kStart + 500);
    clock.now = kStart + 500;
    // A's host is busy: B goes next, A2 waits for A's load to end.
    EXPECT_EQ(schedule.StartNow(feeds, {kA}, again), std::vector<std::string>{kB});
    clock.now = kStart + 1000;
    EXPECT_TRUE(schedule.StartNow(feeds, {kA, kB}, again).empty());
    EXPECT_EQ(again, kNoTime);
    schedule.Record(kA, {frLoaded, 200, "", 0});
    EXPECT_EQ(schedule.StartNow(feeds, {kB}, again), std::vector<std::string>{kA2});
}

}  // namespace
}  // namespace tw
