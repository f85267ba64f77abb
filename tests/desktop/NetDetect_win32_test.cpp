#include "desktop/LoopbackListener_win32.h"
#include "desktop/NetDetect.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <functional>
#include <vector>

namespace tw {
namespace {

using test::PumpFor;
using test::PumpUntil;

TEST(IsUrlReachable, AnsweringServerIsReachableWhateverItsStatus) {
    test::LoopbackListener ok;
    ASSERT_TRUE(ok.Start(0, 200));
    EXPECT_TRUE(IsUrlReachable(ok.Url("/page"), 500));
    EXPECT_EQ(ok.Requests(), 1);
    EXPECT_NE(ok.LastRequest().find("GET /page HTTP/1.1"), std::string::npos) << ok.LastRequest();
    EXPECT_NE(ok.LastRequest().find("NetDetect v2.1"), std::string::npos) << ok.LastRequest();

    test::LoopbackListener missing;
    ASSERT_TRUE(missing.Start(0, 404));
    EXPECT_TRUE(IsUrlReachable(missing.Url(), 500));
}

TEST(IsUrlReachable, FailuresReadAsNotReachable) {
    test::LoopbackListener closed;
    ASSERT_TRUE(closed.Start());
    std::string url = closed.Url();
    closed.Stop();
    EXPECT_FALSE(IsUrlReachable(url, 500));
    EXPECT_FALSE(IsUrlReachable("", 500));
    EXPECT_FALSE(IsUrlReachable("not an address", 500));
    EXPECT_FALSE(IsUrlReachable("http://", 500));
}

TEST(ModemConnection, AsksTheSystemOnceAMinute) {
    // The first call may ask the system (about 20 ms under Wine); a hundred more must not.
    DWORD flags = 0;
    const bool system = InternetGetConnectedState(&flags, 0) && (flags & INTERNET_CONNECTION_MODEM) != 0;
    EXPECT_EQ(ModemConnection(), system);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(ModemConnection(), system);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST(TNetDetect, ReportsOnTheMainThreadAndFollowsTheServerGoingAndComing) {
    test::LoopbackListener server;
    ASSERT_TRUE(server.Start());
    const DWORD mainThread = GetCurrentThreadId();
    std::vector<bool> initial, changes;
    bool onMainThread = true;

    TNetDetect detector(MakeSystemNetDetectHost(), server.Url("/check"));
    detector.OnConnectionStatus = [&](TNetDetect&, bool c) {
        onMainThread = onMainThread && GetCurrentThreadId() == mainThread;
        initial.push_back(c);
    };
    detector.OnConnectionStatusChanged = [&](TNetDetect&, bool c) {
        onMainThread = onMainThread && GetCurrentThreadId() == mainThread;
        changes.push_back(c);
    };
    ASSERT_TRUE(PumpUntil([&] { return !initial.empty(); }, 10000)) << "the initial check never reported";
    EXPECT_EQ(initial, std::vector<bool>{true});
    EXPECT_EQ(server.Requests(), 1);

    detector.SetInterval(1000);
    detector.SetEnabled(true);
    PumpFor(2500);  // steady: polls run, nothing changes
    EXPECT_GE(server.Requests(), 2);
    EXPECT_TRUE(changes.empty());

    std::uint16_t port = server.Port();
    server.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !changes.empty(); }, 10000)) << "the loss was never reported";
    EXPECT_EQ(changes, std::vector<bool>{false});

    ASSERT_TRUE(server.Start(port));
    ASSERT_TRUE(PumpUntil([&] { return changes.size() >= 2; }, 10000)) << "the return was never reported";
    PumpFor(1500);
    EXPECT_EQ(changes, (std::vector<bool>{false, true}));
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(initial.size(), 1u);

    detector.SetEnabled(false);
    PumpFor(300);  // a poll started just before may still end
    int requests = server.Requests();
    PumpFor(2200);
    EXPECT_EQ(server.Requests(), requests) << "polling went on while disabled";
}

TEST(TNetDetect, DestroyedWhileACheckRunsDropsItsReport) {
    test::LoopbackListener slow;
    ASSERT_TRUE(slow.Start(0, 200, 700));
    int reports = 0;
    {
        TNetDetect detector(MakeSystemNetDetectHost(), slow.Url());
        detector.OnConnectionStatus = [&](TNetDetect&, bool) { ++reports; };
    }
    // The check thread finishes after the detector is gone; its report must go nowhere.
    ASSERT_TRUE(PumpUntil([&] { return slow.Requests() == 1; }, 5000));
    PumpFor(1500);
    EXPECT_EQ(reports, 0);
}

TEST(TNetDetect, TwoDetectorsKeepTheirReportsApart) {
    test::LoopbackListener up;
    ASSERT_TRUE(up.Start());
    test::LoopbackListener down;
    ASSERT_TRUE(down.Start());
    std::string downUrl = down.Url();
    down.Stop();
    std::vector<bool> a, b;
    TNetDetect first(MakeSystemNetDetectHost(), up.Url());
    TNetDetect second(MakeSystemNetDetectHost(), downUrl);
    first.OnConnectionStatus = [&](TNetDetect&, bool c) { a.push_back(c); };
    second.OnConnectionStatus = [&](TNetDetect&, bool c) { b.push_back(c); };
    ASSERT_TRUE(PumpUntil([&] { return !a.empty() && !b.empty(); }, 10000));
    EXPECT_EQ(a, std::vector<bool>{true});
    EXPECT_EQ(b, std::vector<bool>{false});
}

}  // namespace
}  // namespace tw
