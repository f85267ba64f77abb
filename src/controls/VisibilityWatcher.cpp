#include "controls/VisibilityWatcher.h"

#include <cstring>

namespace tw {

TVisibilityWatcher::TVisibilityWatcher(TpkComponent* owner, TVisibilityPlatform& platform)
    : TpkFormHookComponent(owner), visibility_(platform) {
    if (IsDesigning()) return;
    ReadWindowState();
    StartNotifying();
}

TVisibilityWatcher::~TVisibilityWatcher() {
    Destroying();
    StopNotifying();
    SetTicker(nullptr);
}

void TVisibilityWatcher::SetTicker(TScrollingText* ticker) {
    if (ticker == ticker_) return;
    for (int r = 0; r < 32; ++r) {
        if ((reasons_ & (1u << r)) == 0) continue;
        const auto reason = static_cast<TTickerHold>(r);
        if (ticker_) ticker_->Release(reason);
        if (ticker) ticker->Hold(reason);
    }
    ticker_ = ticker;
}

void TVisibilityWatcher::SetFullScreenApp(bool open) { Set(thFullScreen, open); }

void TVisibilityWatcher::Set(TTickerHold reason, bool on) {
    if (HeldFor(reason) == on) return;
    reasons_ ^= 1u << reason;
    if (!ticker_) return;
    if (on) ticker_->Hold(reason);
    else ticker_->Release(reason);
}

void TVisibilityWatcher::ReadWindowState() {
    Set(thHidden, !visibility_.IsVisible(HookedWindow()));
    Set(thMinimized, visibility_.IsMinimized(HookedWindow()));
}

void TVisibilityWatcher::BeforeFormMessage(TMessage& message, bool& handled) {
    (void)handled;
    switch (message.Msg) {
    // Sent before the window changes: the word parameter says what it becomes.
    case kWmShowWindow: Set(thHidden, message.WParam == 0); return;
    case kWmSize:
        if (message.WParam <= 2) Set(thMinimized, message.WParam == kSizeMinimized);  // not another's maximising
        return;
    case kWmWtsSessionChange: SessionChanged(message.WParam); return;
    case kWmPowerBroadcast:
        if (message.WParam == kPbtPowerSettingChange && message.LParam != 0)
            PowerSettingChanged(reinterpret_cast<const TPowerSetting*>(message.LParam));
        return;
    // The notifications are the window's: they go before it does.
    case kWmDestroy: StopNotifying(); return;
    default: return;
    }
}

void TVisibilityWatcher::AfterFormMessage(TMessage& message) {
    // A move with SWP_SHOWWINDOW or SWP_HIDEWINDOW sends no WM_SHOWWINDOW.
    if (message.Msg == kWmWindowPosChangedMessage) ReadWindowState();
}

void TVisibilityWatcher::FormRehooked() {
    TpkFormHookComponent::FormRehooked();
    StopNotifying();
    ReadWindowState();
    StartNotifying();
}

void TVisibilityWatcher::SessionChanged(std::uintptr_t event) {
    switch (event) {
    case wtsSessionLock: Set(thSessionLocked, true); return;
    case wtsSessionUnlock: Set(thSessionLocked, false); return;
    case wtsConsoleDisconnect:
    case wtsRemoteDisconnect: Set(thSessionDisconnected, true); return;
    case wtsConsoleConnect:
    case wtsRemoteConnect: Set(thSessionDisconnected, false); return;
    default: return;  // logons and logoffs of other sessions, remote control
    }
}

void TVisibilityWatcher::PowerSettingChanged(const TPowerSetting* setting) {
    if (std::memcmp(setting->PowerSetting, kConsoleDisplayState, sizeof kConsoleDisplayState) != 0) return;
    if (setting->DataLength < sizeof(std::uint32_t)) return;
    std::uint32_t state = 0;
    std::memcpy(&state, setting->Data, sizeof state);
    Set(thDisplayOff, state == 0);  // a dimmed display is still seen
}

void TVisibilityWatcher::StartNotifying() {
    const TWindowId window = HookedWindow();
    if (window == 0 || notified_ != 0) return;
    started_ = visibility_.StartNotifications(window);
    notified_ = window;
}

void TVisibilityWatcher::StopNotifying() {
    if (notified_ == 0) return;
    visibility_.StopNotifications(notified_, started_);
    notified_ = 0;
    started_ = 0;
}

}  // namespace tw
