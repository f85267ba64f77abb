#include "controls/PngImages.h"
#include "controls/Tile.h"

#include <gtest/gtest.h>

#include "support/TestPaths.h"


namespace tw {
namespace {

using test::ReadSourceFile;

// A tile whose every pixel is different, so a misplaced copy shows.
TPixelImage NumberedTile(int w, int h) {
    TPixelImage tile(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) tile.SetPixel(x, y, 0xFF000000u | static_cast<std::uint32_t>(y * 256 + x + 1));
    return tile;
}

TEST(TTile, TilesTheBarWithCutOffEdges) {
    struct Case {
        int width, height, tileW, tileH, copies;
    };
    const Case cases[] = {
        {686, 27, 3, 25, 229 * 2}, {686, 25, 3, 25, 229}, {3, 25, 3, 25, 1}, {1, 1, 3, 25, 1},
        {1900, 26, 3, 25, 634 * 2}, {10, 10, 4, 4, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " tile " << c.tileW << "x" << c.tileH);
        const TPixelImage tile = NumberedTile(c.tileW, c.tileH);
        TPixelImage out(c.width, c.height, 0);
        EXPECT_EQ(TileInto(out, tile), c.copies);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_EQ(out.Pixel(x, y), tile.Pixel(x % c.tileW, y % c.tileH)) << x << "," << y;
    }
}

TEST(TTile, SecondRowOfA27PixelBarShowsTheTilesTopTwoRows) {
    TTile bckg;
    const TPixelImage tile = NumberedTile(3, 25);
    bckg.SetBitmap(&tile);
    bckg.SetBounds(0, 0, 686, 27);
    TPixelImage out;
    bckg.Compose(out);
    ASSERT_EQ(out.Width(), 686);
    ASSERT_EQ(out.Height(), 27);
    EXPECT_EQ(out.Pixel(685, 25), tile.Pixel(685 % 3, 0));
    EXPECT_EQ(out.Pixel(0, 26), tile.Pixel(0, 1));
    EXPECT_EQ(out.Pixel(684, 24), tile.Pixel(0, 24));
}

TEST(TTile, NoTileOrAnEmptyOneShowsThePlainColour) {
    TTile bckg;
    EXPECT_EQ(bckg.Width(), 100);
    EXPECT_EQ(bckg.Height(), 100);
    EXPECT_EQ(bckg.Version(), "1.11");
    TPixelImage out;
    bckg.Compose(out);
    EXPECT_EQ(PixelToColor(out.Pixel(50, 50)), ResolveColorClassic(clBtnFace));

    bckg.SetColor(0x9A9A9A);
    const TPixelImage empty;
    bckg.SetBitmap(&empty);
    bckg.Compose(out);
    for (int y = 0; y < 100; y += 33)
        for (int x = 0; x < 100; x += 33) EXPECT_EQ(PixelToColor(out.Pixel(x, y)), 0x9A9A9Au);
}

TEST(TTile, ChangingThePictureRepaintsAndNoneReleasesIt) {
    TTile bckg;
    const int before = bckg.RepaintCount();
    const TPixelImage tile = NumberedTile(3, 25);
    bckg.SetBitmap(&tile);
    EXPECT_EQ(bckg.RepaintCount(), before + 1);
    EXPECT_EQ(bckg.Bitmap(), tile);
    bckg.SetBitmap(nullptr);
    EXPECT_EQ(bckg.RepaintCount(), before + 2);
    EXPECT_TRUE(bckg.Bitmap().Empty());
}

TEST(TTile, RightPressReachesMouseDownWithItsPosition) {
    TTile bckg;
    TMouseButton button = mbLeft;
    int px = -1, py = -1;
    bckg.OnMouseDown = [&](TTile&, TMouseButton b, unsigned, int x, int y) {
        button = b;
        px = x;
        py = y;
    };
    bckg.MouseDown(mbRight, 0, 40, 7);
    EXPECT_EQ(button, mbRight);
    EXPECT_EQ(px, 40);
    EXPECT_EQ(py, 7);
}

// The bar's tile picture: the gradient from 0x90A1AC down to 0x222F37 at row 21, then the three
// bottom rows, as RGB values.
TEST(TTile, TheBarTilePictureHasTheDesignedColours) {
    TPixelImage tile;
    std::string error;
    ASSERT_TRUE(DecodePng(ReadSourceFile("resources/tile.png"), tile, &error)) << error;
    ASSERT_EQ(tile.Width(), 3);
    ASSERT_EQ(tile.Height(), 25);
    auto rgb = [&](int x, int y) { return tile.Pixel(x, y) & 0xFFFFFFu; };  // 0xRRGGBB
    const struct {
        int row;
        std::uint32_t rgb;
    } fixed[] = {{0, 0x90A1AC}, {21, 0x222F37}, {22, 0x374249}, {23, 0x364D67}, {24, 0x476082}};
    for (const auto& f : fixed)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(rgb(x, f.row), f.rgb) << "row " << f.row;
    for (int y = 0; y < 25; ++y) {
        EXPECT_EQ(tile.Pixel(0, y) >> 24, 0xFFu) << "opaque";
        EXPECT_EQ(tile.Pixel(0, y), tile.Pixel(2, y));
    }
    for (int y = 1; y <= 21; ++y)
        for (int shift : {0, 8, 16}) {
            const int above = (rgb(0, y - 1) >> shift) & 0xFF, here = (rgb(0, y) >> shift) & 0xFF;
            EXPECT_LT(here, above) << "row " << y << " must be darker in every channel";
            EXPECT_LE(above - here, 7) << "row " << y << " no jump in the gradient";
        }
}

}  // namespace
}  // namespace tw
