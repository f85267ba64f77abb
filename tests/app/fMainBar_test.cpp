// What the window hands to TfrMain: clicks and cursor positions on the bar, found by the part of
// the bar they fall in, and the reload timer it runs for TfrMain.
#include "app/WiredMainWindow.h"

#include "support/HookPlatformModel.h"

namespace tw::test {
namespace {

// The stand-in measures 7 pixels a character: the title "Cartoons & More" spans 32..136, the
// previous arrow 142..157, the ticker 158..1002 (rows 12..22), the next arrow 1003..1018; the
// start image covers 5..26 x 1..22.
TEST_F(WiredMainWindow, ClicksAndCursorsFollowThePartOfTheBarUnderThePoint) {
    enum Effect { Nothing, OpensChannel, OpensItem, StepsBack, StepsOn, OpensMenu };
    const struct {
        int x, y;
        TBarCursor cursor;
        Effect effect;
    } cases[] = {
        {10, 10, TBarCursor::crHandPoint, OpensMenu},  // start image: the Quick Start Menu
        {4, 10, TBarCursor::crDefault, Nothing},     // background left of the start image
        {26, 22, TBarCursor::crHandPoint, OpensMenu},  // last pixel of the start image
        {27, 10, TBarCursor::crDefault, Nothing},
        {32, 5, TBarCursor::crHandPoint, OpensChannel},
        {136, 17, TBarCursor::crHandPoint, OpensChannel},
        {40, 18, TBarCursor::crDefault, Nothing},  // under the title
        {137, 10, TBarCursor::crDefault, Nothing},
        {142, 4, TBarCursor::crDefault, StepsBack},
        {157, 19, TBarCursor::crDefault, StepsBack},
        {158, 12, TBarCursor::crHandPoint, OpensItem},
        {1002, 22, TBarCursor::crHandPoint, OpensItem},
        {500, 11, TBarCursor::crDefault, Nothing},  // above the ticker
        {500, 23, TBarCursor::crDefault, Nothing},
        {1003, 10, TBarCursor::crDefault, StepsOn},
        {1019, 10, TBarCursor::crDefault, Nothing},
        {-1, 10, TBarCursor::crDefault, Nothing},
    };
    for (const auto& c : cases) {
        view = RecordingView();
        auto form = Make();
        form->FormCreate(Dir(), {FeedFile()});
        ASSERT_EQ(form->Bar().Title.Width(), 105);
        EXPECT_EQ(form->CursorAt(c.x, c.y), c.cursor) << c.x << "," << c.y;
        form->ClickAt(c.x, c.y);
        std::vector<std::string> links;
        std::string text = "1/3    Tom & Jerry";
        if (c.effect == OpensChannel) links = {"http://cartoons.example/"};
        if (c.effect == OpensItem) links = {"http://cartoons.example/tom"};
        if (c.effect == StepsBack) text = "3/3    Don\xE2\x80\x99t forget";
        if (c.effect == StepsOn) text = "2/3    It\xE2\x80\x99s a cat show";
        EXPECT_EQ(view.links, links) << c.x << "," << c.y;
        EXPECT_EQ(view.quickStartMenus, c.effect == OpensMenu ? 1 : 0) << c.x << "," << c.y;
        EXPECT_EQ(view.tickerTexts.back(), text) << c.x << "," << c.y;
    }
}

TEST_F(WiredMainWindow, OnlyTheFirstRunPointsTheBalloonAtTheStartImageAndOnlyOnce) {
    const std::string welcome =
        "Quick Start Menu!|Click here to start browsing through the rss feeds. You can configure this list from "
        "tray's menu.";
    for (bool firstRun : {true, false}) {
        view = RecordingView();
        if (!firstRun) WriteConfig("[Global]\r\nReload_Time=20\r\n");
        auto form = Make();
        form->FormCreate(Dir(), {FeedFile()});
        form->ShowFeed(FeedFile());
        EXPECT_EQ(view.balloons, firstRun ? std::vector<std::string>{welcome} : std::vector<std::string>{});
    }
}

TEST_F(WiredMainWindow, KeysStepOpenAndHide) {
    const struct {
        TBarKey key;
        const char* text;  // the ticker line after the key
        bool opens, hides;
    } cases[] = {
        {TBarKey::Right, "2/3    It\xE2\x80\x99s a cat show", false, false},
        {TBarKey::Left, "3/3    Don\xE2\x80\x99t forget", false, false},
        {TBarKey::Enter, "1/3    Tom & Jerry", true, false},
        {TBarKey::Escape, "1/3    Tom & Jerry", false, true},
    };
    for (const auto& c : cases) {
        view = RecordingView();
        auto form = Make();
        form->FormCreate(Dir(), {FeedFile()});
        form->KeyPressed(c.key);
        EXPECT_EQ(view.tickerTexts.back(), c.text);
        EXPECT_EQ(view.links, c.opens ? std::vector<std::string>{"http://cartoons.example/tom"}
                                      : std::vector<std::string>{});
        EXPECT_EQ(view.barHides, c.hides ? 1 : 0);
    }
}

TEST_F(WiredMainWindow, AHiddenTickerTakesNoClicks) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    ticker->SetVisible(false);  // as LayoutTicker leaves it meanwhile
    EXPECT_EQ(form->AreaAt(500, 15), TBarArea::Background);
    form->ClickAt(500, 15);
    EXPECT_TRUE(view.links.empty());
}

TEST_F(WiredMainWindow, TheWindowRunsTheReloadTimerWithThePeriodTheSettingsGive) {
    WriteConfig("[Global]\r\nReload_Time=20\r\n");
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    // The form's 5 minutes first, then the stored 20.
    EXPECT_EQ(view.reloadTimers, (std::vector<int>{300000, 1200000}));

    // A feed picked from a menu starts the whole period again.
    form->ShowFeed("http://127.0.0.1:1/other.xml");
    EXPECT_EQ(view.reloadTimers, (std::vector<int>{300000, 1200000, 1200000}));

    const int starts = view.animationStarts;
    form->OnReloadTimer();
    EXPECT_EQ(view.animationStarts, starts + 1) << "a tick reloads the feed";
    EXPECT_EQ(view.reloadTimers.size(), 3u) << "the timer's own tick does not restart it";
}

// The watcher the platform hands over holds the form's own ticker; the feed goes on loading.
TEST_F(WiredMainWindow, WhileNobodySeesTheBarTheTickerIsHeldAndReloadsGoOn) {
    class Shown final : public TVisibilityPlatform {
    public:
        bool IsVisible(TWindowId) override { return true; }
        bool IsMinimized(TWindowId) override { return false; }
        std::uintptr_t StartNotifications(TWindowId) override { return 1; }
        void StopNotifications(TWindowId, std::uintptr_t) override {}
    } system;
    HookPlatformModel model;
    ModelForm window{model};
    TMainParts parts = TestParts();
    parts.Watcher = std::make_unique<TVisibilityWatcher>(&window, system);
    auto form = Make(std::move(parts));
    form->FormCreate(Dir(), {FeedFile()});
    const struct {
        std::uint32_t msg;
        std::uintptr_t wParam;
        bool held;
    } steps[] = {
        {kWmWtsSessionChange, wtsSessionLock, true},  {kWmShowWindow, 0, true},
        {kWmWtsSessionChange, wtsSessionUnlock, true}, {kWmShowWindow, 1, false},
    };
    for (const auto& step : steps) {
        model.Dispatch(window.WindowHandle(), step.msg, step.wParam);
        EXPECT_EQ(ticker->Held(), step.held) << step.msg << " " << step.wParam;
        if (&step != &steps[0]) continue;
        const int starts = view.animationStarts;
        form->OnReloadTimer();
        EXPECT_EQ(view.animationStarts, starts + 1) << "the feed reloads all the same";
    }
}

}  // namespace
}  // namespace tw::test
