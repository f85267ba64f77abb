// Our reader beside expat on the same UTF-8 bytes: where both accept a document, the stream of
// elements, attributes and text under the root must be the same. Expat is told the bytes are
// UTF-8 whatever they declare, as our reader reads them. Left out, as the two differ by design:
// carriage returns (expat normalises line ends; raw ones skip the input, and one spelled by a
// reference, which in an entity's value reaches an attribute as a space in expat, is mapped on
// both sides: to a line feed in text, to a space in attributes), documents where expat skips an
// entity it cannot see (an external subset, the RSS 0.91 names), and attribute white space (expat
// normalises tab and line feed to a space, so both sides map them to one).
#include <expat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "xml/XmlDom.h"

namespace {

// Records: '\1' then text, '<' name ' ' attr '=' value ... '>', and '/' for an end tag. Controls
// never reach either stream from an accepted document, so '\1' and '\2' cannot be forged.
struct Stream {
    std::string out;
    std::string text;
    bool skipped = false;

    void Flush() {
        if (text.empty()) return;
        out += '\1';
        for (char c : text) out += c == '\r' ? '\n' : c;
        text.clear();
    }
    void Start(std::string_view name) {
        Flush();
        out += '<';
        out += name;
    }
    void Attr(std::string_view name, std::string_view value) {
        out += '\2';
        out += name;
        out += '=';
        for (char c : value) out += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
    }
    void End() {
        Flush();
        out += '/';
    }
};

void XMLCALL OnStart(void* ud, const XML_Char* name, const XML_Char** atts) {
    auto* s = static_cast<Stream*>(ud);
    s->Start(name);
    for (int i = 0; atts[i]; i += 2) s->Attr(atts[i], atts[i + 1]);
    s->out += '>';
}
void XMLCALL OnEnd(void* ud, const XML_Char*) { static_cast<Stream*>(ud)->End(); }
void XMLCALL OnText(void* ud, const XML_Char* t, int len) { static_cast<Stream*>(ud)->text.append(t, static_cast<size_t>(len)); }
void XMLCALL OnSkipped(void* ud, const XML_Char*, int) { static_cast<Stream*>(ud)->skipped = true; }

bool ReadWithExpat(std::string_view bytes, Stream& s) {
    XML_Parser p = XML_ParserCreate("UTF-8");
    XML_SetUserData(p, &s);
    XML_SetElementHandler(p, OnStart, OnEnd);
    XML_SetCharacterDataHandler(p, OnText);
    XML_SetSkippedEntityHandler(p, OnSkipped);
    const bool ok = XML_Parse(p, bytes.data(), static_cast<int>(bytes.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(p);
    return ok;
}

void Walk(const tw::TXmlNode& e, Stream& s) {
    s.Start(tw::XmlToUtf8(e.NodeName()));
    for (int i = 0; i < e.AttrCount(); ++i) s.Attr(tw::XmlToUtf8(e.AttrName(i)), tw::XmlToUtf8(e.AttrValue(i).ToText()));
    s.out += '>';
    for (int i = 0; i < e.ChildCount(); ++i) {
        const tw::TXmlNode* c = e.Child(i);
        switch (c->NodeType()) {
            case tw::XML_ELEMENT_NODE: Walk(*c, s); break;
            case tw::XML_TEXT_NODE:
            case tw::XML_CDATA_SECTION_NODE: s.text += c->TextUtf8(); break;
            default: break;  // comments and instructions only split the text around them
        }
    }
    s.End();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.find('\r') != std::string_view::npos || size > (1u << 20)) return 0;
    Stream theirs;
    if (!ReadWithExpat(bytes, theirs) || theirs.skipped) return 0;
    auto doc = tw::CreateXmlDocument("", "1.0", "", tw::XmlPtr<tw::TXmlNameTable>(new tw::TXmlNameTable()));
    doc->SetPreserveWhiteSpace(true);  // expat reports every character
    try {
        if (!doc->TryLoadUtf8XML(bytes)) return 0;
    } catch (const tw::EXmlError&) {
        return 0;
    }
    const auto root = doc->DocumentElement();
    if (!root) std::abort();  // expat found a root element
    Stream ours;
    Walk(*root, ours);
    if (ours.out != theirs.out) std::abort();
    return 0;
}
