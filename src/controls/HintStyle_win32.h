#pragma once
// The application's hint timing and colour, which every tooltip of the program takes (the main
// window sets it once at start, before any hint shows).
#include "controls/Graphics.h"

#include <windows.h>

namespace tw {

struct THintStyle {
    int HidePause = 2500;  // ms a hint stays up
    int Pause = 500;       // ms before the first hint shows
    int ShortPause = 50;   // ms before the next hint shows while one is up
    TColor Color = 0xFF000018;  // the system's tooltip colour (COLOR_INFOBK)
};

void SetApplicationHintStyle(const THintStyle& style);
const THintStyle& ApplicationHintStyle();

// Gives the tooltip control `tooltip` the application's timing and background colour.
void ApplyHintStyle(HWND tooltip);

}  // namespace tw
