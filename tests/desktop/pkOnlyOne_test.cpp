#include "desktop/pkOnlyOne.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tw {
namespace {

// The system as the guards of several instances share it: mutexes, the registry record and the
// messages each window received.
struct World {
    std::set<std::string> mutexes;
    std::map<std::string, std::uintptr_t> records;
    std::vector<std::pair<std::uintptr_t, std::uint32_t>> sent;
    bool failMutex = false;
};

class FakePlatform final : public IOnlyOnePlatform {
public:
    FakePlatform(World& world, std::uintptr_t window, std::vector<std::string>& log)
        : world_(world), window_(window), log_(log) {}
    TMutexResult CreateNamedMutex(const std::string& name) override {
        if (world_.failMutex) return TMutexResult::Failed;
        if (!world_.mutexes.insert(name).second) return TMutexResult::AlreadyExists;
        held_ = name;
        return TMutexResult::Created;
    }
    void CloseMutex() override { world_.mutexes.erase(held_); }
    std::uintptr_t ReadRecord(const std::string& title) override {
        const auto it = world_.records.find(title);
        return it == world_.records.end() ? 0 : it->second;
    }
    bool WriteRecord(const std::string& title, std::uintptr_t window) override {
        world_.records[title] = window;
        return true;
    }
    void DeleteRecord(const std::string& title) override { world_.records.erase(title); }
    void SendToWindow(std::uintptr_t window, std::uint32_t message) override { world_.sent.emplace_back(window, message); }
    std::uintptr_t OwnWindow() override { return window_; }
    void SwitchToFront() override { log_.push_back("front"); }
    void TerminateApplication() override { log_.push_back("terminate"); }

private:
    World& world_;
    std::uintptr_t window_;
    std::vector<std::string>& log_;
    std::string held_;
};

struct OnlyOneFixture : ::testing::Test {
    std::unique_ptr<TpkOnlyOne> Guard(std::uintptr_t window, const std::string& title = "Tidewire v1.1") {
        return std::make_unique<TpkOnlyOne>(nullptr, title, std::make_unique<FakePlatform>(world, window, log));
    }
    World world;
    std::vector<std::string> log;
};

using TpkOnlyOneTest = OnlyOneFixture;

TEST_F(TpkOnlyOneTest, TheFirstInstanceHoldsTheMutexAndRecordsItsWindow) {
    auto first = Guard(100);
    EXPECT_EQ(first->MutexName(), "TpkOnlyOneTidewire v1.1");
    first->Loaded();
    EXPECT_FALSE(first->AlreadyExists());
    EXPECT_EQ(world.records["Tidewire v1.1"], 100u);
    EXPECT_TRUE(world.sent.empty());
    EXPECT_TRUE(log.empty());
    first.reset();
    EXPECT_TRUE(world.mutexes.empty());
    EXPECT_TRUE(world.records.empty());
}

TEST_F(TpkOnlyOneTest, ASecondInstanceSwitchesToTheFirstAndEnds) {
    auto first = Guard(100);
    first->Loaded();
    auto second = Guard(200);
    int existed = 0;
    second->OnAlreadyExist = [&](TpkOnlyOne&) { ++existed; };
    second->Loaded();
    EXPECT_EQ(existed, 1);
    EXPECT_EQ(world.sent, (std::vector<std::pair<std::uintptr_t, std::uint32_t>>{{100, WM_SWITCH_TO_FIRST}}));
    EXPECT_EQ(log, std::vector<std::string>{"terminate"});
    EXPECT_TRUE(second->TerminationRequested());
    second.reset();  // the first one's record and mutex stay
    EXPECT_EQ(world.records["Tidewire v1.1"], 100u);
    EXPECT_EQ(world.mutexes.size(), 1u);

    // The first answers the request by coming to the front.
    TMessage message{WM_SWITCH_TO_FIRST, 0, 0, 0};
    first->HookMessage(message);
    EXPECT_EQ(message.Result, 1);
    EXPECT_EQ(log.back(), "front");
}

TEST_F(TpkOnlyOneTest, DifferentTitlesDoNotSeeEachOther) {
    auto a = Guard(100, "Tidewire v1.1");
    auto b = Guard(200, "Other");
    a->Loaded();
    b->Loaded();
    EXPECT_FALSE(b->AlreadyExists());
    EXPECT_TRUE(log.empty());
}

TEST_F(TpkOnlyOneTest, AStaleRecordIsOverwrittenAndSurvivesTheOldOwnersEnd) {
    world.records["Tidewire v1.1"] = 999;  // left by an instance that was killed
    auto first = Guard(100);
    first->Loaded();
    EXPECT_EQ(world.records["Tidewire v1.1"], 100u);

    // A record taken over by another instance is not removed by this one.
    world.records["Tidewire v1.1"] = 300;
    first.reset();
    EXPECT_EQ(world.records["Tidewire v1.1"], 300u);
}

TEST_F(TpkOnlyOneTest, ARefusingHandlerOrCloseSecondOffKeepsTheSecondRunningAndRecorded) {
    auto first = Guard(100);
    first->Loaded();
    auto second = Guard(200);
    bool asked = false;
    second->OnForcedTermination = [&](TpkOnlyOne&, bool& close) {
        asked = close;  // preset true
        close = false;
    };
    second->CloseFirst = true;
    second->Loaded();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(second->TerminationRequested());
    EXPECT_EQ(world.sent, (std::vector<std::pair<std::uintptr_t, std::uint32_t>>{{100, WM_SWITCH_TO_FIRST},
                                                                                  {100, WM_CLOSE_FIRST}}));
    EXPECT_EQ(world.records["Tidewire v1.1"], 200u);

    auto third = Guard(300);
    third->CloseSecond = false;
    third->SwitchToFirst = false;
    third->Loaded();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(world.records["Tidewire v1.1"], 300u);
}

TEST_F(TpkOnlyOneTest, CloseFirstEndsTheFirstUnlessItsHandlerRefuses) {
    auto first = Guard(100);
    first->Loaded();
    TMessage close{WM_CLOSE_FIRST, 0, 0, 0};
    bool refuse = true;
    first->OnForcedTermination = [&](TpkOnlyOne&, bool& c) { c = !refuse; };
    first->HookMessage(close);
    EXPECT_EQ(close.Result, 1);
    EXPECT_TRUE(log.empty());
    refuse = false;
    first->HookMessage(close);
    EXPECT_EQ(log, std::vector<std::string>{"terminate"});
    TMessage other{14950, 0, 0, 0};
    first->HookMessage(other);
    EXPECT_EQ(other.Result, 0);
}

TEST_F(TpkOnlyOneTest, AMutexThatCannotBeMadeCountsAsTakenAndNoRecordIsNoWindow) {
    world.failMutex = true;
    auto guard = Guard(100);
    guard->Loaded();
    EXPECT_TRUE(guard->AlreadyExists());
    EXPECT_EQ(world.sent, (std::vector<std::pair<std::uintptr_t, std::uint32_t>>{{0, WM_SWITCH_TO_FIRST}}));
    EXPECT_TRUE(guard->TerminationRequested());
}

}  // namespace
}  // namespace tw
