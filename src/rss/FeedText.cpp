#include "rss/FeedText.h"

#include "base/AsciiText.h"
#include "base/TextConvert.h"

#include <array>
#include <cstdint>

namespace tw {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1251 from 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F in order.
constexpr std::array<char16_t, 64> kWin1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char16_t Win1251(unsigned char b) {
    if (b < 0x80) return b;
    if (b < 0xC0) return kWin1251High[b - 0x80];
    return char16_t(0x0410 + (b - 0xC0));
}

char16_t Iso8859_15(unsigned char b) {
    switch (b) {
        case 0xA4: return 0x20AC;
        case 0xA6: return 0x0160;
        case 0xA8: return 0x0161;
        case 0xB4: return 0x017D;
        case 0xB8: return 0x017E;
        case 0xBC: return 0x0152;
        case 0xBD: return 0x0153;
        case 0xBE: return 0x0178;
        default: return b;
    }
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out;
    out.reserve(bytes.size() / 2 + 1);
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        out.push_back(bigEndian ? char16_t((b0 << 8) | b1) : char16_t((b1 << 8) | b0));
    }
    if (i < bytes.size()) out.push_back(kReplacement);  // an odd byte at the end
    return out;
}

template <class Map>
std::u16string DecodeSingleByte(std::string_view bytes, Map map) {
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = map(static_cast<unsigned char>(bytes[i]));
    return out;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The ASCII-compatible charset a name stands for, when this build reads it; false for unknown
// names and for UTF-16 names, which cannot be true of bytes whose declaration reads as ASCII.
bool CharsetOfName(std::string_view name, TFeedCharset& charset) {
    const int codePage = CodePageOfCharsetName(name);
    if (codePage == 0 || !IsAsciiCompatibleCodePage(codePage) || !CodePageAvailable(codePage)) return false;
    charset = static_cast<TFeedCharset>(codePage);
    return true;
}

// The charset the server named, when this build reads it and the bytes' shape does not
// contradict it. A bare "UTF-16" takes its byte order from the shape.
bool CharsetOfTransportName(std::string_view name, TFeedCharset shape, TFeedCharset& charset) {
    if (name.empty()) return false;
    const bool utf16Shape = shape != TFeedCharset::fcUtf8;
    const int codePage = CodePageOfCharsetName(name);
    if (codePage == 0 || IsAsciiCompatibleCodePage(codePage)) return !utf16Shape && CharsetOfName(name, charset);
    charset = codePage == kCodePageUtf16 ? shape : static_cast<TFeedCharset>(codePage);
    return utf16Shape && charset == shape;
}

}  // namespace

std::string DeclaredEncodingOf(std::string_view bytes) {
    size_t i = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    while (i < bytes.size() && IsXmlSpace(bytes[i])) ++i;
    if (bytes.substr(i, 5) != "<?xml") return {};
    const size_t end = bytes.find("?>", i);
    const std::string_view decl = bytes.substr(i + 5, end == std::string_view::npos ? std::string_view::npos : end - i - 5);
    // Walk the pseudo-attributes: name, optional spaces, "=", optional spaces, quoted value.
    size_t p = 0;
    while (p < decl.size()) {
        while (p < decl.size() && IsXmlSpace(decl[p])) ++p;
        const size_t nameStart = p;
        while (p < decl.size() && !IsXmlSpace(decl[p]) && decl[p] != '=') ++p;
        const std::string_view name = decl.substr(nameStart, p - nameStart);
        while (p < decl.size() && IsXmlSpace(decl[p])) ++p;
        if (p >= decl.size() || decl[p] != '=') return {};
        ++p;
        while (p < decl.size() && IsXmlSpace(decl[p])) ++p;
        if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\'')) return {};
        const char quote = decl[p++];
        const size_t close = decl.find(quote, p);
        if (close == std::string_view::npos) return {};
        if (name == "encoding") return std::string(decl.substr(p, close - p));
        p = close + 1;
    }
    return {};
}

TFeedCharsetChoice ChooseFeedCharset(std::string_view bytes, std::string_view transportCharset, bool checkUtf8) {
    TFeedCharsetChoice choice;
    const auto byteAt = [&](size_t k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : -1; };
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        choice.Charset = TFeedCharset::fcUtf8;
        choice.MarkLength = 3;
    } else if (byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
        choice.Charset = TFeedCharset::fcUtf16LE;
        choice.MarkLength = 2;
    } else if (byteAt(0) == 0xFE && byteAt(1) == 0xFF) {
        choice.Charset = TFeedCharset::fcUtf16BE;
        choice.MarkLength = 2;
    }
    if (choice.MarkLength > 0) {
        // A mark outranks everything; a UTF-16 text's declaration is read after decoding.
        choice.FromByteOrderMark = true;
        if (choice.Charset == TFeedCharset::fcUtf8) choice.DeclaredName = DeclaredEncodingOf(bytes);
        return choice;
    }
    // UTF-16 without a mark shows as "<" next to a zero byte; no ASCII-compatible text does.
    const TFeedCharset shape = (byteAt(0) == '<' && byteAt(1) == 0)   ? TFeedCharset::fcUtf16LE
                               : (byteAt(0) == 0 && byteAt(1) == '<') ? TFeedCharset::fcUtf16BE
                                                                      : TFeedCharset::fcUtf8;
    const bool utf16Shape = shape != TFeedCharset::fcUtf8;
    if (!utf16Shape) choice.DeclaredName = DeclaredEncodingOf(bytes);
    // The server's word comes before the document's, unless the bytes plainly contradict it:
    // a UTF-16 name on ASCII-compatible bytes, or an ASCII-compatible name on UTF-16 bytes.
    TFeedCharset sent;
    if (CharsetOfTransportName(transportCharset, shape, sent)) {
        choice.Charset = sent;
        choice.FromTransport = true;
        return choice;
    }
    if (utf16Shape) {
        choice.Charset = shape;
        return choice;
    }
    TFeedCharset declared;
    if (!choice.DeclaredName.empty() && CharsetOfName(choice.DeclaredName, declared)) {
        choice.Charset = declared;
        choice.Declared = true;
        return choice;
    }
    choice.Unchecked = !checkUtf8;
    choice.Charset = !checkUtf8 || IsValidUtf8(bytes) ? TFeedCharset::fcUtf8 : TFeedCharset::fcWindows1252;
    return choice;
}

std::u16string DecodeAs(std::string_view bytes, TFeedCharset charset) {
    switch (charset) {
        case TFeedCharset::fcUtf8: return Utf8ToUtf16(bytes);
        case TFeedCharset::fcUtf16LE: return DecodeUtf16(bytes, false);
        case TFeedCharset::fcUtf16BE: return DecodeUtf16(bytes, true);
        case TFeedCharset::fcWindows1252: return Windows1252ToUtf16(bytes);
        case TFeedCharset::fcIso8859_15: return DecodeSingleByte(bytes, Iso8859_15);
        case TFeedCharset::fcWindows1251: return DecodeSingleByte(bytes, Win1251);
    }
    return DecodeCodePage(bytes, static_cast<int>(charset));
}

std::string CharsetOfContentType(std::string_view contentType) {
    // Bounded: a header value is looked at only as far as a sane one reaches.
    contentType = contentType.substr(0, 1024);
    const size_t semicolon = contentType.find(';');
    std::string media;
    for (char c : contentType.substr(0, semicolon)) {
        if (!IsXmlSpace(c)) media.push_back(AsciiLower(c));
    }
    const size_t slash = media.find('/');
    const bool meaningful = slash != std::string::npos &&
                            (media.compare(0, slash, "text") == 0 || media.compare(slash + 1, std::string::npos, "xml") == 0 ||
                             (media.size() >= 4 && media.compare(media.size() - 4, 4, "+xml") == 0));
    if (!meaningful || semicolon == std::string_view::npos) return {};
    // Parameters: name=value or name="value", separated by ";".
    std::string_view rest = contentType.substr(semicolon + 1);
    while (!rest.empty()) {
        const size_t end = rest.find(';');
        std::string_view param = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const size_t eq = param.find('=');
        if (eq == std::string_view::npos) continue;
        std::string name;
        for (char c : param.substr(0, eq)) {
            if (!IsXmlSpace(c)) name.push_back(AsciiLower(c));
        }
        if (name != "charset") continue;
        std::string_view value = TrimSpacesTabsAndLineBreaks(param.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return {};
}

namespace {

// True when the choice takes the text as UTF-8 on someone's word (a mark, the server, the
// declaration), so stray bytes that are not UTF-8 are mislabelled Latin letters.
bool Utf8ByWord(const TFeedCharsetChoice& choice) {
    return choice.Charset == TFeedCharset::fcUtf8 && (choice.Declared || choice.FromByteOrderMark || choice.FromTransport);
}

}  // namespace

std::u16string DecodeFeedText(std::string_view bytes, std::string_view transportCharset) {
    const TFeedCharsetChoice choice = ChooseFeedCharset(bytes, transportCharset);
    const std::string_view body = bytes.substr(choice.MarkLength);
    if (Utf8ByWord(choice)) return Utf8ToUtf16(body, TInvalidUtf8::iuByteAsWindows1252);
    return DecodeAs(body, choice.Charset);
}

std::string DecodeFeedTextToUtf8(std::string_view bytes, std::string_view transportCharset) {
    const TFeedCharsetChoice choice = ChooseFeedCharset(bytes, transportCharset);
    const std::string_view body = bytes.substr(choice.MarkLength);
    if (choice.Charset == TFeedCharset::fcUtf8) {
        if (IsValidUtf8(body)) return std::string(body);
        return Utf16ToUtf8(Utf8ToUtf16(body, Utf8ByWord(choice) ? TInvalidUtf8::iuByteAsWindows1252 : TInvalidUtf8::iuReplaceByte));
    }
    return Utf16ToUtf8(DecodeAs(body, choice.Charset));
}

}  // namespace tw
