// The main window as the DDE command handler's receiver: Open commands load their files in
// order, anything else leaves the ticker alone, and nothing arrives unless the association step
// allowed it. Every start loads the data file, so no transfer runs.
#include "app/WiredMainWindow.h"

namespace tw::test {
namespace {

constexpr std::string_view kFailed = "Cannot retrieve feeds from the current address for this time!";

class DDEMainWindow : public WiredMainWindow {
protected:
    std::string Feed(const std::string& name, const std::string& item) {
        std::ofstream(dir / name, std::ios::binary)
            << "<rss><channel><title>" << name << "</title><item><title>" << item << "</title></item></channel></rss>";
        return Open(name);
    }
    std::string Open(const std::string& name) { return "[Open(\"" + Dir() + name + "\")]"; }
    // The window over the process's command handler; `available`: the association step let
    // commands arrive.
    std::unique_ptr<TfrMain> MakeListening(bool available = true) {
        TMainParts parts = TestParts();
        parts.DDEHandler = &handler;
        parts.DDEAvailable = available;
        auto form = Make(std::move(parts));
        form->FormCreate(Dir(), {FeedFile()});
        return form;
    }

    TDDEHandler handler;
};

TEST_F(DDEMainWindow, OpenCommandsLoadTheirFilesInOrderAndTheLastStays) {
    auto form = MakeListening();
    const std::string one = Feed("one.rss", "First"), two = Feed("two.rss", "Second");
    const std::size_t before = view.tickerTexts.size();
    handler.ExecuteMacro({one + two});
    ASSERT_EQ(view.tickerTexts.size(), before + 2);
    EXPECT_EQ(view.tickerTexts[before], "1/1    First");
    EXPECT_EQ(form->lblTicker().Text(), "1/1    Second");
    EXPECT_EQ(form->FeedUrl(), DefaultFeedUrls[1]) << "a file does not change the feed address";
}

TEST_F(DDEMainWindow, OtherCommandsAreIgnoredAndUnreadableFilesFail) {
    auto form = MakeListening();
    const std::string one = Feed("one.rss", "First"), two = Feed("two.rss", "Second");
    std::string lower = two;
    lower[1] = 'o';
    const std::size_t before = view.tickerTexts.size();
    // Only the first line loads: the others name two.rss in ways that do not count.
    handler.ExecuteMacro({one + " " + two, lower, "[Open(" + Dir() + "two.rss)]", "[Open(\"", " " + two});
    EXPECT_EQ(view.tickerTexts.size(), before + 1);
    EXPECT_EQ(form->lblTicker().Text(), "1/1    First");

    handler.ExecuteMacro({Open("missing.rss")});
    EXPECT_NE(form->lblTicker().Text().find(kFailed), std::string::npos);

    handler.ExecuteMacro({one});
    handler.ExecuteMacro({R"([Open("")])"});
    EXPECT_NE(form->lblTicker().Text().find(kFailed), std::string::npos) << "an empty path fails as a missing file";

    handler.ExecuteMacro({one});
    // A feed that would load, padded beyond the limit with blanks the parser would skip.
    std::ofstream(dir / "big.bin", std::ios::binary) << "<rss><channel><item><title>Never</title></item></channel></rss>"
                                                     << std::string(kMaxOpenedFeedBytes, ' ');
    handler.ExecuteMacro({Open("big.bin")});
    EXPECT_NE(form->lblTicker().Text().find(kFailed), std::string::npos);
}

TEST_F(DDEMainWindow, ACommandAfterTheWindowIsGoneWaits) {
    auto form = MakeListening();
    form.reset();
    handler.ExecuteMacro({Feed("one.rss", "First")});
    EXPECT_EQ(handler.PendingCommands().size(), 1u);
}

TEST_F(DDEMainWindow, WithoutTheAssociationCommandsWaitUndelivered) {
    auto form = MakeListening(false);
    handler.ExecuteMacro({Feed("one.rss", "First")});
    EXPECT_EQ(handler.PendingCommands().size(), 1u);
    EXPECT_EQ(form->lblTicker().Text(), "1/3    Tom & Jerry");
}

}  // namespace
}  // namespace tw::test
