// The integer-text rule: never crashes, and a text it accepts reads back to the same value.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/pkClasses.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::int32_t value = 0;
    const bool ok = tw::TryTextToInt(text, value);
    if (tw::TextToIntDef(text, 7) != (ok ? value : 7)) std::abort();
    if (ok && tw::TextToIntDef(std::to_string(value), 0) != value) std::abort();
    try {
        if (tw::TextToInt(text) != value || !ok) std::abort();
    } catch (const tw::EpkConvertError&) {
        if (ok) std::abort();
    }
    return 0;
}
