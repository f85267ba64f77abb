// The tray icon under Wine: the shell takes the icon, a callback reaches the menu, the text icon
// keys its background out.
#include "controls/TrayIcon_win32.h"

#include "base/ApplicationWindow_win32.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include "ScrollingTextTestKit_win32.h"

namespace tw {
namespace {

// Whether the shell holds an icon of `window` with our id: only then does it accept a change.
bool ShellHasIcon(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kTrayIconId;
    data.uFlags = NIF_TIP;
    wcscpy(data.szTip, L"probe");
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

int menusSeen = 0;

// Runs inside the menu's own loop: counts the visible popup menu window and closes it.
void CALLBACK CloseMenuWhenShown(HWND, UINT, UINT_PTR, DWORD) {
    const HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu != nullptr && IsWindowVisible(menu)) {
        ++menusSeen;
        EndMenu();
    }
}

TEST(TTrayIconWindow, ShellTakesTheIconAndLetsItGo) {
    auto tray = CreateTrayIcon();
    ASSERT_NE(tray, nullptr);
    const HWND window = TrayWindowHandle(*tray);
    ASSERT_NE(window, nullptr);
    tray->SetHint("Tidewire v1.1");
    tray->SetShowIcon(tyAllways);
    EXPECT_TRUE(tray->Added());
    EXPECT_TRUE(ShellHasIcon(window));
    tray->SetShowIcon(tyNever);
    EXPECT_FALSE(ShellHasIcon(window));
    tray->SetShowIcon(tyAllways);
    tray.reset();
    EXPECT_FALSE(ShellHasIcon(window)) << "destruction removes the icon";
}

TEST(TTrayIconWindow, RightButtonDownCallbackPopsTheMenuUpBeforeTheEvent) {
    auto tray = CreateTrayIcon();
    ASSERT_NE(tray, nullptr);
    tray->SetShowIcon(tyAllways);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 101, L"Hide ticker");
    TMenuTrayPopup popup(menu);
    tray->SetPopupMenu(&popup);
    int menusAtEvent = -1;
    tray->OnMouseRightDown = [&](TTrayIcon&) { menusAtEvent = menusSeen; };

    menusSeen = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseMenuWhenShown);
    PostMessageW(TrayWindowHandle(*tray), kTrayCallbackMessage, kTrayIconId, WM_RBUTTONDOWN);
    test::PumpUntil([&] { return menusAtEvent >= 0; }, 5000);
    KillTimer(nullptr, timer);
    EXPECT_EQ(menusSeen, 1);
    EXPECT_EQ(menusAtEvent, 1) << "the event comes after the menu has closed";
    DestroyMenu(menu);
}

TEST(TTrayIconWindow, ComesBackWhenTheTaskbarIsCreatedAgain) {
    auto tray = CreateTrayIcon();
    ASSERT_NE(tray, nullptr);
    const HWND window = TrayWindowHandle(*tray);
    tray->SetShowIcon(tyAllways);
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kTrayIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));  // as a restarted Explorer has no icons
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(ShellHasIcon(window));
}

TEST(TTrayIconWindow, FollowsTheApplicationsMinimiseRestoreAndTaskbarButton) {
    auto& app = TApplicationWindow::Instance();
    ASSERT_TRUE(app.Create(L"tray test"));
    auto tray = CreateTrayIcon();
    ASSERT_NE(tray, nullptr);
    const HWND window = TrayWindowHandle(*tray);
    app.Minimize();  // ShowIcon is tyOnMinimized
    EXPECT_TRUE(ShellHasIcon(window));

    bool restoredFirst = false;
    int clicks = 0;
    tray->OnMouseLeftDblClick = [&](TTrayIcon&) {
        restoredFirst = !app.Minimized();
        ++clicks;
    };
    PostMessageW(window, kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    test::PumpUntil([&] { return clicks > 0; }, 3000);
    EXPECT_TRUE(restoredFirst);
    EXPECT_FALSE(tray->Added());
    EXPECT_FALSE(ShellHasIcon(window));

    tray->SetShowTaskEntry(tyAllways);
    EXPECT_TRUE(test::PumpUntil([&] { return IsWindowVisible(app.Handle()) != FALSE; }, 2000));
    tray->SetShowTaskEntry(tyNever);
    EXPECT_TRUE(test::PumpUntil([&] { return IsWindowVisible(app.Handle()) == FALSE; }, 2000));

    tray.reset();
    app.Minimize();  // the handlers left behind must not reach the freed icon
    app.Restore();
}

TEST(TTrayIconWindow, TextIconShowsTheTextOnATransparentGround) {
    TTrayIconLabel label;
    label.Text = "8";
    label.Font.Size = 12;
    auto tray = CreateTrayIcon();
    ASSERT_NE(tray, nullptr);
    tray->SetIconText(label);
    tray->SetMode(trmText);
    const HICON icon = reinterpret_cast<HICON>(tray->IconShown());
    ASSERT_NE(icon, nullptr);

    test::HostWindow host(0, 0, 16, 16);
    test::PumpFor(100);
    HDC dc = GetDC(host.Get());
    EXPECT_TRUE(DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL));
    ReleaseDC(host.Get(), dc);
    test::PumpFor(50);
    const TPixelImage shot = test::CaptureClient(host.Get());
    int black = 0, ground = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const TColor c = test::CapturedColor(shot, x, y);
            black += c == 0x000000;
            ground += c == 0xFF00FF;
        }
    }
    EXPECT_GT(black, 8) << "the glyph";
    EXPECT_GT(ground, 128) << "the host shows through around it";
    EXPECT_EQ(black + ground, 256) << "no pixel of the mask colour is left";
}

}  // namespace
}  // namespace tw
