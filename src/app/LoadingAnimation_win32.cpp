#include "app/LoadingAnimation_win32.h"

#include "base/TextConvert_win32.h"

#include <commctrl.h>
#include <shellapi.h>

namespace tw {

TLoadingAnimation::~TLoadingAnimation() {
    // A child window dies with its parent; only destroy it when that has not happened yet.
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

bool TLoadingAnimation::CreateControl(HWND parent, int x, int y) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);
    // No ACS_TRANSPARENT: the clip paints its own background in the control's colour.
    hwnd_ = CreateWindowExW(0, ANIMATE_CLASSW, L"", WS_CHILD, x, y, kSize, kSize, parent, nullptr,
                            reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (!hwnd_) return false;
    // Over the start image, which is a sibling created earlier.
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

bool TLoadingAnimation::Create(HWND parent, int x, int y, HINSTANCE module) {
    if (!CreateControl(parent, x, y)) return false;
    return SendMessageW(hwnd_, ACM_OPENW, reinterpret_cast<WPARAM>(module), reinterpret_cast<LPARAM>(L"ANI_ICON")) != 0;
}

bool TLoadingAnimation::CreateFromFile(HWND parent, int x, int y, const std::wstring& aviPath) {
    if (!CreateControl(parent, x, y)) return false;
    return SendMessageW(hwnd_, ACM_OPENW, 0, reinterpret_cast<LPARAM>(aviPath.c_str())) != 0;
}

void TLoadingAnimation::Start() {
    if (!hwnd_) return;
    ShowWindow(hwnd_, SW_SHOWNA);
    SendMessageW(hwnd_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, kStopFrame));
    playing_ = true;
}

void TLoadingAnimation::Stop() {
    if (!hwnd_) return;
    SendMessageW(hwnd_, ACM_STOP, 0, 0);
    ShowWindow(hwnd_, SW_HIDE);
    playing_ = false;
}

void OpenLinkInBrowser(const std::string& url) {
    const std::wstring wide = ToWide(url);
    if (wide.empty()) return;
    ShellExecuteW(GetDesktopWindow(), L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tw
