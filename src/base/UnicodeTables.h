#pragma once
// The generated data behind base/UnicodeText (src/base/UnicodeTables.cpp, written by
// tools/make_unicode_tables.py). Only UnicodeText reads it.
#include <cstdint>
#include <span>

namespace tw::unicode_tables {

// `count` code points from `first`, `step` apart, each folding to itself plus `delta`.
struct TFoldRun {
    std::uint32_t first;
    std::uint16_t count;
    std::uint8_t step;
    std::int32_t delta;
};

// A code point whose folding is up to three code points ("ß" to "ss"); unused places are 0.
struct TFoldExpansion {
    std::uint32_t code;
    std::uint32_t folded[3];
};

// Class bits of ClassStarts' low byte.
inline constexpr std::uint32_t kClassMask = 3;      // 0 other, 1 letter, 2 mark, 3 number
inline constexpr std::uint32_t kSpacelessBit = 4;   // of a script written without spaces

std::span<const TFoldRun> FoldRuns();              // ascending by first
std::span<const TFoldExpansion> FoldExpansions();  // ascending by code
std::span<const std::uint32_t> ClassStarts();      // ascending; the first starts at 0

}  // namespace tw::unicode_tables
