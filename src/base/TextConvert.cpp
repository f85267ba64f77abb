#include "base/TextConvert.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; the unassigned ones keep their own number.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool HasHighBit(const unsigned char* s) {
    std::uint64_t w;
    std::memcpy(&w, s, 8);
    return (w & 0x8080808080808080ull) != 0;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
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

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

size_t DecodeUtf8Run(const unsigned char* s, size_t n, char16_t* out, size_t& written) {
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
            while (i + 8 <= n && !HasHighBit(s + i)) {
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

bool IsValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            while (i + 8 <= n && !HasHighBit(s + i)) i += 8;  // runs of ASCII eight at a time
            if (i < n && s[i] < 0x80) ++i;
            continue;
        }
        char16_t unit[4];  // four bytes never make more than four units
        size_t written = 0;
        const size_t used = DecodeUtf8Run(s + i, std::min<size_t>(4, n - i), unit, written);
        if (used == 0) return false;
        i += used;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view text, TInvalidUtf8 rule) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    std::u16string out(n, u'\0');  // never more units than bytes
    size_t i = 0, o = 0;
    while (true) {
        size_t written = 0;
        i += DecodeUtf8Run(s + i, n - i, out.data() + o, written);
        o += written;
        if (i == n) break;
        // s[i] starts no well-formed sequence.
        if (rule == TInvalidUtf8::iuTextAsWindows1252) return Windows1252ToUtf16(text);
        out[o++] = rule == TInvalidUtf8::iuByteAsWindows1252 ? Windows1252ToUtf16(s[i]) : kReplacement;
        ++i;
    }
    out.resize(o);
    return out;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

char16_t Windows1252ToUtf16(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : static_cast<char16_t>(byte);
}

std::u16string Windows1252ToUtf16(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = Windows1252ToUtf16(static_cast<unsigned char>(bytes[i]));
    return out;
}

std::string Utf16ToWindows1252(std::u16string_view text) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        char b = '?';
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            b = static_cast<char>(c);
        } else {
            for (int k = 0; k < 32; ++k)
                if (kWindows1252High[k] == c) b = static_cast<char>(0x80 + k);
        }
        out[i] = b;
    }
    return out;
}

}  // namespace tw
