#include "net/ReloadRules.h"

#include "base/AsciiText.h"
#include "base/pkUtils.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>
#include <random>

namespace tw {

namespace {

constexpr double kUnixEpochDays = 25569.0;  // 1970-01-01 in days since 1899-12-30
constexpr TpkTimeMs kMsPerDay = 24 * kMsPerHour;
// Any number of seconds beyond this is read as this: ten years, far past every bound.
constexpr std::int64_t kMaxSeconds = 10ll * 366 * 24 * 3600;

// Decimal digits only (a value in quotes too); -1 for anything else.
std::int64_t Seconds(std::string_view text) {
    text = TrimAsciiWhitespace(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    if (text.empty()) return -1;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = std::min<std::int64_t>(value * 10 + (c - '0'), kMaxSeconds);
    }
    return value;
}

// The max-age of a Cache-Control value in seconds, -1 when it has none.
std::int64_t MaxAgeOf(std::string_view cacheControl) {
    while (!cacheControl.empty()) {
        const std::size_t comma = cacheControl.find(',');
        const std::string_view directive = TrimAsciiWhitespace(cacheControl.substr(0, comma));
        cacheControl = comma == std::string_view::npos ? std::string_view() : cacheControl.substr(comma + 1);
        const std::size_t equals = directive.find('=');
        if (equals != std::string_view::npos &&
            EqualsIgnoringAsciiCase(TrimAsciiWhitespace(directive.substr(0, equals)), "max-age"))
            return Seconds(directive.substr(equals + 1));
    }
    return -1;
}

// A date of the answer less its Date header (or less `now`), never below 0.
TpkTimeMs UntilDate(TpkTimeMs date, std::string_view headers, TpkTimeMs now) {
    const TpkTimeMs sent = HttpDateToTime(HeaderValueOf(headers, "Date"));
    return std::max<TpkTimeMs>(0, date - (sent != 0 ? sent : now));
}

bool BacksOff(const TpkLoadOutcome& o) {
    switch (o.Result) {
        case frHostUnreachable:
        case frTimeout:
        case frConnectionLost:
            return true;
        case frHTTPStatus:
            return o.HTTPStatus == 429 || o.HTTPStatus >= 500;
        default:
            return false;
    }
}

}  // namespace

TpkTimeMs WallClockNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string HeaderValueOf(std::string_view headers, std::string_view name) {
    std::string joined;
    while (!headers.empty()) {
        const std::size_t end = headers.find('\n');
        const std::string_view line = headers.substr(0, end);
        headers = end == std::string_view::npos ? std::string_view() : headers.substr(end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !EqualsIgnoringAsciiCase(TrimAsciiWhitespace(line.substr(0, colon)), name))
            continue;
        if (!joined.empty()) joined += ", ";
        joined += TrimAsciiWhitespace(line.substr(colon + 1));
    }
    return joined;
}

TpkTimeMs HttpDateToTime(std::string_view text) {
    const TDateTime local = RFC822ToDateTime(text);
    if (local == 0) return 0;
    const TDateTime utc = AddDays(local, LocalTimeZoneBias());
    return static_cast<TpkTimeMs>(std::llround((utc - kUnixEpochDays) * static_cast<double>(kMsPerDay)));
}

TpkTimeMs FreshnessLifetimeMs(std::string_view headers, TpkTimeMs now) {
    const std::int64_t maxAge = MaxAgeOf(HeaderValueOf(headers, "Cache-Control"));
    if (maxAge >= 0) {
        const std::int64_t age = std::max<std::int64_t>(0, Seconds(HeaderValueOf(headers, "Age")));
        return std::max<std::int64_t>(0, maxAge - age) * kMsPerSecond;
    }
    const std::string expires = HeaderValueOf(headers, "Expires");
    if (expires.empty()) return 0;
    // An Expires that is no date ("0", "-1") means already stale.
    const TpkTimeMs when = HttpDateToTime(expires);
    return when == 0 ? 0 : UntilDate(when, headers, now);
}

TpkTimeMs RetryAfterMs(std::string_view headers, TpkTimeMs now) {
    const std::string value = HeaderValueOf(headers, "Retry-After");
    if (value.empty()) return -1;
    if (const std::int64_t seconds = Seconds(value); seconds >= 0) return seconds * kMsPerSecond;
    const TpkTimeMs when = HttpDateToTime(value);
    return when == 0 ? -1 : UntilDate(when, headers, now);
}

TpkFeedResult FeedResultOf(TpkHTTPFailure failure) {
    switch (failure) {
        case hfNone: return frLoaded;
        case hfHostUnreachable: return frHostUnreachable;
        case hfTimeout: return frTimeout;
        case hfCertificate: return frCertificate;
        case hfInsecureRedirect: return frInsecureRedirect;
        case hfHTTPStatus: return frHTTPStatus;
        case hfConnectionLost: return frConnectionLost;
        case hfTooLarge: return frTooLarge;
        case hfBadContent: return frBadContent;
        case hfOutputFile:
        case hfCancelled:
        case hfOther: break;
    }
    return frOther;
}

TpkRandom DefaultRandom() {
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    return [engine] { return std::uniform_real_distribution<double>(0.0, 1.0)(*engine); };
}

void RecordLoad(TpkFeedState& state, const TpkLoadOutcome& outcome, TpkTimeMs now, TpkTimeMs reloadPeriodMs,
                const TpkRandom& random) {
    const TpkTimeMs period = std::max<TpkTimeMs>(reloadPeriodMs, 0);
    state.LastResult = outcome.Result;
    state.HTTPStatus = outcome.HTTPStatus;
    state.When = now;
    TpkTimeMs wait = period;
    if (outcome.Result == frLoaded || outcome.Result == frNotModified) {
        state.Failures = 0;
        const TpkTimeMs ttl = static_cast<TpkTimeMs>(outcome.TTLMinutes) * kMsPerMinute;
        const TpkTimeMs fresh = std::min(std::max(FreshnessLifetimeMs(outcome.Headers, now), ttl), kMaxFreshnessMs);
        wait = std::max(period, fresh);
    } else if (BacksOff(outcome)) {
        state.Failures = std::min(state.Failures + 1, 62);
        const TpkTimeMs retryAfter = outcome.Result == frHTTPStatus && (outcome.HTTPStatus == 429 || outcome.HTTPStatus == 503)
                                         ? RetryAfterMs(outcome.Headers, now)
                                         : -1;
        if (retryAfter >= 0) {
            wait = std::max(period, std::min(retryAfter, kMaxRetryAfterMs));
        } else {
            // Doubled per failure after the first; the shift stops once past the bound.
            const int doublings = std::min(state.Failures - 1, 30);
            const double doubled = static_cast<double>(period) * static_cast<double>(1ll << doublings);
            const double jittered = doubled * (1.0 + kBackoffJitter * std::clamp(random ? random() : 0.0, 0.0, 1.0));
            wait = std::max(period, static_cast<TpkTimeMs>(std::min(jittered, static_cast<double>(kMaxBackoffMs))));
        }
    }
    state.NextDue = now + wait;
}

void MakeDueAtOnce(TpkFeedState& state, TpkTimeMs now) { state.NextDue = std::min(state.NextDue, now); }

std::string LocalClockText(TpkTimeMs time) {
    const std::time_t seconds = static_cast<std::time_t>(time / kMsPerSecond);
    const std::tm* local = std::localtime(&seconds);  // the main thread's: the only caller
    char text[16] = "--:--";
    if (local != nullptr) std::strftime(text, sizeof text, "%H:%M", local);
    return text;
}

std::string FeedStateText(const TpkFeedState& state, const std::function<std::string(TpkTimeMs)>& clock) {
    std::string what;
    switch (state.LastResult) {
        case frNone: return "Not loaded yet";
        case frLoaded: what = "Loaded"; break;
        case frNotModified: what = "Not modified"; break;
        case frHTTPStatus: what = "HTTP " + std::to_string(state.HTTPStatus); break;
        case frHostUnreachable: what = "Server not reachable"; break;
        case frTimeout: what = "Timed out"; break;
        case frConnectionLost: what = "Connection lost"; break;
        case frCertificate: what = "Certificate refused"; break;
        case frInsecureRedirect: what = "Insecure redirect refused"; break;
        case frTooLarge: what = "Too large"; break;
        case frBadContent: what = "Unreadable compressed answer"; break;
        case frNotAFeed: what = "Not a feed"; break;
        case frOther: what = "Failed"; break;
    }
    std::string text = what + " at " + clock(state.When);
    const bool failed = state.LastResult != frLoaded && state.LastResult != frNotModified;
    if (failed && state.NextDue > state.When) text += ", next try " + clock(state.NextDue);
    return text;
}

}  // namespace tw
