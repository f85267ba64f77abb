#pragma once
// The bar's two menus as the form has them: the Quick Start Menu `pmRSS` of feeds, and the tray
// menu `pmTray` with the window commands and the same feeds in its "RSS Feeds" submenu. Built on
// the portable menu model; the window makes the drawn menus and pops them up.
#include "app/FeedMenuEntries.h"
#include "controls/BarPopupMenus.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

inline constexpr std::string_view kQuickStartCaption = "Quick Start Menu";
inline constexpr std::string_view kHideTicker = "Hide ticker";
inline constexpr std::string_view kShowTicker = "Show ticker";
inline constexpr std::string_view kPauseTicker = "Pause ticker";
inline constexpr std::string_view kResumeTicker = "Resume ticker";
inline constexpr std::string_view kHelpMessage = "Help file is still not available yet! Sorry for this incovenience!";
// The program's page, opened by "About...".
inline constexpr std::string_view kAboutUrl = "https://tidewire.example.org/";

// What the tray menu's commands do.
struct TTrayMenuCommands {
    std::function<void()> Pause, HideShow, Configuration, About, Help, Close;
};

// The tray menu's entries the program changes after building it.
struct TTrayMenuEntries {
    TBarMenuItem* Pause = nullptr;     // "Pause ticker" / "Resume ticker"
    TBarMenuItem* HideShow = nullptr;  // mnuHideShow
    TBarMenuItem* RSSFeeds = nullptr;  // mnuRSSFeeds
};

// The Quick Start Menu's looks: a 26-pixel side bar with a horizontal gradient and its caption.
void ConfigureQuickStartMenu(TCustomBarPopupMenu& pmRSS);
// The tray menu's looks and entries, in order: Pause ticker, Hide ticker, -, RSS Feeds, -,
// Configuration..., -, About..., Help, -, Close, with pictures -, 5, 0, 1, 2, 3, 4 of the tray icons.
TTrayMenuEntries BuildTrayMenu(TCustomBarPopupMenu& pmTray, const TTrayMenuCommands& commands);

// Replaces the entries of `target` by `entries` (separators with their hints as captions, feeds
// with their address and tag); choosing a feed calls `onFeed` with its caption. A menu's own
// entries are rebuilt in one batch, so its handlers are installed once, at the end.
void BuildFeedMenu(TCustomBarPopupMenu& menu, const std::vector<TFeedMenuEntry>& entries,
                   const std::function<void(const std::string&)>& onFeed);
void BuildFeedMenu(TBarMenuItem& target, const std::vector<TFeedMenuEntry>& entries,
                   const std::function<void(const std::string&)>& onFeed);

// The hide/show entry after the bar became visible or hidden: "Hide ticker" while it shows;
// "Show ticker", as the menu's default command, while it is hidden.
void ShowHideEntryFor(TBarMenuItem& mnuHideShow, bool barVisible);
// The pause entry for the ticker's state: "Resume ticker" while paused, else "Pause ticker".
void PauseEntryFor(TBarMenuItem& pause, bool paused);

}  // namespace tw
