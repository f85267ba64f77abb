#include "support/MessagePump.h"

#include <windows.h>

namespace tw::test {

// Waits first and dispatches what arrived before looking at `done` again, so a worker's sent
// message that comes with the change `done` looks for is handled before this returns.
bool PumpUntil(const std::function<bool()>& done, int ms) {
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(ms);
    while (!done()) {
        if (::GetTickCount64() >= end) return done();
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return true;
}

}  // namespace tw::test
