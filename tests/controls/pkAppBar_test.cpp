#include "controls/pkAppBar.h"

#include "base/Unhandled.h"
#include "support/HookPlatformModel.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <vector>

namespace tw {
namespace {

using test::HookPlatformModel;
using test::ModelForm;

// A 1024 x 768 screen with a shell that stacks bars, and windows that move as SetWindowPos moves
// them: through WM_WINDOWPOSCHANGING on the form's procedure chain, so the bar's guard applies.
class FakeShell : public TAppBarPlatform {
public:
    struct Call {
        std::uint32_t msg, edge;
        Rect rect;
        std::intptr_t param;
        bool operator==(const Call&) const = default;
    };
    explicit FakeShell(HookPlatformModel& model) : model_(model) { SetAppBarPlatform(this); }
    ~FakeShell() override { SetAppBarPlatform(nullptr); }

    std::vector<Call> calls;
    std::map<TWindowId, Rect> rects;
    std::vector<Rect> frames;  // every rectangle a window was set to
    int topTaken = 0;           // pixels at the top held by other bars
    bool refuseAutoHide = false, fullDrag = false, ctrl = false, buttonDown = false, visible = true;
    Point mouse;
    std::uint32_t tick = 0, tickStep = 0;
    TWindowId autoHideBar = 0, active = 0, mainForm = 0;
    TWindowState state = wsNormal;
    std::optional<bool> appShown;
    TMonitorList monitors;             // empty: the platform's one screen
    std::set<TWindowId> registered;    // what the shell knows: a second ABM_NEW is refused
    static constexpr std::uint32_t kTaskbarCreated = 0xC0DE;

    int Count(std::uint32_t msg) const {
        int n = 0;
        for (const Call& c : calls) n += c.msg == msg ? 1 : 0;
        return n;
    }
    // A move as another program would make it.
    void ProgramMoves(TWindowId window, Rect r) { SetWindowRect(window, r); }

    std::uintptr_t ShellMessage(std::uint32_t msg, TAppBarData& d) override {
        if (msg == abmQueryPos && d.Edge == bpTop) d.Rect.Top += topTaken;
        calls.push_back({msg, d.Edge, d.Rect, d.Param});
        if (msg == abmNew) return registered.insert(d.Window).second ? 1 : 0;
        if (msg == abmRemove) registered.erase(d.Window);
        if (msg == abmGetAutoHideBar) return d.Edge == bpTop ? autoHideBar : 0;
        if (msg == abmSetAutoHideBar) {
            if (d.Param && refuseAutoHide) return 0;
            autoHideBar = d.Param ? d.Window : 0;
        }
        return 1;
    }
    int Metric(TAppBarMetric m) override {
        switch (m) {
        case smCxScreen: return 1024;
        case smCyScreen: return 768;
        case smCxVScroll: case smCyHScroll: case smCySmIcon: return 16;
        case smCxDoubleClk: case smCyDoubleClk: return 4;
        case smCxBorder: case smCyBorder: return 1;
        default: return 0;
        }
    }
    Rect WorkArea() override { return {0, 0, 1024, 738}; }
    bool FullWindowDrag() override { return fullDrag; }
    Rect WindowRect(TWindowId w) override { return rects[w]; }
    Rect ClientRectOnScreen(TWindowId w) override { return rects[w]; }
    void SetWindowRect(TWindowId w, const Rect& r) override {
        TAppBarWindowPos pos{w, 0, r.Left, r.Top, r.Width(), r.Height(), 0};
        model_.Dispatch(w, wmWindowPosChanging, 0, reinterpret_cast<std::intptr_t>(&pos));
        if (pos.Flags & kSwpNoMove) return;
        rects[w] = r;
        frames.push_back(r);
    }
    void UpdateNow(TWindowId) override {}
    bool IsVisible(TWindowId) override { return visible; }
    void ShowWindow(TWindowId, bool show) override { appShown = show; }
    TWindowState WindowState(TWindowId) override { return state; }
    void SetWindowState(TWindowId, TWindowState s) override { state = s; }
    bool ChildAt(TWindowId, int, int) override { return false; }
    bool KeyDown(TAppBarKey k) override { return k == vkControl && ctrl; }
    bool AsyncKeyDown(TAppBarKey k) override { return k == vkLButton && buttonDown; }
    Point MessagePos() override { return mouse; }
    std::uint32_t TickCount() override { return tick += tickStep; }
    TWindowId ActiveWindow() override { return active; }
    TWindowId ForegroundWindow() override { return 0; }
    TWindowId MainForm() override { return mainForm; }
    TMonitorList Monitors() override { return monitors.empty() ? TAppBarPlatform::Monitors() : monitors; }
    std::uint32_t TaskbarCreatedMessage() override { return kTaskbarCreated; }

private:
    HookPlatformModel& model_;
};

class TpkAppBarTest : public ::testing::Test {
protected:
    TpkAppBarTest() {
        shell.rects[form.WindowHandle()] = {100, 100, 400, 160};
    }
    // The bar as the main window configures it, once its form runs.
    std::unique_ptr<TpkAppBar> TickerBar() {
        auto bar = std::make_unique<TpkAppBar>(&form);
        bar->AllowedEdges = EdgeBit(bpTop) | EdgeBit(bpBottom) | EdgeBit(bpFloat);
        bar->Docking().MaxHeight = 32;
        bar->Docking().SetHeight(25);
        bar->SetPlacement(bpTop);
        model.DeliverPosted();
        return bar;
    }
    TWindowId Window() { return form.WindowHandle(); }
    std::intptr_t Send(std::uint32_t msg, std::uintptr_t wp = 0, std::intptr_t lp = 0) {
        return model.Dispatch(Window(), msg, wp, lp);
    }
    template <class T>
    std::intptr_t SendRecord(std::uint32_t msg, std::uintptr_t wp, T& record) {
        return Send(msg, wp, reinterpret_cast<std::intptr_t>(&record));
    }
    // A drag: the move loop begins, the mouse goes to (x, y), the proposed rectangle is answered.
    Rect DragTo(TpkAppBar& bar, int x, int y) {
        Send(wmEnterSizeMove);
        shell.mouse = {x, y};
        Rect q = shell.rects[Window()];
        SendRecord(wmMoving, 0, q);
        (void)bar;
        return q;
    }

    HookPlatformModel model;
    ModelForm form{model, [](TWindowId, TMessage& m) -> std::intptr_t { return m.Msg == wmNcHitTest ? htClient : 0; }};
    FakeShell shell{model};
};

TEST_F(TpkAppBarTest, RegistersAndDocksTheTickerAtTheTopOnceTheFormRuns) {
    auto bar = TickerBar();
    EXPECT_EQ(shell.calls.front().msg, abmNew);
    EXPECT_TRUE(bar->Registered());
    EXPECT_EQ(bar->Placement(), bpTop);
    EXPECT_EQ(shell.rects[Window()], (Rect{0, 0, 1024, 25}));
    EXPECT_EQ(bar->Docking().Height(), 25);  // the posted move-loop end kept the docked height
    EXPECT_TRUE(bar->AlwaysOnTop());
    EXPECT_EQ(model.PostedMessages().size(), 0u);
}

TEST_F(TpkAppBarTest, OnePlacementTalksToTheShellInOrder) {
    auto bar = TickerBar();
    shell.topTaken = 30;  // another bar holds the top
    shell.calls.clear();
    bar->SetPlacement(bpTop);
    const Rect granted{0, 30, 1024, 55};
    const std::vector<FakeShell::Call> expected = {
        {abmGetAutoHideBar, bpLeft, {}, 0},   {abmGetAutoHideBar, bpTop, {}, 0},
        {abmGetAutoHideBar, bpRight, {}, 0},  {abmGetAutoHideBar, bpBottom, {}, 0},
        {abmQueryPos, bpTop, {0, 30, 1024, 768}, 0}, {abmSetPos, bpTop, granted, 0},
        {abmActivate, 0, {}, 0},
    };
    EXPECT_EQ(shell.calls, expected);
    EXPECT_EQ(shell.rects[Window()], granted);
    EXPECT_TRUE(bar->PlacementSettled());
}

TEST_F(TpkAppBarTest, DraggingChoosesThePlacementFromTheMouse) {
    struct Case {
        int x, y;
        bool ctrl;
        TpkAppBarEdges allowed;
        int expected;
        Rect q;  // the proposed rectangle after WM_MOVING
    } cases[] = {
        {612, 10, false, kAllAppBarEdges, bpTop, {0, 0, 1024, 25}},                     // dx 100, dy -374
        {500, 760, false, kAllAppBarEdges, bpBottom, {0, 743, 1024, 768}},
        {3, 400, false, EdgeBit(bpTop) | EdgeBit(bpBottom) | EdgeBit(bpFloat), bpFloat, {-147, 392, 153, 452}},
        {612, 10, true, kAllAppBarEdges, bpFloat, {462, 2, 762, 62}},                    // Ctrl floats
        {612, 10, true, EdgeBit(bpTop), bpTop, {0, 0, 1024, 25}},                       // unless it may not
    };
    for (const Case& c : cases) {
        shell.rects[Window()] = {100, 100, 400, 160};
        auto bar = TickerBar();
        bar->AllowedEdges = c.allowed;
        shell.ctrl = c.ctrl;
        int moved = -1;
        bar->OnDockMove = [&](TpkAppBar&, int p) { moved = p; };
        EXPECT_EQ(DragTo(*bar, c.x, c.y), c.q) << c.x << "," << c.y;
        EXPECT_EQ(bar->Placement(), c.expected);
        EXPECT_EQ(moved, c.expected == bpTop ? -1 : c.expected);  // raised only for a change
        Send(wmCaptureChanged);
        Send(wmExitSizeMove);
        EXPECT_EQ(bar->Placement(), c.expected);
        EXPECT_EQ(bar->LastDockingPlace, c.expected == bpTop ? bpFloat : bpTop);
    }
}

TEST_F(TpkAppBarTest, UndockingKeepsTheFloatingSizeAndDraggedSizesStick) {
    auto bar = TickerBar();
    DragTo(*bar, 500, 400);
    Send(wmCaptureChanged);
    Send(wmExitSizeMove);
    EXPECT_EQ(bar->Placement(), bpFloat);
    EXPECT_EQ(shell.rects[Window()], (Rect{350, 392, 650, 452}));
    EXPECT_EQ(bar->FloatRect(), shell.rects[Window()]);
}

TEST_F(TpkAppBarTest, ResizingSnapsToTheIncrementsAndDockedLimitsHold) {
    auto bar = TickerBar();
    bar->Sizing().VerticalIncrement = 5;
    struct Case {
        int height, snapped;
    } cases[] = {{22, 20}, {23, 25}, {27, 25}, {28, 30}};
    for (const Case& c : cases) {
        Rect q{0, 0, 1024, c.height};
        SendRecord(wmSizing, 6, q);  // the bottom edge
        EXPECT_EQ(q, (Rect{0, 0, 1024, c.snapped})) << c.height;
    }
    TAppBarMinMaxInfo info;
    SendRecord(wmGetMinMaxInfo, 0, info);
    EXPECT_EQ(info.MaxTrackSize.Y, 32);
    EXPECT_EQ(info.MaxTrackSize.X, 1024);
    bar->Docking().SetHeight(40);  // over the maximum: docks 32 high
    EXPECT_EQ(shell.rects[Window()], (Rect{0, 0, 1024, 32}));
}

TEST_F(TpkAppBarTest, SettledBarRefusesOtherMovesButPlacementMovesIt) {
    auto bar = TickerBar();
    const Rect docked = shell.rects[Window()];
    shell.ProgramMoves(Window(), {10, 10, 200, 50});
    EXPECT_EQ(shell.rects[Window()], docked);
    bar->SetPlacement(bpBottom);
    EXPECT_EQ(shell.rects[Window()], (Rect{0, 743, 1024, 768}));
    Send(wmEnterSizeMove);  // the user's own move loop may move it
    shell.ProgramMoves(Window(), {10, 10, 200, 50});
    EXPECT_EQ(shell.rects[Window()], (Rect{10, 10, 200, 50}));
}

TEST_F(TpkAppBarTest, DoubleClickTogglesBetweenFloatingAndTheLastEdge) {
    auto bar = std::make_unique<TpkAppBar>(&form);
    model.DeliverPosted();
    ASSERT_EQ(bar->Placement(), bpFloat);
    const int expected[] = {bpTop, bpFloat, bpTop};
    for (int p : expected) {
        Send(wmNcLButtonDblClk);
        EXPECT_EQ(bar->Placement(), p);
    }
    EXPECT_EQ(shell.rects[Window()], (Rect{0, 0, 1024, 32}));
    int clicks = 0;
    bar->OnDblClick = [&](TpkAppBar&) { ++clicks; };
    Send(wmNcLButtonDblClk);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(bar->Placement(), bpTop);
}

TEST_F(TpkAppBarTest, EmptySpotUnderThePressedButtonIsTheCaption) {
    auto bar = TickerBar();
    const std::intptr_t point = (5 << 16) | 300;
    EXPECT_EQ(Send(wmNcHitTest, 0, point), htClient);
    shell.buttonDown = true;
    EXPECT_EQ(Send(wmNcHitTest, 0, point), htCaption);
    // A picture the form draws itself is no empty spot: pressing it clicks.
    form.drawnControlAt = [](int x, int) { return x < 30; };
    EXPECT_EQ(Send(wmNcHitTest, 0, (5 << 16) | 20), htClient);
    EXPECT_EQ(Send(wmNcHitTest, 0, point), htCaption);
}

TEST_F(TpkAppBarTest, EveryWayOutGivesTheStripBackOnce) {
    enum Way { Destruction, FormDestroyed, EndOfSession, ApplicationDestroyed };
    for (Way way : {Destruction, FormDestroyed, EndOfSession, ApplicationDestroyed}) {
        shell.calls.clear();
        auto bar = TickerBar();
        Send(kWmShowWindow, 1);  // hooks the application window
        if (way == FormDestroyed) Send(kWmDestroy);
        if (way == EndOfSession) Send(kWmQueryEndSession);
        if (way == ApplicationDestroyed) model.Dispatch(model.ApplicationWindow(), kWmDestroy);
        if (way != Destruction) {
            EXPECT_FALSE(bar->Registered()) << way;
        }
        bar.reset();
        EXPECT_EQ(shell.Count(abmRemove), 1) << way;
        EXPECT_EQ(shell.Count(abmNew), 1) << way;
    }
}

TEST_F(TpkAppBarTest, RefusedAutoHideClaimDocksWithAStrip) {
    auto bar = TickerBar();
    shell.refuseAutoHide = true;
    int unable = 0;
    bar->OnUnableToAutoHide = [&](TpkAppBar&) { ++unable; };
    shell.calls.clear();
    bar->SetAutoHide(true);
    EXPECT_FALSE(bar->AutoHide());
    EXPECT_EQ(unable, 1);
    EXPECT_EQ(shell.calls.back().msg, abmActivate);
    EXPECT_EQ(shell.Count(abmSetPos), 1);
    EXPECT_EQ(model.timers.size(), 0u);
}

TEST_F(TpkAppBarTest, AutoHideSlidesAwayOnTheTimerAndBackOnHitTest) {
    auto bar = TickerBar();
    bar->SetAutoHide(true);
    ASSERT_TRUE(bar->AutoHide());
    EXPECT_EQ((model.timers[{bar->UtilityWindow(), kAutoHideTimerId}]), kAutoHideInterval);
    EXPECT_EQ(shell.autoHideBar, Window());
    shell.mouse = {500, 30};  // within reach: stays
    model.Dispatch(bar->UtilityWindow(), kWmTimer, kAutoHideTimerId);
    EXPECT_TRUE(bar->Shown());
    shell.mouse = {500, 400};
    model.Dispatch(bar->UtilityWindow(), kWmTimer, kAutoHideTimerId);
    EXPECT_FALSE(bar->Shown());
    EXPECT_EQ(shell.rects[Window()], (Rect{0, 2 - 25, 1024, 2}));
    EXPECT_EQ(Send(wmNcHitTest, 0, (1 << 16) | 500), htClient);
    EXPECT_EQ(shell.rects[Window()], (Rect{0, 0, 1024, 25}));
    bar->SetAutoHide(false);
    EXPECT_EQ(model.timers.size(), 0u);
    model.refuseTimers = true;
    try {
        bar->SetAutoHide(true);
        ADD_FAILURE() << "no error without a timer";
    } catch (const EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "Not enough timers available");
    }
}

// What the owner hands the visibility watcher: each full-screen program opening and closing.
TEST_F(TpkAppBarTest, AFullScreenProgramIsToldToTheOwner) {
    auto bar = TickerBar();
    std::vector<bool> told;
    bar->OnFullScreenApp = [&](TpkAppBar&, bool open) { told.push_back(open); };
    Send(kAppBarCallbackMessage, abnFullScreenApp, 1);
    EXPECT_TRUE(bar->FullScreenAppOpen());
    Send(kAppBarCallbackMessage, abnFullScreenApp, 0);
    EXPECT_FALSE(bar->FullScreenAppOpen());
    EXPECT_EQ(told, (std::vector<bool>{true, false}));
}

TEST_F(TpkAppBarTest, SlideFramesStayWithinTheSlideTime) {
    auto bar = TickerBar();
    shell.fullDrag = true;
    shell.tickStep = 30;
    shell.frames.clear();
    bar->SetPlacement(bpBottom);
    const Rect to{0, 743, 1024, 768};
    ASSERT_GE(shell.frames.size(), 2u);
    EXPECT_LE(shell.frames.size(), 200u / 30 + 1);
    for (std::size_t i = 0; i + 1 < shell.frames.size(); ++i) {
        EXPECT_GT(shell.frames[i].Top, 0);
        EXPECT_LT(shell.frames[i].Top, to.Top);
        if (i > 0) {
            EXPECT_GT(shell.frames[i].Top, shell.frames[i - 1].Top);
        }
    }
    EXPECT_EQ(shell.frames.back(), to);
    shell.visible = false;  // a hidden form just moves
    shell.frames.clear();
    bar->SetPlacement(bpTop);
    EXPECT_EQ(shell.frames, (std::vector<Rect>{{0, 0, 1024, 25}}));
}

// ---------------------------------------------------------------------------------------------
// Settings

TEST_F(TpkAppBarTest, SaverRoundTripsEveryValueThroughAnIniFile) {
    test::TempDir dir;
    auto configure = [&](TpkAppBar& bar) {
        TpkAppBarRegistrySaver& s = bar.RegistrySaver();
        s.Storage = TpkStorageType::useIniFile;
        s.IniFileName = (dir / "bar.ini").string();
        s.IniSection = "Bar";
        s.RestoreProperties = 0x3F;
        s.SetEnabled(true);
    };
    {
        auto bar = TickerBar();
        configure(*bar);
        bar->SetFloatRect({40, 50, 340, 90});
        bar->AllowedEdges = EdgeBit(bpBottom) | EdgeBit(bpFloat);
        bar->SetPlacement(bpBottom);
        bar->SetTaskIcon(sbShowAlways);
        bar->SetTitleBar(sbHideAlways);
        bar->Docking().MaxHeight = 31;
        bar->Docking().MinWidth = 3;
        bar->Docking().SetWidth(44);
        bar->FloatRestrictions().SetEnabled(true);
        bar->FloatRestrictions().SetMaxWidth(500);
        bar->FloatRestrictions().SetMinHeight(20);
        bar->Sizing().HorizontalIncrement = 7;
        bar->Sizing().VerticalIncrement = 0;
        bar->Sliding().SetEnabled(false);
        bar->Sliding().SlideTime = 120;
        bar->SetAlwaysOnTop(false);
        Send(kWmQueryEndSession);  // saves on close
    }
    auto bar = std::make_unique<TpkAppBar>(&form);
    configure(*bar);
    bar->RegistrySaver().Load();
    EXPECT_EQ(bar->FloatRect(), (Rect{40, 50, 340, 90}));
    EXPECT_EQ(bar->AllowedEdges, EdgeBit(bpBottom) | EdgeBit(bpFloat));
    EXPECT_EQ(bar->Placement(), bpBottom);
    EXPECT_EQ(bar->TaskIcon(), sbShowAlways);
    EXPECT_EQ(bar->TitleBar(), sbHideAlways);
    EXPECT_FALSE(bar->AlwaysOnTop());
    EXPECT_EQ(bar->Docking().Height(), 25);
    EXPECT_EQ(bar->Docking().Width(), 44);
    EXPECT_EQ(bar->Docking().MaxHeight, 31);
    EXPECT_EQ(bar->Docking().MinWidth, 3);
    EXPECT_TRUE(bar->FloatRestrictions().Enabled());
    EXPECT_EQ(bar->FloatRestrictions().MaxWidth(), 500);
    EXPECT_EQ(bar->FloatRestrictions().MinHeight(), 20);
    EXPECT_EQ(bar->Sizing().HorizontalIncrement, 7);
    EXPECT_EQ(bar->Sizing().VerticalIncrement, 0);
    EXPECT_FALSE(bar->Sliding().Enabled());
    EXPECT_EQ(bar->Sliding().SlideTime, 120);
    EXPECT_EQ(shell.rects[Window()], (Rect{0, 743, 1024, 768}));
}

// A registry key in memory: the values live in the test, each opening is a view on them.
using Values = std::map<std::string, std::int32_t>;
class MemoryKey : public TpkSettingsStore {
public:
    explicit MemoryKey(Values& values) : v_(values) {}
    bool ValueExists(const std::string& n) override { return v_.count(n) != 0; }
    std::string ReadString(const std::string&, const std::string& def) override { return def; }
    void WriteString(const std::string&, const std::string&) override {}
    std::int32_t ReadInteger(const std::string& n, std::int32_t def) override { return v_.count(n) ? v_[n] : def; }
    void WriteInteger(const std::string& n, std::int32_t v) override { v_[n] = v; }

private:
    Values& v_;
};
class MemoryOpener : public TpkRegistryOpener {
public:
    explicit MemoryOpener(Values& values) : v_(values) {}
    std::unique_ptr<TpkSettingsStore> Open(TpkRegLocation, const std::string&, bool) override {
        return std::make_unique<MemoryKey>(v_);
    }

private:
    Values& v_;
};

TEST_F(TpkAppBarTest, DamagedRecordsNeverPutTheBarOffScreenOrAtAForbiddenEdge) {
    struct Case {
        const char* what;
        Values changes;
        const char* missing;  // a value taken out of the record
        Rect floatRect;
        int placement;
    } cases[] = {
        {"off screen", {{"Left", -5000}, {"Top", 9000}, {"Right", -4700}, {"Bottom", 9060}, {"Placement", 4}}, "",
         {0, 678, 300, 738}, bpFloat},
        {"inverted", {{"Left", 50}, {"Top", 60}, {"Right", 10}, {"Bottom", 20}, {"Placement", 4}}, "",
         {50, 60, 350, 120}, bpFloat},
        {"huge", {{"Left", 0}, {"Top", 0}, {"Right", 99999}, {"Bottom", 99999}, {"Placement", 4}}, "",
         {0, 0, 1024, 738}, bpFloat},
        {"forbidden edge", {{"Placement", bpLeft}}, "", {100, 100, 400, 160}, bpTop},
        {"out of range", {{"Placement", 77}}, "", {100, 100, 400, 160}, bpTop},
        {"no edges at all", {{"Placement", bpLeft}, {"Allowed Edges", 0}}, "", {100, 100, 400, 160}, bpTop},
        // Truncated after Left: nothing after the missing Top is read.
        {"truncated", {{"Left", 3}, {"Placement", 4}}, "Top", {100, 100, 400, 160}, bpTop},
    };
    const int unhandled = UnhandledCount();
    for (const Case& c : cases) {
        shell.rects[Window()] = {100, 100, 400, 160};
        auto bar = TickerBar();
        Values key;
        TpkAppBarRegistrySaver& s = bar->RegistrySaver();
        s.SetRegistryOpener(std::make_unique<MemoryOpener>(key));
        s.RestoreProperties |= rpAllowedEdges;
        s.SetEnabled(true);
        s.Save();
        ASSERT_EQ(key.size(), 23u);  // no float restrictions by default
        for (const auto& [name, value] : c.changes) key[name] = value;
        key.erase(c.missing);
        s.Load();
        EXPECT_EQ(bar->FloatRect(), c.floatRect) << c.what;
        EXPECT_EQ(bar->Placement(), c.placement) << c.what;
        EXPECT_EQ(bar->AllowedEdges, EdgeBit(bpTop) | EdgeBit(bpBottom) | EdgeBit(bpFloat)) << c.what;
        if (c.placement == bpFloat) {
            EXPECT_EQ(shell.rects[Window()], c.floatRect) << c.what;
        }
    }
    EXPECT_EQ(UnhandledCount(), unhandled);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// ---------------------------------------------------------------------------------------------
// Monitors and the shell's restart

TMonitor Display(const char* name, Rect bounds, bool primary, int dpi = 96) {
    return {name, bounds, bounds, dpi, primary};
}
const TMonitor kPrimary = Display("\\\\.\\DISPLAY1", {0, 0, 1024, 768}, true);
const TMonitor kRight = Display("\\\\.\\DISPLAY2", {1024, 0, 2304, 1024}, false, 144);
const TMonitor kAbove = Display("\\\\.\\DISPLAY2", {-200, -1080, 1720, 0}, false);
const TMonitor kLeft = Display("\\\\.\\DISPLAY3", {-1280, 100, 0, 900}, false);

TEST_F(TpkAppBarTest, DocksOnTheEdgeOfTheMonitorItsSettingNames) {
    struct Case {
        const char* what;
        TMonitorList layout;
        std::string monitor;
        int edge;
        Rect expected;
    } cases[] = {
        {"empty: the primary", {kPrimary, kRight}, "", bpTop, {0, 0, 1024, 25}},
        {"beside it", {kPrimary, kRight}, kRight.DeviceName, bpTop, {1024, 0, 2304, 25}},
        {"beside it, bottom", {kPrimary, kRight}, kRight.DeviceName, bpBottom, {1024, 999, 2304, 1024}},
        {"above it", {kPrimary, kAbove}, kAbove.DeviceName, bpTop, {-200, -1080, 1720, -1055}},
        {"above it, bottom", {kPrimary, kAbove}, kAbove.DeviceName, bpBottom, {-200, -25, 1720, 0}},
        {"left of it, listed first", {kLeft, kPrimary}, kLeft.DeviceName, bpBottom, {-1280, 875, 0, 900}},
        {"not connected: the primary", {kPrimary, kRight}, kLeft.DeviceName, bpBottom, {0, 743, 1024, 768}},
    };
    for (const Case& c : cases) {
        shell.monitors = c.layout;
        auto bar = TickerBar();
        bar->SetMonitor(c.monitor);
        shell.calls.clear();
        bar->SetPlacement(c.edge);
        EXPECT_EQ(shell.rects[Window()], c.expected) << c.what;
        const auto query = std::find_if(shell.calls.begin(), shell.calls.end(),
                                        [](const FakeShell::Call& call) { return call.msg == abmQueryPos; });
        ASSERT_NE(query, shell.calls.end()) << c.what;
        const Rect monitor = c.layout[static_cast<std::size_t>(MonitorIndexNamed(c.layout, c.monitor))].Bounds;
        EXPECT_EQ(query->rect, monitor) << c.what << ": the shell is asked about that monitor only";
        EXPECT_EQ(bar->Monitor(), c.monitor) << c.what;
    }
}

TEST_F(TpkAppBarTest, AMonitorUnpluggedSendsTheBarToThePrimaryAndBackWhenItReturns) {
    shell.monitors = {kPrimary, kRight};
    auto bar = TickerBar();
    std::vector<std::string> changes;
    bar->OnMonitorChanged = [&](TpkAppBar&, const TMonitor& m) { changes.push_back(m.DeviceName); };
    bar->SetMonitor(kRight.DeviceName);
    EXPECT_EQ(shell.rects[Window()], (Rect{1024, 0, 2304, 25}));
    EXPECT_EQ(bar->CurrentMonitor().Dpi, 144);

    shell.monitors = {kPrimary};
    Send(wmDisplayChange);
    EXPECT_EQ(shell.rects[Window()], (Rect{0, 0, 1024, 25}));
    EXPECT_EQ(bar->Monitor(), kRight.DeviceName) << "the choice is kept for the monitor's return";

    shell.monitors = {kPrimary, kRight};
    Send(wmDisplayChange);
    EXPECT_EQ(shell.rects[Window()], (Rect{1024, 0, 2304, 25}));
    EXPECT_EQ(changes, (std::vector<std::string>{kRight.DeviceName, kPrimary.DeviceName, kRight.DeviceName}));
}

TEST_F(TpkAppBarTest, ADragOntoAnotherMonitorsEdgeDocksThereAndSaysSo) {
    shell.monitors = {kPrimary, kRight};
    auto bar = TickerBar();
    std::vector<std::string> chosen;
    bar->OnMonitorChosen = [&](TpkAppBar&, const std::string& m) { chosen.push_back(m); };
    EXPECT_EQ(DragTo(*bar, 1700, 3), (Rect{1024, 0, 2304, 25})) << "the top edge of the monitor under the mouse";
    Send(wmCaptureChanged);
    Send(wmExitSizeMove);
    EXPECT_EQ(bar->Placement(), bpTop);
    EXPECT_EQ(bar->Monitor(), kRight.DeviceName);
    EXPECT_EQ(shell.rects[Window()], (Rect{1024, 0, 2304, 25}));

    DragTo(*bar, 1700, 500);  // its middle: floats there, the choice stays
    Send(wmCaptureChanged);
    Send(wmExitSizeMove);
    EXPECT_EQ(bar->Placement(), bpFloat);
    EXPECT_EQ(bar->CurrentMonitor().DeviceName, kRight.DeviceName);
    Send(wmNcLButtonDblClk);  // docks on the monitor it floats on: no new choice
    EXPECT_EQ(shell.rects[Window()], (Rect{1024, 0, 2304, 25}));

    DragTo(*bar, 500, 760);  // back to the primary's bottom edge: the empty setting
    Send(wmCaptureChanged);
    Send(wmExitSizeMove);
    EXPECT_EQ(shell.rects[Window()], (Rect{0, 743, 1024, 768}));
    EXPECT_EQ(chosen, (std::vector<std::string>{kRight.DeviceName, ""}));
}

TEST_F(TpkAppBarTest, ARestartedShellIsToldOfTheBarAgain) {
    auto bar = TickerBar();
    Send(FakeShell::kTaskbarCreated);  // the shell still knows it: nothing is lost
    EXPECT_TRUE(bar->Registered());
    shell.registered.clear();  // the shell started again and knows no bar
    shell.calls.clear();
    Send(FakeShell::kTaskbarCreated);
    ASSERT_GE(shell.calls.size(), 3u);
    EXPECT_EQ(shell.calls.front().msg, abmNew);
    EXPECT_EQ(shell.Count(abmSetPos), 1) << "the strip is reserved again";
    EXPECT_TRUE(shell.registered.count(Window()));
    bar->SetPlacement(kNoPlacement);  // a way out: a later restart brings no registration back
    shell.calls.clear();
    Send(FakeShell::kTaskbarCreated);
    EXPECT_EQ(shell.Count(abmNew), 0);
}

}  // namespace
}  // namespace tw
