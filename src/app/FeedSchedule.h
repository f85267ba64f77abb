#pragma once
// The program's reload bookkeeping for many feeds: one TpkFeedState per address, the user's
// reload period and the random source of the back-off, and the planner that spreads loads out.
// It answers whether a feed may be asked for now, records what each load came to, makes every
// feed due at once when the network comes back, and names the next loads to start when many are
// due together. The rotation asks about one feed at a time; a mode that follows many feeds at
// once plans them all. Portable, over a given clock, so it is tested as a table.
#include "net/LoadPlanner.h"
#include "net/ReloadRules.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tw {

using TpkClock = std::function<TpkTimeMs()>;

class TFeedSchedule {
public:
    explicit TFeedSchedule(TpkRandom random = DefaultRandom(), TpkClock clock = WallClockNowMs,
                           TpkLoadPlanner planner = TpkLoadPlanner());

    // The user's reload period (ms): no feed is asked again sooner after a good answer, and the
    // back-off starts from it. 0 (no reload) lets a feed be asked whenever the rotation comes to it.
    TpkTimeMs ReloadPeriod() const { return periodMs_; }
    void SetReloadPeriod(TpkTimeMs periodMs) { periodMs_ = periodMs; }

    // The record of `url`; a feed never loaded has a fresh one (due at once).
    const TpkFeedState& StateOf(const std::string& url) const;
    bool IsDue(const std::string& url) const;
    // The earliest next request (0 = at once).
    TpkTimeMs NextDue(const std::string& url) const { return StateOf(url).NextDue; }
    // A copy kept from an earlier run: the feed is not asked before `freshUntil` (kNoTime: not
    // until MakeDueAtOnce).
    void ResumeFrom(const std::string& url, TpkTimeMs freshUntil);
    // What a load of `url` came to, now; the next due time follows the rules (net/ReloadRules).
    void Record(const std::string& url, const TpkLoadOutcome& outcome);
    // The user asked for this feed: due at once, for one load.
    void MakeDueAtOnce(const std::string& url);
    // The network came back: every feed is due at once, for one load each.
    void MakeAllDueAtOnce();
    // "Loaded at 14:05, next request at 15:05", "HTTP 429 at 14:05, next try 15:05", "Not loaded
    // yet"; a feed held until the user asks (ResumeFrom kNoTime) is "not asked again".
    std::string StatusText(const std::string& url,
                           const std::function<std::string(TpkTimeMs)>& clock = LocalClockText) const;
    // Forgets every feed not in `listed`.
    void KeepOnly(const std::vector<std::string>& listed);

    // Which of `urls` to start now, spread out (one per host, a gap apart, a bound in flight);
    // `running` are those whose loads are under way. `lookAgainAt` is when to ask again (kNoTime
    // when only a load's end can change the answer).
    std::vector<std::string> StartNow(const std::vector<std::string>& urls, const std::vector<std::string>& running,
                                      TpkTimeMs& lookAgainAt);

    TpkTimeMs Now() const { return clock_(); }

private:
    TpkRandom random_;
    TpkClock clock_;
    TpkLoadPlanner planner_;
    TpkTimeMs periodMs_ = 0;
    std::map<std::string, TpkFeedState> states_;
};

}  // namespace tw
