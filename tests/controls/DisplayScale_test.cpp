// The bar's one scaling rule and the choice between the pictures drawn at 1x and 2x.
#include "controls/DisplayScale.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(DisplayScale, DesignSizesAtTheCommonDensities) {
    // Bar height, its upper limit, picture sides, the title font height, a gap.
    const int design[] = {25, 32, 22, 16, -11, 5};
    const struct {
        int dpi;
        int expected[6];
        int pictures;
    } rows[] = {
        {96, {25, 32, 22, 16, -11, 5}, 1},
        {120, {31, 40, 28, 20, -14, 6}, 1},  // 31.25, 40, 27.5, 20, -13.75, 6.25
        {144, {38, 48, 33, 24, -17, 8}, 2},  // 37.5 and -16.5, 7.5: halves away from zero
        {192, {50, 64, 44, 32, -22, 10}, 2},
        {0, {25, 32, 22, 16, -11, 5}, 1},  // a failed query counts as 96
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.dpi);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(ScaleForDpi(design[i], row.dpi), row.expected[i]) << design[i];
        EXPECT_EQ(PictureScaleFor(row.dpi), row.pictures);
    }
}

TEST(DisplayScale, MovingBetweenDisplays) {
    EXPECT_EQ(ScaleBetween(38, 144, 96), 25);
    EXPECT_EQ(ScaleBetween(38, 144, 192), 51);  // 50.67
    EXPECT_EQ(ScaleBetween(8, 96, 144), 12);    // a font of 8 points
    EXPECT_EQ(ScaleBetween(9, 144, 96), 6);
    EXPECT_EQ(ScaleBetween(7, 96, 96), 7);
}

}  // namespace
}  // namespace tw
