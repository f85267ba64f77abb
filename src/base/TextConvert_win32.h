#pragma once
// UTF-8 to and from the UTF-16 of the W functions, by the program's one converter: broken UTF-8
// becomes U+FFFD per bad byte, an unpaired surrogate becomes U+FFFD (base/TextConvert.h).
#include "base/TextConvert.h"

#include <string>
#include <string_view>

namespace tw {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t holds UTF-16 code units under Windows");

inline std::wstring ToWide(std::string_view utf8) {
    const std::u16string wide = Utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string FromWide(std::wstring_view wide) {
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace tw
