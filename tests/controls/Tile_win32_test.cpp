// The tiled background under Wine: as a child window under the ticker, and painted by a parent.
#include "controls/PngImages_win32.h"
#include "controls/ScrollingText_win32.h"
#include "controls/Tile_win32.h"

#include <gtest/gtest.h>


#include "ScrollingTextTestKit_win32.h"
#include "support/TestPaths.h"

namespace tw {
namespace {

TPixelImage BarTile() {
    TPixelImage tile;
    EXPECT_TRUE(DecodePng(test::ReadSourceFile("resources/tile.png"), tile));
    return tile;
}

TEST(TTileWindow, FillsTheBarWithTheTileUnderLaterControls) {
    test::HostWindow host(0, 0, 686, 27);
    const TPixelImage tile = BarTile();
    auto bckg = CreateTile(host.Get(), 0, 0, 686, 27);
    ASSERT_NE(bckg, nullptr);
    bckg->SetBitmap(&tile);
    auto ticker = CreateScrollingText(host.Get(), 100, 12, 200, 11);
    ASSERT_NE(ticker, nullptr);
    ticker->SetBackgroundColor(0x40342B);
    ticker->SetText("");
    ticker->Loaded();
    test::PumpFor(200);

    const TPixelImage shot = test::CaptureClient(host.Get());
    const struct {
        int x, y;
        TColor color;  // 0x00BBGGRR
    } probes[] = {
        {0, 0, 0xACA190},   {685, 0, 0xACA190},  {40, 21, 0x372F22}, {500, 22, 0x494237}, {2, 23, 0x674D36},
        {3, 24, 0x826047},  {685, 25, 0xACA190}, {50, 26, PixelToColor(tile.Pixel(0, 1) & 0xFFFFFF)},
        {150, 17, 0x40342B},  // the ticker above the tile
    };
    for (const auto& p : probes)
        EXPECT_EQ(test::CapturedColor(shot, p.x, p.y), p.color) << p.x << "," << p.y;

    int rightClicks = 0;
    bckg->OnMouseDown = [&](TTile&, TMouseButton b, unsigned, int x, int y) {
        if (b == mbRight && x == 30 && y == 4) ++rightClicks;
    };
    SendMessageW(WindowHandle(*bckg), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 4));
    EXPECT_EQ(rightClicks, 1);
}

TEST(TTileWindow, WithoutATileShowsItsColourAndPaintsIntoAParentsDc) {
    test::HostWindow host(0, 0, 120, 40);
    TTile windowless;  // painted by the parent
    windowless.SetColor(0x9A9A9A);
    windowless.SetBounds(10, 5, 50, 20);
    test::PumpFor(100);  // the host's own first paint comes before ours
    HDC dc = GetDC(host.Get());
    PaintTileTo(windowless, dc);
    ReleaseDC(host.Get(), dc);
    test::PumpFor(50);  // Wine hands a window's drawing to the display from its message loop
    const TPixelImage shot = test::CaptureClient(host.Get());
    EXPECT_EQ(test::CapturedColor(shot, 10, 5), 0x9A9A9Au);
    EXPECT_EQ(test::CapturedColor(shot, 59, 24), 0x9A9A9Au);
    EXPECT_EQ(test::CapturedColor(shot, 60, 24), 0xFF00FFu) << "nothing outside its bounds";
    EXPECT_EQ(test::CapturedColor(shot, 9, 5), 0xFF00FFu);
}

}  // namespace
}  // namespace tw
