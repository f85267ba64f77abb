#include "app/uUtil.h"

#include "xml/XmlValue.h"

#include <cstdint>
#include <optional>

namespace tw {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr char16_t kReplacement = 0xFFFD;

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithUpper(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (AsciiUpper(text[i]) != prefix[i]) return false;
    return true;
}

// body = the characters after "<" up to (not including) the closing ">".
bool TagMeansLineBreak(std::string_view body) {
    return StartsWithUpper(body, "/P") || StartsWithUpper(body, "HR/") ||
           StartsWithUpper(body, "HR /") || StartsWithUpper(body, "BR");
}

// Copies text, turning the first "|" into a line break while one is still owed.
void CopyText(std::string_view text, bool& pipeOwed, std::string& out) {
    if (pipeOwed) {
        size_t bar = text.find('|');
        if (bar != std::string_view::npos) {
            out.append(text.substr(0, bar));
            out.append(kLineBreak);
            text.remove_prefix(bar + 1);
            pipeOwed = false;
        }
    }
    out.append(text);
}

}  // namespace

std::string StripMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    // Each piece that starts after a stray ">" is cleaned as a text of its own, and a text's
    // first "|" is a line break: so every piece owes one "|" replacement.
    bool pipeOwed = true;
    size_t pos = 0;
    size_t nextLt = text.find('<');
    size_t nextGt = text.find('>');
    while (pos < text.size()) {
        if (nextLt == std::string_view::npos || nextGt == std::string_view::npos) {
            // No tag left, or a "<" never closed: keep the rest as it stands.
            CopyText(text.substr(pos), pipeOwed, out);
            break;
        }
        if (nextGt < nextLt) {
            CopyText(text.substr(pos, nextGt + 1 - pos), pipeOwed, out);
            pos = nextGt + 1;
            nextGt = text.find('>', pos);
            pipeOwed = true;
            continue;
        }
        CopyText(text.substr(pos, nextLt - pos), pipeOwed, out);
        std::string_view tag = text.substr(nextLt, nextGt + 1 - nextLt);
        if (pipeOwed && tag.find('|') != std::string_view::npos) pipeOwed = false;  // removed with its tag
        if (TagMeansLineBreak(tag.substr(1, tag.size() - 2))) out.append(kLineBreak);
        pos = nextGt + 1;
        nextLt = text.find('<', pos);
        nextGt = text.find('>', pos);
    }
    return out;
}

namespace {

int DigitValue(char16_t c, int radix) {
    int v = -1;
    if (c >= u'0' && c <= u'9') v = c - u'0';
    else if (c >= u'a' && c <= u'f') v = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F') v = c - u'A' + 10;
    return v < radix ? v : -1;
}

struct CharRef {
    int64_t value = 0;
    size_t length = 0;  // characters after "&#" that the number takes
};

// Reads the number of a reference from the window of at most ten characters after "&#".
// `following` is the character after the window (0 when there is none); a number whose digits
// run on past the window is no reference.
std::optional<CharRef> ReadCharRefNumber(std::u16string_view window, char16_t following) {
    size_t i = 0;
    while (i < window.size() && (window[i] == u' ' || window[i] == u'\t')) ++i;
    bool negative = false;
    if (i < window.size() && (window[i] == u'+' || window[i] == u'-')) negative = window[i++] == u'-';
    int radix = 10;
    if (i < window.size() && (window[i] == u'$' || window[i] == u'x' || window[i] == u'X')) {
        radix = 16;
        ++i;
    } else if (i + 1 < window.size() && window[i] == u'0' && (window[i + 1] == u'x' || window[i + 1] == u'X')) {
        radix = 16;
        i += 2;
    }
    size_t digitsStart = i;
    int64_t value = 0;
    for (; i < window.size(); ++i) {
        int d = DigitValue(window[i], radix);
        if (d < 0) break;
        value = value * radix + d;
    }
    if (i == digitsStart) return std::nullopt;
    if (i == window.size() && following != 0 && DigitValue(following, radix) >= 0) return std::nullopt;
    return CharRef{negative ? -value : value, i};
}

void AppendCodePoint(int64_t value, std::u16string& out) {
    bool valid = value > 0 && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
    if (!valid) {
        out.push_back(kReplacement);
    } else if (value < 0x10000) {
        out.push_back(static_cast<char16_t>(value));
    } else {
        int64_t v = value - 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    }
}

}  // namespace

std::u16string DecodeCharRefs(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'&' || i + 1 >= text.size() || text[i + 1] != u'#') {
            out.push_back(text[i++]);
            continue;
        }
        size_t start = i + 2;
        std::u16string_view window = text.substr(start, 10);
        size_t after = start + window.size();
        char16_t following = after < text.size() ? text[after] : 0;
        std::optional<CharRef> ref = ReadCharRefNumber(window, following);
        if (!ref) {
            out.append(u"&#");
            i = start;
            continue;
        }
        AppendCodePoint(ref->value, out);
        i = start + ref->length;
        if (i < text.size() && text[i] == u';') {
            ++i;
            if (i < text.size() && text[i] == u';') ++i;
        }
    }
    return out;
}

namespace uutil {

std::string TrimBlanks(std::string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return std::string(text.substr(first, last - first));
}

std::u16string WidenUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        uint32_t cp;
        size_t extra;
        if (c < 0x80) { cp = c; extra = 0; }
        else if (c >= 0xC2 && c <= 0xDF) { cp = c & 0x1F; extra = 1; }
        else if (c >= 0xE0 && c <= 0xEF) { cp = c & 0x0F; extra = 2; }
        else if (c >= 0xF0 && c <= 0xF4) { cp = c & 0x07; extra = 3; }
        else { out.push_back(kReplacement); ++i; continue; }
        size_t j = 1;
        for (; j <= extra && i + j < text.size(); ++j) {
            unsigned char cc = static_cast<unsigned char>(text[i + j]);
            if ((cc & 0xC0) != 0x80) break;
            cp = (cp << 6) | (cc & 0x3F);
        }
        bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (j <= extra || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
            i += j;  // resume at the byte that broke the sequence
            continue;
        }
        if (cp < 0x10000) {
            out.push_back(static_cast<char16_t>(cp));
        } else {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
        i += extra + 1;
    }
    return out;
}

std::string NarrowToUtf8(std::u16string_view text) { return XmlToUtf8(text); }

}  // namespace uutil

std::string CleanItemText(std::string_view text) {
    std::string stripped = uutil::TrimBlanks(StripMarkup(text));
    return uutil::NarrowToUtf8(DecodeCharRefs(uutil::WidenUtf8(stripped)));
}

std::string CleanChannelTitle(std::string_view text) {
    return uutil::NarrowToUtf8(DecodeCharRefs(uutil::WidenUtf8(uutil::TrimBlanks(text))));
}

}  // namespace tw
