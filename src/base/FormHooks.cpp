#include "base/FormHooks.h"

#include "base/Unhandled.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace tw {

// The process-wide list of form hooks. It owns the chain of every hooked window: which procedure
// each hook passes messages on to, and which one the window runs first.
class TpkHookList {
public:
    explicit TpkHookList(THookPlatform& platform) : platform_(platform) {
        window_ = platform_.CreateUtilityWindow([this](TMessage& message) { WndProc(message); });
    }
    ~TpkHookList() { platform_.DestroyUtilityWindow(window_); }
    TpkHookList(const TpkHookList&) = delete;
    TpkHookList& operator=(const TpkHookList&) = delete;

    TWindowId Window() const { return window_; }
    bool Empty() const { return items_.empty(); }
    bool Contains(const TpkFormHookComponent* hook) const {
        return std::find(items_.begin(), items_.end(), hook) != items_.end();
    }

    // A hook that cannot be put on its window (no procedure left to bind) is taken out again,
    // so the list never keeps a component whose construction failed.
    void Add(TpkFormHookComponent* hook) {
        items_.push_back(hook);
        try {
            Hook(*hook);
        } catch (...) {
            Erase(*hook);
            Release(*hook);
            throw;
        }
    }

    // Takes `hook` off its window; `remove` also drops it from the list.
    void Unhook(TpkFormHookComponent& hook, bool remove) {
        const TWindowId window = hook.hookedWindow_;
        if (window == 0 || window == static_cast<TWindowId>(-1)) {
            if (remove) Erase(hook);
            return;
        }
        const TWindowProcId base = BaseProc(window);
        if (remove) Erase(hook);
        hook.hooked_ = false;
        Rechain(window, base);
        Release(hook);
    }

    // The procedure the window ran before any hook: what the first hook on it passes on to.
    TWindowProcId BaseProc(TWindowId window) const {
        for (const TpkFormHookComponent* hook : items_) {
            if (hook->hooked_ && hook->hookedWindow_ == window && hook->nextProc_ != 0) return hook->nextProc_;
        }
        return platform_.GetWindowProc(window);
    }

    void Hook(TpkFormHookComponent& hook) {
        if (hook.ownProc_ == 0) hook.ownProc_ = platform_.BindFormProc(hook);
        auto* control = dynamic_cast<TpkWinControl*>(hook.HookedControl());
        hook.hookedWindow_ = control != nullptr ? control->WindowHandle() : 0;
        if (hook.hookedWindow_ == 0) return;
        const TWindowProcId base = BaseProc(hook.hookedWindow_);
        hook.hooked_ = true;
        Rechain(hook.hookedWindow_, base);
    }

private:
    // In list order, each hook on `window` passes on to the one before it (the first to `base`);
    // the window runs the last one's procedure, so the latest hook sees each message first.
    void Rechain(TWindowId window, TWindowProcId base) {
        TpkFormHookComponent* previous = nullptr;
        for (TpkFormHookComponent* hook : items_) {
            if (!hook->hooked_ || hook->hookedWindow_ != window) continue;
            hook->nextProc_ = previous != nullptr ? previous->ownProc_ : base;
            previous = hook;
        }
        platform_.SetWindowProc(window, previous != nullptr ? previous->ownProc_ : base);
    }

    void Release(TpkFormHookComponent& hook) {
        if (hook.ownProc_ != 0) platform_.ReleaseProc(hook.ownProc_);
        hook.ownProc_ = 0;
        hook.nextProc_ = 0;
        hook.hooked_ = false;
    }

    void Erase(TpkFormHookComponent& hook) { std::erase(items_, &hook); }

    // A hooked window was destroyed: put its hooks on the window its control has now.
    void Rehook(TWindowId destroyed) {
        for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
            if ((*it)->hookedWindow_ == destroyed) Release(**it);
        }
        // Hooking may raise; a copy keeps the walk valid if a hook removes itself.
        const std::vector<TpkFormHookComponent*> hooks = items_;
        for (TpkFormHookComponent* hook : hooks) {
            if (!Contains(hook) || hook->hookedWindow_ != destroyed) continue;
            Hook(*hook);
            hook->FormRehooked();
        }
    }

    void WndProc(TMessage& message) {
        CallReportingErrors([&] {
            if (message.Msg == kWmQueryEndSession) {
                message.Result = 1;
            } else if (message.Msg == kRehookMessage) {
                Rehook(static_cast<TWindowId>(message.LParam));
            } else {
                message.Result = platform_.DefaultAnswer(window_, message);
            }
        });
    }

    THookPlatform& platform_;
    TWindowId window_ = 0;
    std::vector<TpkFormHookComponent*> items_;
};

namespace {

THookPlatform* g_installedPlatform = nullptr;
std::unique_ptr<TpkHookList> g_hookList;

}  // namespace

// The real window system (Windows) or a refusal (natively), defined beside each build.
THookPlatform& DefaultHookPlatform();

THookPlatform& HookPlatform() { return g_installedPlatform != nullptr ? *g_installedPlatform : DefaultHookPlatform(); }

void SetHookPlatform(THookPlatform* platform) { g_installedPlatform = platform; }

bool HookListExists() { return g_hookList != nullptr; }

TWindowId HookListWindow() { return g_hookList != nullptr ? g_hookList->Window() : 0; }

// ---------------------------------------------------------------------------------------------

namespace {

TpkComponent* RequireWinControl(TpkComponent* owner) {
    if (dynamic_cast<TpkWinControl*>(owner) == nullptr) {
        throw EpkInvalidOperation("Owner must be TWinControl or its descendant!");
    }
    return owner;
}

}  // namespace

TpkFormHookComponent::TpkFormHookComponent(TpkComponent* owner)
    : TpkComponent(RequireWinControl(owner)), platform_(HookPlatform()) {
    TpkComponent::SetHookedControl(owner);
    if (!g_hookList) g_hookList = std::make_unique<TpkHookList>(platform_);
    try {
        g_hookList->Add(this);
    } catch (...) {
        if (g_hookList->Empty()) g_hookList.reset();
        throw;
    }
}

TpkFormHookComponent::~TpkFormHookComponent() {
    Destroying();
    if (!g_hookList) return;
    g_hookList->Unhook(*this, true);
    if (g_hookList->Empty()) g_hookList.reset();
}

void TpkFormHookComponent::SetHookedControl(TpkComponent* control) {
    if (control == HookedControl()) return;
    if (g_hookList) g_hookList->Unhook(*this, false);
    TpkComponent::SetHookedControl(control);
    if (g_hookList && g_hookList->Contains(this)) g_hookList->Hook(*this);
}

TpkWinControl* TpkFormHookComponent::OwnerForm() const {
    auto* control = dynamic_cast<TpkWinControl*>(HookedControl());
    return control != nullptr && control->IsForm() ? control : nullptr;
}

bool TpkFormHookComponent::GraphicControlAt(int screenX, int screenY) const {
    auto* control = dynamic_cast<TpkWinControl*>(HookedControl());
    return control != nullptr && control->GraphicControlAt(screenX, screenY);
}

void TpkFormHookComponent::RefreshFrame() { platform_.RefreshFrame(hookedWindow_); }
void TpkFormHookComponent::SetZOrder(TZOrder where) { platform_.SetZOrder(hookedWindow_, where); }
std::uint32_t TpkFormHookComponent::Style() const { return platform_.GetStyle(hookedWindow_, false); }
void TpkFormHookComponent::SetStyle(std::uint32_t style) { platform_.SetStyle(hookedWindow_, false, style); }
std::uint32_t TpkFormHookComponent::ExStyle() const { return platform_.GetStyle(hookedWindow_, true); }
void TpkFormHookComponent::SetExStyle(std::uint32_t style) { platform_.SetStyle(hookedWindow_, true, style); }
std::uintptr_t TpkFormHookComponent::GetSystemMenuHandle() const { return platform_.SystemMenu(hookedWindow_); }

bool TpkFormHookComponent::AlwaysOnTop() const {
    constexpr std::uint32_t kTopmostExStyle = 0x8;
    if (IsDesigning()) return alwaysOnTop_;
    return (ExStyle() & kTopmostExStyle) != 0;
}

void TpkFormHookComponent::SetAlwaysOnTop(bool value) {
    const bool current = AlwaysOnTop();
    // Stored also when the window already has it (a form created topmost), for FormRehooked.
    alwaysOnTop_ = value;
    if (value == current || IsDesigning()) return;
    SetZOrder(value ? TZOrder::Topmost : TZOrder::NoTopmost);
    platform_.SendTo(hookedWindow_, kAlwaysOnTopMessage, value ? 1 : 0, 0);
}

void TpkFormHookComponent::FormRehooked() { SetAlwaysOnTop(alwaysOnTop_); }

std::intptr_t TpkFormHookComponent::FormWndProc(TMessage& message) {
    // The window's procedure may end this hook; after it only the list is asked about `this`.
    THookPlatform& platform = platform_;
    CallReportingErrors([&] {
        if (message.Msg == kWmDestroy && !IsDestroying() && g_hookList &&
            g_hookList->BaseProc(hookedWindow_) == nextProc_) {
            // Only the first hook on the window asks, so the chain is rebuilt once.
            platform.PostTo(g_hookList->Window(), kRehookMessage, 0, static_cast<std::intptr_t>(hookedWindow_));
        }
        if (message.Msg == kAlwaysOnTopMessage) {
            // Another hook moved the window: remember it, so a rehook puts back the same band.
            alwaysOnTop_ = message.WParam != 0;
            SetAlwaysOnTop(alwaysOnTop_);
        }
        bool handled = false;
        BeforeFormMessage(message, handled);
        if (!handled) message.Result = platform.CallProc(nextProc_, hookedWindow_, message);
        if (g_hookList && g_hookList->Contains(this)) AfterFormMessage(message);
    });
    return message.Result;
}

// ---------------------------------------------------------------------------------------------

TpkHFormHookComponent::TpkHFormHookComponent(TpkComponent* owner) : TpkFormHookComponent(owner) {
    utilityWindow_ =
        Platform().CreateUtilityWindow([this](TMessage& message) { CallReportingErrors([&] { UtilityWndProc(message); }); });
}

TpkHFormHookComponent::~TpkHFormHookComponent() {
    Destroying();
    Platform().DestroyUtilityWindow(utilityWindow_);
}

void TpkHFormHookComponent::UtilityWndProc(TMessage& message) {
    message.Result = message.Msg == kWmQueryEndSession ? 1 : Platform().DefaultAnswer(utilityWindow_, message);
}

// ---------------------------------------------------------------------------------------------

TpkCustomAppHookComponent::TpkCustomAppHookComponent(TpkComponent* owner) : TpkHFormHookComponent(owner) {}

TpkCustomAppHookComponent::~TpkCustomAppHookComponent() {
    Destroying();
    UnhookApplication();
}

void TpkCustomAppHookComponent::HookApplication() {
    if (appHooked_ || IsDesigning() || IsDestroying()) return;
    appWindow_ = Platform().ApplicationWindow();
    if (appWindow_ == 0) return;
    appPrevProc_ = Platform().GetWindowProc(appWindow_);
    appOwnProc_ = Platform().BindAppProc(*this);
    Platform().SetWindowProc(appWindow_, appOwnProc_);
    appHooked_ = true;
}

void TpkCustomAppHookComponent::UnhookApplication() {
    if (!appHooked_) return;
    Platform().SetWindowProc(appWindow_, appPrevProc_);
    Platform().ReleaseProc(appOwnProc_);
    appOwnProc_ = 0;
    appPrevProc_ = 0;
    appHooked_ = false;
}

void TpkCustomAppHookComponent::BeforeFormMessage(TMessage& message, bool& handled) {
    (void)handled;
    if (message.Msg == kWmShowWindow && !appHooked_ && !IsDesigning()) HookApplication();
}

std::intptr_t TpkCustomAppHookComponent::AppWndProc(TMessage& message) {
    CallReportingErrors([&] {
        message.Result = 1;
        bool handled = false;
        BeforeAppMessage(message, handled);
        if (!handled) message.Result = Platform().CallProc(appPrevProc_, appWindow_, message);
        if (!IsDestroying()) AfterAppMessage(message);
    });
    return message.Result;
}

}  // namespace tw
