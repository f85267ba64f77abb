#pragma once
// The pixel densities the bar scales for, as the system reports them.
#include <windows.h>

namespace tw {

// The system's pixels per inch: what a screen device context reports, and what the platform
// turns a font's points into pixels with. 96 when it cannot be read.
int ScreenDpi();

// Pixels per inch of the display `window` is on: GetDpiForWindow where the system has it
// (Windows 10 1607 and later), else ScreenDpi().
int WindowDpi(HWND window);

}  // namespace tw
