// The application bar's platform on Windows: the shell's SHAppBarMessage and user32.
#include "controls/pkAppBar.h"

#include "base/ApplicationWindow_win32.h"
#include "controls/Monitors_win32.h"

#include <windows.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstddef>

namespace tw {

// The records read through LParam are the system's, seen through our mirrors.
static_assert(sizeof(Rect) == sizeof(RECT) && offsetof(Rect, Left) == offsetof(RECT, left) &&
              offsetof(Rect, Top) == offsetof(RECT, top) && offsetof(Rect, Right) == offsetof(RECT, right) &&
              offsetof(Rect, Bottom) == offsetof(RECT, bottom));
static_assert(sizeof(Point) == sizeof(POINT) && offsetof(Point, Y) == offsetof(POINT, y));
static_assert(sizeof(TAppBarMinMaxInfo) == sizeof(MINMAXINFO) &&
              offsetof(TAppBarMinMaxInfo, MinTrackSize) == offsetof(MINMAXINFO, ptMinTrackSize) &&
              offsetof(TAppBarMinMaxInfo, MaxTrackSize) == offsetof(MINMAXINFO, ptMaxTrackSize));
static_assert(sizeof(TAppBarWindowPos) == sizeof(WINDOWPOS) &&
              offsetof(TAppBarWindowPos, X) == offsetof(WINDOWPOS, x) &&
              offsetof(TAppBarWindowPos, Cy) == offsetof(WINDOWPOS, cy) &&
              offsetof(TAppBarWindowPos, Flags) == offsetof(WINDOWPOS, flags));
// And the numbers are the system's.
static_assert(abmNew == ABM_NEW && abmRemove == ABM_REMOVE && abmQueryPos == ABM_QUERYPOS && abmSetPos == ABM_SETPOS &&
              abmActivate == ABM_ACTIVATE && abmGetAutoHideBar == ABM_GETAUTOHIDEBAR &&
              abmSetAutoHideBar == ABM_SETAUTOHIDEBAR && abmWindowPosChanged == ABM_WINDOWPOSCHANGED);
static_assert(abnStateChange == ABN_STATECHANGE && abnPosChanged == ABN_POSCHANGED &&
              abnFullScreenApp == ABN_FULLSCREENAPP && abnWindowArrange == ABN_WINDOWARRANGE);
static_assert(ABE_LEFT == bpLeft && ABE_TOP == bpTop && ABE_RIGHT == bpRight && ABE_BOTTOM == bpBottom);
static_assert(wmActivate == WM_ACTIVATE && wmGetMinMaxInfo == WM_GETMINMAXINFO && wmDisplayChange == WM_DISPLAYCHANGE &&
              wmWindowPosChanging == WM_WINDOWPOSCHANGING && wmWindowPosChanged == WM_WINDOWPOSCHANGED &&
              wmNcHitTest == WM_NCHITTEST && wmNcLButtonUp == WM_NCLBUTTONUP &&
              wmNcLButtonDblClk == WM_NCLBUTTONDBLCLK &&
              wmSysCommand == WM_SYSCOMMAND && wmSizing == WM_SIZING && wmCaptureChanged == WM_CAPTURECHANGED &&
              wmMoving == WM_MOVING && wmEnterSizeMove == WM_ENTERSIZEMOVE && wmExitSizeMove == WM_EXITSIZEMOVE &&
              kScMinimize == SC_MINIMIZE && kWmTimer == WM_TIMER);
static_assert(kSwpNoSize == SWP_NOSIZE && kSwpNoMove == SWP_NOMOVE && kWsCaption == WS_CAPTION &&
              kWsThickFrame == WS_THICKFRAME && kWsBorder == WS_BORDER && kWsPopup == WS_POPUP &&
              kWsExToolWindow == WS_EX_TOOLWINDOW);
static_assert(smCxScreen == SM_CXSCREEN && smCyScreen == SM_CYSCREEN && smCxVScroll == SM_CXVSCROLL &&
              smCyHScroll == SM_CYHSCROLL && smCxBorder == SM_CXBORDER && smCyBorder == SM_CYBORDER &&
              smSwapButton == SM_SWAPBUTTON && smCxDoubleClk == SM_CXDOUBLECLK && smCyDoubleClk == SM_CYDOUBLECLK &&
              smCySmIcon == SM_CYSMICON);
static_assert(vkLButton == VK_LBUTTON && vkRButton == VK_RBUTTON && vkControl == VK_CONTROL);
static_assert(htClient == HTCLIENT && htCaption == HTCAPTION && htBorder == HTBORDER && htBottomRight == HTBOTTOMRIGHT);

namespace {

HWND ToHwnd(TWindowId window) { return reinterpret_cast<HWND>(window); }
TWindowId ToId(HWND window) { return reinterpret_cast<TWindowId>(window); }
RECT ToRect(const Rect& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }
Rect FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

class Win32AppBarPlatform : public TAppBarPlatform {
public:
    std::uintptr_t ShellMessage(std::uint32_t message, TAppBarData& data) override {
        APPBARDATA abd{};
        abd.cbSize = sizeof(abd);
        abd.hWnd = ToHwnd(data.Window);
        abd.uCallbackMessage = data.CallbackMessage;
        abd.uEdge = data.Edge;
        abd.rc = ToRect(data.Rect);
        abd.lParam = data.Param;
        const UINT_PTR result = SHAppBarMessage(message, &abd);
        data.Rect = FromRect(abd.rc);
        return result;
    }
    int Metric(TAppBarMetric metric) override { return GetSystemMetrics(metric); }
    Rect WorkArea() override {
        RECT rc{};
        if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &rc, 0))
            return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return FromRect(rc);
    }
    bool FullWindowDrag() override {
        BOOL on = FALSE;
        return SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &on, 0) && on;
    }
    Rect WindowRect(TWindowId window) override {
        RECT rc{};
        if (!GetWindowRect(ToHwnd(window), &rc)) return {};
        return FromRect(rc);
    }
    Rect ClientRectOnScreen(TWindowId window) override {
        RECT rc{};
        if (!GetClientRect(ToHwnd(window), &rc)) return {};
        MapWindowPoints(ToHwnd(window), nullptr, reinterpret_cast<POINT*>(&rc), 2);
        return FromRect(rc);
    }
    void SetWindowRect(TWindowId window, const Rect& r) override {
        SetWindowPos(ToHwnd(window), nullptr, r.Left, r.Top, r.Width(), r.Height(),
                     SWP_NOACTIVATE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    void UpdateNow(TWindowId window) override { UpdateWindow(ToHwnd(window)); }
    bool IsVisible(TWindowId window) override { return IsWindowVisible(ToHwnd(window)) != FALSE; }
    void ShowWindow(TWindowId window, bool show) override { ::ShowWindow(ToHwnd(window), show ? SW_SHOW : SW_HIDE); }
    TWindowState WindowState(TWindowId window) override {
        if (IsIconic(ToHwnd(window))) return wsMinimized;
        return IsZoomed(ToHwnd(window)) ? wsMaximized : wsNormal;
    }
    void SetWindowState(TWindowId window, TWindowState state) override {
        const int command = state == wsMaximized ? SW_MAXIMIZE : state == wsMinimized ? SW_MINIMIZE : SW_RESTORE;
        ::ShowWindow(ToHwnd(window), command);
    }
    bool ChildAt(TWindowId window, int x, int y) override {
        POINT p{x, y};
        if (!ScreenToClient(ToHwnd(window), &p)) return false;
        const HWND child = ChildWindowFromPointEx(ToHwnd(window), p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        return child != nullptr && child != ToHwnd(window);
    }
    bool KeyDown(TAppBarKey key) override { return GetKeyState(key) < 0; }
    bool AsyncKeyDown(TAppBarKey key) override { return GetAsyncKeyState(key) < 0; }
    Point MessagePos() override {
        const DWORD pos = GetMessagePos();
        return {GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    }
    std::uint32_t TickCount() override { return GetTickCount(); }
    TWindowId ActiveWindow() override { return ToId(GetActiveWindow()); }
    TWindowId ForegroundWindow() override { return ToId(GetForegroundWindow()); }
    TWindowId MainForm() override { return ToId(TApplicationWindow::Instance().MainForm()); }
    TMonitorList Monitors() override { return SystemMonitors(); }
    std::uint32_t TaskbarCreatedMessage() override {
        static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
        return message;
    }
};

}  // namespace

TAppBarPlatform& DefaultAppBarPlatform() {
    static Win32AppBarPlatform platform;
    return platform;
}

}  // namespace tw
