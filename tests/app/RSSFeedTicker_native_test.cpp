// Feed rotation on the real feed component where network loads fail at once (there is no
// internet here): the failure comes from the worker, and the test pumps until it has arrived.
#include "app/RSSFeedTicker.h"

#include <gtest/gtest.h>

#include "app/FeedRotationDoubles.h"
#include "support/MessagePump.h"

namespace tw {
namespace {

using test::RecordingTickerView;

std::string TwoItems() {
    return "<rss version=\"2.0\"><channel><title>Two</title><link>http://two.example/</link>"
           "<item><title>First</title><link>http://two.example/1</link></item>"
           "<item><title>Second</title><link>http://two.example/2</link></item></channel></rss>";
}

class RealFeedOffline : public ::testing::Test {
protected:
    RealFeedOffline() : port_(feed_), rotation_(view_, port_) { ConnectFeedEvents(feed_, rotation_); }
    // Lets the transfer under way end and its events arrive.
    void Settle() { ASSERT_TRUE(test::PumpUntil([&] { return !feed_.HTTP().Busy(); })); }
    RecordingTickerView view_;
    TpkRSSFeed feed_;
    TRSSFeedTicker port_;
    TFeedRotation rotation_;
};

TEST_F(RealFeedOffline, FailedReloadIsNotLeftLoading) {
    feed_.HTTP().URL = "http://127.0.0.1:1/feed.xml";
    ASSERT_TRUE(feed_.LoadFromString(TwoItems()));
    rotation_.tmrReloadTimer();
    Settle();
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_FALSE(view_.animating);
    EXPECT_EQ(view_.titleCaption, "N/A");
    EXPECT_EQ(view_.tickerText, "Cannot retrieve feeds from the current address for this time!");
    EXPECT_EQ(feed_.FeedItems().Count(), 0);
}

TEST_F(RealFeedOffline, ReturningConnectionReloadsTheFailedFeed) {
    feed_.HTTP().URL = "http://127.0.0.1:1/feed.xml";
    rotation_.ReloadFeed();
    Settle();
    ASSERT_EQ(view_.titleCaption, "N/A");
    int starts = view_.animationStarts;
    rotation_.netDetectConnectionStatusChanged(true);
    Settle();
    EXPECT_EQ(view_.animationStarts, starts + 1);
    EXPECT_EQ(view_.timerRestarts, 1);
    EXPECT_FALSE(rotation_.Loading());
}

TEST_F(RealFeedOffline, AutoJumpFromTheLastMenuFeedTakesTheFirst) {
    TFeedsList defaults, custom;
    custom.Add("http://127.0.0.1:1/a.xml", true);
    custom.Add("http://127.0.0.1:1/b.xml", true);
    rotation_.SetFeedMenu(BuildFeedMenuEntries(defaults, custom));
    rotation_.SetSettings({1, true});
    feed_.HTTP().URL = "http://127.0.0.1:1/b.xml";
    ASSERT_TRUE(feed_.LoadFromString(TwoItems()));
    EXPECT_EQ(view_.tickerText, "1/1    First");
    rotation_.lblTickerTextScrolled();
    Settle();
    EXPECT_EQ(feed_.HTTP().URL, "http://127.0.0.1:1/a.xml");
    EXPECT_EQ(view_.animationStarts, 1);
    EXPECT_EQ(view_.titleCaption, "N/A");  // the jump's load failed here; no jump away from it
    rotation_.lblTickerTextScrolled();
    Settle();
    EXPECT_EQ(feed_.HTTP().URL, "http://127.0.0.1:1/a.xml");
    EXPECT_EQ(view_.animationStarts, 1);
}

TEST_F(RealFeedOffline, EmptyAddressKeepsWhatIsShown) {
    ASSERT_TRUE(feed_.LoadFromString(TwoItems()));
    feed_.HTTP().URL.clear();
    rotation_.tmrReloadTimer();
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_FALSE(view_.animating);
    EXPECT_EQ(view_.tickerText, "1/2    First");
    rotation_.imgNextRssItemClick();
    EXPECT_EQ(view_.tickerText, "2/2    Second");
}

}  // namespace
}  // namespace tw
