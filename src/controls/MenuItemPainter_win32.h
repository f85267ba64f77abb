#pragma once
// The faces of a bar popup menu's entries (Windows build): highlight, picture or check mark, text
// and shortcut; separators as a line or as their hint over the separators' gradient.
#include "controls/BarPopupMenus.h"

#include <windows.h>

namespace tw {

class TBarPopupMenu;
class TBarMenuFonts;

class TMenuItemPainter {
public:
    TMenuItemPainter(const TBarPopupMenu& menu, TBarMenuFonts& fonts) : menu_(menu), fonts_(fonts) {}
    TMenuItemPainter(const TMenuItemPainter&) = delete;
    TMenuItemPainter& operator=(const TMenuItemPainter&) = delete;

    // Draws `item` into `face` (the entry's rectangle less the bar's room); `state` holds ODS_* bits.
    void Draw(HDC dc, const TBarMenuItem& item, const RECT& face, UINT state);

private:
    void DrawSeparator(HDC dc, const TBarMenuItem& item, const RECT& face);
    void DrawCaptionSeparator(HDC dc, const TBarMenuItem& item, const RECT& face);
    void DrawEntry(HDC dc, const TBarMenuItem& item, const RECT& face, UINT state);
    COLORREF TextColor(const TBarMenuItem& item, bool selected) const;
    void DrawImageColumn(HDC dc, const TBarMenuItem& item, const RECT& face, bool selected) const;
    void DrawCheckMark(HDC dc, const RECT& column, int colorIndex) const;

    const TBarPopupMenu& menu_;
    TBarMenuFonts& fonts_;
};

}  // namespace tw
