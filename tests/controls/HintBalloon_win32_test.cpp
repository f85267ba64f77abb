// The balloon under Wine: its window shows with its shape, and goes on a click or after its time.
#include "controls/HintBalloon_win32.h"

#include <gtest/gtest.h>

#include "ScrollingTextTestKit_win32.h"

namespace tw {
namespace {

const std::string kWelcome =
    "Click here to start browsing through the rss feeds. You can configure this list from tray's menu.";

TEST(THintBalloonWindow, ShowsShapedBelowTheAnchorAndClosesOnAClick) {
    test::HostWindow anchor(200, 40, 32, 32);  // near the top: no room above
    THintBalloonControl hint;
    hint.AnimationSpeed = 200;
    const HWND balloon = hint.ShowBalloon(0, "Quick Start Menu!", 0, anchor.Get(), 10, 10, 300, kWelcome);
    ASSERT_NE(balloon, nullptr);
    test::PumpFor(200);
    EXPECT_TRUE(IsWindowVisible(balloon));
    EXPECT_EQ(hint.OpenBalloons(), 1);

    RECT rc{};
    GetWindowRect(balloon, &rc);
    EXPECT_EQ(rc.top, 40 + 32 - 2) << "below the anchor: position 2 or 3";
    // Position 2 hangs left of the anchor's left edge, 3 right of its right edge: the tail
    // reaches the corner 20 pixels in from the window's side.
    EXPECT_TRUE(rc.right == 200 + 20 || rc.left == 232 - 20) << rc.left << ".." << rc.right;
    const int width = rc.right - rc.left;

    GdiObject region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(balloon, static_cast<HRGN>(region.Get())), ERROR);
    const HRGN shape = static_cast<HRGN>(region.Get());
    EXPECT_FALSE(PtInRegion(shape, 0, 0)) << "nothing above the tail row";
    EXPECT_FALSE(PtInRegion(shape, 0, 22)) << "the rounded corner";
    EXPECT_TRUE(PtInRegion(shape, width / 2, 40)) << "the body";
    const int tailX = rc.left == 232 - 20 ? 21 : width - 21;
    EXPECT_TRUE(PtInRegion(shape, tailX, 10)) << "the tail";

    const TPixelImage shot = test::CaptureClient(balloon);
    EXPECT_EQ(test::CapturedColor(shot, 0, 45), 0x000000u) << "the frame";
    EXPECT_EQ(test::CapturedColor(shot, 4, 45), 0xE1FFFFu) << "the panel";

    const HWND panel = GetWindow(balloon, GW_CHILD);
    ASSERT_NE(panel, nullptr);
    SendMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    test::PumpUntil([&] { return !IsWindow(balloon); }, 2000);
    EXPECT_FALSE(IsWindow(balloon));
    EXPECT_EQ(hint.OpenBalloons(), 0);
}

TEST(THintBalloonWindow, ClosesAfterItsDurationAndScrollsATextTooLong) {
    THintBalloonControl hint;
    hint.AnimationType = batNone;
    hint.Duration = 150;
    std::string longText;
    for (int i = 0; i < 3000; ++i) longText += "feed ";
    const HWND balloon = hint.ShowBalloon(2, "Warning", 3, nullptr, 300, 400, 300, longText);
    ASSERT_NE(balloon, nullptr);
    const HWND panel = GetWindow(balloon, GW_CHILD);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(GetWindowLongW(panel, GWL_STYLE) & WS_VSCROLL) << "the text scrolls";
    RECT rc{};
    GetWindowRect(balloon, &rc);
    EXPECT_LE(rc.bottom, GetSystemMetrics(SM_CYSCREEN)) << "cut to the screen";
    EXPECT_TRUE(test::PumpUntil([&] { return !IsWindow(balloon); }, 3000));
}

TEST(THintBalloonWindow, ClosesWhenItLosesActivation) {
    test::HostWindow other(600, 500, 40, 40);
    THintBalloonControl hint;
    hint.AnimationType = batNone;
    const HWND balloon = hint.ShowBalloon(1, "Error", 0, nullptr, 400, 400, 200, "Cannot retrieve feeds");
    ASSERT_NE(balloon, nullptr);
    test::PumpFor(50);
    ASSERT_EQ(GetActiveWindow(), balloon);
    SetActiveWindow(other.Get());
    EXPECT_TRUE(test::PumpUntil([&] { return !IsWindow(balloon); }, 2000));
}

}  // namespace
}  // namespace tw
