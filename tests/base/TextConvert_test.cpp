#include "base/TextConvert.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

std::string Hex(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out += std::to_string(static_cast<unsigned>(c)) + ' ';
    return out;
}

// One input, read under each rule for broken UTF-8. The feed reader keeps a mislabelled letter
// byte by byte while the XML layer reads the whole text as Windows-1252: the second row is
// where the two differ.
TEST(Utf8ToUtf16, EachRuleForBrokenInput) {
    const std::string ascii20 = "abcdefghijklmnopqrst";  // past the sixteen-byte fast path
    const struct {
        std::string bytes;
        std::u16string replaced, byteAs1252, textAs1252;
    } cases[] = {
        {"a\xE9" "b", u"a\uFFFDb", u"a\u00E9b", u"a\u00E9b"},
        {"\xE2\x82\xAC\x80", u"\u20AC\uFFFD", u"\u20AC\u20AC", u"\u00E2\u201A\u00AC\u20AC"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", u"\u00ED\u00A0\u20AC", u"\u00ED\u00A0\u20AC"},  // surrogate
        {"\xC0\xAF", u"\uFFFD\uFFFD", u"\u00C0\u00AF", u"\u00C0\u00AF"},                        // overlong
        {ascii20 + "\xC3", u"abcdefghijklmnopqrst\uFFFD", u"abcdefghijklmnopqrst\u00C3",
         u"abcdefghijklmnopqrst\u00C3"},                                                      // cut short
        {ascii20 + "\xF0\x9F\x8E\xB5" + ascii20, u"abcdefghijklmnopqrst\U0001F3B5abcdefghijklmnopqrst",
         u"abcdefghijklmnopqrst\U0001F3B5abcdefghijklmnopqrst",
         u"abcdefghijklmnopqrst\U0001F3B5abcdefghijklmnopqrst"},                             // valid
        {"", u"", u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(Utf8ToUtf16(c.bytes)), Hex(c.replaced)) << c.bytes;
        EXPECT_EQ(Hex(Utf8ToUtf16(c.bytes, TInvalidUtf8::iuByteAsWindows1252)), Hex(c.byteAs1252)) << c.bytes;
        EXPECT_EQ(Hex(Utf8ToUtf16(c.bytes, TInvalidUtf8::iuTextAsWindows1252)), Hex(c.textAs1252)) << c.bytes;
        EXPECT_EQ(IsValidUtf8(c.bytes), c.replaced.find(u'\uFFFD') == std::u16string::npos) << c.bytes;
    }
}

TEST(Utf16ToUtf8, UnpairedSurrogatesBecomeReplacement) {
    const char16_t text[] = {u'a', 0xDC00, 0xD83C, 0xDFB5, 0xD800, 0};
    EXPECT_EQ(Utf16ToUtf8(text), "a\xEF\xBF\xBD\xF0\x9F\x8E\xB5\xEF\xBF\xBD");
}

TEST(Windows1252, NarrowsWhatItHoldsAndMarksTheRest) {
    EXPECT_EQ(Utf16ToWindows1252(u"\u20AC\u0081\u00E9\u4E2Dz"), "\x80\x81\xE9?z");
    EXPECT_EQ(Windows1252ToUtf16("\x80\x81\x9F\xFF"), u"\u20AC\u0081\u0178\u00FF");
}

TEST(HexDigitValue, ReadsOnlyTheTwentyTwoDigits) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    for (char c : {'g', 'G', '/', ':', '@', '`', ' ', '\xE1'}) EXPECT_EQ(HexDigitValue(c), -1) << int(c);
    // Wide characters whose low byte is a digit are none.
    for (char16_t c : {char16_t(0x0141), char16_t(0xFF10), char16_t(0x0130)}) EXPECT_EQ(HexDigitValue(c), -1);
    EXPECT_EQ(HexDigitValue(u'c'), 12);
}

}  // namespace
}  // namespace tw
