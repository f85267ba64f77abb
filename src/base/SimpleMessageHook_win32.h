#pragma once
// A private window whose messages go to a component's HookMessage: the single-instance guard
// receives its requests there. The window belongs to the application window; its class
// "TpkSimpleMessageHook", which a second instance looks for, is registered while a hook exists.
#include "base/Win32Window_win32.h"
#include "base/pkClasses.h"

namespace tw {

class TpkSimpleMessageHook final : public Win32Window {
public:
    // Raises std::system_error when the window cannot be made. The window goes with the hook;
    // its last messages do not reach the owner, which may be going itself by then.
    explicit TpkSimpleMessageHook(TpkComponent& owner);

protected:
    // The owner's answer, or the default one where the owner left the result at 0.
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    TpkComponent& owner_;
};

}  // namespace tw
