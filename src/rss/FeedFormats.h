#pragma once
// The feed dialects besides RSS 0.9x/2.0 that the feed component can read into the same content
// model (Atom 1.0 and 0.3, RSS 1.0 and 0.90 in RDF), and the address a click on an item opens.
#include "rss/FeedFields.h"  // MendFeedText, the cleaning every feed text gets
#include "rss/RSSFeedModel.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class TXmlElement;
class TXmlNode;

// A feed dialect, told by the document's root element.
enum TpkRSSFeedFormat : std::uint8_t {
    ffRSS,   // root `rss` holding a `channel`
    ffAtom,  // root `feed` in the Atom namespace
    ffRDF,   // root `rdf:RDF` with a `channel` in the RSS 1.0 (or 0.90) namespace
    ffNone,  // anything else: not a feed
};

struct TpkRSSFeedFormats {
    std::uint8_t Bits = 1u << ffRSS;
    bool Contains(TpkRSSFeedFormat f) const { return f < ffNone && (Bits >> f & 1u) != 0; }
    void Include(TpkRSSFeedFormat f) { if (f < ffNone) Bits = static_cast<std::uint8_t>(Bits | 1u << f); }
    static TpkRSSFeedFormats All() { return {static_cast<std::uint8_t>(1u << ffRSS | 1u << ffAtom | 1u << ffRDF)}; }
    bool operator==(const TpkRSSFeedFormats&) const = default;
};

// The dialect `root` announces. Namespaces are resolved from the xmlns declarations, so any
// prefix (or none) serves.
TpkRSSFeedFormat FeedFormatOf(const TXmlElement& root);

// Reads an Atom or RDF document (FeedFormatOf gave ffAtom or ffRDF) into the model. `documentURL`
// is the address the document came from ("" when unknown); relative Atom links resolve against
// the xml:base declarations around them, then against it.
class TFeedDialectReader {
public:
    TFeedDialectReader(const TXmlElement& root, TpkRSSFeedFormat format, std::string documentURL);
    // Channel data: title, link, description and what else the dialect has.
    void ReadChannel(TpkRSSFeedElements& e) const;
    // The item elements (Atom `entry`, RDF `item`), in document order.
    std::vector<const TXmlNode*> Items() const;
    // One item: title, link, description, author, category, guid, date, enclosures.
    void ReadItem(const TXmlNode& node, TpkRSSFeedItem& item) const;

private:
    void ReadAtomChannel(TpkRSSFeedElements& e) const;
    void ReadRDFChannel(TpkRSSFeedElements& e) const;
    void ReadAtomItem(const TXmlNode& node, TpkRSSFeedItem& item) const;
    void ReadRDFItem(const TXmlNode& node, TpkRSSFeedItem& item) const;
    const TXmlElement* Child(const TXmlNode& node, std::u16string_view ns, std::u16string_view local) const;
    std::string AtomLink(const TXmlNode& node, std::u16string_view rel) const;
    // `reference` made absolute against the xml:base chain around `element` and the document.
    std::string Absolute(const TXmlNode& element, const std::string& reference) const;

    const TXmlElement& root_;
    TpkRSSFeedFormat format_;
    std::u16string ns_;          // the dialect's own namespace as the document declares it
    const TXmlElement* channel_ = nullptr;  // RDF: the `channel` element
    std::string documentURL_;
};

// True for an address the ticker may hand to the browser: after leading and trailing blanks,
// it starts with "http://" or "https://" in any letter case. Anything else (javascript:, file:,
// a program path) is never opened.
bool IsWebAddress(std::string_view address);

// The address a click on `item` opens: its Link when that is a web (http or https) address;
// else its guid when that is a permanent link (RSS 2.0: isPermaLink absent or true) and a web
// address; else "". Surrounding blanks are removed. The model is not changed.
std::string ItemOpenAddress(const TpkRSSFeedItem& item);

}  // namespace tw
