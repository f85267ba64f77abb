#pragma once
// The display-mode watcher: it sees the application window's messages and, on each display
// change, reads the new mode and reports the old and the new one.
#include "base/pkClasses.h"

#include <cstdint>
#include <functional>

namespace tw {

// A display mode; each field keeps the low 16 bits of the system's value.
struct TDisplayResolution {
    std::uint16_t PelsWidth = 0;
    std::uint16_t PelsHeight = 0;
    std::uint16_t BitsPerPel = 0;
    std::uint16_t DisplayFrequency = 0;
    bool operator==(const TDisplayResolution&) const = default;
};

TDisplayResolution MakeDisplayResolution(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPel,
                                         std::uint32_t frequency);

using TOnResChanged = std::function<void(const TDisplayResolution& OldRes, const TDisplayResolution& NewRes)>;

// What the watcher needs of the system: the current mode, and a way to see the application
// window's messages (a hook answers true to take a message over; the watcher never does).
class TDisplayPlatform {
public:
    virtual ~TDisplayPlatform() = default;
    virtual TDisplayResolution CurrentMode() = 0;
    virtual int HookApplicationWindow(std::function<bool(TMessage&)> hook) = 0;
    virtual void UnhookApplicationWindow(int token) = 0;
};

class TResChange : public TpkComponent {
public:
    // Hooks the application window unless designing, and reads the current mode.
    TResChange(TpkComponent* owner, TDisplayPlatform& platform);
    ~TResChange() override;
    const char* ClassName() const override { return "TResChange"; }

    const TDisplayResolution& CurrentMode() const { return current_; }
    TOnResChanged OnResChanged;

    // Reports a display change; the message is never taken over.
    bool HookProc(TMessage& message);

private:
    TDisplayPlatform& platform_;
    TDisplayResolution current_;
    int hookToken_ = 0;
    bool hooked_ = false;
};

}  // namespace tw
