#include "xml/XmlValue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw {

namespace {

// Windows-1252 bytes 0x80..0x9F; the unassigned ones keep their own number.
constexpr char16_t kAnsiHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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

std::string XmlToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

size_t XmlDecodeUtf8(const unsigned char* s, size_t n, char16_t* out, size_t& written) {
    // Decodes whole sequences only; returns the bytes consumed, stopping early (with
    // written set) at an invalid or cut-off sequence.
    size_t i = 0;
    char16_t* o = out;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
#if defined(__SSE2__)
            // Runs of ASCII sixteen at a time: zero-extend the bytes to code units.
            const __m128i zero = _mm_setzero_si128();
            while (i + 16 <= n) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
                if (_mm_movemask_epi8(v) != 0) break;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, zero));
                o += 16;
                i += 16;
            }
#endif
            // Runs of ASCII eight at a time.
            while (i + 8 <= n) {
                std::uint64_t w;
                std::memcpy(&w, s + i, 8);
                if (w & 0x8080808080808080ull) break;
                for (int k = 0; k < 8; ++k) o[k] = s[i + k];
                o += 8;
                i += 8;
            }
            if (i < n && s[i] < 0x80) *o++ = s[i++];
            continue;
        }
        int len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
        if (b > 0xF4) len = 0;
        if (len == 0 || i + static_cast<size_t>(len) > n) break;
        std::uint32_t c = len == 4 ? b & 0x07 : len == 3 ? b & 0x0F : b & 0x1F;
        bool ok = true;
        for (int k = 1; ok && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (ok && ((len == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (len == 4 && (c < 0x10000 || c > 0x10FFFF))))
            ok = false;
        if (!ok) break;
        if (c >= 0x10000) {
            c -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (c >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(c);
        }
        i += static_cast<size_t>(len);
    }
    written = static_cast<size_t>(o - out);
    return i;
}

bool XmlIsUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            while (i + 8 <= n) {  // runs of ASCII eight at a time
                std::uint64_t w;
                std::memcpy(&w, s + i, 8);
                if (w & 0x8080808080808080ull) break;
                i += 8;
            }
            if (i < n && s[i] < 0x80) ++i;
            continue;
        }
        char16_t unit[4];  // four bytes never make more than four units
        size_t written = 0;
        const size_t used = XmlDecodeUtf8(s + i, std::min<size_t>(4, n - i), unit, written);
        if (used == 0) return false;
        i += used;
    }
    return true;
}

std::u16string XmlFromUtf8(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    size_t written = 0;
    const size_t used = XmlDecodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out.data(), written);
    if (used != text.size()) return XmlWidenAnsi(text);  // not UTF-8 at all: the single-byte code page
    out.resize(written);
    return out;
}

char16_t XmlWidenAnsi(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kAnsiHigh[byte - 0x80] : static_cast<char16_t>(byte);
}

std::u16string XmlWidenAnsi(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = XmlWidenAnsi(static_cast<unsigned char>(bytes[i]));
    return out;
}

std::string XmlNarrowAnsi(std::u16string_view text) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        char b = '?';
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            b = static_cast<char>(c);
        } else {
            for (int k = 0; k < 32; ++k)
                if (kAnsiHigh[k] == c) b = static_cast<char>(0x80 + k);
        }
        out[i] = b;
    }
    return out;
}

}  // namespace tw
