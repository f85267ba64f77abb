// The application bar on a real window with Wine's shell: it reserves its strip at the top, other
// bars are placed below it, it leaves no ghost when its window goes, it is registered again when
// the shell restarts, it docks on the monitor it is given, and its settings round-trip through
// the registry.
#include "controls/pkAppBar.h"

#include "base/ApplicationWindow_win32.h"
#include "base/HookableWindow_win32.h"
#include "controls/Monitors_win32.h"
#include "support/MessagePump.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace tw {
namespace {

constexpr wchar_t kTestRoot[] = L"Software\\Tidewire-test";

class BarForm : public Win32Window {
public:
    HWND Make() {
        // Made once: after the test destroys it, a rehook must not bring it back.
        if (!made_) CreateFor(L"TidewireAppBarTestForm", 0, WS_POPUP, L"bar", 100, 100, 300, 60, nullptr);
        made_ = true;
        return Handle();
    }

private:
    bool made_ = false;
};

// Another application bar, registered straight with the shell.
class OtherBar {
public:
    OtherBar() {
        window_ = CreateWindowExW(0, L"STATIC", L"other bar", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        APPBARDATA abd = Data();
        registered_ = SHAppBarMessage(ABM_NEW, &abd) != 0;
    }
    ~OtherBar() {
        APPBARDATA abd = Data();
        if (registered_) SHAppBarMessage(ABM_REMOVE, &abd);
        DestroyWindow(window_);
    }
    bool Registered() const { return registered_; }
    // The rectangle the shell grants a bar asking for the whole top edge (of the primary monitor,
    // or of `monitor`).
    RECT QueryTop(RECT monitor = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}) {
        APPBARDATA abd = Data();
        abd.uEdge = ABE_TOP;
        abd.rc = monitor;
        SHAppBarMessage(ABM_QUERYPOS, &abd);
        return abd.rc;
    }

private:
    APPBARDATA Data() const {
        APPBARDATA abd{};
        abd.cbSize = sizeof(abd);
        abd.hWnd = window_;
        abd.uCallbackMessage = WM_APP + 1;
        return abd;
    }
    HWND window_ = nullptr;
    bool registered_ = false;
};

// The user's mouse, from another thread so the test's own thread can run the system's move loop.
class Mouse {
public:
    Mouse& MoveTo(int x, int y) { return Add(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y); }
    Mouse& Press() { return Add(MOUSEEVENTF_LEFTDOWN, -1, -1); }
    Mouse& Release() { return Add(MOUSEEVENTF_LEFTUP, -1, -1); }
    // Sends the steps 150 ms apart, about a hand's pace (the bar reads the button's state when the
    // press is handled), while `pump` runs; answers what `pump` answered.
    bool Play(const std::function<bool()>& pump) {
        std::thread player([steps = steps_] {
            for (INPUT input : steps) {
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                SendInput(1, &input, sizeof(input));
            }
        });
        const bool result = pump();
        player.join();
        steps_.clear();
        return result;
    }

private:
    Mouse& Add(DWORD flags, int x, int y) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
        if (x >= 0) {
            input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
            input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
        }
        steps_.push_back(input);
        return *this;
    }
    std::vector<INPUT> steps_;
};

class TpkAppBarWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(TApplicationWindow::Instance().Create(L"appbar test"));
        bar = std::make_unique<TpkAppBar>(&control);
        // As the main window sets it up, before its form is shown.
        bar->AllowedEdges = EdgeBit(bpTop) | EdgeBit(bpBottom) | EdgeBit(bpFloat);
        bar->Docking().MaxHeight = 32;
        bar->Docking().SetHeight(25);
        bar->SetPlacement(bpTop);
        ShowWindow(form.Handle(), SW_SHOWNOACTIVATE);
        test::PumpFor(300);  // the posted move-loop end and the re-apply after showing
    }
    void TearDown() override {
        bar.reset();
        form.Destroy();
        test::PumpFor(50);
    }
    RECT WindowRect() {
        RECT rc{};
        GetWindowRect(form.Handle(), &rc);
        return rc;
    }

    BarForm form;
    THookableWindow control{[this] { return form.Make(); }};
    std::unique_ptr<TpkAppBar> bar;
};

TEST_F(TpkAppBarWin32, DocksAtTheTopReservesItsStripAndLeavesNoGhost) {
    ASSERT_TRUE(bar->Registered());
    const RECT rc = WindowRect();
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.bottom - rc.top, 25);
    EXPECT_EQ(rc.right - rc.left, GetSystemMetrics(SM_CXSCREEN));

    OtherBar other;
    ASSERT_TRUE(other.Registered());
    EXPECT_EQ(other.QueryTop().top, 25);

    form.Destroy();  // WM_DESTROY: the bar gives its strip back
    EXPECT_FALSE(bar->Registered());
    EXPECT_EQ(other.QueryTop().top, 0);
}

TEST_F(TpkAppBarWin32, ARestartedShellFindsTheStripReservedAgainWithinTwoSeconds) {
    // Wine's shell stacks a bar only below those registered before it: each look is a new bar.
    auto topFreeForANewBar = [] { return OtherBar().QueryTop().top; };
    ASSERT_EQ(topFreeForANewBar(), 25);
    // The shell forgets the bar, as a restarted Explorer does, and says so to every window.
    APPBARDATA abd{};
    abd.cbSize = sizeof(abd);
    abd.hWnd = form.Handle();
    SHAppBarMessage(ABM_REMOVE, &abd);
    ASSERT_EQ(topFreeForANewBar(), 0);
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    ASSERT_TRUE(PostMessageW(HWND_BROADCAST, taskbarCreated, 0, 0));
    EXPECT_TRUE(test::PumpUntil([&] { return topFreeForANewBar() == 25; }, 2000));
    EXPECT_TRUE(bar->Registered());
    EXPECT_EQ(WindowRect().top, 0);
}

// Runs only on a desktop of two monitors or more (tests/controls/two_monitors_e2e.py makes one);
// TW_EXPECT_MONITORS=2 turns a single monitor into a failure.
TEST_F(TpkAppBarWin32, DocksOnTheTopEdgeOfTheSecondMonitor) {
    const TMonitorList monitors = SystemMonitors();
    const char* expected = std::getenv("TW_EXPECT_MONITORS");
    if (monitors.size() < 2) {
        ASSERT_TRUE(expected == nullptr) << "only " << monitors.size() << " monitor(s)";
        GTEST_SKIP() << "one monitor";
    }
    const int primary = PrimaryMonitorIndex(monitors);
    const TMonitor& second = monitors[primary == 0 ? 1 : 0];
    std::vector<std::string> changed;
    bar->OnMonitorChanged = [&](TpkAppBar&, const TMonitor& m) { changed.push_back(m.DeviceName); };
    bar->SetMonitor(second.DeviceName);
    test::PumpFor(200);
    const RECT rc = WindowRect();
    EXPECT_EQ(rc.left, second.Bounds.Left);
    EXPECT_EQ(rc.top, second.Bounds.Top);
    EXPECT_EQ(rc.right, second.Bounds.Right);
    EXPECT_EQ(rc.bottom, second.Bounds.Top + 25);
    EXPECT_EQ(changed, std::vector<std::string>{second.DeviceName});

    OtherBar other;
    ASSERT_TRUE(other.Registered());
    const Rect b = second.Bounds;
    // (Wine's shell stacks every top bar below every other, on any monitor: a query on the
    // primary's top edge is pushed down too.)
    EXPECT_EQ(other.QueryTop({b.Left, b.Top, b.Right, b.Bottom}).top, b.Top + 25) << "placed below the bar";
}

// Run by tests/controls/two_monitors_e2e.py (TW_UNPLUG_BY_RANDR=1), which turns the second
// monitor's output off and on again when this test asks. Wine then lists the monitors anew but
// sends no WM_DISPLAYCHANGE, so the test broadcasts it as Windows does.
TEST_F(TpkAppBarWin32, FollowsItsMonitorOutToThePrimaryAndBack) {
    if (!std::getenv("TW_UNPLUG_BY_RANDR")) GTEST_SKIP() << "needs a second monitor that can be unplugged";
    const TMonitorList monitors = SystemMonitors();
    ASSERT_GE(monitors.size(), 2u);
    const TMonitor second = monitors[PrimaryMonitorIndex(monitors) == 0 ? 1 : 0];
    bar->SetMonitor(second.DeviceName);
    test::PumpFor(200);
    ASSERT_EQ(WindowRect().left, second.Bounds.Left);
    auto replug = [&](const char* request, std::size_t count) {
        std::printf("%s\n", request);
        std::fflush(stdout);
        const bool changed = test::PumpUntil([&] { return SystemMonitors().size() == count; }, 20000);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(HWND_BROADCAST, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768), SMTO_ABORTIFHUNG, 5000,
                            &result);
        test::PumpFor(300);
        return changed;
    };
    ASSERT_TRUE(replug("TW-UNPLUG-SECOND", 1));
    EXPECT_EQ(WindowRect().left, 0) << "on the primary while its monitor is gone";
    EXPECT_EQ(WindowRect().top, 0);
    EXPECT_EQ(bar->Monitor(), second.DeviceName);
    ASSERT_TRUE(replug("TW-PLUG-SECOND", 2));
    EXPECT_EQ(WindowRect().left, second.Bounds.Left) << "back on its monitor";
    EXPECT_EQ(WindowRect().right, second.Bounds.Right);
}

TEST_F(TpkAppBarWin32, TheUsersDoubleClickAndDragMoveTheBar) {
    // A double-click on an empty spot of the docked bar floats it.
    Mouse mouse;
    mouse.MoveTo(300, 12).Press().Release().Press().Release();
    EXPECT_TRUE(mouse.Play([&] { return test::PumpUntil([&] { return bar->Placement() == bpFloat; }, 3000); }));
    EXPECT_EQ(WindowRect().top, 100);
    EXPECT_EQ(WindowRect().bottom - WindowRect().top, 60);

    // Dragged by an empty spot to the bottom of the screen, it docks there.
    mouse.MoveTo(250, 130).Press();
    for (int y = 200; y <= 760; y += 80) mouse.MoveTo(400, y);
    mouse.MoveTo(500, 760).Release();
    EXPECT_TRUE(mouse.Play([&] {
        return test::PumpUntil([&] { return bar->Placement() == bpBottom && bar->PlacementSettled(); }, 4000);
    }));
    const RECT rc = WindowRect();
    EXPECT_EQ(rc.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(rc.bottom - rc.top, 25);
}

TEST_F(TpkAppBarWin32, SettingsRoundTripThroughTheRegistry) {
    TpkAppBarRegistrySaver& saver = bar->RegistrySaver();
    saver.SetRegKey("Software\\Tidewire-test\\AppBar");
    saver.RestoreProperties |= rpAllowedEdges;
    saver.SetEnabled(true);
    bar->Sizing().VerticalIncrement = 3;
    bar->Sliding().SlideTime = 150;
    bar->SetFloatRect({30, 40, 330, 100});
    saver.Save();

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tidewire-test\\AppBar", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 4;
    BYTE edges[4] = {};
    EXPECT_EQ(RegQueryValueExW(key, L"Allowed Edges", nullptr, &type, edges, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(edges[0], EdgeBit(bpTop) | EdgeBit(bpBottom) | EdgeBit(bpFloat));

    bar->Sizing().VerticalIncrement = 1;
    bar->Sliding().SlideTime = 200;
    bar->SetFloatRect({0, 0, 10, 10});
    bar->AllowedEdges = kAllAppBarEdges;
    bar->SetPlacement(bpBottom);
    saver.Load();
    EXPECT_EQ(bar->Sizing().VerticalIncrement, 3);
    EXPECT_EQ(bar->Sliding().SlideTime, 150);
    EXPECT_EQ(bar->FloatRect(), (Rect{30, 40, 330, 100}));
    EXPECT_EQ(bar->AllowedEdges, EdgeBit(bpTop) | EdgeBit(bpBottom) | EdgeBit(bpFloat));
    EXPECT_EQ(bar->Placement(), bpTop);
    EXPECT_EQ(WindowRect().top, 0);

    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tidewire-test\\AppBar"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, kTestRoot), ERROR_SUCCESS);
}

}  // namespace
}  // namespace tw
