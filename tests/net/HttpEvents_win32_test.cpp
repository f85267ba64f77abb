// The message pump the HTTP tests share (kept in a test file so that the area's test executable
// picks it up without a support library of its own).
#include "HttpEvents_win32.h"

#include <windows.h>

namespace tw::test {

bool PumpUntil(const std::function<bool()>& done, int ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > static_cast<DWORD>(ms)) return done();
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

}  // namespace tw::test
