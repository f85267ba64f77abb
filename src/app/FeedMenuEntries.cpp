#include "app/FeedMenuEntries.h"

#include "base/AsciiText.h"

namespace tw {

namespace {

TFeedMenuEntry Separator(std::string_view hint, bool custom) {
    TFeedMenuEntry e;
    e.Kind = TFeedMenuEntry::TKind::Separator;
    e.Caption = "-";
    e.Hint = std::string(hint);
    e.Custom = custom;
    e.ManualHotkeys = true;
    return e;
}

TFeedMenuEntry Feed(const std::string& address, int tag, bool custom) {
    TFeedMenuEntry e;
    e.Caption = address;
    e.Tag = tag;
    e.Custom = custom;
    return e;
}

// Lower case without "&": the form in which menu captions are compared.
std::string CaptionKey(std::string_view caption) {
    std::string key;
    key.reserve(caption.size());
    for (char c : caption)
        if (c != '&') key.push_back(AsciiLower(c));
    return key;
}

bool IsWebFeed(const TFeedMenuEntry& e) {
    if (e.IsSeparator()) return false;
    std::string key = CaptionKey(e.Caption);
    // https feeds belong to the rotation as much as http ones do.
    return key.find("http:") != std::string::npos || key.find("https:") != std::string::npos;
}

}  // namespace

std::vector<TFeedMenuEntry> BuildFeedMenuEntries(const TFeedsList& defaultFeeds, const TFeedsList& customFeeds) {
    std::vector<TFeedMenuEntry> entries;
    if (!customFeeds.Empty()) {
        entries.push_back(Separator(kCustomLinksHint, true));
        for (std::size_t i = 0; i < customFeeds.Count(); ++i)
            if (customFeeds.Objects(i).LinkEnabled)
                entries.push_back(Feed(customFeeds.Strings(i), static_cast<int>(i), true));
    }
    entries.push_back(Separator(kDefaultLinksHint, false));
    for (std::size_t i = 0; i < defaultFeeds.Count(); ++i)
        if (defaultFeeds.Objects(i).LinkEnabled)
            entries.push_back(Feed(defaultFeeds.Strings(i), static_cast<int>(i), false));
    return entries;
}

namespace {

std::size_t IndexOfCaption(const std::vector<TFeedMenuEntry>& entries, std::string_view url) {
    const std::string key = CaptionKey(url);
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (CaptionKey(entries[i].Caption) == key) return i;
    return entries.size();
}

}  // namespace

bool HasFeedCaption(const std::vector<TFeedMenuEntry>& entries, std::string_view url) {
    const std::size_t found = IndexOfCaption(entries, url);
    return !url.empty() && found < entries.size() && !entries[found].IsSeparator();
}

std::optional<std::string> NextFeedCaption(const std::vector<TFeedMenuEntry>& entries, std::string_view currentUrl) {
    const std::size_t found = IndexOfCaption(entries, currentUrl);
    if (found == entries.size()) return std::nullopt;
    for (std::size_t step = 1; step <= entries.size(); ++step) {
        const TFeedMenuEntry& e = entries[(found + step) % entries.size()];
        if (IsWebFeed(e)) return e.Caption;
    }
    return std::nullopt;
}

}  // namespace tw
