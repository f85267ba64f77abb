#include "app/BarColors.h"

#include "app/fConfig.h"
#include "app/fMain.h"

namespace tw {

TBarColors BarColorsFor(bool highContrast) {
    if (highContrast) return {clWindow, clWindowText, clWindow, clWindowText, clHighlight, false, 0};
    return {kWindowColor, kTitleColor, kTickerBackground, clNone, kTitleColor, true, 15};
}

TColor TickerTextColor(const TBarColors& colors, TColor fontColor) {
    return colors.TickerText == clNone ? fontColor : colors.TickerText;
}

TMenuColors MenuColorsFor(bool highContrast) {
    if (highContrast) return {clHighlight, clHighlight, clHighlightText, clMenu, clMenu, clMenuText, clMenu};
    return {10127994, 3813932, clWhite, clSilver, clGray, clWhite, clBtnShadow};  // 0x9A8A7A to 0x3A322C
}

void ApplyMenuColors(TCustomBarPopupMenu& menu, const TMenuColors& colors) {
    menu.Bar.GradientStart = colors.SideBarStart;
    menu.Bar.GradientEnd = colors.SideBarEnd;
    menu.Bar.BarCaption.Font.Color = colors.SideBarCaption;
    menu.Separators.GradientStart = colors.SeparatorStart;
    menu.Separators.GradientEnd = colors.SeparatorEnd;
    menu.Separators.Font.Color = colors.SeparatorText;
    menu.Separators.FadeColor = colors.SeparatorFade;
}

TSampleColors FontSampleColors(bool highContrast, TColor fontColor) {
    if (highContrast) return {clWindowText, clWindow};
    return {fontColor, kFontSampleBackground};
}

}  // namespace tw
