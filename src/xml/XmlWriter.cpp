// The writer: a node tree back to markup, and Save.
//
// Layout when white space is not preserved: an element starts on a new line (CR LF and one tab
// per nesting level) and, when its content holds line breaks, closes on a line of its own. Both
// happen only among element-only content: a line break put next to a text or CDATA sibling would
// become part of that text when read back, and the text would grow with every save.
#include <fstream>

#include "xml/XmlDom.h"
#include "xml/XmlInternal.h"

namespace tw {

namespace {

void AppendEscaped(std::u16string& out, std::u16string_view s) {
    size_t from = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        const char16_t* rep = nullptr;
        switch (c) {
        case u'&': rep = u"&amp;"; break;
        case u'<': rep = u"&lt;"; break;
        case u'>': rep = u"&gt;"; break;
        case u'"': rep = u"&quot;"; break;
        default: continue;
        }
        out.append(s.data() + from, i - from);
        out += rep;
        from = i + 1;
    }
    out.append(s.data() + from, s.size() - from);
}

void AppendValueText(std::u16string& out, const TXmlValue& v) {
    if (const auto* s = v.If<std::u16string>())
        AppendEscaped(out, *s);
    else
        AppendEscaped(out, v.ToText());
}

void AppendAttributes(std::u16string& out, const TXmlNode& n) {
    for (int i = 0; i < n.AttrCount(); ++i) {
        out += u' ';
        out += n.AttrName(i);
        out += u"=\"";
        AppendValueText(out, n.AttrValue(i));
        out += u'"';
    }
}

// A "]]>" inside the text splits it into sections so that reading back gives the whole text.
void AppendCDATA(std::u16string& out, std::u16string_view s) {
    for (;;) {
        const size_t at = s.find(u"]]>");
        out += u"<![CDATA[";
        if (at == std::u16string_view::npos) {
            out += s;
            out += u"]]>";
            return;
        }
        out += s.substr(0, at + 1);
        out += u"]]>";
        s = s.substr(at + 1);
    }
}

bool HasTextChild(const TXmlNode& n) {
    for (int i = 0; i < n.ChildCount(); ++i) {
        const int t = n.Child(i)->NodeType();
        if (t == XML_TEXT_NODE || t == XML_CDATA_SECTION_NODE) return true;
    }
    return false;
}

bool HasLineBreak(std::u16string_view s) { return s.find_first_of(u"\r\n") != std::u16string_view::npos; }

class TXmlWriter {
public:
    TXmlWriter(std::u16string& out, bool preserve) : out_(out), layout_(!preserve) {}

    // level: element ancestors; indent: this node may start on a new line.
    void Write(const TXmlNode& n, int level, bool indent) {
        switch (n.NodeType()) {
        case XML_ELEMENT_NODE: WriteElement(static_cast<const TXmlElement&>(n), level, indent); break;
        case XML_TEXT_NODE: AppendValueText(out_, static_cast<const TXmlText&>(n).Value()); break;
        case XML_CDATA_SECTION_NODE: AppendCDATA(out_, static_cast<const TXmlCharacterData&>(n).Data()); break;
        case XML_COMMENT_NODE:
            out_ += u"<!--";
            out_ += static_cast<const TXmlCharacterData&>(n).Data();
            out_ += u"-->";
            break;
        case XML_PROCESSING_INSTRUCTION_NODE: WriteInstruction(static_cast<const TXmlProcessingInstruction&>(n)); break;
        case XML_DOCUMENT_NODE: WriteChildren(n, 0); break;
        default: break;
        }
    }

private:
    void WriteChildren(const TXmlNode& n, int level) {
        const bool indent = layout_ && !HasTextChild(n);
        for (int i = 0; i < n.ChildCount(); ++i) Write(*n.Child(i), level, indent);
    }

    void WriteInstruction(const TXmlProcessingInstruction& pi) {
        out_ += u"<?";
        out_ += pi.Target();
        const std::u16string& text = pi.Data();
        if (!text.empty()) {
            // Text read from markup keeps the white space after the target; adding a
            // separator again would grow it by one space on every save.
            if (!XmlIsSpace(text[0])) out_ += u' ';
            out_ += text;
        } else {
            AppendAttributes(out_, pi);
        }
        out_ += u"?>";
    }

    void Indent(int level) {
        out_ += u"\r\n";
        out_.append(static_cast<size_t>(level), u'\t');
    }

    void WriteElement(const TXmlElement& e, int level, bool indent) {
        if (indent) Indent(level);
        out_ += u'<';
        out_ += e.NodeName();
        AppendAttributes(out_, e);
        const size_t start = out_.size() + 1;
        bool elementOnly = false;
        if (e.HasChildNodes()) {
            out_ += u'>';
            WriteChildren(e, level + 1);
            elementOnly = !HasTextChild(e);
        } else {
            const TXmlValue* v = TXmlAccess::ElementValue(e);
            const size_t before = out_.size();
            out_ += u'>';
            if (v) AppendValueText(out_, *v);
            if (out_.size() == before + 1) {  // empty content
                out_.resize(before);
                out_ += u"/>";
                return;
            }
        }
        const std::u16string_view content(out_.data() + start, out_.size() - start);
        if (layout_ && elementOnly && HasLineBreak(content)) {
            if (!content.ends_with(u"\r\n")) out_ += u"\r\n";
            out_.append(static_cast<size_t>(level), u'\t');
        }
        out_ += u"</";
        out_ += e.NodeName();
        out_ += u'>';
    }

    std::u16string& out_;
    bool layout_;
};

}  // namespace

void XmlWriteMarkup(const TXmlNode& node, std::u16string& out) {
    int level = 0;
    for (const TXmlNode* p = node.ParentNode(); p; p = p->ParentNode())
        if (p->NodeType() == XML_ELEMENT_NODE) ++level;
    const TXmlNode* parent = node.ParentNode();
    const bool preserve = node.PreserveWhiteSpace();
    const bool indent = !preserve && (!parent || !HasTextChild(*parent));
    TXmlWriter(out, preserve).Write(node, level, indent);
}

void TXmlDocument::Save(std::ostream& stream) const {
    const std::u16string text = XML();
    std::string bytes(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!stream) XmlFail(u"Ошибка записи данных.");
}

void TXmlDocument::Save(const std::filesystem::path& fileName) const {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) XmlFail(xmlmsg::Quoted(u"Не удается создать файл \"%s\"", fileName.u16string()));
    Save(out);
    out.close();
    if (!out) XmlFail(xmlmsg::Quoted(u"Ошибка записи в файл \"%s\"", fileName.u16string()));
}

}  // namespace tw
