#include "app/FeedRotation.h"

#include <gtest/gtest.h>

#include <map>

#include "app/FeedRotationDoubles.h"

namespace tw {
namespace {

using test::FakeItem;
using test::RecordingTickerView;
using test::ScriptedFeed;

class FeedRotationTest : public ::testing::Test {
protected:
    FeedRotationTest() : rotation_(view_, feed_) {
        feed_.url = "http://127.0.0.1/feed1";
    }
    // A network load of `n` numbered items, started and finished.
    void LoadItems(int n) {
        rotation_.ReloadFeed();
        feed_.SetNumberedItems(n);
        rotation_.RSSHandlerRSSLoaded();
    }
    // The quick start menu with custom feeds c1, c2 and default feeds d1 (disabled), d2.
    void UseMenu() {
        TFeedsList defaults, custom;
        custom.Add("http://127.0.0.1/feed1", true);
        custom.Add("http://127.0.0.1/feed2", true);
        defaults.Add("http://127.0.0.1/d1", false);
        defaults.Add("http://127.0.0.1/d2", true);
        rotation_.SetFeedMenu(BuildFeedMenuEntries(defaults, custom));
    }
    std::vector<std::string> Scroll(int passes) {
        std::vector<std::string> seen;
        for (int i = 0; i < passes; ++i) {
            rotation_.lblTickerTextScrolled();
            seen.push_back(view_.tickerText);
        }
        return seen;
    }

    RecordingTickerView view_;
    ScriptedFeed feed_;
    TFeedRotation rotation_;
};

using Texts = std::vector<std::string>;

TEST_F(FeedRotationTest, ReloadShowsTheAnimationAndLeavesTheTextAlone) {
    rotation_.ReloadFeed();
    EXPECT_TRUE(rotation_.Loading());
    EXPECT_TRUE(view_.animating);
    EXPECT_EQ(feed_.requestedUrls, Texts{"http://127.0.0.1/feed1"});
    EXPECT_EQ(view_.tickerText, "Loading RSS...");
    rotation_.UpdateTickerText();
    EXPECT_TRUE(view_.shownTexts.empty());
}

TEST_F(FeedRotationTest, LoadedFeedShowsPositionCountAndTitle) {
    feed_.channelTitle = "  \t Daily News\r\n";
    feed_.channelLink = "http://news.example/";
    LoadItems(4);
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_FALSE(view_.animating);
    EXPECT_EQ(view_.titleCaption, "Daily News");
    EXPECT_EQ(view_.titleHint, "Go to: http://news.example/");
    EXPECT_EQ(view_.tickerText, "1/4    Item 1");
    EXPECT_EQ(view_.tickerHint, "About 1\r\n\r\nClick to read this article from the source\r\nhttp://host/1");
    EXPECT_GE(view_.layouts, 1);
}

struct MaxCase {
    int maxShowing;
    int items;
    Texts expected;  // after each of four scroll passes
};

class ShowingItems : public FeedRotationTest, public ::testing::WithParamInterface<MaxCase> {};

TEST_P(ShowingItems, ScrollPassesStepAndWrap) {
    rotation_.SetSettings({GetParam().maxShowing, false});
    LoadItems(GetParam().items);
    EXPECT_EQ(Scroll(static_cast<int>(GetParam().expected.size())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShowingItems,
    ::testing::Values(
        MaxCase{3, 10, {"2/3    Item 2", "3/3    Item 3", "1/3    Item 1", "2/3    Item 2"}},
        MaxCase{20, 10, {"2/10    Item 2", "3/10    Item 3", "4/10    Item 4", "5/10    Item 5"}},
        MaxCase{0, 2, {"2/2    Item 2", "1/2    Item 1", "2/2    Item 2", "1/2    Item 1"}},
        MaxCase{10, 10, {"2/10    Item 2", "3/10    Item 3", "4/10    Item 4", "5/10    Item 5"}},
        MaxCase{1, 5, {"1/1    Item 1", "1/1    Item 1", "1/1    Item 1", "1/1    Item 1"}}));

TEST_F(FeedRotationTest, TenOfTenWrapsAfterTheTenth) {
    LoadItems(10);
    Texts seen = Scroll(10);
    EXPECT_EQ(seen[8], "10/10    Item 10");
    EXPECT_EQ(seen[9], "1/10    Item 1");
}

TEST_F(FeedRotationTest, PreviousOnTheFirstItemGoesToTheLastShown) {
    rotation_.SetSettings({3, false});
    LoadItems(10);
    rotation_.imgPrevRssItemClick();
    EXPECT_EQ(view_.tickerText, "3/3    Item 3");
    rotation_.imgPrevRssItemClick();
    EXPECT_EQ(view_.tickerText, "2/3    Item 2");
    rotation_.imgNextRssItemClick();
    EXPECT_EQ(view_.tickerText, "3/3    Item 3");
}

TEST_F(FeedRotationTest, AutoJumpLoadsTheNextMenuFeedAfterTheLastShownItem) {
    UseMenu();
    rotation_.SetSettings({3, true});
    LoadItems(10);
    Scroll(2);
    EXPECT_EQ(view_.tickerText, "3/3    Item 3");
    int restarts = view_.timerRestarts;
    rotation_.lblTickerTextScrolled();
    EXPECT_EQ(feed_.url, "http://127.0.0.1/feed2");
    EXPECT_EQ(feed_.requestedUrls.back(), "http://127.0.0.1/feed2");
    EXPECT_TRUE(rotation_.Loading());
    EXPECT_EQ(view_.tickerText, "3/3    Item 3");  // the old text scrolls on meanwhile
    EXPECT_EQ(view_.timerRestarts, restarts);      // a jump keeps the reload period
}

TEST_F(FeedRotationTest, AutoJumpFromTheLastMenuEntryGoesToTheFirstFeed) {
    UseMenu();
    rotation_.SetSettings({0, true});
    feed_.url = "http://127.0.0.1/d2";
    LoadItems(1);
    rotation_.lblTickerTextScrolled();
    EXPECT_EQ(feed_.url, "http://127.0.0.1/feed1");
    EXPECT_TRUE(rotation_.Loading());
}

TEST_F(FeedRotationTest, AutoJumpWithAnAddressNotInTheMenuWrapsTheSameFeed) {
    UseMenu();
    rotation_.SetSettings({2, true});
    feed_.url = "http://127.0.0.1/d1";  // disabled, so not in the menu
    LoadItems(5);
    EXPECT_EQ(Scroll(2), (Texts{"2/2    Item 2", "1/2    Item 1"}));
    EXPECT_EQ(feed_.url, "http://127.0.0.1/d1");
    EXPECT_EQ(feed_.requestedUrls.size(), 1u);
    EXPECT_FALSE(rotation_.Loading());
}

// A pass that ended during a load used to move the address on while the load could not start:
// the old feed's items then showed under the next feed's address and that feed was skipped.
TEST_F(FeedRotationTest, APassEndingWhileALoadRunsWrapsAndTheNextJumpReachesTheNextFeed) {
    UseMenu();
    rotation_.SetSettings({2, true});
    LoadItems(3);
    rotation_.tmrReloadTimer();
    feed_.startResult = ScriptedFeed::StartResult::Busy;  // its transfer runs: no other can start
    Scroll(2);  // the second pass ends past the last shown item
    EXPECT_EQ(feed_.url, "http://127.0.0.1/feed1");
    feed_.SetNumberedItems(3);
    rotation_.RSSHandlerRSSLoaded();
    feed_.startResult = ScriptedFeed::StartResult::Started;
    EXPECT_EQ(Scroll(2), (Texts{"2/2    Item 2", "2/2    Item 2"}));  // the jump's old text scrolls on
    EXPECT_EQ(feed_.requestedUrls, (Texts{"http://127.0.0.1/feed1", "http://127.0.0.1/feed1", "http://127.0.0.1/feed2"}));
}

TEST_F(FeedRotationTest, ArrowsDuringALoadMoveTheItemWithoutShowingIt) {
    LoadItems(5);
    rotation_.ReloadFeed();
    rotation_.imgNextRssItemClick();
    rotation_.imgNextRssItemClick();
    EXPECT_EQ(view_.tickerText, "1/5    Item 1");
    EXPECT_EQ(rotation_.CurrentItemIndex(), 2);
}

TEST_F(FeedRotationTest, HttpFailureShowsTheFailureState) {
    LoadItems(3);
    rotation_.ReloadFeed();
    rotation_.RSSHandlerHTTPError();
    rotation_.RSSHandlerRSSLoadError();  // every failure ends with the load error too
    EXPECT_EQ(view_.titleCaption, "N/A");
    EXPECT_EQ(view_.titleHint, "");
    EXPECT_EQ(view_.tickerText, "Cannot retrieve feeds from the current address for this time!");
    EXPECT_EQ(view_.tickerHint, "Invalid url or server does not responding!");
    EXPECT_EQ(feed_.ItemCount(), 0);
    EXPECT_FALSE(rotation_.CurrentItem());
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_FALSE(view_.animating);
}

TEST_F(FeedRotationTest, EveryFailureEventLeadsToTheSameState) {
    using Handler = void (TFeedRotation::*)();
    for (Handler h : {&TFeedRotation::RSSHandlerRSSLoadError, &TFeedRotation::RSSHandlerRSSParseError,
                      &TFeedRotation::RSSHandlerRSSNotRSSError, &TFeedRotation::RSSHandlerHTTPError}) {
        LoadItems(2);
        ASSERT_EQ(view_.tickerText, "1/2    Item 1");
        (rotation_.*h)();
        EXPECT_EQ(view_.titleCaption, "N/A");
        EXPECT_EQ(view_.tickerText, "Cannot retrieve feeds from the current address for this time!");
        EXPECT_EQ(feed_.ItemCount(), 0);
    }
}

TEST_F(FeedRotationTest, FailedFeedNeverJumpsAway) {
    UseMenu();
    rotation_.SetSettings({0, true});
    rotation_.ReloadFeed();
    rotation_.RSSHandlerHTTPError();
    for (int i = 0; i < 3; ++i) rotation_.lblTickerTextScrolled();
    rotation_.imgPrevRssItemClick();
    EXPECT_EQ(feed_.requestedUrls.size(), 1u);
    EXPECT_EQ(view_.tickerText, "Cannot retrieve feeds from the current address for this time!");
}

TEST_F(FeedRotationTest, ReturningConnectionReloadsAFailedFeedOnce) {
    rotation_.ReloadFeed();
    rotation_.RSSHandlerHTTPError();
    rotation_.netDetectConnectionStatusChanged(true);
    EXPECT_EQ(feed_.requestedUrls.size(), 2u);
    EXPECT_EQ(view_.timerRestarts, 1);
    EXPECT_TRUE(rotation_.Loading());
    rotation_.netDetectConnectionStatusChanged(true);  // already loading: nothing more
    EXPECT_EQ(feed_.requestedUrls.size(), 2u);
}

TEST_F(FeedRotationTest, ConnectionEventsThatChangeNothing) {
    rotation_.ReloadFeed();
    rotation_.RSSHandlerHTTPError();
    rotation_.netDetectConnectionStatusChanged(false);  // a lost connection changes nothing
    EXPECT_EQ(feed_.requestedUrls.size(), 1u);
    LoadItems(2);
    size_t requests = feed_.requestedUrls.size();
    rotation_.netDetectConnectionStatusChanged(true);  // items shown: nothing
    EXPECT_EQ(feed_.requestedUrls.size(), requests);
    EXPECT_EQ(view_.timerRestarts, 0);
    EXPECT_EQ(view_.tickerText, "1/2    Item 1");
}

TEST_F(FeedRotationTest, TitlesKeepEscapedAmpersandsAndDecodeNumericReferences) {
    rotation_.ReloadFeed();
    feed_.SetItems({{"Tom & Jerry", "http://x/1", ""}, {"It&#8217;s <b>here</b>", "http://x/2", ""}});
    rotation_.RSSHandlerRSSLoaded();
    EXPECT_EQ(view_.tickerText, "1/2    Tom & Jerry");
    rotation_.imgNextRssItemClick();
    EXPECT_EQ(view_.tickerText, "2/2    It\xE2\x80\x99s here");
}

TEST_F(FeedRotationTest, DescriptionLineBreaksReachTheHint) {
    rotation_.ReloadFeed();
    feed_.SetItems({{"T", "http://x/", "Line one<br>Line two</p>"}});
    rotation_.RSSHandlerRSSLoaded();
    EXPECT_EQ(view_.tickerHint, "Line one\r\nLine two\r\n\r\nClick to read this article from the source\r\nhttp://x/");
}

TEST_F(FeedRotationTest, ClicksBeforeAnyLoadOpenNothing) {
    rotation_.lblTickerClick();
    rotation_.lblTitleClick();
    EXPECT_TRUE(view_.openedLinks.empty());
    rotation_.ReloadFeed();  // start-up's first load, not finished yet
    rotation_.lblTickerClick();
    rotation_.lblTitleClick();
    rotation_.imgNextRssItemClick();
    rotation_.imgPrevRssItemClick();
    rotation_.lblTickerTextScrolled();
    EXPECT_TRUE(view_.openedLinks.empty());
    EXPECT_TRUE(view_.shownTexts.empty());
    EXPECT_EQ(view_.tickerText, "Loading RSS...");
}

struct LinkCase {
    const char* link;
    const char* opened;  // nullptr: nothing is opened
};

class ItemLinks : public FeedRotationTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(ItemLinks, OnlyWebAddressesAreOpened) {
    rotation_.ReloadFeed();
    feed_.SetItems({{"T", GetParam().link, ""}});
    rotation_.RSSHandlerRSSLoaded();
    rotation_.lblTickerClick();
    if (GetParam().opened) {
        EXPECT_EQ(view_.openedLinks, Texts{GetParam().opened});
    } else {
        EXPECT_TRUE(view_.openedLinks.empty()) << view_.openedLinks[0];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ItemLinks,
    ::testing::Values(LinkCase{"http://news.example/a?b=1&c=2", "http://news.example/a?b=1&c=2"},
                      LinkCase{"HTTP://NEWS.EXAMPLE/", "HTTP://NEWS.EXAMPLE/"},
                      LinkCase{"https://secure.example/", "https://secure.example/"},
                      LinkCase{"\n   http://padded.example/  \n", "http://padded.example/"},
                      LinkCase{"", nullptr},
                      LinkCase{"news.example/a", nullptr},
                      LinkCase{"javascript:alert('http://x')", nullptr},
                      LinkCase{"file:///C:/Windows/system32/calc.exe?http://x", nullptr},
                      LinkCase{"C:\\evil.exe http://x", nullptr}));

TEST_F(FeedRotationTest, TitleClickOpensTheChannelLink) {
    feed_.channelLink = "http://channel.example/home";
    LoadItems(1);
    rotation_.lblTitleClick();
    EXPECT_EQ(view_.openedLinks, Texts{"http://channel.example/home"});
}

TEST_F(FeedRotationTest, TitleClickIgnoresLinksThatAreNotWebAddresses) {
    for (const char* link : {"", "ftp://x/", "mailto:a@b", "channel.example"}) {
        feed_.channelLink = link;
        LoadItems(1);
        rotation_.lblTitleClick();
    }
    EXPECT_TRUE(view_.openedLinks.empty());
    rotation_.RSSHandlerHTTPError();  // failed: the hint is empty
    rotation_.lblTitleClick();
    EXPECT_TRUE(view_.openedLinks.empty());
}

TEST_F(FeedRotationTest, WelcomeBalloonAfterTheFirstFinishedLoadOnly) {
    rotation_.SetFirstRun(true);
    rotation_.ReloadFeed();
    EXPECT_TRUE(view_.balloons.empty());
    rotation_.RSSHandlerHTTPError();
    rotation_.RSSHandlerRSSLoadError();
    LoadItems(1);
    ASSERT_EQ(view_.balloons.size(), 1u);
    EXPECT_EQ(view_.balloons[0],
              "Quick Start Menu!|Click here to start browsing through the rss feeds. You can configure this list "
              "from tray's menu.");
    EXPECT_FALSE(rotation_.FirstRun());
}

TEST_F(FeedRotationTest, NoBalloonWhenNotAFirstRun) {
    LoadItems(1);
    EXPECT_TRUE(view_.balloons.empty());
}

TEST_F(FeedRotationTest, FeedChosenFromTheMenuRestartsTheTimerAndLoads) {
    LoadItems(2);
    rotation_.FeedMenuItemClick("http://127.0.0.1/feed2");
    EXPECT_EQ(feed_.url, "http://127.0.0.1/feed2");
    EXPECT_EQ(feed_.requestedUrls.back(), "http://127.0.0.1/feed2");
    EXPECT_EQ(view_.timerRestarts, 1);
    EXPECT_TRUE(rotation_.Loading());
}

TEST_F(FeedRotationTest, TimerReloadsTheCurrentAddressWithoutRestarting) {
    LoadItems(2);
    rotation_.tmrReloadTimer();
    EXPECT_EQ(feed_.requestedUrls, (Texts{"http://127.0.0.1/feed1", "http://127.0.0.1/feed1"}));
    EXPECT_EQ(view_.timerRestarts, 0);
}

TEST_F(FeedRotationTest, UnchangedFeedKeepsItsItemAndTitleOrWrapsAfterAJump) {
    feed_.channelTitle = "Daily";
    LoadItems(3);
    Scroll(1);
    rotation_.tmrReloadTimer();
    rotation_.RSSHandlerRSSNotModified();
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_FALSE(view_.animating);
    EXPECT_EQ(view_.titleCaption, "Daily");
    EXPECT_EQ(view_.tickerText, "2/3    Item 2");

    TFeedsList defaults, custom;
    custom.Add("http://127.0.0.1/feed1", true);
    rotation_.SetFeedMenu(BuildFeedMenuEntries(defaults, custom));
    rotation_.SetSettings({0, true});  // the only feed: the jump after the last item reloads it
    Scroll(1);
    rotation_.lblTickerTextScrolled();
    ASSERT_TRUE(rotation_.Loading());
    rotation_.RSSHandlerRSSNotModified();
    EXPECT_EQ(view_.tickerText, "1/3    Item 1");
}

TEST_F(FeedRotationTest, LoadThatCannotStartShowsNotAvailable) {
    LoadItems(2);
    feed_.startResult = ScriptedFeed::StartResult::Throws;
    rotation_.ReloadFeed();
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_FALSE(view_.animating);
    EXPECT_EQ(view_.titleCaption, "N/A");
    EXPECT_EQ(view_.titleHint, "");
    EXPECT_EQ(view_.tickerText, "Cannot retrieve feeds from the current address for this time!");
    EXPECT_EQ(feed_.ItemCount(), 0);
}

TEST_F(FeedRotationTest, BusyTransferKeepsTheLoadingStateUntilItsResult) {
    feed_.startResult = ScriptedFeed::StartResult::Busy;
    rotation_.ReloadFeed();
    EXPECT_TRUE(rotation_.Loading());
    feed_.SetNumberedItems(1);
    rotation_.RSSHandlerRSSLoaded();
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_EQ(view_.tickerText, "1/1    Item 1");
}

TEST_F(FeedRotationTest, LoadThatEndsInsideTheCallIsNotLeftLoading) {
    feed_.finishInside = [this] {
        rotation_.RSSHandlerHTTPError();
        rotation_.RSSHandlerRSSLoadError();
    };
    rotation_.ReloadFeed();
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_FALSE(view_.animating);
    EXPECT_EQ(view_.titleCaption, "N/A");
    rotation_.netDetectConnectionStatusChanged(true);  // so the returning connection can reload it
    EXPECT_EQ(feed_.requestedUrls.size(), 2u);
}

TEST_F(FeedRotationTest, EmptyAddressDoesNotLeaveTheTickerLoadingForever) {
    LoadItems(2);
    feed_.url.clear();
    rotation_.ReloadFeed();
    EXPECT_FALSE(rotation_.Loading());
    EXPECT_FALSE(view_.animating);
    rotation_.imgNextRssItemClick();  // the arrows still work on what is shown
    EXPECT_EQ(view_.tickerText, "2/2    Item 2");
}

TEST_F(FeedRotationTest, FeedWithoutItemsShowsTheChannelAndTheNoItemsText) {
    rotation_.ReloadFeed();
    feed_.SetItems({});
    feed_.channelTitle = "Quiet";
    rotation_.RSSHandlerRSSLoaded();
    EXPECT_EQ(view_.titleCaption, "Quiet");
    EXPECT_EQ(view_.tickerText, "Cannot retrieve feeds from the current address for this time!");
    EXPECT_FALSE(rotation_.CurrentItem());
    rotation_.netDetectConnectionStatusChanged(true);  // an empty feed counts as failed
    EXPECT_EQ(feed_.requestedUrls.size(), 2u);
}

TEST_F(FeedRotationTest, LoweredMaximumBringsTheCurrentItemBackIntoRange) {
    LoadItems(10);
    Scroll(6);
    EXPECT_EQ(view_.tickerText, "7/10    Item 7");
    rotation_.SetSettings({3, false});
    rotation_.UpdateTickerText();
    EXPECT_EQ(view_.tickerText, "1/3    Item 1");
}

TEST_F(FeedRotationTest, ReloadedContentStartsAtItsFirstItem) {
    LoadItems(5);
    Scroll(3);
    LoadItems(5);  // new ids: the old current item is gone
    EXPECT_EQ(view_.tickerText, "1/5    Item 1");
    EXPECT_EQ(rotation_.CurrentItemIndex(), 0);
}


// The program's schedule as the rotation sees it: which addresses may be asked, and what a held
// feed shows.
class FakeGate : public IReloadGate {
public:
    bool MayRequest(const std::string& url) override { return !held.count(url); }
    THeld ShowWithoutRequest(const std::string& url) override {
        heldShows.push_back(url);
        const THeld answer = held.at(url);
        if (answer == THeld::Nothing) rotation->SetFailureLine("held: HTTP 429", "next try later");
        return answer;
    }
    void AskAtOnce(const std::string& url) override { held.erase(url); }
    bool NetworkCameBack() override {
        held.clear();
        ++networkBacks;
        return revalidate;
    }
    bool revalidate = true;
    std::map<std::string, THeld> held;
    std::vector<std::string> heldShows;
    int networkBacks = 0;
    TFeedRotation* rotation = nullptr;  // told why a held feed shows nothing
};

class GatedRotationTest : public FeedRotationTest {
protected:
    GatedRotationTest() {
        rotation_.SetReloadGate(&gate_);
        gate_.rotation = &rotation_;
        rotation_.SetMoveOnAfterFailure(true);
        UseMenu();
    }
    FakeGate gate_;
};

TEST_F(GatedRotationTest, AHeldFeedIsNotAskedForAndShowsWhatIsKept) {
    LoadItems(2);
    struct Case {
        IReloadGate::THeld held;
        std::string text;  // the ticker afterwards
    } cases[] = {
        {IReloadGate::THeld::Unchanged, "1/2    Item 1"},
        {IReloadGate::THeld::Nothing, "held: HTTP 429"},
    };
    for (const Case& c : cases) {
        gate_.held[feed_.url] = c.held;
        rotation_.tmrReloadTimer();
        EXPECT_EQ(feed_.requestedUrls.size(), 1u);
        EXPECT_FALSE(rotation_.Loading());
        EXPECT_EQ(view_.tickerText, c.text);
    }
    EXPECT_EQ(view_.tickerHint, "next try later");
    // The user's choice asks at once.
    rotation_.FeedMenuItemClick(feed_.url);
    EXPECT_EQ(feed_.requestedUrls.size(), 2u);
}

TEST_F(GatedRotationTest, AFailedFeedScrollsOnceAndTheRotationMovesOn) {
    rotation_.SetSettings({0, true});
    rotation_.ReloadFeed();
    rotation_.SetFailureLine("This feed has been removed by its publisher", "");
    rotation_.RSSHandlerHTTPError();
    EXPECT_EQ(view_.tickerText, "This feed has been removed by its publisher");
    // The menu loses the failed feed (disabled in the settings): its successor comes next.
    TFeedsList defaults, custom;
    custom.Add("http://127.0.0.1/feed1", false);
    custom.Add("http://127.0.0.1/feed2", true);
    defaults.Add("http://127.0.0.1/d2", true);
    rotation_.SetFeedMenu(BuildFeedMenuEntries(defaults, custom));
    rotation_.lblTickerTextScrolled();
    EXPECT_EQ(feed_.requestedUrls, (Texts{"http://127.0.0.1/feed1", "http://127.0.0.1/feed2"}));
    rotation_.RSSHandlerHTTPError();
    EXPECT_EQ(view_.tickerText, kNoItemsText);  // the next load's failure has the usual line again
    rotation_.lblTickerTextScrolled();
    EXPECT_EQ(feed_.requestedUrls.back(), "http://127.0.0.1/d2");
}

TEST_F(GatedRotationTest, AReturningConnectionReloadsAFeedThatShowsItems) {
    LoadItems(2);
    gate_.held[feed_.url] = IReloadGate::THeld::Unchanged;
    rotation_.netDetectConnectionStatusChanged(false);
    EXPECT_EQ(gate_.networkBacks, 0);
    rotation_.netDetectConnectionStatusChanged(true);
    EXPECT_EQ(gate_.networkBacks, 1);
    EXPECT_EQ(feed_.requestedUrls.size(), 2u);
    // Items that are not the current feed's own (a file) stay.
    rotation_.RSSHandlerRSSLoaded();
    gate_.revalidate = false;
    rotation_.netDetectConnectionStatusChanged(true);
    EXPECT_EQ(gate_.networkBacks, 2);
    EXPECT_EQ(feed_.requestedUrls.size(), 2u);
}

}  // namespace
}  // namespace tw
