#include "base/UnicodeText.h"

#include "base/TextConvert.h"
#include "base/UnicodeTables.h"

#include <algorithm>

namespace tw {

namespace {

using namespace unicode_tables;

std::uint32_t ClassBits(char32_t cp) {
    if (cp > 0x10FFFF) return 0;
    const auto starts = ClassStarts();
    // The last range starting at or before cp: its start sorts before (cp << 8 | 0xFF).
    const auto after = std::upper_bound(starts.begin(), starts.end(), (static_cast<std::uint32_t>(cp) << 8) | 0xFFu);
    return after == starts.begin() ? 0 : *(after - 1) & 0xFFu;
}

bool IsAsciiWordCharacter(char32_t cp) {
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9');
}

}  // namespace

TCharClass CharClassOf(char32_t cp) { return static_cast<TCharClass>(ClassBits(cp) & kClassMask); }

bool IsWordCharacter(char32_t cp) {
    if (cp < 0x80) return IsAsciiWordCharacter(cp);
    return (ClassBits(cp) & kClassMask) != 0;
}

bool IsOfSpacelessScript(char32_t cp) { return cp >= 0x80 && (ClassBits(cp) & kSpacelessBit) != 0; }

void AppendCaseFolded(char32_t cp, std::u32string& out) {
    if (cp < 0x80) {
        out.push_back(cp >= 'A' && cp <= 'Z' ? cp + ('a' - 'A') : cp);
        return;
    }
    const auto expansions = FoldExpansions();
    const auto found = std::lower_bound(expansions.begin(), expansions.end(), cp,
                                        [](const TFoldExpansion& e, char32_t c) { return e.code < c; });
    if (found != expansions.end() && found->code == cp) {
        for (std::uint32_t folded : found->folded)
            if (folded != 0) out.push_back(folded);
        return;
    }
    const auto runs = FoldRuns();
    // Runs never interleave: a code point lies in the last run that starts at or before it, or
    // folds to itself.
    const auto after = std::upper_bound(runs.begin(), runs.end(), cp,
                                        [](char32_t c, const TFoldRun& r) { return c < r.first; });
    if (after != runs.begin()) {
        const TFoldRun& run = *(after - 1);
        const std::uint32_t offset = cp - run.first;
        if (offset % run.step == 0 && offset / run.step < run.count) {
            out.push_back(static_cast<char32_t>(static_cast<std::int64_t>(cp) + run.delta));
            return;
        }
    }
    out.push_back(cp);
}

std::u32string Utf8ToUtf32(std::string_view text) {
    const std::u16string wide = Utf8ToUtf16(text);
    std::u32string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char32_t unit = wide[i];
        // Utf8ToUtf16 pairs every surrogate it makes.
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size()) {
            out.push_back(0x10000 + ((unit - 0xD800) << 10) + (wide[++i] - 0xDC00));
        } else {
            out.push_back(unit);
        }
    }
    return out;
}

}  // namespace tw
