// The real main window of the ticker bar: a borderless, topmost tool window across the top of
// the work area. It draws the tiled background, the title and the pictures itself, holds the
// scrolling text as a child window, and hands every event to TfrMain.
#include "app/LoadingAnimation_win32.h"
#include "app/fMain.h"
#include "controls/GdiHandles_win32.h"
#include "controls/PngImages.h"
#include "controls/Tile.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <wininet.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TfrMain";
constexpr UINT_PTR kReloadTimerId = 1;

std::string Narrow(const std::wstring& s) {
    if (s.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The folder of the running program, with its trailing separator.
std::string ExecutableDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);  // a long path was cut
    }
    return Narrow(path.substr(0, path.find_last_of(L"\\/") + 1));
}

// The command-line arguments after the program's name, in UTF-8.
std::vector<std::string> CommandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Narrow(argv[i]));
    LocalFree(argv);
    return arguments;
}

// The connection detector with its address and period; end-to-end tests point it at loopback
// and shorten the period through TIDEWIRE_NETDETECT_URL and TIDEWIRE_NETDETECT_INTERVAL (ms).
std::unique_ptr<TNetDetect> MakeNetDetect() {
    std::string url(kDefaultNetDetectUrl);
    if (const char* value = std::getenv("TIDEWIRE_NETDETECT_URL"); value && *value) url = value;
    auto detector = std::make_unique<TNetDetect>(MakeSystemNetDetectHost(), url);
    if (const char* value = std::getenv("TIDEWIRE_NETDETECT_INTERVAL"); value && *value) {
        char* end = nullptr;
        const long ms = std::strtol(value, &end, 10);
        if (end && *end == '\0' && ms > 0 && ms <= 3600000) detector->SetInterval(static_cast<int>(ms));
    }
    return detector;
}

RECT WorkArea() {
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

// The ticker window's own text mirrors what it scrolls, for screen readers and automation. A
// window text ends at its first NUL, and a feed may carry "&#0;" in a title: such characters
// become spaces so that the rest of the title is not lost.
void MirrorTickerText(void* ticker, const std::string& text) {
    std::wstring wide = gdi::Widen(text);
    std::replace(wide.begin(), wide.end(), L'\0', L' ');
    SetWindowTextW(static_cast<HWND>(ticker), wide.c_str());
}

// The application-wide answer to an exception that reached a window procedure.
void ReportUnhandled(std::exception_ptr error) {
    std::string text = "Unexpected error";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
    }
    MessageBoxW(nullptr, gdi::Widen(text).c_str(), gdi::Widen(std::string(kApplicationTitle)).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

class MainWindow final : public IMainView, public TMainWindow {
public:
    explicit MainWindow(HINSTANCE instance) : instance_(instance) {}
    ~MainWindow() override {
        if (hwnd_) DestroyWindow(hwnd_);  // runs FormDestroy
        form_.reset();
    }

    bool Create(const std::string& exeDirectory);
    void Show() { ShowWindow(hwnd_, SW_SHOWNOACTIVATE); UpdateWindow(hwnd_); }

    // IMainView
    int WorkAreaWidth() const override {
        const RECT r = WorkArea();
        return r.right - r.left;
    }
    int MeasureTitle(const std::string& caption) const override;
    void BarChanged() override;
    void ReloadTimerChanged(const TReloadTimer& timer) override;
    bool IsForeground() const override { return GetForegroundWindow() == hwnd_; }
    void BringToForeground() override { SetForegroundWindow(hwnd_); }
    void Terminate() override {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    void TickerTextChanged(const std::string& text) override {
        if (form_) MirrorTickerText(form_->lblTicker().Handle(), text);
    }
    void StartLoadingAnimation() override { aniIcon_.Start(); }
    void StopLoadingAnimation() override { aniIcon_.Stop(); }
    void OpenLink(const std::string& url) override { OpenLinkInBrowser(url); }
    bool ModemConnection() const override {
        DWORD flags = 0;
        return InternetGetConnectedState(&flags, 0) && (flags & INTERNET_CONNECTION_MODEM) != 0;
    }
    bool FileExists(const std::string& path) const override {
        if (path.empty()) return false;
        const DWORD attributes = GetFileAttributesW(gdi::Widen(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    // TMainWindow
    void* Handle() const override { return hwnd_; }
    TfrMain* Form() override { return form_.get(); }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnPaint();
    void OnTimer(UINT_PTR id);
    void OnDestroy();
    void OnClick(int x, int y);
    bool OnSetCursor();
    void CreateHints();
    void UpdateHintRects();
    static RECT RectOf(const TBarItem& item) {
        return RECT{item.Left, item.Top, item.Left + item.Width, item.Top + item.Height};
    }

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND hints_ = nullptr;  // owned by the window, destroyed with it
    gdi::GdiObject titleFont_;
    TPngImageCollection pngImages_;
    TPngImageList pngTrayIcons_{16, 16};
    TPixelImage tilePicture_;
    TTile imgBckg_;  // windowless: painted by OnPaint under the title and pictures
    TLoadingAnimation aniIcon_;  // a child window: goes with the main window
    std::unique_ptr<TfrMain> form_;
};

bool MainWindow::Create(const std::string& exeDirectory) {
    if (!gdi::RegisterWindowClass(kClassName, WndProc, 0, LoadIconW(instance_, L"MAINICON"))) return false;

    // Until the bar docks as an application desktop bar, it lies along the top of the work area.
    // A tool window gets no taskbar button.
    const RECT area = WorkArea();
    hwnd_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName,
                            gdi::Widen(std::string(kApplicationTitle)).c_str(), WS_POPUP | WS_CLIPCHILDREN,
                            area.left, area.top, area.right - area.left, kBarHeight, nullptr, nullptr, instance_,
                            this);
    if (!hwnd_) return false;

    titleFont_.Reset(CreateFontW(-11, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
    // Missing pictures leave their places showing the background; the bar still works.
    std::string pictureError;
    LoadProgramPictures(nullptr, pngImages_, pngTrayIcons_, tilePicture_, &pictureError);
    imgBckg_.SetColor(kWindowColor);
    imgBckg_.SetBitmap(&tilePicture_);
    imgBckg_.SetBounds(0, 0, area.right - area.left, kBarHeight);
    CreateHints();

    // Over the start image while a feed loads; without it the bar works, only unanimated.
    aniIcon_.Create(hwnd_, 5, 1, instance_);

    auto ticker = CreateScrollingText(hwnd_, 69, 12, 596, 11);
    if (!ticker) return false;
    ConfigureTickerFromForm(*ticker);
    MirrorTickerText(ticker->Handle(), ticker->Text());
    ticker->OnMouseMove = [this](TScrollingText&, unsigned, int, int) {
        if (form_) form_->lblTickerMouseMove();
    };
    // Made with the window's components: its initial check runs while the form is created.
    form_ = std::make_unique<TfrMain>(*this, std::move(ticker), CreateSystemProfileStore, MakeNetDetect());
    form_->FormCreate(exeDirectory.empty() ? ExecutableDirectory() : exeDirectory, CommandLineArguments());
    return true;
}

int MainWindow::MeasureTitle(const std::string& caption) const {
    gdi::WindowDc dc(hwnd_);
    if (!dc.Get()) return 0;
    gdi::SelectScope font(dc.Get(), titleFont_.Get());
    const std::wstring text = gdi::Widen(caption);
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void MainWindow::BarChanged() {
    UpdateHintRects();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void MainWindow::ReloadTimerChanged(const TReloadTimer& timer) {
    // An interval of 0 means a timer that never fires; SetTimer would take it as the shortest.
    if (timer.Enabled && timer.Interval > 0) {
        SetTimer(hwnd_, kReloadTimerId, static_cast<UINT>(timer.Interval), nullptr);
    } else {
        KillTimer(hwnd_, kReloadTimerId);
    }
}

void MainWindow::CreateHints() {
    hints_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_,
                             nullptr);
    if (!hints_) return;
    // The application's hint timing and colour.
    SendMessageW(hints_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(20000, 0));
    SendMessageW(hints_, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(200, 0));
    SendMessageW(hints_, TTM_SETDELAYTIME, TTDT_RESHOW, MAKELPARAM(40, 0));
    SendMessageW(hints_, TTM_SETTIPBKCOLOR, kHintColor, 0);
    const std::string_view texts[] = {kStartHint, kPrevItemHint, kNextItemHint};
    for (UINT id = 0; id < 3; ++id) {
        std::wstring text = gdi::Widen(std::string(texts[id]));
        TOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_SUBCLASS;
        ti.hwnd = hwnd_;
        ti.uId = id + 1;
        ti.lpszText = text.data();  // copied by the control
        SendMessageW(hints_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void MainWindow::UpdateHintRects() {
    if (!hints_ || !form_) return;
    const TBarItem items[] = {form_->imgStart, form_->imgPrevRssItem, form_->imgNextRssItem};
    for (UINT id = 0; id < 3; ++id) {
        TOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.hwnd = hwnd_;
        ti.uId = id + 1;
        ti.rect = RectOf(items[id]);
        SendMessageW(hints_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void MainWindow::OnPaint() {
    gdi::PaintScope paint(hwnd_);
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (!paint.Get() || client.right <= 0 || client.bottom <= 0) return;
    // Everything is composed off screen and shown in one copy.
    gdi::MemoryDc memory(CreateCompatibleDC(paint.Get()));
    gdi::GdiObject bitmap(CreateCompatibleBitmap(paint.Get(), client.right, client.bottom));
    if (!memory || !bitmap) return;
    gdi::SelectScope selectBitmap(memory.Get(), bitmap.Get());
    imgBckg_.PaintTo(memory.Get());
    if (form_) {
        const TColor title = kTitleColor;
        gdi::SelectScope selectFont(memory.Get(), titleFont_.Get());
        SetBkMode(memory.Get(), TRANSPARENT);
        SetTextColor(memory.Get(), RGB(title & 0xFF, (title >> 8) & 0xFF, (title >> 16) & 0xFF));
        const std::wstring caption = gdi::Widen(form_->TitleCaption);
        TextOutW(memory.Get(), form_->lblTitle.Left, form_->lblTitle.Top, caption.c_str(), static_cast<int>(caption.size()));
        DrawPngImage(memory.Get(), pngImages_.Items(0), form_->imgStart.Left, form_->imgStart.Top);
        DrawPngImage(memory.Get(), pngImages_.Items(1), form_->imgPrevRssItem.Left, form_->imgPrevRssItem.Top);
        DrawPngImage(memory.Get(), pngImages_.Items(2), form_->imgNextRssItem.Left, form_->imgNextRssItem.Top);
    }
    BitBlt(paint.Get(), 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
}

void MainWindow::OnClick(int x, int y) {
    if (!form_) return;
    const POINT p{x, y};
    RECT title = RectOf(form_->lblTitle);
    const RECT prev = RectOf(form_->imgPrevRssItem);
    const RECT next = RectOf(form_->imgNextRssItem);
    if (PtInRect(&prev, p)) {
        form_->rotation.imgPrevRssItemClick();
    } else if (PtInRect(&next, p)) {
        form_->rotation.imgNextRssItemClick();
    } else if (PtInRect(&title, p)) {
        form_->rotation.lblTitleClick();
    }
}

void MainWindow::OnTimer(UINT_PTR id) {
    if (id == kReloadTimerId && form_ && form_->tmrReload.OnTimer) form_->tmrReload.OnTimer();
}

bool MainWindow::OnSetCursor() {
    if (!form_) return false;
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(hwnd_, &p);
    RECT title = RectOf(form_->lblTitle);
    title.right = title.left + form_->lblTitle.Width;
    const RECT start = RectOf(form_->imgStart);
    if (PtInRect(&title, p) || PtInRect(&start, p)) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return true;
    }
    return false;
}

void MainWindow::OnDestroy() {
    KillTimer(hwnd_, kReloadTimerId);
    if (form_) {
        form_->FormDestroy();
        form_.reset();  // the scrolling text goes with its parent
    }
    PostQuitMessage(0);
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: OnPaint(); return 0;
        case WM_ERASEBKGND: return 1;  // OnPaint covers every pixel
        case WM_TIMER: OnTimer(wp); return 0;
        case WM_LBUTTONUP: OnClick(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT && OnSetCursor()) return TRUE;
            break;
        case WM_QUERYENDSESSION: return form_ ? form_->QueryEndSession() : TRUE;
        case WM_DESTROY: OnDestroy(); return 0;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT CALLBACK MainWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);  // before WM_NCCREATE, after WM_NCDESTROY
    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wp, lp);
    } catch (...) {
        ReportUnhandled(std::current_exception());  // never unwind through user32
        result = DefWindowProcW(hwnd, msg, wp, lp);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->hints_ = nullptr;
    }
    return result;
}

}  // namespace

std::unique_ptr<TMainWindow> TMainWindow::Create(void* instance, const std::string& exeDirectory) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    auto window = std::make_unique<MainWindow>(static_cast<HINSTANCE>(instance));
    try {
        if (!window->Create(exeDirectory)) return nullptr;
    } catch (...) {
        ReportUnhandled(std::current_exception());
        return nullptr;
    }
    window->Show();
    if (TfrMain* form = window->Form()) form->FormShow();
    return window;
}

int RunMainWindow(void* instance) {
    const auto window = TMainWindow::Create(instance);
    if (!window) return 1;
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) return 1;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace tw
