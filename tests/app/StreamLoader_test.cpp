// The stream's loads over scripted networks and a clock the test moves: every feed loaded, each
// result handed out, nothing due again without a period, reloads when asked, and a feed kept
// across a change of the list keeping its state.
#include "app/StreamLoader.h"

#include "net/FakeInternet.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <map>

namespace tw {
namespace {

std::string Rss(int items) {
    std::string xml = "<rss version=\"2.0\"><channel><title>t</title>";
    for (int i = 0; i < items; ++i) xml += "<item><title>i" + std::to_string(i) + "</title></item>";
    return xml + "</channel></rss>";
}

test::FakeResponse Status(int status) {
    test::FakeResponse r = test::Ok("no");
    r.status = status;
    return r;
}

struct Loads {
    std::map<std::string, std::vector<test::FakeResponse>> scripts;
    std::map<std::string, test::FakeLog> logs;
    std::vector<std::string> events;
    TpkTimeMs now = 1'700'000'000'000;
    TpkTimeMs dueAt = -1;  // when the loader asked to be pumped; -1: not at any time
    TStreamLoader loader{[this](const std::string& url) {
                             auto* net = new test::FakeInternet(logs[url], scripts.at(url));
                             return std::make_unique<TpkRSSFeed>(nullptr, std::unique_ptr<TInternetApi>(net));
                         },
                         [this] { return now; }};

    Loads() {
        loader.OnLoaded = [this](const std::string& url, const TpkRSSFeed& feed) {
            events.push_back("loaded " + url + " " + std::to_string(feed.FeedItems().Count()));
        };
        loader.OnFailed = [this](const std::string& url) { events.push_back("failed " + url); };
        loader.OnLookAgain = [this](TpkTimeMs delay) { dueAt = delay < 0 ? -1 : now + delay; };
    }
    // Runs the loader's timer and its loads until nothing is due up to `horizon`, which the
    // clock then shows.
    void Settle(TpkTimeMs horizon) {
        for (int step = 0; step < 200; ++step) {
            if (loader.InFlight() > 0)
                test::PumpUntil([this] { return loader.InFlight() == 0 || (dueAt >= 0 && dueAt <= now); }, 5000);
            if (dueAt < 0 && loader.InFlight() > 0) continue;
            if (dueAt < 0 || dueAt > horizon) {
                now = horizon;
                return;
            }
            now = std::max(now, dueAt);
            dueAt = -1;
            loader.Pump();
        }
        ADD_FAILURE() << "the loads never settled";
    }
    int Sends(const std::string& url) { return logs[url].sends; }
};

TEST(TStreamLoader, LoadsEveryFeedHandsOutEachResultAndReloadsWhenAsked) {
    Loads l;
    const std::string a1 = "http://a.example/1", a2 = "http://a.example/2", b = "http://b.example/x";
    l.scripts = {{a1, {test::Ok(Rss(2))}}, {a2, {Status(503)}}, {b, {test::Ok(Rss(1))}},
                 {"http://c.example/", {test::Ok(Rss(3))}}};
    l.loader.SetFeeds({a1, a2, b, a1});
    l.Settle(l.now + 60'000);
    std::sort(l.events.begin(), l.events.end());
    EXPECT_EQ(l.events, (std::vector<std::string>{"failed " + a2, "loaded " + a1 + " 2", "loaded " + b + " 1"}));
    EXPECT_EQ(l.Sends(a1) + l.Sends(a2) + l.Sends(b), 3) << "each feed once, the repeated address once";
    ASSERT_NE(l.loader.StateOf(a2), nullptr);
    EXPECT_EQ(l.loader.StateOf(a2)->LastResult, frHTTPStatus);
    EXPECT_EQ(l.loader.StateOf(a2)->HTTPStatus, 503);
    EXPECT_EQ(l.loader.StateOf(a1)->NextDue, kNoTime) << "without a period nothing comes due by itself";

    l.loader.ReloadAll();
    l.Settle(l.now + 60'000);
    EXPECT_EQ(std::vector<int>({l.Sends(a1), l.Sends(a2), l.Sends(b)}), std::vector<int>({2, 2, 2}));

    // A changed list: the kept feed keeps its state and is not asked again, the new one is.
    l.events.clear();
    l.loader.SetFeeds({b, "http://c.example/"});
    l.Settle(l.now + 60'000);
    EXPECT_EQ(l.events, std::vector<std::string>{"loaded http://c.example/ 3"});
    EXPECT_EQ(l.Sends(b), 2);
    EXPECT_EQ(l.loader.StateOf(a1), nullptr);

    // With a period, a loaded feed comes due again once it has passed, not before.
    l.loader.SetReloadPeriod(10 * kMsPerMinute);
    l.loader.ReloadAll();
    l.Settle(l.now + kMsPerMinute);
    EXPECT_EQ(l.Sends(b), 3);
    l.Settle(l.now + 8 * kMsPerMinute);
    EXPECT_EQ(l.Sends(b), 3);
    l.Settle(l.now + 2 * kMsPerMinute);
    EXPECT_EQ(l.Sends(b), 4);
}

}  // namespace
}  // namespace tw
