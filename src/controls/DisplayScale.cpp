#include "controls/DisplayScale.h"

#include <cstdint>

namespace tw {

int ScaleBetween(int value, int fromDpi, int toDpi) {
    if (fromDpi <= 0) fromDpi = kDefaultDpi;
    if (toDpi <= 0) toDpi = kDefaultDpi;
    const std::int64_t product = std::int64_t(value) * toDpi;
    const std::int64_t half = fromDpi / 2;
    // Integer division truncates toward zero; adding half the divisor away from zero first
    // rounds halves away from zero (an odd divisor has no exact half to tie on).
    return int(product >= 0 ? (product + half) / fromDpi : (product - half) / fromDpi);
}

int PictureScaleFor(int dpi) { return dpi >= 144 ? 2 : 1; }

}  // namespace tw
