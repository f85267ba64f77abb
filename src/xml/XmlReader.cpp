// The reader: a recursive-descent parser over a character source, building the node tree.
// Of a document type declaration only the internal entities with plain-text values are kept
// (and the RSS 0.91 public identifier, whose document type names the HTML Latin-1 entities); no
// namespaces, no character-set detection beyond what Load documents.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <unordered_map>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/TextConvert.h"
#include "xml/XmlDom.h"
#include "xml/XmlInternal.h"

namespace tw {

namespace {

// A reusable text buffer. It starts with room for 32 code units and grows at least to double its
// size: growing by exactly what one appended character needs would copy a long text once per
// character.
class TXmlToken {
public:
    TXmlToken() : buf_(new char16_t[32]), cap_(32) {}
    void Clear() noexcept { len_ = 0; }
    void Append(char16_t c) {
        if (len_ == cap_) Reserve(len_ + 1);
        buf_[len_++] = c;
    }
    void Append(const char16_t* s, size_t n) {
        if (n == 0) return;
        if (len_ + n > cap_) Reserve(len_ + n);
        std::memcpy(buf_.get() + len_, s, n * sizeof(char16_t));
        len_ += n;
    }
    std::u16string_view View() const noexcept { return {buf_.get(), len_}; }
    bool EndsWith(std::u16string_view s) const noexcept { return View().ends_with(s); }

private:
    void Reserve(size_t need) {
        const size_t cap = std::max(need, cap_ * 2);
        std::unique_ptr<char16_t[]> b(new char16_t[cap]);
        std::memcpy(b.get(), buf_.get(), len_ * sizeof(char16_t));
        buf_ = std::move(b);
        cap_ = cap;
    }
    std::unique_ptr<char16_t[]> buf_;
    size_t len_ = 0;
    size_t cap_;
};

// Nested constructs each collect into their own buffer; buffers are kept for reuse.
class TXmlTokenStack {
public:
    TXmlToken& Start() {
        if (depth_ == tokens_.size()) tokens_.push_back(std::make_unique<TXmlToken>());
        TXmlToken& t = *tokens_[depth_++];
        t.Clear();
        return t;
    }
    void Finish() noexcept { --depth_; }

private:
    std::vector<std::unique_ptr<TXmlToken>> tokens_;
    size_t depth_ = 0;
};

// A UTF-16 string, code unit by code unit: one window holding everything.
class TXmlStrSource {
public:
    explicit TXmlStrSource(std::u16string_view text) : text_(text) {}
    void Begin(const char16_t*& p, const char16_t*& e) const {
        p = text_.data();
        e = text_.data() + text_.size();
    }
    bool Refill(const char16_t*&, const char16_t*&) { return false; }

private:
    std::u16string_view text_;
};

// A byte stream read 64 KiB at a time from its position to its end. Each byte is one character
// through the single-byte code page, unless the bytes are UTF-16 little-endian (a byte-order
// mark, or "<" followed by a zero byte): then every two bytes are one code unit, so a file
// written by Save reads back.
class TXmlStmSource {
public:
    static constexpr size_t kBufferSize = 65536;

    TXmlStmSource(std::istream& in, std::string_view prefix) : in_(in), pending_(prefix) {
        const auto* b = reinterpret_cast<const unsigned char*>(pending_.data());
        if (pending_.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
            wide_ = true;
            pending_.erase(0, 2);
        } else if (pending_.size() >= 2 && b[0] == '<' && b[1] == 0) {
            wide_ = true;
        }
    }
    void Begin(const char16_t*& p, const char16_t*& e) { p = e = chars_.get(); }
    bool Refill(const char16_t*& p, const char16_t*& e) {
        for (;;) {
            size_t n = 0;
            if (!pending_.empty()) {
                n = pending_.size();
                std::memcpy(bytes_.get(), pending_.data(), n);
                pending_.clear();
            } else if (in_) {
                in_.read(bytes_.get(), kBufferSize);
                n = static_cast<size_t>(in_.gcount());
            }
            if (n == 0) return false;
            const size_t m = Convert(n);
            if (m > 0) {
                p = chars_.get();
                e = p + m;
                return true;
            }
        }
    }

private:
    size_t Convert(size_t n) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes_.get());
        char16_t* out = chars_.get();
        if (!wide_) {
            for (size_t i = 0; i < n; ++i) out[i] = XmlWidenAnsi(b[i]);
            return n;
        }
        size_t m = 0, i = 0;
        if (odd_ >= 0 && n > 0) {
            out[m++] = static_cast<char16_t>(odd_ | (b[0] << 8));
            odd_ = -1;
            i = 1;
        }
        for (; i + 1 < n; i += 2) out[m++] = static_cast<char16_t>(b[i] | (b[i + 1] << 8));
        if (i < n) odd_ = b[i];  // the other half comes with the next read (or is dropped at the end)
        return m;
    }

    std::istream& in_;
    std::string pending_;
    bool wide_ = false;
    int odd_ = -1;
    std::unique_ptr<char[]> bytes_{new char[kBufferSize]};
    std::unique_ptr<char16_t[]> chars_{new char16_t[kBufferSize]};
};

// UTF-8 bytes, already checked to be valid, decoded 32 Ki code units at a time: a large feed
// never exists twice in memory.
class TXmlUtf8Source {
public:
    static constexpr size_t kWindow = 32768;

    explicit TXmlUtf8Source(std::string_view bytes) : bytes_(bytes) {}
    void Begin(const char16_t*& p, const char16_t*& e) { p = e = chars_.get(); }
    bool Refill(const char16_t*& p, const char16_t*& e) {
        const size_t left = bytes_.size() - at_;
        if (left == 0) return false;
        size_t written = 0;
        const size_t used = XmlDecodeUtf8(reinterpret_cast<const unsigned char*>(bytes_.data()) + at_,
                                          std::min(left, kWindow), chars_.get(), written);
        if (used == 0) return false;  // cannot happen on checked input; ends the text safely
        at_ += used;
        p = chars_.get();
        e = p + written;
        return true;
    }

private:
    std::string_view bytes_;
    size_t at_ = 0;
    std::unique_ptr<char16_t[]> chars_{new char16_t[kWindow]};
};

// Text code units the scan stops at besides "<" and "&": controls other than tab, LF and CR,
// and everything from U+D7FF up (surrogates, U+FFFE, U+FFFF, and some harmless neighbours).
inline bool XmlIsTextOdd(char16_t c) noexcept { return XmlIsForbiddenControl(c) || c >= 0xD7FF; }

// The first a, b or odd code unit at or after p (before e), or e: the text scan. Kept inline in
// the reader's loops by force: it is the hottest code of a parse.
[[gnu::always_inline]] inline const char16_t* XmlScanText(const char16_t* p, const char16_t* e, char16_t a = u'<',
                                                          char16_t b = u'&') {
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi16(static_cast<short>(a)), amp = _mm_set1_epi16(static_cast<short>(b));
    // Adding 0xA801 maps U+D7FF..U+FFFF to signed -0x8000..-0x5800 and U+0000..U+001F to
    // -0x57FF..-0x57E0: one signed "below -0x57DF" test finds both ranges.
    const __m128i shift = _mm_set1_epi16(static_cast<short>(0xA801)), limit = _mm_set1_epi16(static_cast<short>(0xA821));
    while (e - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i delim = _mm_or_si128(_mm_cmpeq_epi16(v, lt), _mm_cmpeq_epi16(v, amp));
        const __m128i odd = _mm_cmplt_epi16(_mm_add_epi16(v, shift), limit);
        // Tab, LF and CR are found too; they are common and fine, so they are passed over here.
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(delim, odd))); mask != 0; mask &= mask - 1) {
            const char16_t* q = p + (__builtin_ctz(mask) >> 1);
            mask &= mask - 1;  // the other byte of this code unit
            if (*q != u'\n' && *q != u'\t' && *q != u'\r') return q;
        }
        p += 8;
    }
#endif
    while (p != e && *p != a && *p != b && !XmlIsTextOdd(*p)) ++p;
    return p;
}

inline bool XmlAllSpace(const char16_t* s, size_t n) noexcept {
    for (size_t i = 0; i < n; ++i)
        if (!XmlIsSpace(s[i])) return false;
    return true;
}

template <class Source> class TXmlReader {
public:
    TXmlReader(TXmlDocument& doc, Source& src)
        : doc_(doc), src_(src), table_(TXmlAccess::Table(doc)), preserve_(doc.PreserveWhiteSpace()) {
        src_.Begin(p_, e_);
    }

    // Document level: a "</" silently ends the parse.
    void Run() { ParseContent(doc_, 0); }

private:
    [[gnu::always_inline]] bool AtEnd() { return p_ == e_ && !src_.Refill(p_, e_); }

    [[gnu::always_inline]] void RequireChar(char16_t c) {
        if (AtEnd() || *p_ != c) XmlFail(xmlmsg::Expected(std::u16string_view(&c, 1)));
        ++p_;
    }
    [[gnu::always_inline]] void RequireStr(std::u16string_view s) {
        for (char16_t c : s) {
            if (AtEnd() || *p_ != c) XmlFail(xmlmsg::Expected(s));
            ++p_;
        }
    }
    void SkipSpace() {
        while (!AtEnd() && XmlIsSpace(*p_)) ++p_;
    }

    int ReadName() {
        if (AtEnd() || !XmlIsNameStart(*p_)) XmlFail(xmlmsg::kNameStart);
        const char16_t* s = p_++;
        while (p_ != e_ && XmlIsNameChar(*p_)) ++p_;
        if (p_ != e_) return table_->Intern({s, static_cast<size_t>(p_ - s)});
        // The name may go on in the next window of a stream.
        TXmlToken& t = tokens_.Start();
        t.Append(s, static_cast<size_t>(p_ - s));
        while (!AtEnd() && XmlIsNameChar(*p_)) t.Append(*p_++);
        const int id = table_->Intern(t.View());
        tokens_.Finish();
        return id;
    }

    void ParseContent(TXmlNode& parent, int depth) {
        for (;;) {
            ReadText(parent);
            if (AtEnd()) return;
            ++p_;  // the "<"
            if (AtEnd()) return;  // a "<" that ends the input is dropped
            const char16_t c = *p_;
            if (c == u'/') return;
            if (c == u'?') {
                ParseInstruction(parent);
            } else if (c == u'!') {
                ++p_;
                const char16_t k = AtEnd() ? 0 : *p_;
                if (k == u'-')
                    ParseComment(parent);
                else if (k == u'[')
                    ParseCDATA(parent);
                else
                    SkipDoctype();
            } else {
                ParseElement(parent, depth + 1);
            }
        }
    }

    void AddText(TXmlNode& parent, const char16_t* s, size_t n) {
        if (n == 0) return;
        if (!preserve_ && XmlAllSpace(s, n)) return;
        TXmlAccess::AppendNew(parent, new TXmlText(table_, TXmlValue(std::u16string(s, n))));
    }

    void ReadText(TXmlNode& parent) {
        if (AtEnd()) return;
        const char16_t* s = p_;
        p_ = XmlScanText(p_, e_);
        if (p_ != e_ && *p_ == u'<') {  // the usual case: no reference, all in this window
            AddText(parent, s, static_cast<size_t>(p_ - s));
            return;
        }
        // Blank text is dropped as before: a forbidden control replaced by U+FFFD counts as the
        // white space it used to be taken for.
        TXmlToken& t = tokens_.Start();
        bool solid = false;
        auto appendRun = [&](const char16_t* from) {
            const size_t n = static_cast<size_t>(p_ - from);
            t.Append(from, n);
            solid = solid || !XmlAllSpace(from, n);
        };
        appendRun(s);
        while (!AtEnd() && *p_ != u'<') {
            if (*p_ == u'&') {
                ++p_;
                solid = ReadReference(t) || solid;
            } else if (XmlIsTextOdd(*p_)) {
                solid = ReadOddChar(t) || solid;
            } else {
                s = p_;
                p_ = XmlScanText(p_, e_);
                appendRun(s);
            }
        }
        const std::u16string_view v = t.View();
        if (!v.empty() && (preserve_ || solid)) TXmlAccess::AppendNew(parent, new TXmlText(table_, TXmlValue(std::u16string(v))));
        tokens_.Finish();
    }

    // At an odd code unit: appends it, or U+FFFD for a character XML forbids. False for a
    // replaced control (blank before), true otherwise.
    [[gnu::noinline]] bool ReadOddChar(TXmlToken& t) {
        const char16_t c = *p_++;
        if (XmlIsForbiddenControl(c)) {
            t.Append(kXmlReplacement);
            return false;
        }
        if (XmlIsHighSurrogate(c) && !AtEnd() && XmlIsLowSurrogate(*p_)) {  // the pair may straddle two windows
            t.Append(c);
            t.Append(*p_++);
        } else {
            t.Append(c >= 0xD800 && (c <= 0xDFFF || c >= 0xFFFE) ? kXmlReplacement : c);
        }
        return true;
    }

    // After "&": appends what the reference stands for. True when that is not blank.
    bool ReadReference(TXmlToken& t) {
        if (AtEnd()) XmlFail(xmlmsg::kRefExpected);
        if (*p_ == u'#') {
            ++p_;
            if (AtEnd()) XmlFail(xmlmsg::kNumberExpected);
            std::uint32_t v = 0;  // saturates above U+10FFFF, which is refused below
            bool any = false;
            if (*p_ == u'x') {
                ++p_;
                for (int d; !AtEnd() && (d = HexDigitValue(*p_)) >= 0; ++p_, any = true)
                    v = std::min<std::uint32_t>(v * 16 + static_cast<std::uint32_t>(d), 0x110000);
                if (!any) XmlFail(xmlmsg::kHexExpected);
            } else {
                for (; !AtEnd() && *p_ >= u'0' && *p_ <= u'9'; ++p_, any = true)
                    v = std::min<std::uint32_t>(v * 10 + static_cast<std::uint32_t>(*p_ - u'0'), 0x110000);
                if (!any) XmlFail(xmlmsg::kNumberExpected);
            }
            RequireChar(u';');
            char16_t units[2];
            const int n = XmlCharRefUnits(v, units);
            if (n == 0) XmlFail(xmlmsg::kNumberExpected);
            t.Append(units, static_cast<size_t>(n));
            return v > 0x20;  // a replaced control counts as the blank it used to be
        }
        if (!XmlIsNameStart(*p_)) XmlFail(xmlmsg::kNameStart);
        std::u16string name;
        while (!AtEnd() && XmlIsNameChar(*p_)) name += *p_++;
        RequireChar(u';');
        if (const char16_t c = PredefinedEntity(name)) {
            t.Append(c);
            return true;
        }
        if (const auto it = entities_.find(name); it != entities_.end()) {
            const std::u16string& value = it->second;
            expanded_ += value.size();
            if (expanded_ > kXmlMaxEntityExpansion) XmlFail(xmlmsg::kTooMuchExpansion);
            t.Append(value.data(), value.size());
            return !XmlAllSpace(value.data(), value.size());
        }
        if (latin1_) {
            if (const char16_t c = XmlLatin1Entity(name)) {
                t.Append(c);
                return true;
            }
        }
        XmlFail(xmlmsg::kBadRefName);
    }

    static char16_t PredefinedEntity(std::u16string_view name) noexcept {
        if (name == u"amp") return u'&';
        if (name == u"lt") return u'<';
        if (name == u"gt") return u'>';
        if (name == u"quot") return u'"';
        if (name == u"apos") return u'\'';
        return 0;
    }

    void ReadAttributes(TXmlNode& node) {
        SkipSpace();
        while (!AtEnd() && XmlIsNameStart(*p_)) {
            const int id = ReadName();
            SkipSpace();
            RequireChar(u'=');
            SkipSpace();
            if (AtEnd()) XmlFail(xmlmsg::kAttrValueExpected);
            const char16_t q = *p_;
            if (q != u'"' && q != u'\'') XmlFail(xmlmsg::kStringConstExpected);
            ++p_;
            TXmlToken& t = tokens_.Start();
            for (;;) {
                if (AtEnd()) XmlFail(xmlmsg::Expected(std::u16string_view(&q, 1)));
                const char16_t c = *p_;
                if (c == q) {
                    ++p_;
                    break;
                }
                if (c == u'<') XmlFail(xmlmsg::kLtInAttr);
                if (c == u'&') {
                    ++p_;
                    ReadReference(t);
                    continue;
                }
                if (XmlIsTextOdd(c)) {
                    ReadOddChar(t);
                    continue;
                }
                const char16_t* s = p_;
                while (p_ != e_ && *p_ != q && *p_ != u'<' && *p_ != u'&' && !XmlIsTextOdd(*p_)) ++p_;
                t.Append(s, static_cast<size_t>(p_ - s));
            }
            TXmlAccess::AttrSlot(node, id).Value = TXmlValue(t.View());
            tokens_.Finish();
            SkipSpace();
        }
    }

    void ParseElement(TXmlNode& parent, int depth) {
        if (depth > kXmlMaxDepth) XmlFail(xmlmsg::kTooDeep);
        const int id = ReadName();
        if (AtEnd()) XmlFail(xmlmsg::kElementUnfinished);
        const char16_t c = *p_;
        if (!XmlIsSpace(c) && c != u'/' && c != u'>') XmlFail(xmlmsg::kElementNameChar);
        auto* element = new TXmlElement(table_, id);
        TXmlAccess::AppendNew(parent, element);
        ReadAttributes(*element);
        if (!AtEnd() && *p_ == u'/') {
            RequireStr(u"/>");
            return;
        }
        RequireChar(u'>');
        ParseContent(*element, depth);
        RequireChar(u'/');
        RequireStr(table_->Name(id));
        SkipSpace();
        RequireChar(u'>');
    }

    // Collects up to the terminator. Checking the collected text's end after each terminator's
    // last character restarts a failed partial match correctly ("--->" ends "x-").
    std::u16string ReadUntil(std::u16string_view term) {
        TXmlToken& t = tokens_.Start();
        const char16_t last = term.back();
        bool odd = false;  // a character that may need replacing was seen
        for (;;) {
            if (AtEnd()) XmlFail(xmlmsg::Expected(term));
            const char16_t* s = p_;
            p_ = XmlScanText(p_, e_, last, last);
            if (p_ == e_) {
                t.Append(s, static_cast<size_t>(p_ - s));
                continue;
            }
            const bool atLast = *p_ == last;
            odd = odd || !atLast;
            ++p_;
            t.Append(s, static_cast<size_t>(p_ - s));
            if (atLast && t.EndsWith(term)) break;
        }
        std::u16string text(t.View().substr(0, t.View().size() - term.size()));
        tokens_.Finish();
        if (odd) XmlScrub(text);
        return text;
    }

    void ParseInstruction(TXmlNode& parent) {
        ++p_;  // the "?"
        const int id = ReadName();
        auto* pi = new TXmlProcessingInstruction(table_, id, {});
        TXmlAccess::AppendNew(parent, pi);
        if (id == TXmlNameTable::kXmlId) {
            ReadAttributes(*pi);
            RequireStr(u"?>");
        } else {
            pi->SetData(ReadUntil(u"?>"));
        }
    }

    void ParseComment(TXmlNode& parent) {
        RequireStr(u"--");
        TXmlAccess::AppendNew(parent, new TXmlComment(table_, ReadUntil(u"-->")));
    }

    void ParseCDATA(TXmlNode& parent) {
        RequireStr(u"[CDATA[");
        TXmlAccess::AppendNew(parent, new TXmlCDATASection(table_, ReadUntil(u"]]>")));
    }

    // Nothing of a document type declaration becomes a node. Quoted literals and the internal
    // subset are skipped whole, so a ">" or "<rss>" inside them does not end the declaration.
    [[gnu::noinline]] void SkipDoctype() {
        RequireStr(u"DOCTYPE");
        for (;;) {
            if (AtEnd()) XmlFail(xmlmsg::Expected(u">"));
            const char16_t c = *p_++;
            if (c == u'>') return;
            if (c == u'"' || c == u'\'') {
                if (ReadQuoted(c) == kXmlRss091PublicId) latin1_ = true;
            } else if (c == u'[') {
                ReadInternalSubset();
            }
        }
    }

    // After an opening quote: the literal up to the matching quote, which is consumed.
    std::u16string ReadQuoted(char16_t q) {
        TXmlToken& t = tokens_.Start();
        for (;;) {
            if (AtEnd()) XmlFail(xmlmsg::Expected(std::u16string_view(&q, 1)));
            const char16_t* s = p_;
            while (p_ != e_ && *p_ != q) ++p_;
            t.Append(s, static_cast<size_t>(p_ - s));
            if (p_ != e_) break;
        }
        ++p_;
        std::u16string text(t.View());
        tokens_.Finish();
        return text;
    }

    // After "[": declarations, comments, instructions and parameter-entity references up to the
    // closing "]". Internal general entities are kept; every other declaration is skipped.
    void ReadInternalSubset() {
        for (;;) {
            if (AtEnd()) XmlFail(xmlmsg::Expected(u"]"));
            const char16_t c = *p_++;
            if (c == u']') return;
            if (c == u'"' || c == u'\'') {
                ReadQuoted(c);
                continue;
            }
            if (c != u'<' || AtEnd()) continue;
            if (*p_ == u'?') {
                ReadUntil(u"?>");
                continue;
            }
            if (*p_ != u'!') continue;
            ++p_;
            if (!AtEnd() && *p_ == u'-') {
                RequireStr(u"--");
                ReadUntil(u"-->");
                continue;
            }
            if (ReadKeyword() == u"ENTITY") ReadEntityDeclaration();
            SkipDeclaration();
        }
    }

    std::u16string ReadKeyword() {
        std::u16string word;
        while (!AtEnd() && XmlIsNameChar(*p_) && word.size() < 16) word += *p_++;
        return word;
    }

    // After "<!ENTITY": keeps a general entity with a quoted plain-text value; the first
    // declaration of a name wins and the five predefined names stay as they are. Stops before
    // the declaration's closing ">".
    void ReadEntityDeclaration() {
        SkipSpace();
        if (AtEnd() || !XmlIsNameStart(*p_)) return;  // a parameter entity, or not a name
        std::u16string name;
        while (!AtEnd() && XmlIsNameChar(*p_)) name += *p_++;
        SkipSpace();
        if (AtEnd() || (*p_ != u'"' && *p_ != u'\'')) return;  // an external entity
        const char16_t q = *p_++;
        const std::u16string literal = ReadQuoted(q);
        std::u16string value;
        if (PredefinedEntity(name) == 0 && !entities_.contains(name) && XmlPlainEntityValue(literal, value))
            entities_.emplace(std::move(name), std::move(value));
    }

    // Up to and including the ">" that ends a declaration, quoted literals skipped whole.
    void SkipDeclaration() {
        for (;;) {
            if (AtEnd()) XmlFail(xmlmsg::Expected(u">"));
            const char16_t c = *p_++;
            if (c == u'>') return;
            if (c == u'"' || c == u'\'') ReadQuoted(c);
        }
    }

    TXmlDocument& doc_;
    Source& src_;
    TXmlNameTable* table_;
    bool preserve_;
    const char16_t* p_ = nullptr;
    const char16_t* e_ = nullptr;
    TXmlTokenStack tokens_;
    std::unordered_map<std::u16string, std::u16string> entities_;
    size_t expanded_ = 0;  // code units of declared entities expanded so far
    bool latin1_ = false;  // the RSS 0.91 document type: HTML Latin-1 entity names are known
};

}  // namespace

void XmlParseText(TXmlDocument& doc, std::u16string_view text) {
    TXmlStrSource src(text);
    TXmlReader<TXmlStrSource>(doc, src).Run();
}

void XmlParseStream(TXmlDocument& doc, std::istream& stream, std::string_view prefix) {
    TXmlStmSource src(stream, prefix);
    TXmlReader<TXmlStmSource>(doc, src).Run();
}

void TXmlDocument::LoadXML(std::u16string_view text) {
    if (text.size() >= kXmlBinarySignature.size() &&
        text.substr(0, kXmlBinarySignature.size()) == std::u16string(kXmlBinarySignature.begin(), kXmlBinarySignature.end())) {
        LoadBinary(XmlNarrowAnsi(text));
        return;
    }
    ResetContent();
    XmlParseText(*this, text);
}

void TXmlDocument::LoadUtf8XML(std::string_view bytes) {
    if (bytes.substr(0, kXmlBinarySignature.size()) == kXmlBinarySignature) {
        LoadBinary(bytes);
        return;
    }
    if (!XmlIsUtf8(bytes)) {
        LoadXML(XmlWidenAnsi(bytes));
        return;
    }
    ResetContent();
    TXmlUtf8Source src(bytes);
    TXmlReader<TXmlUtf8Source>(*this, src).Run();
}

void TXmlDocument::Load(std::istream& stream) {
    char head[14];
    stream.read(head, sizeof head);
    const std::string_view prefix(head, static_cast<size_t>(stream.gcount()));
    if (prefix == kXmlBinarySignature && stream.peek() != std::char_traits<char>::eof()) {
        std::string bytes(prefix);
        char buf[65536];
        while (stream.read(buf, sizeof buf) || stream.gcount() > 0) bytes.append(buf, static_cast<size_t>(stream.gcount()));
        LoadBinary(bytes);
        return;
    }
    stream.clear(stream.rdstate() & ~std::ios::failbit);
    ResetContent();
    XmlParseStream(*this, stream, prefix);
}

void TXmlDocument::Load(const std::filesystem::path& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) XmlFail(xmlmsg::Quoted(u"Не удается открыть файл \"%s\"", fileName.u16string()));
    Load(in);
}

}  // namespace tw
