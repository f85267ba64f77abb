#pragma once
// A 64-bit hash of bytes that is the same in every build and every run (FNV-1a), for keys that
// are written to files and checksums. Not for hostile input: anyone can make two texts collide.
#include <cstdint>
#include <string_view>

namespace tw {

inline constexpr std::uint64_t kHash64Seed = 14695981039346656037ull;

// Continues `hash` over `bytes`; start from kHash64Seed.
constexpr std::uint64_t Hash64(std::string_view bytes, std::uint64_t hash = kHash64Seed) {
    for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

}  // namespace tw
