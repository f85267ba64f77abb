#include "app/FeedSchedule.h"

#include "net/UrlUtils.h"

#include <algorithm>

namespace tw {

namespace {

std::string HostOf(const std::string& url) {
    TpkURLParts parts;
    return SplitURL(url, parts) ? parts.Host : url;
}

bool Listed(const std::vector<std::string>& urls, const std::string& url) {
    return std::find(urls.begin(), urls.end(), url) != urls.end();
}

}  // namespace

TFeedSchedule::TFeedSchedule(TpkRandom random, TpkClock clock, TpkLoadPlanner planner)
    : random_(std::move(random)), clock_(std::move(clock)), planner_(planner) {}

const TpkFeedState& TFeedSchedule::StateOf(const std::string& url) const {
    static const TpkFeedState kNeverLoaded;
    const auto found = states_.find(url);
    return found == states_.end() ? kNeverLoaded : found->second;
}

bool TFeedSchedule::IsDue(const std::string& url) const { return tw::IsDue(StateOf(url), Now()); }

void TFeedSchedule::ResumeFrom(const std::string& url, TpkTimeMs freshUntil) {
    TpkFeedState& state = states_[url];
    state.NextDue = std::max(state.NextDue, freshUntil);
}

void TFeedSchedule::Record(const std::string& url, const TpkLoadOutcome& outcome) {
    RecordLoad(states_[url], outcome, Now(), periodMs_, random_);
}

void TFeedSchedule::MakeDueAtOnce(const std::string& url) { tw::MakeDueAtOnce(states_[url], Now()); }

void TFeedSchedule::MakeAllDueAtOnce() {
    const TpkTimeMs now = Now();
    for (auto& [url, state] : states_) tw::MakeDueAtOnce(state, now);
}

std::string TFeedSchedule::StatusText(const std::string& url,
                                      const std::function<std::string(TpkTimeMs)>& clock) const {
    TpkFeedState state = StateOf(url);
    const bool never = state.NextDue == kNoTime;
    if (never) state.NextDue = state.When;  // no time to name
    std::string text = FeedStateText(state, clock);
    const bool good = state.LastResult == frLoaded || state.LastResult == frNotModified;
    if (good && state.NextDue > state.When) text += ", next request at " + clock(state.NextDue);
    if (never && state.LastResult != frNone) text += ", not asked again";
    return text;
}

void TFeedSchedule::KeepOnly(const std::vector<std::string>& listed) {
    std::erase_if(states_, [&](const auto& entry) { return !Listed(listed, entry.first); });
}

std::vector<std::string> TFeedSchedule::StartNow(const std::vector<std::string>& urls,
                                                 const std::vector<std::string>& running, TpkTimeMs& lookAgainAt) {
    std::vector<TpkPlannedLoad> loads;
    loads.reserve(urls.size());
    for (const std::string& url : urls) loads.push_back({HostOf(url), NextDue(url), Listed(running, url)});
    const TpkLoadPlan plan = planner_.Plan(loads, Now());
    lookAgainAt = plan.LookAgainAt;
    std::vector<std::string> start;
    for (std::size_t index : plan.StartNow) start.push_back(urls[index]);
    return start;
}

}  // namespace tw
