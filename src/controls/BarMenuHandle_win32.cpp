#include "controls/BarMenuHandle_win32.h"

#include "base/TextConvert_win32.h"

#include <cwctype>
#include <string>

namespace tw {

namespace {

std::uint32_t g_menuSerial = 0;

// "&" doubled, so a caption shown as it is keeps its "&" (also in the system's own hot-key search).
std::wstring EscapedPrefix(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        out += c;
        if (c == L'&') out += L'&';
    }
    return out;
}

UINT StateOf(const TBarMenuItem& item) {
    return (item.Enabled() ? 0u : MFS_DISABLED) | (item.Checked() ? MFS_CHECKED : 0u) |
           (item.Default() ? MFS_DEFAULT : 0u);
}

}  // namespace

TBarMenuHandle::TBarMenuHandle(TCustomBarPopupMenu& menu) : menu_(menu), serial_(++g_menuSerial) {}

HMENU TBarMenuHandle::Get() {
    if (handle_ && Current()) return handle_.Get();
    handle_.Reset();
    ids_.clear();
    parents_.clear();
    handle_ = BuildList(menu_.Items());
    builtVersion_ = menu_.ItemsVersion();
    return handle_.Get();
}

TBarMenuItem* TBarMenuHandle::ItemByData(ULONG_PTR data) const {
    if (!Current()) return nullptr;
    if (static_cast<std::uint32_t>(static_cast<std::uint64_t>(data) >> 32) != serial_) return nullptr;
    return ItemByCommand(static_cast<std::uint32_t>(data));
}

TBarMenuItem* TBarMenuHandle::ItemByCommand(UINT command) const {
    if (!Current() || command < 1 || command > ids_.size()) return nullptr;
    return ids_[command - 1];
}

Menu TBarMenuHandle::BuildList(TBarMenuItem& parent) {
    Menu list(CreatePopupMenu());
    if (!list) return list;
    parents_[list.Get()] = &parent;
    UINT position = 0;
    for (int i = 0; i < parent.Count(); ++i) {
        TBarMenuItem& item = parent.Items(i);
        if (!item.Visible()) continue;
        if (Append(list.Get(), position, item)) ++position;
    }
    return list;
}

bool TBarMenuHandle::Append(HMENU list, UINT position, TBarMenuItem& item) {
    ids_.push_back(&item);
    const auto id = static_cast<UINT>(ids_.size());
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_DATA;
    mii.wID = id;
    mii.dwItemData = (static_cast<ULONG_PTR>(serial_) << 32) | id;
    mii.fType = item.IsSeparator() ? MFT_SEPARATOR : MFT_STRING;
    if (menu_.OwnerDraw() && item.HandlersInstalled()) mii.fType |= MFT_OWNERDRAW;
    mii.fState = StateOf(item);
    // The text stays with owner-drawn entries too: the system reads hot keys and accessible
    // names from it.
    std::wstring text = ToWide(item.Caption());
    if (item.NoPrefix) text = EscapedPrefix(text);
    if (!item.ShortCut().empty()) text += L"\t" + ToWide(item.ShortCut());
    if (!item.IsSeparator()) {
        mii.fMask |= MIIM_STRING;
        mii.dwTypeData = text.data();
    }
    Menu sub;
    if (item.Count() > 0 && !item.IsSeparator()) {
        sub = BuildList(item);
        mii.fMask |= MIIM_SUBMENU;
        mii.hSubMenu = sub.Get();
    }
    if (!InsertMenuItemW(list, position, TRUE, &mii)) return false;
    (void)sub.Release();  // the parent menu destroys its submenus
    return true;
}

bool TBarMenuHandle::MenuChar(wchar_t key, HMENU list, LRESULT& result) const {
    if (!Current()) return false;
    const auto found = parents_.find(list);
    if (found == parents_.end()) return false;
    const TBarMenuItem& parent = *found->second;
    const char32_t wanted = key < 0x80 ? static_cast<char32_t>(std::towupper(key)) : 0;
    if (wanted == 0) return false;
    WORD position = 0;
    for (int i = 0; i < parent.Count(); ++i) {
        const TBarMenuItem& item = parent.Items(i);
        if (!item.Visible()) continue;
        if (!item.NoPrefix && !item.IsSeparator() && item.Enabled() && HotkeyOf(item.Caption()) == wanted) {
            result = MAKELRESULT(position, MNC_EXECUTE);
            return true;
        }
        ++position;
    }
    return false;
}

}  // namespace tw
