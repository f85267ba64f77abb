#include "controls/BarPopupMenus.h"

#include "base/AsciiText.h"
#include "controls/DisplayScale.h"

#include <algorithm>
#include <cstdint>

namespace tw {

// --- entries ---

void TBarMenuItem::SetCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    Changed(true);
}

void TBarMenuItem::SetHint(std::string hint) {
    if (hint == hint_) return;
    hint_ = std::move(hint);
    Changed(IsSeparator());  // a separator's hint is its caption: its height follows
}

void TBarMenuItem::SetShortCut(std::string text) {
    if (text == shortCut_) return;
    shortCut_ = std::move(text);
    Changed(false);
}

void TBarMenuItem::SetImageIndex(int index) {
    if (index == imageIndex_) return;
    imageIndex_ = index;
    Changed(false);
}

void TBarMenuItem::SetChecked(bool on) {
    if (on == checked_) return;
    checked_ = on;
    Changed(false);
}

void TBarMenuItem::SetEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    Changed(false);
}

void TBarMenuItem::SetVisible(bool on) {
    if (on == visible_) return;
    visible_ = on;
    Changed(true);
}

void TBarMenuItem::SetDefault(bool on) {
    if (on == default_) return;
    default_ = on;
    Changed(true);  // bold text may be wider
}

TBarMenuItem& TBarMenuItem::Add(std::string caption) { return Insert(Count(), std::move(caption)); }

TBarMenuItem& TBarMenuItem::Insert(int index, std::string caption) {
    index = std::clamp(index, 0, Count());
    auto item = std::make_unique<TBarMenuItem>(std::move(caption));
    item->parent_ = this;
    TBarMenuItem& added = *item;
    items_.insert(items_.begin() + index, std::move(item));
    added.Changed(true);
    return added;
}

void TBarMenuItem::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    items_.erase(items_.begin() + index);
    Changed(true);
}

void TBarMenuItem::Clear() {
    if (items_.empty()) return;
    items_.clear();
    Changed(true);
}

TCustomBarPopupMenu* TBarMenuItem::Menu() const {
    const TBarMenuItem* top = this;
    while (top->parent_) top = top->parent_;
    return top->menu_;
}

void TBarMenuItem::Changed(bool affectsBar) {
    if (TCustomBarPopupMenu* menu = Menu()) menu->ItemChanged(*this, affectsBar);
}

// --- the menu ---

TCustomBarPopupMenu::TCustomBarPopupMenu() { root_.menu_ = this; }

TCustomBarPopupMenu::~TCustomBarPopupMenu() {
    // The entries go before the menu they would report to.
    root_.menu_ = nullptr;
    root_.items_.clear();
}

void TCustomBarPopupMenu::InstallHandlers(TBarMenuItem& item) {
    item.handlers_ = true;
    for (auto& child : item.items_) InstallHandlers(*child);
}

void TCustomBarPopupMenu::Loaded() {
    ownerDraw_ = true;
    InstallHandlers(root_);
    ++itemsVersion_;
}

void TCustomBarPopupMenu::BeginItemsUpdate() {
    updating_ = true;
    ++updateCount_;
}

void TCustomBarPopupMenu::EndItemsUpdate() {
    if (updateCount_ >= 1) --updateCount_;
    if (updateCount_ != 0) return;
    InstallHandlers(root_);
    updating_ = false;
    ++itemsVersion_;
    barStale_ = true;
}

void TCustomBarPopupMenu::ItemChanged(TBarMenuItem& item, bool affectsBar) {
    ++itemsVersion_;
    if (updating_) return;
    InstallHandlers(item);
    if (affectsBar) barStale_ = true;
}

void TCustomBarPopupMenu::SetDpi(int dpi) {
    dpi = std::max(dpi, 0);
    if (dpi == dpi_) return;
    dpi_ = dpi;
    ++itemsVersion_;  // the shown menu was measured at the old density
    barStale_ = true;
}

int TCustomBarPopupMenu::Scaled(int designPixels) const {
    return dpi_ > 0 ? ScaleForDpi(designPixels, dpi_) : designPixels;
}

TMenuSideBar TCustomBarPopupMenu::ShownBar() const {
    TMenuSideBar bar = Bar;
    const auto scale = [this](int& v) { v = Scaled(v); };
    scale(bar.Width);
    scale(bar.Space);
    scale(bar.BarCaption.OffsetY);
    scale(bar.BarCaption.Depth);
    for (TSideBarPicture* picture : {static_cast<TSideBarPicture*>(&bar.BarPicture),
                                     static_cast<TSideBarPicture*>(&bar.BarBackPicture)}) {
        scale(picture->OffsetX);
        scale(picture->OffsetY);
    }
    return bar;
}

TMenuSeparators TCustomBarPopupMenu::ShownSeparators() const {
    TMenuSeparators separators = Separators;
    separators.FadeWidth = Scaled(separators.FadeWidth);
    return separators;
}

Size TCustomBarPopupMenu::MeasureItem(const TBarMenuItem& item, IMenuTextMeasurer& canvas, TMenuStyle style) {
    Size size;
    if (item.IsSeparator()) {
        if (!item.Hint().empty()) {
            size.Height = Scaled(14);
            size.Width = canvas.TextExtent(item.Hint(), TMenuTextFont::Separator, true).Width +
                         2 * Scaled(kSeparatorTextMargin);
        } else {
            size.Height = Scaled(style == msWindowsXP ? 9 : 12);
        }
    } else {
        const TMenuTextFont font = item.Default() ? TMenuTextFont::MenuBold : TMenuTextFont::Menu;
        const Size text = canvas.TextExtent(item.Caption(), font, item.NoPrefix);
        size.Width = text.Width + Scaled(kItemImageColumn) + Scaled(kItemTextGap) + Scaled(kItemArrowRoom);
        int textHeight = text.Height;
        if (!item.ShortCut().empty()) {
            const Size shortCut = canvas.TextExtent(item.ShortCut(), font, true);
            size.Width += Scaled(kShortCutGap) + shortCut.Width;
            textHeight = std::max(textHeight, shortCut.Height);
        }
        size.Height = std::max(textHeight + Scaled(6), Scaled(16));
        if (style == msWindowsXP) size.Height += size.Height % 2;
    }
    const bool barVisible = BesideBar(item);
    bool defaultMeasure = true;
    if (DrawModule && DrawModule->MeasureItem(item, canvas, size, barVisible)) defaultMeasure = false;
    if (OnMeasureMenuItem) OnMeasureMenuItem(*this, item, canvas, size.Width, size.Height, barVisible, defaultMeasure);
    if (defaultMeasure && barVisible) size.Width += Scaled(Bar.Width) + Scaled(Bar.Space);
    return size;
}

// --- geometry ---

TMenuStyle ResolveMenuStyle(TMenuStyle style, const TOsVersion& os) {
    if (style != msAuto) return style;
    const bool xpOrLater = os.NtLine && (os.Major > 5 || (os.Major == 5 && os.Minor >= 1));
    return xpOrLater ? msWindowsXP : msStandard;
}

char32_t HotkeyOf(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(AsciiUpper(caption[i + 1]));
        if (c >= 0x80) return 0;  // only plain letters and digits count as hot keys here
        return static_cast<char32_t>(c);
    }
    return 0;
}

TBarLayout LayOutBar(const std::vector<int>& heights, const std::vector<bool>& visible) {
    TBarLayout layout;
    layout.Tops.reserve(heights.size());
    for (std::size_t i = 0; i < heights.size(); ++i) {
        const bool shown = i < visible.size() ? visible[i] : true;
        if (!shown) {
            layout.Tops.push_back(-1);
            continue;
        }
        layout.Tops.push_back(layout.Height);
        layout.Height += std::max(heights[i], 0);
    }
    return layout;
}

Point PlaceBarCaption(const TSideBarCaption& caption, int barWidth, int barHeight, int textWidth, int textHeight,
                      int bottomPictureHeight) {
    int upper = 0;  // the text's upper end
    switch (caption.Alignment) {
        case vaTop: upper = caption.OffsetY; break;
        case vaBottom: upper = barHeight - caption.OffsetY - bottomPictureHeight - textWidth; break;
        case vaMiddle: upper = (barHeight - textWidth) / 2; break;
    }
    const int left = (barWidth - textHeight) / 2;  // the glyphs' cell across the bar
    if (caption.Direction == dDownToUp) return {left, upper + textWidth};
    return {left + textHeight, upper};
}

Point PlaceBarPicture(const TSideBarPicture& picture, int barWidth, int barHeight, int w, int h) {
    Point p;
    switch (picture.HorzAlignment) {
        case haLeft: p.X = picture.OffsetX; break;
        case haRight: p.X = barWidth - w - picture.OffsetX; break;
        case haCenter: p.X = (barWidth - w) / 2 + picture.OffsetX; break;
    }
    switch (picture.VertAlignment) {
        case vaTop: p.Y = picture.OffsetY; break;
        case vaBottom: p.Y = barHeight - h - picture.OffsetY; break;
        case vaMiddle: p.Y = (barHeight - h) / 2 + picture.OffsetY; break;
    }
    return p;
}

TBarParts DefaultBarParts(const TMenuSideBar& bar) {
    TBarParts parts = bpGradient;
    if (bar.BarPicture.Visible) parts |= bpPicture;
    if (bar.BarBackPicture.Visible) parts |= bpBackPicture;
    if (bar.BarCaption.Visible) parts |= bpCaption;
    return parts;
}

namespace {

// Channel-wise from `a` to `b` by weight/256, in colour values (0x00BBGGRR).
TColor Mix(TColor a, TColor b, int weight) {
    TColor out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        out |= static_cast<TColor>(ca + (cb - ca) * weight / 256) << shift;
    }
    return out;
}

TColor Resolved(TColor c, const TColorResolver& resolve) {
    return (resolve ? resolve(c) : ResolveColorClassic(c)) & 0xFFFFFF;
}

Rect Clipped(Rect r, const TPixelImage& image) {
    return {std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, image.Width()),
            std::min(r.Bottom, image.Height())};
}

// Draws `picture` at (x, y): with alpha where it has any, else keyed by its bottom-left pixel
// when transparent, else opaque.
void DrawPicture(TPixelImage& dst, const TPixelImage& picture, int x, int y, bool transparent) {
    if (picture.Empty()) return;
    bool hasAlpha = false;
    for (int py = 0; py < picture.Height() && !hasAlpha; ++py)
        for (int px = 0; px < picture.Width(); ++px)
            if ((picture.Pixel(px, py) >> 24) != 0xFF) {
                hasAlpha = true;
                break;
            }
    if (!transparent || !hasAlpha) {
        if (transparent) DrawTransparent(dst, picture, x, y, picture.Pixel(0, picture.Height() - 1));
        else CopyImage(dst, picture, x, y);
        return;
    }
    for (int py = 0; py < picture.Height(); ++py) {
        for (int px = 0; px < picture.Width(); ++px) {
            const int dx = x + px, dy = y + py;
            if (dx < 0 || dy < 0 || dx >= dst.Width() || dy >= dst.Height()) continue;
            const std::uint32_t src = picture.Pixel(px, py);
            const int alpha = static_cast<int>(src >> 24);
            const TColor mixed = Mix(dst.Pixel(dx, dy) & 0xFFFFFF, src & 0xFFFFFF, alpha * 256 / 255);
            dst.SetPixel(dx, dy, 0xFF000000u | mixed);  // Mix is per channel, so pixel order is kept
        }
    }
}

void DrawBackPicture(TPixelImage& dst, const TSideBarBackPicture& back) {
    const TPixelImage& pic = back.Picture;
    if (pic.Empty()) return;
    switch (back.DrawStyle) {
        case dsNormal: {
            const Point p = PlaceBarPicture(back, dst.Width(), dst.Height(), pic.Width(), pic.Height());
            DrawPicture(dst, pic, p.X, p.Y, back.Transparent);
            return;
        }
        case dsTile:
            for (int y = 0; y < dst.Height(); y += pic.Height())
                for (int x = 0; x < dst.Width(); x += pic.Width()) DrawPicture(dst, pic, x, y, back.Transparent);
            return;
        case dsStretch: {
            TPixelImage stretched(dst.Width(), dst.Height());
            for (int y = 0; y < dst.Height(); ++y)
                for (int x = 0; x < dst.Width(); ++x)
                    stretched.SetPixel(x, y, pic.Pixel(x * pic.Width() / dst.Width(), y * pic.Height() / dst.Height()));
            DrawPicture(dst, stretched, 0, 0, back.Transparent);
            return;
        }
    }
}

}  // namespace

void PaintGradient(TPixelImage& image, Rect r, TColor start, TColor end, TGradientStyle style) {
    const Rect c = Clipped(r, image);
    const int w = r.Width(), h = r.Height();
    for (int y = c.Top; y < c.Bottom; ++y) {
        std::uint32_t* row = image.Row(y);
        for (int x = c.Left; x < c.Right; ++x) {
            const int dx = x - r.Left, dy = y - r.Top;
            int step = 0, steps = 1;
            switch (style) {
                case gsHorizontal: step = dx, steps = w - 1; break;
                case gsVertical: step = dy, steps = h - 1; break;
                case gsDiagonalLeftRight: step = dx + dy, steps = w + h - 2; break;
                case gsDiagonalRightLeft: step = (w - 1 - dx) + dy, steps = w + h - 2; break;
            }
            const int weight = steps > 0 ? static_cast<int>(static_cast<long long>(step) * 256 / steps) : 0;
            row[x] = 0xFF000000u | ColorToPixel(Mix(start, end, weight));
        }
    }
}

void ComposeSideBar(TPixelImage& out, const TMenuSideBar& bar, int height, TBarParts parts,
                    const TColorResolver& resolve) {
    // Drawn over what `out` holds when it has the bar's size (a handler may have drawn first).
    if (out.Width() != std::max(bar.Width, 0) || out.Height() != std::max(height, 0))
        out.Resize(std::max(bar.Width, 0), std::max(height, 0), 0xFF000000u);
    if (out.Empty()) return;
    if (parts & bpGradient)
        PaintGradient(out, {0, 0, out.Width(), out.Height()}, Resolved(bar.GradientStart, resolve),
                      Resolved(bar.GradientEnd, resolve), bar.GradientStyle);
    if (parts & bpBackPicture) DrawBackPicture(out, bar.BarBackPicture);
    if (parts & bpPicture) {
        const TPixelImage& pic = bar.BarPicture.Picture;
        const Point p = PlaceBarPicture(bar.BarPicture, out.Width(), out.Height(), pic.Width(), pic.Height());
        DrawPicture(out, pic, p.X, p.Y, bar.BarPicture.Transparent);
    }
    if (bar.Border != clNone) {
        const std::uint32_t px = 0xFF000000u | ColorToPixel(Resolved(bar.Border, resolve));
        out.FillRect(0, 0, out.Width(), 1, px);
        out.FillRect(0, out.Height() - 1, out.Width(), 1, px);
        out.FillRect(0, 0, 1, out.Height(), px);
        out.FillRect(out.Width() - 1, 0, 1, out.Height(), px);
    }
}

int FadeWeight(int x, int width, int fadeWidth) {
    if (fadeWidth <= 0 || width <= 0) return 0;
    const int span = std::min(fadeWidth, width);
    const int into = x - (width - span) + 1;  // 1..span over the faded columns
    if (into <= 0) return 0;
    return std::min(into, span) * 256 / span;
}

void ComposeSeparator(TPixelImage& out, const TMenuSeparators& separators, int width, int height,
                      const TColorResolver& resolve) {
    out.Resize(std::max(width, 0), std::max(height, 0), 0xFF000000u);
    if (out.Empty()) return;
    PaintGradient(out, {0, 0, out.Width(), out.Height()}, Resolved(separators.GradientStart, resolve),
                  Resolved(separators.GradientEnd, resolve), separators.GradientStyle);
    if (!separators.Fade) return;
    const TColor fade = Resolved(separators.FadeColor, resolve);
    for (int x = 0; x < out.Width(); ++x) {
        const int weight = FadeWeight(x, out.Width(), separators.FadeWidth);
        if (weight == 0) continue;
        for (int y = 0; y < out.Height(); ++y) {
            const TColor here = PixelToColor(out.Pixel(x, y) & 0xFFFFFF);
            out.SetPixel(x, y, 0xFF000000u | ColorToPixel(Mix(here, fade, weight)));
        }
    }
}

TPopupPlacement PlacePopupMenu(int x, Rect bar, TpkAppBarPlacement dock, Rect workArea, Size menu) {
    TPopupPlacement p;
    p.X = std::max(workArea.Left, std::min(x, workArea.Right - menu.Width));
    switch (dock) {
        case bpTop: p.Y = bar.Bottom; return p;
        case bpBottom:
            p.Y = bar.Top;
            p.AlignBottom = true;
            return p;
        default: break;
    }
    if (bar.Bottom + menu.Height <= workArea.Bottom) {
        p.Y = bar.Bottom;
    } else if (bar.Top - menu.Height >= workArea.Top) {
        p.Y = bar.Top;
        p.AlignBottom = true;
    } else {
        // Fits neither side: as low as the work area lets it, over the bar rather than off screen.
        p.Y = std::max(workArea.Top, workArea.Bottom - menu.Height);
    }
    return p;
}

}  // namespace tw
