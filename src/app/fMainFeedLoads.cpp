// TfrMain's polite reloads: the schedule the rotation asks, the kept copies beside app.config,
// and what an answer asks of the settings (a feed gone for good is switched off, one moved for
// good takes its new address). docs/http.md has the rules and their bounds.
#include "app/fMain.h"

#include "app/StartAndTrayMenus.h"
#include "base/AsciiText.h"
#include "net/FeedAddress.h"
#include "net/UrlUtils.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tw {

namespace {

constexpr int kHTTPGone = 410;

// A permanent move is taken when it cannot hand the feed to someone else: to an https address,
// or to another path of the same host.
bool TakesPermanentMove(const std::string& from, const std::string& to) {
    TpkURLParts a, b;
    if (!SplitURL(from, a) || !SplitURL(to, b)) return false;
    return EqualsIgnoringAsciiCase(b.Scheme, "https") || EqualsIgnoringAsciiCase(a.Host, b.Host);
}

// Calls `change` with the position of every line of `list` that names `url`.
template <class Change>
void ForEachLineOf(TFeedsList& list, const std::string& url, Change change) {
    for (std::size_t i = 0; i < list.Count(); ++i)
        if (SameFeedAddress(list.Strings(i), url)) change(i);
}

}  // namespace

std::string FeedHTTPAgent() {
    constexpr std::string_view prefix = "Tidewire v";
    std::string_view version = kApplicationTitle;
    if (version.starts_with(prefix)) version.remove_prefix(prefix.size());
    return "Tidewire/" + std::string(version) + " (+" + std::string(kAboutUrl) + ")";
}

std::optional<int> ReloadSecondsHook(const char* text) {
    if (text == nullptr || *text == '\0') return std::nullopt;
    int seconds = 0;
    const char* end = text + std::strlen(text);
    const auto [last, error] = std::from_chars(text, end, seconds);
    if (error != std::errc() || last != end || seconds < 1 || seconds > 86400) return std::nullopt;
    return seconds;
}

void TfrMain::WatchFeedLoads() {
    TpkRSSFeed& feed = *RSSHandler;
    // Each result is recorded before the rotation hears of it, so the failure line it then shows
    // already says what failed.
    const auto watch = [this](TpkNotifyEvent& event, TpkFeedResult result) {
        event = [this, result, routed = std::move(event)](TpkComponent& sender) {
            FeedLoadEnded(result);
            if (routed) routed(sender);
        };
    };
    watch(feed.OnRSSLoaded, frLoaded);
    watch(feed.OnRSSNotModified, frNotModified);
    watch(feed.OnRSSLoadError, frOther);  // the transfer says which
    feed.OnHTTPError = [this, routed = std::move(feed.OnHTTPError)](TpkComponent& sender, int code, TpkStream* stream) {
        FeedLoadEnded(frHTTPStatus);
        if (routed) routed(sender, code, stream);
    };
}

void TfrMain::OpenFeedCache(const std::string& exeDirectory) {
    feedCache_ = std::make_unique<TFeedCache>(exeDirectory + std::string(kFeedCacheFolder));
    RSSHandler->SetFeedCache(feedCache_.get());
    ForgetUnlistedFeeds();
    // A copy still fresh from the last run is not asked for again before it goes stale.
    for (const std::string& url : ListedFeeds())
        if (const auto copy = feedCache_->Find(url)) schedule_.ResumeFrom(url, copy->FreshUntil);
}

void TfrMain::ShowKeptCopyAtStart() {
    // Shown at once, offline too; the load that follows sends its validators.
    if (RSSHandler->LoadKeptCopy()) shownUrl_ = RSSHandler->HTTP().URL;
}

std::vector<std::string> TfrMain::ListedFeeds() const {
    std::vector<std::string> urls{RSSHandler->HTTP().URL};
    for (const TFeedsList* list : {&CustomFeedsList, &DefaultFeedsList})
        for (std::size_t i = 0; i < list->Count(); ++i) urls.push_back(list->Strings(i));
    return urls;
}

void TfrMain::ForgetUnlistedFeeds() {
    const std::vector<std::string> listed = ListedFeeds();
    schedule_.KeepOnly(listed);
    if (feedCache_) feedCache_->Prune(listed);
}

bool TfrMain::ReloadGate::MayRequest(const std::string& url) {
    // The rotation's call then waits for the load under way, whose result ends it.
    if (form_.RSSHandler->HTTP().Busy()) return true;
    if (!form_.schedule_.IsDue(url)) return false;
    form_.requesting_ = url;
    return true;
}

bool TfrMain::ReloadGate::NetworkCameBack() {
    form_.schedule_.MakeAllDueAtOnce();
    // A feed file the user opened stays; the current feed's own items are asked about again.
    return form_.shownUrl_ == form_.RSSHandler->HTTP().URL;
}

IReloadGate::THeld TfrMain::ReloadGate::ShowWithoutRequest(const std::string& url) {
    form_.requesting_.clear();  // no load runs here (MayRequest lets a busy one through): none may be recorded
    if (form_.shownUrl_ == url && form_.RSSHandler->FeedItems().Count() > 0) return THeld::Unchanged;
    if (form_.RSSHandler->LoadKeptCopy()) {
        form_.shownUrl_ = url;
        return THeld::Shown;
    }
    form_.ShowFailureOf(url);
    return THeld::Nothing;
}

TpkLoadOutcome TfrMain::OutcomeOf(TpkFeedResult result) const {
    const TpkHTTPPragmaNoCache& http = RSSHandler->HTTP();
    const TpkHTTPFailure failure = http.FailureKind();
    // A 304 whose kept answer was loaded again reports itself as a load.
    if (result == frLoaded && http.StatusCode() == 304) result = frNotModified;
    // A transfer that went well but brought no feed.
    if (result == frOther) result = failure == hfNone ? frNotAFeed : FeedResultOf(failure);
    if (result == frHTTPStatus) result = FeedResultOf(failure);
    const bool good = result == frLoaded || result == frNotModified;
    return {result, http.StatusCode(), http.ResponseHeaders(), good ? RSSHandler->FeedElements().TTL : 0};
}

void TfrMain::FeedLoadEnded(TpkFeedResult result) {
    // Kept copies, file loads and the second event of one failure are no network result.
    if (requesting_.empty()) return;
    const std::string url = std::exchange(requesting_, {});
    const TpkLoadOutcome outcome = OutcomeOf(result);
    const bool good = outcome.Result == frLoaded || outcome.Result == frNotModified;
    std::string recorded = url;
    const std::string& moved = RSSHandler->HTTP().PermanentURL();
    if (good && !moved.empty() && TakesPermanentMove(url, moved)) {
        FeedMoved(url, moved);
        recorded = moved;
    }
    shownUrl_ = good ? recorded : std::string();
    schedule_.Record(recorded, outcome);
    if (outcome.Result == frHTTPStatus && outcome.HTTPStatus == kHTTPGone) FeedGone(url);
    if (!good) ShowFailureOf(url);
}

void TfrMain::ShowFailureOf(const std::string& url) {
    const TpkFeedState& state = schedule_.StateOf(url);
    const std::string status = schedule_.StatusText(url);
    std::string_view text;
    if (state.LastResult == frHTTPStatus && state.HTTPStatus == kHTTPGone) text = kFeedGoneText;
    else if (state.LastResult == frInsecureRedirect) text = kInsecureRedirectRefusal;
    else if (state.LastResult == frCertificate) text = kCertificateFailureText;
    rotation->SetFailureLine(std::string(text), text.empty() ? status : std::string(text) + "\r\n" + status);
}

void TfrMain::FeedGone(const std::string& url) {
    // Switched off as if unchecked in the dialog, and never asked again unless the user asks.
    for (TFeedsList* list : {&CustomFeedsList, &DefaultFeedsList})
        ForEachLineOf(*list, url, [list](std::size_t i) { list->Objects(i).LinkEnabled = false; });
    schedule_.ResumeFrom(url, kNoTime);
    BuildFeedMenus();
    SaveSettings();
}

void TfrMain::FeedMoved(const std::string& from, const std::string& to) {
    for (TFeedsList* list : {&CustomFeedsList, &DefaultFeedsList})
        ForEachLineOf(*list, from, [list, &to](std::size_t i) { list->ReplaceAddress(i, to); });
    if (SameFeedAddress(RSSHandler->HTTP().URL, from)) RSSHandler->HTTP().URL = to;
    BuildFeedMenus();
    SaveSettings();
    ForgetUnlistedFeeds();
}

std::string TfrMain::FeedStatus(const std::string& url) const { return schedule_.StatusText(url); }

}  // namespace tw
