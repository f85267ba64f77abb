// Every document of the corpus (tests/data/rss/corpus/NAME.xml) loads with the outcome, code
// page, channel title and link, and item titles and links written in NAME.expect, letter for
// letter. The .expect files are UTF-8, one "key<TAB>value" a line, with \\ \t \n \r escaped.
#include "rss/pkRSSFeed.h"

#include "support/ExpectationLines.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tw {
namespace {

namespace fs = std::filesystem;

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out.push_back(s[i]);
            continue;
        }
        const char c = s[++i];
        out.push_back(c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c);
    }
    return out;
}

struct Expectation {
    std::string result;
    bool hasCodePage = false;
    std::string codePage, channelTitle, channelLink;
    int items = -1;
    std::vector<std::pair<std::string, std::string>> itemTitleLink;
};

Expectation ReadExpectation(const std::string& text) {
    Expectation e;
    test::ForEachExpectationLine(text, [&e](const std::string& key, const std::string& raw) {
        const std::string value = Unescape(raw);
        if (key == "result") e.result = value;
        else if (key == "codepage") e.hasCodePage = true, e.codePage = value;
        else if (key == "channel.title") e.channelTitle = value;
        else if (key == "channel.link") e.channelLink = value;
        else if (key == "items") e.items = std::stoi(value);
        else if (key == "title") e.itemTitleLink.push_back({value, ""});
        else if (key == "link") e.itemTitleLink.back().second = value;
        else ADD_FAILURE() << "unknown key " << key;
    });
    return e;
}

std::vector<std::string> CorpusNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(test::DataPath("rss/corpus")))
        if (entry.path().extension() == ".xml") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FeedCorpus, HasAtLeastThirtyRssDocuments) {
    int rss = 0;
    for (const auto& name : CorpusNames())
        if (ReadExpectation(test::ReadDataFile("rss/corpus/" + name + ".expect")).result == "loaded") ++rss;
    EXPECT_GE(rss, 30);
}

TEST(FeedCorpus, EveryDocumentLoadsAsExpected) {
    const auto names = CorpusNames();
    ASSERT_FALSE(names.empty());
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const Expectation e = ReadExpectation(test::ReadDataFile("rss/corpus/" + name + ".expect"));
        TpkRSSFeed feed;
        std::string outcome = "none";
        feed.OnRSSLoaded = [&](TpkComponent&) { outcome = "loaded"; };
        feed.OnRSSNotRSSError = [&](TpkComponent&) { outcome = "notrss"; };
        feed.OnRSSParseError = [&](TpkComponent&) { outcome = "parseerror"; };
        const bool ok = feed.LoadFromFile(test::DataPath("rss/corpus/" + name + ".xml").string());
        EXPECT_EQ(outcome, e.result);
        EXPECT_EQ(ok, e.result == "loaded");
        if (e.result != "loaded") continue;
        if (e.hasCodePage) {
            EXPECT_EQ(feed.FeedCodePage, e.codePage);
        }
        EXPECT_EQ(feed.FeedElements().Title, e.channelTitle);
        EXPECT_EQ(feed.FeedElements().Link, e.channelLink);
        ASSERT_EQ(feed.FeedItems().Count(), e.items);
        for (int i = 0; i < e.items; ++i) {
            EXPECT_EQ(feed.FeedItems().Items(i)->Title, e.itemTitleLink[i].first) << "item " << i;
            EXPECT_EQ(feed.FeedItems().Items(i)->Link, e.itemTitleLink[i].second) << "item " << i;
        }
    }
}

}  // namespace
}  // namespace tw
