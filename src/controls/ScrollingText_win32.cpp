// The scrolling text as a child window: GDI text measuring and rendering into the strip, the
// tick timer, and the one copy of each composed frame to the screen.
//
// A tick runs dozens of times a second, and under Wine every call that reaches the wineserver
// costs more than the whole composition. So the window keeps its own device context (CS_OWNDC:
// a cached one is fetched and its visible region rebuilt on every GetDC, with server calls), and
// the hint is fed the mouse messages by hand instead of subclassing the window (the subclass
// looks up a window property, a server call, on every message, the timer's too).
#include "controls/ScrollingText_win32.h"

#include "base/TextConvert_win32.h"
#include "base/Win32Window_win32.h"
#include "controls/DisplayScale_win32.h"
#include "controls/GdiHandles_win32.h"
#include "controls/HintStyle_win32.h"
#include "controls/MouseInput_win32.h"

#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <vector>

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TidewireScrollingText";
constexpr UINT_PTR kTickTimer = 1;
constexpr int kWatchPeriod = 250;  // ms between checks that the frame clock still runs

using Clock = std::chrono::steady_clock;

class ScrollingTextWindow;

// The tickers of the thread whose loop is RunMessageLoopWithFrameClock (the main thread only).
struct FrameClock {
    bool Running = false;
    std::vector<ScrollingTextWindow*> Members;
};

FrameClock& TheFrameClock() {
    static FrameClock clock;
    return clock;
}

class ScrollingTextWindow final : public IScrollingTextHost, public Win32Window {
public:
    static std::unique_ptr<ScrollingTextWindow> Make(HWND parent, int left, int top, int width, int height);
    ~ScrollingTextWindow() override;

    void Attach(TScrollingText* owner) { owner_ = owner; }

    // The frame clock: when this control's next frame is due, and running it.
    bool Scheduled() const { return period_ > 0; }
    Clock::time_point Due() const { return due_; }
    void ClockFrame(Clock::time_point now);
    // Chooses between the frame clock and the window's own timer for the current period.
    void Schedule();

    Size MeasureText(const TFont& font, const std::string& text) override;
    void RenderText(TPixelImage& strip, const TFont& font, const std::string& text, int x, int y, TColor textColor,
                    TColor background) override;
    TColor ResolveColor(TColor c) override;
    void SetTimerInterval(int milliseconds) override;
    void Present(const TPixelImage& frame) override;
    bool PresentPart(const TPixelImage& frame, const Rect& part) override;
    bool Showing() override { return Handle() && IsWindowVisible(Handle()); }
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
    void SendFrameTimes(HWND to);
    void OnLeftDown(WPARAM wp, int x, int y);
    void OnLeftUp(WPARAM wp, int x, int y);
    bool OnSetCursor(UINT hitTest);
    void OnPaint();
    HFONT FontFor(const TFont& font);
    void Show(HDC dc, const TPixelImage& frame, const Rect& part);
    void RelayToHint(UINT msg, WPARAM wp, LPARAM lp);

    TScrollingText* owner_ = nullptr;
    int period_ = 0;         // ms between ticks; 0 stopped
    bool ownTimer_ = true;   // ticking from the window's timer at the period
    Clock::time_point due_{};         // next frame while the frame clock drives
    Clock::time_point lastDriven_{};  // last frame the frame clock ran
    HDC windowDc_ = nullptr;  // the window's own, valid while it lives
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
                                parent, nullptr, CS_OWNDC);
    if (!hwnd) return nullptr;
    self->windowDc_ = GetDC(hwnd);
    TheFrameClock().Members.push_back(self.get());
    // New child windows go to the bottom of their siblings; the ticker belongs above the
    // background and the pictures.
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return self;
}

ScrollingTextWindow::~ScrollingTextWindow() {
    auto& members = TheFrameClock().Members;
    members.erase(std::remove(members.begin(), members.end(), this), members.end());
    tooltip_.Reset();
    if (Handle()) KillTimer(Handle(), kTickTimer);
    if (Handle() && windowDc_) ReleaseDC(Handle(), windowDc_);  // no-op for an own DC, kept for symmetry
    windowDc_ = nullptr;
    Destroy();  // while this object still answers its window's last messages
}

LRESULT ScrollingTextWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (!owner_) return Default(msg, wp, lp);
    static const UINT frameTimesMessage = RegisterWindowMessageW(kFrameTimesMessageName);
    if (frameTimesMessage != 0 && msg == frameTimesMessage) {
        SendFrameTimes(reinterpret_cast<HWND>(wp));
        return 1;
    }
    const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
    if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) RelayToHint(msg, wp, lp);
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
    if (id != kTickTimer) return;
    if (!ownTimer_) {
        // The watch: while the frame clock's loop runs it has driven a frame within the period.
        if (Clock::now() - lastDriven_ < std::chrono::milliseconds(2 * period_)) return;
        ownTimer_ = true;  // a modal loop holds the thread: tick from the window's timer
        RunTimer(kTickTimer, period_, "The ticker's timer");
    }
    owner_->Tick();
}

void ScrollingTextWindow::ClockFrame(Clock::time_point now) {
    if (ownTimer_) {
        Schedule();  // the loop runs again after a modal loop: back from the window's timer
    } else {
        due_ += std::chrono::milliseconds(period_);
        if (due_ <= now) due_ = now + std::chrono::milliseconds(period_);  // late: no burst of frames
    }
    lastDriven_ = now;
    if (owner_) owner_->Tick();
}

void ScrollingTextWindow::Schedule() {
    if (period_ <= 0 || !TheFrameClock().Running) {
        ownTimer_ = true;
        RunTimer(kTickTimer, period_, "The ticker's timer");
        return;
    }
    if (ownTimer_) due_ = Clock::now() + std::chrono::milliseconds(period_);
    ownTimer_ = false;
    lastDriven_ = Clock::now();
    RunTimer(kTickTimer, std::max(kWatchPeriod, 2 * period_), "The ticker's timer");
}

void ScrollingTextWindow::SendFrameTimes(HWND to) {
    if (!to || !IsWindow(to)) return;
    const TScrollingText::TFrameTimes& times = owner_->FrameTimes();
    COPYDATASTRUCT data{kFrameTimesCopyData, sizeof times, const_cast<TScrollingText::TFrameTimes*>(&times)};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(Handle()), reinterpret_cast<LPARAM>(&data),
                        SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &result);
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

void ScrollingTextWindow::RelayToHint(UINT msg, WPARAM wp, LPARAM lp) {
    if (!tooltip_) return;
    MSG m{Handle(), msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {}};
    const DWORD pos = GetMessagePos();
    m.pt = POINT{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    SendMessageW(tooltip_.Get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

void ScrollingTextWindow::OnPaint() {
    gdi::PaintScope paint(Handle());
    owner_->ComposeFrame();
    const TPixelImage& frame = owner_->Frame();
    Show(paint.Get(), frame, Rect{0, 0, frame.Width(), frame.Height()});
    owner_->FrameShown();
}

// Only whole rows go as the source: for a top-down bitmap, SetDIBitsToDevice counts the source's
// y from the bottom, which a band of rows starting at its first line avoids.
void ScrollingTextWindow::Show(HDC dc, const TPixelImage& frame, const Rect& part) {
    if (!dc || frame.Empty() || part.Empty()) return;
    BITMAPINFO bmi = gdi::TopDownBitmapInfo(frame.Width(), part.Height());
    SetDIBitsToDevice(dc, part.Left, part.Top, part.Width(), part.Height(), part.Left, 0, 0, part.Height(),
                      frame.Row(part.Top), &bmi, DIB_RGB_COLORS);
}

void ScrollingTextWindow::Present(const TPixelImage& frame) { PresentPart(frame, {0, 0, frame.Width(), frame.Height()}); }

bool ScrollingTextWindow::PresentPart(const TPixelImage& frame, const Rect& part) {
    if (!Handle() || !windowDc_ || !IsWindowVisible(Handle())) return false;
    Show(windowDc_, frame, part);
    return true;
}

HFONT ScrollingTextWindow::FontFor(const TFont& font) {
    if (font_ && font == fontKey_) return static_cast<HFONT>(font_.Get());
    LOGFONTW lf = gdi::LogFontOf(font, ScreenDpi());
    // Glyphs thousands of pixels high take seconds to rasterise on every rebuild, and the bar
    // shows a few dozen at most: the height is held to kMaxFontPixels either way.
    constexpr int kMaxFontPixels = 400;
    lf.lfHeight = std::clamp(lf.lfHeight, LONG{-kMaxFontPixels}, LONG{kMaxFontPixels});
    // Glyph pixels must be exactly the key colour, or smoothed edges would not let the colour
    // layer through.
    lf.lfQuality = NONANTIALIASED_QUALITY;
    font_.Reset(CreateFontIndirectW(&lf));
    fontKey_ = font;
    return static_cast<HFONT>(font_.Get());
}

Size ScrollingTextWindow::MeasureText(const TFont& font, const std::string& text) {
    Size extent;
    HFONT hfont = FontFor(font);
    if (!hfont) return extent;
    gdi::SelectScope select(dc_.Get(), hfont);
    const std::wstring wide = ToWide(text);
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
        const std::wstring wide = ToWide(text);
        TextOutW(dc_.Get(), x, y, wide.c_str(), static_cast<int>(wide.size()));
        GdiFlush();
    }
    std::memcpy(strip.Data(), bits, bytes);
}

TColor ScrollingTextWindow::ResolveColor(TColor c) { return gdi::ResolveSystemColor(c); }

void ScrollingTextWindow::SetTimerInterval(int milliseconds) {
    period_ = std::max(milliseconds, 0);
    ownTimer_ = true;  // a new period starts from now, as a window timer's would
    Schedule();
}

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
    hintText_ = ToWide(hint);
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
        ti.uFlags = 0;  // the window relays the mouse itself (RelayToHint)
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

int RunMessageLoopWithFrameClock() {
    FrameClock& clock = TheFrameClock();
    clock.Running = true;
    for (ScrollingTextWindow* member : clock.Members) member->Schedule();
    MSG msg{};
    bool messages = true;  // there may be messages in the queue
    for (;;) {
        // After a wait that timed out the queue is empty (the wait takes any message already
        // there): no look into it, which under Wine is a server call and a yield of the thread.
        while (messages && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                clock.Running = false;
                for (ScrollingTextWindow* member : clock.Members) member->Schedule();
                return static_cast<int>(msg.wParam);
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // By index: a tick's handler may make or destroy a ticker.
        Clock::time_point now = Clock::now();
        for (std::size_t i = 0; i < clock.Members.size(); ++i)
            if (clock.Members[i]->Scheduled() && clock.Members[i]->Due() <= now) clock.Members[i]->ClockFrame(now);
        Clock::time_point next = Clock::time_point::max();
        for (ScrollingTextWindow* member : clock.Members)
            if (member->Scheduled()) next = std::min(next, member->Due());
        DWORD wait = INFINITE;
        if (next != Clock::time_point::max()) {
            now = Clock::now();
            if (next <= now) {
                messages = true;
                continue;
            }
            // Rounded up: waking before the frame is due would only spin.
            const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(next - now).count();
            wait = static_cast<DWORD>((micros + 999) / 1000);
        }
        messages = MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE) != WAIT_TIMEOUT;
    }
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
