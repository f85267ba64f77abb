#include "rss/FeedFormats.h"

#include "base/AsciiText.h"
#include "base/TextConvert.h"
#include "base/pkUtils.h"
#include "net/UrlUtils.h"
#include "xml/XmlDom.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace tw {

namespace {

constexpr std::u16string_view kAtomNS = u"http://www.w3.org/2005/Atom";
constexpr std::u16string_view kAtom03NS = u"http://purl.org/atom/ns#";
constexpr std::u16string_view kRdfNS = u"http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr std::u16string_view kRss10NS = u"http://purl.org/rss/1.0/";
constexpr std::u16string_view kRss090NS = u"http://my.netscape.com/rdf/simple/0.9/";
constexpr std::u16string_view kDcNS = u"http://purl.org/dc/elements/1.1/";
constexpr std::u16string_view kContentNS = u"http://purl.org/rss/1.0/modules/content/";
constexpr std::u16string_view kXhtmlNS = u"http://www.w3.org/1999/xhtml";

// ---- Names and namespaces. The XML layer keeps prefixes as part of the names, so a name's
// namespace is found by walking up to the nearest declaration of its prefix.

std::u16string_view LocalName(std::u16string_view name) {
    const size_t colon = name.find(u':');
    return colon == std::u16string_view::npos ? name : name.substr(colon + 1);
}

std::u16string NamespaceOf(const TXmlNode& element) {
    const std::u16string& name = element.NodeName();
    const size_t colon = name.find(u':');
    std::u16string attr = u"xmlns";
    if (colon != std::u16string::npos) attr.append(u":").append(name, 0, colon);
    for (const TXmlNode* n = &element; n != nullptr && n->NodeType() == XML_ELEMENT_NODE; n = n->ParentNode())
        if (n->HasAttr(attr)) return n->GetAttr(attr);
    return {};
}

// NamespaceOf(element) == ns without a copy of the namespace or of the declaration's name: asked
// for each child a reader compares, which copied and allocated both every time.
bool InNamespace(const TXmlNode& element, std::u16string_view ns) {
    const std::u16string& name = element.NodeName();
    const size_t colon = name.find(u':');
    char16_t buffer[64] = u"xmlns";
    std::u16string owned;  // a prefix too long for the buffer
    std::u16string_view attr(buffer, 5);
    if (colon != std::u16string::npos) {
        if (colon + 6 <= std::size(buffer)) {
            buffer[5] = u':';
            std::copy_n(name.data(), colon, buffer + 6);
            attr = std::u16string_view(buffer, colon + 6);
        } else {
            owned = u"xmlns:" + name.substr(0, colon);
            attr = owned;
        }
    }
    for (const TXmlNode* n = &element; n != nullptr && n->NodeType() == XML_ELEMENT_NODE; n = n->ParentNode()) {
        if (n->AttrCount() == 0) continue;
        if (const TXmlAttrData* a = n->FindAttr(attr)) {
            if (const auto* text = a->Value.If<std::u16string>()) return *text == ns;
            return a->Value.ToText() == ns;
        }
    }
    return ns.empty();
}

bool IsElement(const TXmlNode& node, std::u16string_view ns, std::u16string_view local) {
    return node.NodeType() == XML_ELEMENT_NODE && LocalName(node.NodeName()) == local && InNamespace(node, ns);
}

const TXmlElement* FindChildNS(const TXmlNode& node, std::u16string_view ns, std::u16string_view local) {
    for (const TXmlNode* child : *const_cast<TXmlNode&>(node).ChildNodes())
        if (IsElement(*child, ns, local)) return static_cast<const TXmlElement*>(child);
    return nullptr;
}

// ---- Texts. Every text goes through MendFeedText on its way into the model.
// (FeedFields reads the single texts and attribute values, for RSS 2.0 too.)

std::string ModelText(std::u16string_view text) {
    std::string out = Utf16ToUtf8(text);
    MendFeedText(out);
    return out;
}

// The characters of every text and CDATA node below `node`, joined as they stand (the element
// Text() of the XML layer puts a space between children, which splits "<b>x</b>y").
void AppendTextContent(const TXmlNode& node, std::u16string& out) {
    for (const TXmlNode* child : *const_cast<TXmlNode&>(node).ChildNodes()) {
        if (child->NodeType() == XML_ELEMENT_NODE) AppendTextContent(*child, out);
        else if (child->NodeType() == XML_TEXT_NODE) out += child->Text();
        else if (child->NodeType() == XML_CDATA_SECTION_NODE)
            out += const_cast<TXmlNode*>(child)->AsCDATASection()->Data();
    }
}

// The markup of `node`'s children, for an XHTML description (the ticker's hint strips it, so tags
// carry their local names only). The XML writer would indent it.
void AppendInnerMarkup(const TXmlNode& node, std::u16string& out) {
    for (const TXmlNode* child : *const_cast<TXmlNode&>(node).ChildNodes()) {
        std::u16string text;
        if (child->NodeType() == XML_ELEMENT_NODE) {
            const std::u16string_view name = LocalName(child->NodeName());
            out.append(u"<").append(name).append(u">");
            AppendInnerMarkup(*child, out);
            out.append(u"</").append(name).append(u">");
        } else if (child->NodeType() == XML_TEXT_NODE) {
            text = child->Text();
        } else if (child->NodeType() == XML_CDATA_SECTION_NODE) {
            text = const_cast<TXmlNode*>(child)->AsCDATASection()->Data();
        }
        // "<" and ">" in text must not read as tags; "&" stays, as the hint shows the text.
        for (char16_t c : text) {
            if (c == u'<') out.append(u"&lt;");
            else if (c == u'>') out.append(u"&gt;");
            else out.push_back(c);
        }
    }
}

struct NamedEntity {
    std::u16string_view name;
    char16_t value;
};

// The entities escaped HTML titles use in practice (the XML ones come first).
constexpr NamedEntity kEntities[] = {
    {u"amp", u'&'},      {u"lt", u'<'},        {u"gt", u'>'},        {u"quot", u'"'},     {u"apos", u'\''},
    {u"nbsp", 0x00A0},   {u"ndash", 0x2013},   {u"mdash", 0x2014},   {u"hellip", 0x2026}, {u"lsquo", 0x2018},
    {u"rsquo", 0x2019},  {u"ldquo", 0x201C},   {u"rdquo", 0x201D},   {u"laquo", 0x00AB},  {u"raquo", 0x00BB},
    {u"copy", 0x00A9},   {u"reg", 0x00AE},     {u"trade", 0x2122},   {u"euro", 0x20AC},   {u"pound", 0x00A3},
    {u"eacute", 0x00E9}, {u"egrave", 0x00E8},  {u"agrave", 0x00E0},  {u"uuml", 0x00FC},   {u"ouml", 0x00F6},
    {u"auml", 0x00E4},   {u"szlig", 0x00DF},   {u"ccedil", 0x00E7},  {u"bull", 0x2022},   {u"middot", 0x00B7},
};

// Decodes one reference at text[i] == '&'; false (nothing appended) when it is none.
bool DecodeReference(std::u16string_view text, size_t& i, std::u16string& out) {
    const size_t found = text.substr(i, 14).find(u';');  // a short window: linear on "&&&&..."
    if (found == std::u16string_view::npos) return false;
    const size_t semi = i + found;
    const std::u16string_view body = text.substr(i + 1, semi - i - 1);
    if (body.size() > 1 && body[0] == u'#') {
        const bool hex = body[1] == u'x' || body[1] == u'X';
        const std::u16string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty()) return false;
        char32_t value = 0;
        for (char16_t c : digits) {
            const int d = HexDigitValue(c);
            if (d < 0 || d >= (hex ? 16 : 10)) return false;
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
        }
        AppendUtf16(out, value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ? 0xFFFD : value);
    } else {
        const NamedEntity* found = nullptr;
        for (const NamedEntity& e : kEntities)
            if (e.name == body) found = &e;
        if (found == nullptr) return false;
        out.push_back(found->value);
    }
    i = semi + 1;
    return true;
}

// Whether a tag (the text after "<") only marks up words in a line, so dropping it must not join
// or part them: "<b>Bold</b>face" is one word, "one<br>two" two.
bool IsInlineTag(std::u16string_view tag) {
    if (!tag.empty() && tag[0] == u'/') tag.remove_prefix(1);
    std::u16string name;
    for (char16_t c : tag) {
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))) break;
        name.push_back(c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c);
    }
    static constexpr std::u16string_view kInline[] = {u"a",    u"abbr", u"b",    u"cite",   u"code", u"em",
                                                      u"font", u"i",    u"mark", u"q",      u"s",    u"small",
                                                      u"span", u"strong", u"sub", u"sup",   u"u",    u"time"};
    for (std::u16string_view n : kInline)
        if (n == name) return true;
    return false;
}

// An escaped-HTML title as plain text: inline tags dropped, other tags a space, references
// decoded, runs of blanks made one space, ends trimmed.
std::u16string HtmlToText(std::u16string_view html) {
    std::u16string text;
    size_t nextGt = html.find(u'>');  // the first ">" after the last "<" seen; linear on "<<<<..."
    for (size_t i = 0; i < html.size();) {
        const char16_t c = html[i];
        if (c == u'<' && nextGt != std::u16string_view::npos && nextGt < i) nextGt = html.find(u'>', i);
        const size_t close = c == u'<' ? nextGt : std::u16string_view::npos;
        if (close != std::u16string_view::npos) {  // a "<" that nothing closes is a character
            if (!IsInlineTag(html.substr(i + 1, close - i - 1))) text.push_back(u' ');
            i = close + 1;
        } else if (c == u'&' && DecodeReference(html, i, text)) {
        } else {
            text.push_back(c);
            ++i;
        }
    }
    std::u16string out;
    for (char16_t c : text) {
        const bool blank = c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
        if (!blank) out.push_back(c);
        else if (!out.empty() && out.back() != u' ') out.push_back(u' ');
    }
    while (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
}

// An Atom text construct as plain text (titles).
std::string PlainText(const TXmlElement* element) {
    if (element == nullptr) return {};
    const std::u16string type = element->GetAttr(u"type");
    std::u16string content;
    AppendTextContent(*element, content);
    if (type == u"html" || type == u"text/html" || element->GetAttr(u"mode") == u"escaped")
        return ModelText(HtmlToText(content));
    return ModelText(content);  // "text", and "xhtml": the text of the inner div
}

// An Atom text construct as a description: markup is kept as RSS 2.0 descriptions keep it.
std::string MarkupText(const TXmlElement* element) {
    if (element == nullptr) return {};
    const std::u16string type = element->GetAttr(u"type");
    if (type == u"xhtml" || type == u"application/xhtml+xml") {
        const TXmlElement* div = FindChildNS(*element, kXhtmlNS, u"div");
        std::u16string markup;
        AppendInnerMarkup(div ? *div : static_cast<const TXmlNode&>(*element), markup);
        return ModelText(markup);
    }
    std::u16string content;
    AppendTextContent(*element, content);
    return ModelText(content);
}

// A date as RFC 822 text when it can be read, else as written.
std::string DateText(const TXmlNode* node) {
    std::string raw = FeedTextOf(node);
    std::string rfc822 = RFC3339ToRFC822(raw);
    return rfc822.empty() ? raw : rfc822;
}

}  // namespace

bool IsWebAddress(std::string_view address) {
    address = TrimControlsAndBlanks(address);
    return StartsWithIgnoringAsciiCase(address, "http://") || StartsWithIgnoringAsciiCase(address, "https://");
}

// ---------------------------------------------------------------------------------------------

TpkRSSFeedFormat FeedFormatOf(const TXmlElement& root) {
    if (root.NodeName() == u"rss") return ffRSS;
    const std::u16string_view local = LocalName(root.NodeName());
    if (local == u"feed") {
        const std::u16string ns = NamespaceOf(root);
        return ns == kAtomNS || ns == kAtom03NS ? ffAtom : ffNone;
    }
    if (local == u"RDF" && NamespaceOf(root) == kRdfNS &&
        (FindChildNS(root, kRss10NS, u"channel") || FindChildNS(root, kRss090NS, u"channel")))
        return ffRDF;
    return ffNone;
}

TFeedDialectReader::TFeedDialectReader(const TXmlElement& root, TpkRSSFeedFormat format, std::string documentURL)
    : root_(root), format_(format), documentURL_(std::move(documentURL)) {
    if (format_ == ffAtom) {
        ns_ = NamespaceOf(root_);
    } else {
        channel_ = FindChildNS(root_, kRss10NS, u"channel");
        ns_ = channel_ ? std::u16string(kRss10NS) : std::u16string(kRss090NS);
        if (channel_ == nullptr) channel_ = FindChildNS(root_, kRss090NS, u"channel");
    }
}

const TXmlElement* TFeedDialectReader::Child(const TXmlNode& node, std::u16string_view ns,
                                             std::u16string_view local) const {
    return FindChildNS(node, ns, local);
}

void TFeedDialectReader::ReadChannel(TpkRSSFeedElements& e) const {
    if (format_ == ffAtom) ReadAtomChannel(e);
    else ReadRDFChannel(e);
}

void TFeedDialectReader::ReadItem(const TXmlNode& node, TpkRSSFeedItem& item) const {
    if (format_ == ffAtom) ReadAtomItem(node, item);
    else ReadRDFItem(node, item);
}

std::vector<const TXmlNode*> TFeedDialectReader::Items() const {
    std::vector<const TXmlNode*> items;
    const std::u16string_view local = format_ == ffAtom ? u"entry" : u"item";
    for (const TXmlNode* child : *const_cast<TXmlElement&>(root_).ChildNodes())
        if (IsElement(*child, ns_, local)) items.push_back(child);
    return items;
}

// ---- Atom

std::string TFeedDialectReader::Absolute(const TXmlNode& element, const std::string& reference) const {
    std::vector<const TXmlNode*> chain;  // the element, its parent, ... up to the root
    for (const TXmlNode* n = &element; n != nullptr && n->NodeType() == XML_ELEMENT_NODE; n = n->ParentNode())
        chain.push_back(n);
    std::string base = documentURL_;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        if ((*it)->HasAttr(u"xml:base")) base = ResolveURL(base, std::string(TrimControlsAndBlanks(FeedAttrOf(*it, "xml:base"))));
    return ResolveURL(base, std::string(TrimControlsAndBlanks(reference)));
}

// The href of `node`'s first link with relation `rel` ("alternate" also takes a link without
// rel), made absolute against the xml:base declarations from the root down and the document's
// own address.
std::string TFeedDialectReader::AtomLink(const TXmlNode& node, std::u16string_view rel) const {
    for (const TXmlNode* child : *const_cast<TXmlNode&>(node).ChildNodes()) {
        if (!IsElement(*child, ns_, u"link")) continue;
        const std::u16string r = child->GetAttr(u"rel");
        if (!(r == rel || (r.empty() && rel == u"alternate"))) continue;
        return Absolute(*child, FeedAttrOf(child, "href"));
    }
    return {};
}

void TFeedDialectReader::ReadAtomChannel(TpkRSSFeedElements& e) const {
    e.Title = PlainText(Child(root_, ns_, u"title"));
    e.Link = AtomLink(root_, u"alternate");
    const TXmlElement* subtitle = Child(root_, ns_, u"subtitle");
    e.Description = MarkupText(subtitle ? subtitle : Child(root_, ns_, u"tagline"));
    e.Language = FeedAttrOf(&root_, "xml:lang");
    const TXmlElement* rights = Child(root_, ns_, u"rights");
    e.Copyright = PlainText(rights ? rights : Child(root_, ns_, u"copyright"));
    if (const TXmlElement* author = Child(root_, ns_, u"author"))
        e.ManagingEditor = FeedTextOf(Child(*author, ns_, u"name"));
    const TXmlElement* updated = Child(root_, ns_, u"updated");
    e.LastBuildDate = DateText(updated ? updated : Child(root_, ns_, u"modified"));
    e.PubDate = e.LastBuildDate;
    e.Generator = FeedTextOf(Child(root_, ns_, u"generator"));
    if (const TXmlElement* category = Child(root_, ns_, u"category")) {
        e.Category().Title = FeedAttrOf(category, "term");
        e.Category().Domain = FeedAttrOf(category, "scheme");
    }
    const TXmlElement* logo = Child(root_, ns_, u"logo");
    if (logo == nullptr) logo = Child(root_, ns_, u"icon");
    if (logo != nullptr) {
        e.Image().URL = Absolute(*logo, FeedTextOf(logo));
        e.Image().Title = e.Title;
        e.Image().Link = e.Link;
    }
}

void TFeedDialectReader::ReadAtomItem(const TXmlNode& node, TpkRSSFeedItem& item) const {
    item.Title = PlainText(Child(node, ns_, u"title"));
    item.Link = AtomLink(node, u"alternate");
    const TXmlElement* summary = Child(node, ns_, u"summary");
    if (summary == nullptr) {
        // Content counts when it is text, not a picture or a reference to elsewhere.
        const TXmlElement* content = Child(node, ns_, u"content");
        const std::u16string type = content ? content->GetAttr(u"type") : std::u16string();
        if (content && !content->HasAttr(u"src") &&
            (type.empty() || type == u"text" || type == u"html" || type == u"xhtml" || type == u"text/html" ||
             type == u"text/plain" || type == u"application/xhtml+xml"))
            summary = content;
    }
    item.Description = MarkupText(summary);
    const TXmlElement* author = Child(node, ns_, u"author");
    if (author == nullptr) author = Child(root_, ns_, u"author");  // entries inherit the feed's author
    if (author != nullptr) {
        item.Author = FeedTextOf(Child(*author, ns_, u"name"));
        if (item.Author.empty()) item.Author = FeedTextOf(Child(*author, ns_, u"email"));
    }
    if (const TXmlElement* category = Child(node, ns_, u"category")) {
        item.Category().Title = FeedAttrOf(category, "term");
        item.Category().Domain = FeedAttrOf(category, "scheme");
    }
    if (const TXmlElement* id = Child(node, ns_, u"id")) {
        // An Atom id names the entry; it is not promised to be an address that opens.
        item.Guid().URL = FeedTextOf(id);
        item.Guid().IsPermaLink = false;
        item.Guid().PermaLinkStated = true;
    }
    const TXmlElement* date = Child(node, ns_, u"published");
    if (date == nullptr) date = Child(node, ns_, u"updated");
    if (date == nullptr) date = Child(node, ns_, u"issued");
    if (date == nullptr) date = Child(node, ns_, u"modified");
    item.SetPubDate(DateText(date));
    for (const TXmlNode* child : *const_cast<TXmlNode&>(node).ChildNodes()) {
        if (!IsElement(*child, ns_, u"link") || child->GetAttr(u"rel") != u"enclosure") continue;
        TpkRSSFeedItemEnclosure& enclosure = *item.Enclosure().Add();
        enclosure.ContentType = FeedAttrOf(child, "type");
        enclosure.ContentLength = ParseSizeText(FeedAttrOf(child, "length"));
        enclosure.URL = Absolute(*child, FeedAttrOf(child, "href"));
    }
}

// ---- RSS 1.0 (and 0.90): the channel, image, text input and items are siblings under rdf:RDF.

void TFeedDialectReader::ReadRDFChannel(TpkRSSFeedElements& e) const {
    if (channel_ == nullptr) return;
    const TXmlElement& c = *channel_;
    e.Title = FeedTextOf(Child(c, ns_, u"title"));
    e.Link = FeedTextOf(Child(c, ns_, u"link"));
    e.Description = FeedTextOf(Child(c, ns_, u"description"));
    e.Language = FeedTextOf(Child(c, kDcNS, u"language"));
    e.Copyright = FeedTextOf(Child(c, kDcNS, u"rights"));
    const TXmlElement* editor = Child(c, kDcNS, u"creator");
    e.ManagingEditor = FeedTextOf(editor ? editor : Child(c, kDcNS, u"publisher"));
    e.PubDate = DateText(Child(c, kDcNS, u"date"));
    if (const TXmlElement* subject = Child(c, kDcNS, u"subject")) e.Category().Title = FeedTextOf(subject);
    if (const TXmlElement* image = Child(root_, ns_, u"image")) {
        e.Image().URL = FeedTextOf(Child(*image, ns_, u"url"));
        e.Image().Title = FeedTextOf(Child(*image, ns_, u"title"));
        e.Image().Link = FeedTextOf(Child(*image, ns_, u"link"));
    }
    if (const TXmlElement* input = Child(root_, ns_, u"textinput")) {
        e.TextInput().Title = FeedTextOf(Child(*input, ns_, u"title"));
        e.TextInput().Description = FeedTextOf(Child(*input, ns_, u"description"));
        e.TextInput().Name = FeedTextOf(Child(*input, ns_, u"name"));
        e.TextInput().Link = FeedTextOf(Child(*input, ns_, u"link"));
    }
}

void TFeedDialectReader::ReadRDFItem(const TXmlNode& node, TpkRSSFeedItem& item) const {
    item.Title = FeedTextOf(Child(node, ns_, u"title"));
    item.Link = FeedTextOf(Child(node, ns_, u"link"));
    const TXmlElement* description = Child(node, ns_, u"description");
    item.Description = FeedTextOf(description ? description : Child(node, kContentNS, u"encoded"));
    item.Author = FeedTextOf(Child(node, kDcNS, u"creator"));
    if (const TXmlElement* subject = Child(node, kDcNS, u"subject")) item.Category().Title = FeedTextOf(subject);
    item.SetPubDate(DateText(Child(node, kDcNS, u"date")));
    // rdf:about names the item by its address (RSS 1.0 asks it to equal the link).
    for (int i = 0; i < node.AttrCount(); ++i) {
        if (LocalName(node.AttrName(i)) != u"about") continue;
        const std::u16string& name = node.AttrName(i);
        const size_t colon = name.find(u':');
        const std::u16string xmlns = u"xmlns:" + name.substr(0, colon == std::u16string::npos ? 0 : colon);
        bool rdf = false;
        for (const TXmlNode* n = &node; n != nullptr && n->NodeType() == XML_ELEMENT_NODE && !rdf; n = n->ParentNode())
            if (n->HasAttr(xmlns)) rdf = n->GetAttr(xmlns) == kRdfNS;
        if (!rdf) continue;
        item.Guid().URL = ModelText(node.GetAttr(name));
        item.Guid().IsPermaLink = true;
        item.Guid().PermaLinkStated = true;
        break;
    }
}

// ---------------------------------------------------------------------------------------------

std::string ItemOpenAddress(const TpkRSSFeedItem& item) {
    if (IsWebAddress(item.Link)) return std::string(TrimControlsAndBlanks(item.Link));
    const TpkRSSFeedItemGuid& guid = item.Guid();
    if ((guid.IsPermaLink || !guid.PermaLinkStated) && IsWebAddress(guid.URL))
        return std::string(TrimControlsAndBlanks(guid.URL));
    return {};
}

}  // namespace tw
