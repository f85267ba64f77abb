#include "base/AsciiText.h"

#include <algorithm>

namespace tw {

namespace {

bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }
bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }
bool IsAsciiWhitespace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsSpaceTabOrLineBreak(char c) { return IsSpaceOrTab(c) || c == '\r' || c == '\n'; }
bool IsSpaceTabLineBreakOrQuote(char c) { return IsSpaceTabOrLineBreak(c) || c == '"' || c == '\''; }
bool IsSpaceTabOrCR(char c) { return IsSpaceOrTab(c) || c == '\r'; }

template <class Cut>
std::string_view TrimFrontBy(std::string_view text, Cut cut) {
    while (!text.empty() && cut(text.front())) text.remove_prefix(1);
    return text;
}

template <class Cut>
std::string_view TrimBackBy(std::string_view text, Cut cut) {
    while (!text.empty() && cut(text.back())) text.remove_suffix(1);
    return text;
}

template <class Cut>
std::string_view TrimBy(std::string_view text, Cut cut) {
    return TrimBackBy(TrimFrontBy(text, cut), cut);
}

bool SameLetter(char a, char b) { return AsciiLower(a) == AsciiLower(b); }

}  // namespace

std::string AsciiLowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

std::string AsciiUppered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = AsciiUpper(c);
    return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameLetter);
}

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

std::size_t FindIgnoringAsciiCase(std::string_view text, std::string_view what) {
    const auto found = std::search(text.begin(), text.end(), what.begin(), what.end(), SameLetter);
    if (found == text.end() && !what.empty()) return std::string_view::npos;
    return static_cast<std::size_t>(found - text.begin());
}

std::string_view TrimControlsAndBlanks(std::string_view text) { return TrimBy(text, IsControlOrBlank); }
std::string_view TrimSpacesAndTabs(std::string_view text) { return TrimBy(text, IsSpaceOrTab); }
std::string_view TrimAsciiWhitespace(std::string_view text) { return TrimBy(text, IsAsciiWhitespace); }
std::string_view TrimSpacesTabsAndLineBreaks(std::string_view text) { return TrimBy(text, IsSpaceTabOrLineBreak); }
std::string_view TrimSpacesTabsLineBreaksAndQuotes(std::string_view text) {
    return TrimBy(text, IsSpaceTabLineBreakOrQuote);
}
std::string_view TrimSpacesTabsAndTrailingCRs(std::string_view text) {
    return TrimBackBy(TrimFrontBy(text, IsSpaceOrTab), IsSpaceTabOrCR);
}
std::string_view TrimLeadingControlsAndBlanks(std::string_view text) { return TrimFrontBy(text, IsControlOrBlank); }

}  // namespace tw
