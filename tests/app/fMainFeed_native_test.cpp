// The main window's network loads, natively: there every transfer fails on its worker at once,
// so the first load that ends start-up, the reload timer and a returning connection end as soon
// as the test pumps their events.
#include "app/WiredMainWindow.h"
#include "support/MessagePump.h"

namespace tw::test {
namespace {

// Lets the form's transfer under way end and its events arrive.
void Settle(TfrMain& form) { ASSERT_TRUE(PumpUntil([&] { return !form.Feed().HTTP().Busy(); })); }

TEST_F(WiredMainWindow, StartUpEndsWithALoadOfTheCurrentAddress) {
    WriteConfig("[Global]\r\nUrl=http://127.0.0.1:1/feed.xml\r\nMax_Showing_Items=2\r\nAuto_Url_Jump=1\r\n");
    auto form = Make();
    form->FormCreate(Dir());
    Settle(*form);
    // Natively no transfer reaches a network: the load fails on its worker and the bar shows
    // the failure state instead of staying "loading".
    EXPECT_EQ(form->FeedUrl(), "http://127.0.0.1:1/feed.xml");
    EXPECT_FALSE(form->Loading());
    EXPECT_FALSE(form->FirstRun()) << "the first finished load had the welcome balloon's turn";
    EXPECT_EQ(view.animationStarts, 1);
    EXPECT_EQ(view.animationStops, 1);
    EXPECT_EQ(form->Bar().TitleCaption, "N/A");
    EXPECT_EQ(form->lblTicker().Text(), kNoItemsText);
    ASSERT_FALSE(view.tickerTexts.empty());
    EXPECT_EQ(view.tickerTexts.back(), kNoItemsText);
    // The rotation reads the stored settings.
    EXPECT_EQ(form->Settings().Rotation, (TRotationSettings{2, true}));
    EXPECT_FALSE(form->FeedMenu().empty());
}

TEST_F(WiredMainWindow, ACommandLineArgumentThatIsNoFileLoadsTheCurrentAddress) {
    for (const std::string& argument : {std::string("/no/such/file.rss"), Dir(), std::string()}) {
        RecordingView fresh;
        view = fresh;
        auto form = Make();
        form->FormCreate(Dir(), {argument});
        Settle(*form);
        EXPECT_EQ(view.animationStarts, 1) << argument;
        EXPECT_EQ(form->Bar().TitleCaption, "N/A") << argument;
    }
}

TEST_F(WiredMainWindow, TheReloadTimerReloadsTheFeed) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    form->OnReloadTimer();
    Settle(*form);
    EXPECT_EQ(view.animationStarts, 1);
    EXPECT_EQ(form->Bar().TitleCaption, "N/A");  // the default address cannot be reached natively
}

TEST_F(WiredMainWindow, AReturningConnectionReloadsAFailedFeed) {
    auto form = Make();
    form->FormCreate(Dir());
    form->FormShow();
    Settle(*form);
    TNetDetect& detector = *hostLog.detector;
    detector.CheckDone(hostLog.checks[0], false);  // initial: offline
    const int starts = view.animationStarts;
    const std::size_t timerChanges = view.reloadTimers.size();
    detector.Tick();
    detector.CheckDone(detector.LastCheckId(), true);  // back
    Settle(*form);
    EXPECT_EQ(view.animationStarts, starts + 1) << "the failed feed was not reloaded";
    ASSERT_GT(view.reloadTimers.size(), timerChanges);
    EXPECT_EQ(view.reloadTimers.back(), 300000) << "the reload timer's period starts again";
}

}  // namespace
}  // namespace tw::test
