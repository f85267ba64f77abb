// The reader: what text becomes which tree, and which message each malformed input raises.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "xml/XmlDom.h"
#include "xml/XmlTestKit.h"

namespace tw {
namespace {

using namespace xmltest;

std::u16string ErrorOf(std::u16string_view text) {
    auto doc = CreateXmlDocument();
    try {
        doc->LoadXML(text);
    } catch (const EXmlError& e) {
        return e.Message();
    }
    return u"(no error)";
}

struct ErrorCase {
    const char16_t* input;
    const char16_t* message;
};

class XmlReaderErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(XmlReaderErrors, RaisesTheSystemMessage) {
    const ErrorCase& c = GetParam();
    EXPECT_EQ(U8(ErrorOf(c.input)), U8(c.message)) << "input: " << U8(c.input);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, XmlReaderErrors,
    ::testing::Values(
        ErrorCase{u"<t>&#65;&#x42;&#X43;</t>", u"Ожидается число"},
        ErrorCase{u"<t>&nbsp;</t>", u"Некорректное имя управляющего символа"},
        ErrorCase{u"<t>AT&T and more</t>", u"Ожидается \";\""},
        ErrorCase{u"<a b=1/>", u"Ожидается строковая константа"},
        ErrorCase{u"<a b=\"x<y\"/>", u"Символ \"<\" не может использоваться в значениях атрибутов"},
        ErrorCase{u"<a></b>", u"Ожидается \"a\""},
        ErrorCase{u"<a>", u"Ожидается \"/\""},
        ErrorCase{u"<1a/>", u"Имя должно начинаться с буквы или \"_\""},
        ErrorCase{u"<a!/>", u"Некорретный символ в имени элемента"},
        ErrorCase{u"<a", u"Не завершено определение элемента"},
        ErrorCase{u"<a b", u"Ожидается \"=\""},
        ErrorCase{u"<a b=", u"Ожидается значение атрибута"},
        ErrorCase{u"<a b = ", u"Ожидается значение атрибута"},
        ErrorCase{u"<a b='x", u"Ожидается \"'\""},
        ErrorCase{u"<a b=\"x", u"Ожидается \"\"\""},
        ErrorCase{u"<a / >", u"Ожидается \"/>\""},
        ErrorCase{u"<a 1=\"x\"/>", u"Ожидается \">\""},
        ErrorCase{u"<ab></a>", u"Ожидается \"ab\""},
        ErrorCase{u"<a></ab>", u"Ожидается \">\""},
        ErrorCase{u"<a></a", u"Ожидается \">\""},
        ErrorCase{u"<t>&", u"Ожидается \"#\" или имя упрамляющего символа"},
        ErrorCase{u"<t>&#", u"Ожидается число"},
        ErrorCase{u"<t>&#;</t>", u"Ожидается число"},
        ErrorCase{u"<t>&#x;</t>", u"Ожидается шестнадцатеричное число"},
        ErrorCase{u"<t>&#xG;</t>", u"Ожидается шестнадцатеричное число"},
        ErrorCase{u"<t>&#65</t>", u"Ожидается \";\""},
        ErrorCase{u"<t>& </t>", u"Имя должно начинаться с буквы или \"_\""},
        ErrorCase{u"<t>&AMP;</t>", u"Некорректное имя управляющего символа"},
        ErrorCase{u"<t a='&bogus;'/>", u"Некорректное имя управляющего символа"},
        ErrorCase{u"<?", u"Имя должно начинаться с буквы или \"_\""},
        ErrorCase{u"<? x?>", u"Имя должно начинаться с буквы или \"_\""},
        ErrorCase{u"<?pi text", u"Ожидается \"?>\""},
        ErrorCase{u"<?xml version=\"1.0\"", u"Ожидается \"?>\""},
        ErrorCase{u"<?xml version=\"1.0\" ?", u"Ожидается \"?>\""},
        ErrorCase{u"<!-x-->", u"Ожидается \"--\""},
        ErrorCase{u"<!-- open", u"Ожидается \"-->\""},
        ErrorCase{u"<!-- a --", u"Ожидается \"-->\""},
        ErrorCase{u"<a><![CDATA[x]]</a>", u"Ожидается \"]]>\""},
        ErrorCase{u"<![CDAT[x]]>", u"Ожидается \"[CDATA[\""},
        ErrorCase{u"<!doctype html>", u"Ожидается \"DOCTYPE\""},
        ErrorCase{u"<!", u"Ожидается \"DOCTYPE\""},
        ErrorCase{u"<!DOCTYPE rss", u"Ожидается \">\""},
        ErrorCase{u"<a><b></a>", u"Ожидается \"b\""}));

// An end tag is compared with its start tag's bytes: one byte different, at any place of a name
// of any length, is the wrong end tag.
TEST(XmlReader, EndTagDifferingInOneByteFails) {
    for (size_t length = 1; length <= 12; ++length) {
        const std::string name = std::string("abcdefghijkl").substr(0, length);
        EXPECT_EQ(MessageOf([&] { Parse(XmlFromUtf8("<" + name + "></" + name + ">")); }), "(no error)");
        for (size_t at = 0; at < length; ++at) {
            std::string other = name;
            other[at] = 'z';
            EXPECT_EQ(MessageOf([&] { Parse(XmlFromUtf8("<" + name + "></" + other + ">")); }), "Ожидается \"" + name + "\"")
                << name << " " << other;
        }
    }
}

TEST(XmlReader, WhiteSpaceOnlyTextIsDroppedUnlessPreserved) {
    auto doc = Parse(u"<rss><channel>  </channel></rss>");
    auto channel = doc->DocumentElement()->SelectSingleNode(u"channel");
    ASSERT_TRUE(channel);
    EXPECT_EQ(channel->ChildCount(), 0);

    auto kept = Parse(u"<rss><channel>  </channel></rss>", true);
    channel = kept->DocumentElement()->SelectSingleNode(u"channel");
    ASSERT_EQ(channel->ChildCount(), 1);
    EXPECT_EQ(channel->Child(0)->NodeType(), XML_TEXT_NODE);
    EXPECT_EQ(channel->Child(0)->Text(), u"  ");
}

TEST(XmlReader, TextKeepsItsSpacesAndReplacesReferences) {
    EXPECT_EQ(Parse(u"<t> A &amp; B </t>")->DocumentElement()->Text(), u" A & B ");
    EXPECT_EQ(Parse(u"<t>&lt;&gt;&quot;&apos;&amp;</t>")->DocumentElement()->Text(), u"<>\"'&");
    EXPECT_EQ(Parse(u"<t>&#65;&#x42;&#x63;&#xfF;</t>")->DocumentElement()->Text(), u"ABc\u00FF");
    // A reference beyond the BMP becomes a surrogate pair.
    EXPECT_EQ(Parse(u"<t>&#x10041;&#65601;</t>")->DocumentElement()->Text(), u"\U00010041\U00010041");
}

TEST(XmlReader, CDATAIsKeptUnchangedAndJoinedWithASpace) {
    auto doc = Parse(u"<t>a<![CDATA[<b>]]></t>");
    EXPECT_EQ(doc->DocumentElement()->Text(), u"a <b>");
    auto raw = Parse(u"<t><![CDATA[&amp; ]] ]> ]]]></t>");
    ASSERT_EQ(raw->DocumentElement()->ChildCount(), 1);
    EXPECT_EQ(raw->DocumentElement()->Child(0)->AsCDATASection()->Data(), u"&amp; ]] ]> ]");
}

TEST(XmlReader, TerminatorMatchingRestartsInsideAPartialMatch) {
    struct Case {
        const char16_t* input;
        const char16_t* data;
    } cases[] = {
        {u"<!--x--->", u"x-"},
        {u"<!---->", u""},
        {u"<!-- a -- b - c -->", u" a -- b - c "},
        {u"<!--a-->-->", u"a"},
    };
    for (const auto& c : cases) {
        auto doc = Parse(c.input, true);
        ASSERT_GE(doc->ChildCount(), 1) << U8(c.input);
        ASSERT_TRUE(doc->Child(0)->AsComment()) << U8(c.input);
        EXPECT_EQ(doc->Child(0)->AsComment()->Data(), c.data) << U8(c.input);
    }
    auto cdata = Parse(u"<t><![CDATA[x]]]]></t>");
    EXPECT_EQ(cdata->DocumentElement()->Child(0)->AsCDATASection()->Data(), u"x]]");
    auto pi = Parse(u"<?pi a?" u"?>");
    EXPECT_EQ(pi->Child(0)->AsProcessingInstruction()->Data(), u" a?");
}

// Tab, LF and CR are plain characters wherever text is read, also where the scan looks for no
// delimiter at all (comments, CDATA, instructions), at any offset of a block.
TEST(XmlReader, LineBreaksAndTabsAreKeptEverywhere) {
    for (size_t k = 0; k < 36; ++k) {
        const std::u16string body = std::u16string(k, u'x') + u"a\tb\nc\r\nd" + std::u16string(k % 7, u'y') + u"\u00e9\n";
        auto doc = Parse(u"<!--" + body + u"--><?pi " + body + u"?><t a='" + body + u"'>" + body + u"<![CDATA[" + body +
                             u"]]></t>",
                         true);
        ASSERT_EQ(doc->ChildCount(), 3) << k;
        EXPECT_EQ(U8(doc->Child(0)->AsComment()->Data()), U8(body)) << k;
        EXPECT_EQ(U8(doc->Child(1)->AsProcessingInstruction()->Data()), U8(u" " + body)) << k;  // keeps its space
        const TXmlNode* t = doc->Child(2);
        EXPECT_EQ(U8(t->GetAttr(u"a")), U8(body)) << k;
        ASSERT_EQ(t->ChildCount(), 2) << k;
        EXPECT_EQ(U8(t->Child(0)->AsText()->Value().ToText()), U8(body)) << k;
        EXPECT_EQ(U8(t->Child(1)->AsCDATASection()->Data()), U8(body)) << k;
    }
}

TEST(XmlReader, DeclarationKeepsPseudoAttributes) {
    auto doc = Parse(u"<?xml version=\"1.0\" encoding=\"windows-1251\"?><rss/>");
    ASSERT_EQ(doc->ChildCount(), 2);
    TXmlNode* decl = doc->Child(0);
    EXPECT_EQ(decl->NodeName(), u"xml");
    EXPECT_EQ(decl->NodeType(), XML_PROCESSING_INSTRUCTION_NODE);
    EXPECT_EQ(decl->GetAttr(u"encoding", u""), u"windows-1251");
    EXPECT_EQ(decl->GetAttr(u"version", u""), u"1.0");
    EXPECT_EQ(decl->Text(), u"");
    // Accepted anywhere and repeatedly.
    auto twice = Parse(u"<a><?xml version='2'?></a><?xml version='3'?>");
    EXPECT_EQ(twice->DocumentElement()->Child(0)->GetAttr(u"version"), u"2");
    EXPECT_EQ(twice->Child(1)->GetAttr(u"version"), u"3");
}

TEST(XmlReader, OtherInstructionsKeepTheirText) {
    auto doc = Parse(u"<?xml-stylesheet type=\"text/xsl\" href=\"s.xsl\"?><rss/>");
    auto* pi = doc->Child(0)->AsProcessingInstruction();
    ASSERT_TRUE(pi);
    EXPECT_EQ(pi->Target(), u"xml-stylesheet");
    EXPECT_EQ(pi->Data(), u" type=\"text/xsl\" href=\"s.xsl\"");
    EXPECT_EQ(pi->AttrCount(), 0);
}

TEST(XmlReader, DoctypeWithInternalSubsetIsSkippedWhole) {
    auto doc = Parse(u"<!DOCTYPE rss [<!ENTITY x \"y\">]><rss/>");
    ASSERT_EQ(doc->ChildCount(), 1);
    EXPECT_EQ(doc->DocumentElement()->NodeName(), u"rss");
}

TEST(XmlReader, ClosingTagAtDocumentLevelEndsTheParse) {
    auto doc = Parse(u"<a/></b><c/>");
    ASSERT_EQ(doc->ChildCount(), 1);
    EXPECT_EQ(doc->Child(0)->NodeName(), u"a");
}

TEST(XmlReader, EmptyOrMarkupFreeTextHasNoDocumentElement) {
    auto empty = Parse(u"");
    EXPECT_EQ(empty->ChildCount(), 0);
    EXPECT_FALSE(empty->DocumentElement());
    auto text = Parse(u"just words");
    ASSERT_EQ(text->ChildCount(), 1);
    EXPECT_EQ(text->Child(0)->Text(), u"just words");
    EXPECT_FALSE(text->DocumentElement());
    auto lone = Parse(u"words<");  // a "<" at the very end is dropped
    ASSERT_EQ(lone->ChildCount(), 1);
    EXPECT_EQ(lone->Child(0)->Text(), u"words");
}

TEST(XmlReader, AttributesKeepOrderTabsAndLineBreaks) {
    auto doc = Parse(u"<a z='1' y=\"2\" x = 'a\tb\r\nc' y='3'/>");
    auto a = doc->DocumentElement();
    ASSERT_EQ(a->AttrCount(), 3);
    EXPECT_EQ(a->AttrName(0), u"z");
    EXPECT_EQ(a->AttrName(1), u"y");
    EXPECT_EQ(a->AttrName(2), u"x");
    EXPECT_EQ(a->GetAttr(u"y"), u"3");  // set last, at the position of the first
    EXPECT_EQ(a->GetAttr(u"x"), u"a\tb\r\nc");
    EXPECT_EQ(Parse(u"<a q='say \"hi\" &amp; &apos;bye&apos;'/>")->DocumentElement()->GetAttr(u"q"),
              u"say \"hi\" & 'bye'");
}

// Mended: each attribute was looked for among those before it, so a start tag of 200,000
// attributes took minutes (an OPML outline or a feed item can be that hostile).
TEST(XmlReader, ManyAttributesKeepTheirPlacesAndRepeatsTheirFirstPlace) {
    constexpr int kCount = 200000;
    std::string text = "<r><a";
    for (int i = 0; i < kCount; ++i) text += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
    text += " a5='again' a150000='later'/><b a7='x' a150000='y'/></r>";
    auto doc = CreateXmlDocument();
    doc->LoadUtf8XML(text);
    const TXmlNode* a = doc->DocumentElement()->Child(0);
    ASSERT_EQ(a->AttrCount(), kCount);
    EXPECT_EQ(a->AttrName(kCount - 1), u"a199999");
    EXPECT_EQ(a->GetAttr(u"a5"), u"again");
    EXPECT_EQ(a->AttrName(150000), u"a150000");
    EXPECT_EQ(a->GetAttr(u"a150000"), u"later");
    EXPECT_EQ(a->GetAttr(u"a149999"), u"149999");
    const TXmlNode* b = doc->DocumentElement()->Child(1);
    ASSERT_EQ(b->AttrCount(), 2) << "the names of the tag before are no repeats here";
    EXPECT_EQ(b->GetAttr(u"a7"), u"x");
    EXPECT_EQ(b->GetAttr(u"a150000"), u"y");
}

TEST(XmlReader, NamesAllowLettersDigitsAndPunctuation) {
    auto doc = Parse(u"<dc:creator x-y.z_1='v'><_a/><Заголовок/></dc:creator>");
    auto root = doc->DocumentElement();
    EXPECT_EQ(root->NodeName(), u"dc:creator");
    EXPECT_EQ(root->GetAttr(u"x-y.z_1"), u"v");
    EXPECT_TRUE(root->SelectSingleNode(u"_a"));
    EXPECT_TRUE(root->SelectSingleNode(u"Заголовок"));
}

TEST(XmlReader, NodesReadBeforeAnErrorStay) {
    auto doc = CreateXmlDocument();
    EXPECT_THROW(doc->LoadXML(u"<rss><channel><title>x</title><item>&bad;</item>"), EXmlError);
    auto root = doc->DocumentElement();
    ASSERT_TRUE(root);
    auto channel = root->SelectSingleNode(u"channel");
    ASSERT_TRUE(channel);
    EXPECT_EQ(channel->ChildCount(), 2);
    EXPECT_EQ(channel->GetChildText(u"title"), u"x");
}

// Logs what the reader shows it and leaves elements named "drop" out.
struct LoggingSink final : TXmlElementSink {
    LoggingSink() : TXmlElementSink(3) {}
    std::string log;
    void ParseBegun() override { log += "begin "; }
    void ElementStarted(const TXmlElement& e, int depth) override { log += "<" + U8(e.NodeName()) + std::to_string(depth) + " "; }
    bool ElementEnded(const TXmlElement& e, int depth) override {
        log += "/" + U8(e.NodeName()) + std::to_string(depth) + "(" + std::to_string(e.ChildCount()) + ") ";
        return e.NodeName() == u"drop";
    }
};

TEST(XmlReaderSink, SeesEachElementWholeAndLeavesOutWhatItTakes) {
    LoggingSink sink;
    auto doc = CreateXmlDocument();
    doc->LoadUtf8XML("<a><drop><b><deep/></b>t</drop><c x='1'>u</c><drop/></a>", &sink);
    EXPECT_EQ(sink.log, "begin <a1 <drop2 <b3 /b3(1) /drop2(2) <c2 /c2(1) <drop2 /drop2(0) /a1(1) ");
    const auto root = doc->DocumentElement();
    ASSERT_EQ(root->ChildCount(), 1);
    EXPECT_EQ(root->Child(0)->NodeName(), u"c");

    // Bytes that are not UTF-8 are read again as Windows-1252: the sink starts over with them.
    sink.log.clear();
    doc->LoadUtf8XML("<a><drop/>caf\xE9</a>", &sink);
    EXPECT_EQ(sink.log, "begin <a1 <drop2 /drop2(0) begin <a1 <drop2 /drop2(0) /a1(1) ");
    EXPECT_EQ(U8(doc->DocumentElement()->Text()), "caf\xC3\xA9");

    // An error leaves what was read, minus what the sink took.
    sink.log.clear();
    EXPECT_THROW(doc->LoadUtf8XML("<a><drop/><c/><d>", &sink), EXmlError);
    EXPECT_EQ(doc->DocumentElement()->ChildCount(), 2);
}

TEST(XmlReader, LoadingReplacesChildrenAndAttributes) {
    auto doc = CreateXmlDocument("root");
    doc->SetAttr(u"stale", u"1");
    doc->LoadXML(u"<fresh/>");
    EXPECT_EQ(doc->ChildCount(), 1);
    EXPECT_EQ(doc->AttrCount(), 0);
    EXPECT_EQ(doc->DocumentElement()->NodeName(), u"fresh");
}

TEST(XmlReader, ByteOrderMarkWidenedByteByByteBecomesLeadingText) {
    std::u16string text = u"\u00EF\u00BB\u00BF<?xml version=\"1.0\" encoding=\"utf-8\"?><rss/>";
    auto doc = Parse(text);
    ASSERT_EQ(doc->ChildCount(), 3);
    EXPECT_EQ(doc->Child(0)->NodeType(), XML_TEXT_NODE);
    EXPECT_EQ(doc->Child(1)->NodeName(), u"xml");
}

// A document nested tens of thousands deep would overflow the stack of a recursive reader.
TEST(XmlReader, NestingDeeperThanTheLimitFailsCleanly) {
    auto nested = [](int depth) {
        std::u16string s;
        for (int i = 0; i < depth; ++i) s += u"<a>";
        for (int i = 0; i < depth; ++i) s += u"</a>";
        return s;
    };
    auto doc = Parse(nested(kXmlMaxDepth));
    int levels = 0;
    for (TXmlNode* n = doc.get(); n->ChildCount() > 0; n = n->Child(0)) ++levels;
    EXPECT_EQ(levels, kXmlMaxDepth);
    EXPECT_EQ(U8(ErrorOf(nested(kXmlMaxDepth + 1))), "Превышена допустимая глубина вложенности элементов");
    EXPECT_EQ(U8(ErrorOf(nested(100000))), "Превышена допустимая глубина вложенности элементов");
    std::u16string open;
    for (int i = 0; i < 100000; ++i) open += u"<a>";
    EXPECT_EQ(U8(ErrorOf(open)), "Превышена допустимая глубина вложенности элементов");
}

TEST(XmlReader, LongTextsAreReadWhole) {
    const std::u16string head(1000, u'x'), tail(300000, u'y');
    std::u16string text = u"<t>";
    text += head;
    text += u"&amp;";
    text += tail;
    text += u"</t>";
    std::u16string expected = head;
    expected += u'&';
    expected += tail;
    EXPECT_EQ(Parse(text)->DocumentElement()->Text(), expected);
}

// The scans run over blocks of code units: a delimiter or a non-ASCII byte at any offset.
TEST(XmlReader, DelimitersAtEveryOffsetOfABlock) {
    for (size_t k = 0; k < 40; ++k) {
        const std::u16string pad(k, u'x');
        std::u16string text = u"<t>";
        text += pad;
        text += u"&amp;";
        text += pad;
        text += u"<![CDATA[";
        text += pad;
        text += u"]]></t>";
        std::u16string expected = pad;
        expected += u'&';
        expected += pad;
        if (k > 0) expected += u' ';
        expected += pad;
        EXPECT_EQ(U8(Parse(text)->DocumentElement()->Text()), U8(expected)) << k;

        std::string bytes(k, 'x');
        bytes += "\xC3\xA9";
        bytes += std::string(k, 'y');
        std::u16string wide(k, u'x');
        wide += u'\u00E9';
        wide += std::u16string(k, u'y');
        EXPECT_EQ(XmlFromUtf8(bytes), wide) << k;
    }
}

// The scan steps over characters beyond ASCII itself: each length, the ones XML forbids and
// malformed ones (which make the whole text Windows-1252), at every offset of a block, in text
// and in attribute values.
TEST(XmlReaderUtf8, SequencesAtEveryOffsetOfABlock) {
    const std::string sequences[] = {
        "\xC3\xA9", "\xE2\x80\x94", "\xF0\x9F\x8C\x8A", "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBD",
        "\xEF\xBF\xBE", "\xEF\xBF\xBF",                        // U+FFFE, U+FFFF: replaced
        "\xC3", "\xE2\x80", "\xF0\x9F\x8C",                    // cut off
        "\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF",        // overlong
        "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80", "\xFC\x84\x80\x80\x80", "\x80",
    };
    for (const std::string& seq : sequences) {
        std::u16string wide = XmlFromUtf8(seq);  // Windows-1252 when not UTF-8
        for (char16_t& c : wide)
            if (c == 0xFFFE || c == 0xFFFF) c = 0xFFFD;
        for (size_t k = 0; k < 36; ++k) {
            const std::string pad(k, 'x');
            auto doc = CreateXmlDocument();
            doc->LoadUtf8XML("<t a='" + pad + seq + "y'>" + pad + seq + "y</t>");
            const std::u16string expected = XmlFromUtf8(pad) + wide + u"y";
            auto t = doc->DocumentElement();
            ASSERT_EQ(U8(t->Text()), U8(expected)) << k << " " << U8(wide);
            ASSERT_EQ(U8(t->GetAttr(u"a")), U8(expected)) << k << " " << U8(wide);
        }
    }
}

// The scan judges UTF-8 a block at a time: characters of every length side by side, across block
// ends, cut off by a tag, and now and then a malformed one (the whole text then reads as
// Windows-1252), must read as the widened text does.
TEST(XmlReaderUtf8, MixedRunsReadAsTheWidenedText) {
    const std::string valid[] = {"x", "yz", "\n", "\xC3\xA9", "\xE2\x80\x94", "\xF0\x9F\x8C\x8A", "\xEF\xBF\xBE", "&amp;"};
    const std::string invalid[] = {"\xC3", "\xE2\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xFF", "\xC1\xBF"};
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string body;
        for (std::uint32_t i = 0, n = next(40); i < n; ++i)
            body += next(60) == 0 ? invalid[next(std::size(invalid))] : valid[next(std::size(valid))];
        // <v> tells the two readings apart: "é" as UTF-8, two characters as Windows-1252.
        const std::string bytes = "<r><v>\xC3\xA9</v><t a='" + body + "'>" + body + "</t>" + body + "<u/></r>";
        auto direct = CreateXmlDocument();
        direct->LoadUtf8XML(bytes);
        auto widened = CreateXmlDocument();
        widened->LoadXML(XmlFromUtf8(bytes));
        ASSERT_EQ(U8(direct->XML()), U8(widened->XML())) << round;
    }
}

// Decoded in place, each run between references moves down by what the references before it
// saved: runs of every length behind gaps of every size, in text and in attribute values.
TEST(XmlReaderUtf8, RunsBetweenReferencesMoveIntact) {
    const std::pair<std::string, std::string> refs[] = {{"&lt;", "<"}, {"&quot;", "\""}, {"&#8212;", "\xE2\x80\x94"},
                                                        {"&amp;", "&"}, {"&#x1F30A;", "\xF0\x9F\x8C\x8A"}};
    for (size_t run = 0; run < 40; ++run) {
        std::string body, expected;
        for (int i = 0; i < 12; ++i) {
            const auto& [ref, ch] = refs[static_cast<size_t>(i) % std::size(refs)];
            std::string chunk(run, static_cast<char>('a' + i));
            if (run > 3) chunk[run / 2] = '\xC3', chunk[run / 2 + 1] = '\xA9';  // an é inside the run
            body += ref + chunk;
            expected += ch + chunk;
        }
        auto doc = CreateXmlDocument();
        doc->LoadUtf8XML("<t v='" + body + "'>" + body + "</t><u/>");
        auto t = doc->DocumentElement();
        ASSERT_EQ(t->TextUtf8(), expected) << run;
        std::string scratch;
        ASSERT_EQ(t->AttrUtf8("v", scratch), expected) << run;
    }
}

// 8-bit text straight from bytes gives what widening it first gives.
TEST(XmlReaderUtf8, MatchesLoadXMLOfTheWidenedText) {
    std::string big = "<r>";
    while (big.size() < 200000) big += "<t a='\xC3\xA9'>caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x8C\x8A &amp;</t>";
    big += "</r>";
    const std::string cases[] = {
        "<t>caf\xC3\xA9</t>",
        "<t>caf\xE9</t>",           // not UTF-8: the single-byte code page
        "\xEF\xBB\xBF<?xml version='1.0'?><rss/>",
        "",
        "<a></b>",
        big,
    };
    for (const std::string& bytes : cases) {
        auto direct = CreateXmlDocument();
        auto widened = CreateXmlDocument();
        std::string e1, e2;
        try {
            direct->LoadUtf8XML(bytes);
        } catch (const EXmlError& e) {
            e1 = e.what();
        }
        try {
            widened->LoadXML(XmlFromUtf8(bytes));
        } catch (const EXmlError& e) {
            e2 = e.what();
        }
        EXPECT_EQ(e1, e2);
        EXPECT_EQ(U8(direct->XML()), U8(widened->XML())) << bytes.substr(0, 40);
    }
    auto doc = CreateXmlDocument();
    doc->LoadUtf8XML(big);
    auto items = doc->DocumentElement()->SelectNodes(u"t");
    EXPECT_GT(items->Count(), 4000);
    for (int i = 0; i < items->Count(); ++i) ASSERT_EQ(items->Item(i)->Text(), u"café — 🌊 &") << i;
}

// The stream source: one character per byte through the single-byte code page.
TEST(XmlReaderStream, BytesBecomeCharactersOfTheCodePage) {
    std::istringstream in(std::string("<t>caf\xE9 \xE8 \x80</t>"));
    auto doc = CreateXmlDocument();
    doc->Load(in);
    EXPECT_EQ(doc->DocumentElement()->Text(), u"caf\u00E9 \u00E8 \u20AC");

    std::istringstream utf8(std::string("<t>\xC3\xA9</t>"));  // UTF-8 "é": two characters
    doc->Load(utf8);
    EXPECT_EQ(doc->DocumentElement()->Text(), u"\u00C3\u00A9");
}

TEST(XmlReaderStream, ReadsFromTheCurrentPositionAcrossBufferBoundaries) {
    std::string body;
    for (int i = 0; i < 20000; ++i) body += "<item n=\"" + std::to_string(i) + "\">text &amp; more</item>";
    std::string bytes = "garbage<list>" + body + "</list>";
    std::istringstream in(bytes);
    in.seekg(7);
    auto doc = CreateXmlDocument();
    doc->Load(in);
    auto items = doc->DocumentElement()->SelectNodes(u"item");
    ASSERT_EQ(items->Count(), 20000);
    for (int i : {0, 1234, 19999}) {
        EXPECT_EQ(items->Item(i)->GetAttr(u"n"), XmlFromUtf8(std::to_string(i)));
        EXPECT_EQ(items->Item(i)->Text(), u"text & more");
    }
}

TEST(XmlReaderStream, ShortStreamsAndErrors) {
    auto doc = CreateXmlDocument();
    std::istringstream tiny("<a/>");
    doc->Load(tiny);
    EXPECT_EQ(doc->DocumentElement()->NodeName(), u"a");
    std::istringstream empty("");
    doc->Load(empty);
    EXPECT_EQ(doc->ChildCount(), 0);
    std::istringstream bad("<a></b>");
    EXPECT_THROW(doc->Load(bad), EXmlError);
    // Exactly the signature and nothing more is not the binary form.
    std::istringstream sig("< binary-xml >");
    EXPECT_THROW(doc->Load(sig), EXmlError);
}

TEST(XmlReaderStream, Utf16LittleEndianReadsBack) {
    const std::u16string text = u"<t>Привет</t>";
    for (bool bom : {false, true}) {
        std::string bytes = bom ? std::string("\xFF\xFE") : std::string();
        for (char16_t c : text) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
        std::istringstream in(bytes);
        auto doc = CreateXmlDocument();
        doc->Load(in);
        EXPECT_EQ(doc->DocumentElement()->Text(), u"Привет") << "bom " << bom;
    }
}

}  // namespace
}  // namespace tw
