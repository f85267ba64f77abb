// A thread component may go from inside its own handlers: on Windows its worker waits for that
// handler to return, natively the inline work is still on the stack (AddressSanitizer watches
// what is touched afterwards).
#include "net/pkThread.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <atomic>

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

}  // namespace
}  // namespace tw
