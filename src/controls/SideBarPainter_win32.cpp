#include "controls/SideBarPainter_win32.h"

#include "controls/BarMenuFonts_win32.h"
#include "controls/BarPopupMenus_win32.h"
#include "controls/GdiHandles_win32.h"

#include <algorithm>
#include <cstring>

namespace tw {

// A top-down 32-bit DIB section selected into a memory DC, with the system's rows above and below
// the entries that it covers too.
struct TSideBarPainter::Image {
    MemoryDc dc;
    GdiObject bitmap;
    HGDIOBJ old = nullptr;
    std::uint32_t* bits = nullptr;
    int width = 0, height = 0;
    Margins margins;

    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    ~Image() {
        if (dc && old) SelectObject(dc.Get(), old);
    }

    // Null for an empty size or when the system refuses the bitmap.
    static std::unique_ptr<Image> Make(int width, int height, const Margins& margins) {
        if (width <= 0 || height <= 0) return nullptr;
        auto image = std::make_unique<Image>();
        image->dc.Reset(CreateCompatibleDC(nullptr));
        BITMAPINFO bmi = gdi::TopDownBitmapInfo(width, height);
        void* bits = nullptr;
        image->bitmap.Reset(CreateDIBSection(image->dc.Get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!image->dc || !image->bitmap || !bits) return nullptr;
        image->old = SelectObject(image->dc.Get(), image->bitmap.Get());
        image->bits = static_cast<std::uint32_t*>(bits);
        image->width = width;
        image->height = height;
        image->margins = margins;
        return image;
    }
};

TSideBarPainter::TSideBarPainter(TBarPopupMenu& menu, TBarMenuFonts& fonts) : menu_(menu), fonts_(fonts) {}

TSideBarPainter::~TSideBarPainter() = default;

const TBarLayout& TSideBarPainter::Layout() {
    if (!menu_.BarStale() && layoutVersion_ == menu_.ItemsVersion()) return layout_;
    shown_ = menu_.ShownBar();
    std::vector<int> heights;
    std::vector<bool> visible;
    gdi::WindowDc screen(nullptr);
    const TBarMenuItem& root = menu_.Items();
    for (int i = 0; i < root.Count(); ++i) {
        const TBarMenuItem& item = root.Items(i);
        visible.push_back(item.Visible());
        heights.push_back(item.Visible() ? menu_.MeasureItemOn(screen.Get(), item).Height : 0);
    }
    layout_ = LayOutBar(heights, visible);
    layoutVersion_ = menu_.ItemsVersion();
    return layout_;
}

RECT TSideBarPainter::DrawSlice(HDC dc, const TBarMenuItem& item, const RECT& rect) {
    Layout();
    const RECT face = FaceBeside(dc, rect);
    const int top = TopOf(item);
    if (top < 0) return face;
    EnsureImage(MarginsOn(dc, rect.top - top, rect.top - top + layout_.Height));
    if (!image_) return face;
    CopyRows(dc, rect, top);
    ++slices_;
    return face;
}

// The rows between the menu window's edges and its entries (`itemsTop`..`itemsBottom` in `dc`'s
// coordinates) less the system's one-pixel frame line: Wine draws a frame and two blank rows
// inside the popup's client area. None for a DC of no window (a memory DC), and none where the
// gap is wider than a margin (the scroll arrows of a menu taller than the screen).
TSideBarPainter::Margins TSideBarPainter::MarginsOn(HDC dc, int itemsTop, int itemsBottom) {
    constexpr int kFrame = 1, kMaxMargin = 4;
    HWND window = WindowFromDC(dc);
    RECT client{};
    POINT dcOrigin{}, clientOrigin{0, 0};
    if (!window || !GetClientRect(window, &client) || !GetDCOrgEx(dc, &dcOrigin) || !ClientToScreen(window, &clientOrigin))
        return {};
    const int clientTop = clientOrigin.y - dcOrigin.y, clientBottom = clientTop + client.bottom;
    const auto margin = [](int gap) { return gap > kFrame && gap - kFrame <= kMaxMargin ? gap - kFrame : 0; };
    return {margin(itemsTop - clientTop), margin(clientBottom - itemsBottom)};
}

// Fills the space between the bar and the face with the menu's colour.
RECT TSideBarPainter::FaceBeside(HDC dc, const RECT& rect) const {
    RECT face = rect, space = rect;
    const int room = shown_.Width + shown_.Space;
    if (shown_.Side == sLeft) {
        face.left += room;
        space.left = rect.left + shown_.Width;
        space.right = face.left;
    } else {
        face.right -= room;
        space.left = face.right;
        space.right = rect.right - shown_.Width;
    }
    FillRect(dc, &space, GetSysColorBrush(COLOR_MENU));
    return face;
}

// `item`'s top in the bar; -1 when it is not a shown top-level entry.
int TSideBarPainter::TopOf(const TBarMenuItem& item) const {
    const TBarMenuItem& root = menu_.Items();
    int index = 0;
    while (index < root.Count() && &root.Items(index) != &item) ++index;
    return index < static_cast<int>(layout_.Tops.size()) ? layout_.Tops[index] : -1;
}

// Painted once per popup: opening the menu marks the bar stale, so its events run at every
// popup, and the entries drawn again while it is open copy what was painted. A bar that no
// longer fits (its size, settings or density changed meanwhile) is painted again.
void TSideBarPainter::EnsureImage(const Margins& margins) {
    const int width = std::max(shown_.Width, 0);
    const int height = layout_.Height + margins.Top + margins.Bottom;
    if (image_ && !menu_.BarStale() && image_->width == width && image_->height == height &&
        image_->margins.Top == margins.Top && imageBar_ == menu_.Bar && imageDpi_ == menu_.Dpi())
        return;
    image_.reset();
    std::unique_ptr<Image> image = Image::Make(width, height, margins);
    if (!image) return;
    ++builds_;
    Paint(*image);  // a handler that throws leaves no half-drawn bar behind
    image_ = std::move(image);
    imageBar_ = menu_.Bar;
    imageDpi_ = menu_.Dpi();
    menu_.ClearBarStale();
}

void TSideBarPainter::Paint(Image& image) {
    const RECT rect{0, 0, image.width, image.height};
    HDC dc = image.dc.Get();
    bool defaultDraw = true;
    if (menu_.OnBeforeDrawBar) menu_.OnBeforeDrawBar(menu_, dc, rect, defaultDraw);
    TBarParts parts = defaultDraw ? DefaultBarParts(shown_) : 0;
    if (defaultDraw && menu_.OnAdvancedBeforeDrawBar) menu_.OnAdvancedBeforeDrawBar(menu_, dc, rect, parts);
    if (parts & ~static_cast<TBarParts>(bpCaption)) Compose(image, parts);
    if (parts & bpCaption) DrawCaption(image, parts);
    if (menu_.OnAfterDrawBar) menu_.OnAfterDrawBar(menu_, dc, rect);
    GdiFlush();
}

// The portable composition works on the image's own pixels, so what a handler drew before
// stays under the parts that do not cover it.
void TSideBarPainter::Compose(Image& image, TBarParts parts) {
    GdiFlush();
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    TPixelImage pixels(image.width, image.height);
    std::memcpy(pixels.Data(), image.bits, count * sizeof(std::uint32_t));
    ComposeSideBar(pixels, shown_, image.height, parts, gdi::ResolveSystemColor);
    std::memcpy(image.bits, pixels.Data(), count * sizeof(std::uint32_t));
}

void TSideBarPainter::DrawCaption(Image& image, TBarParts parts) {
    const TSideBarCaption& caption = shown_.BarCaption;
    if (caption.Caption.empty()) return;
    const std::wstring text = ToWide(caption.Caption);
    LOGFONTW lf = gdi::LogFontOf(caption.Font, fonts_.Dpi());
    HDC dc = image.dc.Get();
    SIZE extent{};
    TEXTMETRICW metrics{};
    {
        gdi::SelectScope upright(dc, fonts_.Get(lf));
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        GetTextMetricsW(dc, &metrics);
    }
    const TSideBarPicture& picture = shown_.BarPicture;
    const int pictureRoom = (parts & bpPicture) && picture.VertAlignment == vaBottom && !picture.Picture.Empty()
                                ? picture.Picture.Height() + picture.OffsetY
                                : 0;
    const Point at = PlaceBarCaption(caption, image.width, image.height, extent.cx, metrics.tmHeight, pictureRoom);
    lf.lfEscapement = lf.lfOrientation = caption.Direction == dDownToUp ? 900 : 2700;
    gdi::SelectScope rotated(dc, fonts_.Get(lf));
    SetBkMode(dc, TRANSPARENT);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, 0, 0, image.width, image.height);
    const auto draw = [&](TColor color, int dx, int dy) {
        SetTextColor(dc, gdi::ColorRefOf(color));
        TextOutW(dc, at.X + dx, at.Y + dy, text.c_str(), static_cast<int>(text.size()));
    };
    if (caption.HighlightColor != clNone) draw(caption.HighlightColor, -caption.Depth, caption.Depth);
    if (caption.ShadowColor != clNone) draw(caption.ShadowColor, caption.Depth, -caption.Depth);
    draw(caption.Font.Color, 0, 0);
    RestoreDC(dc, saved);
}

void TSideBarPainter::CopyRows(HDC dc, const RECT& rect, int top) const {
    const Image& image = *image_;
    const int x = shown_.Side == sLeft ? rect.left : rect.right - shown_.Width;
    const int rows = std::min<int>(rect.bottom - rect.top, layout_.Height - top);
    BitBlt(dc, x, rect.top, shown_.Width, rows, image.dc.Get(), 0, image.margins.Top + top, SRCCOPY);
    // The margins lie outside the entry, where the system clips its drawing.
    const bool first = top == 0 && image.margins.Top > 0;
    const bool last = top + rows >= layout_.Height && image.margins.Bottom > 0;
    if (!first && !last) return;
    const int saved = SaveDC(dc);
    SelectClipRgn(dc, nullptr);
    if (first)
        BitBlt(dc, x, rect.top - image.margins.Top, shown_.Width, image.margins.Top, image.dc.Get(), 0, 0, SRCCOPY);
    if (last)
        BitBlt(dc, x, rect.top + rows, shown_.Width, image.margins.Bottom, image.dc.Get(), 0,
               image.margins.Top + layout_.Height, SRCCOPY);
    RestoreDC(dc, saved);
}

}  // namespace tw
