#pragma once
// The tiled background on Windows: as a child window, or painted by its parent.
#include "controls/Tile.h"

#include <windows.h>

#include <memory>

namespace tw {

// Creates the control as a child window of `parent`, at the bottom of the sibling order.
// Returns null when the window cannot be made.
std::unique_ptr<TTile> CreateTile(HWND parent, int left, int top, int width, int height);

// The window of a control made by CreateTile; null for a windowless one.
HWND WindowHandle(const TTile& control);

// Paints the control onto `dc` at (Left, Top), composed off screen and shown in one copy.
void PaintTileTo(const TTile& control, HDC dc);

}  // namespace tw
