#include "rss/FeedStream.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace tw {
namespace {

struct ItemSpec {
    std::string_view title;
    std::string_view date = "";  // an hour of 1 May 2024 ("09"), a whole date text, or "" for none
    std::string_view guid = "";
    std::string_view link = "";
};

std::string DateText(std::string_view date) {
    if (date.size() == 2) return "Wed, 01 May 2024 " + std::string(date) + ":00:00 GMT";
    return std::string(date);
}

TFeedSnapshot Feed(std::string key, std::initializer_list<ItemSpec> items) {
    TFeedSnapshot snapshot(key, "Source " + key);
    for (const ItemSpec& item : items) {
        const std::string date = DateText(item.date);
        snapshot.Add({item.guid, item.link, item.link, item.title, "", date});
    }
    return snapshot;
}

std::vector<std::string> Titles(const TFeedStream& stream) {
    std::vector<std::string> titles;
    for (int i = 0; i < stream.Count(); ++i) titles.emplace_back(stream.ItemOf(stream.At(i)).Title);
    return titles;
}

TEST(TFeedStream, MergesNewestFirstDuplicatesOnceAtMostNPerFeed) {
    struct Case {
        std::string_view name;
        std::vector<TFeedSnapshot> feeds;
        int maxShowing;
        std::vector<std::string> titles;
    };
    std::vector<Case> cases;
    cases.push_back({"newest first across feeds",
                     {Feed("A", {{"a1", "10"}, {"a2", "08"}}), Feed("B", {{"b1", "09"}, {"b2", "07"}})},
                     0, {"a1", "b1", "a2", "b2"}});
    cases.push_back({"undated after the oldest dated of their feed, in feed order",
                     {Feed("A", {{"a1", "10"}, {"ax"}, {"a2", "08"}, {"ay"}}), Feed("B", {{"b1", "09"}, {"b2", "07"}})},
                     0, {"a1", "b1", "a2", "ax", "ay", "b2"}});
    cases.push_back({"feeds without dates last, taking turns",
                     {Feed("A", {{"a1", "10"}}), Feed("B", {{"bx"}, {"by"}}), Feed("C", {{"cx"}})},
                     0, {"a1", "bx", "cx", "by"}});
    cases.push_back({"equal dates in feed order",
                     {Feed("A", {{"a1", "09"}, {"a2", "09"}}), Feed("B", {{"b1", "09"}})},
                     0, {"a1", "a2", "b1"}});
    cases.push_back({"RFC 3339 and RFC 822 on one clock",
                     {Feed("A", {{"a1", "2024-05-01T10:30:00+02:00"}}), Feed("B", {{"b1", "09"}})},
                     0, {"b1", "a1"}});
    cases.push_back({"within a feed: same guid, else same link, else same title",
                     {Feed("A", {{"g", "10", "id1"}, {"g again", "09", "id1"},
                                 {"l", "08", "", "http://x/1"}, {"l again", "07", "", "http://x/1"},
                                 {"t", "06"}, {"t", "05"},
                                 {"own guid", "04", "id2", "http://x/1"}})},
                     0, {"g", "l", "t", "own guid"}});
    cases.push_back({"across feeds: same guid or same link; a title alone is not enough",
                     {Feed("A", {{"by guid", "10", "id1"}, {"by link", "09", "a-2", "http://x/2"}, {"t", "08"}}),
                      Feed("B", {{"copy", "11", "id1"}, {"copy", "09", "b-2", "http://x/2"}, {"t", "07"}})},
                     0, {"by guid", "by link", "t", "t"}});
    cases.push_back({"at most the first n of each feed, in feed order",
                     {Feed("A", {{"a1", "08"}, {"a2", "09"}, {"a3", "10"}}), Feed("B", {{"b1", "07"}})},
                     2, {"a2", "a1", "b1"}});
    for (Case& c : cases) {
        TFeedStream stream;
        for (TFeedSnapshot& feed : c.feeds) stream.SetFeed(std::move(feed));
        stream.SetMaxShowingItems(c.maxShowing);
        stream.Merge();
        EXPECT_EQ(Titles(stream), c.titles) << c.name;
    }
}

TEST(TFeedStream, ReadsItemDatesOfBothDialects) {
    EXPECT_EQ(ReadItemDate("Sat, 07 Sep 2002 00:00:01 GMT"), 1031356801);
    EXPECT_EQ(ReadItemDate("Sat, 07 Sep 2002 02:00:01 +0200"), 1031356801);
    EXPECT_EQ(ReadItemDate("2002-09-06T22:00:01-02:00"), 1031356801);
    EXPECT_EQ(ReadItemDate("yesterday"), kUndated);
    EXPECT_EQ(ReadItemDate(""), kUndated);
}

TEST(TFeedStream, HidesAGroupWhenAnyCopyIsExcludedOrSeen) {
    TFeedStream stream;
    stream.SetFeed(Feed("A", {{"Election night", "10", "a-1", "http://x/1"}, {"Weather", "09", "a-2"}}));
    stream.SetFeed(Feed("B", {{"Election night: sport", "10", "b-1", "http://x/1"}}));
    stream.Merge();
    ASSERT_EQ(stream.Count(), 2);
    const std::vector<std::uint64_t> keys = stream.SeenKeysOf(0);
    ASSERT_EQ(keys.size(), 2u) << "its own and its copy's";

    stream.SetWordRules(TWordRules("sport", "", "weather", false));
    stream.Merge();
    EXPECT_EQ(Titles(stream), std::vector<std::string>{"Weather"});
    EXPECT_TRUE(stream.At(0).Highlighted);
    EXPECT_EQ(stream.Stats().Excluded, 1);

    stream.SetWordRules({});
    TSeenItems seen(0);
    seen.MarkSeen(keys[1], 100);  // seen through the other feed's copy
    stream.SetSeenItems(&seen);
    stream.Merge();
    EXPECT_EQ(Titles(stream), std::vector<std::string>{"Weather"});
    EXPECT_EQ(stream.Stats().Seen, 1);
    EXPECT_EQ(stream.Stats().Duplicates, 1);
}

TEST(TFeedStream, TheCurrentItemKeepsItsPlaceAcrossAReload) {
    TFeedStream stream;
    stream.SetFeed(Feed("A", {{"a1", "10"}, {"a2", "08"}}));
    stream.SetFeed(Feed("B", {{"b1", "09"}}));
    EXPECT_FALSE(stream.Next()) << "nothing merged yet";
    stream.Merge();
    EXPECT_EQ(stream.CurrentIndex(), 0) << "the newest is current first";
    ASSERT_TRUE(stream.Next());
    ASSERT_EQ(stream.ItemOf(stream.At(stream.CurrentIndex())).Title, "b1");

    // A newer item before it: the same item stays current at its new position.
    stream.SetFeed(Feed("A", {{"a0", "11"}, {"a1", "10"}, {"a2", "08"}}));
    EXPECT_EQ(stream.CurrentIndex(), -1) << "no list until the merge";
    stream.Merge();
    EXPECT_EQ(stream.CurrentIndex(), 2);
    EXPECT_EQ(stream.Count(), 3 + 1);

    // Gone from its feed: the steps go on from where it stood.
    stream.SetFeed(Feed("B", {{"b2", "07"}}));
    stream.Merge();
    EXPECT_EQ(stream.CurrentIndex(), -1);
    EXPECT_TRUE(stream.HasCurrent());
    TFeedStream back = stream;
    ASSERT_TRUE(stream.Next());
    EXPECT_EQ(stream.ItemOf(stream.At(stream.CurrentIndex())).Title, "a2");
    ASSERT_TRUE(back.Prev());
    EXPECT_EQ(back.ItemOf(back.At(back.CurrentIndex())).Title, "a1");

    // A feed's menu entry leads to its newest item.
    EXPECT_EQ(stream.FirstIndexOfFeed("B"), 3);
    EXPECT_EQ(stream.FirstIndexOfFeed("C"), -1);

    // Past the last comes the first, before the first the last.
    stream.SetCurrent(stream.Count() - 1);
    stream.Next();
    EXPECT_EQ(stream.CurrentIndex(), 0);
    stream.Prev();
    EXPECT_EQ(stream.CurrentIndex(), stream.Count() - 1);
}

TEST(TFeedStream, OnlyNewEmptiesTheStreamAndANewItemBringsItBack) {
    TFeedStream stream;
    TSeenItems seen(0);
    stream.SetSeenItems(&seen);
    stream.SetFeed(Feed("A", {{"a1", "10"}, {"a2", "09"}}));
    stream.Merge();
    for (int i = 0; i < 2; ++i) {
        for (std::uint64_t key : stream.SeenKeysOf(stream.CurrentIndex())) seen.MarkSeen(key, 100 + i);
        stream.Merge();
        stream.Next();
    }
    EXPECT_EQ(stream.Count(), 0);
    EXPECT_EQ(stream.Stats().Seen, 2);
    EXPECT_FALSE(stream.Next());

    stream.SetFeed(Feed("A", {{"a3", "11"}, {"a1", "10"}, {"a2", "09"}}));
    stream.Merge();
    ASSERT_TRUE(stream.Next());
    EXPECT_EQ(stream.ItemOf(stream.At(stream.CurrentIndex())).Title, "a3");
}

}  // namespace
}  // namespace tw
