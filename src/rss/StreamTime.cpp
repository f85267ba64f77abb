#include "rss/StreamTime.h"

#include <chrono>
#include <cmath>

namespace tw {

namespace {

constexpr double kUnixEpochDay = 25569.0;  // 1970-01-01 in days since 1899-12-30
constexpr double kSecondsPerDay = 86400.0;

TStreamTime StreamTimeOfUtc(TDateTime utc) {
    return static_cast<TStreamTime>(std::llround((utc - kUnixEpochDay) * kSecondsPerDay));
}

}  // namespace

TStreamTime StreamTimeNow() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

TStreamTime ReadItemDate(std::string_view text) {
    if (TDateTime utc = 0; ReadRFC822(text, utc)) return StreamTimeOfUtc(utc);
    TDateTime written = 0;
    int offsetMinutes = 0;
    if (ReadRFC3339(text, written, offsetMinutes)) return StreamTimeOfUtc(written - offsetMinutes / 1440.0);
    return kUndated;
}

TDateTime LocalDateTimeOf(TStreamTime time) {
    return UTCToLocalTime(static_cast<double>(time) / kSecondsPerDay + kUnixEpochDay);
}

}  // namespace tw
