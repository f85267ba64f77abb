// Worker threads on Windows: the hidden window, synchronisation onto the main thread, Run with
// and without waiting, time-outs, hard replacement, exceptions, priorities and destruction.
#include "net/pkThread.h"
#include "base/UniqueHandle_win32.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw {
namespace {

using test::PumpFor;
using test::PumpUntil;

// Kills made on purpose by the test of the last resort; any other kill is a fault.
int gDeliberateKills = 0;

// Prints the kills since the start when the tests end (once, also with --gtest_repeat).
class KillReport : public ::testing::Environment {
public:
    void TearDown() override {
        std::printf("thread kills: %d (%d of them on purpose)\n", TpkEventThread::KillCount(), gDeliberateKills);
    }
};
[[maybe_unused]] auto* const kKillReport = ::testing::AddGlobalTestEnvironment(new KillReport);

// A worker blocked as in a platform call, until the component's OnUnblock lets it go (as closing
// the internet handles makes a blocked WinInet call return).
struct Blocker {
    KernelHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    void Block() { WaitForSingleObject(release.Get(), INFINITE); }
    void WireTo(TpkCustomThread& t) {
        t.OnUnblock = [this] { SetEvent(release.Get()); };
    }
};

// This process's hidden window: test programs running beside this one have their own.
HWND ThreadWindow() {
    for (HWND w = nullptr; (w = FindWindowExW(HWND_MESSAGE, w, L"TpkThreadWindow", nullptr)) != nullptr;) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId()) return w;
    }
    return nullptr;
}

TEST(TpkCustomThread, HiddenWindowLivesFromFirstToLastThreadObject) {
    EXPECT_EQ(ThreadWindow(), nullptr);
    {
        TpkCustomThread a;
        EXPECT_NE(ThreadWindow(), nullptr);
        {
            TpkCustomThread b;
            EXPECT_NE(ThreadWindow(), nullptr);
        }
        EXPECT_NE(ThreadWindow(), nullptr);
    }
    EXPECT_EQ(ThreadWindow(), nullptr);
}

TEST(TpkCustomThread, RunWithoutWaitReturnsAtOnceAndTerminatesOnTheMainThread) {
    TpkCustomThread t;
    const DWORD main = GetCurrentThreadId();
    std::atomic<DWORD> worker{0};
    DWORD syncThread = 0, terminateThread = 0;
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    t.OnExecute = [&](TpkCustomThread& self) {
        worker = GetCurrentThreadId();
        WaitForSingleObject(go, 5000);
        self.Synchronize([&] { syncThread = GetCurrentThreadId(); });
    };
    t.OnTerminate = [&](TpkCustomThread&) { terminateThread = GetCurrentThreadId(); };
    EXPECT_TRUE(t.Run());
    EXPECT_EQ(terminateThread, 0u);  // the worker is still held by the event
    SetEvent(go);
    ASSERT_TRUE(PumpUntil([&] { return terminateThread != 0; }, 5000));
    EXPECT_NE(worker.load(), main);
    EXPECT_EQ(syncThread, main);
    EXPECT_EQ(terminateThread, main);
    CloseHandle(go);
}

TEST(TpkCustomThread, SynchronizedHandlerFillsVarArgumentsForTheWorker) {
    TpkCustomThread t;
    int answer = 0;
    int seenByWorker = -1;
    t.OnExecute = [&](TpkCustomThread& self) {
        self.Synchronize([&] { answer = 42; });
        seenByWorker = answer;
    };
    t.WaitThread = true;
    EXPECT_TRUE(t.Run());
    EXPECT_EQ(seenByWorker, 42);
}

// A timer that fires every few milliseconds while the wait runs.
struct Ticker {
    UINT_PTR id;
    static inline int ticks = 0;
    explicit Ticker(UINT ms) { id = SetTimer(nullptr, 0, ms, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; }); }
    ~Ticker() { KillTimer(nullptr, id); }
};

TEST(TpkCustomThread, WaitTimeoutRestartsWithEveryMessage) {
    TpkCustomThread t;
    bool timedOut = false;
    bool terminated = false;
    t.OnExecute = [](TpkCustomThread&) { Sleep(600); };
    t.OnTerminate = [&](TpkCustomThread&) { terminated = true; };
    t.OnWaitTimeoutExpired = [&](TpkComponent&, bool&) { timedOut = true; };
    t.WaitThread = true;
    t.WaitTimeout = 150;
    Ticker::ticks = 0;
    Ticker ticker(20);
    EXPECT_TRUE(t.Run());
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(terminated);
    EXPECT_GT(Ticker::ticks, 5);
}

TEST(TpkCustomThread, TimeoutThatTerminatesReturnsFalseWithoutTerminateHandler) {
    Blocker blocker;  // outlives the thread component
    TpkCustomThread t;
    blocker.WireTo(t);
    const int kills = TpkEventThread::KillCount();
    int timeouts = 0;
    bool terminated = false;
    t.OnExecute = [&](TpkCustomThread&) { blocker.Block(); };
    t.OnTerminate = [&](TpkCustomThread&) { terminated = true; };
    t.OnWaitTimeoutExpired = [&](TpkComponent&, bool& terminate) {
        ++timeouts;
        EXPECT_TRUE(terminate);
    };
    t.WaitThread = true;
    t.WaitTimeout = 100;
    EXPECT_FALSE(t.Run());
    EXPECT_EQ(timeouts, 1);
    PumpFor(100);
    EXPECT_FALSE(terminated);
    EXPECT_FALSE(t.Running());
    EXPECT_EQ(TpkEventThread::KillCount(), kills);  // unblocked, not killed
}

TEST(TpkCustomThread, TimeoutLeftRunningReturnsTrueAndFinishesLater) {
    TpkCustomThread t;
    bool terminated = false;
    t.OnExecute = [](TpkCustomThread&) { Sleep(400); };
    t.OnTerminate = [&](TpkCustomThread&) { terminated = true; };
    t.OnWaitTimeoutExpired = [&](TpkComponent&, bool& terminate) { terminate = false; };
    t.WaitThread = true;
    t.WaitTimeout = 50;
    EXPECT_TRUE(t.Run());
    EXPECT_FALSE(terminated);
    EXPECT_TRUE(PumpUntil([&] { return terminated; }, 5000));
}

TEST(TpkCustomThread, SecondRunKillsTheFirstWorker) {
    Blocker blocker;  // outlives the thread component
    TpkCustomThread t;
    blocker.WireTo(t);
    std::atomic<int> started{0};
    int terminated = 0;
    t.OnExecute = [&](TpkCustomThread&) {
        if (++started == 1) blocker.Block();
    };
    t.OnTerminate = [&](TpkCustomThread&) { ++terminated; };
    EXPECT_TRUE(t.Run());
    ASSERT_TRUE(PumpUntil([&] { return started == 1; }, 5000));
    EXPECT_TRUE(t.Running());
    EXPECT_TRUE(t.Run());
    ASSERT_TRUE(PumpUntil([&] { return terminated == 1; }, 5000));
    EXPECT_EQ(started.load(), 2);
    PumpFor(50);
    EXPECT_EQ(terminated, 1);  // the given-up worker never reached its terminate step
}

TEST(TpkCustomThread, ExceptionsReportedOnTheMainThreadWhenHandled) {
    TpkCustomThread t;
    std::string message;
    DWORD exceptionThread = 0;
    bool terminated = false;
    t.OnExecute = [](TpkCustomThread&) { throw std::runtime_error("worker broke"); };
    t.OnException = [&](TpkCustomThread&, std::exception_ptr e) {
        exceptionThread = GetCurrentThreadId();
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            message = x.what();
        }
    };
    t.OnTerminate = [&](TpkCustomThread&) { terminated = true; };
    t.WaitThread = true;
    EXPECT_TRUE(t.Run());
    EXPECT_EQ(message, "worker broke");
    EXPECT_EQ(exceptionThread, GetCurrentThreadId());
    EXPECT_TRUE(terminated);  // the terminate step still runs
}

TEST(TpkCustomThread, UnhandledExceptionEndsTheWorkerQuietly) {
    TpkCustomThread t;
    bool reported = false, terminated = false;
    t.HandleExceptions = false;
    t.OnExecute = [](TpkCustomThread&) { throw std::runtime_error("x"); };
    t.OnException = [&](TpkCustomThread&, std::exception_ptr) { reported = true; };
    t.OnTerminate = [&](TpkCustomThread&) { terminated = true; };
    t.WaitThread = true;
    EXPECT_TRUE(t.Run());
    EXPECT_FALSE(reported);
    EXPECT_FALSE(terminated);
}

TEST(TpkCustomThread, SynchronizedExceptionIsDroppedOrRaisedOnTheWorker) {
    for (bool handle : {true, false}) {
        TpkCustomThread t;
        t.HandleExceptions = handle;
        bool reachedAfter = false;
        t.OnExecute = [&](TpkCustomThread& self) {
            self.Synchronize([] { throw std::runtime_error("handler broke"); });
            reachedAfter = true;
        };
        t.WaitThread = true;
        EXPECT_TRUE(t.Run());
        EXPECT_EQ(reachedAfter, handle) << handle;
    }
}

TEST(TpkCustomThread, HandlersSkippedWhileTheOwnerIsDestroyed) {
    TpkComponent owner;
    TpkCustomThread t(&owner);
    bool ran = false;
    std::atomic<bool> workerWentOn{false};
    std::atomic<bool> started{false};
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    t.OnExecute = [&](TpkCustomThread& self) {
        started = true;
        WaitForSingleObject(go, 5000);
        self.Synchronize([&] { ran = true; });
        workerWentOn = true;
    };
    EXPECT_TRUE(t.Run());
    ASSERT_TRUE(PumpUntil([&] { return started.load(); }, 5000));
    owner.Destroying();  // the owner's destruction begins while the worker runs
    SetEvent(go);
    t.WaitFor();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(workerWentOn.load());
    CloseHandle(go);
}

TEST(TpkCustomThread, WaitForLetsTheWorkersSynchronizeThrough) {
    TpkCustomThread t;
    int synced = 0;
    t.OnExecute = [&](TpkCustomThread& self) {
        for (int i = 0; i < 5; ++i) self.Synchronize([&] { ++synced; });
    };
    EXPECT_TRUE(t.Run());
    t.WaitFor();  // would deadlock if sent messages were not let through
    EXPECT_EQ(synced, 5);
}

TEST(TpkCustomThread, PriorityTable) {
    const int platform[] = {-15, -2, -1, 0, 1, 2, 15};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(PriorityIndexToPlatform(i), platform[i]);
        EXPECT_EQ(PlatformToPriorityIndex(platform[i]), i);
    }
    EXPECT_EQ(PlatformToPriorityIndex(7), 3);
    EXPECT_EQ(PriorityIndexToPlatform(9), 0);
    TpkCustomThread t;
    t.SetPriority(1);
    int seen = -99;
    t.OnExecute = [&](TpkCustomThread&) { seen = GetThreadPriority(GetCurrentThread()); };
    t.WaitThread = true;
    t.Run();
    EXPECT_EQ(seen, THREAD_PRIORITY_LOWEST);
    EXPECT_EQ(t.Thread().Priority(), 1);
}

TEST(TpkCustomThread, RunFromItsOwnTerminateHandlerIsSafe) {
    TpkCustomThread t;
    int runs = 0;
    t.OnExecute = [&](TpkCustomThread&) { ++runs; };
    t.OnTerminate = [&](TpkCustomThread& self) {
        if (runs == 1) self.Run();  // replaces the thread object whose handler this is
    };
    EXPECT_TRUE(t.Run());
    EXPECT_TRUE(PumpUntil([&] { return runs == 2 && !t.Running(); }, 5000));
}

TEST(TpkCustomThread, DestroyingARunningThreadEndsIt) {
    auto* t = new TpkCustomThread();
    Blocker blocker;
    blocker.WireTo(*t);
    const int kills = TpkEventThread::KillCount();
    std::atomic<bool> started{false};
    t->OnExecute = [&](TpkCustomThread&) {
        started = true;
        blocker.Block();
    };
    t->Run();
    ASSERT_TRUE(PumpUntil([&] { return started.load(); }, 5000));
    const DWORD before = GetTickCount();
    delete t;
    EXPECT_LT(GetTickCount() - before, 1000u);
    EXPECT_EQ(TpkEventThread::KillCount(), kills);
}

// The last resort: a worker that nothing unblocks is killed after the grace period, and counted.
TEST(TpkCustomThread, AStuckWorkerIsKilledAfterTheGracePeriod) {
    auto* t = new TpkCustomThread();
    std::atomic<bool> started{false};
    bool givenUpFirst = false;
    t->OnExecute = [&](TpkCustomThread&) {
        started = true;
        Sleep(INFINITE);
    };
    t->OnUnblock = [&] { givenUpFirst = t->Thread().Abandoned(); };
    const int kills = TpkEventThread::KillCount();
    t->Run();
    ASSERT_TRUE(PumpUntil([&] { return started.load(); }, 5000));
    const DWORD before = GetTickCount();
    delete t;
    const DWORD took = GetTickCount() - before;
    ++gDeliberateKills;
    EXPECT_TRUE(givenUpFirst);
    EXPECT_GE(took, 2500u);
    EXPECT_LT(took, 6000u);
    EXPECT_EQ(TpkEventThread::KillCount(), kills + 1);
}

}  // namespace
}  // namespace tw
