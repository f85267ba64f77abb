// Spreading loads: a gap between starts, one load per host, a bound on loads in flight.
#include "net/LoadPlanner.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

// Runs the planner as a caller would, waking when it says and when a load ends (each takes
// `loadMs`), and answers when each feed started.
std::vector<TpkTimeMs> StartTimes(std::vector<TpkPlannedLoad> loads, TpkLoadPlanner::Limits limits, TpkTimeMs loadMs) {
    TpkLoadPlanner planner(limits);
    std::vector<TpkTimeMs> started(loads.size(), -1), ends(loads.size(), kNoTime);
    TpkTimeMs now = 0;
    for (int round = 0; round < 100; ++round) {
        for (std::size_t i = 0; i < loads.size(); ++i)
            if (loads[i].Running && ends[i] <= now) loads[i].Running = false;
        const TpkLoadPlan plan = planner.Plan(loads, now);
        for (std::size_t i : plan.StartNow) {
            loads[i].Running = true;
            loads[i].Due = kNoTime;  // done once
            started[i] = now;
            ends[i] = now + loadMs;
        }
        TpkTimeMs next = plan.LookAgainAt;
        for (std::size_t i = 0; i < loads.size(); ++i)
            if (loads[i].Running) next = std::min(next, ends[i]);
        if (next == kNoTime) break;
        now = next;
    }
    return started;
}

TEST(TpkLoadPlanner, Spreading) {
    struct Case {
        const char* name;
        std::vector<TpkPlannedLoad> loads;
        TpkLoadPlanner::Limits limits;
        TpkTimeMs loadMs;
        std::vector<TpkTimeMs> started;
    } cases[] = {
        {"all due at start: a gap apart",
         {{"a", 0}, {"b", 0}, {"c", 0}, {"d", 0}},
         {4, 500},
         10000,
         {0, 500, 1000, 1500}},
        {"the bound in flight waits for an end",
         {{"a", 0}, {"b", 0}, {"c", 0}},
         {2, 500},
         3000,
         {0, 500, 3000}},
        {"one host at a time, others go meanwhile",
         {{"news.example", 0}, {"NEWS.example", 0}, {"other.example", 0}},
         {4, 500},
         2000,
         {0, 2000, 500}},
        {"earliest due first, a later one at its time",
         {{"a", 9000}, {"b", 100}, {"c", 0}},
         {4, 500},
         100,
         {9000, 500, 0}},
        {"no gap: all at once, one per host",
         {{"a", 0}, {"b", 0}, {"a", 0}},
         {4, 0},
         1000,
         {0, 0, 1000}},
    };
    for (const Case& c : cases) EXPECT_EQ(StartTimes(c.loads, c.limits, c.loadMs), c.started) << c.name;
}

TEST(TpkLoadPlanner, SaysWhenToLookAgain) {
    TpkLoadPlanner planner({4, 500});
    std::vector<TpkPlannedLoad> loads{{"a", 0}, {"b", 0}, {"c", 7000}};
    TpkLoadPlan plan = planner.Plan(loads, 0);
    EXPECT_EQ(plan.StartNow, (std::vector<std::size_t>{0}));
    EXPECT_EQ(plan.LookAgainAt, 500);
    loads[0].Running = true;
    plan = planner.Plan(loads, 200);  // woken early: nothing yet
    EXPECT_TRUE(plan.StartNow.empty());
    EXPECT_EQ(plan.LookAgainAt, 500);
    plan = planner.Plan(loads, 500);
    EXPECT_EQ(plan.StartNow, (std::vector<std::size_t>{1}));
    EXPECT_EQ(plan.LookAgainAt, 7000);
}

}  // namespace
}  // namespace tw
