#include "controls/ScrollingText.h"
#include "controls/StillText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace tw {
namespace {

// A platform stand-in: every byte of text is 6 pixels wide; a glyph is a 4-pixel-wide solid
// block one pixel inside the text's height. Records what the control asked of the platform.
class FakeHost : public IScrollingTextHost {
public:
    struct Log {
        std::vector<int> timerIntervals;
        std::vector<bool> visibility;
        int presents = 0;
        int renders = 0;
        std::vector<Rect> parts;  // what PresentPart was given
        TPixelImage screen;             // what the screen shows after each present
        bool refuse = false;            // PresentPart answers "not shown" (a hidden window)
        bool showing = true;            // what Showing answers
    };
    explicit FakeHost(Log& log, int textHeight = 13) : log_(log), textHeight_(textHeight) {}

    Size MeasureText(const TFont&, const std::string& text) override {
        return {static_cast<int>(text.size()) * 6, textHeight_};
    }
    void RenderText(TPixelImage& strip, const TFont&, const std::string& text, int x, int y, TColor textColor,
                    TColor background) override {
        ++log_.renders;
        strip.FillRect(x, y, static_cast<int>(text.size()) * 6, textHeight_, ColorToPixel(background));
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] != ' ')
                strip.FillRect(x + static_cast<int>(i) * 6 + 1, y + 1, 4, textHeight_ - 2, ColorToPixel(textColor));
    }
    TColor ResolveColor(TColor c) override { return ResolveColorClassic(c); }
    void SetTimerInterval(int ms) override { log_.timerIntervals.push_back(ms); }
    void Present(const TPixelImage& frame) override {
        ++log_.presents;
        log_.screen = frame;
    }
    bool PresentPart(const TPixelImage& frame, const Rect& part) override {
        log_.parts.push_back(part);
        if (log_.refuse) return false;
        if (log_.screen.Width() != frame.Width() || log_.screen.Height() != frame.Height())
            log_.screen.Resize(frame.Width(), frame.Height(), 0xDEAD);  // a fresh screen shows garbage
        CopyRect(log_.screen, frame, part);
        return true;
    }
    bool Showing() override { return log_.showing; }
    void SetVisible(bool v) override { log_.visibility.push_back(v); }
    void SetBounds(int, int, int, int) override {}
    void SetHint(const std::string&, bool) override {}
    void SetHandCursor(bool) override {}

private:
    Log& log_;
    int textHeight_;
};

constexpr TColor kFontColor = 0xE6F5FF;
constexpr TColor kGround = 0x40342B;

struct Ticker {
    FakeHost::Log log;
    TScrollingText control{std::make_unique<FakeHost>(log)};
    int fired = 0;

    Ticker(int width, int height, const std::string& text, TTextDirection direction, int jump = 1) {
        control.SetBounds(0, 0, width, height);
        control.SetText(text);
        control.SetTextDirection(direction);
        control.PixelJump = jump;
        control.OnTextScrolled = [this](TScrollingText&) { ++fired; };
        control.Loaded();
    }
    // Ticks until the event fires; returns the number of ticks, or -1 after `limit`.
    int TicksToEvent(int limit = 100000) {
        const int before = fired;
        for (int i = 1; i <= limit; ++i) {
            control.Tick();
            if (fired != before) return i;
        }
        return -1;
    }
};

// 50 bytes of text: 300 pixels with the fake host.
const std::string k300px(50, 'x');

TEST(TScrollingText, ConstructorDefaults) {
    FakeHost::Log log;
    TScrollingText t(std::make_unique<FakeHost>(log));
    EXPECT_EQ(t.Width(), 50);
    EXPECT_EQ(t.Height(), 18);
    EXPECT_EQ(t.Text(), "Text");
    EXPECT_EQ(t.Speed(), 50);
    EXPECT_EQ(t.EdgeFadeWidth(), 15);
    EXPECT_EQ(t.BackgroundColor(), clBtnFace);
    EXPECT_EQ(t.Layout(), tlCenter);
    EXPECT_EQ(t.TextDirection(), tdLeftToRight);
    EXPECT_EQ(t.PixelJump, 1);
    EXPECT_EQ(t.Offset(), -50);
    EXPECT_EQ(t.Font().Color, clWindowText);
    EXPECT_TRUE(t.Visible());
    EXPECT_TRUE(t.Enabled());
    EXPECT_EQ(t.RebuildCount(), 0);  // no rebuild before Loaded
    EXPECT_EQ(log.timerIntervals, std::vector<int>{50});
}

TEST(TScrollingText, RightToLeftPassFiresAtMinus500AndRestartsAtZero) {
    Ticker t(200, 11, k300px, tdRightToLeft);
    EXPECT_EQ(t.control.StripWidth(), 700);
    EXPECT_EQ(t.control.Offset(), 0);
    std::vector<int> seen;
    int offsetInHandler = 1;
    t.control.OnTextScrolled = [&](TScrollingText& s) {
        ++t.fired;
        offsetInHandler = s.Offset();
    };
    for (int i = 0; i < 3; ++i) {
        t.control.Tick();
        seen.push_back(t.control.Offset());
    }
    EXPECT_EQ(seen, (std::vector<int>{-1, -2, -3}));
    EXPECT_EQ(t.TicksToEvent(), 497);  // the tick that reaches -500 is tick 500
    EXPECT_EQ(offsetInHandler, 0);
    EXPECT_EQ(t.control.Offset(), 0);
    EXPECT_EQ(t.log.presents, 500);  // every tick paints, the firing one included
}

TEST(TScrollingText, LeftToRightStartsAtWidthMinusStripAndResets) {
    Ticker t(200, 11, k300px, tdLeftToRight);
    EXPECT_EQ(t.control.Offset(), 200 - 700);
    t.control.Tick();
    EXPECT_EQ(t.control.Offset(), -499);
    EXPECT_EQ(t.TicksToEvent(), 499);
    EXPECT_EQ(t.control.Offset(), -500);
}

TEST(TScrollingText, EventFiresOncePerPassForEveryJump) {
    struct Case {
        int width, textBytes, jump;
        TTextDirection direction;
        int ticksPerPass;  // ceil(strip - width) / jump
    };
    const Case cases[] = {
        {200, 50, 1, tdRightToLeft, 500}, {200, 50, 2, tdRightToLeft, 250}, {201, 50, 2, tdRightToLeft, 251},
        {199, 50, 2, tdLeftToRight, 250}, {199, 50, 3, tdLeftToRight, 167}, {50, 0, 1, tdRightToLeft, 50},
        {51, 0, 2, tdRightToLeft, 26},    {51, 0, 2, tdLeftToRight, 26},    {1, 0, 1, tdLeftToRight, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "width " << c.width << " bytes " << c.textBytes << " jump " << c.jump);
        Ticker t(c.width, 11, std::string(static_cast<std::size_t>(c.textBytes), 'x'), c.direction, c.jump);
        for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(t.TicksToEvent(), c.ticksPerPass);
    }
}

TEST(TScrollingText, DisabledOrHiddenTicksNeitherMoveNorFire) {
    Ticker t(20, 11, "", tdRightToLeft);
    for (int i = 0; i < 7; ++i) t.control.Tick();
    const int offset = t.control.Offset();
    const int presents = t.log.presents;

    t.control.SetEnabled(false);
    for (int i = 0; i < 100; ++i) t.control.Tick();
    EXPECT_EQ(t.control.Offset(), offset);
    EXPECT_EQ(t.fired, 0);
    EXPECT_EQ(t.log.presents, presents);

    t.control.SetEnabled(true);
    t.control.SetVisible(false);
    EXPECT_FALSE(t.control.Enabled());
    for (int i = 0; i < 100; ++i) t.control.Tick();
    EXPECT_EQ(t.control.Offset(), offset);
    EXPECT_EQ(t.fired, 0);

    t.control.SetVisible(true);
    EXPECT_TRUE(t.control.Enabled());
    t.control.Tick();
    EXPECT_EQ(t.control.Offset(), offset - 1);  // continues from where it stood
    EXPECT_EQ(t.log.visibility, (std::vector<bool>{false, true}));
}

TEST(TScrollingText, HoverPausesOnlyWhenAskedAndResumesWhereItStood) {
    for (bool pause : {false, true}) {
        Ticker t(20, 11, "", tdRightToLeft);
        t.control.PauseOnHover = pause;
        t.control.Tick();
        const int offset = t.control.Offset();
        t.control.MouseMove(0, 5, 5);
        for (int i = 0; i < 10; ++i) t.control.Tick();
        EXPECT_EQ(t.control.Offset(), pause ? offset : offset - 10) << pause;
        t.control.MouseLeave();
        t.control.Tick();
        EXPECT_EQ(t.control.Offset(), pause ? offset - 1 : offset - 11) << pause;
        // The timer stands while the text does, and runs at the speed again after.
        EXPECT_EQ(t.log.timerIntervals, pause ? (std::vector<int>{50, 0, 50}) : std::vector<int>{50}) << pause;
    }
}

TEST(TScrollingText, ReasonsHoldTheFramesUntilTheLastOneIsReleased) {
    Ticker t(20, 11, "abc", tdRightToLeft);
    t.control.Tick();
    const int offset = t.control.Offset(), presents = t.log.presents;
    t.control.Hold(thHidden);
    t.control.Hold(thDisplayOff);
    t.control.Hold(thHidden);     // held already: nothing more
    t.control.Release(thMinimized);  // never held: nothing
    t.control.Release(thHidden);  // the display is still off
    for (int i = 0; i < 5; ++i) t.control.Tick();
    EXPECT_EQ(t.control.Offset(), offset);
    EXPECT_EQ(t.log.presents, presents) << "nothing is drawn while held";
    EXPECT_TRUE(t.control.HeldFor(thDisplayOff));
    EXPECT_FALSE(t.control.HeldFor(thHidden));
    t.control.Release(thDisplayOff);
    t.control.Tick();
    EXPECT_EQ(t.control.Offset(), offset - 1) << "on from where it stood";
    EXPECT_EQ(t.log.timerIntervals, (std::vector<int>{50, 0, 50})) << "the timer stands while held";

    // A tick that finds the window hidden holds the frames itself, until the next paint request.
    t.log.showing = false;
    t.control.Tick();
    EXPECT_TRUE(t.control.HeldFor(thNotShown));
    EXPECT_EQ(t.control.Offset(), offset - 1);
    t.log.showing = true;
    t.control.FrameShown();
    t.control.Tick();
    EXPECT_FALSE(t.control.Held());
    EXPECT_EQ(t.control.Offset(), offset - 2);
}

TEST(TScrollingText, SpeedSetsTheTimerAndZeroStopsIt) {
    Ticker t(100, 11, "abc", tdRightToLeft);
    t.control.SetSpeed(25);
    t.control.SetSpeed(25);  // unchanged: no second call
    t.control.SetSpeed(0);
    t.control.SetSpeed(-5);  // taken as 0, unchanged
    EXPECT_EQ(t.log.timerIntervals, (std::vector<int>{50, 25, 0}));
    EXPECT_EQ(t.control.Speed(), 0);
    // Paints still work while the timer stands.
    const int presents = t.log.presents;
    t.control.Paint();
    EXPECT_EQ(t.log.presents, presents + 1);
}

TEST(TScrollingText, RebuildRules) {
    Ticker t(100, 11, "abc", tdRightToLeft);
    const int base = t.control.RebuildCount();
    EXPECT_EQ(base, 1);  // Loaded

    t.control.SetText("abc");
    t.control.SetBackgroundColor(t.control.BackgroundColor());
    t.control.SetLayout(t.control.Layout());
    t.control.SetEdgeFadeWidth(t.control.EdgeFadeWidth());
    t.control.SetFont(t.control.Font());
    t.control.SetBounds(0, 0, 100, 11);
    t.control.PixelJump = 2;
    t.control.SetSpeed(10);
    EXPECT_EQ(t.control.RebuildCount(), base) << "unchanged values must not rebuild";

    for (int i = 0; i < 5; ++i) t.control.Tick();
    const int offset = t.control.Offset();
    t.control.SetText("abcd");
    t.control.SetBackgroundColor(0x123456);
    t.control.SetLayout(tlBottom);
    t.control.SetEdgeFadeWidth(3);
    TFont f = t.control.Font();
    f.Size = 9;
    t.control.SetFont(f);
    t.control.SetBounds(0, 0, 101, 11);
    EXPECT_EQ(t.control.RebuildCount(), base + 6);
    EXPECT_EQ(t.control.Offset(), offset) << "a rebuild keeps the offset";

    t.control.SetBounds(7, 3, 101, 11);  // a move alone is no resize
    EXPECT_EQ(t.control.RebuildCount(), base + 6);

    t.control.SetTextDirection(tdLeftToRight);
    EXPECT_EQ(t.control.RebuildCount(), base + 7);
    EXPECT_EQ(t.control.Offset(), 101 - t.control.StripWidth());
    t.control.SetTextDirection(tdRightToLeft);
    EXPECT_EQ(t.control.Offset(), 0);
}

TEST(TScrollingText, ShorterTextEndsARightToLeftPassAtTheNextTick) {
    Ticker t(200, 11, k300px, tdRightToLeft);
    for (int i = 0; i < 400; ++i) t.control.Tick();
    EXPECT_EQ(t.control.Offset(), -400);
    t.control.SetText("short");  // strip 430: the offset -400 is past its end of -230
    EXPECT_EQ(t.TicksToEvent(), 1);
    EXPECT_EQ(t.control.Offset(), 0);
}

TEST(TScrollingText, KeyColourTable) {
    struct Case {
        TColor font, ground, key;
    };
    const Case cases[] = {
        {kFontColor, clBtnFace, kStripKeyColor},
        {kFontColor, 0x40342B, kStripAltKeyColor},   // the ticker's own background
        {0x40342B, clBtnFace, kStripAltKeyColor},
        {0x40342B, 0x40342B, kStripAltKeyColor},
        {clWindowText, 0xFF40342B, kStripKeyColor},  // compared as stored, not resolved
        {0x40342C, 0x40342A, kStripKeyColor},
    };
    for (const Case& c : cases) EXPECT_EQ(ChooseKeyColor(c.font, c.ground), c.key) << std::hex << c.font << " " << c.ground;
}

TEST(TScrollingText, BackgroundEqualToKeyStaysOpaque) {
    Ticker t(60, 11, "", tdRightToLeft);
    t.control.SetFont({"Tahoma", 8, kFontColor, 0});
    t.control.SetBackgroundColor(kGround);
    EXPECT_EQ(t.control.KeyColor(), kStripAltKeyColor);
    t.control.ComposeFrame();
    // The middle column is far from the fades: with an empty text it must be the ground.
    EXPECT_EQ(PixelToColor(t.control.Frame().Pixel(30, 5)), kGround);
}

TEST(TScrollingText, TextTopForEveryLayout) {
    struct Case {
        TTextLayout layout;
        int controlHeight, textHeight, top;
    };
    const Case cases[] = {
        {tlTop, 11, 13, 0},    {tlCenter, 11, 13, -1}, {tlBottom, 11, 13, -2}, {tlCenter, 18, 13, 3},
        {tlCenter, 25, 14, 5}, {tlBottom, 25, 14, 11}, {tlCenter, 0, 13, -6},  {tlCenter, 1, 3, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextTopFor(c.layout, c.controlHeight, c.textHeight), c.top)
            << c.layout << " H=" << c.controlHeight << " T=" << c.textHeight;
}

TEST(TScrollingText, MulDivRoundsHalvesAwayFromZero) {
    struct Case {
        int a, b, c, result;
    };
    const Case cases[] = {
        {1, 1, 2, 1},   {-1, 1, 2, -1}, {3, 1, 2, 2},  {-3, 1, 2, -2},           {5, 1, 4, 1},
        {7, 1, 4, 2},   {1, -7, 4, -2}, {1, 7, -4, -2}, {0, 5, 0, -1},            {2000000000, 2, 4, 1000000000},
        {14, -81, 14, -81}, {13, -81, 14, -75}, {2000000000, 2000000000, 1, -1},  // overflow, as the platform
    };
    for (const Case& c : cases) EXPECT_EQ(MulDivRounded(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
}

TEST(TScrollingText, ColorBlendTable) {
    struct Case {
        TColor from, to;
        int index, count;
        TColor result;
    };
    const Case cases[] = {
        {0x000000, 0xFFFFFF, 1, 15, 0x000000},
        {0x000000, 0xFFFFFF, 15, 15, 0xFFFFFF},
        {0x000000, 0xFFFFFF, 8, 15, 0x808080},   // 7 * 255 / 14 = 127.5 rounds up
        {0x40342B, 0xE6F5FF, 2, 15, 0x4C423A},   // +15.14, +13.79, +11.86 per channel
        {0xFFFFFF, 0x000000, 2, 3, 0x7F7F7F},    // -127.5 rounds away from zero to -128
        {0x102030, 0x102030, 5, 9, 0x102030},
        {0x0000FF, 0x00FF00, 2, 3, 0x00807F},    // channels move independently: 255-128, 0+128
        {clBtnFace, 0x000000, 1, 2, 0xC8D0D4},   // system colour resolved first
        {clBtnFace, 0x000000, 2, 2, 0x000000},
        {0x000000, 0xFFFFFF, 1, 1, 0x000000},    // one step: the from colour (MulDiv would give -1)
        {0xFF00FF, 0x00FF00, 1, 1, 0xFF00FF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColorBlend(c.from, c.to, c.index, c.count), c.result)
            << std::hex << c.from << "->" << c.to << std::dec << " " << c.index << "/" << c.count;
}

TEST(TScrollingText, ColorBlendRangeError) {
    struct Case {
        int index, count;
        const char* message;
    };
    const Case cases[] = {
        {0, 15, "ColorIndex can't be less than 1 or greater than 15"},
        {16, 15, "ColorIndex can't be less than 1 or greater than 15"},
        {-3, 2, "ColorIndex can't be less than 1 or greater than 2"},
        {1, 0, "ColorIndex can't be less than 1 or greater than 0"},
    };
    for (const Case& c : cases) {
        try {
            ColorBlend(0, 0xFFFFFF, c.index, c.count);
            ADD_FAILURE() << "no error for " << c.index << "/" << c.count;
        } catch (const ERangeError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

// The colour layer's columns: ground at the outermost, font colour in the middle.
TEST(TScrollingText, EdgeFadeColumns) {
    struct Case {
        int fade;
        int width;
    };
    for (const Case c : {Case{15, 200}, Case{1, 200}, Case{0, 200}, Case{-4, 200}, Case{15, 20}, Case{1000000000, 30}}) {
        SCOPED_TRACE(testing::Message() << "fade " << c.fade << " width " << c.width);
        Ticker t(c.width, 11, "", tdRightToLeft);
        t.control.SetFont({"Tahoma", 8, kFontColor, 0});
        t.control.SetBackgroundColor(0x000000);
        const auto start = std::chrono::steady_clock::now();
        t.control.SetEdgeFadeWidth(c.fade);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        const TPixelImage& layer = t.control.ColorLayer();
        for (int x = 0; x < c.width; ++x) {
            // Lines go inwards from both edges; in a narrow control the later (inner) line wins.
            int last = -1;
            for (int i : {x, c.width - 1 - x})
                if (i < c.fade) last = std::max(last, i);
            const TColor expected = last < 0 ? kFontColor : ColorBlend(0x000000, kFontColor, last + 1, c.fade);
            ASSERT_EQ(PixelToColor(layer.Pixel(x, 0)), expected) << "column " << x;
            ASSERT_EQ(layer.Pixel(x, 10), layer.Pixel(x, 0));
        }
        if (c.fade > 0) {
            EXPECT_EQ(PixelToColor(layer.Pixel(0, 5)), 0x000000u);
        }
    }
}

TEST(TScrollingText, FrameShowsGlyphsInFontColourFadingAtTheEdges) {
    Ticker t(120, 15, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", tdRightToLeft);  // 240 px of glyphs
    t.control.SetFont({"Tahoma", 8, kFontColor, 0});
    t.control.SetBackgroundColor(kGround);
    t.control.SetLayout(tlTop);
    EXPECT_EQ(t.control.KeyColor(), kStripAltKeyColor);
    for (int i = 0; i < 180; ++i) t.control.Tick();  // glyphs now cover the whole width
    const TPixelImage& frame = t.control.Frame();
    const int offset = t.control.Offset();
    ASSERT_EQ(offset, -180);
    for (int x = 0; x < 120; ++x) {
        const int stripX = x - offset;  // column in the strip
        const bool glyph = stripX >= 120 && stripX < 360 && (stripX - 120) % 6 >= 1 && (stripX - 120) % 6 <= 4;
        const int fromEdge = std::min(x, 119 - x);
        const TColor shade = fromEdge < 15 ? ColorBlend(kGround, kFontColor, fromEdge + 1, 15) : kFontColor;
        EXPECT_EQ(PixelToColor(frame.Pixel(x, 5)), glyph ? shade : kGround) << "x " << x;
        EXPECT_EQ(PixelToColor(frame.Pixel(x, 0)), kGround) << "row 0 is above the glyphs";
    }
}

TEST(TScrollingText, ColourRunsMoveWithTheTextAndFadeAtTheEdges) {
    constexpr TColor kDim = 0x908070, kMark = 0x40C8FF;
    Ticker t(120, 15, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", tdRightToLeft);  // 240 px of glyphs
    t.control.SetFont({"Tahoma", 8, kFontColor, 0});
    t.control.SetBackgroundColor(kGround);
    t.control.SetLayout(tlTop);
    t.control.SetColorRuns({{5, kDim}, {20, kMark}});  // bytes 5.. dim, 20.. marked
    for (int offset : {-30, -180, -250}) {
        t.control.SetOffset(offset);
        t.control.ComposeFrame();
        for (int x = 0; x < 120; ++x) {
            const int textX = x - offset - 120;  // column in the text
            const bool glyph = textX >= 0 && textX < 240 && textX % 6 >= 1 && textX % 6 <= 4;
            const TColor color = textX >= 120 ? kMark : textX >= 30 ? kDim : kFontColor;
            const int fromEdge = std::min(x, 119 - x);
            const TColor shade = fromEdge < 15 ? ColorBlend(kGround, color, fromEdge + 1, 15) : color;
            ASSERT_EQ(PixelToColor(t.control.Frame().Pixel(x, 5)), glyph ? shade : kGround)
                << "offset " << offset << " x " << x;
        }
    }
    t.control.SetColorRuns({});  // back to one colour
    t.control.ComposeFrame();
    const int x = 58, textX = x - t.control.Offset() - 120;
    ASSERT_TRUE(textX >= 120 && textX % 6 == 2);
    EXPECT_EQ(PixelToColor(t.control.Frame().Pixel(x, 5)), kFontColor);
}

TEST(TScrollingText, UncoveredFramePartsShowTheGround) {
    Ticker t(100, 11, k300px, tdLeftToRight);
    t.control.SetFont({"Tahoma", 8, kFontColor, 0});
    t.control.SetBackgroundColor(kGround);
    t.control.SetText("ab");  // strip 212, offset still 100 - 500
    t.control.ComposeFrame();
    for (int x = 0; x < 100; ++x) ASSERT_EQ(PixelToColor(t.control.Frame().Pixel(x, 5)), kGround) << x;
    t.control.SetOffset(40);  // beyond the right-to-left start
    t.control.ComposeFrame();
    for (int x = 0; x < 40; ++x) ASSERT_EQ(PixelToColor(t.control.Frame().Pixel(x, 5)), kGround) << x;
}

TEST(TScrollingText, ChangedTextIsPaintedInTheSameTickFromTheResetOffset) {
    Ticker t(30, 11, "", tdRightToLeft);
    t.control.SetBackgroundColor(kGround);
    t.control.SetFont({"Tahoma", 8, kFontColor, 0});
    t.control.SetEdgeFadeWidth(0);
    t.control.OnTextScrolled = [&](TScrollingText& s) { s.SetText("abcdefghij"); };
    for (int i = 0; i < 30; ++i) t.control.Tick();
    EXPECT_EQ(t.control.Offset(), 0);
    EXPECT_EQ(t.control.StripWidth(), 60 + 60);
    // Offset 0 shows the blank first control-width of the new strip.
    for (int x = 0; x < 30; ++x) ASSERT_EQ(PixelToColor(t.control.Frame().Pixel(x, 5)), kGround);
}

TEST(TScrollingText, ChangedRectBoundsEveryDifference) {
    const TPixelImage a(8, 5, 1);
    struct Case {
        std::vector<std::pair<int, int>> changed;
        Rect expected;
    };
    const Case cases[] = {
        {{}, {}},
        {{{3, 2}}, Rect::Sized(3, 2, 1, 1)},
        {{{0, 0}, {7, 4}}, Rect::Sized(0, 0, 8, 5)},
        {{{6, 1}, {2, 3}}, Rect::Sized(2, 1, 5, 3)},
        {{{7, 0}, {7, 1}}, Rect::Sized(7, 0, 1, 2)},
    };
    for (const Case& c : cases) {
        TPixelImage b = a;
        for (auto [x, y] : c.changed) b.SetPixel(x, y, 2);
        EXPECT_EQ(ChangedRect(a, b), c.expected) << c.changed.size();
        TPixelImage copy = a;
        CopyRect(copy, b, ChangedRect(a, b));
        EXPECT_EQ(copy, b);
    }
    EXPECT_EQ(ChangedRect(a, TPixelImage(4, 5, 1)), (Rect{0, 0, 4, 5}));  // sizes differ
}

TEST(TScrollingText, PresentingChangesOnlyKeepsTheScreenEqualToTheFrame) {
    Ticker t(120, 18, std::string(30, 'x') + "   " + std::string(10, 'x'), tdRightToLeft);  // 13-px glyphs
    t.control.SetBackgroundColor(kGround);
    t.control.SetFont({"Tahoma", 8, kFontColor, 0});
    // Off (the default): every frame goes whole.
    for (int i = 0; i < 3; ++i) t.control.Tick();
    EXPECT_EQ(t.log.presents, 3);
    EXPECT_TRUE(t.log.parts.empty());

    t.control.PresentChangesOnly = true;
    int partial = 0, skipped = 0;
    for (int i = 0; i < 700; ++i) {  // more than a pass: blank stretches, the gap, the restart
        const std::size_t before = t.log.parts.size();
        t.control.Tick();
        ASSERT_EQ(t.log.screen, t.control.Frame()) << "tick " << i;
        if (t.log.parts.size() == before) ++skipped;
        else if (t.log.parts.back().Height() < 18) ++partial;
    }
    EXPECT_EQ(t.log.presents, 3);
    EXPECT_GT(partial, 300) << "the rows above and below the glyphs are not sent";
    EXPECT_GT(skipped, 0) << "a frame equal to the last one is not sent";

    // A frame the platform could not show, or a rebuild, sends the next one whole.
    t.log.refuse = true;
    t.control.Tick();
    t.log.refuse = false;
    t.control.Tick();
    EXPECT_EQ(t.log.parts.back(), (Rect{0, 0, 120, 18}));
    t.control.SetBackgroundColor(kStripAltKeyColor);
    t.control.Tick();
    EXPECT_EQ(t.log.parts.back(), (Rect{0, 0, 120, 18}));
    EXPECT_EQ(t.log.screen, t.control.Frame());
}

TEST(TScrollingText, TicksNoteTheirTimesInARing) {
    Ticker t(50, 11, "abc", tdRightToLeft);
    const int n = TScrollingText::kFrameTimesKept + 10;
    for (int i = 0; i < n; ++i) t.control.Tick();
    t.control.SetEnabled(false);
    t.control.Tick();  // no frame
    const auto& times = t.control.FrameTimes();
    ASSERT_EQ(times.Count, static_cast<std::uint64_t>(n));
    // Oldest to newest around the ring, never backwards.
    for (std::uint64_t k = n - TScrollingText::kFrameTimesKept + 1; k < times.Count; ++k)
        EXPECT_LE(times.Micros[(k - 1) % TScrollingText::kFrameTimesKept], times.Micros[k % TScrollingText::kFrameTimesKept]);
}

TEST(TScrollingText, OverlongTextIsCutWhenDrawnButKept) {
    const std::string huge(200000, 'x');
    Ticker t(100, 11, huge, tdRightToLeft);
    EXPECT_EQ(t.control.Text().size(), huge.size());
    EXPECT_EQ(t.control.StripWidth(), static_cast<int>(kMaxRenderedTextBytes) * 6 + 200);
    // A multi-byte character across the cut is dropped whole, never split.
    std::string accented(kMaxRenderedTextBytes - 1, 'x');
    accented += "\xC3\xA9tail";
    t.control.SetText(accented);
    EXPECT_EQ(t.control.StripWidth(), static_cast<int>(kMaxRenderedTextBytes - 1) * 6 + 200);
}

TEST(TScrollingText, AbsurdSizesStayBounded) {
    FakeHost::Log log;
    TScrollingText t(std::make_unique<FakeHost>(log, 13));
    t.SetBounds(0, 0, 100, 20000);
    t.SetText(std::string(4000, 'x'));
    t.Loaded();
    EXPECT_LE(static_cast<long long>(t.Strip().Width()) * t.Strip().Height(), 16LL * 1024 * 1024);
    t.SetBounds(0, 0, -5, -5);
    EXPECT_EQ(t.Width(), 0);
    t.Tick();  // a zero-sized control still ticks and paints without harm
    t.Paint();
    EXPECT_TRUE(t.Frame().Empty());
}

TEST(TScrollingText, ClickNeedsPressAndReleaseInside) {
    Ticker t(100, 11, "abc", tdRightToLeft);
    int clicks = 0;
    t.control.OnClick = [&](TScrollingText&) { ++clicks; };
    t.control.MouseDown(mbLeft, 0, 10, 5);
    t.control.MouseUp(mbLeft, 0, 12, 5);
    t.control.MouseDown(mbLeft, 0, 10, 5);
    t.control.MouseUp(mbLeft, 0, 150, 5);  // released outside
    t.control.MouseUp(mbLeft, 0, 10, 5);   // release without a press
    t.control.MouseDown(mbRight, 0, 10, 5);
    t.control.MouseUp(mbRight, 0, 10, 5);
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST(TScrollingText, AStillTextStandsCutAtItsStartAndEachPeriodEndsAPass) {
    Ticker t(60, 15, "A headline much too long", tdRightToLeft);
    t.control.SetStill(true);
    // 6 pixels a byte and 2 pixels in from each side: six letters and the ellipsis's 3 bytes fit.
    EXPECT_EQ(t.control.ShownText(), "A head\xE2\x80\xA6");
    EXPECT_EQ(t.log.timerIntervals.back(), StillPeriodFor(t.control.ShownText()));
    const int offset = t.control.Offset();
    t.control.Tick();
    EXPECT_EQ(t.fired, 1) << "the period's end is a pass's end";
    EXPECT_EQ(t.control.Offset(), offset) << "a still text does not move";
    // The first glyph starts one pixel into its cell at x = 2, in the font colour: no edge fade.
    EXPECT_EQ(t.control.Frame().Pixel(3, 5) & 0xFFFFFF, ColorToPixel(ResolveColorClassic(clWindowText)));
    t.control.SetColorRuns({{0, 0x40C8FF}});  // a headline in the highlight colour fades no edge either
    t.control.ComposeFrame();
    EXPECT_EQ(PixelToColor(t.control.Frame().Pixel(3, 5)), TColor(0x40C8FF));
    t.control.SetColorRuns({});

    t.control.Hold(thPaused);
    EXPECT_EQ(t.log.timerIntervals.back(), 0);
    t.control.Tick();
    EXPECT_EQ(t.fired, 1) << "paused, the headline stays";
    t.control.Release(thPaused);
    EXPECT_EQ(t.log.timerIntervals.back(), StillPeriodFor(t.control.ShownText()));

    t.control.SetStill(false);
    EXPECT_EQ(t.control.ShownText(), "A headline much too long");
    EXPECT_EQ(t.control.Offset(), 0) << "scrolling starts again from the edge";
    EXPECT_EQ(t.log.timerIntervals.back(), 50);
}

}  // namespace
}  // namespace tw
