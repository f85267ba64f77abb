#include "controls/Monitors_win32.h"

#include "base/TextConvert_win32.h"
#include "controls/DisplayScale_win32.h"

#include <windows.h>

namespace tw {

namespace {

Rect FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// GetDpiForMonitor is shcore's, from Windows 8.1 on: looked up, not linked.
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

GetDpiForMonitorFn DpiForMonitor() {
    static const GetDpiForMonitorFn fn = [] {
        HMODULE shcore = LoadLibraryW(L"shcore.dll");
        return shcore ? reinterpret_cast<GetDpiForMonitorFn>(
                            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    return fn;
}

BOOL CALLBACK AddMonitor(HMONITOR handle, HDC, LPRECT, LPARAM data) {
    auto& list = *reinterpret_cast<TMonitorList*>(data);
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(handle, &info)) return TRUE;
    TMonitor m;
    m.DeviceName = FromWide(info.szDevice);
    m.Bounds = FromRect(info.rcMonitor);
    m.WorkArea = FromRect(info.rcWork);
    m.Primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    UINT dpiX = 0, dpiY = 0;
    const GetDpiForMonitorFn fn = DpiForMonitor();
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    m.Dpi = fn && SUCCEEDED(fn(handle, kEffectiveDpi, &dpiX, &dpiY)) && dpiY > 0 ? static_cast<int>(dpiY) : ScreenDpi();
    list.push_back(std::move(m));
    return TRUE;
}

}  // namespace

TMonitorList SystemMonitors() {
    TMonitorList list;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&list));
    return list;
}

}  // namespace tw
