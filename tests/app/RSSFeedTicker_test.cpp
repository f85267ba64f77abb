// Feed rotation on the real feed component: content loaded from text and files.
#include "app/RSSFeedTicker.h"

#include <gtest/gtest.h>

#include "app/FeedRotationDoubles.h"
#include "support/TestPaths.h"

namespace tw {
namespace {

using test::RecordingTickerView;
using Texts = std::vector<std::string>;

// An RSS 2.0 text with `n` items titled "Story 1" ... "Story n".
std::string NumberedFeed(int n, const std::string& channel = "Numbers") {
    std::string xml = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + channel +
                      "</title><link>http://numbers.example/</link>";
    for (int i = 1; i <= n; ++i)
        xml += "<item><title>Story " + std::to_string(i) + "</title><link>http://numbers.example/" +
               std::to_string(i) + "</link><description>Text " + std::to_string(i) + "</description></item>";
    return xml + "</channel></rss>";
}

class RealFeedRotation : public ::testing::Test {
protected:
    RealFeedRotation() : port_(feed_), rotation_(view_, port_) {
        ConnectFeedEvents(feed_, rotation_);
        feed_.HTTP().URL = "http://127.0.0.1:1/feed.xml";
    }
    Texts Scroll(int passes) {
        Texts seen;
        for (int i = 0; i < passes; ++i) {
            rotation_.lblTickerTextScrolled();
            seen.push_back(view_.tickerText);
        }
        return seen;
    }

    RecordingTickerView view_;
    TpkRSSFeed feed_;
    TRSSFeedTicker port_;
    TFeedRotation rotation_;
};

TEST_F(RealFeedRotation, ThreeOfTenItemsShown) {
    rotation_.SetSettings({3, false});
    ASSERT_TRUE(feed_.LoadFromString(NumberedFeed(10)));
    EXPECT_EQ(view_.titleCaption, "Numbers");
    EXPECT_EQ(view_.titleHint, "Go to: http://numbers.example/");
    EXPECT_EQ(view_.tickerText, "1/3    Story 1");
    EXPECT_EQ(Scroll(4), (Texts{"2/3    Story 2", "3/3    Story 3", "1/3    Story 1", "2/3    Story 2"}));
    rotation_.imgPrevRssItemClick();
    rotation_.imgPrevRssItemClick();
    EXPECT_EQ(view_.tickerText, "3/3    Story 3");
}

TEST_F(RealFeedRotation, TwentyOfTenShowsTen) {
    rotation_.SetSettings({20, false});
    ASSERT_TRUE(feed_.LoadFromString(NumberedFeed(10)));
    EXPECT_EQ(view_.tickerText, "1/10    Story 1");
    rotation_.imgPrevRssItemClick();
    EXPECT_EQ(view_.tickerText, "10/10    Story 10");
}

TEST_F(RealFeedRotation, TextsOfTitlesDescriptionsAndLinks) {
    ASSERT_TRUE(feed_.LoadFromFile(tw::test::DataPath("app/texts.rss").string()));
    // "&amp;#38;" arrives as "&#38;" and is decoded; blanks and line breaks around go.
    EXPECT_EQ(view_.titleCaption, "Cartoons & More");
    EXPECT_EQ(view_.tickerText, "1/3    Tom & Jerry");
    EXPECT_EQ(view_.tickerHint, "Line one\r\nLine two\r\n\r\nClick to read this article from the source\r\nhttp://cartoons.example/tom");
    rotation_.lblTickerClick();
    rotation_.lblTitleClick();
    EXPECT_EQ(view_.openedLinks, (Texts{"http://cartoons.example/tom", "http://cartoons.example/"}));

    rotation_.imgNextRssItemClick();
    EXPECT_EQ(view_.tickerText, "2/3    It\xE2\x80\x99s a cat show");
    EXPECT_EQ(view_.tickerHint, "Plain words \r\n second line\r\n\r\nClick to read this article from the source\r\nhttps://cartoons.example/cat");
    rotation_.lblTickerClick();  // the link stands on lines of its own in the file
    EXPECT_EQ(view_.openedLinks.back(), "https://cartoons.example/cat");

    rotation_.imgNextRssItemClick();
    EXPECT_EQ(view_.tickerText, "3/3    Don\xE2\x80\x99t forget");
    size_t opened = view_.openedLinks.size();
    rotation_.lblTickerClick();
    EXPECT_EQ(view_.openedLinks.size(), opened) << "a script link was handed to the shell";
}

TEST_F(RealFeedRotation, AnItemWithOnlyAPermanentGuidOpensItAndTheHintSaysSo) {
    ASSERT_TRUE(feed_.LoadFromString(
        "<rss><channel><title>G</title><item><title>Only a guid</title><guid>http://guid.example/1</guid></item>"
        "<item><title>Not permanent</title><guid isPermaLink=\"false\">http://guid.example/2</guid></item>"
        "</channel></rss>"));
    EXPECT_EQ(view_.tickerHint, "\r\n\r\nClick to read this article from the source\r\nhttp://guid.example/1");
    rotation_.lblTickerClick();
    rotation_.imgNextRssItemClick();
    EXPECT_EQ(view_.tickerHint, "\r\n\r\nClick to read this article from the source");
    rotation_.lblTickerClick();
    EXPECT_EQ(view_.openedLinks, Texts{"http://guid.example/1"});
    EXPECT_EQ(feed_.FeedItems().Items(0)->Link, "") << "the model's link stays as the feed has it";
}

TEST_F(RealFeedRotation, NotRssAndBrokenTextEndInTheFailureState) {
    rotation_.SetFirstRun(true);
    for (const char* text : {"<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>A</title></feed>",
                             "<rss><channel><title>x</channel></rss>", ""}) {
        ASSERT_TRUE(feed_.LoadFromString(NumberedFeed(2)));
        ASSERT_EQ(view_.tickerText, "1/2    Story 1");
        EXPECT_FALSE(feed_.LoadFromString(text));
        EXPECT_EQ(view_.titleCaption, "N/A") << text;
        EXPECT_EQ(view_.titleHint, "");
        EXPECT_EQ(view_.tickerText, "Cannot retrieve feeds from the current address for this time!");
        EXPECT_EQ(view_.tickerHint, "Invalid url or server does not responding!");
        EXPECT_EQ(feed_.FeedItems().Count(), 0);
        EXPECT_FALSE(rotation_.CurrentItem());
    }
    EXPECT_EQ(view_.balloons.size(), 1u);  // the welcome balloon once, after the first load
}

TEST_F(RealFeedRotation, MissingFileIsAFailureAndAnExistingOneNeedsNoRequest) {
    EXPECT_FALSE(feed_.LoadFromFile(tw::test::DataPath("app/no-such-feed.rss").string()));
    EXPECT_EQ(view_.titleCaption, "N/A");
    ASSERT_TRUE(feed_.LoadFromFile(tw::test::DataPath("app/texts.rss").string()));
    EXPECT_EQ(view_.tickerText, "1/3    Tom & Jerry");
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_EQ(view_.animationStarts, 0);
}

TEST_F(RealFeedRotation, ReloadedFeedStartsAtItsFirstItemAgain) {
    ASSERT_TRUE(feed_.LoadFromString(NumberedFeed(5)));
    Scroll(3);
    EXPECT_EQ(view_.tickerText, "4/5    Story 4");
    ASSERT_TRUE(feed_.LoadFromString(NumberedFeed(5, "Again")));
    EXPECT_EQ(view_.tickerText, "1/5    Story 1");
    EXPECT_EQ(rotation_.CurrentItemIndex(), 0);
}

TEST_F(RealFeedRotation, AutoJumpWithAnAddressOutsideTheMenuWraps) {
    TFeedsList defaults, custom;
    custom.Add("http://127.0.0.1:1/a.xml", true);
    rotation_.SetFeedMenu(BuildFeedMenuEntries(defaults, custom));
    rotation_.SetSettings({0, true});
    feed_.HTTP().URL = "C:\\feeds\\local.rss";
    ASSERT_TRUE(feed_.LoadFromString(NumberedFeed(2)));
    EXPECT_EQ(Scroll(2), (Texts{"2/2    Story 2", "1/2    Story 1"}));
    EXPECT_EQ(feed_.HTTP().URL, "C:\\feeds\\local.rss");
    EXPECT_EQ(view_.animationStarts, 0);
}

}  // namespace
}  // namespace tw
