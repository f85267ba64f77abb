#pragma once
// When a feed may be asked for again, and what its last load came to: the freshness an answer
// claims (Cache-Control max-age less Age, Expires, RSS ttl), the back-off after failures
// (Retry-After, doubling waits with jitter), and one feed's state record with a short text for
// people. Pure functions over a given "now", so they are tested as tables; the bounds are in
// docs/http.md.
#include "net/HttpRules.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tw {

// Milliseconds since 1970-01-01 00:00 UTC.
using TpkTimeMs = std::int64_t;
inline constexpr TpkTimeMs kMsPerSecond = 1000;
inline constexpr TpkTimeMs kMsPerMinute = 60 * kMsPerSecond;
inline constexpr TpkTimeMs kMsPerHour = 60 * kMsPerMinute;

// The clock of the rules.
TpkTimeMs WallClockNowMs();

// Bounds: a server's "one year" must not silence a feed, nor a Retry-After park it for long.
inline constexpr TpkTimeMs kMaxFreshnessMs = 4 * kMsPerHour;
inline constexpr TpkTimeMs kMaxRetryAfterMs = 24 * kMsPerHour;
inline constexpr TpkTimeMs kMaxBackoffMs = 4 * kMsPerHour;
// The back-off's jitter: each wait is lengthened by up to this share of itself.
inline constexpr double kBackoffJitter = 0.25;

// Every value of the header `name` in a raw header block (CR LF or LF lines, names in any
// case), joined by ", " as separate lines of one header mean; "" when there is none.
std::string HeaderValueOf(std::string_view headers, std::string_view name);

// An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT" and the older forms) as UTC; 0 when it cannot
// be read.
TpkTimeMs HttpDateToTime(std::string_view text);

// How long, from `now`, the answer with these headers says it stays fresh: Cache-Control
// max-age less Age, else Expires less Date (less `now` without a Date). 0 when neither says,
// or when the answer is already stale; not bounded. no-store and no-cache change nothing.
TpkTimeMs FreshnessLifetimeMs(std::string_view headers, TpkTimeMs now);

// How long Retry-After asks to wait: delta seconds, or an HTTP date less Date (less `now`
// without a Date); -1 when there is no readable Retry-After. Not bounded.
TpkTimeMs RetryAfterMs(std::string_view headers, TpkTimeMs now);

// What one load of a feed came to.
enum TpkFeedResult : unsigned {
    frNone,              // not loaded yet
    frLoaded,
    frNotModified,
    frHTTPStatus,        // see HTTPStatus
    frHostUnreachable,
    frTimeout,
    frConnectionLost,
    frCertificate,
    frInsecureRedirect,
    frTooLarge,
    frBadContent,        // a compressed answer that did not decode
    frNotAFeed,          // the answer was no feed, or did not parse
    frOther,
};

// The result a failed transfer's kind stands for (hfNone is frLoaded).
TpkFeedResult FeedResultOf(TpkHTTPFailure failure);

// The failure text of a feed that redirected from https to http.
inline constexpr const char* kInsecureRedirectRefusal =
    "refused: the feed redirected from a secure to an insecure address";

// One feed's record.
struct TpkFeedState {
    TpkFeedResult LastResult = frNone;
    int HTTPStatus = 0;   // of the last answer (0 = none)
    TpkTimeMs When = 0;   // of the last result; 0 = never
    TpkTimeMs NextDue = 0;  // the earliest next request; 0 = at once
    int Failures = 0;     // failures in a row that back off (see RecordLoad)
};

// What RecordLoad needs of a finished load.
struct TpkLoadOutcome {
    TpkFeedResult Result = frOther;
    int HTTPStatus = 0;
    std::string_view Headers;   // the answer's raw headers; "" without one
    std::uint32_t TTLMinutes = 0;  // the feed's RSS ttl after a load or a 304; 0 = none
};

// A random number in [0, 1); tests give a fixed one.
using TpkRandom = std::function<double()>;
TpkRandom DefaultRandom();

// Records a load's result at `now` and sets the next due time, given the user's reload period:
// - Loaded or not modified: the failures reset; next is now plus the larger of the period and
//   the freshness (the answer's own, or ttl minutes, whichever is longer, at most
//   kMaxFreshnessMs).
// - HTTP 429 or 503 with a Retry-After: now plus the larger of the period and the Retry-After
//   (at most kMaxRetryAfterMs); counts as a failure.
// - HTTP 429 or 503 without one, any other 5xx, an unreachable host, a time-out, a lost
//   connection: the failures grow by one and the wait is the period doubled for each failure
//   after the first, lengthened by up to kBackoffJitter of itself, at most kMaxBackoffMs (never
//   less than the period).
// - Anything else (a 404, a certificate, not a feed, ...): now plus the period.
void RecordLoad(TpkFeedState& state, const TpkLoadOutcome& outcome, TpkTimeMs now, TpkTimeMs reloadPeriodMs,
                const TpkRandom& random);

// The network came back, or the user asked for a reload: the feed is due at once, for one load;
// what that load brings sets the next time again.
void MakeDueAtOnce(TpkFeedState& state, TpkTimeMs now);

inline bool IsDue(const TpkFeedState& state, TpkTimeMs now) { return state.NextDue <= now; }

// "14:05" in local time.
std::string LocalClockText(TpkTimeMs time);
// A short text for people: "Not modified at 14:05", "HTTP 503 at 14:05, next try 14:35"
// (failures name the next try when it is later than the result), "Not loaded yet".
std::string FeedStateText(const TpkFeedState& state,
                          const std::function<std::string(TpkTimeMs)>& clock = LocalClockText);

}  // namespace tw
