#pragma once
// The colours the bar, its menus and the dialog's font sample are drawn in. At a normal desktop
// they are the bar's own design; with the system's high-contrast theme on they are the system's
// colours (which the theme chooses for its reader) with no gradient, fade or tile.
#include "controls/BarPopupMenus.h"
#include "controls/Graphics.h"

namespace tw {

// System colours by the platform's index (0xFF0000nn).
inline constexpr TColor clMenu = 0xFF000004;
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clMenuText = 0xFF000007;
inline constexpr TColor clHighlight = 0xFF00000D;
inline constexpr TColor clHighlightText = 0xFF00000E;
inline constexpr TColor clGrayText = 0xFF000011;

struct TBarColors {
    TColor Background;        // where no tile shows, or everywhere without one
    TColor Title;             // the channel title
    TColor TickerBackground;
    TColor TickerText;        // clNone: the colour of the ticker font the user chose
    TColor Mark;              // the focus mark and the paused mark
    bool Tile;                // the tiled picture over the background
    int EdgeFadeWidth;        // the ticker's fade at its side edges, pixels at 96 dpi
};
TBarColors BarColorsFor(bool highContrast);

// The ticker font's colour as shown: the user's, or the system's text colour in high contrast.
TColor TickerTextColor(const TBarColors& colors, TColor fontColor);

struct TMenuColors {
    TColor SideBarStart, SideBarEnd;  // equal: no gradient
    TColor SideBarCaption;
    TColor SeparatorStart, SeparatorEnd;
    TColor SeparatorText;
    TColor SeparatorFade;  // what a fading separator fades into
};
TMenuColors MenuColorsFor(bool highContrast);
void ApplyMenuColors(TCustomBarPopupMenu& menu, const TMenuColors& colors);

// The configuration dialog's font sample: the ticker's text on the ticker's ground.
struct TSampleColors {
    TColor Text, Background;
};
TSampleColors FontSampleColors(bool highContrast, TColor fontColor);

}  // namespace tw
