#pragma once
// Moving texts from a loaded document into the model's UTF-8 strings: the cleaning every feed
// text gets on its way in, done while copying, and a reader that copies each text and attribute
// value once, straight from the document, with no temporary string per field.
#include <string>
#include <string_view>

#include "xml/XmlDom.h"

namespace tw {

// Cleans UTF-8 feed text where it enters the model, in place: the characters U+0080 to U+009F
// (what a reference such as "&#146;" gives) become the Windows-1252 characters publishers meant,
// as browsers read them; any other control character (U+0001 to U+001F except tab, line feed and
// carriage return; U+007F; the five codes Windows-1252 leaves unused) becomes a space.
void MendFeedText(std::string& text);

// Sets `field` to `text` cleaned as MendFeedText cleans it, in one copy. `text` must not lie in
// `field`.
void AssignFeedText(std::string& field, std::string_view text);

// One text or attribute value read and cleaned, for readers of a few fields; "" when the node or
// the attribute is missing.
std::string FeedTextOf(const TXmlNode* node);
std::string FeedAttrOf(const TXmlNode* node, std::string_view name);

// Reads node texts and attribute values into model fields, cleaned. One reader serves a whole
// load: it keeps one scratch buffer for the texts that do not lie in the document in one piece.
class TFeedTextReader {
public:
    // The node's text (TXmlNode::TextUtf8), or "" for no node. Inline: a load calls it for every
    // field of every item.
    void Text(std::string& field, const TXmlNode* node) {
        if (node == nullptr) return field.clear();
        AssignFeedText(field, node->TextUtf8(scratch_));
    }
    // The attribute's value, or "" when the node or the attribute is missing. Names are UTF-8.
    void Attr(std::string& field, const TXmlNode* node, std::string_view name);
    // The same cleaned texts as views, for what is read further (numbers, dates through a
    // setter): no copy unless cleaning changes something. Valid until the next call.
    std::string_view TextView(const TXmlNode* node);
    std::string_view AttrView(const TXmlNode& node, std::string_view name);
    // The attribute's value as it stands in UTF-8 (not cleaned), "" when missing. Valid until the
    // next call on this reader. Most elements of a feed carry no attribute: no name lookup then.
    std::string_view RawAttr(const TXmlNode& node, std::string_view name) {
        return node.AttrCount() == 0 ? std::string_view() : node.AttrUtf8(name, scratch_);
    }

private:
    std::string_view Cleaned(std::string_view text);
    std::string scratch_;  // texts that do not lie in the document as they read
    std::string mended_;   // cleaned texts that differ from the document's
};

}  // namespace tw
