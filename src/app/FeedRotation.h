#pragma once
// What the ticker shows and how it moves on: starting feed loads and showing that one is under
// way, turning the loaded feed into the scrolling line and its hint, stepping from item to item,
// wrapping or jumping to the next feed of the Quick Start Menu, the failure state, reloads on
// the timer and on a returning connection, and opening item and channel links.
//
// This is the main window's logic without its window: TfrMain owns one TFeedRotation, hands it
// a view of its controls (ITickerView) and its feed component (ITickerFeed, see
// RSSFeedTicker.h for the adapter over TpkRSSFeed), and routes its events to the handlers
// below. Everything runs on the main thread.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/FeedMenuEntries.h"

namespace tw {

// Texts of the ticker.
inline constexpr std::string_view kTickerLoadingText = "Loading RSS...";
inline constexpr std::string_view kTitleFailed = "N/A";
inline constexpr std::string_view kTitleHintPrefix = "Go to: ";
inline constexpr std::string_view kNoItemsText = "Cannot retrieve feeds from the current address for this time!";
inline constexpr std::string_view kNoItemsHint = "Invalid url or server does not responding!";
inline constexpr std::string_view kItemHintTail = "Click to read this article from the source";
inline constexpr std::string_view kWelcomeTitle = "Quick Start Menu!";
inline constexpr std::string_view kWelcomeText =
    "Click here to start browsing through the rss feeds. You can configure this list from tray's menu.";

// The window's controls as the rotation uses them. Texts are UTF-8.
class ITickerView {
public:
    virtual ~ITickerView() = default;
    // lblTitle: caption and hint.
    virtual void SetTitle(const std::string& caption, const std::string& hint) = 0;
    // lblTicker: the scrolling line and its hint.
    virtual void SetTickerText(const std::string& text) = 0;
    virtual void SetTickerHint(const std::string& hint) = 0;
    // aniIcon: show and play while a feed loads; stop and hide after.
    virtual void StartLoadingAnimation() = 0;
    virtual void StopLoadingAnimation() = 0;
    // TfrMain.LayoutTicker: the title's width may have changed.
    virtual void LayoutTicker() = 0;
    // tmrReload: disable and enable again, so the full period runs from now.
    virtual void RestartReloadTimer() = 0;
    // Opens a web address in the user's browser (ShellExecute "open").
    virtual void OpenLink(const std::string& url) = 0;
    // hintStart: the welcome balloon at the start image (information kind, point (10, 10),
    // best width 300).
    virtual void ShowWelcomeBalloon(const std::string& title, const std::string& text) = 0;
};

// The feed component as the rotation uses it. Item positions are in feed order; ids are the
// collection's stable per-item ids.
class ITickerFeed {
public:
    virtual ~ITickerFeed() = default;
    virtual std::string Url() const = 0;                 // HTTP.URL
    virtual void SetUrl(const std::string& url) = 0;
    // Starts an asynchronous load of Url(); false when it did not start (a transfer is already
    // under way, or Url() is empty). May throw when the start itself fails.
    virtual bool LoadFromURL() = 0;
    virtual std::string ChannelTitle() const = 0;
    virtual std::string ChannelLink() const = 0;
    virtual int ItemCount() const = 0;
    virtual std::uint64_t ItemIdAt(int index) const = 0;
    virtual int IndexOfItemId(std::uint64_t id) const = 0;  // -1 when not in the collection
    virtual std::string ItemTitle(int index) const = 0;
    virtual std::string ItemLink(int index) const = 0;
    virtual std::string ItemDescription(int index) const = 0;
    // The address a click on the item opens ("" when none); its link unless the feed knows better.
    virtual std::string ItemOpenAddress(int index) const { return ItemLink(index); }
    virtual void ClearItems() = 0;
};

// The program's reload schedule as the rotation asks it (without one, every reload asks the
// network).
class IReloadGate {
public:
    virtual ~IReloadGate() = default;
    enum class THeld {
        Unchanged,  // the feed already shows that address's items
        Shown,      // its kept copy was loaded, with the feed's load events
        Nothing,    // nothing is kept: the failure state (SetFailureLine says why)
    };
    // Whether `url` may be asked for now.
    virtual bool MayRequest(const std::string& url) = 0;
    // `url` is not asked for now: shows what is kept of it.
    virtual THeld ShowWithoutRequest(const std::string& url) = 0;
    // The user chose `url`: its next load asks at once.
    virtual void AskAtOnce(const std::string& url) = 0;
    // The network came back: every feed's next load asks at once. True when the items shown
    // are the current feed's own, so that it reloads now too.
    virtual bool NetworkCameBack() = 0;
};

// The settings the rotation reads, as the main window holds them.
struct TRotationSettings {
    int FMaxShowingItems = 0;  // 0: every item
    bool FAutoUrlJump = false;
    bool operator==(const TRotationSettings&) const = default;
};

class TFeedRotation {
public:
    TFeedRotation(ITickerView& view, ITickerFeed& feed) : view_(view), feed_(feed) {}

    const TRotationSettings& Settings() const { return settings_; }
    void SetSettings(const TRotationSettings& settings) { settings_ = settings; }
    // The Quick Start Menu's entries as BuildFeedMenu last made them.
    const std::vector<TFeedMenuEntry>& FeedMenu() const { return feedMenu_; }
    // A current feed the new entries no longer hold (unchecked, removed) is left for the one
    // that followed it.
    void SetFeedMenu(std::vector<TFeedMenuEntry> entries);
    // True: the next finished load shows the welcome balloon (once).
    bool FirstRun() const { return FFirstRun; }
    void SetFirstRun(bool firstRun) { FFirstRun = firstRun; }
    bool Loading() const { return FLoading; }
    // The program's schedule (null: none); it outlives the rotation. With one, a returning
    // connection reloads the current feed while it shows its own items too.
    void SetReloadGate(IReloadGate* gate) { gate_ = gate; }
    // With auto jump, a failed feed's line scrolls once and the rotation moves on to the next
    // feed (off: it stays until a reload).
    void SetMoveOnAfterFailure(bool value) { moveOnAfterFailure_ = value; }
    // What the failure state shows until the next load starts ("" for the usual line and hint).
    void SetFailureLine(std::string text, std::string hint);
    // The id of the item shown; none before the first load and after a failure.
    std::optional<std::uint64_t> CurrentItem() const { return FCurrentItem; }

    // Operations.
    void ReloadFeed();
    void FeedLoadFinished();
    void UpdateTickerText();
    int CurrentItemIndex() const;
    int ShowingItemsCount() const;
    void NextItem();
    void PrevItem();
    bool SelectNextFeedUrl();
    void FeedMenuItemClick(const std::string& caption);

    // Handlers of the feed component's events.
    void RSSHandlerRSSLoaded();
    // The feed is unchanged since its last load: items, current item and title stay.
    void RSSHandlerRSSNotModified() { FeedLoadFinished(); }
    void RSSHandlerRSSLoadError() { FeedFailed(); }
    void RSSHandlerRSSParseError() { FeedFailed(); }
    void RSSHandlerRSSNotRSSError() { FeedFailed(); }
    void RSSHandlerHTTPError() { FeedFailed(); }

    // Handlers of the window's controls and components.
    void lblTickerTextScrolled();
    void imgNextRssItemClick();
    void imgPrevRssItemClick();
    void lblTickerClick();
    void lblTitleClick();
    void tmrReloadTimer();
    void netDetectConnectionStatusChanged(bool isConnected);

    // What the title label shows and holds now (its hint carries the channel link).
    const std::string& TitleCaption() const { return titleCaption_; }
    const std::string& TitleHint() const { return titleHint_; }

private:
    void FeedFailed();
    void SetTitle(std::string caption, std::string hint);
    void ShowHeldFeed();
    bool MovesOnAfterFailure() const { return moveOnAfterFailure_ && settings_.FAutoUrlJump && !FLoading; }

    ITickerView& view_;
    ITickerFeed& feed_;
    TRotationSettings settings_;
    std::vector<TFeedMenuEntry> feedMenu_;
    bool FFirstRun = false;
    bool FLoading = false;
    std::optional<std::uint64_t> FCurrentItem;
    std::string titleCaption_;
    std::string titleHint_;
    IReloadGate* gate_ = nullptr;
    bool moveOnAfterFailure_ = false;
    std::string failureText_, failureHint_;  // "" = the usual
    std::string successor_;  // the feed after a current one the menu lost
};

}  // namespace tw
