#pragma once
// Text cleaning for what the ticker shows: feed titles and descriptions arrive with markup and
// numeric character references that a one-line ticker and a plain hint cannot render.
#include <string>
#include <string_view>

namespace tw {

// Removes markup from 8-bit (UTF-8) text. The first "|" becomes CR LF; a tag whose name starts
// with "/P", "HR/", "HR /" or "BR" (any case) becomes CR LF, every other tag vanishes. A ">"
// standing before the first "<" is kept as text and the rest is cleaned on its own: its first
// "|" left after the replacements made so far becomes CR LF too, so "a>b|c|d<e>" gives
// "a>b", CR LF, "c", CR LF, "d". A "<" that no ">" ever follows is kept with the rest of the text as it
// stands, so no text is lost and the routine always ends. Runs in linear time.
std::string StripMarkup(std::string_view text);

// Replaces numeric character references ("&#39;", "&#x2019;", "&#$41;", "&# 65;") by the
// character they name. The number is read from at most ten characters after "&#": blanks, an
// optional sign, then decimal digits, or hexadecimal digits after "$", "x", "X" or "0x". A ";"
// right after the number closes the reference and a second ";" right after it is dropped too.
// A reference without ";" is decoded as well and whatever follows the number is kept. Anything
// else after "&#" is copied unchanged. Numbers above 0xFFFF become a surrogate pair; numbers
// that name no character (0, negative, a lone surrogate, above 0x10FFFF) become U+FFFD, so no
// NUL or broken UTF-16 reaches the screen. 128 to 159 give the Windows-1252 characters publishers
// mean by them ("&#146;" is the apostrophe U+2019); the other control characters but tab, line
// feed and carriage return give a space.
std::u16string DecodeCharRefs(std::u16string_view text);

// What the ticker shows of an item's title or description: StripMarkup, trim, then
// DecodeCharRefs (decoded in UTF-16 so the characters keep their value), as UTF-8.
std::string CleanItemText(std::string_view text);

// What the title label shows of a channel title: trim, then DecodeCharRefs, as UTF-8.
std::string CleanChannelTitle(std::string_view text);

}  // namespace tw
