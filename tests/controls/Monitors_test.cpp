#include "controls/Monitors.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TMonitor Screen(const char* name, Rect bounds, int dpi, bool primary, int taskbar = 40) {
    return {name, bounds, {bounds.Left, bounds.Top, bounds.Right, bounds.Bottom - taskbar}, dpi, primary};
}

const TMonitorList kSideBySide = {Screen("\\\\.\\DISPLAY1", {0, 0, 1920, 1080}, 96, true),
                                  Screen("\\\\.\\DISPLAY2", {1920, 0, 3200, 1024}, 96, false, 0)};
// The second above the primary, denser.
const TMonitorList kStacked = {Screen("\\\\.\\DISPLAY1", {0, 0, 1280, 800}, 96, true),
                               Screen("\\\\.\\DISPLAY2", {0, -1080, 1920, 0}, 144, false, 0)};
// Left of the primary (negative origin), listed first; no flag at all in the last layout.
const TMonitorList kLeftOfPrimary = {Screen("\\\\.\\DISPLAY2", {-1280, 0, 0, 1024}, 120, false, 0),
                                     Screen("\\\\.\\DISPLAY1", {0, 0, 2560, 1440}, 144, true)};
const TMonitorList kUnflagged = {Screen("\\\\.\\DISPLAY2", {-1280, 0, 0, 1024}, 96, false),
                                 Screen("\\\\.\\DISPLAY1", {0, 0, 1024, 768}, 96, false)};

TEST(Monitors, WhichMonitorASettingAPointAndARectangleName) {
    struct Case {
        const char* what;
        const TMonitorList& layout;
        const char* setting;
        Point point;
        Rect rect;
        int named, at, ofRect;
        const char* caption;  // of the named monitor
    } cases[] = {
        {"empty setting: the primary", kSideBySide, "", {100, 5}, {0, 0, 1920, 25}, 0, 0, 0,
         "1: 1920 \xC3\x97 1080 (primary)"},
        {"the second by name", kSideBySide, "\\\\.\\DISPLAY2", {1925, 1000}, {1800, 0, 2400, 60}, 1, 1, 1,
         "2: 1280 \xC3\x97 1024"},
        {"names ignore case", kSideBySide, "\\\\.\\display2", {3199, 0}, {3000, 1000, 3300, 1100}, 1, 1, 1,
         "2: 1280 \xC3\x97 1024"},
        {"a monitor not connected: the primary", kSideBySide, "\\\\.\\DISPLAY3", {2500, 1050}, {1900, 500, 1960, 520},
         0, 1, 1, "1: 1920 \xC3\x97 1080 (primary)"},
        {"below the shorter one: the nearest", kSideBySide, "", {2500, 1050}, {2000, 1030, 2100, 1060}, 0, 1, 1,
         "1: 1920 \xC3\x97 1080 (primary)"},
        {"stacked above", kStacked, "\\\\.\\DISPLAY2", {10, -5}, {0, -20, 1280, 5}, 1, 1, 1, "2: 1920 \xC3\x97 1080"},
        {"beyond every monitor: the nearest", kStacked, "", {1500, 700}, {5000, 5000, 5010, 5010}, 0, 0, 0,
         "1: 1280 \xC3\x97 800 (primary)"},
        {"left of the primary", kLeftOfPrimary, "", {-1, 0}, {-100, 0, 60, 25}, 1, 0, 0,
         "2: 2560 \xC3\x97 1440 (primary)"},
        {"left of the primary by name", kLeftOfPrimary, "\\\\.\\DISPLAY2", {-1280, 1023}, {-10, 0, 500, 25}, 0, 0, 1,
         "1: 1280 \xC3\x97 1024"},
        {"no flag: the one at the origin", kUnflagged, "", {0, 0}, {-5, 0, 5, 25}, 1, 1, 0,
         "2: 1024 \xC3\x97 768 (primary)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MonitorIndexNamed(c.layout, c.setting), c.named);
        EXPECT_EQ(MonitorIndexAt(c.layout, c.point), c.at);
        EXPECT_EQ(MonitorIndexOfRect(c.layout, c.rect), c.ofRect);
        EXPECT_EQ(MonitorCaption(c.layout, c.named), c.caption);
    }
    EXPECT_EQ(MonitorIndexNamed({}, ""), -1);
    EXPECT_EQ(MonitorIndexAt({}, {0, 0}), -1);
    EXPECT_EQ(MonitorCaption(kSideBySide, 2), "");
}

}  // namespace
}  // namespace tw
