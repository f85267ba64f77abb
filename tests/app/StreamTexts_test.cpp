#include "app/StreamTexts.h"

#include "rss/pkRSSFeed.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(StreamTexts, AgeInTheUsersTerms) {
    struct Case {
        TStreamTime age;
        std::string_view text;
    };
    const Case cases[] = {
        {-3600, "now"}, {0, "now"}, {59, "now"},
        {60, "1 min"}, {12 * 60 + 59, "12 min"}, {3599, "59 min"},
        {3600, "1 h"}, {23 * 3600 + 3599, "23 h"},
        {86400, "1 d"}, {400 * 86400, "400 d"},
    };
    const TStreamTime now = 1'700'000'000;
    for (const Case& c : cases) EXPECT_EQ(AgeText(now - c.age, now), c.text) << c.age;
    EXPECT_EQ(AgeText(kUndated, now), "");
}

TEST(StreamTexts, HeadlineShowsCounterSourceAgeAndTitleInParts) {
    const TStreamTime date = ReadItemDate("Wed, 01 May 2024 09:00:00 GMT");
    TFeedStream stream;
    TFeedSnapshot news("http://news.example/rss", "BBC News");
    news.Add({"g1", "http://news.example/1", "http://news.example/1", "Floods in the north", "Rain\r\nfor days",
              "Wed, 01 May 2024 09:00:00 GMT"});
    news.Add({"g2", "", "", "Undated", "", ""});
    stream.SetFeed(std::move(news));
    stream.SetWordRules(TWordRules("", "", "floods", false));
    stream.Merge();

    const TStreamHeadline dated = MakeStreamHeadline(stream, 0, date + 12 * 60);
    EXPECT_EQ(dated.Text, "1/2    BBC News \xC2\xB7 12 min    Floods in the north");
    EXPECT_EQ(dated.Text.substr(dated.SourceAt, dated.SourceSize), "BBC News \xC2\xB7 12 min");
    EXPECT_EQ(dated.Text.substr(dated.TitleAt), "Floods in the north");
    EXPECT_EQ(dated.Hint, "BBC News \xC2\xB7 12 min\r\n\r\nRain\r\nfor days\r\n\r\n"
                          "Click to read this article from the source\r\nhttp://news.example/1");
    EXPECT_EQ(dated.OpenAddress, "http://news.example/1");
    EXPECT_TRUE(dated.Highlighted);

    const TStreamHeadline undated = MakeStreamHeadline(stream, 1, date);
    EXPECT_EQ(undated.Text, "2/2    BBC News    Undated");
    EXPECT_EQ(undated.Text.substr(undated.SourceAt, undated.SourceSize), "BBC News");
    EXPECT_EQ(undated.Hint, "BBC News\r\n\r\nClick to read this article from the source");
    EXPECT_FALSE(undated.Highlighted);
}

TEST(StreamTexts, SnapshotOfALoadedFeedHoldsWhatTheTickerShows) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString(
        "<rss version=\"2.0\"><channel><title> </title>"
        "<item><title>Tom &amp;#8217;s &lt;b&gt;day&lt;/b&gt;</title><link> http://x.example/1 </link>"
        "<description>One&lt;br&gt;Two</description><guid>http://x.example/p/1</guid>"
        "<pubDate>Wed, 01 May 2024 09:00:00 GMT</pubDate></item>"
        "<item><title>No link</title><guid isPermaLink=\"true\">http://x.example/p/2</guid></item>"
        "</channel></rss>"));
    const TFeedSnapshot snapshot = MakeFeedSnapshot("http://feeds.x.example/rss", feed);
    EXPECT_EQ(snapshot.Source(), "feeds.x.example") << "no channel title: the host";
    ASSERT_EQ(snapshot.Count(), 2);
    const TSnapshotItem first = snapshot.Item(0);
    EXPECT_EQ(first.Title, "Tom \xE2\x80\x99s day");
    EXPECT_EQ(first.Description, "One\r\nTwo");
    EXPECT_EQ(first.Link, "http://x.example/1");
    EXPECT_EQ(first.Guid, "http://x.example/p/1");
    EXPECT_EQ(first.PubDate, "Wed, 01 May 2024 09:00:00 GMT");
    EXPECT_EQ(snapshot.Item(1).OpenAddress, "http://x.example/p/2");
}

TEST(StreamTexts, QuietLineInTwentyFourHourTime) {
    TDateTime day = 0, time = 0;
    ASSERT_TRUE(TryEncodeDate(2024, 5, 1, day));
    ASSERT_TRUE(TryEncodeTime(14, 5, 59, 0, time));
    EXPECT_EQ(QuietLineText(ComposeDateTime(day, time)), "No new headlines since 14:05");
    ASSERT_TRUE(TryEncodeTime(9, 7, 0, 0, time));
    EXPECT_EQ(QuietLineText(ComposeDateTime(day, time)), "No new headlines since 09:07");
}

}  // namespace
}  // namespace tw
