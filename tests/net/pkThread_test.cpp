// A thread component may go from inside its own handlers: its worker waits for that handler to
// return (AddressSanitizer watches what is touched afterwards). A worker given up by force is
// unblocked through OnUnblock and waited for, not killed.
#include "net/pkThread.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace tw {
namespace {

TEST(TpkCustomThread, DestroyedFromItsOwnHandlers) {
    for (bool fromTerminate : {true, false}) {
        auto* t = new TpkCustomThread();
        bool destroyed = false;
        std::atomic<int> afterHandler{0};
        auto destroy = [&] {
            delete t;  // must not wait for the worker that waits for this handler
            destroyed = true;
        };
        if (fromTerminate) {
            t->OnTerminate = [&](TpkCustomThread&) { destroy(); };
        } else {
            t->OnExecute = [&](TpkCustomThread& self) {
                self.Synchronize(destroy);
                ++afterHandler;  // given up: the work ends inside Synchronize
            };
        }
        EXPECT_TRUE(t->Run()) << fromTerminate;
        ASSERT_TRUE(test::PumpUntil([&] { return destroyed; }, 5000)) << fromTerminate;
        test::PumpFor(200);
        EXPECT_EQ(afterHandler.load(), 0) << fromTerminate;
    }
}

TEST(TpkCustomThread, AWorkerGivenUpIsUnblockedAndWaitedFor) {
    enum Way { destroyed, hardTerminated, runAgain };
    for (Way way : {destroyed, hardTerminated, runAgain}) {
        std::atomic<bool> released{false}, started{false}, synced{false};
        int unblocks = 0, terminated = 0;
        bool givenUpFirst = false;
        auto t = std::make_unique<TpkCustomThread>();
        TpkCustomThread* raw = t.get();
        t->OnExecute = [&](TpkCustomThread& self) {
            if (started.exchange(true)) return;  // a second run ends at once
            while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // "blocked"
            self.Synchronize([&] { synced = true; });  // given up: ends here instead
        };
        t->OnUnblock = [&] {
            ++unblocks;
            givenUpFirst = raw->Thread().Abandoned();
            released = true;
        };
        t->OnTerminate = [&](TpkCustomThread&) { ++terminated; };
        const int kills = TpkEventThread::KillCount();
        ASSERT_TRUE(t->Run());
        ASSERT_TRUE(test::PumpUntil([&] { return started.load(); }, 5000)) << way;
        if (way == destroyed) t.reset();
        if (way == hardTerminated) t->Terminate(true);
        if (way == runAgain) {
            ASSERT_TRUE(t->Run());
        }
        EXPECT_EQ(unblocks, 1) << way;  // once, before the wait that returned
        EXPECT_TRUE(givenUpFirst) << way;
        test::PumpFor(50);
        EXPECT_FALSE(synced.load()) << way;
        EXPECT_EQ(terminated, way == runAgain ? 1 : 0) << way;  // only the second run's
        EXPECT_EQ(TpkEventThread::KillCount(), kills) << way;
    }
}

// A hard stop while the worker waits for its handler to be taken: the wait in the stop itself
// takes the handler off the queue, and must not run it.
TEST(TpkCustomThread, AHandlerQueuedByAWorkerGivenUpNeverRuns) {
    TpkCustomThread t;
    std::atomic<bool> started{false};
    bool ran = false, terminated = false;
    t.OnExecute = [&](TpkCustomThread& self) {
        started = true;
        self.Synchronize([&] { ran = true; });
    };
    t.OnTerminate = [&](TpkCustomThread&) { terminated = true; };
    ASSERT_TRUE(t.Run());
    while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // no pumping: the handler waits
    t.Terminate(true);
    test::PumpFor(50);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(terminated);
}

}  // namespace
}  // namespace tw
