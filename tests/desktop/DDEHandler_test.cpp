#include "desktop/DDEHandler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

using Commands = std::vector<std::string>;

Commands Split(std::string_view line) {
    TDDEHandler handler;
    handler.SplitCommands(line);
    return handler.PendingCommands();
}

TEST(TDDEHandler, SplitsAfterEveryClosingBracketThatAnOpeningOneFollows) {
    const struct {
        std::string_view line;
        Commands commands;
    } cases[] = {
        {R"([Open("a.rss")])", {R"([Open("a.rss")])"}},
        {R"([Open("a.rss")][Open("b.rss")])", {R"([Open("a.rss")])", R"([Open("b.rss")])"}},
        // a blank between them: no "][", one command
        {R"([Open("a.rss")] [Open("b.rss")])", {R"([Open("a.rss")] [Open("b.rss")])"}},
        // every piece but the last is trimmed of blanks and control characters
        {" \t[A]][B] ", {"[A]]", "[B] "}},
        {"", {""}},
        {"][][", {"]", "[]", "["}},
    };
    for (const auto& c : cases) EXPECT_EQ(Split(c.line), c.commands) << c.line;
}

TEST(TDDEHandler, AMillionBracketPairsAreCutQuicklyAndTheListStaysBounded) {
    std::string line;
    for (int i = 0; i < 500000; ++i) line += "][";
    const Commands commands = Split(line);
    EXPECT_EQ(commands.size(), kMaxPendingCommands);
    EXPECT_EQ(commands.front(), "]");
}

TEST(TDDEHandler, CommandsWaitForTheHandlerAndArriveOnceInOrder) {
    TDDEHandler handler;
    handler.ExecuteMacro({R"([Open("a")][Open("b")])", R"([Open("c")])"});
    EXPECT_EQ(handler.PendingCommands().size(), 3u);

    std::vector<Commands> deliveries;
    handler.SetExecuteHandler([&](TDDEHandler& sender, const Commands& commands) {
        EXPECT_EQ(&sender, &handler);
        deliveries.push_back(commands);
    });
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0], (Commands{R"([Open("a")])", R"([Open("b")])", R"([Open("c")])"}));
    EXPECT_TRUE(handler.PendingCommands().empty());

    handler.FlushCommands();  // nothing waits: the handler is not called
    handler.ExecuteMacro({R"([Open("d")])"});
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[1], Commands{R"([Open("d")])"});
}

TEST(TDDEHandler, AHandlerThatThrowsLeavesNothingPending) {
    TDDEHandler handler;
    handler.SplitCommands("[Open(\"a\")]");
    EXPECT_THROW(handler.SetExecuteHandler([](TDDEHandler&, const Commands&) { throw std::runtime_error("x"); }),
                 std::runtime_error);
    EXPECT_TRUE(handler.PendingCommands().empty());
}

TEST(DDECommandText, ExecuteTextIsCutIntoLinesAtEveryLineBreak) {
    EXPECT_EQ(SplitExecuteLines("a\r\nb\nc\rd"), (Commands{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitExecuteLines("a\n\nb\n"), (Commands{"a", "", "b"}));
    EXPECT_TRUE(SplitExecuteLines("").empty());
}

TEST(DDECommandText, OpenCommandGivesThePathBetweenItsFirstTwoQuotes) {
    const struct {
        std::string_view command;
        std::optional<std::string> path;
    } cases[] = {
        {R"([Open("C:\feeds\news.rss")])", R"(C:\feeds\news.rss)"},
        {R"([Open("C:\a b\x.rss")] [Open("C:\y.rss")])", R"(C:\a b\x.rss)"},
        {R"([Open("a")extra")])", "a"},
        {R"([open("C:\x.rss")])", std::nullopt},  // the comparison is exact
        {R"( [Open("C:\x.rss")])", std::nullopt},
        {R"([Close("C:\x.rss")])", std::nullopt},
        {R"([Open(C:\x.rss)])", std::nullopt},
        {R"([Open("C:\x.rss)])", std::nullopt},
        {R"([Open("")])", ""},  // loaded as any path naming no readable file
        {"[Open(", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(OpenCommandPath(c.command), c.path) << c.command;
    EXPECT_EQ(OpenCommandPath("[Open(\"" + std::string(200000, 'a') + "\")]"), std::nullopt);
}

TEST(DDECommandText, ServiceNameIsTheFileNameUpToItsFirstDot) {
    EXPECT_EQ(DDEServiceName(R"(C:\Apps\Tidewire.exe)"), "Tidewire");
    EXPECT_EQ(DDEServiceName("/opt/x/Tide.wire.exe"), "Tide");
    EXPECT_EQ(DDEServiceName(R"(C:\v1.2\Ticker)"), "Ticker");
}

}  // namespace
}  // namespace tw
