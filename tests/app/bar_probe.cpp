// Looks at the ticker bar as the shell and another program see it. Built by end-to-end scripts
// with the cross compiler and run in the same Wine prefix as the program:
//   probe rect            the bar window's rectangle: "L T R B"
//   probe windows CLASS   every top-level window of CLASS: "VISIBLE L T R B" (menus are "#32768")
//   probe query EDGE      registers a bar of its own, asks the shell where one on EDGE (0 left,
//                         1 top, 2 right, 3 bottom) may lie, prints "L T R B", unregisters
//   probe stack SECONDS   docks a 30-pixel bar of its own at the top for SECONDS, prints its
//                         rectangle and then the ticker's, unregisters
//   probe depth BITS      switches the display's colour depth
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string_view>
#include <cstdlib>

namespace {

HWND Ticker() { return FindWindowW(L"TfrMain", nullptr); }

void PrintRect(const RECT& r) { std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom); }

HWND MakeBarWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ProbeBar";
    RegisterClassW(&wc);
    return CreateWindowExW(WS_EX_TOOLWINDOW, L"ProbeBar", L"probe bar", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

APPBARDATA BarData(HWND window, UINT edge, int thickness) {
    APPBARDATA data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uCallbackMessage = WM_APP + 1;
    data.uEdge = edge;
    data.rc = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (edge == ABE_TOP) data.rc.bottom = thickness;
    if (edge == ABE_BOTTOM) data.rc.top = data.rc.bottom - thickness;
    if (edge == ABE_LEFT) data.rc.right = thickness;
    if (edge == ABE_RIGHT) data.rc.left = data.rc.right - thickness;
    return data;
}

void Pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    while (GetTickCount() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(20);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring_view command = argv[1];
    const int value = argc > 2 ? _wtoi(argv[2]) : 0;
    if (command == L"rect") {
        RECT r{};
        if (!Ticker() || !GetWindowRect(Ticker(), &r)) return 1;
        PrintRect(r);
        return 0;
    }
    if (command == L"windows" && argc > 2) {
        for (HWND w = FindWindowExW(nullptr, nullptr, argv[2], nullptr); w;
             w = FindWindowExW(nullptr, w, argv[2], nullptr)) {
            RECT r{};
            GetWindowRect(w, &r);
            std::printf("%d ", IsWindowVisible(w) ? 1 : 0);
            PrintRect(r);
        }
        return 0;
    }
    if (command == L"depth") {
        DEVMODEW mode{};
        mode.dmSize = sizeof mode;
        EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
        mode.dmBitsPerPel = static_cast<DWORD>(value);
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
    }
    const HWND window = MakeBarWindow();
    APPBARDATA data = BarData(window, command == L"query" ? static_cast<UINT>(value) : ABE_TOP, 30);
    if (!SHAppBarMessage(ABM_NEW, &data)) return 1;
    SHAppBarMessage(ABM_QUERYPOS, &data);
    if (command == L"query") {
        PrintRect(data.rc);
    } else if (command == L"stack") {
        data.rc.bottom = data.rc.top + 30;
        SHAppBarMessage(ABM_SETPOS, &data);
        SetWindowPos(window, nullptr, data.rc.left, data.rc.top, data.rc.right - data.rc.left, 30,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        PrintRect(data.rc);
        Pump(static_cast<DWORD>(value) * 1000);
        RECT r{};
        if (Ticker() && GetWindowRect(Ticker(), &r)) PrintRect(r);
    }
    SHAppBarMessage(ABM_REMOVE, &data);
    DestroyWindow(window);
    std::fflush(stdout);
    return 0;
}
