#include "app/StreamLoader.h"

#include <algorithm>

#include "net/UrlUtils.h"

namespace tw {

struct TStreamLoader::TSlot {
    std::string Url;
    std::string Host;
    std::unique_ptr<TpkRSSFeed> Feed;
    TpkFeedState State;
    bool Running = false;

    ~TSlot() {
        // A load still under way ends with the component; its events must reach nobody.
        Feed->DisconnectLoadEvents();
    }
};

namespace {

std::string HostOf(const std::string& url) {
    TpkURLParts parts;
    // An address that does not split is its own host: it shares a turn with nobody.
    return SplitURL(url, parts) ? parts.Host : url;
}

}  // namespace

TStreamLoader::TStreamLoader(TFeedFactory makeFeed, TClock clock, TpkLoadPlanner::Limits limits)
    : makeFeed_(std::move(makeFeed)), clock_(std::move(clock)), planner_(limits) {}

TStreamLoader::~TStreamLoader() = default;

void TStreamLoader::SetFeeds(const std::vector<std::string>& urls) {
    std::vector<std::unique_ptr<TSlot>> kept;
    std::vector<std::string> keptUrls;
    for (const std::string& url : urls) {
        if (std::find(keptUrls.begin(), keptUrls.end(), url) != keptUrls.end()) continue;
        auto old = std::find_if(slots_.begin(), slots_.end(), [&](const auto& s) { return s && s->Url == url; });
        if (old != slots_.end()) {
            kept.push_back(std::move(*old));
        } else {
            auto slot = std::make_unique<TSlot>();
            slot->Url = url;
            slot->Host = HostOf(url);
            slot->Feed = makeFeed_(url);
            slot->Feed->HTTP().URL = url;
            Connect(*slot);
            kept.push_back(std::move(slot));
        }
        keptUrls.push_back(url);
    }
    slots_ = std::move(kept);  // the slots not kept end here, with their loads
    urls_ = std::move(keptUrls);
    LookAgain(0);
}

void TStreamLoader::Connect(TSlot& slot) {
    TpkRSSFeed& feed = *slot.Feed;
    TSlot* s = &slot;
    feed.OnRSSLoaded = [this, s](TpkComponent&) {
        Finished(*s, {frLoaded, s->Feed->HTTP().StatusCode(), s->Feed->HTTP().ResponseHeaders(),
                      s->Feed->FeedElements().TTL}, true);
    };
    feed.OnRSSNotModified = [this, s](TpkComponent&) {
        Finished(*s, {frNotModified, 304, s->Feed->HTTP().ResponseHeaders(), s->Feed->FeedElements().TTL}, false);
    };
    feed.OnRSSLoadError = [this, s](TpkComponent&) { Failed(*s); };
    feed.OnRSSParseError = [this, s](TpkComponent&) {
        Finished(*s, {frNotAFeed, s->Feed->HTTP().StatusCode(), {}, 0}, false);
    };
    feed.OnRSSNotRSSError = feed.OnRSSParseError;
    feed.OnHTTPError = [this, s](TpkComponent&, int, TpkStream*) { Failed(*s); };
}

void TStreamLoader::Failed(TSlot& slot) {
    const TpkHTTPFailure kind = slot.Feed->HTTP().FailureKind();
    Finished(slot, {kind == hfNone ? frOther : FeedResultOf(kind), slot.Feed->HTTP().StatusCode(),
                    slot.Feed->HTTP().ResponseHeaders(), 0},
             false);
}

void TStreamLoader::Finished(TSlot& slot, const TpkLoadOutcome& outcome, bool loaded) {
    // One failure may be reported by more than one event: the first one counts.
    if (!slot.Running) return;
    slot.Running = false;
    const TpkTimeMs now = clock_();
    RecordLoad(slot.State, outcome, now, periodMs_, random_);
    // Without a period nothing comes due again by itself, not even after a failure.
    if (periodMs_ <= 0) slot.State.NextDue = kNoTime;
    const std::string url = slot.Url;  // the handlers may change the feeds
    const bool good = outcome.Result == frLoaded || outcome.Result == frNotModified;
    if (loaded && OnLoaded) OnLoaded(url, *slot.Feed);
    else if (!good && OnFailed) OnFailed(url);
    LookAgain(0);
}

void TStreamLoader::ReloadAll() {
    const TpkTimeMs now = clock_();
    for (auto& slot : slots_) MakeDueAtOnce(slot->State, now);
    LookAgain(0);
}

void TStreamLoader::Pump() {
    std::vector<TpkPlannedLoad> loads;
    loads.reserve(slots_.size());
    for (const auto& slot : slots_) loads.push_back({slot->Host, slot->State.NextDue, slot->Running});
    const TpkTimeMs now = clock_();
    const TpkLoadPlan plan = planner_.Plan(loads, now);
    bool refused = false;
    for (std::size_t index : plan.StartNow) {
        TSlot& slot = *slots_[index];
        slot.Running = true;
        bool started = false;
        try {
            started = slot.Feed->LoadFromURL(false);
        } catch (...) {
            started = false;
        }
        // A load that could not start is a failure of this turn, so the feed waits its period
        // (or its back-off) instead of being offered again at once.
        if (!started && slot.Running) {
            Failed(slot);
            refused = true;
        }
    }
    // After a refusal the plan no longer knows when that feed is due: plan again.
    if (refused) LookAgain(0);
    else LookAgain(plan.LookAgainAt == kNoTime ? -1 : std::max<TpkTimeMs>(0, plan.LookAgainAt - now));
}

void TStreamLoader::LookAgain(TpkTimeMs delayMs) {
    if (OnLookAgain) OnLookAgain(delayMs);
}

int TStreamLoader::InFlight() const {
    return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [](const auto& s) { return s->Running; }));
}

const TpkFeedState* TStreamLoader::StateOf(const std::string& url) const {
    for (const auto& slot : slots_)
        if (slot->Url == url) return &slot->State;
    return nullptr;
}

}  // namespace tw
