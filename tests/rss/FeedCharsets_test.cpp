// One document per charset (tests/data/rss/charsets, made by tools/make_charset_feeds.py), its
// item title and link compared letter for letter in both builds: through the feed component, and
// through DecodeFeedTextToUtf8 with the charset a server might send beside it.
#include "rss/FeedText.h"
#include "rss/pkRSSFeed.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

struct CharsetRow {
    const char* file;       // tests/data/rss/charsets/<file>.xml
    std::string transport;  // the Content-Type charset sent with it, "" for none
    const char* title;      // UTF-8
    const char* linkPath;   // after "http://example.org/news/"
};

const CharsetRow kRows[] = {
    {"iso-8859-1", "", "Café à la crème", "crème"},
    {"iso-8859-2", "", "Zażółć gęślą jaźń", "jaźń"},
    {"iso-8859-3", "", "Ħal Għargħur u ċ ġ ż", "Għargħur"},
    {"iso-8859-4", "", "Ķēniņš ŗ ū ų ģ", "Ķēniņš"},
    {"iso-8859-5", "", "Привет, мир", "мир"},
    {"iso-8859-6", "", "مرحبا بالعالم", "العالم"},
    {"iso-8859-7", "", "Καλημέρα κόσμε", "κόσμε"},
    {"iso-8859-8", "", "שלום עולם", "עולם"},
    {"iso-8859-9", "", "Günaydın İstanbul şğ", "İstanbul"},
    {"iso-8859-10", "", "Sámi ŋ ŧ đ Þórður ĸ", "Þórður"},
    {"iso-8859-11", "", "สวัสดีชาวโลก", "สวัสดี"},
    {"iso-8859-13", "", "Labas rytas ąčęėįšųūž", "ąčęėįšųūž"},
    {"iso-8859-14", "", "Ŵyl Ddewi ŷ ẃ ṫ ḃ", "Ŵyl"},
    {"iso-8859-15", "", "Œuvre à 5 € ŠŽ", "Œuvre"},
    {"iso-8859-16", "", "Știri din România ț ș", "Știri"},
    {"windows-1250", "", "Příliš žluťoučký kůň", "kůň"},
    {"windows-1251", "", "Добро пожаловать", "пожаловать"},
    {"windows-1252", "", "“Smart” quotes — café", "café"},
    {"windows-1253", "", "Ελληνικά νέα", "νέα"},
    {"windows-1254", "", "Türkçe haberler ğış", "ğış"},
    {"windows-1255", "", "חדשות היום", "היום"},
    {"windows-1256", "", "أخبار اليوم", "اليوم"},
    {"windows-1257", "", "Ziņas šodien ūž", "Ziņas"},
    {"windows-1258", "", "Đường phố Sài Gòn ơ ư ă", "Đường"},
    {"koi8-r", "", "Новости дня", "Новости"},
    {"koi8-u", "", "Новини України ґєії", "України"},
    {"shift_jis", "", "日本語のニュース", "ニュース"},
    {"x-sjis", "", "速報：東京ｶﾀｶﾅ", "東京"},
    {"euc-jp", "", "今日の天気は晴れ", "天気"},
    {"iso-2022-jp", "", "東京ニュース速報", "速報"},
    {"euc-kr", "", "한국어 뉴스", "뉴스"},
    {"ks_c_5601-1987", "", "오늘의 뉴스 똠방각하", "똠방각하"},
    {"gb2312", "", "中文新闻", "新闻"},
    {"gbk", "", "中文新聞 镕", "新聞"},
    {"gb18030", "", "中文 𠀀 ᠮᠣᠩᠭᠣᠯ €", "ᠮᠣᠩᠭᠣᠯ"},
    {"big5", "", "中文新聞", "新聞"},
    {"utf-16le-bom", "", "Ελληνικά 日本語 😀", "日本語"},
    {"utf-16be", "", "Ελληνικά 日本語 😀", "日本語"},
    // Which word counts: the byte-order mark, then the server, then the declaration.
    {"euc-kr-undeclared", "euc-kr", "서울 소식", "소식"},
    {"euc-kr-undeclared", " \"EUC-KR\" ", "서울 소식", "소식"},
    {"windows-1251", "koi8-r", "дНАПН ОНФЮКНБЮРЭ", "ОНФЮКНБЮРЭ"},
    {"utf-16le-bom", "utf-16be", "Ελληνικά 日本語 😀", "日本語"},
    {"utf-16be", "iso-8859-1", "Ελληνικά 日本語 😀", "日本語"},
    {"euc-kr", "utf-16", "한국어 뉴스", "뉴스"},
    {"euc-kr", "x-unheard-of", "한국어 뉴스", "뉴스"},
    {"euc-kr", std::string(10000, 'k'), "한국어 뉴스", "뉴스"},
    {"euc-kr", std::string("euc-kr\0x", 8), "한국어 뉴스", "뉴스"},
};

// The first item's title and link in decoded UTF-8 text, as the documents are written.
std::pair<std::string, std::string> FirstItem(const std::string& text) {
    const auto between = [&](const std::string& open, const std::string& close, size_t from) {
        const size_t start = text.find(open, from);
        if (start == std::string::npos) return std::string();
        const size_t end = text.find(close, start + open.size());
        return end == std::string::npos ? std::string() : text.substr(start + open.size(), end - start - open.size());
    };
    const size_t item = text.find("<item>");
    if (item == std::string::npos) return {};
    return {between("<title>", "</title>", item), between("<link>", "</link>", item)};
}

TEST(FeedCharsets, EveryDocumentReadsLetterForLetter) {
    for (const CharsetRow& row : kRows) {
        SCOPED_TRACE(std::string(row.file) + " sent as \"" + row.transport.substr(0, 20) + "\"");
        const std::string bytes = test::ReadDataFile(std::string("rss/charsets/") + row.file + ".xml");
        ASSERT_FALSE(bytes.empty());
        const std::string link = std::string("http://example.org/news/") + row.linkPath;
        EXPECT_EQ(FirstItem(DecodeFeedTextToUtf8(bytes, row.transport)), std::make_pair(std::string(row.title), link));
        EXPECT_EQ(Utf16ToUtf8(DecodeFeedText(bytes, row.transport)), DecodeFeedTextToUtf8(bytes, row.transport));
        if (!row.transport.empty()) continue;
        TpkRSSFeed feed;
        ASSERT_TRUE(feed.LoadFromString(bytes));
        ASSERT_EQ(feed.FeedItems().Count(), 1);
        EXPECT_EQ(feed.FeedItems().Items(0)->Title, row.title);
        EXPECT_EQ(feed.FeedItems().Items(0)->Link, link);
        EXPECT_EQ(feed.FeedElements().Title, row.title);
    }
}

TEST(FeedCharsets, InvalidAndDisputedBytesReadAlikeInBothBuilds) {
    const auto declared = [](const char* name, const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"" + std::string(name) + "\"?><t>" + body + "</t>";
    };
    const struct {
        const char* what;
        std::string bytes;
        std::string text;  // UTF-8 between <t> and </t>
    } cases[] = {
        {"EUC-KR lead byte before a space", declared("euc-kr", "\xC7\xD1\xB1 \xB1\xDB"), "한\xEF\xBF\xBD 글"},
        {"EUC-KR lead byte cut off by the markup", declared("euc-kr", "\xC7\xD1\xB1"), "한\xEF\xBF\xBD"},
        {"Shift_JIS byte no character starts with", declared("shift_jis", "\xA0\x82\xA0"), "\xEF\xBF\xBDあ"},
        {"Big5 pair with a bad trail byte", declared("big5", "\xA4\xA4\xA4\x20\xA4\xE5"), "中\xEF\xBF\xBD 文"},
        {"GB18030 four bytes standing for nothing", declared("gb18030", "\xD6\xD0\x84\x31\xA5\x30\xD6\xD0"),
         "中\xEF\xBF\xBD中"},
        {"ISO-2022-JP escape nobody knows", declared("iso-2022-jp", "\x1B$B$3\x1B(B\x1B(Zok"), "こ\xEF\xBF\xBD(Zok"},
        {"ISO-2022-JP byte with the high bit", declared("iso-2022-jp", "a\xE9z"), "a\xEF\xBF\xBDz"},
        {"ISO-8859-6 unassigned byte", declared("iso-8859-6", "\xC7\xA1"), "ا\xEF\xBF\xBD"},
        // Where Windows and glibc read alike only by our doing.
        {"Big5 user-defined row (private use under Windows)", declared("big5", "\x81\x40\xA4\xA4"), "\xC2\x81@中"},
        {"Shift_JIS 0x80 is the control of its number", declared("shift_jis", "\x80\x82\xA0"), "\xC2\x80あ"},
        {"EUC-JP JIS X 0212 letter and half-width kana", declared("euc-jp", "\x8F\xB0\xA1\x8E\xB1"), "丂ｱ"},
        {"EUC-JP pair with a low second byte", declared("euc-jp", "\xA2\x30"), "\xEF\xBF\xBD" "0"},
        {"KOI8-U short u", declared("koi8-u", "\xAE\xBE"), "ўЎ"},
        {"ISO-8859-7:2003 quotes and euro", declared("iso-8859-7", "\xA1\xA4\xA2"), "‘€’"},
        {"Windows-1255 holam haser", declared("windows-1255", "\xE5\xCA"), "\xD7\x95\xD6\xBA"},
        {"Windows-1255 shin and its dot stay two letters", declared("windows-1255", "\xF9\xD1"), "\xD7\xA9\xD7\x81"},
    };
    for (const auto& c : cases) {
        const std::string text = DecodeFeedTextToUtf8(c.bytes);
        const size_t open = text.find("<t>"), close = text.rfind("</t>");
        ASSERT_TRUE(open != std::string::npos && close != std::string::npos) << c.what;
        EXPECT_EQ(text.substr(open + 3, close - open - 3), c.text) << c.what;
    }
}

TEST(FeedCharsets, NamesAndAliasesMapToTheirCodePages) {
    const struct {
        std::string name;
        int codePage;
    } cases[] = {
        {"latin1", 1252}, {"L1", 1252}, {"CP1252", 1252}, {" 'US-ASCII' ", 1252},
        {"x-sjis", 932}, {"MS_Kanji", 932}, {"csShiftJIS", 932}, {"Windows-31J", 932},
        {"x-euc-jp", 20932}, {"ks_c_5601-1987", 949}, {"EUC-KR", 949}, {"cp949", 949},
        {"GB_2312-80", 936}, {"x-gbk", 936}, {"gb18030", 54936}, {"Big5-HKSCS", 950},
        {"KOI8-U", 21866}, {"ISO_8859-5:1988", 28595}, {"iso-8859-8-i", 28598}, {"TIS-620", 874},
        {"ISO-8859-16", kCodePageIso8859_16}, {"csISO2022JP", kCodePageIso2022Jp},
        {"UTF-16LE", kCodePageUtf16LE}, {"utf-16", kCodePageUtf16}, {"\"utf-8\"", kCodePageUtf8},
        {"", 0}, {"x-martian", 0}, {"iso-8859-12", 0}, {std::string(10000, 'a'), 0},
        {std::string("utf-8\0", 6), 0}, {"utf\xC3\xA9-8", 0}, {"windows-1252" + std::string(60, ' ') + "x", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(CodePageOfCharsetName(c.name), c.codePage) << c.name.substr(0, 40);
}

TEST(FeedCharsets, ContentTypeCharsetCountsForTextAndXmlOnly) {
    const struct {
        const char* contentType;
        const char* charset;
    } cases[] = {
        {"text/xml; charset=EUC-KR", "EUC-KR"},
        {"application/rss+xml;charset=\"koi8-r\"", "koi8-r"},
        {"Application/XML; q=1; Charset = big5 ", "big5"},
        {"text/html", ""},
        {"application/octet-stream; charset=euc-kr", ""},
        {"application/json; charset=utf-8", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(CharsetOfContentType(c.contentType), c.charset) << c.contentType;
}

}  // namespace
}  // namespace tw
