// The date reader under fixed local time zones, set through TZ.
#include "base/pkUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "base/DateTables.h"

namespace tw {
namespace {

// Sets TZ for the life of the object and puts the previous value back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            hadOld_ = true;
            old_ = old;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadOld_) setenv("TZ", old_.c_str(), 1); else unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

struct Zone {
    const char* tz;
    double biasHours;  // UTC minus local time, now
};

// POSIX zone texts, so no zone database is needed. The last one is in daylight time all year.
const Zone kZones[] = {
    {"UTC0", 0},
    {"AAA+7", 7},
    {"IST-5:30", -5.5},
    {"NZS-12:45", -12.75},
    {"SSS+5DDD+4,J1/0,J365/25", 4},
};

TEST(LocalTimeZoneBias, FollowsTheZoneOfTheMoment) {
    for (const Zone& z : kZones) {
        ScopedTimeZone zone(z.tz);
        EXPECT_NEAR(LocalTimeZoneBias(), z.biasHours / 24, 1e-12) << z.tz;
    }
}

TEST(RFC822ToDateTime, TableInSeveralZones) {
    for (const Zone& z : kZones) {
        ScopedTimeZone zone(z.tz);
        for (const test::DateCase& c : test::kDateCases) {
            const TDateTime got = RFC822ToDateTime(c.text);
            if (!c.valid) {
                EXPECT_EQ(got, 0.0) << z.tz << " \"" << c.text << '"';
                continue;
            }
            // Local = UTC minus the bias; the bias of now, also for dates in another season.
            const TDateTime expected = AddDays(test::UtcOf(c), -z.biasHours / 24);
            EXPECT_NEAR(got, expected, 1e-9) << z.tz << " \"" << c.text << '"';
        }
    }
}

TEST(RFC822ToDateTime, LocalResultReadsBackAsLocalClock) {
    ScopedTimeZone zone("IST-5:30");
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(RFC822ToDateTime("Sat, 07 Sep 2002 20:00:00 GMT"), y, mo, d, h, mi, s, ms);
    EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s}), (std::vector<int>{2002, 9, 8, 1, 30, 0}));
}

TEST(NowDateTime, IsTheLocalClock) {
    ScopedTimeZone zone("AAA+7");
    const std::time_t before = std::time(nullptr);
    const TDateTime now = NowDateTime();
    // Unix time 0 is day 25569; local time here is UTC minus 7 hours.
    const double expected = 25569.0 + static_cast<double>(before) / 86400.0 - 7.0 / 24;
    EXPECT_NEAR(now, expected, 5.0 / 86400);
}

}  // namespace
}  // namespace tw
