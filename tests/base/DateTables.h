#pragma once
// Date texts and the UTC moments they stand for, shared by the date tests of both builds.
#include "base/pkUtils.h"

namespace tw::test {

struct DateCase {
    const char* text;
    bool valid;
    int year, month, day, hour, minute, second;
};

inline constexpr DateCase kDateCases[] = {
    {"Sat, 07 Sep 2002 00:00:01 GMT", true, 2002, 9, 7, 0, 0, 1},
    {"Sunday, 06-Nov-94 08:49:37 GMT", true, 1994, 11, 6, 8, 49, 37},
    {"Sun Nov  6 08:49:37 1994", true, 1994, 11, 6, 8, 49, 37},
    {"Tue, 10 Jun 2003 04:00:00 -0400", true, 2003, 6, 10, 8, 0, 0},
    {"Tue, 10 Jun 2003 04:00:00 +0400", true, 2003, 6, 10, 0, 0, 0},
    {"02 Jan 06", true, 2006, 1, 2, 0, 0, 0},
    {"02 Jan 85", true, 1985, 1, 2, 0, 0, 0},
    {"02 Jan 2006 12:30", true, 2006, 1, 2, 12, 30, 0},
    {"2006-01-02T10:00:00Z", false, 0, 0, 0, 0, 0, 0},
    {"02 Foo 2006", false, 0, 0, 0, 0, 0, 0},
    {"", false, 0, 0, 0, 0, 0, 0},
    {"   \t  ", false, 0, 0, 0, 0, 0, 0},
    {"01 Jan 1900 10:00:00 GMT", true, 1900, 1, 1, 0, 0, 0},
    // Beyond the table: further forms the reader meets in feeds and headers.
    {"Thu, 01 Jan 1970 00:00:00 +0000", true, 1970, 1, 1, 0, 0, 0},
    {"Mon, 31 Dec 2001 23:30:00 -0100", true, 2002, 1, 1, 0, 30, 0},
    {"Fri, 01 Mar 2002 00:15:00 +0530", true, 2002, 2, 28, 18, 45, 0},
    {"  wednesday, 5 mar 2008 1:2:3 EST  ", true, 2008, 3, 5, 1, 2, 3},
    {"5 Mar 79", true, 2079, 3, 5, 0, 0, 0},
    {"5 Mar 80", true, 1980, 3, 5, 0, 0, 0},
    {"5 Mar 99", true, 1999, 3, 5, 0, 0, 0},
    {"5 Mar 100", true, 100, 3, 5, 0, 0, 0},
    {"Mar 5 2008", true, 2008, 3, 5, 0, 0, 0},
    {"31 Apr 2008", false, 0, 0, 0, 0, 0, 0},
    {"29 Feb 2007", false, 0, 0, 0, 0, 0, 0},
    {"29 Feb 2008", true, 2008, 2, 29, 0, 0, 0},
    {"1 Jan 2000 24:00:00", false, 0, 0, 0, 0, 0, 0},
    {"1 Jan 2000 23:60:00", false, 0, 0, 0, 0, 0, 0},
    {"1 Jan 0", true, 2000, 1, 1, 0, 0, 0},
    {"1 Jan 10000", false, 0, 0, 0, 0, 0, 0},
    {"Jan 2000", false, 0, 0, 0, 0, 0, 0},  // the year is read as the day: no such date
    {"1 Jan 2000 10:00 +05:30", true, 2000, 1, 1, 10, 0, 0},  // "+05:30" is no numeric offset
};

// The UTC moment of a valid case.
inline TDateTime UtcOf(const DateCase& c) {
    TDateTime date = 0, time = 0;
    TryEncodeDate(c.year, c.month, c.day, date);
    TryEncodeTime(c.hour, c.minute, c.second, 0, time);
    return ComposeDateTime(date, time);
}

}  // namespace tw::test
