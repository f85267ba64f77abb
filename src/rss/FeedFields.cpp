#include "rss/FeedFields.h"

#include "base/TextConvert.h"  // Windows1252ToUtf16
#include "xml/XmlDom.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw {

namespace {

using uchar = unsigned char;

// Whether the byte at text[i] starts something MendFeedText changes.
bool MendsAt(std::string_view text, size_t i) {
    const auto b = static_cast<uchar>(text[i]);
    if (b < 0x20) return b != '\t' && b != '\n' && b != '\r';
    if (b == 0x7F) return true;
    return b == 0xC2 && i + 1 < text.size() && static_cast<uchar>(text[i + 1]) >= 0x80 &&
           static_cast<uchar>(text[i + 1]) < 0xA0;
}

// The bytes of the eight at p that may start something to mend: a high bit set in the byte of
// each (and maybe in a byte above one). (x - 0x01..) & ~x & 0x80.. is non-zero exactly when x
// holds a zero byte, or, with 0x20.., a byte below 0x20.
std::uint64_t Suspects8(const char* p) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t del = w ^ (kOnes * 0x7F);
    const std::uint64_t c2 = w ^ (kOnes * 0xC2);
    return (((w - kOnes * 0x20) & ~w) | ((del - kOnes) & ~del) | ((c2 - kOnes) & ~c2)) & (kOnes * 0x80);
}

#if defined(__SSE2__)
// The same for sixteen bytes, one bit each.
unsigned Suspects16(__m128i v) {
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v);  // bytes up to 0x1F
    const __m128i del = _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F));
    const __m128i c2 = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xC2)));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(low, _mm_or_si128(del, c2))));
}

// FirstToMend for texts of sixteen bytes or more, thirty-two at a time, the last block
// overlapping the one before. With kCopy, each block is also stored at the same place in `out`
// (room for text.size()), so what lies before the index returned has been copied.
template <bool kCopy>
size_t ScanBlocks(std::string_view text, char* out) {
    const char* p = text.data();
    const size_t n = text.size();
    const auto suspect = [&](unsigned mask, size_t at) -> size_t {
        for (; mask != 0; mask &= mask - 1) {
            const size_t k = at + static_cast<size_t>(std::countr_zero(mask));
            if (MendsAt(text, k)) return k;
        }
        return n;
    };
    const auto block16 = [&](size_t at) -> size_t {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        if constexpr (kCopy) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), a);
        const unsigned mask = Suspects16(a);
        return mask == 0 ? n : suspect(mask, at);
    };
    const auto block32 = [&](size_t at) -> size_t {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at + 16));
        if constexpr (kCopy) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), a);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at + 16), b);
        }
        const unsigned mask = Suspects16(a) | Suspects16(b) << 16;
        return mask == 0 ? n : suspect(mask, at);
    };
    size_t i = 0;
    for (; i + 32 <= n; i += 32)
        if (const size_t k = block32(i); k < n) return k;
    // The rest in one block ending at the end (bytes seen twice are judged alike both times).
    if (i == n) return n;
    if (n - i <= 16) return block16(n - 16);
    if (n >= 32) return block32(n - 32);
    if (const size_t k = block16(0); k < n) return k;
    return block16(n - 16);
}
#endif

// The index of the first byte MendFeedText changes, text.size() when none. Almost every text
// has none, so bytes are looked at in blocks (sixteen or more with SSE2, else eight), the last
// block overlapping the one before; only a byte below 0x20, 0x7F or 0xC2 (a tab or a line break
// will do) is looked at closer. A byte seen twice is judged alike both times, so the first index
// that mends is found all the same.
size_t FirstToMend(std::string_view text) {
    const char* p = text.data();
    const size_t n = text.size();
#if defined(__SSE2__)
    if (n >= 16) return ScanBlocks<false>(text, nullptr);
#endif
    if (n >= 8) {
        for (size_t i = 0;; i = std::min(i + 8, n - 8)) {
            if (Suspects8(p + i) != 0)
                for (size_t k = i; k < i + 8; ++k)
                    if (MendsAt(text, k)) return k;
            if (i + 8 >= n) return n;
        }
    }
    for (size_t i = 0; i < n; ++i)
        if (MendsAt(text, i)) return i;
    return n;
}

// Appends text[first..] to out, mended; text[first] is where mending starts.
void AppendMended(std::string& out, std::string_view text, size_t first) {
    out.reserve(out.size() + (text.size() - first) + 8);
    for (size_t i = first; i < text.size(); ++i) {
        const auto b = static_cast<uchar>(text[i]);
        if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F) {
            out.push_back(' ');
        } else if (b == 0xC2 && i + 1 < text.size() && static_cast<uchar>(text[i + 1]) >= 0x80 &&
                   static_cast<uchar>(text[i + 1]) < 0xA0) {
            const char16_t meant = Windows1252ToUtf16(static_cast<uchar>(text[++i]));
            if (meant >= 0x80 && meant < 0xA0) {
                out.push_back(' ');  // a code Windows-1252 leaves unused
            } else if (meant < 0x800) {
                out.push_back(static_cast<char>(0xC0 | (meant >> 6)));
                out.push_back(static_cast<char>(0x80 | (meant & 0x3F)));
            } else {
                out.push_back(static_cast<char>(0xE0 | (meant >> 12)));
                out.push_back(static_cast<char>(0x80 | ((meant >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (meant & 0x3F)));
            }
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
}

}  // namespace

void MendFeedText(std::string& text) {
    const size_t first = FirstToMend(text);
    if (first == text.size()) return;
    std::string out(text, 0, first);
    AppendMended(out, text, first);
    text = std::move(out);
}

void AssignFeedText(std::string& field, std::string_view text) {
    size_t first;
#if defined(__SSE2__)
    if (text.size() >= 16 && text.size() <= field.capacity()) {
        // The field's own memory holds it (a reload fills the fields of the load before): copied
        // in the same pass that looks for what to mend.
        field.resize(text.size());
        first = ScanBlocks<true>(text, field.data());
        if (first == text.size()) return;
        field.resize(first);
        AppendMended(field, text, first);
        return;
    }
#endif
    first = FirstToMend(text);
    field.assign(text.data(), first);
    if (first < text.size()) AppendMended(field, text, first);
}

std::string FeedTextOf(const TXmlNode* node) {
    std::string field;
    TFeedTextReader().Text(field, node);
    return field;
}

std::string FeedAttrOf(const TXmlNode* node, std::string_view name) {
    std::string field;
    TFeedTextReader().Attr(field, node, name);
    return field;
}

void TFeedTextReader::Attr(std::string& field, const TXmlNode* node, std::string_view name) {
    if (node == nullptr) return field.clear();
    AssignFeedText(field, RawAttr(*node, name));
}

std::string_view TFeedTextReader::Cleaned(std::string_view text) {
    const size_t first = FirstToMend(text);
    if (first == text.size()) return text;
    mended_.assign(text.data(), first);
    AppendMended(mended_, text, first);
    return mended_;
}

std::string_view TFeedTextReader::TextView(const TXmlNode* node) {
    return node == nullptr ? std::string_view() : Cleaned(node->TextUtf8(scratch_));
}

std::string_view TFeedTextReader::AttrView(const TXmlNode& node, std::string_view name) {
    return Cleaned(RawAttr(node, name));
}

}  // namespace tw
