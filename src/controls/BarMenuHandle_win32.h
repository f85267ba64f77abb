#pragma once
// The real popup menu a bar popup menu's entries become (Windows build): owner-drawn entries
// whose item data names this menu and the entry, built again after any change of the entries.
#include "controls/BarPopupMenus.h"

#include <windows.h>

#include "base/UniqueHandle_win32.h"

#include <cstdint>
#include <map>
#include <vector>

namespace tw {

class TBarMenuHandle {
public:
    explicit TBarMenuHandle(TCustomBarPopupMenu& menu);
    TBarMenuHandle(const TBarMenuHandle&) = delete;
    TBarMenuHandle& operator=(const TBarMenuHandle&) = delete;

    // The menu as the entries stand now; null when the system refused to make it.
    HMENU Get();
    // The entry an owner-draw message's item data names; null for another menu's entry or when
    // the entries changed since the menu was built (the shown menu is stale).
    TBarMenuItem* ItemByData(ULONG_PTR data) const;
    // The entry TrackPopupMenu answered `command` for; null for 0 and after a change.
    TBarMenuItem* ItemByCommand(UINT command) const;
    // WM_MENUCHAR for `list`, one of this menu's (sub)menus: true when `key` is the hot key of an
    // enabled entry there, `result` then runs it.
    bool MenuChar(wchar_t key, HMENU list, LRESULT& result) const;

private:
    bool Current() const { return builtVersion_ == menu_.ItemsVersion(); }
    Menu BuildList(TBarMenuItem& parent);
    bool Append(HMENU list, UINT position, TBarMenuItem& item);

    TCustomBarPopupMenu& menu_;
    const std::uint32_t serial_;  // in the item data, so entries of two menus never mix
    Menu handle_;
    unsigned builtVersion_ = ~0u;
    std::vector<TBarMenuItem*> ids_;          // command id - 1 -> entry
    std::map<HMENU, TBarMenuItem*> parents_;  // each built (sub)menu -> the entry it lists
};

}  // namespace tw
