// The answer headers the reload rules read (Cache-Control, Age, Expires, Date, Retry-After) and
// the result they are given: no crash, and the next request never earlier than the reload period
// nor later than the longest bound allows.
#include "net/ReloadRules.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    std::uint8_t head[8];
    std::memcpy(head, data, sizeof head);
    const std::string_view headers(reinterpret_cast<const char*>(data) + 8, size - 8);
    constexpr tw::TpkTimeMs now = 1714564800000;
    if (tw::FreshnessLifetimeMs(headers, now) < 0 || tw::RetryAfterMs(headers, now) < -1) __builtin_trap();

    tw::TpkFeedState state;
    state.Failures = head[0] % 70;
    const tw::TpkTimeMs period = (head[1] % 61) * tw::kMsPerMinute;
    const int status = 100 * (head[2] % 6) + head[3] % 32;
    const auto result = static_cast<tw::TpkFeedResult>(head[4] % (tw::frOther + 1));
    const double random = head[5] / 255.0;
    tw::RecordLoad(state, {result, status, headers, head[6] * 10u}, now, period, [&] { return random; });
    const tw::TpkTimeMs wait = state.NextDue - now;
    const tw::TpkTimeMs longest = std::max({tw::kMaxFreshnessMs, tw::kMaxRetryAfterMs, tw::kMaxBackoffMs, period});
    if (wait < period || wait > longest) __builtin_trap();
    (void)tw::FeedStateText(state, [](tw::TpkTimeMs) { return std::string("12:00"); });
    return 0;
}
