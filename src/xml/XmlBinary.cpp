// The binary form: signature, options, the name table, then the document as nested node records.
//
// Integers are compact: 0..127 one byte; then two bytes, high byte first with its top bit set;
// else 255 and four bytes, low first. The two-byte form stops at 32511: from 32512 on its first
// byte would be 255, which the reader takes for the four-byte marker, so those values use the
// long form. Narrow strings are UTF-8 (the 8-bit text of the program).
#include <cstring>
#include <fstream>

#include "xml/XmlDom.h"
#include "xml/XmlInternal.h"

namespace tw {

namespace {

constexpr std::uint32_t kWideStrings = 1;
constexpr std::int32_t kMaxShortCompact = 0x7EFF;

class TXmlBinWriter {
public:
    TXmlBinWriter(std::string& out, bool wide) : out_(out), wide_(wide) {}

    void Bytes(const void* p, size_t n) { out_.append(static_cast<const char*>(p), n); }
    void U8(std::uint8_t b) { out_ += static_cast<char>(b); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void U64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void Compact(std::int64_t v) {
        if (v >= 0 && v <= 127) {
            U8(static_cast<std::uint8_t>(v));
        } else if (v >= 128 && v <= kMaxShortCompact) {
            U8(static_cast<std::uint8_t>(0x80 | (v >> 8)));
            U8(static_cast<std::uint8_t>(v));
        } else {
            U8(255);
            U32(static_cast<std::uint32_t>(v));
        }
    }
    void WideString(std::u16string_view s) {
        Compact(static_cast<std::int64_t>(s.size()));
        for (char16_t c : s) U16(c);
    }
    void NarrowString(std::string_view s) {
        Compact(static_cast<std::int64_t>(s.size()));
        Bytes(s.data(), s.size());
    }
    void String(std::u16string_view s) {
        if (wide_)
            WideString(s);
        else
            NarrowString(XmlToUtf8(s));
    }

    void Value(const TXmlValue& v) {
        Compact(static_cast<std::int64_t>(v.Type()));
        struct Visitor {
            TXmlBinWriter& w;
            void operator()(std::monostate) const {}
            void operator()(TXmlNull) const {}
            void operator()(std::int16_t x) const { w.U16(static_cast<std::uint16_t>(x)); }
            void operator()(std::int32_t x) const { w.U32(static_cast<std::uint32_t>(x)); }
            void operator()(float x) const {
                std::uint32_t u;
                std::memcpy(&u, &x, 4);
                w.U32(u);
            }
            void operator()(double x) const {
                std::uint64_t u;
                std::memcpy(&u, &x, 8);
                w.U64(u);
            }
            void operator()(TXmlCurrency x) const { w.U64(static_cast<std::uint64_t>(x.Scaled)); }
            void operator()(TXmlDateTime x) const { (*this)(x.Days); }
            void operator()(const std::u16string& x) const { w.WideString(x); }
            void operator()(bool x) const { w.U16(x ? 0xFFFF : 0); }
            void operator()(std::uint8_t x) const { w.U8(x); }
            void operator()(const std::string& x) const { w.NarrowString(x); }
            void operator()(const std::vector<std::uint8_t>& x) const {
                w.Compact(static_cast<std::int64_t>(x.size()));
                w.Bytes(x.data(), x.size());
            }
        };
        std::visit(Visitor{*this}, v.Get());
    }

    void Table(const TXmlNameTable& t) {
        Compact(t.Count());
        for (int i = 0; i < t.Count(); ++i) String(t.Name(i));
        Compact(t.BucketCount());
        int used = 0;
        for (int i = 0; i < t.BucketCount(); ++i) used += !t.Bucket(i).empty();
        Compact(used);
        for (int i = 0; i < t.BucketCount(); ++i) {
            const std::vector<int>& b = t.Bucket(i);
            if (b.empty()) continue;
            Compact(i);
            Compact(static_cast<std::int64_t>(b.size()));
            for (int id : b) U32(static_cast<std::uint32_t>(id));
        }
    }

    void Record(const TXmlNode& n) {
        Compact(n.AttrCount());
        for (int i = 0; i < n.AttrCount(); ++i) {
            Compact(n.NameTable().Find(n.AttrName(i)));
            Value(n.AttrValue(i));
        }
        Compact(n.ChildCount());
        for (int i = 0; i < n.ChildCount(); ++i) Child(*n.Child(i));
    }

    void Child(const TXmlNode& c) {
        const int type = c.NodeType();
        switch (type) {
        case XML_ELEMENT_NODE: {
            const auto& e = static_cast<const TXmlElement&>(c);
            U8(1);
            Compact(e.NameId());
            const TXmlValue* v = TXmlAccess::ElementValue(e);
            Value(v && !e.HasChildNodes() ? *v : TXmlValue());
            Record(e);
            break;
        }
        case XML_TEXT_NODE:
            U8(3);
            Value(static_cast<const TXmlText&>(c).Value());
            break;
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
            U8(static_cast<std::uint8_t>(type));
            String(static_cast<const TXmlCharacterData&>(c).Data());
            break;
        case XML_PROCESSING_INSTRUCTION_NODE: {
            const auto& pi = static_cast<const TXmlProcessingInstruction&>(c);
            U8(7);
            Compact(pi.NameId());
            String(pi.Data());
            Record(pi);
            break;
        }
        default: XmlFail(xmlmsg::kBinaryWriteNode);
        }
    }

private:
    std::string& out_;
    bool wide_;
};

class TXmlBinReader {
public:
    TXmlBinReader(std::string_view in, TXmlNameTable& table) : p_(in.data()), e_(in.data() + in.size()), table_(table) {}

    void Need(size_t n) const {
        if (static_cast<size_t>(e_ - p_) < n) XmlFail(xmlmsg::kDataRead);
    }
    std::uint8_t U8() {
        Need(1);
        return static_cast<std::uint8_t>(*p_++);
    }
    std::uint16_t U16() {
        Need(2);
        const auto* b = reinterpret_cast<const unsigned char*>(p_);
        p_ += 2;
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    std::uint32_t U32() {
        Need(4);
        const auto* b = reinterpret_cast<const unsigned char*>(p_);
        p_ += 4;
        return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }
    std::uint64_t U64() {
        const std::uint64_t lo = U32();
        return lo | (static_cast<std::uint64_t>(U32()) << 32);
    }
    std::int32_t Compact() {
        const std::uint8_t b = U8();
        if (b == 255) return static_cast<std::int32_t>(U32());
        if (b & 0x80) return ((b & 0x7F) << 8) | U8();
        return b;
    }
    // A count of items each taking at least minBytes: more than the input holds is corrupt.
    size_t Count(size_t minBytes = 1) {
        const std::int32_t n = Compact();
        if (n < 0) XmlFail(xmlmsg::kDataRead);
        Need(static_cast<size_t>(n) * minBytes);
        return static_cast<size_t>(n);
    }
    std::u16string WideString() {
        const size_t n = Count(2);
        std::u16string s(n, u'\0');
        for (size_t i = 0; i < n; ++i) s[i] = U16();
        return s;
    }
    std::string NarrowString() {
        const size_t n = Count(1);
        std::string s(p_, n);
        p_ += n;
        return s;
    }
    std::u16string String() { return wide_ ? WideString() : XmlFromUtf8(NarrowString()); }

    TXmlValue Value() {
        const std::int32_t type = Compact();
        switch (type) {
        case 0: return TXmlValue();
        case 1: return TXmlValue::Null();
        case 2: return TXmlValue(static_cast<std::int16_t>(U16()));
        case 11: return TXmlValue(U16() != 0);
        case 3: return TXmlValue(static_cast<std::int32_t>(U32()));
        case 4: {
            const std::uint32_t u = U32();
            float f;
            std::memcpy(&f, &u, 4);
            return TXmlValue(f);
        }
        case 5:
        case 7: {
            const std::uint64_t u = U64();
            double d;
            std::memcpy(&d, &u, 8);
            return type == 5 ? TXmlValue(d) : TXmlValue(TXmlDateTime{d});
        }
        case 6: return TXmlValue(TXmlCurrency{static_cast<std::int64_t>(U64())});
        case 8: return TXmlValue(WideString());
        case 17: return TXmlValue(U8());
        case 256: return TXmlValue(NarrowString());
        case 8209: {
            const size_t n = Count(1);
            std::vector<std::uint8_t> bytes(p_, p_ + n);
            p_ += n;
            return TXmlValue(std::move(bytes));
        }
        default: XmlFail(xmlmsg::kValueReadType);
        }
    }

    void Header() {
        Need(kXmlBinarySignature.size());
        if (std::string_view(p_, kXmlBinarySignature.size()) != kXmlBinarySignature) XmlFail(xmlmsg::kDataRead);
        p_ += kXmlBinarySignature.size();
        wide_ = (U32() & kWideStrings) != 0;
    }

    // Stored ids map onto the fresh table's ids; the stored buckets are checked and rebuilt by
    // hashing, so a damaged bucket section cannot make lookups lie.
    void Table() {
        const size_t count = Count(1);
        ids_.resize(count);
        for (size_t i = 0; i < count; ++i) ids_[i] = table_.Intern(String());
        const std::int32_t buckets = Compact();
        const size_t used = Count(2);
        if (buckets < 0 || used > static_cast<size_t>(buckets)) XmlFail(xmlmsg::kDataRead);
        for (size_t i = 0; i < used; ++i) {
            const std::int32_t index = Compact();
            if (index < 0 || index >= buckets) XmlFail(xmlmsg::kDataRead);
            const size_t n = Count(4);
            for (size_t k = 0; k < n; ++k)
                if (U32() >= count) XmlFail(xmlmsg::kDataRead);
        }
    }

    int Id() {
        const std::int32_t id = Compact();
        if (id < 0 || static_cast<size_t>(id) >= ids_.size() || ids_[static_cast<size_t>(id)] < 0) XmlFail(xmlmsg::kDataRead);
        return ids_[static_cast<size_t>(id)];
    }

    void Record(TXmlNode& n, int depth) {
        for (size_t i = Count(2); i > 0; --i) {
            const int id = Id();
            TXmlAccess::AttrSlot(n, id).Value = Value();
        }
        for (size_t i = Count(1); i > 0; --i) Child(n, depth);
    }

    void Child(TXmlNode& parent, int depth) {
        const std::uint8_t type = U8();
        TXmlNameTable* t = &table_;
        switch (type) {
        case 1: {
            if (depth + 1 > kXmlMaxDepth) XmlFail(xmlmsg::kTooDeep);
            auto* e = new TXmlElement(t, Id());
            TXmlAccess::AppendNew(parent, e);
            TXmlValue v = Value();
            if (!v.IsEmpty()) TXmlAccess::SetElementValue(*e, std::move(v));
            Record(*e, depth + 1);
            break;
        }
        case 3: TXmlAccess::AppendNew(parent, new TXmlText(t, Value())); break;
        case 4: TXmlAccess::AppendNew(parent, new TXmlCDATASection(t, String())); break;
        case 8: TXmlAccess::AppendNew(parent, new TXmlComment(t, String())); break;
        case 7: {
            // Instructions carry a node record too, so they count as a level.
            if (depth + 1 > kXmlMaxDepth) XmlFail(xmlmsg::kTooDeep);
            const int id = Id();
            auto* pi = new TXmlProcessingInstruction(t, id, String());
            TXmlAccess::AppendNew(parent, pi);
            Record(*pi, depth + 1);
            break;
        }
        default: XmlFail(xmlmsg::kBinaryReadNode);
        }
    }

private:
    const char* p_;
    const char* e_;
    TXmlNameTable& table_;
    bool wide_ = false;
    std::vector<int> ids_;
};

}  // namespace

void XmlWriteBinary(const TXmlDocument& doc, std::string& out, bool wide) {
    TXmlBinWriter w(out, wide);
    w.Bytes(kXmlBinarySignature.data(), kXmlBinarySignature.size());
    w.U32(wide ? kWideStrings : 0);
    w.Table(doc.NameTable());
    w.Record(doc);
}

void XmlReadBinary(TXmlDocument& doc, std::string_view bytes) {
    XmlPtr<TXmlNameTable> table(new TXmlNameTable(TXmlNameTable::kDefaultBuckets));
    TXmlAccess::SetTable(doc, table.get());
    TXmlBinReader r(bytes, *table);
    r.Header();
    r.Table();
    r.Record(doc, 0);
}

void TXmlDocument::LoadBinary(std::string_view bytes) {
    ResetContent();
    XmlReadBinary(*this, bytes);
}

std::string TXmlDocument::BinaryXML(bool wideStrings) const {
    std::string out;
    XmlWriteBinary(*this, out, wideStrings);
    return out;
}

void TXmlDocument::SaveBinary(std::ostream& stream, bool wideStrings) const {
    // Written through a 64 KiB buffer.
    const std::string bytes = BinaryXML(wideStrings);
    for (size_t at = 0; at < bytes.size(); at += 65536)
        stream.write(bytes.data() + at, static_cast<std::streamsize>(std::min<size_t>(65536, bytes.size() - at)));
    if (!stream) XmlFail(u"Ошибка записи данных.");
}

void TXmlDocument::SaveBinary(const std::filesystem::path& fileName, bool wideStrings) const {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) XmlFail(xmlmsg::Quoted(u"Не удается создать файл \"%s\"", fileName.u16string()));
    SaveBinary(out, wideStrings);
    out.close();
    if (!out) XmlFail(xmlmsg::Quoted(u"Ошибка записи в файл \"%s\"", fileName.u16string()));
}

}  // namespace tw
