#include "desktop/ResChange_win32.h"

#include "base/ApplicationWindow_win32.h"

#include <windows.h>

namespace tw {
namespace {

class SystemDisplayPlatform : public TDisplayPlatform {
public:
    TDisplayResolution CurrentMode() override {
        DEVMODEW mode{};
        mode.dmSize = sizeof mode;
        if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return {};
        return MakeDisplayResolution(mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel,
                                     mode.dmDisplayFrequency);
    }
    int HookApplicationWindow(std::function<bool(TMessage&)> hook) override {
        return TApplicationWindow::Instance().HookMainWindow(std::move(hook));
    }
    void UnhookApplicationWindow(int token) override { TApplicationWindow::Instance().UnhookMainWindow(token); }
};

}  // namespace

TDisplayPlatform& SystemDisplay() {
    static SystemDisplayPlatform platform;
    return platform;
}

}  // namespace tw
