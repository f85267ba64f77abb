#include "controls/VisibilityWatcher_win32.h"

#include <windows.h>
#include <wtsapi32.h>

#include <cstddef>
#include <cstring>

namespace tw {

static_assert(kWmSize == WM_SIZE && kWmWindowPosChangedMessage == WM_WINDOWPOSCHANGED &&
              kWmPowerBroadcast == WM_POWERBROADCAST && kWmWtsSessionChange == WM_WTSSESSION_CHANGE &&
              kSizeMinimized == SIZE_MINIMIZED && kPbtPowerSettingChange == PBT_POWERSETTINGCHANGE);
static_assert(wtsConsoleConnect == WTS_CONSOLE_CONNECT && wtsConsoleDisconnect == WTS_CONSOLE_DISCONNECT &&
              wtsRemoteConnect == WTS_REMOTE_CONNECT && wtsRemoteDisconnect == WTS_REMOTE_DISCONNECT &&
              wtsSessionLock == WTS_SESSION_LOCK && wtsSessionUnlock == WTS_SESSION_UNLOCK);
static_assert(offsetof(TPowerSetting, DataLength) == offsetof(POWERBROADCAST_SETTING, DataLength) &&
              offsetof(TPowerSetting, Data) == offsetof(POWERBROADCAST_SETTING, Data) &&
              sizeof(GUID) == sizeof(TPowerSetting::PowerSetting));

namespace {

HWND ToHwnd(TWindowId window) { return reinterpret_cast<HWND>(window); }

class Win32VisibilityPlatform : public TVisibilityPlatform {
public:
    bool IsVisible(TWindowId window) override { return IsWindowVisible(ToHwnd(window)) != FALSE; }
    bool IsMinimized(TWindowId window) override { return IsIconic(ToHwnd(window)) != FALSE; }

    std::uintptr_t StartNotifications(TWindowId window) override {
        // Without them the bar only misses a chance to rest: neither failure is the user's concern.
        WTSRegisterSessionNotification(ToHwnd(window), NOTIFY_FOR_THIS_SESSION);
        GUID display;
        std::memcpy(&display, kConsoleDisplayState, sizeof display);
        // Registering sends the display's state at once.
        return reinterpret_cast<std::uintptr_t>(
            RegisterPowerSettingNotification(ToHwnd(window), &display, DEVICE_NOTIFY_WINDOW_HANDLE));
    }
    void StopNotifications(TWindowId window, std::uintptr_t started) override {
        WTSUnRegisterSessionNotification(ToHwnd(window));
        if (started != 0) UnregisterPowerSettingNotification(reinterpret_cast<HPOWERNOTIFY>(started));
    }
};

}  // namespace

TVisibilityPlatform& SystemVisibilityPlatform() {
    static Win32VisibilityPlatform platform;
    return platform;
}

}  // namespace tw
