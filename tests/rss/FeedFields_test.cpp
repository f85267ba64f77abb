// Cleaning feed text on its way into the model, wherever in a text of any length the character
// stands: texts are scanned in blocks of bytes, so a character at each offset of each block
// arrangement, and a two-byte character split between blocks, must be found.
#include "rss/FeedFields.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

struct MendCase {
    const char* name;
    std::string in;   // put at each offset of a plain ASCII text
    std::string out;  // what it becomes there
};

TEST(MendFeedText, MendsAtEveryOffset) {
    const MendCase cases[] = {
        {"C0 control", "\x01", " "},
        {"DEL", "\x7F", " "},
        {"U+0092 (a reference to 146)", "\xC2\x92", "\xE2\x80\x99"},
        {"U+0080 (the euro sign's code)", "\xC2\x80", "\xE2\x82\xAC"},
        {"U+0081, unused in Windows-1252", "\xC2\x81", " "},
        {"tab, line feed and carriage return stay", "\t\n\r", "\t\n\r"},
        {"U+00A0 stays", "\xC2\xA0", "\xC2\xA0"},
        {"U+00E9 stays", "\xC3\xA9", "\xC3\xA9"},
    };
    const std::string harbour = "The harbour opens at dawn and the boats go out on the tide.";
    for (const MendCase& c : cases) {
        for (size_t length = 0; length <= harbour.size(); ++length) {
            const std::string plain = harbour.substr(0, length);
            for (size_t at = 0; at <= length; ++at) {
                std::string text = plain.substr(0, at) + c.in + plain.substr(at);
                const std::string want = plain.substr(0, at) + c.out + plain.substr(at);
                std::string assigned = "previous content";
                AssignFeedText(assigned, text);
                // A field of a reload, with room to spare: copied and scanned in one pass.
                std::string refilled(120, 'x');
                AssignFeedText(refilled, text);
                MendFeedText(text);
                ASSERT_EQ(text, want) << c.name << " at " << at << " of " << length;
                ASSERT_EQ(assigned, want) << c.name << " at " << at << " of " << length;
                ASSERT_EQ(refilled, want) << c.name << " at " << at << " of " << length;
            }
        }
    }
}

TEST(MendFeedText, LeadByteAtTheEndIsKept) {
    // 0xC2 with nothing after it starts nothing that is mended.
    std::string text = std::string(31, 'a') + "\xC2";
    MendFeedText(text);
    EXPECT_EQ(text, std::string(31, 'a') + "\xC2");
}

}  // namespace
}  // namespace tw
