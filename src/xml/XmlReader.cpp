// The reader: a recursive-descent parser over UTF-8 bytes held in the document's arena, building
// the node tree. The bytes are scanned once; the UTF-8 check is part of that scan, texts stay
// where they lie (references decoded in place) and become UTF-16 only when the model is asked for
// them. Of a document type declaration only the internal entities with plain-text values are
// kept (and the RSS 0.91 public identifier, whose document type names the HTML Latin-1
// entities); no namespaces, no character-set detection beyond what Load documents.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/TextConvert.h"
#include "xml/XmlDom.h"
#include "xml/XmlInternal.h"

namespace tw {

namespace {

// Raised inside the reader when the bytes are not UTF-8; never leaves this file.
struct TNotUtf8 {};

using uchar = unsigned char;

// The length of the well-formed UTF-8 sequence at p (its lead byte at least 0x80) and its code
// point; 0 when it is malformed, overlong, a surrogate, past U+10FFFF or cut off at e.
inline int Utf8Sequence(const uchar* p, const uchar* e, std::uint32_t& cp) noexcept {
    const uchar b = p[0];
    auto cont = [&](int i) { return p + i < e && (p[i] & 0xC0) == 0x80; };
    if (b >= 0xC2 && b <= 0xDF) {
        if (!cont(1)) return 0;
        cp = (b & 0x1Fu) << 6 | (p[1] & 0x3Fu);
        return 2;
    }
    if (b >= 0xE0 && b <= 0xEF) {
        if (!cont(1) || !cont(2)) return 0;
        cp = (b & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
        return cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) return 0;
        cp = (b & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
        return cp >= 0x10000 && cp <= 0x10FFFF ? 4 : 0;
    }
    return 0;
}

// Appends a code point as UTF-8 (1 to 4 bytes); returns the count.
inline int Utf8Encode(std::uint32_t cp, char* out) noexcept {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

// A name character beyond ASCII, as the UTF-16 reader judged it: characters past the BMP were
// two surrogates there, and surrogates count as letters.
inline bool IsNameLetter(std::uint32_t cp) noexcept { return cp >= 0x10000 || XmlIsLetter(cp); }

inline bool IsLineSpace(char c) noexcept { return c == '\n' || c == '\t' || c == '\r'; }

// The length of the character at q (its lead byte at least 0x80) when it is plain text: valid
// UTF-8 and neither U+FFFE nor U+FFFF; else 0.
// Decoded without a branch on the length where four bytes can be read: the sequences of a text
// mix two-, three- and four-byte characters, whose lengths a branch would guess wrong.
inline int TextSequence(const char* q, const char* e) noexcept {
    if (e - q >= 4) {
        static constexpr std::uint8_t kLength[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 3, 4};
        static constexpr std::uint32_t kLeadMask[5] = {0, 0, 0x1F, 0x0F, 0x07};
        static constexpr std::uint32_t kMin[5] = {1, 1, 0x80, 0x800, 0x10000};  // nothing passes 0 and 1
        static constexpr std::uint32_t kMax[5] = {0, 0, 0x7FF, 0xFFFF, 0x10FFFF};
        const auto* u = reinterpret_cast<const uchar*>(q);
        const int n = kLength[u[0] >> 4];
        const int m = n ? n : 4;  // n = 0 fails below by kMin and kMax
        const std::uint32_t b1 = u[1], b2 = u[2], b3 = u[3];
        // Bytes 1..n-1 must be continuation bytes; the bytes past the character are shifted out.
        const std::uint32_t tail = (b1 & 0xC0) << 16 | (b2 & 0xC0) << 8 | (b3 & 0xC0);
        const int skip = 4 - m;
        const std::uint32_t cp = ((u[0] & kLeadMask[n]) << 18 | (b1 & 0x3F) << 12 | (b2 & 0x3F) << 6 | (b3 & 0x3F)) >> (6 * skip);
        const bool ok = ((tail >> (8 * skip)) == (0x808080u >> (8 * skip))) & (u[0] < 0xF8) & (cp >= kMin[n]) &
                        (cp <= kMax[n]) & (cp - 0xD800 >= 0x800) & ((cp | 1) != 0xFFFF);
        return ok ? n : 0;
    }
    std::uint32_t cp = 0;
    const int n = Utf8Sequence(reinterpret_cast<const uchar*>(q), reinterpret_cast<const uchar*>(e), cp);
    return cp == 0xFFFE || cp == 0xFFFF ? 0 : n;
}

// The first byte at or after p (before e) that is a, b or c, a control other than tab, LF and CR,
// or the start of a character that is not plain text (not UTF-8, U+FFFE, U+FFFF); or e. Tab, LF
// and CR are never stopped at (passing one for a delimiter finds only the odd bytes). One
// character at a time; the block scan below falls back to this where a block breaks a rule.
[[gnu::noinline]] char* ScanTextSlow(char* p, char* e, char a, char b, char c) {
    while (p != e) {
        const auto u = static_cast<uchar>(*p);
        if (IsLineSpace(*p) || (*p != a && *p != b && *p != c && u >= 0x20 && u < 0x80)) {
            ++p;
            continue;
        }
        if (u < 0x80) return p;
        const int n = TextSequence(p, e);
        if (n == 0) return p;
        p += n;
    }
    return p;
}

#if defined(__SSE2__)
// The bytes of the 16 at v (which start on a character boundary) that break UTF-8 as plain text:
// a continuation byte where none may stand or a missing one, a byte no UTF-8 holds, an overlong
// form, a surrogate, a code point past U+10FFFF, U+FFFE or U+FFFF. A character that runs past
// the 16 bytes is judged by its bytes inside them only. Checked for the whole block at once,
// without a branch per character: mixed text puts characters of every length in no order a
// branch could learn.
inline unsigned Utf8BlockErrors(__m128i v) noexcept {
    const __m128i zero = _mm_setzero_si128();
    auto bytes = [](int x) { return _mm_set1_epi8(static_cast<char>(x)); };
    const __m128i prev1 = _mm_slli_si128(v, 1), prev2 = _mm_slli_si128(v, 2), prev3 = _mm_slli_si128(v, 3);
    // A byte must continue a character when one of the three before it leads one long enough.
    const __m128i longer = _mm_or_si128(_mm_or_si128(_mm_subs_epu8(prev1, bytes(0xBF)), _mm_subs_epu8(prev2, bytes(0xDF))),
                                        _mm_subs_epu8(prev3, bytes(0xEF)));
    const __m128i free = _mm_cmpeq_epi8(longer, zero);
    const __m128i cont = _mm_cmplt_epi8(v, bytes(0xC0));  // signed: 0x80..0xBF only
    __m128i err = _mm_cmpeq_epi8(free, cont);
    // C0, C1 and F5..FF never occur.
    err = _mm_or_si128(err, _mm_cmpeq_epi8(_mm_and_si128(v, bytes(0xFE)), bytes(0xC0)));
    err = _mm_or_si128(err, _mm_cmpeq_epi8(_mm_max_epu8(v, bytes(0xF5)), v));
    // The second byte's range after E0 (overlong), ED (surrogates), F0 (overlong), F4 (too high).
    const __m128i belowA0 = _mm_cmplt_epi8(v, bytes(0xA0)), below90 = _mm_cmplt_epi8(v, bytes(0x90));
    err = _mm_or_si128(err, _mm_and_si128(_mm_cmpeq_epi8(prev1, bytes(0xE0)), belowA0));
    err = _mm_or_si128(err, _mm_andnot_si128(belowA0, _mm_cmpeq_epi8(prev1, bytes(0xED))));
    err = _mm_or_si128(err, _mm_and_si128(_mm_cmpeq_epi8(prev1, bytes(0xF0)), below90));
    err = _mm_or_si128(err, _mm_andnot_si128(below90, _mm_cmpeq_epi8(prev1, bytes(0xF4))));
    // EF BF BE and EF BF BF: U+FFFE and U+FFFF.
    const __m128i nonchar = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(prev2, bytes(0xEF)), _mm_cmpeq_epi8(prev1, bytes(0xBF))),
                                          _mm_cmpeq_epi8(_mm_or_si128(v, bytes(1)), bytes(0xBF)));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(err, nonchar)));
}
#endif

// ScanTextSlow's answer, 16 bytes at a time: SSE2 finds the delimiters and the controls, and
// checks the UTF-8 of a block that holds bytes from 0x80 in one go, so valid characters beyond
// ASCII never stop the scan. A block starts on a character boundary: one that ends inside a
// character is read again from that character's first byte. Kept inline by force: it is the
// hottest code of a parse.
[[gnu::always_inline]] inline char* ScanText(char* p, char* e, char a = '<', char b = '&', char c = '&') {
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c), space = _mm_set1_epi8(0x20);
    const __m128i tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    while (e - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i delim = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)), _mm_cmpeq_epi8(v, vc));
        const __m128i line = _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
        // Fine: from 0x20 up (unsigned), tab, LF and CR; a delimiter that is tab, LF or CR is none.
        const __m128i fine = _mm_or_si128(_mm_cmpeq_epi8(_mm_max_epu8(v, space), v), line);
        const unsigned stop = static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(line, delim))) |
                              (~static_cast<unsigned>(_mm_movemask_epi8(fine)) & 0xFFFF);
        const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(v));
        int step = 16;
        if (high != 0) {
            const unsigned bad = Utf8BlockErrors(v);
            // Only what lies before the first stop counts; a bad byte there ends the fast scan.
            if (bad & (stop ^ (stop - 1))) return ScanTextSlow(p, e, a, b, c);
            // A lead byte among the last three whose character runs past the block.
            const auto* u = reinterpret_cast<const uchar*>(p);
            step -= (u[15] >= 0xC0) + 2 * (u[14] >= 0xE0) + 3 * (u[13] >= 0xF0);
        }
        if (stop != 0) return p + __builtin_ctz(stop);
        p += step;
    }
#endif
    return ScanTextSlow(p, e, a, b, c);
}

// True when the n bytes at s are all up to 0x20; 16 bytes past s + n may be read (the arena's
// padding guarantees them), so there is no loop over each byte to guess the end of.
inline bool AllSpace(const char* s, size_t n) noexcept {
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(0x20), bias = _mm_set1_epi8(static_cast<char>(0x80));
    for (;; s += 16, n -= 16) {
        // Unsigned "above 0x20" as a signed compare of both sides moved by 0x80.
        const __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), bias);
        unsigned solid = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(v, _mm_xor_si128(space, bias))));
        if (n <= 16) return (solid & ((1u << n) - 1)) == 0;
        if (solid) return false;
    }
#else
    for (size_t i = 0; i < n; ++i)
        if (static_cast<uchar>(s[i]) > 0x20) return false;
    return true;
#endif
}

// Where a decoded text goes: over the bytes it was read from while it fits behind the read
// position, else (a rare growth) into a side buffer that ends in the arena.
class TXmlOut {
public:
    void Start(char* at) {
        start_ = w_ = at;
        spilled_ = false;
    }
    // n bytes from src; `limit` is the read position, which the text may not overtake in place.
    [[gnu::always_inline]] void Put(const char* src, size_t n, const char* limit) {
        if (!spilled_ && w_ + n <= limit) {
            if (w_ != src) MoveDown(w_, src, n);
            w_ += n;
            return;
        }
        Spill(src, n);
    }
    // n bytes of the input at src (a run between references). Far enough behind, it moves in
    // 16-byte steps rounded up: the stray bytes land inside the run, which is already loaded,
    // and loads past the input end read the arena's padding.
    [[gnu::always_inline]] void PutRun(const char* src, size_t n, const char* limit) {
        if (!spilled_ && w_ + n <= limit) {
#if defined(__SSE2__)
            if (src - w_ >= 16) {
                for (size_t i = 0; i < n; i += 16)
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(w_ + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
                w_ += n;
                return;
            }
#endif
            // The same 8 bytes at a time; closer still (right after the first references of a
            // text) byte by byte while the run is short: both cheaper than a call for the
            // few bytes between two references of escaped markup.
            if (src - w_ >= 8) {
                for (size_t i = 0; i < n; i += 8) {
                    std::uint64_t word;
                    std::memcpy(&word, src + i, 8);
                    std::memcpy(w_ + i, &word, 8);
                }
            } else if (n <= 32) {
                for (size_t i = 0; i < n; ++i) w_[i] = src[i];
            } else if (w_ != src) {
                MoveDown(w_, src, n);
            }
            w_ += n;
            return;
        }
        Spill(src, n);
    }
    // One byte, as a reference to a predefined entity gives.
    [[gnu::always_inline]] void PutByte(char c, const char* limit) {
        if (!spilled_ && w_ < limit) {
            *w_++ = c;
            return;
        }
        Spill(&c, 1);
    }
    // The n (up to 4) bytes of a character a reference names, from a 4-byte buffer. Stored whole:
    // a reference takes at least 4 bytes, so the stray ones land before the read position.
    [[gnu::always_inline]] void PutChar4(const char (&src)[4], int n, const char* limit) {
        if (!spilled_ && w_ + 4 <= limit) {
            std::memcpy(w_, src, 4);
            w_ += n;
            return;
        }
        Spill(src, static_cast<size_t>(n));
    }
    // The finished text: where it lies and its length.
    std::pair<const char*, size_t> Finish(TXmlArena& arena) {
        if (!spilled_) return {start_, static_cast<size_t>(w_ - start_)};
        char* at = arena.Extra(scratch_.size());
        std::memcpy(at, scratch_.data(), scratch_.size());
        return {at, scratch_.size()};
    }

private:
    // Copies n bytes to dst from src, dst before src (the regions may overlap).
    static void MoveDown(char* dst, const char* src, size_t n) noexcept { std::memmove(dst, src, n); }
    [[gnu::noinline]] void Spill(const char* src, size_t n) {
        if (!spilled_) {
            scratch_.assign(start_, w_);
            spilled_ = true;
        }
        scratch_.append(src, n);
    }

    char* start_ = nullptr;
    char* w_ = nullptr;
    bool spilled_ = false;
    std::string scratch_;
};

// True when the n bytes at a and b are the same. Both lie in the arena, whose padding lets 8 bytes
// be loaded from anywhere up to its end: a name of up to 8 bytes (most are) is compared by one
// load each instead of a call.
inline bool SameArenaBytes(const char* a, const char* b, size_t n) noexcept {
    if (n <= 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        const std::uint64_t mask = n == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * n)) - 1;
        return ((x ^ y) & mask) == 0;
    }
    return std::memcmp(a, b, n) == 0;
}

// Names seen in this document, keyed on their UTF-8 bytes (which lie in the arena and stay put),
// so that each distinct name is hashed and interned into the name table once.
class TXmlNameCache {
public:
    explicit TXmlNameCache(TXmlNameTable& table) : table_(table), slots_(256) {}

    // FNV-1a over the bytes, which the reader computes as it reads the name.
    static constexpr std::uint32_t kSeed = 2166136261u;
    static std::uint32_t Step(std::uint32_t h, uchar c) noexcept { return (h ^ c) * 16777619u; }

    int Id(const char* s, size_t n, std::uint32_t h) {
        const size_t mask = slots_.size() - 1;
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (!slot.Name) break;
            if (slot.Hash == h && slot.Size == n && SameArenaBytes(slot.Name, s, n)) return slot.Id;
        }
        const int id = table_.Intern(XmlFromUtf8({s, n}));
        if ((used_ + 1) * 2 > slots_.size()) Grow();
        Insert({s, n, h, id});
        ++used_;
        return id;
    }

private:
    struct Slot {
        const char* Name = nullptr;
        size_t Size = 0;
        std::uint32_t Hash = 0;
        int Id = -1;
    };
    void Insert(const Slot& s) {
        const size_t mask = slots_.size() - 1;
        size_t i = s.Hash & mask;
        while (slots_[i].Name) i = (i + 1) & mask;
        slots_[i] = s;
    }
    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& s : old)
            if (s.Name) Insert(s);
    }

    TXmlNameTable& table_;
    std::vector<Slot> slots_;
    size_t used_ = 0;
};

// An entity declared in the internal subset: its value in UTF-8 and its length in UTF-16 code
// units, which the expansion limit counts.
struct TXmlEntity {
    std::string Value;
    size_t Units = 0;
    bool Solid = false;  // not all blank
};

class TXmlReader {
public:
    TXmlReader(TXmlDocument& doc, TXmlArena& arena, TXmlElementSink* sink)
        : doc_(doc), arena_(arena), table_(TXmlAccess::Table(doc)), names_(*table_), preserve_(doc.PreserveWhiteSpace()),
          sink_(sink), sinkDepth_(sink ? sink->Depth() : 0) {
        p_ = arena.Data();
        e_ = p_ + arena.Size();
    }

    // Document level: a "</" silently ends the parse; the bytes after it are still checked.
    void Run() {
        if (sink_) sink_->ParseBegun();
        ParseContent(doc_, 0);
        if (p_ != e_ && !IsValidUtf8({p_, static_cast<size_t>(e_ - p_)})) throw TNotUtf8();
    }

private:
    bool AtEnd() const { return p_ == e_; }
    uchar Cur() const { return static_cast<uchar>(*p_); }

    void RequireChar(char c) {
        if (AtEnd() || *p_ != c) {
            const char16_t w = static_cast<uchar>(c);
            XmlFail(xmlmsg::Expected(std::u16string_view(&w, 1)));
        }
        ++p_;
    }
    void RequireStr(std::string_view s) {
        for (char c : s) {
            if (AtEnd() || *p_ != c) XmlFail(xmlmsg::Expected(XmlFromUtf8(s)));
            ++p_;
        }
    }
    void SkipSpace() {
        while (!AtEnd() && Cur() <= 0x20) ++p_;
    }

    // The code point of the character at p_ (not ASCII) and its length; raises TNotUtf8.
    int Sequence(std::uint32_t& cp) const {
        const int n = Utf8Sequence(reinterpret_cast<const uchar*>(p_), reinterpret_cast<const uchar*>(e_), cp);
        if (n == 0) throw TNotUtf8();
        return n;
    }

    // Length of the name character at p_, or 0 when there is none; starts asks for a first one.
    int NameCharAt(bool start) const {
        if (AtEnd()) return 0;
        const uchar c = Cur();
        if (c < 0x80) return (kXmlAsciiClass[c] & (start ? kXmlNameStart : kXmlNameChar)) != 0;
        std::uint32_t cp = 0;
        const int n = Sequence(cp);
        return IsNameLetter(cp) ? n : 0;
    }

    // The name at p_ as bytes; raises the name-start message when there is none.
    // Hashed on the way (nameHash_), for the name cache.
    std::string_view ReadNameBytes() {
        static constexpr auto kAsciiNameChar = [] {
            std::array<bool, 256> t{};  // bytes from 0x80 are no ASCII name characters
            for (int c = 0; c < 128; ++c) t[static_cast<size_t>(c)] = (kXmlAsciiClass[static_cast<size_t>(c)] & kXmlNameChar) != 0;
            return t;
        }();
        const char* s = p_;
        int n = NameCharAt(true);
        if (n == 0) XmlFail(xmlmsg::kNameStart);
        std::uint32_t h = TXmlNameCache::kSeed;
        for (;;) {
            for (; n > 0; --n, ++p_) h = TXmlNameCache::Step(h, Cur());
            while (p_ != e_ && kAsciiNameChar[Cur()]) h = TXmlNameCache::Step(h, static_cast<uchar>(*p_++));
            if (p_ == e_ || Cur() < 0x80 || (n = NameCharAt(false)) == 0) break;
        }
        nameHash_ = h;
        return {s, static_cast<size_t>(p_ - s)};
    }

    int ReadName() {
        const std::string_view name = ReadNameBytes();
        return names_.Id(name.data(), name.size(), nameHash_);
    }

    // Children are collected on pending_ and handed to their parent at once when its content
    // ends, also when it ends in an error: nodes read before an error stay in the document.
    void ParseContent(TXmlNode& parent, int depth) {
        const size_t base = pending_.size();
        try {
            ParseItems(depth);
        } catch (...) {
            Attach(parent, base);
            throw;
        }
        Attach(parent, base);
    }

    void Attach(TXmlNode& parent, size_t base) {
        TXmlAccess::AttachChildren(parent, pending_.data() + base, pending_.size() - base, arena_);
        pending_.resize(base);
    }

    void ParseItems(int depth) {
        for (;;) {
            ReadText();
            if (AtEnd()) return;
            ++p_;  // the "<"
            if (AtEnd()) return;  // a "<" that ends the input is dropped
            const char c = *p_;
            if (c == '/') return;
            if (c == '?') {
                ParseInstruction();
            } else if (c == '!') {
                ++p_;
                const char k = AtEnd() ? 0 : *p_;
                if (k == '-')
                    ParseComment();
                else if (k == '[')
                    ParseCDATA();
                else
                    SkipDoctype();
            } else {
                ParseElement(depth + 1);
            }
        }
    }

    // A raw character that is not plain ASCII text at p_: copied when fine, U+FFFD for what XML
    // forbids (controls, U+FFFE, U+FFFF). True when it is not blank: a replaced control counts as
    // the blank it used to be taken for.
    bool ReadOddChar(TXmlOut& out) {
        const uchar c = Cur();
        if (c < 0x80) {
            ++p_;
            out.Put(kReplacementUtf8, 3, p_);
            return false;
        }
        std::uint32_t cp = 0;
        const int n = Sequence(cp);
        const char* s = p_;
        p_ += n;
        if (cp == 0xFFFE || cp == 0xFFFF)
            out.Put(kReplacementUtf8, 3, p_);
        else
            out.Put(s, static_cast<size_t>(n), p_);
        return true;
    }

    void ReadText() {
        if (AtEnd()) return;
        char* s = p_;
        p_ = ScanText(p_, e_);
        if (p_ != e_ && *p_ == '<') {  // the usual case: plain ASCII text up to the next tag
            AddText(s, static_cast<size_t>(p_ - s), !AllSpace(s, static_cast<size_t>(p_ - s)));
            return;
        }
        out_.Start(s);
        bool solid = !AllSpace(s, static_cast<size_t>(p_ - s));
        out_.Put(s, static_cast<size_t>(p_ - s), p_);
        while (!AtEnd() && *p_ != '<') {
            if (*p_ == '&') {
                ++p_;
                solid = ReadReference(out_) || solid;
            } else if (const uchar c = Cur(); c >= 0x80 || (c < 0x20 && !IsLineSpace(*p_))) {
                solid = ReadOddChar(out_) || solid;
            } else {
                char* from = p_;
                p_ = ScanText(p_, e_);
                solid = solid || !AllSpace(from, static_cast<size_t>(p_ - from));
                out_.PutRun(from, static_cast<size_t>(p_ - from), p_);
            }
        }
        const auto [text, n] = out_.Finish(arena_);
        AddText(text, n, solid);
    }

    void AddText(const char* s, size_t n, bool solid) {
        if (n == 0 || (!preserve_ && !solid)) return;
        pending_.push_back(TXmlAccess::NewText(table_, arena_, s, n));
    }

    static char PredefinedEntity(std::string_view name) noexcept {
        switch (name.size()) {
            case 2:
                if (name[1] != 't') return 0;
                return name[0] == 'l' ? '<' : name[0] == 'g' ? '>' : 0;
            case 3: return name == "amp" ? '&' : 0;
            case 4: return name == "quot" ? '"' : name == "apos" ? '\'' : 0;
            default: return 0;
        }
    }

    // The bytes of s (up to 8) as one little-endian word, as an 8-byte load sees them.
    static constexpr std::uint64_t Word(std::string_view s) {
        std::uint64_t w = 0;
        for (size_t i = s.size(); i > 0; --i) w = w << 8 | static_cast<uchar>(s[i - 1]);
        return w;
    }

    // After "&": writes what the reference stands for. True when that is not blank.
    // The predefined five (escaped markup in a description is made of them) are read here, inline
    // in the text loop; the rest by a call.
    [[gnu::always_inline]] bool ReadReference(TXmlOut& out) {
        if (e_ - p_ >= 8) {
            // From one load, without a branch per name: escaped markup mixes them in no order a
            // branch could learn.
            static_assert(std::endian::native == std::endian::little);
            std::uint64_t w;
            std::memcpy(&w, p_, 8);
            const std::uint64_t w3 = w & 0xFFFFFF, w4 = w & 0xFFFFFFFF, w5 = w & 0xFFFFFFFFFF;
            const bool lt = w3 == Word("lt;"), gt = w3 == Word("gt;"), amp = w4 == Word("amp;");
            const bool quot = w5 == Word("quot;"), apos = w5 == Word("apos;");
            static constexpr char kChar[6] = {0, '<', '>', '&', '"', '\''};
            static constexpr int kLength[6] = {0, 3, 3, 4, 5, 5};
            const int which = lt + gt * 2 + amp * 3 + quot * 4 + apos * 5;  // at most one is true
            if (which != 0) return PutChar(out, kChar[which], kLength[which]);
        }
        return ReadOtherReference(out);
    }

    [[gnu::noinline]] bool ReadOtherReference(TXmlOut& out) {
        if (AtEnd()) XmlFail(xmlmsg::kRefExpected);
        // The predefined five by their first bytes, without collecting the name.
        switch (*p_) {
            case 'a':
                if (e_ - p_ >= 4 && std::memcmp(p_, "amp;", 4) == 0) return PutChar(out, '&', 4);
                if (e_ - p_ >= 5 && std::memcmp(p_, "apos;", 5) == 0) return PutChar(out, '\'', 5);
                break;
            case 'l':
                if (e_ - p_ >= 3 && std::memcmp(p_, "lt;", 3) == 0) return PutChar(out, '<', 3);
                break;
            case 'g':
                if (e_ - p_ >= 3 && std::memcmp(p_, "gt;", 3) == 0) return PutChar(out, '>', 3);
                break;
            case 'q':
                if (e_ - p_ >= 5 && std::memcmp(p_, "quot;", 5) == 0) return PutChar(out, '"', 5);
                break;
            case '#': return ReadCharReference(out);
            default: break;
        }
        const std::string_view name = ReadNameBytes();
        RequireChar(';');
        if (const char c = PredefinedEntity(name)) {
            out.PutByte(c, p_);
            return true;
        }
        if (const auto it = entities_.find(name); it != entities_.end()) {
            const TXmlEntity& entity = it->second;
            expanded_ += entity.Units;
            if (expanded_ > kXmlMaxEntityExpansion) XmlFail(xmlmsg::kTooMuchExpansion);
            out.Put(entity.Value.data(), entity.Value.size(), p_);
            return entity.Solid;
        }
        if (latin1_) {
            if (const char16_t c = XmlLatin1Entity(XmlFromUtf8(name))) {
                char utf8[4];
                out.Put(utf8, static_cast<size_t>(Utf8Encode(c, utf8)), p_);
                return true;
            }
        }
        XmlFail(xmlmsg::kBadRefName);
    }

    bool PutChar(TXmlOut& out, char c, int length) {
        p_ += length;
        out.PutByte(c, p_);
        return true;
    }

    // After "&" at "#".
    bool ReadCharReference(TXmlOut& out) {
        ++p_;
        if (AtEnd()) XmlFail(xmlmsg::kNumberExpected);
        std::uint32_t v = 0;  // saturates above U+10FFFF, which is refused below
        bool any = false;
        if (*p_ == 'x') {
            ++p_;
            for (int d; !AtEnd() && (d = HexDigitValue(static_cast<char16_t>(Cur()))) >= 0; ++p_, any = true)
                v = std::min<std::uint32_t>(v * 16 + static_cast<std::uint32_t>(d), 0x110000);
            if (!any) XmlFail(xmlmsg::kHexExpected);
        } else {
            for (; !AtEnd() && *p_ >= '0' && *p_ <= '9'; ++p_, any = true)
                v = std::min<std::uint32_t>(v * 10 + static_cast<std::uint32_t>(*p_ - '0'), 0x110000);
            if (!any) XmlFail(xmlmsg::kNumberExpected);
        }
        RequireChar(';');
        char16_t units[2];
        const int n = XmlCharRefUnits(v, units);
        if (n == 0) XmlFail(xmlmsg::kNumberExpected);
        const std::uint32_t cp = n == 2 ? v : units[0];
        char utf8[4] = {};
        out.PutChar4(utf8, Utf8Encode(cp, utf8), p_);
        return v > 0x20;  // a replaced control counts as the blank it used to be
    }

    // Into the new node; those read before an error stay with it.
    void ReadAttributes(TXmlNode& node) {
        try {
            ReadAttributeList();
        } catch (...) {
            HandOverAttributes(node);
            throw;
        }
        HandOverAttributes(node);
    }

    void HandOverAttributes(TXmlNode& node) {
        if (attrs_.size() > kScannedAttrs)
            for (const TXmlAccess::RawAttr& a : attrs_)
                if (static_cast<size_t>(a.NameId) < attrIndex_.size()) attrIndex_[static_cast<size_t>(a.NameId)] = 0;
        TXmlAccess::SetAttributes(node, attrs_, arena_);
    }

    // A repeated name is found by a scan while the tag has few attributes, as nearly every tag
    // has; beyond that by an index by name id: a scan for each of 200,000 attributes took minutes.
    static constexpr size_t kScannedAttrs = 16;
    static constexpr size_t kNoAttr = SIZE_MAX;

    size_t SameAttr(int id) const {
        if (attrs_.size() <= kScannedAttrs) {
            for (size_t i = 0; i < attrs_.size(); ++i)
                if (attrs_[i].NameId == id) return i;
            return kNoAttr;
        }
        const auto at = static_cast<size_t>(id);
        return at < attrIndex_.size() && attrIndex_[at] ? attrIndex_[at] - 1 : kNoAttr;
    }

    void AddAttr(const TXmlAccess::RawAttr& a) {
        attrs_.push_back(a);
        if (attrs_.size() <= kScannedAttrs) return;
        const size_t from = attrs_.size() == kScannedAttrs + 1 ? 0 : attrs_.size() - 1;  // the index starts now
        for (size_t i = from; i < attrs_.size(); ++i) {
            const auto at = static_cast<size_t>(attrs_[i].NameId);
            if (at >= attrIndex_.size()) attrIndex_.resize(at + 1);
            attrIndex_[at] = i + 1;
        }
    }

    // Into attrs_; a repeated name keeps its first place and takes the later value.
    void ReadAttributeList() {
        SkipSpace();
        while (NameCharAt(true) != 0) {
            const int id = ReadName();
            SkipSpace();
            RequireChar('=');
            SkipSpace();
            if (AtEnd()) XmlFail(xmlmsg::kAttrValueExpected);
            const char q = *p_;
            if (q != '"' && q != '\'') XmlFail(xmlmsg::kStringConstExpected);
            ++p_;
            out_.Start(p_);
            for (;;) {
                char* s = p_;
                p_ = ScanText(p_, e_, q, '<', '&');
                if (p_ != s) out_.PutRun(s, static_cast<size_t>(p_ - s), p_);
                if (AtEnd()) {
                    const char16_t w = static_cast<uchar>(q);
                    XmlFail(xmlmsg::Expected(std::u16string_view(&w, 1)));
                }
                const char c = *p_;
                if (c == q) {
                    ++p_;
                    break;
                }
                if (c == '<') XmlFail(xmlmsg::kLtInAttr);
                if (c == '&') {
                    ++p_;
                    ReadReference(out_);
                } else {
                    ReadOddChar(out_);
                }
            }
            // The value stays UTF-8 in the arena until asked for.
            const auto [value, n] = out_.Finish(arena_);
            if (n > UINT32_MAX) XmlFail(xmlmsg::kDataRead);
            static constexpr char kEmpty[] = "";
            const TXmlAccess::RawAttr a{id, static_cast<std::uint32_t>(n), n ? value : kEmpty};
            if (const size_t same = SameAttr(id); same != kNoAttr)
                attrs_[same] = a;
            else
                AddAttr(a);
            SkipSpace();
        }
    }

    void ParseElement(int depth) {
        if (depth > kXmlMaxDepth) XmlFail(xmlmsg::kTooDeep);
        const std::string_view name = ReadNameBytes();
        const int id = names_.Id(name.data(), name.size(), nameHash_);
        if (AtEnd()) XmlFail(xmlmsg::kElementUnfinished);
        const uchar c = Cur();
        if (c > 0x20 && c != '/' && c != '>') XmlFail(xmlmsg::kElementNameChar);
        auto* element = TXmlAccess::Place<TXmlElement>(arena_, table_, id);
        pending_.push_back(element);
        ReadAttributes(*element);
        if (depth <= sinkDepth_) sink_->ElementStarted(*element, depth);
        if (!AtEnd() && *p_ == '/') {
            RequireStr("/>");
            return ElementEnded(*element, depth);
        }
        RequireChar('>');
        ParseContent(*element, depth);
        RequireChar('/');
        // The end tag must repeat the start tag's bytes.
        if (static_cast<size_t>(e_ - p_) < name.size() || !SameArenaBytes(p_, name.data(), name.size()))
            XmlFail(xmlmsg::Expected(table_->Name(id)));
        p_ += name.size();
        SkipSpace();
        RequireChar('>');
        ElementEnded(*element, depth);
    }

    // The element is whole; a sink may take it out of the document (it is the last one pending).
    void ElementEnded(TXmlElement& element, int depth) {
        if (depth > sinkDepth_ || !sink_->ElementEnded(element, depth)) return;
        const XmlPtr<TXmlNode> gone(&element);
        pending_.pop_back();
    }

    // Up to the first occurrence of the terminator, which is consumed; the text before it with
    // forbidden characters replaced, in out_.
    std::pair<const char*, size_t> ReadUntil(std::string_view term) {
        const std::string_view rest(p_, static_cast<size_t>(e_ - p_));
        const size_t at = rest.find(term);
        if (at == std::string_view::npos) {
            // What was before is still checked: invalid UTF-8 decides before this message.
            if (!IsValidUtf8(rest)) throw TNotUtf8();
            XmlFail(xmlmsg::Expected(XmlFromUtf8(term)));
        }
        char* end = p_ + at;
        out_.Start(p_);
        while (p_ != end) {
            char* s = p_;
            p_ = ScanText(p_, end, '\n', '\n', '\n');  // "<" and "&" are plain characters here
            if (p_ != s) out_.PutRun(s, static_cast<size_t>(p_ - s), p_);
            if (p_ != end) ReadOddChar(out_);
        }
        p_ = end + term.size();
        return out_.Finish(arena_);
    }

    std::u16string ReadUntilText(std::string_view term) {
        const auto [s, n] = ReadUntil(term);
        return XmlFromUtf8({s, n});
    }

    void ParseInstruction() {
        ++p_;  // the "?"
        const int id = ReadName();
        auto* pi = TXmlAccess::Place<TXmlProcessingInstruction>(arena_, table_, id, std::u16string());
        pending_.push_back(pi);
        if (id == TXmlNameTable::kXmlId) {
            ReadAttributes(*pi);
            RequireStr("?>");
        } else {
            pi->SetData(ReadUntilText("?>"));
        }
    }

    void ParseComment() {
        RequireStr("--");
        std::u16string text = ReadUntilText("-->");
        pending_.push_back(TXmlAccess::Place<TXmlComment>(arena_, table_, std::move(text)));
    }

    void ParseCDATA() {
        RequireStr("[CDATA[");
        const auto [s, n] = ReadUntil("]]>");
        pending_.push_back(TXmlAccess::NewCDATA(table_, arena_, s, n));
    }

    // Nothing of a document type declaration becomes a node. Quoted literals and the internal
    // subset are skipped whole, so a ">" or "<rss>" inside them does not end the declaration.
    // Its bytes are checked as UTF-8 as a whole once it ends.
    [[gnu::noinline]] void SkipDoctype() {
        const char* start = p_;
        RequireStr("DOCTYPE");
        for (;;) {
            if (AtEnd()) XmlFail(xmlmsg::Expected(u">"));
            const char c = *p_++;
            if (c == '>') break;
            if (c == '"' || c == '\'') {
                if (XmlFromUtf8(ReadQuoted(c)) == kXmlRss091PublicId) latin1_ = true;
            } else if (c == '[') {
                ReadInternalSubset();
            }
        }
        if (!IsValidUtf8({start, static_cast<size_t>(p_ - start)})) throw TNotUtf8();
    }

    // After an opening quote: the literal up to the matching quote, which is consumed.
    std::string_view ReadQuoted(char q) {
        const char* s = p_;
        while (p_ != e_ && *p_ != q) ++p_;
        if (AtEnd()) {
            const char16_t w = static_cast<uchar>(q);
            XmlFail(xmlmsg::Expected(std::u16string_view(&w, 1)));
        }
        return {s, static_cast<size_t>(p_++ - s)};
    }

    // After "[": declarations, comments, instructions and parameter-entity references up to the
    // closing "]". Internal general entities are kept; every other declaration is skipped.
    void ReadInternalSubset() {
        for (;;) {
            if (AtEnd()) XmlFail(xmlmsg::Expected(u"]"));
            const char c = *p_++;
            if (c == ']') return;
            if (c == '"' || c == '\'') {
                ReadQuoted(c);
                continue;
            }
            if (c != '<' || AtEnd()) continue;
            if (*p_ == '?') {
                ReadUntil("?>");
                continue;
            }
            if (*p_ != '!') continue;
            ++p_;
            if (!AtEnd() && *p_ == '-') {
                RequireStr("--");
                ReadUntil("-->");
                continue;
            }
            if (ReadKeyword() == "ENTITY") ReadEntityDeclaration();
            SkipDeclaration();
        }
    }

    std::string_view ReadKeyword() {
        const char* s = p_;
        while (!AtEnd() && Cur() < 0x80 && (kXmlAsciiClass[Cur()] & kXmlNameChar) && p_ - s < 16) ++p_;
        return {s, static_cast<size_t>(p_ - s)};
    }

    // After "<!ENTITY": keeps a general entity with a quoted plain-text value; the first
    // declaration of a name wins and the five predefined names stay as they are. Stops before
    // the declaration's closing ">".
    void ReadEntityDeclaration() {
        SkipSpace();
        if (NameCharAt(true) == 0) return;  // a parameter entity, or not a name
        const std::string_view name = ReadNameBytes();
        SkipSpace();
        if (AtEnd() || (*p_ != '"' && *p_ != '\'')) return;  // an external entity
        const char q = *p_++;
        const std::string_view literal = ReadQuoted(q);
        std::u16string value;
        if (PredefinedEntity(name) == 0 && !entities_.contains(name) && XmlPlainEntityValue(XmlFromUtf8(literal), value)) {
            TXmlEntity entity{XmlToUtf8(value), value.size(), !AllSpace16(value)};
            entities_.emplace(std::string(name), std::move(entity));
        }
    }

    static bool AllSpace16(std::u16string_view s) noexcept {
        return std::all_of(s.begin(), s.end(), [](char16_t c) { return c <= 0x20; });
    }

    // Up to and including the ">" that ends a declaration, quoted literals skipped whole.
    void SkipDeclaration() {
        for (;;) {
            if (AtEnd()) XmlFail(xmlmsg::Expected(u">"));
            const char c = *p_++;
            if (c == '>') return;
            if (c == '"' || c == '\'') ReadQuoted(c);
        }
    }

    TXmlDocument& doc_;
    TXmlArena& arena_;
    TXmlNameTable* table_;
    TXmlNameCache names_;
    bool preserve_;
    TXmlElementSink* sink_;
    int sinkDepth_;  // 0 without a sink
    std::uint32_t nameHash_ = 0;  // of the name ReadNameBytes read last
    char* p_ = nullptr;
    char* e_ = nullptr;
    TXmlOut out_;
    std::vector<TXmlNode*> pending_;    // children read whose parent's content has not ended
    std::vector<TXmlAccess::RawAttr> attrs_;  // the attributes of the start tag being read
    std::vector<size_t> attrIndex_;  // by name id: 1 + its place in attrs_, 0 when not there
    std::map<std::string, TXmlEntity, std::less<>> entities_;
    size_t expanded_ = 0;  // UTF-16 code units of declared entities expanded so far
    bool latin1_ = false;  // the RSS 0.91 document type: HTML Latin-1 entity names are known
};

// UTF-16 little-endian bytes (an odd last byte is dropped) as UTF-8.
std::string Utf16LEToUtf8(std::string_view bytes) {
    std::u16string wide(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(static_cast<uchar>(bytes[2 * i]) | static_cast<uchar>(bytes[2 * i + 1]) << 8);
    return XmlToUtf8(wide);
}

// One character per byte through Windows-1252, as UTF-8. ASCII runs are copied whole, eight
// bytes tested at a time: a single-byte feed is mostly ASCII.
std::string AnsiToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    size_t i = 0;
    while (i < bytes.size()) {
        size_t run = i;
        for (std::uint64_t w; bytes.size() - run >= 8; run += 8) {
            std::memcpy(&w, bytes.data() + run, 8);
            if (w & 0x8080808080808080ull) break;
        }
        while (run < bytes.size() && static_cast<uchar>(bytes[run]) < 0x80) ++run;
        out.append(bytes.data() + i, run - i);
        if (run == bytes.size()) break;
        char buf[4];
        out.append(buf, static_cast<size_t>(Utf8Encode(XmlWidenAnsi(static_cast<uchar>(bytes[run])), buf)));
        i = run + 1;
    }
    return out;
}

void ParseConverted(TXmlDocument& doc, std::string utf8, TXmlElementSink* sink = nullptr) {
    XmlPtr<TXmlArena> arena(new TXmlArena(utf8));
    if (!XmlParseUtf8(doc, *arena, sink)) XmlFail(xmlmsg::kDataRead);  // our own conversion is always UTF-8
}

}  // namespace

bool XmlParseUtf8(TXmlDocument& doc, TXmlArena& arena, TXmlElementSink* sink) {
    XmlPtr<TXmlArena> keep(&arena);
    try {
        TXmlReader(doc, arena, sink).Run();
    } catch (const TNotUtf8&) {
        return false;
    }
    return true;
}

void TXmlDocument::LoadXML(std::u16string_view text) {
    if (text.size() >= kXmlBinarySignature.size() &&
        text.substr(0, kXmlBinarySignature.size()) == std::u16string(kXmlBinarySignature.begin(), kXmlBinarySignature.end())) {
        LoadBinary(XmlNarrowAnsi(text));
        return;
    }
    ResetContent();
    ParseConverted(*this, XmlToUtf8(text));
}

bool TXmlDocument::TryLoadUtf8XML(std::string_view bytes, TXmlElementSink* sink) {
    ResetContent();
    XmlPtr<TXmlArena> arena(new TXmlArena(bytes));
    bool utf8 = false;
    try {
        utf8 = XmlParseUtf8(*this, *arena, sink);
    } catch (const EXmlError&) {
        // Invalid UTF-8 decides first, even past the error, as when the whole text was checked
        // before reading.
        if (IsValidUtf8(bytes)) throw;
    }
    if (!utf8) ResetContent();
    return utf8;
}

void TXmlDocument::LoadUtf8XML(std::string_view bytes, TXmlElementSink* sink) {
    if (bytes.substr(0, kXmlBinarySignature.size()) == kXmlBinarySignature) {
        LoadBinary(bytes);
        return;
    }
    if (TryLoadUtf8XML(bytes, sink)) return;
    ParseConverted(*this, AnsiToUtf8(bytes), sink);
}

void TXmlDocument::Load(std::istream& stream) {
    std::string bytes;
    char buf[65536];
    while (stream.read(buf, sizeof buf) || stream.gcount() > 0) bytes.append(buf, static_cast<size_t>(stream.gcount()));
    if (bytes.size() > kXmlBinarySignature.size() && bytes.starts_with(kXmlBinarySignature)) {
        LoadBinary(bytes);
        return;
    }
    ResetContent();
    // UTF-16 little-endian (a byte-order mark, or "<" followed by a zero byte) so that a file
    // written by Save reads back; anything else is one character per byte (Windows-1252).
    const auto* b = reinterpret_cast<const uchar*>(bytes.data());
    if (bytes.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE)
        ParseConverted(*this, Utf16LEToUtf8(std::string_view(bytes).substr(2)));
    else if (bytes.size() >= 2 && b[0] == '<' && b[1] == 0)
        ParseConverted(*this, Utf16LEToUtf8(bytes));
    else
        ParseConverted(*this, AnsiToUtf8(bytes));
}

void TXmlDocument::Load(const std::filesystem::path& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) XmlFail(xmlmsg::Quoted(u"Не удается открыть файл \"%s\"", fileName.u16string()));
    Load(in);
}

}  // namespace tw
