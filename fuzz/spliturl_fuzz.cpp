// SplitURL never crashes, keeps every part within its limit, and leaves the outputs alone on
// failure; EscapeURLPart leaves no byte it must escape.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/UrlUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    tw::TpkURLParts parts;
    parts.Scheme = "unchanged";
    if (tw::SplitURL(url, parts)) {
        if (parts.Scheme.empty() || parts.Scheme.size() > tw::MaxSchemeLength || parts.Host.size() > tw::MaxHostLength ||
            parts.UserName.size() > tw::MaxUserNameLength || parts.Password.size() > tw::MaxPasswordLength ||
            parts.Path.size() > tw::MaxPathLength || parts.Extra.size() > tw::MaxExtraLength)
            std::abort();
        for (const std::string* part : {&parts.Host, &parts.Path, &parts.Extra, &parts.UserName, &parts.Password})
            if (part->find('\0') != std::string::npos && url.find('\0') == std::string_view::npos) std::abort();
    } else if (parts.Scheme != "unchanged") {
        std::abort();
    }
    for (char c : tw::EscapeURLPart(url)) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x80 || c == ' ' || c == '#' || c == '*' || c == '+' || c == '<' || c == '>') std::abort();
    }
    tw::URLToFileName(url);
    return 0;
}
