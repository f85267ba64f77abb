#pragma once
// The scrolling text as a child window (Windows build).
#include "controls/ScrollingText.h"

#include <windows.h>

#include <memory>

namespace tw {

// Creates the control as a child window of `parent` at the given bounds, with its tick timer
// running at Speed 50. Returns null when the window cannot be made.
std::unique_ptr<TScrollingText> CreateScrollingText(HWND parent, int left, int top, int width, int height);

// The control's window; null for a control made without one or after its window has gone.
HWND WindowHandle(const TScrollingText& control);

// Runs this thread's message loop until WM_QUIT and returns its exit code. While it runs, the
// scrolling texts of this thread tick from the loop's own wait instead of a window timer: under
// Wine a timer message costs a server round trip and a pass over the X connection more per
// frame. In a modal loop of the system's (a menu, a dialog, a window drag) this loop does not
// run; each control then goes back to its own timer within a quarter second, and to the loop
// again when it runs. Without this loop the controls use their own timers throughout.
int RunMessageLoopWithFrameClock();

// The frame-time channel for measuring smoothness from outside: a window that sends the message
// registered under kFrameTimesMessageName to a scrolling text's window, with its own handle as
// wParam, gets WM_COPYDATA back (dwData kFrameTimesCopyData) carrying the control's
// TScrollingText::TFrameTimes.
inline constexpr wchar_t kFrameTimesMessageName[] = L"TidewireTickerFrameTimes";
inline constexpr ULONG_PTR kFrameTimesCopyData = 0x54574654;

}  // namespace tw
