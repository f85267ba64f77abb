#include "xml/XmlValue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tw {

namespace {

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

template <class T> std::u16string NumberText(T v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return Ascii(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

std::u16string CurrencyText(std::int64_t scaled) {
    // Exact: four decimals with trailing zeros dropped.
    const bool negative = scaled < 0;
    const std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::string s = std::to_string(mag / 10000);
    std::uint64_t frac = mag % 10000;
    if (frac != 0) {
        char digits[5];
        std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(frac));
        std::string f(digits);
        while (!f.empty() && f.back() == '0') f.pop_back();
        s += "." + f;
    }
    return Ascii(negative ? "-" + s : s);
}

// Days since 1 January 1970 -> civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::int64_t kUnixEpochDays = 25569;  // 1970-01-01 counted from 1899-12-30

}  // namespace

EXmlError::EXmlError(std::u16string message) : message_(std::move(message)), utf8_(XmlToUtf8(message_)) {}

TXmlValueType TXmlValue::Type() const {
    static constexpr TXmlValueType kTypes[] = {
        TXmlValueType::Empty,  TXmlValueType::Null,     TXmlValueType::Smallint, TXmlValueType::Integer,
        TXmlValueType::Single, TXmlValueType::Double,   TXmlValueType::Currency, TXmlValueType::Date,
        TXmlValueType::OleStr, TXmlValueType::Boolean,  TXmlValueType::Byte,     TXmlValueType::String,
        TXmlValueType::ByteArray};
    return kTypes[v_.index()];
}

std::u16string TXmlValue::ToText() const {
    struct Visitor {
        std::u16string operator()(std::monostate) const { return {}; }
        std::u16string operator()(TXmlNull) const { return u"{{null}}"; }
        std::u16string operator()(std::int16_t v) const { return NumberText(v); }
        std::u16string operator()(std::int32_t v) const { return NumberText(v); }
        std::u16string operator()(float v) const { return NumberText(v); }
        std::u16string operator()(double v) const { return NumberText(v); }
        std::u16string operator()(TXmlCurrency v) const { return CurrencyText(v.Scaled); }
        std::u16string operator()(TXmlDateTime v) const { return XmlDateTimeToText(v.Days); }
        std::u16string operator()(const std::u16string& v) const { return v; }
        std::u16string operator()(bool v) const { return v ? u"True" : u"False"; }
        std::u16string operator()(std::uint8_t v) const { return NumberText(static_cast<unsigned>(v)); }
        std::u16string operator()(const std::string& v) const { return XmlFromUtf8(v); }
        std::u16string operator()(const std::vector<std::uint8_t>& v) const {
            static constexpr char16_t kHex[] = u"0123456789ABCDEF";
            std::u16string out;
            out.reserve(v.size() * 2);
            for (std::uint8_t b : v) {
                out += kHex[b >> 4];
                out += kHex[b & 15];
            }
            return out;
        }
    };
    return std::visit(Visitor{}, v_);
}

std::u16string XmlDateTimeToText(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 2.0e6) return NumberText(days);
    // The whole part is the date; the fraction's magnitude is the time of day.
    double whole = std::trunc(days);
    std::int64_t seconds = std::llround(std::fabs(days - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += days < 0 ? -1 : 1;
    }
    int y, m, d;
    CivilFromDays(static_cast<std::int64_t>(whole) - kUnixEpochDays, y, m, d);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4d-%.2d-%.2dT%.2d-%.2d-%.2d", y, m, d, static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return Ascii(buf);
}

bool XmlTextToDateTime(std::u16string_view text, double& days) {
    // Accepts "YYYY-MM-DD" optionally followed by "THH-MM-SS" (or colons).
    std::string s;
    for (char16_t c : text) {
        if (c > 127) return false;
        s += static_cast<char>(c);
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    char sep1 = 0, sep2 = 0;
    int n = std::sscanf(s.c_str(), "%d-%d-%dT%d%c%d%c%d", &y, &mo, &d, &h, &sep1, &mi, &sep2, &se);
    if (n != 3 && n != 8) return false;
    if (n == 3 && s.find('T') != std::string::npos) return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || se < 0 || se > 59)
        return false;
    if (y < 1 || y > 9999) return false;
    const double date = static_cast<double>(DaysFromCivil(y, mo, d) + kUnixEpochDays);
    const double time = (h * 3600 + mi * 60 + se) / 86400.0;
    days = date >= 0 ? date + time : date - time;
    return true;
}

}  // namespace tw
