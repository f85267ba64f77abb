#pragma once
// Colours, fonts and 32-bit off-screen images shared by the ticker controls. Portable: the
// controls compose every frame here and hand the finished pixels to the platform in one copy.
#include "base/Geometry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tw {

// 0x00BBGGRR for an explicit colour, 0xFF0000nn for system colour nn, clNone for no colour.
using TColor = std::uint32_t;

inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clWindowText = 0xFF000008;
inline constexpr TColor clBtnFace = 0xFF00000F;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;

constexpr bool IsSystemColor(TColor c) { return (c & 0xFF000000u) == 0xFF000000u; }

// Turns a colour value into 0x00BBGGRR; system colours go through the platform's table.
using TColorResolver = std::function<TColor(TColor)>;

// The classic Windows system colour table, for builds and tests without the platform.
// Explicit colours pass through (top byte cleared); an unknown system index gives black.
TColor ResolveColorClassic(TColor c);

// Image pixels are stored as the platform's 32-bit bitmaps hold them: 0xAARRGGBB (blue in
// the lowest byte). Colour values are 0x00BBGGRR, so red and blue swap between the two.
constexpr std::uint32_t ColorToPixel(TColor rgb) {
    return ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}
constexpr TColor PixelToColor(std::uint32_t px) {
    return ((px & 0xFFu) << 16) | (px & 0xFF00u) | ((px >> 16) & 0xFFu);
}

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font as the controls need it; the platform turns it into a real font.
struct TFont {
    std::string Name = "MS Sans Serif";
    int Size = 8;                   // points; the platform converts with the screen's pixels per inch
    TColor Color = clWindowText;
    unsigned Style = 0;             // TFontStyle bits
    bool operator==(const TFont&) const = default;
};

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Shift state bits handed with mouse events.
enum TShiftState : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };

// A W x H block of 32-bit pixels. Sizes below zero are taken as zero.
class TPixelImage {
public:
    TPixelImage() = default;
    TPixelImage(int width, int height, std::uint32_t fill = 0) { Resize(width, height, fill); }

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    // Gives the image a new size with every pixel set to `fill` (the old content is dropped).
    void Resize(int width, int height, std::uint32_t fill);
    void Fill(std::uint32_t px);
    // Fills the clipped rectangle [x, x+w) x [y, y+h).
    void FillRect(int x, int y, int w, int h, std::uint32_t px);

    std::uint32_t Pixel(int x, int y) const { return pixels_[Index(x, y)]; }
    void SetPixel(int x, int y, std::uint32_t px) { pixels_[Index(x, y)] = px; }
    std::uint32_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    const std::uint32_t* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    std::uint32_t* Data() { return pixels_.data(); }
    const std::uint32_t* Data() const { return pixels_.data(); }

    bool operator==(const TPixelImage&) const = default;

private:
    std::size_t Index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

// Copies `src` onto `dst` with its top-left corner at (dx, dy), clipped to both images.
void CopyImage(TPixelImage& dst, const TPixelImage& src, int dx, int dy);

// The smallest rectangle holding every pixel in which `a` and `b` differ (colour bytes and
// alpha alike); empty when they are equal. Images of different sizes differ everywhere: the
// whole of `b`.
Rect ChangedRect(const TPixelImage& a, const TPixelImage& b);

// Copies the clipped rectangle `r` of `src` to the same place in `dst`.
void CopyRect(TPixelImage& dst, const TPixelImage& src, const Rect& r);

// As CopyImage, but pixels of `src` equal to `keyPixel` (compared on the colour bytes, alpha
// ignored) are skipped and leave `dst` as it was.
void DrawTransparent(TPixelImage& dst, const TPixelImage& src, int dx, int dy, std::uint32_t keyPixel);

}  // namespace tw
