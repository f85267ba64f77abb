// The bar without the mouse and without motion: what a reader hears and when, the pause kept
// across runs, the focus and what Enter does with it, the still and high-contrast modes and the
// focus hot key. Every start loads the test feed file, so no transfer runs.
#include "app/WiredMainWindow.h"

namespace tw::test {
namespace {

using MainWindowAccess = WiredMainWindow;

TEST_F(MainWindowAccess, AReaderHearsHeadlinesTheUserOrALoadBringsButNotEachPass) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    TTickerReading reading = form->TickerReading();
    EXPECT_EQ(reading.Headline, "Tom & Jerry");
    EXPECT_EQ(reading.ChannelTitle, "Cartoons & More");
    EXPECT_EQ(TickerValue(reading), "1 of 3");
    EXPECT_GT(view.readingChanges, 0) << "the load's headline";

    const int afterLoad = view.readingChanges;
    ticker->OnTextScrolled(*ticker);
    EXPECT_EQ(TickerValue(form->TickerReading()), "2 of 3");
    EXPECT_EQ(view.readingChanges, afterLoad) << "a pass that ends moves on silently";
    form->KeyPressed(TBarKey::Right);
    form->StepToPreviousItem();
    EXPECT_EQ(view.readingChanges, afterLoad + 2);
    EXPECT_EQ(TickerValue(form->TickerReading()), "2 of 3");
}

TEST_F(MainWindowAccess, SpacePausesAndTheNextRunStartsAsTheLastEnded) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    form->KeyPressed(TBarKey::Space);
    EXPECT_TRUE(form->Paused());
    EXPECT_TRUE(ticker->HeldFor(thPaused));
    EXPECT_TRUE(form->Bar().Paused) << "the bar shows its mark";
    EXPECT_EQ(TickerValue(form->TickerReading()), "1 of 3, paused");
    form->FormDestroy();
    EXPECT_EQ(Config().ReadString("Global", "Paused", ""), "1");

    form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    EXPECT_TRUE(form->Paused());
    EXPECT_TRUE(ticker->HeldFor(thPaused)) << "a restart starts paused";
    form->KeyPressed(TBarKey::Space);
    EXPECT_FALSE(ticker->Held());
    form->FormDestroy();
    EXPECT_EQ(Config().ReadString("Global", "Paused", ""), "0");
}

TEST_F(MainWindowAccess, EnterPressesTheFocusedElement) {
    const struct {
        int tabs;  // from the ticker, where the focus starts
        TBarElement focused;
        const char* text;  // the ticker's line afterwards
        const char* link;  // the last link opened, "" for none
        int menus;
    } cases[] = {
        {0, TBarElement::Ticker, "1/3    Tom & Jerry", "http://cartoons.example/tom", 0},
        {1, TBarElement::Next, "2/3    It\xE2\x80\x99s a cat show", "", 0},
        {2, TBarElement::Feeds, "1/3    Tom & Jerry", "", 1},
        {3, TBarElement::Title, "1/3    Tom & Jerry", "http://cartoons.example/", 0},
        {4, TBarElement::Previous, "3/3    Don\xE2\x80\x99t forget", "", 0},
        {5, TBarElement::Ticker, "1/3    Tom & Jerry", "http://cartoons.example/tom", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tabs);
        view = RecordingView{};
        auto form = Make();
        form->FormCreate(Dir(), {FeedFile()});
        for (int i = 0; i < c.tabs; ++i) form->KeyPressed(TBarKey::Tab);
        EXPECT_EQ(form->Focused(), c.focused);
        EXPECT_EQ(form->Bar().Focus, form->ElementRect(c.focused));
        form->KeyPressed(TBarKey::Enter);
        EXPECT_EQ(form->lblTicker().Text(), c.text);
        EXPECT_EQ(view.links.empty() ? "" : view.links.back(), c.link);
        EXPECT_EQ(view.quickStartMenus, c.menus);
    }
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    form->KeyPressed(TBarKey::BackTab);
    EXPECT_EQ(form->Focused(), TBarElement::Previous);
}

TEST_F(MainWindowAccess, HeadlinesStandStillWithAnimationsOffOrTheOptionOn) {
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    EXPECT_FALSE(form->StillHeadlines());
    form->SetSystemAnimations(false);
    EXPECT_TRUE(ticker->Still());
    form->SetSystemAnimations(true);
    EXPECT_FALSE(ticker->Still());

    TMainSettings settings = form->Settings();
    settings.StillHeadlines = true;
    settings.FocusHotKey = THotKey{THotKey::Ctrl | THotKey::Shift, 0x78};
    form->ApplySettings(settings);
    EXPECT_TRUE(ticker->Still());
    EXPECT_EQ(Config().ReadString("Global", "Still_Headlines", ""), "1");
    EXPECT_EQ(Config().ReadString("Global", "Focus_Hot_Key", ""), "Ctrl+Shift+F9");
    ASSERT_FALSE(view.hotKeys.empty());
    EXPECT_EQ(view.hotKeys.back(), settings.FocusHotKey) << "the new key replaces the old one";

    form->FormDestroy();
    view = RecordingView{};
    form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    EXPECT_TRUE(ticker->Still()) << "the option is kept";
    EXPECT_EQ(view.hotKeys, std::vector<THotKey>{settings.FocusHotKey});
}

TEST_F(MainWindowAccess, HighContrastTakesTheSystemColoursAndGivesTheUsersBack) {
    WriteConfig("[Global]\r\nTicker_Font_Color=255\r\n");
    auto form = Make();
    form->FormCreate(Dir(), {FeedFile()});
    form->SetHighContrast(true);
    EXPECT_EQ(ticker->BackgroundColor(), clWindow);
    EXPECT_EQ(ticker->Font().Color, clWindowText);
    EXPECT_EQ(ticker->EdgeFadeWidth(), 0);
    EXPECT_EQ(form->TickerFont().Color, 255u) << "the setting itself is kept";
    form->SetHighContrast(false);
    EXPECT_EQ(ticker->BackgroundColor(), kTickerBackground);
    EXPECT_EQ(ticker->Font().Color, 255u);
    EXPECT_EQ(ticker->EdgeFadeWidth(), 15);
}

}  // namespace
}  // namespace tw::test
