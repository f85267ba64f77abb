#include "controls/DisplayScale_win32.h"

#include "controls/DisplayScale.h"
#include "controls/GdiHandles_win32.h"

namespace tw {

int ScreenDpi() {
    const gdi::WindowDc screen(nullptr);
    if (!screen.Get()) return kDefaultDpi;
    const int dpi = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return dpi > 0 ? dpi : kDefaultDpi;
}

int WindowDpi(HWND window) {
    // Looked up at run time: older systems lack it, and the program still starts there.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window); dpi > 0) return int(dpi);
    }
    return ScreenDpi();
}

}  // namespace tw
