// The bar menu's measures, batch updates and geometry, apart from any window.
#include "controls/BarPopupMenus.h"

#include <gtest/gtest.h>

#include <array>

namespace tw {
namespace {

// 7 pixels per byte; heights as set per font.
class FakeMeasurer final : public IMenuTextMeasurer {
public:
    int menuHeight = 13, separatorHeight = 14;
    Size TextExtent(const std::string& text, TMenuTextFont font, bool) override {
        const int perByte = font == TMenuTextFont::MenuBold ? 8 : 7;
        return {static_cast<int>(text.size()) * perByte, font == TMenuTextFont::Separator ? separatorHeight : menuHeight};
    }
};

TEST(TCustomBarPopupMenu, MeasuresEntriesByKindStyleAndPlace) {
    struct Case {
        const char* what;
        const char* caption;
        const char* hint;
        bool inSubmenu, barVisible;
        TMenuStyle style;
        int textHeight;
        Size expected;
    } cases[] = {
        {"plain separator, XP", "-", "", false, true, msWindowsXP, 13, {32 + 1, 9}},
        {"plain separator, standard", "-", "", false, true, msStandard, 13, {32 + 1, 12}},
        {"caption separator", "-", "Default RSS Links", false, true, msWindowsXP, 13,
         {17 * 7 + 2 * kSeparatorTextMargin + 33, 14}},
        {"separator in a submenu", "-", "", true, true, msWindowsXP, 13, {0, 9}},
        {"odd height, standard", "Close", "", false, true, msStandard, 13, {35 + kItemFixedRoom + 33, 19}},
        {"odd height, XP rounds up", "Close", "", false, true, msWindowsXP, 13, {35 + kItemFixedRoom + 33, 20}},
        {"small font keeps 16", "Close", "", false, true, msWindowsXP, 8, {35 + kItemFixedRoom + 33, 16}},
        {"submenu entry gets no bar", "Close", "", true, true, msWindowsXP, 14, {35 + kItemFixedRoom, 20}},
        {"hidden bar adds nothing", "Close", "", false, false, msWindowsXP, 14, {35 + kItemFixedRoom, 20}},
    };
    for (const Case& c : cases) {
        TCustomBarPopupMenu menu;
        menu.Bar.Visible = c.barVisible;
        TBarMenuItem& top = menu.Items().Add("RSS Feeds");
        TBarMenuItem& item = (c.inSubmenu ? top : menu.Items()).Add(c.caption);
        item.SetHint(c.hint);
        FakeMeasurer canvas;
        canvas.menuHeight = c.textHeight;
        EXPECT_EQ(menu.MeasureItem(item, canvas, c.style), c.expected) << c.what;
    }
}

TEST(TCustomBarPopupMenu, ShortCutsBoldAndTheMeasureEvent) {
    TCustomBarPopupMenu menu;
    menu.Bar.Visible = false;
    TBarMenuItem& item = menu.Items().Add("Open");
    item.SetShortCut("Ctrl+O");
    FakeMeasurer canvas;
    EXPECT_EQ(menu.MeasureItem(item, canvas, msStandard).Width, 28 + kShortCutGap + 42 + kItemFixedRoom);
    item.SetDefault(true);
    EXPECT_EQ(menu.MeasureItem(item, canvas, msStandard).Width, 32 + kShortCutGap + 48 + kItemFixedRoom);

    menu.Bar.Visible = true;
    bool sawBar = false;
    menu.OnMeasureMenuItem = [&](TCustomBarPopupMenu&, const TBarMenuItem&, IMenuTextMeasurer&, int& w, int& h,
                                 bool barVisible, bool& defaultMeasure) {
        sawBar = barVisible;
        w = 50;
        h = 30;
        defaultMeasure = false;  // taken over: the size stands as set
    };
    EXPECT_EQ(menu.MeasureItem(item, canvas, msStandard), (Size{50, 30}));
    EXPECT_TRUE(sawBar);
}

TEST(TCustomBarPopupMenu, AtADensityTheFixedSizesScaleFrom96) {
    TCustomBarPopupMenu menu;  // a 32-pixel bar with 1 of space: 48 and 2 at 144
    TBarMenuItem& separator = menu.Items().Add("-");
    TBarMenuItem& close = menu.Items().Add("Close");
    FakeMeasurer canvas;  // text measures as given: the platform makes the fonts for the density
    const Size designed = menu.MeasureItem(close, canvas, msWindowsXP);
    const unsigned version = menu.ItemsVersion();
    menu.SetDpi(144);
    EXPECT_NE(menu.ItemsVersion(), version) << "the shown menu must be measured again";
    EXPECT_TRUE(menu.BarStale());
    const struct {
        const char* what;
        TBarMenuItem& item;
        const char* hint;
        TMenuStyle style;
        int textHeight;
        Size expected;
    } cases[] = {
        {"plain separator, XP", separator, "", msWindowsXP, 13, {50, 14}},
        {"plain separator, standard", separator, "", msStandard, 13, {50, 18}},
        {"caption separator", separator, "Default RSS Links", msWindowsXP, 13, {17 * 7 + 2 * 12 + 50, 21}},
        {"entry: text + 9", close, "", msWindowsXP, 17, {35 + 36 + 9 + 24 + 50, 26}},
        {"entry: at least 24", close, "", msWindowsXP, 8, {35 + 36 + 9 + 24 + 50, 24}},
    };
    for (const auto& c : cases) {
        c.item.SetHint(c.hint);
        canvas.menuHeight = c.textHeight;
        EXPECT_EQ(menu.MeasureItem(c.item, canvas, c.style), c.expected) << c.what;
    }

    menu.Bar.Width = 26;
    menu.Bar.BarCaption.OffsetY = 6;
    menu.Bar.BarPicture.OffsetX = 3;
    menu.Separators.FadeWidth = 72;
    const TMenuSideBar bar = menu.ShownBar();
    EXPECT_EQ((std::array{bar.Width, bar.Space, bar.BarCaption.OffsetY, bar.BarPicture.OffsetX}),
              (std::array{39, 2, 9, 5}));
    EXPECT_EQ(menu.ShownSeparators().FadeWidth, 108);

    menu.Bar.Width = 32;
    canvas.menuHeight = 13;
    menu.SetDpi(0);
    EXPECT_EQ(menu.MeasureItem(close, canvas, msWindowsXP), designed) << "back to the design's sizes";
    EXPECT_EQ(menu.ShownBar(), menu.Bar);
}

TEST(TCustomBarPopupMenu, BatchUpdatesInstallHandlersOnceAtTheOutermostEnd) {
    TCustomBarPopupMenu menu;
    menu.BeginItemsUpdate();
    menu.BeginItemsUpdate();
    TBarMenuItem& feeds = menu.Items().Add("RSS Feeds");
    TBarMenuItem& feed = feeds.Add("http://a/");
    EXPECT_TRUE(menu.Updating());
    menu.EndItemsUpdate();
    EXPECT_FALSE(feed.HandlersInstalled()) << "inner end";
    EXPECT_EQ(menu.UpdateCount(), 1);
    menu.EndItemsUpdate();
    EXPECT_TRUE(feeds.HandlersInstalled());
    EXPECT_TRUE(feed.HandlersInstalled());
    EXPECT_FALSE(menu.Updating());
    menu.EndItemsUpdate();
    EXPECT_EQ(menu.UpdateCount(), 0) << "an end without a begin";

    // Outside a batch, the changed entry and its sub-entries get them at once.
    TBarMenuItem& later = menu.Items().Insert(0, "Hide ticker");
    EXPECT_TRUE(later.HandlersInstalled());
    const unsigned version = menu.ItemsVersion();
    menu.Items().Delete(0);
    EXPECT_NE(menu.ItemsVersion(), version);
    menu.Items().Delete(7);  // out of range: nothing
    EXPECT_EQ(menu.Items().Count(), 1);
}

TEST(TCustomBarPopupMenu, BarStaleAfterChangesThatMoveIt) {
    struct Derived : TCustomBarPopupMenu {
        using TCustomBarPopupMenu::ClearBarStale;
    };
    Derived d;
    TBarMenuItem& item = d.Items().Add("Help");
    d.ClearBarStale();
    item.SetImageIndex(3);
    EXPECT_FALSE(d.BarStale()) << "an image does not change the height";
    item.SetCaption("Help me");
    EXPECT_TRUE(d.BarStale());
}

TEST(BarMenuRules, MenuStyleAndHotKeys) {
    const struct {
        TMenuStyle style;
        TOsVersion os;
        TMenuStyle expected;
    } styles[] = {
        {msAuto, {true, 5, 1}, msWindowsXP},   {msAuto, {true, 5, 0}, msStandard}, {msAuto, {true, 10, 0}, msWindowsXP},
        {msAuto, {false, 5, 1}, msStandard},   {msStandard, {true, 10, 0}, msStandard},
        {msWindowsXP, {true, 4, 0}, msWindowsXP},
    };
    for (const auto& s : styles)
        EXPECT_EQ(ResolveMenuStyle(s.style, s.os), s.expected) << s.os.Major << "." << s.os.Minor;

    const struct {
        const char* caption;
        char32_t key;
    } keys[] = {{"&Close", U'C'}, {"He&lp", U'L'}, {"A && B", 0}, {"A &&&x", U'X'}, {"Close", 0}, {"end&", 0}};
    for (const auto& k : keys) EXPECT_EQ(HotkeyOf(k.caption), k.key) << k.caption;
}

TEST(BarMenuGeometry, BarLayoutSkipsHiddenEntries) {
    const TBarLayout layout = LayOutBar({20, 9, 20, 14}, {true, false, true, true});
    EXPECT_EQ(layout.Tops, (std::vector<int>{0, -1, 20, 40}));
    EXPECT_EQ(layout.Height, 54);
}

TEST(BarMenuGeometry, CaptionAndPicturePlaces) {
    // Bar 26 x 200, caption 80 long and 16 thick, a 24-pixel bottom picture.
    const struct {
        TVertAlignment align;
        TDirection direction;
        Point expected;
    } captions[] = {
        {vaBottom, dDownToUp, {5, 200 - 6 - 24}}, {vaBottom, dUpToDown, {21, 200 - 6 - 24 - 80}},
        {vaTop, dDownToUp, {5, 6 + 80}},          {vaTop, dUpToDown, {21, 6}},
        {vaMiddle, dDownToUp, {5, 60 + 80}},
    };
    for (const auto& c : captions) {
        TSideBarCaption caption;
        caption.Alignment = c.align;
        caption.Direction = c.direction;
        EXPECT_EQ(PlaceBarCaption(caption, 26, 200, 80, 16, 24), c.expected) << c.align << "/" << c.direction;
    }

    const struct {
        THorzAlignment h;
        TVertAlignment v;
        Point expected;
    } pictures[] = {{haLeft, vaTop, {2, 3}}, {haRight, vaBottom, {26 - 16 - 2, 200 - 16 - 3}},
                    {haCenter, vaMiddle, {5 + 2, 92 + 3}}};
    for (const auto& p : pictures) {
        TSideBarPicture picture;
        picture.HorzAlignment = p.h;
        picture.VertAlignment = p.v;
        picture.OffsetX = 2;
        picture.OffsetY = 3;
        EXPECT_EQ(PlaceBarPicture(picture, 26, 200, 16, 16), p.expected) << p.h << "/" << p.v;
    }
}

TEST(BarMenuGeometry, GradientsRunFromStartToEnd) {
    const TColor start = 10127994, end = 3813932;
    const struct {
        TGradientStyle style;
        int firstX, firstY, lastX, lastY;
    } cases[] = {{gsHorizontal, 0, 9, 25, 0},
                 {gsVertical, 25, 0, 0, 9},
                 {gsDiagonalLeftRight, 0, 0, 25, 9},
                 {gsDiagonalRightLeft, 25, 0, 0, 9}};
    for (const auto& c : cases) {
        TPixelImage image(26, 10);
        PaintGradient(image, {0, 0, 26, 10}, start, end, c.style);
        EXPECT_EQ(PixelToColor(image.Pixel(c.firstX, c.firstY) & 0xFFFFFF), start) << c.style;
        EXPECT_EQ(PixelToColor(image.Pixel(c.lastX, c.lastY) & 0xFFFFFF), end) << c.style;
    }
    TPixelImage one(1, 1);
    PaintGradient(one, {0, 0, 1, 1}, start, end, gsHorizontal);  // a single step: the start colour
    EXPECT_EQ(PixelToColor(one.Pixel(0, 0) & 0xFFFFFF), start);
}

TEST(BarMenuGeometry, SideBarPartsBorderAndPicture) {
    TMenuSideBar bar;
    bar.BarPicture.Visible = false;
    EXPECT_EQ(DefaultBarParts(bar), static_cast<TBarParts>(bpGradient | bpBackPicture | bpCaption));
    bar.Width = 20;
    bar.Border = 0x0000FF;
    bar.BarPicture.Picture = TPixelImage(4, 4, 0x8000FF00);  // half-transparent green
    bar.BarPicture.VertAlignment = vaTop;
    TPixelImage out;
    ComposeSideBar(out, bar, 50, bpGradient | bpPicture, {});
    ASSERT_EQ(out.Width(), 20);
    EXPECT_EQ(PixelToColor(out.Pixel(0, 25) & 0xFFFFFF), 0x0000FFu) << "border";
    // Picture at x 8..11; row 1 of the gradient has red 172, the picture none: half of each.
    EXPECT_NEAR(static_cast<int>((out.Pixel(9, 1) >> 16) & 0xFF), 86, 3);
}

TEST(BarMenuGeometry, SeparatorFadesIntoItsColourAtTheRight) {
    const struct {
        int x, width, fadeWidth, weight;
    } weights[] = {{0, 100, 72, 0},   {27, 100, 72, 0},  {28, 100, 72, 256 / 72}, {99, 100, 72, 256},
                   {0, 10, 72, 25},   {9, 10, 72, 256},  {50, 100, 0, 0},         {99, 100, -5, 0}};
    for (const auto& w : weights)
        EXPECT_EQ(FadeWeight(w.x, w.width, w.fadeWidth), w.weight) << w.x << "/" << w.width << "/" << w.fadeWidth;

    TMenuSeparators separators;
    separators.GradientStyle = gsVertical;
    separators.GradientStart = clSilver;
    separators.GradientEnd = clGray;
    separators.FadeColor = 0x00FF00;
    TPixelImage plain, faded;
    ComposeSeparator(plain, separators, 100, 14);
    separators.Fade = true;
    separators.FadeWidth = 72;
    ComposeSeparator(faded, separators, 100, 14);
    EXPECT_EQ(faded.Pixel(0, 0), plain.Pixel(0, 0));
    EXPECT_EQ(PixelToColor(plain.Pixel(99, 13) & 0xFFFFFF), clGray);
    EXPECT_EQ(PixelToColor(faded.Pixel(99, 13) & 0xFFFFFF), 0x00FF00u);
}

TEST(BarMenuGeometry, PopupOpensAwayFromTheBarInsideTheWorkArea) {
    const Rect work{0, 0, 1024, 740};
    const Size menu{200, 300};
    const struct {
        const char* what;
        int x;
        Rect bar;
        TpkAppBarPlacement dock;
        TPopupPlacement expected;
    } cases[] = {
        {"docked at the top", 5, {0, 0, 1024, 25}, bpTop, {5, 25, false}},
        {"docked at the bottom", 5, {0, 715, 1024, 740}, bpBottom, {5, 715, true}},
        {"floating, room below", 100, {50, 100, 700, 125}, bpFloat, {100, 125, false}},
        {"floating, room only above", 100, {50, 500, 700, 525}, bpFloat, {100, 500, true}},
        {"floating, room on neither side", 100, {0, 0, 1024, 740}, bpFloat, {100, 440, false}},
        {"pressed near the right edge", 1000, {0, 0, 1024, 25}, bpTop, {824, 25, false}},
        {"left of the work area", -40, {0, 0, 1024, 25}, bpTop, {0, 25, false}},
    };
    for (const auto& c : cases) EXPECT_EQ(PlacePopupMenu(c.x, c.bar, c.dock, work, menu), c.expected) << c.what;
}

}  // namespace
}  // namespace tw
