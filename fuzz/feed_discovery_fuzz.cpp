// Scans arbitrary bytes as a web page for the feeds its head links; when the input starts with
// "http", its first line is the page's address. Every feed found must be an http or https
// address without fragment, found once, of one of the three feed types, with a title on one
// line and trimmed. Telling a page from a feed must not fail on the same bytes. Any crash, leak,
// hang or escaping exception is a fault too.
#include "net/FeedAddress.h"
#include "rss/FeedDiscovery.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view page(reinterpret_cast<const char*>(data), size);
    std::string_view address = "https://example.org/dir/page.html";
    if (page.starts_with("http")) {
        const size_t line = page.find('\n');
        address = page.substr(0, line);
        page = line == std::string_view::npos ? std::string_view() : page.substr(line + 1);
    }
    std::set<std::string> keys;
    for (const tw::TDiscoveredFeed& feed : tw::DiscoverFeeds(page, address)) {
        if (!tw::IsHttpFeedAddress(feed.Address) || feed.Address.find('#') != std::string::npos ||
            !keys.insert(tw::FeedAddressKey(feed.Address)).second)
            std::abort();
        if (feed.Type != "application/rss+xml" && feed.Type != "application/atom+xml" && feed.Type != "application/rdf+xml")
            std::abort();
        if (feed.Title.find_first_of("\r\n\t") != std::string::npos || feed.Title.starts_with(' ') ||
            feed.Title.ends_with(' '))
            std::abort();
    }
    tw::IsHtmlPage(page, page);
    return 0;
}
