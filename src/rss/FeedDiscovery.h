#pragma once
// Finding the feeds a web page names: a site's address answers with an HTML page whose head
// links its feeds (<link rel="alternate" type="application/rss+xml" href="...">).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Only this much of a page is scanned: heads, inline scripts and styles included, end far
// sooner, and a page that never ends its head costs no more than this.
inline constexpr std::size_t kDiscoveryMaxBytes = std::size_t{2} << 20;

struct TDiscoveredFeed {
    std::string Address;  // absolute, http or https, without fragment
    std::string Title;    // the link's `title` (entities decoded, blanks collapsed); may be empty
    std::string Type;     // "application/rss+xml", "application/atom+xml" or "application/rdf+xml"
};

// The feeds a page's head links, in page order, each address once (by SameFeedAddress).
// The scanner is tolerant, as a page is not XML: tags and attribute names in any case,
// attribute values in single, double or no quotes, character references decoded; comments,
// scripts, styles and other raw-text elements skipped. A `link` counts when its `rel` holds
// "alternate" among its blank-separated words (any case) and its `type` is one of the three
// above (any case, parameters ignored); its `href` is resolved against the page's first
// `<base href>`, itself resolved against `pageAddress`. `<body>`, `</head>` or the bound
// kDiscoveryMaxBytes ends the scan; a tag cut off by the bound is not read. Titles that are
// not UTF-8 are read as Windows-1252.
std::vector<TDiscoveredFeed> DiscoverFeeds(std::string_view page, std::string_view pageAddress);

// True when an answer is a web page rather than a feed: its first markup (after a byte-order
// mark, blanks, the XML declaration, instructions and comments) is an HTML doctype or an
// `html`, `head` or `body` tag; when that markup is a feed's or an OPML root (`rss`, `feed`,
// `rdf:RDF`, `opml`), it is no page, whatever the server said; otherwise the Content-Type
// decides (text/html or application/xhtml+xml).
bool IsHtmlPage(std::string_view contentType, std::string_view body);

}  // namespace tw
