#include "controls/StillText.h"

#include <algorithm>
#include <vector>

namespace tw {

namespace {

bool ContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u; }

// The byte offsets at which a character ends, in order.
std::vector<std::size_t> CharacterEnds(const std::string& text) {
    std::vector<std::size_t> ends;
    for (std::size_t i = 1; i <= text.size(); ++i)
        if (i == text.size() || !ContinuationByte(text[i])) ends.push_back(i);
    return ends;
}

std::string WithEllipsis(std::string prefix) {
    while (!prefix.empty() && (prefix.back() == ' ' || prefix.back() == '\t')) prefix.pop_back();
    return prefix + kEllipsis;
}

}  // namespace

std::size_t CodePointCount(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) { return !ContinuationByte(c); }));
}

int StillPeriodFor(const std::string& text) {
    const std::size_t characters = std::min<std::size_t>(CodePointCount(text), kStillMaximumMs);
    const long long period = kStillBaseMs + static_cast<long long>(characters) * kStillPerCharacterMs;
    return static_cast<int>(std::clamp<long long>(period, kStillMinimumMs, kStillMaximumMs));
}

std::string EllipsizedText(const std::string& text, int maxWidth, const std::function<int(const std::string&)>& measure) {
    if (measure(text) <= maxWidth) return text;
    if (measure(kEllipsis) > maxWidth) return {};
    // Widths grow with the prefix: the longest that fits is found by halving.
    const std::vector<std::size_t> ends = CharacterEnds(text);
    std::size_t fits = 0, tooLong = ends.size();  // counts of characters
    while (tooLong - fits > 1) {
        const std::size_t mid = (fits + tooLong) / 2;
        if (measure(WithEllipsis(text.substr(0, ends[mid - 1]))) <= maxWidth) fits = mid;
        else tooLong = mid;
    }
    return WithEllipsis(fits == 0 ? std::string() : text.substr(0, ends[fits - 1]));
}

}  // namespace tw
