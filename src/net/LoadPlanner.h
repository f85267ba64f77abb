#pragma once
// Spreads feed loads out: when the program starts or the network comes back, many feeds are
// due at once, and asking them all in the same second is what gets a reader blocked. The
// planner starts due loads one at a time, a gap apart, never two at once on one host, and no
// more than a bound in flight; the caller asks it again when it said to, and whenever a load
// ends.
#include "net/ReloadRules.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tw {

inline constexpr TpkTimeMs kNoTime = INT64_MAX;

struct TpkPlannedLoad {
    std::string Host;      // the address's host (compared without case)
    TpkTimeMs Due = 0;     // the feed's next due time
    bool Running = false;  // its load is in flight
};

struct TpkLoadPlan {
    std::vector<std::size_t> StartNow;  // indices into the loads given, earliest due first
    // When to ask again; kNoTime when only the end of a running load can change the answer.
    TpkTimeMs LookAgainAt = kNoTime;
};

class TpkLoadPlanner {
public:
    struct Limits {
        int MaxInFlight = 4;
        TpkTimeMs GapMs = 500;  // between two starts
    };
    TpkLoadPlanner() = default;
    explicit TpkLoadPlanner(Limits limits) : limits_(limits) {}

    // Which loads to start at `now` and when to look again. The caller starts those loads (and
    // gives them as Running next time); what it does not start is offered again later.
    TpkLoadPlan Plan(const std::vector<TpkPlannedLoad>& loads, TpkTimeMs now);

private:
    Limits limits_;
    TpkTimeMs lastStart_ = 0;
    bool started_ = false;
};

}  // namespace tw
