// The real main window of the ticker bar: a borderless, topmost tool window across the top of
// the work area. It draws the tiled background, the title and the pictures itself, holds the
// scrolling text as a child window, and hands every event to TfrMain.
#include "app/fMain_win32.h"

#include "controls/DisplayScale_win32.h"
#include "app/BarAccessible_win32.h"
#include "app/LoadingAnimation_win32.h"
#include "app/StartAndTrayMenus_win32.h"
#include "app/SubscriptionHandover_win32.h"
#include "app/SystemAccessibility_win32.h"
#include "app/fConfig_win32.h"
#include "base/ApplicationWindow_win32.h"
#include "base/HookableWindow_win32.h"
#include "base/ProgramPath_win32.h"
#include "base/TextConvert_win32.h"
#include "base/Unhandled.h"
#include "base/UniqueHandle_win32.h"
#include "base/Win32Window_win32.h"
#include "controls/GdiHandles_win32.h"
#include "controls/HintStyle_win32.h"
#include "controls/PngImages_win32.h"
#include "controls/ScrollingText_win32.h"
#include "controls/Tile_win32.h"
#include "controls/VisibilityWatcher_win32.h"
#include "desktop/DDEHandler_win32.h"
#include "desktop/ResChange_win32.h"
#include "desktop/pkOnlyOne_win32.h"
#include "desktop/uFileAssociations_win32.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TfrMain";
constexpr UINT_PTR kReloadTimerId = 1;
constexpr UINT_PTR kStreamTimerId = 7;
constexpr UINT kRunSoonMessage = WM_APP + 30;
constexpr int kFocusHotKeyId = 1;
// An accessibility client's default action, done from the queue once its call has returned.
constexpr UINT kDefaultActionMessage = WM_APP + 1;
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The hints of the bar: the pictures' fixed texts and the title's "Go to: " link.
enum HintId : UINT { kStartHintId = 1, kPrevHintId, kNextHintId, kTitleHintId };

// The folder of the running program, with its trailing separator.
std::string ExecutableDirectory() {
    const std::wstring path = RunningExecutableWidePath();
    return FromWide(path.substr(0, path.find_last_of(L"\\/") + 1));
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
void MirrorTickerText(HWND ticker, const std::string& text) {
    std::wstring wide = ToWide(text);
    std::replace(wide.begin(), wide.end(), L'\0', L' ');
    SetWindowTextW(ticker, wide.c_str());
}

UINT HotKeyModifiers(const THotKey& key) {
    UINT modifiers = 0x4000;  // MOD_NOREPEAT: a held key gives the focus once
    if (key.Modifiers & THotKey::Ctrl) modifiers |= MOD_CONTROL;
    if (key.Modifiers & THotKey::Alt) modifiers |= MOD_ALT;
    if (key.Modifiers & THotKey::Shift) modifiers |= MOD_SHIFT;
    if (key.Modifiers & THotKey::Win) modifiers |= MOD_WIN;
    return modifiers;
}

bool ShiftDown() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }

// The program's answer to an exception that reached a window procedure: a message box.
void ShowUnhandled(std::exception_ptr error) {
    MessageBoxW(nullptr, ToWide(UnhandledText(error)).c_str(), ToWide(std::string(kApplicationTitle)).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

class MainWindow final : public IMainView, public TMainWindow, public Win32Window {
public:
    explicit MainWindow(HINSTANCE instance) : instance_(instance) {}
    ~MainWindow() override {
        Destroy();  // runs FormDestroy
        form_.reset();
    }

    bool Create(const std::string& exeDirectory);
    void Show() {
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);
        UpdateWindow(Handle());
    }

    // IMainView
    int WorkAreaWidth() const override {
        const RECT r = WorkArea();
        return r.right - r.left;
    }
    int DisplayDpi() const override { return dpi_; }
    int SystemDpi() const override { return ScreenDpi(); }
    int MeasureTitle(const std::string& caption) const override;
    void BarChanged() override;
    void SetReloadTimer(int milliseconds) override;
    void SetStreamTimer(int milliseconds) override {
        // 0 is "as soon as possible", which the system's shortest period gives.
        RunTimer(kStreamTimerId, milliseconds < 0 ? 0 : std::max(milliseconds, 1), "The stream timer");
    }
    void ShowHeadlineBalloon(const std::string& title, const std::string& text) override {
        if (menus_) menus_->ShowWelcomeBalloon(title, text);
    }
    bool IsForeground() const override { return GetForegroundWindow() == Handle(); }
    void BringToForeground() override { SetForegroundWindow(Handle()); }
    void Terminate() override { Destroy(); }
    void TickerTextChanged(const std::string& text) override {
        MirrorTickerText(tickerWindow_, text);
    }
    void TickerReadingChanged() override {
        if (accessible_) accessible_->TickerChanged();
    }
    void RegisterFocusHotKey(const THotKey& key) override;
    void PopupTrayMenu(bool atPointer) override;
    void StartLoadingAnimation() override { aniIcon_.Start(); }
    void StopLoadingAnimation() override { aniIcon_.Stop(); }
    void OpenLink(const std::string& url) override { OpenLinkInBrowser(url); }
    bool ModemConnection() const override { return tw::ModemConnection(); }
    bool FileExists(const std::string& path) const override {
        if (path.empty()) return false;
        const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    void FeedListsChanged() override {
        if (menus_) menus_->FeedListsChanged();
    }
    void PopupQuickStartMenu() override {
        if (menus_) menus_->PopupQuickStartMenu();
    }
    void HideBar() override {
        if (menus_) menus_->HideBar();
    }
    void ShowWelcomeBalloon(const std::string& title, const std::string& text) override {
        if (menus_) menus_->ShowWelcomeBalloon(title, text);
    }
    // Under Wine, and when a display change moved the bar, no WM_DPICHANGED comes.
    void MonitorChanged(const TMonitor& monitor) override { OnDpiChanged(monitor.Dpi, nullptr); }
    void ShowMessage(const std::string& text) override {
        MessageBoxW(Handle(), ToWide(text).c_str(), ToWide(std::string(kApplicationTitle)).c_str(), MB_OK);
    }
    void RunSoon(std::function<void()> job) override {
        soon_.push_back(std::move(job));
        PostMessageW(Handle(), kRunSoonMessage, 0, 0);
    }
    bool AskYesNo(const std::string& question) override {
        return MessageBoxW(Handle(), ToWide(question).c_str(), ToWide(std::string(kApplicationTitle)).c_str(),
                           MB_YESNO | MB_ICONQUESTION) == IDYES;
    }

    // TMainWindow
    HWND Handle() const override { return Win32Window::Handle(); }
    TfrMain* Form() override { return form_.get(); }

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnWindowGone() override { hints_ = nullptr; }
    void OnPaint();
    void OnTimer(UINT_PTR id);
    void OnSize(int width, int height);
    void OnDpiChanged(int dpi, const RECT* suggested);
    void MakeTitleFont();
    void ScalePictures();
    void PlaceLoadingAnimation();
    bool OnBackgroundPress(UINT msg, LPARAM lp);
    bool OnKeyDown(WPARAM key);
    bool OnRightPress(LPARAM lp);
    void OnSystemSettingsChanged();
    void OnFocusHotKey();
    void MakeAccessible();
    void PaintBackground(HDC dc, const RECT& client) const;
    void PaintMarks(HDC dc, const TBarPicture& bar) const;
    TMainParts MakeParts(std::unique_ptr<TScrollingText> ticker);
    void MakeMenus();
    bool DrawnControlAt(int screenX, int screenY) const;
    void OnDestroy();
    void OnDropFiles(HDROP drop);
    LRESULT OnCopyData(WPARAM sender, LPARAM data);
    void OnClick(int x, int y);
    bool OnSetCursor(UINT hitTest);
    LRESULT OnQueryEndSession();
    void CreateHints();
    void UpdateHints();
    static RECT RectOf(const Rect& item) { return RECT{item.Left, item.Top, item.Right, item.Bottom}; }

    HINSTANCE instance_;
    // The window as the application bar's owner sees it.
    THookableWindow formControl_{[this] { return Win32Window::Handle(); }, true,
                                  [this](int x, int y) { return DrawnControlAt(x, y); }};
    HWND hints_ = nullptr;  // owned by the window, destroyed with it
    std::wstring titleHint_;
    gdi::GdiObject titleFont_;
    int dpi_ = kDefaultDpi;  // of the display the bar is on
    TPngImageCollection pngImages_;
    TPngImageCollection pngImages2x_;  // the same drawn at twice the size
    TPngImageList pngTrayIcons_{16, 16};
    TPixelImage tilePicture_;
    TPixelImage tilePicture2x_;
    TPixelImage shownImages_[3];  // pngImages at dpi_: start image, previous and next arrow
    TPixelImage shownTile_;
    TTile imgBckg_;  // windowless: painted by OnPaint under the title and pictures
    TLoadingAnimation aniIcon_;  // a child window: goes with the main window
    HWND tickerWindow_ = nullptr;  // lblTicker's, which the form owns
    std::unique_ptr<TfrMain> form_;
    std::vector<std::function<void()>> soon_;  // RunSoon's jobs, run at kRunSoonMessage
    std::unique_ptr<TStartAndTrayMenus> menus_;  // before the form's start-up, which builds the feed menus
    std::unique_ptr<TBarAccessible> accessible_;  // disconnected before the form goes
    bool hotKeyRegistered_ = false;
    // As Windows shows focus rectangles: after the keyboard was used on the bar, not after a click.
    bool keyboardCues_ = false;
};

bool MainWindow::Create(const std::string& exeDirectory) {
    // Until the bar docks as an application desktop bar, it lies along the top of the work area.
    // A tool window gets no taskbar button.
    const RECT area = WorkArea();
    // The application window owns the bar and carries the program's taskbar button.
    TApplicationWindow& application = TApplicationWindow::Instance();
    if (!application.Create(ToWide(std::string(kApplicationTitle)))) return false;
    // Made hidden where the bar floats until it is docked: across the middle of the work area.
    const int barHeight = ScaleForDpi(kBarHeight, ScreenDpi());
    const int floatTop = area.top + (area.bottom - area.top - barHeight) / 2;
    if (!CreateFor(kClassName, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP | WS_CLIPCHILDREN,
                   ToWide(std::string(kApplicationTitle)).c_str(), area.left, floatTop, area.right - area.left,
                   barHeight, application.Handle(), nullptr, CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW),
                   LoadIconW(instance_, L"MAINICON"))) {
        return false;
    }
    dpi_ = WindowDpi(Handle());
    application.SetMainForm(Handle());
    // Feed and OPML files dropped on the bar open as the shell opens them.
    DragAcceptFiles(Handle(), TRUE);
    // The application's hint timing and colour, for every hint of the program.
    SetApplicationHintStyle(THintStyle{kHintHidePause, kHintPause, kHintShortPause, kHintColor});

    MakeTitleFont();
    // Missing pictures leave their places showing the background; the bar still works.
    std::string pictureError;
    LoadProgramPictures(nullptr, pngImages_, pngTrayIcons_, tilePicture_, &pictureError);
    LoadBarPictures2x(nullptr, pngImages2x_, tilePicture2x_, &pictureError);
    imgBckg_.SetColor(kWindowColor);
    ScalePictures();
    imgBckg_.SetBounds(0, 0, area.right - area.left, barHeight);
    CreateHints();

    // Over the start image while a feed loads; without it the bar works, only unanimated.
    aniIcon_.Create(Handle(), 5, 1, instance_);
    PlaceLoadingAnimation();

    auto ticker = CreateScrollingText(Handle(), 69, 12, 596, 11);
    if (!ticker) return false;
    tickerWindow_ = WindowHandle(*ticker);
    form_ = std::make_unique<TfrMain>(*this, MakeParts(std::move(ticker)));
    MakeAccessible();
    form_->SetHighContrast(HighContrastOn());
    form_->SetSystemAnimations(ClientAreaAnimationOn());
    // A second instance ends as soon as its loop starts: no tray icon of its own comes and goes.
    if (!form_->SecondInstance()) MakeMenus();
    form_->FormCreate(exeDirectory.empty() ? ExecutableDirectory() : exeDirectory, ProgramArguments());
    return true;
}

// The form's parts that need the real window or the process, made as the window's components
// are: the detector's initial check and the display watcher start here.
TMainParts MainWindow::MakeParts(std::unique_ptr<TScrollingText> ticker) {
    TMainParts parts;
    parts.Ticker = std::move(ticker);
    parts.OpenStore = CreateSystemProfileStore;
    parts.NetDetect = MakeNetDetect();
    parts.ResChanger = std::make_unique<TResChange>(nullptr, SystemDisplay());
    parts.AppBar = std::make_unique<TpkAppBar>(&formControl_);
    parts.Watcher = std::make_unique<TVisibilityWatcher>(&formControl_, SystemVisibilityPlatform());
    parts.OnlyOne = CreateOnlyOne(nullptr, std::string(kApplicationTitle), [this] { return Win32Window::Handle(); });
    if (TDDEServer* dde = ProcessDDEServer(); dde && dde->Active()) parts.DDEHandler = &dde->Handler();
    parts.DDEAvailable = DDEAvailable();
    return parts;
}

void MainWindow::MakeMenus() {
    TStartAndTrayMenus::THost host;
    host.Window = [this] { return Win32Window::Handle(); };
    host.Form = [this] { return form_.get(); };
    host.Configuration = [this] {
        if (form_) mnuConfigurationClick(Handle(), *form_);
    };
    host.Close = [this] { Terminate(); };
    host.TrayImages = &pngTrayIcons_;
    menus_ = std::make_unique<TStartAndTrayMenus>(std::move(host));
}

void MainWindow::MakeAccessible() {
    TBarAccessibleSource source;
    source.Window = Handle();
    source.Element = [this](TBarElement element) {
        return form_ ? AccessibleElement(element, form_->TickerReading()) : TAccessibleElement{};
    };
    source.ScreenRect = [this](TBarElement element) {
        RECT r = form_ ? RectOf(form_->ElementRect(element)) : RECT{};
        MapWindowPoints(Handle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    source.ElementAt = [this](int x, int y) {
        if (!form_) return TBarElement::Bar;
        switch (form_->AreaAt(x, y)) {
            case TBarArea::StartImage: return TBarElement::Feeds;
            case TBarArea::Title: return TBarElement::Title;
            case TBarArea::PrevItem: return TBarElement::Previous;
            case TBarArea::NextItem: return TBarElement::Next;
            case TBarArea::Ticker: return TBarElement::Ticker;
            case TBarArea::Background: break;
        }
        return TBarElement::Bar;
    };
    source.Focused = [this] { return form_ ? form_->Focused() : TBarElement::Ticker; };
    source.Focus = [this](TBarElement element) {
        if (form_) form_->SetFocused(element);
    };
    source.DoDefaultAction = [this](TBarElement element) {
        PostMessageW(Handle(), kDefaultActionMessage, static_cast<WPARAM>(element), 0);
    };
    accessible_ = std::make_unique<TBarAccessible>(std::move(source));
}

// The key may be taken by another program, or refused where the system allows none: the bar
// works without it, and says nothing.
void MainWindow::RegisterFocusHotKey(const THotKey& key) {
    if (hotKeyRegistered_) UnregisterHotKey(Handle(), kFocusHotKeyId);
    hotKeyRegistered_ = key.Key != 0 && RegisterHotKey(Handle(), kFocusHotKeyId, HotKeyModifiers(key), key.Key);
}

void MainWindow::OnFocusHotKey() {
    keyboardCues_ = true;
    if (!IsWindowVisible(Handle()) && menus_) menus_->ShowBar();
    SetForegroundWindow(Handle());
    SetFocus(Handle());
}

void MainWindow::PopupTrayMenu(bool atPointer) {
    if (!menus_ || !form_) return;
    POINT p{};
    if (atPointer) {
        GetCursorPos(&p);
    } else {
        p.x = form_->ElementRect(form_->Focused()).Left;
        ClientToScreen(Handle(), &p);
    }
    menus_->PopupTrayMenuAt(p.x);
}

// Both settings may change while the program runs (the system tells every top-level window).
void MainWindow::OnSystemSettingsChanged() {
    if (!form_) return;
    form_->SetHighContrast(HighContrastOn());
    form_->SetSystemAnimations(ClientAreaAnimationOn());
    InvalidateRect(Handle(), nullptr, FALSE);
}

void MainWindow::MakeTitleFont() {
    titleFont_.Reset(CreateFontW(-ScaleForDpi(11, dpi_), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                 L"Tahoma"));
}

// The pictures at the display's density, made from the drawing PictureScaleFor picks (the 1x one
// where the 2x one is missing). At 96 pixels per inch they are the 1x pictures as they are.
void MainWindow::ScalePictures() {
    const bool twice = PictureScaleFor(dpi_) == 2;
    const auto scaled = [this, twice](const TPixelImage& single, const TPixelImage& dual) {
        const TPixelImage& source = twice && !dual.Empty() ? dual : single;
        const int width = single.Empty() ? dual.Width() / 2 : single.Width();
        const int height = single.Empty() ? dual.Height() / 2 : single.Height();
        return ResizedImage(source, ScaleForDpi(width, dpi_), ScaleForDpi(height, dpi_));
    };
    for (int i = 0; i < 3; ++i) shownImages_[i] = scaled(pngImages_.Items(i), pngImages2x_.Items(i));
    shownTile_ = scaled(tilePicture_, tilePicture2x_);
    imgBckg_.SetBitmap(&shownTile_);
}

// The clip has one size: on a denser display it is centred over the start image (at (5, 1), 22
// pixels square in the bar's design) instead of sitting in its corner.
void MainWindow::PlaceLoadingAnimation() {
    if (!aniIcon_.Handle()) return;
    const int inset = (ScaleForDpi(TLoadingAnimation::kSize, dpi_) - TLoadingAnimation::kSize) / 2;
    SetWindowPos(aniIcon_.Handle(), nullptr, ScaleForDpi(5, dpi_) + inset, ScaleForDpi(1, dpi_) + inset, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The bar went to a display of another density (Windows 10 and later, per-monitor aware): the
// title font and the pictures are made anew, then the form scales and docks again.
void MainWindow::OnDpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0 || dpi == dpi_) return;
    dpi_ = dpi;
    MakeTitleFont();
    ScalePictures();
    PlaceLoadingAnimation();
    if (form_) {
        Rect floatRect;
        if (suggested) floatRect = Rect{suggested->left, suggested->top, suggested->right, suggested->bottom};
        form_->DisplayDpiChanged(suggested ? &floatRect : nullptr);
    }
    InvalidateRect(Handle(), nullptr, FALSE);
}

int MainWindow::MeasureTitle(const std::string& caption) const {
    gdi::WindowDc dc(Handle());
    if (!dc.Get()) return 0;
    gdi::SelectScope font(dc.Get(), titleFont_.Get());
    const std::wstring text = ToWide(caption);
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void MainWindow::BarChanged() {
    UpdateHints();
    InvalidateRect(Handle(), nullptr, FALSE);
}

void MainWindow::SetReloadTimer(int milliseconds) { RunTimer(kReloadTimerId, milliseconds, "The reload timer"); }

void MainWindow::CreateHints() {
    hints_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr, instance_,
                             nullptr);
    if (!hints_) return;  // the bar works without its hints
    ApplyHintStyle(hints_);
    const std::string_view texts[] = {kStartHint, kPrevItemHint, kNextItemHint, {}};
    for (UINT id = kStartHintId; id <= kTitleHintId; ++id) {
        std::wstring text = ToWide(std::string(texts[id - kStartHintId]));
        TOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_SUBCLASS;
        ti.hwnd = Handle();
        ti.uId = id;
        ti.lpszText = text.data();  // copied by the control
        SendMessageW(hints_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void MainWindow::UpdateHints() {
    if (!hints_ || !form_) return;
    const TBarPicture bar = form_->Bar();
    const Rect items[] = {bar.Start, bar.PrevItem, bar.NextItem, bar.Title};
    for (UINT id = kStartHintId; id <= kTitleHintId; ++id) {
        TOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.hwnd = Handle();
        ti.uId = id;
        ti.rect = RectOf(items[id - kStartHintId]);
        SendMessageW(hints_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    // The title shows "Go to: " and the channel link; after a failure it has none.
    titleHint_ = ToWide(bar.TitleHint);
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = Handle();
    ti.uId = kTitleHintId;
    ti.lpszText = titleHint_.data();
    SendMessageW(hints_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void MainWindow::OnPaint() {
    gdi::PaintScope paint(Handle());
    RECT client{};
    GetClientRect(Handle(), &client);
    if (!paint.Get() || client.right <= 0 || client.bottom <= 0) return;
    // Everything is composed off screen and shown in one copy.
    gdi::MemoryDc memory(CreateCompatibleDC(paint.Get()));
    gdi::GdiObject bitmap(CreateCompatibleBitmap(paint.Get(), client.right, client.bottom));
    if (!memory || !bitmap) return;
    gdi::SelectScope selectBitmap(memory.Get(), bitmap.Get());
    PaintBackground(memory.Get(), client);
    if (form_) {
        gdi::SelectScope selectFont(memory.Get(), titleFont_.Get());
        SetBkMode(memory.Get(), TRANSPARENT);
        SetTextColor(memory.Get(), gdi::ColorRefOf(form_->Colors().Title));
        const TBarPicture bar = form_->Bar();
        const std::wstring caption = ToWide(bar.TitleCaption);
        TextOutW(memory.Get(), bar.Title.Left, bar.Title.Top, caption.c_str(), static_cast<int>(caption.size()));
        DrawPngImage(memory.Get(), shownImages_[0], bar.Start.Left, bar.Start.Top);
        DrawPngImage(memory.Get(), shownImages_[1], bar.PrevItem.Left, bar.PrevItem.Top);
        DrawPngImage(memory.Get(), shownImages_[2], bar.NextItem.Left, bar.NextItem.Top);
        PaintMarks(memory.Get(), bar);
    }
    BitBlt(paint.Get(), 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
}

void MainWindow::PaintBackground(HDC dc, const RECT& client) const {
    if (!form_ || form_->Colors().Tile) {
        PaintTileTo(imgBckg_, dc);
        return;
    }
    gdi::GdiObject brush(CreateSolidBrush(gdi::ColorRefOf(form_->Colors().Background)));
    FillRect(dc, &client, static_cast<HBRUSH>(brush.Get()));
}

// The focus mark: a frame around the focused element while the bar has the focus. The paused
// mark: two bars in a box at the start image's lower right corner.
void MainWindow::PaintMarks(HDC dc, const TBarPicture& bar) const {
    const COLORREF mark = gdi::ColorRefOf(form_->Colors().Mark);
    gdi::GdiObject brush(CreateSolidBrush(mark));
    if (keyboardCues_ && GetFocus() == Handle() && !bar.Focus.Empty()) {
        const int grow = ScaleForDpi(1, dpi_);
        RECT frame{bar.Focus.Left - grow, bar.Focus.Top - grow, bar.Focus.Right + grow, bar.Focus.Bottom + grow};
        FrameRect(dc, &frame, static_cast<HBRUSH>(brush.Get()));
    }
    if (!bar.Paused) return;
    const int size = ScaleForDpi(9, dpi_), bar1 = ScaleForDpi(2, dpi_);
    const RECT box{bar.Start.Right - size, bar.Start.Bottom - size, bar.Start.Right, bar.Start.Bottom};
    FillRect(dc, &box, static_cast<HBRUSH>(brush.Get()));
    gdi::GdiObject ground(CreateSolidBrush(gdi::ColorRefOf(form_->Colors().Background)));
    const int top = box.top + bar1, bottom = box.bottom - bar1;
    const RECT left{box.left + bar1, top, box.left + 2 * bar1, bottom};
    const RECT right{box.right - 2 * bar1, top, box.right - bar1, bottom};
    FillRect(dc, &left, static_cast<HBRUSH>(ground.Get()));
    FillRect(dc, &right, static_cast<HBRUSH>(ground.Get()));
}

void MainWindow::OnClick(int x, int y) {
    if (form_) form_->ClickAt(x, y);
}

// A press on an empty spot of the bar acts on its caption, which it has none of: it drags the bar
// (the application bar docks or floats it at the end) and a double-click toggles docking. The bar
// also answers hit tests under a pressed button as its caption, but the system may test before it
// records the press; this makes the press itself count.
bool MainWindow::OnBackgroundPress(UINT msg, LPARAM lp) {
    if (!form_ || form_->AreaAt(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)) != TBarArea::Background) return false;
    POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ClientToScreen(Handle(), &p);
    const UINT nonClient = msg == WM_LBUTTONDBLCLK ? WM_NCLBUTTONDBLCLK : WM_NCLBUTTONDOWN;
    SendMessageW(Handle(), nonClient, HTCAPTION, MAKELPARAM(p.x, p.y));
    return true;
}

bool MainWindow::OnKeyDown(WPARAM key) {
    if (!form_) return false;
    switch (key) {
        case VK_LEFT: form_->KeyPressed(TBarKey::Left); return true;
        case VK_RIGHT: form_->KeyPressed(TBarKey::Right); return true;
        case VK_RETURN: form_->KeyPressed(TBarKey::Enter); return true;
        case VK_ESCAPE: form_->KeyPressed(TBarKey::Escape); return true;
        case VK_SPACE: form_->KeyPressed(TBarKey::Space); return true;
        case VK_APPS: PopupTrayMenu(false); return true;
        case VK_TAB:
            keyboardCues_ = true;
            form_->KeyPressed(ShiftDown() ? TBarKey::BackTab : TBarKey::Tab);
            if (accessible_) accessible_->FocusChanged(form_->Focused());
            return true;
        default: return false;
    }
}

// No part of the bar has a right-click action of its own: a right press anywhere opens the tray
// menu beside the bar, at the press.
bool MainWindow::OnRightPress(LPARAM lp) {
    if (!form_ || !menus_) return false;
    POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ClientToScreen(Handle(), &p);
    menus_->PopupTrayMenuAt(p.x);
    return true;
}

// The pictures and the title are drawn by the window: pressing them clicks, never drags.
bool MainWindow::DrawnControlAt(int screenX, int screenY) const {
    POINT p{screenX, screenY};
    if (!form_ || !ScreenToClient(Handle(), &p)) return false;
    return form_->AreaAt(p.x, p.y) != TBarArea::Background;
}

// The bar is docked, dragged or floated: the background follows its size.
void MainWindow::OnSize(int width, int height) {
    imgBckg_.SetBounds(0, 0, width, height);
    InvalidateRect(Handle(), nullptr, FALSE);
}

void MainWindow::OnTimer(UINT_PTR id) {
    if (id == kReloadTimerId && form_) form_->OnReloadTimer();
    if (id == kStreamTimerId && form_) form_->OnStreamTimer();
}

bool MainWindow::OnSetCursor(UINT hitTest) {
    if (!form_ || hitTest != HTCLIENT) return false;
    POINT p{};
    if (!GetCursorPos(&p) || !ScreenToClient(Handle(), &p)) return false;
    if (form_->CursorAt(p.x, p.y) != TBarCursor::crHandPoint) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

void MainWindow::OnDropFiles(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), UINT(path.size())));
        paths.push_back(FromWide(path));
    }
    DragFinish(drop);  // before any question: the dropping program waits for it
    for (const std::string& path : paths)
        if (form_) form_->OpenFeedFile(path);
}

LRESULT MainWindow::OnCopyData(WPARAM sender, LPARAM data) {
    return AnswerSubscriptionRequest(sender, data, [this](const TSubscriptionCommand& command) {
        return form_ ? form_->RunSubscription(command) : TSubscriptionResult{false, "The ticker is ending."};
    });
}

LRESULT MainWindow::OnQueryEndSession() { return form_ ? form_->QueryEndSession() : TRUE; }

void MainWindow::OnDestroy() {
    KillTimer(Handle(), kReloadTimerId);
    KillTimer(Handle(), kStreamTimerId);
    if (hotKeyRegistered_) UnregisterHotKey(Handle(), kFocusHotKeyId);
    hotKeyRegistered_ = false;
    accessible_.reset();  // a client still holding the object is told it is gone
    if (form_) {
        form_->FormDestroy();
        form_.reset();  // the scrolling text goes with its parent
        tickerWindow_ = nullptr;
    }
    PostQuitMessage(0);
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: OnPaint(); return 0;
        case WM_ERASEBKGND: return 1;  // OnPaint covers every pixel
        case WM_TIMER: OnTimer(wp); return 0;
        case WM_SIZE: OnSize(LOWORD(lp), HIWORD(lp)); return 0;
        case WM_DPICHANGED: OnDpiChanged(HIWORD(wp), reinterpret_cast<const RECT*>(lp)); return 0;
        case WM_LBUTTONUP: OnClick(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)); return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            keyboardCues_ = false;
            return OnBackgroundPress(msg, lp) ? 0 : Default(msg, wp, lp);
        case WM_RBUTTONDOWN: return OnRightPress(lp) ? 0 : Default(msg, wp, lp);
        case WM_KEYDOWN: return OnKeyDown(wp) ? 0 : Default(msg, wp, lp);
        case WM_SYSKEYDOWN:
            if (wp == VK_F10 && ShiftDown()) {
                PopupTrayMenu(false);
                return 0;
            }
            return Default(msg, wp, lp);
        case WM_SETFOCUS:
            if (accessible_ && form_) accessible_->FocusChanged(form_->Focused());
            InvalidateRect(Handle(), nullptr, FALSE);  // the focus mark
            return 0;
        case WM_KILLFOCUS: InvalidateRect(Handle(), nullptr, FALSE); return 0;
        case WM_HOTKEY: OnFocusHotKey(); return 0;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE: OnSystemSettingsChanged(); return Default(msg, wp, lp);
        case WM_GETOBJECT: return accessible_ ? accessible_->AnswerGetObject(wp, lp) : Default(msg, wp, lp);
        case kDefaultActionMessage:
            if (form_) form_->PressElement(static_cast<TBarElement>(wp));
            return 0;
        case WM_SETCURSOR: return OnSetCursor(LOWORD(lp)) ? TRUE : Default(msg, wp, lp);
        case WM_QUERYENDSESSION: return OnQueryEndSession();
        case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wp)); return 0;
        case WM_COPYDATA: return OnCopyData(wp, lp);
        case kRunSoonMessage: {
            auto jobs = std::exchange(soon_, {});
            for (auto& job : jobs)
                if (form_) job();
            return 0;
        }
        case WM_DESTROY: OnDestroy(); return 0;
        default: return Default(msg, wp, lp);
    }
}

}  // namespace

std::unique_ptr<TMainWindow> TMainWindow::Create(HINSTANCE instance, const std::string& exeDirectory) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    auto window = std::make_unique<MainWindow>(instance);
    try {
        if (!window->Create(exeDirectory)) return nullptr;
        // A second instance that hands over is never shown: it ends as its message loop starts.
        if (TfrMain* form = window->Form(); form && form->SecondInstance()) return window;
        window->Show();
        if (TfrMain* form = window->Form()) form->FormShow();
    } catch (...) {
        ReportUnhandled(std::current_exception());
        return nullptr;
    }
    return window;
}

int RunMainWindow(HINSTANCE instance) {
    SetUnhandledHandler(ShowUnhandled);
    const auto window = TMainWindow::Create(instance);
    if (!window) return 1;
    // The loop also clocks the ticker's frames: cheaper under Wine than a timer message each.
    return RunMessageLoopWithFrameClock();
}

}  // namespace tw
