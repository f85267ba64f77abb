// The charset a server sends reaches the feed's decoding: feeds fetched through WinInet from a
// loopback server with Content-Type charsets that count and ones that do not.
#include "rss/pkRSSFeed.h"

#include "support/LoopbackHttpServer.h"
#include "support/MessagePump.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

// The first item's title as the feed reads the text with no server around.
std::string TitleOfText(const std::string& bytes) {
    TpkRSSFeed feed;
    return feed.LoadFromString(bytes) && feed.FeedItems().Count() > 0 ? feed.FeedItems().Items(0)->Title : "(failed)";
}

TEST(FeedCharsetsWin32, TheServersCharsetDecodesTheFeed) {
    const std::string undeclaredKorean = test::ReadDataFile("rss/charsets/euc-kr-undeclared.xml");
    const std::string declaredCyrillic = test::ReadDataFile("rss/charsets/windows-1251.xml");
    const struct {
        const char* what;
        const std::string& body;
        const char* contentType;
        std::string title;
    } cases[] = {
        {"text/xml charset decides", undeclaredKorean, "text/xml; charset=EUC-KR", "서울 소식"},
        {"the server outranks the declaration", declaredCyrillic, "application/rss+xml; charset=\"koi8-r\"",
         "дНАПН ОНФЮКНБЮРЭ"},
        {"a charset on a type that is no text is ignored", undeclaredKorean, "application/octet-stream; charset=euc-kr",
         TitleOfText(undeclaredKorean)},
        {"a charset nobody knows is ignored", declaredCyrillic, "text/xml; charset=x-klingon", "Добро пожаловать"},
    };
    test::LoopbackHttpServer server;
    ASSERT_NE(server.Port(), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server.Set("/feed.xml", test::HttpRoute::Ok(c.body, c.contentType));
        TpkRSSFeed feed;
        bool ended = false;
        feed.OnRSSLoaded = [&](TpkComponent&) { ended = true; };
        feed.OnRSSLoadError = [&](TpkComponent&) { ended = true; };
        feed.HTTP().URL = server.Url("/feed.xml");
        ASSERT_TRUE(feed.LoadFromURL());
        ASSERT_TRUE(test::PumpUntil([&] { return ended && !feed.HTTP().Busy(); }));
        ASSERT_EQ(feed.FeedItems().Count(), 1);
        EXPECT_EQ(feed.FeedItems().Items(0)->Title, c.title);
        // The server's word is for that answer only: a text loaded next is read on its own.
        ASSERT_TRUE(feed.LoadFromString(undeclaredKorean));
        EXPECT_EQ(feed.FeedItems().Items(0)->Title, TitleOfText(undeclaredKorean));
    }
    EXPECT_NE(TitleOfText(undeclaredKorean), "서울 소식") << "without the server's charset the Korean cannot be known";
}

}  // namespace
}  // namespace tw
