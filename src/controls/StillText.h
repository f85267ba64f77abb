#pragma once
// Headlines shown still instead of scrolled (for readers who switched animations off): each one
// stands cut to the strip with an ellipsis for a period that grows with what can be read, then the
// next comes. docs/ticker.md gives the figures.
#include <cstddef>
#include <functional>
#include <string>

namespace tw {

// How long a still headline stands: a base for finding the start plus a share per character,
// bounded at both ends so a one-word title is not gone at once and a long one does not hold the
// bar for half a minute.
inline constexpr int kStillBaseMs = 2000;
inline constexpr int kStillPerCharacterMs = 50;
inline constexpr int kStillMinimumMs = 3000;
inline constexpr int kStillMaximumMs = 12000;

// Characters (code points) of UTF-8 `text`; bytes that start no sequence do not count.
std::size_t CodePointCount(const std::string& text);

// The period for showing `text` (UTF-8) still, in milliseconds.
int StillPeriodFor(const std::string& text);

// The ellipsis a cut headline ends with (U+2026).
inline constexpr char kEllipsis[] = "\xE2\x80\xA6";

// `text` as it fits `maxWidth` pixels under `measure` (the width of a UTF-8 text): whole when it
// fits, else its longest prefix (cut between characters, trailing blanks dropped) followed by the
// ellipsis; the ellipsis alone when no character fits beside it, and "" when not even it fits.
std::string EllipsizedText(const std::string& text, int maxWidth, const std::function<int(const std::string&)>& measure);

}  // namespace tw
