#pragma once
// The balloon hint's arithmetic: the parameter text a balloon is handed, the free space around
// its anchor, the layout of icon, title and text (narrowed, or put in a scroll box, to fit), the
// choice among the four places around the anchor, and the window's body, tail and panel.
// THintBalloonControl (HintBalloon_win32.h) shows the window; nothing here needs the platform
// except text measuring, which comes through IBalloonTextMeasure.
#include "base/Geometry.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw {

enum THintBalloonAnimationType {
    batNone,
    batBlend,
    batCenter,
    batSlideLeftToRight,
    batSlideRightToLeft,
    batSlideTopToBottom,
    batSlideBottomToTop,
    batWipeLeftToRight,
    batWipeRightToLeft,
    batWipeTopToBottom,
    batWipeBottomToTop
};

inline constexpr int kBalloonTailHeight = 20;
inline constexpr int kBalloonTailWidth = 20;
inline constexpr int kBalloonTailInset = 20;
inline constexpr int kBalloonCornerRadius = 7;
inline constexpr int kBalloonBorderWidth = 1;
inline constexpr int kBalloonMargin = 10;
inline constexpr int kBalloonGap = 8;
// The panel is never cut below this, even when the anchor leaves no room at all.
inline constexpr int kBalloonMinPanelWidth = 60;
inline constexpr int kBalloonMinPanelHeight = 40;

// ---- the parameter text: ';'-separated, '-quoted name=value items, the newest in front

// "INFO", "ERROR", "WARNING" for kinds 0, 1, 2; empty (no icon) for any other.
std::string BalloonIconName(int kind);
// Puts name=value in front of `params`, quoted so that any ';' or '\'' in the value survives.
std::string AddBalloonParam(const std::string& params, std::string_view name, std::string_view value);
// The four items of a show call, in their order: icon name, title, text, best width.
std::string BuildBalloonParams(int kind, std::string_view title, std::string_view text, int bestWidth);
// The items of `params` in order; a broken quote runs to the end of the text.
std::vector<std::pair<std::string, std::string>> ParseBalloonParams(std::string_view params);
// The value of the first item named `name` (names compare without case); empty when there is none.
std::string BalloonParam(std::string_view params, std::string_view name);
// As BalloonParam, read as a decimal integer; `fallback` when missing or not a number.
int BalloonParamInt(std::string_view params, std::string_view name, int fallback);

// ---- geometry

// Room around the anchor for a panel, in each direction (may be negative off screen).
struct TBalloonFreeSpace {
    int Left = 0, Above = 0, Right = 0, Below = 0;
    bool operator==(const TBalloonFreeSpace&) const = default;
};
TBalloonFreeSpace BalloonFreeSpace(const Rect& anchor, int screenWidth, int screenHeight);

// The places around the anchor: 0 above-left of its top-left corner, 1 above-right of its
// top-right corner, 2 below-left of its bottom-left corner, 3 below-right of its bottom-right one.
// The place with the largest free area (left x above, left x below, right x above, right x below;
// the first wins a tie; negative room counts as none).
int LargestBalloonQuadrant(const TBalloonFreeSpace& free);
// The free width and height of the largest quadrant: the most a panel may take.
Size BalloonMaxPanel(const TBalloonFreeSpace& free);
// Whether a panel fits at `position`.
bool BalloonFits(int position, const TBalloonFreeSpace& free, int panelWidth, int panelHeight);
// The first place that fits, trying from `start` (taken as 0 outside 0..3) round at most four
// times; the largest quadrant when none does.
int ChooseBalloonPosition(int start, const TBalloonFreeSpace& free, int panelWidth, int panelHeight);

// ---- layout

class IBalloonTextMeasure {
public:
    virtual ~IBalloonTextMeasure() = default;
    // The title on one line, in the bold font.
    virtual Size TitleSize(const std::string& title) = 0;
    // The text word-wrapped at `wrapWidth`: the widest line (may exceed it for a long word) and
    // the height of all lines.
    virtual Size TextSize(const std::string& text, int wrapWidth) = 0;
};

// Where the content sits in the panel, and the panel's size. With Scroll the content
// (ContentWidth x ContentHeight) is larger than the panel and scrolls inside it.
struct TBalloonLayout {
    bool HasIcon = false;
    Rect Icon, Title, Text;
    int WrapWidth = 0;
    int PanelWidth = 0, PanelHeight = 0;
    bool Scroll = false;
    int ContentWidth = 0, ContentHeight = 0;
};

// Lays out the content the parameters name (Title, Text, IconeResName, MainPanelBestWidth,
// MainPanelMaxWidth, MainPanelMaxHeight) with an icon of `iconSize` when IconeResName is set.
// A panel that exceeds a maximum first has its text narrowed in steps of 10 until it is narrow
// enough (never narrower than the title), then widened back in steps of 10 while it is too tall
// and still narrow enough; what still does not fit goes into a scroll box 20 pixels wider, cut to
// the maximums. Maximums below kBalloonMinPanel* are raised to them.
TBalloonLayout LayoutBalloon(std::string_view params, Size iconSize, IBalloonTextMeasure& measure);

// The balloon window at `position` for a panel of the given size: its screen rectangle, the
// body and tail of its region, the panel's place and the panel's own (rounded) region, all in
// window coordinates except Window.
struct TBalloonGeometry {
    Rect Window;
    Rect Body;
    Point Tail[3];
    Rect Panel;
    Rect PanelRegion;  // in panel coordinates
};
TBalloonGeometry BalloonGeometry(int position, int panelWidth, int panelHeight, const Rect& anchor);

}  // namespace tw
