#pragma once
// The monitors of the desktop as the bar sees them: which one a setting names, which one a point
// or a window lies on, and how each is named in a list for the user. Coordinates are those of
// the virtual screen, whose origin is the primary monitor's top-left corner, so a monitor left of
// or above the primary has negative ones.
#include "base/Geometry.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct TMonitor {
    std::string DeviceName;  // as the system gives it, e.g. "\\.\DISPLAY2"
    Rect Bounds;
    Rect WorkArea;           // the bounds less the taskbar and other reserved strips
    int Dpi = 96;
    bool Primary = false;
    bool operator==(const TMonitor&) const = default;
};
using TMonitorList = std::vector<TMonitor>;

// The primary monitor's index: the one flagged, else the one holding the origin, else the first;
// -1 for an empty list.
int PrimaryMonitorIndex(const TMonitorList& monitors);

// The monitor a setting names: the one whose device name equals `name` (ignoring ASCII case, as
// the system does), or the primary for an empty name or one that is not connected now; -1 for an
// empty list. A name that is gone is kept by the caller, so the bar goes back when it returns.
int MonitorIndexNamed(const TMonitorList& monitors, std::string_view name);

// The monitor holding the point, else the nearest one (the system's rule for a point between or
// beyond the monitors); -1 for an empty list.
int MonitorIndexAt(const TMonitorList& monitors, Point point);

// The monitor a rectangle lies on most: the one with the largest common area, else the one
// nearest its centre; -1 for an empty list.
int MonitorIndexOfRect(const TMonitorList& monitors, const Rect& rect);

// The text of the monitor at `index` in the list the user chooses from: its number (index + 1),
// its resolution and, for the primary, " (primary)": "1: 1920 × 1080 (primary)".
std::string MonitorCaption(const TMonitorList& monitors, int index);

}  // namespace tw
