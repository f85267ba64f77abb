// When the feed: and feeds: schemes are written for this program, and never over another's.
#include "desktop/FeedSchemeRegistration.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(FeedSchemeRegistration, OnlyAMissingHandlerOrThisProgramsIsWritten) {
    const std::string exe = "C:\\Program Files\\Tidewire\\Tidewire.exe";
    const std::pair<std::optional<std::string>, bool> cases[] = {
        {std::nullopt, true},
        {"", true},
        {"\"C:\\Program Files\\Tidewire\\Tidewire.exe\" \"%1\"", true},
        {"\"c:\\program files\\tidewire\\TIDEWIRE.EXE\" \"%1\"", true},
        {"C:\\Program Files\\Tidewire\\Tidewire.exe %1", true},
        {"\"C:\\Program Files\\Tidewire\\Tidewire.exe.old\" \"%1\"", false},
        {"\"C:\\Apps\\Reader\\reader.exe\" -subscribe \"%1\"", false},
        {"\"Z:\\Old\\Tidewire.exe\" \"%1\"", true},  // a copy moved or installed elsewhere
        {"\"C:\\Apps\\Tidewire.exe \"%1\"", false},  // no closing quote: not read as ours
    };
    for (const auto& [command, write] : cases) EXPECT_EQ(ShouldRegisterFeedScheme(command, exe), write) << command.value_or("(none)");
}

TEST(FeedSchemeRegistration, TheSchemeOpensWithTheProgramAndItsCommands) {
    const auto values = FeedSchemeValues("feeds", {"C:\\T\\Tidewire.exe", "Tidewire", "Macros"});
    EXPECT_EQ(values.at(1), (TClassesValue{"feeds", "URL Protocol", ""}));
    EXPECT_EQ(values.at(3), (TClassesValue{"feeds\\shell\\open\\command", "", "\"C:\\T\\Tidewire.exe\" \"%1\""}));
    EXPECT_EQ(values.at(4), (TClassesValue{"feeds\\shell\\open\\ddeexec", "", "[Open(\"%1\")]"}));
}

}  // namespace
}  // namespace tw
