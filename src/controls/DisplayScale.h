#pragma once
// The bar and its menus on displays of any pixel density. Every size is designed at 96 pixels
// per inch (DPI) and scaled by one rule, ScaleBetween; the pictures come drawn at 1x and 2x, and
// PictureScaleFor picks the drawing a size is made from.
namespace tw {

// The pixel density every size of the bar is designed at.
inline constexpr int kDefaultDpi = 96;

// `value`, a size at `fromDpi`, at `toDpi`: value * toDpi / fromDpi rounded to the nearest
// integer, halves away from zero (25 at 96 is 38 at 144, -11 is -17). A DPI of 0 or less (a
// system call that failed) is taken as 96.
int ScaleBetween(int value, int fromDpi, int toDpi);

// A size of the bar's design at `dpi`.
inline int ScaleForDpi(int value, int dpi) { return ScaleBetween(value, kDefaultDpi, dpi); }

// Which drawing of a picture the bar's sizes at `dpi` are made from: 1 (drawn at 1x) below 144,
// 2 (drawn at 2x) from 144 on. At 144 both are half a step away; the 2x drawing scaled down
// keeps its finer detail, where the 1x one scaled up would only blur.
int PictureScaleFor(int dpi);

}  // namespace tw
