// The import and export command lines, the text handed to a running ticker, and both commands
// run over app.config when no ticker runs.
#include "app/SubscriptionCommands.h"

#include "config/AppSettings.h"
#include "config/IniProfileStore.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace tw {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::Utf8Path;

TEST(SubscriptionCommands, CommandLines) {
    using V = TSubscriptionVerb;
    struct Case {
        std::vector<std::string> arguments;
        std::optional<TSubscriptionCommand> command;
    };
    const Case cases[] = {
        {{"/import", "C:\\subs.opml"}, TSubscriptionCommand{V::Import, "C:\\subs.opml"}},
        {{"/EXPORT", "out.opml"}, TSubscriptionCommand{V::Export, "out.opml"}},
        {{"-Import", "Z:\\tmp\\\xD0\xBB.opml"}, TSubscriptionCommand{V::Import, "Z:\\tmp\\\xD0\xBB.opml"}},
        {{"/import"}, std::nullopt},                       // no file
        {{"/import", ""}, std::nullopt},
        {{"/import", "a.opml", "b.opml"}, std::nullopt},   // one file at a time
        {{"import", "a.opml"}, std::nullopt},              // a file of that name opens as a feed
        {{"/importx", "a.opml"}, std::nullopt},
        {{"C:\\feeds\\news.rss"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments[0]);
        EXPECT_EQ(ParseSubscriptionCommand(c.arguments), c.command);
    }
}

TEST(SubscriptionCommands, HandedOverText) {
    const TSubscriptionCommand exportCommand{TSubscriptionVerb::Export, "C:\\Users\\me\\out.opml"};
    EXPECT_EQ(DecodeSubscriptionCommand(EncodeSubscriptionCommand(exportCommand)), exportCommand);
    const char* refused[] = {"import", "import\n", "delete\nC:\\x", "Import\nC:\\x", "import\nC:\\x\ny", "\nC:\\x"};
    for (const char* text : refused) EXPECT_EQ(DecodeSubscriptionCommand(text), std::nullopt) << text;
    EXPECT_EQ(DecodeSubscriptionCommand("import\n" + std::string(40000, 'a')), std::nullopt);
}

TEST(SubscriptionCommands, APageGivesWayToItsFeed) {
    struct Case {
        const char* name;
        std::vector<std::string> before;
        bool replaced;
        std::vector<std::string> after;  // "!" marks a switched-off feed
    };
    const std::string page = "https://site.example/", feed = "https://site.example/feed.xml";
    const Case cases[] = {
        {"in place, switch kept", {"http://a.example/rss", "!" + page, "http://b.example/rss"}, true,
         {"http://a.example/rss", "!" + feed, "http://b.example/rss"}},
        {"named in another case", {"HTTPS://SITE.example"}, true, {feed}},
        {"the feed listed already", {feed, page}, true, {feed}},
        {"the page not listed", {"http://a.example/rss"}, false, {"http://a.example/rss"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFeedsList list;
        for (const std::string& a : c.before) list.Add(a[0] == '!' ? a.substr(1) : a, a[0] != '!');
        EXPECT_EQ(ReplaceFeedAddress(list, page, feed), c.replaced);
        std::vector<std::string> after;
        for (size_t i = 0; i < list.Count(); ++i) after.push_back((list.Objects(i).LinkEnabled ? "" : "!") + list.Strings(i));
        EXPECT_EQ(after, c.after);
    }
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> CustomAddresses(const std::filesystem::path& config) {
    const IniProfileStore store(config);
    TFeedsList defaults, customs;
    LoadSettings(store, "http://x/", 5, defaults, customs);
    std::vector<std::string> addresses;
    for (size_t i = 0; i < customs.Count(); ++i) addresses.push_back(customs.Strings(i));
    return addresses;
}

TEST(SubscriptionCommands, WithoutARunningTicker) {
    const std::string config = "[Global]\r\nFirst_Run=0\r\n[Custom Urls]\r\nDisabled=\r\nUrl_0=https://blog.example/feed\r\n";
    const std::string opml =
        "<opml version=\"1.0\"><body><outline text=\"Folder\">"
        "<outline xmlUrl=\"https://Blog.example/feed/\"/><outline xmlUrl=\"http://one.example/rss\"/>"
        "<outline xmlUrl=\"ftp://two.example/rss\"/><outline xmlUrl=\"feed://three.example/atom\"/>"
        "</outline></body></opml>";
    struct Case {
        const char* name;
        TSubscriptionVerb verb;
        std::string file;  // the file named, "" for none
        bool done;
        std::vector<std::string> customs;  // in app.config afterwards
        std::string message;
    };
    const std::vector<std::string> unchanged = {"https://blog.example/feed"};
    const Case cases[] = {
        {"import", TSubscriptionVerb::Import, opml, true,
         {"https://blog.example/feed", "http://one.example/rss", "http://three.example/atom"},
         "Imported 2 feeds; skipped 1 already in the list and 1 that are not feed addresses."},
        {"nothing new", TSubscriptionVerb::Import, "<opml><body/></opml>", true, unchanged,
         "Imported 0 feeds; skipped 0 already in the list and 0 that are not feed addresses."},
        {"not OPML", TSubscriptionVerb::Import, "<rss version=\"2.0\"/>", false, unchanged,
         "The file is not an OPML document; no feeds were imported."},
        {"no file", TSubscriptionVerb::Import, "", false, unchanged,
         "The file cannot be opened; no feeds were imported."},
        {"export", TSubscriptionVerb::Export, "", true, unchanged, "Exported 15 feeds."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        WriteFile(dir / "app.config", config);
        if (!c.file.empty()) WriteFile(dir / "subs.opml", c.file);
        IniProfileStore store(dir / "app.config");
        const TSubscriptionResult result = RunSubscriptionCommand({c.verb, Utf8Path(dir / "subs.opml")}, store);
        EXPECT_EQ(result.Done, c.done);
        EXPECT_EQ(result.Message, c.message);
        EXPECT_EQ(CustomAddresses(dir / "app.config"), c.customs);
        if (c.customs == unchanged) {
            EXPECT_EQ(ReadWholeFile(dir / "app.config"), config);
        }
        if (c.verb != TSubscriptionVerb::Export) continue;
        // Written as the export writes both lists: the 14 built-in feeds, then the custom one.
        const TOpmlReadResult back = ReadOpmlFile(dir / "subs.opml");
        ASSERT_EQ(back.Outlines.Feeds.size(), 15u);
        EXPECT_EQ(back.Outlines.Feeds[0].Address, DefaultFeedUrls[0]);
        EXPECT_EQ(back.Outlines.Feeds[14].Address, "https://blog.example/feed");
    }
}

}  // namespace
}  // namespace tw
