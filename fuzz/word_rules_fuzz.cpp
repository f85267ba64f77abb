// Any word list and any title: judging ends, and a title that is one of the list's entries always
// holds that entry (when it has a word in it), whatever the bytes and scripts.
#include "base/UnicodeText.h"
#include "rss/WordRules.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\n');
    const std::string_view list = input.substr(0, cut);
    const std::string_view text = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);

    const tw::TWordRules rules(list, list, list, true);
    (void)rules.Judge(text, text);
    for (const std::string& entry : tw::SplitWordList(list)) {
        bool hasWord = false;
        for (char32_t cp : tw::Utf8ToUtf32(entry)) hasWord |= tw::IsWordCharacter(cp);
        if (hasWord && !rules.Judge(entry, "").Highlighted) __builtin_trap();
    }
    return 0;
}
