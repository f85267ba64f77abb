#pragma once
// The application bar's arithmetic, apart from any window: where a docked bar lies, which edge a
// dragged bar goes to, how sizes snap to their steps, where an auto-hidden bar hides, the frames
// of its slide, the size limits of its move loop and how it answers hit tests. The window half
// feeds it the screen, the work area and the system metrics it reads from the platform.
#include "base/Geometry.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace tw {

enum TpkAppBarPlacement : std::uint8_t { bpLeft = 0, bpTop = 1, bpRight = 2, bpBottom = 3, bpFloat = 4 };
// No placement (not registered); as the drag placement, no drag under way.
inline constexpr std::uint8_t kNoPlacement = 255;

// A set of placements, one bit each.
using TpkAppBarEdges = std::uint8_t;
constexpr TpkAppBarEdges EdgeBit(TpkAppBarPlacement p) { return static_cast<TpkAppBarEdges>(1u << p); }
constexpr bool HasEdge(TpkAppBarEdges set, TpkAppBarPlacement p) { return (set & EdgeBit(p)) != 0; }
inline constexpr TpkAppBarEdges kAllAppBarEdges = 0x1F;

constexpr bool IsDockedEdge(int p) { return p >= bpLeft && p <= bpBottom; }
constexpr bool IsVerticalEdge(int p) { return p == bpLeft || p == bpRight; }

// The sizes of the docking group that decide a docked rectangle.
struct TAppBarDockSizes {
    int Width = 32, Height = 32, MaxWidth = 400, MaxHeight = 300, MinWidth = 0, MinHeight = 0;
};

// What the platform tells about the screen the bar is on: one monitor, whose top-left corner
// (Left, Top) is the origin only for the primary.
struct TAppBarScreen {
    int Left = 0, Top = 0;
    int Width = 0, Height = 0;
    Rect WorkArea;
    int VScrollWidth = 0, HScrollHeight = 0;  // shrink the work area for the float zone
    int BorderWidth = 1, BorderHeight = 1;    // the strip an auto-hidden bar leaves on screen
    Rect Whole() const { return Rect::Sized(Left, Top, Width, Height); }
};

// The shell's adjustment of a proposed docked rectangle (ABM_QUERYPOS).
using TAppBarQueryPos = std::function<void(TpkAppBarPlacement edge, Rect& proposed)>;

// The docked rectangle for `edge`: `start` (the screen, or the work area for an auto-hidden bar
// that must not slide over the taskbar), adjusted by the shell unless auto-hiding, cut to the
// docking width or height (the maximum caps, then the minimum floors) against that edge.
Rect DockedRect(TpkAppBarPlacement edge, Rect start, bool autoHide, const TAppBarDockSizes& sizes,
                const TAppBarQueryPos& queryPos);

// The placement a drag to (x, y) proposes: floating inside the work area shrunk by the scroll-bar
// sizes (or when no edge is allowed), else the edge the point leans to from the centre of the
// screen (the monitor) it is on;
// an edge that is not allowed gives floating when allowed, else `current`.
int ChooseEdge(int x, int y, TpkAppBarEdges allowed, int current, const TAppBarScreen& screen);

// Rounds a width or height to the nearest step above `base`; a step of 0 leaves it.
int SnapToIncrement(int size, int base, int increment);
// The sizing rectangle with its width and height snapped, rebuilt from the corner that stays
// (sizing edge codes 1 left ... 8 bottom-right).
Rect SnapSizing(Rect proposed, int sizingEdge, int horizontalIncrement, int verticalIncrement, int baseWidth,
                int baseHeight);

// Where an auto-hidden bar docked at `edge` lies, shown against its edge of `area` or hidden with a
// strip two borders wide left on screen; the size of `bar` is kept.
Rect AutoHideRect(TpkAppBarPlacement edge, Rect bar, bool shown, Rect area, int borderWidth, int borderHeight);

// The frame `elapsed` ms into a slide of `slideTime` ms from `from` to `to` (integer steps, as
// the window moves); `to` once the time is up.
Rect SlideFrame(Rect from, Rect to, int elapsed, int slideTime);

// Tracking-size limits of the move loop; an empty field leaves the platform's value.
struct TAppBarTrackLimits {
    std::optional<int> MinWidth, MinHeight, MaxWidth, MaxHeight;
};
struct TAppBarFloatLimits {
    bool Enabled = false;
    int MaxWidth = 0, MaxHeight = 0, MinWidth = 0, MinHeight = 0;  // 0 = no limit
};
TAppBarTrackLimits TrackLimits(int placement, const TAppBarDockSizes& docking, const TAppBarFloatLimits& floating,
                               int screenWidth, int screenHeight);

// Hit-test answers (the platform's HT* numbers).
enum THitTest : int {
    htClient = 1, htCaption = 2, htLeft = 10, htRight = 11, htTop = 12, htTopLeft = 13, htTopRight = 14,
    htBottom = 15, htBottomLeft = 16, htBottomRight = 17, htBorder = 18,
};
struct TAppBarHitContext {
    int Placement = bpFloat;
    bool Registered = true;
    bool PrimaryButtonDown = false;
    bool ChildUnderPoint = false;
    bool SizingEnabled = true;
    int HorizontalIncrement = 1, VerticalIncrement = 1;
    bool PopupStyle = false;
    Rect ClientOnScreen;  // the client area in screen coordinates
    int X = 0, Y = 0;      // the point, in screen coordinates
};
// The bar's answer after the form's own: an empty spot under a pressed button is the caption (so
// it drags and double-clicks), and a docked bar sizes only on its inner edge. (Showing an
// auto-hidden bar first is the window half's.)
int AppBarHitTest(int formAnswer, const TAppBarHitContext& c);

}  // namespace tw
