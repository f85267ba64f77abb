// The scrolling text as a child window: GDI text measuring and rendering into the strip, the
// tick timer, and the one copy of each composed frame to the screen.
//
// A tick runs dozens of times a second, and under Wine every call that reaches the wineserver
// costs more than the whole composition. So the window keeps its own device context (CS_OWNDC:
// a cached one is fetched and its visible region rebuilt on every GetDC, with server calls), and
// the hint is fed the mouse messages by hand instead of subclassing the window (the subclass
// looks up a window property, a server call, on every message, the timer's too).
//
// While the program's loop runs, the frames come from a thread of their own that has no window:
// under Wine a thread with windows pays for a pass over the X connection on every wake-up, about
// as much as the rest of a frame. The window thread holds the clock's lock whenever it is not
// waiting for messages, so a frame never meets the program halfway through a message; the end of
// a pass goes back to the window thread as a posted message, where the program's handler runs.
// A modal loop of the system's (a menu, a dialog, a window drag) keeps the lock: when the frame
// thread has waited for it a while, it posts the controls a message that puts them on their own
// timers, and the program's loop takes them back when it runs again.
#include "controls/ScrollingText_win32.h"

#include "base/Win32Window_win32.h"
#include "controls/GdiHandles_win32.h"
#include "controls/HintStyle_win32.h"
#include "controls/MouseInput_win32.h"

#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TidewireScrollingText";
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kPassEndedMessage = WM_APP + 1;  // from the frame thread: raise OnTextScrolled
constexpr UINT kTakeOverMessage = WM_APP + 2;   // from the frame thread: tick from your own timer
// How long the frame thread waits for the window thread before handing the controls their timers.
constexpr std::chrono::milliseconds kTakeOverAfter{100};

using Clock = std::chrono::steady_clock;

class ScrollingTextWindow;

// The tickers of the thread whose loop is RunMessageLoopWithFrameClock (the main thread only),
// and the thread that clocks their frames while that loop runs. Everything here, and the
// members themselves, is touched only under WindowThreadLock(), but for their windows, which the
// frame thread reads under WindowsLock when that lock is long in coming.
struct FrameClock {
    bool Running = false;
    std::vector<ScrollingTextWindow*> Members;
    KernelHandle Wake;  // set when a member's schedule changes while the thread waits
    std::thread Thread;
    bool Stopping = false;
    std::mutex WindowsLock;
    std::vector<HWND> Windows;

    void Join(ScrollingTextWindow* member, HWND window) {
        Members.push_back(member);
        const std::lock_guard<std::mutex> lock(WindowsLock);
        Windows.push_back(window);
    }
    void Leave(ScrollingTextWindow* member, HWND window) {
        Members.erase(std::remove(Members.begin(), Members.end(), member), Members.end());
        const std::lock_guard<std::mutex> lock(WindowsLock);
        Windows.erase(std::remove(Windows.begin(), Windows.end(), window), Windows.end());
    }
    void HandTimersOver() {
        const std::lock_guard<std::mutex> lock(WindowsLock);
        for (HWND window : Windows) PostMessageW(window, kTakeOverMessage, 0, 0);
    }
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

    // The frame clock: whether it drives this control now, when the next frame is due, and
    // running it (on the clock's thread).
    bool Clocked() const { return period_ > 0 && !ownTimer_ && !passPending_; }
    Clock::time_point Due() const { return due_; }
    void ClockFrame(Clock::time_point now);
    // On its own timer though the frame clock runs: after a modal loop of the system's.
    bool BackFromModalLoop() const { return period_ > 0 && ownTimer_ && TheFrameClock().Running; }
    // Chooses between the frame clock and the window's own timer for the current period.
    void Schedule();

    TextExtent MeasureText(const TFont& font, const std::string& text) override;
    void RenderText(TPixelImage& strip, const TFont& font, const std::string& text, int x, int y, TColor textColor,
                    TColor background) override;
    TColor ResolveColor(TColor c) override;
    void SetTimerInterval(int milliseconds) override;
    void Present(const TPixelImage& frame) override;
    bool PresentPart(const TPixelImage& frame, const TPixelRect& part) override;
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
    void Show(HDC dc, const TPixelImage& frame, const TPixelRect& part);
    void RelayToHint(UINT msg, WPARAM wp, LPARAM lp);

    TScrollingText* owner_ = nullptr;
    int period_ = 0;         // ms between ticks; 0 stopped
    bool ownTimer_ = true;   // ticking from the window's timer at the period
    bool passPending_ = false;  // the clock ended a pass; the handler has not run yet
    Clock::time_point due_{};         // next frame while the frame clock drives
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
    TheFrameClock().Join(self.get(), hwnd);
    // New child windows go to the bottom of their siblings; the ticker belongs above the
    // background and the pictures.
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return self;
}

ScrollingTextWindow::~ScrollingTextWindow() {
    TheFrameClock().Leave(this, Handle());
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
        case kTakeOverMessage:
            if (!ownTimer_ && period_ > 0) {
                ownTimer_ = true;
                RunTimer(kTickTimer, period_, "The ticker's timer");
            }
            return 0;
        case kPassEndedMessage:
            passPending_ = false;
            SetEvent(TheFrameClock().Wake.Get());  // the clock may be waiting for nothing else
            owner_->RaiseTextScrolled();
            return 0;
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
    // A timer message already queued when the clock took over is stale.
    if (id != kTickTimer || passPending_ || !ownTimer_) return;
    owner_->Tick();
}

void ScrollingTextWindow::ClockFrame(Clock::time_point now) {
    due_ += std::chrono::milliseconds(period_);
    if (due_ <= now) due_ = now + std::chrono::milliseconds(period_);  // late: no burst of frames
    if (owner_ && owner_->TickDeferringPassEnd()) {
        passPending_ = true;
        PostMessageW(Handle(), kPassEndedMessage, 0, 0);
    }
}

void ScrollingTextWindow::Schedule() {
    FrameClock& clock = TheFrameClock();
    if (period_ <= 0 || !clock.Running) {
        ownTimer_ = true;
        RunTimer(kTickTimer, period_, "The ticker's timer");
        return;
    }
    if (ownTimer_) due_ = Clock::now() + std::chrono::milliseconds(period_);
    ownTimer_ = false;
    RunTimer(kTickTimer, 0, "The ticker's timer");
    SetEvent(clock.Wake.Get());
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
    Show(paint.Get(), frame, TPixelRect{0, 0, frame.Width(), frame.Height()});
    owner_->FrameShown();
}

// Only whole rows go as the source: for a top-down bitmap, SetDIBitsToDevice counts the source's
// y from the bottom, which a band of rows starting at its first line avoids.
void ScrollingTextWindow::Show(HDC dc, const TPixelImage& frame, const TPixelRect& part) {
    if (!dc || frame.Empty() || part.Empty()) return;
    BITMAPINFO bmi = gdi::TopDownBitmapInfo(frame.Width(), part.Height);
    SetDIBitsToDevice(dc, part.X, part.Y, part.Width, part.Height, part.X, 0, 0, part.Height, frame.Row(part.Y), &bmi,
                      DIB_RGB_COLORS);
}

void ScrollingTextWindow::Present(const TPixelImage& frame) { PresentPart(frame, {0, 0, frame.Width(), frame.Height()}); }

bool ScrollingTextWindow::PresentPart(const TPixelImage& frame, const TPixelRect& part) {
    if (!Handle() || !windowDc_ || !IsWindowVisible(Handle())) return false;
    Show(windowDc_, frame, part);
    return true;
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

namespace {

// The frame thread. It waits in a message wait, not a sleep: Wine copies what was drawn into a
// window to the screen when a thread of the process goes idle that way, so each frame shows at
// once instead of with the next one that happens to wait.
void ClockFrames(FrameClock& clock) {
    for (;;) {
        DWORD wait = INFINITE;
        {
            std::unique_lock<std::recursive_timed_mutex> lock(WindowThreadLock(), std::defer_lock);
            if (!lock.try_lock_for(kTakeOverAfter)) {
                clock.HandTimersOver();
                lock.lock();
            }
            if (clock.Stopping) return;
            const Clock::time_point now = Clock::now();
            Clock::time_point next = Clock::time_point::max();
            for (ScrollingTextWindow* member : clock.Members) {
                if (!member->Clocked()) continue;
                if (member->Due() <= now) member->ClockFrame(now);
                if (member->Clocked()) next = std::min(next, member->Due());
            }
            if (next != Clock::time_point::max()) {
                // Rounded up: waking before the frame is due would only spin.
                const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(next - Clock::now()).count();
                wait = static_cast<DWORD>(std::max<long long>((micros + 999) / 1000, 0));
            }
        }
        HANDLE wake = clock.Wake.Get();
        MsgWaitForMultipleObjectsEx(1, &wake, wait, QS_ALLINPUT, 0);
    }
}

// Runs the frame thread for its lifetime, entered and left with the clock's lock held; on the
// way out (WM_QUIT or an exception) the members go back to their own timers.
class FrameThreadScope {
public:
    FrameThreadScope(FrameClock& clock, std::unique_lock<std::recursive_timed_mutex>& lock) : clock_(clock), lock_(lock) {
        ClaimWindowThreadLock(true);
        clock.Wake.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        clock.Stopping = false;
        clock.Running = static_cast<bool>(clock.Wake);
        if (clock.Running) clock.Thread = std::thread(ClockFrames, std::ref(clock));
        for (ScrollingTextWindow* member : clock.Members) member->Schedule();
    }
    ~FrameThreadScope() {
        clock_.Running = false;
        clock_.Stopping = true;
        if (clock_.Thread.joinable()) {
            SetEvent(clock_.Wake.Get());
            lock_.unlock();
            clock_.Thread.join();
            lock_.lock();
        }
        clock_.Wake.Reset();
        ClaimWindowThreadLock(false);
        try {
            for (ScrollingTextWindow* member : clock_.Members) member->Schedule();
        } catch (const std::system_error&) {
            // A timer refused on the way out leaves that text standing, nothing worse.
        }
    }
    FrameThreadScope(const FrameThreadScope&) = delete;
    FrameThreadScope& operator=(const FrameThreadScope&) = delete;

private:
    FrameClock& clock_;
    std::unique_lock<std::recursive_timed_mutex>& lock_;
};

}  // namespace

int RunMessageLoopWithFrameClock() {
    FrameClock& clock = TheFrameClock();
    std::unique_lock<std::recursive_timed_mutex> lock(WindowThreadLock());
    const FrameThreadScope frames(clock, lock);
    MSG msg{};
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        for (ScrollingTextWindow* member : clock.Members)
            if (member->BackFromModalLoop()) member->Schedule();
        lock.unlock();
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        lock.lock();
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
