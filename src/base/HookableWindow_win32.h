#pragma once
// A window of the program seen as a windowed control, so that form hooks can sit on it. The
// function answers the window's current handle (making the window when it has none).
#include "base/FormHooks.h"

#include <windows.h>

#include <functional>
#include <utility>

namespace tw {

class THookableWindow : public TpkWinControl {
public:
    using TControlAt = std::function<bool(int screenX, int screenY)>;
    explicit THookableWindow(std::function<HWND()> handle, bool isForm = true, TControlAt controlAt = {})
        : handle_(std::move(handle)), isForm_(isForm), controlAt_(std::move(controlAt)) {}
    TWindowId WindowHandle() override { return reinterpret_cast<TWindowId>(handle_()); }
    bool IsForm() const override { return isForm_; }
    bool GraphicControlAt(int screenX, int screenY) override { return controlAt_ && controlAt_(screenX, screenY); }

private:
    std::function<HWND()> handle_;
    bool isForm_;
    TControlAt controlAt_;
};

}  // namespace tw
