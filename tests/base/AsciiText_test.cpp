#include "base/AsciiText.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(AsciiText, CaseChangesOnlyAsciiLettersAndLeavesUtf8Whole) {
    EXPECT_EQ(AsciiLowered("HTTP://Ex.ORG/Ä"), "http://ex.org/Ä");
    EXPECT_EQ(AsciiUppered("köln@[z]"), "KöLN@[Z]");  // '@' and '[' sit next to A and Z
    EXPECT_TRUE(EqualsIgnoringAsciiCase("RSSfile", "rssFILE"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("Ä", "ä"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("ab", "abc"));
    EXPECT_TRUE(StartsWithIgnoringAsciiCase("Https://x", "HTTPS:"));
    EXPECT_FALSE(StartsWithIgnoringAsciiCase("htt", "http"));
    EXPECT_TRUE(EndsWithIgnoringAsciiCase("subs.OPML", ".opml"));
    EXPECT_EQ(FindIgnoringAsciiCase("a Http: b HTTP:", "http:"), 2u);
    EXPECT_EQ(FindIgnoringAsciiCase("abc", "d"), std::string_view::npos);
    EXPECT_EQ(FindIgnoringAsciiCase("abc", ""), 0u);
}

TEST(AsciiText, EachTrimCutsItsOwnBytesFromBothEnds) {
    struct Case {
        std::string_view (*trim)(std::string_view);
        std::string_view in, out;
    };
    const std::string nulEnds("\0 a b \0", 7);
    const Case cases[] = {
        {TrimControlsAndBlanks, "\r\n\t a b \x01\x1f", "a b"},
        {TrimControlsAndBlanks, nulEnds, "a b"},
        {TrimControlsAndBlanks, " \xC2\xA0x\xC2\xA0 ", "\xC2\xA0x\xC2\xA0"},  // no-break space is text
        {TrimSpacesAndTabs, "\t a=b \t", "a=b"},
        {TrimSpacesAndTabs, "\r a \n", "\r a \n"},
        {TrimAsciiWhitespace, "\v\f\r\n a \t", "a"},
        {TrimAsciiWhitespace, "\x01 a", "\x01 a"},
        {TrimControlsAndBlanks, "   ", ""},
        {TrimSpacesTabsAndLineBreaks, "\r\n\t a \n", "a"},
        {TrimSpacesTabsAndLineBreaks, "\v a \f", "\v a \f"},
        {TrimSpacesTabsLineBreaksAndQuotes, " \"'utf-8'\" \r\n", "utf-8"},
        {TrimSpacesTabsLineBreaksAndQuotes, "`a`", "`a`"},
        {TrimSpacesTabsAndTrailingCRs, "\t a = b \r \r", "a = b"},
        {TrimSpacesTabsAndTrailingCRs, "\r a", "\r a"},  // a CR is cut at the end only
        {TrimSpacesTabsAndTrailingCRs, "\n a\n", "\n a\n"},
        {TrimLeadingControlsAndBlanks, "\r\n\x01 a b \t", "a b \t"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.trim(c.in), c.out) << '"' << c.in << '"';
}

}  // namespace
}  // namespace tw
