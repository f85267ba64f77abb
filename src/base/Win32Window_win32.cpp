#include "base/Win32Window_win32.h"

#include "base/Unhandled.h"

#include <map>
#include <mutex>
#include <string>
#include <system_error>

namespace tw {
namespace {

// How many objects hold a window of each of our classes; a class is registered while one does.
// Never destroyed: static window objects let go of their classes at exit, after it would be.
struct ClassUses {
    std::mutex lock;
    std::map<std::wstring, int> holders;
};

ClassUses& Uses() {
    static auto* uses = new ClassUses;
    return *uses;
}

// A class of that name left registered (its last window was refused destruction) is ours to
// reuse only when it runs our procedure.
bool RegisteredAsOurs(const WNDCLASSEXW& wc) {
    if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    WNDCLASSEXW found{};
    found.cbSize = sizeof found;
    const bool ours = GetClassInfoExW(wc.hInstance, wc.lpszClassName, &found) && found.lpfnWndProc == wc.lpfnWndProc;
    if (!ours) SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return ours;
}

bool AcquireClass(const WNDCLASSEXW& wc) {
    ClassUses& uses = Uses();
    const std::lock_guard guard(uses.lock);
    int& holders = uses.holders[wc.lpszClassName];
    if (holders == 0 && RegisterClassExW(&wc) == 0 && !RegisteredAsOurs(wc)) {
        const DWORD error = GetLastError();
        uses.holders.erase(wc.lpszClassName);
        SetLastError(error);
        return false;
    }
    ++holders;
    return true;
}

void ReleaseClassName(const std::wstring& name) {
    ClassUses& uses = Uses();
    const std::lock_guard guard(uses.lock);
    const auto it = uses.holders.find(name);
    if (it == uses.holders.end() || --it->second > 0) return;
    uses.holders.erase(it);
    // Refused while a window of the class still exists; the next CreateFor takes it up again.
    const DWORD error = GetLastError();
    UnregisterClassW(name.c_str(), GetModuleHandleW(nullptr));
    SetLastError(error);
}

}  // namespace

Win32Window::~Win32Window() { Destroy(); }

void Win32Window::Destroy() {
    if (hwnd_ != nullptr && kind_ == Kind::Dialog) {
        EndDialog(hwnd_, IDCANCEL);  // the dialog manager destroys it as its loop ends
        return;
    }
    if (hwnd_ != nullptr) {
        const HWND hwnd = hwnd_;
        DestroyWindow(hwnd);
        if (hwnd_ != nullptr) {  // refused (another thread's window): detach anyway
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
        }
    }
    ReleaseClass();
}

void Win32Window::ReleaseClass() {
    if (className_.empty()) return;
    ReleaseClassName(className_);
    className_.clear();
}

HWND Win32Window::CreateFor(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* title, int x, int y,
                            int width, int height, HWND parent, HMENU menu, UINT classStyle, HCURSOR cursor,
                            HICON icon) {
    if (hwnd_ != nullptr) {
        SetLastError(ERROR_INVALID_OPERATION);
        return nullptr;
    }
    ReleaseClass();  // of a window that went with its parent
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hIcon = icon;
    wc.lpszClassName = className;
    if (!AcquireClass(wc)) return nullptr;
    className_ = className;
    kind_ = Kind::Window;
    const HWND hwnd =
        CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menu, instance, this);
    if (hwnd == nullptr) {
        const DWORD error = GetLastError();
        ReleaseClass();
        SetLastError(error);
    }
    return hwnd;
}

INT_PTR Win32Window::RunModalDialog(const DLGTEMPLATE* dialogTemplate, HWND owner) {
    if (hwnd_ != nullptr) {
        SetLastError(ERROR_INVALID_OPERATION);
        return -1;
    }
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate, owner, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
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

LRESULT Win32Window::Default(UINT msg, WPARAM wp, LPARAM lp) const {
    return DefaultAnswer(kind_, hwnd_, msg, wp, lp);
}

LRESULT Win32Window::DefaultAnswer(Kind kind, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return kind == Kind::Dialog ? FALSE : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Win32Window::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32Window* attaching = nullptr;
    if (msg == WM_NCCREATE) attaching = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    return Dispatch(Kind::Window, attaching, hwnd, msg, wp, lp);
}

INT_PTR CALLBACK Win32Window::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32Window* attaching = msg == WM_INITDIALOG ? reinterpret_cast<Win32Window*>(lp) : nullptr;
    return Dispatch(Kind::Dialog, attaching, hwnd, msg, wp, lp);
}

LRESULT Win32Window::Dispatch(Kind kind, Win32Window* attaching, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (attaching != nullptr) {
        attaching->hwnd_ = hwnd;
        attaching->kind_ = kind;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(attaching));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefaultAnswer(kind, hwnd, msg, wp, lp);  // before the attach, after WM_NCDESTROY
    const LRESULT result = CallReportingErrors([&] { return self->HandleMessage(msg, wp, lp); },
                                               [&] {
                                                   // A dialog its handler could not set up is not left half made.
                                                   if (kind == Kind::Dialog && msg == WM_INITDIALOG)
                                                       EndDialog(hwnd, IDCANCEL);
                                                   return DefaultAnswer(kind, hwnd, msg, wp, lp);
                                               });
    if (msg == WM_NCDESTROY) {  // the last message this HWND sends
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        CallReportingErrors([self] { self->OnWindowGone(); });
    }
    return result;
}

}  // namespace tw
