#include "controls/TrayIcon_win32.h"

#include "base/ApplicationWindow_win32.h"
#include "base/Win32Window_win32.h"
#include "controls/GdiHandles_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TidewireTrayIcon";
constexpr UINT_PTR kTaskEntryTimer = 1;
constexpr UINT_PTR kBlinkTimer = 2;
constexpr int kIconSize = 16;
// Posted to the tray window when the application window was shown or hidden.
constexpr UINT kAppButtonChangedMessage = WM_APP + 1;

HICON AsIcon(TIconHandle h) { return reinterpret_cast<HICON>(h); }
TIconHandle AsHandle(HICON h) { return reinterpret_cast<TIconHandle>(h); }

// A 16 x 16 icon whose mask hides every pixel.
Icon MakeBlankIcon() {
    const BYTE andBits[kIconSize * kIconSize / 8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const BYTE xorBits[kIconSize * kIconSize / 8] = {};
    return Icon(CreateIcon(GetModuleHandleW(nullptr), kIconSize, kIconSize, 1, 1, andBits, xorBits));
}

GdiObject MakeFont(const TFont& font, HDC dc) {
    LOGFONTW lf = gdi::LogFontOf(font, GetDeviceCaps(dc, LOGPIXELSY));
    // The background is keyed out by one exact colour: smoothed edges would leave a fringe.
    lf.lfQuality = NONANTIALIASED_QUALITY;
    return GdiObject(CreateFontIndirectW(&lf));
}

// Draws `label` on a 16 x 16 bitmap filled with the mask colour and turns it into an icon
// through an image list that keys that colour out.
Icon DrawTextIcon(const TTrayIconLabel& label) {
    gdi::WindowDc screen(nullptr);
    MemoryDc dc(CreateCompatibleDC(screen.Get()));
    GdiObject bitmap(CreateCompatibleBitmap(screen.Get(), kIconSize, kIconSize));
    const GdiObject font = MakeFont(label.Font, screen.Get());
    if (!dc || !bitmap || !font) return Icon();
    const TColor textColor = gdi::ResolveSystemColor(label.Font.Color);
    const TColor mask = TrayMaskColor(textColor);
    {
        gdi::SelectScope selectBitmap(dc.Get(), bitmap.Get());
        gdi::SelectScope selectFont(dc.Get(), font.Get());
        GdiObject brush(CreateSolidBrush(mask));
        const RECT all{0, 0, kIconSize, kIconSize};
        FillRect(dc.Get(), &all, static_cast<HBRUSH>(brush.Get()));
        const std::wstring text = ToWide(label.Text);
        SIZE size{};
        GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
        const Point pos = TrayTextPosition(label.Alignment, size.cx, size.cy, label.PosX, label.PosY);
        SetBkMode(dc.Get(), TRANSPARENT);
        SetTextColor(dc.Get(), textColor);
        TextOutW(dc.Get(), pos.X, pos.Y, text.c_str(), static_cast<int>(text.size()));
    }
    const ImageList list(ImageList_Create(kIconSize, kIconSize, ILC_COLOR24 | ILC_MASK, 1, 0));
    if (!list || ImageList_AddMasked(list.Get(), static_cast<HBITMAP>(bitmap.Get()), mask) < 0) return Icon();
    return Icon(ImageList_GetIcon(list.Get(), 0, ILD_TRANSPARENT));
}

class TrayWindow final : public ITrayIconHost, public Win32Window {
public:
    TrayWindow() : blank_(MakeBlankIcon()), taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {}
    ~TrayWindow() override {
        *alive_ = nullptr;
        if (appHook_ != 0) TApplicationWindow::Instance().UnhookMainWindow(appHook_);
        Destroy();
    }

    bool Create() { return CreateFor(kClassName, WS_EX_TOOLWINDOW, WS_POPUP, L"", 0, 0, 0, 0, nullptr) != nullptr; }

    bool NotifyIcon(TTrayNotify operation, const TTrayIconRecord& record) override {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = Handle();
        data.uID = kTrayIconId;
        data.uFlags = (record.Flags & tifMessage ? NIF_MESSAGE : 0) | (record.Flags & tifIcon ? NIF_ICON : 0) |
                      (record.Flags & tifTip ? NIF_TIP : 0);
        data.uCallbackMessage = kTrayCallbackMessage;
        data.hIcon = AsIcon(record.Icon);
        // At most 63 bytes of UTF-8 are never more than 63 UTF-16 units: the field holds 128.
        wcsncpy(data.szTip, ToWide(record.Tip).c_str(), std::size(data.szTip) - 1);
        const DWORD message = operation == TTrayNotify::Add      ? NIM_ADD
                              : operation == TTrayNotify::Modify ? NIM_MODIFY
                                                                 : NIM_DELETE;
        return Shell_NotifyIconW(message, &data) != FALSE;
    }

    void ShowApplicationButton(bool show) override {
        const HWND app = TApplicationWindow::Instance().Handle();
        // Asked every 250 ms: touch the window only when it must change.
        if (app != nullptr && (IsWindowVisible(app) != FALSE) != show) ShowWindow(app, show ? SW_SHOWNA : SW_HIDE);
    }

    void ShowSystemTaskbar(bool show) override {
        const HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
        if (taskbar != nullptr && (IsWindowVisible(taskbar) != FALSE) != show) {
            ShowWindow(taskbar, show ? SW_SHOWNORMAL : SW_HIDE);
        }
    }

    void RestoreApplication() override { TApplicationWindow::Instance().Restore(); }

    void ForegroundApplication() override {
        if (const HWND app = TApplicationWindow::Instance().Handle()) SetForegroundWindow(app);
    }

    bool ApplicationMinimized() override { return TApplicationWindow::Instance().Minimized(); }

    void PopupAtCursor(ITrayPopupMenu& menu, TTrayIcon& sender) override {
        // Without the foreground, the menu would not close when the user clicks elsewhere.
        SetForegroundWindow(Handle());
        POINT at{};
        GetCursorPos(&at);
        menu.Popup(at.x, at.y, sender);
        const HWND app = TApplicationWindow::Instance().Handle();
        PostMessageW(app != nullptr ? app : Handle(), WM_NULL, 0, 0);
    }

    void RunTimer(TTrayTimer timer, int milliseconds) override {
        Win32Window::RunTimer(timer == TTrayTimer::Blink ? kBlinkTimer : kTaskEntryTimer, milliseconds, "tray timer");
    }

    TIconHandle ApplicationIcon() override {
        if (HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON")) return AsHandle(icon);
        return AsHandle(LoadIconW(nullptr, IDI_APPLICATION));
    }

    TIconHandle BlankIcon() override { return AsHandle(blank_.Get()); }

    TIconHandle RenderTextIcon(const TTrayIconLabel& label) override {
        // The shell keeps its own copy of the icon it was handed, so the old one may go now.
        textIcon_ = DrawTextIcon(label);
        return AsHandle(textIcon_.Get());
    }

    void Attach(TTrayIcon* owner) {
        owner_ = owner;
        *alive_ = owner;
    }
    // Tells the icon whenever the application window is shown or hidden, posted so that the rule
    // runs after the change, not inside it.
    void WatchApplicationWindow() {
        appHook_ = TApplicationWindow::Instance().HookMainWindow([this](TMessage& message) {
            if (message.Msg == WM_WINDOWPOSCHANGED && message.LParam != 0 &&
                (reinterpret_cast<const WINDOWPOS*>(message.LParam)->flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) != 0) {
                PostMessageW(Handle(), kAppButtonChangedMessage, 0, 0);
            }
            return false;
        });
    }
    // Null once the icon has gone: what the application window's handlers hold.
    std::shared_ptr<TTrayIcon*> Alive() const { return alive_; }

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (owner_ != nullptr && msg == taskbarCreated_ && msg != 0) {
            owner_->ShellRestarted();
            return 0;
        }
        switch (msg) {
            case kTrayCallbackMessage: OnCallback(static_cast<std::uint32_t>(LOWORD(lp))); return 0;
            case kAppButtonChangedMessage:
                if (owner_ != nullptr) owner_->ApplicationButtonChanged();
                return 0;
            case WM_TIMER: OnTimer(wp); return 0;
            // The shell's window must outlive the session's end messages: only its owner ends it.
            case WM_DESTROY:
            case WM_CLOSE:
            case WM_QUERYENDSESSION:
            case WM_QUIT:
            case WM_ENDSESSION:
            case WM_NCDESTROY: return 1;
            default: return Default(msg, wp, lp);
        }
    }
    void OnCallback(std::uint32_t mouseMessage) {
        if (owner_ != nullptr) owner_->HandleCallback(mouseMessage);
    }
    void OnTimer(WPARAM id) {
        if (owner_ == nullptr) return;
        if (id == kTaskEntryTimer) owner_->TaskEntryTick();
        if (id == kBlinkTimer) owner_->BlinkTick();
    }

    TTrayIcon* owner_ = nullptr;
    std::shared_ptr<TTrayIcon*> alive_ = std::make_shared<TTrayIcon*>(nullptr);
    Icon blank_;
    Icon textIcon_;
    UINT taskbarCreated_;
    int appHook_ = 0;
};

}  // namespace

std::unique_ptr<TTrayIcon> CreateTrayIcon(TpkComponent* owner) {
    auto host = std::make_unique<TrayWindow>();
    TrayWindow* window = host.get();
    if (!window->Create()) return nullptr;
    auto icon = std::make_unique<TTrayIcon>(std::move(host), owner);
    window->Attach(icon.get());
    if (!icon->IsDesigning()) {
        // The handlers may outlive the icon in the application window: they reach it through a
        // pointer its window clears when it goes.
        auto& app = TApplicationWindow::Instance();
        app.OnMinimize = [alive = window->Alive()] {
            if (*alive != nullptr) (*alive)->ApplicationMinimized();
        };
        app.OnRestore = [alive = window->Alive()] {
            if (*alive != nullptr) (*alive)->ApplicationRestored();
        };
        window->WatchApplicationWindow();
    }
    return icon;
}

HWND TrayWindowHandle(const TTrayIcon& icon) {
    const auto* window = dynamic_cast<const TrayWindow*>(&icon.Host());
    return window != nullptr ? window->Handle() : nullptr;
}

void TMenuTrayPopup::Popup(int x, int y, TTrayIcon& sender) {
    if (menu_ == nullptr) return;
    const int command = static_cast<int>(TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0,
                                                        TrayWindowHandle(sender), nullptr));
    if (command != 0 && OnCommand) OnCommand(command);
}

}  // namespace tw
