// The visibility watcher on a real window under Wine: hiding the window holds the ticker, and the
// session and display notifications, in the system's own records, reach it through the window.
// (Wine accepts the registrations but never sends either notification itself.)
#include <initguid.h>  // GUID_CONSOLE_DISPLAY_STATE, defined here from the system's header

#include "controls/VisibilityWatcher_win32.h"

#include "base/HookableWindow_win32.h"
#include "base/Win32Window_win32.h"
#include "controls/ScrollingText_win32.h"
#include "support/MessagePump.h"

#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace tw {
namespace {

class WatchedForm : public Win32Window {
public:
    HWND Make() {
        if (!Handle()) CreateFor(L"TidewireWatcherTestForm", 0, WS_POPUP | WS_CLIPCHILDREN, L"watched", 0, 0, 300, 30, nullptr);
        return Handle();
    }
};

class VisibilityWatcherWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        ShowWindow(form.Make(), SW_SHOWNOACTIVATE);
        ticker = CreateScrollingText(form.Handle(), 0, 0, 300, 30);
        ASSERT_NE(ticker, nullptr);
        ticker->Loaded();
        watcher = std::make_unique<TVisibilityWatcher>(&control, SystemVisibilityPlatform());
        watcher->SetTicker(ticker.get());
    }
    void TearDown() override {
        watcher.reset();
        ticker.reset();
        form.Destroy();
    }
    void SendDisplayState(DWORD state) {
        POWERBROADCAST_SETTING setting{};
        setting.PowerSetting = GUID_CONSOLE_DISPLAY_STATE;
        setting.DataLength = sizeof state;
        std::memcpy(setting.Data, &state, sizeof state);
        SendMessageW(form.Handle(), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&setting));
    }

    WatchedForm form;
    THookableWindow control{[this] { return form.Make(); }};
    std::unique_ptr<TScrollingText> ticker;
    std::unique_ptr<TVisibilityWatcher> watcher;
};

TEST_F(VisibilityWatcherWin32, TheSystemsWaysOfNotSeeingTheBarHoldTheTicker) {
    EXPECT_FALSE(ticker->Held());
    ShowWindow(form.Handle(), SW_HIDE);
    EXPECT_TRUE(ticker->HeldFor(thHidden));
    SetWindowPos(form.Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    EXPECT_FALSE(ticker->HeldFor(thHidden)) << "shown by a move, which sends no WM_SHOWWINDOW";

    SendMessageW(form.Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
    EXPECT_TRUE(ticker->HeldFor(thSessionLocked));
    SendMessageW(form.Handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    EXPECT_FALSE(ticker->Held());

    SendDisplayState(0);
    EXPECT_TRUE(ticker->HeldFor(thDisplayOff));
    const int offset = ticker->Offset();
    test::PumpFor(300);
    EXPECT_EQ(ticker->Offset(), offset);
    SendDisplayState(1);
    EXPECT_FALSE(ticker->Held());
    EXPECT_TRUE(test::PumpUntil([&] { return ticker->Offset() != offset; }, 2000));
}

}  // namespace
}  // namespace tw
