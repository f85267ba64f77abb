// Load from a byte stream: the binary form, UTF-16 little-endian or one character per byte.
#include <cstdint>
#include <sstream>
#include <string>

#include "xml/XmlDom.h"

namespace {
// A table of its own per input: names from earlier inputs would pile up in the shared one.
tw::XmlPtr<tw::TXmlDocument> FreshDocument() {
    return tw::CreateXmlDocument("", "1.0", "", tw::XmlPtr<tw::TXmlNameTable>(new tw::TXmlNameTable()));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    auto doc = FreshDocument();
    try {
        doc->Load(in);
    } catch (const tw::EXmlError&) {
    }
    (void)doc->XML();
    (void)doc->Text();
    return 0;
}
