#pragma once
// The settings file app.config: what is read at start-up and written after the configuration
// dialog and at exit. The logic only talks to an IProfileStore, so it runs the same over the
// system's profile functions and over the plain-file stand-in. Values the file cannot sensibly
// hold (a negative reload period, a frozen ticker, an absurd font) are brought into bounds on
// reading; docs/settings.md lists each bound.
#include "config/ProfileStore.h"
#include "config/uRSSLinkItem.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// Scroll intervals (ms per step) offered from slow to fast; the fastest also steps 2 pixels.
inline constexpr std::array<int, 5> TickerSpeeds{50, 35, 25, 15, 10};
inline constexpr int DefaultTickerSpeedIndex = 2;

// The built-in feeds in their fixed order; position n is index n of "Default Urls"/"Disabled".
extern const std::array<std::string_view, 14> DefaultFeedUrls;

// Bounds applied when reading; see docs/settings.md.
inline constexpr int MaxReloadMinutes = 1440;
inline constexpr int MinTickerSpeed = 10;    // the system's shortest timer period
inline constexpr int MaxTickerSpeed = 1000;
inline constexpr int MinTickerFontSize = 6;
inline constexpr int MaxTickerFontSize = 72;
inline constexpr std::size_t MaxFontNameLength = 31;  // a face name's limit on Windows

struct TTickerFont {
    std::string Name = "Tahoma";
    int Size = 8;                      // points
    std::uint32_t Color = 15136255;    // 0x00BBGGRR, or 0xFF0000nn for system colour nn
    bool Italic = false;
    bool Bold = false;
};

// The merged stream of every feed and what it leaves out or marks (docs/stream.md); each off by
// default, so the ticker rotates the feeds one at a time.
inline constexpr std::uint32_t DefaultHighlightColor = 0x3CC8FF;  // amber, 0x00BBGGRR

struct TStreamSettings {
    bool AllFeedsTogether = false;
    bool OnlyNewItems = false;
    std::string ExcludeWords, IncludeWords, HighlightWords;  // comma-separated, as stored
    bool RulesMatchDescription = false;
    bool AnnounceHighlights = false;
    std::uint32_t HighlightColor = DefaultHighlightColor;
    bool operator==(const TStreamSettings&) const = default;
};

// What the main window holds of the settings.
struct TAppSettings {
    bool FirstRun = true;              // the file did not exist when it was read
    std::string Url;                   // current feed address
    int LastConfigPage = 0;
    int ReloadInterval = 300000;       // ms; 0 = the reload timer never fires
    int MaxShowingItems = 0;           // 0 = all
    bool AutoUrlJump = false;
    TTickerFont TickerFont;
    int TickerSpeed = TickerSpeeds[DefaultTickerSpeedIndex];
    // Set to 2 when the stored speed is the fastest; otherwise the ticker keeps its own value.
    std::optional<int> PixelJump;
    // The monitor the bar docks on, by the system's device name; empty for the primary.
    std::string Monitor;
    TStreamSettings Stream;
};

// Reads the whole file. defaultUrl and defaultReloadMinutes stand in for missing values. The two
// lists are filled (appended to) with the built-in feeds and the user's own feeds; a built-in
// feed its publisher moved for good ("Moved Urls") has its new address in its place.
TAppSettings LoadSettings(const IProfileStore& store, const std::string& defaultUrl, int defaultReloadMinutes,
                          TFeedsList& defaultFeeds, TFeedsList& customFeeds);

// Writes everything but "Url" and "Reload_Time": after the configuration dialog's OK, and when a
// feed was disabled or moved by its publisher. A built-in feed whose address differs from
// DefaultFeedUrls is written to "Moved Urls". The file
// changes in one step at the end (the store's Commit); returns false, with the file as it was,
// when a write or that step failed.
bool SaveSettings(IProfileStore& store, const TAppSettings& settings, const TFeedsList& defaultFeeds,
                  const TFeedsList& customFeeds);

// Writes "Monitor" alone, in one step as SaveSettings does: when the user drags the bar onto
// another monitor.
bool SaveMonitor(IProfileStore& store, const std::string& monitor);

// Writes "Url", "Reload_Time" (reloadInterval div 60000) and the custom addresses: at exit, in
// one step as SaveSettings does.
// The addresses replace the existing "Url_n" keys in place; a "Custom Urls" section holding
// anything else (keys of another name, gaps, repeats) is written anew with the current flags,
// since writing in place there would make the list grow by one copy at every exit.
bool SaveFeedState(IProfileStore& store, const std::string& url, int reloadInterval,
                   const TFeedsList& customFeeds);

// Strict integer text: blanks around, optional sign, decimal digits, or "$"/"0x" followed by up to
// eight hexadecimal digits (read as a 32-bit pattern). Anything else, or a decimal outside the
// 32-bit range, gives nothing.
std::optional<std::int32_t> ParseSettingInt(std::string_view text);

}  // namespace tw
