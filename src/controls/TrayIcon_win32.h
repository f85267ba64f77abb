#pragma once
// The tray icon on Windows: a hidden utility window receives the shell's callback (message 1025)
// and the timers; Shell_NotifyIconW puts the icon into the notification area; the icon comes
// back by itself when Explorer restarts ("TaskbarCreated").
#include "controls/TrayIcon.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace tw {

// Makes the icon with its utility window and takes over the application window's OnMinimize and
// OnRestore (handlers set there before are replaced). Null when the window cannot be made.
std::unique_ptr<TTrayIcon> CreateTrayIcon(TpkComponent* owner = nullptr);

// The utility window of an icon made by CreateTrayIcon (null for any other).
HWND TrayWindowHandle(const TTrayIcon& icon);

// A plain menu as the icon's popup: TrackPopupMenu at the point, owned by the icon's window.
// The chosen entry's id goes to OnCommand once the menu has closed; the menu is not owned.
class TMenuTrayPopup : public ITrayPopupMenu {
public:
    explicit TMenuTrayPopup(HMENU menu) : menu_(menu) {}
    void Popup(int x, int y, TTrayIcon& sender) override;
    std::function<void(int command)> OnCommand;

private:
    HMENU menu_;
};

}  // namespace tw
