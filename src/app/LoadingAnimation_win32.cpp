#include "app/LoadingAnimation_win32.h"

#include "base/TextConvert_win32.h"

#include <commctrl.h>
#include <shellapi.h>

namespace tw {

bool TLoadingAnimation::CreateControl(HWND parent, int x, int y) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);
    // No ACS_TRANSPARENT: the clip paints its own background in the control's colour.
    window_.Reset(CreateWindowExW(0, ANIMATE_CLASSW, L"", WS_CHILD, x, y, kSize, kSize, parent, nullptr,
                                  reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr));
    if (!window_) return false;
    // Over the start image, which is a sibling created earlier.
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

// Nothing to play: no control, so Start shows nothing over the start image.
bool TLoadingAnimation::Opened(LRESULT answer) {
    if (answer == 0) window_.Reset();
    return answer != 0;
}

bool TLoadingAnimation::Create(HWND parent, int x, int y, HINSTANCE module) {
    if (!CreateControl(parent, x, y)) return false;
    return Opened(
        SendMessageW(Handle(), ACM_OPENW, reinterpret_cast<WPARAM>(module), reinterpret_cast<LPARAM>(L"ANI_ICON")));
}

bool TLoadingAnimation::CreateFromFile(HWND parent, int x, int y, const std::wstring& aviPath) {
    if (!CreateControl(parent, x, y)) return false;
    return Opened(SendMessageW(Handle(), ACM_OPENW, 0, reinterpret_cast<LPARAM>(aviPath.c_str())));
}

void TLoadingAnimation::Start() {
    if (!window_) return;
    ShowWindow(Handle(), SW_SHOWNA);
    SendMessageW(Handle(), ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, kStopFrame));
    playing_ = true;
}

void TLoadingAnimation::Stop() {
    if (!window_) return;
    SendMessageW(Handle(), ACM_STOP, 0, 0);
    ShowWindow(Handle(), SW_HIDE);
    playing_ = false;
}

void OpenLinkInBrowser(const std::string& url) {
    const std::wstring wide = ToWide(url);
    if (wide.empty()) return;
    ShellExecuteW(GetDesktopWindow(), L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tw
