#pragma once
// Date and text routines the feed engine and the HTTP component share: the e-mail style date
// reader with its zone routines, date-time arithmetic, and whole-file and whole-stream readers.
// The integer-text rule (TextToIntDef, TextToInt, TryTextToInt) lives with the component base in
// base/pkClasses.h, the lowest layer, so that every caller uses the one conversion.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/pkClasses.h"

namespace tw {

// Days since 30 December 1899 00:00, the time of day as the fraction; 0 stands for no date.
// Before that day the number is negative and the fraction still counts forward from midnight
// (-1.25 is 29 December 1899 06:00).
using TDateTime = double;

// Calendar checks and conversions. The Try forms answer false for an invalid date or time (year
// outside 1..9999, a day the month lacks, hour > 23, minute or second > 59, ms > 999).
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& time);
// Date plus time of day, right on both sides of 30 December 1899.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond);
// Moves a date-time by a number of days (may be fractional), right on both sides of day 0.
TDateTime AddDays(TDateTime value, double days);
// The current local date and time.
TDateTime NowDateTime();

// Takes the part of `text` before the first `separator` (all of it when there is none); when
// `consume`, `text` becomes what follows the separator (empty when there was none).
std::string SplitAt(std::string& text, std::string_view separator, bool consume);

// Day-name test: 1 (Sun) to 7 (Sat) when the first two characters, lower-cased, open a day name;
// else 0. Month-name test: 1 to 12 when the first three, lower-cased, are a month name; else 0.
int DayNameIndex(std::string_view text);
int MonthNameIndex(std::string_view text);

// Reads an RFC 822 style date ("Sat, 07 Sep 2002 00:00:01 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
// "Sun Nov  6 08:49:37 1994", two-digit years, numeric zones) into a local date-time. 0 when the
// text is empty or cannot be read; never raises. Zone names count as UTC.
TDateTime RFC822ToDateTime(std::string_view text) noexcept;
// The same reading in UTC: the moment the text names, without this machine's zone (a system call
// per date on Windows). False where RFC822ToDateTime answers 0.
bool ReadRFC822(std::string_view text, TDateTime& utc) noexcept;

// Reads an RFC 3339 (W3C) date as Atom and Dublin Core write it: "2003-12-13T18:30:02Z",
// "2003-12-13T18:30:02.25+01:00", a space or a lower-case "t" for the "T", "2003-12-13",
// "2003-12" and "2003" (the missing parts are the first month and day). `written` is the date and
// time as written, `offsetMinutes` their offset from UTC (0 for "Z" or none). False when the
// text is no such date; never raises.
bool ReadRFC3339(std::string_view text, TDateTime& written, int& offsetMinutes) noexcept;
// The same date as RFC 822 text with its own offset, "Sat, 13 Dec 2003 18:30:02 +0100", which
// RFC822ToDateTime reads back; "" when ReadRFC3339 cannot read the text.
std::string RFC3339ToRFC822(std::string_view text);

// "+hhmm" / "-hhmm" (the first five characters of the trimmed text) as a signed fraction of a
// day; 0 when the text is not such an offset ("+05:30" gives 0).
double ZoneOffsetToTime(std::string_view text) noexcept;

// UTC minus local time, in days, as in effect at the moment of the call (negative east of
// Greenwich).
double LocalTimeZoneBias();
// `value` minus LocalTimeZoneBias().
TDateTime UTCToLocalTime(TDateTime value);

// The file's bytes; empty when it cannot be opened or read (others may read and write it
// meanwhile). The name is UTF-8.
std::string ReadFileToString(const std::string& fileName);

// The stream's bytes from its position (from 0 when `fromStart`) to its end. Whatever the stream
// raises passes on.
std::string ReadStreamToString(TpkStream& stream, bool fromStart);

}  // namespace tw
