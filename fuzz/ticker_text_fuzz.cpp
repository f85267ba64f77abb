// Any feed title or description: cleaning it for the ticker ends, never reads out of bounds,
// and never grows the text beyond what its line breaks can add.
#include "app/uUtil.h"
#include "base/TextConvert.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    // Each removed tag gives at most CR LF for its two or more characters; each "|" that turns
    // into CR LF adds one.
    std::string stripped = tw::StripMarkup(text);
    if (stripped.size() > 2 * text.size()) __builtin_trap();

    // A reference never decodes to more code units than it took.
    std::u16string wide;
    for (size_t i = 0; i + 1 < size; i += 2) wide.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    std::u16string decoded = tw::DecodeCharRefs(wide);
    if (decoded.size() > wide.size()) __builtin_trap();
    for (char16_t c : decoded)
        if (c == 0 && wide.find(char16_t(0)) == std::u16string::npos) __builtin_trap();  // no NUL made up

    std::string item = tw::CleanItemText(text);
    std::string title = tw::CleanChannelTitle(text);
    // The result is well-formed UTF-8 whatever came in.
    if (tw::Utf16ToUtf8(tw::Utf8ToUtf16(item)) != item) __builtin_trap();
    if (tw::Utf16ToUtf8(tw::Utf8ToUtf16(title)) != title) __builtin_trap();
    return 0;
}
