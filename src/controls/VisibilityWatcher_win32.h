#pragma once
// The visibility watcher's system (Windows build).
#include "controls/VisibilityWatcher.h"

namespace tw {

// IsWindowVisible and IsIconic; the session's changes by WTSRegisterSessionNotification and the
// console display's state by RegisterPowerSettingNotification (GUID_CONSOLE_DISPLAY_STATE), both
// sent to the watched window.
TVisibilityPlatform& SystemVisibilityPlatform();

}  // namespace tw
