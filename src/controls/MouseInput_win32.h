#pragma once
// The keys and buttons held during a mouse message, as the controls report them.
#include "controls/Graphics.h"

#include <windows.h>

namespace tw {

inline unsigned MouseShiftState(WPARAM wp) {
    unsigned s = 0;
    if (wp & MK_SHIFT) s |= ssShift;
    if (wp & MK_CONTROL) s |= ssCtrl;
    if (wp & MK_LBUTTON) s |= ssLeft;
    if (wp & MK_RBUTTON) s |= ssRight;
    if (wp & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;  // mouse messages do not carry Alt
    return s;
}

}  // namespace tw
