#include "base/pkUtils.h"

#include "base/AsciiText.h"

#include <cmath>
#include <cstdio>

namespace tw {

namespace {

constexpr const char* kDayNames[7] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
constexpr const char* kMonthNames[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};

// Days from 30 December 1899 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromEpoch(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468 + 25569;  // 1970-01-01 is day 25569
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    const std::int64_t z = days - 25569 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// A date-time as a number that runs forward across day 0, and back.
double ToLinear(TDateTime value) {
    if (value >= 0) return value;
    const double day = std::trunc(value);
    return day + (day - value);
}

TDateTime FromLinear(double linear) {
    if (linear >= 0) return linear;
    const double day = std::floor(linear);
    const double fraction = linear - day;
    return fraction == 0 ? day : day - fraction;
}

void TrimLeft(std::string& s) { s.erase(0, s.size() - TrimLeadingControlsAndBlanks(s).size()); }

// The unsigned 16-bit reading of a number, as the calendar routines take their arguments.
int Word(std::int32_t value) { return static_cast<int>(static_cast<std::uint16_t>(value)); }

// Thrown inside the date reader's guard for a text that is not a date.
struct NotADate {};

}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    date = static_cast<double>(DaysFromEpoch(year, static_cast<unsigned>(month), static_cast<unsigned>(day)));
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& time) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999)
        return false;
    time = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / 86400000.0;
    return true;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond) {
    const double linear = ToLinear(value);
    auto days = static_cast<std::int64_t>(std::floor(linear));
    auto ms = static_cast<std::int64_t>(std::llround((linear - static_cast<double>(days)) * 86400000.0));
    if (ms >= 86400000) {
        ++days;
        ms -= 86400000;
    }
    CivilFromDays(days, year, month, day);
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    millisecond = static_cast<int>(ms % 1000);
}

TDateTime AddDays(TDateTime value, double days) { return FromLinear(ToLinear(value) + days); }

std::string SplitAt(std::string& text, std::string_view separator, bool consume) {
    const std::size_t at = separator.empty() ? std::string::npos : text.find(separator);
    if (at == std::string::npos) {
        std::string whole = text;
        if (consume) text.clear();
        return whole;
    }
    std::string before = text.substr(0, at);
    if (consume) text.erase(0, at + separator.size());
    return before;
}

int DayNameIndex(std::string_view text) {
    if (text.size() < 2) return 0;
    for (int i = 0; i < 7; ++i)
        if (AsciiLower(text[0]) == kDayNames[i][0] && AsciiLower(text[1]) == kDayNames[i][1]) return i + 1;
    return 0;
}

int MonthNameIndex(std::string_view text) {
    if (text.size() < 3) return 0;
    for (int i = 0; i < 12; ++i)
        if (AsciiLower(text[0]) == kMonthNames[i][0] && AsciiLower(text[1]) == kMonthNames[i][1] &&
            AsciiLower(text[2]) == kMonthNames[i][2])
            return i + 1;
    return 0;
}

double ZoneOffsetToTime(std::string_view text) noexcept {
    const std::string_view zone = TrimControlsAndBlanks(text).substr(0, 5);
    if (zone.empty() || (zone[0] != '+' && zone[0] != '-')) return 0;
    std::int32_t hours = 0, minutes = 0;
    // A short text ("+05") has no minutes: the empty part fails the rule like any other.
    auto part = [&](std::size_t pos) { return pos < zone.size() ? zone.substr(pos, 2) : std::string_view(); };
    if (!TryTextToInt(part(1), hours) || !TryTextToInt(part(3), minutes)) return 0;
    TDateTime offset = 0;
    if (!TryEncodeTime(Word(hours), Word(minutes), 0, 0, offset)) return 0;
    return zone[0] == '-' ? -offset : offset;
}

TDateTime UTCToLocalTime(TDateTime value) { return AddDays(value, -LocalTimeZoneBias()); }

TDateTime RFC822ToDateTime(std::string_view text) noexcept {
    TDateTime utc = 0;
    return ReadRFC822(text, utc) ? UTCToLocalTime(utc) : 0;
}

bool ReadRFC822(std::string_view text, TDateTime& utc) noexcept {
    try {
        std::string s(TrimControlsAndBlanks(text));
        if (s.empty()) return false;
        for (char& c : s)
            if (c == ',') c = ' ';

        if (DayNameIndex(s) != 0) {  // "Sun", "Sunday", and anything else opening with "su"
            SplitAt(s, " ", true);
            TrimLeft(s);
        }

        // "06-Nov-94" uses "-" between the date's parts, "6 Nov 1994" a space.
        const std::size_t dash = s.find('-'), space = s.find(' ');
        const std::size_t d = dash == std::string::npos ? 0 : dash + 1;
        const std::size_t sp = space == std::string::npos ? 0 : space + 1;
        const std::string sep = (d <= 1 || d >= sp) ? " " : "-";

        int day = 1, month = 0;
        auto readDay = [&] {
            day = Word(TextToIntDef(SplitAt(s, sep, true), 1));
            TrimLeft(s);
        };
        auto readMonth = [&] {
            month = MonthNameIndex(SplitAt(s, sep, true));
            TrimLeft(s);
        };
        if (MonthNameIndex(SplitAt(s, sep, false)) != 0) {
            readMonth();
            readDay();
        } else {
            readDay();
            readMonth();
        }

        std::string w = SplitAt(s, " ", true);
        std::int32_t year = TextToIntDef(w, 1900);
        if (Word(year) == 1900) {  // the time stands before the year: "Nov  6 08:49:37 1994"
            year = TextToIntDef(s, 1900);
            s = w;
        }
        int y = Word(year);
        if (y < 80) y += 2000;
        else if (y <= 99) y += 1900;

        TDateTime date = 0;
        if (!TryEncodeDate(y, month, day, date)) throw NotADate{};

        TDateTime time = 0;
        if (s.find(':') != std::string::npos) {
            std::string t = SplitAt(s, " ", true);
            const int hh = Word(TextToIntDef(SplitAt(t, ":", true), 0));
            const int mm = Word(TextToIntDef(SplitAt(t, ":", true), 0));
            const int ss = Word(TextToIntDef(SplitAt(t, " ", true), 0));
            if (!TryEncodeTime(hh, mm, ss, 0, time)) throw NotADate{};
        }

        TrimLeft(s);
        const double offset = s.size() >= 5 ? ZoneOffsetToTime(s) : 0.0;
        utc = AddDays(ComposeDateTime(date, time), -offset);
        return true;
    } catch (...) {
        return false;
    }
}

namespace {

// Reads exactly `count` digits at `pos`, moving past them.
bool Digits(std::string_view s, size_t& pos, size_t count, int& value) {
    if (pos + count > s.size()) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    pos += count;
    return true;
}

bool Expect(std::string_view s, size_t& pos, char c) {
    if (pos >= s.size() || s[pos] != c) return false;
    ++pos;
    return true;
}

}  // namespace

bool ReadRFC3339(std::string_view text, TDateTime& written, int& offsetMinutes) noexcept {
    const std::string_view s = TrimControlsAndBlanks(text);
    size_t pos = 0;
    int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0, offset = 0;
    if (!Digits(s, pos, 4, year)) return false;
    if (pos < s.size() && !(Expect(s, pos, '-') && Digits(s, pos, 2, month))) return false;
    if (pos < s.size() && !(Expect(s, pos, '-') && Digits(s, pos, 2, day))) return false;
    if (pos < s.size()) {
        if (s[pos] != 'T' && s[pos] != 't' && s[pos] != ' ') return false;
        ++pos;
        if (!(Digits(s, pos, 2, hour) && Expect(s, pos, ':') && Digits(s, pos, 2, minute))) return false;
        if (pos < s.size() && s[pos] == ':' && !(Expect(s, pos, ':') && Digits(s, pos, 2, second))) return false;
        if (pos < s.size() && s[pos] == '.') {
            ++pos;
            const size_t start = pos;
            while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;  // fractions are dropped
            if (pos == start) return false;
        }
        if (pos < s.size() && (s[pos] == 'Z' || s[pos] == 'z')) {
            ++pos;
        } else if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
            const int sign = s[pos++] == '-' ? -1 : 1;
            int oh = 0, om = 0;
            if (!Digits(s, pos, 2, oh)) return false;
            Expect(s, pos, ':');
            if (!Digits(s, pos, 2, om) || oh > 23 || om > 59) return false;
            offset = sign * (oh * 60 + om);
        }
        if (pos != s.size()) return false;
    }
    TDateTime date = 0, time = 0;
    if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, minute, second == 60 ? 59 : second, 0, time))
        return false;  // a leap second reads as the second before it
    written = ComposeDateTime(date, time);
    offsetMinutes = offset;
    return true;
}

std::string RFC3339ToRFC822(std::string_view text) {
    TDateTime written = 0;
    int offset = 0;
    if (!ReadRFC3339(text, written, offset)) return {};
    int year, month, day, hour, minute, second, ms;
    DecodeDateTime(written, year, month, day, hour, minute, second, ms);
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Day 0 (30 December 1899) was a Saturday.
    const auto days = static_cast<std::int64_t>(std::floor(ToLinear(written)));
    const int weekday = static_cast<int>(((days + 6) % 7 + 7) % 7);
    const int absOffset = offset < 0 ? -offset : offset;
    char out[64];
    std::snprintf(out, sizeof out, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[weekday], day,
                  kMonths[month - 1], year, hour, minute, second, offset < 0 ? '-' : '+', absOffset / 60,
                  absOffset % 60);
    return out;
}

std::string ReadStreamToString(TpkStream& stream, bool fromStart) {
    if (fromStart) stream.SetPosition(0);
    const std::int64_t remaining = stream.Size() - stream.Position();
    if (remaining <= 0) return {};
    std::string bytes(static_cast<std::size_t>(remaining), '\0');
    stream.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
}

}  // namespace tw
