// The balloon window: a topmost tool pop-up shaped by a rounded body and a tail, framed in black,
// holding a panel that draws the icon, title and text (scrolling when they do not fit).
#include "controls/HintBalloon_win32.h"

#include "base/Win32Window_win32.h"
#include "controls/DisplayScale_win32.h"
#include "controls/GdiHandles_win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

namespace tw {

namespace {

constexpr wchar_t kBalloonClass[] = L"TidewireHintBalloon";
constexpr wchar_t kPanelClass[] = L"TidewireHintBalloonPanel";
constexpr COLORREF kBalloonColor = 0xE1FFFF;  // light yellow
constexpr int kIconSize = 16;
constexpr int kLineStep = 13;  // pixels a scroll-bar arrow or a wheel notch moves
// Posted, so that a click or a deactivation never destroys the window under its own handler.
constexpr UINT kCloseMessage = WM_APP + 0x151;
constexpr UINT_PTR kDurationTimer = 1;
constexpr UINT kDrawTextFlags = DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;

GdiObject MakeTahoma(bool bold) {
    const LOGFONTW lf = gdi::LogFontOf(TFont{"Tahoma", 8, clWindowText, bold ? unsigned(fsBold) : 0u}, ScreenDpi());
    return GdiObject(CreateFontIndirectW(&lf));
}

// The system's pictures stand for the three kinds; none for any other name.
HICON KindIcon(const std::string& name) {
    const wchar_t* id = name == "INFO" ? IDI_INFORMATION : name == "ERROR" ? IDI_ERROR : name == "WARNING" ? IDI_WARNING : nullptr;
    if (id == nullptr) return nullptr;
    // Shared system icons: never destroyed.
    HICON icon = static_cast<HICON>(LoadImageW(nullptr, id, IMAGE_ICON, kIconSize, kIconSize, LR_SHARED));
    return icon != nullptr ? icon : LoadIconW(nullptr, id);
}

DWORD AnimationFlags(THintBalloonAnimationType type) {
    switch (type) {
        case batNone: return 0;
        case batBlend: return AW_BLEND;
        case batCenter: return AW_CENTER;
        case batSlideLeftToRight: return AW_SLIDE | AW_HOR_POSITIVE;
        case batSlideRightToLeft: return AW_SLIDE | AW_HOR_NEGATIVE;
        case batSlideTopToBottom: return AW_SLIDE | AW_VER_POSITIVE;
        case batSlideBottomToTop: return AW_SLIDE | AW_VER_NEGATIVE;
        case batWipeLeftToRight: return AW_HOR_POSITIVE;
        case batWipeRightToLeft: return AW_HOR_NEGATIVE;
        case batWipeTopToBottom: return AW_VER_POSITIVE;
        case batWipeBottomToTop: return AW_VER_NEGATIVE;
    }
    return 0;
}

class GdiMeasure : public IBalloonTextMeasure {
public:
    GdiMeasure(HFONT normal, HFONT bold) : dc_(CreateCompatibleDC(nullptr)), normal_(normal), bold_(bold) {}
    Size TitleSize(const std::string& title) override {
        return Measure(bold_, title, 0, DT_SINGLELINE | DT_NOPREFIX);
    }
    Size TextSize(const std::string& text, int wrapWidth) override {
        return Measure(normal_, text, wrapWidth, kDrawTextFlags);
    }

private:
    Size Measure(HFONT font, const std::string& s, int width, UINT flags) {
        if (!dc_) return {};
        gdi::SelectScope select(dc_.Get(), font);
        const std::wstring wide = ToWide(s);
        RECT r{0, 0, width, 0};
        DrawTextW(dc_.Get(), wide.c_str(), static_cast<int>(wide.size()), &r, flags | DT_CALCRECT);
        return {r.right - r.left, r.bottom - r.top};
    }
    MemoryDc dc_;
    HFONT normal_;
    HFONT bold_;
};

// Keeps the caption of the form that was active when a balloon opened looking active.
LRESULT CALLBACK KeepCaptionActive(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_NCACTIVATE) return 1;
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, KeepCaptionActive, id);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

class THintBalloon : public Win32Window {
public:
    THintBalloon() : normal_(MakeTahoma(false)), bold_(MakeTahoma(true)) {}
    ~THintBalloon() override { Destroy(); }

    bool Show(const std::string& params, const Rect& anchor, int startPosition, int duration,
              THintBalloonAnimationType animation, int speed);
    void PostClose() {
        if (Handle()) PostMessageW(Handle(), kCloseMessage, 0, 0);
    }

private:
    class Panel : public Win32Window {
    public:
        explicit Panel(THintBalloon& balloon) : balloon_(balloon) {}
        ~Panel() override { Destroy(); }
        void SetScrollRanges();

    private:
        LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
            switch (msg) {
                case WM_PAINT: OnPaint(); return 0;
                case WM_ERASEBKGND: return 1;
                case WM_LBUTTONDOWN:
                case WM_RBUTTONDOWN: balloon_.PostClose(); return 0;
                case WM_VSCROLL: OnScroll(SB_VERT, LOWORD(wp)); return 0;
                case WM_HSCROLL: OnScroll(SB_HORZ, LOWORD(wp)); return 0;
                case WM_MOUSEWHEEL: ScrollTo(SB_VERT, Position(SB_VERT) - GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA * 3 * kLineStep); return 0;
                default: return Default(msg, wp, lp);
            }
        }
        void OnPaint();
        void OnScroll(int bar, int code);
        int Position(int bar) const { return GetScrollPos(Handle(), bar); }
        void ScrollTo(int bar, int position);

        THintBalloon& balloon_;
    };

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_PAINT: OnPaint(); return 0;
            case WM_ERASEBKGND: return 1;
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN: PostClose(); return 0;
            case WM_ACTIVATE: OnActivate(LOWORD(wp) != WA_INACTIVE); return 0;
            case WM_TIMER: OnTimer(wp); return 0;
            case kCloseMessage: Destroy(); return 0;
            case WM_DESTROY: ReleaseForm(); return 0;
            default: return Default(msg, wp, lp);
        }
    }
    void OnPaint();
    void OnActivate(bool active) {
        if (active) {
            wasActive_ = true;
        } else if (wasActive_) {
            PostClose();
        }
    }
    void OnTimer(WPARAM id) {
        if (id != kDurationTimer) return;
        KillTimer(Handle(), kDurationTimer);  // one shot
        PostClose();
    }
    bool ShapeWindow(const TBalloonGeometry& g);
    void HoldForm();
    void ReleaseForm() {
        if (form_ != nullptr && IsWindow(form_)) RemoveWindowSubclass(form_, KeepCaptionActive, SubclassId());
        form_ = nullptr;
    }
    UINT_PTR SubclassId() const { return reinterpret_cast<UINT_PTR>(this); }

    GdiObject normal_, bold_;
    GdiObject frame_;  // a copy of the window region, for the black line round it
    HICON icon_ = nullptr;
    TBalloonLayout layout_;
    std::string title_, text_;
    std::unique_ptr<Panel> panel_;
    HWND form_ = nullptr;
    bool wasActive_ = false;
};

bool THintBalloon::Show(const std::string& params, const Rect& anchor, int startPosition, int duration,
                        THintBalloonAnimationType animation, int speed) {
    icon_ = KindIcon(BalloonParam(params, "IconeResName"));
    title_ = BalloonParam(params, "Title");
    text_ = BalloonParam(params, "Text");
    GdiMeasure measure(static_cast<HFONT>(normal_.Get()), static_cast<HFONT>(bold_.Get()));
    layout_ = LayoutBalloon(params, icon_ ? Size{kIconSize, kIconSize} : Size{}, measure);
    const TBalloonFreeSpace free =
        BalloonFreeSpace(anchor, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const int position = ChooseBalloonPosition(startPosition, free, layout_.PanelWidth, layout_.PanelHeight);
    const TBalloonGeometry g = BalloonGeometry(position, layout_.PanelWidth, layout_.PanelHeight, anchor);

    if (!CreateFor(kBalloonClass, WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, WS_POPUP, L"", g.Window.Left,
                   g.Window.Top, g.Window.Width(), g.Window.Height(), GetDesktopWindow(), nullptr, CS_DROPSHADOW)) {
        return false;
    }
    panel_ = std::make_unique<Panel>(*this);
    const DWORD scroll = layout_.Scroll ? WS_VSCROLL | WS_HSCROLL : 0;
    if (!panel_->CreateFor(kPanelClass, 0, WS_CHILD | WS_VISIBLE | scroll, L"", g.Panel.Left, g.Panel.Top,
                           g.Panel.Width(), g.Panel.Height(), Handle())) {
        Destroy();
        return false;
    }
    if (layout_.Scroll) panel_->SetScrollRanges();
    if (!ShapeWindow(g)) {
        Destroy();
        return false;
    }
    HoldForm();
    if (animation != batNone && speed > 0) AnimateWindow(Handle(), static_cast<DWORD>(speed), AnimationFlags(animation));
    ShowWindow(Handle(), SW_SHOW);
    SetFocus(Handle());
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (duration > 0) RunTimer(kDurationTimer, duration, "balloon duration");
    return true;
}

bool THintBalloon::ShapeWindow(const TBalloonGeometry& g) {
    constexpr int d = 2 * kBalloonCornerRadius;
    GdiObject body(CreateRoundRectRgn(g.Body.Left, g.Body.Top, g.Body.Right, g.Body.Bottom, d, d));
    const POINT tail[3] = {{g.Tail[0].X, g.Tail[0].Y}, {g.Tail[1].X, g.Tail[1].Y}, {g.Tail[2].X, g.Tail[2].Y}};
    GdiObject tip(CreatePolygonRgn(tail, 3, WINDING));
    frame_.Reset(CreateRectRgn(0, 0, 0, 0));
    if (!body || !tip || !frame_) return false;
    CombineRgn(static_cast<HRGN>(body.Get()), static_cast<HRGN>(body.Get()), static_cast<HRGN>(tip.Get()), RGN_OR);
    CombineRgn(static_cast<HRGN>(frame_.Get()), static_cast<HRGN>(body.Get()), nullptr, RGN_COPY);
    // The system owns a region it has taken; one it refused is still ours.
    if (SetWindowRgn(Handle(), static_cast<HRGN>(body.Get()), FALSE) == 0) return false;
    (void)body.Release();
    GdiObject panel(CreateRoundRectRgn(g.PanelRegion.Left, g.PanelRegion.Top, g.PanelRegion.Right, g.PanelRegion.Bottom, d, d));
    if (panel && SetWindowRgn(panel_->Handle(), static_cast<HRGN>(panel.Get()), FALSE) != 0) (void)panel.Release();
    return true;
}

void THintBalloon::HoldForm() {
    const HWND active = GetActiveWindow();
    if (active == nullptr || active == Handle()) return;
    if (SetWindowSubclass(active, KeepCaptionActive, SubclassId(), 0)) form_ = active;
}

void THintBalloon::OnPaint() {
    gdi::PaintScope paint(Handle());
    RECT client{};
    GetClientRect(Handle(), &client);
    GdiObject ground(CreateSolidBrush(kBalloonColor));
    FillRect(paint.Get(), &client, static_cast<HBRUSH>(ground.Get()));
    FrameRgn(paint.Get(), static_cast<HRGN>(frame_.Get()), static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), 1, 1);
}

void THintBalloon::Panel::OnPaint() {
    gdi::PaintScope paint(Handle());
    RECT client{};
    GetClientRect(Handle(), &client);
    // Drawn off screen and shown in one copy: scrolling does not flicker.
    MemoryDc dc(CreateCompatibleDC(paint.Get()));
    GdiObject bitmap(CreateCompatibleBitmap(paint.Get(), std::max<int>(client.right, 1), std::max<int>(client.bottom, 1)));
    if (!dc || !bitmap) return;
    gdi::SelectScope selectBitmap(dc.Get(), bitmap.Get());
    GdiObject ground(CreateSolidBrush(kBalloonColor));
    FillRect(dc.Get(), &client, static_cast<HBRUSH>(ground.Get()));
    const TBalloonLayout& l = balloon_.layout_;
    const int dx = -Position(SB_HORZ), dy = -Position(SB_VERT);
    if (l.HasIcon && balloon_.icon_) {
        DrawIconEx(dc.Get(), l.Icon.Left + dx, l.Icon.Top + dy, balloon_.icon_, l.Icon.Width(), l.Icon.Height(), 0,
                   nullptr, DI_NORMAL);
    }
    SetBkMode(dc.Get(), TRANSPARENT);
    SetTextColor(dc.Get(), RGB(0, 0, 0));
    {
        gdi::SelectScope font(dc.Get(), balloon_.bold_.Get());
        const std::wstring title = ToWide(balloon_.title_);
        RECT r{l.Title.Left + dx, l.Title.Top + dy, l.Title.Right + dx, l.Title.Bottom + dy};
        DrawTextW(dc.Get(), title.c_str(), static_cast<int>(title.size()), &r, DT_SINGLELINE | DT_NOPREFIX);
    }
    {
        gdi::SelectScope font(dc.Get(), balloon_.normal_.Get());
        const std::wstring text = ToWide(balloon_.text_);
        RECT r{l.Text.Left + dx, l.Text.Top + dy, l.Text.Left + l.WrapWidth + dx, l.Text.Bottom + dy};
        DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r, kDrawTextFlags);
    }
    BitBlt(paint.Get(), 0, 0, client.right, client.bottom, dc.Get(), 0, 0, SRCCOPY);
}

void THintBalloon::Panel::SetScrollRanges() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const TBalloonLayout& l = balloon_.layout_;
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, l.ContentHeight - 1, static_cast<UINT>(client.bottom), 0, 0};
    SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
    si.nMax = l.ContentWidth - 1;
    si.nPage = static_cast<UINT>(client.right);
    SetScrollInfo(Handle(), SB_HORZ, &si, TRUE);
}

void THintBalloon::Panel::ScrollTo(int bar, int position) {
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, position, 0};
    SetScrollInfo(Handle(), bar, &si, TRUE);  // the system holds it within the range
    InvalidateRect(Handle(), nullptr, FALSE);
}

void THintBalloon::Panel::OnScroll(int bar, int code) {
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(Handle(), bar, &si);
    int position = si.nPos;
    switch (code) {
        case SB_LINEUP: position -= kLineStep; break;
        case SB_LINEDOWN: position += kLineStep; break;
        case SB_PAGEUP: position -= static_cast<int>(si.nPage); break;
        case SB_PAGEDOWN: position += static_cast<int>(si.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: position = si.nTrackPos; break;
        case SB_TOP: position = si.nMin; break;
        case SB_BOTTOM: position = si.nMax; break;
        default: return;
    }
    ScrollTo(bar, position);
}

THintBalloonControl::THintBalloonControl(TpkComponent* owner) : TpkComponent(owner) {}

THintBalloonControl::~THintBalloonControl() { balloons_.clear(); }

HWND THintBalloonControl::ShowBalloon(int kind, const std::string& title, int startPosition, HWND anchor, int y, int x,
                                      int bestWidth, const std::string& text) {
    RECT rect{x, y, x, y};
    if (anchor != nullptr && !GetWindowRect(anchor, &rect)) rect = RECT{x, y, x, y};
    return ShowBalloonAt(kind, title, startPosition, rect, bestWidth, text);
}

HWND THintBalloonControl::ShowBalloonAt(int kind, const std::string& title, int startPosition,
                                        const RECT& anchorOnScreen, int bestWidth, const std::string& text) {
    FreeClosed();
    const Rect anchor{anchorOnScreen.left, anchorOnScreen.top, anchorOnScreen.right, anchorOnScreen.bottom};
    const Size max =
        BalloonMaxPanel(BalloonFreeSpace(anchor, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    std::string params = BuildBalloonParams(kind, title, text, bestWidth);
    params = AddBalloonParam(params, "MainPanelMaxWidth", std::to_string(max.Width));
    params = AddBalloonParam(params, "MainPanelMaxHeight", std::to_string(max.Height));
    auto balloon = std::make_unique<THintBalloon>();
    if (!balloon->Show(params, anchor, startPosition, Duration, AnimationType, AnimationSpeed)) return nullptr;
    const HWND handle = balloon->Handle();
    balloons_.push_back(std::move(balloon));
    return handle;
}

int THintBalloonControl::OpenBalloons() const {
    return static_cast<int>(std::count_if(balloons_.begin(), balloons_.end(), [](const auto& b) { return b->Handle() != nullptr; }));
}

void THintBalloonControl::FreeClosed() {
    std::erase_if(balloons_, [](const auto& b) { return b->Handle() == nullptr; });
}

}  // namespace tw
