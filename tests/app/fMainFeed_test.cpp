// The main window with its feed component, rotation and connection detector wired in: the file
// given on the command line, the ticker's text reaching the window, clicks, and the detector.
// Every start here loads a file, so no transfer runs on either platform.
#include "app/WiredMainWindow.h"

namespace tw::test {
namespace {

TEST_F(WiredMainWindow, TheFeedComponentIsSetUpForTheProgram) {
    auto form = Make();
    EXPECT_EQ(form->Feed().HTTPAgent(), "Tidewire/1.1 (+https://tidewire.example.org/)");
    EXPECT_TRUE(form->Feed().PoliteClient());
    EXPECT_EQ(form->Feed().WaitTimeout(), 5000u);
    EXPECT_EQ(form->Feed().AcceptedFormats, TpkRSSFeedFormats::All()) << "the ticker reads Atom and RSS 1.0";
}

TEST(TfrMain, ReloadPeriodFromTheTestHook) {
    const struct {
        const char* text;
        std::optional<int> seconds;
    } cases[] = {{nullptr, std::nullopt}, {"", std::nullopt}, {"2", 2},         {"86400", 86400},
                 {"0", std::nullopt},     {"-5", std::nullopt}, {"86401", std::nullopt}, {"2s", std::nullopt},
                 {" 2", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(ReloadSecondsHook(c.text), c.seconds) << (c.text ? c.text : "null");
}

TEST_F(WiredMainWindow, AFileOnTheCommandLineIsShownWithoutANetworkLoad) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile(), "ignored"});
    EXPECT_EQ(view.animationStarts, 0) << "a network load was started";
    EXPECT_EQ(form->Bar().TitleCaption, "Cartoons & More");
    EXPECT_EQ(form->Bar().TitleHint, "Go to: http://cartoons.example/");
    EXPECT_EQ(form->lblTicker().Text(), "1/3    Tom & Jerry");
    ASSERT_FALSE(view.tickerTexts.empty());
    EXPECT_EQ(view.tickerTexts.back(), "1/3    Tom & Jerry");
    // The current address stays what the settings say.
    EXPECT_EQ(form->FeedUrl(), DefaultFeedUrls[1]);
}

TEST_F(WiredMainWindow, ScrollingTheTextThroughStepsToTheNextItem) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    ASSERT_TRUE(ticker->OnTextScrolled);
    ticker->OnTextScrolled(*ticker);
    EXPECT_EQ(view.tickerTexts.back(), "2/3    It\xE2\x80\x99s a cat show");
    form->StepToPreviousItem();
    EXPECT_EQ(view.tickerTexts.back(), "1/3    Tom & Jerry");
}

TEST_F(WiredMainWindow, ClicksOpenTheItemAndChannelLinks) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    ASSERT_TRUE(ticker->OnClick);
    ticker->OnClick(*ticker);
    form->OpenChannelLink();
    EXPECT_EQ(view.links, (std::vector<std::string>{"http://cartoons.example/tom", "http://cartoons.example/"}));
}

TEST_F(WiredMainWindow, PollingStartsWhenTheWindowIsShown) {
    auto form = Make();
    ASSERT_EQ(hostLog.checks.size(), 1u) << "the initial check runs while the components are made";
    form->FormCreate(Dir(), {FeedFile()});
    EXPECT_FALSE(hostLog.timerEnabled);
    form->FormShow();
    EXPECT_TRUE(hostLog.timerEnabled);
    ASSERT_NE(hostLog.detector, nullptr);
    EXPECT_TRUE(hostLog.detector->Enabled());
}

TEST_F(WiredMainWindow, AReturningConnectionLeavesShownItemsAlone) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    form->FormShow();
    TNetDetect& detector = *hostLog.detector;
    detector.CheckDone(hostLog.checks[0], false);
    detector.Tick();
    detector.CheckDone(detector.LastCheckId(), true);
    EXPECT_EQ(view.animationStarts, 0);
    EXPECT_EQ(form->lblTicker().Text(), "1/3    Tom & Jerry");
}

TEST_F(WiredMainWindow, ProxyAccessFollowsTheModemConnection) {
    for (const bool modem : {false, true}) {
        RecordingView fresh;
        fresh.modem = modem;
        view = fresh;
        auto form = Make();
        form->FormCreate(Dir(), {FeedFile()});
        EXPECT_EQ(form->Feed().HTTPProxy().AccessType, modem ? atDirect : atPreconfig);
    }
}

TEST_F(WiredMainWindow, TheAddressShownIsTheOneWrittenAtExit) {
    WriteConfig("[Global]\r\nUrl=http://127.0.0.1:1/a.xml\r\nReload_Time=0\r\n");
    {
        auto form = Make();
        form->FormCreate(Dir(), {FeedFile()});
        form->ShowFeed("http://127.0.0.1:1/b.xml");
        form->FormDestroy();
    }
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    EXPECT_EQ(form->FeedUrl(), "http://127.0.0.1:1/b.xml");
}

}  // namespace
}  // namespace tw::test
