#pragma once
// Keeps every feed of the merged stream loaded: one feed component per address, each with its
// state (freshness, back-off), the loads spread by TpkLoadPlanner (one at a time per host, a
// bound in flight, a gap between starts) and repeated when the reload rules say they are due.
// The caller runs one timer for it (OnLookAgain) and hands each tick to Pump; a finished load is
// handed out through OnLoaded or OnFailed, never shown by the loader itself. Main thread only.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/LoadPlanner.h"
#include "net/ReloadRules.h"
#include "rss/pkRSSFeed.h"

namespace tw {

class TStreamLoader {
public:
    // Makes the feed component of an address, set up as the program wants its loads made.
    using TFeedFactory = std::function<std::unique_ptr<TpkRSSFeed>(const std::string& url)>;
    using TClock = std::function<TpkTimeMs()>;

    explicit TStreamLoader(TFeedFactory makeFeed, TClock clock = WallClockNowMs,
                           TpkLoadPlanner::Limits limits = {});
    ~TStreamLoader();
    TStreamLoader(const TStreamLoader&) = delete;
    TStreamLoader& operator=(const TStreamLoader&) = delete;

    // The feeds to keep loaded, in order. A feed kept keeps its component and state; a new one is
    // due at once; one left out is dropped (a load under way is ended).
    void SetFeeds(const std::vector<std::string>& urls);
    const std::vector<std::string>& Feeds() const { return urls_; }
    // The user's reload period; 0: each feed loads once, then only when ReloadAll asks.
    void SetReloadPeriod(TpkTimeMs milliseconds) { periodMs_ = milliseconds; }
    // Every feed due at once (the reload timer, a connection back).
    void ReloadAll();
    // Starts what is due now and says when to look again (OnLookAgain).
    void Pump();

    // The feed's record, null for an address not kept.
    const TpkFeedState* StateOf(const std::string& url) const;
    // Loads under way.
    int InFlight() const;

    // A feed loaded: its component holds the new items.
    std::function<void(const std::string& url, const TpkRSSFeed& feed)> OnLoaded;
    // A load failed; the feed's last good items are the caller's to keep.
    std::function<void(const std::string& url)> OnFailed;
    // Pump is due in this many ms (0: as soon as the caller can); -1: no time is due, only a
    // load's end or ReloadAll changes that.
    std::function<void(TpkTimeMs delayMs)> OnLookAgain;

private:
    struct TSlot;
    void Connect(TSlot& slot);
    void Finished(TSlot& slot, const TpkLoadOutcome& outcome, bool loaded);
    void Failed(TSlot& slot);
    void LookAgain(TpkTimeMs delayMs);

    TFeedFactory makeFeed_;
    TClock clock_;
    TpkLoadPlanner planner_;
    TpkRandom random_ = DefaultRandom();
    TpkTimeMs periodMs_ = 0;
    std::vector<std::string> urls_;
    std::vector<std::unique_ptr<TSlot>> slots_;  // one per address, in the order of urls_
};

}  // namespace tw
