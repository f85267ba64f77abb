#include "desktop/ResChange.h"

#include <gtest/gtest.h>

#include <vector>

namespace tw {
namespace {

class FakeDisplay : public TDisplayPlatform {
public:
    TDisplayResolution mode = MakeDisplayResolution(1024, 768, 32, 60);
    std::function<bool(TMessage&)> hook;
    bool unhooked = false;
    TDisplayResolution CurrentMode() override { return mode; }
    int HookApplicationWindow(std::function<bool(TMessage&)> h) override {
        hook = std::move(h);
        return 5;
    }
    void UnhookApplicationWindow(int token) override { unhooked = token == 5; }
    bool Send(std::uint32_t msg) {
        TMessage m{msg, 0, 0, 0};
        return hook(m);
    }
};

TEST(ResChange, ChangesChainTheirModesAndDepthAloneCounts) {
    FakeDisplay display;
    std::vector<std::pair<TDisplayResolution, TDisplayResolution>> events;
    {
        TResChange watcher(nullptr, display);
        watcher.OnResChanged = [&](const TDisplayResolution& o, const TDisplayResolution& n) {
            events.emplace_back(o, n);
        };
        display.mode.BitsPerPel = 16;  // depth alone
        EXPECT_FALSE(display.Send(0x7E));
        display.mode = MakeDisplayResolution(0x10000 + 800, 600, 16, 75);  // only the low 16 bits are kept
        EXPECT_FALSE(display.Send(0x7E));
        EXPECT_FALSE(display.Send(0x7F));  // not a display change
        EXPECT_EQ(watcher.CurrentMode(), MakeDisplayResolution(800, 600, 16, 75));
    }
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].first, MakeDisplayResolution(1024, 768, 32, 60));
    EXPECT_EQ(events[0].second, MakeDisplayResolution(1024, 768, 16, 60));
    EXPECT_EQ(events[1].first, events[0].second);
    EXPECT_EQ(events[1].second.PelsWidth, 800);
    EXPECT_TRUE(display.unhooked);
}

}  // namespace
}  // namespace tw
