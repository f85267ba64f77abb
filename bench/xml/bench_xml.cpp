// Parse-and-walk throughput of our reader beside pugixml, RapidXML, libxml2 (DOM) and expat
// (SAX) on generated RSS documents: the realistic mix (escaped HTML in descriptions, numeric
// references, some 5-10 % non-ASCII text) at about 20 KB, 1 MB and 20 MB in UTF-8 and at 1 MB in
// ISO-8859-1 and Windows-1252, and the older all-ASCII corpus at 1 MB so that runs before the mix
// stay comparable. Every parser reads every item's title, link, description and enclosure
// attributes; the checksums must agree, so no parser can skip work. Prints "BENCH xml
// corpus=<name> parser=<name> size=<bytes> mbps=<number>" lines, the ratios of ours to each
// peer, and the memory used per node.
#include <expat.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <pugixml.hpp>
#include <rapidxml/rapidxml.hpp>
#include <string>
#include <vector>

#include "xml/XmlDom.h"

namespace {

// ---- deterministic RSS ----

struct Lcg {
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    std::uint32_t Next() {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(s >> 33);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }
};

const char* kWords[] = {"harbour", "tide", "ferry", "storm", "council", "market", "quay", "lighthouse", "weather",
                        "pilot", "cargo", "sailing", "beacon", "port", "coast", "island", "fishing", "bridge",
                        "news", "report", "morning", "evening", "season", "record", "crew", "vessel"};

std::string Words(Lcg& r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += kWords[r.Below(26)];
    }
    return s;
}

// The older corpus: ASCII words, one "&amp;" per title, an em dash reference in two of three
// descriptions, the rest in CDATA.
std::string MakeFeed(size_t target) {
    Lcg r;
    std::string s =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n  <channel>\n    <title>Bench Gazette</title>\n"
        "    <link>https://bench.example.org/</link>\n    <description>Generated feed</description>\n";
    for (int n = 0; s.size() < target; ++n) {
        s += "    <item>\n      <title>" + Words(r, 4 + r.Below(6)) + " &amp; " + Words(r, 2) + "</title>\n";
        s += "      <link>https://bench.example.org/" + std::to_string(n) + "?a=1&amp;b=2</link>\n";
        if (r.Below(3) == 0)
            s += "      <description><![CDATA[<p>" + Words(r, 30 + r.Below(40)) + "</p>]]></description>\n";
        else
            s += "      <description>" + Words(r, 30 + r.Below(40)) + " &#8212; " + Words(r, 10) + "</description>\n";
        s += "      <dc:creator>" + Words(r, 2) + "</dc:creator>\n";
        s += "      <guid isPermaLink=\"false\">item-" + std::to_string(n) + "</guid>\n";
        s += "      <pubDate>Tue, 08 Dec 2026 14:05:00 +0000</pubDate>\n";
        if (r.Below(2) == 0)
            s += "      <enclosure url=\"https://cdn.example.org/m/" + std::to_string(n) + ".mp3\" length=\"" +
                 std::to_string(100000 + r.Below(9000000)) + "\" type=\"audio/mpeg\"/>\n";
        s += "    </item>\n";
    }
    s += "  </channel>\n</rss>\n";
    return s;
}

// ---- the realistic mix ----

enum class Charset { Utf8, Latin1, Windows1252 };

// Words with non-ASCII letters, about every other word: each set stays within what its
// character set can hold.
const char* kLatin1Words[] = {"caf\u00e9", "Z\u00fcrich", "\u00c5lesund", "na\u00efve", "cr\u00e8me", "G\u00f6teborg",
                              "se\u00f1al", "fa\u00e7ade", "Troms\u00f8", "\u00fcber", "d\u00e9j\u00e0", "M\u00e1laga"};
const char* kCp1252Words[] = {"\u201cquoted\u201d", "\u20ac12", "2026\u20132027", "caf\u00e9", "Z\u00fcrich", "na\u00efve"};
const char* kWideWords[] = {"Gda\u0144sk", "\u041c\u043e\u0441\u043a\u0432\u0430", "\u6771\u4eac", "\u2014", "\u201cquoted\u201d",
                            "\U0001F30A", "caf\u00e9", "Z\u00fcrich", "\u00c5lesund", "na\u00efve"};

std::string MixedWords(Lcg& r, int n, Charset cs) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i) s += ' ';
        if (r.Below(2) != 0) {
            s += kWords[r.Below(26)];
        } else if (cs == Charset::Latin1) {
            s += kLatin1Words[r.Below(12)];
        } else if (cs == Charset::Windows1252) {
            s += kCp1252Words[r.Below(6)];
        } else {
            s += kWideWords[r.Below(10)];
        }
    }
    return s;
}

// Description markup as feeds carry it: HTML escaped into the text.
std::string EscapedHtml(Lcg& r, int n, Charset cs) {
    return "&lt;p&gt;" + MixedWords(r, n, cs) + " &lt;a href=&quot;https://bench.example.org/more?id=" +
           std::to_string(r.Below(100000)) + "&amp;amp;ref=rss&quot;&gt;" + MixedWords(r, 3, cs) +
           "&lt;/a&gt;&lt;/p&gt;&lt;br/&gt;&lt;img src=&quot;https://cdn.example.org/i.jpg&quot; alt=&quot;&quot;/&gt;";
}

// UTF-8 to one byte per character; every character used is in the set.
std::string Narrow(const std::string& utf8, Charset cs) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        std::uint32_t c = b;
        int n = 1;
        if (b >= 0xE0) {
            c = ((b & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
            n = 3;
        } else if (b >= 0xC0) {
            c = ((b & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
            n = 2;
        }
        i += static_cast<size_t>(n);
        if (cs == Charset::Windows1252) {
            if (c == 0x201C) c = 0x93;
            if (c == 0x201D) c = 0x94;
            if (c == 0x2013) c = 0x96;
            if (c == 0x20AC) c = 0x80;
        }
        out += static_cast<char>(c);
    }
    return out;
}

std::string MakeMixedFeed(size_t target, Charset cs) {
    Lcg r;
    const char* name = cs == Charset::Utf8 ? "utf-8" : cs == Charset::Latin1 ? "iso-8859-1" : "windows-1252";
    std::string s = std::string("<?xml version=\"1.0\" encoding=\"") + name +
                    "\"?>\n<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n  <channel>\n"
                    "    <title>Bench Gazette &#8211; " + MixedWords(r, 3, cs) + "</title>\n"
                    "    <link>https://bench.example.org/</link>\n    <description>Generated feed</description>\n";
    for (int n = 0; s.size() < target; ++n) {
        std::string item = "    <item>\n      <title>" + MixedWords(r, 4 + r.Below(6), cs) + " &#8217;" + MixedWords(r, 1, cs) +
                           "&#x2019; &amp; " + MixedWords(r, 2, cs) + "</title>\n";
        item += "      <link>https://bench.example.org/" + std::to_string(n) + "?a=1&amp;b=2</link>\n";
        if (r.Below(4) == 0)
            item += "      <description><![CDATA[<p>" + MixedWords(r, 30 + r.Below(40), cs) + "</p>]]></description>\n";
        else
            item += "      <description>" + EscapedHtml(r, 30 + r.Below(40), cs) + " &#8212; " + MixedWords(r, 10, cs) +
                    "</description>\n";
        item += "      <dc:creator>" + MixedWords(r, 2, cs) + "</dc:creator>\n";
        item += "      <guid isPermaLink=\"false\">item-" + std::to_string(n) + "</guid>\n";
        item += "      <pubDate>Tue, 08 Dec 2026 14:05:00 +0000</pubDate>\n";
        if (r.Below(2) == 0)
            item += "      <enclosure url=\"https://cdn.example.org/m/" + std::to_string(n) + ".mp3\" length=\"" +
                    std::to_string(100000 + r.Below(9000000)) + "\" type=\"audio/mpeg\"/>\n";
        item += "    </item>\n";
        s += item;
    }
    s += "  </channel>\n</rss>\n";
    return cs == Charset::Utf8 ? s : Narrow(s, cs);
}

// The share of characters outside ASCII, for the CORPUS line.
double NonAsciiShare(const std::string& bytes, Charset cs) {
    size_t chars = 0, wide = 0;
    for (unsigned char b : bytes) {
        if (cs == Charset::Utf8 && (b & 0xC0) == 0x80) continue;
        ++chars;
        wide += b >= 0x80;
    }
    return static_cast<double>(wide) / static_cast<double>(chars);
}

// Sum of the number of characters (code points) of everything read.
struct Sum {
    std::uint64_t items = 0, chars = 0;
    bool operator==(const Sum&) const = default;
};

// ---- ours ----

// Code points: a surrogate pair counts once, as one UTF-8 sequence does for the peers.
size_t Chars(const std::u16string& s) {
    size_t n = s.size();
    for (char16_t c : s) n -= c >= 0xDC00 && c <= 0xDFFF;
    return n;
}

size_t Utf8Chars(std::string_view s) {
    size_t n = 0;
    for (const char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// As the feed loader reads: UTF-8 texts and attribute values viewed in place.
Sum WalkOurs(tw::TXmlDocument& doc) {
    Sum sum;
    std::string scratch;
    const tw::TXmlElement* channel = doc.DocumentElement()->FindChildUtf8("channel");
    for (int i = 0; i < channel->ChildCount(); ++i) {
        const tw::TXmlNode* item = channel->Child(i);
        if (item->NodeType() != tw::XML_ELEMENT_NODE || !item->NameIs("item")) continue;
        ++sum.items;
        for (const char* name : {"title", "link", "description"})
            if (const tw::TXmlElement* e = item->FindChildUtf8(name)) sum.chars += Utf8Chars(e->TextUtf8(scratch));
        for (int k = 0; k < item->ChildCount(); ++k) {
            const tw::TXmlNode* e = item->Child(k);
            if (e->NodeType() != tw::XML_ELEMENT_NODE || !e->NameIs("enclosure")) continue;
            for (const char* name : {"url", "length", "type"}) sum.chars += Utf8Chars(e->AttrUtf8(name, scratch));
        }
    }
    return sum;
}

// Through the UTF-16 interface: every text converted and copied.
Sum WalkOursUtf16(tw::TXmlDocument& doc) {
    Sum sum;
    auto root = doc.DocumentElement();
    auto channel = root->SelectSingleNode(u"channel");
    auto items = channel->SelectNodes(u"item");
    for (int i = 0; i < items->Count(); ++i) {
        auto item = items->Item(i);
        ++sum.items;
        sum.chars += Chars(item->GetChildText(u"title")) + Chars(item->GetChildText(u"link")) +
                     Chars(item->GetChildText(u"description"));
        auto enclosures = item->SelectNodes(u"enclosure");
        for (int k = 0; k < enclosures->Count(); ++k) {
            auto e = enclosures->Item(k);
            sum.chars += e->GetAttr(u"url").size() + e->GetAttr(u"length").size() + e->GetAttr(u"type").size();
        }
    }
    return sum;
}

Sum RunOurs(const std::string& bytes) {
    auto doc = tw::CreateXmlDocument();
    doc->LoadUtf8XML(bytes);
    return WalkOurs(*doc);
}

Sum RunOursUtf16(const std::string& bytes) {
    auto doc = tw::CreateXmlDocument();
    doc->LoadUtf8XML(bytes);
    return WalkOursUtf16(*doc);
}

// ---- pugixml ----

size_t Utf8Chars(const char* s) {
    size_t n = 0;
    for (; *s; ++s) n += (static_cast<unsigned char>(*s) & 0xC0) != 0x80;
    return n;
}

Sum RunPugi(const std::string& bytes) {
    pugi::xml_document doc;
    doc.load_buffer(bytes.data(), bytes.size());
    Sum sum;
    for (pugi::xml_node item : doc.child("rss").child("channel").children("item")) {
        ++sum.items;
        // Like Text(): every text and CDATA child.
        for (const char* name : {"title", "link", "description"}) sum.chars += Utf8Chars(item.child(name).text().get());
        for (pugi::xml_node e : item.children("enclosure"))
            for (const char* a : {"url", "length", "type"}) sum.chars += Utf8Chars(e.attribute(a).value());
    }
    return sum;
}

// ---- RapidXML (needs a writable, terminated copy) ----

Sum RunRapid(const std::string& bytes) {
    std::vector<char> buf(bytes.begin(), bytes.end());
    buf.push_back('\0');
    rapidxml::xml_document<> doc;
    doc.parse<0>(buf.data());
    Sum sum;
    auto* channel = doc.first_node("rss")->first_node("channel");
    for (auto* item = channel->first_node("item"); item; item = item->next_sibling("item")) {
        ++sum.items;
        for (const char* name : {"title", "link", "description"}) {
            auto* n = item->first_node(name);
            if (!n) continue;
            for (auto* t = n->first_node(); t; t = t->next_sibling())
                if (t->type() == rapidxml::node_data || t->type() == rapidxml::node_cdata)
                    for (size_t i = 0; i < t->value_size(); ++i) sum.chars += (t->value()[i] & 0xC0) != 0x80;
        }
        for (auto* e = item->first_node("enclosure"); e; e = e->next_sibling("enclosure"))
            for (const char* a : {"url", "length", "type"})
                if (auto* at = e->first_attribute(a)) sum.chars += at->value_size();
    }
    return sum;
}

// ---- libxml2 DOM ----

xmlNode* Child(xmlNode* n, const char* name) {
    for (xmlNode* c = n ? n->children : nullptr; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(c->name), name) == 0) return c;
    return nullptr;
}

Sum RunLibxml2(const std::string& bytes) {
    xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
    Sum sum;
    xmlNode* channel = Child(xmlDocGetRootElement(doc), "channel");
    for (xmlNode* item = channel->children; item; item = item->next) {
        if (item->type != XML_ELEMENT_NODE || std::strcmp(reinterpret_cast<const char*>(item->name), "item") != 0) continue;
        ++sum.items;
        for (const char* name : {"title", "link", "description"}) {
            if (xmlNode* n = Child(item, name)) {
                xmlChar* t = xmlNodeGetContent(n);
                sum.chars += Utf8Chars(reinterpret_cast<const char*>(t));
                xmlFree(t);
            }
        }
        for (xmlNode* e = item->children; e; e = e->next) {
            if (e->type != XML_ELEMENT_NODE || std::strcmp(reinterpret_cast<const char*>(e->name), "enclosure") != 0) continue;
            for (const char* a : {"url", "length", "type"}) {
                xmlChar* v = xmlGetProp(e, reinterpret_cast<const xmlChar*>(a));
                if (v) sum.chars += Utf8Chars(reinterpret_cast<const char*>(v));
                xmlFree(v);
            }
        }
    }
    xmlFreeDoc(doc);
    return sum;
}

// ---- expat SAX ----

struct SaxState {
    Sum sum;
    int depthInItem = 0;  // 0 outside an item, 1 in the item, 2 in one of its fields
    bool collecting = false;
};

void XMLCALL SaxStart(void* ud, const XML_Char* name, const XML_Char** atts) {
    auto* s = static_cast<SaxState*>(ud);
    if (s->depthInItem == 0) {
        if (std::strcmp(name, "item") == 0) {
            s->depthInItem = 1;
            ++s->sum.items;
        }
        return;
    }
    ++s->depthInItem;
    if (s->depthInItem == 2) {
        s->collecting = !std::strcmp(name, "title") || !std::strcmp(name, "link") || !std::strcmp(name, "description");
        if (!std::strcmp(name, "enclosure"))
            for (int i = 0; atts[i]; i += 2)
                if (!std::strcmp(atts[i], "url") || !std::strcmp(atts[i], "length") || !std::strcmp(atts[i], "type"))
                    s->sum.chars += Utf8Chars(atts[i + 1]);
    }
}

void XMLCALL SaxEnd(void* ud, const XML_Char*) {
    auto* s = static_cast<SaxState*>(ud);
    if (s->depthInItem == 0) return;
    if (--s->depthInItem == 1) s->collecting = false;
}

void XMLCALL SaxText(void* ud, const XML_Char* t, int len) {
    auto* s = static_cast<SaxState*>(ud);
    if (!s->collecting) return;
    for (int i = 0; i < len; ++i) s->sum.chars += (static_cast<unsigned char>(t[i]) & 0xC0) != 0x80;
}

Sum RunExpat(const std::string& bytes) {
    XML_Parser p = XML_ParserCreate(nullptr);  // as the declaration says
    SaxState state;
    XML_SetUserData(p, &state);
    XML_SetElementHandler(p, SaxStart, SaxEnd);
    XML_SetCharacterDataHandler(p, SaxText);
    XML_Parse(p, bytes.data(), static_cast<int>(bytes.size()), 1);
    XML_ParserFree(p);
    return state.sum;
}

// ---- memory per node: everything the allocator hands out while one 1 MB feed is read ----

std::int64_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<std::int64_t>(m.uordblks + m.hblkhd);
}

size_t CountNodes(tw::TXmlNode* n) {
    size_t c = 1;
    for (int i = 0; i < n->ChildCount(); ++i) c += CountNodes(n->Child(i));
    return c;
}

void MeasureMemory() {
    const std::string feed = MakeFeed(1000 * 1000);
    auto doc = tw::CreateXmlDocument();
    doc->LoadXML(u"<warm-up/>");
    const std::int64_t before = HeapInUse();
    doc->LoadUtf8XML(feed);
    const std::int64_t used = HeapInUse() - before;
    const size_t nodes = CountNodes(doc.get()) - 1;
    std::printf("MEMORY xml parser=tidewire nodes=%zu bytes=%lld bytes_per_node=%.1f input_bytes=%zu "
                "sizeof_element=%zu sizeof_text=%zu\n",
                nodes, static_cast<long long>(used), static_cast<double>(used) / static_cast<double>(nodes),
                feed.size(), sizeof(tw::TXmlElement), sizeof(tw::TXmlText));
    pugi::xml_document pdoc;
    const std::int64_t pbefore = HeapInUse();
    pdoc.load_buffer(feed.data(), feed.size());
    const std::int64_t pused = HeapInUse() - pbefore;
    std::printf("MEMORY xml parser=pugixml bytes=%lld bytes_per_node=%.1f (same node count)\n",
                static_cast<long long>(pused), static_cast<double>(pused) / static_cast<double>(nodes));
    xmlDoc* x = nullptr;
    const std::int64_t xbefore = HeapInUse();
    x = xmlReadMemory(feed.data(), static_cast<int>(feed.size()), nullptr, nullptr, XML_PARSE_NONET);
    const std::int64_t xused = HeapInUse() - xbefore;
    std::printf("MEMORY xml parser=libxml2-dom bytes=%lld bytes_per_node=%.1f (same node count)\n",
                static_cast<long long>(xused), static_cast<double>(xused) / static_cast<double>(nodes));
    xmlFreeDoc(x);
}

// ---- timing ----

double SecondsPerRun(const std::function<Sum()>& run, Sum& result) {
    using clock = std::chrono::steady_clock;
    double best = 1e9, total = 0;
    for (int i = 0; i < 200 && (i < 3 || total < 1.0); ++i) {
        const auto t0 = clock::now();
        result = run();
        const double dt = std::chrono::duration<double>(clock::now() - t0).count();
        best = std::min(best, dt);
        total += dt;
    }
    return best;
}

}  // namespace

// With arguments, `bench_xml <parser> <corpus> <kilobytes>` (for a profiler): only that parser on
// that corpus at that target size, without the memory lines and the ratios.
int main(int argc, char** argv) {
    const bool filtered = argc > 3;
    const std::string onlyParser = filtered ? argv[1] : "";
    const std::string onlyCorpus = filtered ? argv[2] : "";
    const size_t onlyTarget = filtered ? std::strtoul(argv[3], nullptr, 10) * 1000 : 0;
    auto wanted = [&](const std::string& name, size_t target) {
        return !filtered || (name == onlyCorpus && target == onlyTarget);
    };
    struct Peer {
        const char* name;
        Sum (*run)(const std::string&);
        bool latin1, cp1252;  // reads a document declared in that character set
    };
    // RapidXML decodes no character set and counts 8-bit text by UTF-8 rules; pugixml and expat
    // know ISO-8859-1 but not Windows-1252.
    const Peer peers[] = {{"tidewire", RunOurs, true, true},      {"tidewire-utf16", RunOursUtf16, true, true},
                          {"pugixml", RunPugi, true, false},      {"rapidxml", RunRapid, false, false},
                          {"libxml2-dom", RunLibxml2, true, true}, {"expat-sax", RunExpat, true, false}};
    struct Corpus {
        std::string name;
        std::string bytes;
        Charset charset;
    };
    std::vector<Corpus> corpora;
    if (wanted("ascii", size_t{1000} * 1000))
        corpora.push_back({"ascii", MakeFeed(size_t{1000} * 1000), Charset::Utf8});  // the corpus of earlier runs
    for (size_t target : {size_t{20} * 1000, size_t{1000} * 1000, size_t{20} * 1000 * 1000})
        if (wanted("mixed", target)) corpora.push_back({"mixed", MakeMixedFeed(target, Charset::Utf8), Charset::Utf8});
    if (wanted("mixed-latin1", size_t{1000} * 1000))
        corpora.push_back({"mixed-latin1", MakeMixedFeed(size_t{1000} * 1000, Charset::Latin1), Charset::Latin1});
    if (wanted("mixed-cp1252", size_t{1000} * 1000))
        corpora.push_back({"mixed-cp1252", MakeMixedFeed(size_t{1000} * 1000, Charset::Windows1252), Charset::Windows1252});

    xmlInitParser();
    if (!filtered) MeasureMemory();  // first, while the pool is still empty
    std::map<std::string, std::map<std::string, double>> mbps;  // parser -> row -> MB/s
    std::vector<std::string> rows;
    bool agree = true;
    for (const Corpus& corpus : corpora) {
        const std::string& feed = corpus.bytes;
        const std::string row = corpus.name + "/" + std::to_string(feed.size());
        rows.push_back(row);
        std::printf("CORPUS xml corpus=%s size=%zu non_ascii=%.1f%%\n", corpus.name.c_str(), feed.size(),
                    100.0 * NonAsciiShare(feed, corpus.charset));
        Sum reference;
        for (const Peer& peer : peers) {
            if (filtered && onlyParser != peer.name) continue;
            if ((corpus.charset == Charset::Latin1 && !peer.latin1) || (corpus.charset == Charset::Windows1252 && !peer.cp1252)) {
                std::printf("SKIP xml corpus=%s parser=%s (does not read this character set)\n", corpus.name.c_str(), peer.name);
                continue;
            }
            Sum got;
            const double s = SecondsPerRun([&] { return peer.run(feed); }, got);
            if (peer.run == RunOurs || filtered) reference = got;
            if (!(got == reference)) {
                std::printf("MISMATCH %s corpus=%s size=%zu items=%llu chars=%llu (ours items=%llu chars=%llu)\n", peer.name,
                            corpus.name.c_str(), feed.size(), static_cast<unsigned long long>(got.items),
                            static_cast<unsigned long long>(got.chars), static_cast<unsigned long long>(reference.items),
                            static_cast<unsigned long long>(reference.chars));
                agree = false;
            }
            const double rate = static_cast<double>(feed.size()) / s / 1e6;
            mbps[peer.name][row] = rate;
            std::printf("BENCH xml corpus=%s parser=%s size=%zu mbps=%.1f\n", corpus.name.c_str(), peer.name, feed.size(), rate);
            std::fflush(stdout);
        }
    }
    for (const Peer& peer : peers) {
        if (filtered || peer.run == RunOurs || peer.run == RunOursUtf16) continue;
        std::printf("RATIO xml tidewire/%s", peer.name);
        for (const std::string& row : rows)
            if (mbps[peer.name].contains(row)) std::printf(" %s time=%.2fx", row.c_str(), mbps[peer.name][row] / mbps["tidewire"][row]);
        std::printf("\n");
    }

    xmlCleanupParser();
    return agree ? 0 : 1;
}
