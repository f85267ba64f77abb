#include "app/RSSFeedTicker.h"

#include <limits>

namespace tw {

std::uint64_t TRSSFeedTicker::ItemIdAt(int index) const {
    const TpkRSSFeedItem* item = At(index);
    int id = item ? feed_.FeedItems().IDOf(item) : -1;
    // Ids are never negative for items in the collection; the caller only asks for valid positions.
    return id < 0 ? std::numeric_limits<std::uint64_t>::max() : static_cast<std::uint64_t>(id);
}

int TRSSFeedTicker::IndexOfItemId(std::uint64_t id) const {
    if (id > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) return -1;
    const TpkRSSFeedItem* item = feed_.FeedItems().FindItemID(static_cast<int>(id));
    return item ? feed_.FeedItems().IndexOf(item) : -1;
}

std::string TRSSFeedTicker::ItemTitle(int index) const {
    const TpkRSSFeedItem* item = At(index);
    return item ? item->Title : std::string();
}

std::string TRSSFeedTicker::ItemLink(int index) const {
    const TpkRSSFeedItem* item = At(index);
    return item ? item->Link : std::string();
}

std::string TRSSFeedTicker::ItemDescription(int index) const {
    const TpkRSSFeedItem* item = At(index);
    return item ? item->Description : std::string();
}

std::string TRSSFeedTicker::ItemOpenAddress(int index) const {
    const TpkRSSFeedItem* item = At(index);
    return item ? tw::ItemOpenAddress(*item) : std::string();
}

void ConnectFeedEvents(TpkRSSFeed& feed, TFeedRotation& handlers) {
    feed.OnRSSLoaded = [&handlers](TpkComponent&) { handlers.RSSHandlerRSSLoaded(); };
    feed.OnRSSNotModified = [&handlers](TpkComponent&) { handlers.RSSHandlerRSSNotModified(); };
    feed.OnRSSLoadError = [&handlers](TpkComponent&) { handlers.RSSHandlerRSSLoadError(); };
    feed.OnRSSParseError = [&handlers](TpkComponent&) { handlers.RSSHandlerRSSParseError(); };
    feed.OnRSSNotRSSError = [&handlers](TpkComponent&) { handlers.RSSHandlerRSSNotRSSError(); };
    feed.OnHTTPError = [&handlers](TpkComponent&, int, TpkStream*) { handlers.RSSHandlerHTTPError(); };
}

}  // namespace tw
