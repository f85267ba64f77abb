// PNG decoding: any bytes either decode into a picture of a sane size or fail cleanly.
#include "controls/PngImages.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tw::TPixelImage image;
    std::string error;
    const bool ok = tw::DecodePng(data, size, image, &error);
    if (ok && (image.Empty() || image.Width() > tw::kMaxPngSide || image.Height() > tw::kMaxPngSide)) std::abort();
    if (!ok && (!image.Empty() || error.empty())) std::abort();
    if (ok) (void)tw::Premultiplied(image);
    return 0;
}
