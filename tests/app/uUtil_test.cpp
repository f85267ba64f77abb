#include "app/uUtil.h"
#include "base/TextConvert.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace tw {
namespace {

struct StripCase {
    const char* input;
    const char* expected;
};

class StripMarkupTable : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripMarkupTable, GivesExpectedText) {
    EXPECT_EQ(StripMarkup(GetParam().input), GetParam().expected) << "input: " << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(
    Tags, StripMarkupTable,
    ::testing::Values(
        StripCase{"plain text", "plain text"},
        StripCase{"", ""},
        StripCase{"<p>para", "para"},
        StripCase{"a</p>b", "a\r\nb"},
        StripCase{"a</P>b", "a\r\nb"},
        StripCase{"a<br>b", "a\r\nb"},
        StripCase{"a<br/>b", "a\r\nb"},
        StripCase{"a<BR />b", "a\r\nb"},
        StripCase{"a<hr/>b", "a\r\nb"},
        StripCase{"a<HR />b", "a\r\nb"},
        StripCase{"a<hr>b", "ab"},  // only the self-closed rule counts for hr
        StripCase{"<b>bold</b> text", "bold text"},
        StripCase{"<a href=\"http://x/\">link</a>", "link"},
        StripCase{"Line one<br>Line two</p>", "Line one\r\nLine two\r\n"},
        StripCase{"<<b>>", ">"},
        StripCase{"<>x", "x"}));

INSTANTIATE_TEST_SUITE_P(
    Bars, StripMarkupTable,
    ::testing::Values(
        StripCase{"a|b|c", "a\r\nb|c"},
        StripCase{"<i|x>a|b", "a|b"},  // the first bar went with its tag
        StripCase{"a|b>c|d<x>e|f", "a\r\nb>c\r\nde|f"},
        StripCase{"a>b|c", "a>b\r\nc"},
        StripCase{"a>b|c|d<e>", "a>b\r\nc\r\nd"}));  // the whole text's bar, then the rest's

INSTANTIATE_TEST_SUITE_P(
    StrayAndUnclosed, StripMarkupTable,
    ::testing::Values(
        StripCase{"1 > 0 <b>yes</b>", "1 > 0 yes"},
        StripCase{"a>b>c<br>d", "a>b>c\r\nd"},
        StripCase{"x < y", "x < y"},                 // never closed: kept, and the call ends
        StripCase{"<b>bold</b> and < open", "bold and < open"},
        StripCase{"a<", "a<"},
        StripCase{"<", "<"},
        StripCase{"a>b<c", "a>b<c"},
        StripCase{"caf\xC3\xA9<br>ol\xC3\xA9", "caf\xC3\xA9\r\nol\xC3\xA9"}));

// The cleaning as the ticker's rule states it, step by step and in quadratic time: the first
// "|" of the text, then tag by tag, and a ">" before the first "<" splits off a rest that is
// cleaned from the start. An unclosed "<" keeps the rest, as StripMarkup chooses.
std::string StripMarkupByTheRule(std::string s) {
    if (size_t bar = s.find('|'); bar != std::string::npos) s.replace(bar, 1, "\r\n");
    for (;;) {
        const size_t p = s.find('<'), q = s.find('>');
        if (p == std::string::npos || q == std::string::npos) return s;
        if (q < p) return s.substr(0, q + 1) + StripMarkupByTheRule(s.substr(q + 1));
        std::string body = s.substr(p + 1, q - p - 1);
        for (char& c : body) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const bool lineBreak = body.starts_with("/P") || body.starts_with("HR/") || body.starts_with("HR /") ||
                               body.starts_with("BR");
        s.replace(p, q - p + 1, lineBreak ? "\r\n" : "");
    }
}

TEST(StripMarkup, AgreesWithTheRuleOnEveryShortText) {
    const std::string letters = "<>|bhr/p ";
    std::string text;
    int mismatches = 0;
    // Every text of up to six of these characters, as odometer readings.
    for (size_t length = 1; length <= 6; ++length) {
        std::vector<size_t> digit(length, 0);
        for (;;) {
            text.clear();
            for (size_t d : digit) text += letters[d];
            if (StripMarkup(text) != StripMarkupByTheRule(text) && ++mismatches <= 5)
                ADD_FAILURE() << '"' << text << "\" gives \"" << StripMarkup(text) << '"';
            size_t k = 0;
            while (k < length && ++digit[k] == letters.size()) digit[k++] = 0;
            if (k == length) break;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(StripMarkup, LongTextOfUnclosedBracketsEnds) {
    std::string text(200000, '<');
    EXPECT_EQ(StripMarkup(text), text);
    std::string mixed;
    for (int i = 0; i < 50000; ++i) mixed += "> <b>";
    EXPECT_EQ(StripMarkup(mixed).size(), 50000u * 2);
}

struct DecodeCase {
    const char16_t* input;
    const char16_t* expected;
};

class DecodeCharRefsTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeCharRefsTable, GivesExpectedText) {
    std::u16string got = DecodeCharRefs(GetParam().input);
    EXPECT_TRUE(got == GetParam().expected)
        << "input: " << Utf16ToUtf8(GetParam().input) << " got: " << Utf16ToUtf8(got);
}

INSTANTIATE_TEST_SUITE_P(
    Closed, DecodeCharRefsTable,
    ::testing::Values(
        DecodeCase{u"it&#39;s", u"it's"},
        DecodeCase{u"&#8217;", u"\u2019"},
        DecodeCase{u"don&#8217;t", u"don\u2019t"},
        DecodeCase{u"&#x2019;", u"\u2019"},
        DecodeCase{u"&#X2019;", u"\u2019"},
        DecodeCase{u"&#$41;", u"A"},
        DecodeCase{u"&#0x41;", u"A"},
        DecodeCase{u"&# 65;", u"A"},
        DecodeCase{u"&#+65;", u"A"},
        DecodeCase{u"&#8230;x", u"\u2026x"},
        DecodeCase{u"a&#65;;b", u"aAb"},       // the doubled ";" goes too
        DecodeCase{u"a&#65;;;b", u"aA;b"},     // but only one of them
        DecodeCase{u"&#65;&#66;", u"AB"},
        DecodeCase{u"Tom & Jerry", u"Tom & Jerry"},
        DecodeCase{u"Tom &amp; Jerry", u"Tom &amp; Jerry"},
        DecodeCase{u"", u""}));

INSTANTIATE_TEST_SUITE_P(
    NotCharacters, DecodeCharRefsTable,
    ::testing::Values(
        DecodeCase{u"&#128512;", u"\U0001F600"},  // beyond 16 bits: a surrogate pair, not the low half
        DecodeCase{u"&#x1F600;", u"\U0001F600"},
        DecodeCase{u"a&#0;b", u"a\uFFFDb"},
        DecodeCase{u"&#-65;", u"\uFFFD"},
        DecodeCase{u"&#xD800;", u"\uFFFD"},
        DecodeCase{u"&#x110000;", u"\uFFFD"}));

INSTANTIATE_TEST_SUITE_P(
    ControlCharacters, DecodeCharRefsTable,
    ::testing::Values(
        DecodeCase{u"it&#146;s", u"it\u2019s"},  // what Windows-1252 publishers mean by 128-159
        DecodeCase{u"&#x80;&#159;", u"\u20AC\u0178"},
        DecodeCase{u"a&#129;b&#127;c&#1;d", u"a b c d"},  // unused in Windows-1252, DEL, a C0 code
        DecodeCase{u"a&#9;b&#10;c", u"a\tb\nc"}));

INSTANTIATE_TEST_SUITE_P(
    Unterminated, DecodeCharRefsTable,
    ::testing::Values(
        DecodeCase{u"&#65 apples", u"A apples"},  // the character after the number is kept
        DecodeCase{u"&#65", u"A"},
        DecodeCase{u"x&#39s", u"x's"},
        DecodeCase{u"&#", u"&#"},
        DecodeCase{u"&#;", u"&#;"},
        DecodeCase{u"&#abc;", u"&#abc;"},
        DecodeCase{u"&#x;", u"&#x;"},
        DecodeCase{u"&#-;", u"&#-;"},
        DecodeCase{u"&&#65;", u"&A"},
        DecodeCase{u"&#&#65;", u"&#A"},
        DecodeCase{u"&#0000000065;", u"A"},            // ten characters, then ";"
        DecodeCase{u"&#00000000065;", u"&#00000000065;"},  // digits run past the ten read
        DecodeCase{u"&#9999999999;", u"\uFFFD"}));

TEST(CleanItemText, StripsTrimsAndDecodes) {
    EXPECT_EQ(CleanItemText("  <b>Tom &amp; Jerry</b>\t"), "Tom &amp; Jerry");
    EXPECT_EQ(CleanItemText("Tom & Jerry"), "Tom & Jerry");
    EXPECT_EQ(CleanItemText("Don&#8217;t panic"), "Don\xE2\x80\x99t panic");
    EXPECT_EQ(CleanItemText("Line one<br>Line two</p>"), "Line one\r\nLine two");
    EXPECT_EQ(CleanItemText("\xF0\x9F\x98\x80 &#128512;"), "\xF0\x9F\x98\x80 \xF0\x9F\x98\x80");
}

TEST(CleanChannelTitle, TrimsAndDecodesButKeepsMarkup) {
    EXPECT_EQ(CleanChannelTitle("\r\n  News &#38; <b>Views</b> \x01"), "News & <b>Views</b>");
}

TEST(CleanItemText, MalformedBytesBecomeReplacementAndRoundTripOtherwise) {
    EXPECT_EQ(CleanItemText("a\xFF" "b&#33;"), "a\xEF\xBF\xBD" "b!");
    const std::string mixed = "A\xC3\xA9\xE2\x80\x99\xF0\x9F\x98\x80";
    EXPECT_EQ(CleanItemText(mixed), mixed);
}

}  // namespace
}  // namespace tw
