#pragma once
// A private window whose messages go to a component's HookMessage: the single-instance guard
// receives its requests there. The window belongs to the application window and shares one
// window class with every other such hook, registered while at least one exists.
#include "base/pkClasses.h"

#include <windows.h>

namespace tw {

class TpkSimpleMessageHook {
public:
    explicit TpkSimpleMessageHook(TpkComponent& owner);
    ~TpkSimpleMessageHook();
    TpkSimpleMessageHook(const TpkSimpleMessageHook&) = delete;
    TpkSimpleMessageHook& operator=(const TpkSimpleMessageHook&) = delete;

    HWND Handle() const { return window_; }

private:
    static LRESULT CALLBACK FirstMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    TpkComponent& owner_;
    WNDPROC proc_ = nullptr;
    HWND window_ = nullptr;
};

}  // namespace tw
