#include "net/ContentDecoding.h"

#include "base/AsciiText.h"

#include <zlib.h>

#include <vector>

namespace tw {

TpkContentCoding ContentCodingOf(std::string_view contentEncoding) {
    const std::string_view value = TrimAsciiWhitespace(contentEncoding);
    if (value.empty() || EqualsIgnoringAsciiCase(value, "identity")) return TpkContentCoding::Identity;
    if (EqualsIgnoringAsciiCase(value, "gzip") || EqualsIgnoringAsciiCase(value, "x-gzip")) return TpkContentCoding::Gzip;
    if (EqualsIgnoringAsciiCase(value, "deflate")) return TpkContentCoding::Deflate;
    return TpkContentCoding::Other;
}

struct TpkInflater::State {
    z_stream z{};
    bool open = false;
    std::vector<unsigned char> out = std::vector<unsigned char>(kOutputBlock);
    ~State() {
        if (open) inflateEnd(&z);
    }
};

TpkInflater::TpkInflater(TpkContentCoding coding) : state_(std::make_unique<State>()), coding_(coding) {}
TpkInflater::~TpkInflater() = default;

bool TpkInflater::Start(const char* data, std::size_t size) {
    // gzip only (16 + 15); for deflate, the zlib header when the first two bytes are one
    // (method 8, a check value divisible by 31), else the bare data (-15).
    int windowBits = 16 + MAX_WBITS;
    if (coding_ == TpkContentCoding::Deflate) {
        const auto b0 = static_cast<unsigned char>(data[0]);
        const auto b1 = size > 1 ? static_cast<unsigned char>(data[1]) : 0u;
        const bool zlibHeader = size > 1 && (b0 & 0x0f) == 8 && (b0 >> 4) <= 7 && ((b0 << 8) | b1) % 31 == 0;
        windowBits = zlibHeader ? MAX_WBITS : -MAX_WBITS;
    }
    state_->open = inflateInit2(&state_->z, windowBits) == Z_OK;
    return state_->open;
}

TpkInflater::Result TpkInflater::Feed(const char* data, std::size_t size, const Sink& sink) {
    if (final_ != Result::More) return final_;
    if (size == 0) return Result::More;
    if (!started_) {
        started_ = true;
        if (!Start(data, size)) return final_ = Result::Corrupt;
    }
    z_stream& z = state_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = static_cast<uInt>(size);
    for (;;) {
        if (ended_) {
            if (z.avail_in == 0) break;
            // Another gzip member may follow; anything else after the data is ignored.
            const bool member = coding_ == TpkContentCoding::Gzip && z.next_in[0] == 0x1f &&
                                (z.avail_in < 2 || z.next_in[1] == 0x8b);
            if (!member) return final_ = Result::End;
            if (inflateReset(&z) != Z_OK) return final_ = Result::Corrupt;
            ended_ = false;
        }
        z.next_out = state_->out.data();
        z.avail_out = static_cast<uInt>(state_->out.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        const std::size_t produced = state_->out.size() - z.avail_out;
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return final_ = Result::Corrupt;
        if (produced > 0 && !sink(reinterpret_cast<const char*>(state_->out.data()), produced))
            return final_ = Result::Stopped;
        if (rc == Z_STREAM_END) ended_ = true;
        // Output still waiting inside the decoder fills the block; otherwise it wants input.
        if (z.avail_in == 0 && z.avail_out != 0) break;
        if (rc == Z_BUF_ERROR && produced == 0) break;
    }
    return ended_ && coding_ != TpkContentCoding::Gzip ? final_ = Result::End : Result::More;
}

}  // namespace tw
