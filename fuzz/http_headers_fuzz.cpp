// The parts of an HTTP response the transfer component reads itself: the authentication realm,
// the content length, the header lines it sends back, and the progress figures derived from
// server-given sizes. None may crash, hang or give a percentage outside 0-100.
#include "net/HttpRules.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)tw::ExtractRealm(text);
    const std::int32_t length = tw::ParseContentLength(text);
    if (length < 0) __builtin_trap();

    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    const std::string headers = tw::BuildRequestHeaders(lines, "");
    if (headers.find("\r\n\r\n") != std::string::npos) __builtin_trap();  // no empty header line

    std::uint32_t numbers[4] = {};
    std::memcpy(numbers, data, std::min(size, sizeof numbers));
    const tw::TpkProgressFigures f = tw::ComputeProgress(numbers[0], static_cast<std::int64_t>(numbers[1]),
                                                         static_cast<std::int32_t>(numbers[2]), numbers[3]);
    if (f.PercentsDone > 100 || f.EstimatedTimeLeft < 0) __builtin_trap();
    (void)tw::StatusText(numbers[0]);
    (void)tw::BuildRangeLine(numbers[0], numbers[1], numbers[2], numbers[3]);
    return 0;
}
