#include "desktop/ResChange.h"

namespace tw {

namespace {
constexpr std::uint32_t kWmDisplayChange = 0x007E;
std::uint16_t Low16(std::uint32_t value) { return static_cast<std::uint16_t>(value & 0xFFFF); }
}  // namespace

TDisplayResolution MakeDisplayResolution(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPel,
                                         std::uint32_t frequency) {
    return {Low16(width), Low16(height), Low16(bitsPerPel), Low16(frequency)};
}

TResChange::TResChange(TpkComponent* owner, TDisplayPlatform& platform) : TpkComponent(owner), platform_(platform) {
    if (!IsDesigning()) {
        hookToken_ = platform_.HookApplicationWindow([this](TMessage& message) { return HookProc(message); });
        hooked_ = true;
    }
    current_ = platform_.CurrentMode();
}

TResChange::~TResChange() {
    if (hooked_) platform_.UnhookApplicationWindow(hookToken_);
}

bool TResChange::HookProc(TMessage& message) {
    if (message.Msg != kWmDisplayChange) return false;
    const TDisplayResolution old = current_;
    current_ = platform_.CurrentMode();
    if (OnResChanged) OnResChanged(old, current_);
    return false;
}

}  // namespace tw
