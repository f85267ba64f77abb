#include "rss/FeedText.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

// Every expectation is written as the UTF-8 it must come back as.
std::string Decoded(std::string_view bytes) { return Utf16ToUtf8(DecodeFeedText(bytes)); }

struct DecodeCase {
    const char* what;
    std::string bytes;
    std::string expected;  // UTF-8
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.what; }

class FeedTextDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(FeedTextDecode, GivesTheLettersThePublisherMeant) {
    EXPECT_EQ(Decoded(GetParam().bytes), GetParam().expected) << GetParam().what;
    EXPECT_EQ(DecodeFeedTextToUtf8(GetParam().bytes), GetParam().expected) << GetParam().what << " (to UTF-8)";
}

const std::string kDeclUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const std::string kDeclLatin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";

INSTANTIATE_TEST_SUITE_P(
    Table, FeedTextDecode,
    ::testing::Values(
        DecodeCase{"undeclared UTF-8", "<t>Caf\xC3\xA9 \xE2\x80\x94 na\xC3\xAFve</t>", "<t>Café — naïve</t>"},
        DecodeCase{"declared UTF-8", kDeclUtf8 + "<t>\xD0\x9C\xD0\xB8\xD1\x80</t>", kDeclUtf8 + "<t>Мир</t>"},
        DecodeCase{"UTF-8 mark is dropped", "\xEF\xBB\xBF<t>\xC3\xBC</t>", "<t>ü</t>"},
        DecodeCase{"UTF-8 beyond the basic plane", "<t>\xF0\x9F\x93\xB0</t>", "<t>\xF0\x9F\x93\xB0</t>"},
        DecodeCase{"undeclared, not UTF-8: whole text as Windows-1252",
                   "<t>caf\xE9 \x93quoted\x94 \x80 5</t>", "<t>café “quoted” € 5</t>"},
        DecodeCase{"declared Latin-1 with 1252 quotes", kDeclLatin1 + "<t>\xAB\xE0 \x91la\x92 \xBB</t>",
                   kDeclLatin1 + "<t>«à ‘la’ »</t>"},
        DecodeCase{"declared Latin-1 outranks bytes that look like UTF-8", kDeclLatin1 + "<t>\xC3\xA9</t>",
                   kDeclLatin1 + "<t>Ã©</t>"},
        DecodeCase{"declared windows-1252", "<?xml version='1.0' encoding='windows-1252'?><t>\x96\x85</t>",
                   "<?xml version='1.0' encoding='windows-1252'?><t>–…</t>"},
        DecodeCase{"declared US-ASCII with a stray high byte", "<?xml version=\"1.0\" encoding=\"us-ascii\"?><t>\xE9</t>",
                   "<?xml version=\"1.0\" encoding=\"us-ascii\"?><t>é</t>"},
        DecodeCase{"declared ISO-8859-15 euro", "<?xml version=\"1.0\" encoding=\"iso-8859-15\"?><t>\xA4\xBD</t>",
                   "<?xml version=\"1.0\" encoding=\"iso-8859-15\"?><t>€œ</t>"},
        DecodeCase{"declared windows-1251", "<?xml version=\"1.0\" encoding=\"windows-1251\"?><t>\xCF\xF0\xE8\xE2\xE5\xF2 \xA8\xB8</t>",
                   "<?xml version=\"1.0\" encoding=\"windows-1251\"?><t>Привет Ёё</t>"},
        DecodeCase{"declared UTF-8 with one stray Latin-1 byte keeps both",
                   kDeclUtf8 + "<t>\xC3\xA9t\xE9</t>", kDeclUtf8 + "<t>été</t>"},
        DecodeCase{"unknown encoding, valid UTF-8", "<?xml version=\"1.0\" encoding=\"x-martian\"?><t>\xC3\xA5</t>",
                   "<?xml version=\"1.0\" encoding=\"x-martian\"?><t>å</t>"},
        DecodeCase{"unknown encoding, not UTF-8", "<?xml version=\"1.0\" encoding=\"x-venusian\"?><t>\xE5</t>",
                   "<?xml version=\"1.0\" encoding=\"x-venusian\"?><t>å</t>"},
        DecodeCase{"UTF-16 declared on ASCII bytes is not believed",
                   "<?xml version=\"1.0\" encoding=\"utf-16\"?><t>\xC3\xA9</t>",
                   "<?xml version=\"1.0\" encoding=\"utf-16\"?><t>é</t>"},
        DecodeCase{"UTF-16LE with mark", std::string("\xFF\xFE<\0t\0>\0\xE9\0\x14\x20<\0/\0t\0>\0", 20), "<t>é—</t>"},
        DecodeCase{"UTF-16BE with mark", std::string("\xFE\xFF\0<\0t\0>\x04\x1F\0<\0/\0t\0>", 18), "<t>П</t>"},
        DecodeCase{"UTF-16LE without mark", std::string("<\0a\0/\0>\0", 8), "<a/>"},
        DecodeCase{"UTF-16BE without mark", std::string("\0<\0a\0/\0>", 8), "<a/>"},
        DecodeCase{"UTF-16 with an odd last byte", std::string("\xFF\xFEx\0y", 5), "x\xEF\xBF\xBD"},
        DecodeCase{"surrogate pair in UTF-16LE", std::string("\xFF\xFE\x3D\xD8\x00\xDC", 6), "\xF0\x9F\x90\x80"},
        DecodeCase{"empty text", "", ""},
        DecodeCase{"mark only", "\xEF\xBB\xBF", ""}));

struct ValidityCase {
    const char* what;
    std::string bytes;
    bool valid;
};

TEST(FeedTextUtf8, RejectsEveryMalformedShape) {
    const ValidityCase cases[] = {
        {"ASCII", "plain", true},
        {"two-byte letter", "\xC3\xA9", true},
        {"four-byte letter", "\xF0\x9F\x98\x80", true},
        {"highest code point", "\xF4\x8F\xBF\xBF", true},
        {"lone continuation", "\x80", false},
        {"overlong slash", "\xC0\xAF", false},
        {"overlong three-byte", "\xE0\x80\xAF", false},
        {"surrogate half", "\xED\xA0\x80", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false},
        {"cut short at the end", "ab\xE2\x82", false},
        {"lead byte then ASCII", "\xC3(", false},
        {"F5 lead", "\xF5\x80\x80\x80", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.what;
}

TEST(FeedTextUtf8, MalformedBytesBecomeReplacementCharacters) {
    EXPECT_EQ(Utf8ToUtf16("a\xC3(b"), u"a\uFFFD(b");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
}

TEST(FeedTextUtf8, UnpairedSurrogatesNarrowToReplacement) {
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(Utf16ToUtf8(lone), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(FeedTextUtf8, RoundTripsEveryPlane) {
    const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5\xEF\xBF\xBD";
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
}

TEST(FeedTextDeclaration, ReadsTheEncodingAsWritten) {
    const struct {
        std::string bytes;
        std::string name;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"Utf-8\"?><rss/>", "Utf-8"},
        {"<?xml version='1.0' encoding='ISO-8859-1' standalone='yes'?>", "ISO-8859-1"},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>", "utf-8"},
        {"\r\n  <?xml version = \"1.0\"  encoding = \"windows-1252\" ?>", "windows-1252"},
        {"<?xml version=\"1.0\"?><rss encoding=\"no\"/>", ""},
        {"<rss/>", ""},
        {"<?xml version=\"1.0\" encoding=\"utf-8", ""},
        {"<?xml version=1.0 encoding=\"utf-8\"?>", ""},
        {"<?xml", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(DeclaredEncodingOf(c.bytes), c.name) << c.bytes;
}

TEST(FeedTextChoice, ReportsWhatDecided) {
    const auto bom = ChooseFeedCharset("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>");
    EXPECT_TRUE(bom.FromByteOrderMark);
    EXPECT_EQ(bom.MarkLength, 3u);
    EXPECT_EQ(bom.Charset, TFeedCharset::fcUtf8) << "the mark outranks the declaration";
    EXPECT_EQ(bom.DeclaredName, "iso-8859-1");

    const auto declared = ChooseFeedCharset("<?xml version=\"1.0\" encoding=\"latin1\"?>");
    EXPECT_TRUE(declared.Declared);
    EXPECT_EQ(declared.Charset, TFeedCharset::fcWindows1252);

    const auto guessed = ChooseFeedCharset("<rss>\xE9</rss>");
    EXPECT_FALSE(guessed.Declared);
    EXPECT_FALSE(guessed.FromByteOrderMark);
    EXPECT_EQ(guessed.Charset, TFeedCharset::fcWindows1252);

    // Unchecked, only what nothing named is taken as UTF-8 unseen.
    const auto unchecked = ChooseFeedCharset("<rss>\xE9</rss>", {}, false);
    EXPECT_TRUE(unchecked.Unchecked);
    EXPECT_EQ(unchecked.Charset, TFeedCharset::fcUtf8);
    const auto stillDeclared = ChooseFeedCharset("<?xml version=\"1.0\" encoding=\"latin1\"?><rss/>", {}, false);
    EXPECT_FALSE(stillDeclared.Unchecked);
    EXPECT_EQ(stillDeclared.Charset, TFeedCharset::fcWindows1252);
}

TEST(FeedTextSingleByte, EveryByteMapsToOneCharacter) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (auto cs : {TFeedCharset::fcWindows1252, TFeedCharset::fcIso8859_15, TFeedCharset::fcWindows1251}) {
        const std::u16string text = DecodeAs(all, cs);
        ASSERT_EQ(text.size(), 256u);
        for (int b = 0; b < 0x80; ++b) EXPECT_EQ(text[b], char16_t(b));
    }
}

}  // namespace
}  // namespace tw
