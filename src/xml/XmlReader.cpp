// The reader: a recursive-descent parser over a character source, building the node tree.
// No DTD processing, no namespaces, no character-set detection beyond what Load documents.
#include <algorithm>
#include <cstring>
#include <fstream>
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

// The first of two characters at or after p (before e), or e: the text scan of the reader.
inline const char16_t* XmlScanFor(const char16_t* p, const char16_t* e, char16_t a, char16_t b) {
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
    while (e - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb)));
        if (mask != 0) return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
        p += 8;
    }
#endif
    while (p != e && *p != a && *p != b) ++p;
    return p;
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
    bool AtEnd() { return p_ == e_ && !src_.Refill(p_, e_); }

    void RequireChar(char16_t c) {
        if (AtEnd() || *p_ != c) XmlFail(xmlmsg::Expected(std::u16string_view(&c, 1)));
        ++p_;
    }
    void RequireStr(std::u16string_view s) {
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
        if (!preserve_) {
            size_t i = 0;
            while (i < n && XmlIsSpace(s[i])) ++i;
            if (i == n) return;
        }
        TXmlAccess::AppendNew(parent, new TXmlText(table_, TXmlValue(std::u16string(s, n))));
    }

    void ReadText(TXmlNode& parent) {
        if (AtEnd()) return;
        const char16_t* s = p_;
        p_ = XmlScanFor(p_, e_, u'<', u'&');
        if (p_ != e_ && *p_ == u'<') {  // the usual case: no reference, all in this window
            AddText(parent, s, static_cast<size_t>(p_ - s));
            return;
        }
        TXmlToken& t = tokens_.Start();
        t.Append(s, static_cast<size_t>(p_ - s));
        while (!AtEnd() && *p_ != u'<') {
            if (*p_ == u'&') {
                ++p_;
                ReadReference(t);
                continue;
            }
            s = p_;
            p_ = XmlScanFor(p_, e_, u'<', u'&');
            t.Append(s, static_cast<size_t>(p_ - s));
        }
        const std::u16string_view v = t.View();
        AddText(parent, v.data(), v.size());
        tokens_.Finish();
    }

    // After "&": appends the character the reference stands for.
    void ReadReference(TXmlToken& t) {
        if (AtEnd()) XmlFail(xmlmsg::kRefExpected);
        if (*p_ == u'#') {
            ++p_;
            if (AtEnd()) XmlFail(xmlmsg::kNumberExpected);
            std::uint32_t v = 0;  // wraps; only the low 16 bits are kept
            bool any = false;
            if (*p_ == u'x') {
                ++p_;
                for (int d; !AtEnd() && (d = HexDigitValue(*p_)) >= 0; ++p_, any = true) v = v * 16 + static_cast<std::uint32_t>(d);
                if (!any) XmlFail(xmlmsg::kHexExpected);
            } else {
                for (; !AtEnd() && *p_ >= u'0' && *p_ <= u'9'; ++p_, any = true) v = v * 10 + (*p_ - u'0');
                if (!any) XmlFail(xmlmsg::kNumberExpected);
            }
            RequireChar(u';');
            t.Append(static_cast<char16_t>(v & 0xFFFF));
            return;
        }
        if (!XmlIsNameStart(*p_)) XmlFail(xmlmsg::kNameStart);
        std::u16string name;
        while (!AtEnd() && XmlIsNameChar(*p_)) name += *p_++;
        RequireChar(u';');
        if (name == u"amp")
            t.Append(u'&');
        else if (name == u"lt")
            t.Append(u'<');
        else if (name == u"gt")
            t.Append(u'>');
        else if (name == u"quot")
            t.Append(u'"');
        else if (name == u"apos")
            t.Append(u'\'');
        else
            XmlFail(xmlmsg::kBadRefName);
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
                const char16_t* s = p_;
                while (p_ != e_ && *p_ != q && *p_ != u'<' && *p_ != u'&') ++p_;
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
        for (;;) {
            if (AtEnd()) XmlFail(xmlmsg::Expected(term));
            const char16_t* s = p_;
            p_ = XmlScanFor(p_, e_, last, last);
            if (p_ == e_) {
                t.Append(s, static_cast<size_t>(p_ - s));
                continue;
            }
            ++p_;
            t.Append(s, static_cast<size_t>(p_ - s));
            if (t.EndsWith(term)) break;
        }
        std::u16string text(t.View().substr(0, t.View().size() - term.size()));
        tokens_.Finish();
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

    // Nothing of a document type declaration is kept; an internal subset holding ">" ends early.
    void SkipDoctype() {
        RequireStr(u"DOCTYPE");
        for (;;) {
            if (AtEnd()) XmlFail(xmlmsg::Expected(u">"));
            if (*p_++ == u'>') return;
        }
    }

    TXmlDocument& doc_;
    Source& src_;
    TXmlNameTable* table_;
    bool preserve_;
    const char16_t* p_ = nullptr;
    const char16_t* e_ = nullptr;
    TXmlTokenStack tokens_;
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
