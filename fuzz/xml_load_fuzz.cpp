// LoadXML on arbitrary text. The first byte picks the mode: bit 0 preserves white space, bit 1
// reads the rest as UTF-16 little-endian code units (else one character per byte, as a feed is
// widened). A document that loads must write markup that loads again to the same markup.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "xml/XmlDom.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;
    std::u16string text;
    if (mode & 2) {
        for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    } else {
        text = tw::XmlWidenAnsi(std::string_view(reinterpret_cast<const char*>(data), size));
    }
    auto doc = tw::CreateXmlDocument();
    doc->SetPreserveWhiteSpace(mode & 1);
    bool loaded = true;
    try {
        doc->LoadXML(text);
    } catch (const tw::EXmlError&) {
        loaded = false;
    }
    // Walk what was read either way, as the feed component does.
    if (auto root = doc->DocumentElement()) {
        (void)root->Text();
        if (auto channel = root->SelectSingleNode(u"channel")) {
            auto items = channel->SelectNodes(u"item");
            for (int i = 0; i < items->Count(); ++i) (void)items->Item(i)->GetAttr(u"url", u"");
        }
    }
    const std::u16string first = doc->XML();
    if (!loaded) return 0;
    auto again = tw::CreateXmlDocument();
    again->SetPreserveWhiteSpace(mode & 1);
    try {
        again->LoadXML(first);
    } catch (const tw::EXmlError&) {
        std::abort();  // our own markup must read back
    }
    if (again->XML() != first) std::abort();
    return 0;
}
