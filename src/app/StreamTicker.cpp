#include "app/StreamTicker.h"

#include <algorithm>

#include "app/FeedRotation.h"
#include "app/StreamTexts.h"

namespace tw {

void TStreamTicker::SetOptions(const TStreamSettings& s, int maxShowingItems) {
    stream_.SetMaxShowingItems(maxShowingItems);
    stream_.SetWordRules(TWordRules(s.ExcludeWords, s.IncludeWords, s.HighlightWords, s.RulesMatchDescription));
    if (s.OnlyNewItems && !seen_) {
        const TStreamTime now = clock_();
        seen_.emplace(now);
        seen_->Load(seenFile_, now);  // a missing or broken file: nothing seen yet
        lastSave_ = now;
        for (int i = 0; i < stream_.FeedCount(); ++i) seen_->NotePresent(SeenKeysOf(stream_.Feed(i)), now);
    } else if (!s.OnlyNewItems) {
        seen_.reset();
    }
    stream_.SetSeenItems(Seen());
    announce_ = s.AnnounceHighlights;
    highlight_ = s.HighlightColor;
    Merge();
    ShowIfNoHeadline();
}

void TStreamTicker::SetColors(TColor font, TColor background) {
    font_ = font;
    background_ = background;
}

void TStreamTicker::SetFeeds(const std::vector<std::string>& urls) {
    feeds_ = urls;
    stream_.RetainFeeds(urls);
    std::erase_if(answered_, [&](const std::string& url) { return std::find(urls.begin(), urls.end(), url) == urls.end(); });
    Merge();
    ShowIfNoHeadline();
}

void TStreamTicker::FeedLoaded(const std::string& url, const TpkRSSFeed& feed) {
    if (std::find(feeds_.begin(), feeds_.end(), url) == feeds_.end()) return;
    answered_.insert(url);
    stream_.SetFeed(MakeFeedSnapshot(url, feed));
    // The snapshot goes last; the stream's order of feeds is the menu's.
    stream_.RetainFeeds(feeds_);
    if (seen_) seen_->NotePresent(SeenKeysOf(*stream_.FindFeed(url)), clock_());
    Merge();
    ShowIfNoHeadline();
}

void TStreamTicker::FeedFailed(const std::string& url) {
    if (std::find(feeds_.begin(), feeds_.end(), url) == feeds_.end()) return;
    // Its last good items stay; only a bar that has nothing else to show says so.
    answered_.insert(url);
    ShowIfNoHeadline();
}

void TStreamTicker::Merge() {
    stream_.Merge();
    AnnounceNewHighlights();
}

void TStreamTicker::AnnounceNewHighlights() {
    // Each highlighted item once per run; of several arriving together, the newest is told.
    const TStreamEntry* newest = nullptr;
    for (int i = 0; i < stream_.Count(); ++i) {
        const TStreamEntry& entry = stream_.At(i);
        if (!entry.Highlighted || !announced_.insert(entry.Id).second) continue;
        if (!newest) newest = &entry;
    }
    if (!announce_ || !newest) return;
    view_.AnnounceHeadline(stream_.FeedOf(*newest).Source(), std::string(stream_.ItemOf(*newest).Title));
}

void TStreamTicker::ShowIfNoHeadline() {
    // A headline on screen scrolls on to the end of its pass; the quiet line too, as the
    // reader may be reading it.
    if (line_ == TLine::Headline || line_ == TLine::Quiet) return;
    Show();
}

void TStreamTicker::Show() {
    if (stream_.Count() > 0 && stream_.CurrentIndex() < 0) stream_.Next();
    const int index = stream_.CurrentIndex();
    shownKeys_.clear();
    shownOpenAddress_.clear();
    if (index < 0) {
        const TStreamStats& stats = stream_.Stats();
        if (seen_ && stats.Seen > 0) {
            line_ = TLine::Quiet;
            view_.ShowStreamLine(QuietLineText(LocalDateTimeOf(seen_->QuietSince())), {}, {});
        } else if (answered_.size() >= feeds_.size()) {  // also when no feed is enabled
            line_ = TLine::Empty;
            const bool filtered = stats.Excluded > 0;
            view_.ShowStreamLine(std::string(filtered ? kNoMatchingText : kNoItemsText), {},
                                 filtered ? std::string() : std::string(kNoItemsHint));
        } else if (line_ != TLine::Waiting) {  // loads are under way again (other feeds)
            line_ = TLine::Waiting;
            view_.ShowStreamLine(std::string(kTickerLoadingText), {}, {});
        }
        return;
    }
    const TStreamHeadline headline = MakeStreamHeadline(stream_, index, clock_());
    const TColor dim = ColorBlend(background_, font_, 4, 6);
    std::vector<TTextColorRun> runs{{headline.SourceAt, dim}, {headline.SourceAt + headline.SourceSize, font_}};
    if (headline.Highlighted) runs.back() = {headline.TitleAt, highlight_};
    line_ = TLine::Headline;
    shownKeys_ = stream_.SeenKeysOf(index);
    shownOpenAddress_ = headline.OpenAddress;
    view_.ShowStreamLine(headline.Text, std::move(runs), headline.Hint);
}

void TStreamTicker::MarkShownSeen() {
    if (!seen_) return;
    const TStreamTime now = clock_();
    for (std::uint64_t key : shownKeys_) seen_->MarkSeen(key, now);
}

void TStreamTicker::PassEnded() {
    if (line_ == TLine::Headline) MarkShownSeen();
    Merge();
    // A headline that is still there makes way for the next; one that left (seen, dropped by
    // its feed) has already made way.
    if (line_ == TLine::Headline && stream_.CurrentIndex() >= 0) stream_.Next();
    Show();
    if (seen_ && seen_->Modified() && clock_() - lastSave_ >= kSeenSaveGap) SaveSeen();
}

void TStreamTicker::Next() {
    if (stream_.Next()) Show();
}

void TStreamTicker::Prev() {
    if (stream_.Prev()) Show();
}

void TStreamTicker::Click() {
    if (line_ != TLine::Headline) return;
    MarkShownSeen();
    if (!shownOpenAddress_.empty()) view_.OpenLink(shownOpenAddress_);
}

bool TStreamTicker::ShowFeed(const std::string& url) {
    const int index = stream_.FirstIndexOfFeed(url);
    if (index < 0) return false;
    stream_.SetCurrent(index);
    Show();
    return true;
}

void TStreamTicker::SaveSeen() {
    if (!seen_ || !seen_->Modified() || seenFile_.empty()) return;
    const TStreamTime now = clock_();
    seen_->Save(seenFile_, now);
    lastSave_ = now;
}

}  // namespace tw
