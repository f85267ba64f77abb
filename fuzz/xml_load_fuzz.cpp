// LoadXML on arbitrary text. The first byte picks the mode: bit 0 preserves white space, bit 1
// reads the rest as UTF-16 little-endian code units (else one character per byte, as a feed is
// widened), bit 2 also checks that LoadUtf8XML of the bytes matches LoadXML of them widened from
// UTF-8 (the binary form is bytes, not text: widened one character per byte). A document that
// loads must write markup that loads again to the same markup.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "xml/XmlDom.h"
#include "xml/XmlInternal.h"

namespace {
// A table of its own per input: names from earlier inputs would pile up in the shared one.
tw::XmlPtr<tw::TXmlDocument> FreshDocument() {
    return tw::CreateXmlDocument("", "1.0", "", tw::XmlPtr<tw::TXmlNameTable>(new tw::TXmlNameTable()));
}
}  // namespace

namespace {
// Markup and error text after loading, for comparing two roads to the same document.
std::u16string Outcome(tw::TXmlDocument& doc, const std::function<void()>& load) {
    std::u16string error;
    try {
        load();
    } catch (const tw::EXmlError& e) {
        error = e.Message();
    }
    return doc.XML() + u"|" + error;
}
}  // namespace

namespace {
// The UTF-8 views of texts, attributes and names, read in place while nothing is converted, must
// say what the UTF-16 interface says; the second pass reads the values converted by the first.
void CheckUtf8Views(tw::TXmlNode& node) {
    std::string scratch;
    for (int pass = 0; pass < 2; ++pass) {
        if (std::string(node.TextUtf8(scratch)) != tw::XmlToUtf8(node.Text())) std::abort();
        for (int i = 0; i < node.AttrCount(); ++i) {
            const std::string name = tw::XmlToUtf8(node.AttrName(i));
            const std::u16string wide = node.GetAttr(node.AttrName(i));
            if (std::string(node.AttrUtf8(name, scratch)) != tw::XmlToUtf8(wide)) std::abort();
            if (pass == 0 && node.AttrValue(i).ToText() != wide) std::abort();
        }
        if (node.NodeType() == tw::XML_ELEMENT_NODE && !node.NameIs(tw::XmlToUtf8(node.NodeName()))) std::abort();
    }
    for (int i = 0; i < node.ChildCount(); ++i) {
        tw::TXmlNode* c = node.Child(i);
        if (c->NodeType() == tw::XML_ELEMENT_NODE && node.FindChildUtf8(tw::XmlToUtf8(c->NodeName())) == nullptr) std::abort();
        CheckUtf8Views(*c);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;
    if (mode & 4) {
        const std::string_view bytes(reinterpret_cast<const char*>(data), size);
        auto a = FreshDocument();
        auto b = FreshDocument();
        const bool binary = bytes.substr(0, tw::kXmlBinarySignature.size()) == tw::kXmlBinarySignature;
        const std::u16string widened = binary ? tw::XmlWidenAnsi(bytes) : tw::XmlFromUtf8(bytes);
        if (Outcome(*a, [&] { a->LoadUtf8XML(bytes); }) != Outcome(*b, [&] { b->LoadXML(widened); })) std::abort();
    }
    std::u16string text;
    if (mode & 2) {
        for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    } else {
        text = tw::XmlWidenAnsi(std::string_view(reinterpret_cast<const char*>(data), size));
    }
    auto doc = FreshDocument();
    doc->SetPreserveWhiteSpace(mode & 1);
    bool loaded = true;
    try {
        doc->LoadXML(text);
    } catch (const tw::EXmlError&) {
        loaded = false;
    }
    // Walk what was read either way, as the feed component does.
    CheckUtf8Views(*doc);
    if (auto root = doc->DocumentElement()) {
        (void)root->Text();
        if (auto channel = root->SelectSingleNode(u"channel")) {
            auto items = channel->SelectNodes(u"item");
            for (int i = 0; i < items->Count(); ++i) (void)items->Item(i)->GetAttr(u"url", u"");
        }
    }
    const std::u16string first = doc->XML();
    if (!loaded) return 0;
    auto again = FreshDocument();
    again->SetPreserveWhiteSpace(mode & 1);
    try {
        again->LoadXML(first);
    } catch (const tw::EXmlError&) {
        std::abort();  // our own markup must read back
    }
    if (again->XML() != first) std::abort();
    return 0;
}
