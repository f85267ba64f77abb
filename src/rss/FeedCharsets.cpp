#include "rss/FeedCharsets.h"

#include "base/AsciiText.h"
#include "base/TextConvert.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tw {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Names and aliases, as CanonicalName leaves them (lower-case letters and digits).
struct NamedCodePage {
    std::string_view Name;
    int CodePage;
};

constexpr NamedCodePage kNames[] = {
    {"utf8", kCodePageUtf8}, {"unicode11utf8", kCodePageUtf8}, {"unicode20utf8", kCodePageUtf8},
    {"xunicode20utf8", kCodePageUtf8},
    {"utf16", kCodePageUtf16}, {"unicode", kCodePageUtf16}, {"ucs2", kCodePageUtf16},
    {"iso10646ucs2", kCodePageUtf16}, {"csunicode", kCodePageUtf16},
    {"utf16le", kCodePageUtf16LE}, {"unicodefffe", kCodePageUtf16BE}, {"utf16be", kCodePageUtf16BE},
    // Publishers who declare Latin-1 or ASCII routinely send Windows-1252 quotes and dashes in
    // 0x80-0x9F, where Latin-1 has only unused control codes; browsers read them so too.
    {"iso88591", 1252}, {"iso885911987", 1252}, {"latin1", 1252}, {"l1", 1252}, {"cp819", 1252},
    {"ibm819", 1252}, {"isoir100", 1252}, {"csisolatin1", 1252}, {"windows1252", 1252}, {"cp1252", 1252},
    {"xcp1252", 1252}, {"usascii", 1252}, {"ascii", 1252}, {"ansix341968", 1252}, {"iso646us", 1252},
    {"cp367", 1252}, {"us", 1252}, {"csascii", 1252},
    {"iso88592", 28592}, {"iso885921987", 28592}, {"latin2", 28592}, {"l2", 28592}, {"isoir101", 28592},
    {"csisolatin2", 28592},
    {"iso88593", 28593}, {"iso885931988", 28593}, {"latin3", 28593}, {"l3", 28593}, {"isoir109", 28593},
    {"csisolatin3", 28593},
    {"iso88594", 28594}, {"iso885941988", 28594}, {"latin4", 28594}, {"l4", 28594}, {"isoir110", 28594},
    {"csisolatin4", 28594},
    {"iso88595", 28595}, {"iso885951988", 28595}, {"cyrillic", 28595}, {"isoir144", 28595},
    {"csisolatincyrillic", 28595},
    {"iso88596", 28596}, {"iso885961987", 28596}, {"iso88596i", 28596}, {"iso88596e", 28596},
    {"arabic", 28596}, {"isoir127", 28596}, {"ecma114", 28596}, {"asmo708", 28596},
    {"csisolatinarabic", 28596},
    {"iso88597", 28597}, {"iso885971987", 28597}, {"greek", 28597}, {"greek8", 28597},
    {"isoir126", 28597}, {"ecma118", 28597}, {"elot928", 28597}, {"csisolatingreek", 28597},
    {"iso88598", 28598}, {"iso885981988", 28598}, {"iso88598i", 28598}, {"iso88598e", 28598},
    {"hebrew", 28598}, {"isoir138", 28598}, {"visual", 28598}, {"csisolatinhebrew", 28598},
    {"iso88599", 28599}, {"iso885991989", 28599}, {"latin5", 28599}, {"l5", 28599}, {"isoir148", 28599},
    {"csisolatin5", 28599},
    {"iso885910", kCodePageIso8859_10}, {"iso8859101992", kCodePageIso8859_10}, {"latin6", kCodePageIso8859_10},
    {"l6", kCodePageIso8859_10}, {"isoir157", kCodePageIso8859_10}, {"csisolatin6", kCodePageIso8859_10},
    // Thai: Windows-874 is TIS-620 (ISO-8859-11 less its no-break space) plus a few punctuation marks.
    {"iso885911", 874}, {"tis620", 874}, {"windows874", 874}, {"cp874", 874}, {"dos874", 874},
    {"iso885913", 28603}, {"latin7", 28603}, {"l7", 28603}, {"csiso885913", 28603},
    {"iso885914", kCodePageIso8859_14}, {"iso8859141998", kCodePageIso8859_14}, {"latin8", kCodePageIso8859_14},
    {"l8", kCodePageIso8859_14}, {"isoceltic", kCodePageIso8859_14}, {"isoir199", kCodePageIso8859_14},
    {"iso885915", 28605}, {"latin9", 28605}, {"l9", 28605}, {"csiso885915", 28605}, {"latin0", 28605},
    {"iso885916", kCodePageIso8859_16}, {"iso8859162001", kCodePageIso8859_16}, {"latin10", kCodePageIso8859_16},
    {"l10", kCodePageIso8859_16}, {"isoir226", kCodePageIso8859_16},
    {"windows1250", 1250}, {"cp1250", 1250}, {"xcp1250", 1250},
    {"windows1251", 1251}, {"cp1251", 1251}, {"xcp1251", 1251},
    {"windows1253", 1253}, {"cp1253", 1253}, {"xcp1253", 1253},
    {"windows1254", 1254}, {"cp1254", 1254}, {"xcp1254", 1254},
    {"windows1255", 1255}, {"cp1255", 1255}, {"xcp1255", 1255},
    {"windows1256", 1256}, {"cp1256", 1256}, {"xcp1256", 1256},
    {"windows1257", 1257}, {"cp1257", 1257}, {"xcp1257", 1257},
    {"windows1258", 1258}, {"cp1258", 1258}, {"xcp1258", 1258},
    {"koi8r", 20866}, {"koi8", 20866}, {"cskoi8r", 20866},
    {"koi8u", 21866}, {"koi8ru", 21866},
    // Windows-31J is what Shift_JIS feeds are written in (the vendor rows a plain Shift_JIS lacks).
    {"shiftjis", 932}, {"sjis", 932}, {"xsjis", 932}, {"mskanji", 932}, {"csshiftjis", 932},
    {"windows31j", 932}, {"cswindows31j", 932}, {"cp932", 932}, {"ms932", 932}, {"xmscp932", 932},
    {"eucjp", 20932}, {"xeucjp", 20932}, {"cseucpkdfmtjapanese", 20932},
    {"extendedunixcodepackedformatforjapanese", 20932},
    {"iso2022jp", kCodePageIso2022Jp}, {"csiso2022jp", kCodePageIso2022Jp},
    // Korean feeds labelled EUC-KR use the unified Hangul of code page 949, a superset.
    {"euckr", 949}, {"cseuckr", 949}, {"ksc56011987", 949}, {"ksc56011989", 949}, {"ksc5601", 949},
    {"isoir149", 949}, {"csksc56011987", 949}, {"korean", 949}, {"cp949", 949}, {"uhc", 949},
    {"windows949", 949}, {"ms949", 949}, {"xwindows949", 949},
    // GB2312 feeds use GBK's extra rows; GBK is a superset.
    {"gb2312", 936}, {"gb231280", 936}, {"csgb2312", 936}, {"csiso58gb231280", 936}, {"isoir58", 936},
    {"chinese", 936}, {"euccn", 936}, {"xeuccn", 936}, {"gbk", 936}, {"xgbk", 936}, {"cp936", 936},
    {"ms936", 936}, {"windows936", 936},
    {"gb18030", kCodePageGb18030},
    {"big5", 950}, {"csbig5", 950}, {"xxbig5", 950}, {"cnbig5", 950}, {"big5hkscs", 950}, {"cp950", 950},
    {"ms950", 950}, {"windows950", 950},
};

// Lower-case letters and digits of a printable ASCII name; "" for anything else.
std::string CanonicalName(std::string_view name) {
    name = TrimSpacesTabsLineBreaksAndQuotes(name);
    if (name.empty() || name.size() > kMaxCharsetNameLength) return {};
    std::string out;
    for (char c : name) {
        if (c < 0x20 || c > 0x7E) return {};
        c = AsciiLower(c);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out.push_back(c);
    }
    return out;
}

// The upper halves (0xA0-0xFF) of the ISO-8859 parts Windows has no code page for; 0x80-0x9F
// are the C1 controls of the same number.
constexpr std::array<char16_t, 96> kIso8859_10 = {
    0x00A0, 0x0104, 0x0112, 0x0122, 0x012A, 0x0128, 0x0136, 0x00A7, 0x013B, 0x0110, 0x0160, 0x0166,
    0x017D, 0x00AD, 0x016A, 0x014A, 0x00B0, 0x0105, 0x0113, 0x0123, 0x012B, 0x0129, 0x0137, 0x00B7,
    0x013C, 0x0111, 0x0161, 0x0167, 0x017E, 0x2015, 0x016B, 0x014B, 0x0100, 0x00C1, 0x00C2, 0x00C3,
    0x00C4, 0x00C5, 0x00C6, 0x012E, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x0116, 0x00CD, 0x00CE, 0x00CF,
    0x00D0, 0x0145, 0x014C, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x0168, 0x00D8, 0x0172, 0x00DA, 0x00DB,
    0x00DC, 0x00DD, 0x00DE, 0x00DF, 0x0101, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x012F,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x0117, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x0146, 0x014D, 0x00F3,
    0x00F4, 0x00F5, 0x00F6, 0x0169, 0x00F8, 0x0173, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x0138};
constexpr std::array<char16_t, 96> kIso8859_14 = {
    0x00A0, 0x1E02, 0x1E03, 0x00A3, 0x010A, 0x010B, 0x1E0A, 0x00A7, 0x1E80, 0x00A9, 0x1E82, 0x1E0B,
    0x1EF2, 0x00AD, 0x00AE, 0x0178, 0x1E1E, 0x1E1F, 0x0120, 0x0121, 0x1E40, 0x1E41, 0x00B6, 0x1E56,
    0x1E81, 0x1E57, 0x1E83, 0x1E60, 0x1EF3, 0x1E84, 0x1E85, 0x1E61, 0x00C0, 0x00C1, 0x00C2, 0x00C3,
    0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0174, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x1E6A, 0x00D8, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x00DD, 0x0176, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0175, 0x00F1, 0x00F2, 0x00F3,
    0x00F4, 0x00F5, 0x00F6, 0x1E6B, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x0177, 0x00FF};
constexpr std::array<char16_t, 96> kIso8859_16 = {
    0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7, 0x0161, 0x00A9, 0x0218, 0x00AB,
    0x0179, 0x00AD, 0x017A, 0x017B, 0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
    0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0106, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A, 0x0170, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x0118, 0x021A, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x0144, 0x00F2, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x015B, 0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF};

const std::array<char16_t, 96>* OwnTable(int codePage) {
    switch (codePage) {
        case kCodePageIso8859_10: return &kIso8859_10;
        case kCodePageIso8859_14: return &kIso8859_14;
        case kCodePageIso8859_16: return &kIso8859_16;
        default: return nullptr;
    }
}

std::u16string DecodeOwnTable(std::string_view bytes, const std::array<char16_t, 96>& upper) {
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = b < 0xA0 ? char16_t(b) : upper[b - 0xA0];
    }
    return out;
}

// The longest character, in bytes, of the code pages the system decodes for us.
size_t MaxCharLength(int codePage) {
    switch (codePage) {
        case 932: case 936: case 949: case 950: return 2;
        case 20932: return 3;  // JIS X 0212 letters: 0x8F and two bytes
        default: return 1;
    }
}

// Where Windows and glibc read a byte of a single-byte code page differently, the reading of
// the later standard (and of browsers): KOI8-U's short u, ISO-8859-7:2003's quotes, euro, drachma
// and ypogegrammeni, ISO-8859-8's macron and direction marks.
struct ByteReading {
    int CodePage;
    unsigned char Byte;
    char16_t Letter;
};
constexpr ByteReading kByteReadings[] = {
    {21866, 0xAE, 0x045E}, {21866, 0xBE, 0x040E},
    {28597, 0xA1, 0x2018}, {28597, 0xA2, 0x2019}, {28597, 0xA4, 0x20AC}, {28597, 0xA5, 0x20AF}, {28597, 0xAA, 0x037A},
    {28598, 0xAF, 0x00AF}, {28598, 0xFD, 0x200E}, {28598, 0xFE, 0x200F},
    {1255, 0xCA, 0x05BA},
};

// Makes the system's reading the same in both builds: the bytes of kByteReadings read as listed
// there. Single-byte code pages give one unit per byte, so `out` lines up with `bytes` for them.
void Harmonize(std::string_view bytes, int codePage, std::u16string& out) {
    if (out.size() != bytes.size()) return;
    for (const ByteReading& r : kByteReadings) {
        if (r.CodePage != codePage) continue;
        for (size_t i = 0; i < bytes.size(); ++i)
            if (static_cast<unsigned char>(bytes[i]) == r.Byte) out[i] = r.Letter;
    }
}

// The system's strict decoding, refusing private-use letters too: Windows gives them for the
// user-defined rows that glibc rejects, and they mean nothing without the publisher's font.
bool DecodeStrict(TSystemCodePage& system, std::string_view bytes, std::u16string& out) {
    const size_t start = out.size();
    if (!system.DecodeAll(bytes, out)) return false;
    if (std::any_of(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(),
                    [](char16_t u) { return u >= 0xE000 && u <= 0xF8FF; })) {
        out.resize(start);
        return false;
    }
    return true;
}

// Decodes with the system, leniently: the whole text at once when it is valid, else a
// character at a time. A byte that begins no valid character becomes U+FFFD, or in 0x80-0x9F the
// control character of the same number (what Windows itself reads there, as in Windows-1252).
std::u16string DecodeBySystem(std::string_view bytes, int codePage) {
    TSystemCodePage system(codePage);
    if (!system.Known()) return Windows1252ToUtf16(bytes);
    std::u16string out;
    out.reserve(bytes.size());
    if (!DecodeStrict(system, bytes, out)) {
        const size_t maxLength = MaxCharLength(codePage);
        size_t p = 0;
        while (p < bytes.size()) {
            // Below 0x80 every code page here is ASCII, and no character starts with a trail byte there.
            const auto b = static_cast<unsigned char>(bytes[p]);
            if (b < 0x80) {
                out.push_back(b);
                ++p;
                continue;
            }
            size_t length = 1;
            while (length <= maxLength && p + length <= bytes.size() && !DecodeStrict(system, bytes.substr(p, length), out))
                ++length;
            if (length <= maxLength && p + length <= bytes.size()) {
                p += length;
            } else {
                out.push_back(b <= 0x9F ? char16_t(b) : kReplacement);
                ++p;
            }
        }
    }
    Harmonize(bytes, codePage, out);
    return out;
}

// Decodes a single-byte code page a byte at a time, so no letter is composed with the marks
// after it: glibc's CP1255 turns a Hebrew letter and its points into presentation forms
// (U+FB2A for shin and its dot), where Windows keeps the letter and the points apart.
std::u16string DecodeBySystemPerByte(std::string_view bytes, int codePage) {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const std::u16string one = DecodeBySystem(std::string(1, static_cast<char>(b)), codePage);
        table[static_cast<size_t>(b)] = one.size() == 1 ? one[0] : kReplacement;
    }
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = table[static_cast<unsigned char>(bytes[i])];
    return out;
}

// ISO-2022-JP, rewritten as the EUC-JP it maps onto one to one: JIS X 0208 pairs with the high
// bit set, half-width katakana after 0x8E, JIS X 0212 after 0x8F. Whatever the escapes do not
// allow becomes 0xFF, which no EUC-JP text holds, so it decodes as U+FFFD.
std::string Iso2022JpAsEucJp(std::string_view bytes) {
    enum class Set { Ascii, Roman, Kana, Jis0208, Jis0212 } set = Set::Ascii;
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0x1B) {
            const std::string_view esc = bytes.substr(i + 1, 3);
            if (esc.substr(0, 2) == "(B") set = Set::Ascii, i += 3;
            else if (esc.substr(0, 2) == "(J") set = Set::Roman, i += 3;
            else if (esc.substr(0, 2) == "(I") set = Set::Kana, i += 3;
            else if (esc.substr(0, 2) == "$@" || esc.substr(0, 2) == "$B") set = Set::Jis0208, i += 3;
            else if (esc == "$(D") set = Set::Jis0212, i += 4;
            else out.push_back('\xFF'), ++i;
            continue;
        }
        if (b == '\r' || b == '\n') set = Set::Ascii;  // each line begins in ASCII
        if (b >= 0x80) {
            out.push_back('\xFF');
            ++i;
        } else if ((set == Set::Jis0208 || set == Set::Jis0212) && b >= 0x21 && b <= 0x7E) {
            const auto b2 = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
            if (b2 < 0x21 || b2 > 0x7E) {
                out.push_back('\xFF');
                ++i;
                continue;
            }
            if (set == Set::Jis0212) out.push_back('\x8F');
            out.push_back(static_cast<char>(b | 0x80));
            out.push_back(static_cast<char>(b2 | 0x80));
            i += 2;
        } else if (set == Set::Kana && b >= 0x21 && b <= 0x5F) {
            out.push_back('\x8E');
            out.push_back(static_cast<char>(b | 0x80));
            ++i;
        } else {
            out.push_back(static_cast<char>(b));  // ASCII, JIS-Roman (its yen and overline read as ASCII) and controls
            ++i;
        }
    }
    return out;
}

// GB18030's four-byte sequences for the basic plane: runs of linear index and code point.
struct GbRange {
    std::uint32_t Linear;
    char16_t CodePoint;
    std::uint16_t Length;
};
constexpr GbRange kGb18030Ranges[] = {
    {0, 0x0080, 36}, {36, 0x00A5, 2}, {38, 0x00A9, 7}, {45, 0x00B2, 5}, {50, 0x00B8, 31},
    {81, 0x00D8, 8}, {89, 0x00E2, 6}, {95, 0x00EB, 1}, {96, 0x00EE, 4}, {100, 0x00F4, 3},
    {103, 0x00F8, 1}, {104, 0x00FB, 1}, {105, 0x00FD, 4}, {109, 0x0102, 17}, {126, 0x0114, 7},
    {133, 0x011C, 15}, {148, 0x012C, 24}, {172, 0x0145, 3}, {175, 0x0149, 4}, {179, 0x014E, 29},
    {208, 0x016C, 98}, {306, 0x01CF, 1}, {307, 0x01D1, 1}, {308, 0x01D3, 1}, {309, 0x01D5, 1},
    {310, 0x01D7, 1}, {311, 0x01D9, 1}, {312, 0x01DB, 1}, {313, 0x01DD, 28}, {341, 0x01FA, 87},
    {428, 0x0252, 15}, {443, 0x0262, 101}, {544, 0x02C8, 1}, {545, 0x02CC, 13}, {558, 0x02DA, 183},
    {741, 0x03A2, 1}, {742, 0x03AA, 7}, {749, 0x03C2, 1}, {750, 0x03CA, 55}, {805, 0x0402, 14},
    {819, 0x0450, 1}, {820, 0x0452, 6637}, {7457, 0xE7C7, 1}, {7458, 0x1E40, 464}, {7922, 0x2011, 2},
    {7924, 0x2017, 1}, {7925, 0x201A, 2}, {7927, 0x201E, 7}, {7934, 0x2027, 9}, {7943, 0x2031, 1},
    {7944, 0x2034, 1}, {7945, 0x2036, 5}, {7950, 0x203C, 112}, {8062, 0x20AD, 86}, {8148, 0x2104, 1},
    {8149, 0x2106, 3}, {8152, 0x210A, 12}, {8164, 0x2117, 10}, {8174, 0x2122, 62}, {8236, 0x216C, 4},
    {8240, 0x217A, 22}, {8262, 0x2194, 2}, {8264, 0x219A, 110}, {8374, 0x2209, 6}, {8380, 0x2210, 1},
    {8381, 0x2212, 3}, {8384, 0x2216, 4}, {8388, 0x221B, 2}, {8390, 0x2221, 2}, {8392, 0x2224, 1},
    {8393, 0x2226, 1}, {8394, 0x222C, 2}, {8396, 0x222F, 5}, {8401, 0x2238, 5}, {8406, 0x223E, 10},
    {8416, 0x2249, 3}, {8419, 0x224D, 5}, {8424, 0x2253, 13}, {8437, 0x2262, 2}, {8439, 0x2268, 6},
    {8445, 0x2270, 37}, {8482, 0x2296, 3}, {8485, 0x229A, 11}, {8496, 0x22A6, 25}, {8521, 0x22C0, 82},
    {8603, 0x2313, 333}, {8936, 0x246A, 10}, {8946, 0x249C, 100}, {9046, 0x254C, 4}, {9050, 0x2574, 13},
    {9063, 0x2590, 3}, {9066, 0x2596, 10}, {9076, 0x25A2, 16}, {9092, 0x25B4, 8}, {9100, 0x25BE, 8},
    {9108, 0x25C8, 3}, {9111, 0x25CC, 2}, {9113, 0x25D0, 18}, {9131, 0x25E6, 31}, {9162, 0x2607, 2},
    {9164, 0x260A, 54}, {9218, 0x2641, 1}, {9219, 0x2643, 2110}, {11329, 0x2E82, 2}, {11331, 0x2E85, 3},
    {11334, 0x2E89, 2}, {11336, 0x2E8D, 10}, {11346, 0x2E98, 15}, {11361, 0x2EA8, 2}, {11363, 0x2EAB, 3},
    {11366, 0x2EAF, 4}, {11370, 0x2EB4, 2}, {11372, 0x2EB8, 3}, {11375, 0x2EBC, 14}, {11389, 0x2ECB, 293},
    {11682, 0x2FFC, 4}, {11686, 0x3004, 1}, {11687, 0x3018, 5}, {11692, 0x301F, 2}, {11694, 0x302A, 20},
    {11714, 0x303F, 2}, {11716, 0x3094, 7}, {11723, 0x309F, 2}, {11725, 0x30F7, 5}, {11730, 0x30FF, 6},
    {11736, 0x312A, 246}, {11982, 0x322A, 7}, {11989, 0x3232, 113}, {12102, 0x32A4, 234}, {12336, 0x3390, 12},
    {12348, 0x339F, 2}, {12350, 0x33A2, 34}, {12384, 0x33C5, 9}, {12393, 0x33CF, 2}, {12395, 0x33D3, 2},
    {12397, 0x33D6, 113}, {12510, 0x3448, 43}, {12553, 0x3474, 298}, {12851, 0x359F, 111}, {12962, 0x360F, 11},
    {12973, 0x361B, 765}, {13738, 0x3919, 85}, {13823, 0x396F, 96}, {13919, 0x39D1, 14}, {13933, 0x39E0, 147},
    {14080, 0x3A74, 218}, {14298, 0x3B4F, 287}, {14585, 0x3C6F, 113}, {14698, 0x3CE1, 885}, {15583, 0x4057, 264},
    {15847, 0x4160, 471}, {16318, 0x4338, 116}, {16434, 0x43AD, 4}, {16438, 0x43B2, 43}, {16481, 0x43DE, 248},
    {16729, 0x44D7, 373}, {17102, 0x464D, 20}, {17122, 0x4662, 193}, {17315, 0x4724, 5}, {17320, 0x472A, 82},
    {17402, 0x477D, 16}, {17418, 0x478E, 441}, {17859, 0x4948, 50}, {17909, 0x497B, 2}, {17911, 0x497E, 4},
    {17915, 0x4984, 1}, {17916, 0x4987, 20}, {17936, 0x499C, 3}, {17939, 0x49A0, 22}, {17961, 0x49B8, 703},
    {18664, 0x4C78, 39}, {18703, 0x4CA4, 111}, {18814, 0x4D1A, 148}, {18962, 0x4DAF, 81}, {19043, 0x9FA6, 14},
    {19065, 0x9FBC, 14404}, {33469, 0xE76C, 1}, {33470, 0xE7C8, 1}, {33471, 0xE7E7, 13}, {33484, 0xE815, 1},
    {33485, 0xE819, 5}, {33490, 0xE81F, 7}, {33497, 0xE827, 4}, {33501, 0xE82D, 4}, {33505, 0xE833, 8},
    {33513, 0xE83C, 7}, {33520, 0xE844, 16}, {33536, 0xE856, 14}, {33550, 0xE865, 4295}, {37845, 0xF92D, 76},
    {37921, 0xF97A, 27}, {37948, 0xF996, 81}, {38029, 0xF9E8, 9}, {38038, 0xF9F2, 26}, {38064, 0xFA10, 1},
    {38065, 0xFA12, 1}, {38066, 0xFA15, 3}, {38069, 0xFA19, 6}, {38075, 0xFA22, 1}, {38076, 0xFA25, 2},
    {38078, 0xFA2A, 998}, {39086, 0xFE1A, 22}, {39108, 0xFE32, 1}, {39109, 0xFE45, 4}, {39113, 0xFE53, 1},
    {39114, 0xFE58, 1}, {39115, 0xFE67, 1}, {39116, 0xFE6C, 149}, {39265, 0xFF5F, 129}, {39394, 0xFFE6, 26},
};

// The code point of one GB18030 four-byte sequence, 0 when it stands for none.
char32_t Gb18030FourByte(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3) {
    const std::uint32_t linear = ((std::uint32_t(b0 - 0x81) * 10 + (b1 - 0x30)) * 126 + (b2 - 0x81)) * 10 + (b3 - 0x30);
    constexpr std::uint32_t kSupplementary = 189000;  // 0x90308130, the first beyond the basic plane
    if (linear >= kSupplementary) {
        const std::uint32_t cp = 0x10000 + (linear - kSupplementary);
        return cp <= 0x10FFFF ? cp : 0;
    }
    const auto* end = std::end(kGb18030Ranges);
    const auto* it = std::upper_bound(std::begin(kGb18030Ranges), end, linear,
                                      [](std::uint32_t v, const GbRange& r) { return v < r.Linear; });
    if (it == std::begin(kGb18030Ranges)) return 0;
    --it;
    return linear < it->Linear + it->Length ? char32_t(it->CodePoint + (linear - it->Linear)) : 0;
}

bool IsGbFourByteStart(std::string_view bytes, size_t i) {
    if (i + 3 >= bytes.size()) return false;
    const auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    return at(0) >= 0x81 && at(0) <= 0xFE && at(1) >= 0x30 && at(1) <= 0x39 && at(2) >= 0x81 && at(2) <= 0xFE &&
           at(3) >= 0x30 && at(3) <= 0x39;
}

// Two-byte codes GB18030 gives letters that code page 936 leaves unmapped or private.
struct GbTwoByte {
    std::uint16_t Code;
    char32_t CodePoint;
};
constexpr GbTwoByte kGb18030TwoByte[] = {
    {0xA2E3, 0x20AC}, {0xA6D9, 0xFE10}, {0xA6DA, 0xFE12}, {0xA6DB, 0xFE11}, {0xA6DC, 0xFE13}, {0xA6DD, 0xFE14}, {0xA6DE, 0xFE15},
    {0xA6DF, 0xFE16}, {0xA6EC, 0xFE17}, {0xA6ED, 0xFE18}, {0xA6F3, 0xFE19}, {0xA8BC, 0x1E3F}, {0xA8BF, 0x01F9}, {0xA989, 0x303E},
    {0xA98A, 0x2FF0}, {0xA98B, 0x2FF1}, {0xA98C, 0x2FF2}, {0xA98D, 0x2FF3}, {0xA98E, 0x2FF4}, {0xA98F, 0x2FF5}, {0xA990, 0x2FF6},
    {0xA991, 0x2FF7}, {0xA992, 0x2FF8}, {0xA993, 0x2FF9}, {0xA994, 0x2FFA}, {0xA995, 0x2FFB}, {0xFE50, 0x2E81}, {0xFE51, 0x20087},
    {0xFE52, 0x20089}, {0xFE53, 0x200CC}, {0xFE54, 0x2E84}, {0xFE55, 0x3473}, {0xFE56, 0x3447}, {0xFE57, 0x2E88}, {0xFE58, 0x2E8B},
    {0xFE59, 0x9FB4}, {0xFE5A, 0x359E}, {0xFE5B, 0x361A}, {0xFE5C, 0x360E}, {0xFE5D, 0x2E8C}, {0xFE5E, 0x2E97}, {0xFE5F, 0x396E},
    {0xFE60, 0x3918}, {0xFE61, 0x9FB5}, {0xFE62, 0x39CF}, {0xFE63, 0x39DF}, {0xFE64, 0x3A73}, {0xFE65, 0x39D0}, {0xFE66, 0x9FB6},
    {0xFE67, 0x9FB7}, {0xFE68, 0x3B4E}, {0xFE69, 0x3C6E}, {0xFE6A, 0x3CE0}, {0xFE6B, 0x2EA7}, {0xFE6C, 0x215D7}, {0xFE6D, 0x9FB8},
    {0xFE6E, 0x2EAA}, {0xFE6F, 0x4056}, {0xFE70, 0x415F}, {0xFE71, 0x2EAE}, {0xFE72, 0x4337}, {0xFE73, 0x2EB3}, {0xFE74, 0x2EB6},
    {0xFE75, 0x2EB7}, {0xFE76, 0x2298F}, {0xFE77, 0x43B1}, {0xFE78, 0x43AC}, {0xFE79, 0x2EBB}, {0xFE7A, 0x43DD}, {0xFE7B, 0x44D6},
    {0xFE7C, 0x4661}, {0xFE7D, 0x464C}, {0xFE7E, 0x9FB9}, {0xFE80, 0x4723}, {0xFE81, 0x4729}, {0xFE82, 0x477C}, {0xFE83, 0x478D},
    {0xFE84, 0x2ECA}, {0xFE85, 0x4947}, {0xFE86, 0x497A}, {0xFE87, 0x497D}, {0xFE88, 0x4982}, {0xFE89, 0x4983}, {0xFE8A, 0x4985},
    {0xFE8B, 0x4986}, {0xFE8C, 0x499F}, {0xFE8D, 0x499B}, {0xFE8E, 0x49B7}, {0xFE8F, 0x49B6}, {0xFE90, 0x9FBA}, {0xFE91, 0x241FE},
    {0xFE92, 0x4CA3}, {0xFE93, 0x4C9F}, {0xFE94, 0x4CA0}, {0xFE95, 0x4CA1}, {0xFE96, 0x4C77}, {0xFE97, 0x4CA2}, {0xFE98, 0x4D13},
    {0xFE99, 0x4D14}, {0xFE9A, 0x4D15}, {0xFE9B, 0x4D16}, {0xFE9C, 0x4D17}, {0xFE9D, 0x4D18}, {0xFE9E, 0x4D19}, {0xFE9F, 0x4DAE},
    {0xFEA0, 0x9FBB},
};

char32_t Gb18030TwoByte(unsigned char b0, unsigned char b1) {
    const auto code = static_cast<std::uint16_t>((b0 << 8) | b1);
    const auto* end = std::end(kGb18030TwoByte);
    const auto* it = std::lower_bound(std::begin(kGb18030TwoByte), end, code,
                                      [](const GbTwoByte& e, std::uint16_t v) { return e.Code < v; });
    return it != end && it->Code == code ? it->CodePoint : 0;
}

// GB18030: the one- and two-byte characters are GBK's, decoded by the system in runs, except
// the few GB18030 assigns otherwise; the four-byte ones are decoded here (Wine has no 54936).
std::u16string DecodeGb18030(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    size_t runStart = 0, i = 0;
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const auto takeOwn = [&](char32_t cp, size_t length) {
        out += DecodeBySystem(bytes.substr(runStart, i - runStart), 936);
        if (cp) AppendUtf16(out, cp);
        else out.push_back(kReplacement);
        i += length;
        runStart = i;
    };
    while (i < bytes.size()) {
        const unsigned char b = byte(i);
        if (IsGbFourByteStart(bytes, i)) {
            takeOwn(Gb18030FourByte(b, byte(i + 1), byte(i + 2), byte(i + 3)), 4);
        } else if (b == 0x80 || b == 0xFF) {
            takeOwn(0, 1);  // 936 reads 0x80 as the euro sign; GB18030 has no such byte
        } else if (b >= 0x81 && i + 1 < bytes.size()) {
            if (const char32_t cp = Gb18030TwoByte(b, byte(i + 1))) takeOwn(cp, 2);
            else i += 2;  // skip the whole pair, so its trail byte is never taken for a lead
        } else {
            ++i;
        }
    }
    out += DecodeBySystem(bytes.substr(runStart), 936);
    return out;
}

}  // namespace

int CodePageOfCharsetName(std::string_view name) {
    const std::string canonical = CanonicalName(name);
    if (canonical.empty()) return 0;
    for (const NamedCodePage& entry : kNames)
        if (entry.Name == canonical) return entry.CodePage;
    return 0;
}

bool IsAsciiCompatibleCodePage(int codePage) {
    return codePage != kCodePageUtf16 && codePage != kCodePageUtf16LE && codePage != kCodePageUtf16BE;
}

bool CodePageAvailable(int codePage) {
    switch (codePage) {
        case kCodePageUtf8: case kCodePageUtf16: case kCodePageUtf16LE: case kCodePageUtf16BE: case 1252:
        case kCodePageIso8859_10: case kCodePageIso8859_14: case kCodePageIso8859_16:
            return true;
        case kCodePageIso2022Jp: return TSystemCodePage(20932).Known();
        case kCodePageGb18030: return TSystemCodePage(936).Known();
        default: return codePage > 0 && TSystemCodePage(codePage).Known();
    }
}

std::u16string DecodeCodePage(std::string_view bytes, int codePage) {
    if (const auto* table = OwnTable(codePage)) return DecodeOwnTable(bytes, *table);
    switch (codePage) {
        case 1252: return Windows1252ToUtf16(bytes);
        case kCodePageUtf8: return Utf8ToUtf16(bytes);
        case kCodePageIso2022Jp: return DecodeBySystem(Iso2022JpAsEucJp(bytes), 20932);
        case kCodePageGb18030: return DecodeGb18030(bytes);
        case 1255: return DecodeBySystemPerByte(bytes, codePage);
        case 1258: {
            std::u16string text = DecodeBySystem(bytes, codePage);
            ComposeDecodedText(text);
            return text;
        }
        default: return DecodeBySystem(bytes, codePage);
    }
}

}  // namespace tw
