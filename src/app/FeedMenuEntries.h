#pragma once
// The entry list of a feed menu (the Quick Start Menu and the tray's feed submenu) as plain data:
// what the drawn menus show and what feed rotation walks to find the next feed.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/uRSSLinkItem.h"

namespace tw {

struct TFeedMenuEntry {
    enum class TKind { Separator, Feed };
    TKind Kind = TKind::Feed;
    // A separator's caption is "-"; a feed entry's caption is its address, which is also the
    // key that feed switching uses.
    std::string Caption;
    // A separator's hint ("Custom RSS Links", "Default RSS Links") is drawn as its caption;
    // feed entries have none.
    std::string Hint;
    // A feed entry's position in its own feed list; -1 for separators.
    int Tag = -1;
    // Which list a feed entry comes from (separators: the group they head).
    bool Custom = false;
    // Separators switch off automatic hot keys and line reduction (maManual); feed entries
    // keep the menu's defaults.
    bool ManualHotkeys = false;

    bool IsSeparator() const { return Kind == TKind::Separator; }
    bool operator==(const TFeedMenuEntry&) const = default;
};

inline constexpr std::string_view kCustomLinksHint = "Custom RSS Links";
inline constexpr std::string_view kDefaultLinksHint = "Default RSS Links";

// Builds the entries top to bottom: the "Custom RSS Links" separator when the custom list has
// any entry (enabled or not), the enabled custom feeds in list order, the "Default RSS Links"
// separator (always), the enabled default feeds in list order.
std::vector<TFeedMenuEntry> BuildFeedMenuEntries(const TFeedsList& defaultFeeds, const TFeedsList& customFeeds);

// The caption of the feed entry that follows the one whose caption equals `currentUrl`
// (compared without regard to letter case and ignoring "&" hot-key markers on both sides),
// going forward and wrapping from the last entry to the first. Only feed entries whose caption
// holds "http:" or "https:" (any case) count. Empty when `currentUrl` is not in the list or no
// entry qualifies; one full cycle at most, so the entry itself is the answer when it is the only
// feed.
std::optional<std::string> NextFeedCaption(const std::vector<TFeedMenuEntry>& entries, std::string_view currentUrl);

// Whether a feed entry's caption is `url`, compared as NextFeedCaption does; false for "".
bool HasFeedCaption(const std::vector<TFeedMenuEntry>& entries, std::string_view url);

}  // namespace tw
