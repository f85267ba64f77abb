#pragma once
// Form hooks: a non-visual component that sees every message of its owner's window, before and
// after the window's own procedure, by subclassing that window. Several hooks may sit on one
// window. The process-wide hook list keeps their chain (the most recently added hook sees each
// message first, the window's base procedure last) and rebuilds it when the window is destroyed
// and created again. An application hook also subclasses the program's hidden application window.
//
// The window system is reached through THookPlatform: on Windows it is real subclassing
// (FormHooks_win32.cpp); natively tests install a model of windows and procedures.
#include "base/pkClasses.h"

#include <cstdint>
#include <functional>

namespace tw {

using TWindowId = std::uintptr_t;      // a window handle; 0 is none
using TWindowProcId = std::uintptr_t;  // a window procedure; 0 is none

// Message numbers the hooks act on (the platform's values).
inline constexpr std::uint32_t kWmDestroy = 0x0002;
inline constexpr std::uint32_t kWmQueryEndSession = 0x0011;
inline constexpr std::uint32_t kWmShowWindow = 0x0018;
inline constexpr std::uint32_t kWmTimer = 0x0113;
// Posted to the hook list's window when a hooked window is destroyed; LParam is that window.
inline constexpr std::uint32_t kRehookMessage = 1325;
// Sent to a hooked window when one of its hooks changed always-on-top; WParam is the new value.
inline constexpr std::uint32_t kAlwaysOnTopMessage = 14946;

// Where SetZOrder puts a window.
enum class TZOrder { Top, Bottom, Topmost, NoTopmost };

// Raised when a component is given an owner it cannot work with.
class EpkInvalidOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A control with a window: what a form hook may be owned by.
class TpkWinControl : public TpkComponent {
public:
    using TpkComponent::TpkComponent;
    // The control's window, created now when it has none (0 when it cannot be created).
    virtual TWindowId WindowHandle() = 0;
    virtual bool IsForm() const { return false; }
    // Whether a control the window draws itself (no window of its own) lies under the screen
    // point: a click there is the control's, not the window's.
    virtual bool GraphicControlAt(int screenX, int screenY) {
        (void)screenX;
        (void)screenY;
        return false;
    }
};

class TpkFormHookComponent;
class TpkCustomAppHookComponent;

// The window system as the hooks use it. Procedures bound to a hook call its FormWndProc (or an
// application hook's AppWndProc) and answer the message's Result.
class THookPlatform {
public:
    virtual ~THookPlatform() = default;

    virtual TWindowProcId GetWindowProc(TWindowId window) = 0;
    virtual void SetWindowProc(TWindowId window, TWindowProcId proc) = 0;
    // Runs `proc` for `window` and answers its result.
    virtual std::intptr_t CallProc(TWindowProcId proc, TWindowId window, TMessage& message) = 0;
    virtual TWindowProcId BindFormProc(TpkFormHookComponent& hook) = 0;
    virtual TWindowProcId BindAppProc(TpkCustomAppHookComponent& hook) = 0;
    virtual void ReleaseProc(TWindowProcId proc) = 0;

    // Hidden windows of the hooks' own; `proc` answers each message through its Result. Raises
    // when the system refuses one.
    virtual TWindowId CreateUtilityWindow(std::function<void(TMessage&)> proc) = 0;
    virtual void DestroyUtilityWindow(TWindowId window) = 0;
    // Default processing of the window system.
    virtual std::intptr_t DefaultAnswer(TWindowId window, const TMessage& message) = 0;
    // False when the system refuses (no timer left).
    virtual bool StartTimer(TWindowId window, std::uintptr_t id, unsigned milliseconds) = 0;
    virtual void StopTimer(TWindowId window, std::uintptr_t id) = 0;

    virtual void PostTo(TWindowId window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    virtual std::intptr_t SendTo(TWindowId window, std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) = 0;
    // The program's hidden application window (0 when there is none).
    virtual TWindowId ApplicationWindow() = 0;

    virtual std::uint32_t GetStyle(TWindowId window, bool extended) = 0;
    virtual void SetStyle(TWindowId window, bool extended, std::uint32_t style) = 0;
    virtual void SetZOrder(TWindowId window, TZOrder where) = 0;
    // Makes the window recompute its frame after a style change.
    virtual void RefreshFrame(TWindowId window) = 0;
    virtual std::uintptr_t SystemMenu(TWindowId window) = 0;
};

// The platform the hooks use: the installed one, else (on Windows) the real window system.
// Natively there is no default; using a hook without an installed platform raises.
THookPlatform& HookPlatform();
// Installs `platform` (tests); null restores the default. Only while no hook exists.
void SetHookPlatform(THookPlatform* platform);

// Whether the process-wide hook list exists (it lives while at least one form hook does), and its
// window, which receives the rehook requests.
bool HookListExists();
TWindowId HookListWindow();

// A component that subclasses the window of the windowed control owning it.
class TpkFormHookComponent : public TpkComponent {
public:
    // Raises EpkInvalidOperation "Owner must be TWinControl or its descendant!" for any other owner.
    // What hooking raises (no window procedure left to bind) reaches the caller too, and leaves
    // the hook list as it was.
    explicit TpkFormHookComponent(TpkComponent* owner);
    ~TpkFormHookComponent() override;
    const char* ClassName() const override { return "TpkFormHookComponent"; }

    // Unhooks from the current control and hooks the new one.
    void SetHookedControl(TpkComponent* control) override;
    // The hooked control when it is a form, else null.
    TpkWinControl* OwnerForm() const;
    // Whether one of the hooked control's drawn controls lies under the screen point.
    bool GraphicControlAt(int screenX, int screenY) const;

    TWindowId HookedWindow() const { return hookedWindow_; }
    bool IsHooked() const { return hooked_; }

    // Operations on the hooked window.
    void RefreshFrame();
    void SetZOrder(TZOrder where);
    std::uint32_t Style() const;
    void SetStyle(std::uint32_t style);
    std::uint32_t ExStyle() const;
    void SetExStyle(std::uint32_t style);
    std::uintptr_t GetSystemMenuHandle() const;

    // The topmost bit of the window (the stored flag while designing). Setting a new value moves
    // the window in or out of the topmost band and tells every hook on the window; any value set
    // is stored, and put back on the window when it is made again.
    bool AlwaysOnTop() const;
    void SetAlwaysOnTop(bool value);

    // The body of this hook's window procedure.
    std::intptr_t FormWndProc(TMessage& message);

protected:
    // Before the window's procedure; set `handled` to keep the message from it.
    virtual void BeforeFormMessage(TMessage& message, bool& handled) {
        (void)message;
        (void)handled;
    }
    // After it (only while this hook is still listed).
    virtual void AfterFormMessage(TMessage& message) { (void)message; }
    // After the window was created again and the hook put back; re-applies always-on-top.
    virtual void FormRehooked();

    THookPlatform& Platform() const { return platform_; }

private:
    friend class TpkHookList;

    THookPlatform& platform_;
    TWindowId hookedWindow_ = 0;
    TWindowProcId nextProc_ = 0;
    TWindowProcId ownProc_ = 0;
    bool hooked_ = false;
    bool alwaysOnTop_ = false;
};

// A form hook with a hidden utility window of its own (for timers).
class TpkHFormHookComponent : public TpkFormHookComponent {
public:
    explicit TpkHFormHookComponent(TpkComponent* owner);
    ~TpkHFormHookComponent() override;
    const char* ClassName() const override { return "TpkHFormHookComponent"; }

    TWindowId UtilityWindow() const { return utilityWindow_; }

protected:
    // The utility window's procedure: ends of session are agreed to, the rest goes to default
    // processing.
    virtual void UtilityWndProc(TMessage& message);

private:
    TWindowId utilityWindow_ = 0;
};

// A form hook that also subclasses the application window, from the form's first WM_SHOWWINDOW.
class TpkCustomAppHookComponent : public TpkHFormHookComponent {
public:
    explicit TpkCustomAppHookComponent(TpkComponent* owner);
    ~TpkCustomAppHookComponent() override;
    const char* ClassName() const override { return "TpkCustomAppHookComponent"; }

    void HookApplication();
    void UnhookApplication();
    bool ApplicationHooked() const { return appHooked_; }

    // The body of the application window's procedure while hooked.
    std::intptr_t AppWndProc(TMessage& message);

protected:
    void BeforeFormMessage(TMessage& message, bool& handled) override;
    virtual void BeforeAppMessage(TMessage& message, bool& handled) {
        (void)message;
        (void)handled;
    }
    virtual void AfterAppMessage(TMessage& message) { (void)message; }

private:
    bool appHooked_ = false;
    TWindowId appWindow_ = 0;
    TWindowProcId appPrevProc_ = 0;
    TWindowProcId appOwnProc_ = 0;
};

}  // namespace tw
