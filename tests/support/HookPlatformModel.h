#pragma once
// A model of the window system for the form hooks: windows with a current procedure, procedures
// that are either a window's own code or a hook's bound procedure, posted messages that wait
// until delivered, timers, and a log of z-order moves and sent messages. Calling a released or
// unknown procedure fails the test, so a broken chain shows at once.
#include "base/FormHooks.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tw::test {

class HookPlatformModel : public THookPlatform {
public:
    using BaseProc = std::function<std::intptr_t(TWindowId, TMessage&)>;
    struct Posted {
        TWindowId window;
        std::uint32_t msg;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    HookPlatformModel() { SetHookPlatform(this); }
    ~HookPlatformModel() override { SetHookPlatform(nullptr); }

    // A window whose own procedure is `base` (by default: answers 0).
    TWindowId CreateWindowWith(BaseProc base = {}) {
        const TWindowId id = nextWindow_++;
        windows_[id].proc = AddProc(Proc{Proc::Base, nullptr, nullptr, base ? std::move(base) : BaseProc(Zero)});
        return id;
    }
    // Destroys a window as the system does: WM_DESTROY through its current procedure first.
    void DestroyWindowNow(TWindowId window) {
        Dispatch(window, kWmDestroy);
        windows_.erase(window);
    }
    bool Alive(TWindowId window) const { return windows_.count(window) != 0; }

    // Runs `window`'s current procedure, as a sent message.
    std::intptr_t Dispatch(TWindowId window, std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        TMessage message{msg, wParam, lParam, 0};
        const auto it = windows_.find(window);
        if (it == windows_.end()) return 0;
        if (it->second.utility) {
            it->second.utility(message);
            return message.Result;
        }
        return CallProc(it->second.proc, window, message);
    }
    // Delivers the posted messages, in order, until none is left.
    int DeliverPosted() {
        int count = 0;
        while (!posted_.empty()) {
            const Posted p = posted_.front();
            posted_.pop_front();
            Dispatch(p.window, p.msg, p.wParam, p.lParam);
            ++count;
        }
        return count;
    }
    const auto& PostedMessages() const { return posted_; }

    struct Sent {
        TWindowId window;
        std::uint32_t msg;
        std::uintptr_t wParam;
    };
    std::vector<Sent> sent;
    std::vector<std::pair<TWindowId, TZOrder>> zOrders;
    std::map<std::pair<TWindowId, std::uintptr_t>, unsigned> timers;
    bool refuseTimers = false;
    // How many hook procedures may be bound at once; binding one more raises, as the system's
    // fixed set of procedures does when every one is in use.
    int procSlots = 1 << 30;
    int liveProcs() const {
        int n = 0;
        for (const auto& [id, p] : procs_) n += p.kind != Proc::Base ? 1 : 0;
        return n;
    }

    // THookPlatform
    TWindowProcId GetWindowProc(TWindowId window) override {
        const auto it = windows_.find(window);
        return it == windows_.end() ? 0 : it->second.proc;
    }
    void SetWindowProc(TWindowId window, TWindowProcId proc) override {
        const auto it = windows_.find(window);
        if (it != windows_.end()) it->second.proc = proc;
    }
    std::intptr_t CallProc(TWindowProcId proc, TWindowId window, TMessage& message) override {
        const auto it = procs_.find(proc);
        if (it == procs_.end()) {
            ADD_FAILURE() << "message " << message.Msg << " reached procedure " << proc << ", which does not exist";
            return 0;
        }
        const Proc p = it->second;  // the call may release it
        switch (p.kind) {
        case Proc::Base: return p.base(window, message);
        case Proc::Form: return p.form->FormWndProc(message);
        case Proc::App: return p.app->AppWndProc(message);
        }
        return 0;
    }
    TWindowProcId BindFormProc(TpkFormHookComponent& hook) override {
        return AddProc(Bound(Proc{Proc::Form, &hook, nullptr, {}}));
    }
    TWindowProcId BindAppProc(TpkCustomAppHookComponent& hook) override {
        return AddProc(Bound(Proc{Proc::App, nullptr, &hook, {}}));
    }
    void ReleaseProc(TWindowProcId proc) override { procs_.erase(proc); }
    TWindowId CreateUtilityWindow(std::function<void(TMessage&)> proc) override {
        const TWindowId id = CreateWindowWith();
        windows_[id].utility = std::move(proc);
        return id;
    }
    void DestroyUtilityWindow(TWindowId window) override { windows_.erase(window); }
    std::intptr_t DefaultAnswer(TWindowId, const TMessage&) override { return 0; }
    bool StartTimer(TWindowId window, std::uintptr_t id, unsigned milliseconds) override {
        if (refuseTimers) return false;
        timers[{window, id}] = milliseconds;
        return true;
    }
    void StopTimer(TWindowId window, std::uintptr_t id) override { timers.erase({window, id}); }
    void PostTo(TWindowId window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        posted_.push_back(Posted{window, msg, wParam, lParam});
    }
    std::intptr_t SendTo(TWindowId window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        sent.push_back(Sent{window, msg, wParam});
        return Dispatch(window, msg, wParam, lParam);
    }
    TWindowId ApplicationWindow() override {
        if (appWindow_ == 0) appWindow_ = CreateWindowWith();
        return appWindow_;
    }
    std::uint32_t GetStyle(TWindowId window, bool extended) override {
        const auto it = windows_.find(window);
        if (it == windows_.end()) return 0;
        return extended ? it->second.exStyle : it->second.style;
    }
    void SetStyle(TWindowId window, bool extended, std::uint32_t style) override {
        const auto it = windows_.find(window);
        if (it == windows_.end()) return;
        (extended ? it->second.exStyle : it->second.style) = style;
    }
    void SetZOrder(TWindowId window, TZOrder where) override {
        zOrders.emplace_back(window, where);
        constexpr std::uint32_t kTopmost = 0x8;
        if (where == TZOrder::Topmost) SetStyle(window, true, GetStyle(window, true) | kTopmost);
        if (where == TZOrder::NoTopmost || where == TZOrder::Bottom) {
            SetStyle(window, true, GetStyle(window, true) & ~kTopmost);
        }
    }
    void RefreshFrame(TWindowId) override {}
    std::uintptr_t SystemMenu(TWindowId window) override { return window + 0x10000; }

private:
    struct Proc {
        enum Kind { Base, Form, App } kind;
        TpkFormHookComponent* form;
        TpkCustomAppHookComponent* app;
        BaseProc base;
    };
    struct Window {
        TWindowProcId proc = 0;
        std::uint32_t style = 0, exStyle = 0;
        std::function<void(TMessage&)> utility;
    };
    static std::intptr_t Zero(TWindowId, TMessage&) { return 0; }
    Proc Bound(Proc proc) const {
        if (liveProcs() >= procSlots) throw std::runtime_error("No window procedure left to bind");
        return proc;
    }
    TWindowProcId AddProc(Proc proc) {
        const TWindowProcId id = nextProc_++;
        procs_.emplace(id, std::move(proc));
        return id;
    }

    std::map<TWindowId, Window> windows_;
    std::map<TWindowProcId, Proc> procs_;
    std::deque<Posted> posted_;
    TWindowId nextWindow_ = 0x100;
    TWindowProcId nextProc_ = 0x9000;
    TWindowId appWindow_ = 0;
};

// A windowed control of the model: a form whose window is made on demand and can be made again,
// as a change of border style does.
class ModelForm : public TpkWinControl {
public:
    ModelForm(HookPlatformModel& model, HookPlatformModel::BaseProc base = {})
        : model_(model), base_(std::move(base)) {}
    TWindowId WindowHandle() override {
        if (window_ == 0) {
            window_ = model_.CreateWindowWith(base_);
            model_.SetStyle(window_, true, exStyle);
        }
        return window_;
    }
    // The extended style each window of the form is created with.
    std::uint32_t exStyle = 0;
    bool IsForm() const override { return true; }
    bool GraphicControlAt(int x, int y) override { return drawnControlAt && drawnControlAt(x, y); }
    // Where the form draws controls of its own (screen coordinates).
    std::function<bool(int x, int y)> drawnControlAt;
    TWindowId Window() const { return window_; }
    // Destroys the window; the next WindowHandle() makes a new one.
    void RecreateWindow() {
        const TWindowId old = window_;
        window_ = 0;
        model_.DestroyWindowNow(old);
    }

private:
    HookPlatformModel& model_;
    HookPlatformModel::BaseProc base_;
    TWindowId window_ = 0;
};

}  // namespace tw::test
