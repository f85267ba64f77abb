// Document type declarations, entities, character references and characters XML forbids: each
// input reads as the same document as its plain spelling, or fails with the reader's message.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>

#include "xml/XmlDom.h"
#include "xml/XmlTestKit.h"

namespace tw {
namespace {

using namespace xmltest;
using namespace std::string_view_literals;

struct SameCase {
    std::u16string_view input;
    std::u16string_view plain;
};

class XmlReaderSpellings : public ::testing::TestWithParam<SameCase> {};

TEST_P(XmlReaderSpellings, ReadLikeThePlainDocument) {
    const SameCase& c = GetParam();
    std::u16string got, want;
    const std::string error = MessageOf([&] { got = Parse(c.input)->XML(); });
    ASSERT_EQ(error, "(no error)") << U8(c.input);
    want = Parse(c.plain)->XML();
    EXPECT_EQ(U8(got), U8(want)) << U8(c.input);
}

INSTANTIATE_TEST_SUITE_P(
    Fixed, XmlReaderSpellings,
    ::testing::Values(
        // The internal subset ends at its "]", not at the first ">".
        SameCase{u"<!DOCTYPE rss [<!ENTITY a \"x\"><!ENTITY b 'y'>]><rss>&a;&b;</rss>", u"<rss>xy</rss>"},
        SameCase{u"<!DOCTYPE rss [<!ENTITY x \"y\">]>\n<rss/>", u"<rss/>"},
        SameCase{u"<!DOCTYPE x [<!ENTITY e \"<rss><channel>fake</channel></rss>\">]><rss>real</rss>",
                 u"<rss>real</rss>"},
        SameCase{u"<!DOCTYPE rss [<!-- ]> ' --><?pi ]>?><!ATTLIST rss v CDATA \"]>\"> %pe; ]><rss>ok</rss>",
                 u"<rss>ok</rss>"},
        SameCase{u"<!DOCTYPE rss SYSTEM \"a>b.dtd\" [ <!ELEMENT rss ANY> ] ><rss/>", u"<rss/>"},
        // Entities: plain text and character references, in text and attribute values; the first
        // declaration wins and the predefined ones stay.
        SameCase{u"<!DOCTYPE rss [<!ENTITY c \"&#169; 2026\"><!ENTITY c \"no\"><!ENTITY amp \"no\">]>"
                 u"<rss a=\"&c;\">&c; &amp;</rss>",
                 u"<rss a=\"\u00A9 2026\">\u00A9 2026 &amp;</rss>"},
        SameCase{u"<!DOCTYPE rss [<!ENTITY % p \"x\"><!ENTITY sp \" \">]><rss>&sp;<c/></rss>", u"<rss><c/></rss>"},
        // A replacement text is read again: a plain "&" is spelled "&#38;#38;", and "%" is plain there.
        SameCase{u"<!DOCTYPE r [<!ENTITY a \"AT&#38;#38;T &#37;\">]><r>&a;</r>", u"<r>AT&amp;T %</r>"},
        // The predefined references stay in the replacement text and are read where it is used.
        SameCase{u"<!DOCTYPE rss [<!ENTITY site \"Tide &amp; Co\">]><rss a=\"&site;\">&site;</rss>",
                 u"<rss a=\"Tide &amp; Co\">Tide &amp; Co</rss>"},
        SameCase{u"<!DOCTYPE r [<!ENTITY m \"&lt;b&gt; &quot;q&quot; &apos;s&apos;\">]><r>&m;</r>",
                 u"<r>&lt;b&gt; \"q\" 's'</r>"},
        SameCase{u"<!DOCTYPE r [<!ENTITY m \"&#38;amp; &amp;amp; &amp;#38;\">]><r>&m;</r>", u"<r>&amp; &amp;amp; &amp;#38;</r>"},
        // Character references beyond the BMP.
        SameCase{u"<t>&#x1F600; &#128512; &#x10000; &#x10FFFF;</t>", u"<t>\U0001F600 \U0001F600 \U00010000 \U0010FFFF</t>"},
        SameCase{u"<t>&#1;&#xFFFE;</t>", u"<t>\uFFFD\uFFFD</t>"},
        // Raw characters XML forbids become U+FFFD; a stray control alone is still blank.
        SameCase{u"<t>a\0b\fc\x1B" u"d</t>"sv, u"<t>a\uFFFDb\uFFFDc\uFFFDd</t>"},
        SameCase{u"<t a='\x01'>\uFFFE\uFFFF x\xD800y\xDC00 \U0001F30A</t>",
                 u"<t a='\uFFFD'>\uFFFD\uFFFD x\uFFFDy\uFFFD \U0001F30A</t>"},
        SameCase{u"<t><![CDATA[\0]]><!--\x02--></t>"sv, u"<t><![CDATA[\uFFFD]]><!--\uFFFD--></t>"},
        SameCase{u"<rss>\0<c/>\x1F</rss>"sv, u"<rss><c/></rss>"},
        // The RSS 0.91 document type names the HTML Latin-1 entities.
        SameCase{u"<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\"\n"
                 u"  \"http://my.netscape.com/publish/formats/rss-0.91.dtd\"><rss>caf&eacute;&nbsp;&copy;&yuml;&Agrave;</rss>",
                 u"<rss>caf\u00E9\u00A0\u00A9\u00FF\u00C0</rss>"}));

struct FailCase {
    std::u16string_view input;
    std::u16string_view message;
};

class XmlReaderRefusals : public ::testing::TestWithParam<FailCase> {};

TEST_P(XmlReaderRefusals, RaiseTheReaderMessage) {
    const FailCase& c = GetParam();
    EXPECT_EQ(MessageOf([&] { Parse(c.input); }), U8(c.message)) << U8(c.input);
}

INSTANTIATE_TEST_SUITE_P(
    Fixed, XmlReaderRefusals,
    ::testing::Values(
        FailCase{u"<t>&#x110041;</t>", u"Ожидается число"},
        FailCase{u"<t>&#99999999999999;</t>", u"Ожидается число"},
        FailCase{u"<t>&#0;</t>", u"Ожидается число"},
        FailCase{u"<t>&#xD83D;&#xDE00;</t>", u"Ожидается число"},
        FailCase{u"<t a='&#55296;'/>", u"Ожидается число"},
        // Entities the reader does not keep stay unknown.
        FailCase{u"<!DOCTYPE rss [<!ENTITY e SYSTEM \"e.xml\">]><rss>&e;</rss>", u"Некорректное имя управляющего символа"},
        FailCase{u"<!DOCTYPE rss [<!ENTITY e \"<b/>\">]><rss>&e;</rss>", u"Некорректное имя управляющего символа"},
        FailCase{u"<!DOCTYPE rss [<!ENTITY e \"&other;\">]><rss>&e;</rss>", u"Некорректное имя управляющего символа"},
        FailCase{u"<!DOCTYPE rss [<!ENTITY e \"&#60;b/>\">]><rss>&e;</rss>", u"Некорректное имя управляющего символа"},
        FailCase{u"<!DOCTYPE rss [<!ENTITY e \"&#38;other;\">]><rss>&e;</rss>", u"Некорректное имя управляющего символа"},
        FailCase{u"<!DOCTYPE rss [<!ENTITY e \"&amp\">]><rss>&e;</rss>", u"Некорректное имя управляющего символа"},
        FailCase{u"<!DOCTYPE rss PUBLIC \"-//Other//EN\" \"x.dtd\"><rss>&eacute;</rss>", u"Некорректное имя управляющего символа"},
        FailCase{u"<rss>&eacute;</rss>", u"Некорректное имя управляющего символа"},
        // Unfinished declarations.
        FailCase{u"<!DOCTYPE rss [<!ENTITY e \"x\">", u"Ожидается \"]\""},
        FailCase{u"<!DOCTYPE rss [<!ENTITY e \"x>]><rss/>", u"Ожидается \"\"\""},
        FailCase{u"<!DOCTYPE rss [<!ELEMENT rss ANY", u"Ожидается \">\""}));

// Plain-text entities cannot nest, so only repetition can blow up the text: the total is bounded.
TEST(XmlReaderEntities, TotalExpansionIsBounded) {
    const std::u16string chunk(64 * 1024, u'x');
    auto feed = [&](size_t uses) {
        std::u16string s = u"<!DOCTYPE r [<!ENTITY e \"" + chunk + u"\">]><r>";
        for (size_t i = 0; i < uses; ++i) s += u"&e;";
        return s + u"</r>";
    };
    const size_t fits = kXmlMaxEntityExpansion / chunk.size();
    EXPECT_EQ(Parse(feed(fits))->DocumentElement()->Text().size(), kXmlMaxEntityExpansion);
    EXPECT_EQ(MessageOf([&] { Parse(feed(fits + 1)); }), "Превышен допустимый объём подстановки сущностей");
}

// The same text through the UTF-8 source, and a surrogate pair split between two windows of a
// UTF-16 stream (the prefix read for the signature check is a window of its own).
TEST(XmlReaderEntities, EverySourceKeepsCharactersBeyondTheBmp) {
    auto doc = CreateXmlDocument();
    doc->LoadUtf8XML("<!DOCTYPE t [<!ENTITY w \"\xF0\x9F\x8C\x8A\">]><t a='&w;'>&#x1F600;\xF0\x9F\x98\x80&w;\x01</t>");
    EXPECT_EQ(U8(doc->DocumentElement()->Text()), U8(u"\U0001F600\U0001F600\U0001F30A\uFFFD"));
    EXPECT_EQ(U8(doc->DocumentElement()->GetAttr(u"a")), U8(u"\U0001F30A"));

    std::u16string text = u"<t>";
    text += std::u16string(6 + 32768 - 1 - text.size(), u'x');  // the pair's first half ends a window
    text += u"\U0001F600</t>";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    std::istringstream in(bytes);
    doc->Load(in);
    const std::u16string got = doc->DocumentElement()->Text();
    ASSERT_EQ(got.size(), text.size() - 7);
    EXPECT_EQ(U8(got.substr(got.size() - 2)), U8(u"\U0001F600"));
}

}  // namespace
}  // namespace tw
