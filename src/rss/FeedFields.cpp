#include "rss/FeedFields.h"

#include "base/TextConvert.h"  // Windows1252ToUtf16
#include "xml/XmlDom.h"

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

// The index of the first byte MendFeedText changes, text.size() when none. Almost every text
// has none, so many bytes are looked at together (sixteen with SSE2, else eight): only a block
// holding a byte below 0x20, 0x7F or 0xC2 (a tab or a line break will do) is looked at closer.
size_t FirstToMend(std::string_view text) {
    const char* p = text.data();
    const size_t n = text.size();
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lowMax = _mm_set1_epi8(0x1F);
    const __m128i del = _mm_set1_epi8(0x7F);
    const __m128i c2 = _mm_set1_epi8(static_cast<char>(0xC2));
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, lowMax), v);  // bytes up to 0x1F
        const __m128i hit = _mm_or_si128(low, _mm_or_si128(_mm_cmpeq_epi8(v, del), _mm_cmpeq_epi8(v, c2)));
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask != 0; mask &= mask - 1) {
            const size_t k = i + static_cast<size_t>(std::countr_zero(mask));
            if (MendsAt(text, k)) return k;
        }
    }
#endif
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        const std::uint64_t del8 = w ^ (kOnes * 0x7F);
        const std::uint64_t c28 = w ^ (kOnes * 0xC2);
        // (x - 0x01..) & ~x & 0x80.. is non-zero exactly when x holds a zero byte (or, with
        // 0x20.., a byte below 0x20).
        const std::uint64_t suspect = ((w - kOnes * 0x20) & ~w) | ((del8 - kOnes) & ~del8) | ((c28 - kOnes) & ~c28);
        if ((suspect & kHighs) == 0) continue;
        for (size_t k = i; k < i + 8; ++k)
            if (MendsAt(text, k)) return k;
    }
    for (; i < n; ++i)
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
    const size_t first = FirstToMend(text);
    field.assign(text.data(), first);
    if (first < text.size()) AppendMended(field, text, first);
}

void TFeedTextReader::Text(std::string& field, const TXmlNode* node) {
    if (node == nullptr) return field.clear();
    AssignFeedText(field, node->TextUtf8(scratch_));
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

std::string_view TFeedTextReader::RawAttr(const TXmlNode& node, std::string_view name) {
    return node.AttrUtf8(name, scratch_);
}

}  // namespace tw
