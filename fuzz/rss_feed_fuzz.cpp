// Feeds arbitrary bytes to TpkRSSFeed::LoadFromString, alone, merged into a loaded feed with
// outdated items kept and strings trimmed, merged into a loaded Atom feed with every dialect
// accepted, reloaded into a loaded feed, whose items must then be a first load's, and into a feed
// with a download queue, which reads the items from the finished document instead of while the
// document is read, and must read the same. Any crash, leak, hang, escaping exception or
// differing reload is a fault.
#include "rss/FeedText.h"
#include "rss/pkHTTPDownloadQueue.h"
#include "rss/pkRSSFeed.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

namespace {

// Every field of every item, for comparing a reload with a first load.
std::string Items(const tw::TpkRSSFeed& feed) {
    std::string out;
    for (int i = 0; i < feed.FeedItems().Count(); ++i) {
        const tw::TpkRSSFeedItem& item = *feed.FeedItems().Items(i);
        out += item.Title + '|' + item.Link + '|' + item.Description + '|' + item.Author + '|' + item.Comments + '|' +
               item.PubDate() + '|' + item.Category().Title + '|' + item.Category().Domain + '|' + item.Guid().URL +
               char('0' + item.Guid().IsPermaLink) + char('0' + item.Guid().PermaLinkStated) + item.Source().Title +
               '|' + item.Source().URL + '\n';
        for (int k = 0; k < item.Enclosure().Count(); ++k) {
            const tw::TpkRSSFeedItemEnclosure& e = *item.Enclosure().Items(k);
            out += e.URL + '|' + std::to_string(e.ContentLength) + '|' + e.ContentType + '\n';
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int events = 0;
    {
        tw::TpkRSSFeed feed;
        feed.OnRSSLoaded = [&](tw::TpkComponent&) { ++events; };
        feed.OnRSSLoadError = [&](tw::TpkComponent&) { ++events; };
        feed.LoadFromString(text);
    }
    {
        tw::TpkRSSFeed feed;
        feed.KeepOutdatedItems = true;
        feed.TrimStrings = true;
        feed.LoadFromString(
            "<rss><channel><item><title>kept</title><enclosure url=\"u\" length=\"1\"/></item>"
            "<item><title>also</title></item></channel></rss>");
        feed.LoadFromString(text);
        (void)feed.EnclosureSize();
    }
    {
        // Every dialect the ticker reads (Atom, RSS 1.0), merged into a loaded Atom feed.
        tw::TpkRSSFeed feed;
        feed.AcceptedFormats = tw::TpkRSSFeedFormats::All();
        feed.KeepOutdatedItems = true;
        feed.LoadFromString(
            "<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"http://b.example/d/\"><entry><title>kept</title>"
            "<link rel=\"enclosure\" href=\"../u\" length=\"1\"/></entry></feed>");
        feed.LoadFromString(text);
        for (int i = 0; i < feed.FeedItems().Count(); ++i) (void)tw::ItemOpenAddress(*feed.FeedItems().Items(i));
    }
    {
        // The charset a server might send: a first byte below 12 picks a name that reaches a
        // multi-byte decoder, else the text up to the first line break is the name; the rest is
        // the body. Both decodings must agree and give valid UTF-8.
        static constexpr std::string_view kNames[] = {"shift_jis", "euc-jp", "iso-2022-jp", "euc-kr", "gb18030", "big5",
                                                      "gbk", "koi8-r", "iso-8859-16", "windows-1258", "utf-16", "utf-16be"};
        std::string_view name, body = text.empty() ? text : text.substr(1);
        if (!text.empty() && static_cast<unsigned char>(text[0]) < std::size(kNames)) {
            name = kNames[static_cast<unsigned char>(text[0])];
        } else {
            const size_t eol = body.find('\n');
            name = body.substr(0, eol);
            body = eol == std::string_view::npos ? std::string_view() : body.substr(eol + 1);
        }
        const std::string utf8 = tw::DecodeFeedTextToUtf8(body, name);
        if (!tw::IsValidUtf8(utf8) || utf8 != tw::Utf16ToUtf8(tw::DecodeFeedText(body, name))) __builtin_trap();
    }
    {
        // A reload fills the items of the load before last (kept as spares): what it leaves must
        // be what a first load gives, and what a load from the finished document gives.
        tw::TpkHTTPDownloadQueue queue;
        tw::TpkRSSFeed fresh, reloaded, whole;
        whole.SetDownloadQueue(&queue);
        const bool loaded = fresh.LoadFromString(text);
        if (whole.LoadFromString(text) != loaded || (loaded && Items(whole) != Items(fresh))) __builtin_trap();
        const std::string_view longItems(
            "<rss><channel><item><title>a long enough title</title><link>http://l.example/long/enough</link>"
            "<description>a description long enough</description><author>an author long enough</author>"
            "<category domain=\"http://d.example/long\">category long enough</category><comments>c</comments>"
            "<pubDate>Mon, 07 Dec 2026 18:04:11 GMT</pubDate><guid isPermaLink=\"true\">http://g.example/long</guid>"
            "<source url=\"http://s.example/long/enough\">a source long enough</source>"
            "<enclosure url=\"http://e.example/long/enough\" length=\"1\" type=\"audio/mpeg\"/><enclosure url=\"u\"/>"
            "</item><item><title>second</title></item><item/></channel></rss>");
        reloaded.LoadFromString(longItems);
        reloaded.LoadFromString(longItems);
        if (reloaded.LoadFromString(text) != loaded || (loaded && Items(reloaded) != Items(fresh))) __builtin_trap();
    }
    // Each load ends in exactly one of the two closing events.
    if (events != 1) __builtin_trap();
    return 0;
}
