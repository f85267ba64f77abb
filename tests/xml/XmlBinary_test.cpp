// The binary form: layout, both string widths, every value type, and damaged input.
#include <gtest/gtest.h>

#include <sstream>

#include "support/TestPaths.h"
#include "xml/XmlDom.h"
#include "xml/XmlTestKit.h"

namespace tw {
namespace {

using namespace xmltest;

XmlPtr<TXmlDocument> Sample() {
    XmlPtr<TXmlNameTable> table(new TXmlNameTable());
    auto doc = CreateXmlDocument("", "1.0", "", table);
    doc->LoadXML(u"<?xml version='1.0' encoding='utf-8'?><!--top--><rss v='2'><channel><title>Т &amp; t</title>"
                 u"<item><![CDATA[<raw>]]><?pi some text?></item></channel></rss>");
    auto root = doc->DocumentElement();
    root->AppendElement(u"valued")->SetValue(TXmlValue(std::int32_t{-77}));
    return doc;
}

std::string LoadBack(std::string_view bytes, XmlPtr<TXmlDocument>& into) {
    into = CreateXmlDocument();
    std::istringstream in{std::string(bytes)};
    into->Load(in);
    return U8(into->XML());
}

TEST(XmlBinary, RoundTripsThroughStreamsStringsAndFiles) {
    auto doc = Sample();
    const std::string expected = U8(doc->XML());
    for (bool wide : {true, false}) {
        const std::string bytes = doc->BinaryXML(wide);
        ASSERT_EQ(bytes.substr(0, 14), "< binary-xml >");
        EXPECT_EQ(static_cast<unsigned char>(bytes[14]), wide ? 1u : 0u);
        XmlPtr<TXmlDocument> back;
        EXPECT_EQ(LoadBack(bytes, back), expected) << "wide " << wide;
        EXPECT_NE(&back->NameTable(), XmlDefaultNameTable().get());  // a fresh table
        EXPECT_EQ(back->DocumentElement()->SelectSingleNode(u"valued")->AsElement()->Value(),
                  TXmlValue(std::int32_t{-77}));

        // LoadXML takes the binary form as 8-bit text widened by the code page.
        auto viaText = CreateXmlDocument();
        viaText->LoadXML(XmlWidenAnsi(bytes));
        EXPECT_EQ(U8(viaText->XML()), expected);
        // Its bytes are not UTF-8 text: the 8-bit reader takes them as they stand.
        auto viaBytes = CreateXmlDocument();
        viaBytes->LoadUtf8XML(bytes);
        EXPECT_EQ(U8(viaBytes->XML()), expected);
    }
    test::TempDir dir;
    doc->SaveBinary(dir / "doc.bin");
    auto fromFile = CreateXmlDocument();
    fromFile->Load(dir / "doc.bin");
    EXPECT_EQ(U8(fromFile->XML()), expected);
}

TEST(XmlBinary, EveryValueTypeSurvives) {
    const TXmlValue values[] = {
        TXmlValue(),
        TXmlValue::Null(),
        TXmlValue(std::int16_t{-300}),
        TXmlValue(std::int32_t{-2000000000}),
        TXmlValue(3.25f),
        TXmlValue(-1e300),
        TXmlValue(TXmlCurrency{-922337203685477}),
        TXmlValue(TXmlDateTime{45000.5}),
        TXmlValue(u"wide Ж"),
        TXmlValue(true),
        TXmlValue(false),
        TXmlValue(std::uint8_t{200}),
        TXmlValue(std::string("narrow \xC3\xA9")),
        TXmlValue(std::vector<std::uint8_t>(300, 0xA5)),
    };
    for (bool wide : {true, false}) {
        auto doc = CreateXmlDocument("r");
        auto r = doc->DocumentElement();
        int i = 0;
        for (const auto& v : values) {
            r->SetVarAttr(AttrNameOf(i), v);
            r->AppendChild(doc->CreateTextNode(v));
            ++i;
        }
        XmlPtr<TXmlDocument> back;
        LoadBack(doc->BinaryXML(wide), back);
        auto br = back->DocumentElement();
        ASSERT_EQ(br->AttrCount(), i);
        ASSERT_EQ(br->ChildCount(), i);
        for (int k = 0; k < i; ++k) {
            EXPECT_EQ(br->AttrValue(k), values[k]) << "attribute " << k;
            EXPECT_EQ(br->Child(k)->AsText()->Value(), values[k]) << "text " << k;
        }
    }
}

TEST(XmlBinary, CompactIntegersUseTheirThreeForms) {
    // A text of n characters stores its length compactly; check the bytes around the borders.
    struct Case {
        size_t length;
        std::string prefix;
    } cases[] = {
        {0, std::string("\x00", 1)},
        {127, "\x7F"},
        {128, "\x80\x80"},
        {300, "\x81\x2C"},
        {32511, "\xFE\xFF"},
        // From 32512 the two-byte form would begin with 255, the long form's marker.
        {32512, std::string("\xFF\x00\x7F\x00\x00", 5)},
        {40000, std::string("\xFF\x40\x9C\x00\x00", 5)},
    };
    for (const auto& c : cases) {
        auto doc = CreateXmlDocument();
        doc->AppendChild(doc->CreateComment(std::u16string(c.length, u'x')));
        const std::string bytes = doc->BinaryXML(false);
        // The document record ends with: attribute count 0, child count 1, type 8, the string.
        const std::string tail = std::string("\x00\x01\x08", 3) + c.prefix + std::string(c.length, 'x');
        ASSERT_GE(bytes.size(), tail.size());
        EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail) << c.length;
        XmlPtr<TXmlDocument> back;
        LoadBack(bytes, back);
        EXPECT_EQ(back->Child(0)->AsComment()->Data().size(), c.length);
    }
}

TEST(XmlBinary, DamagedInputRaisesTheReadMessages) {
    const std::string good = Sample()->BinaryXML(true);
    auto load = [](const std::string& bytes) {
        return MessageOf([&] {
            auto doc = CreateXmlDocument();
            std::istringstream in(bytes);
            doc->Load(in);
        });
    };
    // Every cut short of the whole is a read past the end.
    for (size_t cut = 15; cut < good.size(); cut += 7) EXPECT_EQ(load(good.substr(0, cut)), "Ошибка чтения данных.") << cut;
    EXPECT_EQ(load(good), "(no error)");

    // Hand-made: options, empty table, then one child of an unknown type.
    std::string head = std::string("< binary-xml >") + std::string("\x01\x00\x00\x00", 4) + std::string("\x00\x00\x00", 3);
    EXPECT_EQ(load(head + std::string("\x00\x01\x02", 3)), "Ошибка чтения двоичного XML: некорректный тип узла");
    // A text node whose value has an unknown type code.
    EXPECT_EQ(load(head + std::string("\x00\x01\x03\x09", 4)), "Ошибка чтения значения: некорректный тип.");
    // An element naming an id the table does not hold.
    EXPECT_EQ(load(head + std::string("\x00\x01\x01\x05", 4)), "Ошибка чтения данных.");
    // A count far beyond the input.
    EXPECT_EQ(load(head + std::string("\x00\xFF\xFF\xFF\xFF\x7F", 6)), "Ошибка чтения данных.");
    EXPECT_EQ(load(head + std::string("\x00\xFF\xFF\xFF\xFF\xFF", 6)), "Ошибка чтения данных.");
}

TEST(XmlBinary, ANodeKindWithoutARecordCannotBeWritten) {
    auto doc = CreateXmlDocument("r");
    doc->DocumentElement()->AppendChild(CreateXmlDocument());  // a document has no child record
    EXPECT_EQ(MessageOf([&] { doc->BinaryXML(true); }), "Ошибка записи двоичного XML: некорректный тип узла");
}

TEST(XmlBinary, NestingIsLimitedLikeText) {
    auto doc = CreateXmlDocument();
    TXmlNode* at = doc.get();
    for (int i = 0; i < kXmlMaxDepth + 1; ++i) at = at->AppendElement(u"a").get();
    const std::string bytes = doc->BinaryXML(true);
    XmlPtr<TXmlDocument> back;
    EXPECT_EQ(MessageOf([&] { LoadBack(bytes, back); }), "Превышена допустимая глубина вложенности элементов");
    at->ParentNode()->RemoveChild(at);
    EXPECT_EQ(MessageOf([&] { LoadBack(doc->BinaryXML(true), back); }), "(no error)");
}

}  // namespace
}  // namespace tw
