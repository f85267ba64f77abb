#include "rss/FeedDiscovery.h"

#include "base/AsciiText.h"
#include "base/TextConvert.h"
#include "net/FeedAddress.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

namespace tw {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "&amp;", "&#38;" and "&#x26;" as HTML reads them in attribute values; a numeric reference
// may lack its ";". Names HTML knows beyond these stay as written.
std::u16string DecodeReferences(std::u16string_view text) {
    static constexpr std::pair<std::u16string_view, char16_t> kNamed[] = {
        {u"amp;", u'&'}, {u"lt;", u'<'}, {u"gt;", u'>'}, {u"quot;", u'"'}, {u"apos;", u'\''}, {u"nbsp;", 0xA0},
    };
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'&') {
            out.push_back(text[i++]);
            continue;
        }
        const std::u16string_view rest = text.substr(i + 1);
        if (rest.starts_with(u'#')) {
            const bool hex = rest.size() > 1 && (rest[1] == u'x' || rest[1] == u'X');
            size_t j = hex ? 2 : 1;
            char32_t value = 0;
            const size_t first = j;
            for (int digit; j < rest.size() && j < first + 8 && (digit = HexDigitValue(rest[j])) >= 0 && (hex || digit < 10); ++j)
                value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
            if (j > first) {
                AppendUtf16(out, value == 0 ? U'\uFFFD' : value);
                i += 1 + j + (j < rest.size() && rest[j] == u';' ? 1 : 0);
                continue;
            }
        }
        const auto named = std::find_if(std::begin(kNamed), std::end(kNamed), [&](const auto& n) { return rest.starts_with(n.first); });
        if (named != std::end(kNamed)) {
            out.push_back(named->second);
            i += 1 + named->first.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// An attribute value as UTF-8 text: bytes that are not UTF-8 read as Windows-1252.
std::string AttributeText(std::string_view raw) {
    return Utf16ToUtf8(DecodeReferences(Utf8ToUtf16(raw, TInvalidUtf8::iuByteAsWindows1252)));
}

std::string CollapsedBlanks(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (!IsBlank(c)) out.push_back(c);
        else if (!out.empty() && out.back() != ' ') out.push_back(' ');
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

bool HoldsWord(std::string_view list, std::string_view word) {
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && IsBlank(list[i])) ++i;
        size_t end = i;
        while (end < list.size() && !IsBlank(list[end])) ++end;
        if (end > i && EqualsIgnoringAsciiCase(list.substr(i, end - i), word)) return true;
        i = end;
    }
    return false;
}

// The feed media type a `type` value names, lower case, or "" when it names none.
std::string FeedTypeOf(std::string_view type) {
    const std::string lowered = AsciiLowered(TrimAsciiWhitespace(type.substr(0, type.find(';'))));
    for (const char* known : {"application/rss+xml", "application/atom+xml", "application/rdf+xml"})
        if (lowered == known) return lowered;
    return {};
}

using TAttributes = std::vector<std::pair<std::string, std::string_view>>;  // lower-case name, raw value

std::optional<std::string_view> Find(const TAttributes& attributes, std::string_view name) {
    for (const auto& [n, v] : attributes)
        if (n == name) return v;
    return std::nullopt;
}

// Walks the markup of a page's head, as an HTML tokenizer would, without building anything.
class THeadScanner {
public:
    explicit THeadScanner(std::string_view page) : s_(page.substr(0, kDiscoveryMaxBytes)) {}

    // Calls onTag(name, attributes) for each start tag of the head; ends at <body>, </head>,
    // or the end of what is scanned.
    template <class OnTag> void Scan(OnTag&& onTag) {
        while ((i_ = s_.find('<', i_)) != std::string_view::npos) {
            const std::string_view at = s_.substr(i_);
            if (at.starts_with("<!--")) {
                SkipPast("-->", 4);
            } else if (at.starts_with("<!") || at.starts_with("<?")) {
                SkipPast(">", 2);
            } else if (at.starts_with("</")) {
                i_ += 2;
                if (ReadName() == "head") return;
                SkipPast(">", 0);
            } else if (at.size() > 1 && IsAsciiLetter(at[1])) {
                ++i_;
                const std::string name = ReadName();
                if (name == "body") return;
                TAttributes attributes;
                if (!ReadAttributes(attributes)) return;  // cut off by the bound
                onTag(name, attributes);
                if (name == "script" || name == "style" || name == "title" || name == "textarea" || name == "noframes" ||
                    name == "xmp" || name == "iframe" || name == "noembed")
                    SkipRawText(name);
            } else {
                ++i_;
            }
        }
    }

private:
    void SkipPast(std::string_view end, size_t from) {
        const size_t found = s_.find(end, i_ + from);
        i_ = found == std::string_view::npos ? s_.size() : found + end.size();
    }

    // Their text may hold "<" and whole tags that are no markup, up to their own end tag.
    void SkipRawText(std::string_view name) {
        const size_t end = FindIgnoringAsciiCase(s_.substr(i_), "</" + std::string(name));
        i_ = end == std::string_view::npos ? s_.size() : i_ + end;
    }

    std::string ReadName() {
        const size_t start = i_;
        while (i_ < s_.size() && !IsBlank(s_[i_]) && s_[i_] != '/' && s_[i_] != '>') ++i_;
        return AsciiLowered(s_.substr(start, i_ - start));
    }

    // Up to and past the tag's ">"; false when the scanned text ends first.
    bool ReadAttributes(TAttributes& attributes) {
        for (;;) {
            while (i_ < s_.size() && (IsBlank(s_[i_]) || s_[i_] == '/')) ++i_;
            if (i_ >= s_.size()) return false;
            if (s_[i_] == '>') {
                ++i_;
                return true;
            }
            const size_t start = i_++;  // a first "=" belongs to the name, as in HTML
            while (i_ < s_.size() && !IsBlank(s_[i_]) && s_[i_] != '/' && s_[i_] != '>' && s_[i_] != '=') ++i_;
            std::string name = AsciiLowered(s_.substr(start, i_ - start));
            while (i_ < s_.size() && IsBlank(s_[i_])) ++i_;
            std::string_view value;
            if (i_ < s_.size() && s_[i_] == '=') {
                ++i_;
                while (i_ < s_.size() && IsBlank(s_[i_])) ++i_;
                if (i_ >= s_.size()) return false;
                if (s_[i_] == '"' || s_[i_] == '\'') {
                    const size_t close = s_.find(s_[i_], i_ + 1);
                    if (close == std::string_view::npos) return false;
                    value = s_.substr(i_ + 1, close - i_ - 1);
                    i_ = close + 1;
                } else {
                    const size_t valueStart = i_;
                    while (i_ < s_.size() && !IsBlank(s_[i_]) && s_[i_] != '>') ++i_;
                    value = s_.substr(valueStart, i_ - valueStart);
                }
            }
            // Only what a link or base needs is kept, so a tag of a million attributes costs no
            // search per attribute; of two same-named ones the first wins.
            const bool wanted = name == "href" || name == "rel" || name == "type" || name == "title";
            if (wanted && !Find(attributes, name)) attributes.emplace_back(std::move(name), value);
        }
    }

    std::string_view s_;
    size_t i_ = 0;
};

}  // namespace

std::vector<TDiscoveredFeed> DiscoverFeeds(std::string_view page, std::string_view pageAddress) {
    std::optional<std::string> baseHref;
    std::vector<std::pair<std::string, TDiscoveredFeed>> links;  // href as written, the feed without address
    THeadScanner(page).Scan([&](const std::string& name, const TAttributes& attributes) {
        const std::optional<std::string_view> href = Find(attributes, "href");
        if (!href) return;
        if (name == "base") {
            if (!baseHref) baseHref = AttributeText(*href);
            return;
        }
        if (name != "link" || !HoldsWord(Find(attributes, "rel").value_or(""), "alternate")) return;
        std::string type = FeedTypeOf(Find(attributes, "type").value_or(""));
        if (type.empty() || TrimAsciiWhitespace(*href).empty()) return;
        links.push_back({AttributeText(*href),
                         {{}, CollapsedBlanks(AttributeText(Find(attributes, "title").value_or(""))), std::move(type)}});
    });
    // The document's base is its first <base href>, wherever it stands.
    const std::string base = baseHref ? ResolveFeedReference(pageAddress, *baseHref) : std::string(pageAddress);
    std::vector<TDiscoveredFeed> feeds;
    std::set<std::string> seen;
    for (auto& [href, feed] : links) {
        feed.Address = ResolveFeedReference(base, href);
        if (IsHttpFeedAddress(feed.Address) && seen.insert(FeedAddressKey(feed.Address)).second)
            feeds.push_back(std::move(feed));
    }
    return feeds;
}

namespace {

enum class TMarkup { Page, Feed, Unknown };

// What the first markup of a body says it is.
TMarkup FirstMarkupOf(std::string_view body) {
    std::string_view s = body.substr(0, 4096);
    if (s.starts_with("\xEF\xBB\xBF")) s.remove_prefix(3);
    for (;;) {
        while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
        if (!s.starts_with('<')) return TMarkup::Unknown;
        if (StartsWithIgnoringAsciiCase(s, "<!doctype html")) return TMarkup::Page;
        const std::string_view end = s.starts_with("<!--") ? "-->" : s.starts_with("<?") || s.starts_with("<!") ? ">" : "";
        if (end.empty()) break;
        const size_t found = s.find(end, 2);
        if (found == std::string_view::npos) return TMarkup::Unknown;
        s.remove_prefix(found + end.size());
    }
    size_t n = 1;
    while (n < s.size() && !IsBlank(s[n]) && s[n] != '>' && s[n] != '/') ++n;
    const std::string name = AsciiLowered(s.substr(1, n - 1));
    if (name == "html" || name == "head" || name == "body") return TMarkup::Page;
    if (name == "rss" || name == "feed" || name == "rdf:rdf" || name == "opml") return TMarkup::Feed;
    return TMarkup::Unknown;
}

}  // namespace

bool IsHtmlPage(std::string_view contentType, std::string_view body) {
    switch (FirstMarkupOf(body)) {
    case TMarkup::Page: return true;
    case TMarkup::Feed: return false;
    case TMarkup::Unknown: break;
    }
    const std::string type = AsciiLowered(TrimAsciiWhitespace(contentType.substr(0, contentType.find(';'))));
    return type == "text/html" || type == "application/xhtml+xml";
}

}  // namespace tw
