// Load from a byte stream: the binary form, UTF-16 little-endian or one character per byte.
#include <cstdint>
#include <sstream>
#include <string>

#include "xml/XmlDom.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    auto doc = tw::CreateXmlDocument();
    try {
        doc->Load(in);
    } catch (const tw::EXmlError&) {
    }
    (void)doc->XML();
    (void)doc->Text();
    return 0;
}
