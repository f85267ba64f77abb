#include "app/StreamTexts.h"

#include "app/FeedRotation.h"
#include "app/uUtil.h"
#include "base/AsciiText.h"
#include "net/UrlUtils.h"
#include "rss/FeedFormats.h"
#include "rss/pkRSSFeed.h"

#include <cstdio>

namespace tw {

namespace {

constexpr std::string_view kGap = "    ";  // between the counter, the source and the title

std::string SourceNameOf(const std::string& key, const TpkRSSFeed& feed) {
    if (std::string title = CleanChannelTitle(feed.FeedElements().Title); !title.empty()) return title;
    TpkURLParts parts;
    if (SplitURL(key, parts) && !parts.Host.empty()) return parts.Host;
    return key;
}

}  // namespace

TFeedSnapshot MakeFeedSnapshot(const std::string& key, const TpkRSSFeed& feed) {
    const TpkRSSFeedItemCollection& items = feed.FeedItems();
    TFeedSnapshot snapshot(key, SourceNameOf(key, feed));
    snapshot.Reserve(items.Count(), 0);
    for (int i = 0; i < items.Count(); ++i) {
        const TpkRSSFeedItem& item = *items.Items(i);
        const std::string guid = std::string(TrimControlsAndBlanks(item.Guid().URL));
        const std::string link = std::string(TrimControlsAndBlanks(item.Link));
        const std::string openAddress = ItemOpenAddress(item);
        const std::string title = CleanItemText(item.Title);
        const std::string description = CleanItemText(item.Description);
        snapshot.Add({guid, link, openAddress, title, description, item.PubDate()});
    }
    return snapshot;
}

std::string AgeText(TStreamTime date, TStreamTime now) {
    if (date == kUndated) return {};
    const TStreamTime age = now - date;
    if (age < 60) return "now";
    if (age < 3600) return std::to_string(age / 60) + " min";
    if (age < 86400) return std::to_string(age / 3600) + " h";
    return std::to_string(age / 86400) + " d";
}

TStreamHeadline MakeStreamHeadline(const TFeedStream& stream, int index, TStreamTime now) {
    const TStreamEntry& entry = stream.At(index);
    const TSnapshotItem item = stream.ItemOf(entry);
    std::string source = stream.FeedOf(entry).Source();
    if (const std::string age = AgeText(entry.Date, now); !age.empty()) source += std::string(kSourceAgeSeparator) + age;

    TStreamHeadline headline;
    headline.Text = std::to_string(index + 1) + "/" + std::to_string(stream.Count()) + std::string(kGap);
    headline.SourceAt = headline.Text.size();
    headline.SourceSize = source.size();
    headline.Text += source + std::string(kGap);
    headline.TitleAt = headline.Text.size();
    headline.Text += item.Title;

    headline.Hint = source + "\r\n\r\n";
    if (!item.Description.empty()) headline.Hint += std::string(item.Description) + "\r\n\r\n";
    headline.Hint += kItemHintTail;
    // The reader sees where a click goes before making it, as on a single feed.
    if (IsWebAddress(item.OpenAddress)) {
        headline.OpenAddress = item.OpenAddress;
        headline.Hint += "\r\n" + headline.OpenAddress;
    }
    headline.Highlighted = entry.Highlighted;
    return headline;
}

std::string QuietLineText(TDateTime localSince) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    DecodeDateTime(localSince, year, month, day, hour, minute, second, ms);
    char clock[8];
    std::snprintf(clock, sizeof clock, "%02d:%02d", hour, minute);
    return std::string(kQuietLinePrefix) + clock;
}

}  // namespace tw
