#pragma once
// The feed component as feed rotation sees it, and the routing of its result events.
#include "app/FeedRotation.h"
#include "rss/pkRSSFeed.h"

namespace tw {

// ITickerFeed over a TpkRSSFeed: the address is HTTP().URL, the items are FeedItems with the
// collection's ids, the channel is FeedElements.
class TRSSFeedTicker final : public ITickerFeed {
public:
    explicit TRSSFeedTicker(TpkRSSFeed& feed) : feed_(feed) {}

    std::string Url() const override { return feed_.HTTP().URL; }
    void SetUrl(const std::string& url) override { feed_.HTTP().URL = url; }
    bool LoadFromURL() override { return feed_.LoadFromURL(false); }
    std::string ChannelTitle() const override { return feed_.FeedElements().Title; }
    std::string ChannelLink() const override { return feed_.FeedElements().Link; }
    int ItemCount() const override { return feed_.FeedItems().Count(); }
    std::uint64_t ItemIdAt(int index) const override;
    int IndexOfItemId(std::uint64_t id) const override;
    std::string ItemTitle(int index) const override;
    std::string ItemLink(int index) const override;
    std::string ItemDescription(int index) const override;
    // The link, or for an item without one its permanent-link guid (tw::ItemOpenAddress).
    std::string ItemOpenAddress(int index) const override;
    void ClearItems() override { feed_.FeedItems().Clear(); }

private:
    const TpkRSSFeedItem* At(int index) const { return feed_.FeedItems().Items(index); }
    TpkRSSFeed& feed_;
};

// Routes OnRSSLoaded, OnRSSNotModified, OnRSSLoadError, OnRSSParseError, OnRSSNotRSSError and
// OnHTTPError of `feed` to the rotation's handlers (replacing whatever handlers were assigned).
void ConnectFeedEvents(TpkRSSFeed& feed, TFeedRotation& handlers);

}  // namespace tw
