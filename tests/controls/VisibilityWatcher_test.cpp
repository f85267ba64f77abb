#include "controls/VisibilityWatcher.h"

#include "support/HookPlatformModel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tw {
namespace {

using test::HookPlatformModel;
using test::ModelForm;

class FakeVisibility : public TVisibilityPlatform {
public:
    bool visible = true, minimized = false;
    std::vector<TWindowId> started, stopped;
    bool IsVisible(TWindowId) override { return visible; }
    bool IsMinimized(TWindowId) override { return minimized; }
    std::uintptr_t StartNotifications(TWindowId w) override {
        started.push_back(w);
        return 1000 + w;
    }
    void StopNotifications(TWindowId w, std::uintptr_t token) override {
        EXPECT_EQ(token, 1000 + w) << "stopped with what starting answered";
        stopped.push_back(w);
    }
};

TPowerSetting Power(const std::uint8_t (&guid)[16], std::uint32_t state, std::uint32_t length = 4) {
    TPowerSetting p{};
    std::memcpy(p.PowerSetting, guid, sizeof guid);
    p.DataLength = length;
    std::memcpy(p.Data, &state, sizeof state);
    return p;
}

class VisibilityWatcherTest : public ::testing::Test {
protected:
    std::intptr_t Send(std::uint32_t msg, std::uintptr_t wp = 0, std::intptr_t lp = 0) {
        return model.Dispatch(form.WindowHandle(), msg, wp, lp);
    }
    std::uint32_t Holds() const {
        std::uint32_t mask = 0;
        for (int r = thPointer; r <= thDisplayOff; ++r)
            if (ticker.HeldFor(static_cast<TTickerHold>(r))) mask |= 1u << r;
        return mask;
    }

    HookPlatformModel model;
    ModelForm form{model};
    FakeVisibility system;
    TScrollingText ticker;
};

constexpr std::uint32_t Bit(TTickerHold r) { return 1u << r; }

TEST_F(VisibilityWatcherTest, EachWayOfBeingUnseenHoldsTheTickerForItsOwnReason) {
    TVisibilityWatcher watcher(&form, system);
    watcher.SetTicker(&ticker);
    const std::uint8_t otherSetting[16] = {1, 2, 3};
    const TPowerSetting off = Power(kConsoleDisplayState, 0), on = Power(kConsoleDisplayState, 1),
                        dimmed = Power(kConsoleDisplayState, 2), other = Power(otherSetting, 0),
                        cut = Power(kConsoleDisplayState, 0, 2);
    auto power = [](const TPowerSetting& p) { return reinterpret_cast<std::intptr_t>(&p); };
    struct Step {
        const char* what;
        std::uint32_t msg;
        std::uintptr_t wParam;
        std::intptr_t lParam;
        std::uint32_t holds;  // after the step
    } steps[] = {
        {"hidden (the tray, Esc)", kWmShowWindow, 0, 0, Bit(thHidden)},
        {"locked while hidden", kWmWtsSessionChange, wtsSessionLock, 0, Bit(thHidden) | Bit(thSessionLocked)},
        {"shown while locked", kWmShowWindow, 1, 0, Bit(thSessionLocked)},
        {"disconnected", kWmWtsSessionChange, wtsRemoteDisconnect, 0, Bit(thSessionLocked) | Bit(thSessionDisconnected)},
        {"unlocked", kWmWtsSessionChange, wtsSessionUnlock, 0, Bit(thSessionDisconnected)},
        {"another session's logon", kWmWtsSessionChange, 5, 0, Bit(thSessionDisconnected)},
        {"connected at the console", kWmWtsSessionChange, wtsConsoleConnect, 0, 0},
        {"display off", kWmPowerBroadcast, kPbtPowerSettingChange, power(off), Bit(thDisplayOff)},
        {"another setting", kWmPowerBroadcast, kPbtPowerSettingChange, power(other), Bit(thDisplayOff)},
        {"a record too short", kWmPowerBroadcast, kPbtPowerSettingChange, power(cut), Bit(thDisplayOff)},
        {"dimmed is seen", kWmPowerBroadcast, kPbtPowerSettingChange, power(dimmed), 0},
        {"off, then on", kWmPowerBroadcast, kPbtPowerSettingChange, power(off), Bit(thDisplayOff)},
        {"on", kWmPowerBroadcast, kPbtPowerSettingChange, power(on), 0},
        {"another power event", kWmPowerBroadcast, 0x0A, 0, 0},
        {"minimised", kWmSize, kSizeMinimized, 0, Bit(thMinimized)},
        {"another window maximised", kWmSize, 3, 0, Bit(thMinimized)},
        {"restored", kWmSize, 0, 0, 0},
    };
    for (const Step& s : steps) {
        Send(s.msg, s.wParam, s.lParam);
        EXPECT_EQ(Holds(), s.holds) << s.what;
        EXPECT_EQ(watcher.Unseen(), s.holds != 0) << s.what;
    }
    watcher.SetFullScreenApp(true);
    EXPECT_EQ(Holds(), Bit(thFullScreen));
    // Hidden by a move (SWP_HIDEWINDOW sends no WM_SHOWWINDOW): read from the window afterwards.
    system.visible = false;
    Send(kWmWindowPosChangedMessage);
    EXPECT_EQ(Holds(), Bit(thFullScreen) | Bit(thHidden));
    watcher.SetFullScreenApp(false);
    system.visible = true;
    Send(kWmWindowPosChangedMessage);
    EXPECT_FALSE(ticker.Held());
}

TEST_F(VisibilityWatcherTest, NotificationsFollowTheWindowAndHoldsFollowTheTicker) {
    system.visible = false;  // the bar is made hidden
    auto watcher = std::make_unique<TVisibilityWatcher>(&form, system);
    const TWindowId first = form.WindowHandle();
    EXPECT_EQ(system.started, std::vector<TWindowId>{first});
    watcher->SetTicker(&ticker);
    EXPECT_TRUE(ticker.HeldFor(thHidden)) << "what held before the ticker came carries over";

    system.visible = true;
    form.RecreateWindow();  // a new window: the old one's notifications went with it
    model.DeliverPosted();  // the rehook
    const TWindowId second = form.WindowHandle();
    EXPECT_EQ(system.stopped, std::vector<TWindowId>{first});
    EXPECT_EQ(system.started, (std::vector<TWindowId>{first, second}));
    EXPECT_FALSE(ticker.Held()) << "the new window is read anew";

    Send(kWmWtsSessionChange, wtsSessionLock);
    TScrollingText other;
    watcher->SetTicker(&other);
    EXPECT_FALSE(ticker.Held());
    EXPECT_TRUE(other.HeldFor(thSessionLocked));
    watcher.reset();
    EXPECT_FALSE(other.Held()) << "a watcher that goes releases what it held";
    EXPECT_EQ(system.stopped, (std::vector<TWindowId>{first, second}));
}

}  // namespace
}  // namespace tw
