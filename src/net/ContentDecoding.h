#pragma once
// Bodies sent compressed (Content-Encoding gzip or deflate), decoded as they arrive. The output
// comes in bounded blocks to a sink that may stop it, so a small body that inflates without end
// (a "zip bomb") costs no more memory than the sink keeps.
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

namespace tw {

enum class TpkContentCoding { Identity, Gzip, Deflate, Other };

// The coding a Content-Encoding value names: "" and "identity" are Identity, "gzip" and
// "x-gzip" Gzip, "deflate" Deflate (case and surrounding blanks do not matter); any other value,
// or a list of several codings, is Other.
TpkContentCoding ContentCodingOf(std::string_view contentEncoding);

class TpkInflater {
public:
    enum class Result {
        More,     // all input taken; the body has not ended yet
        End,      // the compressed data ended (input after it is ignored)
        Corrupt,  // not data of this coding
        Stopped,  // the sink asked to stop
    };
    // Receives decoded bytes; false stops the decoding.
    using Sink = std::function<bool(const char* data, std::size_t size)>;

    // For Gzip or Deflate. "deflate" is the zlib format by the standard, but some servers send
    // the bare deflate data: both are read. Several gzip members in a row are one body.
    explicit TpkInflater(TpkContentCoding coding);
    ~TpkInflater();
    TpkInflater(const TpkInflater&) = delete;
    TpkInflater& operator=(const TpkInflater&) = delete;

    // Decodes the next piece of the body. After End, Corrupt or Stopped further input is not
    // read (the same result again). The sink may raise; the inflater then stays usable only
    // for destruction.
    Result Feed(const char* data, std::size_t size, const Sink& sink);
    // Whether the compressed data has ended (a body that stops before it was cut short).
    bool Ended() const { return ended_; }

    // Largest block handed to the sink at once.
    static constexpr std::size_t kOutputBlock = 64 * 1024;

private:
    bool Start(const char* data, std::size_t size);
    struct State;
    std::unique_ptr<State> state_;
    TpkContentCoding coding_;
    bool started_ = false;
    bool ended_ = false;
    Result final_ = Result::More;
};

}  // namespace tw
