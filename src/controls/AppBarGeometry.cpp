#include "controls/AppBarGeometry.h"

#include <algorithm>
#include <cstdlib>

namespace tw {

Rect DockedRect(TpkAppBarPlacement edge, Rect start, bool autoHide, const TAppBarDockSizes& sizes,
                const TAppBarQueryPos& queryPos) {
    Rect r = start;
    if (!autoHide && queryPos) queryPos(edge, r);
    const int w = std::max(std::min(sizes.Width, sizes.MaxWidth), sizes.MinWidth);
    const int h = std::max(std::min(sizes.Height, sizes.MaxHeight), sizes.MinHeight);
    switch (edge) {
        case bpLeft: r.Right = r.Left + w; break;
        case bpTop: r.Bottom = r.Top + h; break;
        case bpRight: r.Left = r.Right - w; break;
        case bpBottom: r.Top = r.Bottom - h; break;
        case bpFloat: break;
    }
    return r;
}

int ChooseEdge(int x, int y, TpkAppBarEdges allowed, int current, const TAppBarScreen& s) {
    const bool floatAllowed = HasEdge(allowed, bpFloat);
    if (floatAllowed) {
        const Rect inner{s.WorkArea.Left + s.VScrollWidth, s.WorkArea.Top + s.HScrollHeight,
                          s.WorkArea.Right - s.VScrollWidth, s.WorkArea.Bottom - s.HScrollHeight};
        if (inner.Contains(x, y) || (allowed & 0x0F) == 0) return bpFloat;
    }
    // The offsets are 16-bit values, as the platform's point coordinates.
    const int dx = static_cast<std::int16_t>(x - (s.Left + s.Width / 2));
    const int dy = static_cast<std::int16_t>(y - (s.Top + s.Height / 2));
    int edge;
    if (static_cast<long long>(s.Height) * std::abs(dx) < static_cast<long long>(s.Width) * std::abs(dy))
        edge = dy < 0 ? bpTop : bpBottom;
    else
        edge = dx < 0 ? bpLeft : bpRight;
    if (HasEdge(allowed, static_cast<TpkAppBarPlacement>(edge))) return edge;
    return floatAllowed ? bpFloat : current;
}

int SnapToIncrement(int size, int base, int increment) {
    if (increment == 0) return size;
    return ((size - base + increment / 2) / increment) * increment + base;
}

Rect SnapSizing(Rect q, int sizingEdge, int horizontalIncrement, int verticalIncrement, int baseWidth,
                int baseHeight) {
    const int w = SnapToIncrement(q.Width(), baseWidth, horizontalIncrement);
    const int h = SnapToIncrement(q.Height(), baseHeight, verticalIncrement);
    switch (sizingEdge) {  // 1 left, 2 right, 3 top, 4 top-left, 5 top-right, 6 bottom, 7 bottom-left, 8 bottom-right
        case 1: case 4: case 7: q.Left = q.Right - w; break;
        case 2: case 5: case 8: q.Right = q.Left + w; break;
    }
    switch (sizingEdge) {
        case 3: case 4: case 5: q.Top = q.Bottom - h; break;
        case 6: case 7: case 8: q.Bottom = q.Top + h; break;
    }
    return q;
}

Rect AutoHideRect(TpkAppBarPlacement edge, Rect bar, bool shown, Rect area, int bx, int by) {
    const int w = bar.Width(), h = bar.Height();
    Rect r = bar;
    switch (edge) {
        case bpLeft: r.Left = shown ? area.Left : area.Left + 2 * bx - w; r.Right = r.Left + w; break;
        case bpTop: r.Top = shown ? area.Top : area.Top + 2 * by - h; r.Bottom = r.Top + h; break;
        case bpRight: r.Left = shown ? area.Right - w : area.Right - 2 * bx; r.Right = r.Left + w; break;
        case bpBottom: r.Top = shown ? area.Bottom - h : area.Bottom - 2 * by; r.Bottom = r.Top + h; break;
        case bpFloat: break;
    }
    return r;
}

Rect SlideFrame(Rect from, Rect to, int elapsed, int slideTime) {
    if (slideTime <= 0 || elapsed >= slideTime) return to;
    const int e = std::max(elapsed, 0);
    const int left = from.Left - e * (from.Left - to.Left) / slideTime;
    const int top = from.Top - e * (from.Top - to.Top) / slideTime;
    const int width = from.Width() - e * (from.Width() - to.Width()) / slideTime;
    const int height = from.Height() - e * (from.Height() - to.Height()) / slideTime;
    return {left, top, left + width, top + height};
}

TAppBarTrackLimits TrackLimits(int placement, const TAppBarDockSizes& docking, const TAppBarFloatLimits& floating,
                               int screenWidth, int screenHeight) {
    TAppBarTrackLimits t;
    if (!IsDockedEdge(placement)) {
        if (!floating.Enabled) return t;
        auto set = [](std::optional<int>& field, int value) {
            if (value != 0) field = value;
        };
        set(t.MaxWidth, floating.MaxWidth);
        set(t.MaxHeight, floating.MaxHeight);
        set(t.MinWidth, floating.MinWidth);
        set(t.MinHeight, floating.MinHeight);
        return t;
    }
    t.MinWidth = docking.MinWidth;
    t.MinHeight = docking.MinHeight;
    t.MaxWidth = IsVerticalEdge(placement) ? docking.MaxWidth : screenWidth;
    t.MaxHeight = IsVerticalEdge(placement) ? screenHeight : docking.MaxHeight;
    return t;
}

int AppBarHitTest(int answer, const TAppBarHitContext& c) {
    if (answer == htClient && c.PrimaryButtonDown && !c.ChildUnderPoint) return htCaption;
    const bool sizingBorder = answer >= htLeft && answer <= htBottomRight;
    if (!c.Registered || !sizingBorder) return answer;
    if (!c.SizingEnabled) return htBorder;
    const bool vertical = IsVerticalEdge(c.Placement);
    if ((vertical && c.HorizontalIncrement == 0) || (!vertical && c.VerticalIncrement == 0)) return htBorder;
    if (!IsDockedEdge(c.Placement) || c.PopupStyle) return answer;
    switch (c.Placement) {  // only the inner edge sizes a docked bar
        case bpLeft: return c.X >= c.ClientOnScreen.Right ? htRight : htBorder;
        case bpTop: return c.Y >= c.ClientOnScreen.Bottom ? htBottom : htBorder;
        case bpRight: return c.X < c.ClientOnScreen.Left ? htLeft : htBorder;
        default: return c.Y < c.ClientOnScreen.Top ? htTop : htBorder;
    }
}

}  // namespace tw
