#include "controls/MenuItemPainter_win32.h"

#include "controls/BarMenuFonts_win32.h"
#include "controls/BarPopupMenus_win32.h"
#include "controls/GdiHandles_win32.h"
#include "controls/PngImages_win32.h"

namespace tw {

void TMenuItemPainter::Draw(HDC dc, const TBarMenuItem& item, const RECT& face, UINT state) {
    if (item.IsSeparator()) DrawSeparator(dc, item, face);
    else DrawEntry(dc, item, face, state);
}

void TMenuItemPainter::DrawSeparator(HDC dc, const TBarMenuItem& item, const RECT& face) {
    const TMenuSeparators& separators = menu_.Separators;
    FillRect(dc, &face, GetSysColorBrush(COLOR_MENU));
    if (separators.SeparatorStyle == ssCaption && !item.Hint().empty()) {
        DrawCaptionSeparator(dc, item, face);
        return;
    }
    RECT line = face;
    if (separators.SeparatorStyle == ssShortLine) {
        line.left += menu_.Scaled(kItemImageColumn);
        line.right -= menu_.Scaled(kItemTextGap);
    }
    line.top = (face.top + face.bottom) / 2 - 1;
    line.bottom = line.top + 2;
    if (separators.FlatLines) {
        line.bottom = line.top + 1;
        FillRect(dc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
        DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    }
}

void TMenuItemPainter::DrawCaptionSeparator(HDC dc, const TBarMenuItem& item, const RECT& face) {
    const int width = face.right - face.left, height = face.bottom - face.top;
    TPixelImage pixels;
    ComposeSeparator(pixels, menu_.ShownSeparators(), width, height, gdi::ResolveSystemColor);
    if (!pixels.Empty()) {
        BITMAPINFO bmi = gdi::TopDownBitmapInfo(width, height);
        SetDIBitsToDevice(dc, face.left, face.top, width, height, 0, 0, 0, height, pixels.Data(), &bmi, DIB_RGB_COLORS);
    }
    gdi::SelectScope font(dc, fonts_.Text(TMenuTextFont::Separator));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, gdi::ColorRefOf(menu_.Separators.Font.Color));
    RECT text = face;
    InflateRect(&text, -menu_.Scaled(kSeparatorTextMargin), 0);
    UINT align = DT_CENTER;
    if (menu_.Separators.Alignment == taLeftJustify) align = DT_LEFT;
    if (menu_.Separators.Alignment == taRightJustify) align = DT_RIGHT;
    const std::wstring hint = ToWide(item.Hint());
    DrawTextW(dc, hint.c_str(), static_cast<int>(hint.size()), &text,
              align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void TMenuItemPainter::DrawEntry(HDC dc, const TBarMenuItem& item, const RECT& face, UINT state) {
    const bool selected = (state & ODS_SELECTED) && item.Enabled();
    const bool xp = menu_.EffectiveStyle() == msWindowsXP;
    FillRect(dc, &face, GetSysColorBrush(COLOR_MENU));
    if (selected) {
        FillRect(dc, &face, GetSysColorBrush(xp ? COLOR_MENUHILIGHT : COLOR_HIGHLIGHT));
        if (xp) FrameRect(dc, &face, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    DrawImageColumn(dc, item, face, selected);
    gdi::SelectScope font(dc, fonts_.Text(item.Default() ? TMenuTextFont::MenuBold : TMenuTextFont::Menu));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TextColor(item, selected));
    RECT text = face;
    text.left += menu_.Scaled(kItemImageColumn) + menu_.Scaled(kItemTextGap);
    text.right -= menu_.Scaled(kItemArrowRoom);
    UINT flags = DT_SINGLELINE | DT_VCENTER;
    if (item.NoPrefix) flags |= DT_NOPREFIX;
    else if (state & ODS_NOACCEL) flags |= DT_HIDEPREFIX;
    const std::wstring caption = ToWide(item.Caption());
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, flags | DT_LEFT | DT_END_ELLIPSIS);
    if (!item.ShortCut().empty()) {
        const std::wstring shortCut = ToWide(item.ShortCut());
        DrawTextW(dc, shortCut.c_str(), static_cast<int>(shortCut.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
    }
}

COLORREF TMenuItemPainter::TextColor(const TBarMenuItem& item, bool selected) const {
    if (!item.Enabled()) return GetSysColor(COLOR_GRAYTEXT);
    if (selected) return GetSysColor(COLOR_HIGHLIGHTTEXT);
    if (!menu_.UseSystemFont && menu_.MenuFont.Color != clWindowText) return gdi::ColorRefOf(menu_.MenuFont.Color);
    return GetSysColor(COLOR_MENUTEXT);
}

void TMenuItemPainter::DrawImageColumn(HDC dc, const TBarMenuItem& item, const RECT& face, bool selected) const {
    const int columnWidth = menu_.Scaled(kItemImageColumn);
    const RECT column{face.left, face.top, face.left + columnWidth, face.bottom};
    const TPixelImage* picture = nullptr;
    if (menu_.Images && item.ImageIndex() >= 0 && item.ImageIndex() < menu_.Images->Count())
        picture = &menu_.Images->Items(item.ImageIndex());
    if (picture && !picture->Empty()) {
        const int x = column.left + (columnWidth - picture->Width()) / 2;
        const int y = column.top + (column.bottom - column.top - picture->Height()) / 2;
        if (item.Checked()) {
            RECT frame{x - 2, y - 2, x + picture->Width() + 2, y + picture->Height() + 2};
            DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
        }
        DrawPngImage(dc, *picture, x, y);
        return;
    }
    if (item.Checked()) DrawCheckMark(dc, column, selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
}

void TMenuItemPainter::DrawCheckMark(HDC dc, const RECT& column, int colorIndex) const {
    const auto px = [this](int v) { return menu_.Scaled(v); };
    GdiObject pen(CreatePen(PS_SOLID, px(2), GetSysColor(colorIndex)));
    gdi::SelectScope use(dc, pen.Get());
    const int cx = (column.left + column.right) / 2, cy = (column.top + column.bottom) / 2;
    const POINT mark[] = {{cx - px(4), cy}, {cx - px(1), cy + px(3)}, {cx + px(4), cy - px(3)}};
    Polyline(dc, mark, 3);
}

}  // namespace tw
