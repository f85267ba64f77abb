#pragma once
// TBarPopupMenu: an owner-drawn popup menu with a gradient side bar beside its top-level entries
// (Windows build). The menu keeps a hidden window of its own that owns the popup and answers its
// measure, draw and hot-key messages, so the window that pops it up forwards nothing.
//
// The Quick Start Menu on the main window:
//     tw::TBarPopupMenu pmRSS;
//     pmRSS.MenuStyle = tw::msWindowsXP;
//     pmRSS.UseSystemFont = false;  pmRSS.MenuFont = {"MS Sans Serif", 8, tw::clWindowText, 0};
//     pmRSS.Bar.Width = 26;  pmRSS.Bar.GradientStart = 10127994;  pmRSS.Bar.GradientEnd = 3813932;
//     pmRSS.Bar.GradientStyle = tw::gsHorizontal;
//     pmRSS.Bar.BarCaption.Caption = "Quick Start Menu";
//     pmRSS.Bar.BarCaption.Font = {"Arial", 12, tw::clWhite, tw::fsBold};    // 16 pixels at 96 dpi
//     pmRSS.Separators = ...;  // see docs/controls.md
//     pmRSS.Loaded();
//     ... pmRSS.BeginItemsUpdate(); fill pmRSS.Items(); pmRSS.EndItemsUpdate();
//     pmRSS.PopupBesideBar(windowLeft, barRect, tw::bpTop, workArea);
#include "controls/BarPopupMenus.h"
#include "controls/PngImages.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace tw {

class TBarPopupMenu;

// A draw module that also paints entries.
class TBarMenuDrawModuleWin32 : public TBarMenuDrawModule {
public:
    // Answers true when it drew `item` (its face, the bar slice already drawn) into `dc` at `rect`;
    // `state` holds the ODS_* bits.
    virtual bool DrawItem(TBarPopupMenu& menu, const TBarMenuItem& item, HDC dc, const RECT& rect, UINT state) = 0;
};

class TBarPopupMenu : public TCustomBarPopupMenu {
public:
    TBarPopupMenu();
    ~TBarPopupMenu() override;

    // The entries' pictures by ImageIndex (pngTrayIcons); not owned, null for none.
    const TPngImageList* Images = nullptr;

    // Raised once per popup, as the bar image is painted; `canvas` is its DC, `rect` its whole area.
    std::function<void(TBarPopupMenu& sender, HDC canvas, const RECT& rect, bool& defaultDraw)> OnBeforeDrawBar;
    std::function<void(TBarPopupMenu& sender, HDC canvas, const RECT& rect, TBarParts& drawParts)>
        OnAdvancedBeforeDrawBar;
    std::function<void(TBarPopupMenu& sender, HDC canvas, const RECT& rect)> OnAfterDrawBar;

    // Pops the menu up with its top-left at screen (x, y) (the system keeps it on the screen),
    // returns once it has closed and then raises the chosen entry's OnClick. True when an entry
    // was chosen; false when the menu was dismissed or could not be shown.
    bool Popup(int x, int y);
    // As Popup, placed for a press at column `x` beside the ticker `bar` docked at `dock`
    // (PlacePopupMenu); the menu never covers the bar.
    bool PopupBesideBar(int x, const RECT& bar, TpkAppBarPlacement dock, const RECT& workArea);

    // The menu as the entries stand now, rebuilt after any change; owned by this object, null
    // when the system refused to make it.
    HMENU Handle();
    // The hidden window that owns the popup; null when it cannot be made.
    HWND OwnerWindow();
    // For a window that shows this menu's Handle() itself (in its own TrackPopupMenu or as a
    // submenu): forward WM_MEASUREITEM, WM_DRAWITEM and WM_MENUCHAR. True when the message was
    // about this menu's entries; `result` then holds the answer. Such a window calls MarkBarStale()
    // before each showing, as Popup does, so the bar is painted anew for it.
    bool HandleOwnerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    // MenuStyle with msAuto resolved for this system.
    TMenuStyle EffectiveStyle() const;
    // What WM_MEASUREITEM answers for `item`, measured on `dc`.
    Size MeasureItemOn(HDC dc, const TBarMenuItem& item);
    // What WM_DRAWITEM draws for `item` at `rect` (`state`: ODS_* bits).
    void DrawItemOn(HDC dc, const TBarMenuItem& item, const RECT& rect, UINT state);

    // How many times the bar image was painted (once per popup; between popups it is kept while
    // the entries, the bar's size and settings stand), and how many item slices of it were drawn.
    int BarBuildCount() const;
    int BarSliceCount() const;

private:
    friend class TSideBarPainter;  // clears the stale mark once it has painted the bar
    struct Impl;
    bool Track(int x, int y, UINT flags, const RECT* exclude);
    std::unique_ptr<Impl> impl_;
};

}  // namespace tw
