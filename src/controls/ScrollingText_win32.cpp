// The scrolling text as a child window: GDI text measuring and rendering into the strip, the
// tick timer, and the one copy of each composed frame to the screen.
#include "controls/ScrollingText_win32.h"

#include "base/Win32Window_win32.h"
#include "controls/GdiHandles_win32.h"
#include "controls/HintStyle_win32.h"
#include "controls/MouseInput_win32.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <exception>

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TidewireScrollingText";
constexpr UINT_PTR kTickTimer = 1;

class ScrollingTextWindow final : public IScrollingTextHost, public Win32Window {
public:
    static std::unique_ptr<ScrollingTextWindow> Make(HWND parent, int left, int top, int width, int height);
    ~ScrollingTextWindow() override;

    void Attach(TScrollingText* owner) { owner_ = owner; }

    TextExtent MeasureText(const TFont& font, const std::string& text) override;
    void RenderText(TPixelImage& strip, const TFont& font, const std::string& text, int x, int y, TColor textColor,
                    TColor background) override;
    TColor ResolveColor(TColor c) override;
    void SetTimerInterval(int milliseconds) override;
    void Present(const TPixelImage& frame) override;
    void SetVisible(bool visible) override;
    void SetBounds(int left, int top, int width, int height) override;
    void SetHint(const std::string& hint, bool showHint) override;
    void SetHandCursor(bool hand) override { handCursor_ = hand; }
    void TrackMouseLeave() override {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
        TrackMouseEvent(&track);
    }

private:
    // Until the control is attached, messages go to DefWindowProc.
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnTimer(UINT_PTR id);
    void OnLeftDown(WPARAM wp, int x, int y);
    void OnLeftUp(WPARAM wp, int x, int y);
    bool OnSetCursor(UINT hitTest);
    void OnPaint();
    HFONT FontFor(const TFont& font);
    void Show(HDC dc, const TPixelImage& frame);

    TScrollingText* owner_ = nullptr;
    gdi::MemoryDc dc_;  // measuring and text rendering
    gdi::GdiObject font_;
    TFont fontKey_;
    gdi::Window tooltip_;
    std::wstring hintText_;
    bool handCursor_ = false;
};

}  // namespace

std::unique_ptr<ScrollingTextWindow> ScrollingTextWindow::Make(HWND parent, int left, int top, int width,
                                                               int height) {
    auto self = std::unique_ptr<ScrollingTextWindow>(new ScrollingTextWindow());
    self->dc_.Reset(CreateCompatibleDC(nullptr));
    if (!self->dc_) return nullptr;
    HWND hwnd = self->CreateFor(kClassName, 0, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, L"", left, top, width, height,
                                parent);
    if (!hwnd) return nullptr;
    // New child windows go to the bottom of their siblings; the ticker belongs above the
    // background and the pictures.
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return self;
}

ScrollingTextWindow::~ScrollingTextWindow() {
    tooltip_.Reset();
    if (Handle()) KillTimer(Handle(), kTickTimer);
    Destroy();  // while this object still answers its window's last messages
}

LRESULT ScrollingTextWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (!owner_) return Default(msg, wp, lp);
    const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
    switch (msg) {
        case WM_TIMER: OnTimer(wp); return 0;
        case WM_PAINT: OnPaint(); return 0;
        case WM_ERASEBKGND: return 1;  // every pixel comes from the frame
        case WM_LBUTTONDOWN: OnLeftDown(wp, x, y); return 0;
        case WM_LBUTTONUP: OnLeftUp(wp, x, y); return 0;
        case WM_RBUTTONDOWN: owner_->MouseDown(mbRight, MouseShiftState(wp), x, y); return 0;
        case WM_RBUTTONUP: owner_->MouseUp(mbRight, MouseShiftState(wp), x, y); return 0;
        case WM_MBUTTONDOWN: owner_->MouseDown(mbMiddle, MouseShiftState(wp), x, y); return 0;
        case WM_MBUTTONUP: owner_->MouseUp(mbMiddle, MouseShiftState(wp), x, y); return 0;
        case WM_MOUSEMOVE: owner_->MouseMove(MouseShiftState(wp), x, y); return 0;
        case WM_MOUSELEAVE: owner_->MouseLeave(); return 0;
        case WM_SETCURSOR: return OnSetCursor(LOWORD(lp)) ? TRUE : Default(msg, wp, lp);
        default: return Default(msg, wp, lp);
    }
}

void ScrollingTextWindow::OnTimer(UINT_PTR id) {
    if (id == kTickTimer) owner_->Tick();
}

void ScrollingTextWindow::OnLeftDown(WPARAM wp, int x, int y) {
    SetCapture(Handle());
    owner_->MouseDown(mbLeft, MouseShiftState(wp), x, y);
}

void ScrollingTextWindow::OnLeftUp(WPARAM wp, int x, int y) {
    if (GetCapture() == Handle()) ReleaseCapture();
    owner_->MouseUp(mbLeft, MouseShiftState(wp), x, y);
}

bool ScrollingTextWindow::OnSetCursor(UINT hitTest) {
    if (!handCursor_ || hitTest != HTCLIENT) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

void ScrollingTextWindow::OnPaint() {
    gdi::PaintScope paint(Handle());
    owner_->ComposeFrame();
    Show(paint.Get(), owner_->Frame());
}

void ScrollingTextWindow::Show(HDC dc, const TPixelImage& frame) {
    if (!dc || frame.Empty()) return;
    BITMAPINFO bmi = gdi::TopDownBitmapInfo(frame.Width(), frame.Height());
    SetDIBitsToDevice(dc, 0, 0, frame.Width(), frame.Height(), 0, 0, 0, frame.Height(), frame.Data(), &bmi,
                      DIB_RGB_COLORS);
}

void ScrollingTextWindow::Present(const TPixelImage& frame) {
    if (!Handle() || !IsWindowVisible(Handle())) return;
    gdi::WindowDc dc(Handle());
    Show(dc.Get(), frame);
}

HFONT ScrollingTextWindow::FontFor(const TFont& font) {
    if (font_ && font == fontKey_) return static_cast<HFONT>(font_.Get());
    LOGFONTW lf{};
    HDC screen = GetDC(nullptr);
    const int ppi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    // Glyphs thousands of pixels high take seconds to rasterise on every rebuild, and the bar
    // shows a few dozen at most: the height is held to kMaxFontPixels either way.
    constexpr int kMaxFontPixels = 400;
    lf.lfHeight = std::clamp(-MulDiv(font.Size, ppi, 72), -kMaxFontPixels, kMaxFontPixels);
    lf.lfWeight = (font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (font.Style & fsItalic) ? TRUE : FALSE;
    lf.lfUnderline = (font.Style & fsUnderline) ? TRUE : FALSE;
    lf.lfStrikeOut = (font.Style & fsStrikeOut) ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    // Glyph pixels must be exactly the key colour, or smoothed edges would not let the colour
    // layer through.
    lf.lfQuality = NONANTIALIASED_QUALITY;
    const std::wstring face = gdi::Widen(font.Name);
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    font_.Reset(CreateFontIndirectW(&lf));
    fontKey_ = font;
    return static_cast<HFONT>(font_.Get());
}

IScrollingTextHost::TextExtent ScrollingTextWindow::MeasureText(const TFont& font, const std::string& text) {
    TextExtent extent;
    HFONT hfont = FontFor(font);
    if (!hfont) return extent;
    gdi::SelectScope select(dc_.Get(), hfont);
    const std::wstring wide = gdi::Widen(text);
    SIZE size{};
    if (GetTextExtentPoint32W(dc_.Get(), wide.c_str(), static_cast<int>(wide.size()), &size)) {
        extent.Width = size.cx;
        extent.Height = size.cy;
    }
    return extent;
}

void ScrollingTextWindow::RenderText(TPixelImage& strip, const TFont& font, const std::string& text, int x, int y,
                                     TColor textColor, TColor background) {
    if (strip.Empty()) return;
    HFONT hfont = FontFor(font);
    BITMAPINFO bmi = gdi::TopDownBitmapInfo(strip.Width(), strip.Height());
    void* bits = nullptr;
    gdi::GdiObject dib(CreateDIBSection(dc_.Get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return;  // the strip stays plain ground: no text rather than a crash
    const std::size_t bytes = static_cast<std::size_t>(strip.Width()) * strip.Height() * 4;
    std::memcpy(bits, strip.Data(), bytes);
    {
        gdi::SelectScope selectBitmap(dc_.Get(), dib.Get());
        gdi::SelectScope selectFont(dc_.Get(), hfont ? static_cast<HGDIOBJ>(hfont) : GetStockObject(DEFAULT_GUI_FONT));
        SetTextColor(dc_.Get(), textColor & 0xFFFFFF);
        SetBkColor(dc_.Get(), background & 0xFFFFFF);
        SetBkMode(dc_.Get(), OPAQUE);
        SetTextAlign(dc_.Get(), TA_LEFT | TA_TOP | TA_NOUPDATECP);
        const std::wstring wide = gdi::Widen(text);
        TextOutW(dc_.Get(), x, y, wide.c_str(), static_cast<int>(wide.size()));
        GdiFlush();
    }
    std::memcpy(strip.Data(), bits, bytes);
}

TColor ScrollingTextWindow::ResolveColor(TColor c) { return gdi::ResolveSystemColor(c); }

void ScrollingTextWindow::SetTimerInterval(int milliseconds) { RunTimer(kTickTimer, milliseconds, "The ticker's timer"); }

void ScrollingTextWindow::SetVisible(bool visible) {
    if (Handle()) ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

void ScrollingTextWindow::SetBounds(int left, int top, int width, int height) {
    if (Handle()) SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (tooltip_) {
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.hwnd = Handle();
        ti.uId = 1;
        GetClientRect(Handle(), &ti.rect);
        SendMessageW(tooltip_.Get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void ScrollingTextWindow::SetHint(const std::string& hint, bool showHint) {
    if (!Handle()) return;
    hintText_ = gdi::Widen(hint);
    if (!tooltip_) {
        if (!showHint || hint.empty()) return;
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        tooltip_.Reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                       GetModuleHandleW(nullptr), nullptr));
        if (!tooltip_) return;
        SendMessageW(tooltip_.Get(), TTM_SETMAXTIPWIDTH, 0, 400);  // long descriptions wrap
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_SUBCLASS;
        ti.hwnd = Handle();
        ti.uId = 1;
        ti.lpszText = hintText_.data();
        GetClientRect(Handle(), &ti.rect);
        SendMessageW(tooltip_.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    // The application's hint timing and colour, which may have been set after the tooltip was made.
    ApplyHintStyle(tooltip_.Get());
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = Handle();
    ti.uId = 1;
    ti.lpszText = hintText_.data();
    SendMessageW(tooltip_.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageW(tooltip_.Get(), TTM_ACTIVATE, showHint && !hint.empty() ? TRUE : FALSE, 0);
}

HWND WindowHandle(const TScrollingText& control) {
    const auto* window = dynamic_cast<const ScrollingTextWindow*>(control.Host());
    return window ? window->Handle() : nullptr;
}

std::unique_ptr<TScrollingText> CreateScrollingText(HWND parent, int left, int top, int width, int height) {
    auto window = ScrollingTextWindow::Make(parent, left, top, width, height);
    if (!window) return nullptr;
    ScrollingTextWindow* host = window.get();
    auto control = std::make_unique<TScrollingText>(std::move(window));
    host->Attach(control.get());
    control->SetBounds(left, top, width, height);
    host->SetBounds(left, top, width, height);  // the control skips an unchanged size
    return control;
}

}  // namespace tw
