// The bar popup menu on Windows: the parts that build the real menu (BarMenuHandle), size and
// write its text (BarMenuFonts), paint the side bar (SideBarPainter) and the entries' faces
// (MenuItemPainter), a hidden window that answers the menu's owner messages, and the popup itself.
#include "controls/BarPopupMenus_win32.h"

#include "base/Win32Window_win32.h"
#include "controls/BarMenuFonts_win32.h"
#include "controls/BarMenuHandle_win32.h"
#include "controls/GdiHandles_win32.h"
#include "controls/MenuItemPainter_win32.h"
#include "controls/SideBarPainter_win32.h"

#include <commctrl.h>

#include <algorithm>

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TidewireBarMenuOwner";

// The hidden owner of the popup: everything it receives goes to the menu first.
class MenuOwnerWindow final : public Win32Window {
public:
    explicit MenuOwnerWindow(TBarPopupMenu& menu) : menu_(menu) {}
    ~MenuOwnerWindow() override { Destroy(); }

    HWND Get() {
        if (!Handle()) CreateFor(kClassName, WS_EX_TOOLWINDOW, WS_POPUP, L"", 0, 0, 0, 0, nullptr);
        return Handle();
    }

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        LRESULT result = 0;
        if (menu_.HandleOwnerMessage(msg, wp, lp, result)) return result;
        return Default(msg, wp, lp);
    }
    TBarPopupMenu& menu_;
};

BOOL CALLBACK LeaveTooltip(HWND window, LPARAM owner) {
    wchar_t name[32] = {};
    if (!GetClassNameW(window, name, 32) || _wcsicmp(name, TOOLTIPS_CLASSW) != 0) return TRUE;
    MSG leave{};
    leave.hwnd = reinterpret_cast<HWND>(owner);  // a window with no tools: the pointer is on none
    leave.message = WM_MOUSEMOVE;
    SendMessageW(window, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&leave));
    return TRUE;
}

// The pointer belongs to the menu from now on, so this thread's tooltips are told it has left
// their tools. Else a hint whose delay began as the pointer reached what opened the menu (the
// start image) shows up over the menu's first rows, and under Wine stays there as a black strip
// that neither paints.
void LeaveThreadTooltips(HWND menuOwner) {
    EnumThreadWindows(GetCurrentThreadId(), LeaveTooltip, reinterpret_cast<LPARAM>(menuOwner));
}

}  // namespace

// The menu's parts, each with its own state. The window is destroyed last, after the menu it owns.
struct TBarPopupMenu::Impl {
    explicit Impl(TBarPopupMenu& menu)
        : window(menu), handle(menu), fonts(menu), sideBar(menu, fonts), faces(menu, fonts) {}
    MenuOwnerWindow window;
    TBarMenuHandle handle;
    TBarMenuFonts fonts;
    TSideBarPainter sideBar;
    TMenuItemPainter faces;
};

TBarPopupMenu::TBarPopupMenu() : impl_(std::make_unique<Impl>(*this)) {}

TBarPopupMenu::~TBarPopupMenu() = default;

HMENU TBarPopupMenu::Handle() { return impl_->handle.Get(); }

HWND TBarPopupMenu::OwnerWindow() { return impl_->window.Get(); }

int TBarPopupMenu::BarBuildCount() const { return impl_->sideBar.Builds(); }

int TBarPopupMenu::BarSliceCount() const { return impl_->sideBar.Slices(); }

TMenuStyle TBarPopupMenu::EffectiveStyle() const {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    TOsVersion os;
    if (GetVersionExW(&info)) {
        os.NtLine = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
        os.Major = static_cast<int>(info.dwMajorVersion);
        os.Minor = static_cast<int>(info.dwMinorVersion);
    }
    return ResolveMenuStyle(MenuStyle, os);
}

Size TBarPopupMenu::MeasureItemOn(HDC dc, const TBarMenuItem& item) {
    TBarMenuMeasurer measurer(dc, impl_->fonts);
    return MeasureItem(item, measurer, EffectiveStyle());
}

void TBarPopupMenu::DrawItemOn(HDC dc, const TBarMenuItem& item, const RECT& rect, UINT state) {
    const int saved = SaveDC(dc);
    const RECT face = BesideBar(item) ? impl_->sideBar.DrawSlice(dc, item, rect) : rect;
    auto* module = dynamic_cast<TBarMenuDrawModuleWin32*>(DrawModule);
    if (!(module && module->DrawItem(*this, item, dc, face, state))) impl_->faces.Draw(dc, item, face, state);
    RestoreDC(dc, saved);
}

bool TBarPopupMenu::HandleOwnerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_MEASUREITEM: {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            if (!mis || mis->CtlType != ODT_MENU) return false;
            const TBarMenuItem* item = impl_->handle.ItemByData(mis->itemData);
            if (!item) return false;
            gdi::WindowDc screen(nullptr);
            const Size size = MeasureItemOn(screen.Get(), *item);
            mis->itemWidth = static_cast<UINT>(std::max(size.Width, 0));
            mis->itemHeight = static_cast<UINT>(std::max(size.Height, 0));
            result = TRUE;
            return true;
        }
        case WM_DRAWITEM: {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            if (!dis || dis->CtlType != ODT_MENU) return false;
            const TBarMenuItem* item = impl_->handle.ItemByData(dis->itemData);
            if (!item) return false;
            DrawItemOn(dis->hDC, *item, dis->rcItem, dis->itemState);
            result = TRUE;
            return true;
        }
        case WM_MENUCHAR: return impl_->handle.MenuChar(static_cast<wchar_t>(LOWORD(wp)), reinterpret_cast<HMENU>(lp), result);
        default: return false;
    }
}

bool TBarPopupMenu::Track(int x, int y, UINT flags, const RECT* exclude) {
    MarkBarStale();
    HMENU menu = Handle();
    HWND owner = OwnerWindow();
    if (!menu || !owner) return false;
    // A menu opened while another program is in front (from the tray) would not close when the
    // user clicks elsewhere unless its owner is the foreground window; the ticker's own clicks
    // keep the foreground where it is.
    DWORD foregroundProcess = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &foregroundProcess);
    if (foregroundProcess != GetCurrentProcessId()) SetForegroundWindow(owner);
    LeaveThreadTooltips(owner);
    TPMPARAMS params{};
    params.cbSize = sizeof params;
    if (exclude) params.rcExclude = *exclude;
    const UINT command = static_cast<UINT>(TrackPopupMenuEx(menu, flags | TPM_LEFTALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                            x, y, owner, exclude ? &params : nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);  // lets the menu close when the next click goes elsewhere
    TBarMenuItem* item = impl_->handle.ItemByCommand(command);
    if (!item) return false;
    item->Click();
    return true;
}

bool TBarPopupMenu::Popup(int x, int y) { return Track(x, y, TPM_TOPALIGN, nullptr); }

bool TBarPopupMenu::PopupBesideBar(int x, const RECT& bar, TpkAppBarPlacement dock, const RECT& workArea) {
    MarkBarStale();
    const TBarLayout& layout = impl_->sideBar.Layout();
    gdi::WindowDc screen(nullptr);
    int width = 0;
    const TBarMenuItem& root = Items();
    for (int i = 0; i < root.Count(); ++i)
        if (root.Items(i).Visible()) width = std::max(width, MeasureItemOn(screen.Get(), root.Items(i)).Width);
    // The system adds a frame and some room of its own around the entries.
    const int frame = 2 * GetSystemMetrics(SM_CXEDGE) + 2 * GetSystemMetrics(SM_CXFIXEDFRAME);
    const Size size{width + frame, layout.Height + frame};
    const TPopupPlacement at = PlacePopupMenu(x, {bar.left, bar.top, bar.right, bar.bottom}, dock,
                                              {workArea.left, workArea.top, workArea.right, workArea.bottom}, size);
    return Track(at.X, at.Y, (at.AlignBottom ? TPM_BOTTOMALIGN : TPM_TOPALIGN) | TPM_VERTICAL, &bar);
}

}  // namespace tw
