// Any bytes as the seen file: reading them never fails hard, and what is accepted is exactly what
// the set writes back, so a file we read is one we wrote.
#include "rss/SeenItems.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tw::TSeenItems seen(7);
    if (!seen.Parse(bytes)) {
        if (seen.Count() != 0 || seen.QuietSince() != 7) __builtin_trap();  // left as it was
        return 0;
    }
    if (seen.Serialize() != bytes) __builtin_trap();
    return 0;
}
