#pragma once
// The fonts a bar popup menu writes with and the measurer that sizes its entries' text in them
// (Windows build).
#include "controls/BarPopupMenus.h"
#include "controls/GdiHandles_win32.h"

#include <utility>
#include <vector>

namespace tw {

// The menu font (plain or bold), the separators' font and any other a drawing asks for, made at
// the menu's density and kept while they are in use: a menu draws each entry with the same few.
class TBarMenuFonts {
public:
    explicit TBarMenuFonts(const TCustomBarPopupMenu& menu) : menu_(menu) {}
    TBarMenuFonts(const TBarMenuFonts&) = delete;
    TBarMenuFonts& operator=(const TBarMenuFonts&) = delete;

    // The density fonts are made for: the menu's, or the system's when the menu has none.
    int Dpi() const;
    // Null when the system refuses the font (text is then written in the DC's own).
    HFONT Text(TMenuTextFont which);
    HFONT Get(const LOGFONTW& lf);

private:
    LOGFONTW MenuLogFont(bool bold) const;
    LOGFONTW SeparatorLogFont() const;

    const TCustomBarPopupMenu& menu_;
    std::vector<std::pair<LOGFONTW, GdiObject>> made_;
};

// Measures text on `dc` in the menu's fonts, for the portable item measures.
class TBarMenuMeasurer final : public IMenuTextMeasurer {
public:
    TBarMenuMeasurer(HDC dc, TBarMenuFonts& fonts) : dc_(dc), fonts_(fonts) {}
    Size TextExtent(const std::string& text, TMenuTextFont font, bool noPrefix) override;

private:
    HDC dc_;
    TBarMenuFonts& fonts_;
};

}  // namespace tw
