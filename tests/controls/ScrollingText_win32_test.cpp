// The scrolling text as a real child window under Wine: pixels from the screen, real timers.
#include "controls/ScrollingText_win32.h"

#include "base/Unhandled.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

#include "ScrollingTextTestKit_win32.h"

// Every allocation of this test program is counted, so a test can see that a stretch of code
// allocates nothing.
std::atomic<long> g_allocations{0};

void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The compiler sees the library's own new inlined next to this free and warns of a mismatch that
// is not there: both halves are replaced here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace tw {
namespace {

constexpr TColor kGround = 0x40342B;
constexpr TColor kFont = 0xE6F5FF;
constexpr int kWidth = 300;
constexpr int kHeight = 16;
constexpr int kLeft = 20;
constexpr int kTop = 10;

class ScrollingTextWindow : public testing::Test {
protected:
    void SetUp() override {
        ticker = CreateScrollingText(host.Get(), kLeft, kTop, kWidth, kHeight);
        ASSERT_NE(ticker, nullptr);
        ticker->SetFont({"Tahoma", 8, kFont, 0});
        ticker->SetBackgroundColor(kGround);
        ticker->SetLayout(tlCenter);
        ticker->SetTextDirection(tdRightToLeft);
        ticker->SetText("Tidewire WWWW MMMM scrolls this line of news across the bar");
        ticker->OnTextScrolled = [this](TScrollingText&) { ++passes; };
        ticker->SetSpeed(10);
        ticker->PixelJump = 2;
        ticker->Loaded();
        test::PumpFor(100);
    }

    TPixelImage Shot() {
        const TPixelImage all = test::CaptureClient(host.Get());
        TPixelImage part(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) part.SetPixel(x, y, all.Pixel(kLeft + x, kTop + y) & 0xFFFFFFu);
        return part;
    }

    static int CountColour(const TPixelImage& shot, TColor c, int x0 = 0, int x1 = kWidth) {
        int n = 0;
        for (int y = 0; y < shot.Height(); ++y)
            for (int x = x0; x < x1; ++x) n += PixelToColor(shot.Pixel(x, y)) == c;
        return n;
    }

    test::HostWindow host{0, 0, 400, 40};
    std::unique_ptr<TScrollingText> ticker;
    int passes = 0;
};

TEST_F(ScrollingTextWindow, IsAChildWindowWhereItWasPut) {
    HWND hwnd = WindowHandle(*ticker);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetParent(hwnd), host.Get());
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.left, kLeft);
    EXPECT_EQ(rc.top, kTop);
    EXPECT_EQ(rc.right - rc.left, kWidth);
    EXPECT_EQ(rc.bottom - rc.top, kHeight);
    EXPECT_GT(ticker->StripWidth(), 2 * kWidth + 100) << "the text was measured";
}

TEST_F(ScrollingTextWindow, TextMovesAndShowsGlyphsInTheFontColour) {
    // The text enters from the right; wait until it reaches the middle however slow the timer.
    ASSERT_TRUE(test::PumpUntil([&] { return ticker->Offset() <= -kWidth * 2 / 3; }, 20000));
    const int offset1 = ticker->Offset();
    const TPixelImage a = Shot();
    test::PumpFor(300);
    const int offset2 = ticker->Offset();
    const TPixelImage b = Shot();
    EXPECT_LT(offset2, offset1);
    EXPECT_NE(a, b) << "two frames 300 ms apart must differ";
    EXPECT_GT(CountColour(b, kFont, 20, kWidth - 20), 20) << "glyphs in the font colour";
    EXPECT_GT(CountColour(b, kGround), kWidth * kHeight / 2) << "on the ground colour";
    // Nothing but ground, glyphs and their fades: the host's magenta never shows through.
    EXPECT_EQ(CountColour(b, 0xFF00FF), 0);
}

TEST_F(ScrollingTextWindow, EdgesFadeIntoTheGround) {
    // Over many frames, glyphs cross both edges: column 0 and the last column stay ground, and a
    // column a few pixels in shows the blended colour of its place in the fade.
    const TColor col3 = ColorBlend(kGround, kFont, 4, 15);
    ticker->SetOffset(-(kWidth - 30));  // the text's head 30 pixels from the left edge
    bool sawBlend = false, sawMiddleGlyph = false;
    for (int i = 0; i < 40 && !(sawBlend && sawMiddleGlyph); ++i) {
        test::PumpFor(120);
        const TPixelImage shot = Shot();
        ASSERT_EQ(CountColour(shot, 0xFF00FF), 0) << "no frame lets the host's background through";
        for (int y = 0; y < kHeight; ++y) {
            ASSERT_EQ(PixelToColor(shot.Pixel(0, y)), kGround);
            ASSERT_EQ(PixelToColor(shot.Pixel(kWidth - 1, y)), kGround);
            const TColor c3 = PixelToColor(shot.Pixel(3, y));
            ASSERT_TRUE(c3 == kGround || c3 == col3) << std::hex << c3;
            sawBlend |= c3 == col3;
            sawMiddleGlyph |= PixelToColor(shot.Pixel(kWidth / 2, y)) == kFont;
        }
    }
    EXPECT_TRUE(sawBlend) << "a glyph crossed column 3 in its fade colour";
    EXPECT_TRUE(sawMiddleGlyph);
}

TEST_F(ScrollingTextWindow, OnTextScrolledFiresAfterEachPass) {
    ticker->SetText("ab");
    ticker->PixelJump = 8;
    const int distance = ticker->StripWidth() - kWidth;  // ticks of 8 px per pass
    const int ticksPerPass = (distance + 7) / 8;
    ASSERT_TRUE(test::PumpUntil([&] { return passes >= 3; }, 10000)) << "passes: " << passes;
    EXPECT_LT(ticksPerPass, 60);
    EXPECT_EQ(ticker->Offset() % 8, 0);
}

TEST_F(ScrollingTextWindow, SpeedZeroStandsStill) {
    ticker->SetSpeed(0);
    test::PumpFor(50);
    const int offset = ticker->Offset();
    const TPixelImage a = Shot();
    test::PumpFor(400);
    EXPECT_EQ(ticker->Offset(), offset);
    EXPECT_EQ(Shot(), a);
    // A paint request from the window system still draws the standing frame.
    InvalidateRect(WindowHandle(*ticker), nullptr, FALSE);
    test::PumpFor(100);
    EXPECT_EQ(Shot(), a);
    ticker->SetSpeed(10);
    test::PumpFor(300);
    EXPECT_LT(ticker->Offset(), offset);
}

TEST_F(ScrollingTextWindow, HiddenOrDisabledPauses) {
    HWND hwnd = WindowHandle(*ticker);
    ticker->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    const int offset = ticker->Offset();
    test::PumpFor(300);
    EXPECT_EQ(ticker->Offset(), offset);
    EXPECT_EQ(CountColour(Shot(), 0xFF00FF), kWidth * kHeight) << "hidden: the host shows through";

    ticker->SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    test::PumpFor(300);
    const int moved = ticker->Offset();
    EXPECT_LT(moved, offset);

    ticker->SetEnabled(false);
    test::PumpFor(300);
    EXPECT_EQ(ticker->Offset(), moved);
    EXPECT_EQ(passes, 0);
}

TEST_F(ScrollingTextWindow, ClickArrivesThroughTheWindow) {
    int clicks = 0;
    ticker->OnClick = [&](TScrollingText&) { ++clicks; };
    HWND hwnd = WindowHandle(*ticker);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(12, 5));
    EXPECT_EQ(clicks, 1);
}

TEST_F(ScrollingTextWindow, AFailingHandlerReachesTheApplicationsHandler) {
    std::vector<std::string> reported;
    SetUnhandledHandler([&](std::exception_ptr e) { reported.push_back(UnhandledText(e)); });
    ticker->OnClick = [](TScrollingText&) { throw std::runtime_error("the click handler failed"); };
    const int before = UnhandledCount();
    HWND hwnd = WindowHandle(*ticker);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(12, 5));
    SetUnhandledHandler(nullptr);
    EXPECT_EQ(UnhandledCount(), before + 1);
    EXPECT_EQ(reported, std::vector<std::string>{"the click handler failed"});
    ticker->OnClick = nullptr;
    const int offset = ticker->Offset();
    test::PumpFor(100);
    EXPECT_NE(ticker->Offset(), offset) << "the control goes on scrolling";
}

TEST_F(ScrollingTextWindow, HintAndHandCursor) {
    HWND hwnd = WindowHandle(*ticker);
    ticker->SetShowHint(true);
    ticker->SetHint("The item's description");
    struct Found {
        HWND owner;
        HWND tip = nullptr;
    } found{host.Get()};  // a popup's owner is always the top-level window
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM lp) -> BOOL {
            auto* f = reinterpret_cast<Found*>(lp);
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0 && GetWindow(w, GW_OWNER) == f->owner) f->tip = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    ASSERT_NE(found.tip, nullptr);
    EXPECT_EQ(SendMessageW(found.tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    wchar_t text[80] = {};
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = hwnd;
    ti.uId = 1;
    ti.lpszText = text;
    SendMessageW(found.tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(text, L"The item's description");

    ticker->SetHandCursor(true);
    EXPECT_TRUE(SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}

TEST_F(ScrollingTextWindow, AbsurdFontSizesNeitherHangNorCrash) {
    for (int size : {99999, 5000, 1000, 300, 0, -12, -5000, -99999, 1}) {
        SCOPED_TRACE(size);
        const ULONGLONG start = GetTickCount64();
        ticker->SetFont({"Tahoma", size, kFont, 0});
        ticker->Tick();
        test::PumpFor(50);
        EXPECT_LT(GetTickCount64() - start, 2000u);
        EXPECT_GE(ticker->StripWidth(), 2 * kWidth);
    }
}

TEST_F(ScrollingTextWindow, DestroyingTheControlRemovesItsWindow) {
    HWND hwnd = WindowHandle(*ticker);
    ticker.reset();
    test::PumpFor(50);  // a timer message queued before must not reach the freed control
    EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST_F(ScrollingTextWindow, PresentingChangesOnlyShowsEveryFrameAsComposed) {
    ticker->SetSpeed(0);
    ticker->PresentChangesOnly = true;
    for (int ticks : {1, 7, 150, 300}) {  // the first whole, then parts, across the text
        for (int i = 0; i < ticks; ++i) ticker->Tick();
        test::PumpFor(50);  // Wine sends the window's pixels to the screen when the thread idles
        TPixelImage frame = ticker->Frame();
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) frame.SetPixel(x, y, frame.Pixel(x, y) & 0xFFFFFFu);
        EXPECT_EQ(Shot(), frame) << "after " << ticks << " more ticks, offset " << ticker->Offset();
    }
}

TEST_F(ScrollingTextWindow, TicksAllocateNothing) {
    ticker->SetSpeed(0);
    for (bool changesOnly : {false, true}) {
        SCOPED_TRACE(changesOnly);
        ticker->PresentChangesOnly = changesOnly;
        ticker->Tick();  // the first frame of a mode may size its images
        const long before = g_allocations;
        for (int i = 0; i < 500; ++i) ticker->Tick();  // passes end too
        EXPECT_EQ(g_allocations - before, 0);
    }
    EXPECT_GT(passes, 0);
}

// Counts the timer messages taken from this thread's queue for one window.
struct TimerCount {
    static inline HWND window = nullptr;
    static inline int count = 0;
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        if (code == HC_ACTION && wp == PM_REMOVE && m->message == WM_TIMER && m->hwnd == window) ++count;
        return CallNextHookEx(nullptr, code, wp, lp);
    }
};

TEST_F(ScrollingTextWindow, FrameClockTicksWithoutTimerMessagesAndLeavesModalLoopsToTheTimer) {
    TimerCount::window = WindowHandle(*ticker);
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, TimerCount::Hook, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    struct Phase {
        std::uint64_t frames = 0;
        int timers = 0;
    };
    static Phase clocked, modal;
    static TScrollingText* control = nullptr;
    control = ticker.get();
    // Once the loop has run 400 ms: a nested loop of 400 ms, as a menu or a dialog would run.
    SetTimer(nullptr, 0, 400, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        clocked = {control->FrameTimes().Count, TimerCount::count};
        test::PumpFor(400);
        modal = {control->FrameTimes().Count - clocked.frames, TimerCount::count - clocked.timers};
        PostQuitMessage(7);
    });
    const std::uint64_t start = ticker->FrameTimes().Count;
    EXPECT_EQ(RunMessageLoopWithFrameClock(), 7);
    UnhookWindowsHookEx(hook);
    // 10 ms a frame: about 40 in each phase, under a loaded machine fewer.
    EXPECT_GT(clocked.frames - start, 20u);
    EXPECT_LE(clocked.timers, 3) << "the loop clocks the frames, the timer only watches";
    EXPECT_GT(modal.frames, 10u) << "the text goes on moving in a modal loop";
    EXPECT_GE(modal.timers, static_cast<int>(modal.frames) - 2);
    // After the loop the control keeps its own timer.
    const std::uint64_t after = ticker->FrameTimes().Count;
    test::PumpFor(200);
    EXPECT_GT(ticker->FrameTimes().Count, after + 5);
}

TEST_F(ScrollingTextWindow, HeldForAReasonItMakesNoFramesAndGoesOnWhereItStood) {
    TimerCount::window = WindowHandle(*ticker);
    TimerCount::count = 0;
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, TimerCount::Hook, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    test::PumpFor(100);
    ticker->Hold(thSessionLocked);
    const int held = ticker->Offset();
    const std::uint64_t frames = ticker->FrameTimes().Count;
    const int timers = TimerCount::count;
    test::PumpFor(400);
    EXPECT_EQ(ticker->FrameTimes().Count, frames);
    EXPECT_EQ(ticker->Offset(), held);
    EXPECT_LE(TimerCount::count - timers, 1) << "no timer runs (one may have been queued already)";
    ticker->Release(thSessionLocked);
    ASSERT_TRUE(test::PumpUntil([&] { return ticker->FrameTimes().Count > frames + 5; }, 3000));
    const auto moved = static_cast<int>(ticker->FrameTimes().Count - frames);
    EXPECT_EQ(ticker->Offset(), held - moved * ticker->PixelJump) << "every frame a step from where it stood";
    UnhookWindowsHookEx(hook);

    // Hidden with its parent, as the bar is from the tray: the frames stop until it shows again.
    ShowWindow(host.Get(), SW_HIDE);
    ASSERT_TRUE(test::PumpUntil([&] { return ticker->HeldFor(thNotShown); }, 1000));
    const int hidden = ticker->Offset();
    const std::uint64_t hiddenFrames = ticker->FrameTimes().Count;
    test::PumpFor(300);
    EXPECT_EQ(ticker->Offset(), hidden);
    EXPECT_EQ(ticker->FrameTimes().Count, hiddenFrames);
    ShowWindow(host.Get(), SW_SHOWNOACTIVATE);
    EXPECT_TRUE(test::PumpUntil([&] { return ticker->Offset() < hidden; }, 2000)) << "the paint released it";
    EXPECT_FALSE(ticker->Held());
}

}  // namespace
}  // namespace tw
