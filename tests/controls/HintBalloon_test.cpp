// The balloon's parameter text, free space, placement, layout and window geometry.
#include "controls/HintBalloon.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw {
namespace {

// Monospaced stand-in: title 7 px a character, text 6 px, lines 13 px, greedy word wrap.
class FakeMeasure : public IBalloonTextMeasure {
public:
    Size TitleSize(const std::string& title) override { return {7 * static_cast<int>(title.size()), 13}; }
    Size TextSize(const std::string& text, int wrapWidth) override {
        ++textCalls;
        std::istringstream words(text);
        std::string word;
        int lines = 0, line = 0, widest = 0;
        while (words >> word) {
            const int w = 6 * static_cast<int>(word.size());
            if (line > 0 && line + 6 + w > wrapWidth) {
                widest = std::max(widest, line);
                ++lines;
                line = 0;
            }
            line = line > 0 ? line + 6 + w : w;
        }
        if (line > 0) ++lines;
        return {std::max(widest, line), 13 * lines};
    }
    int textCalls = 0;
};

std::string Words(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += i ? " word" : "word";
    return s;
}

TEST(HintBalloonParams, ItemsAreQuotedAndTheNewestComesFirst) {
    EXPECT_EQ(BuildBalloonParams(0, "Quick Start Menu!", "Click here", 300),
              "'MainPanelBestWidth=300';'Text=Click here';'Title=Quick Start Menu!';'IconeResName=INFO'");
    const struct {
        int kind;
        const char* icon;
    } kinds[] = {{0, "INFO"}, {1, "ERROR"}, {2, "WARNING"}, {3, ""}, {-1, ""}};
    for (const auto& k : kinds) EXPECT_EQ(BalloonParam(BuildBalloonParams(k.kind, "", "", 1), "iconeresname"), k.icon);

    for (const char* value : {"a;b", "it's", "''", "x=y;'z'", "", "trailing '"}) {
        const std::string params = AddBalloonParam(BuildBalloonParams(0, value, value, 10), "MainPanelMaxWidth", "99");
        EXPECT_EQ(BalloonParam(params, "Title"), value);
        EXPECT_EQ(BalloonParam(params, "Text"), value);
        EXPECT_EQ(BalloonParamInt(params, "MainPanelMaxWidth", 0), 99);
        EXPECT_EQ(ParseBalloonParams(params).size(), 5u) << params;
    }
    const std::string newer = AddBalloonParam("'Title=old'", "Title", "new");
    EXPECT_EQ(BalloonParam(newer, "Title"), "new");
    for (const char* bad : {"'N='", "'N=abc'", "'N=12x'", "'M=5'", "'N=99999999999'"})
        EXPECT_EQ(BalloonParamInt(bad, "N", -3), -3) << bad;
    EXPECT_EQ(BalloonParam("'Title=unclosed;Text=x", "Title"), "unclosed;Text=x");
}

TEST(HintBalloonPlacement, FreeSpaceAroundTheAnchor) {
    const struct {
        Rect anchor;
        TBalloonFreeSpace free;
    } cases[] = {
        {{100, 100, 100, 100}, {110, 70, 934, 638}},  // a point
        {{10, 5, 42, 37}, {20, -25, 992, 701}},       // a 32 x 32 start image at the top-left
        {{1000, 740, 1024, 768}, {1010, 710, 10, -30}},
    };
    for (const auto& c : cases) EXPECT_EQ(BalloonFreeSpace(c.anchor, 1024, 768), c.free) << c.anchor.Left;
}

TEST(HintBalloonPlacement, LargestQuadrantDecidesTheMaximumPanel) {
    const struct {
        TBalloonFreeSpace free;
        int quadrant;
        Size max;
    } cases[] = {
        {{110, 70, 934, 638}, 3, {934, 638}},
        {{500, 400, 100, 100}, 0, {500, 400}},
        {{100, 100, 100, 100}, 0, {100, 100}},   // a tie: the first
        {{-50, -50, 10, 10}, 3, {10, 10}},      // two negatives are no room, not a large area
        {{300, 10, 10, 300}, 2, {300, 300}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LargestBalloonQuadrant(c.free), c.quadrant) << c.free.Left << "," << c.free.Above;
        EXPECT_EQ(BalloonMaxPanel(c.free), c.max) << c.free.Left << "," << c.free.Above;
    }
}

TEST(HintBalloonPlacement, TriesFromTheStartPositionRoundTheAnchor) {
    const TBalloonFreeSpace topLeft{20, -25, 992, 701};  // near the top-left: no room above
    const TBalloonFreeSpace roomAbove{20, 100, 900, 600};
    const struct {
        int start;
        TBalloonFreeSpace free;
        int w, h, position;
    } cases[] = {
        {0, topLeft, 200, 60, 3},    // not above-left, not above-right (no room above), not below-left
        {0, roomAbove, 200, 60, 1},  // above-right fits
        {0, roomAbove, 10, 60, 0},   // the start fits
        {2, roomAbove, 10, 60, 2},
        {3, roomAbove, 10, 60, 3},
        {3, {20, 100, 900, 30}, 200, 60, 1},  // no room below: round past 0 to 1
        {7, roomAbove, 10, 60, 0},   // outside 0..3: from 0
        {0, topLeft, 2000, 60, 3},   // nothing fits: the largest quadrant
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseBalloonPosition(c.start, c.free, c.w, c.h), c.position) << c.start << " " << c.w;
}

TEST(HintBalloonLayout, IconTitleAndTextPlaces) {
    FakeMeasure m;
    const struct {
        int kind;
        const char* title;
        Rect titleRect;
        int textTop;
    } cases[] = {
        {0, "Quick Start Menu!", {34, 12, 34 + 119, 25}, 34},  // icon 16 x 16 at (10, 10)
        {3, "Quick Start Menu!", {10, 12, 129, 25}, 33},      // no icon: the title starts at 10
        {0, "", {34, 12, 34, 12}, 34},
        {3, "", {10, 12, 10, 12}, 10},  // neither
    };
    for (const auto& c : cases) {
        const TBalloonLayout l = LayoutBalloon(BuildBalloonParams(c.kind, c.title, "Click here", 300), {16, 16}, m);
        EXPECT_EQ(l.HasIcon, c.kind == 0);
        EXPECT_EQ(l.Title, c.titleRect) << c.kind << c.title;
        EXPECT_EQ(l.Text, (Rect{10, c.textTop, 10 + 60, c.textTop + 13})) << c.kind << c.title;
        EXPECT_EQ(l.PanelHeight, l.Text.Bottom + 10);
        EXPECT_EQ(l.PanelWidth, std::max(l.Text.Right, l.Title.Right) + 10) << "wide enough for the title too";
        EXPECT_FALSE(l.Scroll);
    }
}

TEST(HintBalloonLayout, NarrowsWidensOrScrollsToFit) {
    FakeMeasure m;
    const std::string text = Words(60);  // 60 words of 24 px and 6 px spaces: 1794 px on one line
    const auto layout = [&](int best, int maxW, int maxH, const char* title = "T") {
        std::string p = BuildBalloonParams(3, title, text, best);
        p = AddBalloonParam(p, "MainPanelMaxWidth", std::to_string(maxW));
        return LayoutBalloon(AddBalloonParam(p, "MainPanelMaxHeight", std::to_string(maxH)), {}, m);
    };
    const TBalloonLayout roomy = layout(300, 1000, 1000);
    EXPECT_EQ(roomy.WrapWidth, 280);
    EXPECT_FALSE(roomy.Scroll);

    const TBalloonLayout narrowed = layout(300, 150, 1000);
    EXPECT_LE(narrowed.PanelWidth, 150);
    EXPECT_GT(narrowed.PanelHeight, roomy.PanelHeight);
    EXPECT_EQ((280 - narrowed.WrapWidth) % 10, 0) << "steps of 10";
    EXPECT_FALSE(narrowed.Scroll);

    const TBalloonLayout widened = layout(100, 700, 150);
    EXPECT_LE(widened.PanelHeight, 150);
    EXPECT_LE(widened.PanelWidth, 700);
    EXPECT_GT(widened.WrapWidth, 80);
    EXPECT_FALSE(widened.Scroll);

    const TBalloonLayout scrolled = layout(300, 200, 100);
    EXPECT_TRUE(scrolled.Scroll);
    EXPECT_EQ(scrolled.PanelWidth, 200);
    EXPECT_EQ(scrolled.PanelHeight, 100);
    EXPECT_GT(scrolled.ContentHeight, 100);
    EXPECT_LE(scrolled.ContentWidth, 200) << "narrowed before it scrolls";

    const TBalloonLayout titled = layout(300, 150, 1000, "A title of thirty characters..");
    EXPECT_GE(titled.ContentWidth, titled.Title.Right + 10) << "never narrower than the title";
    EXPECT_TRUE(titled.Scroll);
    EXPECT_EQ(titled.PanelWidth, 150);

    const TBalloonLayout cornered = layout(300, -40, -5);  // an anchor off screen
    EXPECT_EQ(cornered.PanelWidth, kBalloonMinPanelWidth);
    EXPECT_EQ(cornered.PanelHeight, kBalloonMinPanelHeight);
    EXPECT_LT(m.textCalls, 400) << "the search is bounded";
}

TEST(HintBalloonGeometry, TheTailPointsAtTheAnchorCorner) {
    const Rect anchor{200, 300, 232, 332};
    const struct {
        int position;
        Point corner;
        int tip;  // which tail point is the tip
        Rect body;
    } cases[] = {
        {0, {200, 300}, 1, {0, 0, 151, 81}},
        {1, {232, 300}, 1, {0, 0, 151, 81}},
        {2, {200, 332}, 0, {0, 22, 151, 103}},
        {3, {232, 332}, 0, {0, 22, 151, 103}},
    };
    for (const auto& c : cases) {
        const TBalloonGeometry g = BalloonGeometry(c.position, 150, 80, anchor);
        const Point tip = g.Tail[c.tip];
        EXPECT_EQ(g.Window.Width(), 151);
        EXPECT_EQ(g.Window.Height(), c.position < 2 ? 99 : 103);
        EXPECT_EQ(g.Window.Left + tip.X, c.corner.X) << c.position;
        EXPECT_EQ(g.Window.Top + tip.Y, c.corner.Y) << c.position;
        EXPECT_EQ(g.Body, c.body) << c.position;
        EXPECT_EQ(g.Panel.Height(), 80);
        EXPECT_EQ(g.Panel.Top, c.position < 2 ? 0 : 22);
        EXPECT_EQ(g.PanelRegion, (Rect{1, 1, 149, 79}));
    }
    const TBalloonGeometry tiny = BalloonGeometry(2, 5, -30, anchor);
    EXPECT_EQ(tiny.Window.Width(), 41);
    EXPECT_GE(tiny.Window.Height(), 22);
}

}  // namespace
}  // namespace tw
