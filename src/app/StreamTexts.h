#pragma once
// What the ticker shows of the merged stream: a loaded feed turned into the stream's snapshot
// (its texts cleaned as the ticker shows them), the headline line with its source and age before
// the title, the hint that names the feed, and the quiet line of "only what is new".
#include <cstddef>
#include <string>
#include <string_view>

#include "base/pkUtils.h"
#include "rss/FeedStream.h"

namespace tw {

class TpkRSSFeed;

inline constexpr std::string_view kSourceAgeSeparator = " \xC2\xB7 ";  // " · "
inline constexpr std::string_view kQuietLinePrefix = "No new headlines since ";

// The feed's items as the stream keeps them, under `key` (its address): titles and descriptions
// cleaned (CleanItemText), guid and link trimmed, the address a click opens. The source name is
// the channel title (CleanChannelTitle), else the address's host, else the address.
TFeedSnapshot MakeFeedSnapshot(const std::string& key, const TpkRSSFeed& feed);

// How old an item is, in the user's terms: "now" under a minute (and for dates ahead of `now`),
// "5 min" under an hour, "3 h" under a day, then "2 d"; each rounded down. "" when undated.
std::string AgeText(TStreamTime date, TStreamTime now);

// One headline of the stream: "3/12    BBC News · 12 min    Floods in the north". The source
// and age ("BBC News · 12 min", or the source alone for an undated item) stand at SourceAt for
// SourceSize bytes, to be drawn dimmer; the title runs from TitleAt to the end. Text is also what
// the accessible name reads.
struct TStreamHeadline {
    std::string Text;
    std::size_t SourceAt = 0, SourceSize = 0, TitleAt = 0;
    // The source and age, the description, the line the ticker's hint always ends with, and
    // where a click goes when that is a web address.
    std::string Hint;
    std::string OpenAddress;
    bool Highlighted = false;
};

// The headline of the stream's entry at `index` (in range).
TStreamHeadline MakeStreamHeadline(const TFeedStream& stream, int index, TStreamTime now);

// "No new headlines since 14:05": the local time (24-hour HH:MM) since which nothing new came.
std::string QuietLineText(TDateTime localSince);

}  // namespace tw
