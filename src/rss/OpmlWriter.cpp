// WriteOpml of rss/Opml.h.
#include "rss/Opml.h"

#include "base/TextConvert.h"
#include "xml/XmlDom.h"

#include <cstdio>
#include <utility>

namespace tw {

namespace {

// A title is one line, and every character of it must be one XML may hold.
std::u16string TitleText(std::string_view title) {
    std::u16string text = Utf8ToUtf16(title);
    for (char16_t& c : text) {
        if (c < 0x20) c = u' ';
        else if (c == 0xFFFE || c == 0xFFFF) c = 0xFFFD;
    }
    return text;
}

// Control characters in an address are escaped as a URL escapes them, which names the same
// resource and is valid in any XML.
std::u16string AddressText(std::string_view address) {
    std::string escaped;
    for (char c : address) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != '\x7f') {
            escaped.push_back(c);
            continue;
        }
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
        escaped += hex;
    }
    return TitleText(escaped);
}

}  // namespace

std::string WriteOpml(const TOpmlOutlines& outlines, std::string_view title) {
    const XmlPtr<TXmlDocument> doc = CreateXmlDocument("opml", "1.0", "UTF-8", new TXmlNameTable());
    const XmlPtr<TXmlElement> root = doc->DocumentElement();
    root->SetAttr(u"version", u"2.0");
    root->AppendElement(u"head")->AppendElement(u"title")->SetText(TitleText(title));
    const XmlPtr<TXmlElement> body = root->AppendElement(u"body");

    std::vector<std::pair<int, XmlPtr<TXmlElement>>> open;  // the folders open now, by index
    for (const TOpmlFeed& feed : outlines.Feeds) {
        const std::vector<int> chain = outlines.FolderChain(feed.Folder);
        size_t kept = 0;
        while (kept < open.size() && kept < chain.size() && open[kept].first == chain[kept]) ++kept;
        open.resize(kept);
        for (size_t i = kept; i < chain.size(); ++i) {
            const XmlPtr<TXmlElement> outline = (open.empty() ? body : open.back().second)->AppendElement(u"outline");
            outline->SetAttr(u"text", TitleText(outlines.Folders[chain[i]].Title));
            open.emplace_back(chain[i], outline);
        }
        const XmlPtr<TXmlElement> outline = (open.empty() ? body : open.back().second)->AppendElement(u"outline");
        const std::u16string shown = TitleText(feed.Title.empty() ? feed.Address : feed.Title);
        outline->SetAttr(u"type", u"rss");
        outline->SetAttr(u"text", shown);
        outline->SetAttr(u"title", shown);
        outline->SetAttr(u"xmlUrl", AddressText(feed.Address));
        if (feed.Disabled) outline->SetAttr(u"category", u"disabled");
    }
    return Utf16ToUtf8(doc->XML()) + "\r\n";
}

}  // namespace tw
