// TfrMain with All_Feeds_Together: the merged stream takes the ticker over from the rotation,
// which keeps its state for when the option goes off again.
#include "app/fMain.h"

#include <algorithm>
#include <filesystem>

namespace tw {

void TfrMain::TickerView::ShowStreamLine(const std::string& text, std::vector<TTextColorRun> runs,
                                         const std::string& hint) {
    form_.ticker_->SetColorRuns(std::move(runs));
    form_.ticker_->SetText(text);
    form_.ticker_->SetHint(hint);
    form_.view_.TickerTextChanged(text);
    if (!form_.passEnding_) form_.view_.TickerReadingChanged();
}

std::vector<std::string> TfrMain::EnabledFeedUrls() const {
    std::vector<std::string> urls;
    for (const TFeedMenuEntry& entry : rotation->FeedMenu())
        if (!entry.IsSeparator()) urls.push_back(entry.Caption);
    return urls;
}

void TfrMain::ApplyStreamSettings(const TStreamSettings& settings) {
    const bool wasOn = streamSettings_.AllFeedsTogether;
    streamSettings_ = settings;
    if (!settings.AllFeedsTogether) {
        if (!wasOn) return;
        StopStream();
        rotation->ReloadFeed();
        return;
    }
    if (!streamTicker_) {
        StartStream();
        return;
    }
    streamTicker_->SetColors(tickerFont_.Color, kTickerBackground);
    streamTicker_->SetFeeds(EnabledFeedUrls());
    streamTicker_->SetOptions(settings, rotation->Settings().FMaxShowingItems);
    streamLoader_->SetReloadPeriod(FReloadInterval);
    streamLoader_->SetFeeds(EnabledFeedUrls());
}

void TfrMain::StartStream() {
    streamTicker_ = std::make_unique<TStreamTicker>(*tickerView_);
    const std::filesystem::path config(std::u8string(FConfigFile.begin(), FConfigFile.end()));
    const std::u8string seen = config.parent_path().append(kStreamSeenFileName).u8string();
    streamTicker_->SetSeenFile(std::string(seen.begin(), seen.end()));
    streamTicker_->SetColors(tickerFont_.Color, kTickerBackground);
    streamTicker_->SetFeeds(EnabledFeedUrls());
    streamTicker_->SetOptions(streamSettings_, rotation->Settings().FMaxShowingItems);

    streamLoader_ = std::make_unique<TStreamLoader>([this](const std::string&) {
        auto feed = MakeConfiguredFeed();
        feed->HTTPProxy().AccessType = RSSHandler->HTTPProxy().AccessType;
        return feed;
    });
    streamLoader_->OnLoaded = [this](const std::string& url, const TpkRSSFeed& feed) { streamTicker_->FeedLoaded(url, feed); };
    streamLoader_->OnFailed = [this](const std::string& url) { streamTicker_->FeedFailed(url); };
    streamLoader_->OnLookAgain = [this](TpkTimeMs delay) {
        view_.SetStreamTimer(delay < 0 ? -1 : static_cast<int>(std::min<TpkTimeMs>(delay, 24 * kMsPerHour)));
    };
    streamLoader_->SetReloadPeriod(FReloadInterval);
    streamLoader_->SetFeeds(EnabledFeedUrls());
}

void TfrMain::StopStream() {
    view_.SetStreamTimer(-1);
    streamLoader_.reset();
    if (streamTicker_) streamTicker_->SaveSeen();
    streamTicker_.reset();
}

void TfrMain::OnStreamTimer() {
    view_.SetStreamTimer(-1);  // one tick each time it is set
    if (streamLoader_) streamLoader_->Pump();
}

}  // namespace tw
