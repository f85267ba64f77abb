#pragma once
// The small text rules every area needs, in one place: letter case and trimming on 8-bit (UTF-8)
// text. Each works on ASCII bytes only, so a UTF-8 sequence is never split or changed: "É" stays
// as it is, and only A-Z and a-z change case. Names say which bytes a function looks at.
#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// A-Z to a-z (and back); every other byte as it is.
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
std::string AsciiLowered(std::string_view text);
std::string AsciiUppered(std::string_view text);

// Comparisons in which A-Z and a-z are the same letter.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix);
// Position of the first occurrence of `what` in `text`, npos when there is none (an empty
// `what` is found at 0).
std::size_t FindIgnoringAsciiCase(std::string_view text, std::string_view what);

// Trimming, by which bytes are cut from both ends:
// every byte up to 0x20, that is blanks and control characters (line breaks, tabs, NUL);
std::string_view TrimControlsAndBlanks(std::string_view text);
// spaces and tabs only, as the profile-file functions read names and values;
std::string_view TrimSpacesAndTabs(std::string_view text);
// the ASCII white space of C's isspace: space, tab, CR, LF, vertical tab, form feed;
std::string_view TrimAsciiWhitespace(std::string_view text);
// space, tab, CR and LF, the white space of XML and of a typed-in line;
std::string_view TrimSpacesTabsAndLineBreaks(std::string_view text);
// those four and both quote marks, as a name may stand quoted in a declaration;
std::string_view TrimSpacesTabsLineBreaksAndQuotes(std::string_view text);
// spaces and tabs, and CRs too at the end: a line cut at LF from a CR LF text, whose leading CR
// (a stray one) stays text.
std::string_view TrimSpacesTabsAndTrailingCRs(std::string_view text);
// From the front only: every byte up to 0x20, as TrimControlsAndBlanks.
std::string_view TrimLeadingControlsAndBlanks(std::string_view text);

}  // namespace tw
