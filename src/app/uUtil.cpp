#include "app/uUtil.h"

#include "base/AsciiText.h"
#include "base/TextConvert.h"

#include <cstdint>
#include <optional>

namespace tw {

namespace {

constexpr std::string_view kLineBreak = "\r\n";

// body = the characters after "<" up to (not including) the closing ">".
bool TagMeansLineBreak(std::string_view body) {
    return StartsWithIgnoringAsciiCase(body, "/P") || StartsWithIgnoringAsciiCase(body, "HR/") ||
           StartsWithIgnoringAsciiCase(body, "HR /") || StartsWithIgnoringAsciiCase(body, "BR");
}

// Copies text, turning its first "|" into a line break while any replacement is still owed.
void CopyText(std::string_view text, int& pipesOwed, std::string& out) {
    for (size_t bar; pipesOwed > 0 && (bar = text.find('|')) != std::string_view::npos; --pipesOwed) {
        out.append(text.substr(0, bar));
        out.append(kLineBreak);
        text.remove_prefix(bar + 1);
    }
    out.append(text);
}

// A tag is removed with the "|" inside it, and those count as replaced.
void DropPipesOfTag(std::string_view tag, int& pipesOwed) {
    for (size_t bar = tag.find('|'); pipesOwed > 0 && bar != std::string_view::npos; bar = tag.find('|', bar + 1))
        --pipesOwed;
}

}  // namespace

std::string StripMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    // The text's first "|" is a line break, and so is the first "|" of each rest that starts after
    // a stray ">" -- counted after the replacements made before it. Every "|" already passed was
    // replaced, so each such rest owes one more replacement of the pipes still ahead.
    int pipesOwed = 1;
    size_t pos = 0;
    size_t nextLt = text.find('<');
    size_t nextGt = text.find('>');
    while (pos < text.size()) {
        if (nextLt == std::string_view::npos || nextGt == std::string_view::npos) {
            // No tag left, or a "<" never closed: keep the rest as it stands.
            CopyText(text.substr(pos), pipesOwed, out);
            break;
        }
        if (nextGt < nextLt) {
            CopyText(text.substr(pos, nextGt + 1 - pos), pipesOwed, out);
            pos = nextGt + 1;
            nextGt = text.find('>', pos);
            ++pipesOwed;
            continue;
        }
        CopyText(text.substr(pos, nextLt - pos), pipesOwed, out);
        std::string_view tag = text.substr(nextLt, nextGt + 1 - nextLt);
        DropPipesOfTag(tag, pipesOwed);
        if (TagMeansLineBreak(tag.substr(1, tag.size() - 2))) out.append(kLineBreak);
        pos = nextGt + 1;
        nextLt = text.find('<', pos);
        nextGt = text.find('>', pos);
    }
    return out;
}

namespace {

int DigitValue(char16_t c, int radix) {
    const int v = HexDigitValue(c);
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

// NUL and negative numbers name no character either. 128 to 159 are the Windows-1252 characters
// publishers meant (as browsers read them); other control characters show as a space.
void AppendCodePoint(int64_t value, std::u16string& out) {
    if (value >= 0x80 && value <= 0x9F) {
        const char16_t meant = Windows1252ToUtf16(static_cast<unsigned char>(value));
        out.push_back(meant <= 0x9F ? u' ' : meant);
        return;
    }
    if ((value > 0 && value < 0x20 && value != '\t' && value != '\n' && value != '\r') || value == 0x7F) {
        out.push_back(u' ');
        return;
    }
    AppendUtf16(out, value > 0 && value <= 0x10FFFF ? static_cast<char32_t>(value) : char32_t{0xFFFD});
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

std::string CleanItemText(std::string_view text) {
    const std::string stripped = StripMarkup(text);
    return Utf16ToUtf8(DecodeCharRefs(Utf8ToUtf16(TrimControlsAndBlanks(stripped))));
}

std::string CleanChannelTitle(std::string_view text) {
    return Utf16ToUtf8(DecodeCharRefs(Utf8ToUtf16(TrimControlsAndBlanks(text))));
}

}  // namespace tw
