#include "base/pkUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/DateTables.h"
#include "support/TestPaths.h"

namespace tw {
namespace {

using test::DateCase;
using test::kDateCases;

TEST(DateTime, EncodeDecodeRoundTripsOnBothSidesOfDayZero) {
    struct Case {
        int y, mo, d, h, mi, s, ms;
        double expected;  // the day count with the fraction, where known
    };
    const Case cases[] = {
        {1899, 12, 30, 0, 0, 0, 0, 0.0},   {1899, 12, 31, 0, 0, 0, 0, 1.0},  {1900, 1, 1, 0, 0, 0, 0, 2.0},
        {1899, 12, 29, 6, 0, 0, 0, -1.25}, {1899, 12, 29, 18, 0, 0, 0, -1.75}, {2002, 9, 7, 0, 0, 1, 0, NAN},
        {1, 1, 1, 0, 0, 0, 0, -693593.0},  {9999, 12, 31, 23, 59, 59, 999, NAN}, {2000, 2, 29, 12, 0, 0, 0, 36585.5},
    };
    for (const Case& c : cases) {
        TDateTime date = 0, time = 0;
        ASSERT_TRUE(TryEncodeDate(c.y, c.mo, c.d, date));
        ASSERT_TRUE(TryEncodeTime(c.h, c.mi, c.s, c.ms, time));
        const TDateTime value = ComposeDateTime(date, time);
        if (!std::isnan(c.expected)) {
            EXPECT_DOUBLE_EQ(value, c.expected) << c.y << "-" << c.mo << "-" << c.d;
        }
        int y, mo, d, h, mi, s, ms;
        DecodeDateTime(value, y, mo, d, h, mi, s, ms);
        EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s, ms}), (std::vector<int>{c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms}));
    }
}

TEST(DateTime, InvalidDatesAndTimesAreRefused) {
    TDateTime v = 123;
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, v));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1, v));
    EXPECT_FALSE(TryEncodeDate(2003, 2, 29, v));
    EXPECT_TRUE(TryEncodeDate(2004, 2, 29, v));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, v));
    EXPECT_FALSE(TryEncodeDate(2006, 4, 31, v));
    EXPECT_FALSE(TryEncodeDate(2006, 13, 1, v));
    EXPECT_FALSE(TryEncodeDate(2006, 0, 1, v));
    EXPECT_FALSE(TryEncodeDate(2006, 1, 0, v));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, v));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, v));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, v));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, v));
}

TEST(DateTime, AddDaysCrossesDayZero) {
    // 30 Dec 1899 03:00 minus 6 hours is 29 Dec 1899 21:00.
    EXPECT_DOUBLE_EQ(AddDays(0.125, -0.25), -1.875);
    EXPECT_DOUBLE_EQ(AddDays(-1.875, 0.25), 0.125);
    EXPECT_DOUBLE_EQ(AddDays(10.5, 1.25), 11.75);
}

TEST(SplitAt, TakesAndConsumes) {
    struct Case {
        const char* text;
        const char* sep;
        bool consume;
        const char* result;
        const char* rest;
    };
    const Case cases[] = {
        {"a b c", " ", true, "a", "b c"},  {"a b c", " ", false, "a", "a b c"}, {"abc", " ", true, "abc", ""},
        {"abc", " ", false, "abc", "abc"}, {" x", " ", true, "", "x"},          {"", " ", true, "", ""},
        {"a::b", "::", true, "a", "b"},    {"12:30", ":", true, "12", "30"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(SplitAt(text, c.sep, c.consume), c.result) << c.text;
        EXPECT_EQ(text, c.rest) << c.text;
    }
}

TEST(NameTests, DaysByTwoLettersMonthsByThree) {
    const std::pair<const char*, int> days[] = {{"Sun", 1}, {"sunday", 1}, {"MO", 2}, {"Tue", 3}, {"we", 4}, {"Thx", 5},
                                                {"fr", 6},  {"Sa", 7},     {"S", 0},  {"", 0},    {"Xu", 0}, {"Mx", 0}};
    for (const auto& [text, index] : days) EXPECT_EQ(DayNameIndex(text), index) << text;
    const std::pair<const char*, int> months[] = {{"Jan", 1},  {"february", 2}, {"MAR", 3}, {"Sept", 9}, {"dec", 12},
                                                  {"De", 0},   {"", 0},         {"Foo", 0}, {"Ju", 0},   {"jun", 6},
                                                  {"July", 7}, {"Ma", 0}};
    for (const auto& [text, index] : months) EXPECT_EQ(MonthNameIndex(text), index) << text;
}

TEST(ZoneOffsetToTime, NumericOffsetsOnly) {
    const std::pair<const char*, double> cases[] = {
        {"+0530", 5.5 / 24}, {"-0700", -7.0 / 24}, {"+0000", 0}, {"  -0400  ", -4.0 / 24}, {"+05:30", 0},
        {"GMT", 0},          {"", 0},              {"+2400", 0}, {"+0060", 0},            {"+2359", (23 + 59 / 60.0) / 24},
        {"0500", 0},         {"+05", 0},           {"+-100", 0}, {"+0530xyz", 5.5 / 24},  {"+ 530", 5.5 / 24},
        {"-0", 0},           {"+", 0},             {"-", 0},     {" -0\0\0", 0},         {"+053", (5 + 3 / 60.0) / 24},
    };
    for (const auto& [text, expected] : cases) EXPECT_NEAR(ZoneOffsetToTime(text), expected, 1e-12) << text;
}

TEST(RFC822ToDateTime, ReadsTheTableInTheCurrentZone) {
    for (const DateCase& c : kDateCases) {
        const TDateTime got = RFC822ToDateTime(c.text);
        if (!c.valid) {
            EXPECT_EQ(got, 0.0) << '"' << c.text << '"';
            continue;
        }
        const TDateTime expected = AddDays(test::UtcOf(c), -LocalTimeZoneBias());
        EXPECT_NEAR(got, expected, 1e-9) << '"' << c.text << '"';
    }
}

TEST(RFC822ToDateTime, NeverThrowsAndAnswersAFiniteNumber) {
    const std::string inputs[] = {
        std::string("\0\0\0", 3), "-", "--", "- -", ":::", "Sun", "Sun,", ",,,,", "1 Jan", "99999999999 Jan 2000",
        "31 Feb 2000", "1 Jan 0", "1 Jan -1", "1 Jan 65535", "1 Jan 10000", "1 Jan 2000 99:99:99", "1 Jan 2000 :",
        "1 Jan 2000 1:2:3:4:5", "$10 Jan $7D0", "1-Jan-2000", "Jan-1-2000 10:00", std::string(10000, ' ') + "x",
        std::string(5000, '1'), "\xff\xfe\x80", "01 Jan 1900 10:00:00 +9999", "1 Jan 2000 00:00:00 -2359",
    };
    for (const std::string& text : inputs) {
        TDateTime value = -42;
        EXPECT_NO_THROW(value = RFC822ToDateTime(text)) << text;
        EXPECT_TRUE(std::isfinite(value)) << text;
    }
}

TEST(UTCToLocalTime, SubtractsTheBiasOfTheMoment) {
    const double bias = LocalTimeZoneBias();
    EXPECT_NEAR(UTCToLocalTime(40000.5), 40000.5 - bias, 1e-9);
    EXPECT_LE(std::fabs(bias), 14.0 / 24 + 1e-9);
}

TEST(ReadFileToString, ReadsWholeFilesAndAnswersEmptyOnFailure) {
    test::TempDir dir;
    const std::string name = (dir / "feed.xml").string();
    std::string bytes = "<rss>\r\n\0\xff</rss>";
    bytes.push_back('\0');
    {
        TpkFileStream out(name, TpkFileStreamMode::fsmCreate);
        out.WriteString(bytes);
    }
    EXPECT_EQ(ReadFileToString(name), bytes);
    EXPECT_EQ(ReadFileToString((dir / "missing.xml").string()), "");
    EXPECT_EQ(ReadFileToString(""), "");
    EXPECT_EQ(ReadFileToString(dir.Path().string()), "");  // a folder is not a file

    // Another writer holding the file open does not keep us out.
    TpkFileStream writer(name, TpkFileStreamMode::fsmOpenOrCreate);
    writer.Seek(0, TSeekOrigin::soEnd);
    writer.WriteString("more");
    EXPECT_EQ(ReadFileToString(name), bytes + "more");

    const std::string empty = (dir / "empty").string();
    { TpkFileStream e(empty, TpkFileStreamMode::fsmCreate); }
    EXPECT_EQ(ReadFileToString(empty), "");
}

TEST(ReadStreamToString, FromStartOrFromThePosition) {
    TpkMemoryStream stream(std::string("0123456789"));
    stream.SetPosition(4);
    EXPECT_EQ(ReadStreamToString(stream, false), "456789");
    EXPECT_EQ(stream.Position(), 10);
    EXPECT_EQ(ReadStreamToString(stream, false), "");
    EXPECT_EQ(ReadStreamToString(stream, true), "0123456789");
    stream.SetPosition(50);  // beyond the end
    EXPECT_EQ(ReadStreamToString(stream, false), "");
}

TEST(ReadStreamToString, PassesOnWhatTheStreamRaises) {
    struct Broken : TpkMemoryStream {
        Broken() : TpkMemoryStream(std::string("abc")) {}
        std::size_t Read(void*, std::size_t) override { return 0; }
    } broken;
    EXPECT_THROW(ReadStreamToString(broken, true), EpkStreamError);
}

}  // namespace
}  // namespace tw
