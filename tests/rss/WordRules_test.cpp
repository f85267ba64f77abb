#include "rss/WordRules.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(WordRules, MatchWholeWordsWithoutCaseInEveryScript) {
    struct Case {
        std::string_view words, title;
        bool found;
    };
    const Case cases[] = {
        {"Trump", "Trump visits Paris", true},
        {"Trump", "A trumpet solo", false},
        {"Köln", "KÖLN: Dom gesperrt", true},
        {"Straße", "STRASSE gesperrt", true},
        {"große", "GROẞE Pläne", true},
        {"strasse", "Hauptstraße gesperrt", false},
        {"ΣΊΣΥΦΟΣ", "Ο μύθος του σίσυφος", true},  // final sigma
        {"Αθήνα", "ΑΘΉΝΑ σήμερα", true},
        {"Москва", "МОСКВА сегодня", true},
        {"Москва", "Москвария", false},
        {"Հայաստան", "ՀԱՅԱՍՏԱՆ", true},
        {"Երևան", "ԵՐԵՒԱՆ", true},  // the ligature "և" folds to "եւ"
        {"東京", "東京都で地震", true},  // written without spaces: inside a run of letters
        {"地震", "大地震が発生", true},
        {"コーヒー", "新しいコーヒーショップ", true},
        {"北京", "北京时间", true},
        {"กรุงเทพ", "ข่าวกรุงเทพวันนี้", true},
        {"iPhone", "iPhone発売", true},  // a Latin word beside Han letters
        {"donald trump", "Donald  Trump, again", true},
        {"donald trump", "Donald Duck and Trump", false},
        {"new york", "New-York Times", true},
        {"O'Brien", "O\xE2\x80\x99" "Brien wins", true},
        {"cafe", "Cafe\xCC\x81 opens", false},  // a combining mark belongs to its word
        {"F1", "F1 season starts", true},
        {"F1", "F16 jets", false},
        {"sport, football", "Football results", true},
        {" , ,!!!", "Wow!!! , ,", false},  // no entry that has a word in it
    };
    for (const Case& c : cases) {
        const TWordRules rules("", "", c.words, false);
        EXPECT_EQ(rules.Judge(c.title, "").Highlighted, c.found) << c.words << " in " << c.title;
    }
}

TEST(WordRules, ExcludeHidesIncludeSelectsHighlightMarks) {
    struct Case {
        std::string_view exclude, include, highlight;
        bool matchDescription;
        std::string_view title, description;
        bool shown, highlighted;
    };
    const Case cases[] = {
        {"sport", "", "", false, "Sport: the final", "", false, false},
        {"sport", "", "", false, "The final", "A sport story", true, false},
        {"sport", "", "", true, "The final", "A sport story", false, false},
        {"", "weather, rain", "", false, "Rain in the north", "", true, false},
        {"", "weather, rain", "", false, "Elections", "", false, false},
        {"sport", "weather", "", false, "Sport weather", "", false, false},  // excluded wins
        {"", "", "Tidewire", false, "Tidewire 2.0 is out", "", true, true},
        {"", "", "Tidewire", false, "News", "Tidewire inside", true, false},
        {"", "", "", false, "Anything at all", "", true, false},
    };
    for (const Case& c : cases) {
        const TWordRules rules(c.exclude, c.include, c.highlight, c.matchDescription);
        const TWordRules::TVerdict verdict = rules.Judge(c.title, c.description);
        EXPECT_EQ(verdict.Shown(), c.shown) << c.title;
        EXPECT_EQ(verdict.Highlighted, c.highlighted) << c.title;
    }
    EXPECT_EQ(SplitWordList(" a ,, b c ,\t,"), (std::vector<std::string>{"a", "b c"}));
}

}  // namespace
}  // namespace tw
