// The bar popup menu on Windows: the entries become a real HMENU of owner-drawn items (separators
// stay MFT_SEPARATOR, so the arrow keys pass over them), a hidden window answers the measure, draw
// and hot-key messages, and the side bar is drawn once into a cached image that each entry copies
// its slice from.
#include "controls/BarPopupMenus_win32.h"

#include "base/Win32Window_win32.h"
#include "controls/DisplayScale.h"
#include "controls/DisplayScale_win32.h"
#include "controls/GdiHandles_win32.h"
#include "controls/PngImages_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <map>
#include <vector>

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TidewireBarMenuOwner";


COLORREF Ref(TColor c) { return static_cast<COLORREF>(gdi::ResolveSystemColor(c)); }

// The system's menu font (made for the system's density) for a display of `dpi`.
LOGFONTW SystemMenuFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return gdi::LogFontOf(TFont{"Tahoma", 8, clWindowText, 0}, dpi);
    metrics.lfMenuFont.lfHeight = ScaleBetween(metrics.lfMenuFont.lfHeight, ScreenDpi(), dpi);
    return metrics.lfMenuFont;
}

// "&" doubled, so a caption shown as it is keeps its "&" (also in the system's own hot-key search).
std::wstring EscapedPrefix(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        out += c;
        if (c == L'&') out += L'&';
    }
    return out;
}

// The hidden owner of the popup: everything it receives goes to the menu first.
class MenuOwnerWindow final : public Win32Window {
public:
    explicit MenuOwnerWindow(TBarPopupMenu& menu) : menu_(menu) {}
    ~MenuOwnerWindow() override { Destroy(); }

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        LRESULT result = 0;
        if (menu_.HandleOwnerMessage(msg, wp, lp, result)) return result;
        return Default(msg, wp, lp);
    }
    TBarPopupMenu& menu_;
};

// The bar image: a top-down 32-bit DIB section selected into a memory DC.
struct BarImage {
    MemoryDc dc;
    GdiObject bitmap;
    HGDIOBJ old = nullptr;
    std::uint32_t* bits = nullptr;
    int width = 0, height = 0;
    BarImage() = default;
    BarImage(const BarImage&) = delete;
    BarImage& operator=(const BarImage&) = delete;
    ~BarImage() {
        if (dc && old) SelectObject(dc.Get(), old);
    }
};

std::uint32_t g_menuSerial = 0;

struct TMenuMargins {
    int Top = 0, Bottom = 0;
};

// The rows between the menu window's edges and its entries (`itemsTop`..`itemsBottom` in `dc`'s
// coordinates) less the system's one-pixel frame line: Wine draws a frame and two blank rows
// inside the popup's client area. None for a DC of no window (a memory DC), and none where the
// gap is wider than a margin (the scroll arrows of a menu taller than the screen).
TMenuMargins MenuMarginsOn(HDC dc, int itemsTop, int itemsBottom) {
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

BOOL CALLBACK LeaveTooltip(HWND window, LPARAM owner) {
    wchar_t name[32] = {};
    if (!GetClassNameW(window, name, 32) || _wcsicmp(name, TOOLTIPS_CLASSW) != 0) return TRUE;
    MSG leave{};
    leave.hwnd = reinterpret_cast<HWND>(owner);  // a window with no tools: the pointer is on none
    leave.message = WM_MOUSEMOVE;
    SendMessageW(window, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&leave));
    return TRUE;
}

// The pointer belongs to the menu from now on, so this thread's tooltips are told it has left
// their tools. Else a hint whose delay began as the pointer reached what opened the menu (the
// start image) shows up over the menu's first rows, and under Wine stays there as a black strip
// that neither paints.
void LeaveThreadTooltips(HWND menuOwner) {
    EnumThreadWindows(GetCurrentThreadId(), LeaveTooltip, reinterpret_cast<LPARAM>(menuOwner));
}

}  // namespace

class TBarPopupMenu::Impl {
public:
    explicit Impl(TBarPopupMenu& menu) : menu_(menu), serial_(++g_menuSerial), window_(menu) {}

    TBarPopupMenu& menu_;
    const std::uint32_t serial_;
    MenuOwnerWindow window_;

    tw::Menu hmenu_;
    unsigned builtVersion_ = ~0u;
    std::vector<TBarMenuItem*> ids_;                 // command id - 1 -> entry
    std::map<HMENU, TBarMenuItem*> parents_;         // each built (sub)menu -> the entry it lists

    TBarLayout layout_;
    unsigned layoutVersion_ = ~0u;
    std::unique_ptr<BarImage> bar_;
    TMenuSideBar shownBar_;  // the menu's bar at its density, made with the layout
    TMenuSideBar barKey_;
    int barDpi_ = 0;
    TMenuMargins margins_;
    int barTop_ = 0;     // the system's rows above and below the entries that the bar covers too
    int barBuilds_ = 0;
    int barSlices_ = 0;

    std::vector<std::pair<LOGFONTW, GdiObject>> fonts_;

    HWND Owner() {
        if (!window_.Handle())
            window_.CreateFor(kClassName, WS_EX_TOOLWINDOW, WS_POPUP, L"", 0, 0, 0, 0, nullptr);
        return window_.Handle();
    }

    HFONT Font(const LOGFONTW& lf) {
        for (auto& [key, font] : fonts_)
            if (std::memcmp(&key, &lf, sizeof lf) == 0) return static_cast<HFONT>(font.Get());
        if (fonts_.size() >= 8) fonts_.erase(fonts_.begin());
        fonts_.emplace_back(lf, GdiObject(CreateFontIndirectW(&lf)));
        return static_cast<HFONT>(fonts_.back().second.Get());
    }

    int FontDpi() const { return menu_.Dpi() > 0 ? menu_.Dpi() : ScreenDpi(); }
    LOGFONTW MenuLogFont(bool bold) const {
        LOGFONTW lf = menu_.UseSystemFont ? SystemMenuFont(FontDpi()) : gdi::LogFontOf(menu_.MenuFont, FontDpi());
        if (bold) lf.lfWeight = FW_BOLD;
        return lf;
    }
    LOGFONTW SeparatorLogFont() const {
        if (!menu_.Separators.UseSystemFont) return gdi::LogFontOf(menu_.Separators.Font, FontDpi());
        LOGFONTW lf = SystemMenuFont(FontDpi());
        lf.lfWeight = FW_BOLD;
        return lf;
    }
    HFONT TextFont(TMenuTextFont which) {
        switch (which) {
            case TMenuTextFont::Menu: return Font(MenuLogFont(false));
            case TMenuTextFont::MenuBold: return Font(MenuLogFont(true));
            case TMenuTextFont::Separator: return Font(SeparatorLogFont());
        }
        return nullptr;
    }

    // --- the HMENU ---

    TBarMenuItem* ItemByData(ULONG_PTR data) const {
        if (builtVersion_ != menu_.ItemsVersion()) return nullptr;  // entries changed while shown
        if (static_cast<std::uint32_t>(static_cast<std::uint64_t>(data) >> 32) != serial_) return nullptr;
        const std::size_t id = static_cast<std::uint32_t>(data);
        return id >= 1 && id <= ids_.size() ? ids_[id - 1] : nullptr;
    }

    HMENU Build() {
        if (hmenu_ && builtVersion_ == menu_.ItemsVersion()) return hmenu_.Get();
        hmenu_.Reset();
        ids_.clear();
        parents_.clear();
        hmenu_ = BuildList(menu_.Items());
        builtVersion_ = menu_.ItemsVersion();
        return hmenu_.Get();
    }

    tw::Menu BuildList(TBarMenuItem& parent) {
        tw::Menu list(CreatePopupMenu());
        if (!list) return list;
        parents_[list.Get()] = &parent;
        UINT position = 0;
        for (int i = 0; i < parent.Count(); ++i) {
            TBarMenuItem& item = parent.Items(i);
            if (!item.Visible()) continue;
            if (Append(list.Get(), position, item)) ++position;
        }
        return list;
    }

    bool Append(HMENU list, UINT position, TBarMenuItem& item) {
        ids_.push_back(&item);
        const auto id = static_cast<UINT>(ids_.size());
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_DATA;
        mii.wID = id;
        mii.dwItemData = (static_cast<ULONG_PTR>(serial_) << 32) | id;
        mii.fType = item.IsSeparator() ? MFT_SEPARATOR : MFT_STRING;
        if (menu_.OwnerDraw() && item.HandlersInstalled()) mii.fType |= MFT_OWNERDRAW;
        mii.fState = (item.Enabled() ? 0u : MFS_DISABLED) | (item.Checked() ? MFS_CHECKED : 0u) |
                     (item.Default() ? MFS_DEFAULT : 0u);
        // The text stays with owner-drawn entries too: the system reads hot keys and accessible
        // names from it.
        std::wstring text = ToWide(item.Caption());
        if (item.NoPrefix) text = EscapedPrefix(text);
        if (!item.ShortCut().empty()) text += L"\t" + ToWide(item.ShortCut());
        if (!item.IsSeparator()) {
            mii.fMask |= MIIM_STRING;
            mii.dwTypeData = text.data();
        }
        tw::Menu sub;
        if (item.Count() > 0 && !item.IsSeparator()) {
            sub = BuildList(item);
            mii.fMask |= MIIM_SUBMENU;
            mii.hSubMenu = sub.Get();
        }
        if (!InsertMenuItemW(list, position, TRUE, &mii)) return false;
        (void)sub.Release();  // the parent menu destroys its submenus
        return true;
    }

    // --- the bar ---

    void EnsureLayout() {
        if (!menu_.BarStale() && layoutVersion_ == menu_.ItemsVersion()) return;
        shownBar_ = menu_.ShownBar();
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
    }

    void EnsureBar() {
        const int width = std::max(shownBar_.Width, 0);
        const int height = layout_.Height + margins_.Top + margins_.Bottom;
        if (bar_ && bar_->width == width && bar_->height == height && barTop_ == margins_.Top && barKey_ == menu_.Bar &&
            barDpi_ == menu_.Dpi()) {
            menu_.ClearBarStale();
            return;
        }
        bar_.reset();
        std::unique_ptr<BarImage> image = MakeBarImage(width, height);
        if (!image) return;
        ++barBuilds_;
        PaintBar(*image);  // a handler that throws leaves no half-drawn bar behind
        bar_ = std::move(image);
        barKey_ = menu_.Bar;
        barDpi_ = menu_.Dpi();
        barTop_ = margins_.Top;
        menu_.ClearBarStale();
    }

    static std::unique_ptr<BarImage> MakeBarImage(int width, int height) {
        if (width <= 0 || height <= 0) return nullptr;
        auto image = std::make_unique<BarImage>();
        image->dc.Reset(CreateCompatibleDC(nullptr));
        BITMAPINFO bmi = gdi::TopDownBitmapInfo(width, height);
        void* bits = nullptr;
        image->bitmap.Reset(CreateDIBSection(image->dc.Get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!image->dc || !image->bitmap || !bits) return nullptr;
        image->old = SelectObject(image->dc.Get(), image->bitmap.Get());
        image->bits = static_cast<std::uint32_t*>(bits);
        image->width = width;
        image->height = height;
        return image;
    }

    void PaintBar(BarImage& image) {
        const RECT rect{0, 0, image.width, image.height};
        bool defaultDraw = true;
        if (menu_.OnBeforeDrawBar) menu_.OnBeforeDrawBar(menu_, image.dc.Get(), rect, defaultDraw);
        TBarParts parts = defaultDraw ? DefaultBarParts(shownBar_) : 0;
        if (defaultDraw && menu_.OnAdvancedBeforeDrawBar)
            menu_.OnAdvancedBeforeDrawBar(menu_, image.dc.Get(), rect, parts);
        if (parts & ~static_cast<TBarParts>(bpCaption)) ComposeInto(image, parts);
        if (parts & bpCaption) DrawCaption(image, parts);
        if (menu_.OnAfterDrawBar) menu_.OnAfterDrawBar(menu_, image.dc.Get(), rect);
        GdiFlush();
    }

    // The portable composition works on the image's own pixels, so what a handler drew before
    // stays under the parts that do not cover it.
    void ComposeInto(BarImage& image, TBarParts parts) {
        GdiFlush();
        const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
        TPixelImage pixels(image.width, image.height);
        std::memcpy(pixels.Data(), image.bits, count * sizeof(std::uint32_t));
        ComposeSideBar(pixels, shownBar_, image.height, parts, gdi::ResolveSystemColor);
        std::memcpy(image.bits, pixels.Data(), count * sizeof(std::uint32_t));
    }

    void DrawCaption(BarImage& image, TBarParts parts) {
        const TSideBarCaption& caption = shownBar_.BarCaption;
        if (caption.Caption.empty()) return;
        const std::wstring text = ToWide(caption.Caption);
        LOGFONTW lf = gdi::LogFontOf(caption.Font, FontDpi());
        HDC dc = image.dc.Get();
        SIZE extent{};
        TEXTMETRICW metrics{};
        {
            gdi::SelectScope upright(dc, Font(lf));
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            GetTextMetricsW(dc, &metrics);
        }
        const TSideBarPicture& picture = shownBar_.BarPicture;
        const int pictureRoom = (parts & bpPicture) && picture.VertAlignment == vaBottom && !picture.Picture.Empty()
                                    ? picture.Picture.Height() + picture.OffsetY
                                    : 0;
        const Point at =
            PlaceBarCaption(caption, image.width, image.height, extent.cx, metrics.tmHeight, pictureRoom);
        lf.lfEscapement = lf.lfOrientation = caption.Direction == dDownToUp ? 900 : 2700;
        gdi::SelectScope rotated(dc, Font(lf));
        SetBkMode(dc, TRANSPARENT);
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, 0, 0, image.width, image.height);
        const auto draw = [&](TColor color, int dx, int dy) {
            SetTextColor(dc, Ref(color));
            TextOutW(dc, at.X + dx, at.Y + dy, text.c_str(), static_cast<int>(text.size()));
        };
        if (caption.HighlightColor != clNone) draw(caption.HighlightColor, -caption.Depth, caption.Depth);
        if (caption.ShadowColor != clNone) draw(caption.ShadowColor, caption.Depth, -caption.Depth);
        draw(caption.Font.Color, 0, 0);
        RestoreDC(dc, saved);
    }

    // Copies the entry's rows of the bar to `target` and answers the face left beside it.
    RECT DrawBarSlice(HDC dc, const TBarMenuItem& item, const RECT& rect) {
        EnsureLayout();
        const TMenuSideBar& bar = shownBar_;
        RECT face = rect;
        const int room = bar.Width + bar.Space;
        RECT space = rect;
        if (bar.Side == sLeft) {
            face.left += room;
            space.left = rect.left + bar.Width;
            space.right = face.left;
        } else {
            face.right -= room;
            space.left = face.right;
            space.right = rect.right - bar.Width;
        }
        FillRect(dc, &space, GetSysColorBrush(COLOR_MENU));
        const TBarMenuItem& root = menu_.Items();
        int index = 0;
        while (index < root.Count() && &root.Items(index) != &item) ++index;
        if (index >= static_cast<int>(layout_.Tops.size()) || layout_.Tops[index] < 0) return face;
        const int top = layout_.Tops[index];
        margins_ = MenuMarginsOn(dc, rect.top - top, rect.top - top + layout_.Height);
        EnsureBar();
        if (!bar_) return face;
        const int x = bar.Side == sLeft ? rect.left : rect.right - bar.Width;
        const int rows = std::min<int>(rect.bottom - rect.top, layout_.Height - top);
        BitBlt(dc, x, rect.top, bar.Width, rows, bar_->dc.Get(), 0, margins_.Top + top, SRCCOPY);
        // The margins lie outside the entry, where the system clips its drawing.
        const bool first = top == 0, last = top + rows >= layout_.Height;
        if ((first && margins_.Top > 0) || (last && margins_.Bottom > 0)) {
            const int saved = SaveDC(dc);
            SelectClipRgn(dc, nullptr);
            if (first) BitBlt(dc, x, rect.top - margins_.Top, bar.Width, margins_.Top, bar_->dc.Get(), 0, 0, SRCCOPY);
            if (last)
                BitBlt(dc, x, rect.top + rows, bar.Width, margins_.Bottom, bar_->dc.Get(), 0,
                       margins_.Top + layout_.Height, SRCCOPY);
            RestoreDC(dc, saved);
        }
        ++barSlices_;
        return face;
    }

    // --- the entries' faces ---

    void DrawSeparator(HDC dc, const TBarMenuItem& item, const RECT& face) {
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

    void DrawCaptionSeparator(HDC dc, const TBarMenuItem& item, const RECT& face) {
        const int width = face.right - face.left, height = face.bottom - face.top;
        TPixelImage pixels;
        ComposeSeparator(pixels, menu_.ShownSeparators(), width, height, gdi::ResolveSystemColor);
        if (!pixels.Empty()) {
            BITMAPINFO bmi = gdi::TopDownBitmapInfo(width, height);
            SetDIBitsToDevice(dc, face.left, face.top, width, height, 0, 0, 0, height, pixels.Data(), &bmi,
                              DIB_RGB_COLORS);
        }
        gdi::SelectScope font(dc, TextFont(TMenuTextFont::Separator));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Ref(menu_.Separators.Font.Color));
        RECT text = face;
        InflateRect(&text, -menu_.Scaled(kSeparatorTextMargin), 0);
        UINT align = DT_CENTER;
        if (menu_.Separators.Alignment == taLeftJustify) align = DT_LEFT;
        if (menu_.Separators.Alignment == taRightJustify) align = DT_RIGHT;
        const std::wstring hint = ToWide(item.Hint());
        DrawTextW(dc, hint.c_str(), static_cast<int>(hint.size()), &text,
                  align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }

    void DrawFace(HDC dc, const TBarMenuItem& item, const RECT& face, UINT state) {
        const bool selected = (state & ODS_SELECTED) && item.Enabled();
        const bool xp = menu_.EffectiveStyle() == msWindowsXP;
        FillRect(dc, &face, GetSysColorBrush(COLOR_MENU));
        if (selected) {
            FillRect(dc, &face, GetSysColorBrush(xp ? COLOR_MENUHILIGHT : COLOR_HIGHLIGHT));
            if (xp) FrameRect(dc, &face, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        DrawImageColumn(dc, item, face, selected);
        COLORREF color = GetSysColor(COLOR_MENUTEXT);
        if (!menu_.UseSystemFont && menu_.MenuFont.Color != clWindowText) color = Ref(menu_.MenuFont.Color);
        if (selected) color = GetSysColor(COLOR_HIGHLIGHTTEXT);
        if (!item.Enabled()) color = GetSysColor(COLOR_GRAYTEXT);
        gdi::SelectScope font(dc, TextFont(item.Default() ? TMenuTextFont::MenuBold : TMenuTextFont::Menu));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, color);
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

    void DrawImageColumn(HDC dc, const TBarMenuItem& item, const RECT& face, bool selected) {
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

    void DrawCheckMark(HDC dc, const RECT& column, int colorIndex) const {
        const auto px = [this](int v) { return menu_.Scaled(v); };
        GdiObject pen(CreatePen(PS_SOLID, px(2), GetSysColor(colorIndex)));
        gdi::SelectScope use(dc, pen.Get());
        const int cx = (column.left + column.right) / 2, cy = (column.top + column.bottom) / 2;
        const POINT mark[] = {{cx - px(4), cy}, {cx - px(1), cy + px(3)}, {cx + px(4), cy - px(3)}};
        Polyline(dc, mark, 3);
    }

    // --- hot keys ---

    bool MenuChar(wchar_t key, HMENU list, LRESULT& result) {
        if (builtVersion_ != menu_.ItemsVersion()) return false;
        const auto found = parents_.find(list);
        if (found == parents_.end()) return false;
        const TBarMenuItem& parent = *found->second;
        const char32_t wanted = key < 0x80 ? static_cast<char32_t>(std::towupper(key)) : 0;
        if (wanted == 0) return false;
        WORD position = 0;
        for (int i = 0; i < parent.Count(); ++i) {
            const TBarMenuItem& item = parent.Items(i);
            if (!item.Visible()) continue;
            if (!item.NoPrefix && !item.IsSeparator() && item.Enabled() && HotkeyOf(item.Caption()) == wanted) {
                result = MAKELRESULT(position, MNC_EXECUTE);
                return true;
            }
            ++position;
        }
        return false;
    }
};

TBarPopupMenu::TBarPopupMenu() : impl_(std::make_unique<Impl>(*this)) {}

TBarPopupMenu::~TBarPopupMenu() = default;

HMENU TBarPopupMenu::Handle() { return impl_->Build(); }

HWND TBarPopupMenu::OwnerWindow() { return impl_->Owner(); }

int TBarPopupMenu::BarBuildCount() const { return impl_->barBuilds_; }

int TBarPopupMenu::BarSliceCount() const { return impl_->barSlices_; }

TMenuStyle TBarPopupMenu::EffectiveStyle() const {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    TOsVersion os;
    if (GetVersionExW(&info)) {
        os.NtLine = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
        os.Major = static_cast<int>(info.dwMajorVersion);
        os.Minor = static_cast<int>(info.dwMinorVersion);
    }
    return ResolveMenuStyle(MenuStyle, os);
}

namespace {

class DcMeasurer final : public IMenuTextMeasurer {
public:
    DcMeasurer(HDC dc, std::function<HFONT(TMenuTextFont)> font) : dc_(dc), font_(std::move(font)) {}
    Size TextExtent(const std::string& text, TMenuTextFont font, bool noPrefix) override {
        gdi::SelectScope use(dc_, font_(font));
        const std::wstring wide = ToWide(text);
        RECT r{0, 0, 0, 0};
        DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &r,
                  DT_CALCRECT | DT_SINGLELINE | (noPrefix ? DT_NOPREFIX : 0u));
        return {r.right - r.left, r.bottom - r.top};
    }

private:
    HDC dc_;
    std::function<HFONT(TMenuTextFont)> font_;
};

}  // namespace

Size TBarPopupMenu::MeasureItemOn(HDC dc, const TBarMenuItem& item) {
    DcMeasurer measurer(dc, [this](TMenuTextFont which) { return impl_->TextFont(which); });
    return MeasureItem(item, measurer, EffectiveStyle());
}

void TBarPopupMenu::DrawItemOn(HDC dc, const TBarMenuItem& item, const RECT& rect, UINT state) {
    const int saved = SaveDC(dc);
    const RECT face = BesideBar(item) ? impl_->DrawBarSlice(dc, item, rect) : rect;
    auto* module = dynamic_cast<TBarMenuDrawModuleWin32*>(DrawModule);
    if (!(module && module->DrawItem(*this, item, dc, face, state))) {
        if (item.IsSeparator()) impl_->DrawSeparator(dc, item, face);
        else impl_->DrawFace(dc, item, face, state);
    }
    RestoreDC(dc, saved);
}

bool TBarPopupMenu::HandleOwnerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_MEASUREITEM: {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            if (!mis || mis->CtlType != ODT_MENU) return false;
            const TBarMenuItem* item = impl_->ItemByData(mis->itemData);
            if (!item) return false;
            gdi::WindowDc screen(nullptr);
            const Size size = MeasureItemOn(screen.Get(), *item);
            mis->itemWidth = static_cast<UINT>(std::max(size.Width, 0));
            mis->itemHeight = static_cast<UINT>(std::max(size.Height, 0));
            result = TRUE;
            return true;
        }
        case WM_DRAWITEM: {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            if (!dis || dis->CtlType != ODT_MENU) return false;
            const TBarMenuItem* item = impl_->ItemByData(dis->itemData);
            if (!item) return false;
            DrawItemOn(dis->hDC, *item, dis->rcItem, dis->itemState);
            result = TRUE;
            return true;
        }
        case WM_MENUCHAR: return impl_->MenuChar(static_cast<wchar_t>(LOWORD(wp)), reinterpret_cast<HMENU>(lp), result);
        default: return false;
    }
}

bool TBarPopupMenu::Track(int x, int y, UINT flags, const RECT* exclude) {
    MarkBarStale();
    HMENU menu = Handle();
    HWND owner = OwnerWindow();
    if (!menu || !owner) return false;
    // A menu opened while another program is in front (from the tray) would not close when the
    // user clicks elsewhere unless its owner is the foreground window; the ticker's own clicks
    // keep the foreground where it is.
    DWORD foregroundProcess = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &foregroundProcess);
    if (foregroundProcess != GetCurrentProcessId()) SetForegroundWindow(owner);
    LeaveThreadTooltips(owner);
    TPMPARAMS params{};
    params.cbSize = sizeof params;
    if (exclude) params.rcExclude = *exclude;
    const UINT command = static_cast<UINT>(TrackPopupMenuEx(menu, flags | TPM_LEFTALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                            x, y, owner, exclude ? &params : nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);  // lets the menu close when the next click goes elsewhere
    if (command == 0) return false;
    TBarMenuItem* item = command <= impl_->ids_.size() && impl_->builtVersion_ == ItemsVersion()
                             ? impl_->ids_[command - 1]
                             : nullptr;
    if (!item) return false;
    item->Click();
    return true;
}

bool TBarPopupMenu::Popup(int x, int y) { return Track(x, y, TPM_TOPALIGN, nullptr); }

bool TBarPopupMenu::PopupBesideBar(int x, const RECT& bar, TpkAppBarPlacement dock, const RECT& workArea) {
    MarkBarStale();
    impl_->EnsureLayout();
    gdi::WindowDc screen(nullptr);
    int width = 0;
    const TBarMenuItem& root = Items();
    for (int i = 0; i < root.Count(); ++i)
        if (root.Items(i).Visible()) width = std::max(width, MeasureItemOn(screen.Get(), root.Items(i)).Width);
    // The system adds a frame and some room of its own around the entries.
    const int frame = 2 * GetSystemMetrics(SM_CXEDGE) + 2 * GetSystemMetrics(SM_CXFIXEDFRAME);
    const Size size{width + frame, impl_->layout_.Height + frame};
    const TPopupPlacement at = PlacePopupMenu(x, {bar.left, bar.top, bar.right, bar.bottom}, dock,
                                              {workArea.left, workArea.top, workArea.right, workArea.bottom}, size);
    return Track(at.X, at.Y, (at.AlignBottom ? TPM_BOTTOMALIGN : TPM_TOPALIGN) | TPM_VERTICAL, &bar);
}

}  // namespace tw
