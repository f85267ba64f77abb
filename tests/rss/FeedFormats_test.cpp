// Every document of tests/data/rss/formats/NAME.xml loads, with Atom and RSS 1.0 accepted, as
// NAME.expect says, letter for letter; at the component's defaults the same document loads alike
// when it is RSS and is not RSS otherwise. The .expect files are UTF-8, one "key<TAB>value" a
// line: result, format, channel.title, channel.link, channel.description, items; then per item
// "title" opens the item and its other keys (link, opens, guid, author, category, date,
// description, enclosure as url|length|type) are checked when given.
#include "rss/pkRSSFeed.h"

#include "support/ExpectationLines.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tw {
namespace {

namespace fs = std::filesystem;

struct Expectation {
    std::string result, format;
    std::map<std::string, std::string> channel;
    int items = -1;
    std::vector<std::vector<std::pair<std::string, std::string>>> item;  // key, value in file order
};

Expectation ReadExpectation(const std::string& text) {
    Expectation e;
    test::ForEachExpectationLine(text, [&e](const std::string& key, const std::string& raw) {
        const std::string& value = raw;
        if (key == "result") e.result = value;
        else if (key == "format") e.format = value;
        else if (key.rfind("channel.", 0) == 0) e.channel[key] = value;
        else if (key == "items") e.items = std::stoi(value);
        else if (key == "title") e.item.push_back({{key, value}});
        else if (!e.item.empty()) e.item.back().push_back({key, value});
        else ADD_FAILURE() << "unknown key " << key;
    });
    return e;
}

std::string ChannelField(const TpkRSSFeed& feed, const std::string& key) {
    const TpkRSSFeedElements& e = feed.FeedElements();
    if (key == "channel.title") return e.Title;
    if (key == "channel.link") return e.Link;
    if (key == "channel.description") return e.Description;
    ADD_FAILURE() << "unknown key " << key;
    return {};
}

// The values of `key` the item has; several only for enclosures.
std::vector<std::string> ItemField(const TpkRSSFeedItem& item, const std::string& key) {
    if (key == "title") return {item.Title};
    if (key == "link") return {item.Link};
    if (key == "opens") return {ItemOpenAddress(item)};
    if (key == "guid") return {item.Guid().URL};
    if (key == "author") return {item.Author};
    if (key == "category") return {item.Category().Title};
    if (key == "date") return {item.PubDate()};
    if (key == "description") return {item.Description};
    if (key == "enclosure") {
        std::vector<std::string> all;
        for (int i = 0; i < item.Enclosure().Count(); ++i) {
            const TpkRSSFeedItemEnclosure& en = *item.Enclosure().Items(i);
            all.push_back(en.URL + "|" + std::to_string(en.ContentLength) + "|" + en.ContentType);
        }
        return all;
    }
    ADD_FAILURE() << "unknown key " << key;
    return {};
}

std::string Load(TpkRSSFeed& feed, const std::string& path) {
    std::string outcome = "none";
    feed.OnRSSLoaded = [&](TpkComponent&) { outcome = "loaded"; };
    feed.OnRSSNotRSSError = [&](TpkComponent&) { outcome = "notrss"; };
    feed.OnRSSParseError = [&](TpkComponent&) { outcome = "parseerror"; };
    const bool ok = feed.LoadFromFile(path);
    EXPECT_EQ(ok, outcome == "loaded");
    return outcome;
}

std::vector<std::string> Titles(const TpkRSSFeed& feed) {
    std::vector<std::string> titles;
    for (int i = 0; i < feed.FeedItems().Count(); ++i) titles.push_back(feed.FeedItems().Items(i)->Title);
    return titles;
}

TEST(FeedFormats, EveryDocumentLoadsAsExpected) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(test::DataPath("rss/formats")))
        if (entry.path().extension() == ".xml") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    ASSERT_GE(names.size(), 20u);
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const Expectation e = ReadExpectation(test::ReadDataFile("rss/formats/" + name + ".expect"));
        const std::string path = test::DataPath("rss/formats/" + name + ".xml").string();
        TpkRSSFeed feed;
        feed.AcceptedFormats = TpkRSSFeedFormats::All();
        ASSERT_EQ(Load(feed, path), e.result);

        TpkRSSFeed atDefaults;
        const bool rssOnly = e.result != "loaded" || e.format == "rss";
        EXPECT_EQ(Load(atDefaults, path), rssOnly ? e.result : "notrss");
        if (e.result != "loaded") continue;
        if (rssOnly) {
            EXPECT_EQ(Titles(atDefaults), Titles(feed));
        }

        for (const auto& [key, value] : e.channel) EXPECT_EQ(ChannelField(feed, key), value) << key;
        ASSERT_EQ(feed.FeedItems().Count(), e.items);
        ASSERT_EQ(static_cast<int>(e.item.size()), e.items);
        for (int i = 0; i < e.items; ++i) {
            std::map<std::string, std::vector<std::string>> expected;
            for (const auto& [key, value] : e.item[i]) expected[key].push_back(value);
            for (const auto& [key, values] : expected)
                EXPECT_EQ(ItemField(*feed.FeedItems().Items(i), key), values) << "item " << i << " " << key;
        }

        // A reload with outdated items kept refreshes every item in place.
        feed.KeepOutdatedItems = true;
        const std::vector<std::string> before = Titles(feed);
        ASSERT_EQ(Load(feed, path), "loaded");
        EXPECT_EQ(Titles(feed), before);
    }
}

}  // namespace
}  // namespace tw
