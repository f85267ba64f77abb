// The main window with its feed component, rotation and connection detector wired in: the first
// load that ends start-up, the file given on the command line, the ticker's text reaching the
// window, and the detector's reports reaching the rotation.
#include "app/fMain.h"
#include "config/IniProfileStore.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tw::test {
namespace {

class RecordingView final : public IMainView {
public:
    std::vector<std::string> tickerTexts;  // what the window would keep as the ticker's name
    std::vector<std::string> links;
    int animationStarts = 0;
    int animationStops = 0;
    bool modem = false;
    std::vector<TReloadTimer> timers;

    int WorkAreaWidth() const override { return 1024; }
    int MeasureTitle(const std::string& caption) const override { return int(caption.size()) * 7; }
    void BarChanged() override {}
    void ReloadTimerChanged(const TReloadTimer& t) override { timers.push_back(t); }
    bool IsForeground() const override { return true; }
    void BringToForeground() override {}
    void Terminate() override {}
    void TickerTextChanged(const std::string& text) override { tickerTexts.push_back(text); }
    void StartLoadingAnimation() override { ++animationStarts; }
    void StopLoadingAnimation() override { ++animationStops; }
    void OpenLink(const std::string& url) override { links.push_back(url); }
    bool ModemConnection() const override { return modem; }
};

struct HostLog {
    std::vector<std::uint64_t> checks;
    bool timerEnabled = false;
};

class ScriptedHost final : public INetDetectHost {
public:
    explicit ScriptedHost(HostLog& log) : log_(log) {}
    void Bind(TNetDetect&) override {}
    void SetTimer(bool enabled, int) override { log_.timerEnabled = enabled; }
    void StartCheck(std::uint64_t id, const std::string&, int) override { log_.checks.push_back(id); }

private:
    HostLog& log_;
};

class WiredMainWindow : public ::testing::Test {
protected:
    std::unique_ptr<TfrMain> Make() {
        auto ticker = std::make_unique<TScrollingText>();
        ConfigureTickerFromForm(*ticker);
        auto detector = std::make_unique<TNetDetect>(std::make_unique<ScriptedHost>(hostLog), "http://127.0.0.1:1/");
        return std::make_unique<TfrMain>(
            view, std::move(ticker),
            [](const std::string& path) {
                return std::unique_ptr<IProfileStore>(new IniProfileStore(std::filesystem::u8path(path)));
            },
            std::move(detector));
    }
    std::string Dir() const {
        const auto u8 = (dir.Path() / "").u8string();
        return std::string(u8.begin(), u8.end());
    }
    std::string FeedFile() const {
        const auto u8 = DataPath("app/texts.rss").u8string();
        return std::string(u8.begin(), u8.end());
    }
    void WriteConfig(const std::string& text) { std::ofstream(dir / "app.config", std::ios::binary) << text; }

    TempDir dir;
    RecordingView view;
    HostLog hostLog;
};

TEST_F(WiredMainWindow, TheFeedComponentIsSetUpForTheProgram) {
    auto form = Make();
    EXPECT_EQ(form->RSSHandler.HTTPAgent(), "Tidewire");
    EXPECT_EQ(form->RSSHandler.WaitTimeout(), 5000u);
}

TEST_F(WiredMainWindow, StartUpEndsWithALoadOfTheCurrentAddress) {
    WriteConfig("[Global]\r\nUrl=http://127.0.0.1:1/feed.xml\r\nMax_Showing_Items=2\r\nAuto_Url_Jump=1\r\n");
    auto form = Make();
    form->FormCreate(Dir());
    // Natively no transfer reaches a network: the load fails inside the call and the bar shows
    // the failure state instead of staying "loading".
    EXPECT_EQ(form->FeedUrl(), "http://127.0.0.1:1/feed.xml");
    EXPECT_FALSE(form->Loading());
    EXPECT_EQ(view.animationStarts, 1);
    EXPECT_EQ(view.animationStops, 1);
    EXPECT_EQ(form->TitleCaption, "N/A");
    EXPECT_EQ(form->lblTicker().Text(), kNoItemsText);
    ASSERT_FALSE(view.tickerTexts.empty());
    EXPECT_EQ(view.tickerTexts.back(), kNoItemsText);
    // The settings reach the rotation.
    EXPECT_EQ(form->rotation.FMaxShowingItems, 2);
    EXPECT_TRUE(form->rotation.FAutoUrlJump);
    EXPECT_EQ(form->MaxShowingItems(), 2);
    EXPECT_FALSE(form->rotation.FeedMenu.empty());
}

TEST_F(WiredMainWindow, AFileOnTheCommandLineIsShownWithoutANetworkLoad) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile(), "ignored"});
    EXPECT_EQ(view.animationStarts, 0) << "a network load was started";
    EXPECT_EQ(form->TitleCaption, "Cartoons & More");
    EXPECT_EQ(form->TitleHint, "Go to: http://cartoons.example/");
    EXPECT_EQ(form->lblTicker().Text(), "1/3    Tom & Jerry");
    ASSERT_FALSE(view.tickerTexts.empty());
    EXPECT_EQ(view.tickerTexts.back(), "1/3    Tom & Jerry");
    // The current address stays what the settings say.
    EXPECT_EQ(form->FeedUrl(), DefaultFeedUrls[1]);
}

TEST_F(WiredMainWindow, ACommandLineArgumentThatIsNoFileLoadsTheCurrentAddress) {
    for (const std::string& argument : {std::string("/no/such/file.rss"), Dir(), std::string()}) {
        RecordingView fresh;
        view = fresh;
        auto form = Make();
        form->FormCreate(Dir(), {argument});
        EXPECT_EQ(view.animationStarts, 1) << argument;
        EXPECT_EQ(form->TitleCaption, "N/A") << argument;
    }
}

TEST_F(WiredMainWindow, ScrollingTheTextThroughStepsToTheNextItem) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    ASSERT_TRUE(form->lblTicker().OnTextScrolled);
    form->lblTicker().OnTextScrolled(form->lblTicker());
    EXPECT_EQ(view.tickerTexts.back(), "2/3    It\xE2\x80\x99s a cat show");
    form->rotation.imgPrevRssItemClick();
    EXPECT_EQ(view.tickerTexts.back(), "1/3    Tom & Jerry");
}

TEST_F(WiredMainWindow, ClicksOpenTheItemAndChannelLinks) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    ASSERT_TRUE(form->lblTicker().OnClick);
    form->lblTicker().OnClick(form->lblTicker());
    form->rotation.lblTitleClick();
    EXPECT_EQ(view.links, (std::vector<std::string>{"http://cartoons.example/tom", "http://cartoons.example/"}));
}

TEST_F(WiredMainWindow, TheReloadTimerReloadsTheFeed) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    ASSERT_TRUE(form->tmrReload.OnTimer);
    form->tmrReload.OnTimer();
    EXPECT_EQ(view.animationStarts, 1);
    EXPECT_EQ(form->TitleCaption, "N/A");  // the default address cannot be reached natively
}

TEST_F(WiredMainWindow, PollingStartsWhenTheWindowIsShown) {
    auto form = Make();
    ASSERT_EQ(hostLog.checks.size(), 1u) << "the initial check runs while the components are made";
    form->FormCreate(Dir());
    EXPECT_FALSE(hostLog.timerEnabled);
    form->FormShow();
    EXPECT_TRUE(hostLog.timerEnabled);
    EXPECT_TRUE(form->netDetect->Enabled());
}

TEST_F(WiredMainWindow, AReturningConnectionReloadsAFailedFeed) {
    auto form = Make();
    form->FormCreate(Dir());
    form->FormShow();
    TNetDetect& detector = *form->netDetect;
    detector.CheckDone(hostLog.checks[0], false);  // initial: offline
    const int starts = view.animationStarts;
    const std::size_t timerChanges = view.timers.size();
    detector.Tick();
    detector.CheckDone(detector.LastCheckId(), true);  // back
    EXPECT_EQ(view.animationStarts, starts + 1) << "the failed feed was not reloaded";
    ASSERT_GT(view.timers.size(), timerChanges);
    EXPECT_TRUE(view.timers.back().Enabled) << "the reload timer's period starts again";
}

TEST_F(WiredMainWindow, AReturningConnectionLeavesShownItemsAlone) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    form->FormShow();
    TNetDetect& detector = *form->netDetect;
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
        form->FormCreate(Dir());
        EXPECT_EQ(form->RSSHandler.HTTPProxy().AccessType, modem ? atDirect : atPreconfig);
    }
}

TEST_F(WiredMainWindow, TheAddressShownIsTheOneWrittenAtExit) {
    WriteConfig("[Global]\r\nUrl=http://127.0.0.1:1/a.xml\r\nReload_Time=0\r\n");
    {
        auto form = Make();
        form->FormCreate(Dir());
        form->RSSHandler.HTTP().URL = "http://127.0.0.1:1/b.xml";  // a jump or a menu pick
        form->FormDestroy();
    }
    auto form = Make();
    form->FormCreate(Dir());
    EXPECT_EQ(form->FeedUrl(), "http://127.0.0.1:1/b.xml");
}

}  // namespace
}  // namespace tw::test
