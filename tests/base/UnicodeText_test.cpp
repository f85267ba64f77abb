#include "base/UnicodeText.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

std::u32string Folded(std::u32string_view text) {
    std::u32string out;
    for (char32_t cp : text) AppendCaseFolded(cp, out);
    return out;
}

TEST(UnicodeText, FoldsCaseInEveryScriptTheTablesHold) {
    struct Case {
        std::u32string_view in, out;
    };
    const Case cases[] = {
        {U"Köln KÖLN", U"köln köln"},
        {U"ΣΊΣΥΦΟΣ σίσυφος", U"σίσυφοσ σίσυφοσ"},  // final sigma folds as the other two
        {U"МОСКВА Ёж", U"москва ёж"},
        {U"ԵՐԵՎԱՆ", U"երեվան"},               // Armenian
        {U"Straße STRASSE ẞ", U"strasse strasse ss"},
        {U"ĀāĂĄ ǅ Ω K", U"āāăą ǆ ω k"},        // runs stepping by two, title case, signs folding to letters
        {U"\U00010400", U"\U00010428"},        // Deseret, past the 16-bit range
        {U"İstanbul", U"istanbul"},
        {U"東京 ｶﾀｶﾅ 123 -", U"東京 ｶﾀｶﾅ 123 -"},  // no case: unchanged
    };
    for (const Case& c : cases) EXPECT_EQ(Folded(c.in), c.out);
}

TEST(UnicodeText, TellsWordCharactersAndSpacelessScripts) {
    struct Case {
        char32_t cp;
        TCharClass cls;
        bool spaceless;
    };
    const Case cases[] = {
        {U'a', TCharClass::ccLetter, false},    {U'7', TCharClass::ccNumber, false},
        {U'-', TCharClass::ccOther, false},     {U' ', TCharClass::ccOther, false},
        {0x0301, TCharClass::ccMark, false},    {U'ß', TCharClass::ccLetter, false},
        {U'²', TCharClass::ccNumber, false},    {0x00A0, TCharClass::ccOther, false},
        {U'東', TCharClass::ccLetter, true},     {U'か', TCharClass::ccLetter, true},
        {U'カ', TCharClass::ccLetter, true},     {U'ー', TCharClass::ccLetter, true},   // Common, used by kana alone
        {U'ก', TCharClass::ccLetter, true},     {0x0E34, TCharClass::ccMark, true},  // Thai vowel sign
        {U'ក', TCharClass::ccLetter, true},     {U'က', TCharClass::ccLetter, true},  // Khmer, Myanmar
        {U'한', TCharClass::ccLetter, false},    {U'。', TCharClass::ccOther, false},  // Hangul has spaces
        {0x20000, TCharClass::ccLetter, true},  {0x110000, TCharClass::ccOther, false},
        {0xE000, TCharClass::ccOther, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CharClassOf(c.cp), c.cls) << std::hex << static_cast<unsigned>(c.cp);
        EXPECT_EQ(IsWordCharacter(c.cp), c.cls != TCharClass::ccOther) << std::hex << static_cast<unsigned>(c.cp);
        EXPECT_EQ(IsOfSpacelessScript(c.cp), c.spaceless) << std::hex << static_cast<unsigned>(c.cp);
    }
}

TEST(UnicodeText, DecodesUtf8ToCodePoints) {
    EXPECT_EQ(Utf8ToUtf32("a\xC3\xA9\xE6\x9D\xB1\xF0\x90\x90\x80"), U"aé東\U00010400");
    EXPECT_EQ(Utf8ToUtf32("a\xFF" "b"), U"a\uFFFDb");
}

}  // namespace
}  // namespace tw
