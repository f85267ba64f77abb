#pragma once
// TVisibilityWatcher: whether anybody can see the bar, for the scrolling text, which makes no
// frames while nobody can. A form hook on the bar's form: it sees the form hidden (the tray's
// "Hide ticker", Esc) or minimised, the session locked or disconnected, and the display off; the
// owner adds what the application bar hears of full-screen programs (SetFullScreenApp). Each of
// these holds the scrolling text for its own reason (TTickerHold), so one coming back does not
// restart frames another still stops. Feed reloads are not the watcher's: they go on.
//
// On the main window (Windows build, VisibilityWatcher_win32.h):
//     watcher = std::make_unique<TVisibilityWatcher>(&formControl, SystemVisibilityPlatform());
//     watcher->SetTicker(&lblTicker());
//     appBar->OnFullScreenApp = [&](TpkAppBar&, bool open) { watcher->SetFullScreenApp(open); };
#include "base/FormHooks.h"
#include "controls/ScrollingText.h"

#include <cstdint>

namespace tw {

// Messages and codes the watcher reads (the platform's values).
inline constexpr std::uint32_t kWmSize = 0x0005;
inline constexpr std::uint32_t kWmWindowPosChangedMessage = 0x0047;
inline constexpr std::uint32_t kWmPowerBroadcast = 0x0218;
inline constexpr std::uint32_t kWmWtsSessionChange = 0x02B1;
inline constexpr std::uintptr_t kSizeMinimized = 1;
inline constexpr std::uintptr_t kPbtPowerSettingChange = 0x8013;
enum TWtsSessionEvent : std::uintptr_t {
    wtsConsoleConnect = 1, wtsConsoleDisconnect = 2, wtsRemoteConnect = 3, wtsRemoteDisconnect = 4,
    wtsSessionLock = 7, wtsSessionUnlock = 8,
};

// The record of a power-setting notification, laid out as the platform's (the Windows adapter
// checks); Data holds DataLength bytes.
struct TPowerSetting {
    std::uint8_t PowerSetting[16];
    std::uint32_t DataLength;
    std::uint8_t Data[4];
};
// The power setting of the console's display (GUID_CONSOLE_DISPLAY_STATE) as it lies in memory;
// its value is 0 off, 1 on, 2 dimmed.
inline constexpr std::uint8_t kConsoleDisplayState[16] = {0x56, 0x95, 0xE6, 0x6F, 0x4A, 0x70, 0xA0, 0x47,
                                                          0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47};

// What the watcher needs of the system beyond the hooks.
class TVisibilityPlatform {
public:
    virtual ~TVisibilityPlatform() = default;
    virtual bool IsVisible(TWindowId window) = 0;
    virtual bool IsMinimized(TWindowId window) = 0;
    // Asks for the session's changes and the display's state to be sent to `window`; the answer
    // is what StopNotifications needs to undo it.
    virtual std::uintptr_t StartNotifications(TWindowId window) = 0;
    virtual void StopNotifications(TWindowId window, std::uintptr_t started) = 0;
};

class TVisibilityWatcher : public TpkFormHookComponent {
public:
    // `owner` must be a form (see TpkFormHookComponent); `platform` outlives the watcher.
    TVisibilityWatcher(TpkComponent* owner, TVisibilityPlatform& platform);
    ~TVisibilityWatcher() override;
    const char* ClassName() const override { return "TVisibilityWatcher"; }

    // The scrolling text to hold (null for none); the reasons held now carry over to it and are
    // released from the one before.
    void SetTicker(TScrollingText* ticker);
    // A full-screen program opened (true) or closed over the bar's monitor, as the application
    // bar's OnFullScreenApp says.
    void SetFullScreenApp(bool open);

    // Whether `reason` holds now, and whether any does: nobody can see the bar.
    bool HeldFor(TTickerHold reason) const { return (reasons_ & (1u << reason)) != 0; }
    bool Unseen() const { return reasons_ != 0; }

protected:
    void BeforeFormMessage(TMessage& message, bool& handled) override;
    void AfterFormMessage(TMessage& message) override;
    void FormRehooked() override;

private:
    void Set(TTickerHold reason, bool on);
    void ReadWindowState();
    void SessionChanged(std::uintptr_t event);
    void PowerSettingChanged(const TPowerSetting* setting);
    void StartNotifying();
    void StopNotifying();

    TVisibilityPlatform& visibility_;
    TScrollingText* ticker_ = nullptr;
    std::uint32_t reasons_ = 0;
    TWindowId notified_ = 0;       // the window the system sends its notifications to
    std::uintptr_t started_ = 0;   // what starting them answered
};

}  // namespace tw
