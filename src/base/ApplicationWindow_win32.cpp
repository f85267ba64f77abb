#include "base/ApplicationWindow_win32.h"

#include <algorithm>

namespace tw {

TApplicationWindow& TApplicationWindow::Instance() {
    static TApplicationWindow window;
    return window;
}

bool TApplicationWindow::Create(const std::wstring& title) {
    if (Handle() != nullptr) return true;
    // A zero-sized pop-up: invisible on screen, yet visible to the shell, which gives it the
    // program's taskbar button while it is shown.
    const HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
    return CreateFor(L"TidewireApplication", 0, WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                     title.c_str(), GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                     nullptr, nullptr, 0, LoadCursorW(nullptr, IDC_ARROW), icon) != nullptr;
}

int TApplicationWindow::HookMainWindow(THook hook) {
    hooks_.emplace_back(nextToken_, std::move(hook));
    return nextToken_++;
}

void TApplicationWindow::UnhookMainWindow(int token) {
    std::erase_if(hooks_, [token](const auto& entry) { return entry.first == token; });
}

void TApplicationWindow::Minimize() {
    if (minimized_) return;
    if (mainForm_ != nullptr) ShowWindow(mainForm_, SW_HIDE);
    minimized_ = true;
    if (OnMinimize) OnMinimize();
}

void TApplicationWindow::Restore() {
    if (!minimized_) return;
    if (mainForm_ != nullptr) ShowWindow(mainForm_, SW_SHOW);
    minimized_ = false;
    if (OnRestore) OnRestore();
}

LRESULT TApplicationWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    TMessage message{msg, wp, lp, 0};
    // A copy: a hook may remove itself.
    const auto hooks = hooks_;
    for (const auto& [token, hook] : hooks) {
        if (hook(message)) return message.Result;
    }
    if (msg == WM_SYSCOMMAND) {
        switch (wp & 0xFFF0) {
        case SC_MINIMIZE: Minimize(); return 0;
        case SC_RESTORE: Restore(); return 0;
        default: break;
        }
    }
    // The taskbar button's window takes no focus of its own: hand it to the form.
    if (msg == WM_ACTIVATE && LOWORD(wp) != WA_INACTIVE && mainForm_ != nullptr && IsWindowVisible(mainForm_)) {
        SetFocus(mainForm_);
    }
    return Default(msg, wp, lp);
}

}  // namespace tw
