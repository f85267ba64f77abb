#pragma once
// What the ticker shows with All_Feeds_Together: the merged stream of every feed, one headline a
// pass with its source and age before the title (the source dimmer, a highlighted title in the
// highlight colour), the seen set of Only_New_Items and its quiet line, the word rules, and the
// balloon of Announce_Highlights. Loads come from outside (TStreamLoader); this unit decides
// what is shown and when, so that new items join without the text on screen jumping: the line
// changes only at the end of its pass, on a step or a choice of the user, or when it showed no
// headline. docs/stream.md holds the rules. Main thread only.
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "config/AppSettings.h"
#include "controls/Graphics.h"
#include "controls/ScrollingText.h"
#include "rss/FeedStream.h"
#include "rss/SeenItems.h"

namespace tw {

class TpkRSSFeed;

inline constexpr std::string_view kNoMatchingText = "No headlines match the word lists";
inline constexpr std::string_view kStreamSeenFileName = "seen-items.dat";

// The window's controls as the stream uses them.
class IStreamView {
public:
    virtual ~IStreamView() = default;
    // The scrolling line, its parts in their own colours, and its hint.
    virtual void ShowStreamLine(const std::string& text, std::vector<TTextColorRun> runs, const std::string& hint) = 0;
    virtual void OpenLink(const std::string& url) = 0;
    // A balloon that points out a headline.
    virtual void AnnounceHeadline(const std::string& title, const std::string& text) = 0;
};

class TStreamTicker {
public:
    using TClock = std::function<TStreamTime()>;
    // The seen set is written at most this often while running (each save writes it whole).
    static constexpr TStreamTime kSeenSaveGap = 60;

    explicit TStreamTicker(IStreamView& view, TClock clock = StreamTimeNow) : view_(view), clock_(std::move(clock)) {}

    // The file of the seen set (beside app.config); set before the options.
    void SetSeenFile(std::string path) { seenFile_ = std::move(path); }
    // Takes the options: the word rules, the bound per feed, the seen set (read from its file
    // when switched on, forgotten when off), the highlight colour.
    void SetOptions(const TStreamSettings& settings, int maxShowingItems);
    // The colours the line is drawn on and in; the source takes a shade between them.
    void SetColors(TColor font, TColor background);
    // The feeds of the stream, in the Quick Start Menu's order (given before the options, so
    // that the first line is chosen knowing them).
    void SetFeeds(const std::vector<std::string>& urls);

    // From the loader.
    void FeedLoaded(const std::string& url, const TpkRSSFeed& feed);
    void FeedFailed(const std::string& url);

    // From the ticker and the user.
    void PassEnded();
    void Next();
    void Prev();
    void Click();
    // The feed's newest shown headline, as its Quick Start Menu entry asks; false when none is shown.
    bool ShowFeed(const std::string& url);

    // Writes the seen set when it changed (at exit; while running at most every kSeenSaveGap).
    void SaveSeen();

    const TFeedStream& Stream() const { return stream_; }
    const TSeenItems* Seen() const { return seen_ ? &*seen_ : nullptr; }

private:
    enum class TLine { Waiting, Headline, Quiet, Empty };
    void Merge();
    void Show();
    void ShowIfNoHeadline();
    void MarkShownSeen();
    void AnnounceNewHighlights();

    IStreamView& view_;
    TClock clock_;
    TFeedStream stream_;
    std::optional<TSeenItems> seen_;
    std::string seenFile_;
    TStreamTime lastSave_ = 0;
    std::vector<std::string> feeds_;
    std::set<std::string> answered_;  // feeds whose first load has ended, well or not
    bool announce_ = false;
    std::set<std::uint64_t> announced_;
    TColor font_ = 0, background_ = 0, highlight_ = DefaultHighlightColor;
    TLine line_ = TLine::Waiting;
    std::vector<std::uint64_t> shownKeys_;  // of the headline on screen
    std::string shownOpenAddress_;
};

}  // namespace tw
