#include "base/IdleWorkers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace tw {
namespace {

using namespace std::chrono_literals;

TEST(TIdleWorkers, JobsInTurnShareOneThreadAndBusyOnesNeverWait) {
    TIdleWorkers workers;
    for (int i = 0; i < 5; ++i) {
        std::promise<std::thread::id> ran;
        workers.Run([&] { ran.set_value(std::this_thread::get_id()); });
        EXPECT_NE(ran.get_future().get(), std::this_thread::get_id());
        // The thread has handed its result over but may not be waiting again yet.
        while (workers.IdleThreads() == 0) std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(workers.Threads(), 1);

    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> first, second;
    workers.Run([&, released] { first.set_value(); released.wait(); });
    workers.Run([&, released] { second.set_value(); released.wait(); });
    // Both start although neither has ended.
    EXPECT_EQ(first.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_EQ(second.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_EQ(workers.Threads(), 2);
    release.set_value();
}

TEST(TIdleWorkers, JobsHandedInBeforeThePoolGoesStillRun) {
    auto finished = std::make_shared<std::promise<void>>();
    auto queued = std::make_shared<std::promise<void>>();
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    {
        TIdleWorkers workers;
        workers.Run([finished, released, &started] {
            started.set_value();
            released.wait();
            finished->set_value();
        });
        started.get_future().wait();
        workers.Run([queued] { queued->set_value(); });
    }
    release.set_value();
    EXPECT_EQ(finished->get_future().wait_for(5s), std::future_status::ready);
    EXPECT_EQ(queued->get_future().wait_for(5s), std::future_status::ready);
}

}  // namespace
}  // namespace tw
