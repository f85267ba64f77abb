// What the shell hands the running ticker besides feed files: feed: addresses (a browser's
// subscribe link) and OPML files, each added only after the user said yes.
#include "app/WiredMainWindow.h"

namespace tw::test {
namespace {

using MainWindow = WiredMainWindow;

TEST_F(MainWindow, FeedAddressesAndOpmlFilesFromTheShellAreAddedAfterAYes) {
    const std::string listed = "http://127.0.0.1:1/listed";
    const std::string opml = "<opml version=\"2.0\"><body><outline xmlUrl=\"http://127.0.0.1:1/one\"/>"
                             "<outline xmlUrl=\"HTTP://127.0.0.1:1/listed/\"/><outline xmlUrl=\"feed://127.0.0.1:1/two\"/>"
                             "</body></opml>";
    struct Case {
        const char* name;
        std::string opened;     // a feed: address, or a file name in the scratch folder
        std::string contents;   // the file's, "" for an address
        bool yes;
        std::vector<std::string> questions, messages;
        std::vector<std::string> customs;  // afterwards, in memory and in app.config
        std::string url;                   // the current address afterwards
    };
    const Case cases[] = {
        {"a new feed, yes", " feed://127.0.0.1:1/new", "", true,
         {"Add this feed to the custom list?\nhttp://127.0.0.1:1/new"}, {}, {listed, "http://127.0.0.1:1/new"},
         "http://127.0.0.1:1/new"},
        {"a new feed, no", "feeds://127.0.0.1:1/new", "", false,
         {"Add this feed to the custom list?\nhttps://127.0.0.1:1/new"}, {}, {listed}, listed},
        {"a listed feed is shown without asking", "feed:HTTP://127.0.0.1:1/listed/", "", true, {}, {}, {listed},
         "HTTP://127.0.0.1:1/listed/"},
        {"no feed behind the scheme", "feed:ftp://127.0.0.1/x", "", true, {},
         {"This is no feed address the ticker can load:\nfeed:ftp://127.0.0.1/x"}, {listed}, listed},
        {"an OPML file, yes", "subs.opml", opml, true, {"Import 2 feeds from subs.opml into the custom list?"}, {},
         {listed, "http://127.0.0.1:1/one", "http://127.0.0.1:1/two"}, listed},
        {"an OPML file, no", "subs.xml", opml, false, {"Import 2 feeds from subs.xml into the custom list?"}, {},
         {listed}, listed},
        {"an OPML file with nothing new", "old.opml", "<opml><body><outline xmlUrl=\"" + listed + "\"/></body></opml>",
         true, {}, {"Imported 0 feeds; skipped 1 already in the list and 0 that are not feed addresses."}, {listed},
         listed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteConfig("[Global]\r\nUrl=" + listed + "\r\nReload_Time=0\r\n[Custom Urls]\r\nDisabled=\r\nUrl_0=" + listed +
                    "\r\n");
        view.questions.clear();
        view.messages.clear();
        view.answerYes = c.yes;
        auto form = Make();
        form->FormCreate(Dir());
        std::string opened = c.opened;
        if (!c.contents.empty()) {
            std::ofstream(dir / c.opened, std::ios::binary) << c.contents;
            opened = Dir() + c.opened;
        }
        form->OpenFeedFile(opened);
        EXPECT_EQ(view.questions, c.questions);
        EXPECT_EQ(view.messages, c.messages);
        std::vector<std::string> customs;
        for (const TConfigLink& link : form->Settings().CustomFeeds) customs.push_back(link.Address);
        EXPECT_EQ(customs, c.customs);
        std::vector<std::string> saved;
        for (const std::string& line : Config().ReadSection("Custom Urls"))
            if (line.rfind("Url_", 0) == 0) saved.push_back(line.substr(line.find('=') + 1));
        EXPECT_EQ(saved, c.customs);
        EXPECT_EQ(form->FeedUrl(), c.url);
    }
}

}  // namespace
}  // namespace tw::test
