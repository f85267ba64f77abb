// The kept copy on disk: what comes back, what is passed over, the bound on the folder, and a
// feed that starts from its kept copy and asks conditionally.
#include "rss/FeedCache.h"

#include "base/AtomicFile.h"
#include "rss/pkRSSFeed.h"
#include "support/MessagePump.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace tw {
namespace {

namespace fs = std::filesystem;

using test::FileUrl;
std::string Utf8(const fs::path& p) { return test::Utf8Path(p); }

std::string Rss(const std::string& title) {
    return "<rss version=\"2.0\"><channel><title>Harbour</title><item><title>" + title + "</title></item></channel></rss>";
}

TFeedKeptCopy Copy(const std::string& url, std::string body, TpkTimeMs fetched = 1000) {
    return {url, std::move(body), "\"v1\"", "Tue, 08 Dec 2026 10:00:00 GMT", "utf-8", fetched, fetched + 60000};
}

void Overwrite(const std::string& file, const std::string& bytes) {
    std::ofstream(PathFromUtf8(file), std::ios::binary | std::ios::trunc) << bytes;
}

TEST(TFeedCache, DamagedFilesArePassedOverAndReplaced) {
    const std::string good = EncodeKeptCopy(Copy("http://a.example/rss", Rss("first")));
    auto flipped = [&](std::size_t at) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
        return bytes;
    };
    std::string longer = good;
    longer[28] = static_cast<char>(longer[28] + 1);  // the address's length, one more than there is
    std::string version = good;
    version[4] = 2;
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"cut inside the header", good.substr(0, 20)},
        {"header only", good.substr(0, 48)},
        {"last byte missing", good.substr(0, good.size() - 1)},
        {"a byte too many", good + "x"},
        {"a byte of the body changed", flipped(good.size() - 5)},
        {"a time changed", flipped(13)},
        {"the checksum changed", flipped(9)},
        {"a length that does not fit", longer},
        {"another magic word", flipped(0)},
        {"another version", version},
    };
    for (const auto& c : cases) EXPECT_FALSE(DecodeKeptCopy(c.bytes)) << c.name;
    ASSERT_TRUE(DecodeKeptCopy(good));

    test::TempDir dir;
    TFeedCache cache(Utf8(dir.Path()));
    const std::string url = "http://a.example/rss";
    ASSERT_TRUE(cache.Keep(Copy(url, Rss("first"))));
    Overwrite(cache.FileFor(url), good.substr(0, good.size() / 2));
    EXPECT_FALSE(cache.Find(url));
    const TFeedKeptCopy second = Copy(url, Rss("second"), 5000);
    ASSERT_TRUE(cache.Keep(second));
    EXPECT_EQ(cache.Find(url), second);
    EXPECT_FALSE(cache.Find("http://b.example/rss"));
}

TEST(TFeedCache, TheFolderStaysWithinItsBoundAndListedFeeds) {
    test::TempDir dir;
    const std::string body(1000, 'b');
    const std::uint64_t one = EncodeKeptCopy(Copy("http://a.example/1", body)).size();
    TFeedCache cache(Utf8(dir.Path()), 3 * one);
    ASSERT_TRUE(cache.Keep(Copy("http://a.example/1", body, 3000)));
    ASSERT_TRUE(cache.Keep(Copy("http://a.example/2", body, 1000)));
    ASSERT_TRUE(cache.Keep(Copy("http://a.example/3", body, 2000)));
    ASSERT_TRUE(cache.Keep(Copy("http://a.example/4", body, 500)));  // the oldest fetched, yet just written
    EXPECT_TRUE(cache.Find("http://a.example/1"));
    EXPECT_FALSE(cache.Find("http://a.example/2")) << "the oldest copy makes room";
    EXPECT_TRUE(cache.Find("http://a.example/3"));
    EXPECT_TRUE(cache.Find("http://a.example/4"));
    EXPECT_FALSE(cache.Keep(Copy("http://a.example/big", std::string(4 * one, 'x'))));
    EXPECT_TRUE(cache.Find("http://a.example/3")) << "a copy that cannot fit removes nothing";

    Overwrite(PendingFileFor(cache.FileFor("http://a.example/3")), "half written");
    cache.Prune({"http://a.example/1", "http://a.example/3", "http://a.example/never-kept"});
    EXPECT_TRUE(cache.Find("http://a.example/1"));
    EXPECT_TRUE(cache.Find("http://a.example/3"));
    EXPECT_FALSE(cache.Find("http://a.example/4"));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.Path())) left.push_back(Utf8(entry.path()));
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected{cache.FileFor("http://a.example/1"), cache.FileFor("http://a.example/3")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
}

TEST(TpkRSSFeedKeptCopy, AGoodAnswerIsKeptAndAFeedStartsFromIt) {
    test::TempDir dir;
    std::ofstream(dir / "f.xml", std::ios::binary) << Rss("kept item");
    TFeedCache cache(Utf8(dir / "cache"));
    const std::string url = FileUrl(dir / "f.xml");
    {
        TpkRSSFeed first;
        first.SetFeedCache(&cache);
        first.HTTP().URL = url;
        ASSERT_TRUE(first.LoadFromURL(true));
        ASSERT_TRUE(test::PumpUntil([&] { return !first.HTTP().Busy(); }));
    }
    ASSERT_TRUE(cache.Find(url));
    EXPECT_EQ(cache.Find(url)->Body, Rss("kept item"));

    // As after a restart without the network; the server's validators are put in the copy.
    TFeedKeptCopy copy = *cache.Find(url);
    copy.URL = "http://offline.invalid/rss";
    copy.ETag = "\"v7\"";
    copy.LastModified = "Tue, 08 Dec 2026 10:00:00 GMT";
    ASSERT_TRUE(cache.Keep(copy));
    TpkRSSFeed feed;
    feed.ConditionalGet = true;
    std::vector<std::string> events;
    feed.OnRSSLoaded = [&](TpkComponent&) { events.push_back("Loaded"); };
    feed.OnRSSLoadError = [&](TpkComponent&) { events.push_back("LoadError"); };
    feed.HTTP().URL = copy.URL;
    EXPECT_FALSE(feed.LoadKeptCopy()) << "no cache given";
    feed.SetFeedCache(&cache);
    ASSERT_TRUE(feed.LoadKeptCopy());
    EXPECT_EQ(events, (std::vector<std::string>{"Loaded"}));
    ASSERT_EQ(feed.FeedItems().Count(), 1);
    EXPECT_EQ(feed.FeedItems().Items(0)->Title, "kept item");
    EXPECT_NE(feed.LastUpdate, 0.0);

    ASSERT_TRUE(feed.LoadFromURL(true));  // natively no network: it fails, but what it sent shows
    const std::vector<std::string>& sent = feed.HTTP().RequestHeaders;
    EXPECT_NE(std::find(sent.begin(), sent.end(), "If-None-Match: \"v7\""), sent.end());
    EXPECT_NE(std::find(sent.begin(), sent.end(), "If-Modified-Since: Tue, 08 Dec 2026 10:00:00 GMT"), sent.end());
    ASSERT_TRUE(test::PumpUntil([&] { return !feed.HTTP().Busy(); }));

    Overwrite(cache.FileFor(copy.URL), "TWKC damaged");
    events.clear();
    EXPECT_FALSE(feed.LoadKeptCopy());
    EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace tw
