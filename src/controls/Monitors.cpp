#include "controls/Monitors.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <limits>

namespace tw {

namespace {

// Squared distance from the point to the nearest point of the rectangle (0 inside).
long long DistanceSquared(const Rect& r, Point p) {
    const long long dx = p.X < r.Left ? r.Left - p.X : p.X >= r.Right ? p.X - (r.Right - 1) : 0;
    const long long dy = p.Y < r.Top ? r.Top - p.Y : p.Y >= r.Bottom ? p.Y - (r.Bottom - 1) : 0;
    return dx * dx + dy * dy;
}

long long CommonArea(const Rect& a, const Rect& b) {
    const long long w = std::min(a.Right, b.Right) - std::max(a.Left, b.Left);
    const long long h = std::min(a.Bottom, b.Bottom) - std::max(a.Top, b.Top);
    return w > 0 && h > 0 ? w * h : 0;
}

}  // namespace

int PrimaryMonitorIndex(const TMonitorList& monitors) {
    if (monitors.empty()) return -1;
    for (std::size_t i = 0; i < monitors.size(); ++i)
        if (monitors[i].Primary) return static_cast<int>(i);
    for (std::size_t i = 0; i < monitors.size(); ++i)
        if (monitors[i].Bounds.Contains(0, 0)) return static_cast<int>(i);
    return 0;
}

int MonitorIndexNamed(const TMonitorList& monitors, std::string_view name) {
    if (!name.empty()) {
        for (std::size_t i = 0; i < monitors.size(); ++i)
            if (EqualsIgnoringAsciiCase(monitors[i].DeviceName, name)) return static_cast<int>(i);
    }
    return PrimaryMonitorIndex(monitors);
}

int MonitorIndexAt(const TMonitorList& monitors, Point point) {
    int best = -1;
    long long bestDistance = std::numeric_limits<long long>::max();
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const long long d = DistanceSquared(monitors[i].Bounds, point);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

int MonitorIndexOfRect(const TMonitorList& monitors, const Rect& rect) {
    int best = -1;
    long long bestArea = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const long long area = CommonArea(monitors[i].Bounds, rect);
        if (area > bestArea) {
            bestArea = area;
            best = static_cast<int>(i);
        }
    }
    if (best >= 0) return best;
    const Point centre{rect.Left + rect.Width() / 2, rect.Top + rect.Height() / 2};
    return MonitorIndexAt(monitors, centre);
}

std::string MonitorCaption(const TMonitorList& monitors, int index) {
    if (index < 0 || index >= static_cast<int>(monitors.size())) return {};
    const TMonitor& m = monitors[static_cast<std::size_t>(index)];
    std::string text = std::to_string(index + 1) + ": " + std::to_string(m.Bounds.Width()) + " \xC3\x97 " +
                       std::to_string(m.Bounds.Height());
    if (index == PrimaryMonitorIndex(monitors)) text += " (primary)";
    return text;
}

}  // namespace tw
