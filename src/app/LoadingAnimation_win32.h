#pragma once
// aniIcon: the common Animate control that plays the "ANI_ICON" AVI resource over the start
// image while a feed loads (resources/Tidewire.rc: ANI_ICON AVI "ani_icon.avi").
#include "base/UniqueHandle_win32.h"

#include <windows.h>

#include <string>

namespace tw {

class TLoadingAnimation {
public:
    static constexpr int kSize = 22;
    static constexpr int kStopFrame = 121;  // the last frame of the drawn clip

    // Creates the hidden control as a child of `parent` at (x, y), above its siblings, and opens
    // the AVI resource "ANI_ICON" of `module`. False when the control cannot be created or the
    // clip cannot be opened: then there is no control, and the ticker simply shows no animation.
    bool Create(HWND parent, int x, int y, HINSTANCE module);
    // The same with the clip read from a file (tests, tools).
    bool CreateFromFile(HWND parent, int x, int y, const std::wstring& aviPath);

    // Shows the control and plays frames 0 to kStopFrame over and over.
    void Start();
    // Stops playing and hides the control.
    void Stop();

    bool Playing() const { return playing_; }
    HWND Handle() const { return window_.Get(); }

private:
    bool CreateControl(HWND parent, int x, int y);
    bool Opened(LRESULT answer);

    // A child window: once its parent has taken it along, DestroyWindow refuses the handle.
    OwnedWindow window_;
    bool playing_ = false;
};

// Opens a web address in the user's browser: ShellExecute "open" with the desktop window as
// owner and SW_SHOWNORMAL. The result is not examined (nothing is shown on failure).
void OpenLinkInBrowser(const std::string& url);

}  // namespace tw
