#pragma once
// The one clock of the merged stream and the seen set: whole seconds since 1970-01-01 00:00 UTC,
// so that ages, ordering and the seen file do not move with the local zone.
#include <cstdint>
#include <limits>
#include <string_view>

#include "base/pkUtils.h"

namespace tw {

using TStreamTime = std::int64_t;

// An item without a readable date.
inline constexpr TStreamTime kUndated = std::numeric_limits<TStreamTime>::min();

TStreamTime StreamTimeNow();

// An item's date text as RSS (RFC 822: "Sat, 07 Sep 2002 00:00:01 GMT") or Atom and Dublin Core
// (RFC 3339: "2002-09-07T00:00:01Z") write it; kUndated when it is neither.
TStreamTime ReadItemDate(std::string_view text);

// The same moment as a local date-time, in the zone in effect now.
TDateTime LocalDateTimeOf(TStreamTime time);

}  // namespace tw
