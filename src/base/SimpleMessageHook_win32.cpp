#include "base/SimpleMessageHook_win32.h"

#include "base/ApplicationWindow_win32.h"

#include <system_error>

namespace tw {

TpkSimpleMessageHook::TpkSimpleMessageHook(TpkComponent& owner) : owner_(owner) {
    if (!CreateFor(L"TpkSimpleMessageHook", 0, 0, L"", 0, 0, 0, 0, TApplicationWindow::Instance().Handle(), nullptr, 0,
                   nullptr)) {
        const DWORD error = GetLastError();
        throw std::system_error(static_cast<int>(error), std::system_category(),
                                "The private message window cannot be made");
    }
}

LRESULT TpkSimpleMessageHook::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    TMessage message{msg, wp, lp, 0};
    owner_.HookMessage(message);
    return message.Result != 0 ? message.Result : Default(msg, wp, lp);
}

}  // namespace tw
