// The size-text reader never crashes; a text without separators or unit reads as the number.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "rss/RSSFeedModel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::uint32_t bytes = tw::ParseSizeText(text);
    std::int32_t plain = 0;
    if (text.find_first_of(" ,.bBkKmMgG") == std::string_view::npos && tw::TryTextToInt(text, plain) &&
        bytes != static_cast<std::uint32_t>(plain))
        std::abort();
    return 0;
}
