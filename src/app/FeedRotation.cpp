#include "app/FeedRotation.h"

#include "app/uUtil.h"
#include "base/AsciiText.h"
#include "rss/FeedFormats.h"

namespace tw {

void TFeedRotation::SetTitle(std::string caption, std::string hint) {
    titleCaption_ = std::move(caption);
    titleHint_ = std::move(hint);
    view_.SetTitle(titleCaption_, titleHint_);
}

void TFeedRotation::SetFailureLine(std::string text, std::string hint) {
    failureText_ = std::move(text);
    failureHint_ = std::move(hint);
}

void TFeedRotation::SetFeedMenu(std::vector<TFeedMenuEntry> entries) {
    const std::string url = feed_.Url();
    if (HasFeedCaption(feedMenu_, url) && !HasFeedCaption(entries, url))
        successor_ = NextFeedCaption(feedMenu_, url).value_or(std::string());
    feedMenu_ = std::move(entries);
}

void TFeedRotation::ReloadFeed() {
    view_.StartLoadingAnimation();
    // Loading from here on, before the call: a load that ends inside the call (a failure the
    // HTTP component reports at once, a transfer that runs inline) has then already cleared
    // it, instead of being marked as still running when nothing will ever end it.
    FLoading = true;
    SetFailureLine({}, {});
    if (gate_ && !feed_.Url().empty() && !gate_->MayRequest(feed_.Url())) return ShowHeldFeed();
    bool started = false;
    try {
        started = feed_.LoadFromURL();
    } catch (...) {
        // Like any failure event: with the items cleared as well, the title "N/A" does not sit
        // beside an old feed's items, and a returning connection can reload the feed.
        FeedFailed();
        return;
    }
    if (!started && feed_.Url().empty()) {
        // With no address no result event will ever come: left as "loading", the animation
        // would spin and the arrows stay dead until the user picks a feed. Whatever is shown
        // (a file's feed, say) stays as it is.
        FLoading = false;
        view_.StopLoadingAnimation();
        return;
    }
    // Not started with an address: a transfer is already under way and its result ends this.
}

void TFeedRotation::ShowHeldFeed() {
    switch (gate_->ShowWithoutRequest(feed_.Url())) {
        case IReloadGate::THeld::Unchanged: FeedLoadFinished(); break;
        case IReloadGate::THeld::Shown: break;  // its load events have run
        case IReloadGate::THeld::Nothing: FeedFailed(); break;
    }
}

void TFeedRotation::RSSHandlerRSSLoaded() {
    SetTitle(CleanChannelTitle(feed_.ChannelTitle()), std::string(kTitleHintPrefix) + feed_.ChannelLink());
    if (feed_.ItemCount() > 0) {
        FCurrentItem = feed_.ItemIdAt(0);
    } else {
        FCurrentItem.reset();
    }
    FeedLoadFinished();
}

void TFeedRotation::FeedFailed() {
    SetTitle(std::string(kTitleFailed), "");
    if (feed_.ItemCount() > 0) feed_.ClearItems();
    FCurrentItem.reset();
    FeedLoadFinished();
}

void TFeedRotation::FeedLoadFinished() {
    FLoading = false;
    view_.StopLoadingAnimation();
    view_.LayoutTicker();
    UpdateTickerText();
    if (FFirstRun) {
        view_.ShowWelcomeBalloon(std::string(kWelcomeTitle), std::string(kWelcomeText));
        FFirstRun = false;
    }
}

int TFeedRotation::ShowingItemsCount() const {
    int count = feed_.ItemCount();
    const int most = settings_.FMaxShowingItems;
    if (most > 0 && count >= most) return most;
    return count;
}

int TFeedRotation::CurrentItemIndex() const {
    if (!FCurrentItem) return -1;
    return feed_.IndexOfItemId(*FCurrentItem);
}

void TFeedRotation::UpdateTickerText() {
    if (FLoading) return;
    if (feed_.ItemCount() == 0) {
        view_.SetTickerText(failureText_.empty() ? std::string(kNoItemsText) : failureText_);
        view_.SetTickerHint(failureHint_.empty() ? std::string(kNoItemsHint) : failureHint_);
        return;
    }
    int index = CurrentItemIndex();
    int showing = ShowingItemsCount();
    if (index < 0 || index >= showing) {
        // The current item is gone, or lies past a lowered maximum: start again at the first
        // rather than show "0/n" or "5/3".
        index = 0;
        FCurrentItem = feed_.ItemIdAt(0);
    }
    std::string text = std::to_string(index + 1) + "/" + std::to_string(showing) + "    " +
                       CleanItemText(feed_.ItemTitle(index));
    std::string hint = CleanItemText(feed_.ItemDescription(index)) + "\r\n\r\n" + std::string(kItemHintTail);
    // The reader sees where a click goes before making it.
    if (std::string address = feed_.ItemOpenAddress(index); IsWebAddress(address)) hint += "\r\n" + std::string(TrimControlsAndBlanks(address));
    view_.SetTickerText(text);
    view_.SetTickerHint(hint);
}

void TFeedRotation::NextItem() {
    if (!FCurrentItem || feed_.ItemCount() == 0) {
        if (MovesOnAfterFailure() && SelectNextFeedUrl()) ReloadFeed();
        return;
    }
    int i = CurrentItemIndex() + 1;
    if (i > ShowingItemsCount() - 1) {
        // While a load runs the address is that load's: moved on now, it would name the next
        // feed while the running load's items show, and that feed would be skipped. The pass
        // wraps instead; the load's result starts at the first item anyway.
        if (!FLoading && settings_.FAutoUrlJump && SelectNextFeedUrl()) {
            // The old text keeps scrolling until the new feed has loaded. Past the last item
            // comes the first: a reload that keeps the items (the same feed, unchanged) must
            // not leave the ticker on the last one, jumping again after every pass.
            FCurrentItem = feed_.ItemIdAt(0);
            ReloadFeed();
            return;
        }
        i = 0;
    }
    FCurrentItem = feed_.ItemIdAt(i);
}

void TFeedRotation::PrevItem() {
    if (!FCurrentItem || feed_.ItemCount() == 0) return;
    int i = CurrentItemIndex() - 1;
    if (i < 0) i = ShowingItemsCount() - 1;
    FCurrentItem = feed_.ItemIdAt(i);
}

bool TFeedRotation::SelectNextFeedUrl() {
    std::optional<std::string> next = NextFeedCaption(feedMenu_, feed_.Url());
    if (!next && HasFeedCaption(feedMenu_, successor_)) next = successor_;
    successor_.clear();
    if (!next) return false;
    feed_.SetUrl(*next);
    return true;
}

void TFeedRotation::FeedMenuItemClick(const std::string& caption) {
    feed_.SetUrl(caption);
    if (gate_) gate_->AskAtOnce(caption);
    view_.RestartReloadTimer();
    ReloadFeed();
}

void TFeedRotation::lblTickerTextScrolled() {
    NextItem();
    UpdateTickerText();
}

void TFeedRotation::imgNextRssItemClick() {
    NextItem();
    UpdateTickerText();
}

void TFeedRotation::imgPrevRssItemClick() {
    PrevItem();
    UpdateTickerText();
}

void TFeedRotation::lblTickerClick() {
    int index = CurrentItemIndex();
    if (index < 0) return;
    std::string link = feed_.ItemOpenAddress(index);
    if (IsWebAddress(link)) view_.OpenLink(std::string(TrimControlsAndBlanks(link)));
}

void TFeedRotation::lblTitleClick() {
    if (titleHint_.size() <= kTitleHintPrefix.size() || titleHint_.compare(0, kTitleHintPrefix.size(), kTitleHintPrefix) != 0)
        return;
    std::string link = titleHint_.substr(kTitleHintPrefix.size());
    if (IsWebAddress(link)) view_.OpenLink(std::string(TrimControlsAndBlanks(link)));
}

void TFeedRotation::tmrReloadTimer() { ReloadFeed(); }

void TFeedRotation::netDetectConnectionStatusChanged(bool isConnected) {
    if (FLoading || !isConnected) return;
    const bool revalidate = gate_ && gate_->NetworkCameBack();
    if (feed_.ItemCount() > 0 && !revalidate) return;
    view_.RestartReloadTimer();
    ReloadFeed();
}

}  // namespace tw
