// The date reader under a fixed local time zone on Windows. Wine takes the zone from the TZ
// variable of the Wine session (the wineserver), not of a process started inside it, so the zone
// is chosen from outside:
//   TZ=AAA+7 TW_EXPECT_BIAS_MINUTES=420 scripts/with-wine.sh DIR wine64 rss_tests.exe
// Without TW_EXPECT_BIAS_MINUTES the case is skipped.
#include "base/pkUtils.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "base/DateTables.h"

namespace tw {
namespace {

// Runs in the child: the zone's bias (minutes) comes in TW_EXPECT_BIAS_MINUTES.
TEST(RFC822ToDateTimeInZone, Child) {
    const char* expected = std::getenv("TW_EXPECT_BIAS_MINUTES");
    if (!expected) GTEST_SKIP() << "set TZ and TW_EXPECT_BIAS_MINUTES for the whole Wine session";
    const double biasDays = std::atof(expected) / 1440.0;
    ASSERT_NEAR(LocalTimeZoneBias(), biasDays, 1e-12);
    for (const test::DateCase& c : test::kDateCases) {
        const TDateTime got = RFC822ToDateTime(c.text);
        if (!c.valid) {
            EXPECT_EQ(got, 0.0) << c.text;
            continue;
        }
        EXPECT_NEAR(got, AddDays(test::UtcOf(c), -biasDays), 1e-9) << c.text;
    }
}

}  // namespace
}  // namespace tw
