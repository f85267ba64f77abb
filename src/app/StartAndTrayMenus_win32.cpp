#include "app/StartAndTrayMenus_win32.h"

#include "app/BarColors.h"
#include "app/LoadingAnimation_win32.h"
#include "app/fMain.h"
#include "base/TextConvert_win32.h"
#include "controls/DisplayScale.h"
#include "controls/DisplayScale_win32.h"

namespace tw {

namespace {

// The work area of the monitor the bar lies on: a bar on another monitor opens its menus there.
RECT WorkAreaOf(HWND bar) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromWindow(bar, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

}  // namespace

TStartAndTrayMenus::TStartAndTrayMenus(THost host) : host_(std::move(host)) {
    ConfigureQuickStartMenu(pmRSS_);
    TTrayMenuCommands commands;
    commands.Pause = [this] {
        if (TfrMain* form = host_.Form()) form->TogglePause();
    };
    commands.HideShow = [this] { HideShow(); };
    commands.Configuration = host_.Configuration;
    commands.About = [] { OpenLinkInBrowser(std::string(kAboutUrl)); };
    commands.Help = [this] {
        MessageBoxW(host_.Window(), ToWide(kHelpMessage).c_str(), ToWide(kApplicationTitle).c_str(), MB_OK);
    };
    commands.Close = host_.Close;
    trayEntries_ = BuildTrayMenu(pmTray_, commands);
    pmTray_.Images = host_.TrayImages;
    pmTray_.Bar.BarCaption.Caption = std::string(kBarCaption);

    hintStart_.AnimationSpeed = 200;

    sysTray_ = CreateTrayIcon();
    if (!sysTray_) return;  // the bar works without its icon; the right click still opens the menu
    sysTray_->Action = {paRightDown, paLeftDblClick};
    sysTray_->SetPopupMenu(&trayPopup_);
    sysTray_->OnMouseLeftDblClick = [this](TTrayIcon&) { ShowBar(); };
    sysTray_->SetHint(std::string(kApplicationTitle));
    sysTray_->SetShowTaskEntry(tyNever);
    // The button's rule applied when it can change, not every 250 ms: a hidden bar stays idle.
    sysTray_->SetTaskEntryTimer(false);
    sysTray_->SetShowIcon(tyAllways);
}

void TStartAndTrayMenus::FeedListsChanged() {
    TfrMain* form = host_.Form();
    if (!form) return;
    auto choose = [this](const std::string& url) {
        if (TfrMain* f = host_.Form()) f->ShowFeed(url);
    };
    BuildFeedMenu(pmRSS_, form->FeedMenu(), choose);
    BuildFeedMenu(*trayEntries_.RSSFeeds, form->FeedMenu(), choose);
}

void TStartAndTrayMenus::TrayPopup::Popup(int x, int y, TTrayIcon&) {
    menus_.MatchDisplay(menus_.pmTray_);
    menus_.pmTray_.Popup(x, y);
}

// The menu drawn for the display the bar is on, in the bar's colours, with its pause entry
// saying what it will do.
void TStartAndTrayMenus::MatchDisplay(TBarPopupMenu& menu) {
    menu.SetDpi(WindowDpi(host_.Window()));
    const TfrMain* form = host_.Form();
    if (!form) return;
    ApplyMenuColors(menu, MenuColorsFor(form->HighContrast()));
    PauseEntryFor(*trayEntries_.Pause, form->Paused());
}

void TStartAndTrayMenus::PopupBesideBar(TBarPopupMenu& menu, int x) {
    MatchDisplay(menu);
    RECT bar{};
    GetWindowRect(host_.Window(), &bar);
    const TfrMain* form = host_.Form();
    menu.PopupBesideBar(x, bar, form ? form->BarEdge() : bpFloat, WorkAreaOf(host_.Window()));
}

void TStartAndTrayMenus::PopupQuickStartMenu() {
    RECT bar{};
    GetWindowRect(host_.Window(), &bar);
    PopupBesideBar(pmRSS_, bar.left);
}

void TStartAndTrayMenus::PopupTrayMenuAt(int x) { PopupBesideBar(pmTray_, x); }

void TStartAndTrayMenus::HideShow() {
    if (IsWindowVisible(host_.Window())) {
        HideBar();
    } else {
        ShowBar();
    }
}

void TStartAndTrayMenus::HideBar() {
    ShowHideEntryFor(*trayEntries_.HideShow, false);
    ShowWindow(host_.Window(), SW_HIDE);
}

void TStartAndTrayMenus::ShowBar() {
    ShowHideEntryFor(*trayEntries_.HideShow, true);
    ShowWindow(host_.Window(), SW_SHOWNOACTIVATE);
}

void TStartAndTrayMenus::ShowWelcomeBalloon(const std::string& title, const std::string& text) {
    TfrMain* form = host_.Form();
    if (!form) return;
    const Rect start = form->Bar().Start;
    POINT corner{start.Left, start.Top};
    ClientToScreen(host_.Window(), &corner);
    const RECT anchor{corner.x, corner.y, corner.x + start.Width(), corner.y + start.Height()};
    // 300 pixels wide at 96 DPI: its font grows with the display, so its width does too.
    hintStart_.ShowBalloonAt(0, title, 0, anchor, ScaleForDpi(300, WindowDpi(host_.Window())), text);
}

}  // namespace tw
