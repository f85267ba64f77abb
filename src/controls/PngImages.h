#pragma once
// The program's pictures: PNG bytes decoded (libpng, zlib) into 32-bit pixels, the `pngImages`
// collection (start image, previous and next arrows) and the `pngTrayIcons` list (the six
// 16 x 16 tray-menu icons), loaded from the executable's RCDATA resources on Windows
// (PngImages_win32.h: loading, drawing, icons and image lists).
// Pixels are 0xAARRGGBB with straight (not premultiplied) alpha.
#include "controls/Graphics.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

// Resource names (RCDATA) of the pictures, in collection order.
inline constexpr std::array<const char*, 3> kPngImageResources = {"PNG_START", "PNG_PREV", "PNG_NEXT"};
inline constexpr std::array<const char*, 6> kPngTrayIconResources = {"PNG_TRAY0", "PNG_TRAY1", "PNG_TRAY2",
                                                                     "PNG_TRAY3", "PNG_TRAY4", "PNG_TRAY5"};
inline constexpr const char* kPngTileResource = "PNG_TILE";
// The same pictures of the bar drawn at twice the size, for dense displays.
inline constexpr std::array<const char*, 3> kPngImageResources2x = {"PNG_START_2X", "PNG_PREV_2X", "PNG_NEXT_2X"};
inline constexpr const char* kPngTileResource2x = "PNG_TILE_2X";
inline constexpr const char* kMainIconResource = "MAINICON";

// Pictures larger than this on either side are refused: the program's own are tiny, and a
// bad header must not make a huge allocation.
inline constexpr int kMaxPngSide = 4096;

// Decodes a PNG of any colour type and bit depth into 0xAARRGGBB pixels (palette, grey and
// low depths expanded, 16-bit reduced to 8, no alpha gives 0xFF, tRNS honoured, interlace
// resolved). Returns false with a reason in `error` (if given) for data that is not a
// complete, valid PNG; `out` is then left empty.
bool DecodePng(const std::uint8_t* data, std::size_t size, TPixelImage& out, std::string* error = nullptr);
bool DecodePng(const std::string& bytes, TPixelImage& out, std::string* error = nullptr);

// Straight alpha to premultiplied, as the platform's alpha blending wants it.
TPixelImage Premultiplied(const TPixelImage& image);

// `image` redrawn at `width` x `height` (below 1: empty) by area averaging: each new pixel is the
// mean of the part of the picture it covers, weighted by alpha so that transparent pixels lend
// no colour to an edge. A picture already of that size comes back unchanged.
TPixelImage ResizedImage(const TPixelImage& image, int width, int height);

// An ordered collection of pictures of any size (`pngImages`).
class TPngImageCollection {
public:
    TPngImageCollection() = default;
    virtual ~TPngImageCollection() = default;
    TPngImageCollection(const TPngImageCollection&) = delete;
    TPngImageCollection& operator=(const TPngImageCollection&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // Picture `index`; an index outside 0..Count()-1 gives an empty image.
    const TPixelImage& Items(int index) const;
    virtual bool Add(TPixelImage image);
    // Decodes and adds; false (nothing added) when the bytes are not a valid PNG.
    bool AddPng(const std::string& bytes, std::string* error = nullptr);
    virtual void Clear();

protected:
    std::vector<TPixelImage> items_;
};

// A list of pictures that all have one size (`pngTrayIcons`).
class TPngImageList : public TPngImageCollection {
public:
    TPngImageList(int width, int height) : width_(width), height_(height) {}
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Refuses (false) a picture of another size.
    bool Add(TPixelImage image) override;

private:
    int width_;
    int height_;
};

}  // namespace tw
