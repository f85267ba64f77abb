#include "base/SimpleMessageHook_win32.h"

#include "base/ApplicationWindow_win32.h"
#include "base/BoundWindowProc_win32.h"
#include "base/Unhandled.h"

#include <algorithm>
#include <vector>

namespace tw {
namespace {

constexpr wchar_t kClassName[] = L"TpkSimpleMessageHook";

// The hook being created: the class's first message finds its object here.
TpkSimpleMessageHook* g_creating = nullptr;
// The live hooks; the class stays registered while there is one.
std::vector<TpkSimpleMessageHook*> g_hooks;

}  // namespace

TpkSimpleMessageHook::TpkSimpleMessageHook(TpkComponent& owner) : owner_(owner) {
    proc_ = BindWindowProc([this](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return WndProc(hwnd, msg, wp, lp); });
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (g_hooks.empty()) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = FirstMessage;
        wc.hInstance = instance;
        wc.lpszClassName = kClassName;
        RegisterClassW(&wc);
    }
    g_hooks.push_back(this);
    g_creating = this;
    CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, TApplicationWindow::Instance().Handle(), nullptr, instance,
                    nullptr);
    g_creating = nullptr;
}

TpkSimpleMessageHook::~TpkSimpleMessageHook() {
    if (window_ != nullptr) DestroyWindow(window_);
    std::erase(g_hooks, this);
    if (g_hooks.empty()) UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
    ReleaseWindowProc(proc_);
}

LRESULT CALLBACK TpkSimpleMessageHook::FirstMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    TpkSimpleMessageHook* self = g_creating;
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
    g_creating = nullptr;
    self->window_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->proc_));
    return self->WndProc(hwnd, msg, wp, lp);
}

LRESULT TpkSimpleMessageHook::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    TMessage message{msg, wp, lp, 0};
    try {
        owner_.HookMessage(message);
    } catch (...) {
        ReportUnhandled(std::current_exception());
    }
    if (msg == WM_NCDESTROY) window_ = nullptr;
    return message.Result != 0 ? message.Result : DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tw
