#include "app/StartAndTrayMenus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

std::vector<std::string> Captions(const TBarMenuItem& root) {
    std::vector<std::string> out;
    for (int i = 0; i < root.Count(); ++i) {
        const TBarMenuItem& item = root.Items(i);
        out.push_back(item.IsSeparator() ? "-" + item.Hint() : item.Caption() + "#" + std::to_string(item.Tag));
    }
    return out;
}

TEST(StartAndTrayMenus, TrayMenuHoldsTheCommandsInOrderWithTheirPictures) {
    TCustomBarPopupMenu pmTray;
    std::vector<std::string> ran;
    auto log = [&](const char* name) { return [&ran, name] { ran.push_back(name); }; };
    const TTrayMenuEntries entries = BuildTrayMenu(
        pmTray, {log("pause"), log("hide"), log("config"), log("about"), log("help"), log("close")});
    struct Row {
        const char* caption;
        int image;
        const char* command;
    };
    const Row rows[] = {{"Pause ticker", -1, "pause"}, {"Hide ticker", 5, "hide"}, {"-", -1, nullptr},       {"RSS Feeds", 0, nullptr},
                        {"-", -1, nullptr},         {"Configuration...", 1, "config"}, {"-", -1, nullptr},
                        {"About...", 2, "about"},   {"Help", 3, "help"},      {"-", -1, nullptr},
                        {"Close", 4, "close"}};
    const TBarMenuItem& root = pmTray.Items();
    ASSERT_EQ(root.Count(), 11);
    for (int i = 0; i < 11; ++i) {
        TBarMenuItem& item = root.Items(i);
        SCOPED_TRACE(rows[i].caption);
        EXPECT_EQ(item.Caption(), rows[i].caption);
        EXPECT_EQ(item.ImageIndex(), rows[i].image);
        EXPECT_TRUE(item.HandlersInstalled());
        ran.clear();
        item.Click();
        EXPECT_EQ(ran, rows[i].command ? std::vector<std::string>{rows[i].command} : std::vector<std::string>{});
    }
    EXPECT_EQ(entries.Pause, &root.Items(0));
    EXPECT_EQ(entries.HideShow, &root.Items(1));
    EXPECT_EQ(entries.RSSFeeds, &root.Items(3));
    EXPECT_EQ(pmTray.Bar.Width, 18);
}

TEST(StartAndTrayMenus, FeedMenusMirrorTheListsAndChooseByAddress) {
    TFeedsList defaults, custom;
    defaults.Add("http://d0/", true);
    defaults.Add("http://d1/?a=1&b=2", true);
    custom.Add("http://A/", true);
    custom.Add("http://B/", false);
    custom.Add("http://C/", true);
    const auto entries = BuildFeedMenuEntries(defaults, custom);
    std::vector<std::string> chosen;
    auto onFeed = [&](const std::string& url) { chosen.push_back(url); };

    TCustomBarPopupMenu pmRSS;
    ConfigureQuickStartMenu(pmRSS);
    BuildFeedMenu(pmRSS, entries, onFeed);
    BuildFeedMenu(pmRSS, entries, onFeed);  // a rebuild replaces, never appends
    const std::vector<std::string> expected = {"-Custom RSS Links", "http://A/#0", "http://C/#2",
                                               "-Default RSS Links", "http://d0/#0", "http://d1/?a=1&b=2#1"};
    EXPECT_EQ(Captions(pmRSS.Items()), expected);
    EXPECT_EQ(pmRSS.UpdateCount(), 0);
    EXPECT_TRUE(pmRSS.Items().Items(5).HandlersInstalled());
    EXPECT_TRUE(pmRSS.Items().Items(5).NoPrefix);

    TCustomBarPopupMenu pmTray;
    TBarMenuItem& feeds = *BuildTrayMenu(pmTray, {}).RSSFeeds;
    BuildFeedMenu(feeds, entries, onFeed);
    EXPECT_EQ(Captions(feeds), expected);

    pmRSS.Items().Items(5).Click();
    feeds.Items(2).Click();
    pmRSS.Items().Items(0).Click();  // a separator chooses nothing
    EXPECT_EQ(chosen, (std::vector<std::string>{"http://d1/?a=1&b=2", "http://C/"}));
}

TEST(StartAndTrayMenus, HideShowEntryFollowsTheBar) {
    TCustomBarPopupMenu pmTray;
    TBarMenuItem& entry = *BuildTrayMenu(pmTray, {}).HideShow;
    ShowHideEntryFor(entry, false);
    EXPECT_EQ(entry.Caption(), "Show ticker");
    EXPECT_TRUE(entry.Default());
    ShowHideEntryFor(entry, true);
    EXPECT_EQ(entry.Caption(), "Hide ticker");
    EXPECT_FALSE(entry.Default());
}

}  // namespace
}  // namespace tw
