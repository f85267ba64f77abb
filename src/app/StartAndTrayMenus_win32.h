#pragma once
// The bar's menus, tray icon and welcome balloon on Windows: the drawn Quick Start Menu and tray
// menu, the notification-area icon that opens the tray menu, and the balloon at the start image.
// The main window holds one and hands it the calls of the form.
#include "app/StartAndTrayMenus.h"
#include "controls/BarPopupMenus_win32.h"
#include "controls/HintBalloon_win32.h"
#include "controls/TrayIcon_win32.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace tw {

class TfrMain;

class TStartAndTrayMenus {
public:
    // What the menus need of the main window.
    struct THost {
        std::function<HWND()> Window;
        std::function<TfrMain*()> Form;
        std::function<void()> Configuration;  // "Configuration..."
        std::function<void()> Close;          // "Close": ends the program
        const TPngImageList* TrayImages = nullptr;
    };
    explicit TStartAndTrayMenus(THost host);
    TStartAndTrayMenus(const TStartAndTrayMenus&) = delete;
    TStartAndTrayMenus& operator=(const TStartAndTrayMenus&) = delete;

    // Rebuilds both feed menus from the form's entry list.
    void FeedListsChanged();
    // Below the bar docked at the top, above it at the bottom, inside the screen when floating.
    void PopupQuickStartMenu();
    // A right click on the bar's background at screen column `x`.
    void PopupTrayMenuAt(int x);
    void ShowWelcomeBalloon(const std::string& title, const std::string& text);
    // Hide or show the bar, with the tray menu's entry following.
    void HideBar();
    void ShowBar();

    TBarPopupMenu& QuickStartMenu() { return pmRSS_; }
    TBarPopupMenu& TrayMenu() { return pmTray_; }
    TTrayIcon* TrayIcon() { return sysTray_.get(); }

private:
    // Pops the tray menu up where the icon was clicked.
    class TrayPopup final : public ITrayPopupMenu {
    public:
        explicit TrayPopup(TStartAndTrayMenus& menus) : menus_(menus) {}
        void Popup(int x, int y, TTrayIcon&) override;

    private:
        TStartAndTrayMenus& menus_;
    };

    // The menu drawn for the display the bar is on, in the bar's colours, its pause entry current.
    void MatchDisplay(TBarPopupMenu& menu);
    void PopupBesideBar(TBarPopupMenu& menu, int x);
    void HideShow();

    THost host_;
    TBarPopupMenu pmRSS_;
    TBarPopupMenu pmTray_;
    TTrayMenuEntries trayEntries_;
    TrayPopup trayPopup_{*this};
    std::unique_ptr<TTrayIcon> sysTray_;  // after what it opens: it goes first
    THintBalloonControl hintStart_;
};

}  // namespace tw
