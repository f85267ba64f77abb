#include "app/FeedMenuEntries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

struct Link {
    const char* address;
    bool enabled;
};

TFeedsList MakeList(std::vector<Link> links) {
    TFeedsList list;
    for (const Link& l : links) list.Add(l.address, l.enabled);
    return list;
}

// "-(hint)" for separators, "caption#tag" for feeds: one string shows the whole menu.
std::vector<std::string> Shape(const std::vector<TFeedMenuEntry>& entries) {
    std::vector<std::string> out;
    for (const TFeedMenuEntry& e : entries)
        out.push_back(e.IsSeparator() ? "-(" + e.Hint + ")" : e.Caption + "#" + std::to_string(e.Tag));
    return out;
}

using Lines = std::vector<std::string>;

TEST(BuildFeedMenuEntries, EmptyCustomListStartsWithDefaultSeparator) {
    TFeedsList defaults = MakeList({{"http://d0/", true}, {"http://d1/", true}});
    TFeedsList custom;
    EXPECT_EQ(Shape(BuildFeedMenuEntries(defaults, custom)),
              (Lines{"-(Default RSS Links)", "http://d0/#0", "http://d1/#1"}));
}

TEST(BuildFeedMenuEntries, AllCustomDisabledLeavesBothSeparatorsAdjacent) {
    TFeedsList defaults = MakeList({{"http://d0/", true}});
    TFeedsList custom = MakeList({{"http://c0/", false}, {"http://c1/", false}});
    EXPECT_EQ(Shape(BuildFeedMenuEntries(defaults, custom)),
              (Lines{"-(Custom RSS Links)", "-(Default RSS Links)", "http://d0/#0"}));
}

TEST(BuildFeedMenuEntries, DisabledFeedsAreLeftOutAndTagsKeepListPositions) {
    TFeedsList defaults = MakeList({{"http://d0/", false}, {"http://d1/", true}, {"http://d2/", true}});
    TFeedsList custom = MakeList({{"http://A/", true}, {"http://B/", false}, {"http://C/", true}});
    EXPECT_EQ(Shape(BuildFeedMenuEntries(defaults, custom)),
              (Lines{"-(Custom RSS Links)", "http://A/#0", "http://C/#2", "-(Default RSS Links)",
                     "http://d1/#1", "http://d2/#2"}));
}

TEST(BuildFeedMenuEntries, EverythingDisabledLeavesOnlySeparators) {
    TFeedsList defaults = MakeList({{"http://d0/", false}});
    TFeedsList custom = MakeList({{"http://c0/", false}});
    std::vector<TFeedMenuEntry> entries = BuildFeedMenuEntries(defaults, custom);
    EXPECT_EQ(Shape(entries), (Lines{"-(Custom RSS Links)", "-(Default RSS Links)"}));
    EXPECT_FALSE(NextFeedCaption(entries, "http://d0/"));
}

TEST(BuildFeedMenuEntries, SeparatorsAreManualDashesAndFeedsAreNot) {
    TFeedsList defaults = MakeList({{"http://d0/", true}});
    TFeedsList custom = MakeList({{"http://c0/", true}});
    std::vector<TFeedMenuEntry> entries = BuildFeedMenuEntries(defaults, custom);
    ASSERT_EQ(entries.size(), 4u);
    for (const TFeedMenuEntry& e : entries) {
        EXPECT_EQ(e.ManualHotkeys, e.IsSeparator()) << e.Caption;
        if (e.IsSeparator()) {
            EXPECT_EQ(e.Caption, "-");
        } else {
            EXPECT_EQ(e.Hint, "");
        }
    }
    EXPECT_TRUE(entries[1].Custom);
    EXPECT_FALSE(entries[3].Custom);
}

struct NextCase {
    const char* current;
    const char* expected;  // nullptr: no next feed
};

class NextFeedCaptionTable : public ::testing::TestWithParam<NextCase> {
protected:
    // Custom A, B(disabled), C; defaults d0(disabled), d1, d2.
    TFeedsList defaults_ = MakeList({{"http://d0/", false}, {"http://d1/", true}, {"HTTP://d2/", true}});
    TFeedsList custom_ = MakeList({{"http://a/", true}, {"http://b/", false}, {"http://c/?x=1&y=2", true}});
};

TEST_P(NextFeedCaptionTable, FindsTheFollowingFeed) {
    std::optional<std::string> next = NextFeedCaption(BuildFeedMenuEntries(defaults_, custom_), GetParam().current);
    if (GetParam().expected) {
        ASSERT_TRUE(next) << GetParam().current;
        EXPECT_EQ(*next, GetParam().expected);
    } else {
        EXPECT_FALSE(next) << GetParam().current << " gave " << *next;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Walk, NextFeedCaptionTable,
    ::testing::Values(NextCase{"http://a/", "http://c/?x=1&y=2"},
                      NextCase{"http://c/?x=1&y=2", "http://d1/"},  // skips the separator
                      NextCase{"http://d1/", "HTTP://d2/"},          // "HTTP:" counts in any case
                      NextCase{"HTTP://d2/", "http://a/"},           // last wraps to the first feed
                      NextCase{"http://D1/", "HTTP://d2/"},          // case of the key ignored
                      NextCase{"&http://d1/", "HTTP://d2/"},         // hot-key markers ignored
                      NextCase{"http://c/?x=1y=2", "http://d1/"},    // ... on both sides
                      NextCase{"http://b/", nullptr},                // disabled: not in the menu
                      NextCase{"C:\\feeds\\local.rss", nullptr},     // a file
                      NextCase{"", nullptr},
                      NextCase{"-", "http://a/"}));                  // a separator's caption still matches

TEST(NextFeedCaption, SingleFeedSelectsItselfAndHttpsCounts) {
    TFeedsList defaults = MakeList({{"https://only/", true}});
    TFeedsList custom;
    std::optional<std::string> next = NextFeedCaption(BuildFeedMenuEntries(defaults, custom), "https://only/");
    ASSERT_TRUE(next);
    EXPECT_EQ(*next, "https://only/");
}

TEST(NextFeedCaption, NoWebFeedEndsAfterOneCycle) {
    TFeedsList defaults = MakeList({{"ftp://x/", true}, {"file.rss", true}});
    TFeedsList custom;
    EXPECT_FALSE(NextFeedCaption(BuildFeedMenuEntries(defaults, custom), "ftp://x/"));
}

}  // namespace
}  // namespace tw
