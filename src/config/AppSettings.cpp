#include "config/AppSettings.h"

#include "base/AsciiText.h"
#include "base/pkClasses.h"

#include <algorithm>
#include <cstdint>

namespace tw {

const std::array<std::string_view, 14> DefaultFeedUrls{
    "http://feeds.bbci.co.uk/news/rss.xml",
    "http://rss.cnn.com/rss/edition.rss",
    "http://feeds.arstechnica.com/arstechnica/index",
    "http://www.theregister.com/headlines.rss",
    "http://rss.slashdot.org/Slashdot/slashdotMain",
    "http://feeds.wired.com/wired/index",
    "http://www.npr.org/rss/rss.php?id=1001",
    "http://feeds.reuters.com/reuters/topNews",
    "http://www.engadget.com/rss.xml",
    "http://feeds.feedburner.com/TechCrunch",
    "http://www.theguardian.com/world/rss",
    "http://rss.nytimes.com/services/xml/rss/nyt/HomePage.xml",
    "http://www.osnews.com/feed/",
    "http://lwn.net/headlines/rss",
};

namespace {

constexpr std::string_view kGlobal = "Global";
constexpr std::string_view kMonitor = "Monitor";
constexpr std::string_view kDefaultUrls = "Default Urls";
constexpr std::string_view kCustomUrls = "Custom Urls";
constexpr std::string_view kDisabled = "Disabled";
// A built-in feed its publisher moved for good: "Default_<n>=<new address>". The built-in list
// keeps its order and addresses, so "Disabled" indexes still mean the same feeds.
constexpr std::string_view kMovedUrls = "Moved Urls";

std::string MovedKey(std::size_t n) { return "Default_" + std::to_string(n); }

int ReadInt(const IProfileStore& store, std::string_view key, int fallback) {
    const std::string text = store.ReadString(kGlobal, key, "");
    return ParseSettingInt(text).value_or(fallback);
}

// A value goes on one line of the file; a line break inside it would split the entry in two.
std::string OneLine(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c != '\r' && c != '\n' && c != '\0') out.push_back(c);
    }
    return out;
}

// Comma-separated list, elements trimmed; matching is on the text, so "x" or "01" matches nothing.
std::vector<std::string> SplitCommaText(std::string_view text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = std::min(text.find(',', start), text.size());
        const auto item = TrimSpacesAndTabs(text.substr(start, comma - start));
        if (!item.empty()) out.emplace_back(item);
        start = comma + 1;
    }
    return out;
}

bool Contains(const std::vector<std::string>& list, long long n) {
    const std::string text = std::to_string(n);
    return std::find(list.begin(), list.end(), text) != list.end();
}

std::string JoinIndexes(const std::vector<std::size_t>& indexes) {
    std::string out;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        if (i > 0) out += ',';
        out += std::to_string(indexes[i]);
    }
    return out;
}

bool IsDisabledLine(std::string_view line) { return EqualsIgnoringAsciiCase(TrimSpacesAndTabs(line.substr(0, line.find('='))), kDisabled); }

bool ValidColor(std::uint32_t c) { return c <= 0x00FFFFFFu || (c >= 0xFF000000u && c <= 0xFF00001Eu); }

bool ValidFontName(std::string_view name) {
    if (name.empty() || name.size() > MaxFontNameLength) return false;
    return std::none_of(name.begin(), name.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

void LoadDefaultFeeds(const IProfileStore& store, TFeedsList& feeds) {
    const auto disabled = SplitCommaText(store.ReadString(kDefaultUrls, kDisabled, ""));
    for (std::size_t n = 0; n < DefaultFeedUrls.size(); ++n) {
        const std::string moved(TrimSpacesAndTabs(OneLine(store.ReadString(kMovedUrls, MovedKey(n), ""))));
        feeds.Add(moved.empty() ? std::string(DefaultFeedUrls[n]) : moved, !Contains(disabled, static_cast<long long>(n)));
    }
}

bool SaveMovedDefaults(IProfileStore& store, const TFeedsList& defaultFeeds) {
    bool ok = store.EraseSection(kMovedUrls);
    for (std::size_t n = 0; n < std::min(defaultFeeds.Count(), DefaultFeedUrls.size()); ++n) {
        if (defaultFeeds.Strings(n) != DefaultFeedUrls[n])
            ok &= store.WriteString(kMovedUrls, MovedKey(n), OneLine(defaultFeeds.Strings(n)));
    }
    return ok;
}

void LoadCustomFeeds(const IProfileStore& store, TFeedsList& feeds) {
    const auto disabled = SplitCommaText(store.ReadString(kCustomUrls, kDisabled, ""));
    const auto lines = store.ReadSection(kCustomUrls);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (IsDisabledLine(line)) continue;
        const auto eq = line.find('=');
        // A line without a value names no feed; it still counts as a position.
        if (eq == std::string_view::npos) continue;
        // Kept as it would be written back, so that a save and a new start give the same list.
        const std::string address(TrimSpacesAndTabs(OneLine(line.substr(eq + 1))));
        if (address.empty()) continue;
        // The index counts the "Disabled" line the program writes first, so a section written
        // by hand without it shifts every index by one.
        feeds.Add(address, !Contains(disabled, static_cast<long long>(i) - 1));
    }
}

TTickerFont LoadTickerFont(const IProfileStore& store) {
    TTickerFont font;
    const std::string name = store.ReadString(kGlobal, "Ticker_Font_Name", font.Name);
    if (ValidFontName(name)) font.Name = name;
    const int size = ReadInt(store, "Ticker_Font_Size", font.Size);
    if (size >= MinTickerFontSize && size <= MaxTickerFontSize) font.Size = size;
    const auto color = static_cast<std::uint32_t>(ReadInt(store, "Ticker_Font_Color", static_cast<int>(font.Color)));
    if (ValidColor(color)) font.Color = color;
    const std::string style = store.ReadString(kGlobal, "Ticker_Font_Style", "00");
    font.Italic = style.size() > 0 && style[0] == '1';
    font.Bold = style.size() > 1 && style[1] == '1';
    return font;
}

int BoundTickerSpeed(int speed) {
    // 0 would stop the ticker for good and a negative period means nothing: both take the default.
    if (speed <= 0) return TickerSpeeds[DefaultTickerSpeedIndex];
    return std::clamp(speed, MinTickerSpeed, MaxTickerSpeed);
}

// True when every line of the section besides "Disabled" is Url_0, Url_1, ... in order, and no
// more of them than there are feeds: then writing the feeds in place leaves exactly them.
bool CustomSectionInPlace(const std::vector<std::string>& lines, std::size_t feedCount) {
    std::size_t next = 0;
    for (const auto& line : lines) {
        if (IsDisabledLine(line)) continue;
        const auto key = TrimSpacesAndTabs(std::string_view(line).substr(0, line.find('=')));
        if (line.find('=') == std::string::npos || !EqualsIgnoringAsciiCase(key, "Url_" + std::to_string(next))) return false;
        ++next;
    }
    return next <= feedCount;
}

}  // namespace

std::optional<std::int32_t> ParseSettingInt(std::string_view text) {
    // The base rule, with what the file's documented form adds and takes away: blanks around are
    // allowed (profile readers trim them), a bare "x" prefix is not, and at most eight hex digits.
    text = TrimSpacesAndTabs(text);
    std::string_view body = text;
    if (body.starts_with('+') || body.starts_with('-')) body.remove_prefix(1);
    if (body.starts_with('x') || body.starts_with('X')) return std::nullopt;
    const size_t prefix = body.starts_with('$') ? 1 : body.starts_with("0x") || body.starts_with("0X") ? 2 : 0;
    if (prefix != 0 && body.size() - prefix > 8) return std::nullopt;
    std::int32_t value = 0;
    if (!TryTextToInt(text, value)) return std::nullopt;
    return value;
}

namespace {

TStreamSettings LoadStreamSettings(const IProfileStore& store) {
    TStreamSettings s;
    s.AllFeedsTogether = ReadInt(store, "All_Feeds_Together", 0) != 0;
    s.OnlyNewItems = ReadInt(store, "Only_New_Items", 0) != 0;
    s.ExcludeWords = store.ReadString(kGlobal, "Exclude_Words", "");
    s.IncludeWords = store.ReadString(kGlobal, "Include_Words", "");
    s.HighlightWords = store.ReadString(kGlobal, "Highlight_Words", "");
    s.RulesMatchDescription = ReadInt(store, "Rules_Match_Description", 0) != 0;
    s.AnnounceHighlights = ReadInt(store, "Announce_Highlights", 0) != 0;
    // Only a plain colour: a system colour's value follows the user's scheme and may not read
    // on the bar.
    const auto color = ParseSettingInt(store.ReadString(kGlobal, "Highlight_Color", ""));
    if (color && static_cast<std::uint32_t>(*color) <= 0xFFFFFFu) s.HighlightColor = static_cast<std::uint32_t>(*color);
    return s;
}

constexpr std::string_view kStreamKeys[] = {"All_Feeds_Together", "Only_New_Items",   "Exclude_Words",
                                            "Include_Words",      "Highlight_Words", "Rules_Match_Description",
                                            "Announce_Highlights", "Highlight_Color"};

bool SaveStreamSettings(IProfileStore& store, const TStreamSettings& s) {
    // A file that never had them stays as it was while they are at their defaults.
    constexpr std::string_view kAbsent = "\x01";
    const bool stored = std::any_of(std::begin(kStreamKeys), std::end(kStreamKeys), [&](std::string_view key) {
        return store.ReadString(kGlobal, key, std::string(kAbsent)) != kAbsent;
    });
    if (!stored && s == TStreamSettings{}) return true;
    bool ok = true;
    ok &= store.WriteString(kGlobal, "All_Feeds_Together", s.AllFeedsTogether ? "1" : "0");
    ok &= store.WriteString(kGlobal, "Only_New_Items", s.OnlyNewItems ? "1" : "0");
    ok &= store.WriteString(kGlobal, "Exclude_Words", OneLine(s.ExcludeWords));
    ok &= store.WriteString(kGlobal, "Include_Words", OneLine(s.IncludeWords));
    ok &= store.WriteString(kGlobal, "Highlight_Words", OneLine(s.HighlightWords));
    ok &= store.WriteString(kGlobal, "Rules_Match_Description", s.RulesMatchDescription ? "1" : "0");
    ok &= store.WriteString(kGlobal, "Announce_Highlights", s.AnnounceHighlights ? "1" : "0");
    ok &= store.WriteString(kGlobal, "Highlight_Color", std::to_string(s.HighlightColor));
    return ok;
}

}  // namespace

TAppSettings LoadSettings(const IProfileStore& store, const std::string& defaultUrl, int defaultReloadMinutes,
                          TFeedsList& defaultFeeds, TFeedsList& customFeeds) {
    TAppSettings s;
    s.FirstRun = !store.Exists();

    const std::string url(TrimSpacesAndTabs(OneLine(store.ReadString(kGlobal, "Url", defaultUrl))));
    s.Url = url.empty() ? defaultUrl : url;
    s.LastConfigPage = ReadInt(store, "Last_Config_Page", 0);

    int minutes = ReadInt(store, "Reload_Time", defaultReloadMinutes);
    if (minutes < 0) minutes = defaultReloadMinutes;
    s.ReloadInterval = std::min(minutes, MaxReloadMinutes) * 60000;

    s.MaxShowingItems = std::max(0, ReadInt(store, "Max_Showing_Items", 0));
    s.AutoUrlJump = ReadInt(store, "Auto_Url_Jump", 0) != 0;

    LoadDefaultFeeds(store, defaultFeeds);
    LoadCustomFeeds(store, customFeeds);

    s.TickerFont = LoadTickerFont(store);
    s.TickerSpeed = BoundTickerSpeed(ReadInt(store, "Ticker_Speed", TickerSpeeds[DefaultTickerSpeedIndex]));
    if (s.TickerSpeed == TickerSpeeds[4]) s.PixelJump = 2;
    s.Monitor = std::string(TrimSpacesAndTabs(OneLine(store.ReadString(kGlobal, kMonitor, ""))));
    s.Stream = LoadStreamSettings(store);
    return s;
}

bool SaveSettings(IProfileStore& store, const TAppSettings& s, const TFeedsList& defaultFeeds,
                  const TFeedsList& customFeeds) {
    bool ok = true;
    ok &= store.WriteString(kGlobal, "Last_Config_Page", std::to_string(s.LastConfigPage));
    ok &= store.WriteString(kGlobal, "Max_Showing_Items", std::to_string(s.MaxShowingItems));
    ok &= store.WriteString(kGlobal, "Auto_Url_Jump", s.AutoUrlJump ? "1" : "0");
    ok &= store.WriteString(kDefaultUrls, kDisabled, JoinIndexes(defaultFeeds.DisabledIndexes()));
    ok &= SaveMovedDefaults(store, defaultFeeds);
    ok &= store.EraseSection(kCustomUrls);
    ok &= store.WriteString(kCustomUrls, kDisabled, JoinIndexes(customFeeds.DisabledIndexes()));
    for (std::size_t i = 0; i < customFeeds.Count(); ++i) {
        ok &= store.WriteString(kCustomUrls, "Url_" + std::to_string(i), OneLine(customFeeds.Strings(i)));
    }
    ok &= store.WriteString(kGlobal, "Ticker_Font_Name", OneLine(s.TickerFont.Name));
    ok &= store.WriteString(kGlobal, "Ticker_Font_Size", std::to_string(s.TickerFont.Size));
    // Colours are stored as the signed 32-bit integer they are, so system colours read negative.
    ok &= store.WriteString(kGlobal, "Ticker_Font_Color", std::to_string(static_cast<std::int32_t>(s.TickerFont.Color)));
    ok &= store.WriteString(kGlobal, "Ticker_Font_Style",
                            std::string(s.TickerFont.Italic ? "1" : "0") + (s.TickerFont.Bold ? "1" : "0"));
    ok &= store.WriteString(kGlobal, "Ticker_Speed", std::to_string(s.TickerSpeed));
    ok &= store.WriteString(kGlobal, kMonitor, OneLine(s.Monitor));
    ok &= SaveStreamSettings(store, s.Stream);
    ok &= store.Commit();
    return ok;
}

bool SaveMonitor(IProfileStore& store, const std::string& monitor) {
    const bool written = store.WriteString(kGlobal, kMonitor, OneLine(monitor));
    return store.Commit() && written;
}

bool SaveFeedState(IProfileStore& store, const std::string& url, int reloadInterval, const TFeedsList& customFeeds) {
    bool ok = true;
    ok &= store.WriteString(kGlobal, "Url", OneLine(url));
    ok &= store.WriteString(kGlobal, "Reload_Time", std::to_string(reloadInterval / 60000));
    if (!CustomSectionInPlace(store.ReadSection(kCustomUrls), customFeeds.Count())) {
        ok &= store.EraseSection(kCustomUrls);
        ok &= store.WriteString(kCustomUrls, kDisabled, JoinIndexes(customFeeds.DisabledIndexes()));
    }
    for (std::size_t i = 0; i < customFeeds.Count(); ++i) {
        ok &= store.WriteString(kCustomUrls, "Url_" + std::to_string(i), OneLine(customFeeds.Strings(i)));
    }
    ok &= store.Commit();
    return ok;
}

}  // namespace tw
