// TpkRSSFeed loading text, files and streams: the event sequences of every outcome, each field of
// the channel and its items, merge mode, trimming, copying, the decoding of the feed's bytes, the
// forwarding of the HTTP events, and the enclosures it offers to a download queue.
#include "rss/pkRSSFeed.h"

#include "support/MessagePump.h"
#include "rss/pkHTTPDownloadQueue.h"
#include "base/pkUtils.h"
#include "support/TestPaths.h"
#include "xml/XmlDom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw {
namespace {

namespace fs = std::filesystem;

using test::FileUrl;
using test::Utf8Path;

// Records the feed's events in order.
struct FeedLog {
    std::vector<std::string> events;
    explicit FeedLog(TpkRSSFeed& feed) {
        feed.OnRSSLoaded = [this](TpkComponent& s) { Add(s, "Loaded"); };
        feed.OnRSSLoadError = [this](TpkComponent& s) { Add(s, "LoadError"); };
        feed.OnRSSParseError = [this](TpkComponent& s) { Add(s, "ParseError"); };
        feed.OnRSSNotRSSError = [this](TpkComponent& s) { Add(s, "NotRSS"); };
        feed.OnHTTPError = [this](TpkComponent& s, int code, TpkStream*) { Add(s, "HTTPError " + std::to_string(code)); };
        feed.OnHTTPHostUnreachable = [this](TpkComponent& s) { Add(s, "HostUnreachable"); };
        feed.OnRSSEnclosureQueued = [this](TpkComponent& s, TpkRSSFeedItemEnclosure& e) { Add(s, "Queued " + e.URL); };
        feed.OnRSSEnclosureAlreadyDownloaded = [this](TpkComponent& s, TpkRSSFeedItemEnclosure& e) {
            Add(s, "Already " + e.URL);
        };
        sender = &feed;
    }
    void Add(TpkComponent& s, std::string e) {
        if (&s != sender) e += " (wrong sender)";
        events.push_back(std::move(e));
    }
    TpkComponent* sender;
};

using Events = std::vector<std::string>;

std::string Rss(const std::string& channelBody) { return "<rss version=\"2.0\"><channel>" + channelBody + "</channel></rss>"; }

// ---------------------------------------------------------------------------------------------
// Outcomes and their events

TEST(TpkRSSFeedOutcome, EachOutcomeRaisesItsSequence) {
    const struct {
        const char* what;
        std::string text;
        bool result;
        Events events;
    } cases[] = {
        {"success", Rss("<title>t</title>"), true, {"Loaded"}},
        {"RDF root", "<rdf:RDF><channel><title>t</title></channel></rdf:RDF>", false, {"NotRSS", "LoadError"}},
        {"Atom root", "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>t</title></feed>", false, {"NotRSS", "LoadError"}},
        {"upper-case root", "<RSS><channel/></RSS>", false, {"NotRSS", "LoadError"}},
        {"malformed XML", "<rss><channel><title>t</channel></rss>", false, {"ParseError", "LoadError"}},
        {"HTML entity", Rss("<title>a&nbsp;b</title>"), false, {"ParseError", "LoadError"}},
        {"empty text", "", false, {"ParseError", "LoadError"}},
        {"text without element", "just words", false, {"ParseError", "LoadError"}},
        {"declaration only", "<?xml version=\"1.0\"?><!-- nothing -->", false, {"ParseError", "LoadError"}},
        {"rss without channel", "<rss version=\"2.0\"/>", true, {"Loaded"}},
    };
    for (const auto& c : cases) {
        TpkRSSFeed feed;
        FeedLog log(feed);
        EXPECT_EQ(feed.LoadFromString(c.text), c.result) << c.what;
        EXPECT_EQ(log.events, c.events) << c.what;
    }
}

TEST(TpkRSSFeedOutcome, NotRSSLeavesTheModelUntouched) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>" +
                                    Rss("<title>Old</title><item><title>kept</title></item>")));
    EXPECT_FALSE(feed.LoadFromString("<rdf:RDF><channel><title>New</title></channel></rdf:RDF>"));
    EXPECT_EQ(feed.FeedElements().Title, "Old");
    ASSERT_EQ(feed.FeedItems().Count(), 1);
    EXPECT_EQ(feed.FeedItems().Items(0)->Title, "kept");
    EXPECT_EQ(feed.FeedCodePage, "UTF-8");
}

TEST(TpkRSSFeedOutcome, MissingFileIsAParseError) {
    test::TempDir dir;
    TpkRSSFeed feed;
    FeedLog log(feed);
    EXPECT_FALSE(feed.LoadFromFile(Utf8Path(dir / "absent.rss")));
    EXPECT_EQ(log.events, (Events{"ParseError", "LoadError"}));
}

TEST(TpkRSSFeedOutcome, AnExceptionFromAHandlerReachesTheCaller) {
    TpkRSSFeed feed;
    feed.OnRSSLoaded = [](TpkComponent&) { throw std::runtime_error("handler"); };
    EXPECT_THROW(feed.LoadFromString(Rss("")), std::runtime_error);
    feed.OnRSSLoaded = nullptr;
    feed.OnRSSLoadError = [](TpkComponent&) { throw std::logic_error("late"); };
    EXPECT_THROW(feed.LoadFromString("<broken"), std::logic_error);
}

TEST(TpkRSSFeedOutcome, URLLoadWithoutAddressDoesNothing) {
    TpkRSSFeed feed;
    FeedLog log(feed);
    EXPECT_FALSE(feed.LoadFromURL());
    EXPECT_FALSE(feed.LoadFromURL(true));
    EXPECT_TRUE(log.events.empty());
}

// ---------------------------------------------------------------------------------------------
// Structure

TEST(TpkRSSFeedStructure, EmptyChannelIgnoresItsSiblingItems) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString("<rss><channel></channel><item><title>out</title></item></rss>"));
    EXPECT_EQ(feed.FeedItems().Count(), 0);
    ASSERT_TRUE(feed.LoadFromString("<rss><channel><title>in</title></channel><item><title>out</title></item></rss>"));
    EXPECT_EQ(feed.FeedElements().Title, "in");
    EXPECT_EQ(feed.FeedItems().Count(), 0) << "items directly under rss are not read";
}

TEST(TpkRSSFeedStructure, AnotherLoadReplacesEverything) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString(Rss("<title>A</title><ttl>5</ttl><item><title>1</title></item><item/>")));
    ASSERT_TRUE(feed.LoadFromString("<rss/>"));
    EXPECT_EQ(feed.FeedElements().Title, "");
    EXPECT_EQ(feed.FeedElements().TTL, 0u);
    EXPECT_EQ(feed.FeedItems().Count(), 0);
}

TEST(TpkRSSFeedStructure, NamesOfEachLoadAreForgottenAfterIt) {
    TpkRSSFeed feed;
    const int before = XmlDefaultNameTable()->Count();
    for (int load = 0; load < 50; ++load) {
        std::string items;
        for (int i = 0; i < 20; ++i) {
            const std::string name = "x" + std::to_string(load) + "_" + std::to_string(i);
            items += "<item><title>t</title><" + name + " " + name + "a=\"1\">v</" + name + "></item>";
        }
        ASSERT_TRUE(feed.LoadFromString(Rss("<title>c</title>" + items)));
        EXPECT_EQ(feed.FeedItems().Count(), 20);
    }
    EXPECT_EQ(XmlDefaultNameTable()->Count(), before);
}

TEST(TpkRSSFeedStructure, ItemFieldsDoNotLeakFromOneItemToTheNext) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString(Rss(
        "<item><title>a</title><link>http://a/</link><author>x@y</author><guid>g</guid><source url=\"s\">S</source>"
        "<category domain=\"d\">c</category><comments>cm</comments><pubDate>p</pubDate></item><item><title>b</title></item>")));
    ASSERT_EQ(feed.FeedItems().Count(), 2);
    const TpkRSSFeedItem& b = *feed.FeedItems().Items(1);
    EXPECT_EQ(b.Link, "");
    EXPECT_EQ(b.Author, "");
    EXPECT_EQ(b.Guid().URL, "");
    EXPECT_EQ(b.Source().URL, "");
    EXPECT_EQ(b.Category().Title, "");
    EXPECT_EQ(b.PubDate(), "");
}

// ---------------------------------------------------------------------------------------------
// Reloading one component (as the ticker does): the items of the load before are filled again

// Every field of every item, a line each.
std::string ItemDump(const TpkRSSFeed& feed) {
    std::string out;
    for (int i = 0; i < feed.FeedItems().Count(); ++i) {
        const TpkRSSFeedItem& item = *feed.FeedItems().Items(i);
        out += "item|" + item.Title + "|" + item.Link + "|" + item.Description + "|" + item.Author + "|" +
               item.Comments + "|" + item.PubDate() + "|" + item.Category().Title + "|" + item.Category().Domain +
               "|" + item.Guid().URL + "|" + std::to_string(item.Guid().IsPermaLink) +
               std::to_string(item.Guid().PermaLinkStated) + "|" + item.Source().Title + "|" + item.Source().URL + "\n";
        for (int k = 0; k < item.Enclosure().Count(); ++k) {
            const TpkRSSFeedItemEnclosure& e = *item.Enclosure().Items(k);
            out += " enclosure|" + e.URL + "|" + std::to_string(e.ContentLength) + "|" + e.ContentType + "\n";
            EXPECT_EQ(e.Item(), &item);
        }
    }
    return out;
}

std::string FreshItemDump(const std::string& text, TpkRSSFeedFormats formats = {}) {
    TpkRSSFeed fresh;
    fresh.AcceptedFormats = formats;
    fresh.LoadFromString(text);
    return ItemDump(fresh);
}

TEST(TpkRSSFeedReload, EachLoadOfTheCorpusGivesWhatAFreshComponentGets) {
    std::vector<std::string> texts;
    for (const auto& entry : fs::directory_iterator(test::DataPath("rss/corpus")))
        if (entry.path().extension() == ".xml") texts.push_back(ReadFileToString(entry.path().string()));
    ASSERT_GE(texts.size(), 30u);
    const std::vector<std::string> forth = texts;
    texts.insert(texts.end(), forth.rbegin(), forth.rend());  // each document after a larger and a smaller one
    TpkRSSFeed feed;
    feed.AcceptedFormats = TpkRSSFeedFormats::All();  // Atom and RDF in between, read afresh
    std::string before;
    for (size_t i = 0; i < texts.size(); ++i) {
        const bool loaded = feed.LoadFromString(texts[i]);
        const std::string now = ItemDump(feed);
        // A document that is no feed, or no XML, leaves the model as it was.
        EXPECT_EQ(now, loaded ? FreshItemDump(texts[i], feed.AcceptedFormats) : before) << "document " << i;
        before = now;
    }
}

TEST(TpkRSSFeedReload, FieldsAbsentNowAreEmptiedAndCountsFollowTheDocument) {
    const std::string rich =
        "<item><title>a</title><link>http://a/</link><description>d</description><author>x@y</author>"
        "<category domain=\"cd\">c</category><comments>cm</comments><pubDate>p</pubDate>"
        "<guid isPermaLink=\"TRUE\">g</guid><source url=\"su\">S</source>"
        "<enclosure url=\"u1\" length=\"1K\" type=\"t1\"/><enclosure url=\"u2\" length=\"2\" type=\"t2\"/></item>";
    const std::string bare = "<item><title>b</title><enclosure url=\"u3\"/></item>";
    const std::string guidOnly = "<item><guid>h</guid></item>";
    const std::string sequence[] = {Rss(rich + rich + rich), Rss(bare), Rss(rich + guidOnly + bare + rich),
                                    Rss(guidOnly + guidOnly), "<rss/>", Rss(rich + bare),
                                    Rss("<title>no items</title>"), Rss(bare + rich + bare)};
    TpkRSSFeed feed;
    std::vector<int> seenIDs;
    for (const std::string& text : sequence) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(feed.LoadFromString(text));
        EXPECT_EQ(ItemDump(feed), FreshItemDump(text));
        for (int i = 0; i < feed.FeedItems().Count(); ++i) {
            const TpkRSSFeedItem* item = feed.FeedItems().Items(i);
            EXPECT_EQ(std::count(seenIDs.begin(), seenIDs.end(), item->ID()), 0) << "IDs are never reused";
            EXPECT_EQ(feed.FeedItems().FindItemID(item->ID()), item);
            seenIDs.push_back(item->ID());
        }
    }
}

TEST(TpkRSSFeedReload, ItemsReadWithTheDocumentMatchThoseReadAfterIt) {
    // A feed without a download queue reads items as the XML reader makes them; with one, from
    // the finished document. Both must read the same, and a failed load must leave the model.
    const std::string item = "<item><title>a</title><enclosure url=\"u\" length=\"9\"/></item>";
    std::vector<std::string> texts = {
        "<rss><channel>" + item + "</channel><channel><item><title>second channel</title></item></channel></rss>",
        Rss("<x><item><title>nested</title></item></x>" + item + "<title>T</title>"),
        Rss(item + "<item><title>caf\xE9</title></item>"),  // not UTF-8: read twice
        Rss(item) + "<rss><channel><item><title>second root</title></item></channel></rss>",
        "<feed><channel>" + item + "</channel></feed>",
        Rss(item + item) + "<",
        "<rss><item><title>beside</title></item><channel>" + item + "</channel></rss>",
    };
    for (const auto& entry : fs::directory_iterator(test::DataPath("rss/corpus")))
        if (entry.path().extension() == ".xml") texts.push_back(ReadFileToString(entry.path().string()));
    TpkRSSFeed streamed;
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 120));
        TpkHTTPDownloadQueue queue;
        TpkRSSFeed whole;
        whole.SetDownloadQueue(&queue);
        const std::string before = ItemDump(streamed);
        const bool loaded = streamed.LoadFromString(text);
        EXPECT_EQ(loaded, whole.LoadFromString(text));
        EXPECT_EQ(ItemDump(streamed), loaded ? ItemDump(whole) : before);
        if (loaded) {
            EXPECT_EQ(streamed.FeedElements().Title, whole.FeedElements().Title);
        }
    }
}

TEST(TpkRSSFeedStructure, EveryChannelField) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString(Rss(
        "<title>T</title><link>L</link><description>D</description><language>en</language>"
        "<copyright>C</copyright><managingEditor>M</managingEditor><webMaster>W</webMaster>"
        "<pubDate>P</pubDate><lastBuildDate>B</lastBuildDate><category domain=\"dom\">Cat</category>"
        "<category>second</category><generator>G</generator><docs>Doc</docs>"
        "<cloud domain=\"cd\" port=\"0x50\" path=\"/RPC2\" registerProcedure=\"rp\" protocol=\"soap\"/>"
        "<ttl> 60</ttl><image><url>iu</url><title>it</title><link>il</link><description>id</description>"
        "<width>88</width><height>70000</height></image>"
        "<textInput><title>tt</title><description>td</description><name>tn</name><link>tl</link></textInput>")));
    const TpkRSSFeedElements& e = feed.FeedElements();
    EXPECT_EQ(e.Title + e.Link + e.Description + e.Language + e.Copyright + e.ManagingEditor + e.WebMaster + e.PubDate +
                  e.LastBuildDate + e.Generator + e.Docs,
              "TLDenCMWPBGDoc");
    EXPECT_EQ(e.Category().Title, "Cat");
    EXPECT_EQ(e.Category().Domain, "dom");
    EXPECT_EQ(e.Cloud().Domain, "cd");
    EXPECT_EQ(e.Cloud().Port, 80) << "hexadecimal by the integer-text rule";
    EXPECT_EQ(e.Cloud().Path, "/RPC2");
    EXPECT_EQ(e.Cloud().RegisterProcedure, "rp");
    EXPECT_EQ(e.Cloud().Protocol, "soap");
    EXPECT_EQ(e.TTL, 60u) << "leading spaces are allowed";
    EXPECT_EQ(e.Image().URL + e.Image().Title + e.Image().Link + e.Image().Description, "iuitilid");
    EXPECT_EQ(e.Image().Width, 88);
    EXPECT_EQ(e.Image().Height, 70000 & 0xFFFF) << "the low 16 bits";
    EXPECT_EQ(e.TextInput().Title + e.TextInput().Description + e.TextInput().Name + e.TextInput().Link, "tttdtntl");
}

TEST(TpkRSSFeedStructure, ChannelFieldsAmongTheItemsTakeTheFirstOfTheirName) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString(Rss(
        "<item><title>i1</title><ttl>7</ttl></item><!-- c --><title>T</title><item><title>i2</title></item>"
        "<title>second</title><ttl>x</ttl><ttl>5</ttl><image><url>u</url></image><skipDays><day>monday</day></skipDays>")));
    const TpkRSSFeedElements& e = feed.FeedElements();
    EXPECT_EQ(e.Title, "T");
    EXPECT_EQ(e.TTL, 0u) << "the first ttl is no number; an item's ttl is not the channel's";
    EXPECT_EQ(e.Image().URL, "u");
    EXPECT_TRUE(e.SkipDays.Contains(Monday));
    ASSERT_EQ(feed.FeedItems().Count(), 2);
    EXPECT_EQ(feed.FeedItems().Items(1)->Title, "i2");
}

TEST(TpkRSSFeedStructure, UnreadableNumbersGiveZeroAndEmptyGroupsAreSkipped) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString(Rss("<cloud port=\"80 \"/><ttl>sixty</ttl><image/><textinput><name>n</name></textinput>"
                                        "<image><width>88</width></image>")));
    const TpkRSSFeedElements& e = feed.FeedElements();
    EXPECT_EQ(e.Cloud().Port, 0) << "a trailing space breaks the integer-text rule";
    EXPECT_EQ(e.TTL, 0u);
    EXPECT_EQ(e.Image().Width, 0) << "the first image has no children, so nothing is read";
    EXPECT_EQ(e.TextInput().Name, "") << "textinput in small letters is not textInput";
}

TEST(TpkRSSFeedStructure, SkipHoursTakeZeroToTwentyThree) {
    const struct {
        const char* text;
        bool added;
        int hour;
    } cases[] = {{"0", true, 0},  {"23", true, 23}, {"$10", true, 16}, {" 7", true, 7}, {"24", false, 0},
                 {"-1", false, 0}, {"noon", false, 0}, {"7 ", false, 0}, {"", false, 0}};
    for (const auto& c : cases) {
        TpkRSSFeed feed;
        ASSERT_TRUE(feed.LoadFromString(Rss(std::string("<skipHours><hour>") + c.text + "</hour></skipHours>")));
        if (c.added) {
            TpkRSSFeedSkipHoursSet expected;
            expected.Include(static_cast<TpkRSSFeedSkipHours>(c.hour));
            EXPECT_EQ(feed.FeedElements().SkipHours, expected) << c.text;
        } else {
            EXPECT_TRUE(feed.FeedElements().SkipHours.Empty()) << c.text;
        }
    }
}

TEST(TpkRSSFeedStructure, SkipDaysMatchWholeNamesInAnyCase) {
    const struct {
        const char* text;
        int day;  // -1: ignored
    } cases[] = {{"Monday", 0},   {"MONDAY", 0},   {"monday", 0},  {"mOnDaY", 0}, {"Sunday", 6}, {"SATURDAY", 5},
                 {"Mon", -1},     {" Monday", -1}, {"Monday ", -1}, {"Funday", -1}, {"", -1}};
    for (const auto& c : cases) {
        TpkRSSFeed feed;
        ASSERT_TRUE(feed.LoadFromString(Rss(std::string("<skipDays><day>") + c.text + "</day></skipDays>")));
        if (c.day >= 0) {
            TpkRSSFeedSkipDaysSet expected;
            expected.Include(static_cast<TpkRSSFeedSkipDays>(c.day));
            EXPECT_EQ(feed.FeedElements().SkipDays, expected) << c.text;
        } else {
            EXPECT_TRUE(feed.FeedElements().SkipDays.Empty()) << c.text;
        }
    }
}

TEST(TpkRSSFeedStructure, GuidPermaLinkIsTrueOnlyForTrueInAnyCase) {
    const struct {
        const char* attr;
        bool perma;
    } cases[] = {{"", false}, {" isPermaLink=\"true\"", true}, {" isPermaLink=\"TRUE\"", true},
                 {" isPermaLink=\"false\"", false}, {" isPermaLink=\"yes\"", false}, {" ispermalink=\"true\"", false}};
    for (const auto& c : cases) {
        TpkRSSFeed feed;
        ASSERT_TRUE(feed.LoadFromString(Rss(std::string("<item><guid") + c.attr + ">http://g/</guid></item>")));
        EXPECT_EQ(feed.FeedItems().Items(0)->Guid().IsPermaLink, c.perma) << c.attr;
        EXPECT_EQ(feed.FeedItems().Items(0)->Guid().URL, "http://g/");
    }
}

TEST(TpkRSSFeedStructure, EnclosuresInOrderWithTheirSizes) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString(Rss(
        "<item><enclosure url=\"a.mp3\" length=\"1.5 MB\" type=\"audio/mpeg\"/>"
        "<enclosure url=\"b.ogg\" length=\"1,024\" type=\"audio/ogg\"/><enclosure/></item>"
        "<item><enclosure url=\"c\" length=\"$FFFFFFFF\"/><enclosure url=\"d\" length=\"2\"/></item>")));
    const TpkRSSFeedItem& first = *feed.FeedItems().Items(0);
    ASSERT_EQ(first.Enclosure().Count(), 3);
    EXPECT_EQ(first.Enclosure().Items(0)->URL, "a.mp3");
    EXPECT_EQ(first.Enclosure().Items(0)->ContentLength, 15728640u);
    EXPECT_EQ(first.Enclosure().Items(0)->ContentType, "audio/mpeg");
    EXPECT_EQ(first.Enclosure().Items(1)->ContentLength, 1024u);
    EXPECT_EQ(first.Enclosure().Items(2)->URL, "");
    EXPECT_EQ(first.Enclosure().Items(2)->ContentLength, 0u);
    EXPECT_EQ(first.Enclosure().Items(2)->ContentType, "");
    EXPECT_EQ(feed.FeedItems().Items(1)->EnclosureSize(), 1u) << "wraps at 2^32";
    EXPECT_EQ(feed.EnclosureSize(), 15728640u + 1024u + 1u);
}

TEST(TpkRSSFeedStructure, RootAttributesFromAndTime) {
    TpkRSSFeed feed;
    feed.HTTP().URL = "http://before.example/";
    ASSERT_TRUE(feed.LoadFromString("<rss from=\"\" time=\"Sat, 07 Sep 2002 00:00:01 GMT\"/>"));
    EXPECT_EQ(feed.HTTP().URL, "http://before.example/") << "an empty from changes nothing";
    EXPECT_DOUBLE_EQ(feed.LastUpdate, RFC822ToDateTime("Sat, 07 Sep 2002 00:00:01 GMT"));
    EXPECT_NE(feed.LastUpdate, 0.0);
    ASSERT_TRUE(feed.LoadFromString("<rss from=\"http://moved.example/feed\" time=\"not a date\"/>"));
    EXPECT_EQ(feed.HTTP().URL, "http://moved.example/feed");
    EXPECT_EQ(feed.LastUpdate, 0.0);
}

// ---------------------------------------------------------------------------------------------
// Decoding (the feed's bytes are decoded, not widened one by one)

TEST(TpkRSSFeedDecoding, DeclaredUtf8ArrivesAsOneLetterPerLetter) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + Rss("<title>Caf\xC3\xA9 \xE2\x82\xAC</title>")));
    EXPECT_EQ(feed.FeedCodePage, "UTF-8") << "as written";
    EXPECT_EQ(feed.FeedElements().Title, "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST(TpkRSSFeedDecoding, AByteOrderMarkNoLongerHidesTheDeclaration) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>" + Rss("<title>\xC3\xA5</title>")));
    EXPECT_EQ(feed.FeedCodePage, "utf-8");
    EXPECT_EQ(feed.FeedElements().Title, "\xC3\xA5");
}

TEST(TpkRSSFeedDecoding, Latin1BytesBecomeUtf8) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString("<?xml version='1.0' encoding='iso-8859-1'?>" + Rss("<title>\xE9t\xE9</title>")));
    EXPECT_EQ(feed.FeedCodePage, "iso-8859-1");
    EXPECT_EQ(feed.FeedElements().Title, "\xC3\xA9t\xC3\xA9");
}

TEST(TpkRSSFeedDecoding, NoDeclarationLeavesTheCodePageEmpty) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString("  \r\n" + Rss("")));
    EXPECT_EQ(feed.FeedCodePage, "");
    ASSERT_TRUE(feed.LoadFromString("<!-- first --><?xml version=\"1.0\" encoding=\"utf-8\"?>" + Rss("")));
    EXPECT_EQ(feed.FeedCodePage, "") << "a declaration that is not the first child is not read";
}

// ---------------------------------------------------------------------------------------------
// Merge mode

std::string Titles(const TpkRSSFeed& feed) {
    std::string s;
    for (int i = 0; i < feed.FeedItems().Count(); ++i) s += (i ? "," : "") + feed.FeedItems().Items(i)->Title;
    return s;
}

std::string Items(std::initializer_list<const char*> titles) {
    std::string s;
    for (const char* t : titles) s += std::string("<item><title>") + t + "</title><description>" + t + " new</description></item>";
    return s;
}

TEST(TpkRSSFeedMerge, NewItemsGoOnTopInDocumentOrderAndKnownOnesStay) {
    TpkRSSFeed feed;
    feed.KeepOutdatedItems = true;
    ASSERT_TRUE(feed.LoadFromString(Rss("<title>first</title>" + Items({"c", "b", "a"}))));
    EXPECT_EQ(Titles(feed), "c,b,a") << "the first load fills an empty collection plainly";
    const int idOfB = feed.FeedItems().Items(1)->ID();

    ASSERT_TRUE(feed.LoadFromString(Rss("<title>second</title>" + Items({"d", "c", "b", "a"}))));
    EXPECT_EQ(Titles(feed), "d,c,b,a");
    EXPECT_EQ(feed.FeedItems().Items(2)->ID(), idOfB) << "a known item keeps its place and identity";

    ASSERT_TRUE(feed.LoadFromString(Rss(Items({"f", "e", "d"}))));
    EXPECT_EQ(Titles(feed), "f,e,d,c,b,a") << "two new items at 0 and 1; items that left stay";
    EXPECT_EQ(feed.FeedElements().Title, "") << "the channel is read afresh";
}

TEST(TpkRSSFeedMerge, KnownItemIsRefreshedButKeepsItsEnclosures) {
    TpkRSSFeed feed;
    feed.KeepOutdatedItems = true;
    ASSERT_TRUE(feed.LoadFromString(Rss("<item><title>same</title><link>old</link><enclosure url=\"e1\" length=\"1\"/>"
                                        "<enclosure url=\"e2\" length=\"2\"/></item>")));
    ASSERT_TRUE(feed.LoadFromString(Rss("<item><title>same</title><link>new</link><enclosure url=\"e3\" length=\"3\"/></item>"
                                        "<item><title>other</title><enclosure url=\"e4\" length=\"4\"/></item>")));
    ASSERT_EQ(Titles(feed), "other,same");
    const TpkRSSFeedItem& same = *feed.FeedItems().Items(1);
    EXPECT_EQ(same.Link, "new");
    ASSERT_EQ(same.Enclosure().Count(), 2);
    EXPECT_EQ(same.Enclosure().Items(0)->URL, "e1");
    EXPECT_EQ(same.Enclosure().Items(1)->URL, "e2");
    ASSERT_EQ(feed.FeedItems().Items(0)->Enclosure().Count(), 1);
    EXPECT_EQ(feed.FeedItems().Items(0)->Enclosure().Items(0)->URL, "e4") << "a new item brings its enclosures";
}

TEST(TpkRSSFeedMerge, TitlesCompareByteWise) {
    TpkRSSFeed feed;
    feed.KeepOutdatedItems = true;
    ASSERT_TRUE(feed.LoadFromString(Rss(Items({"News"}))));
    ASSERT_TRUE(feed.LoadFromString(Rss(Items({"news", "News "}))));
    EXPECT_EQ(Titles(feed), "news,News ,News");
}

TEST(TpkRSSFeedMerge, ATitleMatchesTheFirstItemOfThatTitle) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString(Rss("<item><title>a</title><link>1</link></item>"
                                        "<item><title>a</title><link>2</link></item>")));
    feed.KeepOutdatedItems = true;
    ASSERT_TRUE(feed.LoadFromString(Rss("<item><title>n</title><link>3</link></item>"
                                        "<item><title>n</title><link>4</link></item>"
                                        "<item><title>a</title><link>5</link></item>")));
    EXPECT_EQ(Titles(feed), "n,a,a") << "the second n refreshes the n this load added";
    EXPECT_EQ(feed.FeedItems().Items(0)->Link, "4");
    EXPECT_EQ(feed.FeedItems().Items(1)->Link, "5");
    EXPECT_EQ(feed.FeedItems().Items(2)->Link, "2");
}

TEST(TpkRSSFeedMerge, NoChannelKeepsTheOldItems) {
    TpkRSSFeed feed;
    feed.KeepOutdatedItems = true;
    ASSERT_TRUE(feed.LoadFromString(Rss("<title>t</title>" + Items({"a"}))));
    ASSERT_TRUE(feed.LoadFromString("<?xml version=\"1.0\" encoding=\"x\"?><rss/>"));
    EXPECT_EQ(Titles(feed), "a");
    EXPECT_EQ(feed.FeedElements().Title, "");
    EXPECT_EQ(feed.FeedCodePage, "x");
}

TEST(TpkRSSFeedMerge, WithoutKeepingTheDocumentReplacesTheItems) {
    TpkRSSFeed feed;
    ASSERT_TRUE(feed.LoadFromString(Rss(Items({"a", "b"}))));
    ASSERT_TRUE(feed.LoadFromString(Rss(Items({"c", "a"}))));
    EXPECT_EQ(Titles(feed), "c,a");
}

// ---------------------------------------------------------------------------------------------
// Trimming, streams, files, copying

TEST(TpkRSSFeedTrim, TitlesKeepTheirSpacesOtherFieldsLoseThem) {
    TpkRSSFeed feed;
    feed.TrimStrings = true;
    ASSERT_TRUE(feed.LoadFromString("<?xml version=\"1.0\" encoding=\" utf-8 \"?>" +
                                    Rss("<title> T </title><link> L </link><item><title> it </title>"
                                        "<description>\n d \t</description><enclosure url=\" u \" type=\" t \"/></item>")));
    EXPECT_EQ(feed.FeedCodePage, "utf-8");
    EXPECT_EQ(feed.FeedElements().Title, " T ");
    EXPECT_EQ(feed.FeedElements().Link, "L");
    const TpkRSSFeedItem& item = *feed.FeedItems().Items(0);
    EXPECT_EQ(item.Title, " it ");
    EXPECT_EQ(item.Description, "d");
    EXPECT_EQ(item.Enclosure().Items(0)->URL, "u");
    EXPECT_EQ(item.Enclosure().Items(0)->ContentType, "t");

    feed.TrimStrings = false;
    ASSERT_TRUE(feed.LoadFromString(Rss("<link> L </link>")));
    EXPECT_EQ(feed.FeedElements().Link, " L ");
}

TEST(TpkRSSFeedSources, StreamFromStartOrFromItsPosition) {
    const std::string text = Rss("<title>streamed</title>");
    TpkMemoryStream stream("<1>" + text);
    TpkRSSFeed feed;
    FeedLog log(feed);
    stream.SetPosition(3);
    EXPECT_TRUE(feed.LoadFromStream(stream, false));
    EXPECT_EQ(feed.FeedElements().Title, "streamed");
    stream.SetPosition(3);
    EXPECT_FALSE(feed.LoadFromStream(stream, true)) << "from the start the junk comes first";
    EXPECT_EQ(log.events, (Events{"Loaded", "ParseError", "LoadError"}));
}

TEST(TpkRSSFeedSources, FileIsReadWhole) {
    test::TempDir dir;
    const fs::path file = dir / "feed.rss";
    {
        std::ofstream out(file, std::ios::binary);
        out << "\xEF\xBB\xBF" << Rss("<title>from a file</title>");
    }
    TpkRSSFeed feed;
    EXPECT_TRUE(feed.LoadFromFile(Utf8Path(file)));
    EXPECT_EQ(feed.FeedElements().Title, "from a file");
}

TEST(TpkRSSFeedCopy, AssignCopiesContentAndSettings) {
    TpkRSSFeed source;
    ASSERT_TRUE(source.LoadFromString("<?xml version=\"1.0\" encoding=\"utf-8\"?>" +
                                      Rss("<title>S</title><item><title>i</title><enclosure url=\"e\"/></item>")));
    source.KeepOutdatedItems = true;
    source.TrimStrings = true;
    source.LastUpdate = 1234.5;
    source.SetHTTPAgent("agent");
    source.SetHTTPUsername("user");
    source.SetHTTPPassword("secret");
    source.HTTPProxy().AccessType = atUseProxy;
    source.HTTPProxy().ProxyServer = "proxy.example";
    source.SetThreadPriority(tpHigher);
    source.HTTP().URL = "http://source.example/";
    source.SetWaitThread(true);
    source.SetWaitTimeout(900);
    source.Tag = 42;

    TpkRSSFeed copy;
    copy.Assign(&source);
    EXPECT_EQ(copy.FeedCodePage, "utf-8");
    EXPECT_EQ(copy.FeedElements().Title, "S");
    ASSERT_EQ(copy.FeedItems().Count(), 1);
    EXPECT_EQ(copy.FeedItems().Items(0)->Enclosure().Items(0)->URL, "e");
    EXPECT_TRUE(copy.KeepOutdatedItems);
    EXPECT_TRUE(copy.TrimStrings);
    EXPECT_EQ(copy.LastUpdate, 1234.5);
    EXPECT_EQ(copy.HTTPAgent(), "agent");
    EXPECT_EQ(copy.HTTPUsername(), "user");
    EXPECT_EQ(copy.HTTPPassword(), "secret");
    EXPECT_EQ(copy.HTTPProxy().AccessType, atUseProxy);
    EXPECT_EQ(copy.HTTPProxy().ProxyServer, "proxy.example");
    EXPECT_EQ(copy.ThreadPriority(), tpHigher);
    EXPECT_EQ(copy.HTTP().URL, "http://source.example/");
    EXPECT_TRUE(copy.WaitThread());
    EXPECT_EQ(copy.WaitTimeout(), 900u);
    EXPECT_EQ(copy.Tag, 42);

    copy.Assign(nullptr);
    EXPECT_EQ(copy.FeedCodePage, "");
    EXPECT_EQ(copy.FeedElements().Title, "");
    EXPECT_EQ(copy.FeedItems().Count(), 0);
    EXPECT_TRUE(copy.KeepOutdatedItems) << "the reset turns merging on, unlike the constructor";
    EXPECT_FALSE(copy.TrimStrings);
    EXPECT_EQ(copy.LastUpdate, 0.0);
    EXPECT_EQ(copy.HTTPAgent(), TpkRSSFeed().HTTPAgent());
    EXPECT_EQ(copy.HTTPUsername(), "");
    EXPECT_EQ(copy.HTTPPassword(), "");
    EXPECT_EQ(copy.HTTPProxy().AccessType, atPreconfig);
    EXPECT_EQ(copy.ThreadPriority(), tpNormal);
    EXPECT_EQ(copy.HTTP().URL, "");
    EXPECT_FALSE(copy.WaitThread());
    EXPECT_EQ(copy.WaitTimeout(), 0u);
    EXPECT_EQ(copy.Tag, 0);
}

TEST(TpkRSSFeedCopy, ConstructionDefaults) {
    TpkRSSFeed feed;
    EXPECT_FALSE(feed.KeepOutdatedItems);
    EXPECT_FALSE(feed.TrimStrings);
    EXPECT_TRUE(feed.RemoveUnlinkedDownloads);
    EXPECT_EQ(feed.DownloadQueue(), nullptr);
    EXPECT_EQ(feed.HTTPAgent().rfind("pkRSSFeedReader (", 0), 0u);
    EXPECT_EQ(feed.HTTPAgent().back(), ')');
    EXPECT_EQ(feed.HTTPTransferBufferSize(), 4096);
    EXPECT_EQ(feed.ThreadPriority(), tpNormal);
    EXPECT_EQ(feed.HTTP().Owner(), &feed);
    EXPECT_EQ(feed.HTTP().Options, kPragmaNoCacheHTTPOptions);
}

// ---------------------------------------------------------------------------------------------
// HTTP events

TEST(TpkRSSFeedHTTPEvents, TheUsedEventsAreAssignedAtConstruction) {
    TpkRSSFeed feed;
    TpkHTTPPragmaNoCache& http = feed.HTTP();
    EXPECT_TRUE(http.OnDone && http.OnFailed && http.OnConnLost && http.OnHostUnreachable && http.OnError &&
                http.OnHeaderInfo && http.OnProgress && http.OnPasswordRequest && http.OnProxyAuthenticationRequest &&
                http.OnWaitTimeoutExpired);
    EXPECT_FALSE(http.OnUploadFailed || http.OnOutputFileError || http.OnCancelled || http.OnAborted ||
                 http.OnBeforeSendRequest || http.OnStatus || http.OnRedirect);
}

TEST(TpkRSSFeedHTTPEvents, VarArgumentsReachTheHTTPComponentAndSenderIsTheFeed) {
    TpkRSSFeed feed;
    TpkHTTPPragmaNoCache& http = feed.HTTP();

    // No feed handler: the presets stay.
    bool tryAgain = false, carryOn = true, terminate = true;
    std::string user = "u", password = "p";
    http.OnPasswordRequest(http, "realm", tryAgain);
    http.OnProxyAuthenticationRequest(http, user, password, tryAgain);
    http.OnHeaderInfo(http, 200, "", "", "", "", 0, "", 0, 0, 0, "", carryOn);
    http.OnWaitTimeoutExpired(http, terminate);
    EXPECT_FALSE(tryAgain);
    EXPECT_TRUE(carryOn);
    EXPECT_TRUE(terminate);
    EXPECT_EQ(user + password, "up");

    std::vector<const TpkComponent*> senders;
    feed.OnHTTPPasswordRequest = [&](TpkComponent& s, const std::string& realm, bool& again) {
        senders.push_back(&s);
        again = realm == "realm";
    };
    feed.OnHTTPProxyAuthenticationRequest = [&](TpkComponent& s, std::string& u, std::string& p, bool& again) {
        senders.push_back(&s);
        u = "proxyuser";
        p = "proxypass";
        again = true;
    };
    feed.OnHTTPHeaderInfo = [&](TpkComponent& s, int code, const std::string&, const std::string& type,
                                const std::string&, const std::string&, std::int32_t length, const std::string&, double,
                                double, double, const std::string& etag, bool& go) {
        senders.push_back(&s);
        go = !(code == 200 && type == "text/xml" && length == 77 && etag == "\"e\"");
    };
    feed.OnWaitTimeoutExpired = [&](TpkComponent& s, bool& t) {
        senders.push_back(&s);
        t = false;
    };
    int progress = -1;
    feed.OnHTTPProgress = [&](TpkComponent& s, const std::string&, std::int32_t, std::int32_t bytes, std::int32_t,
                              std::int32_t, std::uint8_t percents, float, TpkStream*) {
        senders.push_back(&s);
        progress = bytes * 1000 + percents;
    };
    http.OnPasswordRequest(http, "realm", tryAgain);
    EXPECT_TRUE(tryAgain);
    tryAgain = false;
    http.OnProxyAuthenticationRequest(http, user, password, tryAgain);
    EXPECT_TRUE(tryAgain);
    EXPECT_EQ(user, "proxyuser");
    EXPECT_EQ(password, "proxypass");
    http.OnHeaderInfo(http, 200, "raw", "text/xml", "en", "gzip", 77, "", 1, 2, 3, "\"e\"", carryOn);
    EXPECT_FALSE(carryOn);
    http.OnWaitTimeoutExpired(http, terminate);
    EXPECT_FALSE(terminate);
    http.OnProgress(http, "text/xml", 100, 50, 1, 1, 50, 1.0f, nullptr);
    EXPECT_EQ(progress, 50050);
    ASSERT_EQ(senders.size(), 5u);
    for (const TpkComponent* s : senders) EXPECT_EQ(s, &feed);
}

TEST(TpkRSSFeedHTTPEvents, FailureEventsFollowTheForwardedOne) {
    TpkRSSFeed feed;
    FeedLog log(feed);
    TpkHTTPPragmaNoCache& http = feed.HTTP();
    http.OnError(http, 404, nullptr);
    http.OnFailed(http);
    http.OnHostUnreachable(http);
    http.OnFailed(http);
    EXPECT_EQ(log.events, (Events{"HTTPError 404", "LoadError", "HostUnreachable", "LoadError"}));
}

TEST(TpkRSSFeedHTTPEvents, DoneParsesTheBodyAndThenStampsTheTime) {
    TpkRSSFeed feed;
    double seenInLoaded = -1;
    feed.OnRSSLoaded = [&](TpkComponent&) { seenInLoaded = feed.LastUpdate; };
    TpkMemoryStream body("<rss time=\"Sat, 07 Sep 2002 00:00:01 GMT\"><channel><title>net</title></channel></rss>");
    const double before = NowDateTime();
    feed.HTTP().OnDone(feed.HTTP(), "text/xml", static_cast<std::int32_t>(body.Size()), &body);
    EXPECT_EQ(feed.FeedElements().Title, "net");
    EXPECT_DOUBLE_EQ(seenInLoaded, RFC822ToDateTime("Sat, 07 Sep 2002 00:00:01 GMT"))
        << "OnRSSLoaded still sees the time attribute";
    EXPECT_GE(feed.LastUpdate, before - 1e-6);
    EXPECT_LE(feed.LastUpdate, NowDateTime() + 1e-6);

    const double stamped = feed.LastUpdate;
    TpkMemoryStream broken("<rss>");
    feed.HTTP().OnDone(feed.HTTP(), "text/xml", 5, &broken);
    EXPECT_EQ(feed.LastUpdate, stamped) << "a failed parse does not stamp";
}


TEST(TpkRSSFeedURL, FileURLLoadsAndAMissingOneFailsAsAnHTTPError) {
    test::TempDir dir;
    {
        std::ofstream out(dir / "f.xml", std::ios::binary);
        out << Rss("<title>by url</title>");
    }
    TpkRSSFeed feed;
    FeedLog log(feed);
    feed.HTTP().URL = FileUrl(dir / "f.xml");
    ASSERT_TRUE(feed.LoadFromURL(true));
    ASSERT_TRUE(test::PumpUntil([&] { return !log.events.empty() && !feed.HTTP().Busy(); }));
    EXPECT_EQ(log.events, (Events{"Loaded"}));
    EXPECT_EQ(feed.FeedElements().Title, "by url");
    EXPECT_NE(feed.LastUpdate, 0.0);

    log.events.clear();
    feed.HTTP().URL = FileUrl(dir / "none.xml");
    ASSERT_TRUE(feed.LoadFromURL(true));
    ASSERT_TRUE(test::PumpUntil([&] { return log.events.size() >= 2 && !feed.HTTP().Busy(); }));
    EXPECT_EQ(log.events, (Events{"HTTPError 404", "LoadError"}));
}

// ---------------------------------------------------------------------------------------------
// Enclosures and the download queue

const std::string kTwoItemsOneURL = Rss(
    "<item><title>one</title><enclosure url=\"http://h.example/shared.mp3\" length=\"10\"/></item>"
    "<item><title>two</title><enclosure url=\"http://h.example/shared.mp3\" length=\"10\"/>"
    "<enclosure url=\"http://h.example/own.mp3\" length=\"5\"/></item>");

TEST(TpkRSSFeedQueue, WithoutAQueueNoEnclosureEvent) {
    TpkRSSFeed feed;
    FeedLog log(feed);
    bool asked = false;
    feed.OnRSSEnclosureCanEnqueue = [&](TpkComponent&, TpkRSSFeedItemEnclosure&, bool&) { asked = true; };
    ASSERT_TRUE(feed.LoadFromString(kTwoItemsOneURL));
    EXPECT_FALSE(asked);
    EXPECT_EQ(log.events, (Events{"Loaded"}));
}

TEST(TpkRSSFeedQueue, SharedURLSharesOneEntryUntilTheLastEnclosureGoes) {
    TpkHTTPDownloadQueue queue;
    TpkRSSFeed feed;
    FeedLog log(feed);
    feed.SetDownloadQueue(&queue);
    ASSERT_TRUE(feed.LoadFromString(kTwoItemsOneURL));
    EXPECT_EQ(log.events, (Events{"Queued http://h.example/shared.mp3", "Queued http://h.example/shared.mp3",
                                  "Queued http://h.example/own.mp3", "Loaded"}));
    ASSERT_EQ(queue.Count(), 2);
    TpkDownloadQueueItem* shared = queue.FindByURL("http://h.example/shared.mp3");
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->Links.size(), 2u);
    EXPECT_EQ(feed.FeedItems().Items(0)->Enclosure().Items(0)->DownloadItem, shared);
    EXPECT_EQ(feed.FeedItems().Items(1)->Enclosure().Items(0)->DownloadItem, shared);

    feed.FeedItems().Delete(0);
    EXPECT_EQ(queue.FindByURL("http://h.example/shared.mp3"), shared) << "one link remains";
    EXPECT_EQ(shared->Links.size(), 1u);
    feed.FeedItems().Delete(0);
    EXPECT_EQ(queue.Count(), 0) << "the last link went, and the entries with it";
}

TEST(TpkRSSFeedQueue, UnlinkedEntriesStayWhenAskedTo) {
    TpkHTTPDownloadQueue queue;
    TpkRSSFeed feed;
    feed.RemoveUnlinkedDownloads = false;
    feed.SetDownloadQueue(&queue);
    ASSERT_TRUE(feed.LoadFromString(kTwoItemsOneURL));
    feed.FeedItems().Clear();
    ASSERT_EQ(queue.Count(), 2);
    EXPECT_TRUE(queue.Items(0)->Links.empty());
}

TEST(TpkRSSFeedQueue, CanEnqueueFalseStopsTheOffer) {
    TpkHTTPDownloadQueue queue;
    TpkRSSFeed feed;
    FeedLog log(feed);
    feed.SetDownloadQueue(&queue);
    feed.OnRSSEnclosureCanEnqueue = [&](TpkComponent& s, TpkRSSFeedItemEnclosure& e, bool& enqueue) {
        EXPECT_EQ(&s, &feed);
        EXPECT_TRUE(enqueue) << "preset to true";
        enqueue = e.URL.find("own") != std::string::npos;
    };
    ASSERT_TRUE(feed.LoadFromString(kTwoItemsOneURL));
    EXPECT_EQ(log.events, (Events{"Queued http://h.example/own.mp3", "Loaded"}));
    EXPECT_EQ(feed.FeedItems().Items(0)->Enclosure().Items(0)->DownloadItem, nullptr);
    EXPECT_EQ(queue.Count(), 1);
}

TEST(TpkRSSFeedQueue, CompleteTargetIsReportedAsAlreadyDownloaded) {
    test::TempDir dir;
    TpkHTTPDownloadQueue queue;
    queue.DownloadFolder = Utf8Path(dir.Path());
    {
        std::ofstream out(dir / "h-example_own.mp3", std::ios::binary);
        out << "done";
    }
    TpkRSSFeed feed;
    FeedLog log(feed);
    feed.SetDownloadQueue(&queue);
    ASSERT_TRUE(feed.LoadFromString(kTwoItemsOneURL));
    EXPECT_EQ(log.events, (Events{"Queued http://h.example/shared.mp3", "Queued http://h.example/shared.mp3",
                                  "Already http://h.example/own.mp3", "Loaded"}));
    EXPECT_EQ(feed.FeedItems().Items(1)->Enclosure().Items(1)->DownloadItem, nullptr);
}

TEST(TpkRSSFeedQueue, MergeOffersOnlyNewItemsAndKeepsTheLinksOfKnownOnes) {
    TpkHTTPDownloadQueue queue;
    TpkRSSFeed feed;
    FeedLog log(feed);
    feed.KeepOutdatedItems = true;
    feed.SetDownloadQueue(&queue);
    ASSERT_TRUE(feed.LoadFromString(Rss("<item><title>a</title><enclosure url=\"http://h.example/a\"/></item>")));
    TpkDownloadQueueItem* a = queue.FindByURL("http://h.example/a");
    ASSERT_NE(a, nullptr);
    log.events.clear();
    ASSERT_TRUE(feed.LoadFromString(Rss("<item><title>b</title><enclosure url=\"http://h.example/b\"/></item>"
                                        "<item><title>a</title><enclosure url=\"http://h.example/a2\"/></item>")));
    EXPECT_EQ(log.events, (Events{"Queued http://h.example/b", "Loaded"}));
    EXPECT_EQ(feed.FeedItems().Items(1)->Enclosure().Items(0)->DownloadItem, a);
    EXPECT_EQ(queue.Count(), 2) << "the free-standing copy of a known item offered nothing";
}

TEST(TpkRSSFeedQueue, QueueGoingAwayDetachesTheFeed) {
    TpkRSSFeed feed;
    {
        TpkHTTPDownloadQueue queue;
        feed.SetDownloadQueue(&queue);
        ASSERT_TRUE(feed.LoadFromString(kTwoItemsOneURL));
        ASSERT_NE(feed.FeedItems().Items(0)->Enclosure().Items(0)->DownloadItem, nullptr);
    }
    EXPECT_EQ(feed.DownloadQueue(), nullptr);
    for (int i = 0; i < feed.FeedItems().Count(); ++i)
        for (int k = 0; k < feed.FeedItems().Items(i)->Enclosure().Count(); ++k)
            EXPECT_EQ(feed.FeedItems().Items(i)->Enclosure().Items(k)->DownloadItem, nullptr);
    feed.FeedItems().Clear();  // nothing left to touch the gone queue
}

TEST(TpkRSSFeedQueue, DetachDownloadsDeletesTheFeedsEntriesOnly) {
    TpkHTTPDownloadQueue queue;
    TpkDownloadQueueItem* foreign = queue.EnqueueURL("http://h.example/foreign");
    TpkRSSFeed feed;
    feed.SetDownloadQueue(&queue);
    ASSERT_TRUE(feed.LoadFromString(kTwoItemsOneURL));
    ASSERT_EQ(queue.Count(), 3);
    feed.DetachDownloads();
    ASSERT_EQ(queue.Count(), 1);
    EXPECT_EQ(queue.Items(0), foreign);
    EXPECT_EQ(feed.FeedItems().Items(1)->Enclosure().Items(1)->DownloadItem, nullptr);
}

TEST(TpkRSSFeedQueue, FeedGoingAwayRemovesItsEntries) {
    TpkHTTPDownloadQueue queue;
    {
        TpkRSSFeed feed;
        feed.SetDownloadQueue(&queue);
        ASSERT_TRUE(feed.LoadFromString(kTwoItemsOneURL));
        ASSERT_EQ(queue.Count(), 2);
    }
    EXPECT_EQ(queue.Count(), 0);
}

TEST(TpkRSSFeed, FeedTransferDeadlineFromTheTestHook) {
    struct Case { const char* text; std::uint32_t ms; };
    const Case cases[] = {
        {nullptr, kFeedTransferDeadline}, {"", kFeedTransferDeadline}, {"8000", 8000},   {"100", 100},
        {"600000", 600000},               {"99", kFeedTransferDeadline}, {"600001", kFeedTransferDeadline},
        {"-5", kFeedTransferDeadline},    {"5s", kFeedTransferDeadline}, {"99999999999", kFeedTransferDeadline},
    };
    for (const auto& c : cases) EXPECT_EQ(FeedTransferDeadline(c.text), c.ms) << (c.text ? c.text : "null");
}

}  // namespace
}  // namespace tw
