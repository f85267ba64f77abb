#include "desktop/NetDetect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

struct StartedCheck {
    std::uint64_t id;
    std::string url;
    int timeoutMs;
};

struct TimerState {
    bool enabled = false;
    int intervalMs = 0;
    int changes = 0;
};

// Records what the detector asks of the system; the test plays the timer and the threads.
class FakeHost : public INetDetectHost {
public:
    FakeHost(std::vector<StartedCheck>& checks, TimerState& timer) : checks_(checks), timer_(timer) {}
    void Bind(TNetDetect& detector) override { bound = &detector; }
    void SetTimer(bool enabled, int intervalMs) override {
        timer_.enabled = enabled;
        timer_.intervalMs = intervalMs;
        ++timer_.changes;
    }
    void StartCheck(std::uint64_t id, const std::string& url, int timeoutMs) override {
        checks_.push_back({id, url, timeoutMs});
    }
    TNetDetect* bound = nullptr;

private:
    std::vector<StartedCheck>& checks_;
    TimerState& timer_;
};

class NetDetectTest : public ::testing::Test {
protected:
    void Create(bool initial = true) {
        detector_ = std::make_unique<TNetDetect>(std::make_unique<FakeHost>(checks_, timer_), "http://127.0.0.1:1/",
                                                 initial);
        detector_->OnConnectionStatus = [this](TNetDetect& sender, bool c) {
            EXPECT_EQ(&sender, detector_.get());
            initialEvents_.push_back(c);
        };
        detector_->OnConnectionStatusChanged = [this](TNetDetect&, bool c) { changeEvents_.push_back(c); };
    }
    // Plays one timer tick and ends the check it started with `result`.
    void Poll(bool result) {
        size_t before = checks_.size();
        detector_->Tick();
        ASSERT_EQ(checks_.size(), before + 1) << "the tick started no check";
        detector_->CheckDone(checks_.back().id, result);
    }

    std::vector<StartedCheck> checks_;
    TimerState timer_;
    std::unique_ptr<TNetDetect> detector_;
    std::vector<bool> initialEvents_;
    std::vector<bool> changeEvents_;
};

TEST_F(NetDetectTest, DefaultsAndTheInitialCheckStartAtConstruction) {
    Create();
    EXPECT_FALSE(detector_->Enabled());
    EXPECT_EQ(detector_->TimeOut(), 500);
    EXPECT_EQ(detector_->Interval(), 5000);
    EXPECT_FALSE(detector_->Connected());
    ASSERT_EQ(checks_.size(), 1u);
    EXPECT_EQ(checks_[0].url, "http://127.0.0.1:1/");
    EXPECT_EQ(checks_[0].timeoutMs, 500);
    EXPECT_FALSE(timer_.enabled);
}

TEST_F(NetDetectTest, DesignTimeInstanceChecksNothing) {
    Create(false);
    EXPECT_TRUE(checks_.empty());
    detector_->CheckDone(1, true);  // a report nobody asked for
    EXPECT_TRUE(initialEvents_.empty());
    EXPECT_TRUE(changeEvents_.empty());
}

TEST_F(NetDetectTest, DefaultAddressIsAPublicPage) {
    std::vector<StartedCheck> checks;
    TimerState timer;
    TNetDetect detector(std::make_unique<FakeHost>(checks, timer), std::string(kDefaultNetDetectUrl), false);
    EXPECT_EQ(detector.Url().rfind("http://", 0), 0u);
    EXPECT_EQ(detector.Url().find("127.0.0.1"), std::string::npos);
}

TEST_F(NetDetectTest, InitialCheckRaisesStatusOnceAndNoChange) {
    Create();
    detector_->CheckDone(checks_[0].id, true);
    EXPECT_EQ(initialEvents_, std::vector<bool>{true});
    EXPECT_TRUE(changeEvents_.empty());
    EXPECT_TRUE(detector_->Connected());
    detector_->CheckDone(checks_[0].id, false);  // the same report twice is ignored
    EXPECT_EQ(initialEvents_.size(), 1u);
    EXPECT_TRUE(detector_->Connected());
}

TEST_F(NetDetectTest, ConnectedInitialThenConnectedPollRaisesNothing) {
    Create();
    detector_->SetEnabled(true);
    detector_->CheckDone(checks_[0].id, true);
    Poll(true);
    Poll(true);
    EXPECT_TRUE(changeEvents_.empty());
}

TEST_F(NetDetectTest, DisconnectedInitialThenConnectedPollRaisesTrue) {
    Create();
    detector_->SetEnabled(true);
    detector_->CheckDone(checks_[0].id, false);
    EXPECT_EQ(initialEvents_, std::vector<bool>{false});
    Poll(true);
    EXPECT_EQ(changeEvents_, std::vector<bool>{true});
}

TEST_F(NetDetectTest, NetworkDownAndBackGivesOneFalseThenOneTrue) {
    Create();
    detector_->SetEnabled(true);
    detector_->CheckDone(checks_[0].id, true);
    for (bool r : {true, false, false, false, true, true}) Poll(r);
    EXPECT_EQ(changeEvents_, (std::vector<bool>{false, true}));
}

TEST_F(NetDetectTest, PollEndingBeforeInitialCheckIsNotTakenForIt) {
    Create();
    detector_->SetEnabled(true);
    detector_->Tick();
    ASSERT_EQ(checks_.size(), 2u);
    detector_->CheckDone(checks_[1].id, true);  // the poll ends first: compared with "not connected"
    EXPECT_TRUE(initialEvents_.empty());
    EXPECT_EQ(changeEvents_, std::vector<bool>{true});
    detector_->CheckDone(checks_[0].id, true);  // then the initial one reports as such
    EXPECT_EQ(initialEvents_, std::vector<bool>{true});
    EXPECT_EQ(changeEvents_.size(), 1u);
}

TEST_F(NetDetectTest, OverlappingChecksReportInTheOrderTheyEnd) {
    Create();
    detector_->SetEnabled(true);
    detector_->CheckDone(checks_[0].id, true);
    detector_->Tick();
    detector_->Tick();
    ASSERT_EQ(checks_.size(), 3u);
    EXPECT_EQ(detector_->LastCheckId(), checks_[2].id);
    detector_->CheckDone(checks_[2].id, false);
    detector_->CheckDone(checks_[1].id, true);
    EXPECT_EQ(changeEvents_, (std::vector<bool>{false, true}));
}

TEST_F(NetDetectTest, EnabledDrivesTheTimer) {
    Create();
    detector_->SetEnabled(true);
    EXPECT_TRUE(timer_.enabled);
    EXPECT_EQ(timer_.intervalMs, 5000);
    int changes = timer_.changes;
    detector_->SetEnabled(true);  // unchanged: nothing
    EXPECT_EQ(timer_.changes, changes);
    detector_->SetEnabled(false);
    EXPECT_FALSE(timer_.enabled);
}

TEST_F(NetDetectTest, TickWhileDisabledStartsNoCheck) {
    Create();
    detector_->Tick();
    EXPECT_EQ(checks_.size(), 1u);
}

TEST_F(NetDetectTest, CheckStartedBeforeDisablingStillReports) {
    Create();
    detector_->SetEnabled(true);
    detector_->CheckDone(checks_[0].id, true);
    detector_->Tick();
    detector_->SetEnabled(false);
    detector_->CheckDone(checks_.back().id, false);
    EXPECT_EQ(changeEvents_, std::vector<bool>{false});
}

struct IntervalCase {
    int value;
    int expected;
};

class NetDetectInterval : public NetDetectTest, public ::testing::WithParamInterface<IntervalCase> {};

TEST_P(NetDetectInterval, BelowOneSecondIsIgnored) {
    Create();
    detector_->SetInterval(GetParam().value);
    EXPECT_EQ(detector_->Interval(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, NetDetectInterval,
                         ::testing::Values(IntervalCase{500, 5000}, IntervalCase{999, 5000}, IntervalCase{0, 5000},
                                           IntervalCase{-1000, 5000}, IntervalCase{1000, 1000},
                                           IntervalCase{60000, 60000}));

TEST_F(NetDetectTest, NewIntervalRestartsARunningTimerOnly) {
    Create();
    detector_->SetInterval(2000);
    EXPECT_FALSE(timer_.enabled);
    EXPECT_EQ(timer_.changes, 0);
    detector_->SetEnabled(true);
    EXPECT_EQ(timer_.intervalMs, 2000);
    int changes = timer_.changes;
    detector_->SetInterval(2000);  // the current value: nothing
    EXPECT_EQ(timer_.changes, changes);
    detector_->SetInterval(1500);
    EXPECT_EQ(timer_.intervalMs, 1500);
    EXPECT_TRUE(timer_.enabled);
}

TEST_F(NetDetectTest, ChecksUseTheAddressAndTimeOutOfTheirStart) {
    Create();
    detector_->SetEnabled(true);
    detector_->SetUrl("http://127.0.0.1:2/other");
    detector_->SetTimeOut(250);
    detector_->Tick();
    EXPECT_EQ(checks_.back().url, "http://127.0.0.1:2/other");
    EXPECT_EQ(checks_.back().timeoutMs, 250);
    EXPECT_EQ(checks_[0].url, "http://127.0.0.1:1/");
}

TEST_F(NetDetectTest, UnassignedEventsAreNotRaised) {
    Create();
    detector_->OnConnectionStatus = nullptr;
    detector_->OnConnectionStatusChanged = nullptr;
    detector_->SetEnabled(true);
    detector_->CheckDone(checks_[0].id, true);
    Poll(false);
    EXPECT_FALSE(detector_->Connected());
}

TEST_F(NetDetectTest, DestructionStopsTheTimer) {
    Create();
    detector_->SetEnabled(true);
    detector_.reset();
    EXPECT_FALSE(timer_.enabled);
}

}  // namespace
}  // namespace tw
