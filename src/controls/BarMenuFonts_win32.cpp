#include "controls/BarMenuFonts_win32.h"

#include "controls/DisplayScale.h"
#include "controls/DisplayScale_win32.h"

#include <cstring>

namespace tw {

namespace {

// The system's menu font (made for the system's density) for a display of `dpi`.
LOGFONTW SystemMenuFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return gdi::LogFontOf(TFont{"Tahoma", 8, clWindowText, 0}, dpi);
    metrics.lfMenuFont.lfHeight = ScaleBetween(metrics.lfMenuFont.lfHeight, ScreenDpi(), dpi);
    return metrics.lfMenuFont;
}

}  // namespace

int TBarMenuFonts::Dpi() const { return menu_.Dpi() > 0 ? menu_.Dpi() : ScreenDpi(); }

HFONT TBarMenuFonts::Get(const LOGFONTW& lf) {
    for (auto& [key, font] : made_)
        if (std::memcmp(&key, &lf, sizeof lf) == 0) return static_cast<HFONT>(font.Get());
    // A change of density or font leaves the old ones unused; a few cover one menu's drawing.
    if (made_.size() >= 8) made_.erase(made_.begin());
    made_.emplace_back(lf, GdiObject(CreateFontIndirectW(&lf)));
    return static_cast<HFONT>(made_.back().second.Get());
}

HFONT TBarMenuFonts::Text(TMenuTextFont which) {
    switch (which) {
        case TMenuTextFont::Menu: return Get(MenuLogFont(false));
        case TMenuTextFont::MenuBold: return Get(MenuLogFont(true));
        case TMenuTextFont::Separator: return Get(SeparatorLogFont());
    }
    return nullptr;
}

LOGFONTW TBarMenuFonts::MenuLogFont(bool bold) const {
    LOGFONTW lf = menu_.UseSystemFont ? SystemMenuFont(Dpi()) : gdi::LogFontOf(menu_.MenuFont, Dpi());
    if (bold) lf.lfWeight = FW_BOLD;
    return lf;
}

LOGFONTW TBarMenuFonts::SeparatorLogFont() const {
    if (!menu_.Separators.UseSystemFont) return gdi::LogFontOf(menu_.Separators.Font, Dpi());
    LOGFONTW lf = SystemMenuFont(Dpi());
    lf.lfWeight = FW_BOLD;
    return lf;
}

Size TBarMenuMeasurer::TextExtent(const std::string& text, TMenuTextFont font, bool noPrefix) {
    gdi::SelectScope use(dc_, fonts_.Text(font));
    const std::wstring wide = ToWide(text);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &r,
              DT_CALCRECT | DT_SINGLELINE | (noPrefix ? DT_NOPREFIX : 0u));
    return {r.right - r.left, r.bottom - r.top};
}

}  // namespace tw
