// The merged stream as the ticker shows it: one story per test, driven as the loader and the
// scrolling text drive it, judged by the lines the view was given.
#include "app/StreamTicker.h"

#include "app/FeedRotation.h"
#include "app/StreamTexts.h"
#include "rss/pkRSSFeed.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <chrono>

namespace tw {
namespace {

constexpr TColor kFont = 0xE6F5FF, kGround = 0x40342B, kMark = 0x3CC8FF;
const TStreamTime kNow = ReadItemDate("Wed, 01 May 2024 12:00:00 GMT");

TStreamSettings Together(bool onlyNew = false, std::string exclude = "", std::string highlight = "") {
    TStreamSettings s;
    s.AllFeedsTogether = true;
    s.OnlyNewItems = onlyNew;
    s.ExcludeWords = std::move(exclude);
    s.HighlightWords = std::move(highlight);
    s.AnnounceHighlights = true;
    return s;
}

struct Line {
    std::string text;
    std::vector<TTextColorRun> runs;
};

class View : public IStreamView {
public:
    void ShowStreamLine(const std::string& text, std::vector<TTextColorRun> runs, const std::string&) override {
        lines.push_back({text, std::move(runs)});
    }
    void OpenLink(const std::string& url) override { opened.push_back(url); }
    void AnnounceHeadline(const std::string& title, const std::string& text) override {
        balloons.push_back(title + ": " + text);
    }
    const std::string& Shown() const { return lines.back().text; }
    std::vector<Line> lines;
    std::vector<std::string> opened, balloons;
};

// A feed named `name` of items given as their title and how many minutes (1 to 59) before noon
// they came.
std::unique_ptr<TpkRSSFeed> Feed(const std::string& name, const std::vector<std::pair<std::string, int>>& items) {
    std::string xml = "<rss version=\"2.0\"><channel><title>" + name + "</title>";
    for (const auto& [title, minutes] : items) {
        char date[40];
        std::snprintf(date, sizeof date, "Wed, 01 May 2024 11:%02d:00 GMT", 60 - minutes);
        xml += "<item><title>" + title + "</title><link>http://x.example/" + title + "</link><pubDate>" + date +
               "</pubDate></item>";
    }
    auto feed = std::make_unique<TpkRSSFeed>();
    EXPECT_TRUE(feed->LoadFromString(xml + "</channel></rss>"));
    return feed;
}

// A folder of the test's own for the seen file.
struct Folder {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("stream_ticker_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "_" +
                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() { std::filesystem::remove_all(path); }
};

struct Story {
    View view;
    TStreamTime now = kNow;
    TStreamTicker ticker{view, [this] { return now; }};
    Story(TStreamSettings settings, std::vector<std::string> feeds, const Folder* folder = nullptr) {
        if (folder) ticker.SetSeenFile((folder->path / "seen-items.dat").string());
        ticker.SetColors(kFont, kGround);
        ticker.SetFeeds(feeds);
        ticker.SetOptions(settings, 0);
    }
    void Load(const std::string& url, const std::string& name, const std::vector<std::pair<std::string, int>>& items) {
        ticker.FeedLoaded(url, *Feed(name, items));
    }
    // The titles of one pass over the stream from the line on screen.
    std::vector<std::string> Pass(int lines) {
        std::vector<std::string> out{view.Shown()};
        for (int i = 1; i < lines; ++i) {
            ticker.PassEnded();
            out.push_back(view.Shown());
        }
        return out;
    }
};

const std::string kDot = " \xC2\xB7 ";

TEST(StreamTicker, MergesNewestFirstAndNewItemsJoinWithoutAJump) {
    Story s(Together(), {"http://a/", "http://b/"});
    EXPECT_TRUE(s.view.lines.empty()) << "the loading line stays until a feed arrives";
    s.Load("http://a/", "Alpha", {{"a-old", 50}, {"a-new", 5}});
    ASSERT_EQ(s.view.Shown(), "1/2    Alpha" + kDot + "5 min    a-new");
    const Line& first = s.view.lines.back();
    ASSERT_EQ(first.runs.size(), 2u);
    EXPECT_EQ(first.runs[0].At, 7u);
    EXPECT_EQ(first.runs[0].Color, ColorBlend(kGround, kFont, 4, 6)) << "the source is dimmer";
    EXPECT_EQ(first.runs[1].Color, kFont);

    s.Load("http://b/", "Beta", {{"b-mid", 20}, {"a-new", 5}});  // the same link: shown once
    EXPECT_EQ(s.view.lines.size(), 1u) << "a reload does not change the line on screen";
    s.ticker.FeedFailed("http://a/");
    EXPECT_EQ(s.view.lines.size(), 1u) << "a failure is not the ticker's text";
    EXPECT_EQ(s.Pass(4), (std::vector<std::string>{"1/2    Alpha" + kDot + "5 min    a-new",
                                                   "2/3    Beta" + kDot + "20 min    b-mid",
                                                   "3/3    Alpha" + kDot + "50 min    a-old",
                                                   "1/3    Alpha" + kDot + "5 min    a-new"}));
    s.ticker.Prev();
    EXPECT_EQ(s.view.Shown(), "3/3    Alpha" + kDot + "50 min    a-old") << "before the first, the last";
    ASSERT_TRUE(s.ticker.ShowFeed("http://b/"));
    EXPECT_EQ(s.view.Shown(), "2/3    Beta" + kDot + "20 min    b-mid");
    s.ticker.Click();
    EXPECT_EQ(s.view.opened, std::vector<std::string>{"http://x.example/b-mid"});
}

TEST(StreamTicker, FeedsThatAllFailSayNothingCameAndWordsFilter) {
    Story s(Together(false, "sport", "Tidewire"), {"http://a/", "http://b/"});
    s.ticker.FeedFailed("http://a/");
    EXPECT_TRUE(s.view.lines.empty()) << "one feed is still loading";
    s.ticker.FeedFailed("http://b/");
    EXPECT_EQ(s.view.Shown(), kNoItemsText);
    s.Load("http://a/", "Alpha", {{"Sport: the final", 1}, {"Tidewire ships", 2}, {"Tidewire again", 3}});
    EXPECT_EQ(s.Pass(3), (std::vector<std::string>{"1/2    Alpha" + kDot + "2 min    Tidewire ships",
                                                   "2/2    Alpha" + kDot + "3 min    Tidewire again",
                                                   "1/2    Alpha" + kDot + "2 min    Tidewire ships"}));
    EXPECT_EQ(s.view.lines.back().runs.back().Color, kMark) << "the highlighted title in the highlight colour";
    EXPECT_EQ(s.view.balloons, std::vector<std::string>{"Alpha: Tidewire ships"}) << "announced once, the newest";
    s.Load("http://a/", "Alpha", {{"Sport: the final", 1}});
    s.ticker.PassEnded();
    EXPECT_EQ(s.view.Shown(), kNoMatchingText);
}

TEST(StreamTicker, OnlyNewLeavesSeenItemsOutAcrossRunsAndShowsTheQuietLine) {
    const TStreamSettings onlyNew = Together(true);
    const Folder folder;
    auto story = std::make_unique<Story>(onlyNew, std::vector<std::string>{"http://a/"}, &folder);
    story->Load("http://a/", "Alpha", {{"one", 10}, {"two", 20}});
    EXPECT_EQ(story->view.Shown(), "1/2    Alpha" + kDot + "10 min    one");
    story->ticker.Next();  // stepping past is no seeing
    story->ticker.Prev();
    story->now += 30;
    story->ticker.PassEnded();  // "one" scrolled past
    EXPECT_EQ(story->view.Shown(), "1/1    Alpha" + kDot + "20 min    two");
    story->now += 30;
    story->ticker.PassEnded();
    const std::string quiet = QuietLineText(LocalDateTimeOf(kNow + 60));
    EXPECT_EQ(story->view.Shown(), quiet);
    story->ticker.SaveSeen();
    ASSERT_TRUE(std::filesystem::exists(folder.path / "seen-items.dat"));

    // The next run: the same feed gives the quiet line, a new item ends it at the quiet line's end.
    story.reset();
    story = std::make_unique<Story>(onlyNew, std::vector<std::string>{"http://a/"}, &folder);
    story->Load("http://a/", "Alpha", {{"one", 10}, {"two", 20}});
    EXPECT_EQ(story->view.Shown(), quiet);
    story->Load("http://a/", "Alpha", {{"three", 1}, {"one", 10}, {"two", 20}});
    EXPECT_EQ(story->view.Shown(), quiet) << "the quiet line runs to its end";
    story->ticker.PassEnded();
    EXPECT_EQ(story->view.Shown(), "1/1    Alpha" + kDot + "1 min    three");
    story->ticker.Click();
    story->ticker.PassEnded();
    EXPECT_EQ(story->view.Shown().rfind("No new headlines since ", 0), 0u) << "a clicked item is seen";

    // Off: nothing is remembered, everything shows.
    story->ticker.SetOptions(Together(), 0);
    EXPECT_EQ(story->ticker.Seen(), nullptr);
    story->ticker.PassEnded();
    EXPECT_EQ(story->view.Shown(), "1/3    Alpha" + kDot + "1 min    three");
}

}  // namespace
}  // namespace tw
