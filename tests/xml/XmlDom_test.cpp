// The document model: name tables, node lists, attributes, values, selection and companions.
#include <gtest/gtest.h>

#include "xml/XmlDom.h"
#include "xml/XmlTestKit.h"

namespace tw {
namespace {

using namespace xmltest;

TEST(TXmlNameTable, InternsTheFiveNamesFirst) {
    XmlPtr<TXmlNameTable> t(new TXmlNameTable(4096));
    EXPECT_EQ(t->Count(), 5);
    const char16_t* first[] = {u"#text", u"#cdata-section", u"#comment", u"#document", u"xml"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(t->Name(i), first[i]);
    EXPECT_EQ(t->Intern(u"rss"), 5);
    EXPECT_EQ(t->Intern(u"Rss"), 6);  // case-sensitive
    EXPECT_EQ(t->Intern(u"rss"), 5);
    EXPECT_EQ(t->Intern(u""), -1);
    EXPECT_EQ(t->Find(u""), -1);
    EXPECT_EQ(t->Find(u"missing"), -1);
    EXPECT_EQ(t->Count(), 7);
    EXPECT_EQ(t->Name(-1), u"");
}

TEST(TXmlNameTable, HashAndBuckets) {
    EXPECT_EQ(TXmlNameTable::Hash(u""), 0u);
    EXPECT_EQ(TXmlNameTable::Hash(u"a"), 97u);
    EXPECT_EQ(TXmlNameTable::Hash(u"ab"), 97u * 33 + 98);
    // Wraps as unsigned 32-bit.
    std::u16string longName(40, u'\xFFFF');
    std::uint32_t h = 0;
    for (char16_t c : longName) h = h * 33u + c;
    EXPECT_EQ(TXmlNameTable::Hash(longName), h);

    XmlPtr<TXmlNameTable> t(new TXmlNameTable(7));
    const int id = t->Intern(u"ab");
    const auto& bucket = t->Bucket(static_cast<int>(TXmlNameTable::Hash(u"ab") % 7));
    EXPECT_NE(std::find(bucket.begin(), bucket.end(), id), bucket.end());
    // Names in one bucket stay apart.
    XmlPtr<TXmlNameTable> one(new TXmlNameTable(1));
    const int x = one->Intern(u"x");
    const int y = one->Intern(u"y");
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    EXPECT_EQ(one->Find(u"y"), 6);
    EXPECT_EQ(one->Find(u"x"), 5);
}

TEST(TXmlNameTable, DefaultTableIsShared) {
    auto a = CreateXmlDocument();
    auto b = CreateXmlDocument();
    EXPECT_EQ(&a->NameTable(), &b->NameTable());
    EXPECT_EQ(&a->NameTable(), XmlDefaultNameTable().get());
    XmlPtr<TXmlNameTable> own(new TXmlNameTable());
    auto c = CreateXmlDocument("", "1.0", "iso-8859-1", own);
    EXPECT_EQ(&c->NameTable(), own.get());
}

TEST(TXmlNode, KindsAnswerTypeCodesNamesAndCasts) {
    auto doc = CreateXmlDocument();
    XmlPtr<TXmlNode> nodes[] = {doc->CreateElement(u"item"), doc->CreateTextNode(TXmlValue(u"t")),
                                doc->CreateCDATASection(u"c"), doc->CreateProcessingInstruction(u"pi", u"x"),
                                doc->CreateComment(u"m"), doc};
    const int types[] = {1, 3, 4, 7, 8, 9};
    const char16_t* names[] = {u"item", u"#text", u"#cdata-section", u"pi", u"#comment", u"#document"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(nodes[i]->NodeType(), types[i]);
        EXPECT_EQ(nodes[i]->NodeName(), names[i]);
        EXPECT_EQ(nodes[i]->AsElement() != nullptr, i == 0);
        EXPECT_EQ(nodes[i]->AsText() != nullptr, i == 1);
        EXPECT_EQ(nodes[i]->AsCDATASection() != nullptr, i == 2);
        EXPECT_EQ(nodes[i]->AsProcessingInstruction() != nullptr, i == 3);
        EXPECT_EQ(nodes[i]->AsComment() != nullptr, i == 4);
        EXPECT_EQ(nodes[i]->AsDocument() != nullptr, i == 5);
        EXPECT_EQ(nodes[i]->AsCharacterData() != nullptr, i == 2 || i == 4);
    }
}

TEST(TXmlNodeList, ItemOutsideTheRangeRaises) {
    auto doc = Parse(u"<a><b/><c/></a>");
    auto list = doc->DocumentElement()->ChildNodes();
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Item(1)->NodeName(), u"c");
    const std::string msg = "Ошибка получения элемента списка: индекс выходит за пределы";
    EXPECT_EQ(MessageOf([&] { list->Item(list->Count()); }), msg);
    EXPECT_EQ(MessageOf([&] { list->Item(-1); }), msg);
}

TEST(TXmlNodeList, GrowsByTheRule) {
    auto doc = CreateXmlDocument();
    auto root = doc->CreateElement(u"r");
    auto list = root->ChildNodes();
    std::vector<int> capacities;
    int last = -1;
    for (int i = 0; i < 120; ++i) {
        list->Add(doc->CreateElement(u"c"));
        if (list->Capacity() != last) capacities.push_back(last = list->Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147}));
}

TEST(TXmlNode, AttributesGrowByTheRuleAndKeepOrder) {
    auto doc = CreateXmlDocument();
    auto e = doc->CreateElement(u"e");
    std::vector<int> capacities;
    int last = -1;
    for (int i = 0; i < 100; ++i) {
        e->SetAttr(AttrNameOf(i), u"v");
        if (e->AttrCapacity() != last) capacities.push_back(last = e->AttrCapacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
    for (int i = 0; i < 100; ++i) EXPECT_EQ(e->AttrName(i), AttrNameOf(i));
    e->SetAttr(u"a50", u"new");
    EXPECT_EQ(e->AttrCount(), 100);
    EXPECT_EQ(e->AttrName(50), u"a50");
    EXPECT_EQ(e->GetAttr(u"a50"), u"new");
    EXPECT_TRUE(e->RemoveAttr(u"a0"));
    EXPECT_FALSE(e->RemoveAttr(u"a0"));
    EXPECT_EQ(e->AttrName(0), u"a1");
    EXPECT_EQ(e->GetAttr(u"a0", u"gone"), u"gone");
    e->ClearAttributes();
    EXPECT_EQ(e->AttrCount(), 0);
}

TEST(TXmlNode, SelectionTakesDirectChildrenByExactName) {
    auto doc = Parse(u"<rss><channel><item><title>deep</title></item><Item/><item/><x:item/></channel></rss>");
    auto channel = doc->DocumentElement()->SelectSingleNode(u"channel");
    ASSERT_TRUE(channel);
    EXPECT_FALSE(channel->SelectSingleNode(u"title"));  // only a grandchild
    EXPECT_EQ(channel->SelectNodes(u"item")->Count(), 2);
    EXPECT_EQ(channel->SelectNodes(u"x:item")->Count(), 1);
    EXPECT_EQ(channel->SelectNodes(u"never-seen-name")->Count(), 0);
    auto items = channel->SelectNodes(u"item");
    EXPECT_EQ(items->Owner(), nullptr);
    EXPECT_EQ(items->Item(0)->ParentNode(), channel.get());  // a selection does not take the nodes
    EXPECT_EQ(channel->ChildCount(), 4);
}

TEST(TXmlNode, SelectionAcceptsOnlyPlainNames) {
    auto doc = Parse(u"<rss><channel/></rss>");
    auto root = doc->DocumentElement();
    const std::string msg = "Данная возможность не поддерживается XmlDom";
    for (const char16_t* path : {u"channel/item", u"*", u"", u"//item", u"@a", u"1x", u"a b", u"-a", u"a[1]"}) {
        EXPECT_EQ(MessageOf([&] { root->SelectNodes(path); }), msg) << U8(path);
        EXPECT_EQ(MessageOf([&] { root->SelectSingleNode(path); }), msg) << U8(path);
    }
    for (const char16_t* name : {u"a", u"_a", u"a-b.c:d_e1", u"Ж"}) EXPECT_NO_THROW(root->SelectNodes(name)) << U8(name);
}

TEST(TXmlNode, TextJoinsElementTextAndCDATAChildren) {
    struct Case {
        const char16_t* xml;
        const char16_t* text;
    } cases[] = {
        {u"<a>x<![CDATA[y]]></a>", u"x y"},
        {u"<a><b>1</b><b>2</b></a>", u"1 2"},
        {u"<a><b>1</b><!--c--><?p q?><b></b>z</a>", u"1 z"},
        {u"<a><b><c>deep</c> tail</b></a>", u"deep  tail"},
        {u"<a/>", u""},
        {u"<a><![CDATA[  padded  ]]></a>", u"padded"},
    };
    for (const auto& c : cases) EXPECT_EQ(U8(Parse(c.xml)->DocumentElement()->Text()), U8(c.text)) << U8(c.xml);
}

TEST(TXmlNode, CharacterDataIsTrimmedUnlessWhiteSpaceIsPreserved) {
    auto doc = CreateXmlDocument();
    doc->SetPreserveWhiteSpace(true);
    doc->LoadXML(u"<a><!-- note --><![CDATA[ c ]]></a>");
    auto a = doc->DocumentElement();
    EXPECT_EQ(a->Child(0)->Text(), u" note ");
    EXPECT_EQ(a->Child(1)->Text(), u" c ");
    doc->SetPreserveWhiteSpace(false);
    EXPECT_EQ(a->Child(0)->Text(), u"note");
    EXPECT_EQ(a->Child(1)->Text(), u"c");
    // Detached nodes use the unit-wide default, which is false.
    auto lone = doc->CreateComment(u"\t x \r\n");
    EXPECT_EQ(lone->Text(), u"x");
}

TEST(TXmlDocument, DocumentElementIsTheFirstElementChild) {
    EXPECT_FALSE(Parse(u"<?xml version='1.0'?><!--c--><!--d-->")->DocumentElement());
    EXPECT_EQ(Parse(u"<!--c--><first/><second/>")->DocumentElement()->NodeName(), u"first");
}

TEST(TXmlDocument, NewDocumentWritesTheDeclarationAsText) {
    auto doc = CreateXmlDocument("downloads", "1.0", "iso-8859-1");
    ASSERT_EQ(doc->ChildCount(), 2);
    auto* decl = doc->Child(0)->AsProcessingInstruction();
    ASSERT_TRUE(decl);
    EXPECT_EQ(decl->Data(), u"version=\"1.0\" encoding=\"iso-8859-1\"");
    EXPECT_EQ(decl->GetAttr(u"encoding", u"none"), u"none");  // plain text, no attributes
    EXPECT_EQ(doc->DocumentElement()->NodeName(), u"downloads");

    auto root = doc->NewDocument(u"1.1", u"", u"other");
    EXPECT_EQ(doc->ChildCount(), 2);
    EXPECT_EQ(doc->Child(0)->AsProcessingInstruction()->Data(), u"version=\"1.1\" encoding=\"iso-8859-1\"");
    EXPECT_EQ(root.get(), doc->DocumentElement().get());

    auto empty = CreateXmlDocument("", "1.0", "iso-8859-1");
    EXPECT_EQ(empty->ChildCount(), 0);
}

TEST(TXmlElement, ValueStandsInForChildren) {
    auto doc = CreateXmlDocument("root");
    auto root = doc->DocumentElement();
    auto e = root->AppendElement(u"n");
    e->SetValue(TXmlValue(std::int32_t{42}));
    EXPECT_EQ(e->Text(), u"42");
    e->AppendElement(u"child")->SetText(u"c");
    EXPECT_EQ(e->Text(), u"c");  // children win over the value
    e->SetText(u"back");
    EXPECT_EQ(e->ChildCount(), 0);  // setting a value removes the children
    EXPECT_EQ(e->Text(), u"back");
}

TEST(TXmlValue, TextConversions) {
    struct Case {
        TXmlValue value;
        const char16_t* text;
        TXmlValueType type;
    } cases[] = {
        {TXmlValue(), u"", TXmlValueType::Empty},
        {TXmlValue::Null(), u"{{null}}", TXmlValueType::Null},
        {TXmlValue(std::int16_t{-12}), u"-12", TXmlValueType::Smallint},
        {TXmlValue(std::int32_t{2000000000}), u"2000000000", TXmlValueType::Integer},
        {TXmlValue(std::uint8_t{255}), u"255", TXmlValueType::Byte},
        {TXmlValue(1.5), u"1.5", TXmlValueType::Double},
        {TXmlValue(0.25f), u"0.25", TXmlValueType::Single},
        {TXmlValue(TXmlCurrency{-123456}), u"-12.3456", TXmlValueType::Currency},
        {TXmlValue(TXmlCurrency{50000}), u"5", TXmlValueType::Currency},
        {TXmlValue(TXmlDateTime{0}), u"1899-12-30T00-00-00", TXmlValueType::Date},
        {TXmlValue(TXmlDateTime{45000.75}), u"2023-03-15T18-00-00", TXmlValueType::Date},
        {TXmlValue(true), u"True", TXmlValueType::Boolean},
        {TXmlValue(u"wide"), u"wide", TXmlValueType::OleStr},
        {TXmlValue(std::string("na\xC3\xAFve")), u"naïve", TXmlValueType::String},
        {TXmlValue(std::vector<std::uint8_t>{0x00, 0xAB, 0x7F}), u"00AB7F", TXmlValueType::ByteArray},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(U8(c.value.ToText()), U8(c.text));
        EXPECT_EQ(c.value.Type(), c.type);
    }
}

TEST(TXmlNode, TypedAttributesFallBackToTheirDefaults) {
    auto doc = Parse(u"<a n='12' bad='x12' t='TRUE' f='0' d='2.5' when='2024-02-29T13-45-10'/>");
    auto a = doc->DocumentElement();
    EXPECT_EQ(a->GetIntAttr(u"n", -1), 12);
    EXPECT_EQ(a->GetIntAttr(u"bad", -1), -1);
    EXPECT_EQ(a->GetIntAttr(u"missing", 7), 7);
    EXPECT_TRUE(a->GetBoolAttr(u"t", false));
    EXPECT_FALSE(a->GetBoolAttr(u"f", true));
    EXPECT_TRUE(a->GetBoolAttr(u"bad", true));
    EXPECT_DOUBLE_EQ(a->GetFloatAttr(u"d", 0), 2.5);
    EXPECT_DOUBLE_EQ(a->GetFloatAttr(u"bad", 9), 9);
    const double when = a->GetDateTimeAttr(u"when", 0);
    EXPECT_EQ(TXmlValue(TXmlDateTime{when}).ToText(), u"2024-02-29T13-45-10");
    EXPECT_EQ(a->GetDateTimeAttr(u"bad", -3), -3);

    a->SetIntAttr(u"i", -5);
    a->SetBoolAttr(u"b", true);
    a->SetFloatAttr(u"x", 0.125);
    a->SetDateTimeAttr(u"dt", 45000.5);
    EXPECT_EQ(a->GetIntAttr(u"i"), -5);
    EXPECT_TRUE(a->GetBoolAttr(u"b"));
    EXPECT_EQ(a->GetFloatAttr(u"x"), 0.125);
    EXPECT_EQ(a->GetDateTimeAttr(u"dt"), 45000.5);
    EXPECT_EQ(a->GetAttr(u"dt"), u"2023-03-15T12-00-00");
    EXPECT_EQ(a->GetVarAttr(u"i").Type(), TXmlValueType::Integer);
    EXPECT_EQ(a->GetVarAttr(u"nope", TXmlValue::Null()).Type(), TXmlValueType::Null);
}

TEST(TXmlNode, RequiredGettersRaiseTheirMessages) {
    auto doc = Parse(u"<item kind='video'><title>T</title></item>");
    auto item = doc->DocumentElement();
    EXPECT_EQ(item->GetRequiredAttr(u"kind"), u"video");
    EXPECT_EQ(MessageOf([&] { item->GetRequiredAttr(u"url"); }), "Не задан атрибут \"url\"");
    EXPECT_EQ(item->GetRequiredEnumAttr(u"kind", {u"audio", u"video"}), 1);
    EXPECT_EQ(MessageOf([&] { item->GetRequiredEnumAttr(u"mode", {u"a"}); }), "Не найден атрибут \"mode\"");
    EXPECT_EQ(MessageOf([&] { item->GetRequiredEnumAttr(u"kind", {u"audio", u"image"}); }),
              "Неверное значение атрибута \"kind\" элемента \"item\".\r\nДопустимые значения:\r\naudio\r\nimage");
    EXPECT_EQ(item->GetRequiredChild(u"title")->Text(), u"T");
    EXPECT_EQ(MessageOf([&] { item->GetRequiredChild(u"link"); }), "Ошибка: не найден дочерний элемент \"link\".");
    EXPECT_EQ(item->GetChildText(u"title", u"d"), u"T");
    EXPECT_EQ(item->GetChildText(u"link", u"d"), u"d");
}

TEST(TXmlNode, FindChildByAttributeValue) {
    auto doc = Parse(u"<q><download target='a'/><other target='b'/><download target='b'/></q>");
    auto q = doc->DocumentElement();
    auto found = q->FindChildByAttr(u"download", u"target", u"b");
    ASSERT_TRUE(found);
    EXPECT_EQ(q->ChildNodes()->IndexOf(found.get()), 2);
    EXPECT_FALSE(q->FindChildByAttr(u"download", u"target", u"c"));
    EXPECT_FALSE(q->FindChildByAttr(u"download", u"missing", u"a"));
}

TEST(TXmlNode, InsertReplaceAndRemoveChildren) {
    auto doc = Parse(u"<r><a/><b/><c/></r>");
    auto r = doc->DocumentElement();
    auto names = [&] {
        std::u16string s;
        for (TXmlNode* n : *r->ChildNodes()) s += n->NodeName();
        return s;
    };
    auto x = doc->CreateElement(u"x");
    r->InsertBefore(x, r->Child(1));
    EXPECT_EQ(names(), u"axbc");
    EXPECT_EQ(x->ParentNode(), r.get());
    r->InsertBefore(x, r->Child(0));  // moving within the list
    EXPECT_EQ(names(), u"xabc");
    auto old = r->ReplaceChild(doc->CreateElement(u"y"), r->Child(2));
    EXPECT_EQ(names(), u"xayc");
    EXPECT_EQ(old->NodeName(), u"b");
    EXPECT_EQ(old->ParentNode(), nullptr);
    auto removed = r->RemoveChild(r->Child(0));
    EXPECT_EQ(names(), u"ayc");
    EXPECT_EQ(removed->ParentNode(), nullptr);
    EXPECT_THROW(r->RemoveChild(removed.get()), EXmlError);
    r->InsertBefore(removed, nullptr);
    EXPECT_EQ(names(), u"aycx");
    r->ClearChildNodes();
    EXPECT_EQ(r->ChildCount(), 0);
    EXPECT_EQ(removed->ParentNode(), nullptr);
}

TEST(TXmlNode, AppendingAnAttachedNodeMovesIt) {
    auto doc = Parse(u"<r><a><k/></a><b/></r>");
    auto r = doc->DocumentElement();
    TXmlNode* a = r->Child(0);
    XmlPtr<TXmlNode> k = a->Child(0);
    r->Child(1)->AppendChild(k);
    EXPECT_EQ(a->ChildCount(), 0);
    EXPECT_EQ(k->ParentNode(), r->Child(1));
}

TEST(TXmlNode, ANodeCannotGoInsideItself) {
    auto doc = Parse(u"<r><a><b/></a></r>");
    auto r = doc->DocumentElement();
    XmlPtr<TXmlNode> a = r->Child(0);
    TXmlNode* b = a->Child(0);
    EXPECT_EQ(MessageOf([&] { b->AppendChild(a); }), "Узел не может быть вставлен внутрь самого себя");
    EXPECT_THROW(a->AppendChild(a), EXmlError);
    EXPECT_EQ(a->ParentNode(), r.get());  // left where it was
}

TEST(TXmlNode, NodesOutliveTheirTreeWhileHeld) {
    XmlPtr<TXmlNode> title;
    XmlPtr<TXmlNodeList> children;
    {
        auto doc = Parse(u"<rss><title>kept</title></rss>");
        title = doc->DocumentElement()->SelectSingleNode(u"title");
        children = doc->DocumentElement()->ChildNodes();
    }
    EXPECT_EQ(title->Text(), u"kept");
    EXPECT_EQ(title->ParentNode(), nullptr);
    EXPECT_EQ(children->Owner(), nullptr);
    EXPECT_EQ(children->Count(), 1);
}

// Parsed nodes lie in their document's memory: whatever is still held keeps it, whatever is let go
// early (removed, replaced by a new load) ends cleanly; run under the sanitizers.
TEST(TXmlNode, ParsedNodesKeptMovedOrDroppedOutliveTheirDocument) {
    XmlPtr<TXmlNode> item, moved;
    auto target = CreateXmlDocument("feed");
    {
        auto doc = CreateXmlDocument();
        doc->LoadUtf8XML("<rss a='1'><item id='x&amp;y'><t>caf\xC3\xA9</t><![CDATA[c]]></item><drop><d/></drop>"
                         "<m k='v'>moved</m></rss>");
        auto root = doc->DocumentElement();
        item = root->FindChildUtf8("item");
        root->RemoveChild(root->FindChildUtf8("drop"));  // released at once, the document still alive
        moved = root->FindChildUtf8("m");
        target->DocumentElement()->AppendChild(moved);
        doc->LoadXML(u"<other/>");  // the first tree goes while item and moved are held
    }
    EXPECT_EQ(item->ParentNode(), nullptr);
    EXPECT_EQ(item->GetAttr(u"id"), u"x&y");
    EXPECT_EQ(item->Text(), u"café c");
    EXPECT_EQ(U8(target->DocumentElement()->XML()), "\r\n<feed>\r\n\t<m k=\"v\">moved</m>\r\n</feed>");
    item.reset();
    EXPECT_EQ(moved->GetAttr(u"k"), u"v");
}

// FindUtf8 keeps the names it found: a name asked for before it exists, names that share a slot
// asked for in turn, and names of the same length that differ only inside.
TEST(TXmlNameTable, Utf8LookupsStayRightWhenRepeated) {
    XmlPtr<TXmlNameTable> table(new TXmlNameTable());
    EXPECT_EQ(table->FindUtf8("late"), -1);
    const int late = table->Intern(u"late");
    EXPECT_EQ(table->FindUtf8("late"), late);
    std::vector<std::pair<std::string, int>> names;
    for (int i = 0; i < 40; ++i) {
        std::string name = "n" + std::string(static_cast<size_t>(i % 5), 'x') + std::to_string(i) + "e";
        names.emplace_back(name, table->Intern(XmlFromUtf8(name)));
    }
    names.emplace_back(std::string(40, 'l'), table->Intern(std::u16string(40, u'l')));  // longer than any kept
    for (int round = 0; round < 3; ++round)
        for (const auto& [name, id] : names) ASSERT_EQ(table->FindUtf8(name), id) << name;
    EXPECT_EQ(table->FindUtf8("nxx7e"), table->Find(u"nxx7e"));
    EXPECT_EQ(table->FindUtf8("nxx8e"), -1);
}

TEST(TXmlNode, Utf8AccessorsReadAttributesAndNamesInPlace) {
    auto doc = CreateXmlDocument();
    doc->LoadUtf8XML("<r><\xC3\xA9l\xC3\xA9ment a='caf\xC3\xA9 &lt;' b=''/></r>");
    const TXmlElement* e = doc->DocumentElement()->FindChildUtf8("\xC3\xA9l\xC3\xA9ment");
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->NameIs("\xC3\xA9l\xC3\xA9ment"));
    EXPECT_FALSE(e->NameIs("element"));
    EXPECT_FALSE(doc->DocumentElement()->NameIs("rr"));
    std::string scratch;
    EXPECT_EQ(e->AttrUtf8("a", scratch), "caf\xC3\xA9 <");
    EXPECT_TRUE(e->HasAttr(u"b"));
    EXPECT_EQ(e->AttrUtf8("b", scratch), "");
    EXPECT_EQ(e->AttrUtf8("missing", scratch), "");
    EXPECT_EQ(e->AttrValue(1).Type(), TXmlValueType::OleStr);  // an empty value is still a string
    const_cast<TXmlElement*>(e)->SetIntAttr(u"a", 7);  // set through the API: converted for the view
    EXPECT_EQ(e->AttrUtf8("a", scratch), "7");
    EXPECT_EQ(e->GetIntAttr(u"a"), 7);
}

TEST(TXmlNode, NamesAreReinternedIntoTheNewOwnersTable) {
    XmlPtr<TXmlNameTable> t1(new TXmlNameTable()), t2(new TXmlNameTable());
    auto d1 = CreateXmlDocument("", "1.0", "", t1);
    auto d2 = CreateXmlDocument("", "1.0", "", t2);
    d1->LoadXML(u"<outer o='1'><inner i='2'>t</inner></outer>");
    t2->Intern(u"padding-shifts-ids");
    auto moved = d1->DocumentElement();
    d2->AppendChild(moved);
    EXPECT_EQ(&moved->NameTable(), t2.get());
    EXPECT_EQ(moved->NameId(), t2->Find(u"outer"));
    EXPECT_NE(moved->NameId(), t1->Find(u"outer"));
    TXmlNode* inner = moved->Child(0);
    EXPECT_EQ(&inner->NameTable(), t2.get());
    EXPECT_EQ(inner->GetAttr(u"i"), u"2");
    EXPECT_EQ(d2->DocumentElement()->SelectSingleNode(u"inner").get(), inner);
    EXPECT_EQ(d1->ChildCount(), 0);
}

TEST(TXmlNode, ClonesShallowAndDeep) {
    auto doc = Parse(u"<a x='1'><b>t</b><!--c--></a>");
    auto a = doc->DocumentElement();
    auto shallow = a->CloneNode(false);
    EXPECT_EQ(shallow->GetAttr(u"x"), u"1");
    EXPECT_EQ(shallow->ChildCount(), 0);
    EXPECT_EQ(shallow->ParentNode(), nullptr);
    auto deep = a->CloneNode(true);
    EXPECT_EQ(deep->XML(), a->XML());
    deep->Child(0)->AsElement()->SetText(u"changed");
    EXPECT_EQ(a->Text(), u"t");
    auto docCopy = doc->CloneNode(true);
    EXPECT_EQ(docCopy->XML(), doc->XML());
}

TEST(EXmlError, CarriesUtf16AndUtf8) {
    EXmlError e(u"Ожидается \"/\"");
    EXPECT_EQ(e.Message(), u"Ожидается \"/\"");
    EXPECT_STREQ(e.what(), "Ожидается \"/\"");
}

TEST(XmlText, Utf8Validity) {
    struct Case {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain ascii text, longer than eight", true},
        {"\xC3\xA9\xC3\xA9", true},
        {"abcdefg\xE2\x80\x94hijklmnop", true},
        {"\xF0\x9F\x8C\x8A", true},
        {"\xC3", false},                 // cut short
        {"abcdefgh\xE2\x80", false},
        {"\xC0\x80", false},             // overlong
        {"\xED\xA0\x80", false},         // surrogate
        {"\xF4\x90\x80\x80", false},     // beyond U+10FFFF
        {"caf\xE9 au lait", false},
        {"\x80", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(XmlIsUtf8(c.bytes), c.valid) << c.bytes;
        // Invalid text is read through the single-byte code page instead.
        if (!c.valid) {
            EXPECT_EQ(XmlFromUtf8(c.bytes), XmlWidenAnsi(c.bytes)) << c.bytes;
        }
    }
}

TEST(XmlText, Conversions) {
    EXPECT_EQ(XmlFromUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80"), u"café \U0001F600");
    EXPECT_EQ(XmlFromUtf8("caf\xE9"), u"café");  // not UTF-8: the single-byte code page
    EXPECT_EQ(XmlToUtf8(u"café \U0001F600"), "caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(XmlToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(XmlNarrowAnsi(XmlWidenAnsi(all)), all);  // the code page maps all 256 bytes both ways
    EXPECT_EQ(XmlNarrowAnsi(u"Ж€"), "?\x80");
}

}  // namespace
}  // namespace tw
