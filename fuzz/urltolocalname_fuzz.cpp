// URLToLocalName never crashes, and its flat form is one plain file name: no folder separator, no
// character Windows refuses in a name, nothing that climbs out of the download folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/UrlUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    const std::string flat = tw::URLToLocalName(url, false);
    for (char c : flat) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || std::string_view("\\/:*?\"<>| #%+").find(c) != std::string_view::npos) std::abort();
    }
    const std::string folders = tw::URLToLocalName(url, true);
    if (folders.find(':') != std::string::npos || folders.find('/') != std::string::npos) std::abort();
    // At most one separator: the folder part is a single folder.
    if (folders.find('\\') != folders.rfind('\\')) std::abort();
    if (folders.rfind("..\\", 0) == 0) std::abort();
    return 0;
}
