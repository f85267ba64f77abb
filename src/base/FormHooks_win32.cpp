// The form hooks on the real window system: subclassing through GWLP_WNDPROC with procedures
// bound to the hooks, hidden utility windows of our own class.
#include "base/FormHooks.h"

#include "base/ApplicationWindow_win32.h"
#include "base/BoundWindowProc_win32.h"
#include "base/Win32Window_win32.h"

#include <map>
#include <memory>
#include <system_error>

namespace tw {
namespace {

HWND ToHwnd(TWindowId window) { return reinterpret_cast<HWND>(window); }
TWindowId ToId(HWND hwnd) { return reinterpret_cast<TWindowId>(hwnd); }

// A hidden top-level window (so that it also hears the end of the session) answering through a
// function.
class UtilityWindow : public Win32Window {
public:
    explicit UtilityWindow(std::function<void(TMessage&)> proc) : proc_(std::move(proc)) {
        if (!CreateFor(L"TidewireUtilityWindow", WS_EX_TOOLWINDOW, WS_POPUP, L"", 0, 0, 0, 0, nullptr)) {
            const DWORD error = GetLastError();
            throw std::system_error(static_cast<int>(error), std::system_category(),
                                    "The hooks' utility window cannot be made");
        }
        created_ = true;
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        // Until creation returns, the owner does not know the window's handle yet.
        if (!created_) return Default(msg, wp, lp);
        TMessage message{msg, wp, lp, 0};
        proc_(message);
        return message.Result;
    }

private:
    std::function<void(TMessage&)> proc_;
    bool created_ = false;
};

class WindowsHookPlatform : public THookPlatform {
public:
    TWindowProcId GetWindowProc(TWindowId window) override {
        return static_cast<TWindowProcId>(GetWindowLongPtrW(ToHwnd(window), GWLP_WNDPROC));
    }
    void SetWindowProc(TWindowId window, TWindowProcId proc) override {
        SetWindowLongPtrW(ToHwnd(window), GWLP_WNDPROC, static_cast<LONG_PTR>(proc));
    }
    std::intptr_t CallProc(TWindowProcId proc, TWindowId window, TMessage& message) override {
        return CallWindowProcW(reinterpret_cast<WNDPROC>(proc), ToHwnd(window), message.Msg, message.WParam,
                               message.LParam);
    }
    TWindowProcId BindFormProc(TpkFormHookComponent& hook) override {
        return Bind([&hook](TMessage& message) { return hook.FormWndProc(message); });
    }
    TWindowProcId BindAppProc(TpkCustomAppHookComponent& hook) override {
        return Bind([&hook](TMessage& message) { return hook.AppWndProc(message); });
    }
    void ReleaseProc(TWindowProcId proc) override { ReleaseWindowProc(reinterpret_cast<WNDPROC>(proc)); }

    TWindowId CreateUtilityWindow(std::function<void(TMessage&)> proc) override {
        auto window = std::make_unique<UtilityWindow>(std::move(proc));
        const TWindowId id = ToId(window->Handle());
        utilityWindows_[id] = std::move(window);
        return id;
    }
    void DestroyUtilityWindow(TWindowId window) override { utilityWindows_.erase(window); }
    std::intptr_t DefaultAnswer(TWindowId window, const TMessage& message) override {
        return DefWindowProcW(ToHwnd(window), message.Msg, message.WParam, message.LParam);
    }
    bool StartTimer(TWindowId window, std::uintptr_t id, unsigned milliseconds) override {
        return SetTimer(ToHwnd(window), id, milliseconds, nullptr) != 0;
    }
    void StopTimer(TWindowId window, std::uintptr_t id) override { KillTimer(ToHwnd(window), id); }
    void PostTo(TWindowId window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        PostMessageW(ToHwnd(window), msg, wParam, lParam);
    }
    std::intptr_t SendTo(TWindowId window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        return SendMessageW(ToHwnd(window), msg, wParam, lParam);
    }
    TWindowId ApplicationWindow() override { return ToId(TApplicationWindow::Instance().Handle()); }
    std::uint32_t GetStyle(TWindowId window, bool extended) override {
        return static_cast<std::uint32_t>(GetWindowLongW(ToHwnd(window), extended ? GWL_EXSTYLE : GWL_STYLE));
    }
    void SetStyle(TWindowId window, bool extended, std::uint32_t style) override {
        SetWindowLongW(ToHwnd(window), extended ? GWL_EXSTYLE : GWL_STYLE, static_cast<LONG>(style));
    }
    void SetZOrder(TWindowId window, TZOrder where) override {
        static const HWND kAfter[] = {HWND_TOP, HWND_BOTTOM, HWND_TOPMOST, HWND_NOTOPMOST};
        SetWindowPos(ToHwnd(window), kAfter[static_cast<int>(where)], 0, 0, 0, 0,
                     SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    }
    void RefreshFrame(TWindowId window) override {
        SetWindowPos(ToHwnd(window), nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    std::uintptr_t SystemMenu(TWindowId window) override {
        return reinterpret_cast<std::uintptr_t>(GetSystemMenu(ToHwnd(window), FALSE));
    }

private:
    static TWindowProcId Bind(std::function<std::intptr_t(TMessage&)> body) {
        return reinterpret_cast<TWindowProcId>(
            BindWindowProc([body = std::move(body)](HWND, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
                TMessage message{msg, wp, lp, 0};
                return body(message);
            }));
    }

    std::map<TWindowId, std::unique_ptr<UtilityWindow>> utilityWindows_;
};

}  // namespace

THookPlatform& DefaultHookPlatform() {
    static WindowsHookPlatform platform;
    return platform;
}

}  // namespace tw
