#include "controls/AppBarGeometry.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TAppBarScreen Screen1024() {
    TAppBarScreen s;
    s.Width = 1024;
    s.Height = 768;
    s.WorkArea = {0, 0, 1024, 768};
    s.VScrollWidth = 16;
    s.HScrollHeight = 16;
    return s;
}

constexpr TpkAppBarEdges kTickerEdges = EdgeBit(bpTop) | EdgeBit(bpBottom) | EdgeBit(bpFloat);

TEST(AppBarGeometry, EdgeChoiceFromTheMouse) {
    struct Case {
        int x, y;
        TpkAppBarEdges allowed;
        int current;
        int expected;
    } cases[] = {
        {612, 10, kAllAppBarEdges, bpFloat, bpTop},            // dx 100, dy -374: 768*100 < 1024*374
        {612, 760, kAllAppBarEdges, bpFloat, bpBottom},
        {3, 400, kAllAppBarEdges, bpFloat, bpLeft},
        {1020, 400, kAllAppBarEdges, bpFloat, bpRight},
        {512, 384, kAllAppBarEdges, bpTop, bpFloat},           // inside the shrunk work area
        {3, 400, kTickerEdges, bpTop, bpFloat},                 // left not allowed: floats
        {3, 400, EdgeBit(bpTop) | EdgeBit(bpBottom), bpTop, bpTop},  // nor floating: stays
        {512, 384, EdgeBit(bpTop), bpTop, bpTop},               // floating not allowed: an edge even mid-screen
        {512, 384, EdgeBit(bpFloat), bpTop, bpFloat},           // no edge allowed at all
        {512, 2, EdgeBit(bpFloat), bpTop, bpFloat},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseEdge(c.x, c.y, c.allowed, c.current, Screen1024()), c.expected) << c.x << "," << c.y;
}

TEST(AppBarGeometry, DockedRectangleTakesTheShellsAnswerAndTheCappedSize) {
    TAppBarDockSizes ticker;
    ticker.Height = 25;
    ticker.MaxHeight = 32;
    const Rect screen{0, 0, 1024, 768};
    int queries = 0;
    auto shell = [&](TpkAppBarPlacement, Rect& r) {
        ++queries;
        r.Top += 30;  // another bar holds the top 30 pixels
    };
    EXPECT_EQ(DockedRect(bpTop, screen, false, ticker, shell), (Rect{0, 30, 1024, 55}));
    EXPECT_EQ(DockedRect(bpBottom, screen, false, ticker, nullptr), (Rect{0, 743, 1024, 768}));
    ticker.Height = 40;  // capped at MaxHeight
    EXPECT_EQ(DockedRect(bpTop, screen, false, ticker, nullptr).Height(), 32);
    ticker.MinHeight = 36;  // the minimum wins over the maximum
    EXPECT_EQ(DockedRect(bpTop, screen, false, ticker, nullptr).Height(), 36);
    TAppBarDockSizes side;
    side.Width = 50;
    EXPECT_EQ(DockedRect(bpLeft, screen, false, side, nullptr), (Rect{0, 0, 50, 768}));
    EXPECT_EQ(DockedRect(bpRight, screen, false, side, nullptr), (Rect{974, 0, 1024, 768}));
    queries = 0;
    DockedRect(bpTop, screen, true, ticker, shell);  // an auto-hidden bar asks the shell nothing
    EXPECT_EQ(queries, 0);
}

TEST(AppBarGeometry, SizingSnapsToTheIncrementFromTheFixedCorner) {
    const Rect top{0, 0, 1024, 22};
    EXPECT_EQ(SnapSizing(top, 6, 1, 5, 0, 0), (Rect{0, 0, 1024, 20}));  // 22 -> 20
    EXPECT_EQ(SnapSizing({0, 0, 1024, 23}, 6, 1, 5, 0, 0), (Rect{0, 0, 1024, 25}));  // 23 -> 25
    EXPECT_EQ(SnapSizing({100, 100, 200, 223}, 3, 1, 5, 0, 0), (Rect{100, 98, 200, 223}));  // top moves
    EXPECT_EQ(SnapSizing({100, 100, 213, 200}, 7, 10, 1, 0, 0), (Rect{103, 100, 213, 200}));  // left moves
    EXPECT_EQ(SnapSizing({0, 0, 47, 47}, 8, 10, 10, 5, 5), (Rect{0, 0, 45, 45}));  // steps above the base
    EXPECT_EQ(SnapSizing({0, 0, 47, 47}, 8, 0, 0, 0, 0), (Rect{0, 0, 47, 47}));   // 0: no snapping
}

TEST(AppBarGeometry, AutoHiddenBarLeavesTwoBordersOnScreen) {
    const Rect area{0, 0, 1024, 768};
    const Rect topBar{0, 0, 1024, 25};
    EXPECT_EQ(AutoHideRect(bpTop, topBar, false, area, 1, 1), (Rect{0, -23, 1024, 2}));
    EXPECT_EQ(AutoHideRect(bpTop, {0, -23, 1024, 2}, true, area, 1, 1), topBar);
    EXPECT_EQ(AutoHideRect(bpBottom, {0, 743, 1024, 768}, false, area, 1, 1), (Rect{0, 766, 1024, 791}));
    EXPECT_EQ(AutoHideRect(bpLeft, {0, 0, 50, 768}, false, area, 2, 2), (Rect{-46, 0, 4, 768}));
    EXPECT_EQ(AutoHideRect(bpRight, {974, 0, 1024, 768}, false, area, 1, 1), (Rect{1022, 0, 1072, 768}));
}

TEST(AppBarGeometry, SlideStaysBetweenItsEndsAndEndsOnTime) {
    const Rect from{0, -23, 1024, 2}, to{0, 0, 1024, 25};
    EXPECT_EQ(SlideFrame(from, to, 0, 200), from);
    EXPECT_EQ(SlideFrame(from, to, 100, 200).Top, -12);  // -23 + 100*23/200, truncated
    EXPECT_EQ(SlideFrame(from, to, 200, 200), to);
    EXPECT_EQ(SlideFrame(from, to, 5000, 200), to);
    for (int e = 0; e <= 200; e += 10) {
        const Rect f = SlideFrame(from, to, e, 200);
        EXPECT_GE(f.Top, from.Top);
        EXPECT_LE(f.Top, to.Top);
        EXPECT_EQ(f.Height(), 25);
    }
}

TEST(AppBarGeometry, TrackLimitsPerPlacement) {
    TAppBarDockSizes docking;
    docking.MaxHeight = 32;
    docking.MinHeight = 20;
    const TAppBarTrackLimits top = TrackLimits(bpTop, docking, {}, 1024, 768);
    EXPECT_EQ(top.MaxHeight, 32);
    EXPECT_EQ(top.MaxWidth, 1024);
    EXPECT_EQ(top.MinHeight, 20);
    const TAppBarTrackLimits left = TrackLimits(bpLeft, docking, {}, 1024, 768);
    EXPECT_EQ(left.MaxWidth, 400);
    EXPECT_EQ(left.MaxHeight, 768);
    EXPECT_FALSE(TrackLimits(bpFloat, docking, {}, 1024, 768).MaxWidth.has_value());
    const TAppBarTrackLimits floating = TrackLimits(bpFloat, docking, {true, 600, 0, 0, 40}, 1024, 768);
    EXPECT_EQ(floating.MaxWidth, 600);
    EXPECT_FALSE(floating.MaxHeight.has_value());
    EXPECT_EQ(floating.MinHeight, 40);
}

TEST(AppBarGeometry, HitTestAnswers) {
    TAppBarHitContext top;
    top.Placement = bpTop;
    top.ClientOnScreen = {0, 0, 1024, 25};
    auto with = [](TAppBarHitContext c, auto change) {
        change(c);
        return c;
    };
    struct Case {
        const char* what;
        int formAnswer;
        TAppBarHitContext context;
        int expected;
    } cases[] = {
        {"empty spot pressed drags", htClient, with(top, [](auto& c) { c.PrimaryButtonDown = true; }), htCaption},
        {"a child under the point keeps it", htClient,
         with(top, [](auto& c) { c.PrimaryButtonDown = c.ChildUnderPoint = true; }), htClient},
        {"no button: client", htClient, top, htClient},
        {"inner edge of a top bar sizes", htBottom, with(top, [](auto& c) { c.Y = 26; }), htBottom},
        {"outer edge of a top bar does not", htTop, with(top, [](auto& c) { c.Y = -1; }), htBorder},
        {"vertical step 0 forbids", htBottom, with(top, [](auto& c) { c.Y = 26; c.VerticalIncrement = 0; }), htBorder},
        {"sizing disabled", htBottom, with(top, [](auto& c) { c.Y = 26; c.SizingEnabled = false; }), htBorder},
        {"floating keeps the answer", htLeft, with(top, [](auto& c) { c.Placement = bpFloat; }), htLeft},
        {"pop-up keeps the answer", htTop, with(top, [](auto& c) { c.PopupStyle = true; }), htTop},
        {"not registered keeps it", htTop, with(top, [](auto& c) { c.Registered = false; }), htTop},
        {"left bar sizes on its right", htRight,
         with(top, [](auto& c) { c.Placement = bpLeft; c.ClientOnScreen = {0, 0, 50, 768}; c.X = 51; }), htRight},
        {"right bar with no horizontal step", htLeft,
         with(top, [](auto& c) { c.Placement = bpRight; c.HorizontalIncrement = 0; }), htBorder},
        {"bottom bar sizes on its top", htTop,
         with(top, [](auto& c) { c.Placement = bpBottom; c.ClientOnScreen = {0, 743, 1024, 768}; c.Y = 742; }), htTop},
    };
    for (const Case& c : cases) EXPECT_EQ(AppBarHitTest(c.formAnswer, c.context), c.expected) << c.what;
}

}  // namespace
}  // namespace tw
