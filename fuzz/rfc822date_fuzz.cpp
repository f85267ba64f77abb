// The date reader answers a finite number for any text and never throws.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/pkUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = tw::RFC822ToDateTime(text);
    if (!std::isfinite(value)) std::abort();
    if (!std::isfinite(tw::ZoneOffsetToTime(text)) || std::fabs(tw::ZoneOffsetToTime(text)) >= 1) std::abort();
    return 0;
}
