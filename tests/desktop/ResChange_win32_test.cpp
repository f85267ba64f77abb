// A real display change: switching the colour depth makes the system tell every top-level
// window, the application window among them.
#include "base/ApplicationWindow_win32.h"
#include "desktop/ResChange_win32.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <vector>

namespace tw {
namespace {

// The current mode with another depth; the size is given too, as the system's mode list has it.
bool SetDepth(DWORD bits) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return false;
    mode.dmBitsPerPel = bits;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    const LONG result = ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr);
    if (result != DISP_CHANGE_SUCCESSFUL) ADD_FAILURE() << "depth " << bits << ": " << result;
    return result == DISP_CHANGE_SUCCESSFUL;
}

TEST(ResChangeWin32, ColourDepthChangesReachTheWatcherAndChain) {
    ASSERT_TRUE(TApplicationWindow::Instance().Create(L"display test"));
    TResChange watcher(nullptr, SystemDisplay());
    const TDisplayResolution start = watcher.CurrentMode();
    std::vector<std::pair<TDisplayResolution, TDisplayResolution>> events;
    watcher.OnResChanged = [&](const TDisplayResolution& o, const TDisplayResolution& n) { events.emplace_back(o, n); };

    ASSERT_TRUE(SetDepth(16));
    test::PumpUntil([&] { return events.size() == 1; }, 3000);
    ASSERT_TRUE(SetDepth(start.BitsPerPel));
    test::PumpUntil([&] { return events.size() == 2; }, 3000);

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].first, start);
    EXPECT_EQ(events[0].second.BitsPerPel, 16);
    EXPECT_EQ(events[0].second.PelsWidth, start.PelsWidth);
    EXPECT_EQ(events[1].first, events[0].second);
    EXPECT_EQ(events[1].second, start);
}

}  // namespace
}  // namespace tw
