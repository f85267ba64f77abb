// Bytes read back from the kept-copy folder, and compressed bodies from a server: a kept copy
// that decodes encodes to the very same bytes, and the decoder never hands on more than it was
// let have, whatever the bytes.
#include "net/ContentDecoding.h"
#include "rss/FeedCache.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto copy = tw::DecodeKeptCopy(bytes); copy && tw::EncodeKeptCopy(*copy) != bytes) __builtin_trap();

    for (tw::TpkContentCoding coding : {tw::TpkContentCoding::Gzip, tw::TpkContentCoding::Deflate}) {
        tw::TpkInflater inflater(coding);
        constexpr std::size_t kCap = 1 << 20;
        std::size_t out = 0;
        const auto sink = [&](const char*, std::size_t n) {
            if (n > tw::TpkInflater::kOutputBlock) __builtin_trap();
            out += n;
            return out <= kCap;
        };
        // In two pieces, so a member or header that spans reads is met too.
        inflater.Feed(bytes.data(), size / 2, sink);
        inflater.Feed(bytes.data() + size / 2, size - size / 2, sink);
        if (out > kCap + tw::TpkInflater::kOutputBlock) __builtin_trap();
    }
    return 0;
}
