#pragma once
// Helpers shared by the XML tests: UTF-8 views of UTF-16 text for readable failures, parsing,
// and catching the layer's one exception type.
#include <string>
#include <string_view>

#include "xml/XmlDom.h"

namespace tw::xmltest {

inline std::string U8(std::u16string_view s) { return XmlToUtf8(s); }

// "a<i>": distinct attribute names for growth tests.
inline std::u16string AttrNameOf(int i) { return u"a" + XmlFromUtf8(std::to_string(i)); }

inline XmlPtr<TXmlDocument> Parse(std::u16string_view text, bool preserve = false) {
    auto doc = CreateXmlDocument();
    doc->SetPreserveWhiteSpace(preserve);
    doc->LoadXML(text);
    return doc;
}

// The message f raises, in UTF-8, or "(no error)".
template <class F> std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const EXmlError& e) {
        return U8(e.Message());
    }
    return "(no error)";
}

}  // namespace tw::xmltest
