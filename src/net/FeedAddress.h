#pragma once
// Feed addresses as the user or a file gives them: the feed: scheme, the test for an address the
// program can load, the rule by which two addresses name the same feed, and references made
// absolute against the page or file they came from. 8-bit (UTF-8) strings, no state.
#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// Longer addresses are no feed anyone publishes, and would not fit the URL cracker's parts.
inline constexpr std::size_t kMaxFeedAddressLength = 4096;

// The address trimmed of ASCII white space, with the feed: forms browsers hand over turned into
// the address they stand for (any letter case of "feed"/"feeds"):
//   feed:https://h/p -> https://h/p   feed:http://h/p -> http://h/p
//   feed://h/p       -> http://h/p    feeds://h/p     -> https://h/p
// Any other text comes back trimmed, otherwise as it was.
std::string NormalizeFeedAddress(std::string_view address);
// Whether the text (blanks around it dropped) is in the feed: scheme ("feed:" or "feeds:", any
// case), as the shell hands over a browser's subscribe link; it may still stand for no feed.
bool IsFeedSchemeAddress(std::string_view address);

// True for an http or https address (any letter case of the scheme) with a host, a port of at
// most 65535 when one is named, no blank or control character in its host, and at most
// kMaxFeedAddressLength bytes. The feed: forms are not: normalize first.
bool IsHttpFeedAddress(std::string_view address);

// The form in which two addresses are compared: NormalizeFeedAddress, the scheme and the host
// in lower case (ASCII letters), the rest (user name, port, path, query) as written, and one
// trailing "/" dropped. So "HTTP://Example.org/rss/" and "http://example.org/rss" are one feed,
// "http://example.org/RSS" another.
std::string FeedAddressKey(std::string_view address);
bool SameFeedAddress(std::string_view a, std::string_view b);

// `reference` (an href or a base href) made absolute against `base` by the rules of RFC 3986,
// section 5, without its fragment, and normalized as above. Tabs and line breaks inside the
// reference and white space around it are dropped first, as browsers do. A `base` without a
// scheme cannot help: the reference comes back cleaned and without its fragment.
std::string ResolveFeedReference(std::string_view base, std::string_view reference);

}  // namespace tw
