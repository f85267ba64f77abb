#include "rss/RSSFeedModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

// ---------------------------------------------------------------------------------------------
// Sizes

TEST(ParseSizeText, ReadsLengthTexts) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"1,234,567", 1234567u},   {"2 KB", 2048u},    {"3m", 3145728u},       {"1.5 MB", 15728640u},
        {"10G", 2147483648u},      {"abc", 0u},        {"B", 0u},              {"", 0u},
        {" , . ", 0u},             {"512", 512u},      {"512b", 512u},         {"4k", 4096u},
        {"4 kb", 4096u},           {"1g", 1073741824u}, {"4G", 0u},            {"-1", 4294967295u},
        {"-1K", 4294966272u},      {"$10", 16u},       {"0x10 KB", 16384u},    {"12 bytes", 0u},
        {"4294967295", 0u},        {"2147483647", 2147483647u}, {"KB", 0u},   {"1.2.3", 123u},
        {"7\t", 0u},               {"MB", 0u},         {"1BB", 0u},            {"1KK", 0u},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParseSizeText(text), expected) << '"' << text << '"';
}

// ---------------------------------------------------------------------------------------------
// Records: copy, reset, wrong class

TEST(FeedRecords, AssignCopiesEveryFieldAndNullResets) {
    TpkRSSFeedImage image, imageCopy;
    image.URL = "u"; image.Title = "t"; image.Link = "l"; image.Description = "d"; image.Width = 88; image.Height = 31;
    imageCopy.Assign(&image);
    EXPECT_EQ(imageCopy.URL + imageCopy.Title + imageCopy.Link + imageCopy.Description, "utld");
    EXPECT_EQ(imageCopy.Width, 88);
    EXPECT_EQ(imageCopy.Height, 31);
    imageCopy.Assign(nullptr);
    EXPECT_EQ(imageCopy.URL + imageCopy.Title + imageCopy.Link + imageCopy.Description, "");
    EXPECT_EQ(imageCopy.Width + imageCopy.Height, 0);

    TpkRSSFeedCloud cloud, cloudCopy;
    cloud.Domain = "rpc.sys.com"; cloud.Port = 80; cloud.Path = "/RPC2"; cloud.RegisterProcedure = "p"; cloud.Protocol = "soap";
    cloudCopy.Assign(&cloud);
    EXPECT_EQ(cloudCopy.Domain + cloudCopy.Path + cloudCopy.RegisterProcedure + cloudCopy.Protocol, "rpc.sys.com/RPC2psoap");
    EXPECT_EQ(cloudCopy.Port, 80);
    cloudCopy.Assign(nullptr);
    EXPECT_EQ(cloudCopy.Domain + cloudCopy.Path + cloudCopy.RegisterProcedure + cloudCopy.Protocol, "");
    EXPECT_EQ(cloudCopy.Port, 0);

    TpkRSSFeedTextInput input, inputCopy;
    input.Title = "a"; input.Description = "b"; input.Name = "c"; input.Link = "d";
    inputCopy.Assign(&input);
    EXPECT_EQ(inputCopy.Title + inputCopy.Description + inputCopy.Name + inputCopy.Link, "abcd");
    inputCopy.Assign(nullptr);
    EXPECT_EQ(inputCopy.Title + inputCopy.Description + inputCopy.Name + inputCopy.Link, "");

    TpkRSSFeedItemCategory cat, catCopy;
    cat.Domain = "dom"; cat.Title = "News";
    catCopy.Assign(&cat);
    EXPECT_EQ(catCopy.Domain + "|" + catCopy.Title, "dom|News");
    catCopy.Assign(nullptr);
    EXPECT_EQ(catCopy.Domain + catCopy.Title, "");

    TpkRSSFeedItemSource src, srcCopy;
    src.Title = "Site"; src.URL = "http://s/";
    srcCopy.Assign(&src);
    EXPECT_EQ(srcCopy.Title + "|" + srcCopy.URL, "Site|http://s/");
    srcCopy.Assign(nullptr);
    EXPECT_EQ(srcCopy.Title + srcCopy.URL, "");

    TpkRSSFeedItemGuid guid, guidCopy;
    guid.IsPermaLink = true; guid.URL = "g";
    guidCopy.Assign(&guid);
    EXPECT_TRUE(guidCopy.IsPermaLink);
    EXPECT_EQ(guidCopy.URL, "g");
    guidCopy.Assign(nullptr);
    EXPECT_FALSE(guidCopy.IsPermaLink);
    EXPECT_EQ(guidCopy.URL, "");
}

TEST(FeedRecords, AssignFromAnotherClassFailsNamingBothAndChangesNothing) {
    TpkRSSFeedImage image;
    image.URL = "keep";
    TpkRSSFeedCloud cloud;
    cloud.Domain = "other";
    try {
        image.Assign(&cloud);
        FAIL() << "no error";
    } catch (const EpkAssignError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TpkRSSFeedCloud to a TpkRSSFeedImage");
    }
    EXPECT_EQ(image.URL, "keep");

    TpkRSSFeedElements elements;
    elements.Title = "kept";
    TpkRSSFeedItemCollection items;
    EXPECT_THROW(elements.Assign(&items), EpkAssignError);
    EXPECT_EQ(elements.Title, "kept");

    items.Add()->Title = "still here";
    TpkRSSFeedItemEnclosureCollection enclosures(nullptr);
    EXPECT_THROW(items.Assign(&enclosures), EpkAssignError);
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items[0]->Title, "still here");

    TpkRSSFeedItem item;
    TpkRSSFeedItemEnclosure enclosure;
    EXPECT_THROW(item.Assign(&enclosure), EpkAssignError);
    EXPECT_THROW(enclosure.Assign(&item), EpkAssignError);
}

TEST(FeedRecords, FixedWidthNumbersKeepTheirLowBits) {
    TpkRSSFeedImage image;
    TpkRSSFeedCloud cloud;
    TpkRSSFeedElements elements;
    TpkRSSFeedItemEnclosure enclosure;
    const std::int64_t parsed = 0x1'2345'6789;  // what a parser may produce before narrowing
    image.Width = static_cast<std::uint16_t>(70000);
    cloud.Port = static_cast<std::uint16_t>(-1);
    elements.TTL = static_cast<std::uint32_t>(parsed);
    enclosure.ContentLength = static_cast<std::uint32_t>(parsed);
    EXPECT_EQ(image.Width, 70000 - 65536);
    EXPECT_EQ(cloud.Port, 65535);
    EXPECT_EQ(elements.TTL, 0x2345'6789u);
    EXPECT_EQ(enclosure.ContentLength, 0x2345'6789u);
}

// ---------------------------------------------------------------------------------------------
// Sets

TEST(SkipSets, BitLayout) {
    TpkRSSFeedSkipHoursSet hours;
    EXPECT_TRUE(hours.Empty());
    hours.Include(h00);
    hours.Include(h23);
    hours.Include(h07);
    EXPECT_EQ(hours.Bits, (1u << 0) | (1u << 7) | (1u << 23));
    EXPECT_TRUE(hours.Contains(h07));
    EXPECT_FALSE(hours.Contains(h08));
    hours.Exclude(h07);
    EXPECT_FALSE(hours.Contains(h07));
    hours.Include(static_cast<TpkRSSFeedSkipHours>(24));  // outside the enumeration: ignored
    EXPECT_EQ(hours.Bits, (1u << 0) | (1u << 23));

    TpkRSSFeedSkipDaysSet days;
    days.Include(Monday);
    days.Include(Sunday);
    EXPECT_EQ(days.Bits, 0x41);
    EXPECT_TRUE(days.Contains(Sunday));
    EXPECT_FALSE(days.Contains(Saturday));
    days.Include(static_cast<TpkRSSFeedSkipDays>(7));
    EXPECT_EQ(days.Bits, 0x41);
}

// ---------------------------------------------------------------------------------------------
// Channel elements

void FillElements(TpkRSSFeedElements& e) {
    e.Title = "Title"; e.Description = "Desc"; e.Link = "Link"; e.Language = "en"; e.Copyright = "(c)";
    e.ManagingEditor = "ed"; e.WebMaster = "wm"; e.PubDate = "pd"; e.LastBuildDate = "lbd"; e.Generator = "gen";
    e.Docs = "docs";
    e.Image().URL = "img"; e.Image().Width = 5;
    e.TextInput().Name = "q";
    e.Cloud().Port = 8080;
    e.Category().Title = "cat";
    e.TTL = 60;
    e.SkipHours.Include(h05);
    e.SkipDays.Include(Friday);
}

std::string ElementStrings(const TpkRSSFeedElements& e) {
    return e.Title + "|" + e.Description + "|" + e.Link + "|" + e.Language + "|" + e.Copyright + "|" + e.ManagingEditor +
           "|" + e.WebMaster + "|" + e.PubDate + "|" + e.LastBuildDate + "|" + e.Generator + "|" + e.Docs;
}

TEST(TpkRSSFeedElements, AssignCopiesEverything) {
    TpkRSSFeedElements source, target;
    FillElements(source);
    target.Assign(&source);
    EXPECT_EQ(ElementStrings(target), "Title|Desc|Link|en|(c)|ed|wm|pd|lbd|gen|docs");
    EXPECT_EQ(target.Image().URL, "img");
    EXPECT_EQ(target.Image().Width, 5);
    EXPECT_EQ(target.TextInput().Name, "q");
    EXPECT_EQ(target.Cloud().Port, 8080);
    EXPECT_EQ(target.Category().Title, "cat");
    EXPECT_EQ(target.TTL, 60u);
    EXPECT_EQ(target.SkipHours, source.SkipHours);
    EXPECT_EQ(target.SkipDays, source.SkipDays);
    EXPECT_NE(&target.Image(), &source.Image());  // copied into its own objects
}

TEST(TpkRSSFeedElements, ResetKeepsTheOwnedObjectsNowEmpty) {
    TpkComponent feed;
    TpkRSSFeedElements e(&feed);
    EXPECT_EQ(e.Owner(), &feed);
    FillElements(e);
    const void* image = &e.Image();
    const void* cloud = &e.Cloud();
    const void* input = &e.TextInput();
    const void* category = &e.Category();
    e.Assign(nullptr);
    EXPECT_EQ(ElementStrings(e), "||||||||||");
    EXPECT_TRUE(e.SkipHours.Empty());
    EXPECT_TRUE(e.SkipDays.Empty());
    EXPECT_EQ(e.TTL, 0u);
    EXPECT_EQ(&e.Image(), image);
    EXPECT_EQ(&e.Cloud(), cloud);
    EXPECT_EQ(&e.TextInput(), input);
    EXPECT_EQ(&e.Category(), category);
    EXPECT_EQ(e.Image().URL, "");
    EXPECT_EQ(e.Image().Width, 0);
    EXPECT_EQ(e.Cloud().Port, 0);
    EXPECT_EQ(e.TextInput().Name, "");
    EXPECT_EQ(e.Category().Title, "");
}

TEST(TpkRSSFeedElements, SelfAssignKeepsTheContent) {
    TpkRSSFeedElements e;
    FillElements(e);
    e.Assign(&e);
    EXPECT_EQ(ElementStrings(e), "Title|Desc|Link|en|(c)|ed|wm|pd|lbd|gen|docs");
}

// ---------------------------------------------------------------------------------------------
// Items and enclosures

void FillItem(TpkRSSFeedItem& item, const std::string& tag) {
    item.Title = tag + "title";
    item.Link = tag + "link";
    item.Description = tag + "desc";
    item.Author = tag + "author";
    item.Category().Title = tag + "cat";
    item.Category().Domain = tag + "dom";
    item.Comments = tag + "comments";
    item.Guid().URL = tag + "guid";
    item.Guid().IsPermaLink = true;
    item.SetPubDate(tag + "date");
    item.Source().Title = tag + "src";
    item.Source().URL = tag + "srcurl";
    auto* enc = item.Enclosure().Add();
    enc->URL = "http://h/" + tag + ".mp3";
    enc->ContentLength = 100;
    enc->ContentType = "audio/mpeg";
}

std::string ItemText(const TpkRSSFeedItem& i) {
    return i.Title + "|" + i.Link + "|" + i.Description + "|" + i.Author + "|" + i.Category().Title + "|" +
           i.Category().Domain + "|" + i.Comments + "|" + i.Guid().URL + "|" + (i.Guid().IsPermaLink ? "1" : "0") + "|" +
           i.PubDate() + "|" + i.Source().Title + "|" + i.Source().URL;
}

TEST(TpkRSSFeedItem, CopyFromCopiesEveryFieldAndReplacesEnclosures) {
    TpkRSSFeedItem source, target;
    FillItem(source, "s");
    source.Enclosure().Add()->URL = "second";
    FillItem(target, "t");
    target.CopyFrom(source, false);
    EXPECT_EQ(ItemText(target), ItemText(source));
    ASSERT_EQ(target.Enclosure().Count(), 2);
    EXPECT_EQ(target.Enclosure()[0]->URL, "http://h/s.mp3");
    EXPECT_EQ(target.Enclosure()[0]->ContentType, "audio/mpeg");
    EXPECT_EQ(target.Enclosure()[1]->URL, "second");
}

TEST(TpkRSSFeedItem, CopyFromKeepingEnclosuresIgnoresTheSourceOnes) {
    TpkRSSFeedItem source, target;
    FillItem(source, "s");
    target.Enclosure().Add()->URL = "mine1";
    target.Enclosure().Add()->URL = "mine2";
    auto* first = target.Enclosure()[0];
    target.CopyFrom(source, true);
    EXPECT_EQ(target.Title, "stitle");
    ASSERT_EQ(target.Enclosure().Count(), 2);
    EXPECT_EQ(target.Enclosure()[0], first);
    EXPECT_EQ(target.Enclosure()[1]->URL, "mine2");
}

TEST(TpkRSSFeedItem, AssignCopiesOrEmpties) {
    TpkRSSFeedItem source, target;
    FillItem(source, "s");
    target.Assign(&source);
    EXPECT_EQ(ItemText(target), ItemText(source));
    EXPECT_EQ(target.Enclosure().Count(), 1);
    target.Assign(nullptr);
    EXPECT_EQ(ItemText(target), "||||||||0|||");
    EXPECT_EQ(target.Enclosure().Count(), 0);
}

TEST(TpkRSSFeedItem, PubDateIsReplacedOnlyByADifferentText) {
    TpkRSSFeedItem item;
    item.SetPubDate("Tue, 10 Jun 2003");
    item.SetPubDate("Tue, 10 Jun 2003");
    EXPECT_EQ(item.PubDate(), "Tue, 10 Jun 2003");
    item.SetPubDate("TUE, 10 JUN 2003");  // differs only in case: still replaced
    EXPECT_EQ(item.PubDate(), "TUE, 10 JUN 2003");
    item.SetPubDate("");
    EXPECT_EQ(item.PubDate(), "");
}

TEST(TpkRSSFeedItem, EnclosureSizeWrapsAt32Bits) {
    TpkRSSFeedItem item;
    item.Enclosure().Add()->ContentLength = 4294967295u;
    item.Enclosure().Add()->ContentLength = 2;
    EXPECT_EQ(item.EnclosureSize(), 1u);
    item.SetEnclosureSize(999);  // accepted and ignored
    EXPECT_EQ(item.EnclosureSize(), 1u);

    TpkRSSFeedItemCollection items;
    items.Add()->Enclosure().Add()->ContentLength = 0x80000000u;
    items.Add()->Enclosure().Add()->ContentLength = 0x80000001u;
    items.Add();  // no enclosures
    EXPECT_EQ(items.EnclosureSize(), 1u);
}

TEST(DisplayNames, ItemsAndEnclosures) {
    TpkRSSFeedItemCollection items;
    TpkRSSFeedItem* item = items.Add();
    EXPECT_EQ(item->DisplayName(), "TpkRSSFeedItem");
    item->Title = "Hello";
    EXPECT_EQ(item->DisplayName(), "Hello - ");
    item->Title.clear();
    item->SetPubDate("today");
    EXPECT_EQ(item->DisplayName(), " - today");
    item->Title = "Hello";
    EXPECT_EQ(item->DisplayName(), "Hello - today");

    TpkRSSFeedItemEnclosure* enc = item->Enclosure().Add();
    EXPECT_EQ(enc->DisplayName(), "TpkRSSFeedItemEnclosure");
    enc->ContentLength = 1234;
    EXPECT_EQ(enc->DisplayName(), " - 1234");
    enc->URL = "http://www.alpha.beta/media/ep%201.mp3?id=5";
    EXPECT_EQ(enc->DisplayName(), "ep 1.mp3 - 1234");
    enc->ContentLength = 0;
    EXPECT_EQ(enc->DisplayName(), "ep 1.mp3 - 0");
}

// ---------------------------------------------------------------------------------------------
// Collections: order, IDs, owners

TEST(TpkRSSFeedItemCollection, OrderInsertDeleteAndStableIDs) {
    TpkComponent feed;
    TpkRSSFeedItemCollection items(&feed);
    TpkRSSFeedItem* a = items.Add();
    TpkRSSFeedItem* c = items.Add();
    TpkRSSFeedItem* b = items.Insert(1);
    TpkRSSFeedItem* first = items.Insert(-5);  // clamped to the front
    TpkRSSFeedItem* last = items.Insert(99);   // clamped to the end
    ASSERT_EQ(items.Count(), 5);
    EXPECT_EQ(std::vector<TpkRSSFeedItem*>({items[0], items[1], items[2], items[3], items[4]}),
              std::vector<TpkRSSFeedItem*>({first, a, b, c, last}));
    EXPECT_EQ(b->Index(), 2);
    EXPECT_EQ(items.Items(5), nullptr);
    EXPECT_EQ(items.Items(-1), nullptr);

    const int idB = b->ID();
    const int idC = c->ID();
    EXPECT_NE(idB, idC);
    items.Delete(0);
    items.Delete(0);  // a goes
    EXPECT_EQ(items.FindItemID(idB), b);
    EXPECT_EQ(b->Index(), 0);
    EXPECT_EQ(b->ID(), idB);
    items.Delete(0);
    EXPECT_EQ(items.FindItemID(idB), nullptr);
    TpkRSSFeedItem* fresh = items.Add();
    EXPECT_NE(fresh->ID(), idB);  // IDs are never reused
    EXPECT_EQ(items.FindItemID(idC), c);
    items.Delete(42);  // out of range: nothing
    EXPECT_EQ(items.Count(), 3);
}

TEST(TpkRSSFeedItemCollection, OwnerLinksReachTheFeed) {
    TpkComponent feed;
    TpkRSSFeedItemCollection items(&feed);
    TpkRSSFeedItem* item = items.Add();
    TpkRSSFeedItemEnclosure* enc = item->Enclosure().Add();
    EXPECT_EQ(items.CollectionOwner(), &feed);
    EXPECT_EQ(item->Collection(), &items);
    EXPECT_EQ(item->Feed(), &feed);
    EXPECT_EQ(item->Enclosure().CollectionOwner(), item);
    EXPECT_EQ(enc->Collection(), &item->Enclosure());
    EXPECT_EQ(enc->Item(), item);
    EXPECT_EQ(enc->Feed(), &feed);
    EXPECT_EQ(enc->Index(), 0);

    TpkRSSFeedItem loose;  // the merge's temporary item
    TpkRSSFeedItemEnclosure* looseEnc = loose.Enclosure().Add();
    EXPECT_EQ(loose.Feed(), nullptr);
    EXPECT_EQ(loose.ID(), -1);
    EXPECT_EQ(loose.Index(), -1);
    EXPECT_EQ(loose.Enclosure().CollectionOwner(), nullptr);
    EXPECT_EQ(looseEnc->Item(), nullptr);
    EXPECT_EQ(looseEnc->Feed(), nullptr);
}

TEST(TpkRSSFeedItemCollection, AssignCopiesItemsWithTheirEnclosures) {
    TpkRSSFeedItemCollection source, target;
    FillItem(*source.Add(), "a");
    FillItem(*source.Add(), "b");
    target.Add()->Title = "old";
    target.Assign(&source);
    ASSERT_EQ(target.Count(), 2);
    EXPECT_EQ(ItemText(*target[0]), ItemText(*source[0]));
    EXPECT_EQ(ItemText(*target[1]), ItemText(*source[1]));
    ASSERT_EQ(target[1]->Enclosure().Count(), 1);
    EXPECT_EQ(target[1]->Enclosure()[0]->URL, "http://h/b.mp3");
    EXPECT_NE(target[1]->Enclosure()[0], source[1]->Enclosure()[0]);
    EXPECT_EQ(target[1]->Feed(), target.CollectionOwner());

    target.Assign(&target);  // copying onto itself keeps the items
    EXPECT_EQ(target.Count(), 2);
    target.Assign(nullptr);
    EXPECT_EQ(target.Count(), 0);
}

// A queue entry double: records what the enclosure tells it.
struct EntryDouble : TpkEnclosureDownload {
    std::vector<std::string>* log;
    explicit EntryDouble(std::vector<std::string>* log) : log(log) {}
    void UnlinkEnclosure(TpkRSSFeedItemEnclosure& enclosure) override {
        log->push_back("unlink " + enclosure.URL + (enclosure.DownloadItem ? " still linked" : ""));
    }
};

TEST(TpkRSSFeedItemEnclosure, DestroyingDetachesFromItsDownloadEntry) {
    std::vector<std::string> log;
    EntryDouble entry(&log);
    {
        TpkRSSFeedItemCollection items;
        TpkRSSFeedItem* item = items.Add();
        TpkRSSFeedItemEnclosure* linked = item->Enclosure().Add();
        linked->URL = "a";
        linked->DownloadItem = &entry;
        item->Enclosure().Add()->URL = "free";

        TpkRSSFeedItem copy;
        copy.CopyFrom(*item, false);
        EXPECT_EQ(copy.Enclosure()[0]->DownloadItem, nullptr);  // never copied
        EXPECT_TRUE(log.empty());
    }
    EXPECT_EQ(log, std::vector<std::string>{"unlink a"});
}

TEST(TpkRSSFeedItemCollection, ClearFreesItems) {
    std::vector<std::string> log;
    EntryDouble entry(&log);
    TpkRSSFeedItemCollection items;
    for (const char* url : {"1", "2", "3"}) {
        TpkRSSFeedItemEnclosure* e = items.Add()->Enclosure().Add();
        e->URL = url;
        e->DownloadItem = &entry;
    }
    items.Clear();
    EXPECT_EQ(items.Count(), 0);
    // In the order they were made (Wine's heap frees that order far faster).
    EXPECT_EQ(log, (std::vector<std::string>{"unlink 1", "unlink 2", "unlink 3"}));
}

// ---------------------------------------------------------------------------------------------
// Trimming

TEST(TrimFeedStrings, TouchesTheListedFieldsOnly) {
    const std::string pad = " \t\r\n\x01";
    auto padded = [&](const char* s) { return pad + s + pad; };
    std::string codePage = padded("utf-8");
    TpkRSSFeedElements e;
    TpkRSSFeedItemCollection items;

    std::vector<std::string*> trimmed = {
        &e.Description, &e.Link, &e.Language, &e.Copyright, &e.ManagingEditor, &e.WebMaster, &e.Generator, &e.Docs,
        &e.Image().URL, &e.Image().Link, &e.Image().Description, &e.Cloud().Domain, &e.Cloud().Path,
        &e.Cloud().RegisterProcedure, &e.Cloud().Protocol, &e.Category().Domain, &e.TextInput().Description,
        &e.TextInput().Name, &e.TextInput().Link};
    std::vector<std::string*> kept = {&e.Title, &e.PubDate, &e.LastBuildDate, &e.Image().Title, &e.TextInput().Title,
                                      &e.Category().Title};
    TpkRSSFeedItem* item = items.Add();
    TpkRSSFeedItemEnclosure* enc = item->Enclosure().Add();
    for (std::string* s : {&item->Link, &item->Description, &item->Author, &item->Category().Domain, &item->Comments,
                           &enc->ContentType, &enc->URL, &item->Guid().URL, &item->Source().URL})
        trimmed.push_back(s);
    for (std::string* s : {&item->Title, &item->Category().Title, &item->Source().Title}) kept.push_back(s);

    for (std::string* s : trimmed) *s = padded("x");
    for (std::string* s : kept) *s = padded("x");
    item->SetPubDate(padded("x"));
    TrimFeedStrings(codePage, e, items);

    EXPECT_EQ(codePage, "utf-8");
    for (std::size_t i = 0; i < trimmed.size(); ++i) EXPECT_EQ(*trimmed[i], "x") << "field " << i;
    for (std::size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(*kept[i], padded("x")) << "field " << i;
    EXPECT_EQ(item->PubDate(), padded("x"));
}

TEST(TrimFeedStrings, TitleKeepsItsSpacesDescriptionLosesThem) {
    std::string codePage;
    TpkRSSFeedElements e;
    TpkRSSFeedItemCollection items;
    TpkRSSFeedItem* item = items.Add();
    item->Title = " Headline ";
    item->Description = " Body ";
    TrimFeedStrings(codePage, e, items);
    EXPECT_EQ(item->Title, " Headline ");
    EXPECT_EQ(item->Description, "Body");
}

TEST(TrimFeedStrings, TrimEdgeCases) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"   ", ""}, {"a", "a"}, {" a b ", "a b"}, {std::string("\0a\0", 3), "a"}, {"\x7f", "\x7f"},
        {"\xa0x\xa0", "\xa0x\xa0"},  // bytes above 127 are text, not blanks
    };
    for (auto [in, out] : cases) {
        std::string codePage = in;
        TpkRSSFeedElements e;
        TpkRSSFeedItemCollection items;
        items.Add()->Link = in;
        TrimFeedStrings(codePage, e, items);
        EXPECT_EQ(codePage, out);
        EXPECT_EQ(items.Items(0)->Link, out);
    }
}

}  // namespace
}  // namespace tw
