#include "base/Win32Window_win32.h"

#include "base/Unhandled.h"

#include <string>
#include <system_error>

namespace tw {

Win32Window::~Win32Window() { Destroy(); }

void Win32Window::Destroy() {
    if (hwnd_ == nullptr) return;
    // The window may outlive a late message; from here on it reaches DefWindowProc only.
    HWND hwnd = hwnd_;
    DestroyWindow(hwnd);
    if (hwnd_ != nullptr) {  // destroyed on another thread's behalf or refused: detach anyway
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
    }
}

HWND Win32Window::CreateFor(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* title, int x, int y,
                            int width, int height, HWND parent, HMENU menu, UINT classStyle, HCURSOR cursor,
                            HICON icon) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hIcon = icon;
    wc.lpszClassName = className;
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    return CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menu, instance, this);
}

void Win32Window::RunTimer(UINT_PTR id, int milliseconds, const char* what) {
    if (hwnd_ == nullptr) return;
    // SetTimer would take 0 as the shortest period, not as "never".
    if (milliseconds <= 0) {
        KillTimer(hwnd_, id);
        return;
    }
    if (SetTimer(hwnd_, id, static_cast<UINT>(milliseconds), nullptr) == 0) {
        const DWORD error = GetLastError();
        throw std::system_error(static_cast<int>(error), std::system_category(), std::string(what) + " cannot run");
    }
}

LRESULT Win32Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

LRESULT CALLBACK Win32Window::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        if (self != nullptr) {
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);  // before WM_NCCREATE, after WM_NCDESTROY
    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wp, lp);
    } catch (...) {
        ReportUnhandled(std::current_exception());  // never unwind through user32
        result = DefWindowProcW(hwnd, msg, wp, lp);
    }
    if (msg == WM_NCDESTROY) {  // the last message this HWND sends
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnWindowGone();
    }
    return result;
}

}  // namespace tw
