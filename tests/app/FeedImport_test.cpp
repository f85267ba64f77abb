// Which feeds of an OPML document join the custom list, what the user is told, and the export
// that an import into an empty list reads back as it was.
#include "app/FeedImport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

TFeedsList ListOf(const std::vector<std::string>& addresses) {
    TFeedsList list;
    for (const std::string& a : addresses) list.Add(a, true);
    return list;
}

std::vector<std::string> AddressesOf(const TFeedsList& list) {
    std::vector<std::string> addresses;
    for (size_t i = 0; i < list.Count(); ++i) addresses.push_back(list.Strings(i));
    return addresses;
}

// Each custom feed after `from` as "folder/sub|title|address", as the notes know it.
std::vector<std::string> Added(const TFeedsList& customs, size_t from, const TFeedNotes& notes) {
    std::vector<std::string> lines;
    for (size_t i = from; i < customs.Count(); ++i) {
        std::string folder;
        for (const std::string& f : notes.Folder(customs.Strings(i))) folder += (folder.empty() ? "" : "/") + f;
        lines.push_back((customs.Objects(i).LinkEnabled ? "" : "!") + folder + "|" + notes.Title(customs.Strings(i)) +
                        "|" + customs.Strings(i));
    }
    return lines;
}

std::string Opml(const std::string& body, const std::string& declaration = "<?xml version=\"1.0\"?>") {
    return declaration + "<opml version=\"2.0\"><head/><body>" + body + "</body></opml>";
}

std::string Feed(const std::string& address, const std::string& title = "") {
    return "<outline type=\"rss\" text=\"" + title + "\" xmlUrl=\"" + address + "\"/>";
}

std::string Utf16LE(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

TEST(FeedImport, ImportRules) {
    const std::vector<std::string> defaults = {"http://news.example/rss"};
    const std::vector<std::string> customs = {"https://Blog.Example/feed/"};
    struct Case {
        const char* name;
        std::string document;
        std::vector<std::string> added;
        std::string message;
    };
    const Case cases[] = {
        {"duplicates of either list or of an earlier outline, by host case and a trailing slash",
         Opml(Feed("http://NEWS.example/rss/") + Feed("HTTPS://blog.example/feed") + Feed("http://new.example/a") +
              Feed("http://NEW.example/a/") + Feed("http://new.example/A")),
         {"||http://new.example/a", "||http://new.example/A"},
         "Imported 2 feeds; skipped 3 already in the list and 0 that are not feed addresses."},
        {"schemes: http and https only, the feed: forms understood, other types counted",
         Opml(Feed("ftp://x.example/rss") + Feed("javascript:alert(1)") + Feed("x.example/rss") +
              Feed("mailto:a@x.example") + Feed("feed://f.example/rss") + Feed("feed:https://g.example/rss") +
              Feed("http://") + "<outline type=\"link\" xmlUrl=\"http://l.example/\"/>" + Feed("feed:news.example/rss")),
         {"||http://f.example/rss", "||https://g.example/rss"},
         "Imported 2 feeds; skipped 0 already in the list and 7 that are not feed addresses."},
        {"any depth, folders flattened in document order, titles kept",
         Opml("<outline text=\"A\">" + Feed("http://1.example/", "One") + "<outline title=\"B\"><outline text=\"C\">" +
              Feed("http://3.example/", "Three") + "</outline>" + Feed("http://2.example/", "Two &amp; &#50;") +
              "</outline></outline>" + Feed("http://0.example/")),
         {"A|One|http://1.example/", "A/B/C|Three|http://3.example/", "A/B|Two & 2|http://2.example/", "||http://0.example/"},
         "Imported 4 feeds; skipped 0 already in the list and 0 that are not feed addresses."},
        {"Cyrillic and Japanese folder titles in UTF-8",
         Opml("<outline text=\"Новости\">" + Feed("http://ru.example/?a=1&amp;b=2", "Лента") +
              "</outline><outline text=\"日本のニュース\">" + Feed("http://jp.example/", "天気") + "</outline>"),
         {"Новости|Лента|http://ru.example/?a=1&b=2", "日本のニュース|天気|http://jp.example/"},
         "Imported 2 feeds; skipped 0 already in the list and 0 that are not feed addresses."},
        {"an ISO-8859-1 file",
         Opml("<outline text=\"Caf\xE9\">" + Feed("http://latin.example/", "M\xFCller") + "</outline>",
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"),
         {"Café|Müller|http://latin.example/"},
         "Imported 1 feeds; skipped 0 already in the list and 0 that are not feed addresses."},
        {"a UTF-16 file",
         Utf16LE(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><opml><body><outline text=\"日本\">"
                 u"<outline xmlUrl=\"http://utf16.example/\" title=\"東京\"/></outline></body></opml>"),
         {"日本|東京|http://utf16.example/"},
         "Imported 1 feeds; skipped 0 already in the list and 0 that are not feed addresses."},
        {"an opml root without outlines", Opml(""), {},
         "Imported 0 feeds; skipped 0 already in the list and 0 that are not feed addresses."},
        {"not OPML", "<rss><channel>" + Feed("http://x.example/") + "</channel></rss>", {},
         "The file is not an OPML document; no feeds were imported."},
        {"cannot be read", Opml(Feed("http://x.example/") + "<outline>"), {},
         "The file cannot be read as OPML; no feeds were imported."},
        {"too large", Opml(std::string(kOpmlMaxFileBytes, ' ')), {},
         "The file is larger than 8 MB; no feeds were imported."},
    };
    for (const Case& c : cases) {
        TFeedsList defaultList = ListOf(defaults), customList = ListOf(customs);
        TFeedNotes notes;
        const TFeedImport plan = PlanFeedImport(ReadOpml(c.document), defaultList, customList);
        ApplyFeedImport(plan, customList, &notes);
        EXPECT_EQ(AddressesOf(defaultList), defaults) << c.name;
        EXPECT_EQ(Added(customList, customs.size(), notes), c.added) << c.name;
        EXPECT_EQ(FeedImportMessage(plan), c.message) << c.name;
    }
}

TEST(FeedImport, FeedsLeftOutAreSaid) {
    TFeedImport plan;
    plan.Status = TOpmlStatus::osRead;
    plan.NewFeeds.Feeds.resize(kOpmlMaxFeeds);
    plan.LeftOut = 5;
    EXPECT_EQ(FeedImportMessage(plan), "Imported 10000 feeds; skipped 0 already in the list and 0 that are not feed "
                                       "addresses. Only the first 10000 feeds of the file were read.");
}

TEST(FeedImport, ExportThenImportIntoAnEmptyListGivesTheSameFeeds) {
    TFeedsList defaults = ListOf({"http://d1.example/rss", "http://d2.example/rss"});
    defaults.Objects(1).LinkEnabled = false;
    TFeedsList customs = ListOf({"http://a.example/?a=1&b=2", "https://b.example/フィード", "http://c.example/",
                                 "http://d.example/?x=<y>&z"});
    customs.Objects(2).LinkEnabled = false;
    TFeedNotes notes;
    notes.SetTitle("http://d1.example/rss", "Default & one");
    notes.SetTitle("http://A.example/?a=1&b=2", "Новости & Co");
    notes.SetFolder("http://a.example/?a=1&b=2", {"Новости"});
    notes.SetTitle("https://b.example/フィード", "日本の天気");
    notes.SetFolder("https://b.example/フィード", {"日本", "天気"});
    notes.SetFolder("http://d.example/?x=<y>&z", {"Новости"});

    const TOpmlReadResult read = ReadOpml(ExportFeeds(defaults, customs, notes));
    ASSERT_EQ(read.Status, TOpmlStatus::osRead);
    std::vector<bool> disabled;
    for (const TOpmlFeed& f : read.Outlines.Feeds) disabled.push_back(f.Disabled);
    EXPECT_EQ(disabled, (std::vector<bool>{false, true, false, false, true, false}));

    TFeedsList emptyDefaults, imported;
    TFeedNotes importedNotes;
    ApplyFeedImport(PlanFeedImport(read, emptyDefaults, imported), imported, &importedNotes);
    EXPECT_EQ(Added(imported, 0, importedNotes), (std::vector<std::string>{
                                                     "|Default & one|http://d1.example/rss",
                                                     "|http://d2.example/rss|http://d2.example/rss",
                                                     "Новости|Новости & Co|http://a.example/?a=1&b=2",
                                                     "日本/天気|日本の天気|https://b.example/フィード",
                                                     "|http://c.example/|http://c.example/",
                                                     "Новости|http://d.example/?x=<y>&z|http://d.example/?x=<y>&z",
                                                 }));
}

TEST(FeedImport, DeepFoldersKeepTheirOutermost) {
    TFeedNotes notes;
    notes.SetFolder("http://x.example/", std::vector<std::string>(100, "f"));
    EXPECT_EQ(notes.Folder("HTTP://X.EXAMPLE").size(), kMaxFeedFolderDepth);
    EXPECT_TRUE(notes.Folder("http://y.example/").empty());
}

}  // namespace
}  // namespace tw
