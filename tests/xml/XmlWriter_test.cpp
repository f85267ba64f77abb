// The writer: escaping, layout, Save, and text -> document -> markup stability on real feeds.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/TestPaths.h"
#include "xml/XmlDom.h"
#include "xml/XmlTestKit.h"

namespace tw {
namespace {

using namespace xmltest;

TEST(XmlWriter, EscapesTextAndAttributes) {
    auto doc = CreateXmlDocument("r");
    auto r = doc->DocumentElement();
    r->SetAttr(u"q", u"a\"b'c<d>e&f\tg");
    r->AppendChild(doc->CreateTextNode(TXmlValue(u"1 < 2 & 3 > 2 \"q\" 'a'")));
    EXPECT_EQ(U8(r->XML()), "\r\n<r q=\"a&quot;b'c&lt;d&gt;e&amp;f\tg\">1 &lt; 2 &amp; 3 &gt; 2 &quot;q&quot; 'a'</r>");
}

TEST(XmlWriter, NodeKindsInPreservedLayout) {
    struct Case {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"<a/>", u"<a/>"},
        {u"<a></a>", u"<a/>"},
        {u"<a b='1' c=\"2\">x</a>", u"<a b=\"1\" c=\"2\">x</a>"},
        {u"<a><!--  c --></a>", u"<a><!--  c --></a>"},
        {u"<a><![CDATA[<&>]]></a>", u"<a><![CDATA[<&>]]></a>"},
        {u"<?xml version='1.0' encoding='utf-8'?><a/>", u"<?xml version=\"1.0\" encoding=\"utf-8\"?><a/>"},
        {u"<?php echo 1; ?><a/>", u"<?php echo 1; ?><a/>"},
        {u"<?empty?><a/>", u"<?empty?><a/>"},
        {u"<a>&amp;&apos;</a>", u"<a>&amp;'</a>"},
        {u"<a> <b/> </a>", u"<a> <b/> </a>"},
    };
    for (const auto& c : cases) EXPECT_EQ(U8(Parse(c.in, true)->XML()), U8(c.out)) << U8(c.in);
}

TEST(XmlWriter, CDATAHoldingTheTerminatorIsSplit) {
    auto doc = CreateXmlDocument("r");
    auto r = doc->DocumentElement();
    r->AppendChild(doc->CreateCDATASection(u"a]]>b]]>c"));
    const std::u16string xml = r->XML();
    EXPECT_EQ(U8(xml), "\r\n<r><![CDATA[a]]]><![CDATA[]>b]]]><![CDATA[]>c]]></r>");
    auto back = Parse(xml);
    std::u16string whole;
    for (TXmlNode* n : *back->DocumentElement()->ChildNodes()) whole += n->AsCDATASection()->Data();
    EXPECT_EQ(whole, u"a]]>b]]>c");
}

TEST(XmlWriter, ElementValuesAreWrittenAsContent) {
    auto doc = CreateXmlDocument("r");
    auto r = doc->DocumentElement();
    r->AppendElement(u"n")->SetValue(TXmlValue(std::int32_t{7}));
    r->AppendElement(u"s")->SetText(u"a<b");
    r->AppendElement(u"e")->SetText(u"");
    EXPECT_EQ(U8(r->XML()), "\r\n<r>\r\n\t<n>7</n>\r\n\t<s>a&lt;b</s>\r\n\t<e/>\r\n</r>");
}

TEST(XmlWriter, QueueDocumentLayout) {
    auto doc = CreateXmlDocument("downloads", "1.0", "iso-8859-1");
    doc->DocumentElement()->AppendElement(u"download")->SetAttr(u"target", u"a");
    const std::u16string expected =
        u"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<downloads>\r\n\t<download target=\"a\"/>\r\n</downloads>";
    EXPECT_EQ(U8(doc->XML()), U8(expected));

    test::TempDir dir;
    doc->Save(dir / "queue.xml");
    std::ifstream in(dir / "queue.xml", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string le;
    for (char16_t c : expected) {
        le += static_cast<char>(c & 0xFF);
        le += static_cast<char>(c >> 8);
    }
    EXPECT_EQ(bytes, le);  // UTF-16 little-endian, no byte-order mark

    auto back = CreateXmlDocument();
    back->Load(dir / "queue.xml");  // what Save writes, Load reads
    EXPECT_EQ(back->XML(), expected);
}

TEST(XmlWriter, NestingIndentsByTabsAndClosesOnItsOwnLine) {
    auto doc = Parse(u"<a><b><c>t</c><d/></b><e>x</e></a>");
    EXPECT_EQ(U8(doc->XML()),
              "\r\n<a>\r\n\t<b>\r\n\t\t<c>t</c>\r\n\t\t<d/>\r\n\t</b>\r\n\t<e>x</e>\r\n</a>");
    // A subtree written on its own keeps its depth in the tree.
    auto b = doc->DocumentElement()->SelectSingleNode(u"b");
    EXPECT_EQ(U8(b->XML()), "\r\n\t<b>\r\n\t\t<c>t</c>\r\n\t\t<d/>\r\n\t</b>");
}

// Line breaks never go next to text: they would become part of it when read back.
TEST(XmlWriter, TextWithLineBreaksIsLeftAlone) {
    struct Case {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"<a>line1\nline2</a>", u"\r\n<a>line1\nline2</a>"},
        {u"<a>text<b/>more</a>", u"\r\n<a>text<b/>more</a>"},
        {u"<a><![CDATA[x\ny]]><b/></a>", u"\r\n<a><![CDATA[x\ny]]><b/></a>"},
        {u"<a><!--x\ny--></a>", u"\r\n<a><!--x\ny-->\r\n</a>"},
    };
    for (const auto& c : cases) {
        const std::u16string once = Parse(c.in)->XML();
        EXPECT_EQ(U8(once), U8(c.out)) << U8(c.in);
        EXPECT_EQ(U8(Parse(once)->XML()), U8(once)) << U8(c.in);
    }
}

TEST(XmlWriter, InstructionTextIsNotWidenedOnEverySave) {
    const std::u16string in = u"<?xml-stylesheet type=\"text/xsl\" href=\"x.xsl\"?><rss/>";
    const std::u16string once = Parse(in)->XML();
    EXPECT_EQ(U8(once), "<?xml-stylesheet type=\"text/xsl\" href=\"x.xsl\"?>\r\n<rss/>");
    EXPECT_EQ(Parse(once)->XML(), once);
    auto doc = CreateXmlDocument();
    doc->AppendChild(doc->CreateProcessingInstruction(u"pi", u"data"));
    EXPECT_EQ(U8(doc->XML()), "<?pi data?>");
}

TEST(XmlWriter, SaveFailsLoudly) {
    auto doc = CreateXmlDocument("r");
    test::TempDir dir;
    EXPECT_THROW(doc->Save(dir / "no-such-folder" / "x.xml"), EXmlError);
    EXPECT_THROW(doc->Load(dir / "missing.xml"), EXmlError);
}

class XmlRoundTrip : public ::testing::TestWithParam<const char*> {};

// Feed bytes widened as the feed component does, then text -> document -> XML -> document -> XML.
TEST_P(XmlRoundTrip, MarkupIsStable) {
    const std::string bytes = test::ReadDataFile(std::string("xml/") + GetParam());
    ASSERT_FALSE(bytes.empty());
    auto doc = CreateXmlDocument();
    doc->LoadXML(XmlFromUtf8(bytes));
    ASSERT_TRUE(doc->DocumentElement());
    const std::u16string first = doc->XML();
    auto again = CreateXmlDocument();
    again->LoadXML(first);
    const std::u16string second = again->XML();
    EXPECT_EQ(U8(second), U8(first));
    // And the walk the feed does sees the same items both times.
    auto items = [](TXmlDocument& d) {
        std::u16string all;
        auto channel = d.DocumentElement()->SelectSingleNode(u"channel");
        if (!channel) return all;
        auto list = channel->SelectNodes(u"item");
        for (int i = 0; i < list->Count(); ++i) {
            auto item = list->Item(i);
            all += item->GetChildText(u"title") + u"|" + item->GetChildText(u"link") + u"|" +
                   item->GetChildText(u"description") + u"\n";
        }
        return all;
    };
    EXPECT_EQ(U8(items(*again)), U8(items(*doc)));
    EXPECT_FALSE(items(*doc).empty());
}

INSTANTIATE_TEST_SUITE_P(Feeds, XmlRoundTrip,
                         ::testing::Values("news-rss2.xml", "podcast.xml", "blog-cdata.xml", "cyrillic.xml",
                                           "stylesheet-doctype.xml", "rss091.xml"));

}  // namespace
}  // namespace tw
