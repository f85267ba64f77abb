// Reading OPML documents into feeds and folders, writing them back, and the bounds that keep a
// hostile file from costing more than a refusal.
#include "rss/Opml.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace tw {
namespace {

// A feed as "Folder/Sub|title|address", with "!" in front when it is marked disabled.
std::vector<std::string> Described(const TOpmlOutlines& outlines) {
    std::vector<std::string> lines;
    for (const TOpmlFeed& feed : outlines.Feeds) {
        std::string folder;
        for (const std::string& title : outlines.FolderPath(feed.Folder)) folder += (folder.empty() ? "" : "/") + title;
        lines.push_back((feed.Disabled ? "!" : "") + folder + "|" + feed.Title + "|" + feed.Address);
    }
    return lines;
}

std::string Opml(const std::string& body) { return "<?xml version=\"1.0\"?><opml version=\"2.0\"><body>" + body + "</body></opml>"; }

TEST(ReadOpml, TakesEveryFeedOutlineAtAnyDepth) {
    struct Case {
        const char* name;
        std::string text;
        TOpmlStatus status;
        std::vector<std::string> feeds;
        size_t otherTypes = 0;
    };
    const Case cases[] = {
        {"OPML 1.0, flat", "<opml version=\"1.0\"><head><title>x</title></head><body>"
                           "<outline text=\"A\" xmlUrl=\"http://a/rss\"/><outline title=\"B\" xmlUrl=\"http://b/rss\"/>"
                           "</body></opml>",
         TOpmlStatus::osRead, {"|A|http://a/rss", "|B|http://b/rss"}},
        {"folders nest and are kept",
         Opml("<outline text=\"News\"><outline text=\"World\">"
              "<outline text=\"W\" xmlUrl=\"http://w/\"/></outline>"
              "<outline text=\"N\" xmlUrl=\"http://n/\"/></outline><outline text=\"T\" xmlUrl=\"http://t/\"/>"),
         TOpmlStatus::osRead, {"News/World|W|http://w/", "News|N|http://n/", "|T|http://t/"}},
        {"a folder's text wins over its title, a feed's title over its text",
         Opml("<outline title=\"t\" text=\"Folder\"><outline text=\"text\" title=\"Title\" xmlUrl=\"http://a/\"/>"
              "</outline>"),
         TOpmlStatus::osRead, {"Folder|Title|http://a/"}},
        {"types rss, atom or none; others counted",
         Opml("<outline type=\"RSS\" xmlUrl=\"http://a/\"/><outline type=\"atom\" xmlUrl=\"http://b/\"/>"
              "<outline type=\"link\" xmlUrl=\"http://c/\"/><outline type=\"include\" xmlUrl=\"http://d/\"/>"
              "<outline type=\"\" xmlUrl=\"http://e/\"/><outline type=\"rss\" text=\"no address\"/>"),
         TOpmlStatus::osRead, {"||http://a/", "||http://b/", "||http://e/"}, 2},
        {"entities and references decoded, blanks trimmed, attribute names in any case",
         Opml("<outline XMLURL=\" http://a/?x=1&amp;y=&#x32; \" TEXT=\"&#1053;&#1086;&lt;\"/>"),
         TOpmlStatus::osRead, {"|Но<|http://a/?x=1&y=2"}},
        {"category disabled read",
         Opml("<outline xmlUrl=\"http://a/\" category=\"/News, disabled\"/><outline xmlUrl=\"http://b/\" "
              "category=\"/disabledx\"/>"),
         TOpmlStatus::osRead, {"!||http://a/", "||http://b/"}},
        {"outlines in the head are not feeds, outlines outside the body are",
         "<opml><head><outline xmlUrl=\"http://h/\"/></head><outline xmlUrl=\"http://r/\"/>"
         "<body><x><outline xmlUrl=\"http://x/\"/></x></body></opml>",
         TOpmlStatus::osRead, {"||http://r/"}},
        {"an opml root with no outlines", "<opml version=\"2.0\"><head/><body/></opml>", TOpmlStatus::osRead, {}},
        {"a feed is not OPML", "<rss><channel><outline xmlUrl=\"http://a/\"/></channel></rss>",
         TOpmlStatus::osNotOpml, {}},
        {"nothing at all", "", TOpmlStatus::osNotOpml, {}},
        {"a second top-level element is no root", "<opml/><opml><body><outline xmlUrl=\"http://a/\"/></body></opml>",
         TOpmlStatus::osRead, {}},
        {"malformed", Opml("<outline xmlUrl=\"http://a/\">"), TOpmlStatus::osUnreadable, {}},
        {"an unknown entity", Opml("<outline xmlUrl=\"http://a/&nbsp;\"/>"), TOpmlStatus::osUnreadable, {}},
    };
    for (const Case& c : cases) {
        const TOpmlReadResult result = ReadOpml(c.text);
        EXPECT_EQ(result.Status, c.status) << c.name;
        EXPECT_EQ(Described(result.Outlines), c.feeds) << c.name;
        EXPECT_EQ(result.OtherTypes, c.otherTypes) << c.name;
        EXPECT_EQ(result.OpmlRoot, c.status == TOpmlStatus::osRead || c.status == TOpmlStatus::osUnreadable) << c.name;
    }
}

TEST(ReadOpml, HostileDocumentsEndAtABound) {
    // Each a few megabytes at most, so none takes more than a moment to refuse.
    std::string nested = "<opml><body>";
    for (int i = 0; i < 100000; ++i) nested += "<outline text=\"f\">";
    EXPECT_EQ(ReadOpml(nested).Status, TOpmlStatus::osUnreadable) << "100,000 nested outlines";

    std::string bomb = "<!DOCTYPE opml [<!ENTITY a \"" + std::string(4096, 'a') + "\">]><opml><body>";
    for (int i = 0; i < 4096; ++i) bomb += "<outline text=\"&a;&a;&a;&a;\" xmlUrl=\"http://x/\"/>";
    const TOpmlReadResult bombed = ReadOpml(bomb + "</body></opml>");
    EXPECT_EQ(bombed.Status, TOpmlStatus::osUnreadable) << "entities expanding to 64 Mi characters";
    EXPECT_TRUE(bombed.Outlines.Feeds.empty());

    std::string many = "<opml><body>";
    for (size_t i = 0; i <= kOpmlMaxFeeds + 1; ++i) many += "<outline xmlUrl=\"http://x/" + std::to_string(i) + "\"/>";
    const TOpmlReadResult limited = ReadOpml(many + "</body></opml>");
    ASSERT_EQ(limited.Status, TOpmlStatus::osRead);
    ASSERT_EQ(limited.Outlines.Feeds.size(), kOpmlMaxFeeds);
    EXPECT_EQ(limited.Outlines.Feeds.back().Address, "http://x/" + std::to_string(kOpmlMaxFeeds - 1));
    EXPECT_EQ(limited.LeftOut, 2u);

    const std::string huge = Opml(std::string(50 << 20, ' '));
    EXPECT_EQ(ReadOpml(huge).Status, TOpmlStatus::osTooLarge);
    test::TempDir dir;
    std::ofstream(dir / "huge.opml", std::ios::binary) << huge;
    EXPECT_EQ(ReadOpmlFile(dir / "huge.opml").Status, TOpmlStatus::osTooLarge);
    EXPECT_EQ(ReadOpmlFile(dir / "missing.opml").Status, TOpmlStatus::osCannotOpen);
}

TEST(ReadOpmlFile, ReadsAFileNamedInAnyScript) {
    test::TempDir dir;
    const std::filesystem::path file = dir.Path() / std::filesystem::path(u8"подписки 日本.opml");
    std::ofstream(file, std::ios::binary) << Opml("<outline xmlUrl=\"http://a/\"/>");
    const TOpmlReadResult read = ReadOpmlFile(file);
    EXPECT_EQ(read.Status, TOpmlStatus::osRead);
    EXPECT_EQ(Described(read.Outlines), std::vector<std::string>{"||http://a/"});
}

TEST(WriteOpml, ReadsBackAsWritten) {
    TOpmlOutlines outlines;
    outlines.Folders = {{"Новости", -1}, {"World", 0}, {"日本のニュース", -1}};
    const int world = 1, japan = 2;
    outlines.Feeds = {
        {"http://a.example/rss?x=1&y=2", "Ведомости & Co", false, world},
        {"https://b.example/フィード", "天気 <予報>", true, japan},
        {"http://c.example/", "", false, -1},
        {"http://d.example/\"q\"", "line\r\nbreak\ttab", false, world},  // the same folder again, after others
        {"http://e.example/\x01", "\xEF\xBF\xBF", false, -1},
    };
    const std::string written = WriteOpml(outlines, "Tidewire & feeds");
    EXPECT_EQ(written.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    EXPECT_NE(written.find("<opml version=\"2.0\">"), std::string::npos);
    const TOpmlReadResult read = ReadOpml(written);
    ASSERT_EQ(read.Status, TOpmlStatus::osRead);
    EXPECT_EQ(Described(read.Outlines), (std::vector<std::string>{
                                            "Новости/World|Ведомости & Co|http://a.example/rss?x=1&y=2",
                                            "!日本のニュース|天気 <予報>|https://b.example/フィード",
                                            "|http://c.example/|http://c.example/",
                                            "Новости/World|line  break tab|http://d.example/\"q\"",
                                            "|\xEF\xBF\xBD|http://e.example/%01",
                                        }));
}

}  // namespace
}  // namespace tw
