#pragma once
// Bodies compressed with zlib for the tests of decoding.
#include <gtest/gtest.h>

#include <zlib.h>

#include <string>

namespace tw::test {

// `plain` compressed with zlib's window bits: 31 gzip, 15 zlib, -15 bare deflate.
inline std::string Compress(const std::string& plain, int windowBits = 31) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, plain.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace tw::test
