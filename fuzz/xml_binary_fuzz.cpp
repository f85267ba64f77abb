// The binary reader on arbitrary bytes after the signature. A document that loads must save to
// bytes that load to the same markup.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "xml/XmlDom.h"

namespace {
// A table of its own per input: names from earlier inputs would pile up in the shared one.
tw::XmlPtr<tw::TXmlDocument> FreshDocument() {
    return tw::CreateXmlDocument("", "1.0", "", tw::XmlPtr<tw::TXmlNameTable>(new tw::TXmlNameTable()));
}
}  // namespace

namespace {
bool Load(tw::TXmlDocument& doc, const std::string& bytes) {
    std::istringstream in(bytes);
    try {
        doc.Load(in);
        return true;
    } catch (const tw::EXmlError&) {
        return false;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::string bytes = "< binary-xml >";
    bytes.append(reinterpret_cast<const char*>(data), size);
    auto doc = FreshDocument();
    const bool loaded = Load(*doc, bytes);
    const std::u16string xml = doc->XML();
    if (!loaded) return 0;
    for (bool wide : {true, false}) {
        auto again = FreshDocument();
        if (!Load(*again, doc->BinaryXML(wide))) std::abort();
        if (wide && again->XML() != xml) std::abort();
    }
    return 0;
}
