#include "controls/StillText.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

TEST(StillText, ThePeriodGrowsWithTheCharactersShownWithinItsBounds) {
    const struct {
        std::string text;
        int ms;
    } cases[] = {
        {"", kStillMinimumMs},
        {"Short", kStillMinimumMs},                                   // 2250 would be too short
        {std::string(20, 'a'), 3000},                                 // 2000 + 20 * 50
        {std::string(60, 'a'), 5000},
        {std::string(20, 'a') + "\xE2\x80\xA6" + "\xC3\xA9", 3100},   // characters, not bytes
        {std::string(200, 'a'), kStillMaximumMs},
        {std::string(100000, 'a'), kStillMaximumMs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.size());
        EXPECT_EQ(StillPeriodFor(c.text), c.ms);
    }
}

TEST(StillText, AHeadlineTooWideIsCutBetweenCharactersWithAnEllipsis) {
    // 10 pixels a character (the ellipsis is one).
    const auto measure = [](const std::string& text) { return static_cast<int>(CodePointCount(text)) * 10; };
    const struct {
        const char* text;
        int width;
        const char* shown;
    } cases[] = {
        {"Harbour opens", 130, "Harbour opens"},
        {"Harbour opens", 129, "Harbour ope\xE2\x80\xA6"},
        {"Harbour opens", 90, "Harbour\xE2\x80\xA6"},  // the blank before the cut goes
        {"\xC3\x89t\xC3\xA9 \xC3\xA0 Paris", 45, "\xC3\x89t\xC3\xA9\xE2\x80\xA6"},
        {"Harbour", 10, "\xE2\x80\xA6"},
        {"Harbour", 9, ""},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + std::string(" at ") + std::to_string(c.width));
        EXPECT_EQ(EllipsizedText(c.text, c.width, measure), c.shown);
    }
}

}  // namespace
}  // namespace tw
