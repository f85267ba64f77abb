#include "net/LoadPlanner.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <set>

namespace tw {

TpkLoadPlan TpkLoadPlanner::Plan(const std::vector<TpkPlannedLoad>& loads, TpkTimeMs now) {
    TpkLoadPlan plan;
    std::set<std::string> busyHosts;
    int inFlight = 0;
    for (const TpkPlannedLoad& load : loads) {
        if (!load.Running) continue;
        ++inFlight;
        busyHosts.insert(AsciiLowered(load.Host));
    }
    std::vector<std::size_t> waiting;
    for (std::size_t i = 0; i < loads.size(); ++i)
        if (!loads[i].Running) waiting.push_back(i);
    std::stable_sort(waiting.begin(), waiting.end(), [&](std::size_t a, std::size_t b) { return loads[a].Due < loads[b].Due; });

    const auto nextSlot = [&] { return started_ ? lastStart_ + limits_.GapMs : now; };
    for (const std::size_t i : waiting) {
        const TpkPlannedLoad& load = loads[i];
        const std::string host = AsciiLowered(load.Host);
        const bool due = load.Due <= now;
        const bool free = inFlight < limits_.MaxInFlight && busyHosts.count(host) == 0;
        if (due && free && nextSlot() <= now) {
            plan.StartNow.push_back(i);
            lastStart_ = now;
            started_ = true;
            ++inFlight;
            busyHosts.insert(host);
            continue;
        }
        // A due load held by its host or by the bound waits for a load to end.
        if (due && !free) continue;
        plan.LookAgainAt = std::min(plan.LookAgainAt, std::max(load.Due, nextSlot()));
    }
    return plan;
}

}  // namespace tw
