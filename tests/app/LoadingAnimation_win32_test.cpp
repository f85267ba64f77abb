// The loading animation file plays in the common Animate control and shows what was drawn.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "app/LoadingAnimation_win32.h"
#include "support/MessagePump.h"
#include "support/TestPaths.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kStopFrame = 121;
constexpr COLORREF kBackground = RGB(0x3A, 0x46, 0x58);
constexpr COLORREF kDot = RGB(0xFF, 0xF5, 0xE6);

int Distance(COLORREF a, COLORREF b) {
    return abs(GetRValue(a) - GetRValue(b)) + abs(GetGValue(a) - GetGValue(b)) + abs(GetBValue(a) - GetBValue(b));
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

class AniIcon : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_ANIMATE_CLASS};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
        host_ = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 40, 40, 60, 40, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
        anim_ = CreateWindowExW(0, ANIMATE_CLASSW, L"", WS_CHILD | WS_VISIBLE, 5, 1, 22, 22, host_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(anim_, nullptr);
    }
    void TearDown() override {
        if (anim_) DestroyWindow(anim_);
        if (host_) DestroyWindow(host_);
    }
    bool Open() {
        std::wstring path = tw::test::SourcePath("resources/ani_icon.avi").wstring();
        return SendMessageW(anim_, ACM_OPENW, 0, reinterpret_cast<LPARAM>(path.c_str())) != 0;
    }
    // Shows one frame still and reads the control's pixel at (x, y).
    COLORREF PixelOfFrame(int frame, int x, int y) {
        SendMessageW(anim_, ACM_PLAY, 1, MAKELPARAM(frame, frame));
        InvalidateRect(anim_, nullptr, TRUE);
        UpdateWindow(anim_);
        Pump();
        HDC dc = GetDC(anim_);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(anim_, dc);
        return c;
    }
    HWND host_ = nullptr;
    HWND anim_ = nullptr;
};

TEST_F(AniIcon, OpensAndPlaysToItsStopFrame) {
    ASSERT_TRUE(Open());
    EXPECT_TRUE(SendMessageW(anim_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, kStopFrame)));
    EXPECT_TRUE(SendMessageW(anim_, ACM_STOP, 0, 0));
    // The stop frame is the last one drawn: the main header's frame count (after "RIFF", the
    // "hdrl" list header and the "avih" chunk header) is one more.
    std::string bytes = tw::test::ReadDataFile("../../resources/ani_icon.avi");
    ASSERT_GE(bytes.size(), 52u);
    EXPECT_EQ(bytes.substr(24, 4), "avih");
    unsigned frames = 0;
    memcpy(&frames, bytes.data() + 48, 4);
    EXPECT_EQ(frames, static_cast<unsigned>(kStopFrame + 1));
}

TEST_F(AniIcon, HeadDotMovesRoundTheRing) {
    ASSERT_TRUE(Open());
    // Frame 0: the head sits at the top of the ring; the centre is background.
    EXPECT_LT(Distance(PixelOfFrame(0, 10, 3), kDot), 40);
    EXPECT_LT(Distance(PixelOfFrame(0, 10, 10), kBackground), 10);
    // A quarter turn later (122 frames make four turns) the head is at the right.
    COLORREF right = PixelOfFrame(8, 17, 10);
    COLORREF top = PixelOfFrame(8, 10, 3);
    EXPECT_LT(Distance(right, kDot), 60);
    EXPECT_GT(Distance(top, kDot), Distance(right, kDot) + 60);
}

// All 22 x 22 pixels of a window, as the screen shows them.
std::vector<COLORREF> Grab(HWND hwnd) {
    std::vector<COLORREF> out;
    HDC dc = GetDC(hwnd);
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 22; ++x) out.push_back(GetPixel(dc, x, y));
    ReleaseDC(hwnd, dc);
    return out;
}

TEST(TLoadingAnimation, PlaysWhileStartedAndHidesWhenStopped) {
    HWND parent = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 40, 100, 100, 27, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    {
        tw::TLoadingAnimation ani;
        ASSERT_TRUE(ani.CreateFromFile(parent, 5, 1, tw::test::SourcePath("resources/ani_icon.avi").wstring()));
        EXPECT_FALSE(IsWindowVisible(ani.Handle()));
        ani.Start();
        EXPECT_TRUE(ani.Playing());
        EXPECT_TRUE(IsWindowVisible(ani.Handle()));
        tw::test::PumpFor(150);
        std::vector<COLORREF> first = Grab(ani.Handle());
        tw::test::PumpFor(300);
        std::vector<COLORREF> later = Grab(ani.Handle());
        EXPECT_NE(first, later) << "the animation does not move";
        ani.Stop();
        EXPECT_FALSE(ani.Playing());
        EXPECT_FALSE(IsWindowVisible(ani.Handle()));
    }
    DestroyWindow(parent);
}

TEST(TLoadingAnimation, MissingResourceFailsQuietly) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 27, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    tw::TLoadingAnimation ani;
    EXPECT_FALSE(ani.Create(parent, 5, 1, GetModuleHandleW(nullptr)));  // test programs carry no ANI_ICON
    ani.Start();
    ani.Stop();
    DestroyWindow(parent);  // the child goes with it; the destructor must not touch it again
}

}  // namespace
