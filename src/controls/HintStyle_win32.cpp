#include "controls/HintStyle_win32.h"

#include <commctrl.h>

namespace tw {

namespace {
THintStyle& Style() {
    static THintStyle style;
    return style;
}
}  // namespace

void SetApplicationHintStyle(const THintStyle& style) { Style() = style; }

const THintStyle& ApplicationHintStyle() { return Style(); }

void ApplyHintStyle(HWND tooltip) {
    if (!tooltip) return;
    const THintStyle& s = Style();
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(s.HidePause, 0));
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(s.Pause, 0));
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_RESHOW, MAKELPARAM(s.ShortPause, 0));
    const TColor c = IsSystemColor(s.Color) ? GetSysColor(static_cast<int>(s.Color & 0xFF)) : s.Color;
    SendMessageW(tooltip, TTM_SETTIPBKCOLOR, c & 0xFFFFFF, 0);
}

}  // namespace tw
