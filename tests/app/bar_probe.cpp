// Looks at the ticker bar as the shell and another program see it. Built by end-to-end scripts
// with the cross compiler and run in the same Wine prefix as the program:
//   probe rect            the bar window's rectangle: "L T R B"
//   probe windows CLASS   every top-level window of CLASS: "VISIBLE L T R B" (menus are "#32768")
//   probe query EDGE [L T R B]
//                         registers a bar of its own, asks the shell where one on EDGE (0 left,
//                         1 top, 2 right, 3 bottom) of the primary monitor (or of the monitor
//                         L T R B) may lie, prints "L T R B", unregisters
//   probe stack SECONDS   docks a 30-pixel bar of its own at the top for SECONDS, prints its
//                         rectangle and then the ticker's, unregisters
//   probe depth BITS      switches the display's colour depth
//   probe ticker          the scrolling text's rectangle on the screen: "L T R B"
//   probe corner TITLE    moves the top-level window of TITLE into the screen's bottom-right corner
//   probe monitors        every monitor: "NAME L T R B PRIMARY(0/1)"
//   probe remove          makes the shell forget the bar (ABM_REMOVE for its window), as a
//                         restarted Explorer does
//   probe taskbarcreated  broadcasts "TaskbarCreated", as a restarted Explorer does
//   probe displaychange   broadcasts WM_DISPLAYCHANGE, which Wine does not send when a monitor
//                         comes or goes
//   probe session EVENT   sends the bar WM_WTSSESSION_CHANGE with EVENT (7 lock, 8 unlock,
//                         2 console disconnect, 1 console connect), which Wine never sends
//   probe display STATE   sends the bar the console display's state (0 off, 1 on, 2 dimmed) as
//                         WM_POWERBROADCAST, its record written into the program's memory, as
//                         Windows would; Wine never sends it
#include <windows.h>
#include <shellapi.h>
#include <wtsapi32.h>

#include <cstdio>
#include <cstring>
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

BOOL CALLBACK PrintMonitor(HMONITOR handle, HDC, LPRECT, LPARAM) {
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(handle, &info)) return TRUE;
    std::printf("%ls %ld %ld %ld %ld %d\n", info.szDevice, info.rcMonitor.left, info.rcMonitor.top,
                info.rcMonitor.right, info.rcMonitor.bottom, (info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0);
    return TRUE;
}

// A message whose record lies in the bar's process, where its handler reads it.
bool SendWithRecord(HWND window, UINT message, WPARAM wp, const void* record, SIZE_T size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return false;
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool sent = false;
    if (remote && WriteProcessMemory(process, remote, record, size, nullptr)) {
        DWORD_PTR result = 0;
        sent = SendMessageTimeoutW(window, message, wp, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000,
                                   &result) != 0;
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return sent;
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
    if (command == L"ticker") {
        const HWND text = Ticker() ? FindWindowExW(Ticker(), nullptr, L"TidewireScrollingText", nullptr) : nullptr;
        RECT r{};
        if (!text || !GetWindowRect(text, &r)) return 1;
        PrintRect(r);
        return 0;
    }
    if (command == L"corner" && argc > 2) {
        const HWND w = FindWindowW(nullptr, argv[2]);
        RECT r{};
        if (!w || !GetWindowRect(w, &r)) return 1;
        return SetWindowPos(w, nullptr, GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left),
                            GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top), 0, 0,
                            SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
    }
    if (command == L"monitors") {
        EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0);
        return 0;
    }
    if (command == L"remove") {
        APPBARDATA data{};
        data.cbSize = sizeof data;
        data.hWnd = Ticker();
        return data.hWnd && SHAppBarMessage(ABM_REMOVE, &data) ? 0 : 1;
    }
    if (command == L"taskbarcreated") {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                            &result);
        return 0;
    }
    if (command == L"displaychange") {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(HWND_BROADCAST, WM_DISPLAYCHANGE, 32,
                            MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)), SMTO_ABORTIFHUNG,
                            5000, &result);
        return 0;
    }
    if (command == L"session" && argc > 2) {
        DWORD_PTR result = 0;
        return Ticker() && SendMessageTimeoutW(Ticker(), WM_WTSSESSION_CHANGE, static_cast<WPARAM>(value), 0,
                                               SMTO_ABORTIFHUNG, 5000, &result) ? 0 : 1;
    }
    if (command == L"display" && argc > 2) {
        static const GUID kDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
        POWERBROADCAST_SETTING setting{};
        setting.PowerSetting = kDisplayState;
        setting.DataLength = sizeof(DWORD);
        const DWORD state = static_cast<DWORD>(value);
        std::memcpy(setting.Data, &state, sizeof state);
        return Ticker() && SendWithRecord(Ticker(), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, &setting,
                                          sizeof setting + sizeof state) ? 0 : 1;
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
    if (command == L"query" && argc > 6) data.rc = RECT{_wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]), _wtoi(argv[6])};
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
