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

}  // namespace tw
