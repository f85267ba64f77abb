#include "app/BarColors.h"

#include "app/fConfig.h"
#include "app/fMain.h"
#include "controls/BarPopupMenus.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

// The system's colours (by index) in high contrast, the bar's design otherwise.
TEST(BarColors, HighContrastTakesTheSystemColoursWithNoGradientFadeOrTile) {
    const struct {
        bool highContrast;
        TBarColors bar;
        TMenuColors menu;
        TSampleColors sample;  // for a ticker font coloured 0x0000FF
    } cases[] = {
        {false, {kWindowColor, kTitleColor, kTickerBackground, clNone, kTitleColor, true, 15},
         {0x9A8A7A, 0x3A322C, clWhite, clSilver, clGray, clWhite, clBtnShadow}, {0x0000FF, kFontSampleBackground}},
        {true, {0xFF000005, 0xFF000008, 0xFF000005, 0xFF000008, 0xFF00000D, false, 0},
         {0xFF00000D, 0xFF00000D, 0xFF00000E, 0xFF000004, 0xFF000004, 0xFF000007, 0xFF000004},
         {0xFF000008, 0xFF000005}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.highContrast);
        const TBarColors bar = BarColorsFor(c.highContrast);
        EXPECT_EQ(bar.Background, c.bar.Background);
        EXPECT_EQ(bar.Title, c.bar.Title);
        EXPECT_EQ(bar.TickerBackground, c.bar.TickerBackground);
        EXPECT_EQ(TickerTextColor(bar, 0x0000FF), c.highContrast ? c.bar.TickerText : 0x0000FFu);
        EXPECT_EQ(bar.Mark, c.bar.Mark);
        EXPECT_EQ(bar.Tile, c.bar.Tile);
        EXPECT_EQ(bar.EdgeFadeWidth, c.bar.EdgeFadeWidth);

        TCustomBarPopupMenu menu;
        ApplyMenuColors(menu, MenuColorsFor(c.highContrast));
        EXPECT_EQ(menu.Bar.GradientStart, c.menu.SideBarStart);
        EXPECT_EQ(menu.Bar.GradientEnd, c.menu.SideBarEnd);
        EXPECT_EQ(menu.Bar.BarCaption.Font.Color, c.menu.SideBarCaption);
        EXPECT_EQ(menu.Separators.GradientStart, c.menu.SeparatorStart);
        EXPECT_EQ(menu.Separators.GradientEnd, c.menu.SeparatorEnd);
        EXPECT_EQ(menu.Separators.Font.Color, c.menu.SeparatorText);
        EXPECT_EQ(menu.Separators.FadeColor, c.menu.SeparatorFade);

        const TSampleColors sample = FontSampleColors(c.highContrast, 0x0000FF);
        EXPECT_EQ(sample.Text, c.sample.Text);
        EXPECT_EQ(sample.Background, c.sample.Background);
    }
}

}  // namespace
}  // namespace tw
