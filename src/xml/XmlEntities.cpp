// Character rules shared by the reader: forbidden characters, the HTML Latin-1 entities of the
// RSS 0.91 document type, and the values of entities declared in a document's internal subset.
#include <algorithm>
#include <array>

#include "base/TextConvert.h"
#include "xml/XmlInternal.h"

namespace tw {

namespace {

// U+00A0 to U+00FF in order, as the HTML document types name them.
constexpr std::array<std::u16string_view, 96> kLatin1Names = {
    u"nbsp",   u"iexcl",  u"cent",   u"pound",  u"curren", u"yen",    u"brvbar", u"sect",
    u"uml",    u"copy",   u"ordf",   u"laquo",  u"not",    u"shy",    u"reg",    u"macr",
    u"deg",    u"plusmn", u"sup2",   u"sup3",   u"acute",  u"micro",  u"para",   u"middot",
    u"cedil",  u"sup1",   u"ordm",   u"raquo",  u"frac14", u"frac12", u"frac34", u"iquest",
    u"Agrave", u"Aacute", u"Acirc",  u"Atilde", u"Auml",   u"Aring",  u"AElig",  u"Ccedil",
    u"Egrave", u"Eacute", u"Ecirc",  u"Euml",   u"Igrave", u"Iacute", u"Icirc",  u"Iuml",
    u"ETH",    u"Ntilde", u"Ograve", u"Oacute", u"Ocirc",  u"Otilde", u"Ouml",   u"times",
    u"Oslash", u"Ugrave", u"Uacute", u"Ucirc",  u"Uuml",   u"Yacute", u"THORN",  u"szlig",
    u"agrave", u"aacute", u"acirc",  u"atilde", u"auml",   u"aring",  u"aelig",  u"ccedil",
    u"egrave", u"eacute", u"ecirc",  u"euml",   u"igrave", u"iacute", u"icirc",  u"iuml",
    u"eth",    u"ntilde", u"ograve", u"oacute", u"ocirc",  u"otilde", u"ouml",   u"divide",
    u"oslash", u"ugrave", u"uacute", u"ucirc",  u"uuml",   u"yacute", u"thorn",  u"yuml",
};

// "&#...;" at text[i] (i at the "#"): appends the character and moves i past the ";".
bool DecodeCharRef(std::u16string_view text, size_t& i, std::u16string& out) {
    ++i;
    const bool hex = i < text.size() && text[i] == u'x';
    if (hex) ++i;
    std::uint32_t v = 0;
    const size_t start = i;
    for (; i < text.size(); ++i) {
        const int d = hex ? HexDigitValue(text[i]) : (text[i] >= u'0' && text[i] <= u'9' ? text[i] - u'0' : -1);
        if (d < 0) break;
        v = std::min<std::uint32_t>(v * (hex ? 16 : 10) + static_cast<std::uint32_t>(d), 0x110000);
    }
    if (i == start || i == text.size() || text[i] != u';') return false;
    ++i;
    char16_t units[2];
    const int n = XmlCharRefUnits(v, units);
    out.append(units, static_cast<size_t>(n));
    return n > 0;
}

}  // namespace

void XmlScrub(std::u16string& text) noexcept {
    const size_t n = text.size();
    unsigned odd = 0;  // a branch-free first pass, which the compiler vectorises
    for (const char16_t c : text)
        odd |= static_cast<unsigned>(c - 0xD800u < 0x2800u) | ((c < 0x20u) & (c != 9) & (c != 10) & (c != 13));
    if (odd == 0) return;
    for (size_t i = 0; i < n; ++i) {
        const char16_t c = text[i];
        if (c >= 0x20 && c < 0xD800) continue;
        if (XmlIsHighSurrogate(c) && i + 1 < n && XmlIsLowSurrogate(text[i + 1])) {
            ++i;
        } else if (XmlIsForbiddenControl(c) || (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE) {
            text[i] = kXmlReplacement;
        }
    }
}

char16_t XmlLatin1Entity(std::u16string_view name) noexcept {
    for (size_t i = 0; i < kLatin1Names.size(); ++i)
        if (kLatin1Names[i] == name) return static_cast<char16_t>(0xA0 + i);
    return 0;
}

namespace {

char16_t PredefinedEntityChar(std::u16string_view name) noexcept {
    if (name == u"amp") return u'&';
    if (name == u"lt") return u'<';
    if (name == u"gt") return u'>';
    if (name == u"quot") return u'"';
    if (name == u"apos") return u'\'';
    return 0;
}

// Characters, character references and the five predefined entity references; false at markup,
// at any other entity reference, or at a parameter-entity reference where the text is a literal
// (in replacement text "%" is plain). A literal keeps the predefined references as they are, as
// XML bypasses them there; the replacement text, read where the entity is used, expands them.
bool DecodeEntityText(std::u16string_view text, bool literal, std::u16string& out) {
    out.clear();
    for (size_t i = 0; i < text.size();) {
        const char16_t c = text[i];
        if (c == u'<' || (literal && c == u'%')) return false;
        if (c == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'#') {
                ++i;
                if (!DecodeCharRef(text, i, out)) return false;
                continue;
            }
            const size_t end = text.find(u';', i + 1);
            const char16_t named = end == std::u16string_view::npos ? 0 : PredefinedEntityChar(text.substr(i + 1, end - i - 1));
            if (named == 0) return false;
            if (literal) out.append(text.substr(i, end + 1 - i));
            else out += named;
            i = end + 1;
            continue;
        }
        out += c;
        ++i;
    }
    return true;
}

}  // namespace

bool XmlPlainEntityValue(std::u16string_view literal, std::u16string& out) {
    if (!DecodeEntityText(literal, true, out)) return false;
    // The replacement text is read once more where the entity is used: "&#38;#38;" and "&amp;"
    // are how a declaration spells a plain "&", and a "<" made by a character reference is
    // markup, one made by "&lt;" a character.
    if (out.find_first_of(u"<&") != std::u16string::npos) {
        std::u16string text;
        if (!DecodeEntityText(out, false, text)) return false;
        out = std::move(text);
    }
    XmlScrub(out);
    return true;
}

}  // namespace tw
