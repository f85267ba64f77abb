#include "net/FeedAddress.h"

#include "base/AsciiText.h"
#include "net/UrlUtils.h"

#include <algorithm>

namespace tw {

namespace {

// Where the ":" after a scheme stands (RFC 3986: a letter, then letters, digits, "+", "-", "."),
// npos when `text` starts without one.
size_t SchemeEnd(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (c == ':') return i > 0 ? i : std::string_view::npos;
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return std::string_view::npos;
    }
    return std::string_view::npos;
}

// The authority of "scheme://authority/..." as [begin, end) of `text`; false without "//".
bool AuthorityOf(std::string_view text, size_t schemeEnd, size_t& begin, size_t& end) {
    if (schemeEnd == std::string_view::npos || text.substr(schemeEnd + 1, 2) != "//") return false;
    begin = schemeEnd + 3;
    end = std::min(text.find_first_of("/?#", begin), text.size());
    return true;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; }

bool IsValidHost(std::string_view host) {
    return !host.empty() && std::none_of(host.begin(), host.end(), [](char c) {
        return IsControl(c) || c == ' ' || c == '<' || c == '>' || c == '"' || c == '\\';
    });
}

// An empty port ("http://h:/") is allowed, as RFC 3986 allows it.
bool IsValidPort(std::string_view port) {
    if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return port.empty() || std::stoul(std::string(port)) <= 65535;
}

}  // namespace

std::string NormalizeFeedAddress(std::string_view address) {
    const std::string_view text = TrimAsciiWhitespace(address);
    if (StartsWithIgnoringAsciiCase(text, "feed://")) return "http://" + std::string(text.substr(7));
    if (StartsWithIgnoringAsciiCase(text, "feeds://")) return "https://" + std::string(text.substr(8));
    if (StartsWithIgnoringAsciiCase(text, "feed:")) {
        const std::string_view inner = text.substr(5);
        if (StartsWithIgnoringAsciiCase(inner, "http://") || StartsWithIgnoringAsciiCase(inner, "https://"))
            return std::string(inner);
    }
    return std::string(text);
}

bool IsFeedSchemeAddress(std::string_view address) {
    const std::string_view text = TrimAsciiWhitespace(address);
    return StartsWithIgnoringAsciiCase(text, "feed:") || StartsWithIgnoringAsciiCase(text, "feeds:");
}

bool IsHttpFeedAddress(std::string_view address) {
    if (address.size() > kMaxFeedAddressLength || std::any_of(address.begin(), address.end(), IsControl))
        return false;
    const size_t schemeEnd = SchemeEnd(address);
    size_t begin = 0, end = 0;
    if (!AuthorityOf(address, schemeEnd, begin, end)) return false;
    const std::string_view scheme = address.substr(0, schemeEnd);
    if (!EqualsIgnoringAsciiCase(scheme, "http") && !EqualsIgnoringAsciiCase(scheme, "https")) return false;
    std::string_view hostPort = address.substr(begin, end - begin);
    if (const size_t at = hostPort.rfind('@'); at != std::string_view::npos) hostPort.remove_prefix(at + 1);
    if (hostPort.starts_with('[')) {  // an IPv6 literal holds colons of its own
        const size_t close = hostPort.find(']');
        if (close == std::string_view::npos) return false;
        const std::string_view after = hostPort.substr(close + 1);
        return close > 1 && (after.empty() || (after[0] == ':' && IsValidPort(after.substr(1))));
    }
    const size_t colon = hostPort.find(':');
    if (colon == std::string_view::npos) return IsValidHost(hostPort);
    return IsValidHost(hostPort.substr(0, colon)) && IsValidPort(hostPort.substr(colon + 1));
}

std::string FeedAddressKey(std::string_view address) {
    std::string key = NormalizeFeedAddress(address);
    const size_t schemeEnd = SchemeEnd(key);
    if (schemeEnd != std::string::npos) {
        std::transform(key.begin(), key.begin() + schemeEnd, key.begin(), AsciiLower);
        size_t begin = 0, end = 0;
        if (AuthorityOf(key, schemeEnd, begin, end)) {
            // The user name before "@" is compared as written; only the host is case-blind.
            const size_t at = std::string_view(key).substr(begin, end - begin).rfind('@');
            if (at != std::string::npos) begin += at + 1;
            std::transform(key.begin() + begin, key.begin() + end, key.begin() + begin, AsciiLower);
        }
    }
    if (!key.empty() && key.back() == '/') key.pop_back();
    return key;
}

bool SameFeedAddress(std::string_view a, std::string_view b) { return FeedAddressKey(a) == FeedAddressKey(b); }

std::string ResolveFeedReference(std::string_view base, std::string_view reference) {
    std::string cleaned;
    for (char c : TrimAsciiWhitespace(reference))
        if (c != '\t' && c != '\n' && c != '\r') cleaned.push_back(c);
    std::string resolved = ResolveURL(base, cleaned);
    if (const size_t hash = resolved.find('#'); hash != std::string::npos) resolved.erase(hash);
    return NormalizeFeedAddress(resolved);
}

}  // namespace tw
