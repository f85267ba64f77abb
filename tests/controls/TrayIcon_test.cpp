// The tray icon's rules against a recording stand-in for the shell and the application.
#include "controls/TrayIcon.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tw {
namespace {

constexpr TIconHandle kAppIcon = 0xA0, kBlankIcon = 0xB0, kUserIcon = 0xC0;

struct Recorder {
    std::vector<std::string> log;
    std::vector<std::pair<TTrayNotify, TTrayIconRecord>> notified;
    bool minimized = false;
    int textIcons = 0;
    int taskEntryMs = -1, blinkMs = -1;
};

class FakeHost : public ITrayIconHost {
public:
    explicit FakeHost(Recorder& r) : r_(r) {}
    bool NotifyIcon(TTrayNotify op, const TTrayIconRecord& record) override {
        r_.notified.emplace_back(op, record);
        r_.log.push_back(op == TTrayNotify::Add ? "add" : op == TTrayNotify::Modify ? "modify" : "delete");
        return false;  // a refused call must not change what the icon believes
    }
    void ShowApplicationButton(bool show) override { r_.log.push_back(show ? "button+" : "button-"); }
    void ShowSystemTaskbar(bool show) override { r_.log.push_back(show ? "taskbar+" : "taskbar-"); }
    void RestoreApplication() override { r_.log.push_back("restore"); }
    void ForegroundApplication() override { r_.log.push_back("foreground"); }
    bool ApplicationMinimized() override { return r_.minimized; }
    void PopupAtCursor(ITrayPopupMenu& menu, TTrayIcon& sender) override { menu.Popup(7, 9, sender); }
    void RunTimer(TTrayTimer timer, int ms) override { (timer == TTrayTimer::Blink ? r_.blinkMs : r_.taskEntryMs) = ms; }
    TIconHandle ApplicationIcon() override { return kAppIcon; }
    TIconHandle BlankIcon() override { return kBlankIcon; }
    TIconHandle RenderTextIcon(const TTrayIconLabel&) override { return 0xD00 + ++r_.textIcons; }

private:
    Recorder& r_;
};

class LoggingMenu : public ITrayPopupMenu {
public:
    explicit LoggingMenu(Recorder& r) : r_(r) {}
    void Popup(int x, int y, TTrayIcon&) override { r_.log.push_back("popup " + std::to_string(x) + "," + std::to_string(y)); }

private:
    Recorder& r_;
};

struct Tray {
    Recorder r;
    TTrayIcon icon{std::make_unique<FakeHost>(r)};
    LoggingMenu menu{r};
    Tray() {
        icon.OnMouseLeftDown = [this](TTrayIcon&) { r.log.push_back("OnMouseLeftDown"); };
        icon.OnMouseLeftUp = [this](TTrayIcon&) { r.log.push_back("OnMouseLeftUp"); };
        icon.OnMouseLeftDblClick = [this](TTrayIcon&) { r.log.push_back("OnMouseLeftDblClick"); };
        icon.OnMouseRightDown = [this](TTrayIcon&) { r.log.push_back("OnMouseRightDown"); };
        icon.OnMouseRightUp = [this](TTrayIcon&) { r.log.push_back("OnMouseRightUp"); };
        icon.OnMouseRightDblClick = [this](TTrayIcon&) { r.log.push_back("OnMouseRightDblClick"); };
        icon.OnMouseMove = [this](TTrayIcon&) { r.log.push_back("OnMouseMove"); };
        icon.OnBlinkVisible = [this](TTrayIcon&) { r.log.push_back("visible"); };
        icon.OnBlinkInVisible = [this](TTrayIcon&) { r.log.push_back("invisible"); };
    }
    TTrayIconRecord Last() const { return r.notified.back().second; }
};

TEST(TTrayIcon, TooltipIsCutTo63BytesOnACharacterBoundary) {
    const std::string euro = "\xE2\x82\xAC";  // three bytes
    const struct {
        std::string hint, tip;
    } cases[] = {
        {"Tidewire v1.1", "Tidewire v1.1"},
        {std::string(63, 'a'), std::string(63, 'a')},
        {std::string(64, 'a'), std::string(63, 'a')},
        {std::string(62, 'a') + euro, std::string(62, 'a')},
        {std::string(60, 'a') + euro + "b", std::string(60, 'a') + euro},
    };
    for (const auto& c : cases) EXPECT_EQ(TrayTipText(c.hint), c.tip) << c.hint.size();
}

TEST(TTrayIcon, TooltipIsHandedOnlyWithShowHintAndAHint) {
    Tray t;
    t.icon.SetShowIcon(tyAllways);
    EXPECT_EQ(t.Last().Flags, unsigned{tifMessage | tifIcon}) << "empty hint: no tooltip";
    t.icon.SetHint("Tidewire v1.1");
    EXPECT_EQ(t.Last(), (TTrayIconRecord{tifMessage | tifIcon | tifTip, kAppIcon, "Tidewire v1.1"}));
    t.icon.SetShowHint(false);
    EXPECT_EQ(t.r.notified.back().first, TTrayNotify::Modify);
    EXPECT_EQ(t.Last(), (TTrayIconRecord{tifMessage | tifIcon, kAppIcon, ""})) << "the update clears the tooltip";
}

TEST(TTrayIcon, CallbackRunsTheActionsFirstAndTheEventAfter) {
    const struct {
        std::uint32_t message;
        std::vector<std::string> log;
    } cases[] = {
        {kTrayRightDown, {"popup 7,9", "OnMouseRightDown"}},
        {kTrayLeftDblClick, {"restore", "OnMouseLeftDblClick"}},
        {kTrayLeftDown, {"OnMouseLeftDown"}},
        {kTrayLeftUp, {"OnMouseLeftUp"}},
        {kTrayRightUp, {"OnMouseRightUp"}},
        {kTrayRightDblClick, {"OnMouseRightDblClick"}},
        {kTrayMouseMove, {"OnMouseMove"}},
        {0x0207, {}},  // middle button: not ours
    };
    for (const auto& c : cases) {
        Tray t;
        t.icon.SetPopupMenu(&t.menu);
        t.r.log.clear();
        t.icon.HandleCallback(c.message);
        EXPECT_EQ(t.r.log, c.log) << c.message;
    }
}

TEST(TTrayIcon, PopupNeedsAMenuAndAnAction) {
    Tray t;
    t.icon.HandleCallback(kTrayRightDown);
    EXPECT_EQ(t.r.log, std::vector<std::string>{"OnMouseRightDown"}) << "no menu";
    t.icon.SetPopupMenu(&t.menu);
    t.icon.Action = {paNone, paNone};
    t.r.log.clear();
    for (std::uint32_t m = kTrayLeftDown; m <= kTrayRightDblClick; ++m) t.icon.HandleCallback(m);
    for (const auto& entry : t.r.log) EXPECT_EQ(entry.rfind("On", 0), 0u) << entry;
    t.icon.Action = {paLeftUp, paLeftUp};
    t.r.log.clear();
    t.icon.HandleCallback(kTrayLeftUp);
    EXPECT_EQ(t.r.log, (std::vector<std::string>{"popup 7,9", "restore", "OnMouseLeftUp"}));
}

class MenuComponent : public TpkComponent, public ITrayPopupMenu {
public:
    void Popup(int, int, TTrayIcon&) override { ++shown; }
    int shown = 0;
};

TEST(TTrayIcon, LetsGoOfAMenuComponentThatIsDestroyed) {
    Tray t;
    auto menu = std::make_unique<MenuComponent>();
    t.icon.SetPopupMenu(menu.get());
    t.icon.HandleCallback(kTrayRightDown);
    EXPECT_EQ(menu->shown, 1);
    menu.reset();
    EXPECT_EQ(t.icon.PopupMenu(), nullptr);
    t.icon.HandleCallback(kTrayRightDown);  // would touch freed memory (the sanitizer run tells)
}

class ListOf : public ITrayIconList {
public:
    explicit ListOf(int n) : n_(n) {}
    int Count() const override { return n_; }
    TIconHandle IconAt(int index) const override { return 0x100 + index; }

private:
    int n_;
};

TEST(TTrayIcon, IconIndexIsClampedToTheList) {
    const struct {
        int count, index, clamped;
    } cases[] = {{6, 99, 5}, {6, -7, -1}, {6, 3, 3}, {6, -1, -1}, {0, 2, -1}, {1, 0, 0}};
    for (const auto& c : cases) EXPECT_EQ(ClampIconIndex(c.index, c.count), c.clamped) << c.count << " " << c.index;

    Tray t;
    t.icon.SetIconIndex(4);
    EXPECT_EQ(t.icon.IconIndex(), -1) << "without a list nothing changes";
    ListOf six(6);
    t.icon.SetIconList(&six);
    t.icon.SetIconIndex(99);
    EXPECT_EQ(t.icon.IconIndex(), 5);
    EXPECT_EQ(t.icon.Icon(), TIconHandle{0x105});
    t.icon.SetIconIndex(-7);
    EXPECT_EQ(t.icon.IconIndex(), -1);
    EXPECT_EQ(t.icon.IconShown(), kAppIcon) << "the default icon is empty at run time";
    t.icon.SetIconIndex(2);
    t.icon.SetIconList(nullptr);
    EXPECT_EQ(t.icon.IconIndex(), -1);
    EXPECT_EQ(t.icon.Icon(), TIconHandle{0});
}

TEST(TTrayIcon, TaskEntryFollowsItsRuleOnEveryTick) {
    const struct {
        TTrayShow rule;
        bool restored, minimized;
    } cases[] = {{tyAllways, true, true}, {tyNever, false, false}, {tyOnRestore, true, false}, {tyOnMinimized, false, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(TaskEntryVisible(c.rule, false), c.restored) << c.rule;
        EXPECT_EQ(TaskEntryVisible(c.rule, true), c.minimized) << c.rule;
    }
    Tray t;
    EXPECT_EQ(t.r.taskEntryMs, 250);
    t.icon.SetShowTaskEntry(tyNever);
    t.icon.TaskEntryTick();
    t.icon.TaskEntryTick();
    EXPECT_EQ(t.r.log, (std::vector<std::string>{"button-", "button-"}));
}

TEST(TTrayIcon, WithoutItsTimerTheTaskEntryRuleRunsWhenItsOutcomeCanChange) {
    Tray t;
    t.icon.SetShowIcon(tyNever);  // the icon stays out of the log
    t.icon.SetShowTaskEntry(tyOnRestore);
    t.icon.SetTaskEntryTimer(false);
    EXPECT_EQ(t.r.taskEntryMs, 0);
    const struct {
        const char* step;
        std::function<void(TTrayIcon&)> run;
        std::vector<std::string> log;
    } steps[] = {
        {"the timer turned off applies it at once", nullptr, {"button+"}},
        {"minimised", [](TTrayIcon& i) { i.ApplicationMinimized(); }, {"button-"}},
        {"restored", [](TTrayIcon& i) { i.ApplicationRestored(); }, {"foreground", "button+"}},
        {"a new rule", [](TTrayIcon& i) { i.SetShowTaskEntry(tyNever); }, {"button-"}},
        {"the window shown by someone", [](TTrayIcon& i) { i.ApplicationButtonChanged(); }, {"button-"}},
        {"the timer back on", [](TTrayIcon& i) { i.SetTaskEntryTimer(true); }, {}},
        {"with the timer, a change waits for its tick", [](TTrayIcon& i) { i.ApplicationButtonChanged(); }, {}},
    };
    for (const auto& s : steps) {
        if (s.run) {
            t.r.log.clear();
            s.run(t.icon);
        }
        EXPECT_EQ(t.r.log, s.log) << s.step;
    }
    EXPECT_EQ(t.r.taskEntryMs, 250);
}

TEST(TTrayIcon, ShowIconAddsAndRemoves) {
    const struct {
        TTrayShow value;
        bool minimized, startAdded;
        std::vector<std::string> log;
        bool added;
    } cases[] = {
        {tyAllways, false, false, {"add"}, true},
        {tyAllways, false, true, {"add"}, true},  // added again
        {tyOnMinimized, true, false, {"add"}, true},
        {tyOnMinimized, false, false, {}, false},
        {tyNever, false, true, {"delete"}, false},
        {tyNever, false, false, {}, false},
        {tyOnRestore, false, true, {}, true},
    };
    for (const auto& c : cases) {
        Tray t;
        if (c.startAdded) t.icon.SetShowIcon(tyAllways);
        t.r.minimized = c.minimized;
        t.r.log.clear();
        t.icon.SetShowIcon(c.value);
        EXPECT_EQ(t.r.log, c.log) << c.value;
        EXPECT_EQ(t.icon.Added(), c.added) << c.value;
    }
}

TEST(TTrayIcon, OnMinimizedIconComesWithMinimiseAndGoesWithRestore) {
    Tray t;
    t.icon.ApplicationMinimized();
    EXPECT_TRUE(t.icon.Added());
    EXPECT_TRUE(t.icon.Minimized());
    t.icon.ApplicationMinimized();  // already there: not added twice
    t.icon.ApplicationRestored();
    EXPECT_EQ(t.r.log, (std::vector<std::string>{"add", "foreground", "delete"}));
    EXPECT_FALSE(t.icon.Added());
    t.icon.SetEnabled(false);
    t.r.log.clear();
    t.icon.ApplicationMinimized();
    EXPECT_TRUE(t.r.log.empty());
    EXPECT_FALSE(t.icon.Minimized());
}

TEST(TTrayIcon, BlinkAlternatesTheBlankIconAndStopsVisible) {
    Tray t;
    t.icon.SetIcon(kUserIcon);
    t.icon.SetShowIcon(tyAllways);
    t.icon.SetBlink({true, 400});
    EXPECT_EQ(t.r.blinkMs, 400);
    t.r.log.clear();
    t.icon.BlinkTick();
    EXPECT_EQ(t.Last().Icon, kBlankIcon);
    t.icon.BlinkTick();
    EXPECT_EQ(t.Last().Icon, kAppIcon) << "the visible phase shows the default icon, empty at run time";
    t.icon.BlinkTick();
    t.icon.SetBlink({false, 400});
    EXPECT_EQ(t.r.blinkMs, 0);
    EXPECT_EQ(t.Last().Icon, kUserIcon);
    EXPECT_EQ(t.r.log, (std::vector<std::string>{"invisible", "modify", "visible", "modify", "invisible", "modify",
                                                 "visible", "modify"}));
}

TEST(TTrayIcon, TextModeShowsTheTextIconRedrawnOnEveryChange) {
    Tray t;
    t.icon.SetShowIcon(tyAllways);
    TTrayIconLabel label;
    label.Text = "12";
    t.icon.SetIconText(label);
    EXPECT_EQ(t.r.textIcons, 0) << "icon mode draws no text";
    t.icon.SetMode(trmText);
    EXPECT_EQ(t.Last().Icon, TIconHandle{0xD01});
    label.Alignment = ttgCenterTop;
    t.icon.SetIconText(label);
    EXPECT_EQ(t.Last().Icon, TIconHandle{0xD02});
    t.icon.SetMode(trmIcon);
    EXPECT_EQ(t.Last().Icon, kAppIcon);
}

TEST(TTrayIcon, TextPositionAndMaskColour) {
    const struct {
        TTrayTextAlign align;
        int w, h;
        Point pos;
    } cases[] = {
        {ttgCenter, 9, 7, {4, 5}},       {ttgCenter, 21, 3, {-2, 7}},  {ttgCustom, 9, 7, {3, 4}},
        {ttgCenterBottom, 9, 7, {4, 9}}, {ttgCenterTop, 9, 7, {4, 0}}, {ttgCenterLeft, 9, 7, {0, 5}},
        {ttgCenterRight, 9, 7, {7, 5}},
    };
    for (const auto& c : cases) EXPECT_EQ(TrayTextPosition(c.align, c.w, c.h, 3, 4), c.pos) << c.align << " " << c.w;
    EXPECT_EQ(TrayMaskColor(0x0000FF), 0x0000FEu);
    EXPECT_EQ(TrayMaskColor(0x000000), 0x000001u);
    EXPECT_EQ(TrayMaskColor(0xFFFFFF), 0xFFFFFEu);
}

TEST(TTrayIcon, DisablingAndDestructionGiveBackTheTaskbar) {
    auto r = std::make_unique<Recorder>();
    {
        TTrayIcon icon(std::make_unique<FakeHost>(*r));
        icon.SetShowIcon(tyAllways);
        icon.SetEnabled(false);
        EXPECT_EQ(r->log, (std::vector<std::string>{"add", "delete", "button+", "taskbar+"}));
        icon.SetShowIcon(tyAllways);
        EXPECT_FALSE(icon.Added()) << "a disabled icon is not added";
        icon.SetEnabled(true);
        icon.SetShowIcon(tyAllways);
        r->log.clear();
    }
    EXPECT_EQ(r->log, (std::vector<std::string>{"delete", "taskbar+"}));
}

TEST(TTrayIcon, RestartedShellGetsTheIconBackOnlyIfItWasThere) {
    Tray t;
    t.icon.ShellRestarted();
    EXPECT_TRUE(t.r.log.empty());
    t.icon.SetShowIcon(tyAllways);
    t.icon.ShellRestarted();
    EXPECT_EQ(t.r.log, (std::vector<std::string>{"add", "add"}));
}

}  // namespace
}  // namespace tw
