// Feed rotation with the real feed component fetching from a loopback server under Wine: the
// order of feeds in the request log, HTTP failures, and a feed brought back by the connection.
#include "app/RSSFeedTicker.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "app/FeedRotationDoubles.h"
#include "support/LoopbackHttpServer.h"
#include "support/MessagePump.h"

namespace tw {
namespace {

using test::HttpRoute;
using test::RecordingTickerView;
using Texts = std::vector<std::string>;

using test::PumpUntil;

std::string Feed(const std::string& channel, int items) {
    std::string xml = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + channel +
                      "</title><link>http://example.invalid/</link>";
    for (int i = 1; i <= items; ++i)
        xml += "<item><title>" + channel + " story " + std::to_string(i) + "</title></item>";
    return xml + "</channel></rss>";
}

class LoopbackFeedRotation : public ::testing::Test {
protected:
    LoopbackFeedRotation() : port_(feed_), rotation_(view_, port_) {
        ConnectFeedEvents(feed_, rotation_);
        feed_.SetHTTPAgent("Tidewire");
        server_.Set("/one.xml", HttpRoute::Ok(Feed("One", 3), "text/xml"));
        server_.Set("/two.xml", HttpRoute::Ok(Feed("Two", 2), "text/xml"));
        TFeedsList defaults, custom;
        custom.Add(server_.Url("/one.xml"), true);
        custom.Add(server_.Url("/two.xml"), true);
        defaults.Add("http://127.0.0.1:1/disabled.xml", false);
        rotation_.SetFeedMenu(BuildFeedMenuEntries(defaults, custom));
    }
    ~LoopbackFeedRotation() override {
        // A transfer still running must end before the feed goes.
        PumpUntil([this] { return !rotation_.Loading(); }, 5000);
    }
    void Reload() {
        rotation_.ReloadFeed();
        ASSERT_TRUE(PumpUntil([this] { return !rotation_.Loading(); })) << "the load never finished";
    }
    void ScrollAndWait(int passes) {
        for (int i = 0; i < passes; ++i) {
            rotation_.lblTickerTextScrolled();
            ASSERT_TRUE(PumpUntil([this] { return !rotation_.Loading(); })) << "the jump's load never finished";
        }
    }
    Texts RequestedPaths() const {
        Texts paths;
        for (const test::HttpRequestRecord& r : server_.Requests()) paths.push_back(r.path);
        return paths;
    }

    test::LoopbackHttpServer server_;
    RecordingTickerView view_;
    TpkRSSFeed feed_;
    TRSSFeedTicker port_;
    TFeedRotation rotation_;
};

TEST_F(LoopbackFeedRotation, AutoJumpGoesFeedOneFeedTwoFeedOne) {
    ASSERT_NE(server_.Port(), 0);
    rotation_.SetSettings({2, true});
    feed_.HTTP().URL = server_.Url("/one.xml");
    Reload();
    EXPECT_EQ(view_.titleCaption, "One");
    EXPECT_EQ(view_.tickerText, "1/2    One story 1");
    ScrollAndWait(2);  // story 2, then past the last shown item: feed two
    EXPECT_EQ(view_.titleCaption, "Two");
    EXPECT_EQ(view_.tickerText, "1/2    Two story 1");
    ScrollAndWait(2);  // and from the last menu feed back to the first
    EXPECT_EQ(view_.titleCaption, "One");
    EXPECT_EQ(RequestedPaths(), (Texts{"/one.xml", "/two.xml", "/one.xml"}));
    ASSERT_FALSE(server_.Requests().empty());
    EXPECT_EQ(server_.Requests()[0].Header("User-Agent"), "Tidewire");
}

TEST_F(LoopbackFeedRotation, HttpErrorShowsTheFailureState) {
    server_.Set("/gone.xml", HttpRoute::Status(404, "not here"));
    feed_.HTTP().URL = server_.Url("/one.xml");
    Reload();
    ASSERT_EQ(view_.tickerText, "1/3    One story 1");
    feed_.HTTP().URL = server_.Url("/gone.xml");
    Reload();
    EXPECT_EQ(view_.titleCaption, "N/A");
    EXPECT_EQ(view_.tickerText, "Cannot retrieve feeds from the current address for this time!");
    EXPECT_EQ(view_.tickerHint, "Invalid url or server does not responding!");
    EXPECT_FALSE(view_.animating);
}

TEST_F(LoopbackFeedRotation, ConnectionBackAfterTheServerWasDownReloadsTheFeed) {
    std::uint16_t unused = test::LoopbackHttpServer::UnusedPort();
    ASSERT_NE(unused, 0);
    feed_.HTTP().URL = "http://127.0.0.1:" + std::to_string(unused) + "/one.xml";
    Reload();
    ASSERT_EQ(view_.titleCaption, "N/A");
    rotation_.netDetectConnectionStatusChanged(false);  // nothing for a lost connection
    EXPECT_FALSE(rotation_.Loading());
    feed_.HTTP().URL = server_.Url("/one.xml");  // the address answers again
    rotation_.netDetectConnectionStatusChanged(true);
    EXPECT_EQ(view_.timerRestarts, 1);
    ASSERT_TRUE(PumpUntil([this] { return !rotation_.Loading(); }));
    EXPECT_EQ(view_.titleCaption, "One");
    EXPECT_EQ(view_.tickerText, "1/3    One story 1");
    rotation_.netDetectConnectionStatusChanged(true);  // items shown: nothing
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_EQ(server_.RequestCount("/one.xml"), 1u);
}

}  // namespace
}  // namespace tw
