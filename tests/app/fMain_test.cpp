// The main window's start-up, layout and shutdown, with a stand-in window and settings file.
#include "app/WiredMainWindow.h"

namespace tw::test {
namespace {

// The main window's own steps; a detector is wired in as on the platform, and stays quiet.
using MainWindow = WiredMainWindow;

TEST_F(MainWindow, StartsWithDefaultsWhenThereIsNoSettingsFile) {
    auto form = Make();
    form->FormCreate(Dir());
    EXPECT_EQ(form->ConfigFile(), Dir() + "app.config");
    EXPECT_EQ(form->FeedUrl(), DefaultFeedUrls[1]);
    EXPECT_EQ(form->DefaultUrl(), DefaultFeedUrls[1]);
    EXPECT_FALSE(form->Creating());
    // Start-up ends with a load of the current address.
    // The load runs on its own thread and its result waits for the main thread to take it (a
    // message loop, or natively the main-thread queue), which these tests never do.
    EXPECT_TRUE(form->Loading());
    EXPECT_TRUE(form->FirstRun()) << "no load has finished yet";
    EXPECT_EQ(form->Bar().TitleCaption, "Tidewire 1.1");
    EXPECT_EQ(form->lblTicker().Text(), "Loading RSS...");
    EXPECT_EQ(view.tickerTexts, std::vector<std::string>{"Loading RSS..."}) << "the window's text follows from the start";
    EXPECT_EQ(form->Settings().DefaultFeeds.size(), 14u);
    EXPECT_TRUE(form->Settings().CustomFeeds.empty());
    EXPECT_EQ(form->ReloadInterval(), 300000);
    EXPECT_TRUE(form->ReloadTimerEnabled());
    ASSERT_FALSE(view.reloadTimers.empty());
    EXPECT_EQ(view.reloadTimers.back(), 300000);

    const TScrollingText& ticker = form->lblTicker();
    EXPECT_EQ(ticker.Speed(), 25);
    EXPECT_EQ(ticker.PixelJump, 1);
    EXPECT_TRUE(ticker.Visible());
    EXPECT_TRUE(ticker.Enabled());
    EXPECT_TRUE(ticker.ShowHint());
    EXPECT_EQ(ticker.Font(), (TFont{"Tahoma", 8, 15136255, 0}));
    EXPECT_EQ(ticker.BackgroundColor(), 4207659u);
    EXPECT_EQ(ticker.Layout(), tlBottom);
    EXPECT_EQ(ticker.TextDirection(), tdRightToLeft);
    EXPECT_FALSE(std::filesystem::exists(dir / "app.config")) << "start-up must not write";
}

TEST_F(MainWindow, LayoutTickerPlacesArrowsAndTickerAlongTheBar) {
    auto form = Make();
    form->FormCreate(Dir());
    const TBarPicture bar = form->Bar();
    const int title = int(bar.TitleCaption.size()) * view.pixelsPerChar;
    EXPECT_EQ(bar.TitleCaption, "Tidewire 1.1");  // the first load is still running
    EXPECT_EQ(bar.Start.Left, 5);
    EXPECT_EQ(bar.Start.Top, 1);
    EXPECT_EQ(bar.Title.Width(), title);
    EXPECT_EQ(bar.PrevItem.Left, 32 + title + 5);
    EXPECT_EQ(bar.PrevItem.Top, 4);
    EXPECT_EQ(bar.NextItem.Left, 1024 - 16 - 5);
    const TScrollingText& ticker = form->lblTicker();
    EXPECT_EQ(ticker.Left(), bar.PrevItem.Right);
    EXPECT_EQ(ticker.Width(), bar.NextItem.Left - ticker.Left());
    EXPECT_EQ(ticker.Top(), 12);
    EXPECT_EQ(ticker.Height(), 11);
}

TEST_F(MainWindow, OnADenserDisplayEverySizeOfTheBarScales) {
    view.dpi = view.systemDpi = 144;
    WriteConfig("[Global]\r\nTicker_Font_Size=10\r\n");
    auto form = Make();
    form->FormCreate(Dir());
    const auto at = [](const Rect& i) { return std::vector<int>{i.Left, i.Top, i.Width(), i.Height()}; };
    const TBarPicture bar = form->Bar();
    const int title = bar.Title.Width();
    EXPECT_EQ(at(bar.Start), (std::vector<int>{8, 2, 33, 33}));
    EXPECT_EQ(at(bar.Title), (std::vector<int>{48, 8, title, 20}));
    EXPECT_EQ(at(bar.PrevItem), (std::vector<int>{48 + title + 8, 6, 24, 24}));
    EXPECT_EQ(at(bar.NextItem), (std::vector<int>{1024 - 24 - 8, 6, 24, 24}));
    const TScrollingText& ticker = form->lblTicker();
    EXPECT_EQ(std::vector<int>({ticker.Left(), ticker.Top(), ticker.Height()}),
              (std::vector<int>{bar.PrevItem.Right, 18, 17}));
    EXPECT_EQ(ticker.Font().Size, 10) << "the system already turns points into pixels at 144";

    // Moved to a display of 192 while the system stays at 144: the ticker's points scale by 4/3,
    // the setting does not.
    view.dpi = 192;
    form->DisplayDpiChanged();
    EXPECT_EQ(at(form->Bar().Start), (std::vector<int>{10, 2, 44, 44}));
    EXPECT_EQ(std::vector<int>({ticker.Top(), ticker.Height()}), (std::vector<int>{24, 22}));
    EXPECT_EQ(ticker.Font().Size, 13);
    EXPECT_EQ(form->TickerFont().Size, 10);
    ASSERT_TRUE(form->ApplySettings(form->Settings()));
    EXPECT_EQ(Config().ReadString("Global", "Ticker_Font_Size", ""), "10");

    // A font the configuration dialog sets is the new setting, shown scaled.
    TMainSettings settings = form->Settings();
    settings.TickerFont = TFont{"Arial", 9, 0, 0};
    ASSERT_TRUE(form->ApplySettings(settings));
    EXPECT_EQ(Config().ReadString("Global", "Ticker_Font_Size", ""), "9");
    EXPECT_EQ(ticker.Font().Size, 12);
    EXPECT_EQ(form->TickerFont().Name, "Arial");
}

TEST_F(MainWindow, LongerTitleMovesTheLeftEdgeOnly) {
    auto form = Make();
    form->FormCreate(Dir());
    const TBarPicture before = form->Bar();
    const int tickerLeft = form->lblTicker().Left();
    const int tickerWidth = form->lblTicker().Width();

    form->OpenFeedFile(WriteFeed("long.rss", "A channel with a much longer title"));
    const TBarPicture after = form->Bar();
    ASSERT_EQ(after.TitleCaption, "A channel with a much longer title");
    const int grown = view.MeasureTitle(after.TitleCaption) - view.MeasureTitle(before.TitleCaption);
    EXPECT_EQ(after.PrevItem.Left, before.PrevItem.Left + grown);
    EXPECT_EQ(form->lblTicker().Left(), tickerLeft + grown);
    EXPECT_EQ(form->lblTicker().Width(), tickerWidth - grown);
    EXPECT_EQ(after.NextItem.Left, before.NextItem.Left);
}

TEST_F(MainWindow, ATitleWiderThanTheScreenLeavesNoTickerButNoFault) {
    auto form = Make();
    form->FormCreate(Dir());
    form->OpenFeedFile(WriteFeed("wide.rss", std::string(200, 'W')));  // 1400 pixels on a 1024-pixel work area
    EXPECT_EQ(form->lblTicker().Width(), 0);
    EXPECT_EQ(form->Bar().NextItem.Left, 1024 - 21);
    const std::size_t shown = view.tickerTexts.size();
    for (int i = 0; i < 50; ++i) ticker->Tick();
    EXPECT_GT(view.tickerTexts.size(), shown) << "the ticker still finishes its passes, so items keep advancing";

    form->OpenFeedFile(WriteFeed("short.rss", "Short"));
    EXPECT_EQ(form->lblTicker().Width(), 1024 - 21 - form->lblTicker().Left());
}

TEST_F(MainWindow, LayoutAfterStartUpKeepsTheSpeed) {
    WriteConfig("[Global]\r\nTicker_Speed=50\r\n");
    auto form = Make();
    form->FormCreate(Dir());
    ASSERT_EQ(form->lblTicker().Speed(), 50);
    view.workAreaWidth = 800;  // the display resolution changed
    form->LayoutTicker();
    EXPECT_EQ(form->lblTicker().Speed(), 50);
    EXPECT_EQ(form->Bar().NextItem.Left, 800 - 21);
    EXPECT_EQ(form->lblTicker().Width(), 800 - 21 - form->lblTicker().Left());
}

TEST_F(MainWindow, StoredSpeedAndFontReachTheTicker) {
    const struct {
        const char* speed;
        int expectedSpeed, expectedJump;
    } cases[] = {{"10", 10, 2}, {"15", 15, 1}, {"35", 35, 1}, {"0", 25, 1}};
    for (const auto& c : cases) {
        WriteConfig(std::string("[Global]\r\nTicker_Speed=") + c.speed +
                    "\r\nTicker_Font_Name=Verdana\r\nTicker_Font_Size=9\r\nTicker_Font_Color=255\r\n"
                    "Ticker_Font_Style=11\r\n");
        auto form = Make();
        form->FormCreate(Dir());
        EXPECT_EQ(form->lblTicker().Speed(), c.expectedSpeed) << c.speed;
        EXPECT_EQ(form->lblTicker().PixelJump, c.expectedJump) << c.speed;
        EXPECT_EQ(form->lblTicker().Font(), (TFont{"Verdana", 9, 255, fsBold | fsItalic})) << c.speed;
        EXPECT_FALSE(form->FirstRun());
    }
}

TEST_F(MainWindow, ClosingWritesTheFeedStateOnce) {
    auto form = Make();
    form->FormCreate(Dir());
    form->FormDestroy();
    EXPECT_EQ(Config().ReadSection("Global"),
              (std::vector<std::string>{"Url=" + std::string(DefaultFeedUrls[1]), "Reload_Time=5", "Paused=0"}));
    EXPECT_TRUE(Config().ReadSection("Default Urls").empty());
    EXPECT_TRUE(Config().ReadSection("Custom Urls").empty());
    EXPECT_TRUE(form->Settings().CustomFeeds.empty());
    EXPECT_TRUE(form->Settings().DefaultFeeds.empty());

    std::filesystem::remove(dir / "app.config");
    form->FormDestroy();
    EXPECT_FALSE(std::filesystem::exists(dir / "app.config"));
}

TEST_F(MainWindow, ClosingBeforeTheSettingsWereReadWritesNothing) {
    WriteConfig("[Global]\r\nUrl=http://mine/\r\nReload_Time=30\r\n");
    auto form = Make();
    form->FormDestroy();
    EXPECT_EQ(Config().ReadString("Global", "Url", ""), "http://mine/");
    EXPECT_EQ(Config().ReadString("Global", "Reload_Time", ""), "30");
}

TEST_F(MainWindow, StoredStateSurvivesARun) {
    WriteConfig("[Global]\r\nUrl=http://mine/\r\nReload_Time=0\r\n[Custom Urls]\r\nDisabled=0\r\nUrl_0=http://a/\r\nUrl_1=http://b/\r\n");
    auto form = Make();
    form->FormCreate(Dir());
    EXPECT_EQ(form->FeedUrl(), "http://mine/");
    EXPECT_EQ(form->ReloadInterval(), 0);
    EXPECT_EQ(view.reloadTimers.back(), 0) << "a period of 0 stops the timer";
    EXPECT_EQ(form->Settings().CustomFeeds, (std::vector<TConfigLink>{{"http://a/", false}, {"http://b/", true}}));
    form->FormDestroy();
    EXPECT_EQ(Config().ReadString("Global", "Reload_Time", ""), "0");
    EXPECT_EQ(Config().ReadSection("Custom Urls"),
              (std::vector<std::string>{"Disabled=0", "Url_0=http://a/", "Url_1=http://b/"}));
}

TEST_F(MainWindow, SaveSettingsWritesWhatTheWindowHolds) {
    WriteConfig("[Global]\r\nTicker_Speed=10\r\nTicker_Font_Style=10\r\n[Default Urls]\r\nDisabled=0,13\r\n");
    auto form = Make();
    form->FormCreate(Dir());
    ASSERT_TRUE(form->ApplySettings(form->Settings()));
    EXPECT_EQ(Config().ReadString("Global", "Ticker_Speed", ""), "10");
    EXPECT_EQ(Config().ReadString("Global", "Ticker_Font_Style", ""), "10");
    EXPECT_EQ(Config().ReadString("Default Urls", "Disabled", ""), "0,13");
    EXPECT_EQ(Config().ReadString("Global", "Url", "missing"), "missing");
}

TEST_F(MainWindow, EndOfSessionClosesTheProgramAndAllowsIt) {
    auto form = Make();
    form->FormCreate(Dir());
    EXPECT_TRUE(form->QueryEndSession());
    EXPECT_EQ(view.terminated, 1);
}

TEST_F(MainWindow, MouseOverTheTickerBringsTheProgramForward) {
    auto form = Make();
    form->FormCreate(Dir());
    ticker->MouseMove(0, 5, 5);
    EXPECT_EQ(view.broughtToFront, 0);
    view.foreground = false;
    ticker->MouseMove(0, 6, 5);
    EXPECT_EQ(view.broughtToFront, 1);
}

}  // namespace
}  // namespace tw::test
